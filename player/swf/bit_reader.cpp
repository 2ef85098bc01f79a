#include "player/swf/bit_reader.h"

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

namespace vistrel::swf {

std::uint32_t BitReader::ub(int bits) {
    if (bits <= 0) return 0;
    if (bits > 32) throw FormatError("bit field wider than 32 bits");
    std::uint32_t v = 0;
    while (bits > 0) {
        if (m_bitsLeft == 0) {
            m_current = m_bytes.u8();
            m_bitsLeft = 8;
        }
        const int take = bits < m_bitsLeft ? bits : m_bitsLeft;
        const std::uint32_t part = (static_cast<std::uint32_t>(m_current) >> (m_bitsLeft - take)) & ((1u << take) - 1);
        v = take == 32 ? part : (v << take) | part;
        m_bitsLeft -= take;
        bits -= take;
    }
    return v;
}

std::int32_t BitReader::sb(int bits) {
    if (bits <= 0) return 0;
    const std::uint32_t v = ub(bits);
    if (bits >= 32) return static_cast<std::int32_t>(v);
    const std::uint32_t sign = 1u << (bits - 1);
    // Sign-extend by subtraction, never by a negative or overlong shift.
    return static_cast<std::int32_t>(static_cast<std::int64_t>(v ^ sign) - static_cast<std::int64_t>(sign));
}

}  // namespace vistrel::swf
