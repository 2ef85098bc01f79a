// The player control of the main window: loads a movie, plays it at its frame rate and draws it
// scaled into its bounds. Property puts refuse bad values by throwing std::runtime_error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <QColor>
#include <QList>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "player/frame_drawer.h"
#include "player/input.h"
#include "player/render/renderer.h"
#include "player/stage_view.h"
#include "widgets/player/frame_rate_probe.h"
#include "widgets/player/movie_input.h"
#include "widgets/player/movie_note.h"

class QAction;
class QMenu;

namespace vistrel {

namespace player {
class Movie;
class Player;
}
class AudioOutput;
class MovieLoader;
// A movie read, and its first frame run, on another thread while the window is still being built.
class PreparedMovie;

class ShockwaveFlash : public QWidget {
    Q_OBJECT
public:
    explicit ShockwaveFlash(QWidget* parent = nullptr);
    ~ShockwaveFlash() override;

    void putQuality(int quality);             // 0 low, 1 high, 2 autolow, 3 autohigh
    void putBGColor(const QString& color);    // "-1": the movie's own; "RRGGBB" hex or a decimal number
    void putMovie(const QString& path);       // a file that cannot be read shows an empty stage
    // Starts that work for a movie putMovie would load at once (for any other path it does nothing): the
    // putMovie given the result and the same path takes it, waiting for it if need be, instead of reading
    // the movie on the GUI thread. Dropping the result unused waits for the work to end.
    static std::shared_ptr<PreparedMovie> prepareMovie(const QString& path);
    void putMovie(const QString& path, std::shared_ptr<PreparedMovie> prepared);
    // A movie of at least this many bytes (in its file or unpacked) is read and parsed off the GUI thread:
    // putMovie then returns at once, the first frame shows as soon as its tags are in, and the whole
    // movie plays when it is read. Smaller ones load before putMovie returns.
    void setBackgroundLoadThreshold(std::int64_t bytes);
    bool isLoading() const { return m_loading; }
    void putQuality2(const QString& quality); // LOW, MEDIUM, HIGH, BEST, AUTOLOW, AUTOHIGH (any case)
    void putScale(const QString& mode);       // ShowAll, NoScale, NoBorder, ExactFit (any case)
    void Zoom(int factor);                    // 0 whole movie; otherwise view factor% of the current view
    void Play();
    void Stop();
    void Back();
    void Forward();
    void Rewind();
    void doVerbShow();

    bool isPlaying() const;
    int currentFrame() const;                 // 1-based
    int frameCount() const;
    QString quality() const;
    QString scaleMode() const;
    double zoomFactor() const;                // magnification of the whole-movie view

    // The last frame image drawn (for tests and snapshots); null before the first paint.
    QImage lastFrame() const { return m_drawer.image(); }
    // Draws the current frame at `size` exactly as the control would.
    QImage renderFrame(QSize size);
    // What the one-second limit on drawing a frame is measured by (tests give a clock of their own).
    void setDrawClock(player::FrameDrawer::Clock clock) { m_drawer.setClock(std::move(clock)); }

    // Why the movie cannot be shown as meant (the note drawn over the stage); None when it can.
    MovieNote movieNote() const { return m_note; }
    // Gives the note's words in the interface language; without it the notes are not drawn.
    void setNoteTexts(std::function<QString(MovieNote)> texts);
    // The point of the movie (stage pixels) under a point of the control.
    QPointF stagePosition(QPointF controlPoint) const;
    // The enlarged movie is moved by dragging and by the wheel; the offset is in control pixels.
    bool canPan() const;
    QPointF panOffset() const { return m_pan; }
    void panBy(QPointF delta);
    // Sends mouse and keyboard input somewhere else than the playing movie (null: the movie again).
    void setMovieInput(MovieInput* input);
    // The viewer's own commands the right mouse button's menu offers after the movie's entries, each group
    // as far as the movie leaves it shown.
    struct MenuCommands {
        QList<QAction*> zoom;
        QMenu* quality = nullptr;
        QList<QAction*> play;
        QList<QAction*> rewind;
        QList<QAction*> forwardBack;
    };
    void setMenuCommands(MenuCommands commands) { m_menuCommands = std::move(commands); }

signals:
    void frameChanged(int frame);
    void frameRendered();
    // The movie given to putMovie is in (whether it could be read or not).
    void movieLoaded();
    // A script of the movie was stopped by a limit (endless loop, runaway memory); each reason once.
    void scriptStopped(const QString& message);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    player::FrameView frameView(QSize size) const;
    class DesktopClipboard final : public player::Clipboard {
    public:
        QString text() const override;
        void setText(const QString& text) override;
    };

    MovieInput& input() { return m_inputOverride ? *m_inputOverride : m_playerInput; }
    QTransform viewTransform() const;
    void clampPan();
    void updatePointer();
    void drawNote(QPainter& painter);
    void afterInput();
    void tick();
    bool showChange();
    void setQualityName(const QString& name);
    void frameMoved();
    void reportScriptMessages();
    void startMovie(std::shared_ptr<const player::Movie> movie, const QString& path, const QByteArray& leading,
                    std::unique_ptr<player::Player> player = nullptr);
    void showFirstFrame(std::shared_ptr<const player::Movie> firstFrame);
    void switchPlayer(std::shared_ptr<const player::Movie> movie, bool withSound,
                      std::unique_ptr<player::Player> fresh = nullptr);

    std::shared_ptr<const player::Movie> m_movie;
    std::unique_ptr<player::Player> m_player;
    std::unique_ptr<AudioOutput> m_audio;
    bool m_soundFallbackArmed = false;
    std::unique_ptr<MovieLoader> m_loader;
    std::int64_t m_backgroundLoadBytes;
    bool m_loading = false;
    QString m_loadingPath;
    QTimer m_timer;
    QTimer m_caretTimer;     // blinks the caret of a focused input text
    bool m_caretOn = true;
    bool m_playing = false;
    QString m_qualityName = QStringLiteral("HIGH");
    player::RenderQuality m_quality = player::RenderQuality::High;
    player::ScaleMode m_scale = player::ScaleMode::ShowAll;
    double m_zoom = 1.0;
    QPointF m_pan;                        // control pixels the stage is moved by, after zoom
    std::optional<QColor> m_background;   // set: overrides the movie's own
    MovieNote m_note = MovieNote::None;
    std::function<QString(MovieNote)> m_noteTexts;

    PlayerInput m_playerInput;
    MovieInput* m_inputOverride = nullptr;
    DesktopClipboard m_clipboard;
    bool m_panning = false;
    MenuCommands m_menuCommands;
    QPointF m_panFrom;
    int m_wheelRest = 0;
    int m_reportedFrame = 0;              // the frame before the input now being handled                  // wheel eighths of a degree not yet a whole line

    // The picture of the current frame, drawn again only when the frame or the view changed.
    player::FrameDrawer m_drawer;
    bool m_drawnUnshown = false;          // drawn ahead of the paint that shows it
    bool m_cutUnshown = false;            // that drawing ran out of time
    double m_drawAheadMs = 0;             // for the frame-rate probe: drawing time ahead of that paint
    std::unique_ptr<FrameRateProbe> m_rateProbe;   // only when the environment asks for it
};

}  // namespace vistrel
