#include "player/scaling_grid.h"

#include <algorithm>
#include <cmath>

#include "player/shape_paths.h"

namespace vistrel::player {

std::optional<ScalingGrid::Axis> ScalingGrid::axis(double b0, double b1, double g0, double g1, double scale) {
    if (!(b1 > b0) || !(g1 > g0) || g0 < b0 || g1 > b1 || !(scale > 0) || !std::isfinite(scale)) return std::nullopt;
    Axis a;
    a.start = b0;
    a.gridStart = g0;
    a.gridEnd = g1;
    a.scale = scale;
    const double sides = (g0 - b0) + (b1 - g1), target = (b1 - b0) * scale;
    if (sides <= target) {
        a.edgeFactor = 1;
        a.middleFactor = (target - sides) / (g1 - g0);
    } else {
        // Too small for the sides at their own size: they share the room, the centre vanishes.
        a.edgeFactor = target / sides;
        a.middleFactor = 0;
    }
    return a;
}

double ScalingGrid::Axis::map(double v) const {
    const double left = gridStart - start;
    double out = 0;
    if (v <= gridStart) out = (v - start) * edgeFactor;
    else if (v < gridEnd) out = left * edgeFactor + (v - gridStart) * middleFactor;
    else out = left * edgeFactor + (gridEnd - gridStart) * middleFactor + (v - gridEnd) * edgeFactor;
    return start + out / scale;
}

std::optional<ScalingGrid> ScalingGrid::make(const QRectF& grid, const QRectF& bounds, double scaleX, double scaleY) {
    if (std::abs(scaleX - 1) < 1e-9 && std::abs(scaleY - 1) < 1e-9) return std::nullopt;
    const auto x = axis(bounds.left(), bounds.right(), grid.left(), grid.right(), scaleX);
    const auto y = axis(bounds.top(), bounds.bottom(), grid.top(), grid.bottom(), scaleY);
    if (!x || !y) return std::nullopt;
    ScalingGrid g;
    g.m_x = *x;
    g.m_y = *y;
    return g;
}

ShapePaths ScalingGrid::apply(const ShapePaths& shape, const QTransform& childToSprite) const {
    ShapePaths out;
    out.items.reserve(shape.items.size());
    for (const DrawItem& item : shape.items) {
        DrawItem moved = item;
        moved.path = childToSprite.map(item.path);
        for (int i = 0; i < moved.path.elementCount(); ++i) {
            const QPainterPath::Element e = moved.path.elementAt(i);
            const QPointF p = map(QPointF(e.x, e.y));
            moved.path.setElementPositionAt(i, p.x(), p.y());
        }
        moved.paint.matrix = item.paint.matrix * childToSprite;
        out.bounds |= moved.path.boundingRect();
        out.items.push_back(std::move(moved));
    }
    return out;
}

}  // namespace vistrel::player
