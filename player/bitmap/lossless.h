// The zlib-packed lossless bitmap formats (internal to the bitmap decoder).
#pragma once

#include <cstdint>
#include <span>

#include <QImage>

namespace vistrel::player::bitmap_detail {

// Decodes a DefineBitsLossless (withAlpha false) or DefineBitsLossless2 (withAlpha true) body
// that follows the character id. Returns a null image when the header is invalid, the bitmap
// has more than `maxPixels` pixels or the compressed data yields nothing usable; rows missing
// at the end of a cut-short stream stay transparent.
QImage decodeLossless(std::span<const std::uint8_t> body, bool withAlpha, std::int64_t maxPixels);

} // namespace vistrel::player::bitmap_detail
