// The filters as the renderer names them; they are read with the rest of the file in swf/.
#pragma once

#include "player/swf/filter_list.h"

namespace vistrel::player {

using swf::BevelFilter;
using swf::BlurFilter;
using swf::ColorMatrixFilter;
using swf::ConvolutionFilter;
using swf::DropShadowFilter;
using swf::Filter;
using swf::FilterListError;
using swf::GlowFilter;
using swf::GradientBevelFilter;
using swf::GradientFilterData;
using swf::GradientGlowFilter;
using swf::GradientStop;
using swf::parseFilterList;

} // namespace vistrel::player
