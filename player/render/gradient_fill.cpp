#include "player/render/gradient_fill.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace vistrel::player {

namespace {

// Positions run in 1/256ths of a table entry, so blends keep eight bits of fraction.
constexpr double kSteps = 256;

// floor() without a library call, for values well inside the 64-bit range.
std::int64_t floorOf(double v) {
    const auto i = static_cast<std::int64_t>(v);
    return v < static_cast<double>(i) ? i - 1 : i;
}

// A position along the gradient, in entries (0 at its start, 256 at its end), brought into
// 0..256 by the spread mode. Huge positions only lose precision, never bounds.
double spreadPosition(double s, int spread) {
    if (!(s > -1e12 && s < 1e12)) s = s > 0 ? 1e12 : (s < 0 ? -1e12 : 0);
    switch (spread) {
    case 1: {   // reflect
        const double m = std::fmod(std::abs(s), 512.0);
        return m > 256 ? 512 - m : m;
    }
    case 2:     // repeat
        return s - 256 * std::floor(s / 256);
    default:    // pad
        return std::clamp(s, 0.0, 256.0);
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

// Looks colours up in the table for blended fills: each entry sits at its own centre, and a
// position between two centres blends the two straight colours by eight-bit fraction before
// premultiplying, so a translucent end fades in its own colour. Before the first centre and after
// the last the end entries hold.
class Sampler {
public:
    Sampler(const GradientTable& table, const std::array<QRgb, 256>& premultiplied)
        : straight_(table), premultiplied_(premultiplied) {}

    // Works out every step's colour at once: cheaper than blending per pixel once a fill covers
    // many more pixels than there are steps.
    void expand() {
        fine_.resize(kLastStep + 1);
        for (std::int64_t step = 0; step <= kLastStep; ++step) fine_[static_cast<std::size_t>(step)] = atStep(step);
    }

    // `s` in entries, already spread into 0..256.
    QRgb at(double s) const {
        // s is never negative here, so the cast rounds down.
        const std::int64_t step = static_cast<std::int64_t>(s * kSteps) - static_cast<std::int64_t>(kSteps / 2);
        if (fine_.empty()) return atStep(step);
        return fine_[static_cast<std::size_t>(std::clamp<std::int64_t>(step, 0, kLastStep))];
    }

private:
    static constexpr std::int64_t kLastStep = 255 * 256;

    QRgb atStep(std::int64_t step) const {
        if (step <= 0) return premultiplied_[0];
        if (step >= kLastStep) return premultiplied_[255];
        const auto e = static_cast<std::size_t>(step >> 8);
        const auto f = static_cast<std::uint32_t>(step & 255);
        const QRgb a = straight_[e], b = straight_[e + 1];
        if (f == 0 || a == b) return premultiplied_[e];
        // Two channels at a time: each 16-bit lane holds at most 255 * 256 + 128.
        const std::uint32_t g = 256 - f;
        const std::uint32_t rb = (((a & 0xff00ffu) * g + (b & 0xff00ffu) * f + 0x800080u) >> 8) & 0xff00ffu;
        const std::uint32_t ag = (((a >> 8) & 0xff00ffu) * g + ((b >> 8) & 0xff00ffu) * f + 0x800080u) & 0xff00ff00u;
        const QRgb blended = rb | ag;
        return qAlpha(blended) == 255 ? blended : qPremultiply(blended);
    }

    const GradientTable& straight_;
    const std::array<QRgb, 256>& premultiplied_;
    std::vector<QRgb> fine_;
};

// Points that fall exactly on an entry's edge belong to the entry after it; the tiny nudge keeps
// rounding in the inverse transform from moving them back.
constexpr double kEdgeNudge = 1e-7;

// Fills `width` pixels whose position is base + step * (offset + column), colour by colour. Runs
// of pixels in one whole-number cell share a colour and are filled at once.
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

// The geometry of one fill over its device area: where each row starts in the gradient square
// and how far one pixel to the right moves it.
struct Walk {
    QTransform inverse;
    QRect area;
    double focal;
    int spread;
    bool sameRows;
};

// Calls `fillRow(line, start)` for each row of the area, `start` being where the device's column
// 0 (moved by `inset` both ways) lies in the gradient square. Positions are worked out from the
// device's left edge, so a pixel gets the same colour whatever part of the fill is drawn. Rows a
// gradient gives the same colours are copied from the first.
template <class FillRow>
void forEachRow(const Walk& w, QImage& image, double inset, const FillRow& fillRow) {
    const auto bytes = static_cast<std::size_t>(w.area.width()) * sizeof(QRgb);
    for (int row = 0; row < w.area.height(); ++row) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(row));
        if (w.sameRows && row > 0) std::memcpy(line, image.constScanLine(0), bytes);
        else fillRow(line, w.inverse.map(QPointF(inset, w.area.top() + row + inset)));
    }
}

// Each pixel takes the entry its top-left corner lies in.
void renderStepped(const Walk& w, swf::FillType type, const std::array<QRgb, 256>& colors, QImage& image) {
    const int spread = w.spread;
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
    const double scale = 256 / kGradientHalf;
    const int width = w.area.width();
    forEachRow(w, image, 0, [&](QRgb* line, const QPointF& start) {
        const int x0 = w.area.left();
        const double dx = w.inverse.m11(), dy = w.inverse.m12();
        if (type == swf::FillType::LinearGradient) {
            // The position runs along x of the square only, linearly along the row: runs of
            // pixels share one entry and are filled at once.
            const double base = (start.x() / kGradientHalf + 1) * 128 + kEdgeNudge, step = dx / kGradientHalf * 128;
            fillLinearRow(line, width, x0, base, step, [&](double pos) { return colors[entryOf(pos)]; });
        } else if (w.focal == 0 && spread == 0) {
            // Padded radial: the squared distance is compared with squared entry edges, so the
            // entry follows along the row without a square root per pixel.
            const double u0 = start.x() * scale, v0 = start.y() * scale, du = dx * scale, dv = dy * scale;
            const double ul = u0 + du * x0, vl = v0 + dv * x0;
            int e = static_cast<int>(entryOf(std::sqrt(ul * ul + vl * vl) + kEdgeNudge));
            for (int col = 0; col < width; ++col) {
                const double u = u0 + du * (x0 + col), v = v0 + dv * (x0 + col), q = u * u + v * v;
                while (e < 255 && q >= edges[static_cast<std::size_t>(e) + 1]) ++e;
                while (e > 0 && q < edges[static_cast<std::size_t>(e)]) --e;
                line[col] = colors[static_cast<std::size_t>(e)];
            }
        } else if (w.focal == 0) {
            for (int col = 0; col < width; ++col) {
                const double u = (start.x() + dx * (x0 + col)) * scale, v = (start.y() + dy * (x0 + col)) * scale;
                line[col] = colors[entryOf(std::sqrt(u * u + v * v) + kEdgeNudge)];
            }
        } else {
            for (int col = 0; col < width; ++col) {
                const double s = gradientPosition(type, spread, w.focal, start.x() + dx * (x0 + col), start.y() + dy * (x0 + col));
                line[col] = colors[static_cast<std::size_t>(std::clamp<std::int64_t>(floorOf(s + kEdgeNudge), 0, 255))];
            }
        }
    });
}

// Each pixel takes the colour at its centre, blended between the two nearest entries.
void renderBlended(const Walk& w, swf::FillType type, const Sampler& sampler, QImage& image) {
    const int spread = w.spread;
    const double scale = 256 / kGradientHalf;
    const int width = w.area.width();
    forEachRow(w, image, 0.5, [&](QRgb* line, const QPointF& start) {
        const int x0 = w.area.left();
        const double dx = w.inverse.m11(), dy = w.inverse.m12();
        if (type == swf::FillType::LinearGradient) {
            const double base = (start.x() / kGradientHalf + 1) * 128, step = dx / kGradientHalf * 128;
            if (step == 0) {
                std::fill(line, line + width, sampler.at(spreadPosition(base, spread)));
                return;
            }
            if (spread == 0) {
                for (int col = 0; col < width; ++col)
                    line[col] = sampler.at(std::clamp(base + step * static_cast<double>(x0 + col), 0.0, 256.0));
                return;
            }
            for (int col = 0; col < width; ++col)
                line[col] = sampler.at(spreadPosition(base + step * static_cast<double>(x0 + col), spread));
        } else if (w.focal == 0) {
            const double u0 = start.x() * scale, v0 = start.y() * scale, du = dx * scale, dv = dy * scale;
            for (int col = 0; col < width; ++col) {
                const double u = u0 + du * (x0 + col), v = v0 + dv * (x0 + col), r = std::sqrt(u * u + v * v);
                line[col] = sampler.at(spread == 0 ? std::min(r, 256.0) : spreadPosition(r, spread));
            }
        } else {
            for (int col = 0; col < width; ++col)
                line[col] = sampler.at(gradientPosition(type, spread, w.focal, start.x() + dx * (x0 + col), start.y() + dy * (x0 + col)));
        }
    });
}

}  // namespace

double gradientPosition(swf::FillType type, int spread, double focal, double x, double y) {
    const double u = x / kGradientHalf, v = y / kGradientHalf;
    double t = 0;
    if (type == swf::FillType::LinearGradient) t = (u + 1) / 2;
    else if (type == swf::FillType::FocalGradient && focal != 0) t = focalPosition(u, v, focal);
    else t = std::sqrt(u * u + v * v);
    if (!std::isfinite(t)) t = 0;
    return spreadPosition(t * 256, spread);
}

void renderGradient(const swf::Gradient& gradient, swf::FillType type, const GradientTable& table,
                    const QTransform& squareToDevice, const QRect& area, QImage& image, GradientSampling sampling) {
    if (image.isNull() || image.size() != area.size() || image.format() != QImage::Format_ARGB32_Premultiplied) return;
    bool invertible = false;
    const QTransform inverse = squareToDevice.inverted(&invertible);
    if (!invertible) {
        image.fill(Qt::transparent);
        return;
    }
    std::array<QRgb, 256> colors;
    for (std::size_t i = 0; i < colors.size(); ++i) colors[i] = qPremultiply(table[i]);
    Walk w;
    w.inverse = inverse;
    w.area = area;
    // The focal point sits on the circle's edge at most just inside it; beyond, rays miss.
    w.focal = type == swf::FillType::FocalGradient ? std::clamp(gradient.focalPoint, -0.98, 0.98) : 0;
    w.spread = gradient.spread <= 2 ? gradient.spread : 0;
    // A linear gradient whose position does not change down the device's columns gives every row
    // the same colours: the first row is worked out and copied.
    w.sameRows = type == swf::FillType::LinearGradient && inverse.m21() == 0;
    if (sampling == GradientSampling::Blended) {
        Sampler sampler(table, colors);
        if (static_cast<std::int64_t>(area.width()) * area.height() > 2 * 65536) sampler.expand();
        renderBlended(w, type, sampler, image);
    }
    else renderStepped(w, type, colors, image);
}

}  // namespace vistrel::player
