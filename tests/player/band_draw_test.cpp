// Drawing large repaints as two bands on two threads: every frame must equal the same frame drawn by
// one thread, pixel for pixel, whatever crosses the row where the bands meet; and a frame that runs
// out of time is shown as far as it got, then redrawn whole.
#include <gtest/gtest.h>

#include <chrono>

#include <QImage>

#include "player/frame_bands.h"
#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/damage.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/action_writer.h"
#include "tests/support/draw_fixtures.h"
#include "tests/support/frame_compare.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::firstDifference;
using sw::fullDraw;
using sw::viewOf;

namespace {

constexpr int kFrames = 10;

std::vector<std::uint32_t> checker(int size) {
    std::vector<std::uint32_t> pixels;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) pixels.push_back(((x / 2 + y / 2) % 2) ? 0xff2040c0 : (x == y ? 0x80ffd000 : 0xffe0e0e0));
    return pixels;
}

// Everything the renderer draws, most of it straddling the middle rows where the bands meet and
// moving there from frame to frame: a radial backdrop, a turning stroked star, repeating and clipped
// bitmap fills (one colour-transformed; the repeating one smoothed on request), static and bound text,
// a mask, filtered shapes, a multiply blend, a morph and a translucent linear gradient.
sw::Bytes bandMovie(bool smoothBitmaps = false) {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xf0e8d0)};
    sw::ShapeBuilder backdrop;
    sw::FillSpec radial;
    radial.type = 0x12;
    radial.matrix = sw::placedAt(4000, 3000, 0.3);
    radial.stops = {{0, 0xffffffff}, {90, 0x80c0e0ff}, {255, 0x203060ff}};
    backdrop.fill(radial).style(std::nullopt, 1, std::nullopt).rect(0, 0, 8000, 6000);
    tags.push_back(backdrop.build(3, 1, 0, 8000, 0, 6000));
    sw::ShapeBuilder star;
    star.line({.width = 80, .rgba = 0x000000ff, .join = 2, .miterLimit = 8})
        .fill(sw::FillSpec::solid(0xffd000ff))
        .style(std::nullopt, 1, 1)
        .moveTo(0, -1600).lineTo(400, -200).lineTo(1600, 0).lineTo(400, 200).lineTo(0, 1600).lineTo(-400, 200)
        .lineTo(-1600, 0).lineTo(-400, -200).lineTo(0, -1600);
    tags.push_back(star.build(4, 2, -1700, 1700, -1700, 1700));
    tags.push_back(sw::bitsLossless2(3, 16, 16, checker(16)));
    sw::ShapeBuilder tiled;
    sw::FillSpec repeat;
    repeat.type = smoothBitmaps ? 0x40 : 0x42;
    repeat.bitmapId = 3;
    repeat.matrix = sw::placedAt(0, 0, 30, 0.3);
    tiled.fill(repeat).style(std::nullopt, 1, std::nullopt).moveTo(0, 0).curveTo(1500, -600, 3000, 0).lineTo(2600, 2400).lineTo(0, 2400).lineTo(0, 0);
    tags.push_back(tiled.build(3, 4, 0, 3000, -600, 2400));
    sw::ShapeBuilder clipped;
    sw::FillSpec once;
    once.type = 0x43;   // clipped, not smoothed
    once.bitmapId = 3;
    once.matrix = sw::placedAt(0, 0, 80);
    clipped.fill(once).style(std::nullopt, 1, std::nullopt).rect(0, 0, 1500, 1500);
    tags.push_back(clipped.build(3, 5, 0, 1500, 0, 1500));
    tags.push_back(sw::boxFont(6));
    tags.push_back(sw::defineText(7, 2, 0, 4000, -900, 100, 6, 0x802020ff, 900, 0, 0, {{0, 700}, {1, 700}, {0, 700}, {1, 700}}));
    tags.push_back(sw::boundText(8, 6, 5000, 900, 700, "AB"));
    tags.push_back(sw::rectangleShape(9, 0, 0, 1400, 1400, 0x20a040ff));
    tags.push_back(sw::morphRectangles(10, 0, 0, 600, 600, 0x8000ffff, 300, 200, 1800, 900, 0x00ff80ff));
    sw::ShapeBuilder band;
    sw::FillSpec linear;
    linear.type = 0x10;
    linear.matrix = sw::placedAt(3000, 0, 0.2, 0.5);
    linear.stops = {{0, 0xff000080}, {255, 0x0000ff40}};
    band.fill(linear).style(std::nullopt, 1, std::nullopt).rect(0, 0, 6000, 700);
    tags.push_back(band.build(3, 11, 0, 6000, 0, 700));

    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 1}));
    tags.push_back(sw::placeObject2({.depth = 2, .characterId = 2, .matrix = sw::placedAt(2000, 2900)}));
    tags.push_back(sw::placeObject2({.depth = 3, .characterId = 4, .matrix = sw::placedAt(4500, 1900)}));
    tags.push_back(sw::placeObject2({.depth = 4, .characterId = 5, .matrix = sw::placedAt(600, 2300),
                                     .cxform = sw::CxformSpec{std::array<std::int16_t, 4>{200, 256, 120, 256},
                                                              std::array<std::int16_t, 4>{10, 0, 40, 0}}}));
    tags.push_back(sw::placeObject2({.depth = 5, .characterId = 7, .matrix = sw::placedAt(2500, 3200)}));
    tags.push_back(sw::placeObject2({.depth = 6, .characterId = 8, .matrix = sw::placedAt(300, 2700)}));
    tags.push_back(sw::placeObject2({.depth = 7, .characterId = 9, .matrix = sw::placedAt(5200, 2400), .clipDepth = 8}));
    tags.push_back(sw::placeObject2({.depth = 8, .characterId = 2, .matrix = sw::placedAt(5800, 3000, 0.8)}));
    tags.push_back(sw::placeObject3({.depth = 9, .characterId = 9, .matrix = sw::placedAt(3300, 2500), .filterList = sw::dropShadowFilter(8, 6)}));
    tags.push_back(sw::placeObject3({.depth = 10, .characterId = 2, .matrix = sw::placedAt(6800, 3100, 0.6), .filterList = sw::blurFilter(6)}));
    tags.push_back(sw::placeObject3({.depth = 11, .characterId = 9, .matrix = sw::placedAt(1500, 2200, 1.3), .blendMode = 3}));
    tags.push_back(sw::placeObject2({.depth = 12, .characterId = 10, .matrix = sw::placedAt(4000, 3300), .ratio = 0}));
    tags.push_back(sw::placeObject2({.depth = 13, .characterId = 11, .matrix = sw::placedAt(1000, 2650)}));
    for (int f = 0; f < kFrames; ++f) {
        tags.push_back(sw::placeObject2({.depth = 2, .move = true, .matrix = sw::placedAt(2000 + f * 311, 2900 + f * 7, 1 + 0.04 * f, 0.13 * f)}));
        tags.push_back(sw::placeObject2({.depth = 3, .move = true, .matrix = sw::placedAt(4500 - f * 170, 1900 + f * 61)}));
        tags.push_back(sw::placeObject2({.depth = 7, .move = true, .matrix = sw::placedAt(5200 - f * 90, 2400 + f * 23)}));
        tags.push_back(sw::placeObject3({.depth = 9, .move = true, .matrix = sw::placedAt(3300 + f * 37, 2500 + f * 19),
                                         .filterList = sw::dropShadowFilter(8 + (f % 3), 6)}));
        tags.push_back(sw::placeObject2({.depth = 11, .move = true, .matrix = sw::placedAt(1500 + f * 120, 2200 + f * 13, 1.3)}));
        tags.push_back(sw::placeObject2({.depth = 12, .move = true, .ratio = static_cast<std::uint16_t>(f * 6000)}));
        if (f % 3 == 1) tags.push_back(sw::setVariableAction("v", std::string(static_cast<std::size_t>(1 + f % 5), f % 2 ? 'A' : 'B')));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 8, .widthTwips = 8000, .heightTwips = 6000, .frameCount = kFrames}, tags);
}

}  // namespace

TEST(BandDraw, EveryFrameEqualsASingleThreadDrawAtEachSizeAndQuality) {
    const auto movie = vp::Movie::fromBytes(bandMovie());
    ASSERT_TRUE(movie && movie->isValid());
    struct Case {
        QSize size;
        vp::RenderQuality quality;
        bool partial;
    };
    for (const Case& c : {Case{{400, 300}, vp::RenderQuality::High, true}, Case{{613, 411}, vp::RenderQuality::High, false},
                          Case{{333, 251}, vp::RenderQuality::Low, true}, Case{{517, 389}, vp::RenderQuality::Best, true},
                          Case{{800, 600}, vp::RenderQuality::Medium, true}}) {
        SCOPED_TRACE(QStringLiteral("%1x%2 quality %3 partial %4").arg(c.size.width()).arg(c.size.height())
                         .arg(static_cast<int>(c.quality)).arg(c.partial).toStdString());
        vp::Player player(movie);
        vp::FrameDrawer drawer;
        drawer.setBands(2, 1);   // split every repaint, however small
        drawer.setPartialRedraw(c.partial);
        const vp::FrameView view = viewOf(*movie, c.size, c.quality);
        int split = 0;
        // Twice round the loop: the second pass takes filtered layers from the cache both bands share.
        for (int frame = 0; frame < 2 * kFrames; ++frame) {
            if (frame > 0) player.nextFrame();
            const bool drew = drawer.update(player, view);
            const QImage single = fullDraw(player, view);
            ASSERT_EQ(drawer.image(), single) << "frame " << frame << " " << firstDifference(drawer.image(), single).toStdString();
            if (drew && drawer.lastBands() == 2) ++split;
            EXPECT_FALSE(drawer.cutShort());
        }
        // At the best quality every bitmap is smoothed, which keeps frames on one thread (see below).
        if (c.quality != vp::RenderQuality::Best) {
            EXPECT_GE(split, 2 * kFrames - 2);
        }
    }
}

TEST(BandDraw, SmallRepaintsAndSmoothedBitmapsStayOnOneThread) {
    // A small shape moving over a still backdrop: the first picture is drawn whole, the rest in part.
    std::vector<sw::Bytes> tags = {sw::rectangleShape(1, 0, 0, 8000, 6000, 0x3050a0ff), sw::rectangleShape(2, 0, 0, 600, 600, 0xffd000ff),
                                   sw::placeObject2({.depth = 1, .characterId = 1}),
                                   sw::placeObject2({.depth = 2, .characterId = 2, .matrix = sw::placedAt(1000, 2800)})};
    for (int f = 0; f < kFrames; ++f) {
        tags.push_back(sw::placeObject2({.depth = 2, .move = true, .matrix = sw::placedAt(1000 + f * 300, 2800, 1, 0.1 * f)}));
        tags.push_back(sw::showFrame());
    }
    const auto movie = vp::Movie::fromBytes(sw::movie({.widthTwips = 8000, .heightTwips = 6000, .frameCount = kFrames}, tags));
    vp::Player player(movie);
    vp::FrameDrawer drawer;
    const vp::FrameView view = viewOf(*movie, QSize(400, 300), vp::RenderQuality::High);
    const int threshold = 400 * 300 / 4;
    drawer.setBands(2, threshold);
    int small = 0, large = 0;
    for (int frame = 0; frame < kFrames; ++frame) {
        if (frame > 0) player.nextFrame();
        if (!drawer.update(player, view)) continue;
        int area = 0;
        for (const QRect& r : drawer.repainted()) area += r.width() * r.height();
        EXPECT_EQ(drawer.lastBands(), area >= threshold ? 2 : 1) << "frame " << frame << " area " << area;
        ++(area >= threshold ? large : small);
        EXPECT_EQ(drawer.image(), fullDraw(player, view)) << "frame " << frame;
    }
    EXPECT_EQ(large, 1);
    EXPECT_EQ(small, kFrames - 1);
    drawer.setBands(1, 1);
    drawer.invalidate();
    ASSERT_TRUE(drawer.update(player, view));
    EXPECT_EQ(drawer.lastBands(), 1);
    EXPECT_EQ(drawer.image(), fullDraw(player, view));

    // The rasteriser samples smoothed bitmaps from where each run of pixels starts, and a band edge can
    // start a run elsewhere: frames with them are drawn by one thread, still equal to its picture.
    const auto smooth = vp::Movie::fromBytes(bandMovie(true));
    vp::Player smoothPlayer(smooth);
    vp::FrameDrawer smoothDrawer;
    smoothDrawer.setBands(2, 1);
    for (int frame = 0; frame < 3; ++frame) {
        if (frame > 0) smoothPlayer.nextFrame();
        ASSERT_TRUE(smoothDrawer.update(smoothPlayer, view));
        EXPECT_EQ(smoothDrawer.lastBands(), 1);
        EXPECT_EQ(smoothDrawer.image(), fullDraw(smoothPlayer, view)) << "frame " << frame;
    }
}

TEST(BandDraw, AFrameOutOfTimeIsShownAsFarAsItGotThenRedrawnWhole) {
    const auto movie = vp::Movie::fromBytes(bandMovie());
    for (int bands : {1, 2}) {
        SCOPED_TRACE(bands);
        vp::Player player(movie);
        vp::FrameDrawer drawer;
        drawer.setBands(bands, 1);
        const vp::FrameView view = viewOf(*movie, QSize(400, 300), vp::RenderQuality::High);
        // No time at all: only the background is painted, in every band.
        drawer.setTimeLimit(std::chrono::milliseconds(0));
        ASSERT_TRUE(drawer.update(player, view));
        EXPECT_TRUE(drawer.cutShort());
        QImage background(view.size, QImage::Format_ARGB32_Premultiplied);
        background.fill(QColor(0xf0, 0xe8, 0xd0));
        EXPECT_EQ(drawer.image(), background);
        // With time enough the same frame is drawn again, whole, not patched over the cut picture.
        drawer.setTimeLimit(std::chrono::hours(1));
        ASSERT_TRUE(drawer.update(player, view));
        EXPECT_FALSE(drawer.cutShort());
        EXPECT_EQ(drawer.image(), fullDraw(player, view));
        player.nextFrame();
        drawer.update(player, view);
        EXPECT_EQ(drawer.image(), fullDraw(player, view));
    }
}

TEST(BandDraw, DetachedCopiesKeepOutlinesAndLeaveSeamBandsBehind) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addEllipse(QRectF(0, 0, 100, 60));
    path.addRect(QRectF(20, 20, 30, 30));
    const QPainterPath copy = vp::detachedPath(path);
    EXPECT_EQ(copy, path);
    EXPECT_EQ(copy.fillRule(), Qt::WindingFill);
    EXPECT_TRUE(vp::detachedPath(QPainterPath()).isEmpty());

    vp::ShapePaths shape;
    shape.bounds = QRectF(0, 0, 100, 60);
    shape.items.push_back(vp::DrawItem{.path = path, .seams = path});
    shape.items.front().seamBand = std::make_shared<vp::SeamBand>();
    const vp::ShapePaths own = vp::detachedShape(shape);
    ASSERT_EQ(own.items.size(), 1u);
    EXPECT_EQ(own.bounds, shape.bounds);
    EXPECT_EQ(own.items[0].path, path);
    EXPECT_EQ(own.items[0].seams, path);
    EXPECT_FALSE(own.items[0].seamBand);
}

TEST(BandDraw, TheSplitGivesEachBandTheWorkItsMeasuredCostSays) {
    // One drawing per row band of 10 rows, each as wide as the area: the work is spread evenly down it.
    vp::FrameRecord record;
    for (int y = 0; y < 400; y += 10) record.entries.push_back({static_cast<std::uint64_t>(y + 1), QRect(0, y, 200, 10)});
    const QRegion area(QRect(0, 0, 200, 400));
    const vp::BandSplit even = vp::balancedSplit(record, area);
    EXPECT_NEAR(even.row, 200, 2);
    EXPECT_NEAR(even.above, even.below, even.above * 0.02);
    // Work above the split measured three times as dear: the upper band gets a quarter of the rows.
    const vp::BandSplit dear = vp::balancedSplit(record, area, 3.0);
    EXPECT_NEAR(dear.row, 100, 2);
    EXPECT_NEAR(3 * dear.above, dear.below, dear.below * 0.03);
    // And a third as dear: three quarters.
    EXPECT_NEAR(vp::balancedSplit(record, area, 1.0 / 3).row, 300, 2);
    // The estimate sees where the drawings are: all of them in the lower half moves the split there.
    vp::FrameRecord low;
    for (int y = 200; y < 400; y += 10) low.entries.push_back({static_cast<std::uint64_t>(y + 1), QRect(0, y, 200, 10)});
    const vp::BandSplit lowSplit = vp::balancedSplit(low, area);
    EXPECT_GT(lowSplit.row, 200);
    EXPECT_LT(lowSplit.row, 400);
    // An area one row tall cannot be split.
    EXPECT_EQ(vp::balancedSplit(record, QRegion(QRect(0, 5, 200, 1))).row, -1);
}
