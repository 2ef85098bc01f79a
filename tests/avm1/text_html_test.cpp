// The markup model of TextField: how htmlText is read into paragraphs and runs, and the fixed form in
// which the field writes its markup back.
#include <gtest/gtest.h>

#include "player/movie.h"
#include "player/player.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::ActionWriter;
using sw::Push;
namespace op = sw::op;

namespace {

void setMember(ActionWriter& a, const std::string& object, const std::string& property, const Push& value) {
    a.push(Push::str(object)).op(op::kGetVariable).push({Push::str(property), value}).op(op::kSetMember);
}
void traceNumber(ActionWriter& a, const std::string& object, const std::string& property) {
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(property)).op(op::kGetMember).op(op::kTrace);
}

// Traces the text object.property with its carriage returns written as "<CR>" (trace itself turns them into
// line feeds, which would hide the difference); run() turns them back.
void traceMember(ActionWriter& a, const std::string& object, const std::string& property) {
    a.push({Push::str("\r"), Push::integer(1)});
    a.push(Push::str(object)).op(op::kGetVariable).push(Push::str(property)).op(op::kGetMember);
    a.push(Push::str("split")).op(op::kCallMethod).storeRegister(0).op(op::kPop);
    a.push({Push::str("<CR>"), Push::integer(1), Push::reg(0), Push::str("join")}).op(op::kCallMethod).op(op::kTrace);
}

// A script-made field "t" (device font, 12 px, black) with the given settings.
void makeField(ActionWriter& a, bool multiline) {
    a.push({Push::integer(100), Push::integer(300), Push::integer(0), Push::integer(0), Push::integer(1),
            Push::str("t"), Push::integer(6)});
    a.push(Push::str("_root")).op(op::kGetVariable).push(Push::str("createTextField")).op(op::kCallMethod).op(op::kPop);
    setMember(a, "t", "html", Push::boolean(true));
    setMember(a, "t", "multiline", Push::boolean(multiline));
}

std::vector<std::string> run(const ActionWriter& script, int version = 8) {
    sw::MovieSpec spec;
    spec.version = version;
    spec.widthTwips = 4000;
    spec.heightTwips = 2000;
    spec.frameCount = 1;
    ActionWriter copy = script;
    auto movie = vp::Movie::fromBytes(
        sw::movie(spec, {sw::setBackgroundColor(0xffffff), sw::doAction(copy.end()), sw::showFrame()}));
    std::vector<std::string> lines;
    vp::Player player(movie, [&](const QString& line) {
        lines.push_back(QString(line).replace(QStringLiteral("<CR>"), QStringLiteral("\r")).toStdString());
    });
    return lines;
}

// The field's text and markup after its htmlText is set to `html`.
std::pair<std::string, std::string> readBack(const std::string& html, bool multiline, int version = 7) {
    ActionWriter a;
    makeField(a, multiline);
    setMember(a, "t", "htmlText", Push::str(html));
    traceMember(a, "t", "text");
    traceMember(a, "t", "htmlText");
    const auto lines = run(a, version);
    if (lines.size() != 2) return {"<no output>", ""};
    return {lines[0], lines[1]};
}

std::string textOf(const std::string& html, bool multiline) { return readBack(html, multiline).first; }
std::string markupOf(const std::string& html, bool multiline) { return readBack(html, multiline).second; }

const std::string kFont = R"(<FONT FACE="Times New Roman" SIZE="12" COLOR="#000000" LETTERSPACING="0" KERNING="0">)";
std::string para(const std::string& inner, const std::string& align = "LEFT") {
    return "<P ALIGN=\"" + align + "\">" + kFont + inner + "</FONT></P>";
}

}  // namespace

TEST(TextFieldHtml, TextOfBlanksAloneBetweenTagsCountsForNothing) {
    EXPECT_EQ(textOf("  \n", true), "");
    EXPECT_EQ(textOf(" <b> </b> ", true), "");
    EXPECT_EQ(textOf(" <b>x</b> <b>y</b> ", true), "xy");
    // Blanks next to other characters stay, and so do blanks written as references.
    EXPECT_EQ(textOf(" x y ", false), " x y ");
    EXPECT_EQ(textOf("&#32;", false), " ");
    EXPECT_EQ(markupOf("", true), "");
    // From version 8 on such text stays.
    EXPECT_EQ(readBack("x<b> </b>y", true, 8).first, "x y");
}

TEST(TextFieldHtml, ParagraphTagsBreakLinesOnlyInMultilineFields) {
    EXPECT_EQ(textOf("<p>a</p><p>b</p>", false), "ab");
    EXPECT_EQ(textOf("<p>a</p><p>b</p>", true), "a\rb\r");
    EXPECT_EQ(textOf("a<br>b", false), "ab");
    EXPECT_EQ(textOf("a<br>b", true), "a\rb");
    // An item after text starts a new line; a paragraph tag inside a line does not.
    EXPECT_EQ(textOf("a<li>b</li>", true), "a\rb\r");
    EXPECT_EQ(textOf("a<p>b</p>c", true), "ab\rc");
    // Line ends in the text itself always break.
    EXPECT_EQ(textOf("a\nb", false), "a\rb");
}

TEST(TextFieldHtml, ParagraphTakesTheLayoutAtItsFirstCharacter) {
    EXPECT_EQ(markupOf("<p align=\"right\">a</p><p align=\"center\">b</p>", false), para("ab", "RIGHT"));
    EXPECT_EQ(markupOf("<p align=\"right\">a</p><p align=\"center\">b</p>", true),
              para("a", "RIGHT") + para("b", "CENTER"));
    EXPECT_EQ(markupOf("a<textformat leftmargin=\"3\">b</textformat>", true), para("ab"));
    EXPECT_EQ(markupOf("<textformat leftmargin=\"3\" leading=\"2\">a</textformat>", true),
              "<TEXTFORMAT LEFTMARGIN=\"3\" LEADING=\"2\">" + para("a") + "</TEXTFORMAT>");
}

TEST(TextFieldHtml, MarkupWritesOneParagraphPerLineEnd) {
    // The empty paragraph after a final line end is left out; other empty ones keep their format.
    EXPECT_EQ(markupOf("a\n", true), para("a"));
    EXPECT_EQ(markupOf("\na", true), para("") + para("a"));
    EXPECT_EQ(markupOf("<b>\na</b>", true), para("<B></B>") + para("<B>a</B>"));
    EXPECT_EQ(markupOf("<li>a</li>", true), "<LI>" + kFont + "a</FONT></LI>");
}

TEST(TextFieldHtml, ParagraphEndClosesTheOpenParagraphWhateverIsOpenInsideIt) {
    const std::string item = "<LI>" + kFont + "a</FONT></LI>", emptyItem = "<LI>" + kFont + "</FONT></LI>";
    // The paragraph's end ends the line inside the item; the item's own end then ends an empty one,
    // still an item; the outer end tag finds no paragraph open any more.
    EXPECT_EQ(markupOf("<p><li><p>a</p></li></p>", true), item + emptyItem);
    EXPECT_EQ(markupOf("<li><p>a</p></li>", true), item + emptyItem);
    // Items inside stay open until their own ends.
    EXPECT_EQ(markupOf("<p><li><li><p>a</p></li></li></p>", true), item + emptyItem + emptyItem);
    // An item ended inside a paragraph leaves the paragraph's line after it.
    EXPECT_EQ(markupOf("<p><li>a</li></p>", true), item + para(""));
    // A paragraph opened inside another counts for nothing; the first end tag ends the outer one.
    EXPECT_EQ(textOf("<p>a<p>b</p>c<p>d</p>e</p>", true), "ab\rcd\re");
}

TEST(TextFieldHtml, FontsNestAndCloseBackToAMatchingOuterFont) {
    // A run whose font differs opens a font inside naming only what differs ...
    EXPECT_EQ(markupOf("a<font color=\"#aaaaaa\">b</font>", true),
              para("a<FONT COLOR=\"#AAAAAA\">b</FONT>"));
    // ... and nests further while no open font matches ...
    EXPECT_EQ(markupOf("a<font color=\"#aaaaaa\">b</font><font size=\"16\">c</font>", true),
              para("a<FONT COLOR=\"#AAAAAA\">b<FONT SIZE=\"16\" COLOR=\"#000000\">c</FONT></FONT>"));
    // ... while one that matches an open font closes the fonts inside it.
    EXPECT_EQ(markupOf("a<font color=\"#aaaaaa\">b<font size=\"16\">c</font></font>d", true),
              para("a<FONT COLOR=\"#AAAAAA\">b<FONT SIZE=\"16\">c</FONT></FONT>d"));
    // Styles and links wrap each run inside its fonts.
    EXPECT_EQ(markupOf("<a href=\"u\" target=\"w\"><b><i>x</i></b></a>", true),
              para("<A HREF=\"u\" TARGET=\"w\"><B><I>x</I></B></A>"));
}

TEST(TextFieldHtml, PlainTextOfBlanksSetOnAnHtmlFieldStays) {
    ActionWriter a;
    makeField(a, true);
    setMember(a, "t", "text", Push::str(" "));
    traceNumber(a, "t", "length");
    EXPECT_EQ(run(a), std::vector<std::string>{"1"});
}

TEST(TextFieldHtml, GetTextFormatOverARangeIsNullWhereCharactersDiffer) {
    ActionWriter a;
    makeField(a, true);
    setMember(a, "t", "htmlText", Push::str("a<font color=\"#  1234567\" size=\"20.5\"><b>bc</b></font>d"));
    // t.getTextFormat(b, e).property traced for a few ranges.
    const auto traceFormat = [&](std::vector<Push> range, const char* property) {
        for (auto it = range.rbegin(); it != range.rend(); ++it) a.push(*it);
        a.push(Push::integer(static_cast<std::int32_t>(range.size())));
        a.push(Push::str("t")).op(op::kGetVariable).push(Push::str("getTextFormat")).op(op::kCallMethod);
        a.push(Push::str(property)).op(op::kGetMember).op(op::kTrace);
    };
    traceFormat({Push::integer(1), Push::integer(3)}, "color");
    traceFormat({Push::integer(1), Push::integer(3)}, "size");
    traceFormat({Push::integer(1), Push::integer(3)}, "bold");
    traceFormat({Push::integer(0), Push::integer(3)}, "color");
    traceFormat({Push::integer(0), Push::integer(3)}, "bold");
    traceFormat({Push::integer(3)}, "bold");
    traceFormat({}, "font");
    traceFormat({}, "size");
    const std::vector<std::string> expected{"2311527", "20",    "true", "null", "null",
                                            "false",   "Times New Roman", "null"};
    EXPECT_EQ(run(a), expected);
}

TEST(TextFieldHtml, TextWrittenBackEscapesQuotesAndApostrophes) {
    // Whether the characters came as references or as they are, the markup gives them as references.
    EXPECT_EQ(markupOf("a&apos;b&quot;c &lt;&amp;&gt;", false), para("a&apos;b&quot;c &lt;&amp;&gt;"));
    EXPECT_EQ(markupOf("it's \"x\"", false), para("it&apos;s &quot;x&quot;"));
    EXPECT_EQ(textOf("it&apos;s", false), "it's");
    // Plain text set on a markup field is written back the same way.
    ActionWriter a;
    makeField(a, false);
    setMember(a, "t", "text", Push::str("don't"));
    traceMember(a, "t", "htmlText");
    EXPECT_EQ(run(a), std::vector<std::string>{para("don&apos;t")});
}
