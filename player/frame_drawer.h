// Keeps the picture of a playing movie for a view and redraws it only when something it shows changed:
// the frame (the player's change count), the view's size, mapping, quality or background. Within a
// frame only the area whose content changed is repainted, over the picture kept from before. The
// viewer's pane and `vistrel-tool bench` share it, so what the bench measures is what the viewer pays.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
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
    // Large repaints are drawn as this many horizontal bands at once (1 or 2; by default 2 on a machine
    // with two cores or more, unless VISTREL_DRAW_BANDS says otherwise), when at least `minPixels` are
    // repainted. The picture is the same either way.
    void setBands(int bands, int minPixels);
    // How many bands the last update that looked at the frame drew with (1: one thread, or nothing).
    int lastBands() const { return m_lastBands; }
    // Drawing stops at this time after it starts, leaving the picture as far as it got (1 s by default).
    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    // Whether the last update ran out of time; the next update then redraws the whole picture.
    bool cutShort() const { return m_cutShort; }
    // Whether the picture, whole or cut short, is of `player`'s current frame seen through `view`.
    bool shows(const Player& player, const FrameView& view) const;
    // What the time limit is measured by (the steady clock by default); it may be read from two
    // threads at once.
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    void setClock(Clock clock) { m_clock = std::move(clock); }

private:
    struct State;
    QImage m_image;
    FrameView m_view;
    const Player* m_player = nullptr;
    std::uint64_t m_changeCount = 0;
    bool m_valid = false;
    bool m_partial = true;
    int m_bands = 1;
    int m_splitPixels = 0;
    int m_lastBands = 1;
    std::chrono::milliseconds m_timeLimit{1000};
    Clock m_clock;
    bool m_cutShort = false;
    QRegion m_repainted;
    std::unique_ptr<State> m_state;   // the renderer with its caches, and what the picture shows
};

}  // namespace vistrel::player
