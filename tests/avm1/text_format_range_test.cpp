// Formats of parts of a field's text: setTextFormat and getTextFormat over ranges and single characters,
// what replacing text keeps of them, and the markup such a field reads back.
#include <gtest/gtest.h>

#include <string>

#include "player/avm1/vm.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;
using Movie = sw::ScriptMovie;

namespace {

Value str(const char* s) { return Value(QString::fromUtf8(s)); }

Value newField(Movie& m, const char* name, int depth, const char* text) {
    m.call(m.root(), "createTextField", {str(name), Value(depth), Value(0), Value(0), Value(300), Value(40)});
    const Value field = m.get(m.root(), name);
    m.set(field, "text", str(text));
    return field;
}

// A markup field showing `markup`.
Value newMarkupField(Movie& m, const char* name, int depth, const char* markup) {
    const Value field = newField(m, name, depth, "");
    m.set(field, "html", Value(true));
    m.set(field, "htmlText", str(markup));
    return field;
}

// new TextFormat() with size 20, red and bold.
Value bigRed(Movie& m) {
    const Value f = m.make("TextFormat");
    m.set(f, "size", Value(20));
    m.set(f, "color", Value(0xff0000));
    m.set(f, "bold", Value(true));
    return f;
}

// "size/bold/color" of a format object, "null" for settings that differ across its range.
std::string brief(Movie& m, const Value& format) {
    return m.str(m.get(format, "size")) + "/" + m.str(m.get(format, "bold")) + "/" + m.str(m.get(format, "color"));
}

std::string at(Movie& m, const Value& field, std::initializer_list<Value> indexes) {
    return brief(m, m.call(field, "getTextFormat", indexes));
}

}  // namespace

TEST(TextFormatRange, FormatsOnlyTheCharactersNamed) {
    Movie m(8);
    const Value t = newField(m, "t", 1, "hello world foo");
    m.call(t, "setTextFormat", {Value(6), Value(11), bigRed(m)});
    EXPECT_EQ(m.str(m.get(t, "text")), "hello world foo");
    EXPECT_EQ(at(m, t, {Value(5)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(6)}), "20/true/16711680");
    EXPECT_EQ(at(m, t, {Value(10)}), "20/true/16711680");
    EXPECT_EQ(at(m, t, {Value(11)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(6), Value(11)}), "20/true/16711680");
    // Across formats, what differs reads null; what the characters share still reads.
    const Value mixed = m.call(t, "getTextFormat", {Value(4), Value(8)});
    EXPECT_EQ(brief(m, mixed), "null/null/null");
    EXPECT_EQ(m.str(m.get(mixed, "font")), "Times New Roman");
    EXPECT_EQ(at(m, t, {}), "null/null/null");
    // The format for new text stays as it was.
    EXPECT_EQ(brief(m, m.call(t, "getNewTextFormat")), "12/false/0");
    // One index formats one character.
    const Value italic = m.make("TextFormat");
    m.set(italic, "italic", Value(true));
    m.call(t, "setTextFormat", {Value(2), italic});
    EXPECT_EQ(m.str(m.get(m.call(t, "getTextFormat", {Value(2)}), "italic")), "true");
    EXPECT_EQ(m.str(m.get(m.call(t, "getTextFormat", {Value(3)}), "italic")), "false");
    EXPECT_EQ(m.str(m.get(m.call(t, "getTextFormat", {Value(1)}), "italic")), "false");
}

TEST(TextFormatRange, IndexesOutsideTheTextFallBackToItsEnds) {
    Movie m(8);
    const Value t = newField(m, "t", 1, "hello world foo");
    m.call(t, "setTextFormat", {Value(6), Value(11), bigRed(m)});
    EXPECT_EQ(at(m, t, {Value(-1), Value(3)}), "12/false/0");      // from the start
    EXPECT_EQ(at(m, t, {Value(3), Value(99)}), "null/null/null");  // to the end
    EXPECT_EQ(at(m, t, {Value(99)}), "null/null/null");            // a start past the text: all of it
    EXPECT_EQ(at(m, t, {Value(15)}), "null/null/null");
    EXPECT_EQ(at(m, t, {Value(-5)}), "null/null/null");
    EXPECT_EQ(at(m, t, {Value(14)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(10), Value(5)}), "20/true/16711680");   // an end before the start: one character
    EXPECT_EQ(at(m, t, {Value(6.7), Value(8.2)}), "20/true/16711680");
    EXPECT_EQ(at(m, t, {str("x")}), "12/false/0");
    // No characters at all: every setting null.
    const Value none = m.call(t, "getTextFormat", {Value(7), Value(7)});
    EXPECT_EQ(brief(m, none), "null/null/null");
    EXPECT_EQ(m.str(m.get(none, "font")), "null");
    // Setting takes the same ranges: an empty one changes nothing, a start before the text counts from 0.
    const Value big = m.make("TextFormat");
    m.set(big, "size", Value(30));
    m.call(t, "setTextFormat", {Value(3), Value(3), big});
    EXPECT_EQ(at(m, t, {Value(3)}), "12/false/0");
    m.call(t, "setTextFormat", {Value(-2), Value(2), big});
    EXPECT_EQ(at(m, t, {Value(1)}), "30/false/0");
    EXPECT_EQ(at(m, t, {Value(2)}), "12/false/0");
    m.call(t, "setTextFormat", {Value(100), big});
    EXPECT_EQ(at(m, t, {Value(14)}), "30/false/0");
    EXPECT_EQ(at(m, t, {Value(8)}), "30/true/16711680");
}

TEST(TextFormatRange, ReplacingTextKeepsTheFormatsAround) {
    Movie m(8);
    const Value t = newField(m, "t", 1, "hello world foo");
    m.call(t, "setTextFormat", {Value(6), Value(11), bigRed(m)});
    const Value green = m.make("TextFormat");
    m.set(green, "color", Value(0x00ff00));
    m.call(t, "setNewTextFormat", {green});
    // New text takes the format of the character after it...
    m.call(t, "replaceText", {Value(6), Value(8), str("AB")});
    EXPECT_EQ(m.str(m.get(t, "text")), "hello ABrld foo");
    EXPECT_EQ(at(m, t, {Value(5)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(6)}), "20/true/16711680");
    EXPECT_EQ(at(m, t, {Value(10)}), "20/true/16711680");
    m.call(t, "replaceText", {Value(0), Value(5), str("HEY")});
    EXPECT_EQ(m.str(m.get(t, "text")), "HEY ABrld foo");
    EXPECT_EQ(at(m, t, {Value(0)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(4)}), "20/true/16711680");
    // ...or at the end, the format set for new text.
    m.call(t, "replaceText", {Value(13), Value(13), str("END")});
    EXPECT_EQ(m.str(m.get(t, "text")), "HEY ABrld fooEND");
    EXPECT_EQ(at(m, t, {Value(14)}), "12/false/65280");
    EXPECT_EQ(at(m, t, {Value(12)}), "12/false/0");
    // Assigning the text starts it over in the format for new text.
    m.set(t, "text", str("fresh"));
    EXPECT_EQ(at(m, t, {}), "12/false/65280");
}

TEST(TextFormatRange, FormatsOfLinesCountTheirLineEnds) {
    Movie m(8);
    const Value t = newField(m, "t", 1, "");
    m.set(t, "multiline", Value(true));
    m.set(t, "text", str("line one\nline two\r\nthree"));
    EXPECT_EQ(m.str(m.get(t, "text")), "line one\rline two\rthree");
    m.call(t, "setTextFormat", {Value(5), Value(12), bigRed(m)});
    EXPECT_EQ(at(m, t, {Value(8)}), "20/true/16711680");   // the first line's end
    EXPECT_EQ(at(m, t, {Value(11)}), "20/true/16711680");
    EXPECT_EQ(at(m, t, {Value(12)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(18)}), "12/false/0");
    EXPECT_EQ(at(m, t, {Value(19)}), "12/false/0");
    // Turned into markup, the formats are kept run by run.
    m.set(t, "html", Value(true));
    EXPECT_EQ(m.str(m.get(t, "htmlText")),
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
              "KERNING=\"0\">line <FONT SIZE=\"20\" COLOR=\"#FF0000\"><B>one</B></FONT></FONT></P>"
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"20\" COLOR=\"#FF0000\" LETTERSPACING=\"0\" "
              "KERNING=\"0\"><B>lin</B><FONT SIZE=\"12\" COLOR=\"#000000\">e two</FONT></FONT></P>"
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
              "KERNING=\"0\">three</FONT></P>");
    EXPECT_EQ(m.str(m.get(t, "text")), "line one\rline two\rthree");
}

TEST(TextFormatRange, MarkupFieldsTakeFormatsOverTheirOwn) {
    Movie m(8);
    const Value h = newMarkupField(m, "h", 1, "<b>bold</b> and <font color='#0000ff'>blue</font> text");
    m.call(h, "setTextFormat", {Value(2), Value(7), bigRed(m)});
    EXPECT_EQ(m.str(m.get(h, "text")), "bold and blue text");
    EXPECT_EQ(m.str(m.get(h, "htmlText")),
              "<P ALIGN=\"LEFT\"><FONT FACE=\"Times New Roman\" SIZE=\"12\" COLOR=\"#000000\" LETTERSPACING=\"0\" "
              "KERNING=\"0\"><B>bo</B><FONT SIZE=\"20\" COLOR=\"#FF0000\"><B>ld an</B></FONT>d "
              "<FONT COLOR=\"#0000FF\">blue</FONT> text</FONT></P>");
    EXPECT_EQ(at(m, h, {Value(0)}), "12/true/0");
    EXPECT_EQ(at(m, h, {Value(10)}), "12/false/255");
    // The whole text's format reaches every character, over what the markup set.
    const Value green = m.make("TextFormat");
    m.set(green, "color", Value(0x00ff00));
    m.call(h, "setTextFormat", {green});
    EXPECT_EQ(at(m, h, {Value(10)}), "12/false/65280");
    EXPECT_EQ(at(m, h, {Value(3)}), "20/true/65280");
    // A blank formatted apart from the words around it stays, in movies before version 8 too (where
    // markup drops text of blanks alone between tags).
    Movie old(7);
    const Value w = newMarkupField(old, "w", 1, "<b>ab cd</b>");
    old.call(w, "setTextFormat", {Value(2), Value(3), bigRed(old)});
    EXPECT_EQ(old.str(old.get(w, "text")), "ab cd");
    EXPECT_EQ(at(old, w, {Value(2)}), "20/true/16711680");
    EXPECT_EQ(at(old, w, {Value(3)}), "12/true/0");
    // Link addresses and fonts are written back as given, quotes and references included.
    const Value link = newMarkupField(m, "link", 2, "<a href=\"x?a=1&amp;b='2'\">go</a> on");
    m.call(link, "setTextFormat", {Value(3), Value(5), bigRed(m)});
    EXPECT_EQ(m.str(m.get(m.call(link, "getTextFormat", {Value(0)}), "url")), "x?a=1&amp;b='2'");
    EXPECT_EQ(m.str(m.get(m.call(link, "getTextFormat", {Value(4)}), "size")), "20");
}
