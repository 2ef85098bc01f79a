// Typing into input texts: the keyboard focus, the caret and the selection of the focused text field.
// The mouse dispatch hands presses on edit texts to this side, which owns everything about text editing.
#pragma once

#include <QPointF>

namespace vistrel::player {

class Stage;
struct DisplayObject;

enum class PointerPhase { Press, Move, Release };

// The pointer acting on the edit text `text`, the topmost object under it (on Press) or the text that took
// the press (on Move and Release). Returns true when the text takes the press (a selectable or input text),
// so that clips and buttons beneath it do not.
bool textPointer(Stage& stage, DisplayObject& text, QPointF stagePixels, PointerPhase phase);

// A press that no text took: the focused text loses focus as the reference player does.
void pointerPressedElsewhere(Stage& stage);

}  // namespace vistrel::player
