#include "player/text/html_tokens.h"

namespace vistrel::player::html_detail {
namespace {

constexpr qsizetype kMaxEntityLength = 10;

bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_' || c == u'-' || c == u':';
}

// Appends the character for an entity starting at text[pos] == '&' and returns the length
// consumed, or 0 when it is not an entity this parser knows.
qsizetype decodeEntityAt(QStringView text, qsizetype pos, QString& out)
{
    const qsizetype limit = std::min(text.size(), pos + kMaxEntityLength + 2);
    qsizetype semi = -1;
    for (qsizetype i = pos + 1; i < limit; ++i) {
        if (text[i] == u';') {
            semi = i;
            break;
        }
    }
    if (semi < 0)
        return 0;
    const QStringView name = text.sliced(pos + 1, semi - pos - 1);
    static const std::pair<const char16_t*, char16_t> kNamed[] = {
        {u"lt", u'<'}, {u"gt", u'>'}, {u"amp", u'&'}, {u"quot", u'"'}, {u"apos", u'\''}, {u"nbsp", u'\u00a0'}};
    for (const auto& [key, value] : kNamed) {
        if (name.compare(QStringView(key), Qt::CaseInsensitive) == 0) {
            out += QChar(value);
            return semi - pos + 1;
        }
    }
    if (name.size() >= 2 && name[0] == u'#') {
        bool ok = false;
        const bool hex = name[1] == u'x' || name[1] == u'X';
        const uint code = hex ? name.sliced(2).toUInt(&ok, 16) : name.sliced(1).toUInt(&ok, 10);
        const bool valid = ok && code != 0 && code <= 0x10ffff && !(code >= 0xd800 && code <= 0xdfff);
        if (!valid)
            return 0;
        const char32_t cp = code;
        out += QString::fromUcs4(&cp, 1);
        return semi - pos + 1;
    }
    return 0;
}

// Parses the text between "<" and ">"; false when it is not a tag.
bool parseTag(QStringView inner, Tag& tag)
{
    qsizetype i = 0;
    if (i < inner.size() && inner[i] == u'/') {
        tag.closing = true;
        ++i;
    }
    const qsizetype nameStart = i;
    while (i < inner.size() && isNameChar(inner[i]))
        ++i;
    if (i == nameStart || !inner[nameStart].isLetter())
        return false;
    tag.name = inner.sliced(nameStart, i - nameStart).toString().toLower();

    while (i < inner.size()) {
        while (i < inner.size() && (inner[i].isSpace() || inner[i] == u'/')) {
            if (inner[i] == u'/' && i + 1 == inner.size())
                tag.selfClosing = true;
            ++i;
        }
        const qsizetype keyStart = i;
        while (i < inner.size() && !inner[i].isSpace() && inner[i] != u'=' && inner[i] != u'/')
            ++i;
        if (i == keyStart) {
            if (i < inner.size())
                ++i; // a stray "=": step over it so the loop always advances
            continue;
        }
        QString key = inner.sliced(keyStart, i - keyStart).toString().toLower();
        while (i < inner.size() && inner[i].isSpace())
            ++i;
        QString value;
        if (i < inner.size() && inner[i] == u'=') {
            ++i;
            while (i < inner.size() && inner[i].isSpace())
                ++i;
            if (i < inner.size() && (inner[i] == u'"' || inner[i] == u'\'')) {
                const QChar quote = inner[i++];
                const qsizetype valueStart = i;
                while (i < inner.size() && inner[i] != quote)
                    ++i;
                value = inner.sliced(valueStart, i - valueStart).toString();
                if (i < inner.size())
                    ++i;
            } else {
                const qsizetype valueStart = i;
                while (i < inner.size() && !inner[i].isSpace())
                    ++i;
                QStringView raw = inner.sliced(valueStart, i - valueStart);
                if (raw.endsWith(u'/') && i == inner.size()) {
                    raw.chop(1);
                    tag.selfClosing = true;
                }
                value = raw.toString();
            }
        }
        tag.attributes.emplace_back(std::move(key), std::move(value));
    }
    return true;
}

} // namespace

bool Tag::has(QStringView key) const
{
    for (const auto& [name, value] : attributes)
        if (name == key)
            return true;
    return false;
}

QString Tag::attribute(QStringView key) const
{
    for (const auto& [name, value] : attributes)
        if (name == key)
            return value;
    return {};
}

QString decodeEntities(QStringView text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        if (text[i] == u'&') {
            if (const qsizetype used = decodeEntityAt(text, i, out)) {
                i += used;
                continue;
            }
        }
        out += text[i++];
    }
    return out;
}

void tokenize(const QString& html, const std::function<void(const QString&, bool blank)>& onText,
              const std::function<void(const Tag&)>& onTag)
{
    const QStringView view(html);
    QString text;
    bool blank = true;
    const auto flush = [&] {
        if (!text.isEmpty()) {
            onText(text, blank);
            text.clear();
        }
        blank = true;
    };
    qsizetype nextClose = -2; // cached position of the next ">", -1 when there is none left
    qsizetype i = 0;
    while (i < view.size()) {
        const QChar c = view[i];
        if (c == u'&') {
            if (const qsizetype used = decodeEntityAt(view, i, text)) {
                i += used;
                blank = false;
                continue;
            }
            text += c;
            blank = false;
            ++i;
            continue;
        }
        if (c != u'<') {
            if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
                blank = false;
            text += c;
            ++i;
            continue;
        }
        if (view.sliced(i).startsWith(u"<!--")) {
            const qsizetype end = html.indexOf(u"-->", i + 4);
            i = end < 0 ? view.size() : end + 3;
            continue;
        }
        if (nextClose != -1 && nextClose <= i)
            nextClose = html.indexOf(u'>', i + 1);
        Tag tag;
        if (nextClose < 0 || !parseTag(view.sliced(i + 1, nextClose - i - 1), tag)) {
            text += c; // not a tag: the "<" is literal text
            blank = false;
            ++i;
            continue;
        }
        flush();
        onTag(tag);
        i = nextClose + 1;
    }
    flush();
}

} // namespace vistrel::player::html_detail
