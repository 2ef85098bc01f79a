// Anti-aliased fills with four coverage samples per pixel. A pixel takes the share of its samples
// inside the outline, so an edge's pixel takes one of five levels (none, a quarter, a half, three
// quarters, all) however finely the edge moves, the way movies are meant to look. The samples lie on
// a turned grid, one in each quarter row and each quarter column of the pixel.
#pragma once

class QBrush;
class QPainter;
class QPainterPath;
class QRegion;

namespace vistrel::player {

// Fills `path` with `brush` through `p` (whose transform maps the path to the device) with that
// coverage. The painter's clip, opacity and composition mode apply as to any of its drawing. `clip`,
// when given, is the painter's clip in device pixels, known to be exactly that region.
void fillSampled(QPainter& p, const QPainterPath& path, const QBrush& brush, const QRegion* clip = nullptr);

// Draws a line of `width` device pixels along `path` (whose points `p`'s transform maps to the device)
// with round ends and corners, with the same coverage.
void strokeSampled(QPainter& p, const QPainterPath& path, double width, const QBrush& brush, const QRegion* clip = nullptr);

}  // namespace vistrel::player
