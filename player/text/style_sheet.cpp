#include "player/text/style_sheet.h"

namespace vistrel::player {

namespace {

bool blank(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

}  // namespace

QString cssPropertyName(const QString& name) {
    QString out;
    out.reserve(name.size());
    bool upper = false;
    for (const QChar c : name) {
        if (upper) {
            out += c.toUpper();
            upper = false;
        } else if (c == u'-') {
            upper = true;
        } else {
            out += c;
        }
    }
    return out;
}

std::optional<std::vector<CssRule>> parseStyleSheet(const QString& text) {
    std::vector<CssRule> rules;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && blank(text[i])) ++i;
    };
    for (;;) {
        skipBlanks();
        if (i >= n) return rules;
        // Selectors: words without blanks, separated by commas, up to the block's brace.
        std::vector<QString> selectors;
        for (;;) {
            const qsizetype start = i;
            while (i < n && !blank(text[i]) && text[i] != u'{' && text[i] != u',') ++i;
            if (i == start) return std::nullopt;
            selectors.push_back(text.mid(start, i - start));
            skipBlanks();
            if (i >= n) return std::nullopt;
            if (text[i] == u',') {
                ++i;
                skipBlanks();
                continue;
            }
            if (text[i] != u'{') return std::nullopt;
            ++i;
            break;
        }
        // Declarations: a name runs to its colon (braces and semicolons included), a value to the next
        // semicolon or closing brace. The text may end where a name would start.
        std::vector<std::pair<QString, QString>> declarations;
        for (bool open = true; open;) {
            skipBlanks();
            if (i >= n) break;
            if (text[i] == u'}') {
                ++i;
                break;
            }
            const qsizetype nameStart = i;
            while (i < n && text[i] != u':') ++i;
            if (i >= n) return std::nullopt;
            const QString name = text.mid(nameStart, i - nameStart);
            // Blanks may trail a name but not split it.
            const qsizetype firstBlank = [&] {
                for (qsizetype k = 0; k < name.size(); ++k)
                    if (blank(name[k])) return k;
                return name.size();
            }();
            for (qsizetype k = firstBlank; k < name.size(); ++k)
                if (!blank(name[k])) return std::nullopt;
            ++i;
            skipBlanks();
            const qsizetype valueStart = i;
            while (i < n && text[i] != u';' && text[i] != u'}') ++i;
            if (i >= n) return std::nullopt;
            const QString value = text.mid(valueStart, i - valueStart);
            if (text[i] == u'}') open = false;
            ++i;
            if (!name.isEmpty()) declarations.emplace_back(cssPropertyName(name), value);
        }
        for (QString& s : selectors) rules.push_back(CssRule{std::move(s), declarations});
    }
}

}  // namespace vistrel::player
