// Rasterises gradient fills ourselves, so every pixel takes the table entry the file's geometry
// gives it: linear, radial and focal gradients with pad, reflect and repeat spreads.
#pragma once

#include <QImage>
#include <QRect>
#include <QTransform>

#include "player/render/gradient_table.h"
#include "player/swf/tags_shape.h"

namespace vistrel::player {

// Gradients are defined on a square from -16384 to 16384 twips around their origin.
inline constexpr double kGradientHalf = 16384.0;

// The table position (0..255) for a point of the gradient square. `focal` is the focal point's
// place on the x axis, -1..1 (0 for plain radial gradients).
int gradientEntry(swf::FillType type, int spread, double focal, double x, double y);

// Fills `out` (premultiplied ARGB32, the size of `area`) with the gradient over `area` (device
// pixels), whose square `squareToDevice` maps to device pixels. Each pixel takes the colour at
// its top-left corner. A transform that cannot be inverted leaves it transparent.
void renderGradient(const swf::Gradient& gradient, swf::FillType type, const GradientTable& table,
                    const QTransform& squareToDevice, const QRect& area, QImage& out);

}  // namespace vistrel::player
