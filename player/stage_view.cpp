#include "player/stage_view.h"

#include <algorithm>

namespace vistrel::player {

QTransform stageToDevice(const QRectF& stage, const QSizeF& view, ScaleMode mode, double zoom) {
    const double stageW = std::max(1.0, stage.width() / 20.0), stageH = std::max(1.0, stage.height() / 20.0);
    const double fitX = view.width() / stageW, fitY = view.height() / stageH;
    double sx = 1, sy = 1;
    switch (mode) {
    case ScaleMode::ShowAll: sx = sy = std::min(fitX, fitY); break;
    case ScaleMode::NoScale: break;
    case ScaleMode::NoBorder: sx = sy = std::max(fitX, fitY); break;
    case ScaleMode::ExactFit: sx = fitX; sy = fitY; break;
    }
    sx *= zoom;
    sy *= zoom;
    const double offsetX = (view.width() - stageW * sx) / 2, offsetY = (view.height() - stageH * sy) / 2;
    QTransform t;
    t.translate(offsetX, offsetY);
    t.scale(sx / 20.0, sy / 20.0);
    t.translate(-stage.left(), -stage.top());
    return t;
}

}  // namespace vistrel::player
