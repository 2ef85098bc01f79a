#include "widgets/hot_spot_splitter.h"

#include <algorithm>

#include <QResizeEvent>

#include "widgets/balloon_hints.h"
#include "widgets/size_bar.h"

namespace vistrel {

HotSpotSplitter::HotSpotSplitter(QWidget* parent)
    : QWidget(parent), m_divider(new SizeBar(Qt::Horizontal, this))
{
    BalloonHints::setHintsEnabled(this, false); // the splitter and its panes show no hints
    connect(m_divider, &SizeBar::hotSpotClicked, this, [this] { setCollapsed(!isCollapsed()); });
    connect(m_divider, &SizeBar::dragStarted, this, [this] {
        m_dragStart = std::min(position(), std::max(0, height() - kDividerHeight));
    });
    connect(m_divider, &SizeBar::dragged, this, &HotSpotSplitter::dragTo);
    layoutPanes();
}

void HotSpotSplitter::setPane(QPointer<QWidget>& slot, QWidget* pane)
{
    if (slot == pane)
        return;
    delete slot.data();
    slot = pane;
    if (pane) {
        pane->setParent(this);
        pane->show();
    }
    m_divider->raise();
    layoutPanes();
}

void HotSpotSplitter::setUpperPane(QWidget* pane)
{
    setPane(m_upper, pane);
    m_collapse.show(m_upper);
}

void HotSpotSplitter::setLowerPane(QWidget* pane)
{
    setPane(m_lower, pane);
}

void HotSpotSplitter::setPosition(int position)
{
    position = std::clamp(position, 0, kMaxPosition);
    const int before = this->position();
    m_position = position;
    m_collapse.set(false, m_upper);
    layoutPanes();
    if (this->position() != before)
        emit positionChanged(this->position());
}

void HotSpotSplitter::setCollapsed(bool collapsed)
{
    const int before = position();
    if (!m_collapse.set(collapsed, m_upper))
        return;
    layoutPanes();
    if (position() != before)
        emit positionChanged(position());
}

void HotSpotSplitter::dragTo(int offset)
{
    const int limit = std::max(0, height() - kDividerHeight);
    const int target = std::clamp(m_dragStart + offset, 0, limit);
    if (isCollapsed() && target == 0)
        return; // a click-sized wobble on a collapsed divider changes nothing
    if (target != position() || isCollapsed())
        setPosition(target);
}

void HotSpotSplitter::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutPanes();
}

void HotSpotSplitter::layoutPanes()
{
    const int w = width();
    const int h = height();
    const int shown = std::clamp(position(), 0, std::max(0, h - kDividerHeight));
    if (m_upper)
        m_upper->setGeometry(0, 0, w, shown);
    m_divider->setGeometry(0, shown, w, kDividerHeight);
    if (m_lower) {
        const int top = shown + kDividerHeight;
        m_lower->setGeometry(0, top, w, std::max(0, h - top));
    }
}

} // namespace vistrel
