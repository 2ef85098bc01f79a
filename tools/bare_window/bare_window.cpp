// vistrel-bare-window: the yardstick of the start-up benchmark. An empty main window of the same
// size as the viewer's, whose first paint ends the run; the time from launch to that paint is what
// any Qt program on this machine needs at the least.
// VISTREL_STARTUP_PROBE holds the launch time (ns since the epoch), as for the viewer.

#include <QApplication>
#include <QDateTime>
#include <QMainWindow>
#include <QPaintEvent>
#include <QPainter>
#include <QTimer>

#include <cstdio>

namespace {

class PaintedArea : public QWidget {
public:
    explicit PaintedArea(qint64 launchedNs) : m_launchedNs(launchedNs) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter(this).fillRect(event->rect(), Qt::white);
        if (m_reported) return;
        m_reported = true;
        const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
        std::printf("first-frame-ms %.1f\n", m_launchedNs > 0 ? double(nowNs - m_launchedNs) / 1e6 : 0.0);
        std::fflush(stdout);
        if (m_launchedNs > 0) QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    }

private:
    qint64 m_launchedNs;
    bool m_reported = false;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.setCentralWidget(new PaintedArea(qgetenv("VISTREL_STARTUP_PROBE").toLongLong()));
    window.resize(740, 600);   // the viewer's first size
    window.show();
    return app.exec();
}
