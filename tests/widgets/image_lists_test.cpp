// The drawn image lists: counts, sizes, distinct pictures and the grey disabled forms.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QThreadPool>
#include <QSet>

#include "widgets/image_lists.h"

namespace vistrel {
namespace {

QImage imageOf(const QIcon& icon, QIcon::Mode mode = QIcon::Normal)
{
    return icon.pixmap(QSize(kImageListIconSize, kImageListIconSize), 1.0, mode).toImage().convertToFormat(QImage::Format_ARGB32);
}

int opaquePixels(const QImage& image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
    return count;
}

bool isGrey(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qAlpha(p) > 0 && (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)))
                return false;
        }
    return true;
}

TEST(ImageListsTest, ListsHoldTheirCountOfSixteenPixelImages)
{
    const QList<QIcon> first = imageList1();
    const QList<QIcon> second = imageList2();
    ASSERT_EQ(first.size(), 37);
    ASSERT_EQ(second.size(), 6);
    for (const QList<QIcon>* list : {&first, &second}) {
        for (qsizetype i = 0; i < list->size(); ++i) {
            const QImage image = imageOf(list->at(i));
            EXPECT_EQ(image.size(), QSize(16, 16)) << i;
            EXPECT_GT(opaquePixels(image), 20) << "image " << i << " is blank";
        }
    }
    EXPECT_FALSE(applicationIcon().isNull());
    EXPECT_GT(opaquePixels(applicationIcon().pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32)), 200);
}

TEST(ImageListsTest, EveryPictureIsDistinct)
{
    QSet<QByteArray> seen;
    const auto add = [&](const QIcon& icon, const char* list, qsizetype index) {
        const QImage image = imageOf(icon);
        const QByteArray bytes(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes());
        EXPECT_FALSE(seen.contains(bytes)) << list << " image " << index << " repeats another";
        seen.insert(bytes);
    };
    const QList<QIcon> first = imageList1();
    for (qsizetype i = 0; i < first.size(); i += 2)
        add(first[i], "toolbar", i);
    const QList<QIcon> second = imageList2();
    for (qsizetype i = 0; i < second.size(); ++i)
        add(second[i], "status", i);
}

TEST(ImageListsTest, OddIndexesAreGreyFormsOfTheImageBefore)
{
    const QList<QIcon> list = imageList1();
    for (qsizetype i = 1; i < list.size(); i += 2) {
        const QImage normal = imageOf(list[i - 1]);
        const QImage disabled = imageOf(list[i]);
        EXPECT_FALSE(isGrey(normal)) << "image " << i - 1 << " has no colour";
        EXPECT_TRUE(isGrey(disabled)) << "image " << i;
        EXPECT_EQ(opaquePixels(disabled), opaquePixels(normal)) << "image " << i << " has another shape";
        // A disabled button showing the even image shows the same grey form.
        EXPECT_EQ(imageOf(list[i - 1], QIcon::Disabled), disabled) << i;
    }
}

TEST(ImageListsTest, PicturesDrawnAheadOnAWorkerMatchThoseDrawnWhenShown)
{
    // Every picture, in both modes, as the lists give it: drawn when shown, then drawn ahead.
    const auto allPictures = [] {
        QList<QImage> pictures;
        for (const QList<QIcon>& list : {imageList1(), imageList2()})
            for (const QIcon& icon : list)
                pictures << imageOf(icon) << imageOf(icon, QIcon::Disabled);
        return pictures;
    };
    const QList<QImage> drawnWhenShown = allPictures();
    prepareImageLists();
    prepareImageLists();   // a second call changes nothing
    const QList<QImage> drawnAhead = allPictures();
    ASSERT_EQ(drawnAhead.size(), drawnWhenShown.size());
    for (qsizetype i = 0; i < drawnAhead.size(); ++i)
        EXPECT_EQ(drawnAhead[i], drawnWhenShown[i]) << "picture " << i;
    // The larger pictures of scaled screens are still drawn when asked for.
    const QIcon play = imageList1().at(kImagePlay);
    EXPECT_EQ(play.pixmap(QSize(32, 32), 1.0).size(), QSize(32, 32));
    EXPECT_EQ(play.pixmap(QSize(16, 16), 2.0).size(), QSize(32, 32));
}

QList<QImage> iconPictures(const QIcon& icon)
{
    QList<QImage> pictures;
    for (const int size : {16, 24, 32, 48, 64, 128, 256})
        pictures << icon.pixmap(size, size).toImage().convertToFormat(QImage::Format_ARGB32);
    return pictures;
}

TEST(ImageListsTest, WindowIconDrawnAheadReachesAReceiverThatLivesOnly)
{
    const QList<QImage> drawnWhenAsked = iconPictures(applicationIcon());
    ASSERT_EQ(drawnWhenAsked.size(), 7);

    QObject receiver;
    int handed = 0;
    QIcon received;
    drawApplicationIconAhead(&receiver, [&](const QIcon& icon) {
        ++handed;
        received = icon;
    });
    // Handed over on the receiver's thread: nothing before its events are processed.
    QThreadPool::globalInstance()->waitForDone();
    EXPECT_EQ(handed, 0);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(handed, 1);
    const QList<QImage> drawnAhead = iconPictures(received);
    ASSERT_EQ(drawnAhead.size(), drawnWhenAsked.size());
    for (qsizetype i = 0; i < drawnAhead.size(); ++i)
        EXPECT_EQ(drawnAhead[i], drawnWhenAsked[i]) << "size " << drawnAhead[i].width();

    // A receiver gone before the pictures are made, or before they are handed over, gets nothing.
    auto* early = new QObject;
    auto* late = new QObject;
    int handedToGone = 0;
    drawApplicationIconAhead(early, [&](const QIcon&) { ++handedToGone; });
    delete early;
    drawApplicationIconAhead(late, [&](const QIcon&) { ++handedToGone; });
    QThreadPool::globalInstance()->waitForDone();
    delete late;
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(handedToGone, 0);
}

} // namespace
} // namespace vistrel
