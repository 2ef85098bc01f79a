// Sound tags: event sounds (DefineSound, StartSound, StartSound2), stream sound (SoundStreamHead 1-2,
// SoundStreamBlock) and the SOUNDINFO record that says how one sound plays.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::swf {

class ByteReader;

// Codes of the sound formats a movie may hold.
namespace soundformat {
inline constexpr int kPcmNative = 0, kAdpcm = 1, kMp3 = 2, kPcmLittle = 3, kNelly16k = 4, kNelly8k = 5,
                     kNelly = 6, kAlaw = 7, kMulaw = 8, kSpeex = 11;
}

// How samples are stored: format, rate, size and channels.
struct SoundFormat {
    int format = 0;            // soundformat::*
    int rateCode = 0;          // 0: 5.5 kHz, 1: 11 kHz, 2: 22 kHz, 3: 44 kHz
    bool sixteenBit = true;
    bool stereo = false;
    int sampleRate() const;    // in Hz, from the rate code (fixed for Nellymoser 8/16 kHz and Speex)
    int channels() const { return stereo ? 2 : 1; }
};

struct EnvelopePoint {
    std::uint32_t position = 0;   // in 44.1 kHz samples from the start
    std::uint16_t left = 0;       // 0..32768
    std::uint16_t right = 0;
};

struct SoundInfo {
    bool syncStop = false;        // stops the sound instead of starting it
    bool syncNoMultiple = false;  // does not start while the sound plays already
    std::optional<std::uint32_t> inPoint;    // in 44.1 kHz samples
    std::optional<std::uint32_t> outPoint;
    std::uint16_t loops = 1;
    std::vector<EnvelopePoint> envelope;
};

using SoundBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

struct DefineSound {
    std::uint16_t id = 0;
    SoundFormat format;
    std::uint32_t sampleCount = 0;   // per channel, as declared
    SoundBytes data;                 // MP3 data still begins with its seek samples
};

// StartSound names the sound by id, StartSound2 by class name.
struct StartSound {
    std::uint16_t soundId = 0;
    std::string className;
    SoundInfo info;
};

struct SoundStreamHead {
    int version = 1;
    SoundFormat playback;   // the format the movie suggests for playback (kept for completeness)
    SoundFormat stream;     // what the blocks hold
    std::uint16_t samplesPerBlock = 0;
    std::int16_t latencySeek = 0;   // MP3 only
};

struct SoundStreamBlock {
    SoundBytes data;
};

SoundInfo readSoundInfo(ByteReader& r);
DefineSound readDefineSound(ByteReader& r);
StartSound readStartSound(ByteReader& r, int version);   // 1: code 15, 2: code 89
SoundStreamHead readSoundStreamHead(ByteReader& r, int version);
SoundStreamBlock readSoundStreamBlock(ByteReader& r);

}  // namespace vistrel::swf
