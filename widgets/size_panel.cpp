#include "widgets/size_panel.h"

#include <algorithm>

#include <QHBoxLayout>
#include <QResizeEvent>
#include <QScreen>

#include "widgets/size_bar.h"

namespace vistrel {

SizePanel::SizePanel(QWidget* parent)
    : QWidget(parent), m_bar(new SizeBar(Qt::Vertical, this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1); // stands in for the content until one is set
    layout->addWidget(m_bar);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    applyWidth(m_width);

    connect(m_bar, &SizeBar::hotSpotClicked, this, [this] { setCollapsed(!isCollapsed()); });
    connect(m_bar, &SizeBar::dragStarted, this, &SizePanel::beginDrag);
    connect(m_bar, &SizeBar::dragged, this, &SizePanel::dragTo);
}

void SizePanel::setContentWidget(QWidget* content)
{
    auto* box = static_cast<QHBoxLayout*>(layout());
    if (m_content) {
        box->removeWidget(m_content);
        delete m_content;
    } else {
        delete box->takeAt(0); // the placeholder stretch
    }
    m_content = content;
    if (content) {
        box->insertWidget(0, content, 1);
        m_collapse.show(content);
    } else {
        box->insertStretch(0, 1);
    }
}

void SizePanel::setPanelWidth(int width)
{
    width = std::clamp(width, kBarWidth, maxPanelWidth());
    m_collapse.set(false, m_content);
    m_restoreWidth = width;
    applyWidth(width);
}

int SizePanel::maxPanelWidth() const
{
    // The width is fixed, so the window can never be narrower than the panel: a width from a
    // damaged settings file must not make the window wider than the screen.
    const QScreen* shownOn = screen();
    const int screenWidth = shownOn ? shownOn->availableGeometry().width() : 0;
    return screenWidth > kBarWidth ? std::min(screenWidth, kMaxWidth) : kMaxWidth;
}

void SizePanel::setCollapsed(bool collapsed)
{
    if (collapsed == isCollapsed())
        return;
    if (collapsed)
        m_restoreWidth = m_width;
    m_collapse.set(collapsed, m_content);
    applyWidth(collapsed ? kBarWidth : m_restoreWidth);
}

void SizePanel::applyWidth(int width)
{
    m_width = width;
    // A fixed width makes the parent's layout honour the panel's choice.
    setFixedWidth(width);
}

void SizePanel::beginDrag()
{
    m_dragStartWidth = m_width;
}

void SizePanel::dragTo(int offset)
{
    const int width = clampDragWidth(m_dragStartWidth + offset);
    if (isCollapsed()) {
        // Pulling a collapsed panel open is the same as restoring it to the dragged width.
        if (width <= kBarWidth)
            return;
        m_collapse.set(false, m_content);
    }
    if (width != m_width) {
        m_restoreWidth = width;
        applyWidth(width);
    }
}

int SizePanel::clampDragWidth(int width) const
{
    int low = std::max(kBarWidth, m_minWidth);
    int high = maxPanelWidth();
    if (m_maxWidth > 0)
        high = std::min(high, m_maxWidth);
    // Never drag the panel past its parent's right edge, so the bar stays reachable.
    if (parentWidget() && !isWindow())
        high = std::min(high, std::max(kBarWidth, parentWidget()->width() - kBarWidth));
    low = std::min(low, high);
    return std::clamp(width, low, high);
}

void SizePanel::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    int minWidth = m_minWidth;
    int minHeight = m_minHeight;
    int maxWidth = m_maxWidth;
    int maxHeight = m_maxHeight;
    emit constrainedResize(minWidth, minHeight, maxWidth, maxHeight);
    // Keep what the receiver decided, within sane bounds.
    m_minWidth = std::clamp(minWidth, 0, kMaxWidth);
    m_minHeight = std::max(minHeight, 0);
    m_maxWidth = std::clamp(maxWidth, 0, kMaxWidth);
    m_maxHeight = std::max(maxHeight, 0);
}

} // namespace vistrel
