#include <gtest/gtest.h>

#include <QStringList>

#include "player/text/html_text.h"

namespace vistrel::player {
namespace {

TextFormat defaults()
{
    TextFormat f;
    f.font = QStringLiteral("Arial");
    f.size = 12;
    f.color = 0xff000000;
    return f;
}

std::vector<TextParagraph> parse(const QString& html, TextAlign align = TextAlign::Left)
{
    return parseHtmlText(html, defaults(), align);
}

// The paragraphs' texts joined with "|", for compact structure checks.
QString outline(const std::vector<TextParagraph>& paragraphs)
{
    QStringList parts;
    for (const auto& p : paragraphs) {
        QString text;
        for (const auto& run : p.runs)
            text += run.text;
        parts << text;
    }
    return parts.join(u'|');
}

struct OutlineCase {
    const char* name;
    const char* html;
    const char* expected;
};

class HtmlOutline : public ::testing::TestWithParam<OutlineCase> {};

TEST_P(HtmlOutline, SplitsParagraphsAndDecodesText)
{
    EXPECT_EQ(outline(parse(QString::fromUtf8(GetParam().html))), QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HtmlOutline,
    ::testing::Values(
        OutlineCase{"Empty", "", ""},
        OutlineCase{"PlainText", "hello world", "hello world"},
        OutlineCase{"TwoParagraphs", "<p>one</p><p>two</p>", "one|two|"},
        OutlineCase{"EmptyParagraph", "<p>one</p><p></p><p>three</p>", "one||three|"},
        OutlineCase{"BreakTag", "a<br>b<br/>c<BR />d", "a|b|c|d"},
        OutlineCase{"TrailingBreakMakesEmptyLine", "a<br>", "a|"},
        OutlineCase{"CarriageReturnAndNewline", "a\rb\nc\r\nd", "a|b|c||d"},
        OutlineCase{"TextAfterClosedParagraph", "<p>a</p>b", "a|b"},
        OutlineCase{"BlankTextBetweenTagsDropped", " <p> a </p> \n <p>\n</p>", " a ||"},
        OutlineCase{"ParagraphsDoNotNest", "<p>a<p>b</p>c</p>d", "ab|cd"},
        OutlineCase{"Entities", "&lt;b&gt; &amp; &quot;q&quot; &apos;s&apos;&nbsp;x", "<b> & \"q\" 's'\u00a0x"},
        OutlineCase{"NumericEntities", "&#65;&#x42;&#X43;&#128512;", "ABC\U0001F600"},
        OutlineCase{"BadEntitiesStayLiteral", "&bogus; &#0; &#xZZ; &#1114112; & x &", "&bogus; &#0; &#xZZ; &#1114112; & x &"},
        OutlineCase{"LooseAngleBrackets", "a < b > c <", "a < b > c <"},
        OutlineCase{"UnknownTagsDropped", "<img src='x.png'>a<foo bar=1>b</foo></nothing>c", "abc"},
        OutlineCase{"Comment", "a<!-- <p>hidden</p> -->b<!-- open", "ab"},
        OutlineCase{"BulletItems", "<li>one</li>x<li>two</li>", "one|x|two|"},
        OutlineCase{"UnclosedTagAtEnd", "a<b", "a<b"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HtmlText, NestedFormattingMakesRuns)
{
    const auto paragraphs = parse(QStringLiteral(
        "<font face=\"Verdana\" size=\"20\" color=\"#FF0000\">a<b>b<i>c</i></b><u>d</u></font>e"));
    ASSERT_EQ(paragraphs.size(), 1u);
    const auto& runs = paragraphs[0].runs;
    ASSERT_EQ(runs.size(), 5u);
    EXPECT_EQ(runs[0].text, u"a");
    EXPECT_EQ(runs[0].format.font, u"Verdana");
    EXPECT_EQ(runs[0].format.size, 20);
    EXPECT_EQ(runs[0].format.color, 0xffff0000);
    EXPECT_TRUE(runs[1].format.bold);
    EXPECT_FALSE(runs[1].format.italic);
    EXPECT_TRUE(runs[2].format.bold);
    EXPECT_TRUE(runs[2].format.italic);
    EXPECT_EQ(runs[2].format.font, u"Verdana");
    EXPECT_TRUE(runs[3].format.underline);
    EXPECT_FALSE(runs[3].format.bold);
    EXPECT_EQ(runs[4].text, u"e");
    EXPECT_EQ(runs[4].format.font, u"Arial");
    EXPECT_EQ(runs[4].format.size, 12);
}

TEST(HtmlText, AdjacentTextWithTheSameFormatIsOneRun)
{
    const auto paragraphs = parse(QStringLiteral("ab<span class='x'>cd</span><b></b>ef"));
    ASSERT_EQ(paragraphs.size(), 1u);
    ASSERT_EQ(paragraphs[0].runs.size(), 1u);
    EXPECT_EQ(paragraphs[0].runs[0].text, u"abcdef");
}

TEST(HtmlText, RelativeFontSizesAndLetterSpacing)
{
    const auto paragraphs =
        parse(QStringLiteral("<font size='+4'>a<font size='-6' letterSpacing='1.5'>b</font></font><font size='bad'>c</font>"));
    const auto& runs = paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].format.size, 16);
    EXPECT_EQ(runs[1].format.size, 10);
    EXPECT_EQ(runs[1].format.letterSpacing, 1.5);
    EXPECT_EQ(runs[2].format.size, 12);
}

TEST(HtmlText, LinksCarryTheirAddress)
{
    const auto paragraphs = parse(QStringLiteral("<a href=\"http://example.com/?a=1&amp;b=2\" target=\"_blank\">go</a> on"));
    const auto& runs = paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 2u);
    // Attribute values are kept as written: references in them are not decoded.
    EXPECT_EQ(runs[0].format.url, u"http://example.com/?a=1&amp;b=2");
    EXPECT_EQ(runs[0].format.target, u"_blank");
    EXPECT_TRUE(runs[1].format.url.isEmpty());
}

TEST(HtmlText, MismatchedClosingTagsAreTolerated)
{
    // A closing tag that does not name the innermost open tag is ignored.
    const auto paragraphs = parse(QStringLiteral("<b><i>x</b>y</i>z</b>w</u>"));
    const auto& runs = paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].text, u"xy");
    EXPECT_TRUE(runs[0].format.bold && runs[0].format.italic);
    EXPECT_EQ(runs[1].text, u"z");
    EXPECT_TRUE(runs[1].format.bold && !runs[1].format.italic);
    EXPECT_EQ(runs[2].text, u"w");
    EXPECT_FALSE(runs[2].format.bold || runs[2].format.italic);
}

TEST(HtmlText, BulletItemsAndLineEndsOnlyInMultilineText)
{
    const auto items = parse(QStringLiteral("<li>one</li>two"));
    ASSERT_EQ(items.size(), 2u);
    EXPECT_TRUE(items[0].bullet);
    EXPECT_TRUE(items[0].ended);
    EXPECT_FALSE(items[1].bullet);
    EXPECT_EQ(outline(parseHtmlText(QStringLiteral("<p>a</p><p>b<br>c</p>d\ne"), defaults(), TextAlign::Left, false)),
              u"abcd|e");
}

TEST(HtmlText, FontSizeAndColourAttributes)
{
    // Sizes are whole numbers from 1 to 127, relative with a sign; colours keep the last six hex digits.
    const auto runs = parse(QStringLiteral("<font size='20.7px' color='#  abc'>a<font size='+200' "
                                           "color='#123456789z'>b<font size='-300' color='#xyz'>c</font></font></font>"))
                          .at(0)
                          .runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].format.size, 20);
    EXPECT_EQ(runs[0].format.color & 0xffffffu, 0xabcu);
    EXPECT_EQ(runs[1].format.size, 127);
    EXPECT_EQ(runs[1].format.color & 0xffffffu, 0x456789u);
    EXPECT_EQ(runs[2].format.size, 1);
    EXPECT_EQ(runs[2].format.color & 0xffffffu, 0x456789u);
}

TEST(HtmlText, ParagraphAlignmentAndDefault)
{
    const auto paragraphs = parse(QStringLiteral("<p align='center'>a<br>b</p><p align=RIGHT>c</p><p>d</p>x\ny"),
                                  TextAlign::Justify);
    ASSERT_EQ(paragraphs.size(), 6u);
    EXPECT_EQ(paragraphs[0].align, TextAlign::Center);
    EXPECT_EQ(paragraphs[1].align, TextAlign::Center); // a break keeps the paragraph's alignment
    EXPECT_EQ(paragraphs[2].align, TextAlign::Right);
    EXPECT_EQ(paragraphs[3].align, TextAlign::Justify);
    EXPECT_EQ(paragraphs[5].align, TextAlign::Justify);
}

TEST(HtmlText, TextFormatSetsParagraphLayout)
{
    const auto paragraphs = parse(QStringLiteral(
        "<textformat leftmargin='10' rightmargin='5' indent='-3' leading='2'><p>a</p><p>b</p></textformat><p>c</p>"));
    ASSERT_EQ(paragraphs.size(), 4u);   // the last, after the final paragraph end, is empty
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(paragraphs[i].leftMargin, 10);
        EXPECT_EQ(paragraphs[i].rightMargin, 5);
        EXPECT_EQ(paragraphs[i].indent, -3);
        EXPECT_EQ(paragraphs[i].leading, 2);
    }
    EXPECT_EQ(paragraphs[2].leftMargin, 0);
    EXPECT_EQ(paragraphs[2].leading, 0);
}

TEST(HtmlText, ColourKeepsDefaultAlphaAndIgnoresBadValues)
{
    TextFormat base = defaults();
    base.color = 0x80112233;
    const auto paragraphs =
        parseHtmlText(QStringLiteral("<font color='#00ff00'>a</font><font color='green'>b</font>"), base, TextAlign::Left);
    const auto& runs = paragraphs.at(0).runs;
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0].format.color, 0x8000ff00u);
    EXPECT_EQ(runs[1].format.color, 0x80112233u);
}

TEST(HtmlText, MalformedInputTerminates)
{
    // Deep nesting, unterminated attributes and tag soup: must finish and keep the text.
    QString soup;
    for (int i = 0; i < 2000; ++i)
        soup += QStringLiteral("<b><font size='+1'><p align=\"left>&#;<<");
    soup += QStringLiteral("end");
    const auto paragraphs = parse(soup);
    ASSERT_FALSE(paragraphs.empty());
    EXPECT_TRUE(outline(paragraphs).endsWith(u"end"));

    QString brackets(100000, u'<');
    EXPECT_EQ(outline(parse(brackets)).size(), brackets.size());
}

} // namespace
} // namespace vistrel::player
