// Edit-text fields (DefineEditText) laid out into filled outlines: embedded fonts by their glyphs,
// device fonts through the system's fonts, plain or HTML text, wrapped and aligned in the field.
#pragma once

#include "player/shape_paths.h"
#include "player/swf/tags_text.h"

namespace vistrel::player {

class Movie;

ShapePaths buildEditText(const Movie& movie, const swf::DefineEditText& field);

}  // namespace vistrel::player
