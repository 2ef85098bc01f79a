// What a focused text field shows of its editing: the caret in the text's colour, and the selection as a
// black band with its text white over it, whatever the text's colour. Drawn from the layout's glyph positions.
#include <algorithm>
#include <cmath>

#include "player/display_list.h"
#include "player/script/text_field.h"
#include "player/stage.h"

namespace vistrel::player {

namespace {

swf::Rgba opaque(int r, int g, int b) {
    return swf::Rgba{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b), 255};
}

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
    return h;
}

}  // namespace

int TextFieldObject::indexAt(QPointF fieldTwips) {
    const EditTextMetrics& m = metrics();
    const int n = static_cast<int>(text().size());
    return std::clamp(editTextIndexAt(m, fieldTwips), 0, n);
}

const EditTextSelection* TextFieldObject::selectionPaths() {
    DisplayObject* o = display();
    if (!o || !o->text || m_stage.focus() != o) return nullptr;
    const KeyboardState& kb = m_stage.keyboard();
    if (kb.selectionPending || (!input && !selectable)) return nullptr;
    const EditTextMetrics& m = metrics();
    const int n = static_cast<int>(text().size());
    const int anchor = std::clamp(o->text->selectionAnchor, 0, n), caret = std::clamp(o->text->selectionCaret, 0, n);
    const int begin = std::min(anchor, caret), end = std::max(anchor, caret);
    // Only an input field shows a caret, and only while the pane has the keyboard.
    const bool showCaret = begin == end && input && kb.paneFocused && kb.caretShown;
    if (begin == end && !showCaret) return nullptr;

    std::uint64_t key = mix(m_layoutSerial, static_cast<std::uint64_t>(begin));
    key = mix(key, static_cast<std::uint64_t>(end));
    key = mix(key, showCaret ? 1 : 2);
    key = mix(key, static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(o->text->paths ? &*o->text->paths : nullptr)));
    if (m_selectionPaths && m_selectionKey == key) return &*m_selectionPaths;

    EditTextSelection selection;
    ShapePaths& out = selection.marks;
    const QRectF field = m_props.bounds;
    if (showCaret) {
        const int line = editTextLineOf(m, caret);
        if (line >= 0) {
            const EditTextLine& l = m.lines[static_cast<std::size_t>(line)];
            // One pixel wide, from the line's top to its bottom, starting at the pen's place.
            const double x = std::floor(editTextCaretX(m, line, caret) / 20) * 20;
            DrawItem bar;
            bar.path.addRect(QRectF(x, l.top, 20, l.bottom - l.top).intersected(field));
            const QRgb c = m_props.format.color;
            bar.paint.color = opaque(qRed(c), qGreen(c), qBlue(c));
            out.bounds |= bar.path.boundingRect();
            out.items.push_back(std::move(bar));
        }
    } else {
        QPainterPath band;
        band.setFillRule(Qt::WindingFill);
        for (std::size_t k = 0; k < m.lines.size(); ++k) {
            const EditTextLine& l = m.lines[k];
            const int from = std::max(begin, l.begin), to = std::min(end, l.end);
            if (from >= to) continue;
            const double x0 = editTextCaretX(m, static_cast<int>(k), from), x1 = editTextCaretX(m, static_cast<int>(k), to);
            band.addRect(QRectF(QPointF(x0, l.top), QPointF(x1, l.bottom)).intersected(field));
        }
        if (band.isEmpty()) return nullptr;
        DrawItem back;
        back.path = band;
        back.paint.color = opaque(0, 0, 0);
        out.bounds = band.boundingRect();
        out.items.push_back(back);
        // The text over the band shows white: the whole text, clipped to the band where it is drawn.
        if (o->text->paths) {
            selection.band = out;
            const std::size_t first = (m_props.background ? 1 : 0) + (m_props.border ? 1 : 0);
            const auto& items = o->text->paths->items;
            for (std::size_t k = first; k < items.size(); ++k) {
                if (items[k].stroke || !items[k].path.boundingRect().intersects(out.bounds)) continue;
                DrawItem glyphs = items[k];
                glyphs.paint = Paint{};
                glyphs.seams = QPainterPath();
                glyphs.seamBand.reset();
                glyphs.paint.color = opaque(255, 255, 255);
                selection.text.bounds |= glyphs.path.boundingRect();
                selection.text.items.push_back(std::move(glyphs));
            }
        }
    }
    if (out.items.empty()) return nullptr;
    m_selectionPaths = std::move(selection);
    m_selectionKey = key;
    return &*m_selectionPaths;
}

const EditTextSelection* editTextSelectionPaths(const DisplayObject& object) {
    auto* field = dynamic_cast<TextFieldObject*>(object.script);
    return field ? field->selectionPaths() : nullptr;
}

}  // namespace vistrel::player
