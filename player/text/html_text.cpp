#include "player/text/html_text.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include <QStringList>

#include "player/text/html_tokens.h"

namespace vistrel::player {
namespace {

using html_detail::Tag;

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// The whole number a value starts with ("12.5px" gives 12), and whether it has a sign.
std::optional<std::pair<double, bool>> leadingInteger(const QString& text)
{
    qsizetype i = 0;
    const bool sign = !text.isEmpty() && (text[0] == u'+' || text[0] == u'-');
    if (sign)
        ++i;
    double v = 0;
    const qsizetype digits = i;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        v = std::min(v * 10 + (text[i].unicode() - u'0'), 1e9);
    if (i == digits)
        return std::nullopt;
    return std::make_pair(text.startsWith(u'-') ? -v : v, sign);
}

// Paragraph settings that the tags around the text give.
struct BlockFormat {
    TextAlign align = TextAlign::Left;
    double leftMargin = 0, rightMargin = 0, indent = 0, blockIndent = 0, leading = 0;
    bool bullet = false;
    std::vector<double> tabStops;

    bool operator==(const BlockFormat&) const = default;
};

struct Open {
    QString name;
    TextFormat format;
    BlockFormat block;
};

// Builds the field's text as one string of characters, each with its format, "\r" ending each
// paragraph, as a field keeps it; paragraphs are cut from it at the end.
class Builder {
public:
    Builder(const TextFormat& defaults, const TextParagraph& layout, bool multiline) : m_multiline(multiline)
    {
        BlockFormat block;
        block.align = layout.align;
        block.leftMargin = layout.leftMargin;
        block.rightMargin = layout.rightMargin;
        block.indent = layout.indent;
        block.blockIndent = layout.blockIndent;
        block.leading = layout.leading;
        block.bullet = layout.bullet;
        block.tabStops = layout.tabStops;
        m_stack.push_back({QString(), defaults, block});
        m_paragraphs.push_back(block);
    }

    void text(const QString& chunk, bool blank)
    {
        if (blank)
            return;
        for (QChar c : chunk) {
            if (c == u'\r' || c == u'\n')
                lineBreak();
            else
                put(c);
        }
    }

    void tag(const Tag& t)
    {
        const QString& name = t.name;
        if (t.closing) {
            close(name);
            return;
        }
        if (name == u"br") {
            if (m_multiline)
                lineBreak();
            return;
        }
        if (name == u"p") {
            // Paragraphs do not nest: one inside another counts for nothing, and its end tag ends the outer.
            if (isInside(u"p"))
                return;
            BlockFormat block = top().block;
            block.align = alignOf(t.attribute(u"align"), block.align);
            if (!t.selfClosing)
                push(name, top().format, block);
            return;
        }
        if (name == u"li") {
            if (m_multiline && m_started)
                lineBreak();
            BlockFormat block = top().block;
            block.bullet = true;
            if (!t.selfClosing)
                push(name, top().format, block);
            return;
        }
        if (name == u"textformat") {
            BlockFormat block = top().block;
            if (auto v = number(t.attribute(u"leftmargin")))
                block.leftMargin = *v;
            if (auto v = number(t.attribute(u"blockindent")))
                block.blockIndent = *v;
            if (auto v = number(t.attribute(u"rightmargin")))
                block.rightMargin = *v;
            if (auto v = number(t.attribute(u"indent")))
                block.indent = *v;
            if (auto v = number(t.attribute(u"leading")))
                block.leading = *v;
            if (t.has(u"tabstops")) {
                block.tabStops.clear();
                for (const QString& part : t.attribute(u"tabstops").split(u',', Qt::SkipEmptyParts))
                    if (auto v = number(part))
                        block.tabStops.push_back(*v);
            }
            if (!t.selfClosing)
                push(name, top().format, block);
            return;
        }
        TextFormat format = top().format;
        if (name == u"b") {
            format.bold = true;
        } else if (name == u"i") {
            format.italic = true;
        } else if (name == u"u") {
            format.underline = true;
        } else if (name == u"a") {
            format.url = t.attribute(u"href");
            format.target = t.attribute(u"target");
        } else if (name == u"font") {
            applyFont(t, format);
        } else if (name != u"span") {
            return; // unknown tags are skipped, and so are their closing tags
        }
        if (!t.selfClosing)
            push(name, format, top().block);
    }

    std::vector<TextParagraph> finish()
    {
        std::vector<TextParagraph> out;
        out.reserve(m_paragraphs.size());
        TextParagraph current;
        std::size_t index = 0;
        const auto begin = [&] {
            const BlockFormat& b = m_paragraphs[std::min(index, m_paragraphs.size() - 1)];
            current = TextParagraph{};
            current.align = b.align;
            current.leftMargin = b.leftMargin;
            current.rightMargin = b.rightMargin;
            current.indent = b.indent;
            current.blockIndent = b.blockIndent;
            current.leading = b.leading;
            current.bullet = b.bullet;
            current.tabStops = b.tabStops;
            current.endFormat = m_stack.front().format;
        };
        begin();
        for (std::size_t i = 0; i < m_chars.size(); ++i) {
            const TextFormat& format = m_formats[m_chars[i].format];
            if (m_chars[i].c == u'\r') {
                current.endFormat = format;
                current.ended = true;
                if (index + 1 < m_paragraphs.size() && index < m_breakBlocks.size())
                    current.endLikeNext = m_breakBlocks[index] == m_paragraphs[index + 1];
                out.push_back(std::move(current));
                ++index;
                begin();
                continue;
            }
            if (!current.runs.empty() && sameFormat(current.runs.back().format, format))
                current.runs.back().text += m_chars[i].c;
            else
                current.runs.push_back({QString(m_chars[i].c), format});
        }
        out.push_back(std::move(current));
        return out;
    }

private:
    struct Char {
        QChar c;
        std::size_t format;   // index into m_formats
    };

    const Open& top() const { return m_stack.back(); }

    bool isInside(QStringView name) const
    {
        return std::any_of(m_stack.begin(), m_stack.end(), [name](const Open& o) { return o.name == name; });
    }

    void push(const QString& name, const TextFormat& format, const BlockFormat& block)
    {
        m_stack.push_back({name, format, block});
    }

    // A closing tag closes the innermost open tag when it names it, and is ignored otherwise. A
    // paragraph's end tag is the exception: it ends the open paragraph however many tags opened inside
    // it are still open, and those stay open (an item's end after it still ends a line).
    void close(const QString& name)
    {
        if (name == u"p") {
            const auto open = std::find_if(m_stack.rbegin(), m_stack.rend(), [](const Open& o) { return o.name == u"p"; });
            if (open == m_stack.rend())
                return;
            if (m_multiline)
                lineBreak(m_lastFont ? &*m_lastFont : &m_stack.front().format);
            m_stack.erase(std::next(open).base());
            return;
        }
        if (m_stack.size() < 2 || m_stack.back().name != name)
            return;
        // An item's line end takes the format around it (a paragraph's, above, the format of the last
        // font closed before it, or the outermost one).
        if (m_multiline && name == u"li")
            lineBreak();
        if (name == u"font")
            m_lastFont = m_stack.back().format;
        m_stack.pop_back();
    }

    void put(QChar c, const TextFormat* given = nullptr)
    {
        if (!m_started) {
            // The paragraph takes the layout in force at its first character.
            m_paragraphs.back() = top().block;
            m_started = true;
        }
        const TextFormat& format = given ? *given : top().format;
        if (m_formats.empty() || !sameFormat(m_formats.back(), format))
            m_formats.push_back(format);
        m_chars.push_back({c, m_formats.size() - 1});
    }

    void lineBreak(const TextFormat* format = nullptr)
    {
        put(u'\r', format);
        m_breakBlocks.push_back(top().block);
        m_paragraphs.push_back(top().block);
        m_started = false;
    }

    static TextAlign alignOf(const QString& value, TextAlign fallback)
    {
        const QString v = value.trimmed().toLower();
        if (v == u"left")
            return TextAlign::Left;
        if (v == u"right")
            return TextAlign::Right;
        if (v == u"center")
            return TextAlign::Center;
        if (v == u"justify")
            return TextAlign::Justify;
        return fallback;
    }

    static void applyFont(const Tag& t, TextFormat& format)
    {
        if (t.has(u"face"))
            format.font = t.attribute(u"face");
        if (auto v = number(t.attribute(u"kerning")))
            format.markupKerning = *v != 0;
        if (auto v = leadingInteger(t.attribute(u"size").trimmed())) {
            // "+2" and "-1" are relative to the size around the tag; sizes are whole, 1 to 127.
            const double size = v->second ? format.size + v->first : v->first;
            format.size = std::clamp(size, 1.0, 127.0);
        }
        // "#", blanks, then hex digits up to the first other character; the last six count.
        const QString color = t.attribute(u"color");
        if (color.startsWith(u'#')) {
            qsizetype i = 1;
            while (i < color.size() && QStringView(u" \t\n\r").contains(color[i]))
                ++i;
            uint rgb = 0;
            const qsizetype first = i;
            for (; i < color.size(); ++i) {
                const char16_t c = color[i].toLower().unicode();
                const int digit = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : -1;
                if (digit < 0)
                    break;
                rgb = ((rgb << 4) | static_cast<uint>(digit)) & 0xffffffu;
            }
            if (i > first)
                format.color = (format.color & 0xff000000u) | rgb;
        }
        if (auto v = number(t.attribute(u"letterspacing")))
            format.letterSpacing = *v;
    }

    std::vector<Open> m_stack;
    std::vector<Char> m_chars;
    std::vector<TextFormat> m_formats;     // the distinct formats in order of use
    std::vector<BlockFormat> m_paragraphs; // one per paragraph begun
    std::vector<BlockFormat> m_breakBlocks; // the layout in force at each line end
    bool m_started = false;                // the last paragraph has a character
    std::optional<TextFormat> m_lastFont;  // the format inside the font tag closed last
    bool m_multiline;
};

} // namespace

bool sameFormat(const TextFormat& a, const TextFormat& b)
{
    return a.font == b.font && a.size == b.size && a.color == b.color && a.bold == b.bold &&
           a.italic == b.italic && a.underline == b.underline && a.url == b.url && a.target == b.target &&
           a.letterSpacing == b.letterSpacing && a.kerning == b.kerning && a.markupKerning == b.markupKerning;
}

bool sameLayout(const TextParagraph& a, const TextParagraph& b)
{
    return a.align == b.align && a.leftMargin == b.leftMargin && a.rightMargin == b.rightMargin &&
           a.indent == b.indent && a.blockIndent == b.blockIndent && a.leading == b.leading && a.bullet == b.bullet &&
           a.tabStops == b.tabStops;
}

std::vector<TextParagraph> parseHtmlText(const QString& html, const TextFormat& defaults, TextAlign defaultAlign,
                                         bool multiline)
{
    TextParagraph layout;
    layout.align = defaultAlign;
    return parseHtmlText(html, defaults, layout, multiline);
}

std::vector<TextParagraph> parseHtmlText(const QString& html, const TextFormat& defaults, const TextParagraph& layout,
                                         bool multiline, bool keepBlankText)
{
    Builder builder(defaults, layout, multiline);
    html_detail::tokenize(html, [&](const QString& text, bool blank) { builder.text(text, blank && !keepBlankText); },
                          [&](const Tag& tag) { builder.tag(tag); });
    return builder.finish();
}

} // namespace vistrel::player
