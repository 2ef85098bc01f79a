#include "widgets/player/movie_input.h"

#include "player/player.h"

namespace vistrel {

void PlayerInput::mouseMove(QPointF p) { if (m_player) m_player->mouseMove(p); }
void PlayerInput::mouseDown(QPointF p, player::MouseButton b) { if (m_player) m_player->mouseDown(p, b); }
void PlayerInput::mouseUp(QPointF p, player::MouseButton b) { if (m_player) m_player->mouseUp(p, b); }
void PlayerInput::mouseDoubleClick(QPointF p) { if (m_player) m_player->mouseDoubleClick(p); }
void PlayerInput::setCaretVisible(bool shown) { if (m_player) m_player->setCaretVisible(shown); }
void PlayerInput::mouseWheel(QPointF p, int lines) { if (m_player) m_player->mouseWheel(p, lines); }
void PlayerInput::mouseLeave() { if (m_player) m_player->mouseLeave(); }
void PlayerInput::keyDown(player::KeyEvent key) { if (m_player) m_player->keyDown(key); }
void PlayerInput::keyUp(player::KeyEvent key) { if (m_player) m_player->keyUp(key); }
void PlayerInput::textInput(char32_t c) { if (m_player) m_player->textInput(c); }
void PlayerInput::textControl(player::TextControl c) { if (m_player) m_player->textControl(c); }
void PlayerInput::focusChanged(bool gained) { if (m_player) m_player->focusChanged(gained); }
void PlayerInput::cancelPointerCapture() { if (m_player) m_player->cancelPointerCapture(); }
player::Cursor PlayerInput::cursor() const { return m_player ? m_player->cursor() : player::Cursor::Arrow; }
bool PlayerInput::wantsKeys() const { return m_player && m_player->wantsKeys(); }

bool PlayerInput::editingText() const { return m_player && m_player->editingText(); }
player::MovieMenu PlayerInput::openMenu(QPointF p) { return m_player ? m_player->openMenu(p) : player::MovieMenu{}; }
void PlayerInput::chooseMenuItem(std::size_t index) { if (m_player) m_player->chooseMenuItem(index); }

}  // namespace vistrel
