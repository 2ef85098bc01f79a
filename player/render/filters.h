// Reading a placed object's filter list and running the filters over its rendered layer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include <QMarginsF>

#include "player/render/filter_types.h"

class QImage;

namespace vistrel::player {

// Raised by parseFilterList when the list is cut short or names a filter id it cannot size.
class FilterListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads a filter list (UI8 count, then the filters) from the start of `data` and sets `consumed`
// to the number of bytes it used. A truncated list or an unknown filter id throws
// FilterListError (a std::runtime_error) and leaves `consumed` unchanged: the bytes after an
// undecodable filter cannot be located, so there is no safe partial result.
std::vector<Filter> parseFilterList(std::span<const std::uint8_t> data, std::size_t& consumed);

// How far the filters grow a layer's bounds, in device pixels, when the layer is drawn with
// `scaleX`/`scaleY` pixels per unit. Sizes chain: each filter grows what the previous produced.
QMarginsF filterMargins(const std::vector<Filter>& filters, double scaleX, double scaleY);

// Applies the filters in order to a premultiplied layer image that already includes
// filterMargins() around the content. Any image format is accepted; the result is
// Format_ARGB32_Premultiplied.
void applyFilters(QImage& layer, const std::vector<Filter>& filters, double scaleX, double scaleY);

} // namespace vistrel::player
