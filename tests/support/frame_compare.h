// Drawing a movie's frame whole on this thread and finding where two pictures differ: the yardstick
// for the drawer's partial, banded and self-sampled paths, which must match it pixel for pixel.
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"

namespace vistrel::testing {

// The whole movie shown in `size` at `quality`, the way the pane shows it by default.
inline player::FrameView viewOf(const player::Movie& movie, QSize size, player::RenderQuality quality) {
    return {size, player::stageToDevice(movie.stageRect(), QSizeF(size), player::ScaleMode::ShowAll, 1.0), quality,
            std::nullopt};
}

// The frame drawn whole by one renderer on this thread.
inline QImage fullDraw(const player::Player& player, const player::FrameView& view) {
    QImage image(view.size, QImage::Format_ARGB32_Premultiplied);
    player::QPainterRenderer renderer(image);
    player.render(renderer, view.stageToDevice, view.quality, view.background);
    return image;
}

// The first pixel where two pictures differ, for a failure message; empty when they are equal.
inline QString firstDifference(const QImage& a, const QImage& b) {
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return QStringLiteral("(%1,%2): %3 vs %4").arg(x).arg(y).arg(a.pixel(x, y), 8, 16).arg(b.pixel(x, y), 8, 16);
    return {};
}

}  // namespace vistrel::testing
