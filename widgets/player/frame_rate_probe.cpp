#include "widgets/player/frame_rate_probe.h"

#include <algorithm>
#include <cstdio>

#include <QtGlobal>

namespace vistrel {

bool FrameRateProbe::enabled() {
    static const bool on = qEnvironmentVariableIsSet("VISTREL_FPS_TRACE");
    return on;
}

void FrameRateProbe::framesRun(int frames, bool changed, double rate) {
    if (frames <= 0) return;
    if (!m_clock.isValid()) m_clock.start();
    m_rate = rate;
    m_run += frames;
    // A changed frame not painted before this one is lost; an unchanged one is on screen already.
    if (changed) m_awaitingPaint = true;
    else ++m_shown;
    report();
}

void FrameRateProbe::painted(double ms, QSize size) {
    m_size = size;
    if (!m_clock.isValid()) m_clock.start();
    ++m_paints;
    if (m_awaitingPaint) ++m_shown;
    m_awaitingPaint = false;
    m_drawMs += ms;
    m_maxMs = std::max(m_maxMs, ms);
    report();
}

void FrameRateProbe::report() {
    const qint64 elapsed = m_clock.elapsed();
    if (elapsed < 1000) return;
    const double seconds = elapsed / 1000.0;
    std::printf("fps %.2f rate %.2f run %d dropped %d paints %d draw_ms %.2f max_ms %.2f size %dx%d\n", m_shown / seconds,
                m_rate, m_run, m_run - m_shown, m_paints, m_paints ? m_drawMs / m_paints : 0.0, m_maxMs, m_size.width(),
                m_size.height());
    std::fflush(stdout);
    m_clock.restart();
    m_shown = m_run = m_paints = 0;
    m_drawMs = m_maxMs = 0;
}

}  // namespace vistrel
