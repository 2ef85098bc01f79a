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
namespace {
// The mouse buttons' key codes: Key.isDown and Key.isToggled answer for them as for keys.
std::size_t buttonCode(MouseButton button) {
    return button == MouseButton::Left ? 1 : button == MouseButton::Right ? 2 : 4;
}
}  // namespace

void Player::mouseDown(QPointF stagePixels, MouseButton button) {
    KeyboardState& kb = m_stage->keyboard();
    const std::size_t code = buttonCode(button);
    if (!kb.down[code]) kb.toggled[code] = !kb.toggled[code];
    kb.down[code] = true;
    // Movies hear of the primary button only.
    if (button == MouseButton::Left) m_stage->mouse().press(stagePixels);
    else m_stage->mouse().move(stagePixels);
}
void Player::mouseDoubleClick(QPointF stagePixels) {
    KeyboardState& kb = m_stage->keyboard();
    if (!kb.down[1]) kb.toggled[1] = !kb.toggled[1];
    kb.down[1] = true;
    m_stage->mouse().press(stagePixels, true);
}
void Player::setCaretVisible(bool shown) {
    KeyboardState& kb = m_stage->keyboard();
    if (kb.caretShown == shown) return;
    kb.caretShown = shown;
    // Only a focused text shows the caret: nothing else needs drawing again.
    if (m_stage->focus() && m_stage->focus()->text) m_stage->touch();
}
void Player::mouseUp(QPointF stagePixels, MouseButton button) {
    m_stage->keyboard().down[buttonCode(button)] = false;
    if (button == MouseButton::Left) m_stage->mouse().release(stagePixels);
    else m_stage->mouse().move(stagePixels);
}
void Player::mouseWheel(QPointF stagePixels, int lines) { m_stage->mouse().wheel(stagePixels, lines); }
void Player::mouseLeave() { m_stage->mouse().leave(); }
void Player::cancelPointerCapture() { m_stage->mouse().cancelCapture(); }
Cursor Player::cursor() const { return m_stage->mouse().cursor(); }

}  // namespace vistrel::player
