#include <gtest/gtest.h>

#include "player/bitmap/bitmap_decode.h"
#include "player/swf/tag.h"
#include "tests/player_media/media_test_support.h"

namespace vistrel::player {
namespace {

namespace tagcode = swf::tagcode;

using test::ByteWriter;
using test::Bytes;
using test::rawPixel;
using test::zlibCompress;

// Header of a lossless body (after the character id), then the compressed payload.
Bytes losslessBody(int format, int width, int height, const Bytes& raw, int tableSize = -1)
{
    ByteWriter w;
    w.u8(format).u16(width).u16(height);
    if (tableSize >= 0)
        w.u8(tableSize - 1);
    return w.bytes(zlibCompress(raw)).data();
}

QImage decode(int tag, const Bytes& body)
{
    return decodeBitmapTag(tag, body, {});
}

TEST(LosslessBitmap, ColormappedRowsArePaddedToFourBytes)
{
    // Three colours, 3x2 pixels: each row holds 3 indices and one pad byte.
    const Bytes raw = {255, 0, 0, 0, 255, 0, 0, 0, 255,
                       0, 1, 2, 99, 2, 2, 0, 99};
    const QImage image = decode(tagcode::kDefineBitsLossless, losslessBody(3, 3, 2, raw, 3));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(image.size(), QSize(3, 2));
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(rawPixel(image, 1, 0), qRgb(0, 255, 0));
    EXPECT_EQ(rawPixel(image, 2, 0), qRgb(0, 0, 255));
    EXPECT_EQ(rawPixel(image, 0, 1), qRgb(0, 0, 255));
    EXPECT_EQ(rawPixel(image, 2, 1), qRgb(255, 0, 0));
}

TEST(LosslessBitmap, ColormappedWithAlphaKeepsPremultipliedTableAndClampsIt)
{
    // Entry 1 is stored with red above its alpha: the decoder must not produce that pixel.
    const Bytes raw = {128, 64, 0, 128, 255, 10, 20, 100, 0, 1, 0, 0};
    const QImage image = decode(tagcode::kDefineBitsLossless2, losslessBody(3, 2, 1, raw, 2));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgba(128, 64, 0, 128));
    EXPECT_EQ(rawPixel(image, 1, 0), qRgba(100, 10, 20, 100));
}

TEST(LosslessBitmap, ColormappedIndexPastTableIsTransparent)
{
    const Bytes raw = {1, 2, 3, 0, 7, 0, 0};
    const QImage image = decode(tagcode::kDefineBitsLossless, losslessBody(3, 2, 1, raw, 1));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(1, 2, 3));
    EXPECT_EQ(rawPixel(image, 1, 0), 0u);
}

TEST(LosslessBitmap, Rgb15ExpandsFiveBitChannels)
{
    // 0 11111 00000 10000, then 0 00000 11111 00001; one row of 2 pixels is 4 bytes, no padding.
    const Bytes raw = {0x7c, 0x10, 0x03, 0xe1};
    const QImage image = decode(tagcode::kDefineBitsLossless, losslessBody(4, 2, 1, raw));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(255, 0, 132));
    EXPECT_EQ(rawPixel(image, 1, 0), qRgb(0, 255, 8));
}

TEST(LosslessBitmap, Rgb15OddWidthRowsArePadded)
{
    const Bytes raw = {0x7c, 0x00, 0xff, 0xff, 0x00, 0x1f, 0xff, 0xff};
    const QImage image = decode(tagcode::kDefineBitsLossless, losslessBody(4, 1, 2, raw));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(rawPixel(image, 0, 1), qRgb(0, 0, 255));
}

TEST(LosslessBitmap, Rgb32IgnoresTheReservedByte)
{
    const Bytes raw = {0, 10, 20, 30, 77, 40, 50, 60};
    const QImage image = decode(tagcode::kDefineBitsLossless, losslessBody(5, 2, 1, raw));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(10, 20, 30));
    EXPECT_EQ(rawPixel(image, 1, 0), qRgb(40, 50, 60));
}

TEST(LosslessBitmap, Argb32IsPremultipliedAndClamped)
{
    const Bytes raw = {128, 100, 50, 0, 0, 0, 0, 0, 64, 255, 64, 10};
    const QImage image = decode(tagcode::kDefineBitsLossless2, losslessBody(5, 3, 1, raw));
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgba(100, 50, 0, 128));
    EXPECT_EQ(rawPixel(image, 1, 0), 0u);
    EXPECT_EQ(rawPixel(image, 2, 0), qRgba(64, 64, 10, 64));
    EXPECT_TRUE(test::validPremultiplied(image));
}

TEST(LosslessBitmap, MissingChecksumStillGivesTheWholeImage)
{
    const Bytes raw = {0, 1, 2, 3, 0, 4, 5, 6};
    Bytes body = losslessBody(5, 1, 2, raw);
    body.resize(body.size() - 4); // the adler-32 trailer
    const QImage image = decode(tagcode::kDefineBitsLossless, body);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 1), qRgb(4, 5, 6));
}

TEST(LosslessBitmap, StreamCutShortKeepsTheRowsThatArrived)
{
    // Stored (uncompressed) deflate blocks let the test cut the stream after a known row.
    Bytes raw(64 * 64 * 4);
    for (std::size_t i = 0; i < raw.size(); i += 4) {
        raw[i] = 0;
        raw[i + 1] = 200;
    }
    Bytes packed = test::zlibCompress(raw, 0);
    packed.resize(packed.size() / 2);
    Bytes body = ByteWriter().u8(5).u16(64).u16(64).bytes(packed).data();
    const QImage image = decode(tagcode::kDefineBitsLossless, body);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(64, 64));
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(200, 0, 0));
    EXPECT_EQ(rawPixel(image, 63, 63), 0u);
}

struct BadLossless {
    const char* name;
    int tag;
    Bytes body;
};

class LosslessRejects : public ::testing::TestWithParam<BadLossless> {};

TEST_P(LosslessRejects, GiveNullImage)
{
    EXPECT_TRUE(decode(GetParam().tag, GetParam().body).isNull());
}

INSTANTIATE_TEST_SUITE_P(
    BadInput, LosslessRejects,
    ::testing::Values(
        BadLossless{"ZeroWidth", tagcode::kDefineBitsLossless, losslessBody(5, 0, 4, Bytes(16))},
        BadLossless{"ZeroHeight", tagcode::kDefineBitsLossless, losslessBody(5, 4, 0, Bytes(16))},
        BadLossless{"OverPixelLimit", tagcode::kDefineBitsLossless2, losslessBody(5, 65535, 65535, Bytes(64))},
        BadLossless{"UnknownFormat", tagcode::kDefineBitsLossless, losslessBody(7, 1, 1, Bytes(4))},
        BadLossless{"HeaderOnly", tagcode::kDefineBitsLossless, Bytes{5, 1, 0}},
        BadLossless{"EmptyBody", tagcode::kDefineBitsLossless, Bytes{}},
        BadLossless{"NotZlib", tagcode::kDefineBitsLossless, Bytes{5, 1, 0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8}},
        BadLossless{"TableOnly", tagcode::kDefineBitsLossless, losslessBody(3, 4, 4, Bytes(12), 4)},
        BadLossless{"UnknownTag", 99, losslessBody(5, 1, 1, Bytes(4))}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LosslessBitmap, EveryTruncationIsHandled)
{
    const Bytes raw = {3, 0, 0, 0, 255, 255, 255, 0, 1, 1, 0, 1, 0, 0, 0};
    const Bytes body = losslessBody(3, 3, 2, raw, 2);
    for (std::size_t n = 0; n < body.size(); ++n) {
        const Bytes cut(body.begin(), body.begin() + std::ptrdiff_t(n));
        const QImage image = decode(tagcode::kDefineBitsLossless, cut);
        if (!image.isNull()) {
            EXPECT_EQ(image.size(), QSize(3, 2)) << "cut at " << n;
        }
    }
}

} // namespace
} // namespace vistrel::player
