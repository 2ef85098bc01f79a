// Bounds-checked little-endian reads over a byte span; reading past the end throws TruncatedData.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vistrel::swf {

class ByteReader {
public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> data) : m_data(data) {}

    std::uint8_t u8();
    std::uint16_t u16();
    std::int16_t s16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32();
    std::int32_t s32() { return static_cast<std::int32_t>(u32()); }
    double fixed8();                 // signed 8.8
    double fixed16();                // signed 16.16
    float f32();
    std::uint32_t encodedU32();      // 7 bits per byte, up to 5 bytes
    std::span<const std::uint8_t> bytes(std::size_t n);
    std::string string();            // up to a zero byte (or the end of the data)
    void skip(std::size_t n) { bytes(n); }

    ByteReader sub(std::size_t n) { return ByteReader(bytes(n)); }   // exactly the next n bytes
    std::span<const std::uint8_t> rest() { return bytes(remaining()); }
    std::span<const std::uint8_t> whole() const { return m_data; }

    std::size_t remaining() const { return m_data.size() - m_pos; }
    std::size_t position() const { return m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }

private:
    void need(std::size_t n) const;
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
};

}  // namespace vistrel::swf
