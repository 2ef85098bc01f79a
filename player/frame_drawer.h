// Keeps the picture of a playing movie for a view and redraws it only when something it shows changed:
// the frame (the player's change count), the view's size, mapping, quality or background. The viewer's
// pane and `vistrel-tool bench` share it, so what the bench measures is what the viewer pays.
#pragma once

#include <cstdint>
#include <optional>

#include <QImage>
#include <QSize>
#include <QTransform>

#include "player/render/renderer.h"
#include "player/swf/records.h"

namespace vistrel::player {

class Player;

struct FrameView {
    QSize size;                             // device pixels
    QTransform stageToDevice;               // stage twips to device pixels
    RenderQuality quality = RenderQuality::High;
    std::optional<swf::Rgba> background;    // replaces the movie's own background colour when given

    bool operator==(const FrameView&) const = default;
};

class FrameDrawer {
public:
    // Brings the picture up to date for `player` seen through `view`; returns true when it drew.
    bool update(const Player& player, const FrameView& view);
    // Forgets the picture, so that the next update draws.
    void invalidate() { m_valid = false; }
    const QImage& image() const { return m_image; }

private:
    QImage m_image;
    FrameView m_view;
    const Player* m_player = nullptr;
    std::uint64_t m_changeCount = 0;
    bool m_valid = false;
};

}  // namespace vistrel::player
