// Reading the filter list of a placed object from its bytes.
#include "player/render/filters.h"

#include <algorithm>
#include <bit>
#include <string>

namespace vistrel::player {
namespace {

// Bounds-checked little-endian reads over the list's bytes.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::size_t position() const { return m_pos; }
    std::size_t remaining() const { return m_data.size() - m_pos; }

    std::uint8_t u8()
    {
        need(1);
        return m_data[m_pos++];
    }
    std::uint16_t u16()
    {
        need(2);
        const std::uint16_t v = std::uint16_t(m_data[m_pos] | (m_data[m_pos + 1] << 8));
        m_pos += 2;
        return v;
    }
    std::uint32_t u32()
    {
        need(4);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | m_data[m_pos + std::size_t(i)];
        m_pos += 4;
        return v;
    }
    double fixed16() { return double(std::int32_t(u32())) / 65536.0; }
    double fixed8() { return double(std::int16_t(u16())) / 256.0; }
    float float32() { return std::bit_cast<float>(u32()); }
    QRgb rgba()
    {
        need(4);
        const QRgb c = qRgba(m_data[m_pos], m_data[m_pos + 1], m_data[m_pos + 2], m_data[m_pos + 3]);
        m_pos += 4;
        return c;
    }

private:
    void need(std::size_t n) const
    {
        if (remaining() < n)
            throw FilterListError("filter list is shorter than its fields");
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

// The flag byte that ends the shadow-style filters: inner, knockout, composite source,
// then either 5 bits of passes, or an on-top bit and 4 bits of passes.
struct Flags {
    bool inner, knockout, compositeSource, onTop;
    int passes;
};

Flags readFlags(Reader& r, bool hasOnTop)
{
    const std::uint8_t b = r.u8();
    return {(b & 0x80) != 0, (b & 0x40) != 0, (b & 0x20) != 0, hasOnTop && (b & 0x10) != 0,
            hasOnTop ? (b & 0x0f) : (b & 0x1f)};
}

DropShadowFilter readDropShadow(Reader& r)
{
    DropShadowFilter f;
    f.color = r.rgba();
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.angle = r.fixed16();
    f.distance = r.fixed16();
    f.strength = r.fixed8();
    const Flags flags = readFlags(r, false);
    f.inner = flags.inner;
    f.knockout = flags.knockout;
    f.compositeSource = flags.compositeSource;
    f.passes = flags.passes;
    return f;
}

BlurFilter readBlur(Reader& r)
{
    BlurFilter f;
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.passes = r.u8() >> 3; // 5 bits of passes, 3 reserved
    return f;
}

GlowFilter readGlow(Reader& r)
{
    GlowFilter f;
    f.color = r.rgba();
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.strength = r.fixed8();
    const Flags flags = readFlags(r, false);
    f.inner = flags.inner;
    f.knockout = flags.knockout;
    f.compositeSource = flags.compositeSource;
    f.passes = flags.passes;
    return f;
}

BevelFilter readBevel(Reader& r)
{
    BevelFilter f;
    // Real files store the highlight first, although the format's field list names the shadow
    // first: movies made with a 45 degree angle light their top left edge with the first colour.
    f.highlightColor = r.rgba();
    f.shadowColor = r.rgba();
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.angle = r.fixed16();
    f.distance = r.fixed16();
    f.strength = r.fixed8();
    const Flags flags = readFlags(r, true);
    f.inner = flags.inner;
    f.knockout = flags.knockout;
    f.compositeSource = flags.compositeSource;
    f.onTop = flags.onTop;
    f.passes = flags.passes;
    return f;
}

GradientFilterData readGradient(Reader& r)
{
    GradientFilterData f;
    const std::size_t count = r.u8();
    f.stops.resize(std::min(count, r.remaining() / 5));
    if (f.stops.size() < count)
        throw FilterListError("filter list is shorter than its fields");
    for (auto& stop : f.stops)
        stop.color = r.rgba();
    for (auto& stop : f.stops)
        stop.ratio = r.u8();
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.angle = r.fixed16();
    f.distance = r.fixed16();
    f.strength = r.fixed8();
    const Flags flags = readFlags(r, true);
    f.inner = flags.inner;
    f.knockout = flags.knockout;
    f.compositeSource = flags.compositeSource;
    f.onTop = flags.onTop;
    f.passes = flags.passes;
    return f;
}

ConvolutionFilter readConvolution(Reader& r)
{
    ConvolutionFilter f;
    f.matrixX = r.u8();
    f.matrixY = r.u8();
    f.divisor = r.float32();
    f.bias = r.float32();
    const std::size_t count = std::size_t(f.matrixX) * std::size_t(f.matrixY);
    if (r.remaining() / 4 < count)
        throw FilterListError("filter list is shorter than its fields");
    f.matrix.resize(count);
    for (float& v : f.matrix)
        v = r.float32();
    f.defaultColor = r.rgba();
    const std::uint8_t flags = r.u8();
    f.clamp = (flags & 0x02) != 0;
    f.preserveAlpha = (flags & 0x01) != 0;
    return f;
}

ColorMatrixFilter readColorMatrix(Reader& r)
{
    ColorMatrixFilter f;
    for (float& v : f.matrix)
        v = r.float32();
    return f;
}

} // namespace

std::vector<Filter> parseFilterList(std::span<const std::uint8_t> data, std::size_t& consumed)
{
    Reader r(data);
    const std::size_t count = r.u8();
    std::vector<Filter> filters;
    filters.reserve(std::min<std::size_t>(count, r.remaining()));
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t id = r.u8();
        switch (id) {
        case 0: filters.emplace_back(readDropShadow(r)); break;
        case 1: filters.emplace_back(readBlur(r)); break;
        case 2: filters.emplace_back(readGlow(r)); break;
        case 3: filters.emplace_back(readBevel(r)); break;
        case 4: filters.emplace_back(GradientGlowFilter{readGradient(r)}); break;
        case 5: filters.emplace_back(readConvolution(r)); break;
        case 6: filters.emplace_back(readColorMatrix(r)); break;
        case 7: filters.emplace_back(GradientBevelFilter{readGradient(r)}); break;
        default:
            throw FilterListError("unknown filter id " + std::to_string(id));
        }
    }
    consumed = r.position();
    return filters;
}

} // namespace vistrel::player
