#include "player/render/layer_cache.h"

#include <cstring>
#include <iterator>

namespace vistrel::player {

namespace {

// Frames an entry may go unused before it is dropped.
constexpr std::uint64_t kMaxIdleFrames = 120;
constexpr std::size_t kMaxSeen = 4096;

std::size_t bytesOf(const QImage& image) { return static_cast<std::size_t>(image.sizeInBytes()); }

}  // namespace

void LayerCache::beginFrame() {
    std::lock_guard lock(m_mutex);
    ++m_frame;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (m_frame - it->second.lastUsed > kMaxIdleFrames) {
            m_bytes -= bytesOf(it->second.image);
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    if (m_seen.size() > kMaxSeen) {
        for (auto it = m_seen.begin(); it != m_seen.end();) it = m_frame - it->second > 2 ? m_seen.erase(it) : std::next(it);
        if (m_seen.size() > kMaxSeen) m_seen.clear();
    }
}

const LayerCache::Entry* LayerCache::find(std::uint64_t signature) {
    std::lock_guard lock(m_mutex);
    auto it = m_entries.find(signature);
    if (it == m_entries.end()) return nullptr;
    it->second.lastUsed = m_frame;
    return &it->second;
}

void LayerCache::offer(std::uint64_t signature, const QRect& box, const QImage& pixels) {
    std::lock_guard lock(m_mutex);
    auto [seen, fresh] = m_seen.try_emplace(signature, m_frame);
    const bool seenBefore = !fresh && seen->second < m_frame;
    seen->second = m_frame;
    if (!seenBefore || pixels.isNull() || box.size() != pixels.size()) return;
    const std::size_t need = static_cast<std::size_t>(box.width()) * static_cast<std::size_t>(box.height()) * 4;
    if (need > m_budget / 4) return;
    if (m_entries.count(signature)) return;
    evictTo(m_budget - need);
    if (m_bytes + need > m_budget) return;   // what is left is in use this frame
    Entry entry;
    entry.box = box;
    entry.image = QImage(box.size(), QImage::Format_ARGB32_Premultiplied);
    if (entry.image.isNull()) return;
    for (int y = 0; y < box.height(); ++y)
        std::memcpy(entry.image.scanLine(y), pixels.constScanLine(y), static_cast<std::size_t>(box.width()) * 4);
    entry.lastUsed = m_frame;
    m_bytes += bytesOf(entry.image);
    m_entries.emplace(signature, std::move(entry));
}

void LayerCache::clear() {
    std::lock_guard lock(m_mutex);
    m_entries.clear();
    m_seen.clear();
    m_bytes = 0;
}

void LayerCache::evictTo(std::size_t bytes) {
    while (m_bytes > bytes && !m_entries.empty()) {
        auto oldest = m_entries.begin();
        for (auto it = m_entries.begin(); it != m_entries.end(); ++it)
            if (it->second.lastUsed < oldest->second.lastUsed) oldest = it;
        // Another band may be drawing from an entry found this frame.
        if (oldest->second.lastUsed == m_frame) return;
        m_bytes -= bytesOf(oldest->second.image);
        m_entries.erase(oldest);
    }
}

}  // namespace vistrel::player
