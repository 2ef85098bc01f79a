// Keeps the pixels of gradient fills that are drawn again unchanged from one frame to the next, so a
// still gradient under moving content is worked out once rather than every frame.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>

#include <QImage>
#include <QRect>
#include <QTransform>

#include "player/render/gradient_table.h"
#include "player/swf/tags_shape.h"

namespace vistrel::player {

class GradientCache {
public:
    // Everything the pixels of a gradient fill depend on.
    struct Key {
        GradientTable table{};
        swf::FillType type = swf::FillType::LinearGradient;
        int spread = 0;
        double focal = 0;
        QTransform squareToDevice;
        QRect area;
        GradientSampling sampling = GradientSampling::Stepped;
        bool operator==(const Key&) const = default;
    };

    explicit GradientCache(std::size_t maxBytes = std::size_t{32} << 20) : m_maxBytes(maxBytes) {}

    // The kept pixels for `key`, or null. A key that is asked for in two frames running and not
    // found is worth keeping: `wanted` then says so, and the caller hands the pixels to keep().
    const QImage* find(const Key& key, bool& wanted);
    void keep(const Key& key, QImage image);
    // Marks the start of a frame: entries and requests not used for a while are dropped.
    void nextFrame();
    std::size_t bytes() const { return m_bytes; }

private:
    struct Entry {
        Key key;
        std::uint64_t hash = 0;
        QImage image;
        std::uint64_t lastUse = 0;
    };
    static std::uint64_t hashOf(const Key& key);
    void trim();

    std::size_t m_maxBytes;
    std::size_t m_bytes = 0;
    std::uint64_t m_frame = 1;
    std::list<Entry> m_entries;   // most recently used first
    // Hashes of the fills looked up lately that are not kept, with the frame each was last asked for.
    std::unordered_map<std::uint64_t, std::uint64_t> m_seen;
};

}  // namespace vistrel::player
