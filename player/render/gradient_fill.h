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

// The position along the gradient, in table entries (0 at its start, 256 at its end), for a point
// of the gradient square, brought into 0..256 by the spread mode. `focal` is the focal point's
// place on the x axis, -1..1 (0 for plain radial gradients).
double gradientPosition(swf::FillType type, int spread, double focal, double x, double y);

// Fills `out` (premultiplied ARGB32, the size of `area`) with the gradient over `area` (device
// pixels), whose square `squareToDevice` maps to device pixels. Blended: each pixel takes the
// colour at its centre, entry k of the table sitting at position k + 0.5 and positions between
// two entries blending them. Stepped: each pixel takes the entry its top-left corner lies in.
// A transform that cannot be inverted leaves it transparent.
void renderGradient(const swf::Gradient& gradient, swf::FillType type, const GradientTable& table,
                    const QTransform& squareToDevice, const QRect& area, QImage& out,
                    GradientSampling sampling = GradientSampling::Stepped);

}  // namespace vistrel::player
