#pragma once
// The header facts of one SWF movie file: signature, version, declared length, frame rectangle
// and size, frame rate and frame count. Reads uncompressed ("FWS"), zlib ("CWS", version 6 and
// later) and LZMA ("ZWS", version 13 and later) movies, and nothing beyond the header.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vistrel {

struct SwfHeaderInfo {
    char Signature[3];                   // file bytes 0-2 as stored, not terminated
    std::uint8_t Version;                // file byte 3
    std::uint32_t FileLength;            // declared length; after inflation for a compressed movie
    std::int32_t XMin, XMax, YMin, YMax; // frame rectangle in twips
    std::int32_t Width, Height;          // frame size in pixels, truncated toward zero
    std::uint8_t FrameRate;              // whole frames per second
    std::uint8_t FrameRateFraction;      // the rest of the rate in 1/256
    std::uint32_t FrameCount;
};

// A file that exists but cannot be opened or read, or a compressed body that does not inflate
// (the message is then just "Error").
class SwfReadError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// True when FileName is a movie whose header was decoded; then every field of Header is set.
// False leaves Header untouched for a missing file or one shorter than 23 bytes, and sets only
// Signature, Version and FileLength otherwise. Throws SwfReadError as described above.
bool ReadSwfHeader(const std::string &FileName, SwfHeaderInfo &Header);

// Count bits of Data from bit BitPos on, most significant bit first, as an unsigned value.
// Count is 0 to 32; 0 gives 0, and a larger count is taken as 32.
std::uint32_t ReadBits(const std::uint8_t *Data, std::uint32_t BitPos, std::uint32_t Count);

// True for a signature and version that the reader treats as a compressed movie.
bool isCompressedMovie(const SwfHeaderInfo &Header);

} // namespace vistrel
