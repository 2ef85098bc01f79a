#include "player/sound/decode.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace vistrel::sound {

namespace {

constexpr std::array<int, 89> kStepTable = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
    130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
    544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
    2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
    9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

const int kIndex2[] = {-1, 2};
const int kIndex3[] = {-1, -1, 2, 4};
const int kIndex4[] = {-1, -1, -1, -1, 2, 4, 6, 8};
const int kIndex5[] = {-1, -1, -1, -1, -1, -1, -1, -1, 1, 2, 4, 6, 8, 10, 13, 16};
const int* const kIndexTables[] = {kIndex2, kIndex3, kIndex4, kIndex5};

// Most significant bit first, as the format packs its bit fields.
class Bits {
public:
    explicit Bits(std::span<const std::uint8_t> data) : m_data(data) {}
    std::size_t left() const { return m_data.size() * 8 - m_pos; }
    std::uint32_t read(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++m_pos)
            v = (v << 1) | ((m_data[m_pos >> 3] >> (7 - (m_pos & 7))) & 1u);
        return v;
    }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

std::int16_t clamp16(int v) { return static_cast<std::int16_t>(std::clamp(v, -32768, 32767)); }

AVChannelLayout layoutFor(int channels) {
    AVChannelLayout l;
    av_channel_layout_default(&l, channels);
    return l;
}

}  // namespace

std::vector<std::int16_t> decodeAdpcm(std::span<const std::uint8_t> data, bool stereo, std::size_t maxFrames) {
    std::vector<std::int16_t> out;
    Bits bits(data);
    if (bits.left() < 2) return out;
    const int codeBits = static_cast<int>(bits.read(2)) + 2;
    const int* indexTable = kIndexTables[codeBits - 2];
    const int channels = stereo ? 2 : 1;
    const std::uint32_t signBit = 1u << (codeBits - 1);
    std::size_t frames = 0;
    int sample[2] = {0, 0}, index[2] = {0, 0};
    while (frames < maxFrames && bits.left() >= std::size_t(22 * channels)) {
        for (int c = 0; c < channels; ++c) {
            sample[c] = static_cast<std::int16_t>(bits.read(16));
            index[c] = static_cast<int>(bits.read(6));
            out.push_back(static_cast<std::int16_t>(sample[c]));
        }
        ++frames;
        for (int i = 1; i < 4096 && frames < maxFrames && bits.left() >= std::size_t(codeBits * channels); ++i) {
            for (int c = 0; c < channels; ++c) {
                const std::uint32_t code = bits.read(codeBits);
                int step = kStepTable[static_cast<std::size_t>(index[c])];
                int diff = step >> (codeBits - 1);
                for (std::uint32_t mask = signBit >> 1; mask; mask >>= 1, step >>= 1)
                    if (code & mask) diff += step;
                sample[c] = clamp16((code & signBit) ? sample[c] - diff : sample[c] + diff);
                index[c] = std::clamp(index[c] + indexTable[code & (signBit - 1)], 0, 88);
                out.push_back(static_cast<std::int16_t>(sample[c]));
            }
            ++frames;
        }
    }
    return out;
}

struct Decoder::Impl {
    swf::SoundFormat format;
    AVCodecContext* codec = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwrContext* swr = nullptr;
    int swrRate = 0, swrChannels = 0, swrFormat = -1;
    bool broken = false;

    ~Impl() {
        swr_free(&swr);
        av_frame_free(&frame);
        av_packet_free(&packet);
        if (parser) av_parser_close(parser);
        avcodec_free_context(&codec);
    }

    bool openCodec() {
        AVCodecID id = AV_CODEC_ID_NONE;
        switch (format.format) {
        case swf::soundformat::kMp3: id = AV_CODEC_ID_MP3; break;
        case swf::soundformat::kNelly16k:
        case swf::soundformat::kNelly8k:
        case swf::soundformat::kNelly: id = AV_CODEC_ID_NELLYMOSER; break;
        case swf::soundformat::kSpeex: id = AV_CODEC_ID_SPEEX; break;
        case swf::soundformat::kAlaw: id = AV_CODEC_ID_PCM_ALAW; break;
        case swf::soundformat::kMulaw: id = AV_CODEC_ID_PCM_MULAW; break;
        default: return false;
        }
        const AVCodec* decoder = avcodec_find_decoder(id);
        if (!decoder) return false;
        codec = avcodec_alloc_context3(decoder);
        if (!codec) return false;
        codec->sample_rate = format.sampleRate();
        const bool anyLayout = id == AV_CODEC_ID_MP3 || id == AV_CODEC_ID_PCM_ALAW || id == AV_CODEC_ID_PCM_MULAW;
        const int channels = anyLayout ? format.channels() : 1;
        codec->ch_layout = layoutFor(channels);
        if (avcodec_open2(codec, decoder, nullptr) < 0) return false;
        if (id == AV_CODEC_ID_MP3) parser = av_parser_init(AV_CODEC_ID_MP3);
        packet = av_packet_alloc();
        frame = av_frame_alloc();
        return packet && frame;
    }

    // Converts samples at any rate and layout to the output form; rebuilt when the input changes. Mono
    // stays mono through the resampler and then plays alike on both sides, at full level.
    void resample(const std::uint8_t* const* planes, int count, int rate, int channels, AVSampleFormat fmt,
                  Samples& out) {
        if (count <= 0 || rate <= 0 || channels <= 0 || channels > 8) return;
        if (!swr || rate != swrRate || channels != swrChannels || fmt != swrFormat) {
            if (swr) flushResampler(out);
            swr_free(&swr);
            AVChannelLayout in = layoutFor(channels), target = layoutFor(channels == 1 ? 1 : 2);
            if (swr_alloc_set_opts2(&swr, &target, AV_SAMPLE_FMT_S16, kOutputRate, &in, fmt, rate, 0, nullptr) < 0 ||
                swr_init(swr) < 0) {
                swr_free(&swr);
                return;
            }
            swrRate = rate;
            swrChannels = channels;
            swrFormat = fmt;
        }
        convert(const_cast<const std::uint8_t**>(planes), count, out);
    }

    void convert(const std::uint8_t** planes, int count, Samples& out) {
        const int room = swr_get_out_samples(swr, count);
        if (room <= 0) return;
        if (out.size() / 2 + static_cast<std::size_t>(room) > kMaxSoundFrames) return;
        const bool mono = swrChannels == 1;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(room) * 2);
        std::uint8_t* dst = reinterpret_cast<std::uint8_t*>(out.data() + at);
        const int made = std::max(swr_convert(swr, &dst, room, planes, count), 0);
        if (mono) {
            for (int i = made - 1; i >= 0; --i) {
                const std::int16_t v = out[at + static_cast<std::size_t>(i)];
                out[at + 2 * static_cast<std::size_t>(i)] = v;
                out[at + 2 * static_cast<std::size_t>(i) + 1] = v;
            }
        }
        out.resize(at + static_cast<std::size_t>(made) * 2);
    }

    void flushResampler(Samples& out) {
        if (swr) convert(nullptr, 0, out);
    }

    void resampleS16(const std::vector<std::int16_t>& pcm, int channels, Samples& out) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(pcm.data());
        resample(&bytes, static_cast<int>(pcm.size() / static_cast<std::size_t>(channels)), format.sampleRate(),
                 channels, AV_SAMPLE_FMT_S16, out);
    }

    void receiveFrames(Samples& out) {
        while (avcodec_receive_frame(codec, frame) >= 0) {
            resample(const_cast<const std::uint8_t* const*>(frame->extended_data), frame->nb_samples,
                     frame->sample_rate, frame->ch_layout.nb_channels, static_cast<AVSampleFormat>(frame->format),
                     out);
            av_frame_unref(frame);
        }
    }

    std::vector<std::uint8_t> padded;   // the parser's input with zeroed padding after it

    void sendPacket(const std::uint8_t* data, int size, Samples& out) {
        if (av_new_packet(packet, size) < 0) return;
        std::copy(data, data + size, packet->data);
        if (avcodec_send_packet(codec, packet) < 0) {
            av_packet_unref(packet);
            receiveFrames(out);
            return;
        }
        av_packet_unref(packet);
        receiveFrames(out);
    }

    void decodeCodec(std::span<const std::uint8_t> data, Samples& out) {
        if (!codec) {
            if (broken || !openCodec()) {
                broken = true;
                avcodec_free_context(&codec);
                return;
            }
        }
        if (parser) {
            // The parser may read up to the codec library's padding past the bytes it is given.
            padded.assign(data.begin(), data.end());
            padded.resize(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
            const std::uint8_t* p = padded.data();
            std::size_t left = data.size();
            while (left > 0) {
                std::uint8_t* frameData = nullptr;
                int frameSize = 0;
                const int used = av_parser_parse2(parser, codec, &frameData, &frameSize, p,
                                                  static_cast<int>(std::min<std::size_t>(left, 1 << 20)),
                                                  AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
                if (used < 0) break;
                p += used;
                left -= static_cast<std::size_t>(used);
                if (frameSize > 0) sendPacket(frameData, frameSize, out);
                if (used == 0 && frameSize == 0) break;
            }
            return;
        }
        // Nellymoser, Speex and G.711: whole packets (Nellymoser blocks are 64 bytes; 4096 suits them all).
        const std::size_t chunk = format.format == swf::soundformat::kSpeex ? data.size() : 64 * 64;
        for (std::size_t at = 0; at < data.size(); at += chunk) {
            const std::size_t n = std::min(chunk, data.size() - at);
            if (n > (1u << 24)) break;
            sendPacket(data.data() + at, static_cast<int>(n), out);
        }
    }
};

Decoder::Decoder(const swf::SoundFormat& format) : m_impl(std::make_unique<Impl>()) {
    // Damaged sound data is common and plays as silence; the codec library's complaints are not the user's.
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });
    m_impl->format = format;
}

Decoder::~Decoder() = default;

void Decoder::decode(std::span<const std::uint8_t> data, Samples& out) {
    Impl& d = *m_impl;
    const int channels = d.format.channels();
    switch (d.format.format) {
    case swf::soundformat::kPcmNative:
    case swf::soundformat::kPcmLittle: {
        std::vector<std::int16_t> pcm;
        if (d.format.sixteenBit) {
            // Native order is taken as little-endian, the order of the machines movies are made on.
            pcm.resize(data.size() / 2);
            for (std::size_t i = 0; i < pcm.size(); ++i)
                pcm[i] = static_cast<std::int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
        } else {
            pcm.resize(data.size());
            for (std::size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<std::int16_t>((data[i] - 128) << 8);
        }
        pcm.resize(pcm.size() - pcm.size() % static_cast<std::size_t>(channels));
        d.resampleS16(pcm, channels, out);
        return;
    }
    case swf::soundformat::kAdpcm: {
        d.resampleS16(decodeAdpcm(data, d.format.stereo, kMaxSoundFrames), channels, out);
        return;
    }
    default: d.decodeCodec(data, out); return;
    }
}

void Decoder::flush(Samples& out) {
    Impl& d = *m_impl;
    if (d.codec) {
        if (d.parser) {
            std::uint8_t* frameData = nullptr;
            int frameSize = 0;
            av_parser_parse2(d.parser, d.codec, &frameData, &frameSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            if (frameSize > 0) d.sendPacket(frameData, frameSize, out);
        }
        if (avcodec_send_packet(d.codec, nullptr) >= 0) d.receiveFrames(out);
    }
    d.flushResampler(out);
}

std::span<const std::uint8_t> streamBlockAudio(const swf::SoundFormat& format, std::span<const std::uint8_t> block) {
    if (format.format == swf::soundformat::kMp3) return block.size() >= 4 ? block.subspan(4) : block.subspan(block.size());
    return block;
}

int streamBlockSeek(const swf::SoundFormat& format, std::span<const std::uint8_t> block) {
    if (format.format != swf::soundformat::kMp3 || block.size() < 4) return 0;
    return static_cast<std::int16_t>(block[2] | (block[3] << 8));
}

SharedSamples decodeSound(const swf::DefineSound& sound) {
    auto out = std::make_shared<Samples>();
    if (!sound.data) return out;
    std::span<const std::uint8_t> data(*sound.data);
    std::size_t skip = 0;
    if (sound.format.format == swf::soundformat::kMp3) {
        if (data.size() < 2) return out;
        const auto seek = static_cast<std::int16_t>(data[0] | (data[1] << 8));
        if (seek > 0) skip = static_cast<std::size_t>(seek);
        data = data.subspan(2);
    }
    Decoder decoder(sound.format);
    decoder.decode(data, *out);
    decoder.flush(*out);
    // Seek samples and the declared length count at the source rate.
    const double scale = double(kOutputRate) / std::max(1, sound.format.sampleRate());
    const std::size_t frames = out->size() / 2;
    const std::size_t skipFrames = std::min(frames, static_cast<std::size_t>(skip * scale + 0.5));
    std::size_t keep = frames - skipFrames;
    if (sound.sampleCount > 0)
        keep = std::min(keep, static_cast<std::size_t>(std::ceil(sound.sampleCount * scale)));
    out->erase(out->begin(), out->begin() + static_cast<std::ptrdiff_t>(skipFrames * 2));
    out->resize(std::min(keep, kMaxSoundFrames) * 2);
    return out;
}

}  // namespace vistrel::sound
