// Reading the filter list of a placed object from its bytes.
#include "player/swf/filter_list.h"

#include <algorithm>
#include <string>

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

namespace vistrel::swf {
namespace {

using Reader = ByteReader;

Argb rgba(Reader& r)
{
    const auto c = r.bytes(4);
    return (Argb(c[3]) << 24) | (Argb(c[0]) << 16) | (Argb(c[1]) << 8) | Argb(c[2]);
}

// The flag byte that ends the shadow-style filters: inner, knockout, composite source, then
// either 5 bits of passes or, for the filters with an on-top choice, that bit and 4 bits.
template <typename F> void readFlags(Reader& r, F& f)
{
    const std::uint8_t b = r.u8();
    f.inner = (b & 0x80) != 0;
    f.knockout = (b & 0x40) != 0;
    f.compositeSource = (b & 0x20) != 0;
    if constexpr (requires { f.onTop; }) {
        f.onTop = (b & 0x10) != 0;
        f.passes = b & 0x0f;
    } else {
        f.passes = b & 0x1f;
    }
}

// Blur, angle, distance and strength, in that order, as the offset filters store them.
template <typename F> void readOffsetBlur(Reader& r, F& f)
{
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.angle = r.fixed16();
    f.distance = r.fixed16();
    f.strength = r.fixed8();
}

DropShadowFilter readDropShadow(Reader& r)
{
    DropShadowFilter f;
    f.color = rgba(r);
    readOffsetBlur(r, f);
    readFlags(r, f);
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
    f.color = rgba(r);
    f.blurX = r.fixed16();
    f.blurY = r.fixed16();
    f.strength = r.fixed8();
    readFlags(r, f);
    return f;
}

BevelFilter readBevel(Reader& r)
{
    BevelFilter f;
    // Real files store the highlight first, although the format's field list names the shadow
    // first: movies made with a 45 degree angle light their top left edge with the first colour.
    f.highlightColor = rgba(r);
    f.shadowColor = rgba(r);
    readOffsetBlur(r, f);
    readFlags(r, f);
    return f;
}

GradientFilterData readGradient(Reader& r)
{
    GradientFilterData f;
    const std::size_t count = r.u8();
    // Five bytes a stop: the list must hold them all before any is reserved.
    if (r.remaining() / 5 < count)
        throw TruncatedData();
    f.stops.resize(count);
    for (auto& stop : f.stops)
        stop.color = rgba(r);
    for (auto& stop : f.stops)
        stop.ratio = r.u8();
    readOffsetBlur(r, f);
    readFlags(r, f);
    return f;
}

ConvolutionFilter readConvolution(Reader& r)
{
    ConvolutionFilter f;
    f.matrixX = r.u8();
    f.matrixY = r.u8();
    f.divisor = r.f32();
    f.bias = r.f32();
    const std::size_t count = std::size_t(f.matrixX) * std::size_t(f.matrixY);
    if (r.remaining() / 4 < count)
        throw TruncatedData();
    f.matrix.resize(count);
    for (float& v : f.matrix)
        v = r.f32();
    f.defaultColor = rgba(r);
    const std::uint8_t flags = r.u8();
    f.clamp = (flags & 0x02) != 0;
    f.preserveAlpha = (flags & 0x01) != 0;
    return f;
}

ColorMatrixFilter readColorMatrix(Reader& r)
{
    ColorMatrixFilter f;
    for (float& v : f.matrix)
        v = r.f32();
    return f;
}

Filter readFilter(Reader& r)
{
    const std::uint8_t id = r.u8();
    switch (id) {
    case 0: return readDropShadow(r);
    case 1: return readBlur(r);
    case 2: return readGlow(r);
    case 3: return readBevel(r);
    case 4: return GradientGlowFilter{readGradient(r)};
    case 5: return readConvolution(r);
    case 6: return readColorMatrix(r);
    case 7: return GradientBevelFilter{readGradient(r)};
    default: throw FilterListError("unknown filter id " + std::to_string(id));
    }
}

} // namespace

std::vector<Filter> parseFilterList(std::span<const std::uint8_t> data, std::size_t& consumed)
{
    Reader r(data);
    try {
        const std::size_t count = r.u8();
        std::vector<Filter> filters;
        filters.reserve(std::min<std::size_t>(count, r.remaining()));
        for (std::size_t i = 0; i < count; ++i)
            filters.push_back(readFilter(r));
        consumed = r.position();
        return filters;
    } catch (const TruncatedData&) {
        throw FilterListError("filter list is shorter than its fields");
    }
}

std::size_t measureFilterList(std::span<const std::uint8_t> data)
{
    Reader r(data);
    const std::size_t count = r.u8();
    for (std::size_t i = 0; i < count; ++i)
        readFilter(r);
    return r.position();
}

} // namespace vistrel::swf
