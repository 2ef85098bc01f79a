// Shadows, glows and bevels, with one colour or a colour ramp.
#include "player/render/filter_ops.h"

#include <algorithm>
#include <cmath>

namespace vistrel::player::filter_detail {
namespace {

// a * b / 255, rounded, for 8-bit values.
inline int mul255(int a, int b)
{
    const int t = a * b + 128;
    return (t + (t >> 8)) >> 8;
}

inline QRgb scalePremultiplied(QRgb c, int factor)
{
    return qRgba(mul255(qRed(c), factor), mul255(qGreen(c), factor), mul255(qBlue(c), factor),
                 mul255(qAlpha(c), factor));
}

// top + bottom * (1 - top alpha), both premultiplied.
inline QRgb over(QRgb top, QRgb bottom)
{
    const int inv = 255 - qAlpha(top);
    return qRgba(std::min(255, qRed(top) + mul255(qRed(bottom), inv)),
                 std::min(255, qGreen(top) + mul255(qGreen(bottom), inv)),
                 std::min(255, qBlue(top) + mul255(qBlue(bottom), inv)),
                 std::min(255, qAlpha(top) + mul255(qAlpha(bottom), inv)));
}

// `masked` (a top pixel already multiplied by the bottom's alpha, whose own alpha was `topAlpha`)
// painted onto `bottom`: the result covers exactly what `bottom` covered.
inline QRgb atop(QRgb masked, int topAlpha, QRgb bottom)
{
    const int inv = 255 - topAlpha;
    return qRgba(std::min(255, qRed(masked) + mul255(qRed(bottom), inv)),
                 std::min(255, qGreen(masked) + mul255(qGreen(bottom), inv)),
                 std::min(255, qBlue(masked) + mul255(qBlue(bottom), inv)),
                 std::min(255, qAlpha(masked) + mul255(qAlpha(bottom), inv)));
}

// Puts the effect pixel `e` together with the object pixel `s` as the options ask.
inline QRgb compose(QRgb s, QRgb e, const EffectOptions& options)
{
    const int sa = qAlpha(s);
    switch (options.placement) {
    case EffectPlacement::Outer:
        // The effect lies under the object, unmasked: where the object is partly transparent the
        // effect shows through it. Knockout keeps only what lies outside the object.
        if (options.knockout)
            return scalePremultiplied(e, 255 - sa);
        return options.hideObject ? e : over(s, e);
    case EffectPlacement::Inner: {
        // Clipped to the object and painted onto it: the object's own coverage stays as it was.
        const QRgb masked = scalePremultiplied(e, sa);
        return (options.knockout || options.hideObject) ? masked : atop(masked, qAlpha(e), s);
    }
    case EffectPlacement::Full:
        return (options.knockout || options.hideObject) ? e : over(e, s);
    }
    return s;
}

// Straight colour of a ramp at position 0..255, interpolated between the stops around it.
QRgb rampColor(const std::vector<GradientStop>& stops, int position)
{
    if (position <= stops.front().ratio)
        return stops.front().color;
    for (std::size_t i = 1; i < stops.size(); ++i) {
        const GradientStop& a = stops[i - 1];
        const GradientStop& b = stops[i];
        if (position <= b.ratio) {
            const int span = b.ratio - a.ratio;
            if (span <= 0)
                return b.color;
            const double t = double(position - a.ratio) / span;
            const auto mix = [t](int u, int v) { return int(std::lround(u + (v - u) * t)); };
            return qRgba(mix(qRed(a.color), qRed(b.color)), mix(qGreen(a.color), qGreen(b.color)),
                         mix(qBlue(a.color), qBlue(b.color)), mix(qAlpha(a.color), qAlpha(b.color)));
        }
    }
    return stops.back().color;
}

std::vector<std::uint8_t> strengthTable(double strength)
{
    std::vector<std::uint8_t> table(256);
    const double s = std::isfinite(strength) ? std::max(0.0, strength) : 0.0;
    for (int v = 0; v < 256; ++v)
        table[std::size_t(v)] = std::uint8_t(std::min(255.0, std::round(v * s)));
    return table;
}

AlphaPlane blurredAlpha(const QImage& layer, double blurX, double blurY, int passes)
{
    AlphaPlane plane = alphaOf(layer);
    boxBlur(plane.values.data(), plane.width, plane.height, 1, blurX, blurY, passes);
    return plane;
}

} // namespace

GlowRamp solidGlowRamp(QRgb straightColor)
{
    GlowRamp ramp{};
    const QRgb premultiplied = qPremultiply(straightColor);
    for (int v = 0; v < 256; ++v)
        ramp[std::size_t(v)] = scalePremultiplied(premultiplied, v);
    return ramp;
}

GlowRamp gradientGlowRamp(const std::vector<GradientStop>& stops)
{
    GlowRamp ramp{};
    if (stops.empty())
        return ramp;
    for (int v = 0; v < 256; ++v)
        ramp[std::size_t(v)] = qPremultiply(rampColor(stops, v));
    return ramp;
}

BevelRamp solidBevelRamp(QRgb highlight, QRgb shadow)
{
    BevelRamp ramp{};
    const QRgb hi = qPremultiply(highlight);
    const QRgb lo = qPremultiply(shadow);
    for (int level = -255; level <= 255; ++level)
        ramp[std::size_t(level + 255)] = level >= 0 ? scalePremultiplied(hi, level) : scalePremultiplied(lo, -level);
    return ramp;
}

BevelRamp gradientBevelRamp(const std::vector<GradientStop>& stops)
{
    BevelRamp ramp{};
    if (stops.empty())
        return ramp;
    // The ramp's start is the highlight side, its middle the flat face, its end the shadow side.
    for (int level = -255; level <= 255; ++level) {
        const int position = std::clamp(int(std::lround(127.5 - level * 127.5 / 255.0)), 0, 255);
        ramp[std::size_t(level + 255)] = qPremultiply(rampColor(stops, position));
    }
    return ramp;
}

void applyGlowEffect(QImage& layer, const GlowRamp& ramp, QPoint offset, double blurX, double blurY, int passes,
                     double strength, const EffectOptions& options)
{
    const AlphaPlane blurred = blurredAlpha(layer, blurX, blurY, passes);
    const std::vector<std::uint8_t> boost = strengthTable(strength);
    const bool inner = options.placement == EffectPlacement::Inner;
    for (int y = 0; y < layer.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            int coverage = blurred.at(x - offset.x(), y - offset.y());
            // Inside, the shadow is cast by the empty surroundings: the inverse of the coverage.
            if (inner)
                coverage = 255 - coverage;
            line[x] = compose(line[x], ramp[boost[std::size_t(coverage)]], options);
        }
    }
}

void applyBevelEffect(QImage& layer, const BevelRamp& ramp, QPoint offset, double blurX, double blurY, int passes,
                      double strength, const EffectOptions& options)
{
    const AlphaPlane blurred = blurredAlpha(layer, blurX, blurY, passes);
    const double s = std::isfinite(strength) ? std::max(0.0, strength) : 0.0;
    for (int y = 0; y < layer.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            // Lit where the shape continues towards the light, shaded where it continues away.
            const int lit = blurred.at(x + offset.x(), y + offset.y());
            const int shaded = blurred.at(x - offset.x(), y - offset.y());
            const int level = int(std::clamp(std::round((lit - shaded) * s), -255.0, 255.0));
            line[x] = compose(line[x], ramp[std::size_t(level + 255)], options);
        }
    }
}

} // namespace vistrel::player::filter_detail
