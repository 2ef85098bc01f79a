#include "player/swf/records.h"

#include <algorithm>

#include "player/swf/bit_reader.h"
#include "player/swf/byte_reader.h"

namespace vistrel::swf {

static std::uint8_t clampChannel(int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); }

Rgba ColorTransform::apply(Rgba c) const {
    return {clampChannel(c.r * rMult / 256 + rAdd), clampChannel(c.g * gMult / 256 + gAdd),
            clampChannel(c.b * bMult / 256 + bAdd), clampChannel(c.a * aMult / 256 + aAdd)};
}

static std::int16_t clamp16(long v) { return static_cast<std::int16_t>(std::clamp<long>(v, -32768, 32767)); }

ColorTransform ColorTransform::then(const ColorTransform& o) const {
    ColorTransform r;
    r.rMult = clamp16(long{rMult} * o.rMult / 256);
    r.gMult = clamp16(long{gMult} * o.gMult / 256);
    r.bMult = clamp16(long{bMult} * o.bMult / 256);
    r.aMult = clamp16(long{aMult} * o.aMult / 256);
    r.rAdd = clamp16(long{rAdd} * o.rMult / 256 + o.rAdd);
    r.gAdd = clamp16(long{gAdd} * o.gMult / 256 + o.gAdd);
    r.bAdd = clamp16(long{bAdd} * o.bMult / 256 + o.bAdd);
    r.aAdd = clamp16(long{aAdd} * o.aMult / 256 + o.aAdd);
    return r;
}

Rgba readRgb(ByteReader& r) {
    Rgba c;
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rgba readRgba(ByteReader& r) {
    Rgba c = readRgb(r);
    c.a = r.u8();
    return c;
}

Rgba readArgb(ByteReader& r) {
    Rgba c;
    c.a = r.u8();
    c.r = r.u8();
    c.g = r.u8();
    c.b = r.u8();
    return c;
}

Rect readRect(ByteReader& r) {
    BitReader bits(r);
    const int n = static_cast<int>(bits.ub(5));
    Rect rect;
    rect.xMin = bits.sb(n);
    rect.xMax = bits.sb(n);
    rect.yMin = bits.sb(n);
    rect.yMax = bits.sb(n);
    return rect;
}

Matrix readMatrix(ByteReader& r) {
    BitReader bits(r);
    Matrix m;
    if (bits.flag()) {
        const int n = static_cast<int>(bits.ub(5));
        m.a = bits.fb(n);
        m.d = bits.fb(n);
    }
    if (bits.flag()) {
        const int n = static_cast<int>(bits.ub(5));
        m.b = bits.fb(n);
        m.c = bits.fb(n);
    }
    const int n = static_cast<int>(bits.ub(5));
    m.tx = bits.sb(n);
    m.ty = bits.sb(n);
    return m;
}

ColorTransform readColorTransform(ByteReader& r, bool withAlpha) {
    BitReader bits(r);
    const bool hasAdd = bits.flag();
    const bool hasMult = bits.flag();
    const int n = static_cast<int>(bits.ub(4));
    ColorTransform cx;
    auto field = [&] { return static_cast<std::int16_t>(bits.sb(n)); };
    if (hasMult) {
        cx.rMult = field();
        cx.gMult = field();
        cx.bMult = field();
        if (withAlpha) cx.aMult = field();
    }
    if (hasAdd) {
        cx.rAdd = field();
        cx.gAdd = field();
        cx.bAdd = field();
        if (withAlpha) cx.aAdd = field();
    }
    return cx;
}

}  // namespace vistrel::swf
