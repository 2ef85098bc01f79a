// Bitmap definitions are kept as their raw bytes; the engine decodes them once, on first use.
#pragma once

#include <cstdint>
#include <vector>

namespace vistrel::swf {

// DefineBits (6), DefineBitsJPEG2/3/4 (21, 35, 90), DefineBitsLossless/2 (20, 36).
struct DefineBitmap {
    int tagCode = 0;
    std::uint16_t id = 0;
    std::vector<std::uint8_t> body;   // everything after the character id
};

// The JPEG encoding tables shared by every DefineBits of the movie.
struct JpegTables {
    std::vector<std::uint8_t> data;
};

}  // namespace vistrel::swf
