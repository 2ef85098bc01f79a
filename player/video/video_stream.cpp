#include "player/video/video_stream.h"

#include <algorithm>

namespace vistrel::player::video {

VideoStream::VideoStream(int codecId, int deblocking) : m_codec(codecFromId(codecId)), m_deblocking(deblocking) {}

VideoStream::~VideoStream() = default;

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
    std::lock_guard lock(m_mutex);
    if (!m_codec || m_packets.empty()) return {};
    auto target = m_packets.upper_bound(number);
    if (target == m_packets.begin()) return {};   // before the first frame
    --target;
    const int wanted = target->first;
    for (auto it = m_cache.rbegin(); it != m_cache.rend(); ++it)
        if (it->first == wanted) return it->second;

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
        QImage image = m_decoder->decode(it->second.data);
        ++m_framesDecoded;
        m_decodedUpTo = it->first;
        if (!image.isNull()) m_current = std::move(image);
        if (!m_current.isNull()) remember(it->first, m_current);
        if (it == target) break;
    }
    return m_current;
}

}  // namespace vistrel::player::video
