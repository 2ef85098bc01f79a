// Static text with embedded glyphs, edit text with embedded and device fonts.
#include <gtest/gtest.h>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

QImage render(std::vector<sw::Bytes> tags) {
    sw::MovieSpec spec;
    spec.widthTwips = 4000;
    spec.heightTwips = 2000;
    spec.version = 10;
    tags.insert(tags.begin(), sw::setBackgroundColor(0xffffff));
    auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
    vp::Player player(movie);
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(200, 100), vp::ScaleMode::ShowAll, 1), vp::RenderQuality::High);
    return image;
}

// A font whose one glyph 'A' is a full-height box, half an em wide.
sw::Bytes boxFont(std::uint16_t id) {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -20480, 10240, 20480);
    return sw::defineFont3(id, "Box", {{glyph, 'A', 20480}});
}

// Count of pixels darker than mid grey inside a rectangle.
int darkPixels(const QImage& img, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return n;
}

sw::Bytes editText(std::uint16_t id, std::uint16_t fontId, bool outlines, std::uint8_t align, const std::string& text, bool html = false) {
    sw::ByteWriter w;
    w.u16(id).rect(0, 4000, 0, 2000);
    w.u8(0x80 | 0x20 | 0x04 | 0x01).u8(static_cast<std::uint8_t>(0x20 | (html ? 0x02 : 0) | (outlines ? 0x01 : 0)));
    w.u16(fontId).u16(400).rgba(0x000000ff);
    w.u8(align).u16(0).u16(0).u16(0).s16(0);
    w.string("").string(text);
    return sw::tag(37, w.data());
}

}  // namespace

TEST(StaticText, GlyphsAreDrawnAtTheirPositionsAndHeight) {
    // 'A' boxes at x = 20 twips and 1020 twips, baseline y = 1000, height 400 twips (20 px).
    const QImage img = render({boxFont(1), sw::defineText(2, 2, 0, 4000, 0, 2000, 1, 0x000000ff, 400, 20, 1000, {{0, 1000}, {0, 1000}}),
                               sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()});
    EXPECT_LT(qGray(img.pixel(3, 45)), 64);     // inside the first box
    EXPECT_LT(qGray(img.pixel(53, 45)), 64);    // inside the second
    EXPECT_GT(qGray(img.pixel(30, 45)), 192);   // the gap between them
    EXPECT_GT(qGray(img.pixel(3, 60)), 192);    // below the baseline
}

TEST(EditText, EmbeddedFontFollowsAlignment) {
    const QImage left = render({boxFont(1), editText(2, 1, true, 0, "A"), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()});
    const QImage right = render({boxFont(1), editText(2, 1, true, 1, "A"), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()});
    EXPECT_GT(darkPixels(left, QRect(0, 0, 30, 40)), 20);
    EXPECT_EQ(darkPixels(left, QRect(170, 0, 30, 40)), 0);
    EXPECT_GT(darkPixels(right, QRect(170, 0, 30, 40)), 20);
    EXPECT_EQ(darkPixels(right, QRect(0, 0, 30, 40)), 0);
}

TEST(EditText, DeviceFontTextAndHtmlLineBreaks) {
    const QImage one = render({editText(2, 1, false, 0, "Hello"), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()});
    EXPECT_GT(darkPixels(one, QRect(0, 0, 100, 30)), 10);
    EXPECT_EQ(darkPixels(one, QRect(0, 40, 200, 60)), 0);
    const QImage two = render({editText(2, 1, false, 0, "Hello<br>World", true), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()});
    EXPECT_GT(darkPixels(two, QRect(0, 25, 100, 25)), 10);   // the second line
}

namespace {

// A 100 x 30 pixel field at the top left holding three lines of one 20-pixel box each; only the
// first line fits inside the bounds.
sw::Bytes threeLineField(bool autoSize) {
    sw::ByteWriter w;
    w.u16(2).rect(0, 2000, 0, 600);
    w.u8(0x80 | 0x20 | 0x04 | 0x01).u8(static_cast<std::uint8_t>((autoSize ? 0x40 : 0) | 0x20 | 0x01));
    w.u16(1).u16(400).rgba(0x000000ff);
    w.u8(0).u16(0).u16(0).u16(0).s16(0);
    w.string("").string("A\rA\rA");
    return sw::tag(37, w.data());
}

}  // namespace

TEST(EditText, AutoSizedFieldShowsTheLinesPastItsBoundsAndAFixedOneCutsThem) {
    const QRect firstLine(0, 0, 20, 19), secondLineBelowTheBounds(0, 31, 20, 9), thirdLine(0, 44, 20, 18);
    const QImage fixed = render({boxFont(1), threeLineField(false), sw::placeObject2({.depth = 1, .characterId = 2}),
                                 sw::showFrame()});
    EXPECT_GT(darkPixels(fixed, firstLine), 100);
    EXPECT_EQ(darkPixels(fixed, secondLineBelowTheBounds), 0);
    EXPECT_EQ(darkPixels(fixed, thirdLine), 0);

    const QImage grown = render({boxFont(1), threeLineField(true), sw::placeObject2({.depth = 1, .characterId = 2}),
                                 sw::showFrame()});
    EXPECT_GT(darkPixels(grown, firstLine), 100);
    EXPECT_GT(darkPixels(grown, secondLineBelowTheBounds), 50);
    EXPECT_GT(darkPixels(grown, thirdLine), 100);
}

TEST(EditText, UnderlinedRunsHaveALineBelowTheirBaseline) {
    // 20-pixel boxes, 20 pixels apart, on a baseline 20 pixels down: the line lies three pixels below it,
    // under the underlined boxes only (from the first box's left to the second's advance).
    const QImage underlined = render({boxFont(1), editText(2, 1, true, 0, "<u>AA</u>A", true),
                                      sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()});
    EXPECT_GT(darkPixels(underlined, QRect(3, 22, 36, 3)), 30);
    EXPECT_EQ(darkPixels(underlined, QRect(3, 26, 36, 5)), 0);
    EXPECT_EQ(darkPixels(underlined, QRect(44, 21, 7, 5)), 0);
    const QImage plain = render({boxFont(1), editText(2, 1, true, 0, "AAA", true), sw::placeObject2({.depth = 1, .characterId = 2}),
                                 sw::showFrame()});
    EXPECT_EQ(darkPixels(plain, QRect(3, 21, 18, 5)), 0);
}

TEST(EditText, APartFormattedByScriptIsDrawnInItsOwnFormat) {
    // t.setTextFormat(1, 2, {size: 40}) on a plain field of three boxes, each half its size wide and advancing
    // its whole size: the middle one grows to 20 x 40 pixels and the line's baseline drops to fit it, the
    // others keep their size.
    sw::ActionWriter a;
    a.push(sw::Push::str("fmt")).push({sw::Push::str("size"), sw::Push::integer(40), sw::Push::integer(1)});
    a.op(sw::op::kInitObject).op(sw::op::kSetVariable);
    a.push(sw::Push::str("fmt")).op(sw::op::kGetVariable);
    a.push({sw::Push::integer(2), sw::Push::integer(1), sw::Push::integer(3)});
    a.push(sw::Push::str("t")).op(sw::op::kGetVariable).push(sw::Push::str("setTextFormat"));
    a.op(sw::op::kCallMethod).op(sw::op::kPop);
    const QImage img = render({boxFont(1), editText(2, 1, true, 0, "AAA"),
                               sw::placeObject2({.depth = 1, .characterId = 2, .name = "t"}), sw::doAction(a.end()),
                               sw::showFrame()});
    EXPECT_GT(darkPixels(img, QRect(24, 5, 16, 10)), 120);   // the big box (22 to 42), above the small ones
    EXPECT_EQ(darkPixels(img, QRect(2, 5, 9, 10)), 0);
    EXPECT_EQ(darkPixels(img, QRect(63, 5, 8, 10)), 0);
    EXPECT_EQ(darkPixels(img, QRect(13, 5, 8, 35)), 0);      // the first box's advance
    EXPECT_GT(darkPixels(img, QRect(3, 20, 7, 15)), 80);     // the small boxes, down on the same baseline
    EXPECT_GT(darkPixels(img, QRect(63, 20, 7, 15)), 80);
}
