// The mixer: sums and clips, loops, in and out points, envelopes, sync flags, stream channels, limits.
#include <gtest/gtest.h>

#include "player/sound/mixer.h"

using namespace vistrel;

namespace {

// A constant level on both sides, `frames` long.
sound::SharedSamples level(std::int16_t value, std::size_t frames) {
    return std::make_shared<const sound::Samples>(frames * 2, value);
}

sound::Samples mixFrames(sound::Mixer& m, std::size_t frames) {
    sound::Samples out(frames * 2);
    m.mix(out.data(), frames);
    return out;
}

}  // namespace

TEST(SoundMixer, SoundsAddUpAndClipInsteadOfWrapping) {
    sound::Mixer m;
    m.start(level(1000, 100), {});
    m.start(level(2000, 50), {});
    auto out = mixFrames(m, 100);
    EXPECT_EQ(out[0], 3000);
    EXPECT_EQ(out[2 * 60], 1000);
    sound::Mixer loud;
    for (int i = 0; i < 4; ++i) loud.start(level(20000, 10), {});
    for (int i = 0; i < 4; ++i) loud.start(level(-20000, 10), {});
    loud.start(level(30000, 10), {});
    EXPECT_EQ(mixFrames(loud, 1)[0], 30000);
    sound::Mixer over;
    over.start(level(30000, 10), {});
    over.start(level(30000, 10), {});
    EXPECT_EQ(mixFrames(over, 1)[0], 32767);
    over.stopAll();
    over.start(level(-30000, 10), {});
    over.start(level(-30000, 10), {});
    EXPECT_EQ(mixFrames(over, 1)[0], -32768);
}

TEST(SoundMixer, LoopsAndInOutPointsSetWhatPlaysAndForHowLong) {
    auto ramp = std::make_shared<sound::Samples>();
    for (int i = 0; i < 100; ++i) ramp->insert(ramp->end(), {std::int16_t(i), std::int16_t(i)});
    sound::Mixer m;
    swf::SoundInfo info;
    info.inPoint = 10;
    info.outPoint = 20;
    info.loops = 3;
    const auto voice = m.start(ramp, info);
    ASSERT_NE(voice, 0u);
    auto out = mixFrames(m, 40);
    EXPECT_EQ(out[0], 10);
    EXPECT_EQ(out[2 * 9], 19);
    EXPECT_EQ(out[2 * 10], 10);   // the second time round starts at the in point again
    EXPECT_EQ(out[2 * 29], 19);
    EXPECT_EQ(out[2 * 30], 0);    // three times, then silence
    EXPECT_FALSE(m.voicePlaying(voice));
    EXPECT_EQ(m.takeFinished(), std::vector<std::uint64_t>{voice});
    // An out point before the in point plays nothing.
    info.inPoint = 50;
    info.outPoint = 40;
    EXPECT_EQ(m.start(ramp, info), 0u);
}

TEST(SoundMixer, EnvelopesShapeEachSideOverTime) {
    sound::Mixer m;
    swf::SoundInfo info;
    info.envelope = {{0, 32768, 0}, {1000, 0, 32768}};
    m.start(level(10000, 2000), info);
    auto out = mixFrames(m, 2000);
    EXPECT_NEAR(out[0], 10000, 10);
    EXPECT_EQ(out[1], 0);
    EXPECT_NEAR(out[2 * 512], 5000, 400);   // halfway, both sides meet
    EXPECT_NEAR(out[2 * 512 + 1], 5000, 400);
    EXPECT_EQ(out[2 * 1500], 0);            // past the last point its levels hold
    EXPECT_NEAR(out[2 * 1500 + 1], 10000, 10);
}

TEST(SoundMixer, SyncFlagsStopAndRefuseSecondInstances) {
    sound::Mixer m;
    auto s = level(100, 1000);
    swf::SoundInfo once;
    once.syncNoMultiple = true;
    EXPECT_NE(m.start(s, once), 0u);
    EXPECT_EQ(m.start(s, once), 0u);   // already playing
    EXPECT_NE(m.start(s, {}), 0u);     // without the flag a second instance joins
    EXPECT_EQ(mixFrames(m, 1)[0], 200);
    swf::SoundInfo stop;
    stop.syncStop = true;
    m.start(s, stop);
    EXPECT_FALSE(m.playing(s.get()));
    EXPECT_EQ(mixFrames(m, 1)[0], 0);
}

TEST(SoundMixer, ThousandsOfStartsInOneFrameAreBounded) {
    sound::Mixer m;
    auto s = level(1, 100000);
    for (int i = 0; i < 10000; ++i) m.start(s, {});
    EXPECT_EQ(m.voiceCount(), sound::kMaxVoices);
    auto out = mixFrames(m, 10);
    EXPECT_EQ(out[0], static_cast<std::int16_t>(sound::kMaxVoices));
    m.stopAll();
    EXPECT_EQ(m.voiceCount(), 0u);
}

TEST(SoundMixer, StreamChannelsPlayWhatArrivedAndStopAtOnce) {
    sound::Mixer m;
    const sound::Samples block(200, 500);
    m.streamAppend(7, block);
    m.streamAppend(7, block);
    EXPECT_EQ(m.streamQueued(7), 200u);
    auto out = mixFrames(m, 150);
    EXPECT_EQ(out[0], 500);
    EXPECT_EQ(out[2 * 149], 500);
    EXPECT_EQ(m.streamQueued(7), 50u);
    out = mixFrames(m, 100);
    EXPECT_EQ(out[2 * 49], 500);
    EXPECT_EQ(out[2 * 50], 0);   // ran dry: silence, not a repeat
    m.streamAppend(7, block);
    m.streamStop(7);
    EXPECT_EQ(mixFrames(m, 10)[0], 0);
    // A stream cannot grow without bound.
    const sound::Samples big(sound::kOutputRate * 2, 1);
    for (int i = 0; i < 30; ++i) m.streamAppend(8, big);
    EXPECT_LE(m.streamQueued(8), sound::kMaxStreamFrames);
}

TEST(SoundMixer, GroupMixesScaleAndCrossEachSide) {
    sound::Mixer m;
    m.start(level(10000, 10), {}, 5);
    m.start(level(1000, 10), {}, 6);
    m.setGroupMix(5, {0.5f, 0, 0, 0});
    auto out = mixFrames(m, 1);
    EXPECT_EQ(out[0], 6000);
    EXPECT_EQ(out[1], 1000);
    // Each output side takes its share of both inputs.
    sound::Samples sides(20);
    for (std::size_t i = 0; i < sides.size(); i += 2) sides[i] = 4000, sides[i + 1] = -2000;
    m.start(std::make_shared<const sound::Samples>(sides), {}, 7);
    m.setGroupMix(7, {0, 1, 0, 1});   // left and right change places
    out = mixFrames(m, 1);
    EXPECT_EQ(out[0], 5000 + 1000 - 2000);
    EXPECT_EQ(out[1], 1000 + 4000);
    m.setGroupMix(7, {0.5f, 0.5f, 0.25f, 0.25f});
    out = mixFrames(m, 1);
    EXPECT_EQ(out[0], 5000 + 1000 + 1000);
    EXPECT_EQ(out[1], 1000 + 500);
    // A mix applied after another: the holder's settings after the clip's own.
    const sound::ChannelMix swap{0, 1, 0, 1}, halfLeft{0.5f, 0, 1, 0};
    EXPECT_EQ(halfLeft.after(swap), (sound::ChannelMix{0, 0.5f, 0, 1}));
    EXPECT_EQ(swap.after(halfLeft), (sound::ChannelMix{0, 1, 0, 0.5f}));
    m.stopGroup(5);
    m.stopGroup(7);
    EXPECT_EQ(mixFrames(m, 1)[0], 1000);
    // Stream channels take a mix the same way.
    m.streamAppend(9, sides);
    m.streamSetMix(9, swap);
    out = mixFrames(m, 1);
    EXPECT_EQ(out[0], 1000 - 2000);
    EXPECT_EQ(out[1], 1000 + 4000);
}
