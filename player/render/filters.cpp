#include "player/render/filters.h"

#include <algorithm>
#include <cmath>

#include <QImage>

#include "player/render/filter_ops.h"

namespace vistrel::player {
namespace {

using namespace filter_detail;

EffectOptions effectOptions(bool inner, bool onTop, bool knockout, bool compositeSource)
{
    EffectOptions o;
    o.placement = inner ? EffectPlacement::Inner : onTop ? EffectPlacement::Full : EffectPlacement::Outer;
    o.knockout = knockout;
    o.hideObject = !compositeSource;
    return o;
}

// Growth of one filter: the blur's reach on every side, plus the displacement on the side it
// points to (both sides for bevels, which light one side and shade the other).
QMarginsF effectGrowth(double blurX, double blurY, int passes, QPoint offset, bool bothSides,
                       double scaleX, double scaleY)
{
    const int p = clampPasses(passes);
    const double gx = double(blurReach(blurWidth(blurX, scaleX))) * p;
    const double gy = double(blurReach(blurWidth(blurY, scaleY))) * p;
    const double dx = offset.x();
    const double dy = offset.y();
    if (bothSides) {
        return {gx + std::fabs(dx), gy + std::fabs(dy), gx + std::fabs(dx), gy + std::fabs(dy)};
    }
    return {gx + std::max(0.0, -dx), gy + std::max(0.0, -dy), gx + std::max(0.0, dx), gy + std::max(0.0, dy)};
}

struct MarginVisitor {
    double sx, sy;

    QMarginsF operator()(const DropShadowFilter& f) const
    {
        if (f.inner)
            return {};
        return effectGrowth(f.blurX, f.blurY, f.passes, filterOffset(f.angle, f.distance, sx, sy), false, sx, sy);
    }
    QMarginsF operator()(const BlurFilter& f) const
    {
        return effectGrowth(f.blurX, f.blurY, f.passes, {}, false, sx, sy);
    }
    QMarginsF operator()(const GlowFilter& f) const
    {
        if (f.inner)
            return {};
        return effectGrowth(f.blurX, f.blurY, f.passes, {}, false, sx, sy);
    }
    QMarginsF operator()(const BevelFilter& f) const
    {
        if (f.inner)
            return {};
        return effectGrowth(f.blurX, f.blurY, f.passes, filterOffset(f.angle, f.distance, sx, sy), true, sx, sy);
    }
    QMarginsF operator()(const GradientGlowFilter& f) const
    {
        if (f.inner)
            return {};
        return effectGrowth(f.blurX, f.blurY, f.passes, filterOffset(f.angle, f.distance, sx, sy), false, sx, sy);
    }
    QMarginsF operator()(const GradientBevelFilter& f) const
    {
        if (f.inner)
            return {};
        return effectGrowth(f.blurX, f.blurY, f.passes, filterOffset(f.angle, f.distance, sx, sy), true, sx, sy);
    }
    QMarginsF operator()(const ConvolutionFilter&) const { return {}; }
    QMarginsF operator()(const ColorMatrixFilter&) const { return {}; }
};

struct ApplyVisitor {
    QImage& layer;
    double sx, sy;

    void operator()(const DropShadowFilter& f) const
    {
        applyGlowEffect(layer, solidGlowRamp(f.color), filterOffset(f.angle, f.distance, sx, sy),
                        blurWidth(f.blurX, sx), blurWidth(f.blurY, sy), clampPasses(f.passes), f.strength,
                        effectOptions(f.inner, false, f.knockout, f.compositeSource));
    }
    void operator()(const BlurFilter& f) const { applyBlur(layer, f, sx, sy); }
    void operator()(const GlowFilter& f) const
    {
        applyGlowEffect(layer, solidGlowRamp(f.color), {}, blurWidth(f.blurX, sx), blurWidth(f.blurY, sy),
                        clampPasses(f.passes), f.strength, effectOptions(f.inner, false, f.knockout, f.compositeSource));
    }
    void operator()(const BevelFilter& f) const
    {
        applyBevelEffect(layer, solidBevelRamp(f.highlightColor, f.shadowColor),
                         filterOffset(f.angle, f.distance, sx, sy), blurWidth(f.blurX, sx), blurWidth(f.blurY, sy),
                         clampPasses(f.passes), f.strength,
                         effectOptions(f.inner, f.onTop, f.knockout, f.compositeSource));
    }
    void operator()(const GradientGlowFilter& f) const
    {
        if (f.stops.empty())
            return;
        applyGlowEffect(layer, gradientGlowRamp(f.stops), filterOffset(f.angle, f.distance, sx, sy),
                        blurWidth(f.blurX, sx), blurWidth(f.blurY, sy), clampPasses(f.passes), f.strength,
                        effectOptions(f.inner, f.onTop, f.knockout, f.compositeSource));
    }
    void operator()(const GradientBevelFilter& f) const
    {
        if (f.stops.empty())
            return;
        applyBevelEffect(layer, gradientBevelRamp(f.stops), filterOffset(f.angle, f.distance, sx, sy),
                         blurWidth(f.blurX, sx), blurWidth(f.blurY, sy), clampPasses(f.passes), f.strength,
                         effectOptions(f.inner, f.onTop, f.knockout, f.compositeSource));
    }
    void operator()(const ConvolutionFilter& f) const { applyConvolution(layer, f); }
    void operator()(const ColorMatrixFilter& f) const { applyColorMatrix(layer, f); }
};

} // namespace

QMarginsF filterMargins(const std::vector<Filter>& filters, double scaleX, double scaleY)
{
    QMarginsF total;
    for (const Filter& filter : filters)
        total += std::visit(MarginVisitor{scaleX, scaleY}, filter);
    return {std::ceil(total.left()), std::ceil(total.top()), std::ceil(total.right()), std::ceil(total.bottom())};
}

bool applyFilters(QImage& layer, const std::vector<Filter>& filters, double scaleX, double scaleY,
                  const std::function<bool()>& stop)
{
    if (layer.isNull() || filters.empty())
        return false;
    if (layer.format() != QImage::Format_ARGB32_Premultiplied)
        layer = layer.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const StopScope scope(stop);
    for (const Filter& filter : filters) {
        if (stopRequested())
            break;
        std::visit(ApplyVisitor{layer, scaleX, scaleY}, filter);
    }
    return stopSeen();
}

} // namespace vistrel::player
