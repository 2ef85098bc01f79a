#include "widgets/balloon_window.h"

#include <algorithm>

#include <QFontMetrics>
#include <QPainter>
#include <QRegularExpression>
#include <QToolTip>

namespace vistrel {

BalloonWindow::BalloonWindow(int captionWidth)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus),
      m_captionWidth(captionWidth)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // Round corners and pointer: see-through where the desktop composites, masked elsewhere.
    setAttribute(Qt::WA_TranslucentBackground);
    setPalette(QToolTip::palette());
    setFont(QToolTip::font());
}

QRect BalloonWindow::boxRect() const
{
    const int boxHeight = height() - kPointerHeight;
    return QRect(0, m_pointerBelow ? 0 : kPointerHeight, width(), boxHeight);
}

void BalloonWindow::showAt(const QString& text, const QPoint& tip, const QRect& screenArea)
{
    m_text = text.left(kMaxTextLength);

    // Wrap at the caption width, or wider when a single word needs it, and never wider than
    // most of the screen.
    const QFontMetrics metrics(font());
    int wrapWidth = m_captionWidth;
    const QStringList words = m_text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    for (const QString& word : words)
        wrapWidth = std::max(wrapWidth, metrics.horizontalAdvance(word));
    if (screenArea.isValid())
        wrapWidth = std::min(wrapWidth, std::max(m_captionWidth, screenArea.width() * 2 / 3));
    const QRect textBounds = metrics.boundingRect(QRect(0, 0, wrapWidth, 100000),
                                                  Qt::TextWordWrap | Qt::AlignHCenter, m_text);
    m_textSize = QSize(wrapWidth, textBounds.height());

    const int boxWidth = wrapWidth + 2 * kPadding;
    const int boxHeight = m_textSize.height() + 2 * kPadding;
    const QSize total(boxWidth, boxHeight + kPointerHeight);

    // Preferred: box above and to the left of the tip, pointer at its lower right corner.
    m_pointerBelow = true;
    m_pointerRight = true;
    QPoint topLeft(tip.x() - (boxWidth - kPointerInset), tip.y() - total.height());
    if (screenArea.isValid()) {
        if (topLeft.y() < screenArea.top()) {
            m_pointerBelow = false;
            topLeft.setY(tip.y());
        }
        if (topLeft.x() < screenArea.left()) {
            m_pointerRight = false;
            topLeft.setX(tip.x() - kPointerInset);
        }
        // Keep the box on the screen even when the tip sits near the far edges.
        topLeft.setX(std::clamp(topLeft.x(), screenArea.left(),
                                std::max(screenArea.left(), screenArea.right() + 1 - total.width())));
        topLeft.setY(std::clamp(topLeft.y(), screenArea.top(),
                                std::max(screenArea.top(), screenArea.bottom() + 1 - total.height())));
    }
    setGeometry(QRect(topLeft, total));
    // The outline as a mask, for desktops that do not composite.
    setMask(QRegion(outline().toFillPolygon().toPolygon()).united(QRegion(boxRect().adjusted(kRadius, 0, -kRadius, 0))));
    update();
    show();
    raise();
}

QPainterPath BalloonWindow::outline() const
{
    const QRectF box = QRectF(boxRect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath path;
    path.addRoundedRect(box, kRadius, kRadius);

    const qreal tipX = m_pointerRight ? box.right() - kPointerInset : box.left() + kPointerInset;
    // The pointer leans outward, toward its corner.
    const qreal baseNear = m_pointerRight ? tipX - kPointerWidth : tipX + kPointerWidth;
    const qreal baseFar = tipX;
    QPainterPath pointer;
    if (m_pointerBelow) {
        pointer.moveTo(baseNear, box.bottom() - 1);
        pointer.lineTo(tipX, box.bottom() + kPointerHeight);
        pointer.lineTo(baseFar, box.bottom() - 1);
    } else {
        pointer.moveTo(baseNear, box.top() + 1);
        pointer.lineTo(tipX, box.top() - kPointerHeight);
        pointer.lineTo(baseFar, box.top() + 1);
    }
    pointer.closeSubpath();
    return path.united(pointer);
}

void BalloonWindow::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::ToolTipText), 1.0));
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawPath(outline());

    const QRect textRect = boxRect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(textRect, Qt::TextWordWrap | Qt::AlignHCenter | Qt::AlignVCenter, m_text);
}

} // namespace vistrel
