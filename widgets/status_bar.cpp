#include "widgets/status_bar.h"

#include <QHBoxLayout>
#include <QPainter>

#include "widgets/glyph_status_pane.h"

namespace vistrel {
namespace {

constexpr int kGrooveHeight = 2;

} // namespace

StatusBar::StatusBar(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(kHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, kGrooveHeight, 0, 0);
    layout->setSpacing(0);
    layout->addStretch(1); // keeps the panes packed against the left edge
}

void StatusBar::addPane(GlyphStatusPane* pane)
{
    if (!pane || pane == m_trailing || panes().contains(pane))
        return;
    m_panes.removeAll(nullptr);
    auto* box = static_cast<QHBoxLayout*>(layout());
    // Deleted panes have left the layout already, so the stretch is the last item but the trailing pane.
    box->insertWidget(box->count() - (m_trailing ? 2 : 1), pane, 0, Qt::AlignLeft | Qt::AlignTop);
    m_panes.append(pane);
}

void StatusBar::setTrailingPane(GlyphStatusPane* pane)
{
    if (pane == m_trailing || panes().contains(pane))
        return;
    delete m_trailing;
    m_trailing = pane;
    if (pane)
        static_cast<QHBoxLayout*>(layout())->addWidget(pane, 0, Qt::AlignRight | Qt::AlignTop);
}

QList<GlyphStatusPane*> StatusBar::panes() const
{
    QList<GlyphStatusPane*> alive;
    for (const QPointer<GlyphStatusPane>& pane : m_panes) {
        if (pane)
            alive.append(pane);
    }
    return alive;
}

void StatusBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width() - 1, 0);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(0, 1, width() - 1, 1);
}

} // namespace vistrel
