// Decoding of the bitmap definition tags (JPEG with or without shared tables, JPEG with a
// separate alpha plane, PNG/GIF inside JPEG tags, and the zlib-packed lossless formats) into
// premultiplied Qt images the renderer can draw directly.
#pragma once

#include <cstdint>
#include <span>

#include <QImage>

namespace vistrel::player {

// Largest bitmap accepted, in pixels; anything bigger is treated as damage.
inline constexpr std::int64_t kMaxBitmapPixels = std::int64_t(64) * 1024 * 1024;

// `tagCode` is one of the bitmap codes of swf::tagcode (DefineBits, DefineBitsJpeg2..4,
// DefineBitsLossless and DefineBitsLossless2). `body` is the tag body after the 2-byte character id; `jpegTables` the body of the movie's
// JPEGTables tag (empty when the movie has none). Returns a Format_ARGB32_Premultiplied image,
// or a null image when the data does not decode or would exceed `maxPixels` (itself held to
// kMaxBitmapPixels). Never throws for bad data.
QImage decodeBitmapTag(int tagCode, std::span<const std::uint8_t> body,
                       std::span<const std::uint8_t> jpegTables, std::int64_t maxPixels = kMaxBitmapPixels);

} // namespace vistrel::player
