// Sound in a playing movie: event sounds from any timeline, stream sound block by block, jumps and
// stepping, and how many frames the picture must move to keep up with the stream.
#include <gtest/gtest.h>

#include "player/movie.h"
#include "player/player.h"
#include "player/sound/mixer.h"
#include "player/stage.h"
#include "tests/sound/sound_fixtures.h"
#include "tests/support/action_writer.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

constexpr std::size_t kPerFrame = 4410;   // at 10 frames a second

MovieSpec tenFps(std::uint16_t frames) {
    MovieSpec spec;
    spec.frameRate = 10;
    spec.frameCount = frames;
    return spec;
}

Bytes constantBlock(std::int16_t value, std::size_t frames) {
    return littleEndian(std::vector<std::int16_t>(frames, value));
}

sound::Samples mixFrames(player::Player& p, std::size_t frames) {
    sound::Samples out(frames * 2);
    p.mixer()->mix(out.data(), frames);
    return out;
}

std::shared_ptr<player::Movie> load(const Bytes& bytes) { return player::Movie::fromBytes(bytes); }

Bytes exportAssets(std::uint16_t id, const std::string& name) {
    ByteWriter w;
    w.u16(1).u16(id).string(name);
    return tag(56, w.take());
}

}  // namespace

TEST(StageSound, EventSoundsStartFromTheRootAndFromSprites) {
    const Bytes pcm = constantBlock(1000, 20000);
    const Bytes other = constantBlock(300, 20000);
    auto movie = load(vistrel::testing::movie(
        tenFps(2), {defineSound(1, 3, 3, true, false, 20000, pcm), defineSound(2, 3, 3, true, false, 20000, other),
                    exportAssets(2, "Other"), defineSprite(5, 1, {startSound2("Other"), showFrame()}),
                    startSound(1), placeObject2({.depth = 1, .characterId = 5}), showFrame(), showFrame()}));
    player::Player p(movie);
    p.setSoundDevicePulling(true);   // the test takes the mix itself
    auto out = mixFrames(p, 100);
    EXPECT_EQ(out[0], 1300);
    EXPECT_EQ(out[1], 1300);
    // A stop flag silences that sound only.
    p.stage().startSound(*movie, 1, swf::SoundInfo{.syncStop = true});
    EXPECT_EQ(mixFrames(p, 1)[0], 300);
    // The seam buttons use: a sound character started with its own settings.
    EXPECT_NE(p.stage().startSound(*movie, 1, swf::SoundInfo{.loops = 2}), 0u);
    EXPECT_EQ(p.stage().startSound(*movie, 99, {}), 0u);   // no such sound
    EXPECT_EQ(mixFrames(p, 1)[0], 1300);
    p.stage().stopAllSounds();
    EXPECT_EQ(mixFrames(p, 1)[0], 0);
}

TEST(StageSound, StreamSoundFollowsTheTimelineAndRestartsAfterAJump) {
    auto movie = load(vistrel::testing::movie(
        tenFps(3), {soundStreamHead(2, 3, 3, true, false, kPerFrame), soundStreamBlock(constantBlock(1000, kPerFrame)),
                    showFrame(), soundStreamBlock(constantBlock(2000, kPerFrame)), showFrame(),
                    soundStreamBlock(constantBlock(3000, kPerFrame)), showFrame()}));
    player::Player p(movie);
    p.setSoundDevicePulling(true);   // the test takes the mix itself
    auto out = mixFrames(p, kPerFrame);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[2 * (kPerFrame - 1)], 1000);
    p.nextFrame();
    EXPECT_EQ(mixFrames(p, kPerFrame)[10], 2000);
    p.nextFrame();
    p.gotoFrame(1);   // what was queued goes; the target frame's block plays
    out = mixFrames(p, kPerFrame + 10);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[2 * (kPerFrame + 5)], 0);
}

TEST(StageSound, FramesWithoutABlockLetTheQueuedStreamPlayOn) {
    // Blocks longer than a frame leave some frames without one; that is no jump.
    auto movie = load(vistrel::testing::movie(
        tenFps(4), {soundStreamHead(2, 3, 3, true, false, 2 * kPerFrame),
                    soundStreamBlock(constantBlock(1000, 2 * kPerFrame)), showFrame(), showFrame(),
                    soundStreamBlock(constantBlock(2000, 2 * kPerFrame)), showFrame(), showFrame()}));
    player::Player p(movie);
    p.setSoundDevicePulling(true);   // the test takes the mix itself
    auto out = mixFrames(p, kPerFrame / 2);
    EXPECT_EQ(out[0], 1000);
    p.nextFrame();   // no block here
    out = mixFrames(p, kPerFrame / 2);
    EXPECT_EQ(out[2 * (kPerFrame / 2 - 1)], 1000);
    p.nextFrame();   // the first block is still half queued when the second arrives, and plays first
    out = mixFrames(p, 3 * kPerFrame);
    EXPECT_EQ(out[0], 1000);
    EXPECT_EQ(out[2 * (kPerFrame - 1)], 1000);
    EXPECT_EQ(out[2 * kPerFrame], 2000);
    EXPECT_EQ(out[2 * (3 * kPerFrame - 1)], 2000);
    // A jump back over a frame without a block still restarts the stream.
    p.gotoFrame(2);
    EXPECT_EQ(mixFrames(p, 1)[0], 0);
}

TEST(StageSound, StoppingAndSteppingPlayNothing) {
    auto movie = load(vistrel::testing::movie(
        tenFps(2), {defineSound(1, 3, 3, true, false, 40000, constantBlock(500, 40000)),
                    soundStreamHead(1, 3, 3, true, false, kPerFrame), startSound(1),
                    soundStreamBlock(constantBlock(1000, kPerFrame)), showFrame(),
                    soundStreamBlock(constantBlock(2000, kPerFrame)), showFrame()}));
    player::Player p(movie);
    p.setSoundDevicePulling(true);   // the test takes the mix itself
    EXPECT_EQ(mixFrames(p, 1)[0], 1500);
    p.setSoundEnabled(false);
    EXPECT_EQ(mixFrames(p, 1)[0], 0);
    p.nextFrame();
    p.gotoFrame(1);
    EXPECT_EQ(mixFrames(p, 1)[0], 0);
    p.setSoundEnabled(true);
    p.nextFrame();
    EXPECT_EQ(mixFrames(p, 1)[0], 2000);
}

TEST(StageSound, StreamSoundSetsHowManyFramesThePictureMoves) {
    std::vector<Bytes> tags = {soundStreamHead(2, 3, 3, true, false, kPerFrame)};
    for (int i = 0; i < 6; ++i) {
        tags.push_back(soundStreamBlock(constantBlock(100, kPerFrame)));
        tags.push_back(showFrame());
    }
    player::Player p(load(vistrel::testing::movie(tenFps(6), tags)));
    // Without a device pulling, the frame rate alone paces the movie.
    EXPECT_EQ(p.framesDue(), 1);
    p.setSoundDevicePulling(true);
    EXPECT_EQ(p.framesDue(), 1);   // less than the lead is queued
    p.nextFrame();
    p.nextFrame();
    // At 10 frames a second the sound is kept 0.17 s ahead (a frame, half a frame of timer slack and a
    // 0.02 s reserve); three frames (0.3 s) are queued, more than a frame past that: the picture waits.
    EXPECT_EQ(p.framesDue(), 0);
    // Less than a frame past it, the frame rate goes on.
    mixFrames(p, 3 * kPerFrame - 11900);
    EXPECT_EQ(p.framesDue(), 1);
    // Late ticks that let the queue fall, down to the reserve, still move one frame: no drawing is skipped.
    mixFrames(p, 11900 - 1000);
    EXPECT_EQ(p.framesDue(), 1);
    // Below the reserve the sound ran ahead: catch up, skipping a drawing.
    mixFrames(p, 200);
    EXPECT_EQ(p.framesDue(), 2);
}

TEST(StageSound, BadSoundDataIsSilentAndTheMoviePlays) {
    ByteWriter w;
    w.u16(3).u8(0x2e).u32(0xffffffffu);   // MP3 declaring four billion samples, with no data
    auto movie = load(vistrel::testing::movie(
        tenFps(2), {soundStreamBlock(constantBlock(1000, 100)),   // a block before any head
                    tag(14, w.take()), startSound(3), defineSound(4, 13, 3, true, false, 10, Bytes(20, 1)),
                    startSound(4), showFrame(), showFrame()}));
    ASSERT_TRUE(movie->isValid());
    player::Player p(movie);
    p.setSoundDevicePulling(true);   // the test takes the mix itself
    p.nextFrame();
    auto out = mixFrames(p, 1000);
    EXPECT_EQ(peak(out), 0);
    EXPECT_EQ(p.currentFrame(), 2);
}

TEST(StageSound, ButtonsPlayTheSoundOfEachStateChange) {
    // Sounds 1-4 at levels 1000-4000; the button's sound for each change names one.
    std::vector<Bytes> tags;
    for (std::uint16_t id = 1; id <= 4; ++id)
        tags.push_back(defineSound(id, 3, 3, true, false, 20000, constantBlock(static_cast<std::int16_t>(1000 * id), 20000)));
    tags.push_back(rectangleShape(8, 0, 0, 1000, 1000, 0xff0000ff));
    tags.push_back(defineButton2(10, {{.states = 15, .characterId = 8, .depth = 1}}, {}));
    // Over to up plays 1, up to over 2, over to down 3, down to over 4.
    tags.push_back(defineButtonSound(10, {1, 2, 3, 4}));
    tags.push_back(placeObject2({.depth = 1, .characterId = 10}));
    tags.push_back(showFrame());
    player::Player p(load(vistrel::testing::movie(tenFps(1), tags)));
    p.setSoundDevicePulling(true);   // the test takes the mix itself
    EXPECT_EQ(mixFrames(p, 1)[0], 0);
    p.mouseMove(QPointF(10, 10));
    EXPECT_EQ(mixFrames(p, 1)[0], 2000);
    p.mouseDown(QPointF(10, 10));
    EXPECT_EQ(mixFrames(p, 1)[0], 2000 + 3000);
    p.mouseUp(QPointF(10, 10));
    EXPECT_EQ(mixFrames(p, 1)[0], 2000 + 3000 + 4000);
    p.mouseMove(QPointF(200, 200));
    EXPECT_EQ(mixFrames(p, 1)[1], 2000 + 3000 + 4000 + 1000);
    // A state change without a sound for it plays nothing more.
    player::Player quiet(load(vistrel::testing::movie(
        tenFps(1), {defineSound(1, 3, 3, true, false, 20000, constantBlock(1000, 20000)),
                    rectangleShape(8, 0, 0, 1000, 1000, 0xff0000ff),
                    defineButton2(10, {{.states = 15, .characterId = 8, .depth = 1}}, {}),
                    defineButtonSound(10, {0, 0, 1, 0}), placeObject2({.depth = 1, .characterId = 10}), showFrame()})));
    quiet.setSoundDevicePulling(true);
    quiet.mouseMove(QPointF(10, 10));
    EXPECT_EQ(mixFrames(quiet, 1)[0], 0);
    quiet.mouseDown(QPointF(10, 10));
    EXPECT_EQ(mixFrames(quiet, 1)[0], 1000);
}

TEST(StageSound, AnMp3StreamStartingAtABlockDropsThatBlocksSeekSamples) {
    const auto mp3 = encodeMp3(500, 0.5, 22050, 1);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    // Every block holds the whole sound; they differ only in their seek samples (source samples).
    auto block = [&mp3](std::int16_t seek) {
        ByteWriter w;
        w.u16(11025).s16(seek);
        Bytes b = w.take();
        b.insert(b.end(), mp3->begin(), mp3->end());
        return soundStreamBlock(b);
    };
    // What is queued after a jump to a frame (numbered from 1; 0: no jump, the first frame only).
    auto queuedAfterJump = [&](int frame, std::optional<std::int16_t> latency) {
        auto movie = load(vistrel::testing::movie(
            tenFps(4), {soundStreamHead(2, 2, 2, true, false, 2205, latency), block(0), showFrame(), showFrame(),
                        block(0), showFrame(), block(1000), showFrame()}));
        player::Player p(movie);
        p.setSoundDevicePulling(true);   // the test takes the mix itself
        if (frame > 0) p.gotoFrame(frame);
        return static_cast<double>(p.mixer()->streamQueued(p.stage().root().serial()));
    };
    const double whole = queuedAfterJump(3, std::nullopt);
    EXPECT_GT(whole, 0.4 * sound::kOutputRate);
    // 1000 source samples at 22.05 kHz are 2000 output frames.
    EXPECT_NEAR(whole - queuedAfterJump(4, std::nullopt), 2000, 2);
    EXPECT_NEAR(whole - queuedAfterJump(0, std::nullopt), 0, 2);
    // The first block gives none: the head's latency says what to drop; a later block's own seek wins,
    // and a later block without one drops nothing.
    EXPECT_NEAR(whole - queuedAfterJump(0, 500), 1000, 2);
    EXPECT_NEAR(whole - queuedAfterJump(4, 500), 2000, 2);
    EXPECT_NEAR(whole - queuedAfterJump(3, 500), 0, 2);
}
