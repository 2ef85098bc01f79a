// The shape a morph shows at a given position between its start (0) and end (1).
#pragma once

#include "player/swf/tags_shape.h"

namespace vistrel::player {

swf::Shape interpolateMorph(const swf::DefineMorphShape& morph, double t);

}  // namespace vistrel::player
