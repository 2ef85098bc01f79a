#pragma once
// The grip strip shared by the side panel and the splitter: grooved, gradient-coloured, dragged by
// the user, with a hot-spot button in its middle that collapses and restores the neighbouring pane.

#include <QPoint>
#include <QRect>
#include <QWidget>

namespace vistrel {

class SizeBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kThickness = 7;
    static constexpr int kHotSpotLength = 60;

    // Qt::Vertical: an upright strip dragged sideways (the side panel's right edge);
    // Qt::Horizontal: a lying strip dragged up and down (the splitter's divider).
    explicit SizeBar(Qt::Orientation orientation, QWidget* parent = nullptr);

    Qt::Orientation orientation() const { return m_orientation; }
    // Where the hot-spot button sits, in the bar's own coordinates.
    QRect hotSpotRect() const;
    // The arrow on the hot spot points toward the pane it collapses, or back when collapsed.
    void setCollapsed(bool collapsed);
    bool isCollapsed() const { return m_collapsed; }

    QSize sizeHint() const override;

signals:
    void hotSpotClicked();
    void dragStarted();
    // Offset along the drag axis, in pixels, since the press that started the drag.
    void dragged(int offset);
    void dragFinished();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    int axisOf(const QPoint& point) const;
    void updateHover(const QPoint& pos);
    void paintHotSpot(class QPainter& painter) const;

    Qt::Orientation m_orientation;
    bool m_collapsed = false;
    bool m_hotHovered = false;
    bool m_hotPressed = false;
    bool m_dragging = false;
    int m_pressAxis = 0;
};

} // namespace vistrel
