// The keyboard focus: which clip, button or text field has it, the events that tell scripts when it
// moves, the tab order, and the rectangle that shows an object focused from the keyboard.
#pragma once

#include <vector>

#include <QRectF>

namespace vistrel::player {

class Stage;
struct DisplayObject;

// Whether a script may give `object` the focus (Selection.setFocus).
bool canTakeFocus(Stage& stage, DisplayObject& object);

// Moves the focus to `to` (null: nobody): the old object's onKillFocus, the new one's onSetFocus, then
// Selection's listeners. A text field that gains it has its whole text selected. Nothing happens when
// `to` has the focus already. `byKeyboard` shows the focus rectangle.
void moveFocus(Stage& stage, DisplayObject* to, bool byKeyboard = false);

// The objects Tab visits, in order: those with a tabIndex by that index when any has one, otherwise
// every tab-enabled object by its place on the stage.
std::vector<DisplayObject*> tabOrder(Stage& stage);

// Tab (or Shift+Tab when `backwards`) moves the focus on along the tab order.
void tabFocus(Stage& stage, bool backwards);

// The focused object's bounds on the stage (twips) when its focus rectangle shows, or an empty rect.
QRectF focusRectBounds(Stage& stage);

}  // namespace vistrel::player
