// Plays a movie: its stage (display list, scripts, clock), frame stepping, and drawing a frame through
// a Renderer. Stepping back rebuilds the display list to the target frame as a goto in the movie does.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <QPointF>
#include <QTransform>

#include "player/display_list.h"
#include "player/input.h"
#include "player/render/renderer.h"

namespace vistrel::sound {
class Mixer;
}

namespace vistrel::player {

class Movie;
class Stage;

// What Date() reads: the wall clock (a viewer playing in real time), or the frame clock counted on from
// the wall-clock time the movie started (headless playing, where frames come as fast as they are made:
// a movie timing its motion by Date then moves as it would at its own pace).
enum class DateClock { Wall, Frames };

class Player {
public:
    // The first frame runs at once; `trace` receives what its scripts trace.
    explicit Player(std::shared_ptr<const Movie> movie, std::function<void(const QString&)> trace = {},
                    DateClock dates = DateClock::Wall);
    ~Player();

    const Movie& movie() const { return *m_movie; }
    int frameCount() const;
    int currentFrame() const;                 // 1-based
    void nextFrame();                         // loops to the first frame after the last
    void gotoFrame(int frame);                // 1-based, clamped to the movie
    void rewind() { gotoFrame(1); }
    // Changes whenever what a frame shows may have changed.
    std::uint64_t changeCount() const;
    // Messages about scripts stopped by a limit, each once; empty when there is nothing new.
    std::vector<QString> takeScriptMessages();
    Stage& stage() { return *m_stage; }
    // Builds the outlines of the shapes the stage shows now, so that drawing the frame finds them ready:
    // for a thread that prepares a movie before handing it to the one that draws it.
    void prepareShapes();

    // Sound: the mix an output device plays, pulled from the device's own thread.
    std::shared_ptr<sound::Mixer> mixer() const;
    // Off while the viewer steps frame by frame or is stopped: nothing plays, and what played stops.
    void setSoundEnabled(bool on);
    // Set while a device pulls the mix; only then does the root's stream sound pace the frames.
    void setSoundDevicePulling(bool on);
    // Frames to move on at this tick of the frame-rate timer: 1, or while the root timeline's stream sound
    // plays, as many as keep the picture up with it (0 when the picture is ahead).
    int framesDue() const;

    // Mouse and keyboard, positions in stage pixels. Each may run the movie's scripts at once.
    void mouseMove(QPointF stagePixels);
    void mouseDown(QPointF stagePixels, MouseButton button = MouseButton::Left);
    void mouseUp(QPointF stagePixels, MouseButton button = MouseButton::Left);
    // The second press of a double click with the primary button: a text selects the word under it.
    void mouseDoubleClick(QPointF stagePixels);
    void mouseWheel(QPointF stagePixels, int lines);   // positive: away from the user
    void mouseLeave();                                 // the pointer left the pane
    void keyDown(KeyEvent key);
    void keyUp(KeyEvent key);
    void textInput(char32_t codepoint);                // a typed character, after keyDown
    void textControl(TextControl control);
    void focusChanged(bool gained);                    // the pane gained or lost keyboard focus
    // Lets go of a pressed button or drag without running release actions (after a step or rewind).
    void cancelPointerCapture();
    void setClipboard(Clipboard* clipboard);           // not owned; null: copy and paste do nothing
    // The pointer to show at the last position given to mouseMove.
    Cursor cursor() const;
    // True when the movie has something that takes keys (an input text, a key listener, a button with
    // a key condition): the pane then keeps keys without a viewer shortcut for the movie.
    bool wantsKeys() const;
    // True while an input text has the keyboard focus: editing keys such as Backspace are then its.
    bool editingText() const;
    // The right mouse button asks for the menu at the point: the movie hears of it (ContextMenu.onSelect)
    // and says what to show. Choosing one of its own entries then runs that entry's handler.
    MovieMenu openMenu(QPointF stagePixels);
    void chooseMenuItem(std::size_t index);
    // The caret's blink phase, which the viewer turns with a timer; frames drawn without one show it.
    void setCaretVisible(bool shown);

    // Draws the current frame; `stageToDevice` maps stage twips to device pixels.
    // `background` replaces the movie's own background colour when given.
    void render(Renderer& renderer, const QTransform& stageToDevice, RenderQuality quality,
                std::optional<swf::Rgba> background = std::nullopt) const;

private:
    std::shared_ptr<const Movie> m_movie;
    std::unique_ptr<Stage> m_stage;
};

}  // namespace vistrel::player
