#include "player/video/video_decoder.h"

#include <algorithm>
#include <cstring>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/log.h>
#include <libswscale/swscale.h>
}

namespace vistrel::player::video {

std::optional<Codec> codecFromId(int id) {
    switch (id) {
    case 2: return Codec::H263;
    case 3: return Codec::ScreenVideo;
    case 4: return Codec::Vp6;
    case 5: return Codec::Vp6Alpha;
    case 6: return Codec::ScreenVideo2;
    case 7: return Codec::Avc;
    default: return std::nullopt;
    }
}

namespace {

// Reads bits most significant first; past the end it gives zeros and remembers it ran out.
class Bits {
public:
    explicit Bits(std::span<const std::uint8_t> data) : m_data(data) {}
    std::uint32_t read(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) {
            const std::size_t byte = m_pos >> 3;
            std::uint32_t bit = 0;
            if (byte < m_data.size()) bit = (m_data[byte] >> (7 - (m_pos & 7))) & 1u;
            else m_over = true;
            v = (v << 1) | bit;
            ++m_pos;
        }
        return v;
    }
    bool over() const { return m_over; }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    bool m_over = false;
};

bool h263KeyFrame(std::span<const std::uint8_t> p) {
    Bits b(p);
    if (b.read(17) != 1) return false;   // picture start code
    b.read(5);                           // version
    b.read(8);                           // temporal reference
    const std::uint32_t size = b.read(3);
    if (size == 0) b.read(16);
    else if (size == 1) b.read(32);
    return b.read(2) == 0 && !b.over();   // 0: intra, 1: inter, 2: disposable inter
}

// A screen video picture is whole when every block carries data (an empty block repeats the last
// picture's), and, in version 2, no block is coded against the key picture.
bool screenKeyFrame(std::span<const std::uint8_t> p, bool version2) {
    if (p.size() < 4) return false;
    const int blockWidth = ((p[0] >> 4) + 1) * 16, width = ((p[0] & 0x0f) << 8) | p[1];
    const int blockHeight = ((p[2] >> 4) + 1) * 16, height = ((p[2] & 0x0f) << 8) | p[3];
    if (width == 0 || height == 0) return false;
    std::size_t pos = 4;
    if (version2) {
        if (pos >= p.size() || (p[pos] & 0x01)) return false;   // palette data: not worth reading here
        ++pos;
    }
    const long long blocks = static_cast<long long>((width + blockWidth - 1) / blockWidth) *
                             ((height + blockHeight - 1) / blockHeight);
    for (long long i = 0; i < blocks; ++i) {
        if (pos + 2 > p.size()) return false;
        const std::size_t size = (std::size_t{p[pos]} << 8) | p[pos + 1];
        pos += 2;
        if (size == 0 || pos + size > p.size()) return false;
        if (version2 && (p[pos] & 0x05)) return false;   // differences, or primed from the previous picture
        pos += size;
    }
    return true;
}

}  // namespace

bool isKeyFrame(Codec codec, std::span<const std::uint8_t> packet) {
    switch (codec) {
    case Codec::H263: return h263KeyFrame(packet);
    case Codec::ScreenVideo: return screenKeyFrame(packet, false);
    case Codec::ScreenVideo2: return screenKeyFrame(packet, true);
    case Codec::Vp6: return !packet.empty() && (packet[0] & 0x80) == 0;
    case Codec::Vp6Alpha: return packet.size() > 3 && (packet[3] & 0x80) == 0;
    case Codec::Avc: return false;   // an FLV tag says so itself
    }
    return false;
}

struct Decoder::State {
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    SwsContext* scaler = nullptr;
    std::vector<std::uint8_t> configuration;
    std::vector<std::uint8_t> padded;   // the packet with the zero padding the decoders read into

    ~State() { close(); }
    void close() {
        avcodec_free_context(&context);
        av_packet_free(&packet);
        av_frame_free(&frame);
        sws_freeContext(scaler);
        scaler = nullptr;
    }
};

namespace {

AVCodecID avCodec(Codec c) {
    switch (c) {
    case Codec::H263: return AV_CODEC_ID_FLV1;
    case Codec::ScreenVideo: return AV_CODEC_ID_FLASHSV;
    case Codec::ScreenVideo2: return AV_CODEC_ID_FLASHSV2;
    case Codec::Vp6: return AV_CODEC_ID_VP6F;
    case Codec::Vp6Alpha: return AV_CODEC_ID_VP6A;
    case Codec::Avc: return AV_CODEC_ID_H264;
    }
    return AV_CODEC_ID_NONE;
}

bool hasAlpha(AVPixelFormat f) {
    const AVPixFmtDescriptor* d = av_pix_fmt_desc_get(f);
    return d && (d->flags & AV_PIX_FMT_FLAG_ALPHA);
}

}  // namespace

Decoder::Decoder(Codec codec, int deblocking) : m_codec(codec), m_deblocking(deblocking), m_state(new State) {
    open();
}

Decoder::~Decoder() = default;

void Decoder::open() {
    m_state->close();
    // Damaged frames are expected and handled; the codec library need not report each one.
    static const bool quiet = [] {
        av_log_set_level(AV_LOG_FATAL);
        return true;
    }();
    (void)quiet;
    const AVCodec* codec = avcodec_find_decoder(avCodec(m_codec));
    if (!codec) return;
    AVCodecContext* c = avcodec_alloc_context3(codec);
    if (!c) return;
    // One thread: pictures come back at once, in order, and decoding stays cheap to start over.
    c->thread_count = 1;
    if (m_deblocking == 1) c->skip_loop_filter = AVDISCARD_ALL;
    if (!m_state->configuration.empty()) {
        c->extradata = static_cast<std::uint8_t*>(av_mallocz(m_state->configuration.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (c->extradata) {
            std::memcpy(c->extradata, m_state->configuration.data(), m_state->configuration.size());
            c->extradata_size = static_cast<int>(m_state->configuration.size());
        }
    }
    if (avcodec_open2(c, codec, nullptr) < 0) {
        avcodec_free_context(&c);
        return;
    }
    m_state->context = c;
    m_state->packet = av_packet_alloc();
    m_state->frame = av_frame_alloc();
    if (!m_state->packet || !m_state->frame) m_state->close();
}

bool Decoder::available() const { return m_state->context != nullptr; }

void Decoder::setConfiguration(std::span<const std::uint8_t> data) {
    m_state->configuration.assign(data.begin(), data.end());
    open();
}

void Decoder::reset() {
    if (m_state->context) avcodec_flush_buffers(m_state->context);
    else open();
}

QImage Decoder::decode(std::span<const std::uint8_t> data) {
    State& s = *m_state;
    if (!s.context || data.empty() || data.size() > (std::size_t(1) << 28)) return {};
    s.padded.assign(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(s.padded.data(), data.data(), data.size());
    av_packet_unref(s.packet);
    s.packet->data = s.padded.data();
    s.packet->size = static_cast<int>(data.size());
    if (avcodec_send_packet(s.context, s.packet) < 0) {
        // A decoder that refuses input may be stuck with a picture it never handed out.
        avcodec_flush_buffers(s.context);
        return {};
    }
    // Reordering codecs may hand out more than one picture for a packet: the newest is the one shown.
    QImage image;
    while (avcodec_receive_frame(s.context, s.frame) >= 0) {
        QImage converted = convert(*s.frame);
        av_frame_unref(s.frame);
        if (!converted.isNull()) image = std::move(converted);
    }
    return image;
}

std::vector<Decoder::Stamped> Decoder::decodeStamped(std::span<const std::uint8_t> data, std::int64_t stamp) {
    std::vector<Stamped> out;
    State& s = *m_state;
    if (!s.context || data.empty() || data.size() > (std::size_t(1) << 28)) return out;
    s.padded.assign(data.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(s.padded.data(), data.data(), data.size());
    av_packet_unref(s.packet);
    s.packet->data = s.padded.data();
    s.packet->size = static_cast<int>(data.size());
    s.packet->pts = stamp;
    s.packet->dts = AV_NOPTS_VALUE;
    // A packet refused as damaged leaves the pictures held back where they are: they still come out.
    if (avcodec_send_packet(s.context, s.packet) < 0) return out;
    receive(out);
    return out;
}

std::vector<Decoder::Stamped> Decoder::drain() {
    std::vector<Stamped> out;
    State& s = *m_state;
    if (!s.context) return out;
    if (avcodec_send_packet(s.context, nullptr) < 0) return out;
    receive(out);
    return out;
}

void Decoder::receive(std::vector<Stamped>& out) {
    State& s = *m_state;
    // A damaged stream may claim any number of held-back pictures; a packet never gives more than this.
    for (int n = 0; n < 64 && avcodec_receive_frame(s.context, s.frame) >= 0; ++n) {
        const std::int64_t stamp = s.frame->pts != AV_NOPTS_VALUE ? s.frame->pts : s.frame->best_effort_timestamp;
        QImage converted = convert(*s.frame);
        av_frame_unref(s.frame);
        if (!converted.isNull() && stamp != AV_NOPTS_VALUE) out.push_back({stamp, std::move(converted)});
    }
}

QImage Decoder::convert(const AVFrame& f) {
    State& s = *m_state;
    const int w = f.width, h = f.height;
    if (w <= 0 || h <= 0 || static_cast<std::int64_t>(w) * h > kMaxPicturePixels) return {};
    const AVPixelFormat format = static_cast<AVPixelFormat>(f.format);
    const bool alpha = hasAlpha(format);
    // Each chroma sample colours its pixels as it is, not blended with its neighbours; rounding is
    // exact.
    s.scaler = sws_getCachedContext(s.scaler, w, h, format, w, h, AV_PIX_FMT_BGRA,
                                    SWS_POINT | SWS_FULL_CHR_H_INT | SWS_ACCURATE_RND, nullptr, nullptr, nullptr);
    if (!s.scaler) return {};
    QImage image(w, h, alpha ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    if (image.isNull()) return {};
    std::uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
    int dstStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(s.scaler, f.data, f.linesize, 0, h, dst, dstStride) != h) return {};
    if (alpha) {
        // Colour planes of transparent video hold colour already multiplied by the alpha plane; a
        // colour above its alpha is cut to it.
        for (int y = 0; y < h; ++y) {
            auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < w; ++x) {
                const QRgb p = row[x];
                const int a = qAlpha(p);
                row[x] = qRgba(std::min(qRed(p), a), std::min(qGreen(p), a), std::min(qBlue(p), a), a);
            }
        }
    }
    return image;
}

}  // namespace vistrel::player::video
