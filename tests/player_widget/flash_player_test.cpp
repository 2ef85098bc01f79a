// The player control: property puts, playback commands, zoom and scale, drawing on demand.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

#include <QApplication>
#include <QPaintEvent>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "widgets/player/flash_player.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
using vistrel::ShockwaveFlash;

namespace {

// A 100x100 pixel movie, green background, frames 1-3 showing a red square at x = 0, 20, 40 px.
sw::Bytes threeFrameMovie(double rate = 60) {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    spec.frameRate = rate;
    spec.frameCount = 3;
    return sw::movie(spec, {sw::setBackgroundColor(0x00ff00), sw::rectangleShape(1, 0, 0, 400, 400, 0xff0000ff),
                            sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(),
                            sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(400, 0)}), sw::showFrame(),
                            sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(800, 0)}), sw::showFrame()});
}

class FlashPlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_flash = std::make_unique<ShockwaveFlash>();
        m_flash->resize(100, 100);
    }

    QString write(const sw::Bytes& bytes, const QString& name = QStringLiteral("movie.swf")) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }

    QRgb pixel(int x, int y) { return m_flash->renderFrame(QSize(100, 100)).pixel(x, y); }

    QTemporaryDir m_dir;
    std::unique_ptr<ShockwaveFlash> m_flash;
};

}  // namespace

TEST_F(FlashPlayerTest, InitialState) {
    EXPECT_EQ(m_flash->quality(), "HIGH");
    EXPECT_EQ(m_flash->scaleMode(), "ShowAll");
    EXPECT_DOUBLE_EQ(m_flash->zoomFactor(), 1.0);
    EXPECT_FALSE(m_flash->isPlaying());
    EXPECT_EQ(m_flash->frameCount(), 1);
}

TEST_F(FlashPlayerTest, LoadsAndPlaysLooping) {
    m_flash->putMovie(write(threeFrameMovie()));
    EXPECT_TRUE(m_flash->isPlaying());
    EXPECT_EQ(m_flash->frameCount(), 3);
    EXPECT_EQ(m_flash->currentFrame(), 1);
    QSignalSpy spy(m_flash.get(), &ShockwaveFlash::frameChanged);
    // Frames 2, 3, then back to 1.
    EXPECT_TRUE(QTest::qWaitFor([&] { return spy.size() >= 3; }, 5000));
    EXPECT_EQ(spy.at(0).at(0).toInt(), 2);
    EXPECT_EQ(spy.at(1).at(0).toInt(), 3);
    EXPECT_EQ(spy.at(2).at(0).toInt(), 1);
}

TEST_F(FlashPlayerTest, MissingOrBrokenFilesShowAnEmptyStage) {
    EXPECT_NO_THROW(m_flash->putMovie(m_dir.filePath("absent.swf")));
    EXPECT_EQ(m_flash->frameCount(), 1);
    EXPECT_EQ(pixel(50, 50), qRgb(255, 255, 255));
    sw::Bytes broken = threeFrameMovie();
    broken.resize(40);
    EXPECT_NO_THROW(m_flash->putMovie(write(broken, QStringLiteral("broken.swf"))));
    EXPECT_EQ(pixel(90, 90), qRgb(0, 255, 0));   // what could be read: the background
}

TEST_F(FlashPlayerTest, StepCommandsStopAndMoveOneFrame) {
    m_flash->putMovie(write(threeFrameMovie(1)));
    m_flash->Stop();
    EXPECT_FALSE(m_flash->isPlaying());
    EXPECT_EQ(pixel(10, 10), qRgb(255, 0, 0));
    m_flash->Forward();
    EXPECT_EQ(m_flash->currentFrame(), 2);
    EXPECT_EQ(pixel(30, 10), qRgb(255, 0, 0));
    EXPECT_EQ(pixel(10, 10), qRgb(0, 255, 0));
    m_flash->Forward();
    m_flash->Forward();   // the last frame is as far as it goes
    EXPECT_EQ(m_flash->currentFrame(), 3);
    m_flash->Back();
    EXPECT_EQ(m_flash->currentFrame(), 2);
    EXPECT_EQ(pixel(30, 10), qRgb(255, 0, 0));
    m_flash->Play();
    EXPECT_TRUE(m_flash->isPlaying());
    m_flash->Rewind();
    EXPECT_FALSE(m_flash->isPlaying());
    EXPECT_EQ(m_flash->currentFrame(), 1);
    m_flash->Back();
    EXPECT_EQ(m_flash->currentFrame(), 1);
}

TEST_F(FlashPlayerTest, QualityPuts) {
    m_flash->putQuality2(QStringLiteral("low"));
    EXPECT_EQ(m_flash->quality(), "LOW");
    m_flash->putQuality2(QStringLiteral("Best"));
    EXPECT_EQ(m_flash->quality(), "BEST");
    m_flash->putQuality(1);
    EXPECT_EQ(m_flash->quality(), "HIGH");
    m_flash->putQuality(2);
    EXPECT_EQ(m_flash->quality(), "AUTOLOW");
    EXPECT_THROW(m_flash->putQuality(7), std::runtime_error);
    EXPECT_THROW(m_flash->putQuality2(QStringLiteral("ULTRA")), std::runtime_error);
    EXPECT_EQ(m_flash->quality(), "AUTOLOW");   // a refused value changes nothing
}

TEST_F(FlashPlayerTest, BackgroundColourPuts) {
    m_flash->putMovie(write(threeFrameMovie()));
    m_flash->putBGColor(QStringLiteral("FF8000"));
    EXPECT_EQ(pixel(90, 90), qRgb(255, 128, 0));
    m_flash->putBGColor(QStringLiteral("255"));
    EXPECT_EQ(pixel(90, 90), qRgb(0, 0, 255));
    m_flash->putBGColor(QStringLiteral("-1"));
    EXPECT_EQ(pixel(90, 90), qRgb(0, 255, 0));
    EXPECT_THROW(m_flash->putBGColor(QStringLiteral("bluish")), std::runtime_error);
    EXPECT_THROW(m_flash->putBGColor(QStringLiteral("99999999")), std::runtime_error);
}

TEST_F(FlashPlayerTest, ZoomAndScale) {
    m_flash->putMovie(write(threeFrameMovie()));
    m_flash->Stop();
    m_flash->Zoom(50);
    EXPECT_DOUBLE_EQ(m_flash->zoomFactor(), 2.0);
    EXPECT_EQ(pixel(5, 5), qRgb(0, 255, 0));    // the corner square moved out of view
    m_flash->Zoom(50);
    m_flash->Zoom(200);
    EXPECT_DOUBLE_EQ(m_flash->zoomFactor(), 2.0);
    m_flash->Zoom(0);
    EXPECT_DOUBLE_EQ(m_flash->zoomFactor(), 1.0);
    EXPECT_EQ(pixel(5, 5), qRgb(255, 0, 0));
    EXPECT_THROW(m_flash->Zoom(-5), std::runtime_error);

    m_flash->putScale(QStringLiteral("NoScale"));
    EXPECT_EQ(m_flash->scaleMode(), "NoScale");
    const QImage big = m_flash->renderFrame(QSize(300, 300));
    EXPECT_EQ(big.pixel(105, 105), qRgb(255, 0, 0));   // 1:1, centred
    EXPECT_EQ(big.pixel(125, 105), qRgb(0, 255, 0));
    EXPECT_THROW(m_flash->putScale(QStringLiteral("Stretch")), std::runtime_error);
    m_flash->Zoom(0);
    EXPECT_EQ(m_flash->scaleMode(), "ShowAll");
}

TEST_F(FlashPlayerTest, PaintsOnDemandAndReusesUnchangedFrames) {
    m_flash->putMovie(write(threeFrameMovie()));
    m_flash->Stop();
    QSignalSpy rendered(m_flash.get(), &ShockwaveFlash::frameRendered);
    m_flash->show();
    m_flash->doVerbShow();
    EXPECT_TRUE(rendered.wait(5000));
    const int count = rendered.size();
    m_flash->repaint();
    EXPECT_EQ(rendered.size(), count);   // nothing changed: the cached frame is drawn
    m_flash->Forward();
    m_flash->repaint();
    EXPECT_EQ(rendered.size(), count + 1);
    EXPECT_EQ(m_flash->lastFrame().pixel(30, 10), qRgb(255, 0, 0));
    m_flash->resize(200, 200);
    m_flash->repaint();
    EXPECT_EQ(m_flash->lastFrame().size(), QSize(200, 200));
}

TEST_F(FlashPlayerTest, AFrameCutShortWhilePlayingIsShownAsFarAsItGot) {
    // While `slow` holds, every reading of the drawing clock is an hour after the last, so drawing stops
    // at the first shape: only the green background is drawn. Otherwise time stands still.
    auto slow = std::make_shared<std::atomic<bool>>(false);
    auto hours = std::make_shared<std::atomic<long>>(0);
    m_flash->setDrawClock([slow, hours] {
        return std::chrono::steady_clock::time_point(std::chrono::hours(*slow ? hours->fetch_add(1) : hours->load()));
    });
    m_flash->putMovie(write(threeFrameMovie()));
    m_flash->Stop();
    QSignalSpy rendered(m_flash.get(), &ShockwaveFlash::frameRendered);
    m_flash->show();
    ASSERT_TRUE(rendered.wait(5000));
    ASSERT_EQ(pixel(10, 10), qRgb(255, 0, 0));

    // The next frame is cut short by the tick that moves to it; time is plentiful again for the paint
    // that follows, which must show the picture as far as it got instead of drawing the frame again
    // (the window would wait for a second draw).
    bool moved = false;
    QImage shown;
    QObject::connect(m_flash.get(), &ShockwaveFlash::frameChanged, m_flash.get(), [&] {
        if (moved) return;
        moved = true;
        *slow = false;
        m_flash->Stop();
    });
    QObject::connect(m_flash.get(), &ShockwaveFlash::frameRendered, m_flash.get(), [&] {
        if (moved && shown.isNull()) shown = m_flash->lastFrame();
    });
    *slow = true;
    m_flash->Play();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !shown.isNull(); }, 5000));
    EXPECT_EQ(m_flash->currentFrame(), 2);
    EXPECT_EQ(shown.pixel(30, 10), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(10, 10), qRgb(0, 255, 0));
    // A later paint draws it whole.
    m_flash->repaint();
    EXPECT_EQ(m_flash->lastFrame().pixel(30, 10), qRgb(255, 0, 0));
    EXPECT_EQ(m_flash->lastFrame(), m_flash->renderFrame(m_flash->size()));
}

TEST_F(FlashPlayerTest, PlayingAsksToRepaintOnlyWhatEachFrameChanged) {
    // Paint events the pane receives: their areas, and whether each was the whole pane.
    struct PaintSpy : QObject {
        std::vector<QRect> rects;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint) rects.push_back(static_cast<QPaintEvent*>(event)->region().boundingRect());
            return false;
        }
    } paints;
    m_flash->installEventFilter(&paints);
    m_flash->putMovie(write(threeFrameMovie()));
    m_flash->show();
    QSignalSpy frames(m_flash.get(), &ShockwaveFlash::frameChanged);
    QSignalSpy rendered(m_flash.get(), &ShockwaveFlash::frameRendered);
    ASSERT_TRUE(QTest::qWaitFor([&] { return frames.size() >= 6 && rendered.size() >= 6; }, 5000));
    m_flash->Stop();
    QTest::qWait(50);
    // The 20 px square moves 20 px a frame in a 100 px pane: a frame's change, its edges' soft pixels
    // included, lies within 64 x 24 pixels.
    int small = 0;
    for (const QRect& r : paints.rects)
        if (r.width() <= 64 && r.height() <= 24) ++small;
    EXPECT_GE(small, 3);
    // The picture on screen is the whole frame all the same.
    EXPECT_EQ(m_flash->lastFrame(), m_flash->renderFrame(m_flash->size()));
}
