// Gradient colour tables (repeated and backward ratios, linear light), positions in the gradient
// square with each spread mode and focal points, and rendered gradient pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/gradient_fill.h"
#include "player/render/gradient_table.h"
#include "player/render/qpainter_renderer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace swf = vistrel::swf;

namespace {

constexpr auto kBlended = vp::GradientSampling::Blended;

constexpr swf::Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255}, kBlack{0, 0, 0, 255},
    kWhite{255, 255, 255, 255};

swf::Gradient gradient(std::vector<swf::GradientRecord> records, std::uint8_t interpolation = 0) {
    swf::Gradient g;
    g.records = std::move(records);
    g.interpolation = interpolation;
    return g;
}

QRgb rgb(swf::Rgba c) { return qRgba(c.r, c.g, c.b, c.a); }

// Entries of a table expected to hold one exact colour.
struct TableCase {
    const char* name;
    swf::Gradient gradient;
    std::vector<std::pair<int, swf::Rgba>> entries;
    vp::GradientSampling sampling = vp::GradientSampling::Stepped;
};

class GradientTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(GradientTableTest, EntriesHoldTheirColours) {
    const vp::GradientTable table = vp::buildGradientTable(GetParam().gradient, swf::ColorTransform{}, GetParam().sampling);
    for (const auto& [entry, color] : GetParam().entries)
        EXPECT_EQ(table[static_cast<std::size_t>(entry)], rgb(color)) << "entry " << entry;
}

INSTANTIATE_TEST_SUITE_P(
    Records, GradientTableTest,
    ::testing::Values(
        // The first colour holds up to its ratio, the last from its ratio on.
        TableCase{"PlainRamp", gradient({{50, kRed}, {200, kGreen}}), {{0, kRed}, {50, kRed}, {200, kGreen}, {255, kGreen}}},
        // Equal ratios step through their colours one entry each; the last of them starts the blend.
        TableCase{"RepeatedRatios",
                  gradient({{100, kRed}, {100, kGreen}, {100, kBlue}, {200, kBlue}}),
                  {{100, kRed}, {101, kRed}, {102, kGreen}, {103, kBlue}, {200, kBlue}}},
        // A ratio that goes back takes one entry in the colour before it; later entries follow on.
        TableCase{"BackwardRatio",
                  gradient({{50, kRed}, {200, kGreen}, {100, kBlue}}),
                  {{50, kRed}, {200, kGreen}, {201, kGreen}, {202, kBlue}, {255, kBlue}}},
        // A second ratio below the first ends the first colour's run there; the next forward
        // record blends from that second record on.
        TableCase{"SecondRatioBelowTheFirst",
                  gradient({{200, kRed}, {100, kGreen}, {150, kBlue}, {50, kWhite}, {250, kRed}}),
                  {{0, kRed}, {100, kRed}, {101, kRed}, {150, kBlue}, {151, kBlue}, {250, kRed}, {255, kRed}}},
        TableCase{"ReversedPairShowsTheLastColour", gradient({{255, kRed}, {0, kWhite}}), {{0, kRed}, {1, kRed}, {2, kWhite}, {255, kWhite}}},
        TableCase{"OneRecordFillsAll", gradient({{128, kBlue}}), {{0, kBlue}, {255, kBlue}}},
        // Tables for blended fills: the first colour stops short of its ratio, so the records at
        // one ratio take the entries from that ratio on, each in the colour before it.
        TableCase{"BlendedPlainRamp", gradient({{50, kRed}, {200, kGreen}}), {{0, kRed}, {50, kRed}, {200, kGreen}, {255, kGreen}}, kBlended},
        TableCase{"BlendedRepeatedRatios",
                  gradient({{100, kRed}, {100, kGreen}, {100, kBlue}, {200, kBlue}}),
                  {{99, kRed}, {100, kRed}, {101, kGreen}, {102, kBlue}, {200, kBlue}}, kBlended},
        TableCase{"BlendedRepeatAfterARamp",
                  gradient({{0, kBlack}, {100, kBlack}, {100, kWhite}, {255, kWhite}}),
                  {{100, kBlack}, {101, kBlack}, {102, kWhite}}, kBlended},
        // A ratio that goes back takes one entry in its own colour...
        TableCase{"BlendedBackwardRatio",
                  gradient({{50, kRed}, {200, kGreen}, {100, kBlue}}),
                  {{49, kRed}, {200, kGreen}, {201, kBlue}, {255, kBlue}}, kBlended},
        // ...except the second record, whose entry the first colour's run keeps.
        TableCase{"BlendedSecondRatioBelowTheFirst",
                  gradient({{200, kRed}, {100, kGreen}, {150, kBlue}, {50, kWhite}, {250, kRed}}),
                  {{0, kRed}, {99, kRed}, {100, kRed}, {150, kBlue}, {151, kWhite}, {250, kRed}, {255, kRed}}, kBlended},
        TableCase{"BlendedReversedPair", gradient({{255, kRed}, {0, kWhite}}), {{0, kRed}, {1, kWhite}, {255, kWhite}}, kBlended}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

TEST(GradientTable, BlendsInLinearLightWhenAsked) {
    const vp::GradientTable normal = vp::buildGradientTable(gradient({{0, kBlack}, {254, kWhite}}), {});
    const vp::GradientTable linear = vp::buildGradientTable(gradient({{0, kBlack}, {254, kWhite}}, 1), {});
    EXPECT_EQ(qRed(normal[127]), 128);
    // Half the light is a much lighter grey than half the code value.
    EXPECT_NEAR(qRed(linear[127]), 188, 2);
    EXPECT_EQ(linear[0], rgb(kBlack));
    EXPECT_EQ(linear[254], rgb(kWhite));
}

// The sRGB curve and its inverse, worked out here on their own, 0..1 both ways.
double srgbOf(double linear) { return linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1 / 2.4) - 0.055; }
double linearOf(int srgb) {
    const double v = srgb / 255.0;
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

TEST(GradientTable, LinearLightEntriesHoldWholeLevelsOfLinearLight) {
    // A dark channel rising slowly between two stops climbs through the sRGB values of whole
    // linear levels (0, 13, 22, 28, ...) and holds each for several entries, never in between;
    // each entry lies at or below the exact blend, since its level is rounded down.
    std::vector<long> levels;
    for (int k = 0; k < 256; ++k) levels.push_back(std::lround(srgbOf(k / 255.0) * 255));
    const swf::Gradient g = gradient({{30, swf::Rgba{250, 128, 3, 255}}, {220, swf::Rgba{7, 255, 130, 255}}}, 1);
    const vp::GradientTable table = vp::buildGradientTable(g, {}, kBlended);
    long previous = 0;
    int changes = 0;
    for (int e = 31; e < 120; ++e) {
        const long blue = qBlue(table[static_cast<std::size_t>(e)]);
        EXPECT_NE(std::find(levels.begin(), levels.end(), blue), levels.end()) << "entry " << e << " blue " << blue;
        EXPECT_GE(blue, previous) << "entry " << e;
        changes += blue != previous;
        previous = blue;
        const double exact = linearOf(3) + (linearOf(130) - linearOf(3)) * (e - 30) / 190.0;
        EXPECT_LE(blue, std::lround(srgbOf(exact) * 255)) << "entry " << e;
    }
    // 89 entries over about 26 linear levels.
    EXPECT_LT(changes, 30);
    // Stops exactly at a level keep it: white stays white, black black.
    const vp::GradientTable grey = vp::buildGradientTable(gradient({{0, kBlack}, {255, kWhite}}, 1), {}, kBlended);
    EXPECT_EQ(grey[255], rgb(kWhite));
    EXPECT_EQ(grey[0], rgb(kBlack));
    for (int e = 1; e < 256; ++e) EXPECT_GE(qRed(grey[static_cast<std::size_t>(e)]), qRed(grey[static_cast<std::size_t>(e - 1)]));
}

TEST(GradientTable, ColourTransformAppliesToEveryRecord) {
    swf::ColorTransform cx;
    cx.rMult = 0;
    cx.bAdd = 255;
    const vp::GradientTable table = vp::buildGradientTable(gradient({{0, kRed}, {255, kGreen}}), cx);
    EXPECT_EQ(table[0], qRgba(0, 0, 255, 255));
    EXPECT_EQ(table[255], qRgba(0, 255, 255, 255));
}

struct PositionCase {
    const char* name;
    swf::FillType type;
    int spread;
    double focal, x, y;
    double position;
};

class GradientPositionTest : public ::testing::TestWithParam<PositionCase> {};

TEST_P(GradientPositionTest, PointMapsToPosition) {
    const PositionCase& c = GetParam();
    EXPECT_NEAR(vp::gradientPosition(c.type, c.spread, c.focal, c.x, c.y), c.position, 0.01);
}

constexpr auto kLinear = swf::FillType::LinearGradient, kRadial = swf::FillType::RadialGradient,
               kFocal = swf::FillType::FocalGradient;

INSTANTIATE_TEST_SUITE_P(
    Square, GradientPositionTest,
    ::testing::Values(PositionCase{"LinearStart", kLinear, 0, 0, -16384, 0, 0},
                      PositionCase{"LinearMiddle", kLinear, 0, 0, 0, 5000, 128},
                      PositionCase{"LinearTenEntriesIn", kLinear, 0, 0, -16384 + 128 * 10, 0, 10},
                      PositionCase{"PadBeyondEnd", kLinear, 0, 0, 40000, 0, 256},
                      PositionCase{"PadBeforeStart", kLinear, 0, 0, -40000, 0, 0},
                      PositionCase{"ReflectComesBack", kLinear, 1, 0, 16384 + 8192, 0, 192},
                      PositionCase{"ReflectBeforeStart", kLinear, 1, 0, -16384 - 4096, 0, 32},
                      PositionCase{"RepeatStartsAgain", kLinear, 2, 0, 16384 + 8192, 0, 64},
                      PositionCase{"RepeatBeforeStart", kLinear, 2, 0, -16384 - 4096, 0, 224},
                      PositionCase{"RadialHalfway", kRadial, 0, 0, 0, 8192, 128},
                      PositionCase{"RadialOutside", kRadial, 0, 0, 30000, 30000, 256},
                      PositionCase{"FocalPointIsStart", kFocal, 0, 0.5, 8192, 0, 0},
                      PositionCase{"FocalCircleIsEnd", kFocal, 0, 0.5, -16384, 0, 256},
                      // Halfway from the focal point to the circle, on the far side.
                      PositionCase{"FocalHalfway", kFocal, 0, 0.5, -4096, 0, 128},
                      PositionCase{"HugeRepeatStaysInRange", kLinear, 2, 0, 1e30, 0, 0}),
    [](const ::testing::TestParamInfo<PositionCase>& info) { return std::string(info.param.name); });

// A (256 x perEntry) x 8 pixel stage drawn one to one, with a linear gradient whose square spans
// it exactly: each table entry covers `perEntry` pixel columns.
QImage renderRamp(std::vector<sw::GradientStop> stops, vp::RenderQuality quality, int perEntry = 1, std::uint8_t spread = 0) {
    const int width = 5120 * perEntry;
    sw::FillSpec g;
    g.type = 0x10;
    g.stops = std::move(stops);
    g.spread = spread;
    g.matrix.scaleX = g.matrix.scaleY = width / 32768.0;
    g.matrix.translateX = width / 2;
    g.matrix.translateY = 80;
    sw::ShapeBuilder s;
    s.fill(g).style(std::nullopt, 1, std::nullopt).rect(0, 0, width, 160);
    sw::MovieSpec spec;
    spec.widthTwips = width;
    spec.heightTwips = 160;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, {s.build(3, 1, 0, width, 0, 160), sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}));
    vp::Player player(movie);
    QImage image(256 * perEntry, 8, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, QTransform::fromScale(0.05, 0.05), quality);
    return image;
}

// With anti-aliasing each pixel column takes exactly one table entry at its left edge, so
// one-entry stripes land on one column.
TEST(SteppedGradientPixels, StripesOfRepeatedRatiosLandOnSingleColumns) {
    const QImage img = renderRamp({{100, 0xff0000ff}, {100, 0x00ff00ff}, {100, 0x0000ffff}, {255, 0x0000ffff}}, vp::RenderQuality::High);
    EXPECT_EQ(img.pixel(100, 4), 0xffff0000);
    EXPECT_EQ(img.pixel(101, 4), 0xffff0000);
    EXPECT_EQ(img.pixel(102, 4), 0xff00ff00);
    EXPECT_EQ(img.pixel(103, 4), 0xff0000ff);
    EXPECT_EQ(img.pixel(200, 4), 0xff0000ff);
}

TEST(SteppedGradientPixels, WideEntriesStayFlat) {
    const QImage img = renderRamp({{0, 0x000000ff}, {100, 0x000000ff}, {101, 0xffffffff}, {255, 0xffffffff}}, vp::RenderQuality::High, 4);
    EXPECT_EQ(qRed(img.pixel(403, 4)), 0);
    for (int x = 404; x < 408; ++x) EXPECT_EQ(qRed(img.pixel(x, 4)), 255) << x;
}

// Without anti-aliasing each pixel takes the colour at its centre, entries sitting at their own
// centres: an entry one pixel wide shows alone, a wider one blends into its neighbours.
TEST(BlendedGradientPixels, StripesOfRepeatedRatiosLandOnSingleColumns) {
    const QImage img = renderRamp({{100, 0xff0000ff}, {100, 0x00ff00ff}, {100, 0x0000ffff}, {255, 0x0000ffff}}, vp::RenderQuality::Low);
    EXPECT_EQ(img.pixel(100, 4), 0xffff0000);
    EXPECT_EQ(img.pixel(101, 4), 0xff00ff00);
    EXPECT_EQ(img.pixel(102, 4), 0xff0000ff);
    EXPECT_EQ(img.pixel(200, 4), 0xff0000ff);
}

TEST(BlendedGradientPixels, NeighbouringEntriesBlendByTheirDistance) {
    // Entry 100 black, 101 white, four pixels each: centres between them blend by eighths.
    const QImage img = renderRamp({{0, 0x000000ff}, {100, 0x000000ff}, {101, 0xffffffff}, {255, 0xffffffff}}, vp::RenderQuality::Low, 4);
    const int expected[] = {0, 32, 96, 159, 223, 255};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(img.pixel(401 + i, 4), qRgb(expected[i], expected[i], expected[i])) << 401 + i;
}

TEST(BlendedGradientPixels, TranslucentEntriesBlendUnpremultiplied) {
    // Transparent red into opaque blue over the white stage: an eighth of the way the colour
    // (223, 0, 32) is still mostly red, at an eighth of full alpha. Blending premultiplied
    // colours would give (223, 223, 255).
    const QImage img = renderRamp({{0, 0xff000000}, {100, 0xff000000}, {101, 0x0000ffff}, {255, 0x0000ffff}}, vp::RenderQuality::Low, 4);
    EXPECT_EQ(img.pixel(402, 4), qRgb(251, 223, 227));
    EXPECT_EQ(img.pixel(400, 4), qRgb(255, 255, 255));
}

TEST(BlendedGradientPixels, EndsHoldWithoutWrapping) {
    // A repeating ramp: the first and last half entries keep their own end colour.
    const QImage img = renderRamp({{0, 0x000000ff}, {127, 0x000000ff}, {128, 0xffffffff}, {255, 0xffffffff}}, vp::RenderQuality::Low, 4, 2);
    EXPECT_EQ(img.pixel(0, 4), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(1023, 4), qRgb(255, 255, 255));
    EXPECT_EQ(img.pixel(510, 4), qRgb(32, 32, 32));
}

// A 200 x 100 pixel stage holding either a rectangle filled with `g` or a line 40 pixels wide,
// painted with `g`, running through the middle of that rectangle from side to side.
QImage renderGradientBand(const sw::FillSpec& g, bool asLine, vp::RenderQuality quality) {
    sw::ShapeBuilder s;
    if (asLine) {
        sw::LineSpec line;
        line.width = 800;
        line.fill = g;
        s.line(line).style(std::nullopt, std::nullopt, 1).moveTo(-400, 1000).lineTo(4400, 1000);
    } else {
        s.fill(g).style(std::nullopt, 1, std::nullopt).rect(0, 0, 4000, 2000);
    }
    sw::MovieSpec spec;
    spec.widthTwips = 4000;
    spec.heightTwips = 2000;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, {s.build(4, 1, -800, 4800, -400, 2400), sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}));
    vp::Player player(movie);
    QImage image(200, 100, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, QTransform::fromScale(0.05, 0.05), quality);
    return image;
}

// Lines painted with a gradient take, pixel by pixel, the colours a fill of the same gradient has
// there, whatever the kind of gradient, its spread and the drawing quality.
TEST(GradientLines, ShowTheColoursOfAFillOfTheSameGradient) {
    sw::FillSpec linear;
    linear.type = 0x10;
    linear.stops = {{0, 0xff1419ff}, {90, 0x20ff40ff}, {255, 0x0e14ffff}};
    linear.matrix.scaleX = linear.matrix.scaleY = 1300 / 32768.0;
    linear.matrix.translateX = 1700;
    linear.matrix.translateY = 1000;
    linear.spread = 1;
    sw::FillSpec focal = linear;
    focal.type = 0x13;
    focal.focalPoint = 0.8;
    focal.spread = 2;
    focal.interpolation = 1;
    sw::FillSpec radial = linear;
    radial.type = 0x12;
    radial.spread = 0;
    for (const sw::FillSpec& g : {linear, focal, radial}) {
        for (const auto quality : {vp::RenderQuality::Low, vp::RenderQuality::High}) {
            const QImage fill = renderGradientBand(g, false, quality);
            const QImage line = renderGradientBand(g, true, quality);
            ASSERT_FALSE(fill.isNull());
            ASSERT_FALSE(line.isNull());
            int differing = 0;
            // Rows well inside the line's band, away from its anti-aliased sides.
            for (int y = 35; y < 65; ++y)
                for (int x = 0; x < 200; ++x) differing += line.pixel(x, y) != fill.pixel(x, y);
            EXPECT_EQ(differing, 0) << "type " << int(g.type) << " quality " << int(quality);
        }
    }
}

// A blended fill gives every pixel the same colour whether it is drawn whole or in small pieces,
// for each kind of gradient and spread, translucent stops included.
TEST(BlendedGradientPixels, WholeFillEqualsPiecewiseFill) {
    const swf::Gradient g = gradient({{0, swf::Rgba{255, 0, 0, 40}}, {90, kBlue}, {90, kGreen}, {200, swf::Rgba{0, 0, 0, 200}}, {255, kWhite}});
    const vp::GradientTable table = vp::buildGradientTable(g, {}, kBlended);
    const QTransform square = QTransform(0.013, 0.004, -0.005, 0.011, 320, 200);
    const QRect whole(0, 0, 640, 400);
    for (const auto type : {kLinear, kRadial, kFocal}) {
        for (const std::uint8_t spread : {0, 1, 2}) {
            swf::Gradient shaped = g;
            shaped.spread = spread;
            shaped.focalPoint = 0.6;
            QImage full(whole.size(), QImage::Format_ARGB32_Premultiplied);
            vp::renderGradient(shaped, type, table, square, whole, full, kBlended);
            for (const QRect piece : {QRect(0, 0, 40, 30), QRect(300, 180, 64, 48), QRect(600, 370, 40, 30)}) {
                QImage part(piece.size(), QImage::Format_ARGB32_Premultiplied);
                vp::renderGradient(shaped, type, table, square, piece, part, kBlended);
                EXPECT_EQ(part, full.copy(piece)) << static_cast<int>(type) << " spread " << int(spread) << " at " << piece.x();
            }
        }
    }
}

}  // namespace
