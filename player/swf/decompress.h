// The one home of decompression: zlib and raw LZMA streams, for whole movies, for the header
// reader's first bytes and for bitmap payloads, under one set of limits.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vistrel::swf {

// Inflated data is never allowed to grow past this, whatever the header declares.
inline constexpr std::size_t kMaxInflatedSize = 256u * 1024u * 1024u;
// An LZMA dictionary is never larger than the output wanted (nor than kMaxInflatedSize): a
// hostile property byte must not make the decoder reserve gigabytes for a few bytes.
inline constexpr std::uint32_t kMinLzmaDictionary = 4096;
// "ZWS" bodies: the compressed length (4 bytes), then the LZMA properties (5), then the stream.
inline constexpr std::size_t kLzmaPropertiesOffset = 4;
inline constexpr std::size_t kLzmaPropertiesSize = 5;
inline constexpr std::size_t kLzmaStreamOffset = kLzmaPropertiesOffset + kLzmaPropertiesSize;

// Decodes one stream step by step: input may arrive in pieces, output goes into the caller's
// buffer. Both spans are advanced past what was used.
class StreamDecoder {
public:
    enum class Status {
        Running,   // more output may follow: give more room, or more input
        Ended,     // the stream's end was reached
        Starved,   // the last input is used up before the stream ended (a cut body)
        Damaged,   // the data is not a valid stream
    };

    // Null when the decoder cannot start (for LZMA: properties that do not decode).
    static std::unique_ptr<StreamDecoder> zlib();
    static std::unique_ptr<StreamDecoder> lzma(std::span<const std::uint8_t> properties, std::size_t wantedOutput);

    virtual ~StreamDecoder() = default;
    // `last`: no input follows what `input` holds.
    virtual Status decode(std::span<const std::uint8_t>& input, std::span<std::uint8_t>& output, bool last) = 0;
};

// A whole stream decoded into memory, at most `maxOutput` bytes of it.
struct DecodedStream {
    std::vector<std::uint8_t> bytes;
    StreamDecoder::Status status = StreamDecoder::Status::Running;   // Running: stopped at maxOutput
};
// `reserve` is what the caller expects, granted only up to a modest amount; growth past it is
// stepwise, so a tiny damaged stream that claims a huge size does not cost the full allocation.
DecodedStream decodeAll(StreamDecoder& decoder, std::span<const std::uint8_t> input, std::size_t maxOutput,
                        std::size_t reserve = 0);

// Inflates a zlib stream, stopping once `maxOutput` bytes have been produced. A damaged or
// truncated stream yields whatever was inflated before the damage.
std::vector<std::uint8_t> inflateCapped(std::span<const std::uint8_t> input, std::size_t maxOutput);

enum class Compression { None, Zlib, Lzma };

// The uncompressed body (everything after the 8-byte file header) plus the header facts.
struct DecompressedMovie {
    Compression compression = Compression::None;
    int version = 0;
    std::uint32_t declaredLength = 0;   // the header's file length (uncompressed, with the header)
    std::vector<std::uint8_t> body;
    bool truncated = false;             // the stream ended early; body holds what arrived
};

// Throws FormatError for a file that is not a movie at all (bad signature, too short).
DecompressedMovie decompressMovie(std::span<const std::uint8_t> file, std::size_t maxSize = kMaxInflatedSize);

}  // namespace vistrel::swf
