#include "player/timeline.h"

#include <algorithm>
#include <cctype>

namespace vistrel::player {

int Timeline::findLabel(const std::string& label) const {
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (frames[i].label == label) return static_cast<int>(i);
    return -1;
}

int Timeline::findLabelIgnoringCase(const std::string& label) const {
    auto same = [&](const std::string& a) {
        return a.size() == label.size() && std::equal(a.begin(), a.end(), label.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (std::size_t i = 0; i < frames.size(); ++i)
        if (!frames[i].label.empty() && same(frames[i].label)) return static_cast<int>(i);
    return -1;
}

}  // namespace vistrel::player
