// Device text (fields without embedded outlines) as scripts measure it: one face for every font name,
// whole-pixel advances, letter spacing in whole pixels, line heights from the face's own metrics, and
// TextFormat.getTextExtent. The exact figures are those of Noto Sans, which scripts/setup.sh installs.
#include <gtest/gtest.h>

#include <string>

#include <QImage>

#include "player/render/qpainter_renderer.h"
#include "player/text/device_font.h"
#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;
using Movie = sw::ScriptMovie;

namespace {

Value str(const std::string& s) { return Value(QString::fromStdString(s)); }

// A markup field "t" on the root, wide enough for one line.
Value markupField(Movie& m) {
    m.call(m.root(), "createTextField", {str("t"), Value(1), Value(0), Value(0), Value(2000), Value(400)});
    const Value field = m.get(m.root(), "t");
    m.set(field, "html", Value(true));
    m.set(field, "multiline", Value(true));
    return field;
}

// textWidth and textHeight of `markup`, as "width height".
std::string measure(Movie& m, const std::string& markup) {
    const Value field = markupField(m);
    m.set(field, "htmlText", str(markup));
    return m.str(m.get(field, "textWidth")) + " " + m.str(m.get(field, "textHeight"));
}

std::string font(int size, const std::string& text, const std::string& attributes = "") {
    return "<FONT SIZE=\"" + std::to_string(size) + "\"" + attributes + ">" + text + "</FONT>";
}

std::string repeated(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

}  // namespace

TEST(DeviceText, TheFaceIsInstalled) {
    // Every figure below depends on it.
    EXPECT_EQ(vistrel::player::DeviceFont::instance().family().toStdString(), "Noto Sans");
}

TEST(DeviceText, EveryFontNameAndStyleMeasuresInTheSameFace) {
    Movie m(8);
    const std::string text = "The quick brown fox AVATAR";
    const std::string plain = measure(m, font(20, text));
    for (const char* face : {"_sans", "_serif", "_typewriter", "Arial", "Times New Roman", "Courier New", "No Such Face"})
        EXPECT_EQ(measure(m, "<FONT FACE=\"" + std::string(face) + "\" SIZE=\"20\">" + text + "</FONT>"), plain) << face;
    EXPECT_EQ(measure(m, font(20, "<B>" + text + "</B>")), plain);
    EXPECT_EQ(measure(m, font(20, "<I>" + text + "</I>")), plain);
    // Kerning pairs do not move device text.
    EXPECT_EQ(measure(m, font(20, text, " KERNING=\"1\"")), plain);
}

TEST(DeviceText, EachCharacterAdvancesAWholePixelAHalfGoingUp) {
    Movie m(8);
    EXPECT_EQ(measure(m, font(20, "The quick brown fox")), "189 27");
    EXPECT_EQ(measure(m, font(20, repeated("i", 10))), "50 27");      // 5.16 pixels each
    EXPECT_EQ(measure(m, font(20, repeated("W", 10))), "190 27");     // 18.6
    EXPECT_EQ(measure(m, font(50, repeated("W", 10))), "470 68");     // 46.5
    EXPECT_EQ(measure(m, font(10, repeated("B", 10))), "70 13");      // 6.5
    EXPECT_EQ(measure(m, font(15, repeated("(", 10))), "50 20");      // 4.5
}

TEST(DeviceText, LetterSpacingIsWholePixelsAndNeverMakesAnAdvanceZeroOrLess) {
    Movie m(8);
    const std::string w = repeated("W", 10);   // 19 pixels each at 20
    auto spaced = [&](const char* spacing, int size, const std::string& text) {
        return measure(m, font(size, text, std::string(" LETTERSPACING=\"") + spacing + "\""));
    };
    // Halves go to the even neighbour.
    EXPECT_EQ(spaced("0.5", 20, w), "190 27");
    EXPECT_EQ(spaced("1.5", 20, w), "210 27");
    EXPECT_EQ(spaced("2.5", 20, w), "210 27");
    EXPECT_EQ(spaced("0.75", 20, w), "200 27");
    EXPECT_EQ(spaced("-2.5", 20, w), "170 27");
    // At 2 pixels 'Q' advances 2 and 'T' 1: spacing that would leave no advance is not applied.
    EXPECT_EQ(spaced("-1", 2, "QQQ"), "3 2");
    EXPECT_EQ(spaced("-2", 2, "QQQ"), "6 2");
    EXPECT_EQ(spaced("-1", 2, "TT"), "2 2");
    EXPECT_EQ(spaced("1", 2, "TT"), "4 2");
}

TEST(DeviceText, LinesStandAsHighAsTheFacesAscentAndDescentInWholeTwips) {
    Movie m(8);
    // At 13 pixels the ascent is 277.9 twips and the descent 76.2: 277 + 76 = 353 twips a line.
    EXPECT_EQ(measure(m, font(13, "Line")), "25 17");
    EXPECT_EQ(measure(m, font(13, "Line<BR>Line<BR>Line")), "25 52");
    EXPECT_EQ(measure(m, "<TEXTFORMAT LEADING=\"5\">" + font(13, "Line<BR>Line<BR>Line") + "</TEXTFORMAT>"), "25 62");
    // A field that grows to its text is as high as its lines and its gutters.
    m.call(m.root(), "createTextField", {str("g"), Value(2), Value(0), Value(0), Value(10), Value(10)});
    const Value grown = m.get(m.root(), "g");
    m.set(grown, "autoSize", str("left"));
    const Value format = m.make("TextFormat", {str("_sans"), Value(8)});
    m.call(grown, "setNewTextFormat", {format});
    m.set(grown, "text", str("x"));
    EXPECT_DOUBLE_EQ(m.num(m.get(grown, "_height")), 14.85);   // 217 + 80 twips
    EXPECT_DOUBLE_EQ(m.num(m.get(grown, "_width")), 8);
}

TEST(DeviceText, TextExtentLaysTheTextOutInTheFormat) {
    Movie m(8);
    auto extent = [&](const Value& format, const std::string& text, std::initializer_list<Value> width = {}) {
        std::vector<Value> args{str(text)};
        args.insert(args.end(), width.begin(), width.end());
        const Value e = m.vm().callMethod(format, QStringLiteral("getTextExtent"), args);
        std::string out;
        for (const char* name : {"width", "height", "ascent", "descent", "textFieldWidth", "textFieldHeight"})
            out += (out.empty() ? "" : " ") + m.str(m.get(e, name));
        return out;
    };
    const Value twenty = m.make("TextFormat", {str("_sans"), Value(20)});
    // Ascent 427, descent 117 twips; the height leaves room for one more descent.
    EXPECT_EQ(extent(twenty, "ab"), "23 33.05 21.35 5.85 27 31.2");
    EXPECT_EQ(extent(twenty, "ab\rcd"), "23 60.25 21.35 5.85 27 58.4");
    // An empty last line counts in the height, not in the field's.
    EXPECT_EQ(extent(twenty, "ab\r"), "23 60.25 21.35 5.85 27 31.2");
    // A width wraps the text and is the field's width.
    EXPECT_EQ(extent(twenty, "ab cd", {Value(50)}), "28 60.25 21.35 5.85 50 58.4");
    // Without text, the default format's empty line stands.
    EXPECT_EQ(extent(twenty, ""), "0 19.8 12.8 3.5 4 4");
    // Leading counts after every line in the height.
    const Value spaced = m.make("TextFormat", {str("_sans"), Value(20)});
    m.set(spaced, "leading", Value(5));
    EXPECT_EQ(extent(spaced, "ab\rcd"), "23 70.25 21.35 5.85 27 63.4");
    // Without a size, 12 pixels.
    EXPECT_EQ(extent(m.make("TextFormat"), "The quick brown fox"), "111 19.8 12.8 3.5 115 20.3");
}

TEST(DeviceText, BlanksAfterAWordMayReachPastTheLineEnd) {
    Movie m(8);
    // "brown " is 65 pixels, "fox " 35 of which its blank 5: "brown fox" fits 96 pixels between the gutters
    // of a 100-pixel field, and the blank after it hangs past the end.
    auto wrapped = [&](int width, const std::string& text) {
        m.call(m.root(), "createTextField", {str("w"), Value(3), Value(0), Value(0), Value(width), Value(300)});
        const Value field = m.get(m.root(), "w");
        m.set(field, "multiline", Value(true));
        m.set(field, "wordWrap", Value(true));
        m.call(field, "setNewTextFormat", {m.make("TextFormat", {str("_sans"), Value(20)})});
        m.set(field, "text", str(text));
        return m.str(m.get(field, "textWidth")) + " " + m.str(m.get(field, "bottomScroll"));
    };
    EXPECT_EQ(wrapped(100, "brown fox jumps"), "100 2");
    EXPECT_EQ(wrapped(99, "brown fox jumps"), "100 2");
    EXPECT_EQ(wrapped(96, "brown fox jumps"), "65 3");
    EXPECT_EQ(wrapped(100, "brown fox  jumps"), "105 2");
}

TEST(DeviceText, AnEmptyLineAfterTheLastBreakIsNotInTheTextHeight) {
    Movie m(8);
    m.call(m.root(), "createTextField", {str("t"), Value(1), Value(0), Value(0), Value(300), Value(300)});
    const Value field = m.get(m.root(), "t");
    m.set(field, "multiline", Value(true));
    const Value format = m.make("TextFormat", {str("_sans"), Value(20)});
    m.set(format, "leading", Value(5));
    m.call(field, "setNewTextFormat", {format});
    auto measured = [&](const char* text) {
        m.set(field, "text", str(text));
        return m.str(m.get(field, "textHeight")) + " " + m.str(m.get(field, "bottomScroll"));
    };
    // 544 twips a line; a lone line keeps its leading.
    EXPECT_EQ(measured("ab"), "32 1");
    EXPECT_EQ(measured("ab\r"), "32 2");
    EXPECT_EQ(measured("\r"), "32 2");
    EXPECT_EQ(measured("ab\rcd"), "59 2");
    EXPECT_EQ(measured("ab\rcd\r"), "59 3");
    EXPECT_EQ(measured("ab\r\r"), "59 3");
}

TEST(DeviceText, BoldAndItalicAreDrawnInTheRegularFace) {
    Movie m(8);
    const Value field = markupField(m);
    auto drawn = [&](const std::string& markup) {
        m.set(field, "htmlText", str(markup));
        QImage image(300, 40, QImage::Format_ARGB32_Premultiplied);
        vp::QPainterRenderer renderer(image);
        m.player->render(renderer, QTransform::fromScale(0.05, 0.05), vp::RenderQuality::High, vistrel::swf::Rgba{255, 255, 255, 255});
        return image;
    };
    const QImage regular = drawn(font(20, "Hxg Wave"));
    int dark = 0;
    for (int y = 0; y < regular.height(); ++y)
        for (int x = 0; x < regular.width(); ++x) dark += qGray(regular.pixel(x, y)) < 128 ? 1 : 0;
    EXPECT_GT(dark, 100);
    EXPECT_EQ(drawn(font(20, "<B>Hxg Wave</B>")), regular);
    EXPECT_EQ(drawn(font(20, "<I>Hxg Wave</I>")), regular);
    EXPECT_NE(drawn(font(20, "Hxg Wove")), regular);
}
