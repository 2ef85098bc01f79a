#include "player/text_input.h"

namespace vistrel::player {

// Text editing is not built yet: no text takes the pointer.
bool textPointer(Stage&, DisplayObject&, QPointF, PointerPhase) { return false; }

void pointerPressedElsewhere(Stage&) {}

}  // namespace vistrel::player
