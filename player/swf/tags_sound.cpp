#include "player/swf/tags_sound.h"

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

#include <span>

namespace vistrel::swf {

namespace {

SoundFormat readFormatByte(std::uint8_t b, bool withFormat) {
    SoundFormat f;
    if (withFormat) f.format = b >> 4;
    f.rateCode = (b >> 2) & 3;
    f.sixteenBit = (b & 2) != 0;
    f.stereo = (b & 1) != 0;
    return f;
}

SoundBytes keep(std::span<const std::uint8_t> bytes) {
    return std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
}

}  // namespace

int SoundFormat::sampleRate() const {
    switch (format) {
    case soundformat::kNelly16k: return 16000;
    case soundformat::kNelly8k: return 8000;
    case soundformat::kSpeex: return 16000;
    default: break;
    }
    static constexpr int kRates[] = {5512, 11025, 22050, 44100};
    return kRates[rateCode & 3];
}

SoundInfo readSoundInfo(ByteReader& r) {
    SoundInfo info;
    const std::uint8_t flags = r.u8();
    info.syncStop = (flags & 0x20) != 0;
    info.syncNoMultiple = (flags & 0x10) != 0;
    if (flags & 0x01) info.inPoint = r.u32();
    if (flags & 0x02) info.outPoint = r.u32();
    if (flags & 0x04) info.loops = r.u16();
    if (flags & 0x08) {
        const std::size_t points = r.u8();
        if (points * 8 > r.remaining()) throw TruncatedData();
        info.envelope.reserve(points);
        for (std::size_t i = 0; i < points; ++i) {
            EnvelopePoint p;
            p.position = r.u32();
            p.left = r.u16();
            p.right = r.u16();
            info.envelope.push_back(p);
        }
    }
    return info;
}

DefineSound readDefineSound(ByteReader& r) {
    DefineSound s;
    s.id = r.u16();
    s.format = readFormatByte(r.u8(), true);
    s.sampleCount = r.u32();
    s.data = keep(r.rest());
    return s;
}

StartSound readStartSound(ByteReader& r, int version) {
    StartSound s;
    if (version >= 2) s.className = r.string();
    else s.soundId = r.u16();
    s.info = readSoundInfo(r);
    return s;
}

SoundStreamHead readSoundStreamHead(ByteReader& r, int version) {
    SoundStreamHead h;
    h.version = version;
    h.playback = readFormatByte(r.u8(), false);
    h.stream = readFormatByte(r.u8(), true);
    h.samplesPerBlock = r.u16();
    if (h.stream.format == soundformat::kMp3 && r.remaining() >= 2) h.latencySeek = r.s16();
    return h;
}

SoundStreamBlock readSoundStreamBlock(ByteReader& r) { return SoundStreamBlock{keep(r.rest())}; }

}  // namespace vistrel::swf
