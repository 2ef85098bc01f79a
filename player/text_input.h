// Typing into input texts: the keyboard focus, the caret and the selection of the focused text field.
// The mouse dispatch hands presses on edit texts to this side, which owns everything about text editing.
#pragma once

#include <QPointF>

namespace vistrel::player {

class Stage;
struct DisplayObject;

enum class PointerPhase { Press, DoublePress, Move, Release };

// The pointer acting on the edit text `text`, the topmost object under it (on Press) or the text that took
// the press (on Move and Release). Returns true when the text takes the press (a selectable or input text),
// so that clips and buttons beneath it do not.
bool textPointer(Stage& stage, DisplayObject& text, QPointF stagePixels, PointerPhase phase);

// Whether the pointer (stage twips) over the edit text `text` is on a link of its text.
bool textLinkAt(Stage& stage, DisplayObject& text, QPointF stageTwips);

// A press that no text took: the focused text loses focus.
void pointerPressedElsewhere(Stage& stage);

}  // namespace vistrel::player

#include <QString>

#include "player/input.h"

namespace vistrel::player {

// Selects the whole text of an edit text (a field that gains the focus from a script or the keyboard).
void selectAllText(DisplayObject& text);

// TextField.replaceSel: the text's selection (the caret at the start while it never had the focus) gives
// way to `replacement`, and the caret follows it.
void replaceSelection(DisplayObject& text, const QString& replacement);

// The focused object when it is an edit text that takes typing (an input field), or null.
DisplayObject* focusedInputText(Stage& stage);

// Typing into the focused input text; false when no field took it.
bool typeIntoFocus(Stage& stage, const QString& typed);
// An editing command on the focused text; copy works on selectable texts too. False when nothing took it.
bool editFocus(Stage& stage, TextControl control);

// The selection of the focused text: begin, end and caret indexes, or -1 each when no text has the focus.
struct TextSelection {
    int begin = -1, end = -1, caret = -1;
};
TextSelection focusedSelection(Stage& stage);
// Selection.setSelection: on the focused text, clamped to its length.
void setFocusedSelection(Stage& stage, int begin, int end);

}  // namespace vistrel::player
