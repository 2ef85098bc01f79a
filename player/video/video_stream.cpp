#include "player/video/video_stream.h"

#include <algorithm>
#include <chrono>


namespace vistrel::player::video {

VideoStream::VideoStream(int codecId, int deblocking) : m_codec(codecFromId(codecId)), m_deblocking(deblocking) {}

VideoStream::~VideoStream() { m_worker.stop(m_mutex); }

bool VideoStream::decodesAhead() const {
    std::lock_guard lock(m_mutex);
    return m_worker.running();
}

// The next frame is the one the timeline shows next, almost always: decode it as picture() would, so that
// the cache holds it when asked. The mutex is held throughout, so the decoder sees one sequence of packets
// whoever drives it.
void VideoStream::decodeAhead() {
    std::unique_lock lock(m_mutex);
    while (true) {
        m_worker.changed().wait(lock, [this] { return m_worker.stopping() || m_aheadOf >= 0; });
        if (m_worker.stopping()) return;
        const int shown = m_aheadOf;
        m_aheadOf = -1;
        auto next = m_packets.upper_bound(shown);
        if (next == m_packets.end() || m_decodedUpTo != shown || !m_decoder) continue;
        bool cached = false;
        for (const auto& entry : m_cache) cached = cached || entry.first == next->first;
        if (cached) continue;
        // A key frame starts over, as picture() starts it.
        if (next->second.key) {
            m_decoder->reset();
            m_current = QImage();
        }
        QImage image = m_decoder->decode(next->second.data);
        ++m_framesDecoded;
        m_decodedUpTo = next->first;
        if (!image.isNull()) m_current = std::move(image);
        if (!m_current.isNull()) remember(next->first, m_current);
    }
}

void VideoStream::addFrame(std::uint16_t number, std::span<const std::uint8_t> data) {
    std::lock_guard lock(m_mutex);
    if (m_packets.count(number)) return;
    Packet p;
    p.data.assign(data.begin(), data.end());
    p.key = m_codec && isKeyFrame(*m_codec, data);
    // A frame arriving between frames already decoded changes what follows it: start over.
    if (number <= m_decodedUpTo) {
        m_decodedUpTo = -1;
        m_cache.clear();
    }
    m_packets.emplace(number, std::move(p));
}

std::size_t VideoStream::frameCount() const {
    std::lock_guard lock(m_mutex);
    return m_packets.size();
}

std::uint64_t VideoStream::framesDecoded() const {
    std::lock_guard lock(m_mutex);
    return m_framesDecoded;
}

void VideoStream::remember(int number, const QImage& image) {
    for (auto it = m_cache.begin(); it != m_cache.end(); ++it)
        if (it->first == number) {
            m_cache.erase(it);
            break;
        }
    m_cache.emplace_back(number, image);
    auto bytes = [this] {
        std::int64_t total = 0;
        for (const auto& [n, img] : m_cache) total += img.sizeInBytes();
        return total;
    };
    while (m_cache.size() > kCachedPictures || (m_cache.size() > 1 && bytes() > kCachedBytes)) m_cache.pop_front();
}

QImage VideoStream::picture(int number) {
    std::unique_lock lock(m_mutex);
    if (!m_codec || m_packets.empty()) return {};
    auto target = m_packets.upper_bound(number);
    if (target == m_packets.begin()) return {};   // before the first frame
    --target;
    const int wanted = target->first;
    for (auto it = m_cache.rbegin(); it != m_cache.rend(); ++it)
        if (it->first == wanted) {
            if (m_worker.running() && m_decodedUpTo == wanted) {
                m_aheadOf = wanted;
                m_worker.changed().notify_all();
            }
            return it->second;
        }

    // Where to start: the nearest key frame at or before the wanted one (the first frame when there
    // is none), or on from the frame decoded last when no key frame comes in between.
    auto start = target;
    while (start != m_packets.begin() && !start->second.key) --start;
    const bool continuing = m_decoder && m_decodedUpTo >= 0 && m_decodedUpTo < wanted && start->first <= m_decodedUpTo;
    if (continuing) {
        start = m_packets.upper_bound(m_decodedUpTo);
    } else {
        if (!m_decoder) m_decoder = std::make_unique<Decoder>(*m_codec, m_deblocking);
        else m_decoder->reset();
        m_current = QImage();
    }
    if (!m_decoder->available()) return {};
    for (auto it = start;; ++it) {
        const auto began = std::chrono::steady_clock::now();
        QImage image = m_decoder->decode(it->second.data);
        const auto took = std::chrono::steady_clock::now() - began;
        if (took >= std::chrono::duration<double, std::milli>(videoThreadThresholdMs()))
            m_worker.start([this] { decodeAhead(); });
        ++m_framesDecoded;
        m_decodedUpTo = it->first;
        if (!image.isNull()) m_current = std::move(image);
        if (!m_current.isNull()) remember(it->first, m_current);
        if (it == target) break;
    }
    if (m_worker.running()) {
        m_aheadOf = wanted;
        m_worker.changed().notify_all();
    }
    return m_current;
}

}  // namespace vistrel::player::video
