#include "player/player.h"

#include <algorithm>

#include "player/movie.h"
#include "player/render/display_list_renderer.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"

namespace vistrel::player {

Player::Player(std::shared_ptr<const Movie> movie, std::function<void(const QString&)> trace)
    : m_movie(movie), m_stage(std::make_unique<Stage>(std::move(movie))) {
    m_stage->setTraceSink(std::move(trace));
    m_stage->start();
}

Player::~Player() = default;

int Player::frameCount() const { return m_stage->root().frameCount(); }

int Player::currentFrame() const { return m_stage->root().currentFrame() + 1; }

void Player::nextFrame() { m_stage->tick(); }

void Player::gotoFrame(int frame) { m_stage->gotoRootFrame(std::clamp(frame, 1, frameCount()) - 1); }

std::shared_ptr<sound::Mixer> Player::mixer() const { return m_stage->sound().mixer(); }

void Player::setSoundEnabled(bool on) { m_stage->sound().setEnabled(on); }

void Player::setSoundDevicePulling(bool on) { m_stage->sound().setDevicePulling(on); }

int Player::framesDue() const {
    const int due = m_stage->sound().framesDue(m_stage->root().serial(), m_movie->playbackRate());
    return due < 0 ? 1 : due;
}

std::uint64_t Player::changeCount() const { return m_stage->changeCount(); }

std::vector<QString> Player::takeScriptMessages() { return m_stage->takeScriptMessages(); }

// Input is not dispatched to the movie yet; these keep the viewer's side of the contract buildable.
void Player::mouseMove(QPointF) {}
void Player::mouseDown(QPointF, MouseButton) {}
void Player::mouseUp(QPointF, MouseButton) {}
void Player::mouseWheel(QPointF, int) {}
void Player::mouseLeave() {}
void Player::keyDown(KeyEvent) {}
void Player::keyUp(KeyEvent) {}
void Player::textInput(char32_t) {}
void Player::textControl(TextControl) {}
void Player::focusChanged(bool) {}
void Player::cancelPointerCapture() {}
void Player::setClipboard(Clipboard*) {}
Cursor Player::cursor() const { return Cursor::Arrow; }
bool Player::wantsKeys() const { return false; }

KeyEvent keyEventFromQt(int, const QString&) { return {}; }

void Player::render(Renderer& renderer, const QTransform& stageToDevice, RenderQuality quality,
                    std::optional<swf::Rgba> background) const {
    renderer.beginFrame(background.value_or(m_movie->background()), stageToDevice, quality);
    renderDisplayList(m_stage->root().movie(), m_stage->root(), renderer, QTransform(), swf::ColorTransform{});
    // Levels loaded above the root draw over it, each with its own placement.
    for (const auto& [n, level] : m_stage->levels()) {
        if (!level->sprite || !level->visible) continue;
        renderDisplayList(level->sprite->movie(), *level->sprite, renderer, toQTransform(level->matrix),
                          level->colorTransform);
    }
    renderer.endFrame();
}

}  // namespace vistrel::player
