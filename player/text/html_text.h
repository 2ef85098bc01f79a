// The HTML subset of edit-text fields, parsed into paragraphs of uniformly styled runs.
#pragma once

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
    QString url;
    double letterSpacing = 0;
    bool kerning = false;   // apply the font's kerning pairs
};

struct TextRun {
    QString text;
    TextFormat format;
};

// One paragraph: its layout and the runs it holds (possibly none, for an empty line).
struct TextParagraph {
    TextAlign align = TextAlign::Left;
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
    std::vector<TextRun> runs;
};

// Parses `html` with `defaults` as the outermost format and `defaultAlign` for paragraphs that
// set none. Tolerates unknown, unclosed and mismatched tags; "\r" and "\n" in the text each end a
// paragraph. Always terminates, in time linear in the input.
std::vector<TextParagraph> parseHtmlText(const QString& html, const TextFormat& defaults,
                                         TextAlign defaultAlign);

} // namespace vistrel::player
