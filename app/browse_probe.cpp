#include "app/browse_probe.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QKeyEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "app/main_form.h"
#include "widgets/player/flash_player.h"
#include "widgets/shell_list.h"

namespace vistrel {

namespace {

class BrowseProbe : public QObject {
public:
    BrowseProbe(TForm1& form, int presses) : QObject(&form), m_form(form), m_pressesLeft(presses)
    {
        connect(form.flash(), &ShockwaveFlash::frameRendered, this, &BrowseProbe::painted);
        // Gives up on a list that never fills or a frame that never comes.
        m_watchdog.setSingleShot(true);
        connect(&m_watchdog, &QTimer::timeout, this, [] {
            std::printf("browse-stalled\n");
            std::fflush(stdout);
            QCoreApplication::exit(2);
        });
        m_watchdog.start(20000);
        waitForList();
    }

private:
    void waitForList()
    {
        ShellList* list = m_form.shellList();
        const QModelIndex root = list->rootIndex();
        if (list->shellModel()->rowCount(root) == 0 || list->shellModel()->canFetchMore(root)) {
            QTimer::singleShot(20, this, &BrowseProbe::waitForList);
            return;
        }
        // The model reads a folder in batches and sorts each a moment later: the list is taken once it
        // has held still for a few looks, so that its first row is the first movie.
        const QString look = QString::number(list->shellModel()->rowCount(root)) + QLatin1Char('/') +
                             list->model()->index(0, 0, root).data().toString();
        if (look != m_lastLook || ++m_stillLooks < 3) {
            if (look != m_lastLook)
                m_stillLooks = 0;
            m_lastLook = look;
            QTimer::singleShot(20, this, &BrowseProbe::waitForList);
            return;
        }
        // The first movie, as a click would select it; its frame is the start line, not a measure.
        list->setFocus(Qt::OtherFocusReason);
        m_waiting = true;
        m_measuring = false;
        list->setCurrentIndex(list->model()->index(0, 0, root));
    }

    void press()
    {
        if (m_pressesLeft-- <= 0) {
            QCoreApplication::exit(0);
            return;
        }
        // A message about the last movie (a script stopped by a limit) would take the key: it is closed.
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
            QTimer::singleShot(30, this, &BrowseProbe::press);
            ++m_pressesLeft;
            return;
        }
        QWidget* target = m_form.shellList();
        m_waiting = true;
        m_measuring = true;
        m_clock.start();
        // Sent as the window system would deliver it; the load and the paint follow in the event loop.
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(target, &down);
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(target, &up);
    }

    void painted()
    {
        if (!m_waiting)
            return;
        // A large movie's first paint may be its empty stage while it loads; the frame counts once in.
        if (m_form.flash()->isLoading())
            return;
        m_waiting = false;
        if (m_measuring) {
            const QString path = m_form.shellList()->currentIndex().data(QFileSystemModel::FilePathRole).toString();
            std::printf("browse-ms %.2f %s\n", double(m_clock.nsecsElapsed()) / 1e6, qPrintable(path));
            std::fflush(stdout);
        }
        m_watchdog.start(20000);
        // A pause between presses, as a person's key repeat leaves one.
        QTimer::singleShot(30, this, &BrowseProbe::press);
    }

    TForm1& m_form;
    int m_pressesLeft;
    bool m_waiting = false;
    bool m_measuring = false;
    QString m_lastLook;
    int m_stillLooks = 0;
    QElapsedTimer m_clock;
    QTimer m_watchdog;
};

}  // namespace

void startBrowseProbeIfAsked(TForm1& form)
{
    const QByteArray presses = qgetenv("VISTREL_BROWSE_PROBE");
    if (presses.isEmpty())
        return;
    new BrowseProbe(form, std::max(1, presses.toInt()));
}

}  // namespace vistrel
