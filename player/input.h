// What the viewer (or the trace tool) tells a playing movie about the mouse and the keyboard.
// Positions are stage pixels (twips / 20) in the movie's own coordinates, whatever the zoom.
#pragma once

#include <QString>

namespace vistrel::player {

enum class MouseButton { Left, Middle, Right };

// The pointer the pane should show over the movie.
enum class Cursor { Arrow, Hand, IBeam };

// A key as scripts see it: `code` is what Key.getCode returns (the format's virtual key codes:
// 37 left arrow, 13 Enter, 65 'A'...), `ascii` what Key.getAscii returns (0 when the key has none).
struct KeyEvent {
    int code = 0;
    char16_t ascii = 0;
};

// Maps a Qt key (Qt::Key) and the text it types to the movie's key; code 0 when the movie has no such key.
KeyEvent keyEventFromQt(int qtKey, const QString& text);

// Editing commands for the focused input text, as the desktop's shortcuts give them.
enum class TextControl {
    MoveLeft, MoveRight, MoveUp, MoveDown, MoveLineStart, MoveLineEnd, MoveStart, MoveEnd,
    SelectLeft, SelectRight, SelectUp, SelectDown, SelectLineStart, SelectLineEnd, SelectAll,
    Backspace, Delete, Enter, Copy, Cut, Paste,
};

// Where copy and paste go: the desktop clipboard in the viewer, a string in the trace tool.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

}  // namespace vistrel::player
