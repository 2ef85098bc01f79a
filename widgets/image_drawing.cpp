#include "widgets/image_drawing.h"

#include <array>
#include <cmath>

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRadialGradient>

namespace vistrel::images {
namespace {

// One small palette for every picture, so the toolbar reads as one family.
const QColor kBlue(0x2f, 0x6f, 0xc0);
const QColor kBlueLight(0x6f, 0xa8, 0xea);
const QColor kGreen(0x2e, 0x8b, 0x3a);
const QColor kGreenLight(0x72, 0xc8, 0x6a);
const QColor kRed(0xc0, 0x39, 0x2b);
const QColor kRedLight(0xec, 0x70, 0x63);
const QColor kGold(0xf2, 0xc2, 0x30);
const QColor kGoldDark(0xa8, 0x78, 0x10);
const QColor kSteel(0x3b, 0x55, 0x7a);
const QColor kSteelLight(0x7d, 0x9c, 0xc6);
const QColor kGrey(0x70, 0x74, 0x7a);
const QColor kGreyLight(0xc9, 0xcc, 0xd1);
const QColor kInk(0x33, 0x36, 0x3b);

QLinearGradient vertical(qreal top, qreal bottom, const QColor& light, const QColor& dark)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    return g;
}

void fillOutlined(QPainter& p, const QPainterPath& path, const QBrush& fill, const QColor& outline, qreal width = 1.0)
{
    p.setBrush(fill);
    p.setPen(QPen(outline, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(path);
}

QPainterPath polygonPath(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QList<QPointF>(points)));
    path.closeSubpath();
    return path;
}

void disc(QPainter& p, const QColor& light, const QColor& dark)
{
    QRadialGradient g(QPointF(6, 5), 9);
    g.setColorAt(0, light);
    g.setColorAt(1, dark);
    QPainterPath path;
    path.addEllipse(QPointF(8, 8), 6.8, 6.8);
    fillOutlined(p, path, g, dark.darker(130));
}

void drawAbout(QPainter& p)
{
    disc(p, kBlueLight, kBlue);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(8, 4.7), 1.25, 1.25);
    p.drawRoundedRect(QRectF(6.9, 6.8, 2.2, 5.6), 0.8, 0.8);
}

void drawHelpMenu(QPainter& p)
{
    // A life ring: help at hand.
    QPainterPath ring;
    ring.addEllipse(QPointF(8, 8), 6.8, 6.8);
    ring.addEllipse(QPointF(8, 8), 3.2, 3.2);
    fillOutlined(p, ring, Qt::white, kInk, 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    for (int i = 0; i < 4; ++i) {
        QPainterPath band;
        band.moveTo(8, 8);
        band.arcTo(QRectF(1.6, 1.6, 12.8, 12.8), 20 + i * 90, 50);
        band.closeSubpath();
        QPainterPath hole;
        hole.addEllipse(QPointF(8, 8), 3.6, 3.6);
        p.drawPath(band.subtracted(hole));
    }
}

void drawQuestion(QPainter& p, const QColor& colour)
{
    QPainterPath hook;
    hook.moveTo(5.7, 6.0);
    hook.cubicTo(5.7, 3.4, 10.3, 3.4, 10.3, 6.0);
    hook.cubicTo(10.3, 7.7, 8.0, 7.7, 8.0, 9.8);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(colour, 1.9, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(QPointF(8, 12.2), 1.15, 1.15);
}

void drawHelp(QPainter& p)
{
    disc(p, kBlueLight, kBlue);
    drawQuestion(p, Qt::white);
}

void drawGlobe(QPainter& p)
{
    QRadialGradient sea(QPointF(5.5, 5), 10);
    sea.setColorAt(0, kBlueLight.lighter(115));
    sea.setColorAt(1, kBlue);
    QPainterPath ball;
    ball.addEllipse(QPointF(8, 8), 6.8, 6.8);
    fillOutlined(p, ball, sea, kBlue.darker(140));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 200), 0.9));
    p.drawEllipse(QPointF(8, 8), 3.0, 6.6);
    p.drawLine(QPointF(8, 1.4), QPointF(8, 14.6));
    p.drawLine(QPointF(1.3, 8), QPointF(14.7, 8));
    p.drawLine(QPointF(2.6, 4.6), QPointF(13.4, 4.6));
    p.drawLine(QPointF(2.6, 11.4), QPointF(13.4, 11.4));
}

QPainterPath starPath(QPointF centre, qreal outer, qreal inner)
{
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const qreal angle = -M_PI / 2 + i * M_PI / 5;
        const qreal r = (i % 2 == 0) ? outer : inner;
        points << QPointF(centre.x() + r * std::cos(angle), centre.y() + r * std::sin(angle));
    }
    QPainterPath path;
    path.addPolygon(points);
    path.closeSubpath();
    return path;
}

void drawStar(QPainter& p)
{
    fillOutlined(p, starPath(QPointF(8, 8.6), 7.2, 3.0), vertical(1, 15, kGold.lighter(125), kGold), kGoldDark);
}

void drawGear(QPainter& p)
{
    QPainterPath gear;
    gear.addEllipse(QPointF(8, 8), 5.0, 5.0);
    for (int i = 0; i < 8; ++i) {
        QTransform t;
        t.translate(8, 8);
        t.rotate(i * 45.0);
        QPainterPath tooth;
        tooth.addRect(QRectF(-1.4, -7.3, 2.8, 3.2));
        gear = gear.united(t.map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2.0, 2.0);
    fillOutlined(p, gear.subtracted(hole), vertical(1, 15, kGreyLight, kGrey), kInk, 0.8);
}

void drawQuit(QPainter& p)
{
    disc(p, kRedLight, kRed);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(4.2, 4.6, 7.6, 7.6), 120 * 16, 300 * 16);
    p.drawLine(QPointF(8, 3.4), QPointF(8, 8));
}

void drawPage(QPainter& p, const QRectF& page)
{
    QPainterPath sheet;
    sheet.addRoundedRect(page, 1.0, 1.0);
    fillOutlined(p, sheet, vertical(page.top(), page.bottom(), Qt::white, QColor(0xe4, 0xe8, 0xee)), kGrey, 0.9);
}

void drawManager(QPainter& p)
{
    drawPage(p, QRectF(2.5, 1.5, 10.5, 13.0));
    p.setPen(QPen(kSteelLight, 1.1, Qt::SolidLine, Qt::RoundCap));
    for (qreal y : {5.5, 8.0, 10.5, 13.0})
        p.drawLine(QPointF(4.5, y - 0.5), QPointF(9.0, y - 0.5));
    fillOutlined(p, polygonPath({{9.8, 0.8}, {13.8, 0.8}, {13.8, 7.2}, {11.8, 5.6}, {9.8, 7.2}}),
                 vertical(0.8, 7.2, kRedLight, kRed), kRed.darker(130), 0.8);
}

// A block arrow pointing up, turned by `degrees` clockwise.
void drawArrow(QPainter& p, qreal degrees)
{
    p.save();
    p.translate(8, 8);
    p.rotate(degrees);
    p.translate(-8, -8);
    const QPainterPath arrow = polygonPath(
        {{8, 1.6}, {14.2, 7.8}, {10.4, 7.8}, {10.4, 14.2}, {5.6, 14.2}, {5.6, 7.8}, {1.8, 7.8}});
    QLinearGradient g(0, 0, 16, 0);
    g.setColorAt(0, kGreenLight);
    g.setColorAt(1, kGreen);
    fillOutlined(p, arrow, g, kGreen.darker(140), 0.9);
    p.restore();
}

void drawUp(QPainter& p) { drawArrow(p, 0); }
void drawBack(QPainter& p) { drawArrow(p, -90); }
void drawForward(QPainter& p) { drawArrow(p, 90); }

void drawFolder(QPainter& p)
{
    const QPainterPath back = polygonPath({{1.5, 3}, {6, 3}, {7.5, 4.6}, {14.5, 4.6}, {14.5, 13.5}, {1.5, 13.5}});
    fillOutlined(p, back, kGoldDark.lighter(150), kGoldDark, 0.8);
    const QPainterPath front = polygonPath({{1.5, 6.5}, {14.5, 6.5}, {14.5, 13.5}, {1.5, 13.5}});
    fillOutlined(p, front, vertical(6.5, 13.5, kGold.lighter(130), kGold), kGoldDark, 0.8);
}

QBrush mediaBrush() { return vertical(2, 14, kSteelLight, kSteel); }

void drawRewind(QPainter& p)
{
    const QColor edge = kSteel.darker(130);
    fillOutlined(p, polygonPath({{1.8, 3}, {3.6, 3}, {3.6, 13}, {1.8, 13}}), mediaBrush(), edge, 0.7);
    fillOutlined(p, polygonPath({{9.2, 3}, {9.2, 13}, {4.2, 8}}), mediaBrush(), edge, 0.7);
    fillOutlined(p, polygonPath({{14.4, 3}, {14.4, 13}, {9.4, 8}}), mediaBrush(), edge, 0.7);
}

void drawBackStep(QPainter& p)
{
    const QColor edge = kSteel.darker(130);
    fillOutlined(p, polygonPath({{10.2, 3}, {10.2, 13}, {3.6, 8}}), mediaBrush(), edge, 0.7);
    fillOutlined(p, polygonPath({{11.4, 3}, {13.6, 3}, {13.6, 13}, {11.4, 13}}), mediaBrush(), edge, 0.7);
}

void drawForwardStep(QPainter& p)
{
    const QColor edge = kSteel.darker(130);
    fillOutlined(p, polygonPath({{2.4, 3}, {4.6, 3}, {4.6, 13}, {2.4, 13}}), mediaBrush(), edge, 0.7);
    fillOutlined(p, polygonPath({{5.8, 3}, {5.8, 13}, {12.4, 8}}), mediaBrush(), edge, 0.7);
}

void drawPlay(QPainter& p)
{
    fillOutlined(p, polygonPath({{3.8, 2.2}, {3.8, 13.8}, {13.6, 8}}), vertical(2, 14, kGreenLight, kGreen),
                 kGreen.darker(140), 0.9);
}

void drawStop(QPainter& p)
{
    QPainterPath square;
    square.addRoundedRect(QRectF(3, 3, 10, 10), 1.6, 1.6);
    fillOutlined(p, square, vertical(3, 13, kRedLight, kRed), kRed.darker(140), 0.9);
}

void drawMagnifier(QPainter& p)
{
    p.setPen(QPen(kInk, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(10.2, 10.2), QPointF(14.2, 14.2));
    QRadialGradient glass(QPointF(5.2, 5.2), 6);
    glass.setColorAt(0, Qt::white);
    glass.setColorAt(1, kBlueLight.lighter(130));
    QPainterPath lens;
    lens.addEllipse(QPointF(6.6, 6.6), 4.6, 4.6);
    fillOutlined(p, lens, glass, kInk, 1.5);
}

void drawQuality(QPainter& p)
{
    const std::array<qreal, 4> heights{4.0, 7.0, 10.0, 13.0};
    for (int i = 0; i < 4; ++i) {
        const QRectF bar(1.6 + i * 3.4, 14.6 - heights[i], 2.6, heights[i]);
        QPainterPath path;
        path.addRoundedRect(bar, 0.6, 0.6);
        fillOutlined(p, path, vertical(bar.top(), bar.bottom(), kBlueLight, kBlue), kBlue.darker(140), 0.7);
    }
}

// Status panes.

void drawLayers(QPainter& p)
{
    for (int i = 2; i >= 0; --i) {
        const qreal y = 3.5 + i * 3.2;
        const QPainterPath sheet = polygonPath({{8, y}, {14.5, y + 3}, {8, y + 6}, {1.5, y + 3}});
        fillOutlined(p, sheet, i == 0 ? QBrush(kBlueLight) : QBrush(kBlue), kBlue.darker(150), 0.8);
    }
}

void drawCompression(QPainter& p)
{
    QPainterPath block;
    block.addRoundedRect(QRectF(6.2, 2.5, 3.6, 11), 0.8, 0.8);
    fillOutlined(p, block, vertical(2.5, 13.5, kGreyLight, kGrey), kInk, 0.8);
    const QColor orange(0xe6, 0x7e, 0x22);
    p.setPen(QPen(orange, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(1.0, 8), QPointF(5.0, 8));
    p.drawPolyline(QPolygonF({{3.2, 6.0}, {5.0, 8.0}, {3.2, 10.0}}));
    p.drawLine(QPointF(15.0, 8), QPointF(11.0, 8));
    p.drawPolyline(QPolygonF({{12.8, 6.0}, {11.0, 8.0}, {12.8, 10.0}}));
}

void drawFrameSize(QPainter& p)
{
    p.setBrush(QColor(0xee, 0xf3, 0xfa));
    p.setPen(QPen(kSteel, 1.0, Qt::DashLine));
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.setPen(QPen(kBlue, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(4.5, 10.5), QPointF(11.5, 5.5));
    p.drawPolyline(QPolygonF({{8.8, 5.4}, {11.5, 5.5}, {11.0, 8.0}}));
    p.drawPolyline(QPolygonF({{5.0, 8.0}, {4.5, 10.5}, {7.2, 10.6}}));
}

void drawFrameRate(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(kInk);
    p.drawRoundedRect(QRectF(6.6, 0.8, 2.8, 2.0), 0.5, 0.5);
    QPainterPath face;
    face.addEllipse(QPointF(8, 9), 5.8, 5.8);
    fillOutlined(p, face, vertical(3, 15, Qt::white, kGreyLight), kInk, 1.2);
    p.setPen(QPen(kRed, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(8, 9), QPointF(8, 5.0));
    p.drawLine(QPointF(8, 9), QPointF(10.8, 10.4));
}

void drawFrameCount(QPainter& p)
{
    QPainterPath strip;
    strip.addRoundedRect(QRectF(2.5, 1, 11, 14), 1.0, 1.0);
    fillOutlined(p, strip, kInk, kInk, 0.6);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    for (int i = 0; i < 5; ++i) {
        p.drawRect(QRectF(3.3, 2.0 + i * 2.6, 1.3, 1.3));
        p.drawRect(QRectF(11.4, 2.0 + i * 2.6, 1.3, 1.3));
    }
    p.setBrush(kBlueLight);
    p.drawRect(QRectF(5.5, 2.2, 5, 5));
    p.drawRect(QRectF(5.5, 8.8, 5, 5));
}

void drawFileSize(QPainter& p)
{
    // A disk: what the file takes on it.
    QPainterPath body;
    body.addRoundedRect(QRectF(1.8, 1.8, 12.4, 12.4), 1.2, 1.2);
    fillOutlined(p, body, vertical(1.8, 14.2, kSteelLight, kSteel), kSteel.darker(140), 0.9);
    p.setPen(Qt::NoPen);
    p.setBrush(kGreyLight);
    p.drawRect(QRectF(4.5, 2.3, 7, 4));
    p.setBrush(kInk);
    p.drawRect(QRectF(9.2, 2.9, 1.4, 2.8));
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(3.8, 8.4, 8.4, 5.2), 0.6, 0.6);
}

} // namespace

Drawing toolbarDrawing(int index)
{
    switch (index) {
    case 0: return drawAbout;
    case 2: return drawHelpMenu;
    case 4: return drawGlobe;
    case 6: return drawStar;
    case 8: return drawGear;
    case 10: return drawQuit;
    case 12: return drawManager;
    case 14: return drawUp;
    case 16: return drawHelp;
    case 18: return drawBack;
    case 20: return drawForward;
    case 22: return drawFolder;
    case 24: return drawRewind;
    case 26: return drawBackStep;
    case 28: return drawPlay;
    case 30: return drawStop;
    case 32: return drawForwardStep;
    case 34: return drawMagnifier;
    case 36: return drawQuality;
    default: return nullptr;
    }
}

Drawing statusDrawing(int index)
{
    static constexpr std::array<Drawing, 6> kDrawings{drawLayers, drawCompression, drawFrameSize,
                                                      drawFrameRate, drawFrameCount, drawFileSize};
    return index >= 0 && index < static_cast<int>(kDrawings.size()) ? kDrawings[index] : nullptr;
}

void drawApplication(QPainter& p)
{
    QPainterPath tile;
    tile.addRoundedRect(QRectF(0.8, 0.8, 14.4, 14.4), 3.2, 3.2);
    QLinearGradient g(0, 0, 16, 16);
    g.setColorAt(0, QColor(0x1f, 0xa3, 0xa8));
    g.setColorAt(1, kBlue.darker(115));
    fillOutlined(p, tile, g, kBlue.darker(160), 0.6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 255, 255, 170), 0.9));
    p.drawRoundedRect(QRectF(3.0, 3.4, 10, 9.2), 1.2, 1.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(polygonPath({{6.4, 5.4}, {6.4, 10.6}, {10.8, 8}}));
}

} // namespace vistrel::images
