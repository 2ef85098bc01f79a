// The player pane as the user meets it: mouse and keys handed to the movie in stage pixels, the
// pointer's shape, dragging and scrolling an enlarged movie, and the note over a movie it cannot show.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "widgets/player/flash_player.h"
#include "widgets/player/movie_note.h"
#include "player/movie.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
using vistrel::MovieInput;
using vistrel::MovieNote;
using vistrel::ShockwaveFlash;
namespace pl = vistrel::player;

namespace {

// Records what the pane tells the movie; the pointer shape and key interest are set by the test.
class RecordingInput : public MovieInput {
public:
    struct Call {
        std::string what;
        QPointF at;
        int value = 0;
    };
    void mouseMove(QPointF p) override { calls.push_back({"move", p}); }
    void mouseDown(QPointF p, pl::MouseButton b) override { calls.push_back({"down", p, static_cast<int>(b)}); }
    void mouseUp(QPointF p, pl::MouseButton b) override { calls.push_back({"up", p, static_cast<int>(b)}); }
    void mouseWheel(QPointF p, int lines) override { calls.push_back({"wheel", p, lines}); }
    void mouseLeave() override { calls.push_back({"leave", {}}); }
    void keyDown(pl::KeyEvent key) override { keys.push_back({"keyDown", key}); }
    void keyUp(pl::KeyEvent key) override { keys.push_back({"keyUp", key}); }
    void textInput(char32_t c) override { typed.push_back(c); }
    void textControl(pl::TextControl c) override { controls.push_back(c); }
    void focusChanged(bool gained) override { focus.push_back(gained); }
    void cancelPointerCapture() override { ++cancels; }
    pl::Cursor cursor() const override { return shape; }
    bool wantsKeys() const override { return takesKeys; }
    bool editingText() const override { return editing; }

    std::vector<Call> named(const std::string& what) const {
        std::vector<Call> out;
        for (const Call& c : calls)
            if (c.what == what) out.push_back(c);
        return out;
    }

    struct Key {
        std::string what;
        pl::KeyEvent key;
    };
    std::vector<Call> calls;
    std::vector<Key> keys;
    std::u32string typed;
    std::vector<pl::TextControl> controls;
    std::vector<bool> focus;
    int cancels = 0;
    pl::Cursor shape = pl::Cursor::Arrow;
    bool takesKeys = false;
    bool editing = false;
};

// A 100 x 50 pixel stage, three frames.
sw::Bytes wideMovie() {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 1000;
    spec.frameRate = 1;
    spec.frameCount = 3;
    sw::Bytes bytes = sw::movie(spec, {sw::setBackgroundColor(0x00ff00), sw::showFrame(), sw::showFrame(), sw::showFrame()});
    return bytes;
}

// A 100 x 100 pixel stage, blue everywhere.
sw::Bytes blueMovie() {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    spec.frameRate = 1;
    spec.frameCount = 2;
    return sw::movie(spec, {sw::setBackgroundColor(0x0000ff), sw::showFrame(), sw::showFrame()});
}

void expectNear(QPointF actual, QPointF expected) {
    EXPECT_NEAR(actual.x(), expected.x(), 0.01) << "x";
    EXPECT_NEAR(actual.y(), expected.y(), 0.01) << "y";
}

class PaneInputTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(m_window.get());
        layout->setContentsMargins(0, 0, 0, 0);
        m_other = new QLineEdit(m_window.get());
        layout->addWidget(m_other);
        m_flash = new ShockwaveFlash(m_window.get());
        m_flash->setFixedSize(200, 200);
        layout->addWidget(m_flash);
        m_window->show();
        m_window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get()));
    }

    // The pane goes before the recorder it talks to.
    void TearDown() override { m_window.reset(); }

    QString write(const QByteArray& bytes, const QString& name = QStringLiteral("movie.swf")) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return path;
    }
    QString write(const sw::Bytes& bytes, const QString& name = QStringLiteral("movie.swf")) {
        return write(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())), name);
    }
    void load(const sw::Bytes& bytes) {
        m_flash->putMovie(write(bytes));
        m_flash->Stop();
        m_flash->setMovieInput(&m_input);
    }

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    QLineEdit* m_other = nullptr;
    ShockwaveFlash* m_flash = nullptr;
    RecordingInput m_input;
};

}  // namespace

TEST_F(PaneInputTest, MouseReachesTheMovieInStagePixelsAtEveryScaleAndZoom) {
    load(blueMovie());
    // Show all: the 100 px stage fills the 200 px pane, two pane pixels to a stage pixel.
    QTest::mouseMove(m_flash, QPoint(100, 100));
    QTest::mousePress(m_flash, Qt::LeftButton, {}, QPoint(20, 40));
    QTest::mouseRelease(m_flash, Qt::LeftButton, {}, QPoint(30, 40));
    QTest::mousePress(m_flash, Qt::RightButton, {}, QPoint(200 - 1, 0));
    ASSERT_FALSE(m_input.named("move").empty());
    expectNear(m_input.named("move").back().at, {50, 50});
    ASSERT_EQ(m_input.named("down").size(), 2u);
    expectNear(m_input.named("down")[0].at, {10, 20});
    EXPECT_EQ(m_input.named("down")[0].value, static_cast<int>(pl::MouseButton::Left));
    expectNear(m_input.named("down")[1].at, {99.5, 0});
    EXPECT_EQ(m_input.named("down")[1].value, static_cast<int>(pl::MouseButton::Right));
    ASSERT_EQ(m_input.named("up").size(), 1u);
    expectNear(m_input.named("up")[0].at, {15, 20});

    // 100 %: one pane pixel to a stage pixel, the stage centred.
    m_flash->putScale(QStringLiteral("NoScale"));
    QTest::mousePress(m_flash, Qt::LeftButton, {}, QPoint(60, 70));
    expectNear(m_input.named("down").back().at, {10, 20});

    // Zoomed in twice from show all: eight pane pixels to a stage pixel around the centre.
    m_flash->Zoom(0);
    m_flash->Zoom(50);
    m_flash->Zoom(50);
    m_input.shape = pl::Cursor::Hand;   // over a button, so a press is the movie's
    QTest::mousePress(m_flash, Qt::LeftButton, {}, QPoint(140, 100));
    expectNear(m_input.named("down").back().at, {55, 50});

    // The corners of the pane are the stage's; a wide stage has bands above and below.
    m_flash->Zoom(0);
    expectNear(m_flash->stagePosition(QPointF(0, 0)), {0, 0});
    expectNear(m_flash->stagePosition(QPointF(200, 200)), {100, 100});
    load(wideMovie());
    expectNear(m_flash->stagePosition(QPointF(0, 50)), {0, 0});
    expectNear(m_flash->stagePosition(QPointF(200, 150)), {100, 50});
}

TEST_F(PaneInputTest, KeysFocusAndTheClipboardCommands) {
    load(blueMovie());
    // A click gives the pane the keyboard; the movie hears about it.
    m_other->setFocus();
    QApplication::processEvents();
    QTest::mouseClick(m_flash, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(m_flash->hasFocus());
    ASSERT_FALSE(m_input.focus.empty());
    EXPECT_TRUE(m_input.focus.back());

    QTest::keyClick(m_flash, Qt::Key_A, Qt::NoModifier);
    ASSERT_EQ(m_input.keys.size(), 2u);
    EXPECT_EQ(m_input.keys[0].what, "keyDown");
    const pl::KeyEvent expected = pl::keyEventFromQt(Qt::Key_A, QStringLiteral("a"));
    EXPECT_EQ(m_input.keys[0].key.code, expected.code);
    EXPECT_EQ(m_input.keys[0].key.ascii, expected.ascii);
    EXPECT_EQ(m_input.keys[1].what, "keyUp");
    EXPECT_EQ(m_input.typed, U"a");

    // Editing keys become editing commands and type nothing.
    m_input.typed.clear();
    QTest::keyClick(m_flash, Qt::Key_Left, Qt::NoModifier);
    QTest::keyClick(m_flash, Qt::Key_Left, Qt::ShiftModifier);
    QTest::keyClick(m_flash, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(m_flash, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(m_flash, Qt::Key_Delete, Qt::NoModifier);
    QTest::keyClick(m_flash, Qt::Key_Return, Qt::NoModifier);
    EXPECT_EQ(m_input.controls, (std::vector<pl::TextControl>{pl::TextControl::MoveLeft, pl::TextControl::SelectLeft,
                                                              pl::TextControl::Copy, pl::TextControl::Paste,
                                                              pl::TextControl::Delete, pl::TextControl::Enter}));
    EXPECT_TRUE(m_input.typed.empty());
    // Each of them still reached the movie as a key, and so did the Shift and Ctrl held with three.
    EXPECT_EQ(m_input.keys.size(), 2u + 2u * (6u + 3u));

    // Focus leaving the pane is reported.
    m_other->setFocus();
    QApplication::processEvents();
    EXPECT_FALSE(m_input.focus.back());
}

TEST_F(PaneInputTest, TabStaysWithAMovieThatTakesKeys) {
    load(blueMovie());
    m_flash->setFocus();
    QApplication::processEvents();
    m_input.takesKeys = true;
    QTest::keyClick(m_flash, Qt::Key_Tab);
    EXPECT_TRUE(m_flash->hasFocus());
    EXPECT_EQ(m_input.keys.size(), 2u);

    m_input.takesKeys = false;
    QTest::keyClick(m_flash, Qt::Key_Tab);
    EXPECT_FALSE(m_flash->hasFocus());
}

TEST_F(PaneInputTest, StepsAndRewindLetGoOfThePointer) {
    load(wideMovie());
    m_flash->Forward();
    m_flash->Forward();
    EXPECT_EQ(m_input.cancels, 2);
    m_flash->Back();
    m_flash->Rewind();
    EXPECT_EQ(m_input.cancels, 4);
    EXPECT_EQ(m_flash->currentFrame(), 1);
}

TEST_F(PaneInputTest, PointerShapeFollowsTheMovieAndTheZoom) {
    load(blueMovie());
    QTest::mouseMove(m_flash, QPoint(50, 50));
    EXPECT_EQ(m_flash->cursor().shape(), Qt::ArrowCursor);
    m_input.shape = pl::Cursor::Hand;
    QTest::mouseMove(m_flash, QPoint(52, 50));
    EXPECT_EQ(m_flash->cursor().shape(), Qt::PointingHandCursor);
    m_input.shape = pl::Cursor::IBeam;
    QTest::mouseMove(m_flash, QPoint(54, 50));
    EXPECT_EQ(m_flash->cursor().shape(), Qt::IBeamCursor);

    // Enlarged, the movie can be dragged wherever it does not react to the pointer itself.
    m_flash->Zoom(50);
    m_input.shape = pl::Cursor::Arrow;
    QTest::mouseMove(m_flash, QPoint(56, 50));
    EXPECT_EQ(m_flash->cursor().shape(), Qt::OpenHandCursor);
    m_input.shape = pl::Cursor::Hand;
    QTest::mouseMove(m_flash, QPoint(58, 50));
    EXPECT_EQ(m_flash->cursor().shape(), Qt::PointingHandCursor);
    m_input.shape = pl::Cursor::Arrow;
    m_flash->Zoom(0);
    QTest::mouseMove(m_flash, QPoint(60, 50));
    EXPECT_EQ(m_flash->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(PaneInputTest, AnEnlargedMovieIsDraggedAndScrolledWithinItsStage) {
    load(blueMovie());
    EXPECT_FALSE(m_flash->canPan());
    m_flash->Zoom(50);   // the 100 px stage now covers 400 pane pixels
    ASSERT_TRUE(m_flash->canPan());
    const QPointF before = m_flash->stagePosition(QPointF(100, 100));

    QTest::mousePress(m_flash, Qt::LeftButton, {}, QPoint(100, 100));
    QTest::mouseMove(m_flash, QPoint(60, 90));
    QTest::mouseRelease(m_flash, Qt::LeftButton, {}, QPoint(60, 90));
    expectNear(m_flash->panOffset(), {-40, -10});
    // The drag was the viewer's: the movie saw no press and no release.
    EXPECT_TRUE(m_input.named("down").empty());
    EXPECT_TRUE(m_input.named("up").empty());
    // The point under the pane's centre moved with it (four pane pixels to a stage pixel).
    expectNear(m_flash->stagePosition(QPointF(100, 100)), before + QPointF(10, 2.5));

    // A drag far past the edge stops where the stage's edge meets the pane's.
    QTest::mousePress(m_flash, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(m_flash, QPoint(190, 190));
    QTest::mouseMove(m_flash, QPoint(199, 199));
    QTest::mouseRelease(m_flash, Qt::LeftButton, {}, QPoint(199, 199));
    expectNear(m_flash->stagePosition(QPointF(0, 0)), {0, 0});
    m_flash->panBy(QPointF(-10000, -10000));
    expectNear(m_flash->stagePosition(QPointF(200, 200)), {100, 100});

    // The wheel scrolls: down shows more of the bottom, with Shift it goes sideways.
    const QPointF scrolled = m_flash->panOffset();
    QWheelEvent up(QPointF(100, 100), m_flash->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_flash, &up);
    EXPECT_GT(m_flash->panOffset().y(), scrolled.y());
    EXPECT_DOUBLE_EQ(m_flash->panOffset().x(), scrolled.x());
    QWheelEvent sideways(QPointF(100, 100), m_flash->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, 120),
                         Qt::NoButton, Qt::ShiftModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_flash, &sideways);
    EXPECT_GT(m_flash->panOffset().x(), scrolled.x());
    EXPECT_TRUE(m_input.named("wheel").empty());

    // Show all brings the whole stage back, whatever the panning did.
    m_flash->Zoom(0);
    expectNear(m_flash->panOffset(), {0, 0});
    expectNear(m_flash->stagePosition(QPointF(0, 0)), {0, 0});
    EXPECT_FALSE(m_flash->canPan());

    // Unzoomed, the wheel is the movie's: a notch is three lines.
    QWheelEvent down(QPointF(100, 100), m_flash->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120),
                     Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_flash, &down);
    ASSERT_EQ(m_input.named("wheel").size(), 1u);
    EXPECT_EQ(m_input.named("wheel")[0].value, -3);
    expectNear(m_input.named("wheel")[0].at, {50, 50});

    // 100 % on a stage larger than the pane pans as well, and is drawn where the pan puts it.
    m_flash->setFixedSize(50, 50);
    QApplication::processEvents();
    m_flash->putScale(QStringLiteral("NoScale"));
    EXPECT_TRUE(m_flash->canPan());
    m_flash->panBy(QPointF(1000, 1000));
    expectNear(m_flash->stagePosition(QPointF(0, 0)), {0, 0});
}

TEST(MovieNoteTest, TellsWhatKindOfFileCannotBeShown) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto note = [&](const QByteArray& bytes) {
        const QString path = dir.filePath(QStringLiteral("f.swf"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        return vistrel::movieNoteFor(*pl::Movie::fromFile(path), bytes.left(8));
    };
    const sw::Bytes good = blueMovie();
    const QByteArray goodBytes(reinterpret_cast<const char*>(good.data()), static_cast<qsizetype>(good.size()));
    EXPECT_EQ(note(goodBytes), MovieNote::None);
    EXPECT_EQ(note(QByteArray()), MovieNote::Empty);
    EXPECT_EQ(note(QByteArray("<html><body>not this</body></html>")), MovieNote::NotAMovie);
    EXPECT_EQ(note(QByteArray("PK\x03\x04 archive bytes")), MovieNote::NotAMovie);
    EXPECT_EQ(note(goodBytes.left(2)), MovieNote::Incomplete);
    EXPECT_EQ(note(goodBytes.left(12)), MovieNote::Incomplete);
    // Cut inside its tags: shown as far as it goes.
    EXPECT_EQ(note(goodBytes.left(goodBytes.size() - 3)), MovieNote::Damaged);
    const auto missing = pl::Movie::fromFile(dir.filePath(QStringLiteral("absent.swf")));
    EXPECT_EQ(vistrel::movieNoteFor(*missing, {}), MovieNote::Unreadable);
}

TEST_F(PaneInputTest, TheNoteIsDrawnOverWhatCouldBeReadWithoutHidingIt) {
    m_flash->setNoteTexts([](MovieNote note) {
        return note == MovieNote::Damaged ? QStringLiteral("DAMAGED") : QStringLiteral("NOT A MOVIE");
    });
    const sw::Bytes good = blueMovie();
    QByteArray bytes(reinterpret_cast<const char*>(good.data()), static_cast<qsizetype>(good.size()));
    m_flash->putMovie(write(bytes.left(bytes.size() - 3), QStringLiteral("cut.swf")));
    EXPECT_EQ(m_flash->movieNote(), MovieNote::Damaged);
    const QImage withNote = m_flash->grab().toImage();
    // The stage that could be read is there around the note.
    EXPECT_EQ(QColor(withNote.pixel(100, 20)), QColor(0, 0, 255));
    EXPECT_EQ(QColor(withNote.pixel(190, 100)), QColor(0, 0, 255));
    // The note sits in the lower left corner, in the pane's own drawing, not in the frame.
    bool noteDrawn = false;
    for (int y = 170; y < 200 && !noteDrawn; ++y)
        for (int x = 0; x < 60 && !noteDrawn; ++x)
            noteDrawn = QColor(withNote.pixel(x, y)) != QColor(0, 0, 255);
    EXPECT_TRUE(noteDrawn);
    EXPECT_EQ(QColor(m_flash->renderFrame(QSize(200, 200)).pixel(10, 190)), QColor(0, 0, 255));

    // A good movie afterwards shows no note.
    m_flash->putMovie(write(bytes, QStringLiteral("good.swf")));
    EXPECT_EQ(m_flash->movieNote(), MovieNote::None);
    const QImage clean = m_flash->grab().toImage();
    for (int y = 170; y < 200; ++y)
        for (int x = 0; x < 60; ++x)
            ASSERT_EQ(QColor(clean.pixel(x, y)), QColor(0, 0, 255)) << x << "," << y;
}
