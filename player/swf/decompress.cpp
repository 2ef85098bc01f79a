#include "player/swf/decompress.h"

#include <algorithm>
#include <cstdlib>

#include <lzma.h>
#include <zlib.h>

#include "player/swf/errors.h"

namespace vistrel::swf {

namespace {

constexpr std::size_t kChunk = 256 * 1024;

void inflateZlib(std::span<const std::uint8_t> in, DecompressedMovie& out, std::size_t limit) {
    z_stream zs{};
    if (inflateInit(&zs) != Z_OK) throw FormatError("cannot start zlib");
    zs.next_in = const_cast<Bytef*>(in.data());
    zs.avail_in = static_cast<uInt>(std::min<std::size_t>(in.size(), 0xffffffffu));
    // Reserve what the header declares up to a modest amount; growth past it is chunked.
    out.body.reserve(std::min<std::size_t>({out.declaredLength, limit, 16u * 1024u * 1024u}));
    int ret = Z_OK;
    while (ret == Z_OK) {
        if (out.body.size() >= limit) break;
        const std::size_t used = out.body.size();
        const std::size_t grow = std::min(kChunk, limit - used);
        out.body.resize(used + grow);
        zs.next_out = out.body.data() + used;
        zs.avail_out = static_cast<uInt>(grow);
        ret = inflate(&zs, Z_NO_FLUSH);
        out.body.resize(used + (grow - zs.avail_out));
        if (ret == Z_BUF_ERROR && zs.avail_in == 0) break;   // input ended before the stream did
        if (ret == Z_BUF_ERROR) ret = Z_OK;
    }
    if (ret != Z_STREAM_END) out.truncated = true;
    inflateEnd(&zs);
}

void inflateLzma(std::span<const std::uint8_t> in, DecompressedMovie& out, std::size_t limit) {
    // After the 8-byte header: 4 bytes of compressed length, 5 property bytes, the raw stream.
    if (in.size() < 9) throw TruncatedData();
    lzma_filter filters[2]{};
    filters[0].id = LZMA_FILTER_LZMA1;
    filters[1].id = LZMA_VLI_UNKNOWN;
    if (lzma_properties_decode(&filters[0], nullptr, in.data() + 4, 5) != LZMA_OK)
        throw FormatError("bad LZMA properties");
    // Streams usually carry no end marker, so the declared length says where to stop.
    const std::size_t expected = out.declaredLength >= 8 ? std::min<std::size_t>(out.declaredLength - 8, limit) : limit;
    // The dictionary never needs to be larger than the output; a hostile property byte must not
    // make the decoder reserve gigabytes for a movie of a few bytes.
    auto* options = static_cast<lzma_options_lzma*>(filters[0].options);
    const std::size_t dictionaryCap = std::max<std::size_t>(expected, LZMA_DICT_SIZE_MIN);
    if (options->dict_size > dictionaryCap)
        options->dict_size = static_cast<std::uint32_t>(dictionaryCap);
    lzma_stream strm = LZMA_STREAM_INIT;
    const lzma_ret init = lzma_raw_decoder(&strm, filters);
    std::free(filters[0].options);
    if (init != LZMA_OK) throw FormatError("cannot start LZMA");
    strm.next_in = in.data() + 9;
    strm.avail_in = in.size() - 9;
    out.body.reserve(std::min<std::size_t>(expected, 16u * 1024u * 1024u));
    lzma_ret ret = LZMA_OK;
    while (ret == LZMA_OK && out.body.size() < expected) {
        const std::size_t used = out.body.size();
        const std::size_t grow = std::min(kChunk, expected - used);
        out.body.resize(used + grow);
        strm.next_out = out.body.data() + used;
        strm.avail_out = grow;
        const std::size_t inBefore = strm.avail_in;
        ret = lzma_code(&strm, strm.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
        out.body.resize(used + (grow - strm.avail_out));
        if (ret == LZMA_OK && strm.avail_in == 0 && inBefore == 0 && strm.avail_out == grow) break;   // no progress
    }
    if (out.body.size() < expected && ret != LZMA_STREAM_END) out.truncated = true;
    lzma_end(&strm);
}

}  // namespace

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
        inflateZlib(rest, out, limit);
    } else {
        out.compression = Compression::Lzma;
        inflateLzma(rest, out, limit);
    }
    return out;
}

}  // namespace vistrel::swf
