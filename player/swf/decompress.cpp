#include "player/swf/decompress.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include <lzma.h>
#include <zlib.h>

#include "player/swf/errors.h"

namespace vistrel::swf {

namespace {

using Status = StreamDecoder::Status;

constexpr std::size_t kChunk = 256 * 1024;
// What a decoder is handed at once; zlib counts in 32 bits.
constexpr std::size_t kMaxStep = std::numeric_limits<uInt>::max();

class ZlibDecoder final : public StreamDecoder {
public:
    ZlibDecoder() { m_started = inflateInit(&m_stream) == Z_OK; }
    ~ZlibDecoder() override {
        if (m_started) inflateEnd(&m_stream);
    }
    bool started() const { return m_started; }

    Status decode(std::span<const std::uint8_t>& input, std::span<std::uint8_t>& output, bool last) override {
        const std::size_t inStep = std::min(input.size(), kMaxStep);
        const std::size_t outStep = std::min(output.size(), kMaxStep);
        // zlib takes a non-const pointer but never writes through next_in.
        m_stream.next_in = const_cast<Bytef*>(input.data());
        m_stream.avail_in = static_cast<uInt>(inStep);
        m_stream.next_out = output.data();
        m_stream.avail_out = static_cast<uInt>(outStep);
        const int result = inflate(&m_stream, Z_NO_FLUSH);
        input = input.subspan(inStep - m_stream.avail_in);
        output = output.subspan(outStep - m_stream.avail_out);
        if (result == Z_STREAM_END) return Status::Ended;
        if (result == Z_OK) return Status::Running;
        // No progress was possible: for want of input, or of room.
        if (result == Z_BUF_ERROR) return last && input.empty() ? Status::Starved : Status::Running;
        return Status::Damaged;
    }

private:
    z_stream m_stream{};
    bool m_started = false;
};

class LzmaDecoder final : public StreamDecoder {
public:
    explicit LzmaDecoder(lzma_stream stream) : m_stream(stream) {}
    ~LzmaDecoder() override { lzma_end(&m_stream); }

    Status decode(std::span<const std::uint8_t>& input, std::span<std::uint8_t>& output, bool last) override {
        m_stream.next_in = input.data();
        m_stream.avail_in = input.size();
        m_stream.next_out = output.data();
        m_stream.avail_out = output.size();
        // Streams usually carry no end marker: the end of the input is said only once it is all
        // taken, and the wanted size says where to stop.
        const bool finish = last && input.empty();
        const lzma_ret result = lzma_code(&m_stream, finish ? LZMA_FINISH : LZMA_RUN);
        const std::size_t used = input.size() - m_stream.avail_in;
        const std::size_t produced = output.size() - m_stream.avail_out;
        input = input.subspan(used);
        output = output.subspan(produced);
        if (result == LZMA_STREAM_END) return Status::Ended;
        if (result == LZMA_OK) return finish && used == 0 && produced == 0 ? Status::Starved : Status::Running;
        if (result == LZMA_BUF_ERROR && last && input.empty()) return Status::Starved;
        return Status::Damaged;
    }

private:
    lzma_stream m_stream;
};

}  // namespace

std::unique_ptr<StreamDecoder> StreamDecoder::zlib() {
    auto decoder = std::make_unique<ZlibDecoder>();
    if (!decoder->started()) return nullptr;
    return decoder;
}

std::unique_ptr<StreamDecoder> StreamDecoder::lzma(std::span<const std::uint8_t> properties, std::size_t wantedOutput) {
    if (properties.size() < kLzmaPropertiesSize) return nullptr;
    lzma_filter filters[2]{};
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, properties.data(), kLzmaPropertiesSize) != LZMA_OK)
        return nullptr;
    // liblzma allocated the options with malloc, as no allocator was given.
    const std::unique_ptr<void, decltype(&std::free)> options(filters[0].options, &std::free);
    auto* lzmaOptions = static_cast<lzma_options_lzma*>(filters[0].options);
    const std::size_t cap = std::max<std::size_t>(std::min(wantedOutput, kMaxInflatedSize), kMinLzmaDictionary);
    lzmaOptions->dict_size = std::clamp<std::uint32_t>(lzmaOptions->dict_size, kMinLzmaDictionary,
                                                       static_cast<std::uint32_t>(cap));
    lzma_stream stream = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&stream, filters) != LZMA_OK) return nullptr;
    return std::make_unique<LzmaDecoder>(stream);
}

DecodedStream decodeAll(StreamDecoder& decoder, std::span<const std::uint8_t> input, std::size_t maxOutput,
                        std::size_t reserve) {
    DecodedStream out;
    out.bytes.reserve(std::min<std::size_t>({reserve, maxOutput, 16u * 1024u * 1024u}));
    while (out.bytes.size() < maxOutput) {
        const std::size_t produced = out.bytes.size();
        const std::size_t step = std::min(maxOutput - produced, std::max(kChunk, produced));
        out.bytes.resize(produced + step);
        std::span<std::uint8_t> room(out.bytes.data() + produced, step);
        const std::size_t inputBefore = input.size();
        out.status = decoder.decode(input, room, true);
        out.bytes.resize(produced + step - room.size());
        if (out.status != Status::Running) break;
        // A decoder that neither takes input nor gives output would be asked for ever.
        if (room.size() == step && input.size() == inputBefore) {
            out.status = Status::Starved;
            break;
        }
    }
    return out;
}

std::vector<std::uint8_t> inflateCapped(std::span<const std::uint8_t> input, std::size_t maxOutput) {
    if (input.empty() || maxOutput == 0) return {};
    const std::unique_ptr<StreamDecoder> decoder = StreamDecoder::zlib();
    if (!decoder) return {};
    return decodeAll(*decoder, input, maxOutput).bytes;
}

DecompressedMovie decompressMovie(std::span<const std::uint8_t> file, std::size_t maxSize) {
    if (file.size() < 8) throw FormatError("not an SWF movie: file too short");
    DecompressedMovie out;
    const char s0 = static_cast<char>(file[0]);
    if (file[1] != 'W' || file[2] != 'S' || (s0 != 'F' && s0 != 'C' && s0 != 'Z'))
        throw FormatError("not an SWF movie: bad signature");
    out.version = file[3];
    out.declaredLength = static_cast<std::uint32_t>(file[4] | (file[5] << 8) | (file[6] << 16)) |
                         (static_cast<std::uint32_t>(file[7]) << 24);
    const auto rest = file.subspan(8);
    // A header that declares less than the stream holds is common, so the cap, not the declared
    // length, bounds what is inflated.
    const std::size_t limit = maxSize;
    if (s0 == 'F') {
        out.compression = Compression::None;
        const std::size_t n = std::min(rest.size(), limit);
        out.body.assign(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(n));
        out.truncated = out.declaredLength > file.size();
    } else if (s0 == 'C') {
        out.compression = Compression::Zlib;
        const std::unique_ptr<StreamDecoder> decoder = StreamDecoder::zlib();
        if (!decoder) throw FormatError("cannot start zlib");
        DecodedStream decoded = decodeAll(*decoder, rest, limit, out.declaredLength);
        out.body = std::move(decoded.bytes);
        out.truncated = decoded.status != Status::Ended;
    } else {
        out.compression = Compression::Lzma;
        if (rest.size() < kLzmaStreamOffset) throw TruncatedData();
        // Without an end marker, the declared length says where the stream stops.
        const std::size_t expected =
            out.declaredLength >= 8 ? std::min<std::size_t>(out.declaredLength - 8, limit) : limit;
        const std::unique_ptr<StreamDecoder> decoder =
            StreamDecoder::lzma(rest.subspan(kLzmaPropertiesOffset, kLzmaPropertiesSize), expected);
        if (!decoder) throw FormatError("bad LZMA properties");
        DecodedStream decoded = decodeAll(*decoder, rest.subspan(kLzmaStreamOffset), expected, expected);
        out.body = std::move(decoded.bytes);
        out.truncated = out.body.size() < expected && decoded.status != Status::Ended;
    }
    return out;
}

}  // namespace vistrel::swf
