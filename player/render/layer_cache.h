// Finished pixels of layers drawn as bitmaps of their own (filtered and cacheAsBitmap objects), kept
// while their content stays the same so an unchanged one is not drawn and filtered again each frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

#include <QImage>
#include <QRect>

namespace vistrel::player {

// Bands of one frame drawn on two threads share a cache: finding and offering may happen at once. An
// entry found stays valid until the next beginFrame (entries in use this frame are never evicted).
class LayerCache {
public:
    struct Entry {
        QRect box;      // device pixels the pixels go to
        QImage image;   // premultiplied, box-sized
        std::uint64_t lastUsed = 0;
    };

    explicit LayerCache(std::size_t budgetBytes = std::size_t{96} << 20) : m_budget(budgetBytes) {}

    // A new frame: entries not used for a while go.
    void beginFrame();
    const Entry* find(std::uint64_t signature);
    // Whether pixels are kept for `signature`, without counting as a use.
    bool contains(std::uint64_t signature) const {
        std::lock_guard lock(m_mutex);
        return m_entries.count(signature) > 0;
    }
    // Keeps the pixels of a layer whose content was also seen in an earlier frame (content that
    // changes every frame is not worth the copy).
    void offer(std::uint64_t signature, const QRect& box, const QImage& pixels);
    void clear();
    std::size_t bytes() const {
        std::lock_guard lock(m_mutex);
        return m_bytes;
    }

private:
    void evictTo(std::size_t bytes);

    mutable std::mutex m_mutex;
    std::size_t m_budget;
    std::size_t m_bytes = 0;
    std::uint64_t m_frame = 0;
    std::unordered_map<std::uint64_t, Entry> m_entries;
    std::unordered_map<std::uint64_t, std::uint64_t> m_seen;   // signature -> frame it was last drawn in
};

}  // namespace vistrel::player
