// Tags and records that carry ActionScript bytecode and button behaviour, kept as plain data: the
// bytecode is not decoded here, only cut out of its container with every length checked.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "player/swf/records.h"
#include "player/swf/tags_sound.h"

namespace vistrel::swf {

class ByteReader;

// Shared because functions defined inside a block keep referring to it after the tag is gone.
using ActionBytes = std::shared_ptr<const std::vector<std::uint8_t>>;

struct DoAction { ActionBytes actions; };
struct DoInitAction {
    std::uint16_t spriteId = 0;
    ActionBytes actions;
};

// Clip event bits in the 32-bit layout of SWF 6 and later; SWF 5 movies' 16-bit flags read into the
// same layout.
namespace clipevent {
inline constexpr std::uint32_t kLoad = 1u << 0, kEnterFrame = 1u << 1, kUnload = 1u << 2, kMouseMove = 1u << 3,
                               kMouseDown = 1u << 4, kMouseUp = 1u << 5, kKeyDown = 1u << 6, kKeyUp = 1u << 7,
                               kData = 1u << 8, kInitialize = 1u << 9, kPress = 1u << 10, kRelease = 1u << 11,
                               kReleaseOutside = 1u << 12, kRollOver = 1u << 13, kRollOut = 1u << 14,
                               kDragOver = 1u << 15, kDragOut = 1u << 16, kKeyPress = 1u << 17,
                               kConstruct = 1u << 18;
}

// One handler of a placed sprite: the events it answers, the key for key presses, its actions.
struct ClipAction {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0;
    ActionBytes actions;
};

// Button condition bits as the 16-bit field stores them; the key code sits in bits 9-15.
namespace buttoncond {
inline constexpr std::uint16_t kIdleToOverUp = 1u << 0, kOverUpToIdle = 1u << 1, kOverUpToOverDown = 1u << 2,
                               kOverDownToOverUp = 1u << 3, kOverDownToOutDown = 1u << 4,
                               kOutDownToOverDown = 1u << 5, kOutDownToIdle = 1u << 6, kIdleToOverDown = 1u << 7,
                               kOverDownToIdle = 1u << 8, kKeyPressMask = 0xfe00;
inline constexpr int kKeyPressShift = 9;
}

struct ButtonAction {
    std::uint16_t conditions = 0;
    ActionBytes actions;
};

struct DefineButtonCxform {
    std::uint16_t buttonId = 0;
    ColorTransform cx;
};

// Sounds per state transition: idle from over, over from idle, down from over, over from down.
struct DefineButtonSound {
    std::uint16_t buttonId = 0;
    std::array<std::uint16_t, 4> soundId{};
    std::array<SoundInfo, 4> info{};   // how each sound plays
};

struct ExportAssets { std::vector<std::pair<std::uint16_t, std::string>> assets; };
struct ImportAssets {
    std::string url;
    std::vector<std::pair<std::uint16_t, std::string>> assets;
};

ActionBytes makeActionBytes(std::span<const std::uint8_t> bytes);
DoAction readDoAction(ByteReader& r);
DoInitAction readDoInitAction(ByteReader& r);
// The CLIPACTIONS block of PlaceObject2/3, from its reserved field to its end marker.
std::vector<ClipAction> readClipActions(ByteReader& r, int swfVersion);
// The condition action list of DefineButton2, from the first record to the end of the body.
std::vector<ButtonAction> readButtonCondActions(ByteReader& r);
DefineButtonCxform readDefineButtonCxform(ByteReader& r);
DefineButtonSound readDefineButtonSound(ByteReader& r);
ExportAssets readExportAssets(ByteReader& r);
ImportAssets readImportAssets(ByteReader& r, int version);   // 1: code 57, 2: code 71

}  // namespace vistrel::swf
