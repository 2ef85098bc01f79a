// vistrel-bare-window: the yardstick of the start-up benchmark. An empty main window of the same
// size as the viewer's, whose first paint ends the run; the time from launch to that paint is what
// any Qt program on this machine needs at the least.
// VISTREL_STARTUP_PROBE holds the launch time (ns since the epoch), as for the viewer; the processor time
// used until the paint (by the main thread, by all threads) is printed beside the time.
// With --text the first paint also writes one line in the application's font: the least any window
// that shows text pays, as Qt reads the system's whole font list and loads a face before the first glyph.

#include <QApplication>
#include <QDateTime>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <cstdio>
#include <ctime>

namespace {

// Processor time used so far, in milliseconds (the viewer prints the same pair).
double cpuMs(clockid_t clock) {
    timespec cpu{};
    clock_gettime(clock, &cpu);
    return double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6;
}

class PaintedArea : public QWidget {
public:
    PaintedArea(qint64 launchedNs, bool withText) : m_launchedNs(launchedNs), m_withText(withText) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        painter.fillRect(event->rect(), Qt::white);
        if (m_withText) painter.drawText(QPoint(12, 24), QStringLiteral("Vistrel"));
        if (m_reported) return;
        m_reported = true;
        const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
        std::printf("first-frame-ms %.1f\nfirst-frame-cpu-ms %.1f %.1f\n",
                    m_launchedNs > 0 ? double(nowNs - m_launchedNs) / 1e6 : 0.0, cpuMs(CLOCK_THREAD_CPUTIME_ID),
                    cpuMs(CLOCK_PROCESS_CPUTIME_ID));
        std::fflush(stdout);
        if (m_launchedNs > 0) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    qint64 m_launchedNs;
    bool m_withText;
    bool m_reported = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    const bool withText = QApplication::arguments().contains(QStringLiteral("--text"));
    window.setCentralWidget(new PaintedArea(qgetenv("VISTREL_STARTUP_PROBE").toLongLong(), withText));
    window.resize(740, 600);   // the viewer's first size
    window.show();
    return app.exec();
}
