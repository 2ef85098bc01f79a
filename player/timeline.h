// A timeline as the display list replays it: per frame, the placements, removals and scripts in file
// order, the sprites whose init scripts the frame carries, and its label.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "player/swf/tags_action.h"
#include "player/swf/tags_display.h"
#include "player/swf/tags_sound.h"

namespace vistrel::player {

using FrameCommand = std::variant<swf::PlaceObject, swf::RemoveObject, swf::DoAction>;

struct Frame {
    std::vector<FrameCommand> commands;
    std::vector<std::uint16_t> initActions;   // sprite ids whose DoInitAction this frame carries
    std::string label;
    std::vector<swf::StartSound> sounds;   // event sounds the frame starts or stops
    swf::SoundBytes streamBlock;           // the frame's piece of the timeline's stream sound
};

struct Timeline {
    std::vector<Frame> frames;
    std::optional<swf::SoundStreamHead> streamHead;   // set: the timeline carries stream sound
    // A sprite whose tags stop short (no end tag, or tags after its last shown frame) plays what it has
    // once and stays on its last frame instead of looping.
    bool loops = true;
    // The frame count the movie header or sprite tag declares (-1: none, a clip a script made), and how
    // many frames a ShowFrame ends. Scripts are told these; playback goes by the frames there are.
    int declaredFrames = -1;
    int shownFrames = 0;
    int frameCount() const { return frames.empty() ? 1 : static_cast<int>(frames.size()); }
    // What _totalframes and _framesloaded report: the declared count, and the frames shown of it (a
    // timeline without any ShowFrame still counts its one frame).
    int reportedTotalFrames() const { return declaredFrames < 0 ? frameCount() : declaredFrames; }
    int reportedLoadedFrames() const {
        return declaredFrames < 0 ? frameCount() : std::min(declaredFrames, std::max(shownFrames, 1));
    }
    // 0-based index of the frame with this label, or -1.
    int findLabel(const std::string& label) const;
    // The same, comparing without case (scripts name labels that way).
    int findLabelIgnoringCase(const std::string& label) const;
};

}  // namespace vistrel::player
