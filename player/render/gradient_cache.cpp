#include "player/render/gradient_cache.h"


namespace vistrel::player {

namespace {

// Requests remembered while nothing is kept for them; beyond this the memory starts afresh.
constexpr std::size_t kSeenLimit = 4096;
// Frames an entry may go unused before it is dropped.
constexpr std::uint64_t kIdleFrames = 4;

std::uint64_t mix(std::uint64_t hash, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 0x100000001b3ull;
    return hash;
}

}  // namespace

std::uint64_t GradientCache::hashOf(const Key& key) {
    std::uint64_t hash = 0xcbf29ce484222325ull;
    hash = mix(hash, key.table.data(), sizeof(QRgb) * key.table.size());
    const auto type = static_cast<int>(key.type);
    hash = mix(hash, &type, sizeof type);
    hash = mix(hash, &key.spread, sizeof key.spread);
    hash = mix(hash, &key.focal, sizeof key.focal);
    const auto sampling = static_cast<int>(key.sampling);
    hash = mix(hash, &sampling, sizeof sampling);
    const double m[] = {key.squareToDevice.m11(), key.squareToDevice.m12(), key.squareToDevice.m13(),
                        key.squareToDevice.m21(), key.squareToDevice.m22(), key.squareToDevice.m23(),
                        key.squareToDevice.m31(), key.squareToDevice.m32(), key.squareToDevice.m33()};
    hash = mix(hash, m, sizeof m);
    const int r[] = {key.area.x(), key.area.y(), key.area.width(), key.area.height()};
    return mix(hash, r, sizeof r);
}

const QImage* GradientCache::find(const Key& key, bool& wanted) {
    wanted = false;
    const std::uint64_t hash = hashOf(key);
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->hash == hash && it->key == key) {
            it->lastUse = m_frame;
            m_entries.splice(m_entries.begin(), m_entries, it);
            return &m_entries.front().image;
        }
    }
    const auto seen = m_seen.find(hash);
    if (seen != m_seen.end()) {
        // Asked for in an earlier frame as well: it is standing still.
        wanted = seen->second < m_frame;
        seen->second = m_frame;
    } else {
        if (m_seen.size() >= kSeenLimit) m_seen.clear();
        m_seen.emplace(hash, m_frame);
    }
    return nullptr;
}

void GradientCache::keep(const Key& key, QImage image) {
    const auto size = static_cast<std::size_t>(image.sizeInBytes());
    if (image.isNull() || size > m_maxBytes / 2) return;
    const std::uint64_t hash = hashOf(key);
    m_seen.erase(hash);
    m_entries.push_front({key, hash, std::move(image), m_frame});
    m_bytes += size;
    trim();
}

void GradientCache::nextFrame() {
    ++m_frame;
    for (auto it = m_entries.begin(); it != m_entries.end();) {
        if (it->lastUse + kIdleFrames < m_frame) {
            m_bytes -= static_cast<std::size_t>(it->image.sizeInBytes());
            it = m_entries.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = m_seen.begin(); it != m_seen.end();) {
        if (it->second + 1 < m_frame) it = m_seen.erase(it);
        else ++it;
    }
}

void GradientCache::trim() {
    while (!m_entries.empty() && m_bytes > m_maxBytes) {
        m_bytes -= static_cast<std::size_t>(m_entries.back().image.sizeInBytes());
        m_entries.pop_back();
    }
}

}  // namespace vistrel::player
