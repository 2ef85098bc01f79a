// The walk over a display list that draws it: masks (placed and script-set), layers for filters,
// blend modes and cached bitmaps, nine-slice grids and nested sprites.
#pragma once

#include <QTransform>

#include "player/display_list.h"
#include "player/render/renderer.h"

namespace vistrel::player {

class Movie;

// Draws one sprite's display list with the given transforms.
void renderDisplayList(const Movie& movie, const SpriteInstance& sprite, Renderer& renderer, const QTransform& m,
                       const swf::ColorTransform& cx);

}  // namespace vistrel::player
