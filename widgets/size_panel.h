#pragma once
// The resizable side panel: a content widget with a size bar on its right edge. Dragging the bar
// changes the panel's width; the hot spot collapses the panel to its bar and brings it back.

#include <QWidget>

#include "widgets/collapse_state.h"

namespace vistrel {

class SizePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kBarWidth = 7;
    static constexpr int kMaxWidth = 16384;

    explicit SizePanel(QWidget* parent = nullptr);

    // The panel takes ownership of the content; a previous content widget is deleted.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const { return m_content; }

    // Full width including the size bar; the bar's width while collapsed.
    int panelWidth() const { return m_width; }
    // Sets the width (at least the bar's width, at most the screen's) and ends a collapsed state.
    void setPanelWidth(int width);

    bool isCollapsed() const { return m_collapse.isCollapsed(); }
    // Collapsing keeps the width to come back to; restoring returns to it.
    void setCollapsed(bool collapsed);

    SizeBar* sizeBar() const { return m_bar; }

signals:
    // Raised once for every change of the panel's size, whatever caused it. The limits are the
    // widths that dragging the bar respects (0: no limit); a receiver may narrow them.
    void constrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyWidth(int width);
    void beginDrag();
    void dragTo(int offset);
    int clampDragWidth(int width) const;
    int maxPanelWidth() const;

    SizeBar* m_bar = nullptr;
    QWidget* m_content = nullptr;
    int m_width = 195;
    int m_restoreWidth = 195;
    int m_dragStartWidth = 0;
    CollapseState m_collapse{m_bar};
    int m_minWidth = 0;
    int m_minHeight = 0;
    int m_maxWidth = 0;
    int m_maxHeight = 0;
};

} // namespace vistrel
