// Anti-aliased fills with four coverage samples per pixel. A pixel takes the share of its samples
// inside the outline, so an edge's pixel takes one of five levels (none, a quarter, a half, three
// quarters, all) however finely the edge moves, the way movies are meant to look. The samples lie on
// a turned grid, one in each quarter row and each quarter column of the pixel.
#pragma once

#include <cstdint>

class QBrush;
class QImage;
class QPainter;
class QPainterPath;
class QRegion;

namespace vistrel::player {

// Each sample of a pixel keeps the colour of the last opaque fill over it within one frame. A frame
// takes a number of its own, and the thread drawing it says so before its fills; a number never comes
// twice, so what one frame's samples hold never shows in another's, whichever thread drew it.
std::uint32_t newSampleFrame();
void drawSampleFrame(std::uint32_t frame);
// Starts a new frame on the calling thread: forgets what the samples of the pictures drawn on hold.
void forgetSamples();
// Lets go of what the samples of `picture` hold, drawn on by the calling thread: it is done with.
void releaseSamples(const QImage& picture);

// Fills `path` with `brush` through `p` (whose transform maps the path to the device) with that
// coverage. The painter's clip, opacity and composition mode apply as to any of its drawing. `clip`,
// when given, is the painter's clip in device pixels, known to be exactly that region.
void fillSampled(QPainter& p, const QPainterPath& path, const QBrush& brush, const QRegion* clip = nullptr);

// Draws a line of `width` device pixels along `path` (whose points `p`'s transform maps to the device)
// with round ends and corners, with the same coverage.
void strokeSampled(QPainter& p, const QPainterPath& path, double width, const QBrush& brush, const QRegion* clip = nullptr);

}  // namespace vistrel::player
