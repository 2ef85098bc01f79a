// TextField.StyleSheet (styles kept, copied out, transformed, read from style sheet text) and what a
// style sheet changes in the fields it is set on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;
using Movie = sw::ScriptMovie;

namespace {

Value str(const char* s) { return Value(QString::fromUtf8(s)); }

// The declarations of a style as "name=value" lines in name order.
std::vector<std::string> declarations(Movie& m, const Value& style) {
    std::vector<std::string> out;
    if (!style.isObject()) return out;
    for (const QString& name : style.asObject()->ownNames())
        out.push_back(name.toStdString() + "=" + m.str(m.get(style, name.toUtf8().constData())));
    std::sort(out.begin(), out.end());
    return out;
}

Value newField(Movie& m, const char* name, int depth) {
    m.call(m.root(), "createTextField", {str(name), Value(depth), Value(0), Value(0), Value(100), Value(40)});
    return m.get(m.root(), name);
}

}  // namespace

TEST(StyleSheet, StylesAreCopiedInAndOutAndTransformedToFormats) {
    Movie m(8);
    const Value sheet = m.make("TextField.StyleSheet");
    ASSERT_TRUE(sheet.isObject());
    // Nothing is kept before the first style.
    EXPECT_TRUE(m.get(sheet, "_css").isUndefined());
    EXPECT_TRUE(m.call(sheet, "getStyle", {str("a")}).isNull());

    const Value nested = m.object();
    const Value style = m.object();
    m.set(style, "color", str("#FF0000"));
    m.set(style, "fontSize", str("14px"));
    m.set(style, "nested", nested);
    m.call(sheet, "setStyle", {str("a"), style});
    m.call(sheet, "setStyle", {str("plain"), str("not a style")});

    const Value back = m.call(sheet, "getStyle", {str("a")});
    EXPECT_FALSE(back.strictEquals(style));                         // a copy...
    EXPECT_TRUE(m.get(back, "nested").strictEquals(nested));       // ...of the same values
    EXPECT_TRUE(m.call(sheet, "getStyle", {str("A")}).isNull());   // names keep their case
    EXPECT_TRUE(m.call(sheet, "getStyle", {str("plain")}).isNull());
    EXPECT_EQ(m.str(m.call(m.call(sheet, "getStyleNames"), "join")), "a,plain");

    // The format a style stands for.
    const Value format = m.get(m.get(sheet, "_styles"), "a");
    EXPECT_TRUE(m.vm().instanceOf(format, m.path("TextFormat").object()));
    EXPECT_EQ(m.num(m.get(format, "color")), 0xFF0000);
    EXPECT_EQ(m.num(m.get(format, "size")), 14);
    EXPECT_TRUE(m.get(m.get(sheet, "_styles"), "plain").isNull());

    // clear starts over with new tables.
    const Value oldCss = m.get(sheet, "_css");
    m.call(sheet, "clear");
    EXPECT_FALSE(m.get(sheet, "_css").strictEquals(oldCss));
    EXPECT_EQ(m.num(m.get(m.call(sheet, "getStyleNames"), "length")), 0);
}

TEST(StyleSheet, MethodsAreHiddenAndPermanent) {
    Movie m(8);
    const Value proto = m.path("TextField.StyleSheet.prototype");
    for (const char* name : {"setStyle", "getStyle", "getStyleNames", "clear", "transform", "parseCSS", "load"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(m.vm().deleteMember(proto, QString::fromLatin1(name)));
        EXPECT_TRUE(m.get(proto, name).isObject());
    }
    std::vector<QString> enumerable;
    proto.asObject()->forEachOwn([&](const QString& n, const vistrel::avm1::Property& p) {
        if (!(p.flags & vistrel::avm1::propflag::kDontEnum)) enumerable.push_back(n);
    });
    EXPECT_TRUE(enumerable.empty());
}

TEST(StyleSheet, StyleSheetTextIsReadWhollyOrNotAtAll) {
    Movie m(8);
    const Value sheet = m.make("TextField.StyleSheet");
    auto parse = [&](const char* css) { return m.vm().toBoolean(m.call(sheet, "parseCSS", {str(css)})); };
    auto style = [&](const char* name) { return declarations(m, m.call(sheet, "getStyle", {str(name)})); };

    EXPECT_TRUE(parse("one { color: red; }\n two, three {font-size: 5 }"));
    EXPECT_EQ(style("one"), (std::vector<std::string>{"color=red"}));
    // Names lose their dashes; values keep what trails them.
    EXPECT_EQ(style("two"), (std::vector<std::string>{"fontSize=5 "}));
    EXPECT_EQ(style("three"), (std::vector<std::string>{"fontSize=5 "}));

    // Anything malformed fails the whole text, leaving the styles as they were.
    for (const char* bad : {"one { color: blue; }; junk", "long key { a: b }", "{ a: b }", "x", "x{a", "x{a}",
                            "x{a:b", "x{a b: c}", "x{a:;;}"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(parse(bad));
        EXPECT_EQ(style("one"), (std::vector<std::string>{"color=red"}));
        EXPECT_TRUE(m.call(sheet, "getStyle", {str("x")}).isNull());
    }

    // What the reader forgives: an unclosed block, empty names, semicolons inside names, braces in
    // selectors and names, blanks trailing a name.
    EXPECT_TRUE(parse("one { font-weight : bold ;"));
    EXPECT_EQ(style("one"), (std::vector<std::string>{"fontWeight =bold "}));
    EXPECT_TRUE(parse("b{;;key: v;;other: w;} c{:z} d}{} e{k}f{:v}"));
    EXPECT_EQ(style("b"), (std::vector<std::string>{";;key=v", ";other=w"}));
    EXPECT_TRUE(style("c").empty());
    EXPECT_TRUE(m.call(sheet, "getStyle", {str("d}")}).isObject());
    EXPECT_EQ(style("e"), (std::vector<std::string>{"k}f{=v"}));
    // Other styles stay: each text adds to the sheet.
    EXPECT_EQ(style("two"), (std::vector<std::string>{"fontSize=5 "}));
}

TEST(StyleSheet, ParsingGoesThroughTransformButNotSetStyle) {
    Movie m(8);
    const Value sheet = m.make("TextField.StyleSheet");
    std::vector<std::string> log;
    auto logger = [&](const char* tag, bool forward) {
        return Value(m.vm().makeFunction(QStringLiteral("f"), [&log, tag, forward](vistrel::avm1::Vm& vm, const Value&,
                                                                                   std::span<const Value> args) {
            log.push_back(std::string(tag) + " " + vm.toString(args.empty() ? Value() : args[0]).toStdString());
            return forward ? Value(QStringLiteral("made")) : Value();
        }));
    };
    m.set(sheet, "transform", logger("transform", true));
    m.set(sheet, "setStyle", logger("setStyle", false));
    EXPECT_TRUE(m.vm().toBoolean(m.call(sheet, "parseCSS", {str("a, b {x: y}")})));
    EXPECT_EQ(log, (std::vector<std::string>{"transform [object Object]", "transform [object Object]"}));
    EXPECT_EQ(m.str(m.get(m.get(sheet, "_styles"), "b")), "made");
}

TEST(StyleSheet, FieldsTakeObjectsAndReadTheirTextAsMarkup) {
    Movie m(8);
    const Value field = newField(m, "t", 1);
    ASSERT_TRUE(field.isObject());
    for (const Value& v : {Value(4), str("4"), Value::null(), Value(true), m.root()}) {
        m.set(field, "styleSheet", v);
        EXPECT_TRUE(m.get(field, "styleSheet").isUndefined()) << m.str(v);
    }
    const Value sheet = m.make("TextField.StyleSheet");
    m.set(field, "styleSheet", sheet);
    EXPECT_TRUE(m.get(field, "styleSheet").strictEquals(sheet));
    EXPECT_FALSE(m.vm().toBoolean(m.get(field, "html")));

    // Markup given as text or htmlText shows its text and reads back as given.
    const char* markup = "ab<font face=\"x\"><span class=\"c\">a</span></font>";
    m.set(field, "text", str(markup));
    EXPECT_EQ(m.str(m.get(field, "text")), "aba");
    EXPECT_EQ(m.str(m.get(field, "htmlText")), markup);
    EXPECT_FALSE(m.vm().toBoolean(m.get(field, "html")));

    // Without the sheet, a field whose html flag is off keeps the text alone.
    m.set(field, "styleSheet", Value::null());
    EXPECT_EQ(m.str(m.get(field, "text")), "aba");
    EXPECT_EQ(m.str(m.get(field, "htmlText")), "aba");
    m.set(field, "htmlText", str("<b>x</b>"));
    EXPECT_EQ(m.str(m.get(field, "text")), "<b>x</b>");

    // Plain text under a sheet reads back as the markup it amounts to.
    m.set(field, "styleSheet", sheet);
    EXPECT_EQ(m.str(m.get(field, "text")), "<b>x</b>");
    const std::string html = m.str(m.get(field, "htmlText"));
    EXPECT_NE(html.find("&lt;b&gt;x&lt;/b&gt;"), std::string::npos) << html;
}

namespace {

// The format of the first `c` the field shows.
Value formatOf(Movie& m, const Value& field, char c) {
    const int index = static_cast<int>(m.num(m.call(m.get(field, "text"), "indexOf", {str(std::string(1, c).c_str())})));
    EXPECT_GE(index, 0) << c;
    return m.call(field, "getTextFormat", {Value(index), Value(index + 1)});
}

// Its color as "#rrggbb".
std::string colorOf(Movie& m, const Value& field, char c) {
    const double rgb = m.num(m.get(formatOf(m, field, c), "color"));
    return QStringLiteral("#%1").arg(static_cast<uint>(rgb), 6, 16, QLatin1Char('0')).toStdString();
}

// A sheet with the given selectors, each setting a color.
Value colorSheet(Movie& m, const std::vector<std::pair<const char*, const char*>>& colors) {
    const Value sheet = m.make("TextField.StyleSheet");
    for (const auto& [selector, color] : colors) {
        const Value style = m.object();
        m.set(style, "color", str(color));
        m.call(sheet, "setStyle", {str(selector), style});
    }
    return sheet;
}

}  // namespace

TEST(StyleSheet, ClassesAndElementStylesColorWhatTheFieldShows) {
    Movie m(8);
    const Value field = newField(m, "t", 1);
    Value sheet = colorSheet(m, {{".red", "#FF0000"}, {".green", "#00FF00"}, {"p", "#0000FF"}, {"span", "#00FFFF"}});
    const Value small = m.object();
    m.set(small, "fontSize", str("10"));
    m.call(sheet, "setStyle", {str(".small"), small});
    m.set(field, "styleSheet", sheet);
    const Value format = m.make("TextFormat");
    m.set(format, "size", Value(20));
    m.call(field, "setNewTextFormat", {format});

    // Text turned into markup stands on the format set for new text. A class names one style, whatever its case; a list of classes or blanks around it name none, and
    // a span's own element style is not used.
    m.set(field, "htmlText", str("<span class=\"RED\">a</span><span class=\"red green\">b</span>"
                                 "<span class=\" red\">c</span><span class=\"small\">d</span>x"));
    EXPECT_EQ(colorOf(m, field, 'a'), "#ff0000");
    EXPECT_EQ(colorOf(m, field, 'b'), "#000000");
    EXPECT_EQ(colorOf(m, field, 'c'), "#000000");
    EXPECT_EQ(m.num(m.get(formatOf(m, field, 'd'), "size")), 10);
    EXPECT_EQ(m.num(m.get(formatOf(m, field, 'x'), "size")), 20);
    EXPECT_EQ(colorOf(m, field, 'x'), "#000000");

    // Paragraphs take their element's style, a class over it; markup inside a styled tag wins.
    m.set(field, "htmlText", str("<p>a</p><p class=\"green\">b<font color=\"#ff00ff\">c</font></p>"
                                 "<font color=\"#ff00ff\"><span class=\"red\">d</span></font>"));
    EXPECT_EQ(colorOf(m, field, 'a'), "#0000ff");
    EXPECT_EQ(colorOf(m, field, 'b'), "#00ff00");
    EXPECT_EQ(colorOf(m, field, 'c'), "#ff00ff");
    EXPECT_EQ(colorOf(m, field, 'd'), "#ff0000");
    EXPECT_EQ(m.str(m.get(field, "htmlText")),
              "<p>a</p><p class=\"green\">b<font color=\"#ff00ff\">c</font></p>"
              "<font color=\"#ff00ff\"><span class=\"red\">d</span></font>");
}

TEST(StyleSheet, ASheetSetAgainRestylesAndTheLookOutlastsTheSheet) {
    Movie m(8);
    const Value field = newField(m, "t", 1);
    const Value sheet = colorSheet(m, {{".c", "#FF0000"}});
    m.set(field, "styleSheet", sheet);
    m.set(field, "htmlText", str("<span class=\"c\">a</span>"));
    EXPECT_EQ(colorOf(m, field, 'a'), "#ff0000");

    // A style changed in the sheet shows once the sheet is set again.
    const Value green = m.object();
    m.set(green, "color", str("#00FF00"));
    m.call(sheet, "setStyle", {str(".c"), green});
    EXPECT_EQ(colorOf(m, field, 'a'), "#ff0000");
    m.set(field, "styleSheet", sheet);
    EXPECT_EQ(colorOf(m, field, 'a'), "#00ff00");

    // Without the sheet the field reads as plain text but keeps showing the styled text.
    m.set(field, "styleSheet", Value::null());
    EXPECT_EQ(m.str(m.get(field, "htmlText")), "a");
    EXPECT_FALSE(m.vm().toBoolean(m.get(field, "html")));
    EXPECT_EQ(colorOf(m, field, 'a'), "#00ff00");
    // New text is plain again.
    m.set(field, "htmlText", str("<b>x</b>"));
    EXPECT_EQ(m.str(m.get(field, "text")), "<b>x</b>");
    EXPECT_EQ(colorOf(m, field, 'x'), "#000000");
}
