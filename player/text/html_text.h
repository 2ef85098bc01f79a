// The HTML subset of edit-text fields, parsed into paragraphs of uniformly styled runs.
#pragma once

#include <optional>
#include <vector>

#include <QRgb>
#include <QString>

namespace vistrel::player {

enum class TextAlign { Left, Right, Center, Justify };

// The character format of one run; sizes and spacing in pixels (points at 100%).
struct TextFormat {
    QString font;
    double size = 12;
    QRgb color = 0xff000000;
    bool bold = false, italic = false, underline = false;
    QString url, target;
    double letterSpacing = 0;
    bool kerning = false;   // apply the font's kerning pairs
    // Kerning a markup font tag asks for: drawn, but scripts reading the format never see it.
    bool markupKerning = false;
};

struct TextRun {
    QString text;
    TextFormat format;
};

bool sameFormat(const TextFormat& a, const TextFormat& b);

// One paragraph: its layout and the runs it holds (possibly none, for an empty line). Margins,
// indents and leading in pixels.
struct TextParagraph {
    TextAlign align = TextAlign::Left;
    double leftMargin = 0, rightMargin = 0, indent = 0, blockIndent = 0, leading = 0;
    bool bullet = false;
    std::vector<double> tabStops;
    std::vector<TextRun> runs;
    TextFormat endFormat;   // the format of the paragraph's end, shown for an empty paragraph
    bool ended = false;     // closed by a line end (the last paragraph is not)
    // Whether markup lays out its line end like the next paragraph's first character; unknown, when the
    // paragraphs are alike.
    std::optional<bool> endLikeNext;
};

// Whether two paragraphs are laid out alike (their runs aside).
bool sameLayout(const TextParagraph& a, const TextParagraph& b);

// Parses `html` with `defaults` as the outermost format and `defaultAlign` for paragraphs that
// set none. Tolerates unknown, unclosed and mismatched tags; "\r" and "\n" in the text each end a
// paragraph; so do <br>, </p>, </li> and a <li> after text, but only when `multiline`. Text
// between tags that is only literal blanks and line ends is dropped. A paragraph takes the layout
// in force at its first character. Always terminates, in time linear in the input.
std::vector<TextParagraph> parseHtmlText(const QString& html, const TextFormat& defaults,
                                         TextAlign defaultAlign, bool multiline = true);
// The same, with `layout` giving the paragraph settings (runs ignored) that tags do not override.
// `keepBlankText` keeps text of blanks alone between tags (as movies from version 8 on do).
std::vector<TextParagraph> parseHtmlText(const QString& html, const TextFormat& defaults, const TextParagraph& layout,
                                         bool multiline, bool keepBlankText = false);

} // namespace vistrel::player
