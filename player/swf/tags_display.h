// Display-list and timeline tags: placing and removing objects, frames, labels, background.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/swf/records.h"
#include "player/swf/tags_action.h"

namespace vistrel::swf {

class ByteReader;

// One placement record of a timeline frame: what goes at a depth, and how it is shown.
struct PlaceObject {
    int version = 1;                              // 1-3
    std::uint16_t depth = 0;
    bool move = false;                            // change what is already at the depth
    std::optional<std::uint16_t> character;       // with move: replace the character
    std::optional<Matrix> matrix;
    std::optional<ColorTransform> colorTransform;
    std::optional<std::uint16_t> ratio;           // morph position, 0..65535
    std::optional<std::uint16_t> clipDepth;       // set: this object masks depths up to here
    std::optional<std::string> name;
    std::optional<std::vector<std::uint8_t>> filterList;   // raw FILTERLIST bytes, count first
    std::optional<std::uint8_t> blendMode;
    std::optional<bool> cacheAsBitmap;
    std::optional<bool> visible;
    std::vector<ClipAction> clipActions;          // event handlers of a placed sprite
};

struct RemoveObject {
    std::uint16_t depth = 0;
    std::optional<std::uint16_t> character;       // version 1 names the character too
};

struct ShowFrame {};
struct FrameLabel { std::string name; };
struct SetBackgroundColor { Rgba color; };
struct DefineScalingGrid { std::uint16_t id = 0; Rect splitter; };

PlaceObject readPlaceObject(ByteReader& r, int version, int swfVersion);
RemoveObject readRemoveObject(ByteReader& r, int version);

}  // namespace vistrel::swf
