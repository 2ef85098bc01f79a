// Byte and bit readers, shared records, and the three kinds of movie compression.
#include <gtest/gtest.h>

#include "player/swf/bit_reader.h"
#include "player/swf/byte_reader.h"
#include "player/swf/decompress.h"
#include "player/swf/errors.h"
#include "player/swf/parser.h"
#include "player/swf/records.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace swf = vistrel::swf;

TEST(ByteReader, ReadsLittleEndianAndThrowsPastTheEnd) {
    const std::vector<std::uint8_t> data{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0xff};
    swf::ByteReader r(data);
    EXPECT_EQ(r.u16(), 0x1234);
    EXPECT_EQ(r.u32(), 0x12345678u);
    EXPECT_EQ(r.remaining(), 1u);
    EXPECT_THROW(r.u16(), swf::TruncatedData);
    EXPECT_EQ(r.u8(), 0xff);   // a failed read consumes nothing
    EXPECT_THROW(r.sub(1), swf::TruncatedData);
}

TEST(ByteReader, StringStopsAtZeroOrAtTheEnd) {
    const std::vector<std::uint8_t> data{'a', 'b', 0, 'c'};
    swf::ByteReader r(data);
    EXPECT_EQ(r.string(), "ab");
    EXPECT_EQ(r.string(), "c");
    EXPECT_TRUE(r.atEnd());
}

TEST(BitReader, ZeroWidthFieldsReadZeroWithoutConsuming) {
    const std::vector<std::uint8_t> data{0b10110000};
    swf::ByteReader bytes(data);
    swf::BitReader bits(bytes);
    EXPECT_EQ(bits.ub(0), 0u);
    EXPECT_EQ(bits.sb(0), 0);
    EXPECT_EQ(bits.ub(3), 0b101u);
    EXPECT_EQ(bits.sb(2), -2);   // 0b10 sign-extends
}

TEST(BitReader, FullWidthFieldsAndSignExtension) {
    const std::vector<std::uint8_t> data{0xff, 0xff, 0xff, 0xfe, 0x80, 0x00, 0x00, 0x00};
    swf::ByteReader bytes(data);
    swf::BitReader bits(bytes);
    EXPECT_EQ(bits.sb(32), -2);
    EXPECT_EQ(bits.ub(32), 0x80000000u);
    EXPECT_THROW(bits.ub(1), swf::TruncatedData);
}

TEST(BitReader, RejectsWidthsOver32) {
    const std::vector<std::uint8_t> data(8, 0);
    swf::ByteReader bytes(data);
    swf::BitReader bits(bytes);
    EXPECT_THROW(bits.ub(33), swf::FormatError);
}

TEST(Records, RectMatrixAndColorTransformRoundTrip) {
    sw::ByteWriter w;
    sw::MatrixSpec m;
    m.scaleX = 1.5;
    m.scaleY = -0.25;
    m.rotateSkew0 = 0.5;
    m.rotateSkew1 = -0.75;
    m.translateX = -400;
    m.translateY = 12345;
    sw::CxformSpec cx;
    cx.mult = std::array<std::int16_t, 4>{128, 256, 512, 64};
    cx.add = std::array<std::int16_t, 4>{-10, 20, 255, -255};
    w.rect(-20, 4000, 0, 3000).matrix(m).cxform(cx, true);
    swf::ByteReader r(w.data());
    EXPECT_EQ(swf::readRect(r), (swf::Rect{-20, 4000, 0, 3000}));
    const swf::Matrix got = swf::readMatrix(r);
    EXPECT_DOUBLE_EQ(got.a, 1.5);
    EXPECT_DOUBLE_EQ(got.d, -0.25);
    EXPECT_DOUBLE_EQ(got.b, 0.5);
    EXPECT_DOUBLE_EQ(got.c, -0.75);
    EXPECT_EQ(got.tx, -400);
    EXPECT_EQ(got.ty, 12345);
    const swf::ColorTransform c = swf::readColorTransform(r, true);
    EXPECT_EQ(c, (swf::ColorTransform{128, 256, 512, 64, -10, 20, 255, -255}));
    EXPECT_TRUE(r.atEnd());
}

TEST(Records, ColorTransformClampsAndComposes) {
    const swf::ColorTransform half{128, 128, 128, 256, 0, 0, 0, 0};
    const swf::ColorTransform plus{256, 256, 256, 256, 200, 0, -50, 0};
    EXPECT_EQ(half.apply({200, 100, 40, 255}), (swf::Rgba{100, 50, 20, 255}));
    EXPECT_EQ(plus.apply({100, 100, 40, 255}), (swf::Rgba{255, 100, 0, 255}));
    // half first, then plus: same as applying them one after the other
    const swf::Rgba direct = plus.apply(half.apply({200, 100, 40, 255}));
    EXPECT_EQ(half.then(plus).apply({200, 100, 40, 255}), direct);
}

class CompressionTest : public ::testing::TestWithParam<sw::Compression> {};

TEST_P(CompressionTest, EveryCompressionGivesTheSameTags) {
    sw::MovieSpec spec;
    spec.compression = GetParam();
    spec.version = GetParam() == sw::Compression::Lzma ? 13 : 8;
    const auto bytes = sw::movie(spec, {sw::setBackgroundColor(0x336699), sw::rectangleShape(1, 0, 0, 200, 200, 0xff0000ff),
                                             sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()});
    const swf::ParsedMovie m = swf::parseMovie(bytes);
    EXPECT_TRUE(m.diagnostics.empty());
    EXPECT_EQ(m.header.version, spec.version);
    EXPECT_EQ(m.header.frameSize, (swf::Rect{0, 4000, 0, 2000}));
    EXPECT_DOUBLE_EQ(m.header.frameRate, 24.0);
    ASSERT_EQ(m.tags.size(), 5u);
    EXPECT_TRUE(std::holds_alternative<swf::SetBackgroundColor>(m.tags[0].tag));
    EXPECT_TRUE(std::holds_alternative<swf::DefineShape>(m.tags[1].tag));
    EXPECT_TRUE(std::holds_alternative<swf::PlaceObject>(m.tags[2].tag));
    EXPECT_TRUE(std::holds_alternative<swf::ShowFrame>(m.tags[3].tag));
    EXPECT_TRUE(std::holds_alternative<swf::EndTag>(m.tags[4].tag));
}

INSTANTIATE_TEST_SUITE_P(Signatures, CompressionTest,
                         ::testing::Values(sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma),
                         [](const auto& info) {
                             return std::string(info.param == sw::Compression::None   ? "FWS"
                                                : info.param == sw::Compression::Zlib ? "CWS"
                                                                                           : "ZWS");
                         });

TEST(Decompress, RejectsWhatIsNotAMovie) {
    const std::vector<std::uint8_t> junk{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0};
    EXPECT_THROW(swf::decompressMovie(junk), swf::FormatError);
    const std::vector<std::uint8_t> tiny{'F', 'W', 'S'};
    EXPECT_THROW(swf::decompressMovie(tiny), swf::FormatError);
}

TEST(Decompress, InflatedSizeIsCapped) {
    // A long run of zeros compresses to almost nothing; the cap keeps the output small.
    sw::Bytes fws(8 + 4 * 1024 * 1024, 0);
    fws[0] = 'F';
    fws[1] = 'W';
    fws[2] = 'S';
    fws[3] = 10;
    for (auto c : {sw::Compression::Zlib, sw::Compression::Lzma}) {
        const auto packed = sw::compressBody(fws, c);
        const auto out = swf::decompressMovie(packed, 64 * 1024);
        EXPECT_LE(out.body.size(), 64u * 1024u);
    }
}

TEST(Decompress, TruncatedStreamsKeepWhatArrived) {
    sw::MovieSpec spec;
    spec.compression = sw::Compression::Zlib;
    std::vector<sw::Bytes> tags;
    for (int i = 0; i < 50; ++i) tags.push_back(sw::rectangleShape(static_cast<std::uint16_t>(i + 1), i * 7, i * 3, 100 + i, 50 + i, 0x123456ff + static_cast<std::uint32_t>(i)));
    auto bytes = sw::movie(spec, tags);
    bytes.resize(bytes.size() / 2);
    const auto out = swf::decompressMovie(bytes);
    EXPECT_TRUE(out.truncated);
    EXPECT_GT(out.body.size(), 100u);
    const swf::ParsedMovie m = swf::parseMovie(bytes);
    EXPECT_FALSE(m.diagnostics.empty());
    EXPECT_GT(m.tags.size(), 3u);
}
