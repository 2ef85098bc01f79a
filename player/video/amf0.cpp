#include "player/video/amf0.h"

#include <bit>
#include <cstring>

namespace vistrel::player::video {

namespace {

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> d) : m_data(d) {}
    bool atEnd() const { return m_pos >= m_data.size(); }

    bool value(AmfValue& out, int depth) {
        if (depth > kMaxAmfDepth || ++m_values > kMaxAmfValues) return false;
        std::uint8_t marker = 0;
        if (!u8(marker)) return false;
        switch (marker) {
        case 0: out.type = AmfValue::Type::Number; return number(out.number);
        case 1: {
            std::uint8_t b = 0;
            out.type = AmfValue::Type::Boolean;
            if (!u8(b)) return false;
            out.number = b ? 1 : 0;
            return true;
        }
        case 2: out.type = AmfValue::Type::String; return shortString(out.string);
        case 3: out.type = AmfValue::Type::Object; return properties(out, depth);
        case 5: out.type = AmfValue::Type::Null; return true;
        case 6: out.type = AmfValue::Type::Undefined; return true;
        case 8: {   // an associative array: a count the writers often get wrong, then named members
            std::uint32_t count = 0;
            out.type = AmfValue::Type::Object;
            return u32(count) && properties(out, depth);
        }
        case 10: {
            std::uint32_t count = 0;
            out.type = AmfValue::Type::Array;
            if (!u32(count)) return false;
            for (std::uint32_t i = 0; i < count; ++i) {
                AmfValue element;
                if (!value(element, depth + 1)) return false;
                out.members.push_back({QString(), std::move(element)});
            }
            return true;
        }
        case 11: {
            std::uint16_t zone = 0;
            out.type = AmfValue::Type::Date;
            return number(out.number) && u16(zone);
        }
        case 12: {
            std::uint32_t n = 0;
            out.type = AmfValue::Type::String;
            return u32(n) && utf8(n, out.string);
        }
        default: return false;   // references, movie clips, records and typed objects: not in FLV files
        }
    }

private:
    bool u8(std::uint8_t& v) {
        if (m_pos + 1 > m_data.size()) return false;
        v = m_data[m_pos++];
        return true;
    }
    bool u16(std::uint16_t& v) {
        if (m_pos + 2 > m_data.size()) return false;
        v = static_cast<std::uint16_t>(m_data[m_pos] << 8 | m_data[m_pos + 1]);
        m_pos += 2;
        return true;
    }
    bool u32(std::uint32_t& v) {
        if (m_pos + 4 > m_data.size()) return false;
        v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | m_data[m_pos++];
        return true;
    }
    bool number(double& v) {
        if (m_pos + 8 > m_data.size()) return false;
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) bits = bits << 8 | m_data[m_pos++];
        v = std::bit_cast<double>(bits);
        return true;
    }
    bool utf8(std::size_t n, QString& out) {
        if (n > m_data.size() - m_pos) return false;
        out = QString::fromUtf8(reinterpret_cast<const char*>(m_data.data() + m_pos), static_cast<qsizetype>(n));
        m_pos += n;
        return true;
    }
    bool shortString(QString& out) {
        std::uint16_t n = 0;
        return u16(n) && utf8(n, out);
    }
    // Named members up to the empty name and end marker (or the end of the data, which writers leave out).
    bool properties(AmfValue& out, int depth) {
        while (!atEnd()) {
            QString name;
            if (!shortString(name)) return false;
            if (name.isEmpty() && m_pos < m_data.size() && m_data[m_pos] == 9) {
                ++m_pos;
                return true;
            }
            AmfValue member;
            if (!value(member, depth + 1)) return false;
            out.members.push_back({std::move(name), std::move(member)});
        }
        return true;
    }

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    std::size_t m_values = 0;
};

}  // namespace

std::vector<AmfValue> readAmf0(std::span<const std::uint8_t> data) {
    std::vector<AmfValue> values;
    Reader reader(data);
    while (!reader.atEnd()) {
        AmfValue v;
        if (!reader.value(v, 0)) {
            // A value cut short keeps what it read so far: metadata objects are often truncated at the end.
            if (v.type == AmfValue::Type::Object || v.type == AmfValue::Type::Array) values.push_back(std::move(v));
            break;
        }
        values.push_back(std::move(v));
    }
    return values;
}

}  // namespace vistrel::player::video
