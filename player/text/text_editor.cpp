#include "player/text/text_editor.h"

#include <algorithm>

namespace vistrel::player::text {

namespace {

bool isLineBreak(QChar c) { return c == u'\r' || c == u'\n'; }

bool isAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

char16_t otherCase(char16_t c) { return c >= u'a' && c <= u'z' ? c - 32 : c + 32; }

}  // namespace

// The pattern lists characters and ranges ("a-z"); "^" switches between allowing and refusing what
// follows, "\" takes the next character literally. A range without a start begins at the first code; a
// range whose end comes before its start holds the start alone; runs of "-" act as one.
RestrictFilter::RestrictFilter(const QString& pattern) {
    m_allowByDefault = pattern.isEmpty() || pattern.front() == u'^';
    bool include = true;
    int start = -1;   // the last single character, which a "-" may extend; -1 when none
    const qsizetype n = pattern.size();
    for (qsizetype i = 0; i < n; ++i) {
        char16_t c = pattern[i].unicode();
        if (c == u'^') {
            include = !include;
            start = -1;
            continue;
        }
        if (c == u'-') {
            qsizetype j = i + 1;
            while (j < n && pattern[j] == u'-') ++j;
            if (j >= n) break;
            char16_t end = pattern[j].unicode();
            if (end == u'\\') {
                if (++j >= n) break;
                end = pattern[j].unicode();
            }
            const char16_t lo = start >= 0 ? static_cast<char16_t>(start) : 0;
            if (end >= lo) m_ranges.push_back({lo, end, include});
            start = -1;
            i = j;
            continue;
        }
        if (c == u'\\') {
            if (++i >= n) break;
            c = pattern[i].unicode();
        }
        m_ranges.push_back({c, c, include});
        start = c;
    }
}

bool RestrictFilter::allows(char16_t c) const {
    bool allowed = m_allowByDefault;
    for (const Range& r : m_ranges)
        if (c >= r.lo && c <= r.hi) allowed = r.include;
    return allowed;
}

std::optional<char16_t> RestrictFilter::filter(char16_t c) const {
    if (allows(c)) return c;
    if (isAsciiLetter(c) && allows(otherCase(c))) return otherCase(c);
    return std::nullopt;
}

TextEditor::TextEditor(QString text, int anchor, int caret) : m_text(std::move(text)) {
    setSelection(anchor, caret);
}

void TextEditor::setSelection(int anchor, int caret) {
    const int n = static_cast<int>(m_text.size());
    m_anchor = std::clamp(anchor, 0, n);
    m_caret = std::clamp(caret, 0, n);
}

bool TextEditor::removeSelection() {
    if (!hasSelection()) return false;
    const int b = selectionBegin();
    m_text.remove(b, selectionEnd() - b);
    m_anchor = m_caret = b;
    return true;
}

bool TextEditor::insert(const QString& typed, const EditRules& rules) {
    QString accepted;
    for (qsizetype i = 0; i < typed.size(); ++i) {
        const QChar c = typed[i];
        if (isLineBreak(c)) {
            if (!rules.multiline) break;   // a single-line field keeps the first line of what is pasted
            if (c == u'\n' && i > 0 && typed[i - 1] == u'\r') continue;
            accepted += u'\r';
            continue;
        }
        if (c.unicode() < 0x20) continue;   // other control characters are not typed into text
        if (auto f = rules.restrict.filter(c.unicode())) accepted += QChar(*f);
    }
    const int kept = static_cast<int>(m_text.size()) - (selectionEnd() - selectionBegin());
    if (rules.maxChars && *rules.maxChars > 0) {
        const int room = std::max(0, *rules.maxChars - kept);
        if (accepted.size() > room) {
            accepted.truncate(room);
            // Do not split a surrogate pair.
            if (!accepted.isEmpty() && accepted.back().isHighSurrogate()) accepted.chop(1);
        }
    }
    if (accepted.isEmpty()) return false;
    removeSelection();
    m_text.insert(m_caret, accepted);
    m_caret += static_cast<int>(accepted.size());
    m_anchor = m_caret;
    return true;
}

bool TextEditor::backspace() {
    if (removeSelection()) return true;
    if (m_caret == 0) return false;
    int from = m_caret - 1;
    if (from > 0 && m_text[from].isLowSurrogate() && m_text[from - 1].isHighSurrogate()) --from;
    m_text.remove(from, m_caret - from);
    m_anchor = m_caret = from;
    return true;
}

bool TextEditor::deleteForward() {
    if (removeSelection()) return true;
    const int n = static_cast<int>(m_text.size());
    if (m_caret >= n) return false;
    int count = 1;
    if (m_caret + 1 < n && m_text[m_caret].isHighSurrogate() && m_text[m_caret + 1].isLowSurrogate()) count = 2;
    m_text.remove(m_caret, count);
    return true;
}

void TextEditor::moveTo(int index, bool select) {
    m_caret = std::clamp(index, 0, static_cast<int>(m_text.size()));
    if (!select) m_anchor = m_caret;
}

void TextEditor::moveLeft(bool select) {
    if (!select && hasSelection()) return moveTo(selectionBegin(), false);
    int i = m_caret - 1;
    if (i > 0 && m_text[i].isLowSurrogate() && m_text[i - 1].isHighSurrogate()) --i;
    moveTo(i, select);
}

void TextEditor::moveRight(bool select) {
    if (!select && hasSelection()) return moveTo(selectionEnd(), false);
    int i = m_caret + 1;
    if (i < m_text.size() && m_text[i].isLowSurrogate() && m_text[i - 1].isHighSurrogate()) ++i;
    moveTo(i, select);
}

int TextEditor::lineStart(int index) const {
    int i = std::clamp(index, 0, static_cast<int>(m_text.size()));
    while (i > 0 && !isLineBreak(m_text[i - 1])) --i;
    return i;
}

int TextEditor::lineEnd(int index) const {
    int i = std::clamp(index, 0, static_cast<int>(m_text.size()));
    while (i < m_text.size() && !isLineBreak(m_text[i])) ++i;
    return i;
}

void TextEditor::moveLineStart(bool select) { moveTo(lineStart(m_caret), select); }
void TextEditor::moveLineEnd(bool select) { moveTo(lineEnd(m_caret), select); }

// Up and down keep the column within the paragraph above or below (paragraphs stand for lines here).
void TextEditor::moveUp(bool select) {
    const int start = lineStart(m_caret);
    if (start == 0) return moveTo(0, select);
    const int column = m_caret - start;
    const int prevStart = lineStart(start - 1);
    moveTo(std::min(prevStart + column, start - 1), select);
}

void TextEditor::moveDown(bool select) {
    const int end = lineEnd(m_caret);
    if (end >= m_text.size()) return moveTo(static_cast<int>(m_text.size()), select);
    const int column = m_caret - lineStart(m_caret);
    const int nextStart = end + 1;
    moveTo(std::min(nextStart + column, lineEnd(nextStart)), select);
}

void TextEditor::moveStart(bool select) { moveTo(0, select); }
void TextEditor::moveEnd(bool select) { moveTo(static_cast<int>(m_text.size()), select); }

void TextEditor::selectAll() {
    m_anchor = 0;
    m_caret = static_cast<int>(m_text.size());
}

}  // namespace vistrel::player::text
