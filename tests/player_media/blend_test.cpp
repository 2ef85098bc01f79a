#include <gtest/gtest.h>

#include "player/render/blend.h"
#include "tests/player_media/media_test_support.h"

namespace vistrel::player {
namespace {

using test::rawPixel;

QImage filled(int w, int h, QRgb premultiplied)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(premultiplied);
    return image;
}

struct BlendCase {
    const char* name;
    BlendMode mode;
    QRgb target;   // premultiplied
    QRgb layer;    // premultiplied
    QRgb expected; // premultiplied
};

class BlendOnePixel : public ::testing::TestWithParam<BlendCase> {};

TEST_P(BlendOnePixel, GivesTheKnownResult)
{
    const BlendCase& c = GetParam();
    QImage target = filled(3, 3, c.target);
    blendLayer(target, filled(1, 1, c.layer), QPoint(1, 1), c.mode);
    const QRgb got = rawPixel(target, 1, 1);
    EXPECT_TRUE(test::near(got, c.expected, 1))
        << std::hex << "got " << got << " expected " << c.expected;
    EXPECT_EQ(rawPixel(target, 0, 0), c.target); // outside the layer nothing changes
    EXPECT_TRUE(test::validPremultiplied(target));
}

const QRgb kTarget = qRgb(100, 150, 200);
const QRgb kLayer = qRgb(50, 100, 250);
const QRgb kHalfLayer = qRgba(25, 50, 125, 128); // kLayer at half coverage

INSTANTIATE_TEST_SUITE_P(
    Modes, BlendOnePixel,
    ::testing::Values(
        BlendCase{"Normal", BlendMode::Normal, kTarget, kLayer, kLayer},
        BlendCase{"NormalHalf", BlendMode::Normal, kTarget, kHalfLayer, qRgb(75, 125, 225)},
        BlendCase{"Layer", BlendMode::Layer, kTarget, kLayer, kLayer},
        BlendCase{"Multiply", BlendMode::Multiply, kTarget, kLayer, qRgb(20, 59, 196)},
        BlendCase{"Screen", BlendMode::Screen, kTarget, kLayer, qRgb(130, 191, 254)},
        BlendCase{"Lighten", BlendMode::Lighten, kTarget, kLayer, qRgb(100, 150, 250)},
        BlendCase{"Darken", BlendMode::Darken, kTarget, kLayer, qRgb(50, 100, 200)},
        BlendCase{"Difference", BlendMode::Difference, kTarget, kLayer, qRgb(50, 50, 50)},
        BlendCase{"Add", BlendMode::Add, kTarget, kLayer, qRgb(150, 250, 255)},
        BlendCase{"Subtract", BlendMode::Subtract, kTarget, kLayer, qRgb(50, 50, 0)},
        BlendCase{"SubtractHalf", BlendMode::Subtract, kTarget, kHalfLayer, qRgb(75, 100, 100)},
        BlendCase{"SubtractOnEmpty", BlendMode::Subtract, 0, kLayer, kLayer},
        BlendCase{"Invert", BlendMode::Invert, kTarget, kLayer, qRgb(155, 105, 55)},
        BlendCase{"InvertTransparentLayer", BlendMode::Invert, kTarget, 0, kTarget},
        BlendCase{"InvertKeepsTargetAlpha", BlendMode::Invert, qRgba(50, 0, 100, 100), kLayer, qRgba(50, 100, 0, 100)},
        BlendCase{"Alpha", BlendMode::Alpha, kTarget, kHalfLayer, qRgba(50, 75, 100, 128)},
        BlendCase{"Erase", BlendMode::Erase, kTarget, kHalfLayer, qRgba(50, 75, 100, 127)},
        BlendCase{"Overlay", BlendMode::Overlay, kTarget, kLayer, qRgb(39, 127, 253)},
        BlendCase{"Hardlight", BlendMode::Hardlight, kTarget, kLayer, qRgb(39, 118, 253)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BlendLayerTest, LayerPartlyOutsideIsClipped)
{
    for (BlendMode mode : {BlendMode::Normal, BlendMode::Subtract, BlendMode::Invert}) {
        QImage target = filled(4, 4, kTarget);
        blendLayer(target, filled(3, 3, kLayer), QPoint(2, -1), mode);
        EXPECT_EQ(rawPixel(target, 1, 1), kTarget);
        EXPECT_NE(rawPixel(target, 3, 1), kTarget);
        EXPECT_NE(rawPixel(target, 2, 0), kTarget);
        EXPECT_EQ(rawPixel(target, 2, 2), kTarget);
    }
}

TEST(BlendLayerTest, ConvertsTheTargetAndLayerFormats)
{
    QImage target(2, 2, QImage::Format_RGB32);
    target.fill(kTarget);
    QImage layer(2, 2, QImage::Format_ARGB32); // straight alpha
    layer.fill(qRgba(50, 100, 250, 128));
    blendLayer(target, layer, QPoint(0, 0), BlendMode::Normal);
    EXPECT_EQ(target.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_TRUE(test::near(rawPixel(target, 0, 0), qRgb(75, 125, 225), 1));
}

TEST(BlendModeFromByteTest, MapsFileValues)
{
    EXPECT_EQ(blendModeFromByte(0), BlendMode::Normal);
    EXPECT_EQ(blendModeFromByte(1), BlendMode::Normal);
    EXPECT_EQ(blendModeFromByte(2), BlendMode::Layer);
    EXPECT_EQ(blendModeFromByte(3), BlendMode::Multiply);
    EXPECT_EQ(blendModeFromByte(10), BlendMode::Invert);
    EXPECT_EQ(blendModeFromByte(14), BlendMode::Hardlight);
    EXPECT_EQ(blendModeFromByte(15), BlendMode::Normal);
    EXPECT_EQ(blendModeFromByte(255), BlendMode::Normal);
}

} // namespace
} // namespace vistrel::player
