// Static text (DefineText 1-2) as filled glyph outlines.
#pragma once

#include "player/shape_paths.h"
#include "player/swf/tags_text.h"

namespace vistrel::player {

class Movie;

ShapePaths buildStaticText(const Movie& movie, const swf::DefineText& text);

}  // namespace vistrel::player
