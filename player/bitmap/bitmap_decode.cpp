#include "player/bitmap/bitmap_decode.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

#include "player/bitmap/jpeg_stream.h"
#include "player/bitmap/lossless.h"
#include "player/swf/decompress.h"
#include "player/swf/tag.h"

namespace vistrel::player {

namespace tagcode = swf::tagcode;
namespace {

using swf::inflateCapped;
using bitmap_detail::mergeJpegTables;
using bitmap_detail::normalizeJpeg;

using Bytes = std::span<const std::uint8_t>;

enum class Container { Unknown, Jpeg, Png, Gif };

Container sniff(Bytes data)
{
    static constexpr std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0d, 0x0a, 0x1a, 0x0a};
    static constexpr std::uint8_t kGif[] = {'G', 'I', 'F', '8', '9', 'a'};
    if (data.size() >= sizeof kPng && std::memcmp(data.data(), kPng, sizeof kPng) == 0)
        return Container::Png;
    if (data.size() >= sizeof kGif && std::memcmp(data.data(), kGif, sizeof kGif) == 0)
        return Container::Gif;
    if (data.size() >= 2 && data[0] == 0xff && (data[1] == 0xd8 || data[1] == 0xd9))
        return Container::Jpeg;
    return Container::Unknown;
}

// Decodes with Qt's readers after checking the declared size, so a damaged header cannot
// request an enormous allocation. Only the three formats movies may carry are tried.
QImage readImage(Bytes data, const char* format, std::int64_t maxPixels)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data.data()),
                                                     qsizetype(data.size()));
    QBuffer buffer;
    buffer.setData(bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer, format);
    reader.setDecideFormatFromContent(false);
    reader.setAutoTransform(false);
    // Qt's default ceiling is below the largest bitmap a movie may hold.
    reader.setAllocationLimit(int((maxPixels * 4) >> 20) + 1);
    const QSize size = reader.size();
    if (size.isValid() && (size.isEmpty() || std::int64_t(size.width()) * size.height() > maxPixels))
        return {};
    QImage image = reader.read();
    if (image.isNull() || image.width() <= 0 || image.height() <= 0 ||
        std::int64_t(image.width()) * image.height() > maxPixels)
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage decodeJpeg(Bytes data, std::int64_t maxPixels)
{
    const std::vector<std::uint8_t> repaired = normalizeJpeg(data);
    if (!repaired.empty()) {
        QImage image = readImage(repaired, "JPEG", maxPixels);
        if (!image.isNull())
            return image;
    }
    return readImage(data, "JPEG", maxPixels); // the repair found no structure: let the reader try as is
}

// JPEG, PNG or GIF89a data, told apart by their signatures.
QImage decodeEmbedded(Bytes data, std::int64_t maxPixels, Container* kind = nullptr)
{
    const Container container = sniff(data);
    if (kind)
        *kind = container;
    switch (container) {
    case Container::Jpeg: return decodeJpeg(data, maxPixels);
    case Container::Png: return readImage(data, "PNG", maxPixels);
    case Container::Gif: return readImage(data, "GIF", maxPixels);
    case Container::Unknown: break;
    }
    return {};
}

std::uint32_t readU32(Bytes data)
{
    return std::uint32_t(data[0]) | (std::uint32_t(data[1]) << 8) | (std::uint32_t(data[2]) << 16) |
           (std::uint32_t(data[3]) << 24);
}

// JPEG data followed by a zlib-compressed alpha plane, one byte per pixel.
QImage decodeJpegWithAlpha(Bytes body, std::size_t prefix, std::int64_t maxPixels)
{
    if (body.size() < prefix)
        return {};
    const std::uint32_t imageSize = readU32(body);
    const Bytes rest = body.subspan(prefix);
    if (imageSize > rest.size())
        return {};
    const Bytes imageData = rest.first(imageSize);
    const Bytes alphaData = rest.subspan(imageSize);

    Container kind = Container::Unknown;
    QImage image = decodeEmbedded(imageData, maxPixels, &kind);
    if (image.isNull() || kind != Container::Jpeg || alphaData.empty())
        return image; // the alpha plane belongs to JPEG data only

    const std::size_t pixels = std::size_t(image.width()) * std::size_t(image.height());
    const std::vector<std::uint8_t> alpha = inflateCapped(alphaData, pixels);
    // A plane cut short leaves the remaining pixels opaque rather than losing the picture.
    std::size_t i = 0;
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x, ++i) {
            if (i >= alpha.size())
                return image;
            const QRgb c = line[x]; // opaque: JPEG has no alpha of its own
            line[x] = qPremultiply(qRgba(qRed(c), qGreen(c), qBlue(c), alpha[i]));
        }
    }
    return image;
}

} // namespace

QImage decodeBitmapTag(int tagCode, std::span<const std::uint8_t> body,
                       std::span<const std::uint8_t> jpegTables, std::int64_t maxPixels)
{
    maxPixels = std::min(maxPixels, kMaxBitmapPixels);
    if (maxPixels <= 0)
        return {};
    try {
        switch (tagCode) {
        case tagcode::kDefineBits: {
            if (jpegTables.empty())
                return decodeJpeg(body, maxPixels);
            const std::vector<std::uint8_t> merged = mergeJpegTables(jpegTables, body);
            if (!merged.empty()) {
                QImage image = readImage(merged, "JPEG", maxPixels);
                if (!image.isNull())
                    return image;
            }
            return decodeJpeg(body, maxPixels); // some movies carry complete streams here anyway
        }
        case tagcode::kDefineBitsJpeg2:
            return decodeEmbedded(body, maxPixels);
        case tagcode::kDefineBitsJpeg3:
            return decodeJpegWithAlpha(body, 4, maxPixels);
        case tagcode::kDefineBitsJpeg4:
            // The deblocking strength after the offset is a smoothing hint; it is not applied.
            return decodeJpegWithAlpha(body, 6, maxPixels);
        case tagcode::kDefineBitsLossless:
            return bitmap_detail::decodeLossless(body, false, maxPixels);
        case tagcode::kDefineBitsLossless2:
            return bitmap_detail::decodeLossless(body, true, maxPixels);
        default:
            return {};
        }
    } catch (const std::bad_alloc&) {
        return {};
    }
}

} // namespace vistrel::player
