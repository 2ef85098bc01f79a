// Pixels of rendered frames: fills, fill rules, strokes, masks, colour transforms, morphs,
// gradients, bitmaps, quality and the stage view.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <thread>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

constexpr std::uint32_t kRed = 0xff0000ff, kGreen = 0x00ff00ff;
constexpr QRgb kBlueBackground = 0xff0000ff;

// Renders a 100x100 pixel stage on a blue background after `frames` frames.
QImage render(std::vector<sw::Bytes> tags, vp::RenderQuality quality = vp::RenderQuality::High, QSize size = {100, 100},
              vp::ScaleMode mode = vp::ScaleMode::ShowAll, double zoom = 1) {
    sw::MovieSpec spec;
    spec.widthTwips = 2000;
    spec.heightTwips = 2000;
    tags.insert(tags.begin(), sw::setBackgroundColor(0x0000ff));
    auto movie = vp::Movie::fromBytes(sw::movie(spec, tags));
    vp::Player player(movie);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(movie->stageRect(), QSizeF(size), mode, zoom), quality);
    return image;
}

bool near(QRgb a, QRgb b, int tolerance = 2) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance && std::abs(qAlpha(a) - qAlpha(b)) <= tolerance;
}

#define EXPECT_PIXEL(image, x, y, rgb) \
    EXPECT_TRUE(near((image).pixel(x, y), rgb)) << "at " << (x) << "," << (y) << ": " << std::hex << (image).pixel(x, y)

sw::Bytes place(std::uint16_t depth, std::uint16_t id) { return sw::placeObject2({.depth = depth, .characterId = id}); }

}  // namespace

TEST(Render, SolidFillOverBackground) {
    const QImage img = render({sw::rectangleShape(1, 400, 400, 1200, 1200, kRed), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(img, 50, 50, 0xffff0000);
    EXPECT_PIXEL(img, 5, 5, kBlueBackground);
    EXPECT_PIXEL(img, 21, 50, 0xffff0000);
    EXPECT_PIXEL(img, 18, 50, kBlueBackground);
}

TEST(Render, EvenOddHoleAndNonZeroFill) {
    sw::ShapeBuilder evenOdd;
    evenOdd.fill(sw::FillSpec::solid(kRed)).style(std::nullopt, 1, std::nullopt).rect(0, 0, 2000, 2000).rect(500, 500, 1000, 1000);
    sw::ShapeBuilder nonZero = evenOdd;
    nonZero.nonZeroWinding();
    const QImage a = render({evenOdd.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(a, 50, 50, kBlueBackground);
    EXPECT_PIXEL(a, 10, 10, 0xffff0000);
    const QImage b = render({nonZero.build(4, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(b, 50, 50, 0xffff0000);
}

TEST(Render, EdgesInAnyOrderAndOnEitherSideMakeOneFill) {
    // Two halves of a square: the left edges carry the fill on side 1, the right ones on side 0
    // and run the other way round, as drawing tools write them.
    sw::ShapeBuilder s;
    s.fill(sw::FillSpec::solid(kGreen));
    s.style(std::nullopt, 1, std::nullopt).moveTo(1000, 0).lineTo(1000, 2000).lineTo(0, 2000).lineTo(0, 0).lineTo(1000, 0);
    s.style(1, 0, std::nullopt).moveTo(1000, 0).lineTo(1000, 2000).lineTo(2000, 2000).lineTo(2000, 0).lineTo(1000, 0);
    const QImage img = render({s.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    for (int x : {5, 45, 55, 95}) EXPECT_PIXEL(img, x, 50, 0xff00ff00);
}

TEST(Render, StrokesHaveTheirWidthAndColour) {
    sw::ShapeBuilder s;
    s.line({.width = 200, .rgba = 0xffff00ff}).style(std::nullopt, std::nullopt, 1).moveTo(0, 1000).lineTo(2000, 1000);
    const QImage img = render({s.build(1, 1, 0, 2000, 900, 1100), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(img, 50, 50, 0xffffff00);
    EXPECT_PIXEL(img, 50, 46, 0xffffff00);
    EXPECT_PIXEL(img, 50, 40, kBlueBackground);
}

TEST(Render, HairlinesStayVisibleWhenScaledDown) {
    sw::ShapeBuilder s;
    s.line({.width = 1, .rgba = 0xffffffff}).style(std::nullopt, std::nullopt, 1).moveTo(0, 1010).lineTo(2000, 1010);
    const QImage img = render({s.build(1, 1, 0, 2000, 1000, 1020), place(1, 1), sw::showFrame()}, vp::RenderQuality::Low);
    int white = 0;
    for (int y = 45; y < 56; ++y) white += near(img.pixel(50, y), 0xffffffff) ? 1 : 0;
    EXPECT_GE(white, 1);
}

TEST(Render, MaskClipsTheDepthsItCovers) {
    const QImage img = render({sw::rectangleShape(1, 0, 0, 1000, 2000, kGreen), sw::rectangleShape(2, 0, 0, 2000, 2000, kRed),
                               sw::placeObject2({.depth = 1, .characterId = 1, .clipDepth = 2}), place(2, 2), sw::showFrame()});
    EXPECT_PIXEL(img, 25, 50, 0xffff0000);    // inside the mask: the red square
    EXPECT_PIXEL(img, 75, 50, kBlueBackground);   // outside: nothing, and the mask itself is not drawn
}

TEST(Render, NestedMasksIntersect) {
    const QImage img = render({sw::rectangleShape(1, 0, 0, 1000, 2000, kGreen), sw::rectangleShape(2, 0, 0, 2000, 1000, kGreen),
                               sw::rectangleShape(3, 0, 0, 2000, 2000, kRed),
                               sw::defineSprite(10, 1, {sw::placeObject2({.depth = 1, .characterId = 2, .clipDepth = 2}), place(2, 3), sw::showFrame()}),
                               sw::placeObject2({.depth = 1, .characterId = 1, .clipDepth = 5}), place(2, 10), sw::showFrame()});
    EXPECT_PIXEL(img, 25, 25, 0xffff0000);
    EXPECT_PIXEL(img, 75, 25, kBlueBackground);
    EXPECT_PIXEL(img, 25, 75, kBlueBackground);
}

TEST(Render, ColorTransformsMultiplyAddAndNest) {
    sw::CxformSpec inner{std::array<std::int16_t, 4>{128, 256, 256, 256}, std::array<std::int16_t, 4>{0, 100, 0, 0}};
    sw::CxformSpec outer{std::array<std::int16_t, 4>{256, 128, 256, 256}, std::array<std::int16_t, 4>{10, 0, 0, 0}};
    const QImage img = render({sw::rectangleShape(1, 0, 0, 2000, 2000, 0xc8c800ff),
                               sw::defineSprite(10, 1, {sw::placeObject2({.depth = 1, .characterId = 1, .cxform = inner}), sw::showFrame()}),
                               sw::placeObject2({.depth = 1, .characterId = 10, .cxform = outer}), sw::showFrame()});
    // Nested transforms combine before clamping: red 200*0.5 + 10 = 110; green (200 + 100) * 0.5 = 150.
    EXPECT_PIXEL(img, 50, 50, qRgb(110, 150, 0));
}

TEST(Render, MorphRatioInterpolatesShapeAndColour) {
    const auto morph = sw::morphRectangles(1, 0, 0, 1000, 1000, 0xff0000ff, 1000, 1000, 1000, 1000, 0x0000ffff);
    const QImage start = render({morph, sw::placeObject2({.depth = 1, .characterId = 1, .ratio = 0}), sw::showFrame()});
    EXPECT_PIXEL(start, 25, 25, 0xffff0000);
    const QImage middle = render({morph, sw::placeObject2({.depth = 1, .characterId = 1, .ratio = 32768}), sw::showFrame()});
    EXPECT_PIXEL(middle, 50, 50, qRgb(128, 0, 128));
    EXPECT_PIXEL(middle, 10, 10, kBlueBackground);
    const QImage end = render({morph, sw::placeObject2({.depth = 1, .characterId = 1, .ratio = 65535}), sw::showFrame()});
    EXPECT_PIXEL(end, 75, 75, 0xff0000ff);
    EXPECT_PIXEL(end, 25, 25, kBlueBackground);
}

// The start shape goes round its square twice in one contour; the end shape goes round the same
// square, then moves and draws a smaller square inside. The move starts a second contour in every
// shape between them, so the inner square is a hole (the fill is even-odd), growing from the whole
// square at the start to the smaller one at the end.
TEST(Render, MorphContourTheEndShapeStartsIsAContourAtEveryRatio) {
    sw::ShapeBuilder start, end;
    start.style(1, std::nullopt, std::nullopt).moveTo(0, 0);
    end.moveTo(0, 0);
    for (sw::ShapeBuilder* s : {&start, &end})
        s->lineTo(2000, 0).lineTo(2000, 2000).lineTo(0, 2000).lineTo(0, 0);
    start.lineTo(2000, 0).lineTo(2000, 2000).lineTo(0, 2000).lineTo(0, 0);
    end.moveTo(500, 500).lineTo(1500, 500).lineTo(1500, 1500).lineTo(500, 1500).lineTo(500, 500);
    const auto morph = sw::morphShape(1, start, end, kRed, kRed, {0, 2000, 0, 2000});
    auto at = [&](std::uint16_t ratio) {
        return render({morph, sw::placeObject2({.depth = 1, .characterId = 1, .ratio = ratio}), sw::showFrame()});
    };
    // Halfway the hole spans 12.5..87.5 pixels.
    const QImage middle = at(32768);
    EXPECT_PIXEL(middle, 50, 50, kBlueBackground);
    EXPECT_PIXEL(middle, 15, 50, kBlueBackground);
    EXPECT_PIXEL(middle, 10, 50, 0xffff0000);
    EXPECT_PIXEL(middle, 50, 90, 0xffff0000);
    const QImage finish = at(65535);
    EXPECT_PIXEL(finish, 50, 50, kBlueBackground);
    EXPECT_PIXEL(finish, 20, 50, 0xffff0000);
    EXPECT_PIXEL(finish, 80, 80, 0xffff0000);
}

TEST(Render, LinearGradientRunsAcrossItsSquare) {
    sw::FillSpec g;
    g.type = 0x10;
    g.stops = {{0, 0xff0000ff}, {255, 0x00ff00ff}};
    g.matrix.scaleX = 2000.0 / 32768;
    g.matrix.scaleY = 2000.0 / 32768;
    g.matrix.translateX = 1000;
    g.matrix.translateY = 1000;
    sw::ShapeBuilder s;
    s.fill(g).style(std::nullopt, 1, std::nullopt).rect(0, 0, 2000, 2000);
    const QImage img = render({s.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    EXPECT_TRUE(near(img.pixel(0, 50), qRgb(255, 0, 0), 6));
    EXPECT_TRUE(near(img.pixel(99, 50), qRgb(0, 255, 0), 6));
    EXPECT_TRUE(near(img.pixel(50, 50), qRgb(128, 128, 0), 6));
}

TEST(Render, GradientRatiosThatRepeatGiveAHardStep) {
    sw::FillSpec g;
    g.type = 0x10;
    g.stops = {{128, 0xff0000ff}, {128, 0x00ff00ff}};
    g.matrix.scaleX = 2000.0 / 32768;
    g.matrix.scaleY = 2000.0 / 32768;
    g.matrix.translateX = 1000;
    sw::ShapeBuilder s;
    s.fill(g).style(std::nullopt, 1, std::nullopt).rect(0, 0, 2000, 2000);
    const QImage img = render({s.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(img, 20, 50, 0xffff0000);
    EXPECT_PIXEL(img, 80, 50, 0xff00ff00);
}

TEST(Render, BitmapFillRepeatsItsPixels) {
    const std::vector<std::uint32_t> pixels{0xffff0000, 0xff00ff00, 0xff00ff00, 0xffff0000};   // 2x2 checker
    sw::FillSpec b;
    b.type = 0x42;   // repeating, not smoothed
    b.bitmapId = 5;
    b.matrix.scaleX = 500;   // each bitmap pixel 25 stage pixels wide
    b.matrix.scaleY = 500;
    sw::ShapeBuilder s;
    s.fill(b).style(std::nullopt, 1, std::nullopt).rect(0, 0, 2000, 2000);
    const QImage img = render({sw::bitsLossless2(5, 2, 2, pixels), s.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(img, 10, 10, 0xffff0000);
    EXPECT_PIXEL(img, 35, 10, 0xff00ff00);
    EXPECT_PIXEL(img, 60, 10, 0xffff0000);   // repeated
    EXPECT_PIXEL(img, 10, 35, 0xff00ff00);
}

TEST(Render, MissingBitmapDrawsNothingInsteadOfFailing) {
    sw::FillSpec b;
    b.type = 0x41;
    b.bitmapId = 99;
    sw::ShapeBuilder s;
    s.fill(b).style(std::nullopt, 1, std::nullopt).rect(0, 0, 2000, 2000);
    const QImage img = render({s.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()});
    EXPECT_PIXEL(img, 50, 50, kBlueBackground);
}

class QualityTest : public ::testing::TestWithParam<vp::RenderQuality> {};

TEST_P(QualityTest, LowQualityHasNoAntiAliasing) {
    sw::ShapeBuilder tri;
    tri.fill(sw::FillSpec::solid(kRed)).style(std::nullopt, 1, std::nullopt).moveTo(0, 0).lineTo(2000, 700).lineTo(300, 2000).lineTo(0, 0);
    const QImage img = render({tri.build(3, 1, 0, 2000, 0, 2000), place(1, 1), sw::showFrame()}, GetParam());
    std::set<QRgb> colors;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) colors.insert(img.pixel(x, y));
    if (GetParam() == vp::RenderQuality::Low) EXPECT_EQ(colors.size(), 2u);
    else EXPECT_GT(colors.size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Qualities, QualityTest,
                         ::testing::Values(vp::RenderQuality::Low, vp::RenderQuality::Medium, vp::RenderQuality::High, vp::RenderQuality::Best));

TEST(StageView, ShowAllCentresNoScaleKeepsPixelsZoomMagnifies) {
    const auto tags = std::vector<sw::Bytes>{sw::rectangleShape(1, 0, 0, 1000, 1000, kRed), place(1, 1), sw::showFrame()};
    const QImage wide = render(tags, vp::RenderQuality::High, {300, 100});
    EXPECT_PIXEL(wide, 90, 5, kBlueBackground);    // letterbox left of the stage
    EXPECT_PIXEL(wide, 110, 5, 0xffff0000);
    const QImage noScale = render(tags, vp::RenderQuality::High, {300, 300}, vp::ScaleMode::NoScale);
    EXPECT_PIXEL(noScale, 105, 105, 0xffff0000);   // stage 100 px at the centre: 100..200
    EXPECT_PIXEL(noScale, 155, 155, kBlueBackground);
    const QImage zoomed = render(tags, vp::RenderQuality::High, {100, 100}, vp::ScaleMode::ShowAll, 2);
    EXPECT_PIXEL(zoomed, 5, 5, 0xffff0000);        // the centre quarter fills the view
    EXPECT_PIXEL(zoomed, 45, 45, 0xffff0000);
    EXPECT_PIXEL(zoomed, 55, 55, kBlueBackground);
}

TEST(Render, ShapesPreparedOnAnotherThreadDrawTheSameFrames) {
    // A movie of every drawn family (shapes in sprites, a morph, a bitmap fill, text, a mask), made and
    // prepared on a worker as the viewer prepares its start-up movie, then drawn here frame by frame.
    const sw::Bytes bytes = sw::everyFamilyMovie();
    auto draw = [&](bool prepare) {
        std::vector<QImage> frames;
        std::unique_ptr<vp::Player> player;
        std::thread worker([&] {
            player = std::make_unique<vp::Player>(vp::Movie::fromBytes(bytes));
            if (prepare) player->prepareShapes();
        });
        worker.join();
        for (int frame = 0; frame < 2; ++frame) {
            if (frame > 0) {
                player->nextFrame();
                if (prepare) player->prepareShapes();
            }
            QImage image(QSize(120, 90), QImage::Format_ARGB32_Premultiplied);
            vp::QPainterRenderer renderer(image);
            player->render(renderer, vp::stageToDevice(player->movie().stageRect(), QSizeF(image.size()),
                                                       vp::ScaleMode::ShowAll, 1),
                           vp::RenderQuality::High);
            frames.push_back(image);
        }
        return frames;
    };
    const std::vector<QImage> prepared = draw(true);
    const std::vector<QImage> plain = draw(false);
    ASSERT_EQ(prepared.size(), plain.size());
    for (std::size_t i = 0; i < plain.size(); ++i) EXPECT_TRUE(prepared[i] == plain[i]) << "frame " << i + 1;
}
