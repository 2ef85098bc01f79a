#pragma once
// The balloon itself: a tool-tip window drawn as a rounded box with a pointer at one corner.

#include <QPainterPath>
#include <QString>
#include <QWidget>

namespace vistrel {

class BalloonWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPadding = 6;
    static constexpr int kRadius = 6;
    static constexpr int kPointerHeight = 10;
    static constexpr int kPointerWidth = 12;
    static constexpr int kPointerInset = 12; // distance of the pointer tip from the box's side
    static constexpr int kMaxTextLength = 2000;

    explicit BalloonWindow(int captionWidth);

    // Lays out `text` and places the balloon so that its pointer touches `tip`, on the lower
    // right when it fits on the screen, flipped to the other side or edge when it does not.
    void showAt(const QString& text, const QPoint& tip, const QRect& screenArea);
    QString text() const { return m_text; }
    bool pointsDown() const { return m_pointerBelow; }
    bool pointsFromRight() const { return m_pointerRight; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPainterPath outline() const;
    QRect boxRect() const;

    int m_captionWidth;
    QString m_text;
    QSize m_textSize;
    bool m_pointerBelow = true;
    bool m_pointerRight = true;
};

} // namespace vistrel
