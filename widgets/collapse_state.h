#pragma once
// The collapsed state of a pane folded away behind a size bar's hot spot, shared by the side
// panel and the splitter: the flag, the bar's arrow and the pane's visibility change together.

#include <QWidget>

#include "widgets/size_bar.h"

namespace vistrel {

class CollapseState {
public:
    explicit CollapseState(SizeBar* bar) : m_bar(bar) {}

    bool isCollapsed() const { return m_collapsed; }
    // Collapses or restores; false when the state was so already and nothing changed.
    bool set(bool collapsed, QWidget* pane)
    {
        if (collapsed == m_collapsed)
            return false;
        m_collapsed = collapsed;
        m_bar->setCollapsed(collapsed);
        show(pane);
        return true;
    }
    // A pane newly put behind the bar is shown as the state says. One never shown or hidden under a
    // parent not shown yet appears with that parent: showing it now would lay the parent out before its
    // window is shown, measuring texts while the font list may still be being read on another thread.
    void show(QWidget* pane) const
    {
        if (!pane)
            return;
        const bool showsWithParent = !m_collapsed && !pane->testAttribute(Qt::WA_WState_ExplicitShowHide) &&
                                     pane->parentWidget() && !pane->parentWidget()->isVisible();
        if (!showsWithParent)
            pane->setVisible(!m_collapsed);
    }

private:
    SizeBar* m_bar;
    bool m_collapsed = false;
};

} // namespace vistrel
