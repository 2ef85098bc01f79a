// Redrawing only when the picture changes, and the bench command that measures it.
#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <sstream>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/swf_writer.h"
#include "tools/bench_command.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

// Two frames: green stage, then a red square placed over its left half; the third frame changes nothing.
sw::Bytes squareMovie() {
    return sw::movie({.widthTwips = 2000, .heightTwips = 1000, .frameCount = 3},
                     {sw::setBackgroundColor(0x00ff00), sw::showFrame(),
                      sw::rectangleShape(1, 0, 0, 1000, 1000, 0xff0000ff),
                      sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(), sw::showFrame()});
}

vp::FrameView viewOf(const vp::Movie& movie, QSize size, vp::RenderQuality quality = vp::RenderQuality::High) {
    return {size, vp::stageToDevice(movie.stageRect(), QSizeF(size), vp::ScaleMode::ShowAll, 1.0), quality, std::nullopt};
}

}  // namespace

TEST(FrameDrawer, RedrawsOnlyWhenTheFrameOrTheViewChanges) {
    const auto movie = vp::Movie::fromBytes(squareMovie());
    ASSERT_TRUE(movie);
    vp::Player player(movie);
    vp::FrameDrawer drawer;
    const vp::FrameView view = viewOf(*movie, QSize(100, 50));
    EXPECT_TRUE(drawer.update(player, view));
    EXPECT_FALSE(drawer.update(player, view));
    EXPECT_EQ(drawer.image().pixel(25, 25), qRgb(0, 255, 0));

    player.nextFrame();   // the square appears
    EXPECT_TRUE(drawer.update(player, view));
    EXPECT_EQ(drawer.image().pixel(25, 25), qRgb(255, 0, 0));
    EXPECT_EQ(drawer.image().pixel(75, 25), qRgb(0, 255, 0));

    EXPECT_TRUE(drawer.update(player, viewOf(*movie, QSize(200, 100))));   // a bigger pane
    EXPECT_EQ(drawer.image().size(), QSize(200, 100));
    EXPECT_TRUE(drawer.update(player, viewOf(*movie, QSize(200, 100), vp::RenderQuality::Low)));
    drawer.invalidate();
    EXPECT_TRUE(drawer.update(player, viewOf(*movie, QSize(200, 100), vp::RenderQuality::Low)));

    vp::Player other(movie);   // another movie's player never reuses this picture
    EXPECT_TRUE(drawer.update(other, viewOf(*movie, QSize(200, 100), vp::RenderQuality::Low)));
    EXPECT_EQ(drawer.image().pixel(50, 50), qRgb(0, 255, 0));
}

TEST(FrameDrawer, PictureEqualsAFullDraw) {
    const auto movie = vp::Movie::fromBytes(squareMovie());
    vp::Player player(movie);
    player.nextFrame();
    vp::FrameDrawer drawer;
    const vp::FrameView view = viewOf(*movie, QSize(97, 41));
    drawer.update(player, view);
    QImage full(view.size, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(full);
    player.render(renderer, view.stageToDevice, view.quality);
    EXPECT_EQ(drawer.image(), full);
}

TEST(BenchCommand, PrintsEveryMeasureAndRejectsBadUsage) {
    QTemporaryDir dir;
    const QString path = dir.filePath("m.swf");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        const sw::Bytes bytes = squareMovie();
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    }
    std::ostringstream captured;
    auto* old = std::cout.rdbuf(captured.rdbuf());
    const int code = vistrel::tools::benchCommand({QStringLiteral("--frames"), QStringLiteral("6"), QStringLiteral("--size"),
                                                   QStringLiteral("64x32"), path});
    std::cout.rdbuf(old);
    ASSERT_EQ(code, 0);
    std::istringstream lines(captured.str());
    std::map<std::string, double> values;
    std::string key;
    double value = 0;
    while (lines >> key >> value) values[key] = value;
    for (const char* k : {"frames", "budget_ms", "median_ms", "p95_ms", "max_ms", "over_half", "peak_rss_mb"})
        EXPECT_TRUE(values.count(k)) << k;
    EXPECT_EQ(values["frames"], 6);
    // Frames 1 and 2 differ, frame 3 repeats frame 2 and the movie then loops: 1, 2, 2, 1, 2, 2.
    EXPECT_EQ(values["redrawn"], 4);
    EXPECT_LE(values["median_ms"], values["p95_ms"]);
    EXPECT_LE(values["p95_ms"], values["max_ms"]);

    EXPECT_EQ(vistrel::tools::benchCommand({}), 1);
    EXPECT_EQ(vistrel::tools::benchCommand({QStringLiteral("--size"), QStringLiteral("0x10"), path}), 1);
    EXPECT_EQ(vistrel::tools::benchCommand({dir.filePath("missing.swf")}), 2);
}
