// One parsed tag of a movie or sprite, as plain data, plus the record of problems met on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "player/swf/records.h"
#include "player/swf/tags_action.h"
#include "player/swf/tags_bitmap.h"
#include "player/swf/tags_display.h"
#include "player/swf/tags_shape.h"
#include "player/swf/tags_sound.h"
#include "player/swf/tags_text.h"
#include "player/swf/tags_video.h"

namespace vistrel::swf {

struct TagRecord;

// A sprite: its own frames of control tags.
struct DefineSprite {
    std::uint16_t id = 0;
    std::uint16_t frameCount = 0;
    std::vector<TagRecord> tags;
    std::size_t tagBytes = 0;   // the length of its tag stream, after the id and frame count
};

// One character of a button: the states it shows in, and how it is placed.
struct ButtonRecord {
    bool up = false, over = false, down = false, hitTest = false;
    std::uint16_t character = 0;
    std::uint16_t depth = 0;
    Matrix matrix;
    ColorTransform colorTransform;
    std::vector<std::uint8_t> filterList;
    std::uint8_t blendMode = 0;
};
struct DefineButton {
    std::uint16_t id = 0;
    int version = 1;
    std::vector<ButtonRecord> records;
    // Version 1's single action block is kept as an OverDownToOverUp (release) condition.
    std::vector<ButtonAction> actions;
    bool trackAsMenu = false;
};

struct EndTag {};
// Kept for what the engine does not interpret (metadata, unknown codes).
struct UnknownTag {
    std::uint16_t code = 0;
    std::size_t length = 0;
};

using Tag = std::variant<UnknownTag, EndTag, ShowFrame, PlaceObject, RemoveObject, FrameLabel, SetBackgroundColor,
                         DefineShape, DefineMorphShape, DefineBitmap, JpegTables, DefineSprite, DefineFont,
                         DefineFontInfo, DefineText, DefineEditText, CsmTextSettings, DefineScalingGrid, DefineButton, DoAction,
                         DoInitAction, DefineButtonCxform, DefineButtonSound, ExportAssets, ImportAssets, DefineSound,
                         StartSound, SoundStreamHead, SoundStreamBlock, DefineVideoStream, VideoFrame>;

struct TagRecord {
    std::uint16_t code = 0;
    std::size_t offset = 0;   // in the uncompressed body
    Tag tag;
};

// Problems met while reading, each tied to a tag code and a body offset.
struct Diagnostic {
    std::uint16_t tagCode = 0;
    std::size_t offset = 0;
    std::string text;
};
using Diagnostics = std::vector<Diagnostic>;

namespace tagcode {
inline constexpr std::uint16_t kEnd = 0, kShowFrame = 1, kDefineShape = 2, kPlaceObject = 4, kRemoveObject = 5,
                               kDefineBits = 6, kDefineButton = 7, kJpegTables = 8, kSetBackgroundColor = 9,
                               kDefineFont = 10, kDefineText = 11, kDoAction = 12, kDefineFontInfo = 13,
                               kDefineButtonSound = 17, kDefineBitsLossless = 20, kDefineBitsJpeg2 = 21,
                               kDefineShape2 = 22, kDefineButtonCxform = 23, kPlaceObject2 = 26,
                               kRemoveObject2 = 28, kDefineShape3 = 32, kDefineText2 = 33, kDefineButton2 = 34,
                               kDefineBitsJpeg3 = 35, kDefineBitsLossless2 = 36, kDefineEditText = 37,
                               kDefineSprite = 39, kFrameLabel = 43, kDefineMorphShape = 46, kDefineFont2 = 48,
                               kExportAssets = 56, kImportAssets = 57, kDoInitAction = 59, kDefineFontInfo2 = 62,
                               kDefineVideoStream = 60, kVideoFrame = 61,
                               kPlaceObject3 = 70, kImportAssets2 = 71, kCsmTextSettings = 74, kDefineFont3 = 75, kDefineScalingGrid = 78,
                               kDefineShape4 = 83, kDefineMorphShape2 = 84, kDefineBitsJpeg4 = 90, kDefineSound = 14, kStartSound = 15,
                               kSoundStreamHead = 18, kSoundStreamBlock = 19, kSoundStreamHead2 = 45,
                               kStartSound2 = 89;
}

}  // namespace vistrel::swf
