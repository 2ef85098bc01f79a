#include <gtest/gtest.h>

#include "player/render/filters.h"
#include "tests/player_media/media_test_support.h"
#include "tests/support/allocation_probe.h"

namespace vistrel::player {
namespace {

using test::ByteWriter;
using test::Bytes;

// One filter of each kind, written field by field in the file's layout.
Bytes allFilters()
{
    ByteWriter w;
    w.u8(8);
    // Drop shadow: colour, blur x/y, angle, distance, strength, inner|knockout|composite|passes.
    w.u8(0).rgba(qRgba(1, 2, 3, 4)).fixed16(5.5).fixed16(6).fixed16(0.75).fixed16(-3).fixed8(1.5).u8(0x80 | 0x20 | 3);
    // Blur: passes in the top five bits.
    w.u8(1).fixed16(2).fixed16(8.25).u8(2 << 3);
    // Glow.
    w.u8(2).rgba(qRgba(255, 0, 0, 255)).fixed16(10).fixed16(12).fixed8(2).u8(0x40 | 0x20 | 31);
    // Bevel: highlight colour first, then shadow; on-top bit and four bits of passes.
    w.u8(3).rgba(qRgba(0, 0, 0, 200)).rgba(qRgba(255, 255, 255, 100)).fixed16(3).fixed16(4).fixed16(1).fixed16(2)
        .fixed8(0.5).u8(0x20 | 0x10 | 15);
    // Gradient glow: count, colours, ratios, then the bevel-style fields.
    w.u8(4).u8(2).rgba(qRgba(0, 0, 255, 0)).rgba(qRgba(0, 0, 255, 255)).u8(0).u8(255)
        .fixed16(4).fixed16(4).fixed16(0).fixed16(0).fixed8(1).u8(0x80 | 0x20 | 1);
    // Convolution: 3 x 2 matrix, divisor, bias, values, default colour, clamp|preserve-alpha.
    w.u8(5).u8(3).u8(2).f32(4.0f).f32(-1.5f);
    for (int i = 0; i < 6; ++i)
        w.f32(float(i) - 2.5f);
    w.rgba(qRgba(9, 8, 7, 6)).u8(0x01);
    // Colour matrix: 20 floats.
    w.u8(6);
    for (int i = 0; i < 20; ++i)
        w.f32(float(i) * 0.5f);
    // Gradient bevel with three stops.
    w.u8(7).u8(3).rgba(qRgba(255, 255, 255, 255)).rgba(qRgba(128, 128, 128, 0)).rgba(qRgba(0, 0, 0, 255))
        .u8(0).u8(128).u8(255).fixed16(1).fixed16(2).fixed16(3.5).fixed16(4).fixed8(3).u8(0x40 | 0x20 | 2);
    return w.data();
}

TEST(FilterList, ReadsEveryKindWithItsFields)
{
    Bytes data = allFilters();
    const std::size_t listSize = data.size();
    data.push_back(0xaa); // what follows the list in the tag must not be touched
    std::size_t consumed = 0;
    const std::vector<Filter> filters = parseFilterList(data, consumed);
    EXPECT_EQ(consumed, listSize);
    ASSERT_EQ(filters.size(), 8u);

    const auto& shadow = std::get<DropShadowFilter>(filters[0]);
    EXPECT_EQ(shadow.color, qRgba(1, 2, 3, 4));
    EXPECT_DOUBLE_EQ(shadow.blurX, 5.5);
    EXPECT_DOUBLE_EQ(shadow.blurY, 6);
    EXPECT_DOUBLE_EQ(shadow.angle, 0.75);
    EXPECT_DOUBLE_EQ(shadow.distance, -3);
    EXPECT_DOUBLE_EQ(shadow.strength, 1.5);
    EXPECT_TRUE(shadow.inner);
    EXPECT_FALSE(shadow.knockout);
    EXPECT_TRUE(shadow.compositeSource);
    EXPECT_EQ(shadow.passes, 3);

    const auto& blur = std::get<BlurFilter>(filters[1]);
    EXPECT_DOUBLE_EQ(blur.blurX, 2);
    EXPECT_DOUBLE_EQ(blur.blurY, 8.25);
    EXPECT_EQ(blur.passes, 2);

    const auto& glow = std::get<GlowFilter>(filters[2]);
    EXPECT_EQ(glow.color, qRgba(255, 0, 0, 255));
    EXPECT_DOUBLE_EQ(glow.blurY, 12);
    EXPECT_DOUBLE_EQ(glow.strength, 2);
    EXPECT_FALSE(glow.inner);
    EXPECT_TRUE(glow.knockout);
    EXPECT_EQ(glow.passes, 31);

    const auto& bevel = std::get<BevelFilter>(filters[3]);
    EXPECT_EQ(bevel.highlightColor, qRgba(0, 0, 0, 200));
    EXPECT_EQ(bevel.shadowColor, qRgba(255, 255, 255, 100));
    EXPECT_DOUBLE_EQ(bevel.angle, 1);
    EXPECT_DOUBLE_EQ(bevel.distance, 2);
    EXPECT_DOUBLE_EQ(bevel.strength, 0.5);
    EXPECT_FALSE(bevel.inner);
    EXPECT_TRUE(bevel.onTop);
    EXPECT_EQ(bevel.passes, 15);

    const auto& gradientGlow = std::get<GradientGlowFilter>(filters[4]);
    ASSERT_EQ(gradientGlow.stops.size(), 2u);
    EXPECT_EQ(gradientGlow.stops[1].color, qRgba(0, 0, 255, 255));
    EXPECT_EQ(gradientGlow.stops[1].ratio, 255);
    EXPECT_TRUE(gradientGlow.inner);
    EXPECT_EQ(gradientGlow.passes, 1);

    const auto& convolution = std::get<ConvolutionFilter>(filters[5]);
    EXPECT_EQ(convolution.matrixX, 3);
    EXPECT_EQ(convolution.matrixY, 2);
    EXPECT_FLOAT_EQ(convolution.divisor, 4.0f);
    EXPECT_FLOAT_EQ(convolution.bias, -1.5f);
    ASSERT_EQ(convolution.matrix.size(), 6u);
    EXPECT_FLOAT_EQ(convolution.matrix[5], 2.5f);
    EXPECT_EQ(convolution.defaultColor, qRgba(9, 8, 7, 6));
    EXPECT_FALSE(convolution.clamp);
    EXPECT_TRUE(convolution.preserveAlpha);

    const auto& matrix = std::get<ColorMatrixFilter>(filters[6]);
    EXPECT_FLOAT_EQ(matrix.matrix[0], 0.0f);
    EXPECT_FLOAT_EQ(matrix.matrix[19], 9.5f);

    const auto& gradientBevel = std::get<GradientBevelFilter>(filters[7]);
    ASSERT_EQ(gradientBevel.stops.size(), 3u);
    EXPECT_EQ(gradientBevel.stops[1].ratio, 128);
    EXPECT_DOUBLE_EQ(gradientBevel.angle, 3.5);
    EXPECT_DOUBLE_EQ(gradientBevel.strength, 3);
    EXPECT_TRUE(gradientBevel.knockout);
    EXPECT_EQ(gradientBevel.passes, 2);
}

TEST(FilterList, EmptyListUsesOneByte)
{
    const Bytes data = {0, 1, 2};
    std::size_t consumed = 99;
    EXPECT_TRUE(parseFilterList(data, consumed).empty());
    EXPECT_EQ(consumed, 1u);
}

TEST(FilterList, EveryTruncationThrowsAndLeavesConsumedAlone)
{
    const Bytes data = allFilters();
    for (std::size_t n = 0; n < data.size(); ++n) {
        const std::span<const std::uint8_t> cut(data.data(), n);
        std::size_t consumed = 12345;
        EXPECT_THROW(parseFilterList(cut, consumed), FilterListError) << "cut at " << n;
        EXPECT_EQ(consumed, 12345u);
    }
}

TEST(FilterList, UnknownIdThrows)
{
    const Bytes data = {1, 8, 0, 0, 0, 0};
    std::size_t consumed = 0;
    EXPECT_THROW(parseFilterList(data, consumed), FilterListError);
}

TEST(FilterList, HugeCountsDoNotAllocateAhead)
{
    // 255 filters promised, a 255 x 255 convolution promised: both far beyond the bytes present.
    const Bytes manyFilters = {255, 1, 0, 0};
    const Bytes bigMatrix = {1, 5, 255, 255, 0, 0, 128, 63, 0, 0, 0, 0};
    std::size_t consumed = 0;
    std::size_t largest = 0;
    {
        const testing::LargestAllocation probe;
        EXPECT_THROW(parseFilterList(manyFilters, consumed), std::runtime_error);
        EXPECT_THROW(parseFilterList(bigMatrix, consumed), std::runtime_error);
        largest = probe.bytes();
    }
    // The matrix alone would be 255 * 255 floats; the filters 255 records.
    EXPECT_LT(largest, 4096u);
}

} // namespace
} // namespace vistrel::player
