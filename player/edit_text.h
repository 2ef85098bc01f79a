// Edit-text fields (DefineEditText) laid out into filled outlines: embedded fonts by their glyphs,
// device fonts through the system's fonts, plain or HTML text, wrapped and aligned in the field.
#pragma once

#include <QPointF>
#include <QRectF>
#include <QRgb>
#include <QString>

#include "player/shape_paths.h"
#include "player/swf/tags_text.h"
#include "player/text/html_text.h"

namespace vistrel::player {

class Movie;

// How a field grows to fit its text.
enum class AutoSize { None, Left, Center, Right };

// A stretch of a plain text in one character format.
struct FormatRun {
    int length = 0;
    TextFormat format;
};

// What one field instance shows: the definition's settings, as scripts may have changed them.
struct EditTextProps {
    QRectF bounds;             // twips, in the field's own space
    QString text;              // plain text, or the markup when html is set
    bool html = false;
    bool border = false, background = false;
    QRgb borderColor = qRgb(0, 0, 0), backgroundColor = qRgb(255, 255, 255);
    bool wordWrap = false, multiline = false, password = false, condenseWhite = false;
    bool useOutlines = false;  // embedded glyphs rather than a device font
    AutoSize autoSize = AutoSize::None;
    TextFormat format;         // the field's default character format
    // Plain text whose stretches differ in format: the runs in order, covering the text as scripts see it
    // (one "\r" per line end). Empty while the whole text is in `format`.
    std::vector<FormatRun> runs;
    TextAlign align = TextAlign::Left;
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;   // twips
    double blockIndent = 0;                                             // twips
    bool bullet = false;
    std::vector<double> tabStops;                                       // pixels
    // What is scrolled into view: the first line shown (counting from 1) and the pixels the text has
    // moved left. The text shows inside the bounds less the gutters at the sides.
    int scroll = 1, hscroll = 0;
};

// One laid-out line of a field, for placing the caret and the selection: in twips of the field's space,
// where it is drawn (scrolled).
struct EditTextLine {
    double top = 0, bottom = 0;
    int begin = 0, end = 0;    // indexes of the characters it shows in the plain text ("\r" between paragraphs)
    std::vector<double> xs;    // the pen's x at each index from begin to end (end - begin + 1 values)
};

// A stretch of linked text: [begin, end) in the plain text.
struct EditTextLink {
    int begin = 0, end = 0;
    QString url, target;
};

// Measures of a laid-out field, in twips.
struct EditTextMetrics {
    double textWidth = 0, textHeight = 0;
    int lineCount = 0;
    std::vector<double> lineBottoms;   // each line's bottom below the top of the text's glyphs
    std::vector<EditTextLine> lines;
    std::vector<EditTextLink> links;
};

// The text index nearest to `point` (field twips) in a laid-out field: the line under it (or the nearest
// one above or below), then the nearer side of the glyph under it.
int editTextIndexAt(const EditTextMetrics& metrics, QPointF point);
// The index of the character drawn under `point` (field twips), or -1 when it is on none.
int editTextCharAt(const EditTextMetrics& metrics, QPointF point);
// The line showing the caret at `index` (a wrapped line's end is the next one's start), or -1 without lines.
int editTextLineOf(const EditTextMetrics& metrics, int index);
// The caret's x at `index` on line `line`.
double editTextCaretX(const EditTextMetrics& metrics, int line, int index);

// Whether a field's markup ends lines at paragraph and break tags: in multiline fields, and in all
// fields of movies before version 7.
bool editTextBreaksLines(const Movie& movie, const EditTextProps& props);

// Plain text as paragraphs of runs: one format throughout, or the stretches of `runs` (characters past
// them in the last run's format). A carriage return, a line feed, or both together end a paragraph.
std::vector<TextParagraph> plainParagraphs(const QString& text, const TextFormat& format, const TextParagraph& layout,
                                           const std::vector<FormatRun>& runs = {});

// A field's own paragraph settings (in pixels), which its markup may override per paragraph.
TextParagraph editTextLayout(const EditTextProps& props);

// The settings a field starts with, as its definition gives them.
EditTextProps editTextProps(const Movie& movie, const swf::DefineEditText& field);

ShapePaths buildEditText(const Movie& movie, const swf::DefineEditText& field);
// One instance's field: `field` still gives the font; everything else comes from `props`.
ShapePaths buildEditText(const Movie& movie, const swf::DefineEditText& field, const EditTextProps& props,
                         EditTextMetrics* metrics = nullptr);

}  // namespace vistrel::player
