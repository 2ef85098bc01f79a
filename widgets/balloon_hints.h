#pragma once
// Shows the application's hints (tool tips) as balloons: a rounded box with a pointer at its lower
// right corner aimed at the control, the text centred, after a pause of 500 ms. One instance
// watches the whole application. Hints can be switched off for a window or any part of one.

#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

class QWidget;

namespace vistrel {

class BalloonWindow;

class BalloonHints : public QObject {
    Q_OBJECT
public:
    static constexpr int kDefaultDelayMs = 500;
    static constexpr int kCaptionWidth = 100; // the narrowest width a hint's text wraps at

    // Watches every event of the application from construction to destruction.
    explicit BalloonHints(QObject* parent = nullptr);
    ~BalloonHints() override;

    int delay() const { return m_delayMs; }
    void setDelay(int milliseconds);

    // The hint switch of a widget, usually a window. A hint shows only while the widget under the
    // mouse and every widget above it, up to and including its window, have hints on.
    static void setHintsEnabled(QWidget* widget, bool on);
    static bool hintsEnabled(const QWidget* widget);
    // The hint a widget shows: its tool tip, or that of the nearest widget above it in its window.
    static QString hintTextFor(const QWidget* widget);

    // Shows the hint of `widget` pointing at `globalPos` at once. False, and nothing shown, when
    // hints are off there or there is no text.
    bool showHint(QWidget* widget, const QPoint& globalPos);
    void hideHint();
    bool isHintVisible() const;
    QString hintText() const;
    // The balloon window while one exists (for inspection).
    QWidget* balloon() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    static QWidget* widgetUnder(QObject* window, const QPoint& globalPos);
    void mouseMovedTo(QWidget* widget, const QPoint& globalPos);
    void cancelPending();
    void showPending();
    bool handleToolTip(QWidget* widget, const QPoint& globalPos);

    int m_delayMs = kDefaultDelayMs;
    QTimer m_timer;
    QPointer<QWidget> m_pending;
    QPoint m_pendingPos;
    QPointer<QWidget> m_shownFor;
    QPointer<BalloonWindow> m_balloon;
};

} // namespace vistrel
