// Frames too heavy to draw in time: ten thousand tiny objects over a backdrop whose every pixel changes
// each frame, and a blur sixteen thousand pixels wide. Drawing stops at the time limit and the picture
// shows what was drawn by then, in painting order; the next frame is drawn whole again, equal to a
// draw with time enough. The clock is the test's own: it moves on a millisecond each time it is read,
// so where the drawing stops follows how much was drawn, not how fast this machine is.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include <QImage>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "tests/support/draw_fixtures.h"
#include "tests/support/frame_compare.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::firstDifference;
using sw::fullDraw;
using sw::viewOf;

namespace {

constexpr int kGrid = 100;                     // kGrid x kGrid objects
constexpr int kCellTwips = 80;                 // 4 pixels in the 400 x 400 view
constexpr std::uint32_t kSquare = 0xff0000ff;  // red squares of 2 x 2 pixels
constexpr int kFrames = 4;

// A clock read by both bands of a frame: a millisecond later at every reading.
struct CountingClock {
    std::shared_ptr<std::atomic<long>> readings = std::make_shared<std::atomic<long>>(0);
    vp::FrameDrawer::Clock clock() const {
        return [r = readings] { return std::chrono::steady_clock::time_point(std::chrono::milliseconds(r->fetch_add(1))); };
    }
};

// A backdrop over the whole stage that changes colour every frame, and a sprite of ten thousand tiny
// squares, one a depth, that moves half a cell a frame.
sw::Bytes tinyObjectsMovie() {
    std::vector<sw::Bytes> inside;
    for (int row = 0; row < kGrid; ++row)
        for (int col = 0; col < kGrid; ++col)
            inside.push_back(sw::placeObject2({.depth = static_cast<std::uint16_t>(row * kGrid + col + 1), .characterId = 1,
                                               .matrix = sw::placedAt(col * kCellTwips + 20, row * kCellTwips + 20)}));
    inside.push_back(sw::showFrame());
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xffffff), sw::rectangleShape(1, 0, 0, 40, 40, kSquare),
                                   sw::defineSprite(2, 1, inside), sw::rectangleShape(3, 0, 0, 8000, 8000, 0x3050a0ff),
                                   sw::placeObject2({.depth = 1, .characterId = 3}),
                                   sw::placeObject2({.depth = 2, .characterId = 2})};
    for (int f = 0; f < kFrames; ++f) {
        const auto shade = static_cast<std::int16_t>(f * 40);
        tags.push_back(sw::placeObject2({.depth = 1, .move = true, .cxform = sw::CxformSpec{std::nullopt, std::array<std::int16_t, 4>{shade, shade, 0, 0}}}));
        tags.push_back(sw::placeObject2({.depth = 2, .move = true, .matrix = sw::placedAt(f * 40, f * 40)}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.widthTwips = 8000, .heightTwips = 8000, .frameCount = kFrames}, tags);
}

// Which of the squares of the first frame show, by depth order (index depth - 1).
std::vector<bool> squaresShown(const QImage& picture) {
    std::vector<bool> shown;
    for (int row = 0; row < kGrid; ++row)
        for (int col = 0; col < kGrid; ++col) shown.push_back(picture.pixel(col * 4 + 1, row * 4 + 1) == qRgb(255, 0, 0));
    return shown;
}

}  // namespace

TEST(HeavyFrame, TenThousandTinyObjectsStopAtTheLimitInPaintingOrder) {
    const auto movie = vp::Movie::fromBytes(tinyObjectsMovie());
    ASSERT_TRUE(movie && movie->isValid());
    const vp::FrameView view = viewOf(*movie, QSize(400, 400), vp::RenderQuality::High);
    {
        // Drawn whole, every square shows.
        vp::Player player(movie);
        const std::vector<bool> all = squaresShown(fullDraw(player, view));
        EXPECT_EQ(std::count(all.begin(), all.end(), true), kGrid * kGrid);
    }
    for (int bands : {1, 2}) {
        SCOPED_TRACE(bands);
        vp::Player player(movie);
        vp::FrameDrawer drawer;
        drawer.setBands(bands, 1);
        const CountingClock counting;
        drawer.setClock(counting.clock());
        drawer.setTimeLimit(std::chrono::milliseconds(1000));
        ASSERT_TRUE(drawer.update(player, view));
        EXPECT_TRUE(drawer.cutShort());
        const QImage full = fullDraw(player, view);
        EXPECT_NE(drawer.image(), full);
        // Drawing went no further than its second allowed: every object drawn read the clock. (With two
        // bands, the one that reads faster may use it all up before the other draws anything.)
        const std::vector<bool> shown = squaresShown(drawer.image());
        const auto count = std::count(shown.begin(), shown.end(), true);
        EXPECT_LE(count, 1000);
        if (bands == 1) {
            EXPECT_GT(count, 0);
            // One thread draws in depth order: the squares shown are the lowest depths, with no gap.
            const auto firstMissing = std::find(shown.begin(), shown.end(), false);
            EXPECT_EQ(std::find(firstMissing, shown.end(), true), shown.end()) << "a square past depth "
                                                                               << (firstMissing - shown.begin()) + 1;
            // The backdrop went first, wherever no square was drawn.
            EXPECT_EQ(drawer.image().pixel(399, 399), full.pixel(399, 399));
        }

        // With time enough, every following frame (each changes every pixel) is drawn whole.
        drawer.setClock({});
        drawer.setTimeLimit(std::chrono::hours(1));
        for (int frame = 1; frame < kFrames; ++frame) {
            player.nextFrame();
            ASSERT_TRUE(drawer.update(player, view));
            EXPECT_FALSE(drawer.cutShort());
            EXPECT_EQ(drawer.repainted().boundingRect(), drawer.image().rect());
            const QImage whole = fullDraw(player, view);
            ASSERT_EQ(drawer.image(), whole) << "frame " << frame << " " << firstDifference(drawer.image(), whole).toStdString();
        }
    }
}

TEST(HeavyFrame, ABlurSixteenThousandPixelsWideIsShownAsFarAsItGot) {
    // A 64 x 64 pixel square blurred 255 pixels at 64 times its size: a box 16 320 pixels wide over a
    // 400 x 300 picture, drawn as a layer of its own.
    const auto movieWith = [](std::optional<sw::Bytes> filters) {
        std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xf0e8d0), sw::rectangleShape(1, 0, 0, 20, 20, 0x2040c0ff),
                                       sw::placeObject3({.depth = 1, .characterId = 1, .matrix = sw::placedAt(150, 100, 3.2),
                                                         .filterList = filters}),
                                       sw::showFrame(), sw::showFrame()};
        return vp::Movie::fromBytes(sw::movie({.version = 8, .widthTwips = 400, .heightTwips = 300, .frameCount = 2}, tags));
    };
    const auto blurred = movieWith(sw::blurFilter(255));
    const auto sharp = movieWith(std::nullopt);
    ASSERT_TRUE(blurred && sharp);
    const vp::FrameView view = viewOf(*blurred, QSize(400, 300), vp::RenderQuality::High);
    vp::Player player(blurred);
    const QImage whole = fullDraw(player, view);
    const QImage unfiltered = fullDraw(vp::Player(sharp), view);
    QImage nothing(view.size, QImage::Format_ARGB32_Premultiplied);
    nothing.fill(QColor(0xf0, 0xe8, 0xd0));
    // The blur tints the far corners of the picture and leaves nothing of the square's own colour.
    ASSERT_NE(whole.pixel(0, 0), nothing.pixel(0, 0));
    ASSERT_NE(whole.pixel(399, 299), nothing.pixel(399, 299));
    ASSERT_NE(whole.pixel(180, 130), unfiltered.pixel(180, 130));

    for (int bands : {1, 2}) {
        SCOPED_TRACE(bands);
        bool sawUnfiltered = false;
        for (int limit = 0; limit <= 8; ++limit) {
            SCOPED_TRACE(limit);
            vp::FrameDrawer drawer;
            drawer.setBands(bands, 1);
            // Drawn once in time, the layer is seen again in the next draw, where its pixels may be
            // kept for later frames: a layer cut short must never be kept as the finished one.
            ASSERT_TRUE(drawer.update(player, view));
            ASSERT_EQ(drawer.image(), whole);
            const CountingClock counting;
            drawer.setClock(counting.clock());
            drawer.setTimeLimit(std::chrono::milliseconds(limit));
            drawer.invalidate();
            ASSERT_TRUE(drawer.update(player, view));
            const QImage got = drawer.image();
            EXPECT_EQ(drawer.cutShort(), got != whole);
            if (bands == 1) {
                // However early time runs out, the picture is one the drawing passes through: the
                // background alone, the square not yet blurred, or the whole frame. (Two bands may each
                // stop at another of these.)
                EXPECT_TRUE(got == nothing || got == unfiltered || got == whole) << firstDifference(got, whole).toStdString();
                sawUnfiltered = sawUnfiltered || got == unfiltered;
            }
            drawer.setClock({});
            drawer.setTimeLimit(std::chrono::hours(1));
            drawer.update(player, view);
            EXPECT_FALSE(drawer.cutShort());
            EXPECT_EQ(drawer.image(), whole) << firstDifference(drawer.image(), whole).toStdString();
        }
        if (bands == 1) {
            EXPECT_TRUE(sawUnfiltered);
        }
    }
}
