// Reads bit fields (most significant bit first) from a ByteReader. Widths 0 to 32; 0 reads as 0.
#pragma once

#include <cstdint>

namespace vistrel::swf {

class ByteReader;

class BitReader {
public:
    explicit BitReader(ByteReader& bytes) : m_bytes(bytes) {}
    std::uint32_t ub(int bits);
    std::int32_t sb(int bits);
    double fb(int bits) { return sb(bits) / 65536.0; }   // signed 16.16
    bool flag() { return ub(1) != 0; }
    void align() { m_bitsLeft = 0; }   // the next field starts at a byte boundary

private:
    ByteReader& m_bytes;
    std::uint8_t m_current = 0;
    int m_bitsLeft = 0;
};

}  // namespace vistrel::swf
