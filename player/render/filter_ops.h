// Pixel work behind applyFilters: blurs, offsets and the individual filters
// (internal to the renderer).
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include <QImage>
#include <QPoint>

#include "player/render/filter_types.h"

namespace vistrel::player::filter_detail {

// Limits that keep a damaged or hostile file from asking for unbounded work.
inline constexpr double kMaxBlur = 255;          // per axis, in pixels at scale 1
inline constexpr int kMaxPasses = 15;
inline constexpr double kMaxOffsetPixels = 8192; // shadow distance after scaling
inline constexpr int kMaxConvolutionSide = 15;

// Width of one box-blur pass in device pixels for a blur amount stored in the file; the box is
// centred on each pixel and counts the pixels it covers in part by the part covered.
double blurWidth(double amount, double scale);
// How many pixels one pass of a box that wide reaches on each side (0: no blur at all).
int blurReach(double width);
int clampPasses(int passes);
// Shadow/bevel displacement in device pixels for an angle in radians.
QPoint filterOffset(double angle, double distance, double scaleX, double scaleY);

// Box-blurs `channels` (1 or 4) interleaved 8-bit values per pixel with zeros outside the image:
// `passes` times, horizontally with a box widthX pixels wide and vertically widthY wide.
void boxBlur(std::uint8_t* data, int width, int height, int channels, double widthX, double widthY, int passes);

// While a scope lives, blur passes on this thread ask `stop` before each pass and leave out the rest
// once it says so: a blur many times the picture's size in many passes can take seconds, and the
// frame it belongs to is shown as far as it got. (Kept per thread, not passed through every filter.)
class StopScope {
public:
    explicit StopScope(const std::function<bool()>& stop);
    ~StopScope();
    StopScope(const StopScope&) = delete;
    StopScope& operator=(const StopScope&) = delete;

private:
    const std::function<bool()>* m_outer;
    bool m_outerStopped;
};
// Whether the innermost scope's `stop` said so (asked once more while it has not).
bool stopRequested();
// Whether work was left out for it in the innermost scope (without asking again).
bool stopSeen();

// One 8-bit value per pixel, read with zero outside the plane.
struct AlphaPlane {
    int width = 0, height = 0;
    std::vector<std::uint8_t> values;
    std::uint8_t at(int x, int y) const
    {
        return (x < 0 || y < 0 || x >= width || y >= height) ? 0 : values[std::size_t(y) * width + x];
    }
};
AlphaPlane alphaOf(const QImage& image);

// Where a shadow-type effect is drawn relative to the object.
enum class EffectPlacement { Outer, Inner, Full };

struct EffectOptions {
    EffectPlacement placement = EffectPlacement::Outer;
    bool knockout = false;
    bool hideObject = false;
};

// Colour of a glow/shadow at each strength-scaled coverage 0..255, premultiplied.
using GlowRamp = std::array<QRgb, 256>;
// Colour of a bevel at each signed level -255..255 (index level + 255), premultiplied.
using BevelRamp = std::array<QRgb, 511>;

GlowRamp solidGlowRamp(QRgb straightColor);
GlowRamp gradientGlowRamp(const std::vector<GradientStop>& stops);
BevelRamp solidBevelRamp(QRgb highlight, QRgb shadow);
BevelRamp gradientBevelRamp(const std::vector<GradientStop>& stops);

// `layer` must be Format_ARGB32_Premultiplied.
void applyGlowEffect(QImage& layer, const GlowRamp& ramp, QPoint offset, double blurX, double blurY, int passes,
                     double strength, const EffectOptions& options);
void applyBevelEffect(QImage& layer, const BevelRamp& ramp, QPoint offset, double blurX, double blurY, int passes,
                      double strength, const EffectOptions& options);
void applyBlur(QImage& layer, const BlurFilter& filter, double scaleX, double scaleY);
void applyColorMatrix(QImage& layer, const ColorMatrixFilter& filter);
void applyConvolution(QImage& layer, const ConvolutionFilter& filter);

} // namespace vistrel::player::filter_detail
