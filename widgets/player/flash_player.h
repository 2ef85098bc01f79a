// The player control of the main window: loads a movie, plays it at its frame rate and draws it
// scaled into its bounds. Property puts refuse bad values by throwing std::runtime_error.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QColor>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "player/render/renderer.h"
#include "player/stage_view.h"

namespace vistrel {

namespace player {
class Movie;
class Player;
}
class AudioOutput;

class ShockwaveFlash : public QWidget {
    Q_OBJECT
public:
    explicit ShockwaveFlash(QWidget* parent = nullptr);
    ~ShockwaveFlash() override;

    void putQuality(int quality);             // 0 low, 1 high, 2 autolow, 3 autohigh
    void putBGColor(const QString& color);    // "-1": the movie's own; "RRGGBB" hex or a decimal number
    void putMovie(const QString& path);       // a file that cannot be read shows an empty stage
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
    QImage lastFrame() const { return m_frame; }
    // Draws the current frame at `size` exactly as the control would.
    QImage renderFrame(QSize size);

signals:
    void frameChanged(int frame);
    void frameRendered();
    // A script of the movie was stopped by a limit (endless loop, runaway memory); each reason once.
    void scriptStopped(const QString& message);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void tick();
    void setQualityName(const QString& name);
    void frameMoved();
    void reportScriptMessages();

    std::shared_ptr<const player::Movie> m_movie;
    std::unique_ptr<player::Player> m_player;
    std::unique_ptr<AudioOutput> m_audio;
    QTimer m_timer;
    bool m_playing = false;
    QString m_qualityName = QStringLiteral("HIGH");
    player::RenderQuality m_quality = player::RenderQuality::High;
    player::ScaleMode m_scale = player::ScaleMode::ShowAll;
    double m_zoom = 1.0;
    std::optional<QColor> m_background;   // set: overrides the movie's own

    // What the cached frame image was drawn from; any change draws it again.
    struct FrameKey {
        std::uint64_t changes = 0;
        QSize size;
        double zoom = 0;
        int quality = -1, scale = -1;
        QRgb background = 0;
        bool hasBackground = false;
        const void* player = nullptr;
        bool operator==(const FrameKey&) const = default;
    };
    FrameKey m_frameKey;
    QImage m_frame;
};

}  // namespace vistrel
