// Capped zlib inflation for bitmap payloads (internal to the bitmap decoder).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vistrel::player::bitmap_detail {

// Inflates a zlib stream, stopping once `maxOutput` bytes have been produced. A damaged or
// truncated stream yields whatever was inflated before the damage; a checksum that is missing
// or wrong after all wanted bytes arrived is not an error, since only the pixels matter.
std::vector<std::uint8_t> inflateCapped(std::span<const std::uint8_t> input, std::size_t maxOutput);

} // namespace vistrel::player::bitmap_detail
