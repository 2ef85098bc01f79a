#include "widgets/image_lists.h"

#include <algorithm>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "widgets/image_drawing.h"
#include "widgets/lazy_icon.h"

namespace vistrel {
namespace {

QImage render(images::Drawing drawing, int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    if (drawing) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(size / qreal(kImageListIconSize), size / qreal(kImageListIconSize));
        drawing(painter);
    }
    return image;
}

// The disabled look: colours drained to a light grey and the picture half faded.
QImage greyed(const QImage& source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            const int grey = 110 + qGray(pixel) * 100 / 255;
            const int alpha = qAlpha(pixel);
            // Faint edge pixels stay faintly there, so the outline keeps its shape.
            line[x] = qRgba(grey, grey, grey, alpha == 0 ? 0 : std::max(1, alpha * 3 / 5));
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

constexpr int kSizes[] = {kImageListIconSize, kImageListIconSize * 2};

// The pictures of one drawing at the list's size and, with `large`, at twice that size for scaled
// screens: in colour with its grey form for the disabled look, or (`grey`) in grey for both.
QIcon iconSetOf(images::Drawing drawing, bool grey, bool large)
{
    QIcon icon;
    for (const int size : kSizes) {
        if (size > kImageListIconSize && !large)
            break;
        const QImage image = render(drawing, size);
        const QPixmap disabled = QPixmap::fromImage(greyed(image));
        icon.addPixmap(grey ? disabled : QPixmap::fromImage(image), QIcon::Normal);
        icon.addPixmap(disabled, QIcon::Disabled);
    }
    return icon;
}

QIcon iconOf(images::Drawing drawing)
{
    return iconSetOf(drawing, false, true);
}

// Drawn when first shown, and only at the list's size where that is all a screen at scale 1 asks for:
// most of the list waits in menus and hidden buttons at start-up.
QIcon lazyIconOf(images::Drawing drawing, bool grey)
{
    return lazyIcon([drawing, grey] { return iconSetOf(drawing, grey, false); },
                    QSize(kImageListIconSize, kImageListIconSize),
                    [drawing, grey] { return iconSetOf(drawing, grey, true); });
}

// A sheet with a folded corner and a strip of film across it.
void drawMovieFile(QPainter& p)
{
    QPainterPath sheet;
    sheet.moveTo(3.5, 1.5);
    sheet.lineTo(10, 1.5);
    sheet.lineTo(13.5, 5);
    sheet.lineTo(13.5, 14.5);
    sheet.lineTo(3.5, 14.5);
    sheet.closeSubpath();
    p.setPen(QPen(QColor(90, 90, 100), 1));
    p.setBrush(QColor(250, 250, 252));
    p.drawPath(sheet);
    p.drawLine(QPointF(10, 1.5), QPointF(10, 5));
    p.drawLine(QPointF(10, 5), QPointF(13.5, 5));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(200, 40, 40));
    p.drawRect(QRectF(4.5, 7, 8, 5.5));
    p.setBrush(Qt::white);
    for (int i = 0; i < 4; ++i) {
        p.drawRect(QRectF(5.2 + i * 1.9, 7.5, 0.9, 0.9));
        p.drawRect(QRectF(5.2 + i * 1.9, 11.1, 0.9, 0.9));
    }
}

} // namespace

QIcon folderIcon()
{
    return iconOf(images::toolbarDrawing(kImageFolder));
}

QIcon movieFileIcon()
{
    return iconOf(drawMovieFile);
}

QList<QIcon> imageList1()
{
    QList<QIcon> list;
    list.reserve(kImageList1Count);
    for (int index = 0; index < kImageList1Count; ++index)
        list.append(lazyIconOf(images::toolbarDrawing(index - index % 2), index % 2 == 1));
    return list;
}

QList<QIcon> imageList2()
{
    QList<QIcon> list;
    list.reserve(kImageList2Count);
    for (int index = 0; index < kImageList2Count; ++index)
        list.append(lazyIconOf(images::statusDrawing(index), false));
    return list;
}

QIcon applicationIcon()
{
    QIcon icon;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(render(images::drawApplication, size)));
    return icon;
}

} // namespace vistrel
