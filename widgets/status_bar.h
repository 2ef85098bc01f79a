#pragma once
// The window's status bar: 25 pixels high, a groove along its top edge only, and glyph panes
// lined up from the left edge in the order they were added.

#include <QList>
#include <QPointer>
#include <QWidget>

namespace vistrel {

class GlyphStatusPane;

class StatusBar : public QWidget {
    Q_OBJECT
public:
    static constexpr int kHeight = 25;

    explicit StatusBar(QWidget* parent = nullptr);

    // Appends a pane to the right of the existing ones; the bar takes ownership.
    void addPane(GlyphStatusPane* pane);
    // The panes in order, left to right (deleted ones drop out).
    QList<GlyphStatusPane*> panes() const;
    // A pane kept against the right edge, apart from the ones lined up from the left; the bar takes
    // ownership. Null: none.
    void setTrailingPane(GlyphStatusPane* pane);
    GlyphStatusPane* trailingPane() const { return m_trailing; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<QPointer<GlyphStatusPane>> m_panes;
    QPointer<GlyphStatusPane> m_trailing;
};

} // namespace vistrel
