// A small movie cut at every offset still parses to a prefix of its tags, without throwing
// anything but the header errors, and absurd field widths are refused.
#include <gtest/gtest.h>

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"
#include "player/swf/decompress.h"
#include "player/swf/parser.h"
#include "tests/support/allocation_probe.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace swf = vistrel::swf;

namespace {

sw::Bytes sampleMovie(sw::Compression compression) {
    sw::ShapeBuilder shape;
    shape.fill(sw::FillSpec::solid(0xff0000ff)).line({});
    shape.style(std::nullopt, 1, 1).moveTo(0, 0).lineTo(500, 0).curveTo(600, 300, 500, 500).lineTo(0, 0);
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -1000, 800, 1000);
    sw::MovieSpec spec;
    spec.compression = compression;
    return sw::movie(spec, {sw::setBackgroundColor(0x00ff00), shape.build(4, 1, 0, 600, 0, 500),
                            sw::morphRectangles(2, 0, 0, 10, 10, 0xff0000ff, 5, 5, 20, 20, 0x00ff00ff),
                            sw::defineFont3(3, "F", {{glyph, 'x', 900}}),
                            sw::defineSprite(4, 1, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}),
                            sw::placeObject2({.depth = 1, .characterId = 4, .matrix = sw::MatrixSpec::translate(20, 20)}),
                            sw::placeObject2({.depth = 2, .characterId = 2, .ratio = 100}), sw::showFrame(),
                            sw::removeObject2(1), sw::showFrame()});
}

}  // namespace

class TruncationTest : public ::testing::TestWithParam<sw::Compression> {};

// The bytes of the uncompressed body a cut file still yields (0 when it yields none).
std::size_t bodyBytes(std::span<const std::uint8_t> file) {
    try {
        return swf::decompressMovie(file).body.size();
    } catch (const std::exception&) {
        return 0;
    }
}

TEST_P(TruncationTest, EveryPrefixParsesToAPrefixOfTheTags) {
    const sw::Bytes full = sampleMovie(GetParam());
    const swf::ParsedMovie whole = swf::parseMovie(full);
    ASSERT_TRUE(whole.diagnostics.empty());
    // The frame rectangle, rate and count that open the body.
    const std::vector<std::uint8_t> body = swf::decompressMovie(full).body;
    const std::size_t frameHeader = (5 + 4 * (body.at(0) >> 3) + 7) / 8 + 4;
    std::size_t parsed = 0;
    for (std::size_t cut = 0; cut < full.size(); ++cut) {
        const std::span<const std::uint8_t> prefix(full.data(), cut);
        try {
            const swf::ParsedMovie part = swf::parseMovie(prefix);
            ++parsed;
            ASSERT_LE(part.tags.size(), whole.tags.size()) << "cut at " << cut;
            for (std::size_t i = 0; i + 1 < part.tags.size(); ++i)
                EXPECT_EQ(part.tags[i].code, whole.tags[i].code) << "cut at " << cut;
        } catch (const swf::TruncatedData&) {
            EXPECT_LT(bodyBytes(prefix), frameHeader) << "cut at " << cut << ": only the frame header may be missing";
        } catch (const swf::FormatError&) {
            EXPECT_LT(cut, 8u) << "only a cut inside the signature may be refused outright";
        }
    }
    EXPECT_GT(parsed, 0u);
}

INSTANTIATE_TEST_SUITE_P(Signatures, TruncationTest,
                         ::testing::Values(sw::Compression::None, sw::Compression::Zlib, sw::Compression::Lzma));

TEST(HostileData, AbsurdBitCountsInAShapeAreReportedNotFollowed) {
    // Edge record claiming 17-bit deltas, then garbage: the tag fails cleanly, the next reads.
    sw::ByteWriter w;
    w.u16(1).rect(0, 10, 0, 10).u8(0).u8(0).u8(0x00).bytes(sw::Bytes(6, 0xff));
    sw::Bytes stream = sw::tag(2, w.data());
    const sw::Bytes frame = sw::showFrame();
    stream.insert(stream.end(), frame.begin(), frame.end());
    swf::ByteReader r(stream);
    swf::Diagnostics diagnostics;
    const auto tags = swf::parseTags(r, 10, diagnostics);
    EXPECT_EQ(diagnostics.size(), 1u);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<swf::ShowFrame>(tags[1].tag));
}

TEST(HostileData, GiganticDeclaredCountsDoNotAllocate) {
    // A font declaring 65535 glyphs in a 20-byte body.
    sw::ByteWriter w;
    w.u16(1).u8(0x08).u8(0).u8(1).u8('F').u16(0xffff).bytes(sw::Bytes(12, 0));
    swf::ByteReader r(w.data());
    const sw::LargestAllocation probe;
    EXPECT_THROW(swf::readDefineFont(r, 2), swf::TruncatedData);
    // Tables for 65535 glyphs would take hundreds of kilobytes.
    EXPECT_LT(probe.bytes(), 4096u);
}
