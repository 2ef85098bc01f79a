// Turns a movie file into its uncompressed tag stream, for "FWS", "CWS" (zlib) and "ZWS" (LZMA).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vistrel::swf {

enum class Compression { None, Zlib, Lzma };

// The uncompressed body (everything after the 8-byte file header) plus the header facts.
struct DecompressedMovie {
    Compression compression = Compression::None;
    int version = 0;
    std::uint32_t declaredLength = 0;   // the header's file length (uncompressed, with the header)
    std::vector<std::uint8_t> body;
    bool truncated = false;             // the stream ended early; body holds what arrived
};

// Inflated data is never allowed to grow past this, whatever the header declares.
inline constexpr std::size_t kMaxInflatedSize = 256u * 1024u * 1024u;

// Throws FormatError for a file that is not a movie at all (bad signature, too short).
DecompressedMovie decompressMovie(std::span<const std::uint8_t> file, std::size_t maxSize = kMaxInflatedSize);

}  // namespace vistrel::swf
