// Decoding every sound format to 44.1 kHz stereo: tones keep their pitch and length; damaged data
// plays as silence or as far as it is whole.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "player/sound/decode.h"
#include "tests/sound/sound_fixtures.h"

using namespace vistrel;
using namespace vistrel::testing;

namespace {

swf::DefineSound soundOf(int format, int rateCode, bool sixteen, bool stereo, std::uint32_t count, const Bytes& data) {
    swf::DefineSound s;
    s.id = 1;
    s.format.format = format;
    s.format.rateCode = rateCode;
    s.format.sixteenBit = sixteen;
    s.format.stereo = stereo;
    s.sampleCount = count;
    s.data = std::make_shared<const std::vector<std::uint8_t>>(data);
    return s;
}

// Decodes packets one after another as a stream's blocks arrive.
sound::Samples decodeBlocks(const swf::SoundFormat& format, const std::vector<Bytes>& blocks) {
    sound::Decoder decoder(format);
    sound::Samples out;
    for (const Bytes& b : blocks) decoder.decode(b, out);
    decoder.flush(out);
    return out;
}

swf::SoundFormat formatOf(int format, int rateCode, bool stereo) {
    swf::SoundFormat f;
    f.format = format;
    f.rateCode = rateCode;
    f.stereo = stereo;
    return f;
}

}  // namespace

TEST(SoundDecode, UncompressedPcmInEverySizeAndOrderKeepsPitchAndLength) {
    // 16-bit little-endian, 44.1 kHz mono.
    const auto pcm16 = tone(440, 0.5, 44100);
    auto a = sound::decodeSound(soundOf(3, 3, true, false, static_cast<std::uint32_t>(pcm16.size()), littleEndian(pcm16)));
    EXPECT_NEAR(seconds(*a), 0.5, 0.01);
    EXPECT_NEAR(measuredFrequency(*a), 440, 440 * 0.02);
    // Mono plays on both sides alike.
    EXPECT_EQ((*a)[2000], (*a)[2001]);
    // Native order, stereo, 22 kHz: resampled to twice as many frames.
    const auto stereo = tone(300, 0.4, 22050, 2);
    auto b = sound::decodeSound(soundOf(0, 2, true, true, static_cast<std::uint32_t>(stereo.size() / 2), littleEndian(stereo)));
    EXPECT_NEAR(seconds(*b), 0.4, 0.01);
    EXPECT_NEAR(measuredFrequency(*b), 300, 300 * 0.02);
    // 8-bit samples are unsigned, 128 the silence.
    Bytes eight;
    for (std::int16_t v : tone(200, 0.5, 11025)) eight.push_back(static_cast<std::uint8_t>((v >> 8) + 128));
    auto c = sound::decodeSound(soundOf(3, 1, false, false, static_cast<std::uint32_t>(eight.size()), eight));
    EXPECT_NEAR(seconds(*c), 0.5, 0.01);
    EXPECT_NEAR(measuredFrequency(*c), 200, 200 * 0.03);
    EXPECT_GT(peak(*c), 8000);
}

TEST(SoundDecode, DeclaredLengthCutsTheSound) {
    const auto pcm = tone(440, 1.0, 44100);
    auto s = sound::decodeSound(soundOf(3, 3, true, false, 22050, littleEndian(pcm)));
    EXPECT_NEAR(seconds(*s), 0.5, 0.005);
}

TEST(SoundDecode, AdpcmOfEveryCodeSizeDecodesAnEncodedTone) {
    const auto packets = encodeWithFfmpeg("adpcm_swf", 500, 0.5, 22050, 1);
    if (!packets) GTEST_SKIP() << "ffmpeg cannot encode ADPCM here";
    auto out = decodeBlocks(formatOf(1, 2, false), *packets);
    EXPECT_NEAR(seconds(out), 0.5, 0.2);
    EXPECT_NEAR(measuredFrequency(out), 500, 500 * 0.03);
    EXPECT_GT(peak(out), 3500);   // the tone source peaks at an eighth of full scale
    // The stereo encoding decodes to the same tone on both sides.
    const auto both = encodeWithFfmpeg("adpcm_swf", 700, 0.5, 44100, 2);
    ASSERT_TRUE(both);
    auto st = decodeBlocks(formatOf(1, 3, true), *both);
    EXPECT_NEAR(measuredFrequency(st), 700, 700 * 0.03);
    EXPECT_NEAR(st[20000], st[20001], 200);
}

TEST(SoundDecode, AdpcmCodeSizesTwoToFiveFollowASlowRamp) {
    // Hand-made packets: a start sample of 0, step index 0, then codes that each say "up by the
    // largest step": every code size must climb, the smaller sizes more slowly.
    double previous = 0;
    for (int bits = 5; bits >= 2; --bits) {
        BitWriter w;
        w.writeUB(2, static_cast<std::uint32_t>(bits - 2));
        w.writeSB(16, 0);
        w.writeUB(6, 0);
        const std::uint32_t up = (1u << (bits - 1)) - 1;   // sign bit clear, every magnitude bit set
        for (int i = 0; i < 200; ++i) w.writeUB(bits, up);
        const Bytes data = w.finish();
        const auto pcm = sound::decodeAdpcm(data, false, 100000);
        ASSERT_GE(pcm.size(), 200u) << bits;
        for (std::size_t i = 1; i < 200; ++i) ASSERT_GE(pcm[i], pcm[i - 1]) << bits << " at " << i;
        EXPECT_GT(pcm[199], 1000) << bits;
        if (previous > 0) {
            EXPECT_LE(pcm[50], previous) << bits;
        }
        previous = pcm[50];
    }
}

TEST(SoundDecode, Mp3SkipsItsSeekSamplesAndKeepsPitch) {
    const auto mp3 = encodeMp3(440, 1.0, 22050, 1);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    Bytes data = {0, 0};   // no seek samples
    data.insert(data.end(), mp3->begin(), mp3->end());
    auto s = sound::decodeSound(soundOf(2, 2, true, false, 22050, data));
    EXPECT_NEAR(seconds(*s), 1.0, 0.01);
    EXPECT_NEAR(measuredFrequency(*s), 440, 440 * 0.02);
    // Seek samples drop that many source samples from the start.
    Bytes skipped = {0x00, 0x04};   // 1024
    skipped.insert(skipped.end(), mp3->begin(), mp3->end());
    auto t = sound::decodeSound(soundOf(2, 2, true, false, 0, skipped));
    auto whole = sound::decodeSound(soundOf(2, 2, true, false, 0, data));
    EXPECT_NEAR(double(whole->size() - t->size()) / 2, 2048, 2);
    // 44.1 kHz stereo too.
    const auto st = encodeMp3(1000, 0.5, 44100, 2);
    ASSERT_TRUE(st);
    Bytes sd = {0, 0};
    sd.insert(sd.end(), st->begin(), st->end());
    auto u = sound::decodeSound(soundOf(2, 3, true, true, 0, sd));
    EXPECT_NEAR(measuredFrequency(*u), 1000, 1000 * 0.02);
}

TEST(SoundDecode, Mp3StreamBlocksCarryOnAcrossFrameBoundaries) {
    const auto mp3 = encodeMp3(600, 1.0, 44100, 1);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    // Blocks cut anywhere, even inside MP3 frames: the decoder joins them.
    std::vector<Bytes> blocks;
    for (std::size_t at = 0; at < mp3->size(); at += 333)
        blocks.emplace_back(mp3->begin() + static_cast<std::ptrdiff_t>(at),
                            mp3->begin() + static_cast<std::ptrdiff_t>(std::min(mp3->size(), at + 333)));
    auto out = decodeBlocks(formatOf(2, 3, false), blocks);
    EXPECT_NEAR(seconds(out), 1.0, 0.06);
    EXPECT_NEAR(measuredFrequency(out), 600, 600 * 0.02);
    // A stream block's audio begins after its sample count and seek samples.
    const Bytes block = {1, 0, 2, 0, 0xff, 0xfb};
    const auto audio = sound::streamBlockAudio(formatOf(2, 3, false), block);
    EXPECT_EQ(audio.size(), 2u);
    EXPECT_EQ(audio[0], 0xff);
}

TEST(SoundDecode, NellymoserAndSpeexDecodeEncodedTones) {
    for (int rate : {8000, 16000, 22050}) {
        const auto packets = encodeWithFfmpeg("nellymoser", 440, 1.0, rate, 1);
        if (!packets) GTEST_SKIP() << "ffmpeg cannot encode Nellymoser here";
        const int format = rate == 8000 ? 5 : rate == 16000 ? 4 : 6;
        auto out = decodeBlocks(formatOf(format, 2, false), *packets);
        EXPECT_NEAR(seconds(out), 1.0, 0.1) << rate;
        EXPECT_NEAR(measuredFrequency(out), 440, 440 * 0.05) << rate;
    }
    const auto speex = encodeWithFfmpeg("libspeex", 440, 1.0, 16000, 1);
    if (!speex) GTEST_SKIP() << "ffmpeg cannot encode Speex here";
    auto out = decodeBlocks(formatOf(11, 0, false), *speex);
    EXPECT_NEAR(seconds(out), 1.0, 0.1);
    EXPECT_NEAR(measuredFrequency(out), 440, 440 * 0.05);
}

TEST(SoundDecode, DamagedDataNeverCrashesAndStaysBounded) {
    std::mt19937 random(7);
    for (int format : {0, 1, 2, 3, 4, 5, 6, 7, 9, 11, 15}) {
        for (int round = 0; round < 20; ++round) {
            Bytes junk(static_cast<std::size_t>(random() % 3000));
            for (auto& b : junk) b = static_cast<std::uint8_t>(random());
            // Declared lengths may be anything: the result never exceeds the cap.
            auto s = sound::decodeSound(soundOf(format, round % 4, round % 2, round % 3 == 0, random(), junk));
            EXPECT_LE(s->size() / 2, sound::kMaxSoundFrames);
        }
    }
    // An MP3 cut inside a frame keeps the frames before the cut.
    const auto mp3 = encodeMp3(440, 1.0, 44100, 1);
    if (!mp3) GTEST_SKIP() << "ffmpeg cannot encode MP3 here";
    Bytes half = {0, 0};
    half.insert(half.end(), mp3->begin(), mp3->begin() + static_cast<std::ptrdiff_t>(mp3->size() / 2 + 37));
    auto s = sound::decodeSound(soundOf(2, 3, true, false, 44100, half));
    EXPECT_NEAR(seconds(*s), 0.5, 0.08);
    EXPECT_NEAR(measuredFrequency(*s), 440, 440 * 0.03);
}
