// The render command: stage-sized images after N frames, and its exit codes.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"
#include "tools/render_command.h"

namespace sw = vistrel::testing;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const sw::Bytes& bytes) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
}

}  // namespace

TEST(RenderCommand, RendersTheStageAfterNFrames) {
    QTemporaryDir dir;
    sw::MovieSpec spec;
    spec.widthTwips = 1210;   // 60.5 px rounds to 61
    spec.heightTwips = 800;
    spec.compression = sw::Compression::Zlib;
    const QString movie = writeFile(dir, "m.swf", sw::movie(spec, {sw::setBackgroundColor(0x00ff00), sw::showFrame(),
                                                                    sw::rectangleShape(1, 0, 0, 1210, 800, 0xff0000ff),
                                                                    sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}));
    const QString out1 = dir.filePath("1.png"), out2 = dir.filePath("2.png");
    ASSERT_EQ(vistrel::tools::renderCommand({movie, out1}), 0);
    ASSERT_EQ(vistrel::tools::renderCommand({QStringLiteral("--frames"), QStringLiteral("2"), QStringLiteral("--quality"), QStringLiteral("low"), movie, out2}), 0);
    const QImage a(out1), b(out2);
    EXPECT_EQ(a.size(), QSize(61, 40));
    EXPECT_EQ(a.pixel(30, 20), qRgb(0, 255, 0));
    EXPECT_EQ(b.pixel(30, 20), qRgb(255, 0, 0));
}

TEST(RenderCommand, ExitCodes) {
    QTemporaryDir dir;
    const QString junk = writeFile(dir, "junk.swf", sw::Bytes(64, 'x'));
    const QString out = dir.filePath("o.png");
    EXPECT_EQ(vistrel::tools::renderCommand({dir.filePath("missing.swf"), out}), 2);
    EXPECT_EQ(vistrel::tools::renderCommand({junk, out}), 1);
    EXPECT_EQ(vistrel::tools::renderCommand({junk}), 1);
    EXPECT_EQ(vistrel::tools::renderCommand({QStringLiteral("--frames"), QStringLiteral("0"), junk, out}), 1);
    EXPECT_EQ(vistrel::tools::renderCommand({QStringLiteral("--quality"), QStringLiteral("ultra"), junk, out}), 1);
    const QString good = writeFile(dir, "g.swf", sw::movie({}, {sw::showFrame()}));
    EXPECT_EQ(vistrel::tools::renderCommand({good, dir.filePath("no/such/folder/o.png")}), 2);
}

// At the stage's own size one twip stays a twentieth of a pixel from the stage's corner, even when
// the stage is a fraction of a pixel wider than the image.
TEST(RenderCommand, StageSizeIsOneToOne) {
    QTemporaryDir dir;
    sw::MovieSpec spec;
    spec.widthTwips = 1210;   // 60.5 px
    spec.heightTwips = 800;
    const QString movie = writeFile(dir, "m.swf", sw::movie(spec, {sw::setBackgroundColor(0x00ff00), sw::rectangleShape(1, 10, 0, 200, 800, 0xff0000ff),
                                                                    sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}));
    const QString out = dir.filePath("o.png");
    ASSERT_EQ(vistrel::tools::renderCommand({QStringLiteral("--quality"), QStringLiteral("low"), movie, out}), 0);
    const QImage img(out);
    // The square covers 0.5 .. 10.5 px: columns 0 to 9.
    EXPECT_EQ(img.pixel(0, 20), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(9, 20), qRgb(255, 0, 0));
    EXPECT_EQ(img.pixel(10, 20), qRgb(0, 255, 0));
}

// A scripted press on a button is drawn: the button shows its down state in the image.
TEST(RenderCommand, InputScriptPressesAButton) {
    QTemporaryDir dir;
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    const std::vector<sw::ButtonRecordSpec> records = {
        {.states = 1 | 2 | 8, .characterId = 1, .depth = 1},
        {.states = 4, .characterId = 2, .depth = 1},
    };
    const QString movie = writeFile(dir, "b.swf", sw::movie(spec, {sw::rectangleShape(1, 0, 0, 2000, 2000, 0xff0000ff),
                                                                    sw::rectangleShape(2, 0, 0, 2000, 2000, 0x0000ffff),
                                                                    sw::defineButton2(3, records, {}),
                                                                    sw::placeObject2({.depth = 1, .characterId = 3}),
                                                                    sw::showFrame()}));
    const QString events = dir.filePath("events.json");
    {
        QFile f(events);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(R"([{"type": "MouseMove", "pos": [50, 50]}, {"type": "MouseDown", "pos": [50, 50], "btn": "Left"}])");
    }
    const QString out = dir.filePath("o.png");
    ASSERT_EQ(vistrel::tools::renderCommand({QStringLiteral("--input"), events, movie, out}), 0);
    EXPECT_EQ(QImage(out).pixel(50, 50), qRgb(0, 0, 255));
    const QString broken = dir.filePath("broken.json");
    {
        QFile f(broken);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[{\"type\": ");
    }
    EXPECT_EQ(vistrel::tools::renderCommand({QStringLiteral("--input"), broken, movie, out}), 1);
    EXPECT_EQ(vistrel::tools::renderCommand({QStringLiteral("--input"), dir.filePath("missing.json"), movie, out}), 2);
}
