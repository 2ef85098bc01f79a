#include "player/render/bitmap_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vistrel::player {

namespace {

// Two channels of a pixel go through the blending arithmetic at once, each in its own 32 bits of a
// 64-bit word: blue and red in one, green and alpha in the other.
constexpr std::uint64_t kLaneMask = 0x000000ff000000ffull;
inline std::uint64_t lowLanes(QRgb p) { return std::uint64_t{p & 0xffu} | (std::uint64_t{p & 0xff0000u} << 16); }
inline std::uint64_t highLanes(QRgb p) { return std::uint64_t{(p >> 8) & 0xffu} | (std::uint64_t{(p >> 24) & 0xffu} << 32); }
inline QRgb joinLanes(std::uint64_t lo, std::uint64_t hi) {
    return static_cast<QRgb>((lo & 0xff) | ((lo >> 32) << 16) | ((hi & 0xff) << 8) | ((hi >> 32) << 24));
}

// Blends four premultiplied pixels with weights out of 256 on each axis (fx, fy in 0..255).
inline QRgb bilinear(QRgb tl, QRgb tr, QRgb bl, QRgb br, int fx, int fy) {
    const auto wx = static_cast<std::uint64_t>(256 - fx), ux = static_cast<std::uint64_t>(fx);
    const auto wy = static_cast<std::uint64_t>(256 - fy), uy = static_cast<std::uint64_t>(fy);
    // Each lane stays below 2^24: 255 * 256 * 256.
    const auto mix = [&](std::uint64_t a, std::uint64_t b, std::uint64_t c, std::uint64_t d) {
        return (((a * wx + b * ux) * wy + (c * wx + d * ux) * uy) >> 16) & kLaneMask;
    };
    return joinLanes(mix(lowLanes(tl), lowLanes(tr), lowLanes(bl), lowLanes(br)),
                     mix(highLanes(tl), highLanes(tr), highLanes(bl), highLanes(br)));
}

// Pixel indexes beyond the picture: the edge pixel's.
struct ClampIndex {
    int size;
    int operator()(std::int64_t i) const { return static_cast<int>(std::clamp<std::int64_t>(i, 0, size - 1)); }
};

// Pixel indexes beyond the picture: the same place in the next copy. Neighbouring pixels mostly fall
// in the same copy, so the last copy's start is kept and only checked.
struct WrapIndex {
    int size;
    std::int64_t base = 0;   // where the copy last used starts
    int operator()(std::int64_t i) {
        std::int64_t inside = i - base;
        if (inside < 0 || inside >= size) {
            inside = ((i % size) + size) % size;
            base = i - inside;
        }
        return static_cast<int>(inside);
    }
};

template <class Index>
void sampleBitmap(const QImage& bitmap, const QTransform& bitmapToDevice, const QRect& area, bool smooth, QImage& out) {
    if (out.isNull() || out.size() != area.size() || out.format() != QImage::Format_ARGB32_Premultiplied) return;
    bool invertible = false;
    const QTransform inverse = bitmapToDevice.inverted(&invertible);
    if (!invertible || bitmap.isNull()) {
        out.fill(Qt::transparent);
        return;
    }
    const QImage source = bitmap.format() == QImage::Format_ARGB32_Premultiplied
                              ? bitmap
                              : bitmap.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int w = source.width(), h = source.height();
    Index columnOf{w}, rowOf{h};
    Index nextColumnOf{w}, nextRowOf{h};
    const auto* bits = source.constBits();
    const qsizetype stride = source.bytesPerLine();
    auto line = [&](int y) { return reinterpret_cast<const QRgb*>(bits + y * stride); };
    // Far-off coordinates only pick edge pixels (or whole copies); the clamp keeps the integer
    // conversions defined.
    const double limit = 1e7;
    if (inverse.m12() == 0 && inverse.m21() == 0) {
        // Not turned: every pixel of a column takes the same columns of the bitmap with the same
        // weight, and every pixel of a row the same rows, so both are worked out once.
        struct Pick {
            int first, second, weight;
        };
        const auto picks = [&](int from, int count, double scale, double shift, Index& indexOf, Index& nextOf) {
            std::vector<Pick> out(static_cast<std::size_t>(count));
            for (int i = 0; i < count; ++i) {
                const double u = std::clamp(shift + scale * (from + i + 0.5), -limit, limit);
                if (!smooth) {
                    out[static_cast<std::size_t>(i)] = {indexOf(static_cast<std::int64_t>(std::floor(u))), 0, 0};
                    continue;
                }
                const double su = u - 0.5, fu = std::floor(su);
                const auto first = static_cast<std::int64_t>(fu);
                out[static_cast<std::size_t>(i)] = {indexOf(first), nextOf(first + 1), static_cast<int>((su - fu) * 256)};
            }
            return out;
        };
        const std::vector<Pick> columns = picks(area.left(), area.width(), inverse.m11(), inverse.dx(), columnOf, nextColumnOf);
        const std::vector<Pick> rows = picks(area.top(), area.height(), inverse.m22(), inverse.dy(), rowOf, nextRowOf);
        std::vector<int> used;   // the bitmap columns any pixel takes, once each
        std::vector<std::uint64_t> downLow, downHigh;
        if (smooth) {
            std::vector<bool> seen(static_cast<std::size_t>(w), false);
            for (const Pick& c : columns)
                for (const int j : {c.first, c.second})
                    if (!seen[static_cast<std::size_t>(j)]) {
                        seen[static_cast<std::size_t>(j)] = true;
                        used.push_back(j);
                    }
            downLow.resize(static_cast<std::size_t>(w));
            downHigh.resize(static_cast<std::size_t>(w));
        }
        for (int row = 0; row < area.height(); ++row) {
            auto* target = reinterpret_cast<QRgb*>(out.scanLine(row));
            const Pick& r = rows[static_cast<std::size_t>(row)];
            const QRgb* top = line(r.first);
            if (!smooth) {
                for (int col = 0; col < area.width(); ++col) target[col] = top[columns[static_cast<std::size_t>(col)].first];
                continue;
            }
            // Blended down the two rows first, then across: the same sums as bilinear() in another
            // order, with each bitmap column blended once per row however many pixels use it.
            const QRgb* bottom = line(r.second);
            const auto wy = static_cast<std::uint64_t>(256 - r.weight), uy = static_cast<std::uint64_t>(r.weight);
            for (const int j : used) {
                const QRgb a = top[j], c = bottom[j];
                downLow[static_cast<std::size_t>(j)] = lowLanes(a) * wy + lowLanes(c) * uy;
                downHigh[static_cast<std::size_t>(j)] = highLanes(a) * wy + highLanes(c) * uy;
            }
            for (int col = 0; col < area.width(); ++col) {
                const Pick& c = columns[static_cast<std::size_t>(col)];
                const auto wx = static_cast<std::uint64_t>(256 - c.weight), ux = static_cast<std::uint64_t>(c.weight);
                const auto first = static_cast<std::size_t>(c.first), second = static_cast<std::size_t>(c.second);
                const std::uint64_t lo = ((downLow[first] * wx + downLow[second] * ux) >> 16) & kLaneMask;
                const std::uint64_t hi = ((downHigh[first] * wx + downHigh[second] * ux) >> 16) & kLaneMask;
                target[col] = joinLanes(lo, hi);
            }
        }
        return;
    }
    // Turned: positions in the bitmap in 1/2^32 pixel, each the exact sum of whole steps from the
    // device's origin, so a pixel gets the same colour whatever part of the fill is drawn. Transforms
    // whose steps would overflow that take the slower path below.
    constexpr double kOne = 4294967296.0;
    const double reach = std::max({std::abs(inverse.m11()), std::abs(inverse.m12()), std::abs(inverse.m21()),
                                   std::abs(inverse.m22())});
    const QPointF origin = inverse.map(QPointF(0.5, 0.5));
    const int farthest = std::max({std::abs(area.left()), std::abs(area.right()), std::abs(area.top()), std::abs(area.bottom())});
    if (reach < 1e4 && std::abs(origin.x()) < 1e6 && std::abs(origin.y()) < 1e6 && farthest < (1 << 16)) {
        const auto fixed = [&](double v) { return static_cast<std::int64_t>(std::llround(v * kOne)); };
        const std::int64_t stepUx = fixed(inverse.m11()), stepVx = fixed(inverse.m12());
        const std::int64_t stepUy = fixed(inverse.m21()), stepVy = fixed(inverse.m22());
        // Smoothing blends the four pixels whose centres surround the point.
        const std::int64_t half = smooth ? std::int64_t{1} << 31 : 0;
        const std::int64_t baseU = fixed(origin.x()) - half, baseV = fixed(origin.y()) - half;
        for (int row = 0; row < area.height(); ++row) {
            auto* target = reinterpret_cast<QRgb*>(out.scanLine(row));
            const std::int64_t y = area.top() + row, x = area.left();
            std::int64_t u = baseU + stepUy * y + stepUx * x, v = baseV + stepVy * y + stepVx * x;
            for (int col = 0; col < area.width(); ++col, u += stepUx, v += stepVx) {
                const std::int64_t x0 = u >> 32, y0 = v >> 32;
                if (!smooth) {
                    target[col] = line(rowOf(y0))[columnOf(x0)];
                    continue;
                }
                const int fx = static_cast<int>((u >> 24) & 0xff), fy = static_cast<int>((v >> 24) & 0xff);
                const int c0 = columnOf(x0), c1 = nextColumnOf(x0 + 1);
                const QRgb* top = line(rowOf(y0));
                const QRgb* bottom = line(nextRowOf(y0 + 1));
                target[col] = bilinear(top[c0], top[c1], bottom[c0], bottom[c1], fx, fy);
            }
        }
        return;
    }
    for (int row = 0; row < area.height(); ++row) {
        auto* target = reinterpret_cast<QRgb*>(out.scanLine(row));
        // Each device pixel takes the bitmap's colour at its centre, worked out from the device's left
        // edge so that a pixel gets the same colour whatever part of the fill is drawn.
        const QPointF start = inverse.map(QPointF(0.5, area.top() + row + 0.5));
        for (int col = 0; col < area.width(); ++col) {
            const double x = area.left() + col;
            const double u = std::clamp(start.x() + inverse.m11() * x, -limit, limit);
            const double v = std::clamp(start.y() + inverse.m12() * x, -limit, limit);
            if (!smooth) {
                const auto px = static_cast<std::int64_t>(std::floor(u)), py = static_cast<std::int64_t>(std::floor(v));
                target[col] = line(rowOf(py))[columnOf(px)];
                continue;
            }
            const double su = u - 0.5, sv = v - 0.5;
            const double fu = std::floor(su), fv = std::floor(sv);
            const auto x0 = static_cast<std::int64_t>(fu), y0 = static_cast<std::int64_t>(fv);
            const int fx = static_cast<int>((su - fu) * 256), fy = static_cast<int>((sv - fv) * 256);
            const int c0 = columnOf(x0), c1 = nextColumnOf(x0 + 1);
            const QRgb* top = line(rowOf(y0));
            const QRgb* bottom = line(nextRowOf(y0 + 1));
            target[col] = bilinear(top[c0], top[c1], bottom[c0], bottom[c1], fx, fy);
        }
    }
}

}  // namespace

void renderClampedBitmap(const QImage& bitmap, const QTransform& bitmapToDevice, const QRect& area, bool smooth,
                         QImage& out) {
    sampleBitmap<ClampIndex>(bitmap, bitmapToDevice, area, smooth, out);
}

void renderRepeatedBitmap(const QImage& bitmap, const QTransform& bitmapToDevice, const QRect& area, bool smooth,
                          QImage& out) {
    sampleBitmap<WrapIndex>(bitmap, bitmapToDevice, area, smooth, out);
}

bool bitmapCovers(const QImage& bitmap, const QTransform& bitmapToShape, const QRectF& pathBounds) {
    bool invertible = false;
    const QTransform inverse = bitmapToShape.inverted(&invertible);
    if (!invertible) return false;
    // A hair of slack: outlines drawn exactly along the picture's edges count as inside.
    const QRectF inBitmap = inverse.mapRect(pathBounds);
    return QRectF(0, 0, bitmap.width(), bitmap.height()).adjusted(-0.01, -0.01, 0.01, 0.01).contains(inBitmap);
}

}  // namespace vistrel::player
