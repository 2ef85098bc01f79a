#include "player/edit_text.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

#include "player/movie.h"
#include "player/text/device_font.h"
#include "player/text/html_text.h"

namespace vistrel::player {

namespace {

constexpr double kGutter = 40;   // fields keep 2 pixels between their border and the text
constexpr double kBulletStep = 36 * 20;

// One word (with its trailing blanks) in one format, measured.
struct Piece {
    QString text;
    const TextFormat* format = nullptr;
    const FontCharacter* font = nullptr;   // embedded outlines, or null for a device font
    QChar next;                            // the character after the piece in the same run, for kerning
    double width = 0, ascent = 0, descent = 0;
    double blanks = 0;                     // the part of the width its trailing blanks take
    bool endsWithSpace = false;
    bool tab = false;                      // a tab on its own: its width depends on where the line has got to
    int index = -1;                        // where it starts in the plain text
    int run = -1;                          // which of its paragraph's runs it comes from
};

// How far a line reaches above and below its baseline.
struct Extent {
    double ascent = 0, descent = 0;
};

bool isTab(QChar c) { return c == u'\t'; }
bool isBlank(QChar c) { return c.isSpace() && !isTab(c); }

// The font's kerning adjustment between two characters, in font units.
double kerningBetween(const FontCharacter& font, QChar left, QChar right) {
    if (left.isNull() || right.isNull() || font.font.kerning.empty()) return 0;
    for (const swf::KerningPair& k : font.font.kerning)
        if (k.left == left.unicode() && k.right == right.unicode()) return k.adjustment;
    return 0;
}

// How far the pen moves after `ch`, in whole twips: fields place their glyphs on the twip grid,
// dropping the fraction of every advance.
double embeddedAdvance(const Movie& movie, const FontCharacter& font, QChar ch, QChar next, double sizeTwips,
                       bool kerning) {
    auto it = font.glyphForCode.find(ch.unicode());
    if (it == font.glyphForCode.end()) return std::floor(sizeTwips / 3);   // a missing glyph still takes room
    const double scale = sizeTwips / font.emSize();
    double advance = 0;
    if (it->second < font.font.advances.size()) advance = font.font.advances[it->second];
    else advance = movie.glyphPath(font, it->second).boundingRect().right();
    if (kerning) advance += kerningBetween(font, ch, next);
    return std::floor(advance * scale);
}

// The pen movement after each character of the piece, letter spacing included.
std::vector<double> advances(const Movie& movie, const Piece& p) {
    std::vector<double> out;
    out.reserve(static_cast<std::size_t>(p.text.size()));
    const double size = p.format->size * 20;
    if (!p.font) {
        // Device text takes no kerning.
        const DeviceFont& device = DeviceFont::instance();
        for (QChar c : p.text) out.push_back(deviceSpacedAdvance(device.advance(c, size), p.format->letterSpacing));
        return out;
    }
    for (qsizetype i = 0; i < p.text.size(); ++i) {
        const QChar next = i + 1 < p.text.size() ? p.text[i + 1] : p.next;
        const bool kerning = p.format->kerning || p.format->markupKerning;
        out.push_back(embeddedAdvance(movie, *p.font, p.text[i], next, size, kerning) +
                      p.format->letterSpacing * 20);
    }
    return out;
}

void measure(const Movie& movie, Piece& p) {
    const double size = p.format->size * 20;
    p.width = p.blanks = 0;
    if (p.tab) {
        // As high as a blank of its font; its width comes with its place in the line.
        Piece blank = p;
        blank.text = QStringLiteral(" ");
        blank.tab = false;
        measure(movie, blank);
        p.ascent = blank.ascent;
        p.descent = blank.descent;
        return;
    }
    const std::vector<double> steps = advances(movie, p);
    for (double a : steps) p.width += a;
    for (qsizetype i = p.text.size() - 1; i >= 0 && p.text[i].isSpace(); --i) p.blanks += steps[static_cast<std::size_t>(i)];
    if (p.font) {
        const double scale = size / p.font->emSize();
        // Whole twips, each cut down on its own.
        p.ascent = std::floor(p.font->font.hasLayout ? p.font->font.ascent * scale : size * 0.9);
        p.descent = std::floor(p.font->font.hasLayout ? p.font->font.descent * scale : size * 0.22);
    } else {
        p.ascent = DeviceFont::instance().ascent(size);
        p.descent = DeviceFont::instance().descent(size);
    }
}

void emitPiece(const Movie& movie, const Piece& p, double x, double baseline, ShapePaths& out) {
    if (p.tab) return;
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const double size = p.format->size * 20;
    const std::vector<double> steps = advances(movie, p);
    const double start = x;
    for (qsizetype i = 0; i < p.text.size(); ++i) {
        if (p.font) {
            auto it = p.font->glyphForCode.find(p.text[i].unicode());
            if (it != p.font->glyphForCode.end()) {
                const double scale = size / p.font->emSize();
                QTransform t;
                t.translate(x, baseline);
                t.scale(scale, scale);
                path.addPath(t.map(movie.glyphPath(*p.font, it->second)));
            }
        } else {
            path.addPath(DeviceFont::instance().glyph(p.text[i], size).translated(x, baseline));
        }
        x += steps[static_cast<std::size_t>(i)];
    }
    if (p.format->underline && x > start) {
        // A one-pixel line under the whole piece, a seventh of the size or so below the baseline.
        const double below = std::round(p.format->size * 0.135) * 20;
        path.addRect(QRectF(start, baseline + below, x - start, 20));
    }
    if (path.isEmpty()) return;
    DrawItem item;
    item.path = path;
    const QRgb c = p.format->color;
    item.paint.color = swf::Rgba{static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                                 static_cast<std::uint8_t>(qBlue(c)), 255};
    out.bounds |= path.boundingRect();
    out.items.push_back(std::move(item));
}

}  // namespace

std::vector<TextParagraph> plainParagraphs(const QString& text, const TextFormat& format, const TextParagraph& layout,
                                           const std::vector<FormatRun>& runs) {
    std::vector<TextParagraph> out;
    if (!runs.empty()) {
        out.push_back(layout);
        out.back().endFormat = format;
        std::size_t r = 0;
        int left = runs.front().length;
        const TextFormat* current = &runs.front().format;
        for (qsizetype i = 0; i < text.size(); ++i) {
            while (left <= 0 && r + 1 < runs.size()) left = runs[++r].length;
            current = &runs[r].format;
            --left;
            const QChar c = text[i];
            if (c == u'\r' || c == u'\n') {
                if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
                out.back().endFormat = *current;
                out.push_back(layout);
                out.back().endFormat = *current;
                continue;
            }
            TextParagraph& p = out.back();
            if (p.runs.empty() || !sameFormat(p.runs.back().format, *current)) p.runs.push_back({QString(), *current});
            p.runs.back().text += c;
        }
        return out;
    }
    // A carriage return and a line feed each end a line, also one after the other.
    QString normalized = text;
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString& line : normalized.split(QLatin1Char('\n'))) {
        TextParagraph p = layout;
        p.endFormat = format;
        if (!line.isEmpty()) p.runs.push_back({line, format});
        out.push_back(std::move(p));
    }
    return out;
}

namespace {

// The embedded font text in `format` is drawn with, or null for a device font. `shown` turns false for
// embedded text whose font the movie lacks: it shows nothing and takes no room.
const FontCharacter* fontFor(const Movie& movie, const TextFormat& format, const FontCharacter* fieldFont,
                             bool useOutlines, bool& shown) {
    shown = true;
    if (!useOutlines) return nullptr;
    if (const FontCharacter* font = movie.fontByName(format.font, format.bold, format.italic)) return font;
    if (fieldFont) return fieldFont->font.glyphs.empty() ? nullptr : fieldFont;
    shown = false;
    return nullptr;
}

// Splits runs into words, each keeping the blanks that follow it. The paragraph's text starts at
// `start` in the plain text.
std::vector<Piece> splitPieces(const Movie& movie, const TextParagraph& para, const FontCharacter* fieldFont,
                               bool useOutlines, int start = 0) {
    std::vector<Piece> pieces;
    int offset = start;
    for (std::size_t r = 0; r < para.runs.size(); ++r) {
        const TextRun& run = para.runs[r];
        const int runStart = offset;
        offset += static_cast<int>(run.text.size());
        bool shown = true;
        const FontCharacter* font = fontFor(movie, run.format, fieldFont, useOutlines, shown);
        if (!shown) continue;
        qsizetype i = 0;
        while (i < run.text.size()) {
            qsizetype j = i;
            if (isTab(run.text[j])) {
                ++j;
            } else {
                while (j < run.text.size() && !run.text[j].isSpace()) ++j;
                while (j < run.text.size() && isBlank(run.text[j])) ++j;
            }
            Piece p;
            p.text = run.text.mid(i, j - i);
            p.format = &run.format;
            p.font = font;
            p.tab = isTab(p.text.front());
            p.endsWithSpace = p.text.back().isSpace();
            p.index = runStart + static_cast<int>(i);
            p.run = static_cast<int>(r);
            if (j < run.text.size()) p.next = run.text[j];
            measure(movie, p);
            pieces.push_back(std::move(p));
            i = j;
        }
    }
    return pieces;
}

// A word wider than a whole line is broken where each line is full (after one character at least): the
// first part fits `avail`, the ones after it `availAfter` (lines after the first have no indent). A word
// that only the first line's indent leaves no room for stays whole, reaching past the line's end. All
// parts are made at once, so a long word in a narrow field costs time in proportion to its length.
void breakLongWord(const Movie& movie, std::vector<Piece>& pieces, std::size_t i, double avail, double availAfter) {
    const Piece word = pieces[i];
    if (word.width - word.blanks <= std::max(avail, availAfter) + 0.5 || word.text.size() < 2) return;
    const std::vector<double> steps = advances(movie, word);
    std::vector<Piece> parts;
    qsizetype begin = 0;
    double room = avail;
    while (begin < word.text.size()) {
        qsizetype end = begin + 1;
        double x = steps[static_cast<std::size_t>(begin)];
        while (end < word.text.size() && !word.text[end].isSpace() &&
               x + steps[static_cast<std::size_t>(end)] <= room + 0.5)
            x += steps[static_cast<std::size_t>(end++)];
        // The blanks after the word stay with its last part, however far they reach.
        if (end < word.text.size() && word.text[end].isSpace()) end = word.text.size();
        Piece part = word;
        part.text = word.text.mid(begin, end - begin);
        part.next = end < word.text.size() ? word.text[end] : word.next;
        part.endsWithSpace = part.text.back().isSpace();
        part.index = word.index + static_cast<int>(begin);
        measure(movie, part);
        parts.push_back(std::move(part));
        begin = end;
        room = availAfter;
    }
    pieces.erase(pieces.begin() + static_cast<std::ptrdiff_t>(i));
    pieces.insert(pieces.begin() + static_cast<std::ptrdiff_t>(i), std::make_move_iterator(parts.begin()),
                  std::make_move_iterator(parts.end()));
}

// The pen's offset from the piece's start before each of its characters and after the last, as drawn.
std::vector<double> penOffsets(const Movie& movie, const Piece& p) {
    if (p.tab) return {0, p.width};
    std::vector<double> out{0};
    out.reserve(static_cast<std::size_t>(p.text.size()) + 1);
    for (double a : advances(movie, p)) out.push_back(out.back() + a);
    // The piece's measured width is where the next one starts.
    if (out.size() > 1) out.back() = p.width;
    return out;
}

// One line: pieces [begin, end) and its measures.
struct Line {
    std::size_t begin = 0, end = 0;
    double width = 0;
};

// How far a tab at `x` (twips from the line's start) moves the pen: to the first of the paragraph's stops
// (pixels, in the order given) past it, or nowhere when none is; without stops, to the next multiple of
// 2.7 times the font's size.
double tabWidth(const TextParagraph& para, const TextFormat& format, double x) {
    if (!para.tabStops.empty()) {
        for (double stop : para.tabStops)
            if (stop * 20 > x) return stop * 20 - x;
        return 0;
    }
    const double interval = format.size * 54;
    if (interval <= 0) return 0;
    return (std::floor(x / interval) + 1) * interval - x;
}

// Takes pieces while they fit; a line always takes at least one piece, so it advances. Tabs get their
// widths here.
Line takeLine(std::vector<Piece>& pieces, std::size_t begin, double avail, bool wordWrap, const TextParagraph& para) {
    Line line;
    line.begin = line.end = begin;
    while (line.end < pieces.size()) {
        Piece& p = pieces[line.end];
        // Blanks after a word may reach past the line's end.
        if (p.tab) p.width = tabWidth(para, *p.format, line.width);
        else if (line.end > begin && wordWrap && line.width + p.width - p.blanks > avail + 0.5) break;
        line.width += p.width;
        ++line.end;
    }
    return line;
}

// The width of the tabs that start a line and of those that end it: the line's text reaches from its
// first glyph to its last.
std::pair<double, double> outerTabs(const std::vector<Piece>& pieces, const Line& line) {
    double lead = 0, trail = 0;
    std::size_t k = line.begin;
    for (; k < line.end && pieces[k].tab; ++k) lead += pieces[k].width;
    for (std::size_t e = line.end; e > k && pieces[e - 1].tab; --e) trail += pieces[e - 1].width;
    return {lead, trail};
}

// The width of the blanks (and tabs) that end a line: they take no room in its alignment.
double trailingBlanks(const std::vector<Piece>& pieces, const Line& line) {
    double width = 0;
    std::size_t end = line.end;
    for (; end > line.begin && pieces[end - 1].tab; --end) width += pieces[end - 1].width;
    return end == line.begin ? width : width + pieces[end - 1].blanks;
}

// The first line's indent in twips: a negative one reaches back over the margins and a bullet's step,
// never past them.
double firstLineIndent(const TextParagraph& para) {
    const double room = (para.leftMargin + para.blockIndent) * 20.0 + (para.bullet ? kBulletStep : 0);
    return std::max(para.indent * 20.0, -room);
}

}  // namespace

TextParagraph editTextLayout(const EditTextProps& props) {
    TextParagraph p;
    p.align = props.align;
    p.leftMargin = props.leftMargin / 20;
    p.rightMargin = props.rightMargin / 20;
    p.indent = props.indent / 20;
    p.leading = props.leading / 20;
    p.blockIndent = props.blockIndent / 20;
    p.bullet = props.bullet;
    p.tabStops = props.tabStops;
    return p;
}

bool editTextBreaksLines(const Movie& movie, const EditTextProps& props) {
    return props.multiline || movie.header().version < 7;
}

EditTextProps editTextProps(const Movie& movie, const swf::DefineEditText& field) {
    EditTextProps props;
    props.bounds = QRectF(field.bounds.xMin, field.bounds.yMin,
                          static_cast<double>(field.bounds.xMax) - field.bounds.xMin,
                          static_cast<double>(field.bounds.yMax) - field.bounds.yMin);
    props.text = movie.decodeString(field.initialText);
    props.html = field.html;
    // A definition's border flag gives both the frame and the white box behind the text.
    props.border = props.background = field.border;
    props.wordWrap = field.wordWrap;
    props.multiline = field.multiline;
    props.password = field.password;
    props.autoSize = field.autoSize ? AutoSize::Left : AutoSize::None;
    const FontCharacter* fieldFont = nullptr;
    if (field.fontId) {
        const Character* c = movie.character(*field.fontId);
        fieldFont = c ? std::get_if<FontCharacter>(c) : nullptr;
    }
    props.useOutlines = field.useOutlines;
    TextFormat& defaults = props.format;
    defaults.font = fieldFont ? movie.decodeString(fieldFont->font.name) : movie.decodeString(field.fontClass);
    if (defaults.font.isEmpty()) defaults.font = QStringLiteral("_sans");
    defaults.size = field.fontHeight / 20.0;
    if (fieldFont && !field.html) {   // HTML text states its own styles
        defaults.bold = fieldFont->font.bold;
        defaults.italic = fieldFont->font.italic;
    }
    if (field.color) defaults.color = qRgb(field.color->r, field.color->g, field.color->b);
    static const TextAlign kAligns[] = {TextAlign::Left, TextAlign::Right, TextAlign::Center, TextAlign::Justify};
    props.align = kAligns[std::min<int>(field.align, 3)];
    props.leftMargin = field.leftMargin;
    props.rightMargin = field.rightMargin;
    props.indent = field.indent;
    props.leading = field.leading;
    return props;
}

ShapePaths buildEditText(const Movie& movie, const swf::DefineEditText& field) {
    return buildEditText(movie, field, editTextProps(movie, field));
}

ShapePaths buildEditText(const Movie& movie, const swf::DefineEditText& field, const EditTextProps& props,
                         EditTextMetrics* metrics) {
    ShapePaths out;
    const QRectF bounds = props.bounds;
    if (props.background || props.border) {
        // The box and its one-pixel frame lie on whole pixels (the frame's right and bottom lines
        // just past the bounds), sharp wherever the field stands.
        auto rgba = [](QRgb c) {
            return swf::Rgba{static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                             static_cast<std::uint8_t>(qBlue(c)), 255};
        };
        if (props.background) {
            DrawItem back;
            back.path.addRect(bounds);
            back.pixelBox = PixelBox::Fill;
            back.paint.color = rgba(props.backgroundColor);
            out.items.push_back(back);
        }
        if (props.border) {
            DrawItem frame;
            frame.path.addRect(bounds);
            frame.pixelBox = PixelBox::Frame;
            frame.paint.color = rgba(props.borderColor);
            out.items.push_back(frame);
        }
    }
    // The frame's right and bottom lines lie just outside the bounds.
    out.bounds = props.border ? bounds.adjusted(0, 0, 20, 20) : bounds;
    const FontCharacter* fieldFont = nullptr;
    if (field.fontId) {
        const Character* c = movie.character(*field.fontId);
        fieldFont = c ? std::get_if<FontCharacter>(c) : nullptr;
    }
    // Fields made by scripts have no font of their own: their formats name the embedded fonts they use.
    const bool useOutlines = props.useOutlines;
    const TextFormat& defaults = props.format;
    QString text = props.text;
    if (props.password) text.fill(QLatin1Char('*'));
    std::vector<TextParagraph> paragraphs =
        props.html ? parseHtmlText(text, defaults, editTextLayout(props), editTextBreaksLines(movie, props),
                                 movie.header().version >= 8)
                   : plainParagraphs(text, defaults, editTextLayout(props), props.runs);
    // A field without text has no lines at all: it measures nothing and grows to its gutters alone.
    if (paragraphs.size() == 1 && paragraphs.front().runs.empty()) {
        if (metrics) {
            // Still, a caret there stands as high as the field's font, where its first line would start.
            const TextParagraph& para = paragraphs.front();
            Piece blank;
            blank.format = &para.endFormat;
            bool shown = true;
            blank.font = fontFor(movie, para.endFormat, fieldFont, props.useOutlines, shown);
            if (shown) {
                measure(movie, blank);
            } else {
                blank.ascent = std::floor(para.endFormat.size * 20 * 0.9);
                blank.descent = std::floor(para.endFormat.size * 20 * 0.22);
            }
            const double left = bounds.left() + kGutter + (para.leftMargin + para.blockIndent) * 20 +
                                 (para.bullet ? kBulletStep : 0) + firstLineIndent(para);
            const double right = bounds.right() - kGutter - para.rightMargin * 20;
            double x = left;
            if (para.align == TextAlign::Right) x = right;
            else if (para.align == TextAlign::Center) x = (left + right) / 2;
            EditTextLine line;
            line.top = bounds.top() + kGutter;
            line.bottom = line.top + blank.ascent + blank.descent;
            line.xs.push_back(x);
            metrics->lines.push_back(std::move(line));
        }
        paragraphs.clear();
    }
    // Where each paragraph starts in the plain text, "\r" between paragraphs.
    std::vector<int> paraStarts;
    int plainLength = 0;
    for (const TextParagraph& para : paragraphs) {
        if (!paraStarts.empty()) ++plainLength;
        paraStarts.push_back(plainLength);
        if (metrics) {
            for (const TextRun& run : para.runs) {
                const int runEnd = plainLength + static_cast<int>(run.text.size());
                if (!run.format.url.isEmpty() && runEnd > plainLength) {
                    if (!metrics->links.empty() && metrics->links.back().end == plainLength &&
                        metrics->links.back().url == run.format.url && metrics->links.back().target == run.format.target)
                        metrics->links.back().end = runEnd;
                    else
                        metrics->links.push_back({plainLength, runEnd, run.format.url, run.format.target});
                }
                plainLength = runEnd;
            }
        } else {
            for (const TextRun& run : para.runs) plainLength += static_cast<int>(run.text.size());
        }
    }
    // A line break that ends the text leaves an empty line after it: shown and scrolled to, but not
    // counted in the text's height.
    const bool endsInBreak = paragraphs.size() > 1 && paragraphs.back().runs.empty();
    const std::size_t textStart = out.items.size();
    double y = bounds.top() + kGutter;
    std::vector<double> lineLeadings;
    std::vector<double> lineTops;
    // Each line's glyph boxes (or, for an empty line, its end's), top and bottom below the text's top,
    // each as high as its own font: the text's height spans them.
    std::vector<std::pair<double, double>> lineBoxes;
    // A line is as high as the runs of one format (its line end included) that start on it. A run carried
    // on from an earlier line, past a line end or a wrap, counts there as the first thing on the line
    // before did.
    Extent carried;
    const TextFormat* carriedFormat = nullptr;
    const TextParagraph* previous = nullptr;
    // The text's width runs from the leftmost glyph of any line to the farthest line end.
    double textLeft = HUGE_VAL, textRight = -HUGE_VAL;
    for (std::size_t pi = 0; pi < paragraphs.size(); ++pi) {
        const TextParagraph& para = paragraphs[pi];
        const int paraStart = paraStarts[pi];
        std::vector<Piece> pieces = splitPieces(movie, para, fieldFont, useOutlines, paraStart);
        // An empty line is as high as its font at the paragraph's end.
        Piece blank;
        blank.format = &para.endFormat;
        bool shown = true;
        blank.font = fontFor(movie, para.endFormat, fieldFont, useOutlines, shown);
        // Embedded text whose font the movie lacks takes no room, not even a line's height.
        if (shown) measure(movie, blank);
        const double margin = bounds.left() + kGutter + (para.leftMargin + para.blockIndent) * 20;
        // A bullet item's lines start a fixed step in from its margin, its bullet half as far in, in
        // the format its text starts with; neither step counts in the text's width.
        const double left = para.bullet ? margin + kBulletStep : margin;
        const double right = bounds.right() - kGutter - para.rightMargin * 20;
        const double leading = para.leading * 20;
        // Where each run starts in the plain text; whether the first one goes on with the line end before.
        std::vector<int> runStarts;
        for (int at = paraStart; const TextRun& run : para.runs) {
            runStarts.push_back(at);
            at += static_cast<int>(run.text.size());
        }
        const TextFormat& firstFormat = para.runs.empty() ? para.endFormat : para.runs.front().format;
        const bool goesOn = previous && previous->ended && sameFormat(previous->endFormat, firstFormat) &&
                            previous->endLikeNext.value_or(sameLayout(*previous, para));
        const bool endJoinsLastRun = !para.runs.empty() && sameFormat(para.runs.back().format, para.endFormat);
        previous = &para;
        std::size_t i = 0;
        bool firstLine = true;
        bool runBegunAbove = false;   // a wrap just before a run's first word leaves the run begun above
        do {
            const double indent = firstLine ? firstLineIndent(para) : 0;
            const double avail = right - left - indent;
            if (props.wordWrap && i < pieces.size()) breakLongWord(movie, pieces, i, avail, right - left);
            const Line line = takeLine(pieces, i, avail, props.wordWrap, para);
            const std::size_t j = line.end;
            // An empty line holds only the paragraph's end.
            const int carriedRun = i < j ? pieces[i].run : -1;
            const bool carriedOver =
                i < j ? runBegunAbove || pieces[i].index > runStarts[static_cast<std::size_t>(carriedRun)] ||
                            (carriedRun == 0 && goesOn)
                      : goesOn;
            Extent extent, first;
            const TextFormat* firstFormat = nullptr;
            const auto add = [&](Extent e, const TextFormat* format) {
                if (!firstFormat) {
                    first = e;
                    firstFormat = format;
                }
                extent.ascent = std::max(extent.ascent, e.ascent);
                extent.descent = std::max(extent.descent, e.descent);
            };
            const auto own = [](const Piece& p) { return Extent{p.ascent, p.descent}; };
            for (std::size_t k = i; k < j; ++k) {
                if (carriedOver && pieces[k].run == carriedRun) add(carried, carriedFormat);
                else add(own(pieces[k]), pieces[k].format);
            }
            if (j == pieces.size() && (para.ended || i == j)) {
                const bool endCarried =
                    carriedOver && (i == j || (carriedRun + 1 == static_cast<int>(para.runs.size()) && endJoinsLastRun));
                if (endCarried) add(carried, carriedFormat);
                else add(own(blank), &para.endFormat);
            }
            runBegunAbove = j < pieces.size() && pieces[j].index == runStarts[static_cast<std::size_t>(pieces[j].run)];
            if (runBegunAbove) add(own(pieces[j]), pieces[j].format);
            // A bullet takes the format the item's first line starts with, as that line measures it.
            std::optional<Piece> bulletMark;
            if (firstLine && para.bullet && firstFormat) {
                Piece mark;
                mark.text = QStringLiteral("\u2022");
                mark.format = firstFormat;
                bool markShown = true;
                mark.font = fontFor(movie, *mark.format, fieldFont, useOutlines, markShown);
                if (markShown) {
                    measure(movie, mark);
                    bulletMark = std::move(mark);
                }
            }
            carried = first;
            carriedFormat = firstFormat;
            const double ascent = extent.ascent, descent = extent.descent;
            const auto [leadTabs, trailTabs] = outerTabs(pieces, line);
            // Tabs before the first glyph still move it, but the line aligns by its glyphs alone.
            const double lineWidth = line.width - leadTabs - trailingBlanks(pieces, line);
            double x = left + indent;
            if (para.align == TextAlign::Right) x = right - lineWidth;
            else if (para.align == TextAlign::Center) x = left + indent + (avail - lineWidth) / 2;
            const double lineStart = x;
            // Justified lines, all but a paragraph's last, share the spare room among their gaps.
            double gap = 0;
            if (para.align == TextAlign::Justify && j < pieces.size() && j - i > 1 && avail > lineWidth)
                gap = (avail - lineWidth) / static_cast<double>(j - i - 1);
            const double baseline = y + ascent;
            if (firstLine && bulletMark) emitPiece(movie, *bulletMark, margin + indent + kBulletStep / 2, baseline, out);
            lineTops.push_back(y);
            EditTextLine placed;
            placed.top = y;
            placed.bottom = baseline + descent;
            placed.begin = placed.end = paraStart;
            placed.xs.push_back(x);
            bool started = false;
            for (std::size_t k = i; k < j; ++k) {
                emitPiece(movie, pieces[k], x, baseline, out);
                if (metrics) {
                    const std::vector<double> offsets = penOffsets(movie, pieces[k]);
                    if (!started) placed.begin = pieces[k].index;
                    started = true;
                    placed.xs.back() = x;   // a justified gap before it is no place for the caret
                    for (std::size_t c = 1; c < offsets.size(); ++c) placed.xs.push_back(x + offsets[c]);
                    placed.end = pieces[k].index + static_cast<int>(pieces[k].text.size());
                }
                x += pieces[k].width + gap;
            }
            if (metrics) {
                // The blanks that end a line count in the text's width, though not in its alignment;
                // from version 8, right and centred lines leave them out of the width too.
                const bool dropBlanks = movie.header().version >= 8 &&
                                        (para.align == TextAlign::Right || para.align == TextAlign::Center);
                const double reach = dropBlanks ? lineWidth : line.width - leadTabs - trailTabs;
                textLeft = std::min(textLeft, lineStart + leadTabs);
                textRight = std::max(textRight, lineStart + leadTabs + reach);
                metrics->lineBottoms.push_back(baseline + descent - (bounds.top() + kGutter));
                const double textTop = bounds.top() + kGutter;
                std::pair<double, double> box{HUGE_VAL, -HUGE_VAL};
                const auto spans = [&](const Piece& p) {
                    box.first = std::min(box.first, baseline - p.ascent - textTop);
                    box.second = std::max(box.second, baseline + p.descent - textTop);
                };
                for (std::size_t k = i; k < j; ++k) spans(pieces[k]);
                if (i == j) spans(blank);
                lineBoxes.push_back(box);
                lineLeadings.push_back(leading);
                metrics->lines.push_back(std::move(placed));
            }
            y = baseline + descent + leading;
            i = j;
            firstLine = false;
        } while (i < pieces.size());
    }
    // Scrolled text moves up by the lines above the first one shown, and left by the pixels scrolled.
    const std::size_t shownLine =
        lineTops.empty() ? 0 : static_cast<std::size_t>(std::clamp<int>(props.scroll, 1, static_cast<int>(lineTops.size())) - 1);
    const QPointF shift(-std::max(0, props.hscroll) * 20.0, lineTops.empty() ? 0 : lineTops.front() - lineTops[shownLine]);
    if (!shift.isNull()) {
        for (std::size_t k = textStart; k < out.items.size(); ++k) out.items[k].path.translate(shift);
        if (metrics) {
            for (EditTextLine& line : metrics->lines) {
                line.top += shift.y();
                line.bottom += shift.y();
                for (double& x : line.xs) x += shift.x();
            }
        }
    }
    // A field shows only what lies inside its bounds less the gutters at the sides; text that runs
    // past them is cut off, unless the field grows to fit its text.
    if (props.autoSize == AutoSize::None) {
        const QRectF shownArea(bounds.left() + kGutter, bounds.top(), std::max(0.0, bounds.width() - 2 * kGutter),
                               bounds.height());
        const bool inside = std::all_of(out.items.begin() + static_cast<std::ptrdiff_t>(textStart), out.items.end(),
                                        [&](const DrawItem& item) { return shownArea.contains(item.path.boundingRect()); });
        if (!inside && shownArea.isEmpty()) {
            out.items.erase(out.items.begin() + static_cast<std::ptrdiff_t>(textStart), out.items.end());
        } else if (!inside) {
            out.clip = shownArea;
            out.clipFrom = textStart;
        }
    }
    if (metrics) {
        if (textLeft <= textRight) metrics->textWidth = textRight - textLeft;
        metrics->lineCount = static_cast<int>(metrics->lineBottoms.size());
        const std::size_t counted = metrics->lineBottoms.size() - (endsInBreak ? 1 : 0);
        double top = HUGE_VAL, bottom = -HUGE_VAL;
        for (std::size_t l = 0; l < counted; ++l) {
            top = std::min(top, lineBoxes[l].first);
            bottom = std::max(bottom, lineBoxes[l].second);
        }
        metrics->textHeight = counted == 0 ? 0 : bottom - top;
        // Scrolling measures the lines from there too, so a field grown to its text shows every line.
        if (counted > 0)
            for (double& lineBottom : metrics->lineBottoms) lineBottom -= top;
        // The leading after the last line counts only in a field of one line.
        if (counted == 1) metrics->textHeight += lineLeadings.front();
    }
    const QRectF shown = props.border ? bounds.adjusted(0, 0, 20, 20) : bounds;
    out.bounds = props.autoSize != AutoSize::None ? out.bounds | shown : shown;
    return out;
}

int editTextLineOf(const EditTextMetrics& metrics, int index) {
    const auto& lines = metrics.lines;
    if (lines.empty()) return -1;
    for (std::size_t l = 0; l < lines.size(); ++l) {
        if (index < lines[l].begin) return static_cast<int>(l == 0 ? 0 : l - 1);
        // The end of a line shows there unless the next line starts at the same index (a wrap).
        if (index < lines[l].end || (index == lines[l].end && (l + 1 == lines.size() || lines[l + 1].begin != index)))
            return static_cast<int>(l);
    }
    return static_cast<int>(lines.size() - 1);
}

double editTextCaretX(const EditTextMetrics& metrics, int line, int index) {
    if (line < 0 || line >= static_cast<int>(metrics.lines.size())) return 0;
    const EditTextLine& l = metrics.lines[static_cast<std::size_t>(line)];
    if (l.xs.empty()) return 0;
    const int k = std::clamp(index - l.begin, 0, static_cast<int>(l.xs.size()) - 1);
    return l.xs[static_cast<std::size_t>(k)];
}

int editTextCharAt(const EditTextMetrics& metrics, QPointF point) {
    for (const EditTextLine& line : metrics.lines) {
        if (point.y() < line.top || point.y() >= line.bottom) continue;
        for (std::size_t k = 1; k < line.xs.size(); ++k)
            if (point.x() >= line.xs[k - 1] && point.x() < line.xs[k]) return line.begin + static_cast<int>(k) - 1;
    }
    return -1;
}

int editTextIndexAt(const EditTextMetrics& metrics, QPointF point) {
    const auto& lines = metrics.lines;
    if (lines.empty()) return 0;
    std::size_t l = 0;
    while (l + 1 < lines.size() && point.y() >= lines[l].bottom) ++l;
    const EditTextLine& line = lines[l];
    if (line.xs.size() < 2) return line.begin;
    // Nearest boundary: past a glyph's middle the caret goes after it. A line's trailing line break is
    // not a place for the caret.
    std::size_t best = 0;
    for (std::size_t k = 1; k < line.xs.size(); ++k)
        if (point.x() >= (line.xs[k - 1] + line.xs[k]) / 2) best = k;
    return line.begin + static_cast<int>(best);
}

}  // namespace vistrel::player
