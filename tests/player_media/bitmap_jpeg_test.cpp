#include <gtest/gtest.h>

#include <QBuffer>
#include <QPainter>

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

const QRgb kJpegColor = qRgb(200, 60, 30);

Bytes encode(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format, 100));
    return Bytes(data.begin(), data.end());
}

// A 16x8 JPEG: left half one colour, right half white, so decoding can be checked by place.
Bytes makeJpeg()
{
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).fillRect(0, 0, 8, 8, QColor(kJpegColor));
    return encode(image, "JPEG");
}

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

const Bytes kQuirk = {0xff, 0xd9, 0xff, 0xd8};

// Splits a JPEG into a tables stream (quantisation and Huffman tables) and an image stream
// (everything else), each with its own start and end markers, the way movies store them.
std::pair<Bytes, Bytes> splitTables(const Bytes& jpeg)
{
    Bytes tables = {0xff, 0xd8};
    Bytes image = {0xff, 0xd8};
    std::size_t pos = 2;
    while (pos + 4 <= jpeg.size()) {
        const std::uint8_t marker = jpeg[pos + 1];
        const std::size_t length = (std::size_t(jpeg[pos + 2]) << 8) | jpeg[pos + 3];
        Bytes& target = (marker == 0xdb || marker == 0xc4) ? tables : image;
        if (marker == 0xda) { // scan: the rest of the file
            image.insert(image.end(), jpeg.begin() + std::ptrdiff_t(pos), jpeg.end());
            break;
        }
        target.insert(target.end(), jpeg.begin() + std::ptrdiff_t(pos), jpeg.begin() + std::ptrdiff_t(pos + 2 + length));
        pos += 2 + length;
    }
    tables.push_back(0xff);
    tables.push_back(0xd9);
    return {tables, image};
}

Bytes withAlpha(const Bytes& imageData, const Bytes& alphaPlane, bool deblock)
{
    ByteWriter w;
    w.u32(std::uint32_t(imageData.size()));
    if (deblock)
        w.u16(0x0100);
    return w.bytes(imageData).bytes(zlibCompress(alphaPlane)).data();
}

void expectJpegPicture(const QImage& image)
{
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(image.size(), QSize(16, 8));
    EXPECT_TRUE(test::near(rawPixel(image, 2, 4), kJpegColor, 12));
    EXPECT_TRUE(test::near(rawPixel(image, 13, 4), qRgb(255, 255, 255), 12));
}

TEST(JpegBitmap, Jpeg2DecodesPlainJpeg)
{
    expectJpegPicture(decodeBitmapTag(tagcode::kDefineBitsJpeg2, makeJpeg(), {}));
}

TEST(JpegBitmap, Jpeg2DropsTheStrayMarkerPairAtTheStart)
{
    expectJpegPicture(decodeBitmapTag(tagcode::kDefineBitsJpeg2, concat({kQuirk, makeJpeg()}), {}));
}

TEST(JpegBitmap, Jpeg2JoinsTablesAndImageStoredAsTwoStreams)
{
    const auto [tables, image] = splitTables(makeJpeg());
    expectJpegPicture(decodeBitmapTag(tagcode::kDefineBitsJpeg2, concat({tables, image}), {}));
}

TEST(JpegBitmap, DefineBitsMergesSharedTablesExactly)
{
    const Bytes jpeg = makeJpeg();
    const auto [tables, image] = splitTables(jpeg);
    const QImage whole = decodeBitmapTag(tagcode::kDefineBitsJpeg2, jpeg, {});
    const QImage merged = decodeBitmapTag(tagcode::kDefineBits, image, tables);
    ASSERT_FALSE(merged.isNull());
    EXPECT_EQ(merged, whole);
}

TEST(JpegBitmap, DefineBitsRemovesTheStrayPairFromTablesAndImage)
{
    const auto [tables, image] = splitTables(makeJpeg());
    expectJpegPicture(decodeBitmapTag(tagcode::kDefineBits, concat({kQuirk, image}), concat({kQuirk, tables})));
}

TEST(JpegBitmap, DefineBitsWithoutTablesTagUsesCompleteData)
{
    expectJpegPicture(decodeBitmapTag(tagcode::kDefineBits, makeJpeg(), {}));
}

TEST(JpegBitmap, Jpeg2AcceptsPngWithItsAlpha)
{
    QImage source(4, 4, QImage::Format_ARGB32);
    source.fill(qRgba(255, 0, 0, 128));
    const QImage image = decodeBitmapTag(tagcode::kDefineBitsJpeg2, encode(source, "PNG"), {});
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(test::near(rawPixel(image, 1, 1), qRgba(128, 0, 0, 128), 1));
}

TEST(JpegBitmap, Jpeg2AcceptsGif89a)
{
    // 1x1 pixel, two-colour table (red, black), index 0.
    const Bytes gif = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0x80, 0, 0, 0xff, 0, 0, 0, 0, 0,
                       0x2c, 0, 0, 0, 0, 1, 0, 1, 0, 0, 2, 2, 0x44, 1, 0, 0x3b};
    const QImage image = decodeBitmapTag(tagcode::kDefineBitsJpeg2, gif, {});
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(255, 0, 0));
}

class JpegWithAlpha : public ::testing::TestWithParam<int> {};

TEST_P(JpegWithAlpha, AppliesAndPremultipliesTheAlphaPlane)
{
    const bool jpeg4 = GetParam() == tagcode::kDefineBitsJpeg4;
    Bytes alpha(16 * 8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x)
            alpha[std::size_t(y * 16 + x)] = std::uint8_t(x < 4 ? 0 : x < 8 ? 128 : 255);
    const QImage image = decodeBitmapTag(GetParam(), withAlpha(makeJpeg(), alpha, jpeg4), {});
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), QSize(16, 8));
    EXPECT_EQ(rawPixel(image, 1, 3), 0u);
    const QRgb half = rawPixel(image, 6, 3);
    EXPECT_EQ(qAlpha(half), 128);
    EXPECT_TRUE(test::near(half, qPremultiply(qRgba(qRed(kJpegColor), qGreen(kJpegColor), qBlue(kJpegColor), 128)), 8));
    EXPECT_TRUE(test::near(rawPixel(image, 13, 3), qRgb(255, 255, 255), 12));
    EXPECT_TRUE(test::validPremultiplied(image));
}

TEST_P(JpegWithAlpha, ShortAlphaPlaneLeavesTheRestOpaque)
{
    const Bytes alpha(16, 0); // the first row only
    const QImage image = decodeBitmapTag(GetParam(), withAlpha(makeJpeg(), alpha, GetParam() == tagcode::kDefineBitsJpeg4), {});
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(qAlpha(rawPixel(image, 3, 0)), 0);
    EXPECT_EQ(qAlpha(rawPixel(image, 3, 1)), 255);
}

TEST_P(JpegWithAlpha, AlphaPlaneIsIgnoredForPng)
{
    QImage source(2, 2, QImage::Format_ARGB32);
    source.fill(qRgba(0, 0, 255, 255));
    const QImage image =
        decodeBitmapTag(GetParam(), withAlpha(encode(source, "PNG"), Bytes(4, 0), GetParam() == tagcode::kDefineBitsJpeg4), {});
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(rawPixel(image, 0, 0), qRgb(0, 0, 255));
}

TEST_P(JpegWithAlpha, OffsetPastTheEndGivesNull)
{
    ByteWriter w;
    w.u32(100000);
    if (GetParam() == tagcode::kDefineBitsJpeg4)
        w.u16(0);
    w.bytes(makeJpeg());
    EXPECT_TRUE(decodeBitmapTag(GetParam(), w.data(), {}).isNull());
}

INSTANTIATE_TEST_SUITE_P(Tags, JpegWithAlpha, ::testing::Values(tagcode::kDefineBitsJpeg3, tagcode::kDefineBitsJpeg4),
                         [](const auto& info) { return info.param == tagcode::kDefineBitsJpeg3 ? "Jpeg3" : "Jpeg4"; });

// Sets the frame size in a JPEG's start-of-frame segment.
Bytes withFrameSize(Bytes jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xff && jpeg[i + 1] == 0xc0) {
            jpeg[i + 5] = std::uint8_t(height >> 8);
            jpeg[i + 6] = std::uint8_t(height);
            jpeg[i + 7] = std::uint8_t(width >> 8);
            jpeg[i + 8] = std::uint8_t(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no baseline frame header";
    return jpeg;
}

TEST(JpegBitmap, RejectsDamagedAndOversizedData)
{
    const Bytes jpeg = makeJpeg();
    EXPECT_TRUE(decodeBitmapTag(tagcode::kDefineBitsJpeg2, withFrameSize(jpeg, 65000, 65000), {}).isNull());
    EXPECT_TRUE(decodeBitmapTag(tagcode::kDefineBitsJpeg2, withFrameSize(jpeg, 0, 8), {}).isNull());
    EXPECT_TRUE(decodeBitmapTag(tagcode::kDefineBitsJpeg2, Bytes{0xff, 0xd8, 0x12, 0x34, 0x56}, {}).isNull());
    EXPECT_TRUE(decodeBitmapTag(tagcode::kDefineBitsJpeg2, Bytes{}, {}).isNull());
    EXPECT_TRUE(decodeBitmapTag(tagcode::kDefineBitsJpeg2, Bytes{'B', 'M', 0, 0, 0, 0}, {}).isNull());
    EXPECT_TRUE(decodeBitmapTag(tagcode::kDefineBits, Bytes{0xff, 0xd9, 0xff, 0xd8}, Bytes{0xff, 0xd8, 0xff, 0xd9}).isNull());
}

TEST(JpegBitmap, EveryTruncationIsHandled)
{
    const Bytes jpeg = makeJpeg();
    const auto [tables, image] = splitTables(jpeg);
    for (std::size_t n = 0; n < jpeg.size(); n += 7) {
        const Bytes cut(jpeg.begin(), jpeg.begin() + std::ptrdiff_t(n));
        const QImage a = decodeBitmapTag(tagcode::kDefineBitsJpeg2, cut, {});
        if (!a.isNull()) {
            EXPECT_EQ(a.size(), QSize(16, 8));
        }
        const Bytes cutImage(image.begin(), image.begin() + std::ptrdiff_t(std::min(n, image.size())));
        const QImage b = decodeBitmapTag(tagcode::kDefineBits, cutImage, tables);
        if (!b.isNull()) {
            EXPECT_EQ(b.size(), QSize(16, 8));
        }
    }
}

} // namespace
} // namespace vistrel::player
