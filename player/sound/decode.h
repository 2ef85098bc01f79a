// Turns a movie's sound data, whatever its format, into 44.1 kHz stereo 16-bit samples (interleaved),
// the one form the mixer plays.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "player/swf/tags_sound.h"

namespace vistrel::sound {

inline constexpr int kOutputRate = 44100;
// Samples of one sound after decoding, at most: ten minutes. Longer declared or decoded sounds are cut.
inline constexpr std::size_t kMaxSoundFrames = std::size_t(kOutputRate) * 600;

using Samples = std::vector<std::int16_t>;   // interleaved left/right at kOutputRate
using SharedSamples = std::shared_ptr<const Samples>;

// Decodes one codec stream piece by piece, keeping the codec's and the resampler's state between pieces
// (stream sound arrives one block per frame). Damaged data decodes to silence or nothing.
class Decoder {
public:
    explicit Decoder(const swf::SoundFormat& format);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Appends what `data` decodes to. PCM and ADPCM pieces stand alone; MP3 frames may continue.
    void decode(std::span<const std::uint8_t> data, Samples& out);
    // Appends what the codec and resampler still hold.
    void flush(Samples& out);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// A whole event sound: MP3's seek samples are skipped and the result is cut to the declared length.
SharedSamples decodeSound(const swf::DefineSound& sound);

// One stream block's audio data (MP3 blocks start with their sample count and seek samples).
std::span<const std::uint8_t> streamBlockAudio(const swf::SoundFormat& format, std::span<const std::uint8_t> block);
// The source samples a stream starting at this block drops first (its MP3 seek samples); 0 for other formats.
int streamBlockSeek(const swf::SoundFormat& format, std::span<const std::uint8_t> block);

// ADPCM as movies store it: 2-5 bits a sample, packets of 4096 samples per channel. Output is at the
// source rate, interleaved when stereo; at most `maxFrames` frames are decoded.
std::vector<std::int16_t> decodeAdpcm(std::span<const std::uint8_t> data, bool stereo, std::size_t maxFrames);

}  // namespace vistrel::sound
