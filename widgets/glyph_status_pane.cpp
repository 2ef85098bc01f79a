#include "widgets/glyph_status_pane.h"

#include <algorithm>

#include <QPainter>

namespace vistrel {
namespace {

constexpr int kGlyphLeft = 3;
constexpr int kTextGap = 3;

} // namespace

GlyphStatusPane::GlyphStatusPane(int width, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(std::max(width, 0), kHeight);
}

QSize GlyphStatusPane::sizeHint() const
{
    return QSize(width(), kHeight);
}

void GlyphStatusPane::setGlyph(const QIcon& glyph)
{
    m_glyph = glyph;
    update();
}

void GlyphStatusPane::setCaption(const QString& caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void GlyphStatusPane::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect area = rect();

    const int glyphTop = (area.height() - kGlyphSize) / 2;
    if (!m_glyph.isNull()) {
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        m_glyph.paint(&painter, QRect(kGlyphLeft, glyphTop, kGlyphSize, kGlyphSize), Qt::AlignCenter, mode);
    }

    const int textLeft = kGlyphLeft + kGlyphSize + kTextGap;
    const QRect textRect(textLeft, 0, std::max(0, area.width() - textLeft - 2), area.height());
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    const QString shown = fontMetrics().elidedText(m_caption, Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);

    // A flat etched divider on the right separates neighbouring panes.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(area.right() - 1, 3, area.right() - 1, area.bottom() - 3);
    painter.setPen(palette().color(QPalette::Light));
    painter.drawLine(area.right(), 3, area.right(), area.bottom() - 3);
}

} // namespace vistrel
