#include "player/swf/byte_reader.h"

#include <cstring>

#include "player/swf/errors.h"

namespace vistrel::swf {

void ByteReader::need(std::size_t n) const {
    if (n > remaining()) throw TruncatedData();
}

std::uint8_t ByteReader::u8() {
    need(1);
    return m_data[m_pos++];
}

std::uint16_t ByteReader::u16() {
    need(2);
    const std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::uint32_t ByteReader::u32() {
    need(4);
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | m_data[m_pos + static_cast<std::size_t>(i)];
    m_pos += 4;
    return v;
}

double ByteReader::fixed8() { return s16() / 256.0; }

double ByteReader::fixed16() { return s32() / 65536.0; }

float ByteReader::f32() {
    const std::uint32_t bits = u32();
    float v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

std::uint32_t ByteReader::encodedU32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 5; ++i) {
        const std::uint8_t b = u8();
        v |= static_cast<std::uint32_t>(b & 0x7f) << (7 * i);
        if (!(b & 0x80)) break;
    }
    return v;
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n) {
    need(n);
    auto s = m_data.subspan(m_pos, n);
    m_pos += n;
    return s;
}

std::string ByteReader::string() {
    std::string s;
    while (m_pos < m_data.size()) {
        const std::uint8_t c = m_data[m_pos++];
        if (c == 0) return s;
        s.push_back(static_cast<char>(c));
    }
    return s;  // real files sometimes end a tag without the terminating zero
}

}  // namespace vistrel::swf
