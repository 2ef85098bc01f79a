// The player control under a modal dialog of its window: the nested event loop of the dialog
// keeps the movie playing and the control painting its frames.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "widgets/player/flash_player.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
using vistrel::ShockwaveFlash;

namespace {

// A 100x100 pixel movie on green: a red square that moves right by 20 px a frame, three frames.
sw::Bytes movingSquare() {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    spec.frameRate = 30;
    spec.frameCount = 3;
    return sw::movie(spec, {sw::setBackgroundColor(0x00ff00), sw::rectangleShape(1, 0, 0, 400, 400, 0xff0000ff),
                            sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(),
                            sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(400, 0)}), sw::showFrame(),
                            sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(800, 0)}), sw::showFrame()});
}

}  // namespace

TEST(FlashPlayerUnderModalDialog, KeepsPlayingAndPainting) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("moving.swf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const sw::Bytes bytes = movingSquare();
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    QWidget window;
    window.resize(100, 100);
    auto* flash = new ShockwaveFlash(&window);
    flash->resize(100, 100);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    flash->putMovie(path);

    QDialog dialog(&window);
    dialog.resize(40, 40);
    bool played = false;
    QImage shown;
    QTimer::singleShot(0, &dialog, [&] {
        // Inside the dialog's own event loop.
        QSignalSpy frames(flash, &ShockwaveFlash::frameChanged);
        QSignalSpy renders(flash, &ShockwaveFlash::frameRendered);
        played = QTest::qWaitFor([&] { return frames.count() >= 3 && renders.count() >= 3; }, 10000);
        shown = flash->lastFrame();
        dialog.accept();
    });
    dialog.exec();
    EXPECT_TRUE(played);
    ASSERT_FALSE(shown.isNull());
    // A frame of the movie, not an empty stage: green with the red square somewhere on row 10.
    EXPECT_EQ(shown.pixel(90, 90), 0xff00ff00);
    bool square = false;
    for (int x = 0; x < shown.width(); ++x) square = square || shown.pixel(x, 10) == 0xffff0000;
    EXPECT_TRUE(square);
}
