#pragma once
// Two panes one above the other with a grooved divider between them; the divider's hot spot
// collapses the upper pane and a second click brings it back. The upper pane keeps its height
// when the splitter is resized; the lower pane takes the rest.

#include <QPointer>
#include <QWidget>

#include "widgets/collapse_state.h"

namespace vistrel {

class HotSpotSplitter : public QWidget {
    Q_OBJECT
public:
    static constexpr int kDividerHeight = 7;
    static constexpr int kMaxPosition = 16384;

    explicit HotSpotSplitter(QWidget* parent = nullptr);

    // The splitter takes ownership of the panes; a previous pane is deleted.
    void setUpperPane(QWidget* pane);
    void setLowerPane(QWidget* pane);
    QWidget* upperPane() const { return m_upper; }
    QWidget* lowerPane() const { return m_lower; }

    // Distance of the divider from the top in pixels; 0 while the upper pane is collapsed. A
    // splitter too short for the position shows the divider at its bottom but keeps the position.
    int position() const { return m_collapse.isCollapsed() ? 0 : m_position; }
    // Moves the divider (negative values count as 0) and ends a collapsed state.
    void setPosition(int position);

    bool isCollapsed() const { return m_collapse.isCollapsed(); }
    void setCollapsed(bool collapsed);

    SizeBar* divider() const { return m_divider; }

signals:
    void positionChanged(int position);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void setPane(QPointer<QWidget>& slot, QWidget* pane);
    void layoutPanes();
    void dragTo(int offset);

    SizeBar* m_divider = nullptr;
    QPointer<QWidget> m_upper;
    QPointer<QWidget> m_lower;
    int m_position = 197;
    int m_dragStart = 0;
    CollapseState m_collapse{m_divider};
};

} // namespace vistrel
