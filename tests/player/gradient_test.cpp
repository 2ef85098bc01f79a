// Gradient colour tables (repeated and backward ratios, linear light), positions in the gradient
// square with each spread mode and focal points, and rendered gradient pixels.
#include <gtest/gtest.h>

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
};

class GradientTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(GradientTableTest, EntriesHoldTheirColours) {
    const vp::GradientTable table = vp::buildGradientTable(GetParam().gradient, swf::ColorTransform{});
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
        TableCase{"OneRecordFillsAll", gradient({{128, kBlue}}), {{0, kBlue}, {255, kBlue}}}),
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

TEST(GradientTable, ColourTransformAppliesToEveryRecord) {
    swf::ColorTransform cx;
    cx.rMult = 0;
    cx.bAdd = 255;
    const vp::GradientTable table = vp::buildGradientTable(gradient({{0, kRed}, {255, kGreen}}), cx);
    EXPECT_EQ(table[0], qRgba(0, 0, 255, 255));
    EXPECT_EQ(table[255], qRgba(0, 255, 255, 255));
}

struct EntryCase {
    const char* name;
    swf::FillType type;
    int spread;
    double focal, x, y;
    int entry;
};

class GradientEntryTest : public ::testing::TestWithParam<EntryCase> {};

TEST_P(GradientEntryTest, PointMapsToEntry) {
    const EntryCase& c = GetParam();
    EXPECT_EQ(vp::gradientEntry(c.type, c.spread, c.focal, c.x, c.y), c.entry);
}

constexpr auto kLinear = swf::FillType::LinearGradient, kRadial = swf::FillType::RadialGradient,
               kFocal = swf::FillType::FocalGradient;

INSTANTIATE_TEST_SUITE_P(
    Square, GradientEntryTest,
    ::testing::Values(EntryCase{"LinearStart", kLinear, 0, 0, -16384, 0, 0},
                      EntryCase{"LinearMiddle", kLinear, 0, 0, 0, 5000, 128},
                      EntryCase{"LinearEdgeBelongsToNextEntry", kLinear, 0, 0, -16384 + 128 * 10, 0, 10},
                      EntryCase{"PadBeyondEnd", kLinear, 0, 0, 40000, 0, 255},
                      EntryCase{"PadBeforeStart", kLinear, 0, 0, -40000, 0, 0},
                      EntryCase{"ReflectComesBack", kLinear, 1, 0, 16384 + 8192, 0, 192},
                      EntryCase{"RepeatStartsAgain", kLinear, 2, 0, 16384 + 8192, 0, 64},
                      EntryCase{"RadialHalfway", kRadial, 0, 0, 0, 8192, 128},
                      EntryCase{"RadialOutside", kRadial, 0, 0, 30000, 30000, 255},
                      EntryCase{"FocalPointIsStart", kFocal, 0, 0.5, 8192, 0, 0},
                      EntryCase{"FocalCircleIsEnd", kFocal, 0, 0.5, -16383, 0, 255},
                      // Halfway from the focal point to the circle, on the far side.
                      EntryCase{"FocalHalfway", kFocal, 0, 0.5, -4096, 0, 128},
                      EntryCase{"HugeRepeatStaysInRange", kLinear, 2, 0, 1e30, 0, 0}),
    [](const ::testing::TestParamInfo<EntryCase>& info) { return std::string(info.param.name); });

// A 256x8 pixel stage drawn one to one, with a linear gradient whose square spans it exactly.
QImage renderRamp(std::vector<sw::GradientStop> stops, vp::RenderQuality quality) {
    sw::FillSpec g;
    g.type = 0x10;
    g.stops = std::move(stops);
    g.matrix.scaleX = g.matrix.scaleY = 5120.0 / 32768;
    g.matrix.translateX = 2560;
    g.matrix.translateY = 80;
    sw::ShapeBuilder s;
    s.fill(g).style(std::nullopt, 1, std::nullopt).rect(0, 0, 5120, 160);
    sw::MovieSpec spec;
    spec.widthTwips = 5120;
    spec.heightTwips = 160;
    auto movie = vp::Movie::fromBytes(sw::movie(spec, {s.build(3, 1, 0, 5120, 0, 160), sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}));
    vp::Player player(movie);
    QImage image(256, 8, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, QTransform::fromScale(0.05, 0.05), quality);
    return image;
}

class GradientPixelsTest : public ::testing::TestWithParam<vp::RenderQuality> {};

// Each pixel column takes exactly one table entry, so one-entry stripes land on one column.
TEST_P(GradientPixelsTest, StripesOfRepeatedRatiosLandOnSingleColumns) {
    const QImage img = renderRamp({{100, 0xff0000ff}, {100, 0x00ff00ff}, {100, 0x0000ffff}, {255, 0x0000ffff}}, GetParam());
    EXPECT_EQ(img.pixel(100, 4), 0xffff0000);
    EXPECT_EQ(img.pixel(101, 4), 0xffff0000);
    EXPECT_EQ(img.pixel(102, 4), 0xff00ff00);
    EXPECT_EQ(img.pixel(103, 4), 0xff0000ff);
    EXPECT_EQ(img.pixel(200, 4), 0xff0000ff);
}

INSTANTIATE_TEST_SUITE_P(Qualities, GradientPixelsTest, ::testing::Values(vp::RenderQuality::Low, vp::RenderQuality::High));

}  // namespace
