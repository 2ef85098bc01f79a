#include "player/render/gradient_table.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace vistrel::player {

namespace {

// sRGB <-> linear light through tables: 256 values in, 256 eight-bit linear levels back out.
struct LinearLight {
    std::array<double, 256> toLinear{};
    std::array<std::uint8_t, 256> toSrgb{};
    LinearLight() {
        for (int i = 0; i < 256; ++i) {
            const double v = i / 255.0;
            toLinear[i] = v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
            const double s = v <= 0.0031308 ? v * 12.92 : 1.055 * std::pow(v, 1 / 2.4) - 0.055;
            toSrgb[i] = static_cast<std::uint8_t>(std::clamp(std::lround(s * 255), 0l, 255l));
        }
    }
};

const LinearLight& linearLight() {
    static const LinearLight table;
    return table;
}

int mix(int a, int b, double t) { return static_cast<int>(std::lround(a + (b - a) * t)); }

// Stops blend exactly in linear light, but every entry holds its linear value in eight bits,
// rounded down, before it goes back to sRGB: dark channels move in coarse steps (sRGB 0, 13, 22,
// ...) and a stop of sRGB 20 comes back as 13.
int mixLinear(int a, int b, double t) {
    const auto& light = linearLight();
    const double from = light.toLinear[static_cast<std::size_t>(a)], to = light.toLinear[static_cast<std::size_t>(b)];
    // The hair above the level keeps values that are whole levels from rounding down a level.
    const double level = std::floor((from + (to - from) * t) * 255 + 1e-9);
    return light.toSrgb[static_cast<std::size_t>(std::clamp(level, 0.0, 255.0))];
}

// Linear-light gradients that are not opaque darken: the colour is weighted by alpha^1.5625 where
// plain blending weighs it by alpha (measured, within one step, over the whole alpha range). The
// table is straight ARGB, so the colour carries the extra alpha^0.5625.
QRgb linearLightColor(int r, int g, int b, int a) {
    if (a < 255) {
        const double k = std::pow(a / 255.0, 0.5625);
        r = static_cast<int>(std::lround(r * k));
        g = static_cast<int>(std::lround(g * k));
        b = static_cast<int>(std::lround(b * k));
    }
    return qRgba(r, g, b, a);
}

QRgb blend(swf::Rgba a, swf::Rgba b, double t, bool linear) {
    if (linear)
        return linearLightColor(mixLinear(a.r, b.r, t), mixLinear(a.g, b.g, t), mixLinear(a.b, b.b, t), mix(a.a, b.a, t));
    return qRgba(mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t), mix(a.a, b.a, t));
}

QRgb plain(swf::Rgba c, bool linear) {
    if (linear) return linearLightColor(mixLinear(c.r, c.r, 0), mixLinear(c.g, c.g, 0), mixLinear(c.b, c.b, 0), c.a);
    return qRgba(c.r, c.g, c.b, c.a);
}

}  // namespace

GradientTable buildGradientTable(const swf::Gradient& gradient, const swf::ColorTransform& cx, GradientSampling sampling) {
    GradientTable table;
    const auto& records = gradient.records;
    if (records.empty()) {
        table.fill(0);
        return table;
    }
    std::vector<swf::Rgba> colors;
    colors.reserve(records.size());
    for (const swf::GradientRecord& r : records) colors.push_back(cx.apply(r.color));
    const bool linear = gradient.interpolation == 1;
    // The table fills from the start: the first colour, then each record the entries from where
    // the previous one stopped up to its own ratio, blending from the previous record. A record
    // whose ratio repeats or goes back still takes one entry, so runs of equal ratios show as
    // one-entry stripes and the table never runs backwards. The first colour's run ends where the
    // first segment does, so a second record whose ratio lies below the first cuts that run short.
    // How the runs meet depends on the sampling:
    // - stepped: the first colour's run includes its ratio, and a repeated or backward record's
    //   entry shows the colour before it;
    // - blended: the first colour's run stops just short of its ratio (the first segment's entry
    //   takes that ratio), a repeated record's entry shows the colour before it and a backward
    //   record's entry, after the first segment, its own colour.
    const bool stepped = sampling == GradientSampling::Stepped;
    const int firstEnd = records.size() > 1 ? std::min(records[0].ratio, records[1].ratio) : records[0].ratio;
    int next = std::min<int>(firstEnd + (stepped ? 1 : 0), 256);
    for (int e = 0; e < next; ++e) table[static_cast<std::size_t>(e)] = plain(colors.front(), linear);
    for (std::size_t i = 1; i < records.size() && next < 256; ++i) {
        const int from = records[i - 1].ratio, to = records[i].ratio;
        const int end = std::min(256, std::max(to + 1, next + 1));
        const bool ownColour = !stepped && to < from && i >= 2;
        for (int e = next; e < end; ++e) {
            QRgb color = plain(colors[ownColour ? i : i - 1], linear);
            if (to > from) color = blend(colors[i - 1], colors[i], std::min(1.0, double(e - from) / (to - from)), linear);
            table[static_cast<std::size_t>(e)] = color;
        }
        next = end;
    }
    for (int e = next; e < 256; ++e) table[static_cast<std::size_t>(e)] = plain(colors.back(), linear);
    return table;
}

}  // namespace vistrel::player
