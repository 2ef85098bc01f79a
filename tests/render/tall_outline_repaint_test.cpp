// Repaints that end well above the picture's last row or start well below its first, over outlines
// reaching past them: lines of every width, cap and join (hairlines, wide ones, curves), fills sharing
// edges, a mask and a turned copy, while a small shape moves near the top or near the bottom. Each
// frame equals the same frame drawn whole, in one band or two, anti-aliased or not.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include <QImage>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "tests/support/frame_compare.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::viewOf;

namespace {

constexpr int kFrames = 10;
constexpr std::int32_t kWidth = 8000, kHeight = 6000;

// A zigzag from the top of the stage to its bottom, with curves between, in one line style.
sw::Bytes tallLines(std::uint16_t id, const sw::LineSpec &line, std::int32_t x) {
    sw::ShapeBuilder shape;
    shape.line(line).style(std::nullopt, std::nullopt, 1).moveTo(x, 40);
    for (std::int32_t y = 40, step = 0; y < kHeight - 600; y += 700, ++step) {
        if (step % 3 == 2)
            shape.curveTo(x + 500, y + 350, x, y + 700);
        else
            shape.lineTo(x + (step % 2 ? 0 : 420), y + 700);
    }
    return shape.build(4, id, x - 400, x + 900, 0, kHeight);
}

// A closed diamond as tall as the stage, outlined and filled, with a second fill sharing an edge.
sw::Bytes tallDiamond(std::uint16_t id) {
    sw::ShapeBuilder shape;
    sw::LineSpec line;
    line.width = 40;
    line.rgba = 0x101010ff;
    shape.fill(sw::FillSpec::solid(0x6060d0ff)).fill(sw::FillSpec::solid(0xd06060ff)).line(line);
    shape.style(std::nullopt, 1, 1).moveTo(1500, 100).lineTo(2900, kHeight / 2).lineTo(1500, kHeight - 100);
    shape.style(2, 1, 1).lineTo(1500, 100);
    shape.style(2, std::nullopt, 1).moveTo(1500, kHeight - 100).lineTo(100, kHeight / 2).lineTo(1500, 100);
    return shape.build(4, id, 50, 2950, 50, kHeight - 50);
}

// With `hairlines`, the first zigzag is drawn one pixel wide whatever the scale; with `low`, the small
// shape moves near the bottom of the stage instead of its top.
sw::Bytes tallOutlinesMovie(bool hairlines, bool low = false) {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xf0e8d8)};
    std::uint16_t id = 2;
    std::int32_t x = 3200;
    // Hairline, thin and wide lines with round, flat and square caps, round, bevel and miter joins.
    for (const auto &[width, cap, join] : std::vector<std::tuple<std::uint16_t, std::uint8_t, std::uint8_t>>{
             {hairlines ? 1 : 60, 0, 0}, {20, 1, 2}, {45, 2, 1}, {160, 0, 0}, {300, 1, 2}}) {
        sw::LineSpec line;
        line.width = width;
        line.rgba = 0x203040c0 + width;
        line.startCap = line.endCap = cap;
        line.join = join;
        tags.push_back(tallLines(id, line, x));
        tags.push_back(
            sw::placeObject2({.depth = id, .characterId = id, .matrix = sw::MatrixSpec::translate(0, 0)}));
        ++id;
        x += 900;
    }
    tags.push_back(tallDiamond(id));
    tags.push_back(
        sw::placeObject2({.depth = id, .characterId = id, .matrix = sw::MatrixSpec::translate(0, 0)}));
    const std::uint16_t diamond = id++;
    // The diamond again, turned, under a mask as tall as the stage.
    tags.push_back(sw::rectangleShape(id, 0, 0, 1800, kHeight, 0x000000ff));
    tags.push_back(sw::placeObject2(
        {.depth = 40, .characterId = id, .matrix = sw::MatrixSpec::translate(5900, 0), .clipDepth = 42}));
    ++id;
    sw::MatrixSpec turned = sw::MatrixSpec::translate(6300, -300);
    turned.scaleX = turned.scaleY = 0.93;
    turned.rotateSkew0 = 0.2;
    turned.rotateSkew1 = -0.2;
    tags.push_back(sw::placeObject2({.depth = 41, .characterId = diamond, .matrix = turned}));
    tags.push_back(sw::rectangleShape(id, 0, 0, 500, 300, 0x20a040ff));
    const std::uint16_t mover = id;
    for (int f = 0; f < kFrames; ++f) {
        const bool first = f == 0;
        tags.push_back(sw::placeObject2(
            {.depth = 60,
             .move = !first,
             .characterId = first ? std::optional<std::uint16_t>(mover) : std::nullopt,
             .matrix = sw::MatrixSpec::translate(200 + f * 677 % 7000, (low ? kHeight - 800 : 100) + f * 53 % 400)}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 8, .widthTwips = kWidth, .heightTwips = kHeight, .frameCount = kFrames},
                     tags);
}

// Plays the movie with its small shape near the top (or with `low`, near the bottom) at several sizes,
// anti-aliased or not, in one band or two: every frame equals a full draw, and every frame after the
// first repaints only the quarter of the picture the shape moves in.
void expectRepaintsEqualAFullDraw(bool low) {
    for (const bool hairlines : {false, true}) {
        SCOPED_TRACE(hairlines ? "with hairlines" : "without hairlines");
        const auto movie = vp::Movie::fromBytes(tallOutlinesMovie(hairlines, low));
        ASSERT_TRUE(movie && movie->isValid());
        for (const QSize size : {QSize(400, 300), QSize(1111, 833), QSize(1920, 1080)}) {
            for (const vp::RenderQuality quality : {vp::RenderQuality::High, vp::RenderQuality::Low}) {
                for (const int bands : {1, 2}) {
                    SCOPED_TRACE(QStringLiteral("%1x%2 quality %3 bands %4")
                                     .arg(size.width())
                                     .arg(size.height())
                                     .arg(static_cast<int>(quality))
                                     .arg(bands)
                                     .toStdString());
                    vp::Player player(movie);
                    vp::FrameDrawer drawer;
                    drawer.setBands(bands, 1);
                    const vp::FrameView view = viewOf(*movie, size, quality);
                    int inQuarter = 0;
                    ASSERT_TRUE(sw::everyFrameEqualsAFullDraw(player, drawer, view, kFrames, [&](const vp::FrameDrawer& d) {
                        const QRect repainted = d.repainted().boundingRect();
                        if (!repainted.isEmpty() && (low ? repainted.top() > size.height() * 3 / 4
                                                         : repainted.bottom() < size.height() / 4))
                            ++inQuarter;
                    }));
                    EXPECT_EQ(inQuarter, kFrames - 1);
                }
            }
        }
    }
}

} // namespace

TEST(TallOutlineRepaint, RepaintsNearTheTopEqualAFullDrawInOneBandOrTwo) {
    expectRepaintsEqualAFullDraw(false);
}

TEST(TallOutlineRepaint, RepaintsNearTheBottomEqualAFullDrawInOneBandOrTwo) {
    expectRepaintsEqualAFullDraw(true);
}
