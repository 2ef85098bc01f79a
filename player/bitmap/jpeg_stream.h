// Repairs the JPEG streams stored in movies so that a standard decoder accepts them
// (internal to the bitmap decoder).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vistrel::player::bitmap_detail {

// Rebuilds a JPEG stream: drops the stray "FF D9 FF D8" pair old authoring tools put in front of
// the data, and joins a stream that is really two (tables, then image, each with its own
// start/end markers) into one with a single start and end marker. Returns an empty vector when
// the bytes are not a marker-structured JPEG stream at all.
std::vector<std::uint8_t> normalizeJpeg(std::span<const std::uint8_t> data);

// The tables of a JPEGTables body followed by the image of a DefineBits body, as one stream.
std::vector<std::uint8_t> mergeJpegTables(std::span<const std::uint8_t> tables,
                                          std::span<const std::uint8_t> image);

} // namespace vistrel::player::bitmap_detail
