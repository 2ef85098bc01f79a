// Drawing a movie's frame whole on this thread and finding where two pictures differ: the yardstick
// for the drawer's partial, banded and self-sampled paths, which must match it pixel for pixel.
#pragma once

#include <functional>

#include <gtest/gtest.h>

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

// True when the drawer's last update repainted part of the picture, not all of it.
inline bool repaintedInPart(const player::FrameDrawer& drawer) {
    return !drawer.repainted().isEmpty() && drawer.repainted().boundingRect() != drawer.image().rect();
}

// Plays `frames` frames (the first as it stands) through `drawer`, kept from frame to frame, and
// checks each against a whole draw; `eachFrame` then sees the drawer. False at the first difference,
// reported with the frame and the first differing pixel.
inline bool everyFrameEqualsAFullDraw(player::Player& player, player::FrameDrawer& drawer,
                                      const player::FrameView& view, int frames,
                                      const std::function<void(const player::FrameDrawer&)>& eachFrame = {}) {
    for (int frame = 0; frame < frames; ++frame) {
        if (frame > 0) player.nextFrame();
        drawer.update(player, view);
        const QImage full = fullDraw(player, view);
        if (drawer.image() != full) {
            ADD_FAILURE() << "frame " << frame << " " << firstDifference(drawer.image(), full).toStdString();
            return false;
        }
        if (eachFrame) eachFrame(drawer);
    }
    return true;
}

}  // namespace vistrel::testing
