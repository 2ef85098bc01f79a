#include "player/bitmap/inflate.h"

#include <algorithm>
#include <limits>

#include <zlib.h>

namespace vistrel::player::bitmap_detail {

std::vector<std::uint8_t> inflateCapped(std::span<const std::uint8_t> input, std::size_t maxOutput)
{
    std::vector<std::uint8_t> out;
    if (input.empty() || maxOutput == 0)
        return out;

    z_stream zs{};
    if (inflateInit(&zs) != Z_OK)
        return out;

    // Grow in steps rather than trusting the wanted size up front: a tiny damaged stream
    // that claims a huge bitmap should not cost the full allocation.
    constexpr std::size_t kChunk = 256 * 1024;
    const std::size_t maxIn = std::numeric_limits<uInt>::max();
    std::size_t inOffset = 0;
    int rc = Z_OK;
    while (out.size() < maxOutput) {
        const std::size_t produced = out.size();
        const std::size_t step = std::min(maxOutput - produced, std::max(kChunk, produced));
        out.resize(produced + step);
        zs.next_out = out.data() + produced;
        zs.avail_out = static_cast<uInt>(std::min(step, maxIn));
        if (zs.avail_in == 0 && inOffset < input.size()) {
            const std::size_t feed = std::min(input.size() - inOffset, maxIn);
            zs.next_in = const_cast<Bytef*>(input.data() + inOffset);
            zs.avail_in = static_cast<uInt>(feed);
            inOffset += feed;
        }
        rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t got = step - zs.avail_out;
        out.resize(produced + got);
        if (rc == Z_STREAM_END || (rc != Z_OK && rc != Z_BUF_ERROR))
            break;
        if (got == 0 && zs.avail_in == 0 && inOffset >= input.size())
            break; // input exhausted: the stream was cut short
        if (got == 0 && rc == Z_BUF_ERROR)
            break;
    }
    inflateEnd(&zs);
    return out;
}

} // namespace vistrel::player::bitmap_detail
