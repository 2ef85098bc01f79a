#include "widgets/image_lists.h"

#include <algorithm>
#include <future>
#include <map>
#include <memory>
#include <mutex>

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QThreadPool>

#include "core/thread_priority.h"
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

// A drawing at one size, in colour and in its grey form.
struct Pictures {
    QImage colour;
    QImage grey;
};

Pictures picturesOf(images::Drawing drawing, int size)
{
    Pictures pictures{render(drawing, size), QImage()};
    pictures.grey = greyed(pictures.colour);
    return pictures;
}

// Both lists' pictures at the list's size, drawn ahead on a worker thread (images, unlike pixmaps, may be
// painted on any thread); empty until prepareImageLists() is called.
using PreparedPictures = std::map<images::Drawing, Pictures>;

std::shared_future<PreparedPictures>& preparedPictures()
{
    static std::shared_future<PreparedPictures> prepared;
    return prepared;
}

constexpr int kApplicationIconSizes[] = {16, 24, 32, 48, 64, 128, 256};

QList<QImage> applicationImages()
{
    QList<QImage> images;
    for (const int size : kApplicationIconSizes)
        images.append(render(images::drawApplication, size));
    return images;
}

QIcon iconFromImages(const QList<QImage>& images)
{
    QIcon icon;
    for (const QImage& image : images)
        icon.addPixmap(QPixmap::fromImage(image));
    return icon;
}

std::once_flag preparedOnce;

// The drawing's prepared pictures, waiting for the worker if it is still at them; null without them.
const Pictures* preparedPicturesOf(images::Drawing drawing)
{
    const std::shared_future<PreparedPictures>& prepared = preparedPictures();
    if (!prepared.valid())
        return nullptr;
    const PreparedPictures& all = prepared.get();
    const auto found = all.find(drawing);
    return found == all.end() ? nullptr : &found->second;
}

// The pictures of one drawing at the list's size and, with `large`, at twice that size for scaled
// screens: in colour with its grey form for the disabled look, or (`grey`) in grey for both.
QIcon iconSetOf(images::Drawing drawing, bool grey, bool large)
{
    QIcon icon;
    for (const int size : kSizes) {
        if (size > kImageListIconSize && !large)
            break;
        const Pictures* ready = size == kImageListIconSize ? preparedPicturesOf(drawing) : nullptr;
        const Pictures pictures = ready ? *ready : picturesOf(drawing, size);
        const QPixmap disabled = QPixmap::fromImage(pictures.grey);
        icon.addPixmap(grey ? disabled : QPixmap::fromImage(pictures.colour), QIcon::Normal);
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

void prepareImageLists()
{
    std::call_once(preparedOnce, [] {
        preparedPictures() = std::async(std::launch::async, [] {
            // Below the GUI thread, which builds the window meanwhile.
            lowerThisThreadPriority();
            PreparedPictures pictures;
            for (int index = 0; index < kImageList1Count; index += 2)
                pictures.try_emplace(images::toolbarDrawing(index), picturesOf(images::toolbarDrawing(index), kImageListIconSize));
            for (int index = 0; index < kImageList2Count; ++index)
                pictures.try_emplace(images::statusDrawing(index), picturesOf(images::statusDrawing(index), kImageListIconSize));
            return pictures;
        }).share();
    });
}

QIcon applicationIcon()
{
    return iconFromImages(applicationImages());
}

void drawApplicationIconAhead(QObject* receiver, std::function<void(const QIcon&)> take)
{
    // The worker hands the pictures over only while the receiver lives: its end clears the pointer
    // under the same lock, and the events posted to it go with it.
    struct Handover {
        std::mutex mutex;
        QObject* receiver = nullptr;
    };
    const auto handover = std::make_shared<Handover>();
    handover->receiver = receiver;
    QObject::connect(receiver, &QObject::destroyed, [handover] {
        const std::lock_guard lock(handover->mutex);
        handover->receiver = nullptr;
    });
    QThreadPool::globalInstance()->start([handover, take = std::move(take)] {
        const QList<QImage> images = applicationImages();
        const std::lock_guard lock(handover->mutex);
        if (handover->receiver)
            QMetaObject::invokeMethod(handover->receiver, [take, images] { take(iconFromImages(images)); }, Qt::QueuedConnection);
    });
}

} // namespace vistrel
