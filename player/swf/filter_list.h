// The eight bitmap filters a placed object can carry, as plain data with the fields of the
// file format, and the reader of a filter list. Colours are straight (not premultiplied) ARGB;
// blur amounts and distances are in pixels at a scale of 1, as stored in the file; angles are
// in radians.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <variant>
#include <vector>

#include "player/swf/errors.h"

namespace vistrel::swf {

// A colour as 0xAARRGGBB, the layout (and the type) the renderer's pixels use.
using Argb = unsigned int;

struct DropShadowFilter {
    Argb color = 0xff000000;
    double blurX = 4, blurY = 4;
    double angle = 0.785398;     // radians
    double distance = 4;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true; // false: hide the object, show only the shadow
    int passes = 1;
};

struct BlurFilter {
    double blurX = 4, blurY = 4;
    int passes = 1;
};

struct GlowFilter {
    Argb color = 0xffff0000;
    double blurX = 6, blurY = 6;
    double strength = 2;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    int passes = 1;
};

struct BevelFilter {
    Argb shadowColor = 0xff000000;
    Argb highlightColor = 0xffffffff;
    double blurX = 4, blurY = 4;
    double angle = 0.785398;
    double distance = 4;
    double strength = 1;
    bool inner = true;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
    int passes = 1;
};

// One stop of a gradient filter's colour ramp; ratio 0..255 along the ramp.
struct GradientStop {
    Argb color = 0;
    std::uint8_t ratio = 0;
};

// Gradient glow and gradient bevel share one layout in the file.
struct GradientFilterData {
    std::vector<GradientStop> stops;
    double blurX = 4, blurY = 4;
    double angle = 0.785398;
    double distance = 4;
    double strength = 1;
    bool inner = false;
    bool knockout = false;
    bool compositeSource = true;
    bool onTop = false;
    int passes = 1;
};

struct GradientGlowFilter : GradientFilterData {};
struct GradientBevelFilter : GradientFilterData {};

struct ConvolutionFilter {
    int matrixX = 0, matrixY = 0;  // columns and rows
    float divisor = 1;
    float bias = 0;
    std::vector<float> matrix;     // row by row, matrixX * matrixY values
    Argb defaultColor = 0;         // used for pixels outside the image when clamp is off
    bool clamp = true;             // true: edge pixels repeat outward
    bool preserveAlpha = true;
};

// 4 rows of 5: R' = m0*R + m1*G + m2*B + m3*A + m4 (offsets on the 0..255 scale), then G', B', A'.
struct ColorMatrixFilter {
    float matrix[20] = {1, 0, 0, 0, 0,  0, 1, 0, 0, 0,  0, 0, 1, 0, 0,  0, 0, 0, 1, 0};
};

// Alternatives in the order of the file's filter ids 0..7.
using Filter = std::variant<DropShadowFilter, BlurFilter, GlowFilter, BevelFilter, GradientGlowFilter,
                            ConvolutionFilter, ColorMatrixFilter, GradientBevelFilter>;

// Raised by parseFilterList when the list is cut short or names a filter id it cannot size; a format
// error like any other when the list is met while reading a tag.
class FilterListError : public FormatError {
public:
    using FormatError::FormatError;
};

// Reads a filter list (UI8 count, then the filters) from the start of `data` and sets `consumed`
// to the number of bytes it used. A truncated list or an unknown filter id throws
// FilterListError (a FormatError) and leaves `consumed` unchanged: the bytes after an
// undecodable filter cannot be located, so there is no safe partial result.
std::vector<Filter> parseFilterList(std::span<const std::uint8_t> data, std::size_t& consumed);

// Bytes the filter list at the start of `data` occupies (count byte included), for tags that keep the
// list raw. Sizes come from the same readers as parseFilterList; a cut list throws TruncatedData and an
// unknown filter id FilterListError.
std::size_t measureFilterList(std::span<const std::uint8_t> data);

} // namespace vistrel::swf
