// The whole engine on any bytes: parse the movie, then draw the first frames into a small image.
// Whatever the bytes, this must end promptly without a fault and within bounded memory.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>

#include <QGuiApplication>
#include <QImage>

#include "fuzz/fuzz_support.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"

namespace {

constexpr int kViewSize = 64;
constexpr int kFramesDrawn = 3;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    vistrel::fuzz::useOffscreenPlatform();
    // Text rendering needs the font database, which needs an application.
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vistrel::player;
    const std::shared_ptr<Movie> movie = Movie::fromBytes(std::span<const std::uint8_t>(data, size));
    if (!movie->isValid())
        return 0;

    Player player(movie);
    QImage image(kViewSize, kViewSize, QImage::Format_ARGB32_Premultiplied);
    QPainterRenderer renderer(image);
    const QTransform view = stageToDevice(movie->stageRect(), QSizeF(kViewSize, kViewSize), ScaleMode::ShowAll, 1.0);
    for (int frame = 0; frame < kFramesDrawn; ++frame) {
        player.render(renderer, view, frame == 0 ? RenderQuality::Best : RenderQuality::Low);
        player.nextFrame();
    }
    // A backward step rebuilds the display list from the start.
    player.gotoFrame(2);
    player.render(renderer, view, RenderQuality::High);
    return 0;
}
