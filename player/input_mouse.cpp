// The Player's mouse methods: they hand the pointer to the stage's mouse dispatch.
#include "player/mouse_input.h"
#include "player/focus.h"
#include "player/player.h"
#include "player/stage.h"

namespace vistrel::player {

void Player::mouseMove(QPointF stagePixels) {
    pointerMoved(*m_stage);   // the keyboard's highlight goes with any pointer movement
    m_stage->mouse().move(stagePixels);
}
void Player::mouseDown(QPointF stagePixels, MouseButton button) {
    // The buttons' key codes (1 left, 2 right, 4 middle) toggle with each press as keys do.
    const std::size_t code = button == MouseButton::Left ? 1 : button == MouseButton::Right ? 2 : 4;
    m_stage->keyboard().toggled[code] = !m_stage->keyboard().toggled[code];
    // Movies hear of the primary button only.
    if (button == MouseButton::Left) m_stage->mouse().press(stagePixels);
    else m_stage->mouse().move(stagePixels);
}
void Player::mouseUp(QPointF stagePixels, MouseButton button) {
    if (button == MouseButton::Left) m_stage->mouse().release(stagePixels);
    else m_stage->mouse().move(stagePixels);
}
void Player::mouseWheel(QPointF stagePixels, int lines) { m_stage->mouse().wheel(stagePixels, lines); }
void Player::mouseLeave() { m_stage->mouse().leave(); }
void Player::cancelPointerCapture() { m_stage->mouse().cancelCapture(); }
Cursor Player::cursor() const { return m_stage->mouse().cursor(); }

}  // namespace vistrel::player
