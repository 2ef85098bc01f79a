// The pointer acting on a playing movie: which button or clip it is over, which one it pressed, the clip
// it drags. Buttons and clips with pointer handlers get their events here; every clip and the Mouse
// object's listeners hear of moves, presses and releases wherever they happen.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QPointF>
#include <QRectF>

#include "player/input.h"

namespace vistrel::player {

class Stage;
struct DisplayObject;

class MouseInput {
public:
    explicit MouseInput(Stage& stage);

    // Positions in stage pixels, as the viewer gives them.
    void move(QPointF stagePixels);
    // `twice`: the second press of a double click (a text then selects a word).
    void press(QPointF stagePixels, bool twice = false);
    void release(QPointF stagePixels);
    void wheel(QPointF stagePixels, int lines);
    void leave();
    void cancelCapture();
    // After a frame: objects may have moved under a still pointer, and a dragged clip follows it.
    void afterFrame();
    Cursor cursor() const { return m_cursor; }

    // Where the pointer is, in the movie's twips (the stage's coordinates, frame offset included).
    QPointF position() const { return m_pos; }

    // startDrag: `bounds` in the parent's twips; one clip drags at a time.
    void startDrag(DisplayObject& clip, bool lockCenter, std::optional<QRectF> bounds);
    void stopDrag();
    DisplayObject* dragged() const;

    // The object a pointer at `stageTwips` acts on, or null: the topmost button or clip with pointer
    // handlers, or an edit text when `texts` is set.
    DisplayObject* pick(QPointF stageTwips, bool texts) const;

    // The topmost object of any kind under `stageTwips` (levels above the root first), `skip` and what it
    // holds left out.
    DisplayObject* objectUnder(QPointF stageTwips, const DisplayObject* skip = nullptr) const;
    // The object whose menu the right mouse button opened last, while it lives.
    void setMenuTarget(DisplayObject* o) { m_menuTarget = ref(o); }
    DisplayObject* menuTarget() const { return live(m_menuTarget); }

    enum class Event { Press, Release, ReleaseOutside, RollOver, RollOut, DragOver, DragOut };

private:
    struct Ref {
        DisplayObject* object = nullptr;
        std::uint64_t uid = 0;
    };
    Ref ref(DisplayObject* o) const;
    DisplayObject* live(const Ref& r) const;
    QPointF toTwips(QPointF stagePixels) const;
    void updateHover();
    void fire(DisplayObject& target, Event event);
    void broadcast(std::uint32_t clipEvent, const char* listenerMethod, int wheelDelta = 0);
    void updateDrag();
    void updateDropTarget(DisplayObject& clip);
    void updateCursor();
    bool trackAsMenu(DisplayObject& o) const;

    Stage& m_stage;
    QPointF m_pos;
    bool m_inside = false;
    bool m_down = false;
    Ref m_hover;
    Ref m_pressed;
    Ref m_text;   // the edit text that took the press
    Ref m_menuTarget;
    struct Drag {
        Ref clip;
        bool lockCenter = false;
        std::optional<QRectF> bounds;
        QPointF offset;   // clip position minus pointer, in the parent's twips
    };
    std::optional<Drag> m_drag;
    Cursor m_cursor = Cursor::Arrow;
    int m_dispatching = 0;   // nested dispatches (a handler that sends input) are refused
};

}  // namespace vistrel::player
