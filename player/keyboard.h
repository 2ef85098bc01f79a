// What the stage knows of the keyboard: keys held down, the last key pressed (Key.getCode / getAscii),
// the lock keys' toggles, and where copy and paste go.
#pragma once

#include <array>
#include <optional>

#include "player/input.h"

namespace vistrel::player {

struct KeyboardState {
    std::array<bool, 256> down{};
    int lastCode = 0;
    char16_t lastAscii = 0;
    // Each press flips a code's toggle, for every key (not only the lock keys) and the mouse buttons.
    std::array<bool, 256> toggled{};
    Clipboard* clipboard = nullptr;
    bool paneFocused = true;
    // The focus moved by the keyboard: the focus rectangle shows until the pointer moves the focus.
    bool focusByKeyboard = false;
    // The highlighted object's own _focusrect as it was when it took the highlight (none: the movie's
    // setting rules); a later change shows at its next highlight.
    std::optional<bool> focusRectOwn;
    // A text just took the focus and its focus events are running: it has no selection yet (the
    // indexes read -1); the whole text is selected once they are done, unless a handler chose one.
    bool selectionPending = false;
    // A key went down and its character has not been typed yet (textInput follows keyDown).
    bool keyPending = false;
    // The caret's blink: the viewer turns it off and on; still pictures show it.
    bool caretShown = true;
    // Shift is held (Shift+Tab walks the tab order backwards).
    bool shift() const { return down[16]; }
};

}  // namespace vistrel::player
