// Editing the text of an input field as the user types: the caret, the selection, the restrict filter,
// the character limit and line breaks. Plain text only; the field decides what it shows.
#pragma once

#include <optional>
#include <vector>

#include <QString>

namespace vistrel::player::text {

// The characters a field's `restrict` setting lets through. A null setting lets everything through.
class RestrictFilter {
public:
    RestrictFilter() = default;
    explicit RestrictFilter(const QString& pattern);
    bool allows(char16_t c) const;
    // What typing `c` enters: `c`, its other case when only that is allowed (ASCII letters), or nothing.
    std::optional<char16_t> filter(char16_t c) const;

private:
    struct Range {
        char16_t lo = 0, hi = 0;
        bool include = true;
    };
    std::vector<Range> m_ranges;
    bool m_allowByDefault = true;
};

struct EditRules {
    bool multiline = false;
    std::optional<int> maxChars;   // counted in UTF-16 units, as scripts count length
    RestrictFilter restrict;
};

// One field's text with its caret and selection anchor (indexes into the text, 0..length).
class TextEditor {
public:
    TextEditor(QString text, int anchor, int caret);

    const QString& text() const { return m_text; }
    int anchor() const { return m_anchor; }
    int caret() const { return m_caret; }
    int selectionBegin() const { return std::min(m_anchor, m_caret); }
    int selectionEnd() const { return std::max(m_anchor, m_caret); }
    bool hasSelection() const { return m_anchor != m_caret; }
    QString selectedText() const { return m_text.mid(selectionBegin(), selectionEnd() - selectionBegin()); }

    // Replaces the selection with `typed` (filtered by the rules; line breaks become "\r" in multiline
    // fields and end the text in others). Returns whether the text changed.
    bool insert(const QString& typed, const EditRules& rules);
    bool backspace();
    bool deleteForward();
    // Caret moves; `select` keeps the anchor where it is (extending the selection).
    void moveLeft(bool select);
    void moveRight(bool select);
    void moveLineStart(bool select);
    void moveLineEnd(bool select);
    void moveUp(bool select);
    void moveDown(bool select);
    void moveStart(bool select);
    void moveEnd(bool select);
    void selectAll();
    void setSelection(int anchor, int caret);

private:
    void moveTo(int index, bool select);
    bool removeSelection();
    int lineStart(int index) const;
    int lineEnd(int index) const;

    QString m_text;
    int m_anchor = 0, m_caret = 0;
};

}  // namespace vistrel::player::text
