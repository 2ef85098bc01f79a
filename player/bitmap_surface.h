// The pixels of a script-made bitmap (BitmapData), shared between its script object and the display
// objects it is attached to, so that a change shows at the next frame.
#pragma once

#include <cstdint>
#include <vector>

#include <QImage>

#include "player/shape_paths.h"

namespace vistrel::player {

struct BitmapSurface {
    int width = 0;
    int height = 0;
    bool transparent = true;
    bool disposed = false;
    // Premultiplied 0xAARRGGBB, rows top to bottom; an opaque bitmap keeps alpha 0xFF everywhere.
    std::vector<std::uint32_t> pixels;
    std::uint64_t version = 0;   // bumped on every change, so drawings know to rebuild

    bool valid() const { return !disposed && width > 0 && height > 0; }
    bool contains(long long x, long long y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    std::uint32_t& at(long long x, long long y) { return pixels[static_cast<std::size_t>(y * width + x)]; }
    std::uint32_t at(long long x, long long y) const { return pixels[static_cast<std::size_t>(y * width + x)]; }
    void changed() { ++version; }

    // The shape that draws the bitmap at 20 twips a pixel, rebuilt after changes.
    const ShapePaths& paths(bool smoothing) const;

private:
    mutable ShapePaths m_paths;
    mutable std::uint64_t m_pathsVersion = ~std::uint64_t{0};
    mutable bool m_pathsSmooth = false;
};

}  // namespace vistrel::player
