#include "player/render/gradient_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace vistrel::player {

namespace {

// Points that fall exactly on an entry's edge belong to the entry after it; the tiny nudge keeps
// rounding in the inverse transform from moving them back.
constexpr double kEdgeNudge = 1e-7;

// floor() without a library call, for values well inside the 64-bit range.
std::int64_t floorOf(double v) {
    const auto i = static_cast<std::int64_t>(v);
    return v < static_cast<double>(i) ? i - 1 : i;
}

double spreadPosition(double t, int spread) {
    switch (spread) {
    case 1: {   // reflect
        const double m = std::fmod(std::abs(t), 2.0);
        return m > 1 ? 2 - m : m;
    }
    case 2:     // repeat
        return t - std::floor(t);
    default:    // pad
        return std::clamp(t, 0.0, 1.0);
    }
}

// Distance from the focal point to the point, over the distance from the focal point to the unit
// circle along the same ray: 0 at the focal point, 1 on the circle.
double focalPosition(double x, double y, double focal) {
    const double dx = x - focal, dy = y;
    const double dd = dx * dx + dy * dy;
    if (dd <= 0) return 0;
    const double fd = focal * dx;
    const double c = focal * focal - 1;   // negative: the focal point lies inside the circle
    const double s = (-fd + std::sqrt(std::max(0.0, fd * fd - dd * c))) / dd;
    return s > 0 ? 1 / s : 1;
}

// Fills `width` pixels whose position is base + step * (offset + column), colour by colour. Positions
// are worked out from the device's left edge, so a pixel gets the same colour whatever part of the
// fill is drawn.
template <class ColorAt>
void fillLinearRow(QRgb* line, int width, int offset, double base, double step, const ColorAt& colorAt) {
    // Positions this far out all give an end entry; keeping them here keeps the maths in range.
    const double limit = 1e9;
    const auto at = [&](int col) { return base + step * static_cast<double>(offset + col); };
    if (!(std::abs(step) < 0.5) || !(std::abs(at(0)) < limit) || !(std::abs(at(width)) < limit)) {
        for (int col = 0; col < width; ++col) line[col] = colorAt(at(col));
        return;
    }
    auto cell = [&](int col) { return floorOf(at(col)); };
    int col = 0;
    while (col < width) {
        const std::int64_t first = cell(col);
        int end = width;
        if (step != 0) {
            // Where the position leaves this whole-number cell, then checked one pixel either way.
            const double bound = (static_cast<double>(step > 0 ? first + 1 : first) - base) / step - offset;
            end = bound >= width ? width : std::max(col + 1, static_cast<int>(bound) + 1);
            while (end > col + 1 && cell(end - 1) != first) --end;
            while (end < width && cell(end) == first) ++end;
        }
        std::fill(line + col, line + end, colorAt(static_cast<double>(first)));
        col = end;
    }
}

}  // namespace

int gradientEntry(swf::FillType type, int spread, double focal, double x, double y) {
    const double u = x / kGradientHalf, v = y / kGradientHalf;
    double t = 0;
    if (type == swf::FillType::LinearGradient) t = (u + 1) / 2;
    else if (type == swf::FillType::FocalGradient && focal != 0) t = focalPosition(u, v, focal);
    else t = std::sqrt(u * u + v * v);
    if (!std::isfinite(t)) t = 0;
    // Repeat and reflect wrap whole cycles; a huge t only loses precision, never bounds.
    t = spreadPosition(std::clamp(t, -1e9, 1e9), spread);
    return std::clamp(static_cast<int>(std::floor(t * 256 + kEdgeNudge)), 0, 255);
}

void renderGradient(const swf::Gradient& gradient, swf::FillType type, const GradientTable& table,
                    const QTransform& squareToDevice, const QRect& area, QImage& image) {
    if (image.isNull() || image.size() != area.size() || image.format() != QImage::Format_ARGB32_Premultiplied) return;
    bool invertible = false;
    const QTransform inverse = squareToDevice.inverted(&invertible);
    if (!invertible) {
        image.fill(Qt::transparent);
        return;
    }
    std::array<QRgb, 256> colors;
    for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = qPremultiply(table[i]);
    // The focal point sits on the circle's edge at most just inside it; beyond, rays miss.
    const double focal = type == swf::FillType::FocalGradient ? std::clamp(gradient.focalPoint, -0.98, 0.98) : 0;
    const int spread = gradient.spread <= 2 ? gradient.spread : 0;
    // Table position of a value t * 256 (already nudged) under the spread mode; t may be huge.
    auto entryOf = [spread](double scaled) -> std::size_t {
        if (!(scaled > -1e9 && scaled < 1e9)) scaled = scaled > 0 ? 1e9 : (scaled < 0 ? -1e9 : 0);
        const std::int64_t e = floorOf(scaled);
        if (spread == 1) {
            const std::int64_t m = ((e % 512) + 512) % 512;
            return static_cast<std::size_t>(m < 256 ? m : 511 - m);
        }
        if (spread == 2) return static_cast<std::size_t>(((e % 256) + 256) % 256);
        return static_cast<std::size_t>(std::clamp<std::int64_t>(e, 0, 255));
    };
    // Squared distances (in entries) where each entry of a radial gradient begins.
    std::array<double, 257> edges;
    for (std::size_t k = 0; k < edges.size(); ++k) {
        const double edge = std::max(0.0, static_cast<double>(k) - kEdgeNudge);
        edges[k] = edge * edge;
    }
    // A linear gradient whose position does not change down the device's columns gives every row
    // the same colours: the first row is worked out and copied.
    const bool sameRows = type == swf::FillType::LinearGradient && inverse.m21() == 0;
    for (int row = 0; row < area.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        if (sameRows && row > 0) {
            std::memcpy(line, image.constScanLine(0), static_cast<std::size_t>(area.width()) * sizeof(QRgb));
            continue;
        }
        const QPointF start = inverse.map(QPointF(0, area.top() + row));
        const int x0 = area.left();
        const double dx = inverse.m11(), dy = inverse.m12();
        if (type == swf::FillType::LinearGradient) {
            // The position runs along x of the square only, linearly along the row: runs of
            // pixels share one entry and are filled at once.
            const double base = (start.x() / kGradientHalf + 1) * 128 + kEdgeNudge, step = dx / kGradientHalf * 128;
            fillLinearRow(line, area.width(), x0, base, step, [&](double pos) { return colors[entryOf(pos)]; });
        } else if (focal == 0 && spread == 0) {
            // Padded radial: the squared distance is compared with squared entry edges, so the
            // entry follows along the row without a square root per pixel.
            const double scale = 256 / kGradientHalf;
            const double u0 = start.x() * scale, v0 = start.y() * scale, du = dx * scale, dv = dy * scale;
            const double ul = u0 + du * x0, vl = v0 + dv * x0;
            int e = static_cast<int>(entryOf(std::sqrt(ul * ul + vl * vl) + kEdgeNudge));
            for (int col = 0; col < area.width(); ++col) {
                const double u = u0 + du * (x0 + col), v = v0 + dv * (x0 + col), q = u * u + v * v;
                while (e < 255 && q >= edges[static_cast<std::size_t>(e) + 1]) ++e;
                while (e > 0 && q < edges[static_cast<std::size_t>(e)]) --e;
                line[col] = colors[static_cast<std::size_t>(e)];
            }
        } else if (focal == 0) {
            const double scale = 256 / kGradientHalf;
            for (int col = 0; col < area.width(); ++col) {
                const double u = (start.x() + dx * (x0 + col)) * scale, v = (start.y() + dy * (x0 + col)) * scale;
                line[col] = colors[entryOf(std::sqrt(u * u + v * v) + kEdgeNudge)];
            }
        } else {
            for (int col = 0; col < area.width(); ++col)
                line[col] = colors[static_cast<std::size_t>(
                    gradientEntry(type, spread, focal, start.x() + dx * (x0 + col), start.y() + dy * (x0 + col)))];
        }
    }
}

}  // namespace vistrel::player
