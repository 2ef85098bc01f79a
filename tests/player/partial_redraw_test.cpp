// Repainting only what changed: every frame the drawer repaints in part over its kept picture must
// equal the same frame drawn whole, pixel for pixel.
#include <gtest/gtest.h>

#include <QImage>

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
using sw::fullDraw;
using sw::viewOf;

namespace {

constexpr int kFrames = 12;

// Sets a property (by its number) of the clip at `target` from a script.
sw::Bytes setProperty(const std::string& target, int property, double value) {
    sw::ActionWriter a;
    a.push({sw::Push::str(target), sw::Push::integer(property), sw::Push::dbl(value)}).op(sw::op::kSetProperty);
    return sw::doAction(a.end());
}

sw::CxformSpec tint(std::int16_t r, std::int16_t g, std::int16_t b, std::int16_t a) {
    return {std::array<std::int16_t, 4>{r, g, b, a}, std::array<std::int16_t, 4>{0, 10, 0, 0}};
}

// Twelve frames over a still gradient backdrop: a shape moving and turning, a sprite removed halfway,
// a colour transform changing, a moving mask over a still and a moving shape, a filtered shape that
// stays while another moves and changes its filter, a multiply-blended shape others move under, a
// bound text changed by scripts, a morph, a clip moved and faded by scripts, and two objects swapping
// depth.
sw::Bytes busyMovie() {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xf0e8d0)};
    sw::ShapeBuilder backdrop;
    sw::FillSpec gradient;
    gradient.type = 0x10;
    gradient.matrix = sw::placedAt(4000, 3000, 0.25, 0.1);
    gradient.stops = {{0, 0x3060a0ff}, {128, 0xe0e0ffff}, {255, 0xa04020ff}};
    backdrop.fill(gradient).style(std::nullopt, 1, std::nullopt).rect(200, 200, 7600, 5600);
    tags.push_back(backdrop.build(3, 1, 200, 7800, 200, 5800));
    tags.push_back(sw::rectangleShape(2, 0, 0, 900, 600, 0xd02020ff));
    tags.push_back(sw::rectangleShape(3, 0, 0, 700, 700, 0x20a040c0));
    sw::ShapeBuilder star;
    star.line({.width = 60, .rgba = 0x000000ff, .join = 2, .miterLimit = 8})
        .fill(sw::FillSpec::solid(0xffd000ff))
        .style(std::nullopt, 1, 1)
        .moveTo(0, -800).lineTo(200, -100).lineTo(800, 0).lineTo(200, 100).lineTo(0, 800).lineTo(-200, 100)
        .lineTo(-800, 0).lineTo(-200, -100).lineTo(0, -800);
    tags.push_back(star.build(4, 4, -900, 900, -900, 900));
    tags.push_back(sw::defineSprite(5, 1, {sw::placeObject2({.depth = 1, .characterId = 3, .matrix = sw::placedAt(100, 100)}),
                                           sw::placeObject2({.depth = 2, .characterId = 2, .matrix = sw::placedAt(400, 300, 0.5)}),
                                           sw::showFrame()}));
    tags.push_back(sw::morphRectangles(6, 0, 0, 400, 400, 0x8000ffff, 300, 200, 900, 300, 0x00ff80ff));
    tags.push_back(sw::boxFont(7));
    tags.push_back(sw::boundText(8, 7, 3000, 700, 400, "A"));
    tags.push_back(sw::defineSprite(9, 1, {sw::placeObject2({.depth = 1, .characterId = 3}), sw::showFrame()}));

    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 1}));
    tags.push_back(sw::placeObject2({.depth = 3, .characterId = 5, .matrix = sw::placedAt(5000, 3500)}));
    tags.push_back(sw::placeObject2({.depth = 4, .characterId = 2, .matrix = sw::placedAt(3000, 4400), .cxform = tint(256, 256, 256, 256)}));
    tags.push_back(sw::placeObject2({.depth = 5, .characterId = 3, .matrix = sw::placedAt(1000, 1000), .clipDepth = 7}));
    tags.push_back(sw::placeObject2({.depth = 6, .characterId = 2, .matrix = sw::placedAt(800, 800, 1.5)}));
    tags.push_back(sw::placeObject2({.depth = 7, .characterId = 4, .matrix = sw::placedAt(1200, 1400)}));
    tags.push_back(sw::placeObject3({.depth = 8, .characterId = 4, .matrix = sw::placedAt(6000, 1200), .filterList = sw::dropShadowFilter(6, 5)}));
    tags.push_back(sw::placeObject3({.depth = 9, .characterId = 3, .matrix = sw::placedAt(6500, 4200), .filterList = sw::blurFilter(5)}));
    tags.push_back(sw::placeObject3({.depth = 10, .characterId = 3, .matrix = sw::placedAt(2500, 2500, 2), .blendMode = 3}));
    tags.push_back(sw::placeObject2({.depth = 11, .characterId = 8, .matrix = sw::placedAt(300, 4900)}));
    tags.push_back(sw::placeObject2({.depth = 12, .characterId = 6, .matrix = sw::placedAt(4200, 600), .ratio = 0}));
    tags.push_back(sw::placeObject2({.depth = 13, .characterId = 9, .matrix = sw::placedAt(4500, 2200), .name = "mover"}));
    tags.push_back(sw::placeObject2({.depth = 14, .characterId = 2, .matrix = sw::placedAt(1500, 3200)}));
    tags.push_back(sw::placeObject2({.depth = 15, .characterId = 3, .matrix = sw::placedAt(1800, 3400)}));
    for (int f = 0; f < kFrames; ++f) {
        // The moving, turning shape.
        const sw::MatrixSpec spin = sw::placedAt(1500 + f * 437, 2000 + f * 123, 1 + 0.05 * f, 0.1 * f);
        tags.push_back(sw::placeObject2({.depth = 2, .move = f > 0, .characterId = f == 0 ? std::optional<std::uint16_t>(2) : std::nullopt,
                                         .matrix = spin}));
        if (f == 5) tags.push_back(sw::removeObject2(3));
        if (f == 3 || f == 7)
            tags.push_back(sw::placeObject2({.depth = 4, .move = true, .cxform = tint(f == 3 ? 100 : 256, 300, 40, 180)}));
        if (f >= 2) tags.push_back(sw::placeObject2({.depth = 5, .move = true, .matrix = sw::placedAt(1000 + f * 150, 1000 + f * 40)}));
        if (f >= 1) tags.push_back(sw::placeObject2({.depth = 7, .move = true, .matrix = sw::placedAt(1200 - f * 60, 1400 + f * 35)}));
        if (f >= 6) {
            tags.push_back(sw::placeObject3({.depth = 8, .move = true, .matrix = sw::placedAt(6000 - f * 90, 1200 + f * 50),
                                             .filterList = sw::dropShadowFilter(6 + f, 5)}));
        }
        if (f >= 1) tags.push_back(sw::setVariableAction("v", std::string(static_cast<std::size_t>(1 + f % 4), f % 2 ? 'A' : 'B')));
        tags.push_back(sw::placeObject2({.depth = 12, .move = true, .ratio = static_cast<std::uint16_t>(f * 5000)}));
        if (f >= 2) tags.push_back(setProperty("mover", 0, 225 + 13.5 * f));   // _x, in pixels
        if (f == 4) tags.push_back(setProperty("mover", 6, 40));                // _alpha
        if (f == 8) {
            // Two overlapping objects trade places in the stacking order.
            tags.push_back(sw::removeObject2(14));
            tags.push_back(sw::removeObject2(15));
            tags.push_back(sw::placeObject2({.depth = 14, .characterId = 3, .matrix = sw::placedAt(1800, 3400)}));
            tags.push_back(sw::placeObject2({.depth = 15, .characterId = 2, .matrix = sw::placedAt(1500, 3200)}));
        }
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 8, .widthTwips = 8000, .heightTwips = 6000, .frameCount = kFrames}, tags);
}

}  // namespace

TEST(PartialRedraw, EveryFrameEqualsAFullDrawAtEachSizeAndQuality) {
    const auto movie = vp::Movie::fromBytes(busyMovie());
    ASSERT_TRUE(movie && movie->isValid());
    struct Case {
        QSize size;
        vp::RenderQuality quality;
    };
    for (const Case& c : {Case{{400, 300}, vp::RenderQuality::High}, Case{{613, 411}, vp::RenderQuality::High},
                          Case{{333, 250}, vp::RenderQuality::Low}, Case{{512, 384}, vp::RenderQuality::Best}}) {
        SCOPED_TRACE(QStringLiteral("%1x%2 quality %3").arg(c.size.width()).arg(c.size.height()).arg(static_cast<int>(c.quality)).toStdString());
        vp::Player player(movie);
        vp::FrameDrawer drawer;
        const vp::FrameView view = viewOf(*movie, c.size, c.quality);
        int partial = 0;
        // Twice round the loop: the second pass finds filtered layers in the cache.
        ASSERT_TRUE(sw::everyFrameEqualsAFullDraw(player, drawer, view, 2 * kFrames, [&](const vp::FrameDrawer& d) {
            if (sw::repaintedInPart(d)) ++partial;
        }));
        // Most frames change a small part of the picture: they are repainted in part.
        EXPECT_GE(partial, kFrames);
    }
}

TEST(PartialRedraw, FramesWithoutVisibleChangeRepaintNothing) {
    // A script changes a variable nothing shows each frame; a still shape stays.
    std::vector<sw::Bytes> tags = {sw::rectangleShape(1, 0, 0, 1000, 1000, 0x3050a0ff),
                                   sw::placeObject2({.depth = 1, .characterId = 1, .matrix = sw::placedAt(300, 300)})};
    for (int f = 0; f < 4; ++f) {
        tags.push_back(sw::setVariableAction("hidden", std::to_string(f)));
        tags.push_back(sw::showFrame());
    }
    const auto movie = vp::Movie::fromBytes(sw::movie({.widthTwips = 4000, .heightTwips = 3000, .frameCount = 4}, tags));
    vp::Player player(movie);
    vp::FrameDrawer drawer;
    const vp::FrameView view = viewOf(*movie, QSize(200, 150), vp::RenderQuality::High);
    EXPECT_TRUE(drawer.update(player, view));
    EXPECT_EQ(drawer.repainted().boundingRect(), drawer.image().rect());
    for (int f = 1; f < 4; ++f) {
        player.nextFrame();
        EXPECT_FALSE(drawer.update(player, view));
        EXPECT_TRUE(drawer.repainted().isEmpty());
        EXPECT_EQ(drawer.image(), fullDraw(player, view));
    }
}

TEST(PartialRedraw, DamageCoversWhatMovedAndWhatChangedOrder) {
    // Recordings of two frames as the drawer compares them: one shape moves, one stays.
    const auto movie = vp::Movie::fromBytes(sw::movie(
        {.widthTwips = 4000, .heightTwips = 3000, .frameCount = 3},
        {sw::rectangleShape(1, 0, 0, 200, 200, 0xff0000ff), sw::rectangleShape(2, 0, 0, 400, 400, 0x00ff00ff),
         sw::placeObject2({.depth = 1, .characterId = 1, .matrix = sw::placedAt(200, 200)}),
         sw::placeObject2({.depth = 2, .characterId = 2, .matrix = sw::placedAt(2000, 2000)}), sw::showFrame(),
         sw::placeObject2({.depth = 1, .move = true, .matrix = sw::placedAt(1000, 200)}), sw::showFrame(),
         // The still shape goes under the other one at the same place: only where they meet changes.
         sw::removeObject2(1), sw::removeObject2(2),
         sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::placedAt(2000, 2000)}),
         sw::placeObject2({.depth = 2, .characterId = 1, .matrix = sw::placedAt(1000, 200)}), sw::showFrame()}));
    vp::Player player(movie);
    const QTransform toDevice = QTransform::fromScale(0.05, 0.05);   // 1 px = 20 twips
    const auto record = [&] {
        vp::DamageRecorder recorder;
        player.render(recorder, toDevice, vp::RenderQuality::High);
        return recorder.take();
    };
    const vp::FrameRecord first = record();
    player.nextFrame();
    const vp::FrameRecord second = record();
    const std::vector<QRect> moved = vp::damageBetween(first, second);
    QRegion area;
    for (const QRect& r : moved) area |= r;
    EXPECT_TRUE(area.contains(QRect(10, 10, 10, 10)));   // where it was
    EXPECT_TRUE(area.contains(QRect(50, 10, 10, 10)));   // where it is
    EXPECT_FALSE(area.intersects(QRect(100, 100, 20, 20)));   // the still shape
    player.nextFrame();
    const vp::FrameRecord third = record();
    QRegion swapped;
    for (const QRect& r : vp::damageBetween(second, third)) swapped |= r;
    EXPECT_FALSE(swapped.isEmpty());
    EXPECT_TRUE(vp::damageBetween(third, third).empty());
}

TEST(PartialRedraw, MergedRectanglesCoverEveryPiece) {
    std::vector<QRect> pieces;
    for (int i = 0; i < 200; ++i) pieces.emplace_back((i * 37) % 500, (i * 91) % 400, 3 + i % 7, 2 + i % 5);
    const std::vector<QRect> merged = vp::mergeRects(pieces, 8);
    EXPECT_LE(merged.size(), 8u);
    QRegion cover;
    for (const QRect& r : merged) cover |= r;
    for (const QRect& r : pieces) EXPECT_TRUE(cover.contains(r));
    // Pieces that already fit stay apart.
    EXPECT_EQ(vp::mergeRects({QRect(0, 0, 10, 10), QRect(100, 100, 10, 10)}, 8).size(), 2u);
}

TEST(PartialRedraw, CoveredShareNeverClaimsMoreThanThePiecesCover) {
    // A frame is redrawn whole without merging its pieces when they surely cover most of the picture, so
    // the share must never count pixels no piece covers.
    const QRect bounds(0, 0, 1000, 700);
    const auto exactShare = [&](const std::vector<QRect>& rects) {
        QRegion union_;
        for (const QRect& r : rects) union_ |= r & bounds;
        double area = 0;
        for (const QRect& r : union_) area += static_cast<double>(r.width()) * r.height();
        return area / (static_cast<double>(bounds.width()) * bounds.height());
    };
    // Hundreds of overlapping pieces, some reaching past the bounds, at odd offsets.
    std::vector<QRect> pieces;
    for (int i = 0; i < 300; ++i)
        pieces.emplace_back((i * 53) % 1100 - 50, (i * 97) % 760 - 30, 20 + (i * 13) % 140, 15 + (i * 7) % 120);
    const double exact = exactShare(pieces);
    const double share = vp::coveredShare(pieces, bounds);
    EXPECT_LE(share, exact);
    EXPECT_GT(share, exact - 0.2);   // only the pieces' ragged borders go uncounted
    // Overlaps count once: the same rectangle many times, and the whole picture.
    EXPECT_DOUBLE_EQ(vp::coveredShare(std::vector<QRect>(50, QRect(0, 0, 320, 320)), bounds),
                     320.0 * 320 / (1000.0 * 700));
    EXPECT_LE(vp::coveredShare({bounds, bounds, QRect(-10, -10, 2000, 2000)}, bounds), 1.0);
    EXPECT_GT(vp::coveredShare({bounds}, bounds), 0.95);
    // Pieces smaller than what is counted, and none at all.
    EXPECT_EQ(vp::coveredShare({QRect(3, 3, 10, 10), QRect(500, 500, 12, 15)}, bounds), 0.0);
    EXPECT_EQ(vp::coveredShare({}, bounds), 0.0);
    EXPECT_EQ(vp::coveredShare(pieces, QRect()), 0.0);
}
