#include "player/bitmap/lossless.h"

#include <algorithm>
#include <array>
#include <vector>

#include "player/bitmap/bitmap_decode.h"
#include "player/swf/decompress.h"

namespace vistrel::player::bitmap_detail {
namespace {

constexpr int kColormapped = 3;
constexpr int kRgb15 = 4;
constexpr int kRgb32 = 5;

// Stored premultiplied data is trusted only as far as it is valid: no channel above alpha.
QRgb clampPremultiplied(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return qRgba(std::min(r, a), std::min(g, a), std::min(b, a), a);
}

std::size_t paddedRow(std::size_t bytes)
{
    return (bytes + 3) & ~std::size_t(3);
}

} // namespace

QImage decodeLossless(std::span<const std::uint8_t> body, bool withAlpha, std::int64_t maxPixels)
{
    if (body.size() < 5)
        return {};
    const int format = body[0];
    const int width = body[1] | (body[2] << 8);
    const int height = body[3] | (body[4] << 8);
    if (width == 0 || height == 0 || std::int64_t(width) * height > maxPixels)
        return {};
    std::size_t offset = 5;

    std::size_t tableSize = 0;
    std::size_t entryBytes = withAlpha ? 4 : 3;
    std::size_t rowBytes = 0;
    switch (format) {
    case kColormapped:
        if (body.size() < 6)
            return {};
        tableSize = std::size_t(body[5]) + 1;
        offset = 6;
        rowBytes = paddedRow(std::size_t(width));
        break;
    case kRgb15:
        rowBytes = paddedRow(std::size_t(width) * 2);
        break;
    case kRgb32:
        rowBytes = std::size_t(width) * 4;
        break;
    default:
        return {};
    }

    const std::size_t tableBytes = tableSize * entryBytes;
    const std::size_t wanted = tableBytes + rowBytes * std::size_t(height);
    const std::vector<std::uint8_t> data = swf::inflateCapped(body.subspan(offset), wanted);
    if (data.size() < tableBytes + rowBytes)
        return {}; // not even one row: nothing worth showing

    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    image.fill(Qt::transparent);

    std::array<QRgb, 256> palette{};
    for (std::size_t i = 0; i < tableSize; ++i) {
        const std::uint8_t* e = data.data() + i * entryBytes;
        palette[i] = withAlpha ? clampPremultiplied(e[3], e[0], e[1], e[2]) : qRgb(e[0], e[1], e[2]);
    }
    // Indices past the table's end show as transparent black (palette entries stay zero).

    const std::size_t rowsPresent = std::min<std::size_t>(height, (data.size() - tableBytes) / rowBytes);
    for (std::size_t y = 0; y < rowsPresent; ++y) {
        const std::uint8_t* src = data.data() + tableBytes + y * rowBytes;
        auto* dst = reinterpret_cast<QRgb*>(image.scanLine(int(y)));
        for (int x = 0; x < width; ++x) {
            switch (format) {
            case kColormapped:
                dst[x] = palette[src[x]];
                break;
            case kRgb15: {
                // Bits, most significant first: 1 unused, 5 red, 5 green, 5 blue.
                const unsigned v = (unsigned(src[2 * x]) << 8) | src[2 * x + 1];
                const auto expand = [](unsigned c) { return (c << 3) | (c >> 2); };
                dst[x] = qRgb(int(expand((v >> 10) & 31)), int(expand((v >> 5) & 31)), int(expand(v & 31)));
                break;
            }
            case kRgb32: {
                const std::uint8_t* p = src + 4 * x;
                dst[x] = withAlpha ? clampPremultiplied(p[0], p[1], p[2], p[3]) : qRgb(p[1], p[2], p[3]);
                break;
            }
            }
        }
    }
    return image;
}

} // namespace vistrel::player::bitmap_detail
