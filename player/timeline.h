// A timeline as the display list replays it: per frame, the placements and removals in file order.
#pragma once

#include <string>
#include <variant>
#include <vector>

#include "player/swf/tags_display.h"

namespace vistrel::player {

using FrameCommand = std::variant<swf::PlaceObject, swf::RemoveObject>;

struct Frame {
    std::vector<FrameCommand> commands;
    std::string label;
};

struct Timeline {
    std::vector<Frame> frames;
    int frameCount() const { return frames.empty() ? 1 : static_cast<int>(frames.size()); }
    // 0-based index of the frame with this label, or -1.
    int findLabel(const std::string& label) const;
};

}  // namespace vistrel::player
