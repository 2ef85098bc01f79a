// The 256-entry colour table a gradient fill is drawn with, built from its records the way
// movies expect, including records whose ratios repeat or go backwards.
#pragma once

#include <array>

#include <QRgb>

#include "player/swf/records.h"
#include "player/swf/tags_shape.h"

namespace vistrel::player {

// Straight (not premultiplied) ARGB per position 0..255 along the gradient.
using GradientTable = std::array<QRgb, 256>;

// Colours go through `cx` first. Linear-light gradients (interpolation 1) blend in linear RGB.
GradientTable buildGradientTable(const swf::Gradient& gradient, const swf::ColorTransform& cx);

}  // namespace vistrel::player
