#include "player/video/flv_playback.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include "player/video/decode_ahead.h"
#include "player/video/video_decoder.h"

namespace vistrel::player::video {

namespace {

constexpr int kAacFormat = 10;

std::span<const std::uint8_t> bytesOf(const QByteArray& b) {
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), static_cast<std::size_t>(b.size())};
}

// AAC needs the set-up record its first packet carries, which the movie sound formats never have.
class AacDecoder {
public:
    ~AacDecoder() {
        swr_free(&m_swr);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
    }
    void configure(std::span<const std::uint8_t> config) {
        avcodec_free_context(&m_codec);
        swr_free(&m_swr);
        const AVCodec* decoder = avcodec_find_decoder(AV_CODEC_ID_AAC);
        if (!decoder || config.size() > (1u << 16)) return;
        m_codec = avcodec_alloc_context3(decoder);
        if (!m_codec) return;
        m_codec->extradata = static_cast<std::uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (m_codec->extradata) {
            std::copy(config.begin(), config.end(), m_codec->extradata);
            m_codec->extradata_size = static_cast<int>(config.size());
        }
        if (avcodec_open2(m_codec, decoder, nullptr) < 0) avcodec_free_context(&m_codec);
        if (!m_packet) m_packet = av_packet_alloc();
        if (!m_frame) m_frame = av_frame_alloc();
    }
    void decode(std::span<const std::uint8_t> data, sound::Samples& out) {
        if (!m_codec || !m_packet || !m_frame || data.empty() || data.size() > (1u << 24)) return;
        if (av_new_packet(m_packet, static_cast<int>(data.size())) < 0) return;
        std::copy(data.begin(), data.end(), m_packet->data);
        const int sent = avcodec_send_packet(m_codec, m_packet);
        av_packet_unref(m_packet);
        if (sent < 0) return;
        while (avcodec_receive_frame(m_codec, m_frame) >= 0) {
            convert(*m_frame, out);
            av_frame_unref(m_frame);
        }
    }

private:
    void convert(const AVFrame& f, sound::Samples& out) {
        const int channels = f.ch_layout.nb_channels;
        if (f.nb_samples <= 0 || f.sample_rate <= 0 || channels <= 0 || channels > 8) return;
        if (!m_swr || f.sample_rate != m_rate || channels != m_channels || f.format != m_format) {
            swr_free(&m_swr);
            AVChannelLayout target = AV_CHANNEL_LAYOUT_STEREO;
            AVChannelLayout source{};
            if (av_channel_layout_copy(&source, &f.ch_layout) < 0) return;
            const int made = swr_alloc_set_opts2(&m_swr, &target, AV_SAMPLE_FMT_S16, sound::kOutputRate, &source,
                                    static_cast<AVSampleFormat>(f.format), f.sample_rate, 0, nullptr);
            av_channel_layout_uninit(&source);
            if (made < 0 || swr_init(m_swr) < 0) {
                swr_free(&m_swr);
                return;
            }
            m_rate = f.sample_rate;
            m_channels = channels;
            m_format = f.format;
        }
        const int room = swr_get_out_samples(m_swr, f.nb_samples);
        if (room <= 0 || out.size() / 2 + static_cast<std::size_t>(room) > sound::kMaxSoundFrames) return;
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(room) * 2);
        auto* dst = reinterpret_cast<std::uint8_t*>(out.data() + at);
        const int made = std::max(swr_convert(m_swr, &dst, room, const_cast<const std::uint8_t**>(f.extended_data),
                                              f.nb_samples), 0);
        out.resize(at + static_cast<std::size_t>(made) * 2);
    }

    AVCodecContext* m_codec = nullptr;
    AVPacket* m_packet = nullptr;
    AVFrame* m_frame = nullptr;
    SwrContext* m_swr = nullptr;
    int m_rate = 0, m_channels = 0, m_format = -1;
};

}  // namespace

struct FlvPlayback::Audio {
    int format = -1;                      // of the first audio tag; tags of other formats are skipped
    std::unique_ptr<sound::Decoder> decoder;
    std::unique_ptr<AacDecoder> aac;
    sound::Samples pending;

    void reset() {
        decoder.reset();
        if (aac) aac = std::make_unique<AacDecoder>();   // the set-up record comes again with the next one
        pending.clear();
    }
    void pass(std::span<const std::uint8_t> body) {
        if (body.empty()) return;
        const std::uint8_t head = body[0];
        const int fmt = head >> 4;
        if (format < 0) format = fmt;
        if (fmt != format) return;
        // Samples waiting beyond ten seconds mean nobody takes them: drop the oldest.
        if (pending.size() > 2 * static_cast<std::size_t>(sound::kOutputRate) * 10) pending.clear();
        if (fmt == kAacFormat) {
            if (body.size() < 2) return;
            if (!aac) aac = std::make_unique<AacDecoder>();
            if (body[1] == 0) aac->configure(body.subspan(2));
            else aac->decode(body.subspan(2), pending);
            return;
        }
        if (!decoder) {
            swf::SoundFormat f;
            f.format = fmt;
            f.rateCode = (head >> 2) & 3;
            f.sixteenBit = (head & 2) != 0;
            f.stereo = (head & 1) != 0;
            decoder = std::make_unique<sound::Decoder>(f);
        }
        decoder->decode(body.subspan(1), pending);
    }
};

FlvPlayback::FlvPlayback(QByteArray bytes)
    : m_bytes(std::make_shared<const QByteArray>(std::move(bytes))), m_audio(std::make_unique<Audio>()) {
    m_file = readFlv(bytesOf(*m_bytes));
    std::vector<AheadDecoder::Packet> packets;
    m_videoIndex.assign(m_file.tags.size(), -1);
    for (std::size_t i = 0; i < m_file.tags.size(); ++i) {
        const FlvTag& t = m_file.tags[i];
        if (t.kind != FlvTag::Video || t.frameType == 5) continue;   // command frames hold no picture
        if (m_videoCodec < 0 && codecFromId(t.codec)) m_videoCodec = t.codec;
        if (t.codec != m_videoCodec) continue;
        AheadDecoder::Packet p;
        p.data = t.packet;
        std::int64_t showAt = t.timestamp;
        if (t.codec == 7) {
            if (t.avcPacketType == 0) p.configuration = true;
            else if (t.avcPacketType != 1) continue;
            p.key = t.frameType == 1 && !p.configuration;
            showAt += t.compositionTime;
            p.stamp = showAt;
            m_reorders = true;
        } else {
            p.key = t.frameType == 1 && isKeyFrame(*codecFromId(t.codec), t.packet);
        }
        m_videoIndex[i] = static_cast<int>(packets.size());
        m_adjust.push_back(t.adjustment);
        m_showAt.push_back(showAt);
        packets.push_back(p);
    }
    if (m_videoCodec >= 0)
        m_decoder = std::make_unique<AheadDecoder>(*codecFromId(m_videoCodec), 0, std::move(packets), m_bytes);
}

FlvPlayback::~FlvPlayback() = default;

void FlvPlayback::passTag(const FlvTag& tag, Step& step) {
    switch (tag.kind) {
    case FlvTag::Video: break;
    case FlvTag::Audio: m_audio->pass(tag.body); break;
    case FlvTag::Script: {
        std::vector<AmfValue> values = readAmf0(tag.body);
        if (!values.empty()) step.scripts.push_back(std::move(values));
        break;
    }
    }
}

FlvPlayback::Step FlvPlayback::advance(double ms) {
    Step step;
    if (ms > 0) m_timeMs += ms;
    int shown = m_shown.load();
    const int before = shown;
    // Script data may be anywhere; a file of thousands of metadata tags is handed back in parts.
    while (!tagsPassed() && m_file.tags[m_next].timestamp <= m_timeMs && step.scripts.size() < 256) {
        const FlvTag& tag = m_file.tags[m_next];
        if (m_videoIndex[m_next] >= 0 && !(tag.codec == 7 && tag.avcPacketType == 0)) {
            if (m_reorders) m_due.push_back(m_videoIndex[m_next]);
            else shown = m_videoIndex[m_next];
        }
        if (!(tag.kind == FlvTag::Audio && tag.timestamp < m_audioFrom)) passTag(tag, step);
        ++m_next;
    }
    if (m_reorders) shown = pickDue(shown);
    if (shown != before) {
        m_shown = shown;
        step.pictureChanged = true;
        if (m_decoder) m_decoder->prepare(shown);
    }
    step.ended = atEnd();
    return step;
}

// Of the pictures passed, the one whose time came last is shown. Until the first one's time comes (after
// the start or a seek) the earliest passed stands in, so that the picture is never a stale one.
int FlvPlayback::pickDue(int shown) {
    if (m_due.empty()) return shown;
    // A damaged file may put pictures far in the future: past the last tag, the clock waits a second for them.
    const bool giveUp = tagsPassed() && !m_file.tags.empty() && m_timeMs > m_file.tags.back().timestamp + 1000.0;
    int best = -1, earliest = -1;
    for (const int packet : m_due) {
        const std::int64_t at = m_showAt[static_cast<std::size_t>(packet)];
        if (earliest < 0 || at < m_showAt[static_cast<std::size_t>(earliest)]) earliest = packet;
        if ((at <= m_timeMs || giveUp) && (best < 0 || at >= m_showAt[static_cast<std::size_t>(best)])) best = packet;
    }
    if (best >= 0) {
        const std::int64_t at = m_showAt[static_cast<std::size_t>(best)];
        std::erase_if(m_due, [&](int packet) { return m_showAt[static_cast<std::size_t>(packet)] <= at || giveUp; });
        if (!m_shownSinceSeek || at >= m_shownAt) {
            m_shownAt = at;
            m_shownSinceSeek = true;
            return best;
        }
        return shown;
    }
    // Held-back pictures are a few at most; a file that claims thousands keeps the earliest.
    if (m_due.size() > 256) {
        std::sort(m_due.begin(), m_due.end(), [this](int a, int b) {
            return m_showAt[static_cast<std::size_t>(a)] < m_showAt[static_cast<std::size_t>(b)];
        });
        m_due.resize(256);
    }
    return m_shownSinceSeek ? shown : earliest;
}

void FlvPlayback::seek(double ms) {
    m_audio->reset();
    m_due.clear();
    m_shownSinceSeek = false;
    m_audioFrom = 0;
    if (!(ms > 0)) {
        m_next = 0;
        m_timeMs = 0;
        return;
    }
    std::size_t found = m_file.tags.size();
    const bool video = m_decoder != nullptr;
    for (std::size_t i = 0; i < m_file.tags.size(); ++i) {
        const FlvTag& t = m_file.tags[i];
        const bool picture = m_videoIndex[i] >= 0;
        // Pictures seek by the time they show.
        const double at = picture && m_reorders ? double(m_showAt[static_cast<std::size_t>(m_videoIndex[i])]) : t.timestamp;
        if (at < ms) continue;
        if (video && (!picture || t.frameType != 1 || (t.codec == 7 && t.avcPacketType != 1))) continue;
        found = i;
        m_timeMs = at;
        break;
    }
    if (found < m_file.tags.size()) {
        m_next = found;
        if (m_reorders) m_audioFrom = m_timeMs;
    } else {
        m_next = m_file.tags.size();
        if (!m_file.tags.empty()) m_timeMs = m_file.tags.back().timestamp;
    }
}

void FlvPlayback::takeAudio(sound::Samples& out) {
    out.insert(out.end(), m_audio->pending.begin(), m_audio->pending.end());
    m_audio->pending.clear();
}

QImage FlvPlayback::picture() const {
    const int shown = m_shown.load();
    if (shown < 0 || !m_decoder) return QImage();
    QImage image = m_decoder->picture(shown);
    // VP6 codes whole 16-pixel blocks; the adjustment byte says how much of the right and bottom to drop.
    const std::uint8_t adjust = m_adjust[static_cast<std::size_t>(shown)];
    if (!image.isNull() && adjust && (m_videoCodec == 4 || m_videoCodec == 5)) {
        const int w = image.width() - (adjust >> 4), h = image.height() - (adjust & 0x0f);
        if (w > 0 && h > 0) image = image.copy(0, 0, w, h);
    }
    return image;
}

void StreamPicture::set(std::shared_ptr<FlvPlayback> playback) {
    std::lock_guard lock(m_mutex);
    m_playback = std::move(playback);
    m_clearedAt = -2;
}

void StreamPicture::clear() {
    std::lock_guard lock(m_mutex);
    m_clearedAt = m_playback ? m_playback->videoPacket() : -2;
}

QImage StreamPicture::picture() const {
    std::shared_ptr<FlvPlayback> playback;
    {
        std::lock_guard lock(m_mutex);
        if (!m_playback || m_playback->videoPacket() == m_clearedAt) return QImage();
        playback = m_playback;
    }
    return playback->picture();
}

std::uint64_t FlvPlayback::framesDecoded() const { return m_decoder ? m_decoder->framesDecoded() : 0; }
bool FlvPlayback::decodesOnThread() const { return m_decoder && m_decoder->threaded(); }
bool FlvPlayback::videoCodecAvailable() const { return m_decoder && m_decoder->available(); }

}  // namespace vistrel::player::video
