#include "player/bitmap/perlin_noise.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

namespace vistrel::player {

namespace {

constexpr int kLattice = 256;                  // lattice cells before the pattern repeats
constexpr int kMask = kLattice - 1;
constexpr int kTableSize = kLattice * 2 + 2;   // the tables repeat once, so sums of two indices stay inside
constexpr double kShift = 4096;                // keeps coordinates positive before they are cut to cells
constexpr std::int64_t kModulus = 2147483647;

// Gradients for four independent noises (one per channel asked for) and the lattice permutation.
struct Tables {
    std::array<int, kTableSize> lattice{};
    std::array<std::array<std::array<double, 2>, kTableSize>, 4> gradient{};
};

// Seeds of 0 and below count up from 1 (0 is 1, -1 is 2); larger ones stop below the modulus.
std::int64_t firstState(std::int32_t seed) {
    std::int64_t s = seed;
    if (s <= 0) s = -(s % (kModulus - 1)) + 1;
    return std::min(s, kModulus - 1);
}

Tables makeTables(std::int32_t seed) {
    Tables t;
    std::int64_t state = firstState(seed);
    for (auto& gradients : t.gradient) {
        for (int i = 0; i < kLattice; ++i) {
            t.lattice[static_cast<std::size_t>(i)] = i;
            auto& g = gradients[static_cast<std::size_t>(i)];
            for (double& v : g) {
                state = parkMillerNext(state);
                v = static_cast<double>(state % (2 * kLattice) - kLattice) / kLattice;
            }
            const double length = std::hypot(g[0], g[1]);
            if (length > 0) {
                g[0] /= length;
                g[1] /= length;
            }
        }
    }
    for (int i = kLattice - 1; i > 0; --i) {
        state = parkMillerNext(state);
        std::swap(t.lattice[static_cast<std::size_t>(i)], t.lattice[static_cast<std::size_t>(state % kLattice)]);
    }
    for (int i = 0; i < kLattice + 2; ++i) {
        const auto from = static_cast<std::size_t>(i), to = static_cast<std::size_t>(kLattice + i);
        t.lattice[to] = t.lattice[from];
        for (auto& gradients : t.gradient) gradients[to] = gradients[from];
    }
    return t;
}

// Where the lattice wraps when the noise tiles: cells at or past `wrap` step back by `size`.
struct Stitch {
    std::int64_t width = 0, height = 0, wrapX = 0, wrapY = 0;
};

// A double cut to a whole number toward zero, saturating at 32 bits, NaN as 0.
std::int64_t cell(double v) {
    if (std::isnan(v)) return 0;
    return static_cast<std::int64_t>(std::clamp(std::trunc(v), -2147483648.0, 2147483647.0));
}

double sCurve(double t) { return t * t * (3 - 2 * t); }
double lerp(double t, double a, double b) { return a + t * (b - a); }

double noise(const Tables& t, int channel, double vx, double vy, const Stitch* stitch) {
    const double x = vx + kShift, y = vy + kShift;
    const std::int64_t cx = cell(x), cy = cell(y);
    std::int64_t bx0 = cx, by0 = cy, bx1 = cx + 1, by1 = cy + 1;
    const double rx0 = x - static_cast<double>(cx), rx1 = rx0 - 1, ry0 = y - static_cast<double>(cy), ry1 = ry0 - 1;
    if (stitch) {
        if (bx0 >= stitch->wrapX) bx0 -= stitch->width;
        if (bx1 >= stitch->wrapX) bx1 -= stitch->width;
        if (by0 >= stitch->wrapY) by0 -= stitch->height;
        if (by1 >= stitch->wrapY) by1 -= stitch->height;
    }
    const auto at = [&t](std::int64_t i) { return t.lattice[static_cast<std::size_t>(i)]; };
    const int i = at(bx0 & kMask), j = at(bx1 & kMask);
    const auto& g = t.gradient[static_cast<std::size_t>(channel)];
    const auto dot = [&g](int index, double rx, double ry) {
        const auto& q = g[static_cast<std::size_t>(index)];
        return rx * q[0] + ry * q[1];
    };
    const double sx = sCurve(rx0), sy = sCurve(ry0);
    const double a = lerp(sx, dot(at(i + (by0 & kMask)), rx0, ry0), dot(at(j + (by0 & kMask)), rx1, ry0));
    const double b = lerp(sx, dot(at(i + (by1 & kMask)), rx0, ry1), dot(at(j + (by1 & kMask)), rx1, ry1));
    return lerp(sy, a, b);
}

// Tiling wants a whole number of cells across the bitmap: the nearer (by ratio) of the two neighbours.
double fitFrequency(double frequency, int size) {
    if (frequency == 0) return 0;
    const double low = std::floor(size * frequency) / size, high = std::ceil(size * frequency) / size;
    const double lowRatio = low != 0 ? frequency / low
                                     : (frequency > 0 ? std::numeric_limits<double>::infinity()
                                                      : -std::numeric_limits<double>::infinity());
    return lowRatio < high / frequency ? low : high;
}

}  // namespace

std::int64_t parkMillerNext(std::int64_t state) {
    // Schrage's method: the product never leaves 32 bits of magnitude.
    constexpr std::int64_t a = 16807, q = kModulus / a, r = kModulus % a;
    std::int64_t next = a * (state % q) - r * (state / q);
    if (next <= 0) next += kModulus;
    return next;
}

void perlinNoise(const PerlinNoiseSpec& spec, int width, int height, bool transparent, std::uint32_t* pixels) {
    if (width <= 0 || height <= 0 || !pixels) return;
    const Tables tables = makeTables(spec.seed);
    double fx = spec.baseX != 0 ? 1.0 / spec.baseX : 0, fy = spec.baseY != 0 ? 1.0 / spec.baseY : 0;
    Stitch first;
    if (spec.stitch) {
        fx = fitFrequency(fx, width);
        fy = fitFrequency(fy, height);
        first.width = cell(width * fx + 0.5);
        first.height = cell(height * fy + 0.5);
        first.wrapX = cell(kShift + first.width);
        first.wrapY = cell(kShift + first.height);
    }
    // Each noise asked for takes the next of the four gradient sets: grey first, then alpha.
    struct Plan {
        std::uint32_t mask;   // the channels (as 0xAARRGGBB bits) this noise fills
        int gradients;
    };
    std::vector<Plan> plans;
    const bool alpha = transparent && (spec.channels & 8);
    if (spec.grayscale) {
        plans.push_back({0x00FFFFFFu, 0});
        if (alpha) plans.push_back({0xFF000000u, 1});
    } else {
        int next = 0;
        const std::array<std::uint32_t, 4> masks{0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
        for (unsigned bit = 0; bit < 4; ++bit)
            if (spec.channels & (1u << bit)) {
                if (bit < 3 || alpha) plans.push_back({masks[bit], next});
                ++next;
            }
    }
    const int octaves = std::clamp(spec.octaves, 0, kPerlinMaxOctaves);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t argb = alpha ? 0 : 0xFF000000u;
            for (const Plan& plan : plans) {
                double sum = 0, scale = 1;
                Stitch stitch = first;
                for (int octave = 0; octave < octaves; ++octave) {
                    const QPointF offset = static_cast<std::size_t>(octave) < spec.offsets.size()
                                               ? spec.offsets[static_cast<std::size_t>(octave)]
                                               : QPointF();
                    const double n = noise(tables, plan.gradients, (x + offset.x()) * fx * scale,
                                           (y + offset.y()) * fy * scale, spec.stitch ? &stitch : nullptr);
                    sum += (spec.fractal ? n : std::abs(n)) / scale;
                    scale *= 2;
                    stitch.width *= 2;
                    stitch.height *= 2;
                    stitch.wrapX = 2 * stitch.wrapX - static_cast<std::int64_t>(kShift);
                    stitch.wrapY = 2 * stitch.wrapY - static_cast<std::int64_t>(kShift);
                }
                // Rounded to whole levels first; fractal noise then centres them on mid grey.
                const double scaled = std::isfinite(sum) ? std::clamp(sum * 255 + 0.5, -1.0e6, 1.0e6) : 0.5;
                const auto level = static_cast<long long>(std::floor(scaled));
                const long long value = std::clamp(spec.fractal ? (level + 255) / 2 : level, 0LL, 255LL);
                argb |= static_cast<std::uint32_t>(value) * 0x01010101u & plan.mask;
            }
            // Premultiplied storage: a colour above its alpha shows as much as the alpha lets through.
            const std::uint32_t a = argb >> 24;
            if (a < 255) {
                std::uint32_t capped = argb & 0xFF000000u;
                for (int shift = 0; shift < 24; shift += 8) capped |= std::min((argb >> shift) & 0xFFu, a) << shift;
                argb = capped;
            }
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = argb;
        }
    }
}

}  // namespace vistrel::player
