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

// How a fill reads its table. Blended fills sample each pixel at its centre and blend the two
// nearest entries; the table's first colour then stops short of its ratio, so every record's
// colour lands on the entry the blend centres on. Stepped fills (drawn with anti-aliasing) take
// one entry per pixel at its top-left corner, and the first colour's run includes its ratio.
enum class GradientSampling { Stepped, Blended };

// Colours go through `cx` first. Linear-light gradients (interpolation 1) blend in linear RGB.
GradientTable buildGradientTable(const swf::Gradient& gradient, const swf::ColorTransform& cx,
                                 GradientSampling sampling = GradientSampling::Stepped);

}  // namespace vistrel::player
