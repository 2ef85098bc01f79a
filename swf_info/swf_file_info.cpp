#include "swf_info/swf_file_info.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include <span>

#include "player/swf/decompress.h"

namespace vistrel {
namespace {

// The 25 bytes after the first 8 always hold the largest rectangle, the rate and the count.
constexpr std::size_t kWindowSize = 25;
constexpr std::size_t kFixedHeaderSize = 8;
constexpr std::uintmax_t kSmallestMovie = 23;
// Compressed input is handed to the decoder in pieces of at most this size.
constexpr std::size_t kInputPiece = 64 * 1024;

using Window = std::array<std::uint8_t, kWindowSize>;

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

[[noreturn]] void throwOpenError(const std::string &fileName, const std::string &reason) {
    throw SwfReadError("Cannot open file \"" + fileName + "\": " + reason);
}

[[noreturn]] void throwReadError(const std::string &fileName) {
    throw SwfReadError("Cannot read file \"" + fileName + "\"");
}

[[noreturn]] void throwDecompressionError() {
    throw SwfReadError("Error");
}

void readExactly(std::FILE *file, void *buffer, std::size_t size, const std::string &fileName) {
    if (size > 0 && std::fread(buffer, 1, size, file) != size)
        throwReadError(fileName);
}

// The compressed body, read from the file piece by piece: only as much as the decoder needs to
// fill the window is ever read, so memory use does not grow with the size of the file.
class BodyReader {
public:
    BodyReader(std::FILE *file, std::uint64_t size, const std::string &fileName)
        : m_file(file), m_left(size), m_fileName(fileName),
          m_buffer(static_cast<std::size_t>(std::min<std::uint64_t>(kInputPiece, size))) {}

    bool atEnd() const { return m_left == 0; }
    // Reads the next piece of at most kInputPiece bytes into the buffer and returns its size.
    std::size_t next() {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kInputPiece, m_left));
        readExactly(m_file, m_buffer.data(), piece, m_fileName);
        m_left -= piece;
        return piece;
    }
    const std::uint8_t *data() const { return m_buffer.data(); }

private:
    std::FILE *m_file;
    std::uint64_t m_left;
    const std::string &m_fileName;
    std::vector<std::uint8_t> m_buffer;
};

// Decodes the body into the window until the window is full, the stream ends or the input is
// used up; a body cut short leaves the rest of the window zero. `input` is what of the body has
// been read already and not yet decoded.
void decodeInto(swf::StreamDecoder &decoder, BodyReader &body, std::span<const std::uint8_t> input, Window &window) {
    using Status = swf::StreamDecoder::Status;
    std::span<std::uint8_t> room(window);
    while (!room.empty()) {
        if (input.empty() && !body.atEnd()) {
            const std::size_t piece = body.next();
            input = std::span<const std::uint8_t>(body.data(), piece);
        }
        const std::size_t roomBefore = room.size(), inputBefore = input.size();
        const Status status = decoder.decode(input, room, body.atEnd());
        if (status == Status::Damaged)
            throwDecompressionError();
        if (status != Status::Running)
            return;
        if (body.atEnd() && input.size() == inputBefore && room.size() == roomBefore)
            return;
    }
}

void inflateInto(BodyReader &body, Window &window) {
    const std::unique_ptr<swf::StreamDecoder> decoder = swf::StreamDecoder::zlib();
    if (!decoder)
        throwDecompressionError();
    decodeInto(*decoder, body, {}, window);
}

// The raw LZMA stream of a "ZWS" body, properties first.
void decodeLzmaInto(BodyReader &body, Window &window) {
    // The first piece holds the properties unless the whole body is shorter than they are.
    const std::size_t first = body.next();
    if (first < swf::kLzmaStreamOffset)
        throwDecompressionError();
    const std::span<const std::uint8_t> piece(body.data(), first);
    const std::unique_ptr<swf::StreamDecoder> decoder = swf::StreamDecoder::lzma(
        piece.subspan(swf::kLzmaPropertiesOffset, swf::kLzmaPropertiesSize), window.size());
    if (!decoder)
        throwDecompressionError();
    decodeInto(*decoder, body, piece.subspan(swf::kLzmaStreamOffset), window);
}

std::int32_t signExtend(std::uint32_t value, std::uint32_t bits) {
    if (bits == 0)
        return 0;
    const std::int64_t wide = value;
    const bool negative = ((value >> (bits - 1)) & 1u) != 0;
    return static_cast<std::int32_t>(negative ? wide - (std::int64_t{1} << bits) : wide);
}

void decodeWindow(const Window &window, SwfHeaderInfo &header) {
    const std::uint32_t nBits = ReadBits(window.data(), 0, 5);
    header.XMin = signExtend(ReadBits(window.data(), 5, nBits), nBits);
    header.XMax = signExtend(ReadBits(window.data(), 5 + nBits, nBits), nBits);
    header.YMin = signExtend(ReadBits(window.data(), 5 + 2 * nBits, nBits), nBits);
    header.YMax = signExtend(ReadBits(window.data(), 5 + 3 * nBits, nBits), nBits);
    // 31-bit fields keep the differences within 32 bits; 64 bits make that obvious.
    header.Width = static_cast<std::int32_t>((std::int64_t{header.XMax} - header.XMin) / 20);
    header.Height = static_cast<std::int32_t>((std::int64_t{header.YMax} - header.YMin) / 20);
    const std::size_t p = (5 + 4 * nBits + 7) / 8;
    header.FrameRateFraction = window[p];
    header.FrameRate = window[p + 1];
    header.FrameCount = window[p + 2] + 256u * window[p + 3];
}

bool signatureIs(const SwfHeaderInfo &header, const char *signature) {
    return std::memcmp(header.Signature, signature, 3) == 0;
}

} // namespace

std::uint32_t ReadBits(const std::uint8_t *Data, std::uint32_t BitPos, std::uint32_t Count) {
    Count = std::min<std::uint32_t>(Count, 32);
    std::uint64_t value = 0;
    for (std::uint32_t i = 0; i < Count; ++i) {
        const std::uint64_t bit = BitPos + i;
        const std::uint8_t byte = Data[bit / 8];
        value = (value << 1) | ((byte >> (7 - bit % 8)) & 1u);
    }
    return static_cast<std::uint32_t>(value);
}

bool isCompressedMovie(const SwfHeaderInfo &Header) {
    return (signatureIs(Header, "CWS") && Header.Version >= 6) ||
           (signatureIs(Header, "ZWS") && Header.Version >= 13);
}

bool ReadSwfHeader(const std::string &FileName, SwfHeaderInfo &Header) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(FileName, error);
    if (status.type() == fs::file_type::not_found || FileName.empty())
        return false;
    if (error)
        throwOpenError(FileName, error.message());
    // Folders would "open" and then fail to read; pipes and devices could block forever.
    if (status.type() != fs::file_type::regular)
        throwOpenError(FileName, "not a regular file");

    errno = 0;
    const FileHandle file(std::fopen(FileName.c_str(), "rb"));
    if (!file)
        throwOpenError(FileName, errno != 0 ? std::strerror(errno) : "unknown error");
    if (std::fseek(file.get(), 0, SEEK_END) != 0)
        throwReadError(FileName);
    const long size = std::ftell(file.get());
    if (size < 0 || std::fseek(file.get(), 0, SEEK_SET) != 0)
        throwReadError(FileName);
    if (static_cast<std::uintmax_t>(size) < kSmallestMovie)
        return false;

    std::array<std::uint8_t, kFixedHeaderSize> fixed{};
    readExactly(file.get(), fixed.data(), fixed.size(), FileName);
    std::memcpy(Header.Signature, fixed.data(), 3);
    Header.Version = fixed[3];
    Header.FileLength = fixed[4] | (std::uint32_t{fixed[5]} << 8) | (std::uint32_t{fixed[6]} << 16) |
                        (std::uint32_t{fixed[7]} << 24);

    // A window that the file or the inflated body fills only in part stays zero behind it.
    Window window{};
    bool isMovie = false;
    if (isCompressedMovie(Header)) {
        BodyReader body(file.get(), static_cast<std::uint64_t>(size) - kFixedHeaderSize, FileName);
        if (signatureIs(Header, "CWS"))
            inflateInto(body, window);
        else
            decodeLzmaInto(body, window);
        isMovie = true;
    } else {
        const std::size_t available =
            std::min<std::size_t>(window.size(), static_cast<std::size_t>(size) - kFixedHeaderSize);
        readExactly(file.get(), window.data(), available, FileName);
        isMovie = signatureIs(Header, "FWS");
    }

    if (isMovie)
        decodeWindow(window, Header);
    return isMovie;
}

} // namespace vistrel
