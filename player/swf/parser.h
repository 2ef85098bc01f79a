// Reads a whole movie: header, then every tag, keeping what could be read when the data is damaged.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "player/swf/decompress.h"
#include "player/swf/tag.h"

namespace vistrel::swf {

struct MovieHeader {
    int version = 0;
    Compression compression = Compression::None;
    std::uint32_t declaredLength = 0;
    Rect frameSize;
    double frameRate = 0;       // frames per second, as stored (may be 0)
    std::uint16_t frameCount = 0;
};

struct ParsedMovie {
    MovieHeader header;
    std::vector<TagRecord> tags;
    Diagnostics diagnostics;
};

// Sprites nested deeper than this are not read (a sprite may not contain sprites at all).
inline constexpr int kMaxSpriteNesting = 4;

// Throws FormatError or TruncatedData only when not even the header can be read.
ParsedMovie parseMovie(std::span<const std::uint8_t> file);

// Reads tags until an End tag or the end of the data; damaged tags become diagnostics.
std::vector<TagRecord> parseTags(ByteReader& stream, int swfVersion, Diagnostics& diagnostics, int nesting = 0);

// One tag body; throws TruncatedData or FormatError on damage.
Tag parseTagBody(std::uint16_t code, ByteReader& body, int swfVersion, Diagnostics& diagnostics, int nesting);

}  // namespace vistrel::swf
