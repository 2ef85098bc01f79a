// Gradient fills as movies see them: linear-light gradients keep their stops in eight bits of linear
// light and darken where they are not opaque.
#include <gtest/gtest.h>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

// A 10x10 pixel cell at (x, y) filled by a linear gradient between two stops, in shape version 4 so
// the interpolation mode is written.
sw::Bytes cell(std::uint16_t id, int x, int y, std::uint32_t from, std::uint32_t to, std::uint8_t interpolation) {
    sw::FillSpec fill;
    fill.type = 0x10;
    fill.stops = {{0, from}, {255, to}};
    fill.interpolation = interpolation;
    // The gradient square (32768 twips) across the cell's 200 twips.
    fill.matrix.scaleX = fill.matrix.scaleY = 200.0 / 32768.0;
    fill.matrix.translateX = x * 20 + 100;
    fill.matrix.translateY = y * 20 + 100;
    sw::ShapeBuilder shape;
    shape.fill(fill).style(std::nullopt, 1, std::nullopt).rect(x * 20, y * 20, 200, 200);
    return shape.build(4, id, x * 20, x * 20 + 200, y * 20, y * 20 + 200);
}

struct Cell {
    std::uint32_t from, to;
    std::uint8_t interpolation;
};

// Draws the cells side by side on a background of `background` and returns the frame (one pixel a
// twentieth of an inch: the stage is drawn at its own size).
QImage draw(const std::vector<Cell>& cells, std::uint32_t background) {
    std::vector<sw::Bytes> tags{sw::setBackgroundColor(background)};
    std::uint16_t id = 1;
    for (std::size_t i = 0; i < cells.size(); ++i, ++id) {
        tags.push_back(cell(id, static_cast<int>(i) * 10, 0, cells[i].from, cells[i].to, cells[i].interpolation));
        tags.push_back(sw::placeObject(id, id, sw::MatrixSpec()));
    }
    tags.push_back(sw::showFrame());
    sw::MovieSpec spec;
    spec.widthTwips = static_cast<std::int32_t>(cells.size()) * 200;
    spec.heightTwips = 200;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
    EXPECT_TRUE(movie);
    if (!movie) return {};
    vp::Player player(movie, [](const QString&) {});
    QImage image(static_cast<int>(cells.size()) * 10, 10, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(image.size()), vp::ScaleMode::ShowAll, 1),
                  vp::RenderQuality::Low);
    return image;
}

int redAt(const QImage& image, int cellIndex) { return qRed(image.pixel(cellIndex * 10 + 5, 5)); }

}  // namespace

TEST(LinearLightGradients, StopsLoseTheLowStepsOfLinearLight) {
    // Greys 10, 20, 25 and 128, each as both stops: linear light held in eight bits rounded down
    // brings them back as 0, 13, 22 and 128. Plain interpolation keeps them as they are.
    const QImage image = draw({{0x0a0a0aff, 0x0a0a0aff, 1},
                               {0x141414ff, 0x141414ff, 1},
                               {0x191919ff, 0x191919ff, 1},
                               {0x808080ff, 0x808080ff, 1},
                               {0x141414ff, 0x141414ff, 0}},
                              0xffffff);
    ASSERT_FALSE(image.isNull());
    EXPECT_LE(redAt(image, 0), 1);
    EXPECT_NEAR(redAt(image, 1), 13, 1);
    EXPECT_NEAR(redAt(image, 2), 22, 1);
    EXPECT_NEAR(redAt(image, 3), 128, 1);
    EXPECT_NEAR(redAt(image, 4), 20, 1);
}

TEST(LinearLightGradients, TranslucentStopsDarkenOnlyInLinearLight) {
    // White at alpha 128 over black: plain interpolation gives half white, linear light gives 87
    // (alpha^1.5625); opaque and fully clear stops are not changed.
    const QImage image = draw({{0xffffff80, 0xffffff80, 0},
                               {0xffffff80, 0xffffff80, 1},
                               {0xffffffff, 0xffffffff, 1},
                               {0xffffff00, 0xffffff00, 1},
                               {0xffffff40, 0xffffff40, 1}},
                              0x000000);
    ASSERT_FALSE(image.isNull());
    EXPECT_NEAR(redAt(image, 0), 128, 2);
    EXPECT_NEAR(redAt(image, 1), 87, 2);
    EXPECT_EQ(redAt(image, 2), 255);
    EXPECT_EQ(redAt(image, 3), 0);
    EXPECT_NEAR(redAt(image, 4), 29, 2);   // alpha 64: 0.251^1.5625 of white
    // Over white the coverage is still the stop's alpha: a red stop at alpha 128 gives 214 in red
    // and leaves half the white in green.
    const QImage onWhite = draw({{0xff000080, 0xff000080, 1}}, 0xffffff);
    ASSERT_FALSE(onWhite.isNull());
    EXPECT_NEAR(qRed(onWhite.pixel(5, 5)), 214, 2);
    EXPECT_NEAR(qGreen(onWhite.pixel(5, 5)), 127, 2);
}
