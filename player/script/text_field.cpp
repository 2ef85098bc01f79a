#include "player/script/text_field.h"

#include <cmath>
#include <functional>
#include <map>

#include <QRegularExpression>
#include <QStringList>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"
#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/shape_paths.h"
#include "player/script/obj_internal.h"
#include "player/script/script_host.h"
#include "player/stage.h"
#include "player/text/device_font.h"
#include "player/text/html_tokens.h"
#include "player/text_input.h"

namespace vistrel::player {

using avm1::Value;
using Args = std::span<const Value>;

namespace {

constexpr double kGutters = 80;   // two pixels each side between a field's edge and its text, in twips
// Sizes a script may give a field, in pixels: larger ones are cut to this.
constexpr double kMaxFieldPixels = 107374182;

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value(); }

TextFieldObject* fieldOf(const Value& v) {
    auto* tf = dynamic_cast<TextFieldObject*>(v.object());
    return tf && tf->display() ? tf : nullptr;
}

// Paragraph ends as scripts see them: one "\r" each.
QString normalizedNewlines(QString s) {
    s.replace(QLatin1String("\r\n"), QLatin1String("\r"));
    s.replace(QLatin1Char('\n'), QLatin1Char('\r'));
    return s;
}

QString escapeHtml(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        if (c == u'&') out += QLatin1String("&amp;");
        else if (c == u'<') out += QLatin1String("&lt;");
        else if (c == u'>') out += QLatin1String("&gt;");
        else if (c == u'"') out += QLatin1String("&quot;");
        else out += c;
    }
    return out;
}

// Text between tags written back: apostrophes as references too.
QString escapeHtmlText(const QString& s) {
    QString out = escapeHtml(s);
    out.replace(u'\'', QLatin1String("&apos;"));
    return out;
}

// Decoded text written back as markup.
QString escapeMarkupText(const QString& t) {
    QString e = t;
    e.replace(u'&', QLatin1String("&amp;")).replace(u'<', QLatin1String("&lt;")).replace(u'>', QLatin1String("&gt;"));
    return e;
}

// An attribute value as markup reads it back: as written, in quotes it does not hold.
QString quotedValue(const QString& value) {
    const QChar quote = value.contains(u'"') ? u'\'' : u'"';
    return quote + value + quote;
}

// A tag written back as markup: names and values as read; `valueOf` may replace a value.
QString tagMarkup(const html_detail::Tag& tag,
                  const std::function<QString(const QString& key, const QString& value)>& valueOf = {}) {
    QString out = tag.closing ? QStringLiteral("</") : QStringLiteral("<");
    out += tag.name;
    for (const auto& [key, value] : tag.attributes)
        out += u' ' + key + u'=' + quotedValue(valueOf ? valueOf(key, value) : value);
    out += tag.selfClosing ? QLatin1String("/>") : QLatin1String(">");
    return out;
}

// What a style sheet gives one selector, as the text format it keeps for it holds it. Selectors match
// whatever their case.
struct SheetFormat {
    std::optional<QRgb> color;
    std::optional<double> size;
};

void addSheetFormat(avm1::Vm& vm, const Value& sheet, const QString& selector, SheetFormat& into) {
    const Value styles = vm.getMember(sheet, QStringLiteral("_styles"));
    const avm1::Object* table = styles.object();
    if (!table) return;
    std::vector<QString> names;
    table->forEachOwn([&](const QString& name, const avm1::Property&) {
        if (name.compare(selector, Qt::CaseInsensitive) == 0) names.push_back(name);
    });
    if (names.empty()) return;
    const Value format = vm.getMember(styles, names.front());
    if (!format.isObject()) return;
    const Value color = vm.getMember(format, QStringLiteral("color"));
    const Value size = vm.getMember(format, QStringLiteral("size"));
    if (const double c = color.isNullish() ? NAN : vm.toNumber(color); std::isfinite(c))
        into.color = static_cast<QRgb>(static_cast<std::int64_t>(c) & 0xffffff);
    if (const double z = size.isNullish() ? NAN : vm.toNumber(size); std::isfinite(z) && z > 0) into.size = z;
}

// Plain text as markup that gives it back: text of blanks alone is written as references, since
// the markup's blank-only text counts for nothing.
QString markupOfPlain(const QString& s) {
    const bool blank = std::all_of(s.begin(), s.end(), [](QChar c) {
        return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
    });
    if (!blank) return escapeHtmlText(s);
    QString out;
    for (QChar c : s) out += QStringLiteral("&#%1;").arg(c.unicode());
    return out;
}

QString plainOf(const std::vector<TextParagraph>& paragraphs) {
    QString out;
    for (std::size_t i = 0; i < paragraphs.size(); ++i) {
        if (i) out += u'\r';
        for (const TextRun& run : paragraphs[i].runs) out += run.text;
    }
    return out;
}

QString alignName(TextAlign a) {
    switch (a) {
    case TextAlign::Right: return QStringLiteral("right");
    case TextAlign::Center: return QStringLiteral("center");
    case TextAlign::Justify: return QStringLiteral("justify");
    case TextAlign::Left: break;
    }
    return QStringLiteral("left");
}

QString numberText(double v) { return avm1::numberToString(v); }

QString colorText(QRgb c) {
    return QStringLiteral("#%1").arg(c & 0xffffff, 6, 16, QLatin1Char('0')).toUpper();
}

// Values go out as they came in, unescaped, in double quotes; markup the field keeps picks quotes the
// value does not hold, so that it reads back whole.
QString attributeValue(const QString& v, bool stored) { return stored ? quotedValue(v) : u'"' + v + u'"'; }

// `stored`: markup the field keeps as its own text, which must read back as the same runs (the kerning
// the markup asks for included).
QString fontAttributes(const TextFormat& f, const TextFormat* outer, bool stored) {
    const auto kerns = [stored](const TextFormat& t) { return t.kerning || (stored && t.markupKerning); };
    QString attrs;
    if (!outer || f.font != outer->font) attrs += QLatin1String(" FACE=") + attributeValue(f.font, stored);
    if (!outer || f.size != outer->size) attrs += QStringLiteral(" SIZE=\"%1\"").arg(numberText(f.size));
    if (!outer || (f.color & 0xffffff) != (outer->color & 0xffffff))
        attrs += QStringLiteral(" COLOR=\"%1\"").arg(colorText(f.color));
    if (!outer || f.letterSpacing != outer->letterSpacing)
        attrs += QStringLiteral(" LETTERSPACING=\"%1\"").arg(numberText(f.letterSpacing));
    if (!outer || kerns(f) != kerns(*outer))
        attrs += QStringLiteral(" KERNING=\"%1\"").arg(kerns(f) ? 1 : 0);
    return attrs;
}

bool sameFont(const TextFormat& a, const TextFormat& b, bool stored) {
    return a.font == b.font && a.size == b.size && (a.color & 0xffffff) == (b.color & 0xffffff) &&
           a.letterSpacing == b.letterSpacing && a.kerning == b.kerning &&
           (!stored || a.markupKerning == b.markupKerning);
}

// One run inside its fonts: the link, then bold, italic and underline.
QString styledRun(const TextFormat& f, const QString& text, bool stored) {
    QString open, close;
    if (!f.url.isEmpty()) {
        open += QLatin1String("<A HREF=") + attributeValue(f.url, stored) + QLatin1String(" TARGET=") +
                attributeValue(f.target, stored) + u'>';
        close.prepend(QLatin1String("</A>"));
    }
    if (f.bold) {
        open += QLatin1String("<B>");
        close.prepend(QLatin1String("</B>"));
    }
    if (f.italic) {
        open += QLatin1String("<I>");
        close.prepend(QLatin1String("</I>"));
    }
    if (f.underline) {
        open += QLatin1String("<U>");
        close.prepend(QLatin1String("</U>"));
    }
    // Blanks alone between tags would read back as nothing.
    return open + (stored ? markupOfPlain(text) : escapeHtmlText(text)) + close;
}

// The paragraph settings beyond the defaults, as a TEXTFORMAT tag's attributes (empty when none).
QString blockAttributes(const TextParagraph& p) {
    QString attrs;
    const auto add = [&](const char* name, double pixels) {
        if (pixels != 0) attrs += QStringLiteral(" %1=\"%2\"").arg(QLatin1String(name), numberText(pixels));
    };
    add("LEFTMARGIN", p.leftMargin);
    add("RIGHTMARGIN", p.rightMargin);
    add("INDENT", p.indent);
    add("BLOCKINDENT", p.blockIndent);
    add("LEADING", p.leading);
    if (!p.tabStops.empty()) {
        QStringList stops;
        for (double t : p.tabStops) stops << numberText(t);
        attrs += QStringLiteral(" TABSTOPS=\"%1\"").arg(stops.join(u','));
    }
    return attrs;
}

// The markup written back for a field: per paragraph (the empty one after a final
// paragraph end left out) a P, or LI for a bullet item, inside a TEXTFORMAT when its layout differs
// from the defaults. The first run's font is named in full; a later run whose font matches one still
// open closes back to it, and any other opens a font inside the innermost naming what differs.
QString toHtml(const std::vector<TextParagraph>& paragraphs, bool stored = false) {
    QString out;
    if (plainOf(paragraphs).isEmpty()) return out;
    std::size_t count = paragraphs.size();
    if (count > 1 && paragraphs.back().runs.empty()) --count;
    for (std::size_t i = 0; i < count; ++i) {
        const TextParagraph& p = paragraphs[i];
        const QString block = blockAttributes(p);
        if (!block.isEmpty()) out += QLatin1String("<TEXTFORMAT") + block + u'>';
        out += p.bullet ? QStringLiteral("<LI>") : QStringLiteral("<P ALIGN=\"%1\">").arg(alignName(p.align).toUpper());
        std::vector<TextFormat> fonts;
        // The line end is written too, as an empty run, where its format differs from the text before it.
        std::vector<TextRun> runs = p.runs;
        if (runs.empty() || (p.ended && !sameFormat(runs.back().format, p.endFormat)))
            runs.push_back({QString(), p.endFormat});
        for (const TextRun& run : runs) {
            const TextFormat& f = run.format;
            if (fonts.empty()) {
                out += QLatin1String("<FONT") + fontAttributes(f, nullptr, stored) + u'>';
                fonts.push_back(f);
            } else if (!sameFont(fonts.back(), f, stored)) {
                std::size_t match = fonts.size();
                for (std::size_t k = fonts.size(); k-- > 0;)
                    if (sameFont(fonts[k], f, stored)) {
                        match = k;
                        break;
                    }
                if (match < fonts.size()) {
                    for (std::size_t k = fonts.size(); k-- > match + 1;) out += QLatin1String("</FONT>");
                    fonts.resize(match + 1);
                } else {
                    out += QLatin1String("<FONT") + fontAttributes(f, &fonts.back(), stored) + u'>';
                    fonts.push_back(f);
                }
            }
            out += styledRun(f, run.text, stored);
        }
        for (std::size_t k = 0; k < fonts.size(); ++k) out += QLatin1String("</FONT>");
        // Kept markup leaves a last paragraph without a line end open, which then reads back without one.
        if (!stored || p.ended || i + 1 < count) out += p.bullet ? QStringLiteral("</LI>") : QStringLiteral("</P>");
        if (!block.isEmpty()) out += QLatin1String("</TEXTFORMAT>");
    }
    return out;
}

// What condenseWhite treats as a blank: spaces, tabs and line ends only (not other spaces or controls).
bool condensable(QChar c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r'; }

// condenseWhite: each run of blanks and line ends becomes one space. Before version 8 runs are taken
// between tags, and text that is only blanks goes (the parser drops it). From version 8 runs reach
// across tags, and blanks at the start of the text or of a line (after a tag that ends one, in
// multiline fields) go.
QString condensedWhite(const QString& html, bool acrossTags, bool multiline) {
    QString out;
    out.reserve(html.size());
    qsizetype i = 0;
    bool afterBlank = true;   // version 8: nothing or a blank came last
    while (i < html.size()) {
        if (html[i] == u'<') {
            const qsizetype close = html.indexOf(u'>', i);
            const qsizetype end = close < 0 ? html.size() : close + 1;
            const QStringView tag = QStringView(html).mid(i, end - i);
            out += tag;
            i = end;
            if (acrossTags && multiline) {
                qsizetype k = 1;
                const bool closing = k < tag.size() && tag[k] == u'/';
                if (closing) ++k;
                qsizetype nameEnd = k;
                while (nameEnd < tag.size() && tag[nameEnd].isLetter()) ++nameEnd;
                const QString name = tag.mid(k, nameEnd - k).toString().toLower();
                if (name == u"br" || name == u"li" || (closing && name == u"p")) afterBlank = true;
            }
            continue;
        }
        qsizetype end = html.indexOf(u'<', i);
        if (end < 0) end = html.size();
        if (acrossTags) {
            for (qsizetype k = i; k < end; ++k) {
                if (!condensable(html[k])) {
                    out += html[k];
                    afterBlank = false;
                } else if (!afterBlank) {
                    out += u' ';
                    afterBlank = true;
                }
            }
            i = end;
            continue;
        }
        QString segment;
        bool blank = false, any = false;
        for (qsizetype k = i; k < end; ++k) {
            if (condensable(html[k])) {
                blank = true;
                continue;
            }
            if (blank) segment += u' ';
            blank = false;
            any = true;
            segment += html[k];
        }
        if (any) {
            if (blank) segment += u' ';
            out += segment;
        }
        i = end;
    }
    return out;
}

// Whole pixels for a field's position and size: cut toward zero.
double wholePixels(avm1::Vm& vm, const Value& v) {
    const double d = avm1::toInt32(vm.toNumber(v));
    return std::clamp(d, -kMaxFieldPixels, kMaxFieldPixels);
}

// A TextFormat object: an instance of the TextFormat class when the movie has one.
Value makeFormatObject(avm1::Vm& vm, const TextFormat& f, const TextParagraph& p) {
    avm1::Object* o = nullptr;
    const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("TextFormat"));
    if (ctor.isObject() && ctor.asObject()->isCallable()) o = vm.construct(ctor, {}).object();
    if (!o) o = vm.makeObject();
    const Value self(o);
    vm.setMember(self, QStringLiteral("align"), Value(alignName(p.align)));
    vm.setMember(self, QStringLiteral("blockIndent"), Value(p.blockIndent));
    vm.setMember(self, QStringLiteral("bold"), Value(f.bold));
    vm.setMember(self, QStringLiteral("bullet"), Value(p.bullet));
    vm.setMember(self, QStringLiteral("color"), Value(static_cast<double>(f.color & 0xffffff)));
    vm.setMember(self, QStringLiteral("font"), Value(f.font));
    vm.setMember(self, QStringLiteral("indent"), Value(p.indent));
    vm.setMember(self, QStringLiteral("italic"), Value(f.italic));
    vm.setMember(self, QStringLiteral("kerning"), Value(f.kerning));
    vm.setMember(self, QStringLiteral("leading"), Value(p.leading));
    vm.setMember(self, QStringLiteral("leftMargin"), Value(p.leftMargin));
    vm.setMember(self, QStringLiteral("letterSpacing"), Value(f.letterSpacing));
    vm.setMember(self, QStringLiteral("rightMargin"), Value(p.rightMargin));
    vm.setMember(self, QStringLiteral("size"), Value(f.size));
    avm1::ArrayObject* stops = vm.makeArray();
    for (double t : p.tabStops) stops->push(Value(t));
    vm.setMember(self, QStringLiteral("tabStops"), Value(stops));
    vm.setMember(self, QStringLiteral("target"), Value(f.target));
    vm.setMember(self, QStringLiteral("underline"), Value(f.underline));
    vm.setMember(self, QStringLiteral("url"), Value(f.url));
    return self;
}

// A field's paragraphs and the format of each of its characters, with its paragraph.
struct RangeFormats {
    std::vector<TextParagraph> paragraphs;
    std::vector<std::pair<const TextFormat*, const TextParagraph*>> chars;
};

// A TextFormat object for a range: what the characters share, null where they differ.
Value makeRangeFormatObject(avm1::Vm& vm, const RangeFormats& range, std::size_t begin, std::size_t end) {
    const Value self = makeFormatObject(vm, *range.chars[begin].first, *range.chars[begin].second);
    const auto same = [&](auto get) {
        for (std::size_t i = begin + 1; i < end; ++i)
            if (!(get(*range.chars[i].first, *range.chars[i].second) ==
                  get(*range.chars[begin].first, *range.chars[begin].second)))
                return false;
        return true;
    };
    const auto check = [&](const char* name, auto get) {
        if (!same(get)) vm.setMember(self, QString::fromLatin1(name), Value::null());
    };
    check("align", [](const TextFormat&, const TextParagraph& p) { return p.align; });
    check("blockIndent", [](const TextFormat&, const TextParagraph& p) { return p.blockIndent; });
    check("bold", [](const TextFormat& f, const TextParagraph&) { return f.bold; });
    check("bullet", [](const TextFormat&, const TextParagraph& p) { return p.bullet; });
    check("color", [](const TextFormat& f, const TextParagraph&) { return f.color & 0xffffff; });
    check("font", [](const TextFormat& f, const TextParagraph&) { return f.font; });
    check("indent", [](const TextFormat&, const TextParagraph& p) { return p.indent; });
    check("italic", [](const TextFormat& f, const TextParagraph&) { return f.italic; });
    check("kerning", [](const TextFormat& f, const TextParagraph&) { return f.kerning; });
    check("leading", [](const TextFormat&, const TextParagraph& p) { return p.leading; });
    check("leftMargin", [](const TextFormat&, const TextParagraph& p) { return p.leftMargin; });
    check("letterSpacing", [](const TextFormat& f, const TextParagraph&) { return f.letterSpacing; });
    check("rightMargin", [](const TextFormat&, const TextParagraph& p) { return p.rightMargin; });
    check("size", [](const TextFormat& f, const TextParagraph&) { return f.size; });
    check("tabStops", [](const TextFormat&, const TextParagraph& p) { return p.tabStops; });
    check("target", [](const TextFormat& f, const TextParagraph&) { return f.target; });
    check("underline", [](const TextFormat& f, const TextParagraph&) { return f.underline; });
    check("url", [](const TextFormat& f, const TextParagraph&) { return f.url; });
    return self;
}

// Copies the fields a TextFormat object sets (null and undefined ones are left alone).
void applyFormatObject(avm1::Vm& vm, const Value& format, TextFormat& f, EditTextProps* p) {
    if (!format.isObject()) return;
    auto field = [&](const char* name, auto&& use) {
        const Value v = vm.getMember(format, QString::fromLatin1(name));
        if (!v.isNullish()) use(v);
    };
    field("font", [&](const Value& v) { f.font = vm.toString(v); });
    field("size", [&](const Value& v) {
        const double d = vm.toNumber(v);
        if (std::isfinite(d)) f.size = std::clamp(std::trunc(d), 0.0, 127.0);
    });
    field("color", [&](const Value& v) {
        const double d = vm.toNumber(v);
        if (std::isfinite(d)) f.color = 0xff000000u | (static_cast<std::uint32_t>(avm1::toInt32(d)) & 0xffffffu);
    });
    field("bold", [&](const Value& v) { f.bold = vm.toBoolean(v); });
    field("italic", [&](const Value& v) { f.italic = vm.toBoolean(v); });
    field("underline", [&](const Value& v) { f.underline = vm.toBoolean(v); });
    field("url", [&](const Value& v) { f.url = vm.toString(v); });
    field("kerning", [&](const Value& v) { f.kerning = vm.toBoolean(v); });
    field("letterSpacing", [&](const Value& v) {
        const double d = vm.toNumber(v);
        if (std::isfinite(d)) f.letterSpacing = d;
    });
    if (!p) return;
    field("align", [&](const Value& v) {
        const QString a = vm.toString(v).toLower();
        if (a == u"left") p->align = TextAlign::Left;
        else if (a == u"right") p->align = TextAlign::Right;
        else if (a == u"center") p->align = TextAlign::Center;
        else if (a == u"justify") p->align = TextAlign::Justify;
    });
    // Margins and leading stay within 720 pixels; the indent is kept as given (a whole number).
    auto twips = [&](const char* name, double& out, bool nonNegative, double limit = 720.0) {
        field(name, [&](const Value& v) {
            const double d = vm.toNumber(v);
            if (std::isfinite(d)) out = std::clamp(std::trunc(d), nonNegative ? 0.0 : -limit, limit) * 20.0;
        });
    };
    twips("leftMargin", p->leftMargin, true);
    twips("rightMargin", p->rightMargin, true);
    twips("indent", p->indent, false, 2147483647.0);
    twips("leading", p->leading, false);
    twips("blockIndent", p->blockIndent, true);
    field("bullet", [&](const Value& v) { p->bullet = vm.toBoolean(v); });
    field("tabStops", [&](const Value& v) {
        // An array of positions in pixels; anything else clears them.
        p->tabStops.clear();
        auto* stops = dynamic_cast<avm1::ArrayObject*>(v.object());
        if (!stops) return;
        for (const Value& e : stops->values()) {
            const double d = vm.toNumber(e);
            p->tabStops.push_back(std::isfinite(d) ? std::trunc(d) : 0);
            if (p->tabStops.size() >= 1024) break;
        }
    });
}

// The characters a format call names by the numbers before its format: none, the whole text; one, the
// character there; two, a range. A start outside the text means the start of the text, an end outside it
// the end of the text, and an end before the start the one character at the start.
std::pair<int, int> formatRange(avm1::Vm& vm, Args indexes, int length) {
    if (indexes.empty()) return {0, length};
    const auto index = [&](const Value& v) {
        const double d = vm.toNumber(v);
        return std::isfinite(d) ? std::trunc(d) : std::isnan(d) ? 0.0 : d;
    };
    double b = index(indexes[0]);
    double e = indexes.size() > 1 ? index(indexes[1]) : b + 1;
    if (b < 0 || b >= length) b = 0;
    if (e < 0 || e > length) e = length;
    if (e < b) e = b + 1;
    return {static_cast<int>(b), static_cast<int>(e)};
}

// The paragraph settings of `format` applied to one paragraph.
void applyParagraphFormat(avm1::Vm& vm, const Value& format, TextParagraph& p) {
    EditTextProps props;
    props.align = p.align;
    props.leftMargin = p.leftMargin * 20;
    props.rightMargin = p.rightMargin * 20;
    props.indent = p.indent * 20;
    props.leading = p.leading * 20;
    props.blockIndent = p.blockIndent * 20;
    props.bullet = p.bullet;
    props.tabStops = p.tabStops;
    TextFormat unused;
    applyFormatObject(vm, format, unused, &props);
    const TextParagraph layout = editTextLayout(props);
    p.align = layout.align;
    p.leftMargin = layout.leftMargin;
    p.rightMargin = layout.rightMargin;
    p.indent = layout.indent;
    p.leading = layout.leading;
    p.blockIndent = layout.blockIndent;
    p.bullet = layout.bullet;
    p.tabStops = layout.tabStops;
}

// The character settings of `format` applied to characters [begin, end) of `paragraphs` (an ended
// paragraph's line end counting as one character after its runs); with `paragraphSettings`, its paragraph
// settings go to every paragraph the range touches.
void formatParagraphs(avm1::Vm& vm, std::vector<TextParagraph>& paragraphs, int begin, int end, const Value& format,
                      bool paragraphSettings) {
    int pos = 0;
    for (TextParagraph& p : paragraphs) {
        const int start = pos;
        std::vector<TextRun> runs;
        const auto add = [&](TextRun run) {
            if (run.text.isEmpty()) return;
            if (!runs.empty() && sameFormat(runs.back().format, run.format)) runs.back().text += run.text;
            else runs.push_back(std::move(run));
        };
        for (const TextRun& run : p.runs) {
            const int runBegin = pos, runEnd = pos + static_cast<int>(run.text.size());
            const int cut1 = std::clamp(begin, runBegin, runEnd), cut2 = std::clamp(end, cut1, runEnd);
            add({run.text.left(cut1 - runBegin), run.format});
            TextRun inside{run.text.mid(cut1 - runBegin, cut2 - cut1), run.format};
            applyFormatObject(vm, format, inside.format, nullptr);
            add(std::move(inside));
            add({run.text.mid(cut2 - runBegin), run.format});
            pos = runEnd;
        }
        p.runs = std::move(runs);
        if (p.ended) {
            if (pos >= begin && pos < end) applyFormatObject(vm, format, p.endFormat, nullptr);
            ++pos;
        }
        if (paragraphSettings && start < end && pos > begin)
            applyParagraphFormat(vm, format, p);
    }
}

// Adds `length` characters in format `f` to the end of `runs`, joining the last run when it has that format.
void appendFormatRun(std::vector<FormatRun>& runs, int length, const TextFormat& f) {
    if (length <= 0) return;
    if (!runs.empty() && sameFormat(runs.back().format, f)) runs.back().length += length;
    else runs.push_back({length, f});
}

// Plain text's paragraphs as runs over the text (line ends in their paragraph's end format); empty when
// the text is all in one format, which then goes to `uniform`.
std::vector<FormatRun> runsOf(const std::vector<TextParagraph>& paragraphs, TextFormat& uniform) {
    std::vector<FormatRun> runs;
    const auto add = [&](int length, const TextFormat& f) { appendFormatRun(runs, length, f); };
    for (const TextParagraph& p : paragraphs) {
        for (const TextRun& run : p.runs) add(static_cast<int>(run.text.size()), run.format);
        if (p.ended) add(1, p.endFormat);
    }
    if (runs.size() == 1) {
        uniform = runs.front().format;
        runs.clear();
    }
    return runs;
}

// A TextFormat object with every setting null, as for a range of no characters.
Value emptyFormatObject(avm1::Vm& vm) {
    const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("TextFormat"));
    if (ctor.isObject() && ctor.asObject()->isCallable())
        if (const Value made = vm.construct(ctor, {}); made.isObject()) return made;
    return Value(vm.makeObject());
}

QString autoSizeName(AutoSize a) {
    switch (a) {
    case AutoSize::Left: return QStringLiteral("left");
    case AutoSize::Center: return QStringLiteral("center");
    case AutoSize::Right: return QStringLiteral("right");
    case AutoSize::None: break;
    }
    return QStringLiteral("none");
}

}  // namespace

// ---- the field object ----

// Markup starts its paragraphs aligned left before version 8; later movies keep the field's own
// alignment unless the markup is empty.
static bool markupResetsAlign(const Stage& stage, bool emptyMarkup) {
    return emptyMarkup || stage.movie().header().version < 8;
}

TextFieldObject::TextFieldObject(Stage& stage, DisplayObject& object, const swf::DefineEditText* definition)
    : ClipObject(stage, avm1::ObjectClass::TextField), m_stage(stage) {
    setDisplay(&object);
    if (definition) {
        m_definition = *definition;
        m_props = editTextProps(stage.movie(), *definition);
        selectable = !definition->noSelect;
        input = !definition->readOnly;
        if (definition->maxLength) maxChars = *definition->maxLength;
        definitionMarkup = definition->html;
        if (definition->html && markupResetsAlign(stage, definition->initialText.empty())) m_props.align = TextAlign::Left;
        if (const swf::CsmTextSettings* csm = stage.movie().textSettings(definition->id)) {
            if (csm->useFlashType == 1) stored[QStringLiteral("antiAliasType")] = Value(QStringLiteral("advanced"));
            static const char* const kGridFits[] = {"none", "pixel", "subpixel"};
            if (csm->gridFit < 3) stored[QStringLiteral("gridFitType")] = Value(QString::fromLatin1(kGridFits[csm->gridFit]));
            stored[QStringLiteral("thickness")] = Value(static_cast<double>(csm->thickness));
            stored[QStringLiteral("sharpness")] = Value(static_cast<double>(csm->sharpness));
        }
    } else {
        // Fields made by scripts start empty, in the default format, and draw themselves.
        m_props.format.font = QStringLiteral("Times New Roman");
        m_props.format.size = 12;
        m_props.format.color = qRgb(0, 0, 0);
        m_own = true;
    }
    newFormat = m_props.format;
    newLayout = m_props;
}

bool TextFieldObject::breaksLines() const {
    return editTextBreaksLines(m_stage.movie(), m_props);
}

bool TextFieldObject::keepsBlankText() const { return m_stage.movie().header().version >= 8; }

QString TextFieldObject::text() const {
    const DisplayObject* o = display();
    if (!o || !o->text) return {};
    if (o->text->html)
        return plainOf(parseHtmlText(o->text->text, m_props.format, editTextLayout(m_props), breaksLines(), keepsBlankText()));
    return normalizedNewlines(o->text->text);
}

QString TextFieldObject::htmlText() const {
    const DisplayObject* o = display();
    if (!o || !o->text) return {};
    if (m_styleSheet.isObject()) {
        if (m_styledSource) return *m_styledSource;
        // Plain text (even plain text still showing an earlier sheet's styles) as the markup it amounts to.
        if (!o->text->html || m_styledMarkup)
            return toHtml(parseHtmlText(markupOfPlain(o->text->html ? text() : o->text->text), m_props.format,
                                        editTextLayout(m_props), breaksLines(), keepsBlankText()));
    }
    if (!o->text->html || m_styledMarkup) return text();
    return toHtml(parseHtmlText(o->text->text, m_props.format, editTextLayout(m_props), breaksLines(), keepsBlankText()));
}

// New text, plain or markup, starts from the format set for new text.
void TextFieldObject::takeNewFormat() {
    m_props.format = newFormat;
    m_props.runs.clear();
    m_props.align = newLayout.align;
    m_props.leftMargin = newLayout.leftMargin;
    m_props.rightMargin = newLayout.rightMargin;
    m_props.indent = newLayout.indent;
    m_props.leading = newLayout.leading;
    m_props.blockIndent = newLayout.blockIndent;
    m_props.bullet = newLayout.bullet;
    m_props.tabStops = newLayout.tabStops;
}

void TextFieldObject::setText(const QString& value, bool fromVariable) {
    DisplayObject* o = display();
    if (!o || !o->text) return;
    EditTextState& s = *o->text;
    m_styledSource.reset();
    const QString stored = s.html ? markupOfPlain(value) : value;
    if (stored != s.text) {
        s.text = stored;
        definitionMarkup = false;
        takeNewFormat();
        relaidOut();
    }
    if (fromVariable) return;
    QString name;
    if (avm1::Object* target = variableTarget(name); target && !name.isEmpty()) {
        m_stage.vm()->setMember(Value(target), name, Value(s.html ? htmlText() : text()));
        m_boundValue = m_stage.vm()->getMember(Value(target), name);
        m_boundSet = true;
    }
}

void TextFieldObject::setHtmlText(const QString& value) {
    DisplayObject* o = display();
    if (!o || !o->text) return;
    EditTextState& s = *o->text;
    m_styledSource.reset();
    QString html = m_props.condenseWhite ? condensedWhite(value, keepsBlankText(), breaksLines()) : value;
    // Markup is read as it arrives: the line breaks a single-line field ignores stay gone when it turns
    // multiline later.
    if (!breaksLines()) {
        static const QRegularExpression lineBreak(QStringLiteral("<br(\\s[^>]*)?/?>"),
                                                  QRegularExpression::CaseInsensitiveOption);
        html.remove(lineBreak);
    }
    // Markup is read anew each time, the same markup too, from the format set for new text.
    takeNewFormat();
    if (html != s.text) {
        s.text = html;
        definitionMarkup = false;
        if (markupResetsAlign(m_stage, html.isEmpty())) m_props.align = newLayout.align = TextAlign::Left;
        relaidOut();
    } else {
        changed();
    }
}

std::vector<TextParagraph> TextFieldObject::paragraphs() const {
    const DisplayObject* o = display();
    if (!o || !o->text) return {};
    if (o->text->html) {
        std::vector<TextParagraph> out = parseHtmlText(o->text->text, m_props.format, editTextLayout(m_props),
                                                       breaksLines(), keepsBlankText());
        // Kerning the definition's markup asks for is part of the format; a script's markup is not.
        if (definitionMarkup)
            for (TextParagraph& p : out) {
                for (TextRun& run : p.runs) run.format.kerning = run.format.kerning || run.format.markupKerning;
                p.endFormat.kerning = p.endFormat.kerning || p.endFormat.markupKerning;
            }
        return out;
    }
    std::vector<TextParagraph> out = plainParagraphs(text(), m_props.format, editTextLayout(m_props), m_props.runs);
    for (std::size_t i = 0; i + 1 < out.size(); ++i) out[i].ended = true;
    return out;
}

void TextFieldObject::formatText(avm1::Vm& vm, std::span<const avm1::Value> indexes, const avm1::Value& format) {
    DisplayObject* o = display();
    if (!o || !o->text || !format.isObject()) return;
    std::vector<TextParagraph> paragraphs = this->paragraphs();
    const bool html = o->text->html;
    // Markup is kept as markup, one paragraph tag each: where those do not end lines, paragraphs would
    // run together, so such a field takes the format as a whole.
    if ((html && !breaksLines() && paragraphs.size() > 1) || m_styledMarkup || m_styleSheet.isObject()) {
        if (text().isEmpty()) return;
        applyFormatObject(vm, format, m_props.format, &m_props);
        relaidOut();
        return;
    }
    int length = 0;
    for (const TextParagraph& p : paragraphs) {
        for (const TextRun& run : p.runs) length += static_cast<int>(run.text.size());
        if (p.ended) ++length;
    }
    const auto [begin, end] = formatRange(vm, indexes, length);
    if (begin >= end) return;
    formatParagraphs(vm, paragraphs, begin, end, format, html);
    if (html) {
        o->text->text = toHtml(paragraphs, true);
        definitionMarkup = false;
    } else {
        // A plain field's paragraph settings are the field's own.
        TextFormat unused;
        applyFormatObject(vm, format, unused, &m_props);
        m_props.runs = runsOf(paragraphs, m_props.format);
    }
    relaidOut();
}

void TextFieldObject::replaceText(int begin, int end, const QString& value) {
    DisplayObject* o = display();
    if (!o || !o->text) return;
    const QString old = text();
    begin = std::clamp(begin, 0, static_cast<int>(old.size()));
    end = std::clamp(end, begin, static_cast<int>(old.size()));
    const QString next = old.left(begin) + value + old.mid(end);
    if (o->text->html) {
        setText(next);
        return;
    }
    // The rest keeps its formats; the new text takes the format of what follows it, or at the end the
    // format set for new text.
    std::vector<FormatRun> runs = m_props.runs;
    if (runs.empty()) runs.push_back({static_cast<int>(old.size()), m_props.format});
    TextFormat inserted = newFormat;
    std::vector<FormatRun> kept;
    int pos = 0;
    bool placed = false;
    const auto add = [&](int length, const TextFormat& f) { appendFormatRun(kept, length, f); };
    for (const FormatRun& run : runs) {
        const int runEnd = pos + run.length;
        if (end >= pos && end < runEnd) inserted = run.format;
        pos = runEnd;
    }
    pos = 0;
    for (const FormatRun& run : runs) {
        const int runEnd = pos + run.length;
        add(std::min(runEnd, begin) - pos, run.format);
        if (!placed && runEnd >= begin) {
            add(static_cast<int>(value.size()), inserted);
            placed = true;
        }
        add(runEnd - std::max(pos, end), run.format);
        pos = runEnd;
    }
    if (!placed) add(static_cast<int>(value.size()), inserted);
    setText(next);
    if (kept.size() == 1) m_props.format = kept.front().format;
    if (kept.size() > 1) m_props.runs = std::move(kept);
    else m_props.runs.clear();
    changed();
}

void TextFieldObject::setHtml(bool on) {
    DisplayObject* o = display();
    if (m_styledMarkup) {
        // The text is markup already: turning the flag on only makes it stay so.
        if (on) m_styledMarkup = false;
        return;
    }
    if (!o || !o->text || o->text->html == on) return;
    const QString plain = text();
    // The text keeps its formats: plain text of several becomes markup that keeps them (as far as its
    // paragraphs stay apart), and markup's become the plain text's.
    const std::vector<TextParagraph> formatted = !on || !m_props.runs.empty() ? paragraphs() : std::vector<TextParagraph>{};
    o->text->html = on;
    definitionMarkup = false;
    m_props.runs.clear();
    if (on) {
        const bool keep = !formatted.empty() && (breaksLines() || formatted.size() == 1);
        o->text->text = keep ? toHtml(formatted, true) : markupOfPlain(plain);
    } else {
        o->text->text = plain;
        m_props.runs = runsOf(formatted, m_props.format);
    }
    changed();
}

void TextFieldObject::recolorMarkup(QRgb color) {
    DisplayObject* o = display();
    if (!o || !o->text || !o->text->html || o->text->text.isEmpty()) return;
    // The markup again, with the colors its font tags name replaced: the rest (the default format)
    // already has the new color.
    const QString name = QStringLiteral("#%1").arg(color & 0xffffffu, 6, 16, QLatin1Char('0')).toUpper();
    QString out;
    html_detail::tokenize(
        o->text->text, [&](const QString& text, bool) { out += escapeMarkupText(text); },
        [&](const html_detail::Tag& tag) {
            out += tagMarkup(tag, [&](const QString& key, const QString& value) {
                return tag.name == u"font" && key == u"color" ? name : value;
            });
        });
    o->text->text = out;
    m_styledSource.reset();
}

bool TextFieldObject::htmlFlag() const {
    const DisplayObject* o = display();
    return o && o->text && o->text->html && !m_styledMarkup;
}

// The markup with the sheet's styles written out as font tags the layout reads: classes of spans,
// paragraphs, links and list items, and the styles of the p, a and li elements themselves (a class
// over its element's style). Markup inside a styled tag still overrides it.
QString TextFieldObject::markupWithSheet(const QString& html) const {
    avm1::Vm* vm = m_stage.vm();
    if (!vm || !m_styleSheet.isObject()) return html;
    struct Open {
        QString name;
        bool wrapped;
    };
    std::vector<Open> open;
    QString out;
    html_detail::tokenize(
        html, [&](const QString& text, bool) { out += escapeMarkupText(text); },
        [&](const html_detail::Tag& tag) {
            if (tag.closing) {
                for (auto it = open.rbegin(); it != open.rend(); ++it) {
                    if (it->name != tag.name) continue;
                    if (it->wrapped) out += QLatin1String("</font>");
                    open.erase(std::next(it).base());
                    break;
                }
                out += tagMarkup(tag);
                return;
            }
            out += tagMarkup(tag);
            const bool element = tag.name == u"p" || tag.name == u"a" || tag.name == u"li";
            if (tag.selfClosing || !(element || tag.name == u"span")) return;
            SheetFormat format;
            if (element) addSheetFormat(*vm, m_styleSheet, tag.name, format);
            if (tag.has(u"class")) addSheetFormat(*vm, m_styleSheet, u'.' + tag.attribute(u"class"), format);
            QString attributes;
            if (format.color)
                attributes += QStringLiteral(" color=\"#%1\"").arg(*format.color, 6, 16, QLatin1Char('0'));
            if (format.size) attributes += QStringLiteral(" size=\"%1\"").arg(*format.size);
            open.push_back({tag.name, !attributes.isEmpty()});
            if (!attributes.isEmpty()) out += QLatin1String("<font") + attributes + u'>';
        });
    return out;
}

void TextFieldObject::setStyledText(const QString& html) {
    DisplayObject* o = display();
    if (!o || !o->text) return;
    if (!o->text->html) {
        // Plain text turning into markup: the markup stands on the format set for new text.
        o->text->html = true;
        o->text->text.clear();
        m_styledMarkup = true;
        takeNewFormat();
    }
    setHtmlText(markupWithSheet(html));
    m_styledSource = html;
}

void TextFieldObject::setStyleSheet(const Value& sheet) {
    // Objects only; display objects are not style sheets.
    const bool accepted = sheet.isObject() && !sheet.asObject()->display() && !dynamic_cast<ClipObject*>(sheet.asObject());
    m_styleSheet = accepted ? sheet : Value();
    if (accepted) {
        // The markup last given is styled again by the sheet as it stands now.
        if (m_styledSource) {
            const QString source = *m_styledSource;
            setStyledText(source);
        }
        return;
    }
    // Without the sheet the field reads as plain text again, but still shows the text as it was styled.
    m_styledSource.reset();
}

void TextFieldObject::changed() {
    m_own = true;
    m_metrics.reset();
    if (DisplayObject* o = display(); o && o->text) o->text->paths.reset();
    m_stage.touch();
}

void TextFieldObject::relaidOut() {
    scroll = 1;
    hscroll = 0;
    changed();
}

int TextFieldObject::maxScroll() {
    // The first line from which the rest of the text fits the field.
    const EditTextMetrics& m = metrics();
    const double visible = bounds().height() - kGutters;
    int first = 1;
    const double total = m.lineBottoms.empty() ? 0 : m.lineBottoms.back();
    while (first < m.lineCount && total - m.lineBottoms[static_cast<std::size_t>(first - 1)] + 0.5 > 0 &&
           total - (first > 1 ? m.lineBottoms[static_cast<std::size_t>(first - 2)] : 0) > visible)
        ++first;
    return first;
}

int TextFieldObject::maxHScroll() {
    const double spare = metrics().textWidth - (bounds().width() - kGutters);
    return spare > 0 ? static_cast<int>(std::round(spare / 20.0)) : 0;
}

void TextFieldObject::scrollTo(int line, int pixels) {
    if (line == scroll && pixels == hscroll) return;
    scroll = line;
    hscroll = pixels;
    changed();
}

const EditTextMetrics& TextFieldObject::metrics() {
    DisplayObject* o = display();
    EditTextState* s = o ? o->text.get() : nullptr;
    if (m_metrics && s && m_own && !s->paths) m_metrics.reset();
    if (m_metrics) return *m_metrics;
    m_props.text = s ? s->text : QString();
    m_props.html = s && s->html;
    m_props.scroll = scroll;
    m_props.hscroll = hscroll;
    const Movie& movie = m_stage.movie();
    EditTextMetrics m;
    ShapePaths paths = buildEditText(movie, m_definition, m_props, &m);
    if (m_props.autoSize != AutoSize::None) {
        // The field grows or shrinks to its text, keeping still the side autoSize names.
        const QRectF b = m_props.bounds;
        const double width = m_props.wordWrap
                                 ? b.width()
                                 : std::ceil(m.textWidth) + kGutters + m_props.leftMargin + m_props.rightMargin;
        const double height = std::ceil(m.textHeight) + kGutters;
        if (width != b.width() || height != b.height()) {
            double dx = 0;
            if (m_props.autoSize == AutoSize::Center) dx = std::round((b.width() - width) / 2);
            else if (m_props.autoSize == AutoSize::Right) dx = b.width() - width;
            m_props.bounds = QRectF(b.left(), b.top(), width, height);
            if (o && dx != 0) {
                o->matrix.tx += dx;
                autoSizeShift += dx;
            }
            m = {};
            paths = buildEditText(movie, m_definition, m_props, &m);
            m_own = true;
        }
    }
    if (s) s->paths = std::move(paths);
    m_metrics = std::move(m);
    ++m_layoutSerial;
    return *m_metrics;
}

const ShapePaths* TextFieldObject::ownPaths() {
    if (!m_own) return nullptr;
    metrics();
    DisplayObject* o = display();
    return o && o->text && o->text->paths ? &*o->text->paths : nullptr;
}

QRectF TextFieldObject::bounds() {
    if (m_props.autoSize != AutoSize::None) metrics();
    return m_props.bounds;
}

avm1::Object* TextFieldObject::variableTarget(QString& name) {
    DisplayObject* o = display();
    avm1::Vm* vm = m_stage.vm();
    if (!o || !o->text || o->text->variable.isEmpty() || !vm || !o->parent || !o->parent->owner()) return nullptr;
    const QString& path = o->text->variable;
    avm1::Object* base = m_stage.scriptObject(*o->parent->owner());
    if (!base) return nullptr;
    qsizetype cut = path.lastIndexOf(u':');
    if (cut < 0) cut = path.lastIndexOf(u'.');
    if (cut < 0) {
        name = path;
        return base;
    }
    name = path.mid(cut + 1);
    return vm->host() ? vm->host()->resolveTarget(base, path.left(cut)) : nullptr;
}

void TextFieldObject::syncFromVariable(bool initial) {
    QString name;
    avm1::Object* target = variableTarget(name);
    avm1::Vm* vm = m_stage.vm();
    if (!target || name.isEmpty() || !vm) return;
    DisplayObject* o = display();
    const bool html = o && o->text && o->text->html;
    if (!vm->hasProperty(target, name)) {
        // A new binding to a missing variable starts over from the definition's text, and gives it to
        // the variable.
        if (initial) {
            if (m_definition.id) {
                const QString initialText = m_stage.movie().decodeString(m_definition.initialText);
                if (html) setHtmlText(initialText);
                else setText(initialText, true);
            }
            const QString start = html ? htmlText() : text();
            if (!start.isEmpty()) vm->setMember(Value(target), name, Value(start));
        }
        return;
    }
    // The field follows assignments: a value it has shown already (the same object, even if its
    // string form changed since, or a write of the field's own that the variable refused) is left.
    const Value current = vm->getMember(Value(target), name);
    if (!initial && m_boundSet && current.strictEquals(m_boundValue)) return;
    m_boundValue = current;
    m_boundSet = true;
    const QString value = vm->toString(current);
    if (html) setHtmlText(value);
    else if (value != text()) setText(value, true);
}

bool TextFieldObject::getSpecial(avm1::Vm& vm, const QString& name, Value& out) {
    DisplayObject* o = display();
    // A field that grows to its text may have moved: lay it out before its place is read.
    if (o && name.size() > 1 && name[0] == u'_' && m_props.autoSize != AutoSize::None) metrics();
    if (o && name.size() > 1 && name[0] == u'_') {
        const auto p = clipPropertyByName(name);
        if (p == ClipProperty::Width || p == ClipProperty::Height) {
            // Each corner lands on a whole twip before the extent is taken.
            const QTransform t = toQTransform(o->matrix);
            const QRectF b = bounds();
            double lo = HUGE_VAL, hi = -HUGE_VAL;
            for (const QPointF& corner : {b.topLeft(), b.topRight(), b.bottomLeft(), b.bottomRight()}) {
                const QPointF q = t.map(corner);
                const double v = std::round(p == ClipProperty::Width ? q.x() : q.y());
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            }
            out = Value((hi - lo) / 20.0);
            return true;
        }
    }
    return ClipObject::getSpecial(vm, name, out);
}

bool TextFieldObject::setSpecial(avm1::Vm& vm, const QString& name, const Value& value) {
    DisplayObject* o = display();
    if (o && name.size() > 1 && name[0] == u'_') {
        const auto p = clipPropertyByName(name);
        if (p == ClipProperty::Width || p == ClipProperty::Height) {
            // A field's size is its bounds: the scale stays as it is.
            const double v = vm.toNumber(value);
            if (!std::isfinite(v) || v < 0) return true;
            // The value is the bounds' own size: a scaled field shows it scaled.
            const bool width = p == ClipProperty::Width;
            const double twips = std::trunc(std::min(v, kMaxFieldPixels) * 20.0);
            QRectF b = bounds();
            if (width) b.setWidth(twips);
            else b.setHeight(twips);
            m_props.bounds = b;
            relaidOut();
            return true;
        }
    }
    return ClipObject::setSpecial(vm, name, value);
}

void TextFieldObject::markChildren(avm1::Heap& heap) {
    ClipObject::markChildren(heap);
    heap.mark(restrict);
    heap.mark(m_styleSheet);
    heap.mark(m_boundValue);
    for (const auto& [name, value] : stored) heap.mark(value);
}

avm1::Object* makeTextFieldObject(Stage& stage, DisplayObject& object) {
    avm1::Vm& vm = *stage.vm();
    const Character* c = object.characterId ? stage.movie().character(object.characterId) : nullptr;
    const auto* definition = c ? std::get_if<swf::DefineEditText>(c) : nullptr;
    auto* field = vm.heap().make<TextFieldObject>(stage, object, definition);
    field->setProto(vm.protos().textField ? vm.protos().textField : vm.protos().object);
    object.script = field;
    field->syncFromVariable(true);
    return field;
}

namespace {
TextFieldObject* makeScriptField(Stage& stage, DisplayObject& object);
}  // namespace

DisplayObject* duplicateTextField(Stage& stage, DisplayObject& source, SpriteInstance& parent, int depth,
                                  const QString& name) {
    auto* field = dynamic_cast<TextFieldObject*>(source.script);
    if (!source.text || !field) return nullptr;
    // The copy stands where the field was placed: what autoSize moved it by stays behind.
    field->metrics();
    swf::Matrix matrix = source.matrix;
    matrix.tx -= field->autoSizeShift;
    const swf::ColorTransform cx = source.colorTransform;
    const bool input = field->input;
    const std::uint16_t character = source.characterId;
    // Neither the text, the size nor the other settings come along: a field from a definition starts
    // again from it, a script-made one starts empty and zero-sized, keeping only its input type.
    if (character != 0 && stage.movie().character(character)) {
        auto prepare = [&](DisplayObject& copy) {
            copy.matrix = matrix;
            copy.colorTransform = cx;
        };
        return parent.addChild(depth, character, name, prepare);
    }
    DisplayObject* copy = parent.addChild(depth, 0, name);
    if (!copy) return nullptr;
    TextFieldObject* made = makeScriptField(stage, *copy);
    copy->matrix = matrix;
    copy->colorTransform = cx;
    made->input = input;
    made->changed();
    return copy;
}

const ShapePaths* editTextInstancePaths(const DisplayObject& object) {
    auto* field = dynamic_cast<TextFieldObject*>(object.script);
    return field ? field->ownPaths() : nullptr;
}

std::optional<QRectF> editTextInstanceBounds(const DisplayObject& object) {
    auto* field = dynamic_cast<TextFieldObject*>(object.script);
    if (!field) return std::nullopt;
    return field->bounds();
}

namespace {

void syncFields(SpriteInstance& sprite, int depth) {
    if (depth > ObjectBudget::kMaxNesting) return;
    // Syncing may run getters that change the list: collect first.
    std::vector<DisplayObject*> fields, sprites;
    for (const auto& [d, child] : sprite.children()) {
        if (child->text && !child->text->variable.isEmpty()) fields.push_back(child.get());
        if (child->sprite) sprites.push_back(child.get());
    }
    for (DisplayObject* f : fields)
        if (auto* tf = dynamic_cast<TextFieldObject*>(f->script)) tf->syncFromVariable(false);
    for (DisplayObject* s : sprites)
        if (s->sprite) syncFields(*s->sprite, depth + 1);
}

// Turns a child that addChild made as an empty clip into an empty text field.
TextFieldObject* makeScriptField(Stage& stage, DisplayObject& object) {
    avm1::Vm& vm = *stage.vm();
    if (object.script) object.script->setDisplay(nullptr);
    object.script = nullptr;
    object.sprite.reset();
    object.text = std::make_unique<EditTextState>();
    auto* field = vm.heap().make<TextFieldObject>(stage, object, nullptr);
    field->setProto(vm.protos().textField ? vm.protos().textField : vm.protos().object);
    object.script = field;
    return field;
}

using Getter = Value (*)(avm1::Vm&, TextFieldObject&);
using Setter = void (*)(avm1::Vm&, TextFieldObject&, const Value&);

void property(avm1::Vm& vm, avm1::Object* proto, const char* name, Getter get, Setter set) {
    avm1::Object* getter = vm.makeFunction(QString::fromLatin1(name), [get](avm1::Vm& vm, const Value& self, Args) {
        TextFieldObject* tf = fieldOf(self);
        return tf ? get(vm, *tf) : Value();
    });
    avm1::Object* setter = nullptr;
    if (set) {
        setter = vm.makeFunction(QString::fromLatin1(name), [set](avm1::Vm& vm, const Value& self, Args args) {
            if (TextFieldObject* tf = fieldOf(self)) set(vm, *tf, arg(args, 0));
            return Value();
        });
    }
    proto->defineAccessor(QString::fromLatin1(name), getter, setter);
}

// A flag of the field's settings; `layout` when it changes how the text is laid out.
template <bool EditTextProps::*Flag, bool layout>
void flagProperty(avm1::Vm& vm, avm1::Object* proto, const char* name) {
    property(
        vm, proto, name, [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.props().*Flag); },
        [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
            const bool on = vm.toBoolean(v);
            if (tf.props().*Flag == on) return;
            tf.props().*Flag = on;
            if (layout) tf.relaidOut();
            else tf.changed();
        });
}

QRgb colorOf(avm1::Vm& vm, const Value& v) {
    const double d = vm.toNumber(v);
    const std::uint32_t rgb = std::isfinite(d) ? static_cast<std::uint32_t>(avm1::toInt32(d)) & 0xffffffu : 0;
    return 0xff000000u | rgb;
}

// Settings this viewer keeps only so that scripts read back what they wrote.
using StoredFilter = std::optional<Value> (*)(avm1::Vm&, const Value&);
void storedProperty(avm1::Vm& vm, avm1::Object* proto, const char* name, const Value& initial,
                    StoredFilter filter = nullptr) {
    const QString key = QString::fromLatin1(name);
    avm1::Object* getter = vm.makeFunction(key, [key, initial](avm1::Vm&, const Value& self, Args) {
        TextFieldObject* tf = fieldOf(self);
        if (!tf) return Value();
        auto it = tf->stored.find(key);
        return it == tf->stored.end() ? initial : it->second;
    });
    avm1::Object* setter = vm.makeFunction(key, [key, filter](avm1::Vm& vm, const Value& self, Args args) {
        TextFieldObject* tf = fieldOf(self);
        if (!tf) return Value();
        if (!filter) tf->stored[key] = arg(args, 0);
        else if (std::optional<Value> v = filter(vm, arg(args, 0))) tf->stored[key] = *v;
        return Value();
    });
    proto->defineAccessor(key, getter, setter);
}


void installProperties(avm1::Vm& vm, avm1::Object* proto) {
    // In their enumeration order.
    property(vm, proto, "styleSheet", [](avm1::Vm&, TextFieldObject& tf) { return tf.styleSheet(); },
             [](avm1::Vm&, TextFieldObject& tf, const Value& v) { tf.setStyleSheet(v); });
    storedProperty(vm, proto, "mouseWheelEnabled", Value(true));
    property(vm, proto, "condenseWhite", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.props().condenseWhite); },
             [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) { tf.props().condenseWhite = vm.toBoolean(v); });
    property(vm, proto, "restrict", [](avm1::Vm&, TextFieldObject& tf) { return tf.restrict; },
             [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
                 tf.restrict = v.isNullish() || vm.toString(v).isEmpty() ? Value::null() : Value(vm.toString(v));
             });
    property(vm, proto, "textHeight", [](avm1::Vm&, TextFieldObject& tf) {
        return Value(std::floor(tf.metrics().textHeight / 20.0 + 1e-9));
    }, nullptr);
    property(vm, proto, "textWidth", [](avm1::Vm&, TextFieldObject& tf) {
        return Value(std::floor(tf.metrics().textWidth / 20.0 + 1e-9));
    }, nullptr);
    property(vm, proto, "bottomScroll", [](avm1::Vm&, TextFieldObject& tf) {
        const EditTextMetrics& m = tf.metrics();
        const double visible = tf.bounds().height() - kGutters;
        const int first = std::clamp(tf.scroll, 1, std::max(1, m.lineCount));
        const double top = first > 1 ? m.lineBottoms[static_cast<std::size_t>(first - 2)] : 0;
        int last = first;
        for (int i = first; i < m.lineCount; ++i)
            if (m.lineBottoms[static_cast<std::size_t>(i)] - top <= visible) last = i + 1;
        return Value(last);
    }, nullptr);
    property(vm, proto, "length", [](avm1::Vm&, TextFieldObject& tf) { return Value(static_cast<double>(tf.text().size())); },
             nullptr);
    property(vm, proto, "selectable", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.selectable); },
             [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) { tf.selectable = vm.toBoolean(v); });
    flagProperty<&EditTextProps::multiline, true>(vm, proto, "multiline");
    flagProperty<&EditTextProps::password, true>(vm, proto, "password");
    flagProperty<&EditTextProps::wordWrap, true>(vm, proto, "wordWrap");
    flagProperty<&EditTextProps::background, false>(vm, proto, "background");
    flagProperty<&EditTextProps::border, false>(vm, proto, "border");
    property(vm, proto, "html", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.htmlFlag()); }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) { tf.setHtml(vm.toBoolean(v)); });
    flagProperty<&EditTextProps::useOutlines, true>(vm, proto, "embedFonts");
    property(vm, proto, "maxChars", [](avm1::Vm&, TextFieldObject& tf) {
        return tf.maxChars ? Value(*tf.maxChars) : Value::null();
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        const double d = vm.toNumber(v);
        if (v.isNullish() || !std::isfinite(d) || d <= 0) tf.maxChars.reset();
        else tf.maxChars = static_cast<int>(std::min(d, 2147483647.0));
    });
    property(vm, proto, "maxhscroll", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.maxHScroll()); }, nullptr);
    property(vm, proto, "hscroll", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.hscroll); },
             [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
                 const int most = tf.maxHScroll();
                 tf.scrollTo(tf.scroll, std::clamp(static_cast<int>(avm1::toInt32(vm.toNumber(v))), 0, most));
             });
    property(vm, proto, "variable", [](avm1::Vm&, TextFieldObject& tf) {
        const DisplayObject* o = tf.display();
        return o && o->text && !o->text->variable.isEmpty() ? Value(o->text->variable) : Value::null();
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        DisplayObject* o = tf.display();
        if (!o || !o->text) return;
        o->text->variable = v.isNullish() ? QString() : vm.toString(v);
        tf.syncFromVariable(true);
    });
    property(vm, proto, "htmlText", [](avm1::Vm&, TextFieldObject& tf) {
        tf.syncFromVariable(false);
        return Value(tf.htmlText());
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        const DisplayObject* o = tf.display();
        if (tf.styleSheet().isObject()) tf.setStyledText(vm.toString(v));
        else if (o && o->text && tf.htmlFlag()) tf.setHtmlText(vm.toString(v));
        else tf.setText(vm.toString(v));
    });
    property(vm, proto, "type", [](avm1::Vm&, TextFieldObject& tf) {
        return Value(tf.input ? QStringLiteral("input") : QStringLiteral("dynamic"));
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        const QString t = vm.toString(v).toLower();
        if (t == u"input") tf.input = true;
        else if (t == u"dynamic") tf.input = false;
    });
    property(vm, proto, "text", [](avm1::Vm&, TextFieldObject& tf) {
        tf.syncFromVariable(false);
        return Value(tf.text());
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        if (tf.styleSheet().isObject()) tf.setStyledText(vm.toString(v));
        else tf.setText(vm.toString(v));
    });
    property(vm, proto, "autoSize", [](avm1::Vm&, TextFieldObject& tf) { return Value(autoSizeName(tf.props().autoSize)); },
             [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
                 AutoSize a = AutoSize::None;
                 if (v.isBoolean()) {
                     a = v.asBool() ? AutoSize::Left : AutoSize::None;
                 } else {
                     const QString s = vm.toString(v).toLower();
                     if (s == u"left") a = AutoSize::Left;
                     else if (s == u"center") a = AutoSize::Center;
                     else if (s == u"right") a = AutoSize::Right;
                 }
                 if (a == tf.props().autoSize) return;
                 tf.props().autoSize = a;
                 tf.relaidOut();
             });
    storedProperty(vm, proto, "tabIndex", Value());
    property(vm, proto, "textColor", [](avm1::Vm&, TextFieldObject& tf) {
        // The color of new text: formats set on the text already there leave it alone.
        return Value(static_cast<double>(tf.newFormat.color & 0xffffff));
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        tf.props().format.color = colorOf(vm, v);
        tf.newFormat.color = tf.props().format.color;
        tf.recolorMarkup(tf.props().format.color);
        tf.relaidOut();
    });
    property(vm, proto, "backgroundColor", [](avm1::Vm&, TextFieldObject& tf) {
        return Value(static_cast<double>(tf.props().backgroundColor & 0xffffff));
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        tf.props().backgroundColor = colorOf(vm, v);
        tf.changed();
    });
    property(vm, proto, "borderColor", [](avm1::Vm&, TextFieldObject& tf) {
        return Value(static_cast<double>(tf.props().borderColor & 0xffffff));
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        tf.props().borderColor = colorOf(vm, v);
        tf.changed();
    });
    property(vm, proto, "maxscroll", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.maxScroll()); }, nullptr);
    property(vm, proto, "scroll", [](avm1::Vm&, TextFieldObject& tf) { return Value(tf.scroll); },
             [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
                 // The line index counts from zero in 32 bits: the step down from the line number wraps.
                 const auto line = static_cast<std::int32_t>(
                     static_cast<std::uint32_t>(avm1::toInt32(vm.toNumber(v))) - 1u);
                 tf.scrollTo(std::clamp(line, 0, tf.maxScroll() - 1) + 1, tf.hscroll);
             });
    // The filters read back as copies, so that changing one read changes nothing until it is set again;
    // until a script sets them, those the timeline placed the field with. The field is drawn with them.
    property(vm, proto, "filters", [](avm1::Vm& vm, TextFieldObject& tf) {
        auto it = tf.stored.find(QStringLiteral("filters"));
        if (it == tf.stored.end() && tf.display()) return objects::filtersShown(vm, tf.display()->filters);
        return objects::filterCopies(vm, it != tf.stored.end() ? it->second : Value());
    }, [](avm1::Vm& vm, TextFieldObject& tf, const Value& v) {
        std::vector<Filter> shown;
        tf.stored[QStringLiteral("filters")] = objects::filtersGiven(vm, v, &shown);
        if (DisplayObject* d = tf.display()) {
            d->filters = std::move(shown);
            tf.stage().touch();
        }
    });
    // Numbers as given; the names only when known (anything else leaves the setting as it was).
    auto asNumber = [](avm1::Vm& vm, const Value& v) -> std::optional<Value> { return Value(vm.toNumber(v)); };
    storedProperty(vm, proto, "sharpness", Value(0), asNumber);
    storedProperty(vm, proto, "thickness", Value(0), asNumber);
    storedProperty(vm, proto, "antiAliasType", Value(QStringLiteral("normal")),
                   [](avm1::Vm& vm, const Value& v) -> std::optional<Value> {
                       const QString s = vm.toString(v);
                       if (s == u"normal" || s == u"advanced") return Value(s);
                       return std::nullopt;
                   });
    storedProperty(vm, proto, "gridFitType", Value(QStringLiteral("pixel")),
                   [](avm1::Vm& vm, const Value& v) -> std::optional<Value> {
                       const QString s = vm.toString(v);
                       if (s == u"none" || s == u"pixel" || s == u"subpixel") return Value(s);
                       return std::nullopt;
                   });
}

void installMethods(Stage& stage, avm1::Vm& vm, avm1::Object* proto) {
    vm.defineMethod(proto, QStringLiteral("getTextFormat"), [](avm1::Vm& vm, const Value& self, Args args) {
        TextFieldObject* tf = fieldOf(self);
        if (!tf) return Value();
        RangeFormats range;
        range.paragraphs = tf->paragraphs();
        for (const TextParagraph& p : range.paragraphs) {
            for (const TextRun& run : p.runs)
                for (qsizetype k = 0; k < run.text.size(); ++k) range.chars.emplace_back(&run.format, &p);
            if (p.ended) range.chars.emplace_back(&p.endFormat, &p);
        }
        const auto [b, e] = formatRange(vm, args.first(std::min<std::size_t>(args.size(), 2)),
                                        static_cast<int>(range.chars.size()));
        if (b >= e) return emptyFormatObject(vm);
        return makeRangeFormatObject(vm, range, static_cast<std::size_t>(b), static_cast<std::size_t>(e));
    });
    vm.defineMethod(proto, QStringLiteral("getNewTextFormat"), [](avm1::Vm& vm, const Value& self, Args) {
        TextFieldObject* tf = fieldOf(self);
        return tf ? makeFormatObject(vm, tf->newFormat, editTextLayout(tf->newLayout)) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("setTextFormat"), [](avm1::Vm& vm, const Value& self, Args args) {
        TextFieldObject* tf = fieldOf(self);
        if (!tf || args.empty()) return Value();
        // The format comes after the indexes of the characters it is for.
        const std::size_t count = std::min<std::size_t>(args.size(), 3);
        tf->formatText(vm, args.first(count - 1), args[count - 1]);
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("setNewTextFormat"), [](avm1::Vm& vm, const Value& self, Args args) {
        TextFieldObject* tf = fieldOf(self);
        if (tf) applyFormatObject(vm, arg(args, 0), tf->newFormat, &tf->newLayout);
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("replaceText"), [](avm1::Vm& vm, const Value& self, Args args) {
        TextFieldObject* tf = fieldOf(self);
        if (!tf || args.size() < 3) return Value();
        const double length = static_cast<double>(tf->text().size());
        const double b = vm.toNumber(args[0]), e = vm.toNumber(args[1]);
        if (!std::isfinite(b) || !std::isfinite(e) || b < 0 || e < b) return Value();
        tf->replaceText(static_cast<int>(std::min(b, length)), static_cast<int>(std::min(e, length)),
                        vm.toString(args[2]));
        return Value();
    }, avm1::propflag::kVersion7);
    vm.defineMethod(proto, QStringLiteral("replaceSel"), [](avm1::Vm& vm, const Value& self, Args args) {
        TextFieldObject* tf = fieldOf(self);
        if (tf && !args.empty() && tf->display()) replaceSelection(*tf->display(), vm.toString(args[0]));
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("removeTextField"), [](avm1::Vm& vm, const Value& self, Args) {
        if (TextFieldObject* tf = fieldOf(self)) static_cast<ScriptHost&>(*vm.host()).remove(*tf->display());
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("getDepth"), [](avm1::Vm&, const Value& self, Args) {
        TextFieldObject* tf = fieldOf(self);
        return tf ? Value(tf->display()->depth - kScriptDepthOffset) : Value();
    });

    Stage* s = &stage;
    if (avm1::Object* clipProto = vm.protos().movieClip) {
        vm.defineMethod(clipProto, QStringLiteral("createTextField"), [s](avm1::Vm& vm, const Value& self, Args args) {
            SpriteInstance* sprite = spriteOf(self);
            if (!sprite || args.size() < 6) return Value();
            const double depth = vm.toNumber(args[1]);
            if (!std::isfinite(depth)) return Value();
            const double x = wholePixels(vm, args[2]), y = wholePixels(vm, args[3]);
            // A negative size reaches left of or above the position.
            const double w = wholePixels(vm, args[4]), h = wholePixels(vm, args[5]);
            DisplayObject* child = sprite->addChild(static_cast<int>(std::clamp(depth, -16384.0, 2130690044.0)) +
                                                        kScriptDepthOffset, 0, vm.toString(args[0]));
            if (!child) return Value();
            TextFieldObject* field = makeScriptField(*s, *child);
            child->matrix.tx = x * 20;
            child->matrix.ty = y * 20;
            field->props().bounds = QRectF(0, 0, w * 20, h * 20).normalized();
            field->changed();
            return Value(field);
        });
    }
}

// for..in lists the newest first: the properties go in again last to first, so that scripts see them
// in the order installProperties gives. Movies before version 8 have the later settings as plain
// (undefined) values, which scripts may shadow and delete again.
void orderProperties(avm1::Vm& vm, avm1::Object* proto) {
    std::vector<std::pair<QString, avm1::Property>> properties;
    proto->forEachOwn([&](const QString& name, const avm1::Property& p) {
        if (!(p.flags & avm1::propflag::kDontEnum)) properties.emplace_back(name, p);
    });
    for (const auto& [name, p] : properties) proto->removeOwn(name);
    for (auto it = properties.rbegin(); it != properties.rend(); ++it) {
        const auto& [name, p] = *it;
        const bool later = name == u"filters" || name == u"sharpness" || name == u"thickness" ||
                           name == u"antiAliasType" || name == u"gridFitType";
        if (later && vm.swfVersion() < 8) proto->define(name, Value(), p.flags);
        else if (p.isAccessor()) proto->defineAccessor(name, p.getter, p.setter, p.flags);
        else proto->define(name, p.value, p.flags);
    }
}

}  // namespace

void syncTextVariables(Stage& stage) {
    if (!stage.vm()) return;
    syncFields(stage.root(), 0);
}

avm1::Value textExtent(Stage& stage, const avm1::Value& format, const QString& text, const avm1::Value& width) {
    avm1::Vm& vm = *stage.vm();
    EditTextProps props;
    props.format.font = QStringLiteral("_sans");
    props.multiline = true;
    // The text takes the format; without text, an empty line in the default format stands.
    EditTextProps layout;
    if (!text.isEmpty()) applyFormatObject(vm, format, props.format, &layout);
    props.leading = layout.leading;
    props.text = text;
    const bool wrapped = !width.isUndefined();
    double fieldWidth = 0;
    if (wrapped) {
        const double w = std::abs(vm.toNumber(width));
        fieldWidth = std::isfinite(w) ? std::min(w, kMaxFieldPixels) : 0;
    }
    props.wordWrap = wrapped;
    props.bounds = QRectF(0, 0, wrapped ? fieldWidth * 20 : kMaxFieldPixels * 20, kMaxFieldPixels * 20);
    EditTextMetrics m;
    buildEditText(stage.movie(), swf::DefineEditText{}, props, &m);
    const double size = props.format.size * 20;
    const DeviceFont& font = DeviceFont::instance();
    const double ascent = font.ascent(size), descent = font.descent(size);
    // Every line counts in the height, an empty last one too, with the leading after the last and room
    // below it for a descender; the field's height counts the lines as its text height does.
    const double lines = m.lineBottoms.empty() ? ascent + descent : m.lineBottoms.back();
    const double height = lines + props.leading + descent;
    const double textWidth = std::floor(m.textWidth / 20.0 + 1e-9);
    avm1::Object* out = vm.makeObject();
    out->setOwn(QStringLiteral("width"), Value(text.isEmpty() ? 0.0 : textWidth));
    out->setOwn(QStringLiteral("height"), Value(height / 20.0));
    out->setOwn(QStringLiteral("ascent"), Value(ascent / 20.0));
    out->setOwn(QStringLiteral("descent"), Value(descent / 20.0));
    out->setOwn(QStringLiteral("textFieldWidth"), Value(wrapped ? fieldWidth : textWidth + kGutters / 20));
    out->setOwn(QStringLiteral("textFieldHeight"), Value(((text.isEmpty() ? 0.0 : m.textHeight) + kGutters) / 20.0));
    return Value(out);
}

void installTextFieldBuiltins(Stage& stage) {
    avm1::Vm& vm = *stage.vm();
    avm1::Object* proto = vm.protos().textField;
    if (!proto) return;
    installProperties(vm, proto);
    orderProperties(vm, proto);
    installMethods(stage, vm, proto);
    objects::installStyleSheet(stage);
}

}  // namespace vistrel::player
