#pragma once
// Scripted mouse and keyboard events for the engine's subcommands: a JSON list of events, split at its
// "Wait" entries into one batch per frame, sent through the Player's input methods.

#include <optional>
#include <vector>

#include <QByteArray>
#include <QPointF>
#include <QString>

#include "player/input.h"

namespace vistrel::player {
class Player;
}

namespace vistrel::tools {

struct InputEvent {
    enum class Type {
        MouseMove, MouseDown, MouseUp, MouseWheel, KeyDown, KeyUp, TextInput, TextControl, SetClipboardText,
        FocusGained, FocusLost,
    };
    Type type = Type::MouseMove;
    QPointF pos;
    player::MouseButton button = player::MouseButton::Left;
    int wheelLines = 0;
    bool hasPos = true;   // a wheel event without a position turns where the pointer last was
    player::KeyEvent key;
    char32_t codepoint = 0;
    player::TextControl control = player::TextControl::MoveLeft;
    QString text;
};

// Batch i is sent after frame i + 1 has run; the last batch holds what follows the last Wait.
struct InputScript {
    std::vector<std::vector<InputEvent>> batches;
    std::vector<QString> warnings;   // entries that were skipped, one line each
};

// Reads the JSON text; nullopt with `error` set when it is not a list of event objects.
std::optional<InputScript> parseInputScript(const QByteArray& json, QString& error);

// The movie key for a key name of the script ("Tab", "ArrowLeft", {"Char": "a"} as the character "a").
// Code 0 for a name the movie has no key for.
player::KeyEvent keyFromName(const QString& name);
player::KeyEvent keyFromChar(char32_t c);

// Copy and paste of the scripted runs: a plain string.
class StringClipboard : public player::Clipboard {
public:
    QString text() const override { return m_text; }
    void setText(const QString& text) override { m_text = text; }

private:
    QString m_text;
};

// Sends events to one player, with the clipboard the script's SetClipboardText writes.
class InputReplay {
public:
    explicit InputReplay(player::Player& player);
    ~InputReplay();
    void send(const InputEvent& event);

private:
    player::Player& m_player;
    StringClipboard m_clipboard;
    QPointF m_lastPos;
};

// Reads the file given to --input; nullopt after one line on standard error, with `exitCode` set.
std::optional<InputScript> loadInputScript(const QString& path, const char* command, int& exitCode);

// Plays `frames` frames (the first has run already), sending after each the script's batch for it.
void playWithInput(player::Player& player, int frames, const InputScript* script);

}  // namespace vistrel::tools
