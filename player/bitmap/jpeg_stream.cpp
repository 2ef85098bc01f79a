#include "player/bitmap/jpeg_stream.h"

namespace vistrel::player::bitmap_detail {
namespace {

constexpr std::uint8_t kSoi = 0xd8;
constexpr std::uint8_t kEoi = 0xd9;
constexpr std::uint8_t kSos = 0xda;

bool isStandalone(std::uint8_t marker)
{
    // Markers without a length field: TEM, RSTn, SOI, EOI.
    return marker == 0x01 || (marker >= 0xd0 && marker <= 0xd9);
}

} // namespace

std::vector<std::uint8_t> normalizeJpeg(std::span<const std::uint8_t> data)
{
    std::vector<std::uint8_t> out;
    std::size_t pos = 0;
    const std::size_t size = data.size();

    // Stray end/start pairs (and plain start markers) before the real content.
    while (pos + 1 < size && data[pos] == 0xff && (data[pos + 1] == kEoi || data[pos + 1] == kSoi))
        pos += 2;
    if (pos == 0 || data[pos - 1] != kSoi)
        return {};

    out.reserve(size + 2);
    out.push_back(0xff);
    out.push_back(kSoi);

    while (pos < size) {
        if (data[pos] != 0xff)
            return {}; // not at a marker: the stream is out of step
        std::size_t markerPos = pos;
        while (markerPos < size && data[markerPos] == 0xff)
            ++markerPos; // fill bytes
        if (markerPos >= size)
            break;
        const std::uint8_t marker = data[markerPos];
        pos = markerPos + 1;

        if (marker == kSoi)
            continue; // a second stream begins: its start marker is dropped
        if (marker == kEoi) {
            // An end marker followed by more markers means two streams joined together.
            if (pos + 1 < size && data[pos] == 0xff)
                continue;
            break;
        }
        if (isStandalone(marker)) {
            out.push_back(0xff);
            out.push_back(marker);
            continue;
        }
        if (pos + 2 > size)
            return {};
        const std::size_t length = (std::size_t(data[pos]) << 8) | data[pos + 1];
        if (length < 2 || pos + length > size)
            return {};
        out.push_back(0xff);
        out.push_back(marker);
        out.insert(out.end(), data.begin() + pos, data.begin() + pos + length);
        pos += length;

        if (marker == kSos) {
            // Entropy-coded data runs to the next marker that is neither stuffing nor a restart.
            const std::size_t start = pos;
            while (pos + 1 < size) {
                if (data[pos] == 0xff && data[pos + 1] != 0x00 && data[pos + 1] != 0xff &&
                    !(data[pos + 1] >= 0xd0 && data[pos + 1] <= 0xd7))
                    break;
                ++pos;
            }
            if (pos + 1 >= size)
                pos = size; // no closing marker: keep everything that is there
            out.insert(out.end(), data.begin() + start, data.begin() + pos);
        }
    }
    out.push_back(0xff);
    out.push_back(kEoi);
    return out;
}

std::vector<std::uint8_t> mergeJpegTables(std::span<const std::uint8_t> tables,
                                          std::span<const std::uint8_t> image)
{
    std::vector<std::uint8_t> joined;
    joined.reserve(tables.size() + image.size());
    joined.insert(joined.end(), tables.begin(), tables.end());
    joined.insert(joined.end(), image.begin(), image.end());
    return normalizeJpeg(joined);
}

} // namespace vistrel::player::bitmap_detail
