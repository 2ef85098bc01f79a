#include "player/player.h"

#include <algorithm>

#include "player/mouse_input.h"
#include "player/movie.h"
#include "player/render/display_list_renderer.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"
#include "player/focus.h"

namespace vistrel::player {

namespace {

// The yellow frame around the object highlighted from the keyboard, in stage twips: three pixels
// wide, lying inside the object's bounds so that it covers the object's own edge.
void drawFocusRect(Renderer& renderer, const QRectF& bounds) {
    if (bounds.isEmpty() || !bounds.isValid()) return;
    constexpr double kWidth = 60;
    ShapePaths frame;
    DrawItem fill;
    fill.paint.color = swf::Rgba{255, 255, 0, 255};
    fill.path.setFillRule(Qt::OddEvenFill);
    fill.path.addRect(bounds);
    const QRectF inner = bounds.adjusted(kWidth, kWidth, -kWidth, -kWidth);
    if (inner.isValid() && !inner.isEmpty()) fill.path.addRect(inner);
    frame.items.push_back(std::move(fill));
    frame.bounds = bounds;
    renderer.drawShape(frame, QTransform(), swf::ColorTransform{});
}

}  // namespace

Player::Player(std::shared_ptr<const Movie> movie, std::function<void(const QString&)> trace, DateClock dates)
    : m_movie(movie), m_stage(std::make_unique<Stage>(std::move(movie))) {
    m_stage->setTraceSink(std::move(trace));
    m_stage->setDatesFollowFrames(dates == DateClock::Frames);
    m_stage->start();
}

Player::~Player() = default;

int Player::frameCount() const { return m_stage->root().frameCount(); }

int Player::currentFrame() const { return m_stage->root().currentFrame() + 1; }

void Player::nextFrame() {
    m_stage->tick();
    m_stage->mouse().afterFrame();
}

void Player::gotoFrame(int frame) { m_stage->gotoRootFrame(std::clamp(frame, 1, frameCount()) - 1); }

std::shared_ptr<sound::Mixer> Player::mixer() const { return m_stage->sound().mixer(); }

void Player::setSoundEnabled(bool on) { m_stage->sound().setEnabled(on); }

void Player::setSoundDevicePulling(bool on) { m_stage->sound().setDevicePulling(on); }

int Player::framesDue() const {
    const int due = m_stage->sound().framesDue(m_stage->root().serial(), m_movie->playbackRate());
    return due < 0 ? 1 : due;
}

std::uint64_t Player::changeCount() const { return m_stage->changeCount(); }

void Player::prepareShapes() {
    std::vector<const DisplayObject*> pending{&m_stage->rootObject()};
    while (!pending.empty()) {
        const DisplayObject* object = pending.back();
        pending.pop_back();
        if (object->sprite) {
            for (const auto& [depth, child] : object->sprite->children()) pending.push_back(child.get());
            continue;
        }
        const Character* c = m_movie->character(object->characterId);
        if (!c) continue;
        if (std::holds_alternative<swf::DefineShape>(*c)) m_movie->shapePaths(object->characterId);
        else if (std::holds_alternative<swf::DefineMorphShape>(*c)) m_movie->morphPaths(object->characterId, object->ratio);
    }
}

std::vector<QString> Player::takeScriptMessages() { return m_stage->takeScriptMessages(); }

// The mouse methods live in input_mouse.cpp, the keyboard ones in input_keys.cpp.

void Player::render(Renderer& renderer, const QTransform& stageToDevice, RenderQuality quality,
                    std::optional<swf::Rgba> background) const {
    renderer.beginFrame(background.value_or(m_movie->background()), stageToDevice,
                        m_stage->scriptQuality().value_or(quality));
    // The root draws with its own placement as a script left it (_x, _alpha, _visible and the rest).
    const DisplayObject& root = m_stage->rootObject();
    if (root.visible)
        renderDisplayList(m_stage->root().movie(), m_stage->root(), renderer, toQTransform(root.matrix),
                          root.colorTransform);
    // Levels loaded above the root draw over it, each with its own placement.
    for (const auto& [n, level] : m_stage->levels()) {
        if (!level->sprite || !level->visible) continue;
        renderDisplayList(level->sprite->movie(), *level->sprite, renderer, toQTransform(level->matrix),
                          level->colorTransform);
    }
    drawFocusRect(renderer, focusRectBounds(*m_stage));
    renderer.endFrame();
}

}  // namespace vistrel::player
