// Shapes whose fills share edges, drawn again and again: moved back and forth by fractions of a pixel,
// by whole pixels, recoloured, scaled, and across the rows where two bands meet. Every frame drawn by
// one drawer kept from frame to frame (which lays the shared-edge underlays down from what it kept)
// equals the same frame drawn by a fresh renderer, pixel for pixel.
#include <gtest/gtest.h>

#include <array>
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

constexpr int kFrames = 16;

// A disc cut into three coloured parts by a wavy line and a straight one: every part shares edges
// with the next (curves and lines), and one part is translucent (no underlay there).
sw::Bytes sharedEdgeShape(std::uint16_t id, std::uint32_t translucent) {
    sw::ShapeBuilder shape;
    shape.fill(sw::FillSpec::solid(0xd04030ff)).fill(sw::FillSpec::solid(0x3060c0ff)).fill(sw::FillSpec::solid(translucent));
    // Left part (fill 1) against the middle part (fill 2) along a wavy line.
    shape.style(1, 2, std::nullopt).moveTo(0, -1000).curveTo(300, -500, 0, 0).curveTo(-300, 500, 0, 1000);
    shape.style(std::nullopt, 1, std::nullopt).curveTo(-1000, 1000, -1000, 0).curveTo(-1000, -1000, 0, -1000);
    // Middle part against the right part (fill 3) along a straight line.
    shape.style(2, 3, std::nullopt).moveTo(500, -870).lineTo(500, 870);
    shape.style(2, std::nullopt, std::nullopt).moveTo(0, 1000).curveTo(250, 1000, 500, 870);
    shape.style(std::nullopt, 2, std::nullopt).moveTo(0, -1000).curveTo(250, -1000, 500, -870);
    shape.style(3, std::nullopt, std::nullopt).moveTo(500, 870).curveTo(1000, 500, 1000, 0).curveTo(1000, -500, 500, -870);
    return shape.build(3, id, -1000, 1000, -1000, 1000);
}

sw::Bytes seamMovie() {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xf8f4e8)};
    tags.push_back(sharedEdgeShape(1, 0x30a050ff));
    tags.push_back(sharedEdgeShape(2, 0x30a05080));
    // Positions in twips: to and fro by fractions of a pixel, then moved by whole pixels (20 twips at
    // the stage's own size), recoloured, and grown.
    const std::array<std::int32_t, kFrames> xs = {3000, 3007, 3000, 3007, 3000, 3020, 3040, 3047,
                                                  3040, 3047, 3040, 3040, 3040, 3013, 3040, 3013};
    for (int f = 0; f < kFrames; ++f) {
        const bool first = f == 0;
        sw::MatrixSpec m = sw::MatrixSpec::translate(xs[static_cast<std::size_t>(f)], 2990 + (f % 2) * 3);
        if (f >= 12) m.scaleX = m.scaleY = 1.25;
        std::optional<sw::CxformSpec> cx;
        if (f == 11 || f == 12) cx = sw::CxformSpec{std::array<std::int16_t, 4>{200, 256, 128, 256}, std::nullopt};
        sw::PlaceSpec a{.depth = 1, .move = !first, .characterId = first ? std::optional<std::uint16_t>(1) : std::nullopt,
                        .matrix = m, .cxform = cx ? cx : (first ? std::nullopt : std::optional<sw::CxformSpec>(sw::CxformSpec{}))};
        tags.push_back(sw::placeObject2(a));
        // A second copy lower down, across the middle rows, moving the other way.
        sw::MatrixSpec lower = sw::MatrixSpec::translate(6000 - xs[static_cast<std::size_t>(f)] / 2, 4480 + (f % 3) * 7);
        tags.push_back(sw::placeObject2({.depth = 2,
                                         .move = !first,
                                         .characterId = first ? std::optional<std::uint16_t>(2) : std::nullopt,
                                         .matrix = lower}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 8, .widthTwips = 8000, .heightTwips = 6000, .frameCount = kFrames}, tags);
}

} // namespace

TEST(SeamRepaint, UnderlaysKeptBetweenFramesEqualAFreshDrawEveryFrame) {
    const auto movie = vp::Movie::fromBytes(seamMovie());
    ASSERT_TRUE(movie && movie->isValid());
    for (const QSize size : {QSize(400, 300), QSize(1111, 833), QSize(1920, 1080)}) {
        for (const bool partial : {true, false}) {
            for (const int bands : {1, 2}) {
                SCOPED_TRACE(QStringLiteral("%1x%2 %3 bands %4")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(partial ? "partial" : "whole")
                                 .arg(bands)
                                 .toStdString());
                vp::Player player(movie);
                vp::FrameDrawer drawer;
                drawer.setBands(bands, 1);
                drawer.setPartialRedraw(partial);
                const vp::FrameView view = viewOf(*movie, size, vp::RenderQuality::High);
                ASSERT_TRUE(sw::everyFrameEqualsAFullDraw(player, drawer, view, kFrames));
            }
        }
    }
}
