// Reading the sound tags: formats, SOUNDINFO fields, stream heads and blocks, damaged bodies.
#include <gtest/gtest.h>

#include "player/swf/parser.h"
#include "tests/sound/sound_fixtures.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

template <typename T>
const T* tagOf(const swf::ParsedMovie& m, std::size_t index) {
    return index < m.tags.size() ? std::get_if<T>(&m.tags[index].tag) : nullptr;
}

}  // namespace

TEST(SoundTags, DefineSoundKeepsFormatCountAndData) {
    const Bytes data = {1, 2, 3, 4, 5, 6};
    const auto m = swf::parseMovie(movie({}, {defineSound(7, 3, 2, true, true, 1234, data)}));
    const auto* d = tagOf<swf::DefineSound>(m, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->id, 7);
    EXPECT_EQ(d->format.format, swf::soundformat::kPcmLittle);
    EXPECT_EQ(d->format.sampleRate(), 22050);
    EXPECT_TRUE(d->format.sixteenBit);
    EXPECT_TRUE(d->format.stereo);
    EXPECT_EQ(d->sampleCount, 1234u);
    ASSERT_TRUE(d->data);
    EXPECT_EQ(*d->data, data);
}

TEST(SoundTags, RatesOfFixedRateCodecsIgnoreTheRateBits) {
    swf::SoundFormat f;
    for (auto [format, rate] : {std::pair{4, 16000}, {5, 8000}, {11, 16000}}) {
        f.format = format;
        f.rateCode = 3;
        EXPECT_EQ(f.sampleRate(), rate) << format;
    }
    f.format = 1;
    f.rateCode = 0;
    EXPECT_EQ(f.sampleRate(), 5512);
}

TEST(SoundTags, StartSoundReadsEverySoundInfoField) {
    SoundInfoSpec info{.stop = false, .noMultiple = true, .in = 100, .out = 5000, .loops = 3,
                       .envelope = {{0, 32768, 0}, {44100, 0, 32768}}};
    const auto m = swf::parseMovie(movie({}, {startSound(9, info), startSound2("Boom", SoundInfoSpec{.stop = true})}));
    const auto* s = tagOf<swf::StartSound>(m, 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->soundId, 9);
    EXPECT_TRUE(s->info.syncNoMultiple);
    EXPECT_FALSE(s->info.syncStop);
    EXPECT_EQ(s->info.inPoint, 100u);
    EXPECT_EQ(s->info.outPoint, 5000u);
    EXPECT_EQ(s->info.loops, 3);
    ASSERT_EQ(s->info.envelope.size(), 2u);
    EXPECT_EQ(s->info.envelope[1].position, 44100u);
    EXPECT_EQ(s->info.envelope[1].left, 0);
    EXPECT_EQ(s->info.envelope[1].right, 32768);
    const auto* s2 = tagOf<swf::StartSound>(m, 1);
    ASSERT_NE(s2, nullptr);
    EXPECT_EQ(s2->className, "Boom");
    EXPECT_TRUE(s2->info.syncStop);
    EXPECT_FALSE(s2->info.inPoint);
    EXPECT_EQ(s2->info.loops, 1);
}

TEST(SoundTags, StreamHeadsAndBlocks) {
    const Bytes block = {9, 8, 7};
    const auto m = swf::parseMovie(movie({}, {soundStreamHead(1, 1, 1, true, false, 512),
                                              soundStreamHead(2, 2, 3, true, true, 1152, std::int16_t(-3)),
                                              soundStreamBlock(block)}));
    const auto* h1 = tagOf<swf::SoundStreamHead>(m, 0);
    const auto* h2 = tagOf<swf::SoundStreamHead>(m, 1);
    const auto* b = tagOf<swf::SoundStreamBlock>(m, 2);
    ASSERT_TRUE(h1 && h2 && b);
    EXPECT_EQ(h1->version, 1);
    EXPECT_EQ(h1->stream.format, swf::soundformat::kAdpcm);
    EXPECT_EQ(h1->stream.sampleRate(), 11025);
    EXPECT_EQ(h1->samplesPerBlock, 512);
    EXPECT_EQ(h2->version, 2);
    EXPECT_EQ(h2->stream.format, swf::soundformat::kMp3);
    EXPECT_TRUE(h2->stream.stereo);
    EXPECT_EQ(h2->latencySeek, -3);
    EXPECT_EQ(*b->data, block);
}

TEST(SoundTags, DamagedSoundInfoBecomesADiagnosticAndLaterTagsStillRead) {
    // An envelope claiming 200 points in a few bytes, then an intact tag.
    ByteWriter w;
    w.u16(1).u8(0x08).u8(200).u32(0);
    const auto m = swf::parseMovie(movie({}, {tag(15, w.take()), startSound(2)}));
    EXPECT_FALSE(m.diagnostics.empty());
    ASSERT_NE(tagOf<swf::StartSound>(m, 1), nullptr);
    EXPECT_EQ(tagOf<swf::StartSound>(m, 1)->soundId, 2);
}

TEST(SoundTags, ButtonSoundsKeepHowEachPlays) {
    ByteWriter w;
    w.u16(3).u16(0).u16(5).bytes(soundInfo({.loops = 2})).u16(0).u16(6).bytes(soundInfo({.stop = true}));
    const auto m = swf::parseMovie(movie({}, {tag(17, w.take())}));
    const auto* b = tagOf<swf::DefineButtonSound>(m, 0);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->soundId[1], 5);
    EXPECT_EQ(b->info[1].loops, 2);
    EXPECT_EQ(b->soundId[3], 6);
    EXPECT_TRUE(b->info[3].syncStop);
}
