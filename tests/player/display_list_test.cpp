// Timelines and the display list: place, move, replace, remove; sprites in step with the root;
// stepping back and rewinding give what playing forward gives.
#include <gtest/gtest.h>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/recording_renderer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

std::shared_ptr<vp::Movie> load(const std::vector<sw::Bytes>& tags, std::uint16_t frameCount = 1) {
    sw::MovieSpec spec;
    spec.frameCount = frameCount;
    return vp::Movie::fromBytes(sw::movie(spec, tags));
}

QStringList drawCalls(const vp::Player& player) {
    vp::RecordingRenderer r;
    player.render(r, QTransform(), vp::RenderQuality::High);
    return r.lines();
}


}  // namespace

TEST(DisplayList, PlaceMoveReplaceRemove) {
    auto movie = load({sw::rectangleShape(1, 0, 0, 100, 100, 0xff0000ff), sw::rectangleShape(2, 0, 0, 100, 100, 0x0000ffff),
                       sw::placeObject2({.depth = 1, .characterId = 1, .matrix = sw::MatrixSpec::translate(10, 20)}),
                       sw::showFrame(),
                       sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(30, 40)}),
                       sw::showFrame(),
                       sw::placeObject2({.depth = 1, .move = true, .characterId = 2}),   // replace, keep the matrix
                       sw::showFrame(),
                       sw::removeObject2(1),
                       sw::showFrame()},
                      4);
    vp::Player player(movie);
    EXPECT_EQ(player.frameCount(), 4);
    auto calls = drawCalls(player);
    ASSERT_EQ(calls.size(), 3);
    EXPECT_EQ(calls[1], "shape 1 at 10,20 #ff0000ff");
    player.nextFrame();
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 30,40 #ff0000ff");
    player.nextFrame();
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 30,40 #0000ffff");
    player.nextFrame();
    EXPECT_EQ(drawCalls(player).size(), 2);   // only beginFrame and endFrame
    player.nextFrame();                       // loops to the first frame
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 10,20 #ff0000ff");
}

TEST(DisplayList, DepthOrderAndPlaceObject1WithColorTransform) {
    sw::CxformSpec half;
    half.mult = std::array<std::int16_t, 4>{128, 128, 128, 256};
    auto movie = load({sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff), sw::rectangleShape(2, 0, 0, 10, 10, 0x00ff00ff),
                       sw::placeObject2({.depth = 5, .characterId = 1}),
                       sw::placeObject(2, 3, sw::MatrixSpec::translate(1, 2), half), sw::showFrame()});
    vp::Player player(movie);
    const auto calls = drawCalls(player);
    ASSERT_EQ(calls.size(), 4);
    EXPECT_TRUE(calls[1].startsWith("shape 1 at 1,2 #007f00ff")) << calls[1].toStdString();
    EXPECT_EQ(calls[2], "shape 1 at 0,0 #ff0000ff");
}

TEST(DisplayList, SpritesPlayInStepAndCompose) {
    auto movie = load({sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff),
                       sw::defineSprite(10, 3, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(),
                                                sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(100, 0)}), sw::showFrame(),
                                                sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(200, 0)}), sw::showFrame()}),
                       sw::placeObject2({.depth = 1, .characterId = 10, .matrix = sw::MatrixSpec::translate(1000, 0)}), sw::showFrame(),
                       sw::showFrame()},
                      2);
    vp::Player player(movie);
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 1000,0 #ff0000ff");
    player.nextFrame();
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 1100,0 #ff0000ff");
    player.nextFrame();   // root loops, the sprite stays and plays on
    EXPECT_EQ(player.currentFrame(), 1);
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 1200,0 #ff0000ff");
    player.nextFrame();
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 1000,0 #ff0000ff");
}

TEST(DisplayList, SpriteThatContainsItselfStaysEmpty) {
    auto movie = load({sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff),
                       sw::defineSprite(10, 1, {sw::placeObject2({.depth = 1, .characterId = 1}),
                                                sw::placeObject2({.depth = 2, .characterId = 10}), sw::showFrame()}),
                       sw::placeObject2({.depth = 1, .characterId = 10}), sw::showFrame()});
    vp::Player player(movie);
    const auto calls = drawCalls(player);
    EXPECT_EQ(calls.size(), 3);   // the shape once; the inner copy of the sprite draws nothing
    player.nextFrame();
    EXPECT_EQ(drawCalls(player), calls);
}

TEST(DisplayList, MasksCoverDepthsUpToTheirClipDepth) {
    auto movie = load({sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff),
                       sw::placeObject2({.depth = 1, .characterId = 1, .clipDepth = 3}),
                       sw::placeObject2({.depth = 2, .characterId = 1}),
                       sw::placeObject2({.depth = 3, .characterId = 1}),
                       sw::placeObject2({.depth = 4, .characterId = 1}), sw::showFrame()});
    vp::Player player(movie);
    const auto calls = drawCalls(player);
    ASSERT_EQ(calls.size(), 9);
    EXPECT_EQ(calls[1], "beginMask");
    EXPECT_EQ(calls[3], "useMask");
    EXPECT_EQ(calls[6], "endMask");
    EXPECT_TRUE(calls[7].startsWith("shape"));
}

TEST(DisplayList, FiltersAndBlendModesDrawThroughALayer) {
    sw::ByteWriter blur;
    blur.u8(1).u8(1).fixed16(4).fixed16(4).u8(1 << 3);
    auto movie = load({sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff),
                       sw::placeObject3({.depth = 1, .characterId = 1, .filterList = blur.take()}),
                       sw::placeObject3({.depth = 2, .characterId = 1, .blendMode = 3}), sw::showFrame()});
    vp::Player player(movie);
    const auto calls = drawCalls(player);
    ASSERT_EQ(calls.size(), 8);
    EXPECT_EQ(calls[1], "beginLayer");
    EXPECT_EQ(calls[3], "endLayer filters 1 blend 0");
    EXPECT_EQ(calls[6], "endLayer filters 0 blend 3");
}

class SteppingTest : public ::testing::TestWithParam<int> {};

// Going to a frame directly, by stepping back to it, or after rewinding, rebuilds the root's display
// list to what playing forward to it from the start shows (the sprites here hold still, so their own
// frames do not matter; see the next test for those).
TEST_P(SteppingTest, BackAndRewindMatchPlayingForward) {
    std::vector<sw::Bytes> tags{sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff), sw::rectangleShape(2, 0, 0, 10, 10, 0x00ff00ff),
                                sw::defineSprite(10, 1, {sw::placeObject2({.depth = 1, .characterId = 2,
                                                                           .matrix = sw::MatrixSpec::translate(50, 50)}),
                                                         sw::showFrame()})};
    for (int f = 0; f < 6; ++f) {
        tags.push_back(sw::placeObject2({.depth = static_cast<std::uint16_t>(f % 3 + 1), .characterId = static_cast<std::uint16_t>(f % 2 ? 1 : 10),
                                         .matrix = sw::MatrixSpec::translate(f * 100, f * 10)}));
        if (f == 4) tags.push_back(sw::removeObject2(2));
        if (f == 5) tags.push_back(sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(7, 7)}));
        tags.push_back(sw::showFrame());
    }
    auto movie = load(tags, 6);
    vp::Player forward(movie);
    std::vector<QStringList> expected;
    for (int f = 1; f <= 6; ++f) {
        expected.push_back(drawCalls(forward));
        forward.nextFrame();
    }
    const int target = GetParam();
    vp::Player stepped(movie);
    stepped.gotoFrame(6);
    for (int f = 6; f > target; --f) stepped.gotoFrame(f - 1);
    EXPECT_EQ(stepped.currentFrame(), target);
    EXPECT_EQ(drawCalls(stepped), expected[static_cast<std::size_t>(target - 1)]);
    stepped.rewind();
    EXPECT_EQ(drawCalls(stepped), expected[0]);
    stepped.gotoFrame(target);
    EXPECT_EQ(drawCalls(stepped), expected[static_cast<std::size_t>(target - 1)]);
}

// Going back keeps a sprite that is on both frames as it is, playing on from its own frame;
// one that was not there at the target frame is placed afresh.
TEST(DisplayList, GoingBackKeepsSpritesOnBothSides) {
    auto movie = load({sw::rectangleShape(1, 0, 0, 10, 10, 0xff0000ff),
                       sw::defineSprite(10, 3, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(),
                                                sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(100, 0)}), sw::showFrame(),
                                                sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(200, 0)}), sw::showFrame()}),
                       sw::placeObject2({.depth = 1, .characterId = 10}), sw::showFrame(),
                       sw::placeObject2({.depth = 2, .characterId = 10, .matrix = sw::MatrixSpec::translate(0, 500)}), sw::showFrame(),
                       sw::showFrame()},
                      3);
    vp::Player player(movie);
    player.nextFrame();
    player.nextFrame();
    ASSERT_EQ(player.currentFrame(), 3);
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 200,0 #ff0000ff");
    EXPECT_EQ(drawCalls(player)[2], "shape 1 at 100,500 #ff0000ff");
    player.gotoFrame(1);
    const auto calls = drawCalls(player);
    ASSERT_EQ(calls.size(), 3);   // the sprite of frame 2 is gone
    EXPECT_EQ(calls[1], "shape 1 at 200,0 #ff0000ff");   // the same instance, where it was
    player.nextFrame();
    EXPECT_EQ(drawCalls(player)[1], "shape 1 at 0,0 #ff0000ff");      // it plays on: loops to its frame 1
    EXPECT_EQ(drawCalls(player)[2], "shape 1 at 0,500 #ff0000ff");    // placed afresh at its first frame
}

INSTANTIATE_TEST_SUITE_P(Frames, SteppingTest, ::testing::Range(1, 7));

TEST(Movie, NotAMovieGivesAnEmptyInvalidMovie) {
    const std::vector<std::uint8_t> junk(100, 0x42);
    auto movie = vp::Movie::fromBytes(junk);
    EXPECT_FALSE(movie->isValid());
    EXPECT_FALSE(movie->diagnostics().empty());
    vp::Player player(movie);
    EXPECT_EQ(player.frameCount(), 1);
    EXPECT_EQ(drawCalls(player).size(), 2);
}

TEST(Movie, MissingFileIsAnEmptyMovie) {
    auto movie = vp::Movie::fromFile(QStringLiteral("/nonexistent/folder/movie.swf"));
    EXPECT_FALSE(movie->isValid());
}

TEST(Movie, AbsurdStageAndRateFallBackToDefaults) {
    sw::MovieSpec spec;
    spec.widthTwips = 0x3fffffff;
    spec.frameRate = 0;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, {sw::showFrame()}));
    EXPECT_TRUE(movie->isValid());
    EXPECT_LE(movie->stageRect().width(), 8192 * 20);
    EXPECT_GT(movie->playbackRate(), 0);
}

TEST(Movie, EveryPrefixOfAMovieLoadsPlaysAndDraws) {
    sw::MovieSpec spec;
    spec.frameCount = 3;
    const sw::Bytes full = sw::movie(spec, {sw::setBackgroundColor(0x102030), sw::rectangleShape(1, 0, 0, 100, 100, 0xff0000ff),
                                            sw::morphRectangles(2, 0, 0, 10, 10, 0xff0000ff, 5, 5, 20, 20, 0x00ff00ff),
                                            sw::defineSprite(10, 2, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(), sw::showFrame()}),
                                            sw::placeObject2({.depth = 1, .characterId = 10}), sw::placeObject2({.depth = 2, .characterId = 2, .ratio = 9}),
                                            sw::showFrame(), sw::removeObject2(1), sw::showFrame(), sw::showFrame()});
    for (std::size_t cut = 0; cut <= full.size(); ++cut) {
        auto movie = vp::Movie::fromBytes(std::span<const std::uint8_t>(full.data(), cut));
        vp::Player player(movie);
        for (int i = 0; i < 4; ++i) {
            const QStringList calls = drawCalls(player);
            ASSERT_GE(calls.size(), 2) << "cut at " << cut;
            player.nextFrame();
        }
        player.gotoFrame(1);
    }
}

TEST(Movie, BitmapThatDoesNotDecodeIsSkipped) {
    // A JPEG tag holding junk, used both on its own and as a fill.
    sw::ByteWriter body;
    body.u16(3).bytes(sw::Bytes{0xff, 0xd8, 0x00, 0x01, 0x02});
    sw::FillSpec fill;
    fill.type = 0x40;
    fill.bitmapId = 3;
    sw::ShapeBuilder s;
    s.fill(fill).style(std::nullopt, 1, std::nullopt).rect(0, 0, 100, 100);
    auto movie = load({sw::tag(21, body.data()), s.build(3, 1, 0, 100, 0, 100), sw::placeObject2({.depth = 1, .characterId = 1}),
                       sw::placeObject2({.depth = 2, .characterId = 3}), sw::showFrame()});
    EXPECT_TRUE(movie->bitmap(3).isNull());
    vp::Player player(movie);
    const auto calls = drawCalls(player);
    EXPECT_EQ(calls.size(), 4);   // the shape, and the bitmap as an empty drawing
    EXPECT_TRUE(calls[2].startsWith("shape 0"));
}
