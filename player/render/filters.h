// Running a placed object's filters over its rendered layer; the list itself is read in swf/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include <QMarginsF>

#include "player/render/filter_types.h"

class QImage;

namespace vistrel::player {

// How far the filters grow a layer's bounds, in device pixels, when the layer is drawn with
// `scaleX`/`scaleY` pixels per unit. Sizes chain: each filter grows what the previous produced.
QMarginsF filterMargins(const std::vector<Filter>& filters, double scaleX, double scaleY);

// Applies the filters in order to a premultiplied layer image that already includes
// filterMargins() around the content. Any image format is accepted; the result is
// Format_ARGB32_Premultiplied. Before each filter and each blur pass `stop` is asked whether to go
// on (a frame out of time): the layer then stays as far as it got, and the result is true.
bool applyFilters(QImage& layer, const std::vector<Filter>& filters, double scaleX, double scaleY,
                  const std::function<bool()>& stop = {});

} // namespace vistrel::player
