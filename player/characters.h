// The definitions a movie's dictionary holds, by kind, as the engine keeps them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <variant>
#include <vector>

#include <QPainterPath>

#include "player/swf/tag.h"
#include "player/timeline.h"

namespace vistrel::player::video {
class VideoStream;
}

namespace vistrel::player {

struct SpriteCharacter {
    Timeline timeline;
    std::size_t tagBytes = 0;   // what a clip of it reports as its loaded and total bytes
};

struct BitmapCharacter {
    swf::DefineBitmap data;
};

struct FontCharacter {
    swf::DefineFont font;
    std::unordered_map<std::uint16_t, std::size_t> glyphForCode;
    double emSize() const { return font.version >= 3 ? 20480.0 : 1024.0; }
};

// A button plays one of its states as a one-frame timeline of that state's records; the pointer picks
// which (the hit records only answer the pointer).
struct ButtonCharacter {
    swf::DefineButton button;
    Timeline upState;
    Timeline overState;
    Timeline downState;
    std::optional<swf::DefineButtonSound> sounds;   // what each state change plays
};

// An embedded video: its definition and its frames with their decoder, shared by every placement.
struct VideoCharacter {
    swf::DefineVideoStream definition;
    std::shared_ptr<video::VideoStream> stream;
};

using Character = std::variant<swf::DefineShape, swf::DefineMorphShape, SpriteCharacter, BitmapCharacter,
                               FontCharacter, swf::DefineText, swf::DefineEditText, ButtonCharacter, VideoCharacter>;

}  // namespace vistrel::player
