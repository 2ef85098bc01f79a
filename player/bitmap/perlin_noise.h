// Gradient noise for BitmapData.perlinNoise: lattice gradients drawn from a seeded generator, summed
// over octaves of doubling frequency, optionally tiling seamlessly across the bitmap's edges.
#pragma once

#include <cstdint>
#include <vector>

#include <QPointF>

namespace vistrel::player {

// The minimal standard generator (16807 * state mod 2^31 - 1); a state in 1 .. 2^31 - 2 stays there.
std::int64_t parkMillerNext(std::int64_t state);

// Past this many octaves a further one changes no pixel: its weight is below 2^-32.
inline constexpr int kPerlinMaxOctaves = 32;

struct PerlinNoiseSpec {
    int baseX = 0, baseY = 0;        // pixels per noise cell; 0 keeps that axis constant
    int octaves = 0;
    std::int32_t seed = 0;
    bool stitch = false;             // tile seamlessly: frequencies fit the bitmap, lattice wraps
    bool fractal = true;             // signed sum around mid grey; otherwise turbulence (absolute values)
    unsigned channels = 7;           // 1 red, 2 green, 4 blue, 8 alpha
    bool grayscale = false;          // one noise in red, green and blue
    std::vector<QPointF> offsets;    // per octave, in pixels; missing ones are 0
};

// Overwrites `pixels` (premultiplied 0xAARRGGBB, width * height, rows top to bottom). Alpha comes from
// the noise only for a transparent bitmap asked for it; colours are stored as drawn, capped by alpha.
void perlinNoise(const PerlinNoiseSpec& spec, int width, int height, bool transparent, std::uint32_t* pixels);

}  // namespace vistrel::player
