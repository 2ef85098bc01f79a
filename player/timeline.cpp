#include "player/timeline.h"

namespace vistrel::player {

int Timeline::findLabel(const std::string& label) const {
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (frames[i].label == label) return static_cast<int>(i);
    return -1;
}

}  // namespace vistrel::player
