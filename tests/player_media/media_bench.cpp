// Prints how much processor time the filters and blend modes take on a full-HD layer. Not a test: run it by
// hand (ideally from a Release build) to watch for slowdowns.
#include <ctime>
#include <cstdio>
#include <functional>

#include <QImage>
#include <QPainter>

#include "player/render/blend.h"
#include "player/render/filters.h"

using namespace vistrel::player;

namespace {

QImage sampleLayer()
{
    QImage image(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(200, 80, 40, 220));
    painter.drawEllipse(200, 150, 1500, 800);
    return image;
}

void measure(const char* name, const std::function<void(QImage&)>& work)
{
    constexpr int kRuns = 5;
    const QImage source = sampleLayer();
    double best = 1e9;
    for (int i = 0; i < kRuns; ++i) {
        QImage layer = source.copy();
        // Processor time rather than wall time: the figures stay comparable on a busy machine.
        const std::clock_t start = std::clock();
        work(layer);
        best = std::min(best, 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC);
    }
    std::printf("%-28s %8.1f ms\n", name, best);
}

} // namespace

int main()
{
    measure("blur 8x8, 1 pass", [](QImage& l) { applyFilters(l, {BlurFilter{8, 8, 1}}, 1, 1); });
    measure("blur 16x16, 3 passes", [](QImage& l) { applyFilters(l, {BlurFilter{16, 16, 3}}, 1, 1); });
    measure("drop shadow, 2 passes", [](QImage& l) {
        DropShadowFilter f;
        f.passes = 2;
        applyFilters(l, {f}, 1, 1);
    });
    measure("glow, 3 passes", [](QImage& l) {
        GlowFilter f;
        f.passes = 3;
        applyFilters(l, {f}, 1, 1);
    });
    measure("bevel", [](QImage& l) { applyFilters(l, {BevelFilter{}}, 1, 1); });
    measure("colour matrix", [](QImage& l) { applyFilters(l, {ColorMatrixFilter{}}, 1, 1); });
    measure("convolution 3x3", [](QImage& l) {
        ConvolutionFilter f;
        f.matrixX = f.matrixY = 3;
        f.matrix.assign(9, 1.0f);
        f.divisor = 9;
        applyFilters(l, {f}, 1, 1);
    });
    const QImage layer = sampleLayer();
    measure("blend multiply", [&](QImage& t) { blendLayer(t, layer, {}, BlendMode::Multiply); });
    measure("blend subtract", [&](QImage& t) { blendLayer(t, layer, {}, BlendMode::Subtract); });
    return 0;
}
