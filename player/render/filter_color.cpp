// Filters that recompute each pixel from its own colour or its neighbours': colour matrix and
// convolution. Both work on straight (unpremultiplied) colour, as their coefficients expect.
#include "player/render/filter_ops.h"

#include <algorithm>
#include <cmath>

namespace vistrel::player::filter_detail {
namespace {

inline int clampChannel(float v)
{
    if (!(v > 0.0f)) // also catches NaN
        return 0;
    return v >= 255.0f ? 255 : int(v + 0.5f);
}

} // namespace

void applyColorMatrix(QImage& layer, const ColorMatrixFilter& filter)
{
    const float* m = filter.matrix;
    const auto transform = [m](QRgb premultiplied) {
        const QRgb c = qUnpremultiply(premultiplied);
        const float in[4] = {float(qRed(c)), float(qGreen(c)), float(qBlue(c)), float(qAlpha(c))};
        int out[4];
        for (int row = 0; row < 4; ++row) {
            const float* k = m + row * 5;
            out[row] = clampChannel(k[0] * in[0] + k[1] * in[1] + k[2] * in[2] + k[3] * in[3] + k[4]);
        }
        return qPremultiply(qRgba(out[0], out[1], out[2], out[3]));
    };
    // Layers are mostly runs of one colour (empty space, flat fills): remember the last answer.
    QRgb lastIn = 0;
    QRgb lastOut = transform(0);
    for (int y = 0; y < layer.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            if (line[x] != lastIn) {
                lastIn = line[x];
                lastOut = transform(lastIn);
            }
            line[x] = lastOut;
        }
    }
}

void applyConvolution(QImage& layer, const ConvolutionFilter& filter)
{
    const int mx = filter.matrixX;
    const int my = filter.matrixY;
    // Larger kernels are not honoured: the cost per pixel would be unbounded.
    if (mx <= 0 || my <= 0 || mx > kMaxConvolutionSide || my > kMaxConvolutionSide ||
        filter.matrix.size() < std::size_t(mx) * std::size_t(my))
        return;
    // A zero divisor would blow every pixel up to infinity; it acts as 1 instead.
    const float divisor = (filter.divisor == 0.0f || !std::isfinite(filter.divisor)) ? 1.0f : filter.divisor;
    const float bias = std::isfinite(filter.bias) ? filter.bias : 0.0f;
    const int width = layer.width();
    const int height = layer.height();
    const int cx = mx / 2;
    const int cy = my / 2;

    // Straight colour as floats with a border around it, filled as the edge mode says, so the
    // kernel loop needs no bounds checks or conversions.
    struct Pixel {
        float r, g, b, a;
    };
    const auto toPixel = [](QRgb c) { return Pixel{float(qRed(c)), float(qGreen(c)), float(qBlue(c)), float(qAlpha(c))}; };
    const int paddedWidth = width + mx - 1;
    const int paddedHeight = height + my - 1;
    std::vector<Pixel> padded(std::size_t(paddedWidth) * paddedHeight, toPixel(filter.defaultColor));
    for (int py = 0; py < paddedHeight; ++py) {
        const int sy = py - cy;
        if (!filter.clamp && (sy < 0 || sy >= height))
            continue;
        const auto* line = reinterpret_cast<const QRgb*>(layer.constScanLine(std::clamp(sy, 0, height - 1)));
        Pixel* out = padded.data() + std::size_t(py) * paddedWidth;
        for (int px = 0; px < paddedWidth; ++px) {
            const int sx = px - cx;
            if (!filter.clamp && (sx < 0 || sx >= width))
                continue;
            out[px] = toPixel(qUnpremultiply(line[std::clamp(sx, 0, width - 1)]));
        }
    }

    const float* k = filter.matrix.data();
    const float scale = 1.0f / divisor;
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < width; ++x) {
            // With alpha kept, an empty pixel stays empty whatever its neighbours are.
            if (filter.preserveAlpha && qAlpha(line[x]) == 0)
                continue;
            Pixel sum{0, 0, 0, 0};
            for (int j = 0; j < my; ++j) {
                const Pixel* row = padded.data() + std::size_t(y + j) * paddedWidth + x;
                const float* weights = k + std::size_t(j) * mx;
                for (int i = 0; i < mx; ++i) {
                    const float w = weights[i];
                    sum.r += w * row[i].r;
                    sum.g += w * row[i].g;
                    sum.b += w * row[i].b;
                    sum.a += w * row[i].a;
                }
            }
            const int alpha = filter.preserveAlpha ? qAlpha(line[x]) : clampChannel(sum.a * scale + bias);
            line[x] = qPremultiply(qRgba(clampChannel(sum.r * scale + bias), clampChannel(sum.g * scale + bias),
                                         clampChannel(sum.b * scale + bias), alpha));
        }
    }
}

} // namespace vistrel::player::filter_detail
