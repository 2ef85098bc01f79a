// The toolbar buttons' pictures: a button's disabled state shows the grey picture drawn for it, its
// other states the normal picture, at the toolbar's 16 x 16 size; each picture is drawn only when a
// state that shows it is first painted.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include "app/action_button.h"
#include "widgets/lazy_icon.h"

namespace vistrel {
namespace {

QIcon filledIcon(QColor colour, int* drawn)
{
    return lazyIcon([colour, drawn] {
        ++*drawn;
        QPixmap pixmap(16, 16);
        pixmap.fill(colour);
        return QIcon(pixmap);
    });
}

QImage imageOf(const QIcon& icon, QIcon::Mode mode, int size = 16)
{
    return icon.pixmap(QSize(size, size), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage filled(QColor colour, int size = 16)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(colour);
    return image;
}

TEST(ButtonPicture, EachStateShowsItsOwnPictureDrawnWhenFirstShown)
{
    int normalDrawn = 0;
    int disabledDrawn = 0;
    const QIcon icon = iconWithDisabledImage(filledIcon(Qt::blue, &normalDrawn), filledIcon(Qt::gray, &disabledDrawn));
    EXPECT_FALSE(icon.isNull());
    EXPECT_EQ(normalDrawn + disabledDrawn, 0);

    // A button that starts disabled draws the grey picture only.
    EXPECT_EQ(imageOf(icon, QIcon::Disabled), filled(Qt::gray));
    EXPECT_EQ(disabledDrawn, 1);
    EXPECT_EQ(normalDrawn, 0);

    EXPECT_EQ(imageOf(icon, QIcon::Normal), filled(Qt::blue));
    EXPECT_EQ(imageOf(icon, QIcon::Active), filled(Qt::blue));
    EXPECT_EQ(normalDrawn, 1);
    // Copies (as buttons keep them) share the drawn pictures.
    const QIcon copy = icon;
    EXPECT_EQ(imageOf(copy, QIcon::Disabled), filled(Qt::gray));
    EXPECT_EQ(normalDrawn + disabledDrawn, 2);
}

TEST(ButtonPicture, KeepsTheToolbarSizeAndPaintsCentred)
{
    int drawn = 0;
    const QIcon icon = iconWithDisabledImage(filledIcon(Qt::blue, &drawn), filledIcon(Qt::gray, &drawn));
    EXPECT_EQ(icon.actualSize(QSize(32, 32)), QSize(16, 16));
    EXPECT_EQ(icon.actualSize(QSize(8, 8)), QSize(8, 8));
    EXPECT_EQ(icon.availableSizes(), QList<QSize>{QSize(16, 16)});
    EXPECT_EQ(imageOf(icon, QIcon::Normal, 32).size(), QSize(16, 16));

    QImage canvas(24, 24, QImage::Format_ARGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        icon.paint(&painter, QRect(0, 0, 24, 24), Qt::AlignCenter, QIcon::Disabled);
    }
    EXPECT_EQ(canvas.pixelColor(12, 12), QColor(Qt::gray));
    EXPECT_EQ(canvas.pixelColor(4, 4), QColor(Qt::gray));
    EXPECT_EQ(canvas.pixelColor(3, 3), QColor(Qt::white));
    EXPECT_EQ(canvas.pixelColor(20, 20), QColor(Qt::white));

    // Without pictures the icon is empty, as a button without an image shows none.
    EXPECT_TRUE(iconWithDisabledImage(QIcon(), QIcon()).isNull());
}

}  // namespace
}  // namespace vistrel
