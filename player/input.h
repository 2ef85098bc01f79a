// What the viewer (or the trace tool) tells a playing movie about the mouse and the keyboard.
// Positions are stage pixels (twips / 20) in the movie's own coordinates, whatever the zoom.
#pragma once

#include <vector>

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

// The menu the right mouse button opens over a movie: the movie's own entries first, then the built-in
// ones it leaves shown (all of them unless a script hid them; none but the viewer's own when Stage.showMenu
// is false).
struct MovieMenu {
    struct Item {
        QString caption;
        bool enabled = true;
        bool separatorBefore = false;
    };
    std::vector<Item> items;
    bool full = true;
    bool zoom = true, quality = true, play = true, loop = true, rewind = true, forwardBack = true, print = true;
};

// Where copy and paste go: the desktop clipboard in the viewer, a string in the trace tool.
class Clipboard {
public:
    virtual ~Clipboard() = default;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
};

}  // namespace vistrel::player
