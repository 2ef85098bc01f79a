#include "player/text_input.h"

#include <algorithm>
#include <optional>

#include <QRegularExpression>
#include <QStringList>
#include <QTransform>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/focus.h"
#include "player/script/drawing.h"
#include "player/script/text_field.h"
#include "player/stage.h"
#include "player/text/text_editor.h"

namespace vistrel::player {

namespace {

TextFieldObject* fieldOf(DisplayObject* o) {
    if (!o || !o->text) return nullptr;
    return dynamic_cast<TextFieldObject*>(o->script);
}

text::TextEditor editorFor(DisplayObject& o, TextFieldObject& tf) {
    return text::TextEditor(tf.text(), o.text->selectionAnchor, o.text->selectionCaret);
}

void keepSelection(DisplayObject& o, const text::TextEditor& editor) {
    o.text->selectionAnchor = editor.anchor();
    o.text->selectionCaret = editor.caret();
}

text::EditRules rulesFor(avm1::Vm& vm, TextFieldObject& tf) {
    text::EditRules rules;
    rules.multiline = tf.props().multiline;
    rules.maxChars = tf.maxChars;
    if (!tf.restrict.isNullish()) {
        const QString pattern = vm.toString(tf.restrict);
        if (!pattern.isEmpty()) rules.restrict = text::RestrictFilter(pattern);
    }
    return rules;
}

// The user changed the text: it goes to the field (and its variable), then onChanged runs.
void commitEdit(Stage& stage, DisplayObject& o, TextFieldObject& tf, const text::TextEditor& editor) {
    // Typing keeps the view where it was, as far as the text still reaches.
    const int line = tf.scroll, pixels = tf.hscroll;
    tf.setText(editor.text());
    tf.scrollTo(std::min(line, tf.maxScroll()), std::min(pixels, tf.maxHScroll()));
    keepSelection(o, editor);
    stage.touch();
    avm1::Vm* vm = stage.vm();
    if (!vm) return;
    const avm1::Value args[] = {avm1::Value(&tf)};
    try {
        vm->callMethod(avm1::Value(&tf), QStringLiteral("onChanged"), args);
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm->reportAbort(a.reason);
    }
    stage.runQueue();
}

// Where Home, End, up and down take the caret on the lines as laid out (wrapped lines too), or nothing
// when `control` is none of them or the field has no layout.
std::optional<int> lineMove(TextFieldObject& tf, int caret, TextControl control) {
    bool vertical = false;
    int step = 0;
    switch (control) {
    case TextControl::MoveUp: case TextControl::SelectUp: vertical = true; step = -1; break;
    case TextControl::MoveDown: case TextControl::SelectDown: vertical = true; step = 1; break;
    case TextControl::MoveLineStart: case TextControl::SelectLineStart: step = -1; break;
    case TextControl::MoveLineEnd: case TextControl::SelectLineEnd: step = 1; break;
    default: return std::nullopt;
    }
    const EditTextMetrics& m = tf.metrics();
    const int line = editTextLineOf(m, caret);
    if (line < 0) return std::nullopt;
    const int count = static_cast<int>(m.lines.size());
    const EditTextLine& here = m.lines[static_cast<std::size_t>(line)];
    if (!vertical) {
        if (step < 0) return here.begin;
        // A wrapped line ends before the blank it wrapped at, so that the caret stays on it.
        const bool wrapped = line + 1 < count && m.lines[static_cast<std::size_t>(line) + 1].begin == here.end;
        const QString value = tf.text();
        if (wrapped && here.end > here.begin && here.end - 1 < value.size() && value[here.end - 1].isSpace())
            return here.end - 1;
        return here.end;
    }
    const int target = line + step;
    if (target < 0) return 0;
    if (target >= count) return static_cast<int>(tf.text().size());
    const EditTextLine& to = m.lines[static_cast<std::size_t>(target)];
    return editTextIndexAt(m, QPointF(editTextCaretX(m, line, caret), (to.top + to.bottom) / 2));
}

bool selecting(TextControl control) {
    return control == TextControl::SelectUp || control == TextControl::SelectDown ||
           control == TextControl::SelectLineStart || control == TextControl::SelectLineEnd;
}

}  // namespace

void selectAllText(DisplayObject& text) {
    TextFieldObject* tf = fieldOf(&text);
    if (!tf) return;
    text.text->selectionAnchor = 0;
    text.text->selectionCaret = static_cast<int>(tf->text().size());
}

void replaceSelection(DisplayObject& text, const QString& replacement) {
    TextFieldObject* tf = fieldOf(&text);
    if (!tf) return;
    const int n = static_cast<int>(tf->text().size());
    const int a = std::clamp(text.text->selectionAnchor, 0, n), c = std::clamp(text.text->selectionCaret, 0, n);
    const int begin = std::min(a, c), end = std::max(a, c);
    tf->replaceText(begin, end, replacement);
    if (!text.text) return;
    text.text->selectionAnchor = text.text->selectionCaret = begin + static_cast<int>(replacement.size());
}

DisplayObject* focusedInputText(Stage& stage) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    return tf && tf->input ? o : nullptr;
}

bool typeIntoFocus(Stage& stage, const QString& typed) {
    DisplayObject* o = focusedInputText(stage);
    if (!o || !stage.vm()) return false;
    TextFieldObject& tf = *fieldOf(o);
    text::TextEditor editor = editorFor(*o, tf);
    if (editor.insert(typed, rulesFor(*stage.vm(), tf))) commitEdit(stage, *o, tf, editor);
    else keepSelection(*o, editor);
    return true;
}

bool editFocus(Stage& stage, TextControl control) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    if (!tf || !stage.vm()) return false;
    const bool input = tf->input;
    if (!input && !tf->selectable) return false;
    text::TextEditor editor = editorFor(*o, *tf);
    Clipboard* clipboard = stage.keyboard().clipboard;
    bool changed = false;
    if (const std::optional<int> to = lineMove(*tf, editor.caret(), control)) {
        editor.setSelection(selecting(control) ? editor.anchor() : *to, *to);
        keepSelection(*o, editor);
        stage.touch();
        return true;
    }
    switch (control) {
    case TextControl::MoveLeft: editor.moveLeft(false); break;
    case TextControl::MoveRight: editor.moveRight(false); break;
    case TextControl::MoveUp: editor.moveUp(false); break;
    case TextControl::MoveDown: editor.moveDown(false); break;
    case TextControl::MoveLineStart: editor.moveLineStart(false); break;
    case TextControl::MoveLineEnd: editor.moveLineEnd(false); break;
    case TextControl::MoveStart: editor.moveStart(false); break;
    case TextControl::MoveEnd: editor.moveEnd(false); break;
    case TextControl::SelectLeft: editor.moveLeft(true); break;
    case TextControl::SelectRight: editor.moveRight(true); break;
    case TextControl::SelectUp: editor.moveUp(true); break;
    case TextControl::SelectDown: editor.moveDown(true); break;
    case TextControl::SelectLineStart: editor.moveLineStart(true); break;
    case TextControl::SelectLineEnd: editor.moveLineEnd(true); break;
    case TextControl::SelectAll: editor.selectAll(); break;
    case TextControl::Backspace: changed = input && editor.backspace(); break;
    case TextControl::Delete: changed = input && editor.deleteForward(); break;
    case TextControl::Enter: changed = input && editor.insert(QStringLiteral("\r"), rulesFor(*stage.vm(), *tf)); break;
    case TextControl::Copy:
    case TextControl::Cut:
        // A password field gives nothing away.
        if (clipboard && editor.hasSelection() && !tf->props().password) {
            clipboard->setText(editor.selectedText());
            if (control == TextControl::Cut && input) changed = editor.backspace();
        }
        break;
    case TextControl::Paste:
        if (input && clipboard) {
            const QString pasted = clipboard->text();
            changed = pasted.isEmpty() ? false : editor.insert(pasted, rulesFor(*stage.vm(), *tf));
        }
        break;
    }
    if (changed) commitEdit(stage, *o, *tf, editor);
    else keepSelection(*o, editor);
    stage.touch();
    return true;
}

TextSelection focusedSelection(Stage& stage) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    if (!tf || stage.keyboard().selectionPending) return {};
    const text::TextEditor editor = editorFor(*o, *tf);
    return {editor.selectionBegin(), editor.selectionEnd(), editor.caret()};
}

void setFocusedSelection(Stage& stage, int begin, int end) {
    DisplayObject* o = stage.focus();
    TextFieldObject* tf = fieldOf(o);
    if (!tf) return;
    stage.keyboard().selectionPending = false;
    text::TextEditor editor(tf->text(), begin, end);
    keepSelection(*o, editor);
    stage.touch();
}

namespace {

// The pointer in the field's own twips.
std::optional<QPointF> fieldPoint(const DisplayObject& text, QPointF stageTwips) {
    bool ok = true;
    const QTransform inverse = stageTransform(text).inverted(&ok);
    if (!ok) return std::nullopt;
    return inverse.map(stageTwips);
}

// The link under the pointer, as an index into the layout's links, or -1.
int linkAt(TextFieldObject& tf, const DisplayObject& text, QPointF stageTwips) {
    const std::optional<QPointF> local = fieldPoint(text, stageTwips);
    if (!local) return -1;
    const EditTextMetrics& m = tf.metrics();
    if (m.links.empty()) return -1;
    const int index = editTextCharAt(m, *local);
    if (index < 0) return -1;
    for (std::size_t k = 0; k < m.links.size(); ++k)
        if (index >= m.links[k].begin && index < m.links[k].end) return static_cast<int>(k);
    return -1;
}

// A value by dotted path from the field's timeline: each name a member of what came before, the first
// one a variable of the timeline or a global.
avm1::Value lookUp(avm1::Vm& vm, avm1::Object* base, const QStringList& names) {
    avm1::Value v(base);
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i == 0 && !vm.hasProperty(base, names[0]) && vm.hasProperty(vm.global(), names[0]))
            v = avm1::Value(vm.global());
        v = vm.getMember(v, names[i]);
        if (!v.isObject()) return i + 1 == names.size() ? v : avm1::Value();
    }
    return v;
}

// Follows a link: "asfunction:name,argument" calls the function the name leads to from the field's
// timeline (with the text after the first comma as its one argument); other addresses are opened as
// getURL opens them.
void followLink(Stage& stage, DisplayObject& text, const EditTextLink& link) {
    avm1::Vm* vm = stage.vm();
    if (!vm || !text.parent || !text.parent->owner()) return;
    avm1::Object* base = stage.scriptObject(*text.parent->owner());
    if (!base) return;
    static const QString kScheme = QStringLiteral("asfunction:");
    try {
        if (link.url.startsWith(kScheme, Qt::CaseInsensitive)) {
            const QString rest = link.url.mid(kScheme.size());
            const qsizetype comma = rest.indexOf(u',');
            const QString path = (comma < 0 ? rest : rest.left(comma)).trimmed();
            if (path.isEmpty()) return;
            QStringList names = path.split(QRegularExpression(QStringLiteral("[./:]")), Qt::SkipEmptyParts);
            if (names.isEmpty() || names.size() > 64) return;
            const QString method = names.takeLast();
            // The function runs on what holds it: for a bare name the timeline, or the globals when the
            // timeline has no such name.
            avm1::Value holder;
            if (!names.isEmpty()) holder = lookUp(*vm, base, names);
            else holder = avm1::Value(vm->hasProperty(base, method) ? base : vm->global());
            if (!holder.isObject()) return;
            const avm1::Value function = vm->getMember(holder, method);
            if (!function.isObject()) return;
            std::vector<avm1::Value> args;
            if (comma >= 0) args.emplace_back(rest.mid(comma + 1));
            vm->call(function, holder, args);
        } else if (vm->host()) {
            vm->host()->getUrl(base, link.url, link.target, 0, false, false);
        }
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm->reportAbort(a.reason);
    }
    stage.runQueue();
}

bool wordChar(QChar c) { return c.isLetterOrNumber() || c == u'_'; }

// The word (or run of blanks or marks) holding the character at `index`: [begin, end).
std::pair<int, int> wordAround(const QString& text, int index) {
    const int n = static_cast<int>(text.size());
    if (n == 0) return {0, 0};
    index = std::clamp(index, 0, n - 1);
    const bool word = wordChar(text[index]);
    const auto same = [&](int i) { return text[i] != u'\r' && wordChar(text[i]) == word && text[i].isSpace() == text[index].isSpace(); };
    if (text[index] == u'\r') return {index, index};
    int begin = index, end = index + 1;
    while (begin > 0 && same(begin - 1)) --begin;
    while (end < n && same(end)) ++end;
    return {begin, end};
}

}  // namespace

bool textLinkAt(Stage&, DisplayObject& text, QPointF stageTwips) {
    TextFieldObject* tf = fieldOf(&text);
    return tf && linkAt(*tf, text, stageTwips) >= 0;
}

bool textPointer(Stage& stage, DisplayObject& text, QPointF stagePixels, PointerPhase phase) {
    TextFieldObject* tf = fieldOf(&text);
    if (!tf) return false;
    const QPointF twips = stagePixels * 20;
    const bool press = phase == PointerPhase::Press || phase == PointerPhase::DoublePress;
    // Links answer in every field, selectable or not.
    if (press) tf->pressedLink = linkAt(*tf, text, twips);
    if (phase == PointerPhase::Release && tf->pressedLink >= 0) {
        const int pressed = tf->pressedLink;
        tf->pressedLink = -1;
        if (linkAt(*tf, text, twips) == pressed) {
            const EditTextMetrics& m = tf->metrics();
            if (pressed < static_cast<int>(m.links.size())) {
                const EditTextLink link = m.links[static_cast<std::size_t>(pressed)];
                followLink(stage, text, link);
            }
        }
        return true;
    }
    const bool onLink = text.text && tf->pressedLink >= 0;
    if (!tf->selectable) return onLink;   // an input text that cannot be selected takes no focus either
    if (!text.text) return false;
    const std::optional<QPointF> local = fieldPoint(text, twips);
    if (!local) return true;
    const int index = tf->indexAt(*local);
    EditTextState& state = *text.text;
    if (press) {
        const bool extend = phase == PointerPhase::Press && stage.keyboard().shift() && stage.focus() == &text;
        moveFocus(stage, &text, FocusCause::Pointer);
        if (!text.text || stage.focus() != &text) return true;   // a focus handler took the focus elsewhere
        tf->selectingWords = phase == PointerPhase::DoublePress;
        if (tf->selectingWords) {
            const EditTextMetrics& m = tf->metrics();
            const int under = editTextCharAt(m, *local);
            const auto [begin, end] = wordAround(tf->text(), under >= 0 ? under : std::max(0, index - 1));
            state.selectionAnchor = begin;
            state.selectionCaret = end;
        } else {
            if (!extend) state.selectionAnchor = index;
            state.selectionCaret = index;
        }
        stage.touch();
    } else if (phase == PointerPhase::Move && stage.focus() == &text) {
        if (tf->selectingWords) {
            // Whole words: the selection grows from the first word to the one under the pointer.
            const QString value = tf->text();
            const auto [begin, end] = wordAround(value, std::max(0, std::min(index, static_cast<int>(value.size()) - 1)));
            const int a = std::min(state.selectionAnchor, state.selectionCaret);
            const int b = std::max(state.selectionAnchor, state.selectionCaret);
            if (index < a) {
                state.selectionAnchor = b;
                state.selectionCaret = begin;
            } else if (index > b) {
                state.selectionAnchor = a;
                state.selectionCaret = end;
            }
        } else {
            state.selectionCaret = index;
        }
        stage.touch();
    }
    return true;
}

void pointerPressedElsewhere(Stage& stage) {
    DisplayObject* o = stage.focus();
    if (o && fieldOf(o)) moveFocus(stage, nullptr, FocusCause::Pointer);
    else pointerMoved(stage);
}

}  // namespace vistrel::player
