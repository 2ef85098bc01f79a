// One shape drawn through the renderer, and the same outline filled at once with the same coverage
// samples: the yardstick for the renderer's ways of filling outlines (in pieces, in part).
#pragma once

#include <utility>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRegion>
#include <QTransform>

#include "player/render/qpainter_renderer.h"
#include "player/render/sampled_fill.h"
#include "player/shape_paths.h"

namespace vistrel::testing {

// A shape of one fill of `path` (twips) in `color`.
inline player::ShapePaths oneFillShape(const QPainterPath& path, swf::Rgba color) {
    player::ShapePaths shape;
    player::DrawItem item;
    item.path = path;
    item.paint.color = color;
    shape.bounds = path.boundingRect();
    shape.items.push_back(std::move(item));
    return shape;
}

// The renderer's picture of `shape` placed with `m` on the stage seen through `stage` (twips to pixels),
// over `image` (its background colour is `background`), repainting only `area` when given.
inline QImage rendererPicture(const player::ShapePaths& shape, const QTransform& m, const QTransform& stage, QImage image,
                              swf::Rgba background, const QRegion& area = QRegion(),
                              player::RenderQuality quality = player::RenderQuality::High) {
    player::QPainterRenderer renderer(image);
    renderer.setRepaintArea(area);
    renderer.beginFrame(background, stage, quality);
    renderer.drawShape(shape, m, swf::ColorTransform{});
    renderer.endFrame();
    return image;
}

// `path` placed with `m` on the stage seen through `stage`, filled at once over `image` with four
// coverage samples a pixel.
inline QImage filledAtOnce(const QPainterPath& path, swf::Rgba color, const QTransform& m, const QTransform& stage,
                           QImage image) {
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setTransform(m * stage);
    player::fillSampled(p, path, QColor(color.r, color.g, color.b, color.a));
    p.end();
    return image;
}

}  // namespace vistrel::testing
