// Nine-slice scaling of a sprite with a scaling grid: its corners keep their size, its edges
// stretch along one axis and its centre takes the rest of the scale.
#pragma once

#include <optional>

#include <QPointF>
#include <QRectF>
#include <QTransform>

namespace vistrel::player {

struct ShapePaths;

class ScalingGrid {
public:
    // `grid` and `bounds` are in the sprite's own twips; `scaleX`/`scaleY` are the scale its
    // placement gives it. Returns nothing when the grid cannot apply (empty, outside the bounds,
    // or no scaling at all).
    static std::optional<ScalingGrid> make(const QRectF& grid, const QRectF& bounds, double scaleX, double scaleY);

    // A point of the sprite's own space, moved so that the sprite's scale then gives the sliced look.
    QPointF map(QPointF p) const { return {m_x.map(p.x()), m_y.map(p.y())}; }
    // A child shape moved into the sprite's space by `childToSprite`, then sliced. Stroke widths
    // and fill patterns stay as they are.
    ShapePaths apply(const ShapePaths& shape, const QTransform& childToSprite) const;

private:
    struct Axis {
        double start = 0, gridStart = 0, gridEnd = 0;   // bounds start and grid edges
        double scale = 1;
        double edgeFactor = 1, middleFactor = 1;          // of the sides and of the centre, after scaling
        double map(double v) const;
    };
    static std::optional<Axis> axis(double b0, double b1, double g0, double g1, double scale);

    Axis m_x, m_y;
};

}  // namespace vistrel::player
