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

// One pass of a box `width` pixels wide, centred on each pixel centre: the pixels it covers
// whole count fully, the two it covers in part count by the part covered. A blur of 2 thus
// spreads a line as 1/4, 1/2, 1/4, and odd whole widths are plain boxes.
struct Box {
    explicit Box(double width) : reach(blurReach(width)), inner(reach - 1)
    {
        if (reach == 0)
            return;
        // Weights in 1/2^23 steps: integer sums times these stay below 2^32 because all the
        // weights of a window add up to one, and the loops below vectorise well on integers.
        const double edge = (width - (2 * inner + 1)) / 2;
        m_full = std::uint32_t(std::lround(kOne / width));
        m_edge = std::uint32_t(std::lround(kOne * edge / width));
    }
    // The window's fully covered sum and the sum of its two partly covered pixels, to 8 bits.
    std::uint8_t operator()(std::uint32_t full, std::uint32_t edges) const
    {
        return std::uint8_t(std::min<std::uint32_t>(255, (full * m_full + edges * m_edge + (1u << (kShift - 1))) >> kShift));
    }
    int reach; // farthest neighbour touched
    int inner; // farthest neighbour covered whole

private:
    static constexpr int kShift = 23;
    static constexpr double kOne = double(1u << kShift);
    std::uint32_t m_full = 0, m_edge = 0;
};

// One horizontal pass over every row, zeros outside.
template <int C>
void blurRows(std::uint8_t* data, int width, int height, const Box& box)
{
    const int r = box.inner;
    const std::size_t rowBytes = std::size_t(width) * C;
    // The row with `reach` zeros on both sides, so the window never needs a bounds test.
    const std::size_t pad = std::size_t(box.reach) * C;
    std::vector<std::uint8_t> row(rowBytes + 2 * pad, 0);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = data + std::size_t(y) * rowBytes;
        std::copy(line, line + rowBytes, row.begin() + std::ptrdiff_t(pad));
        const std::uint8_t* in = row.data() + pad; // in[x * C] is pixel x, valid for -reach..width+reach-1
        std::uint32_t sum[C] = {};
        for (int x = -r; x < r; ++x)
            for (int c = 0; c < C; ++c)
                sum[c] += in[std::ptrdiff_t(x) * C + c];
        for (int x = 0; x < width; ++x) {
            const std::ptrdiff_t add = std::ptrdiff_t(x + r) * C;
            const std::ptrdiff_t before = std::ptrdiff_t(x - r - 1) * C;
            const std::ptrdiff_t after = std::ptrdiff_t(x + r + 1) * C;
            for (int c = 0; c < C; ++c) {
                sum[c] += in[add + c];
                line[std::size_t(x) * C + c] = box(sum[c], std::uint32_t(in[before + c]) + in[after + c]);
                sum[c] -= in[std::ptrdiff_t(x - r) * C + c];
            }
        }
    }
}

// One vertical pass, keeping one running sum per column so rows are read in order.
void blurColumns(std::uint8_t* data, std::vector<std::uint8_t>& source, int width, int height, int channels,
                 const Box& box)
{
    const int r = box.inner;
    const std::size_t rowBytes = std::size_t(width) * channels;
    source.assign(data, data + rowBytes * std::size_t(height));
    const std::vector<std::uint8_t> zeros(rowBytes, 0);
    const auto rowAt = [&](int y) {
        return y >= 0 && y < height ? source.data() + std::size_t(y) * rowBytes : zeros.data();
    };
    std::vector<std::uint32_t> sums(rowBytes, 0);
    for (int y = -r; y < r; ++y) {
        const std::uint8_t* line = rowAt(y);
        for (std::size_t i = 0; i < rowBytes; ++i)
            sums[i] += line[i];
    }
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* add = rowAt(y + r);
        const std::uint8_t* drop = rowAt(y - r);
        const std::uint8_t* before = rowAt(y - r - 1);
        const std::uint8_t* after = rowAt(y + r + 1);
        std::uint8_t* out = data + std::size_t(y) * rowBytes;
        std::uint32_t* sum = sums.data();
        for (std::size_t i = 0; i < rowBytes; ++i) {
            sum[i] += add[i];
            out[i] = box(sum[i], std::uint32_t(before[i]) + after[i]);
            sum[i] -= drop[i];
        }
    }
}

} // namespace

namespace {
thread_local const std::function<bool()>* t_stop = nullptr;
thread_local bool t_stopped = false;
} // namespace

StopScope::StopScope(const std::function<bool()>& stop) : m_outer(t_stop), m_outerStopped(t_stopped)
{
    t_stop = stop ? &stop : nullptr;
    t_stopped = false;
}

StopScope::~StopScope()
{
    // Outside every scope nothing stops; an outer scope finds out from its own `stop` when it asks.
    t_stop = m_outer;
    t_stopped = m_outerStopped;
}

bool stopRequested()
{
    if (!t_stopped && t_stop && (*t_stop)())
        t_stopped = true;
    return t_stopped;
}

bool stopSeen()
{
    return t_stopped;
}

double blurWidth(double amount, double scale)
{
    return std::clamp(finiteOr0(amount), 0.0, kMaxBlur) * std::min(std::fabs(finiteOr0(scale)), 64.0);
}

int blurReach(double width)
{
    // A box no wider than a pixel leaves the image as it is.
    if (!(width > 1.0))
        return 0;
    return int(std::ceil(width / 2 - 0.5));
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

void boxBlur(std::uint8_t* data, int width, int height, int channels, double widthX, double widthY, int passes)
{
    if (width <= 0 || height <= 0)
        return;
    // A window wider than twice the image gains nothing more; capping keeps sums small.
    widthX = std::min(finiteOr0(widthX), 2.0 * width + 1);
    widthY = std::min(finiteOr0(widthY), 2.0 * height + 1);
    const Box boxX(widthX);
    const Box boxY(widthY);
    std::vector<std::uint8_t> scratch;
    for (int pass = 0; pass < passes; ++pass) {
        if (stopRequested())
            return;
        if (boxX.reach > 0) {
            if (channels == 4)
                blurRows<4>(data, width, height, boxX);
            else
                blurRows<1>(data, width, height, boxX);
        }
        if (boxY.reach > 0)
            blurColumns(data, scratch, width, height, channels, boxY);
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
    const double wx = blurWidth(filter.blurX, scaleX);
    const double wy = blurWidth(filter.blurY, scaleY);
    const int passes = clampPasses(filter.passes);
    if ((blurReach(wx) == 0 && blurReach(wy) == 0) || passes == 0)
        return;
    // Premultiplied pixels blur channel by channel without colour fringes at the edges.
    if (layer.bytesPerLine() == qsizetype(layer.width()) * 4) {
        boxBlur(layer.bits(), layer.width(), layer.height(), 4, wx, wy, passes);
        return;
    }
    std::vector<std::uint8_t> packed(std::size_t(layer.width()) * layer.height() * 4);
    const std::size_t rowBytes = std::size_t(layer.width()) * 4;
    for (int y = 0; y < layer.height(); ++y)
        std::copy_n(layer.constScanLine(y), rowBytes, packed.data() + y * rowBytes);
    boxBlur(packed.data(), layer.width(), layer.height(), 4, wx, wy, passes);
    for (int y = 0; y < layer.height(); ++y)
        std::copy_n(packed.data() + y * rowBytes, rowBytes, layer.scanLine(y));
}

} // namespace vistrel::player::filter_detail
