// For the viewer's frame-rate benchmark: with VISTREL_FPS_TRACE set, the player pane prints once a
// second how many frames it showed and how long drawing took, beside the movie's own rate:
// "fps <shown per second> rate <movie rate> run <frames run> dropped <run without being shown>
//  paints <paint events> draw_ms <mean> max_ms <longest> size <pane width>x<height>".
#pragma once

#include <QElapsedTimer>
#include <QSize>

namespace vistrel {

class FrameRateProbe {
public:
    // Whether the environment asks for the lines (read once).
    static bool enabled();

    // A tick ran `frames` frames of a movie playing at `rate` frames per second; only the last can be
    // shown, and when the picture `changed` only once a paint shows it before the next tick.
    void framesRun(int frames, bool changed, double rate);
    // A paint event of a pane of `size` took `ms`.
    void painted(double ms, QSize size);

private:
    void report();

    QElapsedTimer m_clock;
    double m_rate = 0;
    int m_shown = 0, m_run = 0, m_paints = 0;
    bool m_awaitingPaint = false;   // the last frame run changed the picture and is not painted yet
    double m_drawMs = 0, m_maxMs = 0;
    QSize m_size;
};

}  // namespace vistrel
