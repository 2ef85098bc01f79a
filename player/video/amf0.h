// Reads the AMF0 values an FLV's script data tags hold (onMetaData and cue points).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include <QString>

namespace vistrel::player::video {

struct AmfMember;

struct AmfValue {
    enum class Type : std::uint8_t { Number, Boolean, String, Object, Array, Null, Undefined, Date };
    Type type = Type::Undefined;
    double number = 0;          // Number, Boolean (0 or 1), Date (milliseconds)
    QString string;
    // Object: named members in file order; Array: elements, names empty.
    std::vector<AmfMember> members;
};

// A struct rather than a pair: clang before 16 fails checking what a pair holding the type being
// defined can be built from.
struct AmfMember {
    QString name;
    AmfValue value;
};

// Limits on what one tag may hold: hostile data cannot nest or grow without bound.
inline constexpr int kMaxAmfDepth = 32;
inline constexpr std::size_t kMaxAmfValues = 65536;

// The values of a script data tag, in order, up to the first that does not read (never throws).
std::vector<AmfValue> readAmf0(std::span<const std::uint8_t> data);

}  // namespace vistrel::player::video
