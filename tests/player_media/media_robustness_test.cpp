// Damaged input of every kind must end in a result or an error, never in a crash or a hang.
// Inputs are valid data with bytes overwritten at random (fixed seed, so failures repeat).
#include <gtest/gtest.h>

#include <random>

#include <QBuffer>

#include "player/bitmap/bitmap_decode.h"
#include "player/render/filters.h"
#include "player/swf/tag.h"
#include "player/text/html_text.h"
#include "tests/player_media/media_test_support.h"

namespace vistrel::player {
namespace {

namespace tagcode = swf::tagcode;

using test::ByteWriter;
using test::Bytes;

Bytes damaged(const Bytes& valid, std::mt19937& random)
{
    Bytes out = valid;
    std::uniform_int_distribution<std::size_t> position(0, out.size() - 1);
    std::uniform_int_distribution<int> value(0, 255);
    const int edits = 1 + int(random() % 4);
    for (int i = 0; i < edits; ++i)
        out[position(random)] = std::uint8_t(value(random));
    if (random() % 3 == 0)
        out.resize(position(random));
    return out;
}

Bytes sampleJpeg()
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(qRgb(30, 120, 220));
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 80);
    return Bytes(data.begin(), data.end());
}

TEST(MediaRobustness, DamagedBitmapsDecodeOrGiveNull)
{
    std::mt19937 random(1234);
    const Bytes jpeg = sampleJpeg();
    const Bytes lossless = ByteWriter().u8(3).u16(5).u16(3).u8(3).bytes(test::zlibCompress(Bytes(12 + 8 * 3, 7))).data();
    const Bytes jpeg3 = ByteWriter().u32(std::uint32_t(jpeg.size())).bytes(jpeg).bytes(test::zlibCompress(Bytes(24 * 16, 99))).data();
    const std::pair<int, const Bytes*> samples[] = {{tagcode::kDefineBitsJpeg2, &jpeg},
                                                    {tagcode::kDefineBits, &jpeg},
                                                    {tagcode::kDefineBitsLossless, &lossless},
                                                    {tagcode::kDefineBitsLossless2, &lossless},
                                                    {tagcode::kDefineBitsJpeg3, &jpeg3}};
    for (const auto& [tag, valid] : samples) {
        // A few damaged bytes in pixel data still decode: a decoder that refuses everything fails.
        int decoded = 0;
        for (int i = 0; i < 150; ++i) {
            const QImage image = decodeBitmapTag(tag, damaged(*valid, random), jpeg);
            if (!image.isNull()) {
                ++decoded;
                EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
                EXPECT_LE(std::int64_t(image.width()) * image.height(), kMaxBitmapPixels);
                EXPECT_TRUE(test::validPremultiplied(image));
            }
        }
        EXPECT_GT(decoded, 0) << "tag " << tag;
    }
}

TEST(MediaRobustness, DamagedFilterListsParseOrThrow)
{
    std::mt19937 random(99);
    ByteWriter w;
    w.u8(3);
    w.u8(0).rgba(0xff000000).fixed16(4).fixed16(4).fixed16(0.7).fixed16(4).fixed8(1).u8(0x21);
    w.u8(4).u8(2).rgba(0).rgba(0xff0000ff).u8(0).u8(255).fixed16(4).fixed16(4).fixed16(0).fixed16(0).fixed8(1).u8(0x21);
    w.u8(5).u8(3).u8(3).f32(1).f32(0);
    for (int i = 0; i < 9; ++i)
        w.f32(1.0f / 9);
    w.rgba(0).u8(2);
    const Bytes valid = w.data();
    QImage layer(32, 32, QImage::Format_ARGB32_Premultiplied);
    int parsed = 0, refused = 0;
    for (int i = 0; i < 300; ++i) {
        const Bytes data = damaged(valid, random);
        std::size_t consumed = 0;
        try {
            const std::vector<Filter> filters = parseFilterList(data, consumed);
            ++parsed;
            EXPECT_LE(consumed, data.size());
            layer.fill(qRgba(0, 0, 128, 128));
            applyFilters(layer, filters, 1, 1);
            EXPECT_TRUE(test::validPremultiplied(layer));
        } catch (const FilterListError&) {
            ++refused;   // cut short or an unknown id: only then may the list be refused
        }
    }
    // Changed values mostly still parse; cuts are refused. Neither answer may be the only one.
    EXPECT_GT(parsed, 0);
    EXPECT_GT(refused, 0);
}

TEST(MediaRobustness, DamagedHtmlParses)
{
    std::mt19937 random(7);
    const QString valid = QStringLiteral(
        "<textformat leading='2'><p align='center'><font face='Arial' size='+2' color='#ff00ff'>"
        "<b>bold &amp; <i>both</i></b> <a href='x'>link</a></font></p><li>item&#65;</li></textformat>");
    const QString alphabet = QStringLiteral("<>/&;#'\"= abp");
    for (int i = 0; i < 500; ++i) {
        QString html = valid;
        for (int edit = 0; edit < 3; ++edit)
            html[qsizetype(random() % html.size())] = alphabet[qsizetype(random() % alphabet.size())];
        const auto paragraphs = parseHtmlText(html, TextFormat{}, TextAlign::Left);
        EXPECT_FALSE(paragraphs.empty());
    }
}

} // namespace
} // namespace vistrel::player
