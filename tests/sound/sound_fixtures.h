// Sound fixtures the tests make themselves: tones as PCM, codec data encoded by the ffmpeg command at
// test time (absent: the caller skips), and measurements of decoded tones.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/sound/decode.h"
#include "tests/support/swf_writer.h"

namespace vistrel::testing {

// A sine tone as 16-bit samples (interleaved when stereo).
std::vector<std::int16_t> tone(double hz, double seconds, int rate, int channels = 1, double amplitude = 12000);
Bytes littleEndian(const std::vector<std::int16_t>& samples);

// The audio packets of an FLV file ffmpeg writes with `codec` from a sine tone, each packet without its
// format byte; nullopt when ffmpeg is missing or cannot encode.
std::optional<std::vector<Bytes>> encodeWithFfmpeg(const std::string& codec, double hz, double seconds, int rate,
                                                   int channels);
// A raw MP3 file of a tone, nullopt without ffmpeg.
std::optional<Bytes> encodeMp3(double hz, double seconds, int rate, int channels);

// Frequency of the left channel of output samples from zero crossings over the middle of the sound.
double measuredFrequency(const sound::Samples& samples);
double seconds(const sound::Samples& samples);
double peak(const sound::Samples& samples, std::size_t from = 0, std::size_t to = SIZE_MAX);

// Tags of the sound chapter, written by hand.
struct SoundInfoSpec {
    bool stop = false, noMultiple = false;
    std::optional<std::uint32_t> in, out;
    std::optional<std::uint16_t> loops;
    std::vector<std::array<std::uint32_t, 3>> envelope;   // position, left, right
};
Bytes soundInfo(const SoundInfoSpec& s);
Bytes defineSound(std::uint16_t id, int format, int rateCode, bool sixteen, bool stereo, std::uint32_t samples,
                  const Bytes& data);
Bytes startSound(std::uint16_t id, const SoundInfoSpec& info = {});
Bytes startSound2(const std::string& className, const SoundInfoSpec& info = {});
Bytes soundStreamHead(int version, int format, int rateCode, bool sixteen, bool stereo, std::uint16_t perBlock,
                      std::optional<std::int16_t> latency = std::nullopt);
Bytes soundStreamBlock(const Bytes& data);

}  // namespace vistrel::testing
