#include "tests/support/swf_writer.h"

#include <cmath>
#include <cstring>
#include <stdexcept>

#include <lzma.h>
#include <zlib.h>

namespace vistrel::testing {

void BitWriter::writeUB(int bits, std::uint32_t value) {
    for (int i = bits - 1; i >= 0; --i) {
        if (m_bitPos == 0) m_bytes.push_back(0);
        if ((value >> i) & 1u) m_bytes.back() |= static_cast<std::uint8_t>(0x80u >> m_bitPos);
        m_bitPos = (m_bitPos + 1) % 8;
    }
}

void BitWriter::writeSB(int bits, std::int32_t value) {
    writeUB(bits, static_cast<std::uint32_t>(value) & (bits >= 32 ? 0xffffffffu : ((1u << bits) - 1)));
}

void BitWriter::writeFB(int bits, double value) {
    writeSB(bits, static_cast<std::int32_t>(std::lround(value * 65536.0)));
}

void BitWriter::align() { m_bitPos = 0; }

Bytes BitWriter::finish() {
    align();
    return std::move(m_bytes);
}

int BitWriter::signedBits(std::initializer_list<std::int32_t> values) {
    int bits = 1;
    for (std::int32_t v : values) {
        int n = 1;
        while (n < 32) {
            const std::int64_t lo = -(std::int64_t{1} << (n - 1));
            const std::int64_t hi = (std::int64_t{1} << (n - 1)) - 1;
            if (v >= lo && v <= hi) break;
            ++n;
        }
        bits = std::max(bits, n);
    }
    return bits;
}

int BitWriter::unsignedBits(std::initializer_list<std::uint32_t> values) {
    int bits = 0;
    for (std::uint32_t v : values) {
        int n = 0;
        while (n < 32 && (v >> n) != 0) ++n;
        bits = std::max(bits, n);
    }
    return bits;
}

ByteWriter& ByteWriter::u8(std::uint8_t v) {
    m_bytes.push_back(v);
    return *this;
}

ByteWriter& ByteWriter::u16(std::uint16_t v) {
    m_bytes.push_back(static_cast<std::uint8_t>(v & 0xff));
    m_bytes.push_back(static_cast<std::uint8_t>(v >> 8));
    return *this;
}

ByteWriter& ByteWriter::u32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return *this;
}

ByteWriter& ByteWriter::fixed8(double v) { return u16(static_cast<std::uint16_t>(std::lround(v * 256.0))); }

ByteWriter& ByteWriter::fixed16(double v) { return u32(static_cast<std::uint32_t>(std::lround(v * 65536.0))); }

ByteWriter& ByteWriter::f32(float v) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &v, 4);
    return u32(bits);
}

ByteWriter& ByteWriter::bytes(const Bytes& b) {
    m_bytes.insert(m_bytes.end(), b.begin(), b.end());
    return *this;
}

ByteWriter& ByteWriter::string(const std::string& s) {
    m_bytes.insert(m_bytes.end(), s.begin(), s.end());
    return u8(0);
}

ByteWriter& ByteWriter::rgb(std::uint32_t rgb) {
    return u8(static_cast<std::uint8_t>(rgb >> 16)).u8(static_cast<std::uint8_t>(rgb >> 8)).u8(static_cast<std::uint8_t>(rgb));
}

ByteWriter& ByteWriter::rgba(std::uint32_t rgba) {
    return rgb(rgba >> 8).u8(static_cast<std::uint8_t>(rgba));
}

ByteWriter& ByteWriter::rect(std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax) {
    BitWriter bw;
    const int n = BitWriter::signedBits({xMin, xMax, yMin, yMax});
    bw.writeUB(5, static_cast<std::uint32_t>(n));
    bw.writeSB(n, xMin);
    bw.writeSB(n, xMax);
    bw.writeSB(n, yMin);
    bw.writeSB(n, yMax);
    return bytes(bw.finish());
}

static std::int32_t toFixed16(double v) { return static_cast<std::int32_t>(std::lround(v * 65536.0)); }

ByteWriter& ByteWriter::matrix(const MatrixSpec& m) {
    BitWriter bw;
    bw.writeUB(1, m.scaleX ? 1 : 0);
    if (m.scaleX) {
        const std::int32_t sx = toFixed16(*m.scaleX), sy = toFixed16(m.scaleY.value_or(*m.scaleX));
        const int n = BitWriter::signedBits({sx, sy});
        bw.writeUB(5, static_cast<std::uint32_t>(n));
        bw.writeSB(n, sx);
        bw.writeSB(n, sy);
    }
    bw.writeUB(1, m.rotateSkew0 ? 1 : 0);
    if (m.rotateSkew0) {
        const std::int32_t r0 = toFixed16(*m.rotateSkew0), r1 = toFixed16(m.rotateSkew1.value_or(0));
        const int n = BitWriter::signedBits({r0, r1});
        bw.writeUB(5, static_cast<std::uint32_t>(n));
        bw.writeSB(n, r0);
        bw.writeSB(n, r1);
    }
    const int n = (m.translateX == 0 && m.translateY == 0) ? 0 : BitWriter::signedBits({m.translateX, m.translateY});
    bw.writeUB(5, static_cast<std::uint32_t>(n));
    bw.writeSB(n, m.translateX);
    bw.writeSB(n, m.translateY);
    return bytes(bw.finish());
}

ByteWriter& ByteWriter::cxform(const CxformSpec& c, bool withAlpha) {
    BitWriter bw;
    bw.writeUB(1, c.add ? 1 : 0);
    bw.writeUB(1, c.mult ? 1 : 0);
    int n = 1;
    if (c.mult) for (auto v : *c.mult) n = std::max(n, BitWriter::signedBits({v}));
    if (c.add) for (auto v : *c.add) n = std::max(n, BitWriter::signedBits({v}));
    bw.writeUB(4, static_cast<std::uint32_t>(n));
    const int count = withAlpha ? 4 : 3;
    if (c.mult) for (int i = 0; i < count; ++i) bw.writeSB(n, (*c.mult)[static_cast<std::size_t>(i)]);
    if (c.add) for (int i = 0; i < count; ++i) bw.writeSB(n, (*c.add)[static_cast<std::size_t>(i)]);
    return bytes(bw.finish());
}

Bytes tag(std::uint16_t code, const Bytes& body, bool forceLong) {
    ByteWriter w;
    if (body.size() < 63 && !forceLong) {
        w.u16(static_cast<std::uint16_t>((code << 6) | body.size()));
    } else {
        w.u16(static_cast<std::uint16_t>((code << 6) | 0x3f));
        w.u32(static_cast<std::uint32_t>(body.size()));
    }
    w.bytes(body);
    return w.take();
}

Bytes movie(const MovieSpec& spec, const std::vector<Bytes>& tags) {
    ByteWriter body;
    body.rect(0, spec.widthTwips, 0, spec.heightTwips).fixed8(spec.frameRate).u16(spec.frameCount);
    for (const Bytes& t : tags) body.bytes(t);
    const bool endsWithEnd = !tags.empty() && tags.back().size() == 2 && tags.back()[0] == 0 && tags.back()[1] == 0;
    if (spec.appendEnd && !endsWithEnd) body.bytes(endTag());
    ByteWriter file;
    file.u8('F').u8('W').u8('S').u8(static_cast<std::uint8_t>(spec.version));
    file.u32(static_cast<std::uint32_t>(8 + body.data().size()));
    file.bytes(body.data());
    if (spec.compression == Compression::None) return file.take();
    return compressBody(file.data(), spec.compression);
}

Bytes zlibCompress(const Bytes& raw, int level) {
    uLongf outSize = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(outSize);
    if (compress2(out.data(), &outSize, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK)
        throw std::runtime_error("zlib compression failed");
    out.resize(outSize);
    return out;
}

// The LZMA-alone encoder writes 5 property bytes, an 8-byte size and the stream; a movie keeps
// the properties and the stream and stores the stream's length in front of them instead.
LzmaStream lzmaCompress(const Bytes& raw) {
    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 6)) throw std::runtime_error("lzma preset failed");
    lzma_stream strm = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&strm, &options) != LZMA_OK) throw std::runtime_error("lzma init failed");
    Bytes out(raw.size() + raw.size() / 2 + 1024);
    strm.next_in = raw.data();
    strm.avail_in = raw.size();
    strm.next_out = out.data();
    strm.avail_out = out.size();
    lzma_ret ret = lzma_code(&strm, LZMA_FINISH);
    while (ret == LZMA_OK) {
        const std::size_t used = out.size() - strm.avail_out;
        out.resize(out.size() * 2);
        strm.next_out = out.data() + used;
        strm.avail_out = out.size() - used;
        ret = lzma_code(&strm, LZMA_FINISH);
    }
    const std::size_t produced = out.size() - strm.avail_out;
    lzma_end(&strm);
    if (ret != LZMA_STREAM_END || produced < 13) throw std::runtime_error("lzma compression failed");
    out.resize(produced);
    return {Bytes(out.begin(), out.begin() + 5), Bytes(out.begin() + 13, out.end())};
}

Bytes compressBody(const Bytes& fws, Compression compression) {
    if (fws.size() < 8) throw std::invalid_argument("not a movie");
    ByteWriter out;
    if (compression == Compression::None) return fws;
    const Bytes body(fws.begin() + 8, fws.end());
    if (compression == Compression::Zlib) {
        out.u8('C').u8('W').u8('S').u8(fws[3]);
        out.bytes(Bytes(fws.begin() + 4, fws.begin() + 8));
        out.bytes(zlibCompress(body));
        return out.take();
    }
    const LzmaStream lzma = lzmaCompress(body);
    out.u8('Z').u8('W').u8('S').u8(fws[3]);
    out.bytes(Bytes(fws.begin() + 4, fws.begin() + 8));
    out.u32(static_cast<std::uint32_t>(lzma.stream.size()));
    out.bytes(lzma.properties);
    out.bytes(lzma.stream);
    return out.take();
}

Bytes endTag() { return tag(0, {}); }
Bytes showFrame() { return tag(1, {}); }

Bytes setBackgroundColor(std::uint32_t rgb) {
    ByteWriter w;
    w.rgb(rgb);
    return tag(9, w.data());
}

Bytes frameLabel(const std::string& name, bool anchor) {
    ByteWriter w;
    w.string(name);
    if (anchor) w.u8(1);
    return tag(43, w.data());
}

Bytes removeObject(std::uint16_t characterId, std::uint16_t depth) {
    ByteWriter w;
    w.u16(characterId).u16(depth);
    return tag(5, w.data());
}

Bytes removeObject2(std::uint16_t depth) {
    ByteWriter w;
    w.u16(depth);
    return tag(28, w.data());
}

Bytes placeObject(std::uint16_t characterId, std::uint16_t depth, const MatrixSpec& m,
                  const std::optional<CxformSpec>& cx) {
    ByteWriter w;
    w.u16(characterId).u16(depth).matrix(m);
    if (cx) w.cxform(*cx, false);
    return tag(4, w.data());
}

Bytes defineSprite(std::uint16_t id, std::uint16_t frameCount, const std::vector<Bytes>& tags) {
    ByteWriter w;
    w.u16(id).u16(frameCount);
    for (const Bytes& t : tags) w.bytes(t);
    const bool endsWithEnd = !tags.empty() && tags.back().size() == 2 && tags.back()[0] == 0 && tags.back()[1] == 0;
    if (!endsWithEnd) w.bytes(endTag());
    return tag(39, w.data(), true);
}

static void writePlaceBody(ByteWriter& w, const PlaceSpec& p) {
    if (p.characterId) w.u16(*p.characterId);
    if (p.matrix) w.matrix(*p.matrix);
    if (p.cxform) w.cxform(*p.cxform, true);
    if (p.ratio) w.u16(*p.ratio);
    if (p.name) w.string(*p.name);
    if (p.clipDepth) w.u16(*p.clipDepth);
}

static void writeClipEvents(ByteWriter& w, std::uint32_t events, int swfVersion) {
    if (swfVersion >= 6) {
        w.u32(events);
        return;
    }
    if (events > 0xffff) throw std::invalid_argument("clip events beyond 16 bits in a movie before version 6");
    w.u16(static_cast<std::uint16_t>(events));
}

static void writeClipActions(ByteWriter& w, const std::vector<ClipActionSpec>& actions, int swfVersion) {
    constexpr std::uint32_t keyPress = 1u << 17;
    std::uint32_t all = 0;
    for (const ClipActionSpec& a : actions) all |= a.events;
    w.u16(0);
    writeClipEvents(w, all, swfVersion);
    for (const ClipActionSpec& a : actions) {
        writeClipEvents(w, a.events, swfVersion);
        const bool key = (a.events & keyPress) != 0;
        w.u32(static_cast<std::uint32_t>(a.bytes.size() + (key ? 1 : 0)));
        if (key) w.u8(a.keyCode);
        w.bytes(a.bytes);
    }
    writeClipEvents(w, 0, swfVersion);
}

static std::uint8_t placeFlags(const PlaceSpec& p) {
    std::uint8_t f = 0;
    if (!p.clipActions.empty()) f |= 0x80;
    if (p.clipDepth) f |= 0x40;
    if (p.name) f |= 0x20;
    if (p.ratio) f |= 0x10;
    if (p.cxform) f |= 0x08;
    if (p.matrix) f |= 0x04;
    if (p.characterId) f |= 0x02;
    if (p.move) f |= 0x01;
    return f;
}

Bytes placeObject2(const PlaceSpec& p, int swfVersion) {
    ByteWriter w;
    w.u8(placeFlags(p)).u16(p.depth);
    writePlaceBody(w, p);
    if (!p.clipActions.empty()) writeClipActions(w, p.clipActions, swfVersion);
    return tag(26, w.data());
}

Bytes placeObject3(const PlaceSpec& p, int swfVersion) {
    ByteWriter w;
    std::uint8_t flags2 = 0;
    if (p.cacheAsBitmap) flags2 |= 0x04;
    if (p.blendMode) flags2 |= 0x02;
    if (p.filterList) flags2 |= 0x01;
    w.u8(placeFlags(p)).u8(flags2).u16(p.depth);
    writePlaceBody(w, p);
    if (p.filterList) w.bytes(*p.filterList);
    if (p.blendMode) w.u8(*p.blendMode);
    if (p.cacheAsBitmap) w.u8(*p.cacheAsBitmap);
    if (!p.clipActions.empty()) writeClipActions(w, p.clipActions, swfVersion);
    return tag(70, w.data());
}

}  // namespace vistrel::testing
