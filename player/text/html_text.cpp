#include "player/text/html_text.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "player/text/html_tokens.h"

namespace vistrel::player {
namespace {

using html_detail::Tag;

bool sameFormat(const TextFormat& a, const TextFormat& b)
{
    return a.font == b.font && a.size == b.size && a.color == b.color && a.bold == b.bold &&
           a.italic == b.italic && a.underline == b.underline && a.url == b.url &&
           a.letterSpacing == b.letterSpacing && a.kerning == b.kerning;
}

std::optional<double> number(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

// Paragraph settings that <textformat> changes for the paragraphs inside it.
struct BlockFormat {
    double leftMargin = 0, rightMargin = 0, indent = 0, leading = 0;
};

struct Open {
    QString name;
    TextFormat format;
    BlockFormat block;
};

class Builder {
public:
    Builder(const TextFormat& defaults, TextAlign align) : m_defaultAlign(align)
    {
        m_stack.push_back({QString(), defaults, {}});
        startParagraph(false);
    }

    void text(const QString& chunk)
    {
        qsizetype start = 0;
        for (qsizetype i = 0; i < chunk.size(); ++i) {
            if (chunk[i] == u'\r' || chunk[i] == u'\n') {
                append(chunk.mid(start, i - start));
                lineBreak();
                start = i + 1;
            }
        }
        append(chunk.mid(start));
    }

    void tag(const Tag& t)
    {
        const QString& name = t.name;
        if (t.closing) {
            close(name);
            return;
        }
        if (name == u"br") {
            lineBreak();
            return;
        }
        if (name == u"p") {
            if (!m_current.runs.empty())
                finishParagraph(true);
            m_currentOpen = true;
            m_current.align = alignOf(t.attribute(u"align"), m_defaultAlign);
            if (!t.selfClosing)
                push(name, top().format, top().block);
            else
                finishParagraph(false);
            return;
        }
        if (name == u"li") {
            if (!m_current.runs.empty())
                finishParagraph(true);
            m_currentOpen = true;
            append(QStringLiteral("\u2022 "));
            if (!t.selfClosing)
                push(name, top().format, top().block);
            return;
        }
        if (name == u"textformat") {
            BlockFormat block = top().block;
            if (auto v = number(t.attribute(u"leftmargin")))
                block.leftMargin = *v;
            if (auto v = number(t.attribute(u"blockindent")))
                block.leftMargin += *v;
            if (auto v = number(t.attribute(u"rightmargin")))
                block.rightMargin = *v;
            if (auto v = number(t.attribute(u"indent")))
                block.indent = *v;
            if (auto v = number(t.attribute(u"leading")))
                block.leading = *v;
            applyBlock(block);
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
        if (m_currentOpen || !m_current.runs.empty() || m_paragraphs.empty())
            m_paragraphs.push_back(std::move(m_current));
        return std::move(m_paragraphs);
    }

private:
    const Open& top() const { return m_stack.back(); }

    void push(const QString& name, const TextFormat& format, const BlockFormat& block)
    {
        m_stack.push_back({name, format, block});
    }

    // Closes the most recent open tag of that name and everything opened after it; a closing
    // tag with no opening partner is ignored.
    void close(const QString& name)
    {
        for (std::size_t i = m_stack.size(); i-- > 1;) {
            if (m_stack[i].name != name)
                continue;
            m_stack.resize(i);
            if (name == u"p" || name == u"li")
                finishParagraph(false);
            else if (!m_currentOpen && m_current.runs.empty())
                applyBlock(top().block); // a paragraph not yet begun follows the enclosing settings
            return;
        }
    }

    void append(const QString& chunk)
    {
        if (chunk.isEmpty())
            return;
        m_currentOpen = true;
        const TextFormat& format = top().format;
        if (!m_current.runs.empty() && sameFormat(m_current.runs.back().format, format))
            m_current.runs.back().text += chunk;
        else
            m_current.runs.push_back({chunk, format});
    }

    // A hard break ends the paragraph; the line after it exists even if it stays empty.
    void lineBreak() { finishParagraph(true); }

    void finishParagraph(bool nextIsOpen)
    {
        m_paragraphs.push_back(std::move(m_current));
        const TextAlign align = m_paragraphs.back().align;
        startParagraph(nextIsOpen);
        // A break inside a paragraph keeps that paragraph's alignment for the following line.
        if (nextIsOpen && isInside(u"p"))
            m_current.align = align;
    }

    void startParagraph(bool open)
    {
        m_current = TextParagraph{};
        m_current.align = m_defaultAlign;
        applyBlock(top().block);
        m_currentOpen = open;
    }

    void applyBlock(const BlockFormat& block)
    {
        m_current.leftMargin = block.leftMargin;
        m_current.rightMargin = block.rightMargin;
        m_current.indent = block.indent;
        m_current.leading = block.leading;
    }

    bool isInside(QStringView name) const
    {
        return std::any_of(m_stack.begin(), m_stack.end(), [name](const Open& o) { return o.name == name; });
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
        const QString size = t.attribute(u"size").trimmed();
        if (auto v = number(size)) {
            // "+2" and "-1" are relative to the size around the tag.
            const bool relative = size.startsWith(u'+') || size.startsWith(u'-');
            format.size = std::max(0.0, relative ? format.size + *v : *v);
        }
        const QString color = t.attribute(u"color").trimmed();
        if (color.startsWith(u'#')) {
            bool ok = false;
            const uint rgb = color.mid(1).toUInt(&ok, 16);
            if (ok && color.size() == 7)
                format.color = (format.color & 0xff000000u) | (rgb & 0x00ffffffu);
        }
        if (auto v = number(t.attribute(u"letterspacing")))
            format.letterSpacing = *v;
        if (auto v = number(t.attribute(u"kerning")))
            format.kerning = *v != 0;
    }

    std::vector<Open> m_stack;
    std::vector<TextParagraph> m_paragraphs;
    TextParagraph m_current;
    bool m_currentOpen = false; // the paragraph exists even without text (after a break or <p>)
    TextAlign m_defaultAlign;
};

} // namespace

std::vector<TextParagraph> parseHtmlText(const QString& html, const TextFormat& defaults, TextAlign defaultAlign)
{
    Builder builder(defaults, defaultAlign);
    html_detail::tokenize(html, [&](const QString& text) { builder.text(text); },
                          [&](const Tag& tag) { builder.tag(tag); });
    return builder.finish();
}

} // namespace vistrel::player
