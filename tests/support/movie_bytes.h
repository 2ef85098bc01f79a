#pragma once
// Movies with headers written out byte by byte, whatever they declare, for the header reader's
// tests: any signature, version and length, and the 25-byte window after them.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/swf_writer.h"

namespace vistrel::testing {

// The 550 x 400 twips-in-15-bit rectangle, rate 12.0, one frame: the header window of a common movie.
Bytes window550x400();

// Signature, version and declared length, then the body as given.
Bytes fixedHeader(const std::string &signature, std::uint8_t version, std::uint32_t fileLength);
Bytes plainMovie(const std::string &signature, std::uint8_t version, std::uint32_t fileLength,
                 const Bytes &window);
// "CWS": the body compressed with zlib at the given level (0 = stored blocks).
Bytes zlibMovie(std::uint8_t version, std::uint32_t fileLength, const Bytes &body, int level = 9);
// "ZWS": compressed length, the five LZMA property bytes, then the raw LZMA stream.
Bytes lzmaMovie(std::uint8_t version, std::uint32_t fileLength, const Bytes &body);

// A rectangle record with nBits-wide fields followed by the rate (8.8) and the frame count.
Bytes rectWindow(unsigned nBits, std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax,
                 std::uint8_t rate, std::uint8_t fraction, std::uint16_t frameCount);

// Writes bytes to path; throws std::runtime_error when that fails.
void writeFile(const std::string &path, const Bytes &bytes);

} // namespace vistrel::testing
