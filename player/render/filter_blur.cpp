// Separable running-sum box blur and the small geometry helpers of the filters.
#include "player/render/filter_ops.h"

#include <algorithm>
#include <cmath>

namespace vistrel::player::filter_detail {
namespace {

double finiteOr0(double v)
{
    return std::isfinite(v) ? v : 0.0;
}

// Division by the window width through one multiplication: sum / window, rounded. Sums stay
// below 2^24, so the float is exact and the loops can be vectorised.
struct Divider {
    explicit Divider(int window) : m_inverse(1.0f / float(window)) {}
    std::uint8_t operator()(int sum) const { return std::uint8_t(std::min(255.0f, float(sum) * m_inverse + 0.5f)); }
    float m_inverse;
};

// One horizontal pass over every row: out[x] = mean of in[x-r .. x+r], zeros outside.
template <int C>
void blurRows(std::uint8_t* data, int width, int height, int r)
{
    const Divider divide(2 * r + 1);
    const std::size_t rowBytes = std::size_t(width) * C;
    std::vector<std::uint8_t> row(rowBytes);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = data + std::size_t(y) * rowBytes;
        std::copy(line, line + rowBytes, row.begin());
        int sum[C] = {};
        for (int x = 0; x < std::min(r, width); ++x)
            for (int c = 0; c < C; ++c)
                sum[c] += row[std::size_t(x) * C + c];
        for (int x = 0; x < width; ++x) {
            const int add = x + r;
            const int drop = x - r - 1;
            if (add < width)
                for (int c = 0; c < C; ++c)
                    sum[c] += row[std::size_t(add) * C + c];
            if (drop >= 0)
                for (int c = 0; c < C; ++c)
                    sum[c] -= row[std::size_t(drop) * C + c];
            for (int c = 0; c < C; ++c)
                line[std::size_t(x) * C + c] = divide(sum[c]);
        }
    }
}

// One vertical pass, keeping one running sum per column so rows are read in order.
void blurColumns(std::uint8_t* data, std::vector<std::uint8_t>& source, int width, int height, int channels, int r)
{
    const Divider divide(2 * r + 1);
    const std::size_t rowBytes = std::size_t(width) * channels;
    source.assign(data, data + rowBytes * std::size_t(height));
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    std::vector<int> sums(rowBytes, 0);
    for (int y = 0; y < std::min(r, height); ++y) {
        const std::uint8_t* line = source.data() + std::size_t(y) * rowBytes;
        for (std::size_t i = 0; i < rowBytes; ++i)
            sums[i] += line[i];
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* add = y + r < height ? source.data() + std::size_t(y + r) * rowBytes : zeros.data();
        const std::uint8_t* drop = y - r - 1 >= 0 ? source.data() + std::size_t(y - r - 1) * rowBytes : zeros.data();
        std::uint8_t* out = data + std::size_t(y) * rowBytes;
        int* sum = sums.data();
        for (std::size_t i = 0; i < rowBytes; ++i) {
            sum[i] += int(add[i]) - int(drop[i]);
            out[i] = divide(sum[i]);
        }
    }
}

} // namespace

int blurRadius(double amount, double scale)
{
    const double pixels = std::clamp(finiteOr0(amount), 0.0, kMaxBlur) * std::min(std::fabs(finiteOr0(scale)), 64.0);
    return int(std::floor(pixels / 2));
}

int clampPasses(int passes)
{
    return std::clamp(passes, 0, kMaxPasses);
}

QPoint filterOffset(double angle, double distance, double scaleX, double scaleY)
{
    const double a = finiteOr0(angle);
    const double d = finiteOr0(distance);
    const double dx = std::clamp(std::cos(a) * d * finiteOr0(scaleX), -kMaxOffsetPixels, kMaxOffsetPixels);
    const double dy = std::clamp(std::sin(a) * d * finiteOr0(scaleY), -kMaxOffsetPixels, kMaxOffsetPixels);
    return {int(std::lround(dx)), int(std::lround(dy))};
}

void boxBlur(std::uint8_t* data, int width, int height, int channels, int rx, int ry, int passes)
{
    if (width <= 0 || height <= 0)
        return;
    // A window wider than twice the image gains nothing more; capping keeps sums small.
    rx = std::min(rx, width);
    ry = std::min(ry, height);
    std::vector<std::uint8_t> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        if (rx > 0) {
            if (channels == 4)
                blurRows<4>(data, width, height, rx);
            else
                blurRows<1>(data, width, height, rx);
        }
        if (ry > 0)
            blurColumns(data, scratch, width, height, channels, ry);
    }
}

AlphaPlane alphaOf(const QImage& image)
{
    AlphaPlane plane;
    plane.width = image.width();
    plane.height = image.height();
    plane.values.resize(std::size_t(plane.width) * plane.height);
    for (int y = 0; y < plane.height; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* out = plane.values.data() + std::size_t(y) * plane.width;
        for (int x = 0; x < plane.width; ++x)
            out[x] = std::uint8_t(qAlpha(line[x]));
    }
    return plane;
}

void applyBlur(QImage& layer, const BlurFilter& filter, double scaleX, double scaleY)
{
    const int rx = blurRadius(filter.blurX, scaleX);
    const int ry = blurRadius(filter.blurY, scaleY);
    const int passes = clampPasses(filter.passes);
    if ((rx == 0 && ry == 0) || passes == 0)
        return;
    // Premultiplied pixels blur channel by channel without colour fringes at the edges.
    if (layer.bytesPerLine() == qsizetype(layer.width()) * 4) {
        boxBlur(layer.bits(), layer.width(), layer.height(), 4, rx, ry, passes);
        return;
    }
    std::vector<std::uint8_t> packed(std::size_t(layer.width()) * layer.height() * 4);
    const std::size_t rowBytes = std::size_t(layer.width()) * 4;
    for (int y = 0; y < layer.height(); ++y)
        std::copy_n(layer.constScanLine(y), rowBytes, packed.data() + y * rowBytes);
    boxBlur(packed.data(), layer.width(), layer.height(), 4, rx, ry, passes);
    for (int y = 0; y < layer.height(); ++y)
        std::copy_n(packed.data() + y * rowBytes, rowBytes, layer.scanLine(y));
}

} // namespace vistrel::player::filter_detail
