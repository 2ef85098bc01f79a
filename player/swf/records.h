// The small records that many tags share: colours, rectangles, matrices, colour transforms.
#pragma once

#include <cstdint>

namespace vistrel::swf {

class ByteReader;

struct Rgba {
    std::uint8_t r = 0, g = 0, b = 0, a = 255;
    bool operator==(const Rgba&) const = default;
};

// A rectangle in twips (1/20 pixel).
struct Rect {
    std::int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;
    bool operator==(const Rect&) const = default;
};

// Affine transform: x' = a*x + c*y + tx, y' = b*x + d*y + ty (translation in twips).
struct Matrix {
    double a = 1, b = 0, c = 0, d = 1;
    double tx = 0, ty = 0;
    bool operator==(const Matrix&) const = default;
};

// Colour transform: channel' = channel * mult / 256 + add, clamped to 0..255.
struct ColorTransform {
    std::int16_t rMult = 256, gMult = 256, bMult = 256, aMult = 256;
    std::int16_t rAdd = 0, gAdd = 0, bAdd = 0, aAdd = 0;
    bool operator==(const ColorTransform&) const = default;
    bool isIdentity() const { return *this == ColorTransform{}; }
    Rgba apply(Rgba c) const;
    ColorTransform then(const ColorTransform& outer) const;   // this applied first, then outer
};

Rgba readRgb(ByteReader& r);
Rgba readRgba(ByteReader& r);
Rgba readArgb(ByteReader& r);
Rect readRect(ByteReader& r);
Matrix readMatrix(ByteReader& r);
ColorTransform readColorTransform(ByteReader& r, bool withAlpha);

}  // namespace vistrel::swf
