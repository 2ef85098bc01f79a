#pragma once
// The program's own pictures, drawn in code: the toolbar/menu image list (37 images of 16 x 16),
// the status-pane image list (6 images of 16 x 16) and the window icon. Call with a
// QGuiApplication running.

#include <QIcon>
#include <QList>
#include <QObject>

#include <functional>

namespace vistrel {

inline constexpr int kImageList1Count = 37;
inline constexpr int kImageList2Count = 6;
inline constexpr int kImageListIconSize = 16;

// Indexes into imageList1(); each odd index holds the disabled (grey) form of the even index
// before it, which the even image also carries as its QIcon::Disabled pixmap.
enum ImageIndex1 : int {
    kImageAbout = 0,
    kImageHelpMenu = 2,
    kImageHomePage = 4,
    kImageFavorites = 6,
    kImageConfig = 8,
    kImageQuit = 10,
    kImageManager = 12,
    kImageUp = 14,
    kImageUpDisabled = 15,
    kImageHelp = 16,
    kImageBack = 18,
    kImageBackDisabled = 19,
    kImageForward = 20,
    kImageForwardDisabled = 21,
    kImageFolder = 22,
    kImageRewind = 24,
    kImageBackStep = 26,
    kImagePlay = 28,
    kImageStop = 30,
    kImageForwardStep = 32,
    kImageScale = 34,
    kImageQuality = 36,
};

// Status panes, in pane order: version, compression, frame size, frame rate, frame count, file size.
enum ImageIndex2 : int {
    kGlyphVersion = 0,
    kGlyphCompression = 1,
    kGlyphFrameSize = 2,
    kGlyphFrameRate = 3,
    kGlyphFrameCount = 4,
    kGlyphFileSize = 5,
};

// Starts drawing both lists' pictures at the list's size on a worker thread, so the first paint finds
// them made; without it each is drawn when first asked for. Call on the GUI thread once the application
// object exists.
void prepareImageLists();
QList<QIcon> imageList1();
QList<QIcon> imageList2();
QIcon applicationIcon();
// Draws the window icon on a worker thread and gives it to `take` on the receiver's (GUI) thread, unless
// the receiver is gone by then. Call on the GUI thread.
void drawApplicationIconAhead(QObject* receiver, std::function<void(const QIcon&)> take);
// The file views' pictures where the desktop's icon theme has none: a folder, and a movie file.
QIcon folderIcon();
QIcon movieFileIcon();

} // namespace vistrel
