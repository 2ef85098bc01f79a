// Gradient fills and colour-transformed pictures drawn frame after frame: whatever the drawer keeps
// between frames (gradient pixels of fills that stand still, one row or column of fills that repeat
// down or across, transformed pictures of fades), each frame equals the same frame drawn whole by a
// fresh renderer, in one band or two; and a gradient that repeats down the device still runs from its
// first colour to its last across it.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QImage>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/frame_compare.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::fullDraw;
using sw::viewOf;

namespace {

constexpr int kFrames = 12;
constexpr std::uint16_t kBitmap = 1;

sw::MatrixSpec gradientMatrix(double sx, double sy, double turn, std::int32_t x, std::int32_t y) {
    sw::MatrixSpec m = sw::MatrixSpec::translate(x, y);
    m.scaleX = sx;
    m.scaleY = sy;
    if (turn != 0) m.rotateSkew0 = turn, m.rotateSkew1 = -turn;
    return m;
}

// A w x h rectangle filled with a gradient of `type` (0x10 linear, 0x12 radial, 0x13 focal).
sw::Bytes gradientRect(std::uint16_t id, std::uint8_t type, std::uint8_t spread, const sw::MatrixSpec& m, std::int32_t w,
                       std::int32_t h) {
    sw::FillSpec fill;
    fill.type = type;
    fill.matrix = m;
    fill.spread = spread;
    fill.focalPoint = type == 0x13 ? 0.6 : 0;
    fill.stops = {{0, 0xff2010ff}, {90, 0x30e040ff}, {255, 0x1030d0ff}};
    sw::ShapeBuilder shape;
    shape.fill(fill).style(std::nullopt, 1, std::nullopt).rect(0, 0, w, h);
    return shape.build(3, id, 0, w, 0, h);
}

// A 16 x 12 picture of varied colours, some pixels translucent.
sw::Bytes picture() {
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t alpha = (x + y) % 4 == 0 ? 0x90 : 0xff;
            argb.push_back(alpha << 24 | static_cast<std::uint32_t>(x * 15) << 16 | static_cast<std::uint32_t>(y * 21) << 8 |
                           static_cast<std::uint32_t>((x * y * 7) & 0xff));
        }
    return sw::bitsLossless2(kBitmap, 16, 12, argb);
}

sw::Bytes pictureRect(std::uint16_t id) {
    sw::FillSpec fill;
    fill.type = 0x43;
    fill.bitmapId = kBitmap;
    fill.matrix = gradientMatrix(20 * 5, 20 * 5, 0, 0, 0);
    sw::ShapeBuilder shape;
    shape.fill(fill).style(std::nullopt, 1, std::nullopt).rect(0, 0, 1600, 1200);
    return shape.build(3, id, 0, 1600, 0, 1200);
}

// Gradients of every kind: ones across or down the stage (repeating along rows or columns), turned
// ones, radial and focal ones with each spread; some stand still, one slides, one fades, all under a
// small shape that moves every frame; and a picture fading in over them.
sw::Bytes gradientsMovie() {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xe8e0d0), picture()};
    tags.push_back(gradientRect(2, 0x10, 0, gradientMatrix(0.09, 0.09, 0, 1500, 0), 3000, 2600));         // across
    tags.push_back(gradientRect(3, 0x10, 1, gradientMatrix(0, 0, 0.05, 0, 1300), 3000, 2600));            // down
    tags.push_back(gradientRect(4, 0x10, 2, gradientMatrix(0.04, 0.05, 0.03, 1500, 1300), 3000, 2600));   // turned
    tags.push_back(gradientRect(5, 0x12, 1, gradientMatrix(0.05, 0.04, 0, 1500, 1300), 3000, 2600));
    tags.push_back(gradientRect(6, 0x13, 0, gradientMatrix(0.08, 0.06, 0.02, 1500, 1300), 3000, 2600));
    tags.push_back(gradientRect(7, 0x10, 0, gradientMatrix(0.05, 0.05, 0, 800, 0), 1600, 1400));          // slides
    tags.push_back(sw::rectangleShape(8, 0, 0, 700, 500, 0x2040a0c0));
    tags.push_back(pictureRect(9));
    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(100, 100)}));
    tags.push_back(sw::placeObject2({.depth = 2, .characterId = 3, .matrix = sw::MatrixSpec::translate(3300, 100)}));
    tags.push_back(sw::placeObject2({.depth = 3, .characterId = 4, .matrix = sw::MatrixSpec::translate(6500, 100)}));
    tags.push_back(sw::placeObject2({.depth = 4, .characterId = 5, .matrix = sw::MatrixSpec::translate(100, 2900)}));
    tags.push_back(sw::placeObject2({.depth = 5, .characterId = 6, .matrix = sw::MatrixSpec::translate(3300, 2900)}));
    for (int f = 0; f < kFrames; ++f) {
        const bool first = f == 0;
        const auto id = [&](std::uint16_t c) { return first ? std::optional<std::uint16_t>(c) : std::nullopt; };
        // Frames 4 and 5 hold the slide still, so its pixels are kept and then used again.
        const std::int32_t slide = f == 5 ? 4 * 137 : f * 137;
        tags.push_back(sw::placeObject2({.depth = 6, .move = !first, .characterId = id(7),
                                         .matrix = sw::MatrixSpec::translate(6500 + slide % 600, 2900 + slide % 400),
                                         .cxform = sw::CxformSpec{.mult = std::array<std::int16_t, 4>{256, 256, 256, 256},
                                                                  .add = std::array<std::int16_t, 4>{
                                                                      static_cast<std::int16_t>(f % 3 * 20), 0, 0, 0}}}));
        tags.push_back(sw::placeObject2({.depth = 7, .move = !first, .characterId = id(8),
                                         .matrix = sw::MatrixSpec::translate(300 + f * 733 % 9000, 500 + f * 491 % 5000)}));
        tags.push_back(sw::placeObject2({.depth = 8, .move = !first, .characterId = id(9),
                                         .matrix = sw::MatrixSpec::translate(4000, 2000),
                                         .cxform = sw::CxformSpec{.mult = std::array<std::int16_t, 4>{
                                                                      256, static_cast<std::int16_t>(256 - f * 9), 256,
                                                                      static_cast<std::int16_t>(f * 23 % 256)}}}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 8, .widthTwips = 9800, .heightTwips = 5600, .frameCount = kFrames}, tags);
}

}  // namespace

TEST(GradientRepaint, EveryFrameEqualsAFullDrawInOneBandOrTwo) {
    const auto movie = vp::Movie::fromBytes(gradientsMovie());
    ASSERT_TRUE(movie && movie->isValid());
    for (const QSize size : {QSize(490, 280), QSize(777, 431), QSize(1470, 840)}) {
        for (const vp::RenderQuality quality : {vp::RenderQuality::High, vp::RenderQuality::Low}) {
            for (const int bands : {1, 2}) {
                SCOPED_TRACE(QStringLiteral("%1x%2 quality %3 bands %4")
                                 .arg(size.width()).arg(size.height()).arg(static_cast<int>(quality)).arg(bands).toStdString());
                vp::Player player(movie);
                vp::FrameDrawer drawer;
                drawer.setBands(bands, 1);
                const vp::FrameView view = viewOf(*movie, size, quality);
                int partial = 0;
                ASSERT_TRUE(sw::everyFrameEqualsAFullDraw(player, drawer, view, kFrames, [&](const vp::FrameDrawer& d) {
                    if (sw::repaintedInPart(d)) ++partial;
                }));
                EXPECT_GE(partial, kFrames - 2);
            }
        }
    }
}

TEST(GradientRepaint, AGradientAcrossTheStageRunsFromItsFirstColourToItsLastOnEveryRow) {
    // One linear gradient across the whole stage, drawn at 1 px per 20 twips: its square (32768 twips
    // wide, scaled to 2048) spans device columns 76..178 around the centre 127.
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0x000000)};
    sw::FillSpec fill;
    fill.type = 0x10;
    fill.matrix = gradientMatrix(0.0625, 0.0625, 0, 2540, 0);
    fill.stops = {{0, 0xff0000ff}, {255, 0x0000ffff}};
    sw::ShapeBuilder shape;
    shape.fill(fill).style(std::nullopt, 1, std::nullopt).rect(0, 0, 5080, 3000);
    tags.push_back(shape.build(3, 2, 0, 5080, 0, 3000));
    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(0, 0)}));
    tags.push_back(sw::showFrame());
    const auto movie = vp::Movie::fromBytes(sw::movie({.version = 8, .widthTwips = 5080, .heightTwips = 3000}, tags));
    ASSERT_TRUE(movie && movie->isValid());
    vp::Player player(movie);
    const QImage image = fullDraw(player, viewOf(*movie, QSize(254, 150), vp::RenderQuality::High));
    for (const int y : {1, 40, 75, 148}) {
        SCOPED_TRACE(y);
        EXPECT_EQ(image.pixel(5, y), 0xffff0000u);     // padded with the first colour
        EXPECT_EQ(image.pixel(70, y), 0xffff0000u);
        EXPECT_EQ(image.pixel(185, y), 0xff0000ffu);   // and the last
        EXPECT_EQ(image.pixel(250, y), 0xff0000ffu);
        const QRgb middle = image.pixel(127, y);
        EXPECT_LT(std::abs(qRed(middle) - 128), 8);
        EXPECT_LT(std::abs(qBlue(middle) - 128), 8);
        for (int x = 1; x < 253; ++x) {
            ASSERT_EQ(image.pixel(x, y), image.pixel(x, 1)) << x;   // the same colours on every row
            ASSERT_LE(qRed(image.pixel(x + 1, y)), qRed(image.pixel(x, y))) << x;
        }
    }
}
