#include "widgets/size_bar.h"

#include <algorithm>

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace vistrel {

SizeBar::SizeBar(Qt::Orientation orientation, QWidget* parent)
    : QWidget(parent), m_orientation(orientation)
{
    setMouseTracking(true); // hot-tracking of the hot spot
    if (m_orientation == Qt::Vertical) {
        setFixedWidth(kThickness);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
        setCursor(Qt::SplitHCursor);
    } else {
        setFixedHeight(kThickness);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        setCursor(Qt::SplitVCursor);
    }
}

QSize SizeBar::sizeHint() const
{
    return m_orientation == Qt::Vertical ? QSize(kThickness, 100) : QSize(100, kThickness);
}

QRect SizeBar::hotSpotRect() const
{
    if (m_orientation == Qt::Vertical) {
        const int length = std::min(kHotSpotLength, height());
        return QRect(0, (height() - length) / 2, width(), length);
    }
    const int length = std::min(kHotSpotLength, width());
    return QRect((width() - length) / 2, 0, length, height());
}

void SizeBar::setCollapsed(bool collapsed)
{
    if (m_collapsed == collapsed)
        return;
    m_collapsed = collapsed;
    update();
}

int SizeBar::axisOf(const QPoint& point) const
{
    return m_orientation == Qt::Vertical ? point.x() : point.y();
}

void SizeBar::updateHover(const QPoint& pos)
{
    const bool hovered = hotSpotRect().contains(pos);
    if (hovered == m_hotHovered)
        return;
    m_hotHovered = hovered;
    if (hovered)
        setCursor(Qt::PointingHandCursor);
    else
        setCursor(m_orientation == Qt::Vertical ? Qt::SplitHCursor : Qt::SplitVCursor);
    update();
}

void SizeBar::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (hotSpotRect().contains(pos)) {
        m_hotPressed = true;
        update();
        return;
    }
    m_dragging = true;
    m_pressAxis = axisOf(event->globalPosition().toPoint());
    emit dragStarted();
}

void SizeBar::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging) {
        emit dragged(axisOf(event->globalPosition().toPoint()) - m_pressAxis);
        return;
    }
    if (!m_hotPressed)
        updateHover(event->position().toPoint());
}

void SizeBar::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (m_dragging) {
        m_dragging = false;
        emit dragged(axisOf(event->globalPosition().toPoint()) - m_pressAxis);
        emit dragFinished();
        return;
    }
    if (m_hotPressed) {
        m_hotPressed = false;
        update();
        // A press that wanders off the button before release is a change of mind.
        if (hotSpotRect().contains(event->position().toPoint()))
            emit hotSpotClicked();
    }
}

void SizeBar::leaveEvent(QEvent* event)
{
    if (m_hotHovered) {
        m_hotHovered = false;
        update();
    }
    QWidget::leaveEvent(event);
}

void SizeBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();
    const QPalette& pal = palette();

    // Gradient across the strip, light edge first, so the bar reads as a rounded rail.
    const bool upright = m_orientation == Qt::Vertical;
    QLinearGradient gradient(area.topLeft(), upright ? area.topRight() : area.bottomLeft());
    gradient.setColorAt(0.0, pal.color(QPalette::Button).lighter(112));
    gradient.setColorAt(1.0, pal.color(QPalette::Button).darker(112));
    painter.fillRect(area, gradient);

    // Groove: an etched line pair along both long edges.
    const QColor dark = pal.color(QPalette::Mid);
    const QColor light = pal.color(QPalette::Light);
    if (upright) {
        painter.setPen(dark);
        painter.drawLine(0, 0, 0, area.bottom());
        painter.drawLine(area.right() - 1, 0, area.right() - 1, area.bottom());
        painter.setPen(light);
        painter.drawLine(1, 0, 1, area.bottom());
        painter.drawLine(area.right(), 0, area.right(), area.bottom());
    } else {
        painter.setPen(dark);
        painter.drawLine(0, 0, area.right(), 0);
        painter.drawLine(0, area.bottom() - 1, area.right(), area.bottom() - 1);
        painter.setPen(light);
        painter.drawLine(0, 1, area.right(), 1);
        painter.drawLine(0, area.bottom(), area.right(), area.bottom());
    }
    paintHotSpot(painter);
}

void SizeBar::paintHotSpot(QPainter& painter) const
{
    const QPalette& pal = palette();
    const QRect spot = hotSpotRect();
    const bool upright = m_orientation == Qt::Vertical;

    QColor face = pal.color(QPalette::Button);
    if (m_hotPressed)
        face = face.darker(115);
    else if (m_hotHovered)
        face = pal.color(QPalette::Highlight).lighter(170);
    QLinearGradient gradient(spot.topLeft(), upright ? spot.topRight() : spot.bottomLeft());
    gradient.setColorAt(0.0, face.lighter(120));
    gradient.setColorAt(1.0, face.darker(108));
    painter.fillRect(spot, gradient);
    painter.setPen(pal.color(QPalette::Mid));
    painter.drawRect(spot.adjusted(0, 0, -1, -1));

    // Two small arrows near the ends of the button: where the pane goes on a click.
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::ButtonText));
    const bool towardStart = !m_collapsed; // collapsing moves the edge left (or up)
    const auto arrow = [&](QPointF centre) {
        QPainterPath path;
        const qreal s = 2.0;
        if (upright) {
            const qreal dir = towardStart ? -1.0 : 1.0;
            path.moveTo(centre.x() + dir * s, centre.y());
            path.lineTo(centre.x() - dir * s, centre.y() - s - 0.5);
            path.lineTo(centre.x() - dir * s, centre.y() + s + 0.5);
        } else {
            const qreal dir = towardStart ? -1.0 : 1.0;
            path.moveTo(centre.x(), centre.y() + dir * s);
            path.lineTo(centre.x() - s - 0.5, centre.y() - dir * s);
            path.lineTo(centre.x() + s + 0.5, centre.y() - dir * s);
        }
        path.closeSubpath();
        painter.drawPath(path);
    };
    const QPointF c = QRectF(spot).center();
    if (upright) {
        arrow({c.x(), spot.top() + 7.0});
        arrow({c.x(), spot.bottom() - 6.0});
    } else {
        arrow({spot.left() + 7.0, c.y()});
        arrow({spot.right() - 6.0, c.y()});
    }
    // Grip dots between the arrows.
    painter.setBrush(pal.color(QPalette::Mid));
    for (int i = -2; i <= 2; ++i) {
        const QPointF dot = upright ? QPointF(c.x(), c.y() + i * 4.0) : QPointF(c.x() + i * 4.0, c.y());
        painter.drawEllipse(dot, 0.9, 0.9);
    }
}

} // namespace vistrel
