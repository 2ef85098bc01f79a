#include "favorites/favorites_glyphs.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace vistrel::favorites {
namespace {

constexpr int kSize = 16;

QPixmap blankPixmap()
{
    QPixmap pixmap(kSize, kSize);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

QPen thickPen(const QColor& colour, qreal width = 2.5)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawArrow(QPainter& painter, bool up)
{
    const QColor fill(52, 96, 196);
    QPolygonF head;
    if (up)
        head << QPointF(8, 2) << QPointF(14, 9) << QPointF(2, 9);
    else
        head << QPointF(8, 14) << QPointF(14, 7) << QPointF(2, 7);
    painter.setPen(QPen(fill.darker(130), 1));
    painter.setBrush(fill);
    painter.drawPolygon(head);
    painter.drawRect(up ? QRectF(5.5, 9, 5, 5) : QRectF(5.5, 2, 5, 5));
}

void drawGlyph(QPainter& painter, Glyph glyph)
{
    switch (glyph) {
    case Glyph::Add:
        painter.setPen(thickPen(QColor(30, 140, 50), 3));
        painter.drawLine(QPointF(8, 3), QPointF(8, 13));
        painter.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case Glyph::Replace:
        painter.setPen(thickPen(QColor(30, 140, 50)));
        painter.drawPolyline(QPolygonF() << QPointF(3, 8.5) << QPointF(6.5, 12) << QPointF(13, 4));
        break;
    case Glyph::Cancel:
    case Glyph::Close:
        painter.setPen(thickPen(glyph == Glyph::Cancel ? QColor(200, 60, 40) : QColor(110, 110, 110)));
        painter.drawLine(QPointF(4, 4), QPointF(12, 12));
        painter.drawLine(QPointF(12, 4), QPointF(4, 12));
        break;
    case Glyph::Edit: {
        // A pencil lying from the lower left to the upper right.
        QPainterPath body;
        body.moveTo(3, 13);
        body.lineTo(4, 10);
        body.lineTo(11, 3);
        body.lineTo(13, 5);
        body.lineTo(6, 12);
        body.closeSubpath();
        painter.setPen(QPen(QColor(120, 80, 20), 1));
        painter.setBrush(QColor(240, 190, 60));
        painter.drawPath(body);
        break;
    }
    case Glyph::Remove:
        painter.setPen(thickPen(QColor(200, 60, 40), 3));
        painter.drawLine(QPointF(3, 8), QPointF(13, 8));
        break;
    case Glyph::Up:
    case Glyph::Down:
        drawArrow(painter, glyph == Glyph::Up);
        break;
    }
}

} // namespace

QIcon buttonGlyph(Glyph glyph)
{
    QPixmap pixmap = blankPixmap();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawGlyph(painter, glyph);
    painter.end();
    return QIcon(pixmap);
}

QPixmap infoPanelGlyph()
{
    QPixmap pixmap = blankPixmap();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(128, 0, 0), 1));
    painter.setBrush(QColor(250, 210, 60));
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.setPen(thickPen(QColor(128, 0, 0), 2));
    painter.drawLine(QPointF(8, 4.5), QPointF(8, 9));
    painter.drawPoint(QPointF(8, 12));
    painter.end();
    return pixmap;
}

QIcon folderGlyph()
{
    QPixmap pixmap = blankPixmap();
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath folder;
    folder.moveTo(1.5, 3.5);
    folder.lineTo(6, 3.5);
    folder.lineTo(7.5, 5);
    folder.lineTo(14.5, 5);
    folder.lineTo(14.5, 13.5);
    folder.lineTo(1.5, 13.5);
    folder.closeSubpath();
    painter.setPen(QPen(QColor(150, 110, 20), 1));
    painter.setBrush(QColor(245, 200, 80));
    painter.drawPath(folder);
    painter.end();
    return QIcon(pixmap);
}

} // namespace vistrel::favorites
