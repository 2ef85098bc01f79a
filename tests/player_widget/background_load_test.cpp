// Movies read off the GUI thread: the same picture as a movie loaded at once, the first frame of a
// large movie ahead of the rest, a later selection winning over a load in progress, and files that
// cannot be shown giving their note without holding up the window.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <random>
#include <span>
#include <vector>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "widgets/player/flash_player.h"
#include "widgets/player/movie_loader.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
using vistrel::MovieLoader;
using vistrel::MovieNote;
using vistrel::ShockwaveFlash;

namespace {

constexpr int kSide = 100;
using MoviePtr = std::shared_ptr<const vistrel::player::Movie>;

// A 100x100 pixel movie with a green background: frame 1 shows a red square at the left, frame 2
// moves it right; `filler` bytes of binary data sit in frames after the first, making the file large.
sw::Bytes squareMovie(std::uint32_t background, std::size_t filler,
                      sw::Compression compression = sw::Compression::None) {
    sw::MovieSpec spec;
    spec.widthTwips = kSide * 20;
    spec.heightTwips = kSide * 20;
    spec.frameRate = 30;
    spec.frameCount = 3;
    spec.compression = compression;
    std::vector<sw::Bytes> tags = {
        sw::setBackgroundColor(background), sw::rectangleShape(1, 0, 0, 400, 400, 0xff0000ff),
        sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(),
        sw::placeObject2({.depth = 1, .move = true, .matrix = sw::MatrixSpec::translate(800, 0)})};
    if (filler > 0) {
        // Noise, so that compression keeps the movie large.
        std::mt19937 noise(7);
        sw::Bytes data(filler + 6, 0);
        data[0] = 9;   // DefineBinaryData: character id 9, four reserved bytes, then the data
        for (std::size_t i = 6; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(noise());
        tags.push_back(sw::tag(87, data, true));
    }
    tags.push_back(sw::showFrame());
    tags.push_back(sw::showFrame());
    return sw::movie(spec, tags);
}

class BackgroundLoadTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString write(const sw::Bytes& bytes, const QString& name) {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }

    static std::unique_ptr<ShockwaveFlash> pane(std::int64_t backgroundBytes) {
        auto flash = std::make_unique<ShockwaveFlash>();
        flash->resize(kSide, kSide);
        flash->setBackgroundLoadThreshold(backgroundBytes);
        return flash;
    }

    // Waits for the load started by putMovie to come in.
    static bool waitLoaded(ShockwaveFlash& flash) {
        return QTest::qWaitFor([&] { return !flash.isLoading(); }, 30000);
    }

    // The first frame of a movie as the engine draws it.
    static QImage firstFrame(MoviePtr movie) {
        vistrel::player::Player player(std::move(movie));
        vistrel::player::FrameDrawer drawer;
        vistrel::player::FrameView view;
        view.size = QSize(kSide, kSide);
        view.stageToDevice = vistrel::player::stageToDevice(player.movie().stageRect(), QSizeF(view.size),
                                                           vistrel::player::ScaleMode::ShowAll, 1.0);
        drawer.update(player, view);
        return drawer.image();
    }

    QTemporaryDir m_dir;
};

}  // namespace

TEST_F(BackgroundLoadTest, ShowsTheSameMovieAsLoadingAtOnce) {
    for (const auto compression : {sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma}) {
        SCOPED_TRACE(static_cast<int>(compression));
        const QString path = write(squareMovie(0x00ff00, 0, compression), QStringLiteral("small.swf"));
        auto atOnce = pane(std::numeric_limits<std::int64_t>::max());
        atOnce->putMovie(path);
        ASSERT_FALSE(atOnce->isLoading());
        atOnce->Stop();

        auto offThread = pane(0);
        QSignalSpy loaded(offThread.get(), &ShockwaveFlash::movieLoaded);
        offThread->putMovie(path);
        EXPECT_TRUE(offThread->isLoading());
        ASSERT_TRUE(waitLoaded(*offThread));
        offThread->Stop();
        EXPECT_EQ(loaded.size(), 1);
        EXPECT_EQ(offThread->frameCount(), 3);
        EXPECT_EQ(offThread->currentFrame(), 1);
        EXPECT_EQ(offThread->movieNote(), MovieNote::None);
        const QImage picture = offThread->renderFrame(QSize(kSide, kSide));
        EXPECT_EQ(picture, atOnce->renderFrame(QSize(kSide, kSide)));
        EXPECT_EQ(picture.pixel(10, 10), qRgb(255, 0, 0));
        EXPECT_EQ(picture.pixel(90, 90), qRgb(0, 255, 0));
    }
}

TEST_F(BackgroundLoadTest, LargeMovieLoadsOffTheWindowAndPlays) {
    // Over the default size for background loading: putMovie returns before the movie is read.
    const QString path = write(squareMovie(0x00ff00, 1536 * 1024, sw::Compression::Zlib), QStringLiteral("large.swf"));
    auto flash = std::make_unique<ShockwaveFlash>();
    flash->resize(kSide, kSide);
    flash->putMovie(path);
    EXPECT_TRUE(flash->isLoading());
    // The pane answers meanwhile: an empty stage that does not play.
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(50, 50), qRgb(255, 255, 255));
    ASSERT_TRUE(waitLoaded(*flash));
    EXPECT_TRUE(flash->isPlaying());
    flash->Stop();
    flash->Rewind();
    EXPECT_EQ(flash->frameCount(), 3);
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(10, 10), qRgb(255, 0, 0));
}

TEST_F(BackgroundLoadTest, FirstFrameArrivesAheadOfTheWholeMovie) {
    for (const auto compression : {sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma}) {
        SCOPED_TRACE(static_cast<int>(compression));
        const QString path = write(squareMovie(0x00ff00, 256 * 1024, compression), QStringLiteral("large.swf"));
        MovieLoader loader;
        std::vector<std::string> order;
        MoviePtr first, whole;
        QObject::connect(&loader, &MovieLoader::firstFrameReady, [&](std::uint64_t, MoviePtr movie) {
            order.push_back("first");
            first = movie;
        });
        QObject::connect(&loader, &MovieLoader::loaded, [&](std::uint64_t, MoviePtr movie, const QByteArray&) {
            order.push_back("whole");
            whole = movie;
        });
        loader.load(path, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return whole != nullptr; }, 30000));
        ASSERT_EQ(order, (std::vector<std::string>{"first", "whole"}));
        // The first frame alone: the same picture, without the megabytes after it.
        EXPECT_TRUE(first->isValid());
        EXPECT_EQ(first->rootTimeline().frames.size(), 1u);
        EXPECT_LT(first->byteSize(), 1024);
        EXPECT_EQ(whole->rootTimeline().frames.size(), 3u);
        EXPECT_EQ(firstFrame(first), firstFrame(whole));
    }
}

TEST_F(BackgroundLoadTest, FirstFrameBytesNeedTheWholeFirstFrame) {
    const sw::Bytes movie = squareMovie(0x00ff00, 0);
    // Cut inside frame 2: the first frame is complete and is what comes back.
    sw::Bytes cut(movie.begin(), movie.end() - 4);
    const QByteArray first = vistrel::firstFrameMovieBytes(write(cut, QStringLiteral("cut.swf")));
    ASSERT_FALSE(first.isEmpty());
    EXPECT_TRUE(first.startsWith("FWS"));
    // Cut inside frame 1, damaged, empty, or not a movie: nothing.
    const sw::Bytes head(movie.begin(), movie.begin() + 30);
    EXPECT_TRUE(vistrel::firstFrameMovieBytes(write(head, QStringLiteral("head.swf"))).isEmpty());
    sw::Bytes damaged = sw::compressBody(movie, sw::Compression::Zlib);
    for (std::size_t i = 10; i < damaged.size(); ++i) damaged[i] ^= 0x5a;
    EXPECT_TRUE(vistrel::firstFrameMovieBytes(write(damaged, QStringLiteral("damaged.swf"))).isEmpty());
    EXPECT_TRUE(vistrel::firstFrameMovieBytes(write({}, QStringLiteral("empty.swf"))).isEmpty());
    EXPECT_TRUE(vistrel::firstFrameMovieBytes(m_dir.filePath(QStringLiteral("absent.swf"))).isEmpty());
    const sw::Bytes text = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n'};
    EXPECT_TRUE(vistrel::firstFrameMovieBytes(write(text, QStringLiteral("text.swf"))).isEmpty());
}

TEST_F(BackgroundLoadTest, ALaterSelectionWinsOverALoadInProgress) {
    const QString large = write(squareMovie(0x0000ff, 4 * 1024 * 1024), QStringLiteral("large.swf"));
    const QString small = write(squareMovie(0x00ff00, 0), QStringLiteral("small.swf"));
    auto flash = pane(0);
    QSignalSpy loaded(flash.get(), &ShockwaveFlash::movieLoaded);
    flash->putMovie(large);
    flash->putMovie(small);
    ASSERT_TRUE(waitLoaded(*flash));
    // Whatever the first load still delivers is dropped: the small movie stays.
    QTest::qWait(200);
    EXPECT_EQ(loaded.size(), 1);
    flash->Stop();
    flash->Rewind();
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(90, 90), qRgb(0, 255, 0));

    // A movie loaded at once also ends a load in progress.
    flash->setBackgroundLoadThreshold(0);
    flash->putMovie(large);
    EXPECT_TRUE(flash->isLoading());
    flash->setBackgroundLoadThreshold(std::numeric_limits<std::int64_t>::max());
    flash->putMovie(small);
    EXPECT_FALSE(flash->isLoading());
    QTest::qWait(200);
    flash->Stop();
    flash->Rewind();
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(90, 90), qRgb(0, 255, 0));
}

TEST_F(BackgroundLoadTest, FilesThatCannotBeShownGiveTheirNoteWithoutBlocking) {
    auto flash = pane(0);
    // Text that is no movie.
    flash->putMovie(write({'n', 'o', 't', ' ', 'a', ' ', 'm', 'o', 'v', 'i', 'e'}, QStringLiteral("text.swf")));
    ASSERT_TRUE(waitLoaded(*flash));
    EXPECT_EQ(flash->movieNote(), MovieNote::NotAMovie);

    // A movie cut inside its header.
    const sw::Bytes movie = squareMovie(0x00ff00, 0);
    flash->putMovie(write(sw::Bytes(movie.begin(), movie.begin() + 6), QStringLiteral("cut.swf")));
    ASSERT_TRUE(waitLoaded(*flash));
    EXPECT_EQ(flash->movieNote(), MovieNote::Incomplete);

    // A file over the size any movie may have (sparse: no disk is used), with a movie's signature.
    const QString huge = m_dir.filePath(QStringLiteral("huge.swf"));
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(reinterpret_cast<const char*>(movie.data()), 64);
        ASSERT_TRUE(f.resize(vistrel::player::kMaxMovieFileSize + 1024));
    }
    auto atDefault = std::make_unique<ShockwaveFlash>();
    atDefault->resize(kSide, kSide);
    atDefault->putMovie(huge);
    EXPECT_TRUE(atDefault->isLoading());   // off the GUI thread even at the default size
    ASSERT_TRUE(waitLoaded(*atDefault));
    EXPECT_EQ(atDefault->movieNote(), MovieNote::Unreadable);
    EXPECT_EQ(atDefault->renderFrame(QSize(kSide, kSide)).pixel(50, 50), qRgb(255, 255, 255));

    // A damaged large movie shows what could be read, with its note.
    sw::Bytes damaged = squareMovie(0x00ff00, 2 * 1024 * 1024);
    damaged.resize(damaged.size() - 1024 * 1024);
    flash->putMovie(write(damaged, QStringLiteral("damaged.swf")));
    ASSERT_TRUE(waitLoaded(*flash));
    EXPECT_EQ(flash->movieNote(), MovieNote::Damaged);
    flash->Stop();
    flash->Rewind();
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(10, 10), qRgb(255, 0, 0));
}

TEST_F(BackgroundLoadTest, APreparedMovieShowsWhatLoadingAtOnceShows) {
    // A movie, a file that is no movie, a movie cut short and a folder: the pane ends up the same
    // whether putMovie reads them itself or takes what was prepared on another thread.
    const sw::Bytes movie = squareMovie(0x00ff00, 0, sw::Compression::Zlib);
    const QString folder = m_dir.filePath(QStringLiteral("folder.swf"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString paths[] = {write(movie, QStringLiteral("small.swf")),
                             write(sw::Bytes{'h', 'e', 'l', 'l', 'o'}, QStringLiteral("text.swf")),
                             write(sw::Bytes(movie.begin(), movie.begin() + 6), QStringLiteral("cut.swf")), folder};
    for (const QString& path : paths) {
        SCOPED_TRACE(path.toStdString());
        auto atOnce = pane(std::numeric_limits<std::int64_t>::max());
        atOnce->putMovie(path);
        atOnce->Stop();

        auto prepared = ShockwaveFlash::prepareMovie(path);
        ASSERT_TRUE(prepared);
        auto fromPrepared = pane(std::numeric_limits<std::int64_t>::max());
        QSignalSpy loaded(fromPrepared.get(), &ShockwaveFlash::movieLoaded);
        fromPrepared->putMovie(path, prepared);
        EXPECT_FALSE(fromPrepared->isLoading());
        EXPECT_EQ(loaded.size(), 1);
        EXPECT_TRUE(fromPrepared->isPlaying());
        fromPrepared->Stop();
        EXPECT_EQ(fromPrepared->frameCount(), atOnce->frameCount());
        EXPECT_EQ(fromPrepared->currentFrame(), 1);
        EXPECT_EQ(fromPrepared->movieNote(), atOnce->movieNote());
        EXPECT_EQ(fromPrepared->renderFrame(QSize(kSide, kSide)), atOnce->renderFrame(QSize(kSide, kSide)));
        // Stepping on plays the prepared movie like any other.
        fromPrepared->Forward();
        atOnce->Forward();
        EXPECT_EQ(fromPrepared->currentFrame(), atOnce->currentFrame());
        EXPECT_EQ(fromPrepared->renderFrame(QSize(kSide, kSide)), atOnce->renderFrame(QSize(kSide, kSide)));
    }
    EXPECT_EQ(pane(std::numeric_limits<std::int64_t>::max())->movieNote(), MovieNote::None);
}

TEST_F(BackgroundLoadTest, AMoviePreparedForAnotherPathIsNotShown) {
    const QString green = write(squareMovie(0x00ff00, 0), QStringLiteral("green.swf"));
    const QString blue = write(squareMovie(0x0000ff, 0), QStringLiteral("blue.swf"));
    auto prepared = ShockwaveFlash::prepareMovie(green);
    auto flash = pane(std::numeric_limits<std::int64_t>::max());
    flash->putMovie(blue, prepared);
    flash->Stop();
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(90, 90), qRgb(0, 0, 255));
    // Taken once: the same preparation given again is read afresh, not replayed.
    flash->putMovie(green, prepared);
    flash->Stop();
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(90, 90), qRgb(0, 255, 0));
    flash->putMovie(green, prepared);
    flash->Stop();
    EXPECT_EQ(flash->currentFrame(), 1);
    EXPECT_EQ(flash->renderFrame(QSize(kSide, kSide)).pixel(90, 90), qRgb(0, 255, 0));
}
