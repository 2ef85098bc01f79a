// Plays a movie: the root timeline with its display list, frame stepping, and drawing a frame
// through a Renderer. Stepping back rebuilds the display list from the first frame, so any frame
// looks exactly as playing forward to it from the start.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QTransform>

#include "player/display_list.h"
#include "player/render/renderer.h"

namespace vistrel::player {

class Movie;

class Player {
public:
    explicit Player(std::shared_ptr<const Movie> movie);
    ~Player();

    const Movie& movie() const { return *m_movie; }
    int frameCount() const;
    int currentFrame() const;                 // 1-based
    void nextFrame();                         // loops to the first frame after the last
    void gotoFrame(int frame);                // 1-based, clamped to the movie
    void rewind() { gotoFrame(1); }
    // Changes whenever what a frame shows may have changed.
    std::uint64_t changeCount() const { return m_changes; }

    // Draws the current frame; `stageToDevice` maps stage twips to device pixels.
    // `background` replaces the movie's own background colour when given.
    void render(Renderer& renderer, const QTransform& stageToDevice, RenderQuality quality,
                std::optional<swf::Rgba> background = std::nullopt) const;

private:
    void restart();

    std::shared_ptr<const Movie> m_movie;
    ObjectBudget m_budget;
    std::unique_ptr<SpriteInstance> m_root;
    std::uint64_t m_changes = 0;
};

// Draws one sprite's display list (masks, layers, nested sprites) with the given transforms.
void renderDisplayList(const Movie& movie, const SpriteInstance& sprite, Renderer& renderer, const QTransform& m,
                       const swf::ColorTransform& cx);

}  // namespace vistrel::player
