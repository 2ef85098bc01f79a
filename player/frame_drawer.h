// Keeps the picture of a playing movie for a view and redraws it only when something it shows changed:
// the frame (the player's change count), the view's size, mapping, quality or background. Within a
// frame only the area whose content changed is repainted, over the picture kept from before. The
// viewer's pane and `vistrel-tool bench` share it, so what the bench measures is what the viewer pays.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QImage>
#include <QRegion>
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
    FrameDrawer();
    ~FrameDrawer();
    FrameDrawer(FrameDrawer&&) noexcept;
    FrameDrawer& operator=(FrameDrawer&&) noexcept;

    // Brings the picture up to date for `player` seen through `view`; returns true when it drew.
    bool update(const Player& player, const FrameView& view);
    // Forgets the picture, so that the next update draws.
    void invalidate() { m_valid = false; }
    const QImage& image() const { return m_image; }
    // The device area the last update repainted: empty when it drew nothing, the whole picture
    // after a full redraw.
    const QRegion& repainted() const { return m_repainted; }
    // Whether frames repaint only what changed (on by default); off, every change redraws it all.
    void setPartialRedraw(bool on) { m_partial = on; }

private:
    struct State;
    QImage m_image;
    FrameView m_view;
    const Player* m_player = nullptr;
    std::uint64_t m_changeCount = 0;
    bool m_valid = false;
    bool m_partial = true;
    QRegion m_repainted;
    std::unique_ptr<State> m_state;   // the renderer with its caches, and what the picture shows
};

}  // namespace vistrel::player
