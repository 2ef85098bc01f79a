// The keyboard focus: which clip, button or text field has it, the events that tell scripts when it
// moves, the tab order, and the rectangle that shows an object focused from the keyboard.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include <QRectF>

namespace vistrel::swf {
struct DefineButton;
}

namespace vistrel::player {

class Stage;
struct DisplayObject;

// Whether a script may give `object` the focus (Selection.setFocus).
bool canTakeFocus(Stage& stage, DisplayObject& object);

// What moved the focus. A script or the keyboard highlights a clip or button that takes it: it rolls
// over as if the pointer were on it, hears keys, and Enter and Space press it; the pointer does not.
enum class FocusCause { Script, Keyboard, Pointer };

// Moves the focus to `to` (null: nobody): the old object's onKillFocus, the new one's onSetFocus, then
// Selection's listeners. A text field that gains it has its whole text selected. Nothing happens when
// `to` has the focus already.
void moveFocus(Stage& stage, DisplayObject* to, FocusCause cause = FocusCause::Script);

// The focused clip or button is highlighted (focused by a script or the keyboard, the pointer not moved
// since).
bool focusHighlighted(Stage& stage);

// Whether the object and every clip holding it are visible.
bool shownOnStage(const DisplayObject& object);
// The pointer moved over the movie: the highlight goes (the focus stays).
void pointerMoved(Stage& stage);

// The button definition an instance shows, or null when it is no button.
const swf::DefineButton* buttonDefinition(Stage& stage, const DisplayObject& object);
// Queues the actions of a button's conditions that `matches` accepts, on the timeline holding it.
void queueButtonActions(Stage& stage, DisplayObject& button, const std::function<bool(std::uint16_t)>& matches);

// The objects Tab visits, in order: those with a tabIndex by that index when any has one, otherwise
// every tab-enabled object by its place on the stage.
std::vector<DisplayObject*> tabOrder(Stage& stage);

// Tab (or Shift+Tab when `backwards`) moves the focus on along the tab order.
void tabFocus(Stage& stage, bool backwards);

// Whether the highlighted object shows the focus rectangle: its own _focusrect as a script had set it
// when it took the highlight, otherwise the movie's. Without the rectangle Enter and Space do not press
// it either.
bool focusRectEnabled(Stage& stage);

// The focused object's bounds on the stage (twips) when its focus rectangle shows, or an empty rect.
QRectF focusRectBounds(Stage& stage);

}  // namespace vistrel::player
