#include "widgets/balloon_hints.h"

#include <QApplication>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QScreen>
#include <QToolTip>
#include <QWidget>
#include <QWindow>

#include "widgets/balloon_window.h"

namespace vistrel {
namespace {

// Stored on the widget itself, so the switch lives and dies with it.
const char* const kHintsOffProperty = "vistrelHintsOff";

QRect screenAreaAt(const QPoint& globalPos, const QWidget* widget)
{
    QScreen* screen = QGuiApplication::screenAt(globalPos);
    if (!screen && widget)
        screen = widget->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

} // namespace

BalloonHints::BalloonHints(QObject* parent)
    : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &BalloonHints::showPending);
    if (qApp)
        qApp->installEventFilter(this);
}

BalloonHints::~BalloonHints()
{
    if (qApp)
        qApp->removeEventFilter(this);
    delete m_balloon.data();
}

void BalloonHints::setDelay(int milliseconds)
{
    m_delayMs = std::max(0, milliseconds);
}

void BalloonHints::setHintsEnabled(QWidget* widget, bool on)
{
    if (widget)
        widget->setProperty(kHintsOffProperty, on ? QVariant() : QVariant(true));
}

bool BalloonHints::hintsEnabled(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        if (w->property(kHintsOffProperty).toBool())
            return false;
        if (w->isWindow())
            break;
    }
    return widget != nullptr;
}

QString BalloonHints::hintTextFor(const QWidget* widget)
{
    for (const QWidget* w = widget; w; w = w->parentWidget()) {
        const QString text = w->toolTip();
        if (!text.isEmpty())
            return text;
        if (w->isWindow())
            break;
    }
    return {};
}

bool BalloonHints::showHint(QWidget* widget, const QPoint& globalPos)
{
    m_timer.stop();
    if (!widget || !hintsEnabled(widget)) {
        hideHint();
        return false;
    }
    const QString text = hintTextFor(widget);
    if (text.isEmpty()) {
        hideHint();
        return false;
    }
    if (!m_balloon)
        m_balloon = new BalloonWindow(kCaptionWidth);
    m_balloon->showAt(text, globalPos, screenAreaAt(globalPos, widget));
    m_shownFor = widget;
    return true;
}

void BalloonHints::hideHint()
{
    m_shownFor = nullptr;
    if (m_balloon)
        m_balloon->hide();
}

bool BalloonHints::isHintVisible() const
{
    return m_balloon && m_balloon->isVisible();
}

QString BalloonHints::hintText() const
{
    return isHintVisible() ? m_balloon->text() : QString();
}

QWidget* BalloonHints::balloon() const
{
    return m_balloon;
}

void BalloonHints::cancelPending()
{
    m_timer.stop();
    m_pending = nullptr;
}

void BalloonHints::showPending()
{
    QWidget* widget = m_pending;
    m_pending = nullptr;
    if (widget && widget->isVisible())
        showHint(widget, m_pendingPos);
}

QWidget* BalloonHints::widgetUnder(QObject* window, const QPoint& globalPos)
{
    // The control under the mouse inside the window that reported the move.
    const QList<QWidget*> topLevels = QApplication::topLevelWidgets();
    for (QWidget* top : topLevels) {
        if (top->windowHandle() == window) {
            QWidget* child = top->childAt(top->mapFromGlobal(globalPos));
            return child ? child : top;
        }
    }
    return QApplication::widgetAt(globalPos);
}

void BalloonHints::mouseMovedTo(QWidget* widget, const QPoint& globalPos)
{
    if (widget && widget == m_shownFor && isHintVisible())
        return; // moving within the control keeps its balloon
    if (widget && widget == m_pending && m_timer.isActive()) {
        m_pendingPos = globalPos; // the pause runs from entering the control
        return;
    }
    hideHint();
    cancelPending();
    if (!widget || !hintsEnabled(widget) || hintTextFor(widget).isEmpty())
        return;
    m_pending = widget;
    m_pendingPos = globalPos;
    m_timer.start(m_delayMs);
}

bool BalloonHints::handleToolTip(QWidget* widget, const QPoint& globalPos)
{
    if (!hintsEnabled(widget)) {
        // Switched off: neither a balloon nor the platform's own tip.
        cancelPending();
        hideHint();
        QToolTip::hideText();
        return true;
    }
    if (hintTextFor(widget).isEmpty())
        return false; // views show their items' own tips the usual way
    // The balloon is ours to show; only when no pause is running for this control already.
    if (!(m_timer.isActive() && m_pending == widget) && !(isHintVisible() && m_shownFor == widget))
        showHint(widget, globalPos);
    return true;
}

bool BalloonHints::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseMove:
        // Watched at the window, which sees every move whether or not the control tracks the mouse.
        if (watched->isWindowType()) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->buttons() == Qt::NoButton)
                mouseMovedTo(widgetUnder(watched, mouse->globalPosition().toPoint()),
                             mouse->globalPosition().toPoint());
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::ApplicationDeactivate:
        cancelPending();
        hideHint();
        break;
    case QEvent::Leave:
        if (watched->isWindowType()) {
            cancelPending();
            hideHint();
        }
        break;
    case QEvent::Hide:
        if (watched == m_shownFor.data() || watched == m_pending.data()) {
            cancelPending();
            hideHint();
        }
        break;
    case QEvent::ToolTip:
        if (watched->isWidgetType()) {
            const auto* help = static_cast<QHelpEvent*>(event);
            return handleToolTip(static_cast<QWidget*>(watched), help->globalPos());
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vistrel
