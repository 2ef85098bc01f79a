// Icons drawn when first used: nothing is drawn before, the picture is the one the maker draws at
// every size, mode and scale asked for, copies share one drawing; the program's style hands out the
// extension button pictures of the style it wraps, read only when shown.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QStyleFactory>
#include <QToolButton>

#include <memory>

#include "widgets/lazy_icon.h"

namespace vistrel {
namespace {

QIcon drawnIcon(QColor colour)
{
    QIcon icon;
    for (const int size : {16, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(colour);
        icon.addPixmap(pixmap, QIcon::Normal);
        QPixmap grey(size, size);
        grey.fill(Qt::gray);
        icon.addPixmap(grey, QIcon::Disabled);
    }
    return icon;
}

QImage imageOf(const QIcon& icon, int size, QIcon::Mode mode = QIcon::Normal, qreal scale = 1.0)
{
    return icon.pixmap(QSize(size, size), scale, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

TEST(LazyIcon, DrawsOnceOnFirstUseTheSamePictureAsTheMaker)
{
    int made = 0;
    const QIcon lazy = lazyIcon([&made] {
        ++made;
        return drawnIcon(Qt::red);
    });
    const QIcon copy = lazy;
    EXPECT_EQ(made, 0);
    EXPECT_FALSE(lazy.isNull());
    EXPECT_EQ(made, 1);

    const QIcon direct = drawnIcon(Qt::red);
    for (const int size : {16, 24, 32}) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active}) {
            for (const qreal scale : {1.0, 2.0}) {
                SCOPED_TRACE(testing::Message() << size << " " << mode << " " << scale);
                EXPECT_EQ(imageOf(lazy, size, mode, scale), imageOf(direct, size, mode, scale));
            }
        }
    }
    EXPECT_EQ(lazy.availableSizes(), direct.availableSizes());
    EXPECT_EQ(lazy.actualSize(QSize(64, 64)), direct.actualSize(QSize(64, 64)));
    // Painting and copies use the same drawing.
    QImage painted(20, 20, QImage::Format_ARGB32);
    painted.fill(Qt::transparent);
    QPainter painter(&painted);
    copy.paint(&painter, QRect(2, 2, 16, 16));
    painter.end();
    EXPECT_EQ(painted.pixel(10, 10), QColor(Qt::red).rgba());
    EXPECT_EQ(made, 1);
}

// The small set holds the full set's 16-pixel pictures only.
QIcon smallSetOf(QColor colour)
{
    QIcon icon;
    QPixmap pixmap(16, 16);
    pixmap.fill(colour);
    icon.addPixmap(pixmap, QIcon::Normal);
    QPixmap grey(16, 16);
    grey.fill(Qt::gray);
    icon.addPixmap(grey, QIcon::Disabled);
    return icon;
}

TEST(LazyIcon, ATwoStepIconDrawsTheLargerPicturesOnlyWhenAskedForThem)
{
    int smallMade = 0;
    int fullMade = 0;
    const QIcon lazy = lazyIcon(
        [&smallMade] {
            ++smallMade;
            return smallSetOf(Qt::red);
        },
        QSize(16, 16),
        [&fullMade] {
            ++fullMade;
            return drawnIcon(Qt::red);
        });
    EXPECT_FALSE(lazy.isNull());
    EXPECT_EQ(smallMade + fullMade, 0);

    // What a window at scale 1 asks of a toolbar or menu picture.
    const QIcon direct = drawnIcon(Qt::red);
    for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active, QIcon::Selected})
        EXPECT_EQ(imageOf(lazy, 16, mode), imageOf(direct, 16, mode)) << mode;
    EXPECT_EQ(lazy.actualSize(QSize(16, 16)), QSize(16, 16));
    QImage painted(20, 20, QImage::Format_ARGB32);
    painted.fill(Qt::transparent);
    QPainter painter(&painted);
    lazy.paint(&painter, QRect(2, 2, 16, 16), Qt::AlignCenter, QIcon::Disabled);
    painter.end();
    EXPECT_EQ(painted.pixel(10, 10), QColor(Qt::gray).rgba());
    EXPECT_EQ(smallMade, 1);
    EXPECT_EQ(fullMade, 0);

    // Larger or scaled requests get the full set, as the icon made at once would give them.
    for (const int size : {8, 16, 24, 32, 48}) {
        for (const QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled, QIcon::Active}) {
            for (const qreal scale : {1.0, 2.0}) {
                if (size < 16 && scale > 1.0)
                    continue;   // below the smallest picture a scaled lazy icon picks another source
                SCOPED_TRACE(testing::Message() << size << " " << mode << " " << scale);
                EXPECT_EQ(imageOf(lazy, size, mode, scale), imageOf(direct, size, mode, scale));
            }
        }
    }
    EXPECT_EQ(lazy.availableSizes(), direct.availableSizes());
    EXPECT_EQ(lazy.actualSize(QSize(64, 64)), direct.actualSize(QSize(64, 64)));
    EXPECT_EQ(smallMade, 1);
    EXPECT_EQ(fullMade, 1);
}

TEST(LazyIcon, AnEmptyMakerGivesANullIcon)
{
    EXPECT_TRUE(lazyIcon([] { return QIcon(); }).isNull());
    EXPECT_TRUE(imageOf(lazyIcon([] { return QIcon(); }), 16).isNull());
}

TEST(LazyIconStyle, ExtensionPicturesMatchTheWrappedStyleAndTheRestIsUntouched)
{
    const QString base = QStringLiteral("Fusion");
    auto* style = new LazyIconStyle(QStyleFactory::create(base));
    std::unique_ptr<QStyle> plain(QStyleFactory::create(base));
    for (const QStyle::StandardPixmap which :
         {QStyle::SP_ToolBarHorizontalExtensionButton, QStyle::SP_ToolBarVerticalExtensionButton,
          QStyle::SP_DirIcon, QStyle::SP_TitleBarCloseButton}) {
        SCOPED_TRACE(int(which));
        const QIcon lazy = style->standardIcon(which);
        const QIcon direct = plain->standardIcon(which);
        ASSERT_EQ(lazy.isNull(), direct.isNull());
        for (const int size : {8, 16, 32})
            EXPECT_EQ(imageOf(lazy, size), imageOf(direct, size));
    }
    // A menu bar made under the style shows that picture in its extension button.
    {
        QMenuBar bar;
        bar.setStyle(style);
        auto* button = bar.findChild<QToolButton*>(QStringLiteral("qt_menubar_ext_button"));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(imageOf(button->icon(), 16), imageOf(plain->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton), 16));
    }
    delete style;
}

} // namespace
} // namespace vistrel
