// The script side of edit-text fields: TextField objects whose properties (text, htmlText, autoSize,
// scroll...) read and change the field instance, TextField and MovieClip.createTextField methods, and
// the binding of fields to the variables they name.
#pragma once

#include <map>
#include <optional>

#include "player/edit_text.h"
#include "player/script/clip_object.h"

namespace vistrel::player {

struct DisplayObject;
class SpriteInstance;
class Movie;
class Stage;

// What a focused field draws over its text: `marks` (the caret, or the selection's black band), then
// `text` (the field's text in white) clipped to `band`.
struct EditTextSelection {
    ShapePaths marks, band, text;
};

class TextFieldObject : public ClipObject {
public:
    // `definition` is null for fields made by createTextField.
    TextFieldObject(Stage& stage, DisplayObject& object, const swf::DefineEditText* definition);

    bool getSpecial(avm1::Vm& vm, const QString& name, avm1::Value& out) override;
    bool setSpecial(avm1::Vm& vm, const QString& name, const avm1::Value& value) override;
    void markChildren(avm1::Heap& heap) override;

    Stage& stage() const { return m_stage; }
    EditTextProps& props() { return m_props; }
    const swf::DefineEditText& definition() const { return m_definition; }

    // The text as scripts see it ("\r" between paragraphs), and the markup.
    QString text() const;
    QString htmlText() const;
    // Replaces the text; `fromVariable` when the bound variable gave it (it is not written back).
    void setText(const QString& text, bool fromVariable = false);
    void setHtmlText(const QString& html);
    void setHtml(bool on);
    // The text's paragraphs in their formats, each ended one (all but the last) by a line end.
    std::vector<TextParagraph> paragraphs() const;
    // A TextFormat object's settings for the characters `indexes` name (none: all of them; one: that
    // character; two: a range), the other characters keeping theirs.
    void formatText(avm1::Vm& vm, std::span<const avm1::Value> indexes, const avm1::Value& format);
    // Replaces characters [begin, end) of the text with `value`, the rest keeping their formats.
    void replaceText(int begin, int end, const QString& value);
    // The html flag as scripts read it (a style sheet's markup leaves it as it was).
    bool htmlFlag() const;
    // A style sheet (an object) or undefined. While one is set, text given as text or htmlText is read
    // as markup, and the markup last given reads back as given.
    void setStyleSheet(const avm1::Value& sheet);
    const avm1::Value& styleSheet() const { return m_styleSheet; }
    void setStyledText(const QString& html);
    // `html` with what the style sheet sets for its tags written out as plain markup.
    QString markupWithSheet(const QString& html) const;
    // Every character of the markup takes `color` (as setting textColor does).
    void recolorMarkup(QRgb color);
    // Whether paragraph and break tags end lines in this field's markup.
    bool breaksLines() const;
    // Whether text of blanks alone between tags counts (from version 8).
    bool keepsBlankText() const;

    // Something that changes what the field draws: laid out again on next use, drawn from the instance
    // from now on.
    void changed();
    // A change that lays the text out anew (its text, format, wrapping or size): the view scrolls back to
    // the first line and the left edge.
    void relaidOut();
    // New text, plain or markup, takes the format and paragraph layout set for new text.
    void takeNewFormat();
    // Scrolls to `line` (from 1) and `pixels` from the left edge, as given (callers keep them in range).
    void scrollTo(int line, int pixels);
    // The last line scroll may take (from which the rest of the text fits), and the most pixels hscroll may.
    int maxScroll();
    int maxHScroll();
    // Laid out as it stands (autoSize applied), paths cached in the display object's text state.
    const EditTextMetrics& metrics();
    // What to draw, or null while the field still shows its definition unchanged.
    const ShapePaths* ownPaths();
    // The bounds in the field's own space, in twips.
    QRectF bounds();
    // The caret and the highlighted selection drawn over the field while it has the focus, or null.
    const EditTextSelection* selectionPaths();
    // The text index nearest to a point in the field's own twips (text_selection.cpp).
    int indexAt(QPointF fieldTwips);

    // Variable binding: the clip and name the variable path leads to (null when it does not resolve).
    avm1::Object* variableTarget(QString& name);
    // Pulls the variable's value into the field; `initial` on placement, when a missing variable takes
    // the field's text.
    void syncFromVariable(bool initial);

    // Field settings scripts read back as they set them.
    TextFormat newFormat;
    EditTextProps newLayout;   // the paragraph settings (align, margins, indent, leading) for new text
    bool newFormatSet = false;
    bool selectable = true, input = false;
    std::optional<int> maxChars;
    avm1::Value restrict = avm1::Value::null();
    int scroll = 1, hscroll = 0;
    int pressedLink = -1;           // the link a press landed on, followed if the release lands there too
    bool selectingWords = false;    // a double press: the drag selects whole words
    double autoSizeShift = 0;       // twips autoSize has moved the field sideways, all told
    bool definitionMarkup = false;   // still the definition's own markup, whose kerning scripts see
    std::map<QString, avm1::Value> stored;   // settings kept only to be read back

private:
    Stage& m_stage;
    swf::DefineEditText m_definition;
    EditTextProps m_props;
    bool m_own = false;                        // drawn from the instance rather than the definition
    std::optional<EditTextMetrics> m_metrics;
    std::uint64_t m_layoutSerial = 0;          // counts layouts, so that drawings made from one can tell
    std::optional<EditTextSelection> m_selectionPaths;
    std::uint64_t m_selectionKey = 0;
    avm1::Value m_styleSheet;
    avm1::Value m_boundValue;   // the bound variable's value the text last came from or went to
    bool m_boundSet = false;
    bool m_styledMarkup = false;             // the text is markup only because of the style sheet
    std::optional<QString> m_styledSource;   // the markup as given while the style sheet was set
};

// The object made for an edit text as it joins the display list (its variable bound).
avm1::Object* makeTextFieldObject(Stage& stage, DisplayObject& object);

// duplicateMovieClip on a text field: a fresh field at `depth` of `parent` that keeps only the source's
// transform, colour and (for script-made fields) its input type; a field from a definition starts again
// from the definition. Returns null when the copy cannot be made.
DisplayObject* duplicateTextField(Stage& stage, DisplayObject& source, SpriteInstance& parent, int depth,
                                  const QString& name);

// What to draw for an edit-text instance, or null when the definition's shared outlines still apply.
const ShapePaths* editTextInstancePaths(const DisplayObject& object);

// The caret and selection to draw over an edit-text instance that has the focus, or null.
const EditTextSelection* editTextSelectionPaths(const DisplayObject& object);

// The bounds of an edit-text instance in its own space (twips) as scripts and autoSize left them, or
// nothing when the definition's bounds still hold.
std::optional<QRectF> editTextInstanceBounds(const DisplayObject& object);

// Fields show the current values of their variables: called once per tick after the scripts have run.
void syncTextVariables(Stage& stage);

// The TextField methods and properties, and MovieClip.createTextField.
void installTextFieldBuiltins(Stage& stage);

// TextFormat.getTextExtent: `text` laid out in the character format and leading of `format` (a TextFormat
// object), wrapped at `width` pixels unless it is undefined. An object of width, height, ascent, descent,
// textFieldWidth and textFieldHeight.
avm1::Value textExtent(Stage& stage, const avm1::Value& format, const QString& text, const avm1::Value& width);

}  // namespace vistrel::player
