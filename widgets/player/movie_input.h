// What the player pane tells the playing movie about the mouse and the keyboard. The pane speaks to
// the movie only through this, so what it forwards can be watched without a movie behind it.
#pragma once

#include <cstddef>

#include <QPointF>

#include "player/input.h"

namespace vistrel {

namespace player {
class Player;
}

class MovieInput {
public:
    virtual ~MovieInput() = default;
    // Positions are stage pixels, as player/input.h defines them.
    virtual void mouseMove(QPointF stagePixels) = 0;
    virtual void mouseDown(QPointF stagePixels, player::MouseButton button) = 0;
    virtual void mouseUp(QPointF stagePixels, player::MouseButton button) = 0;
    // The second press of a double click with the primary button; a plain press unless overridden.
    virtual void mouseDoubleClick(QPointF stagePixels) { mouseDown(stagePixels, player::MouseButton::Left); }
    // The caret's blink phase.
    virtual void setCaretVisible(bool) {}
    virtual void mouseWheel(QPointF stagePixels, int lines) = 0;
    virtual void mouseLeave() = 0;
    virtual void keyDown(player::KeyEvent key) = 0;
    virtual void keyUp(player::KeyEvent key) = 0;
    virtual void textInput(char32_t codepoint) = 0;
    virtual void textControl(player::TextControl control) = 0;
    virtual void focusChanged(bool gained) = 0;
    virtual void cancelPointerCapture() = 0;
    virtual player::Cursor cursor() const = 0;
    virtual bool wantsKeys() const = 0;
    // True while an input text of the movie has the keyboard focus.
    virtual bool editingText() const = 0;
    // The right mouse button's menu at a point, and the choice of one of the movie's own entries.
    virtual player::MovieMenu openMenu(QPointF) { return {}; }
    virtual void chooseMenuItem(std::size_t) {}
};

// Passes everything on to a player.
class PlayerInput final : public MovieInput {
public:
    explicit PlayerInput(player::Player* player = nullptr) : m_player(player) {}
    void setPlayer(player::Player* player) { m_player = player; }

    void mouseMove(QPointF stagePixels) override;
    void mouseDown(QPointF stagePixels, player::MouseButton button) override;
    void mouseUp(QPointF stagePixels, player::MouseButton button) override;
    void mouseDoubleClick(QPointF stagePixels) override;
    void setCaretVisible(bool shown) override;
    void mouseWheel(QPointF stagePixels, int lines) override;
    void mouseLeave() override;
    void keyDown(player::KeyEvent key) override;
    void keyUp(player::KeyEvent key) override;
    void textInput(char32_t codepoint) override;
    void textControl(player::TextControl control) override;
    void focusChanged(bool gained) override;
    void cancelPointerCapture() override;
    player::Cursor cursor() const override;
    bool wantsKeys() const override;
    bool editingText() const override;
    player::MovieMenu openMenu(QPointF stagePixels) override;
    void chooseMenuItem(std::size_t index) override;

private:
    player::Player* m_player;
};

}  // namespace vistrel
