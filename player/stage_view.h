// Where the stage goes in a view: scale modes and zoom around the view's centre.
#pragma once

#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace vistrel::player {

enum class ScaleMode {
    ShowAll,    // whole stage visible, aspect kept, centred
    NoScale,    // one stage pixel per device pixel, centred
    NoBorder,   // view filled, aspect kept, overflow cut
    ExactFit,   // view filled, aspect not kept
};

// Maps stage twips to device pixels. `zoom` magnifies around the view's centre (1 = no zoom).
QTransform stageToDevice(const QRectF& stageTwips, const QSizeF& view, ScaleMode mode, double zoom);

}  // namespace vistrel::player
