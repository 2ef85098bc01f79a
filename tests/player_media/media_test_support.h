// Byte building and image helpers shared by the media tests.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <QImage>
#include <QRgb>

#include "tests/support/swf_writer.h"

namespace vistrel::test {

using Bytes = std::vector<std::uint8_t>;

// Little-endian writer for building tag bodies and filter lists in the tests.
class ByteWriter {
public:
    ByteWriter& u8(unsigned v) { m_bytes.push_back(std::uint8_t(v)); return *this; }
    ByteWriter& u16(unsigned v) { return u8(v & 0xff).u8((v >> 8) & 0xff); }
    ByteWriter& u32(std::uint32_t v) { return u16(v & 0xffff).u16(v >> 16); }
    ByteWriter& fixed16(double v) { return u32(std::uint32_t(std::int32_t(v * 65536.0))); }
    ByteWriter& fixed8(double v) { return u16(std::uint16_t(std::int16_t(v * 256.0))); }
    ByteWriter& f32(float v) { return u32(std::bit_cast<std::uint32_t>(v)); }
    ByteWriter& rgba(QRgb c) { return u8(qRed(c)).u8(qGreen(c)).u8(qBlue(c)).u8(qAlpha(c)); }
    ByteWriter& bytes(const Bytes& b) { m_bytes.insert(m_bytes.end(), b.begin(), b.end()); return *this; }
    const Bytes& data() const { return m_bytes; }

private:
    Bytes m_bytes;
};

using testing::zlibCompress;

inline bool near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

// Raw premultiplied pixel, read without the conversion QImage::pixel() applies.
inline QRgb rawPixel(const QImage& image, int x, int y)
{
    return reinterpret_cast<const QRgb*>(image.constScanLine(y))[x];
}

inline bool validPremultiplied(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = rawPixel(image, x, y);
            const int a = qAlpha(p);
            if (qRed(p) > a || qGreen(p) > a || qBlue(p) > a)
                return false;
        }
    return true;
}

} // namespace vistrel::test
