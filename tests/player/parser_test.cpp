// Tag parsing, family by family, from bytes the test writer builds.
#include <gtest/gtest.h>

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"
#include "player/swf/parser.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace swf = vistrel::swf;

namespace {

// Parses one tag (header included) and returns it.
swf::Tag parseOne(const sw::Bytes& tagBytes, int version = 10) {
    swf::ByteReader r(tagBytes);
    swf::Diagnostics diagnostics;
    auto tags = swf::parseTags(r, version, diagnostics);
    EXPECT_TRUE(diagnostics.empty()) << (diagnostics.empty() ? "" : diagnostics.front().text);
    EXPECT_EQ(tags.size(), 1u);
    return tags.empty() ? swf::Tag{} : tags.front().tag;
}

template <class T>
T as(const swf::Tag& tag) {
    const T* t = std::get_if<T>(&tag);
    EXPECT_NE(t, nullptr);
    return t ? *t : T{};
}

}  // namespace

class ShapeVersionTest : public ::testing::TestWithParam<int> {};

TEST_P(ShapeVersionTest, ReadsStylesAndEdges) {
    const int version = GetParam();
    sw::ShapeBuilder b;
    b.fill(sw::FillSpec::solid(0x11223380)).line({.width = 40, .rgba = 0x445566ff});
    b.style(std::nullopt, 1, 1).moveTo(100, 200).lineTo(300, 200).curveTo(400, 300, 300, 400).lineTo(100, 200);
    const auto shape = as<swf::DefineShape>(parseOne(b.build(version, 7, 100, 400, 200, 400)));
    EXPECT_EQ(shape.id, 7);
    EXPECT_EQ(shape.version, version);
    ASSERT_EQ(shape.shape.fills.size(), 1u);
    const swf::Rgba expected{0x11, 0x22, 0x33, static_cast<std::uint8_t>(version >= 3 ? 0x80 : 0xff)};
    EXPECT_EQ(shape.shape.fills[0].color, expected);
    ASSERT_EQ(shape.shape.lines.size(), 1u);
    EXPECT_EQ(shape.shape.lines[0].width, 40);
    ASSERT_EQ(shape.shape.records.size(), 4u);
    const auto& style = std::get<swf::StyleChange>(shape.shape.records[0]);
    EXPECT_EQ(style.moveX, 100);
    EXPECT_EQ(style.moveY, 200);
    EXPECT_EQ(style.fill1, 1u);
    EXPECT_EQ(style.line, 1u);
    EXPECT_EQ(std::get<swf::StraightEdge>(shape.shape.records[1]).dx, 200);
    const auto& curve = std::get<swf::CurvedEdge>(shape.shape.records[2]);
    EXPECT_EQ(curve.controlDx, 100);
    EXPECT_EQ(curve.anchorDy, 100);
}

INSTANTIATE_TEST_SUITE_P(AllVersions, ShapeVersionTest, ::testing::Values(1, 2, 3, 4));

TEST(ShapeParsing, Shape4LineStylesWithCapsJoinsAndFill) {
    sw::ShapeBuilder b;
    sw::LineSpec miter{.width = 100, .rgba = 0x00ff00ff, .startCap = 1, .endCap = 2, .join = 2, .noHScale = true, .miterLimit = 2.5};
    sw::FillSpec gradient;
    gradient.type = 0x10;
    gradient.stops = {{0, 0xff0000ff}, {255, 0x0000ffff}};
    sw::LineSpec filled{.width = 60};
    filled.fill = gradient;
    b.line(miter).line(filled).style(std::nullopt, std::nullopt, 1).moveTo(0, 0).lineTo(100, 0);
    const auto shape = as<swf::DefineShape>(parseOne(b.build(4, 1, 0, 100, 0, 0)));
    ASSERT_EQ(shape.shape.lines.size(), 2u);
    const swf::LineStyle& a = shape.shape.lines[0];
    EXPECT_EQ(a.startCap, swf::CapStyle::None);
    EXPECT_EQ(a.endCap, swf::CapStyle::Square);
    EXPECT_EQ(a.join, swf::JoinStyle::Miter);
    EXPECT_DOUBLE_EQ(a.miterLimit, 2.5);
    EXPECT_TRUE(a.noHScale);
    EXPECT_EQ(a.color, (swf::Rgba{0, 255, 0, 255}));
    ASSERT_TRUE(shape.shape.lines[1].fill.has_value());
    EXPECT_EQ(shape.shape.lines[1].fill->type, swf::FillType::LinearGradient);
    EXPECT_EQ(shape.shape.lines[1].fill->gradient.records.size(), 2u);
}

TEST(ShapeParsing, GradientAndBitmapFills) {
    sw::ShapeBuilder b;
    sw::FillSpec focal;
    focal.type = 0x13;
    focal.spread = 1;
    focal.interpolation = 1;
    focal.focalPoint = -0.5;
    focal.stops = {{0, 0xffffffff}, {128, 0x808080ff}, {255, 0x000000ff}};
    focal.matrix.scaleX = 0.1;
    focal.matrix.scaleY = 0.1;
    sw::FillSpec bitmap;
    bitmap.type = 0x43;
    bitmap.bitmapId = 9;
    bitmap.matrix.scaleX = 20;
    b.fill(focal).fill(bitmap).style(std::nullopt, 2, std::nullopt).rect(0, 0, 10, 10);
    const auto shape = as<swf::DefineShape>(parseOne(b.build(4, 2, 0, 10, 0, 10)));
    ASSERT_EQ(shape.shape.fills.size(), 2u);
    const swf::FillStyle& f = shape.shape.fills[0];
    EXPECT_EQ(f.type, swf::FillType::FocalGradient);
    EXPECT_EQ(f.gradient.spread, 1);
    EXPECT_EQ(f.gradient.interpolation, 1);
    EXPECT_DOUBLE_EQ(f.gradient.focalPoint, -0.5);
    EXPECT_EQ(f.gradient.records[1].ratio, 128);
    EXPECT_NEAR(f.matrix.a, 0.1, 1e-4);
    EXPECT_EQ(shape.shape.fills[1].type, swf::FillType::ClippedBitmapHard);
    EXPECT_EQ(shape.shape.fills[1].bitmapId, 9);
}

TEST(ShapeParsing, AbsurdFillTypeIsAnError) {
    sw::ByteWriter w;
    w.u16(1).rect(0, 10, 0, 10).u8(1).u8(0x77).u8(0).u8(0);
    swf::ByteReader r(w.data());
    EXPECT_THROW(swf::readDefineShape(r, 3), swf::FormatError);
}

TEST(MorphParsing, ReadsBothEdgeListsAndStylePairs) {
    const auto morph = as<swf::DefineMorphShape>(parseOne(sw::morphRectangles(3, 0, 0, 100, 100, 0xff0000ff, 50, 50, 200, 200, 0x0000ff80)));
    EXPECT_EQ(morph.id, 3);
    ASSERT_EQ(morph.startFills.size(), 1u);
    EXPECT_EQ(morph.startFills[0].color, (swf::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(morph.endFills[0].color, (swf::Rgba{0, 0, 255, 0x80}));
    EXPECT_EQ(morph.startRecords.size(), 5u);   // style+move, four edges
    EXPECT_EQ(morph.endRecords.size(), 5u);
}

TEST(DisplayParsing, PlaceObject2AllFields) {
    sw::PlaceSpec p;
    p.depth = 12;
    p.move = true;
    p.characterId = 4;
    p.matrix = sw::MatrixSpec::translate(60, -80);
    p.cxform = sw::CxformSpec{std::array<std::int16_t, 4>{256, 128, 0, 256}, std::nullopt};
    p.ratio = 32768;
    p.name = "clip";
    p.clipDepth = 20;
    const auto place = as<swf::PlaceObject>(parseOne(sw::placeObject2(p)));
    EXPECT_EQ(place.depth, 12);
    EXPECT_TRUE(place.move);
    EXPECT_EQ(place.character, 4);
    EXPECT_EQ(place.matrix->tx, 60);
    EXPECT_EQ(place.matrix->ty, -80);
    EXPECT_EQ(place.colorTransform->gMult, 128);
    EXPECT_EQ(place.ratio, 32768);
    EXPECT_EQ(place.name, "clip");
    EXPECT_EQ(place.clipDepth, 20);
}

TEST(DisplayParsing, PlaceObject3FiltersBlendModeAndCache) {
    sw::PlaceSpec p;
    p.depth = 2;
    p.characterId = 1;
    // One blur filter: id 1, blurX, blurY (16.16), passes byte.
    sw::ByteWriter filters;
    filters.u8(1).u8(1).fixed16(4).fixed16(2).u8(1 << 3);
    p.filterList = filters.take();
    p.blendMode = 3;
    p.cacheAsBitmap = 1;
    const auto place = as<swf::PlaceObject>(parseOne(sw::placeObject3(p)));
    EXPECT_EQ(place.version, 3);
    ASSERT_TRUE(place.filterList.has_value());
    EXPECT_EQ(place.filterList->size(), 11u);
    EXPECT_EQ(place.blendMode, 3);
    EXPECT_EQ(place.cacheAsBitmap, true);
}

TEST(DisplayParsing, RemoveObjectBothVersionsAndFrameLabel) {
    const auto r1 = as<swf::RemoveObject>(parseOne(sw::removeObject(5, 9)));
    EXPECT_EQ(r1.character, 5);
    EXPECT_EQ(r1.depth, 9);
    const auto r2 = as<swf::RemoveObject>(parseOne(sw::removeObject2(7)));
    EXPECT_FALSE(r2.character.has_value());
    EXPECT_EQ(r2.depth, 7);
    EXPECT_EQ(as<swf::FrameLabel>(parseOne(sw::frameLabel("intro", true))).name, "intro");
    EXPECT_EQ(as<swf::SetBackgroundColor>(parseOne(sw::setBackgroundColor(0x102030))).color, (swf::Rgba{0x10, 0x20, 0x30, 255}));
}

TEST(DisplayParsing, SpriteHoldsItsOwnTags) {
    const auto sprite = as<swf::DefineSprite>(parseOne(sw::defineSprite(30, 2, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame(), sw::removeObject2(1), sw::showFrame()})));
    EXPECT_EQ(sprite.id, 30);
    EXPECT_EQ(sprite.frameCount, 2);
    ASSERT_EQ(sprite.tags.size(), 5u);
    EXPECT_TRUE(std::holds_alternative<swf::RemoveObject>(sprite.tags[2].tag));
}

TEST(DisplayParsing, DeeplyNestedSpritesStopWithADiagnostic) {
    sw::Bytes inner = sw::defineSprite(1, 1, {sw::showFrame()});
    for (int i = 0; i < 10; ++i) inner = sw::defineSprite(static_cast<std::uint16_t>(i + 2), 1, {inner, sw::showFrame()});
    swf::ByteReader r(inner);
    swf::Diagnostics diagnostics;
    const auto tags = swf::parseTags(r, 10, diagnostics);
    EXPECT_EQ(tags.size(), 1u);
    EXPECT_FALSE(diagnostics.empty());
}

TEST(TextParsing, Font3AndText2) {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -20000, 10000, 20000);
    const auto font = as<swf::DefineFont>(parseOne(sw::defineFont3(5, "Boxes", {{glyph, 'A', 12000}, {glyph, 'B', 6000}})));
    EXPECT_EQ(font.id, 5);
    EXPECT_EQ(font.version, 3);
    EXPECT_EQ(font.name, "Boxes");
    ASSERT_EQ(font.glyphs.size(), 2u);
    EXPECT_EQ(font.glyphs[0].size(), 5u);   // style change with the move, then four edges
    EXPECT_EQ(font.codes, (std::vector<std::uint16_t>{'A', 'B'}));
    EXPECT_TRUE(font.hasLayout);
    EXPECT_EQ(font.advances, (std::vector<std::int16_t>{12000, 6000}));

    const auto text = as<swf::DefineText>(parseOne(sw::defineText(6, 2, 0, 1000, -500, 100, 5, 0x00ff00ff, 400, 20, 300, {{0, 240}, {1, -3}})));
    ASSERT_EQ(text.records.size(), 1u);
    const swf::TextRecord& rec = text.records[0];
    EXPECT_EQ(rec.fontId, 5);
    EXPECT_EQ(rec.height, 400);
    EXPECT_EQ(rec.color, (swf::Rgba{0, 255, 0, 255}));
    EXPECT_EQ(rec.xOffset, 20);
    EXPECT_EQ(rec.yOffset, 300);
    ASSERT_EQ(rec.glyphs.size(), 2u);
    EXPECT_EQ(rec.glyphs[1].index, 1u);
    EXPECT_EQ(rec.glyphs[1].advance, -3);
}

TEST(TextParsing, EditTextFields) {
    sw::ByteWriter w;
    w.u16(8).rect(0, 2000, 0, 400);
    w.u8(0x80 | 0x40 | 0x04 | 0x01).u8(0x20 | 0x08 | 0x02);   // text, wrap, colour, font; layout, border, html
    w.u16(5).u16(240).rgba(0x112233ff);
    w.u8(2).u16(10).u16(20).u16(30).s16(-4);
    w.string("var").string("<b>hi</b>");
    const auto e = as<swf::DefineEditText>(parseOne(sw::tag(37, w.data())));
    EXPECT_EQ(e.id, 8);
    EXPECT_TRUE(e.wordWrap);
    EXPECT_TRUE(e.border);
    EXPECT_TRUE(e.html);
    EXPECT_EQ(e.fontId, 5);
    EXPECT_EQ(e.fontHeight, 240);
    EXPECT_EQ(e.align, 2);
    EXPECT_EQ(e.leading, -4);
    EXPECT_EQ(e.variableName, "var");
    EXPECT_EQ(e.initialText, "<b>hi</b>");
}

TEST(TagStream, UnknownAndScriptTagsAreSkippedCleanly) {
    sw::Bytes stream = sw::tag(12, sw::Bytes(10, 0x96));   // an action block
    const sw::Bytes unknown = sw::tag(777, {1, 2, 3}, true);
    stream.insert(stream.end(), unknown.begin(), unknown.end());
    const sw::Bytes frame = sw::showFrame();
    stream.insert(stream.end(), frame.begin(), frame.end());
    swf::ByteReader r(stream);
    swf::Diagnostics diagnostics;
    const auto tags = swf::parseTags(r, 10, diagnostics);
    EXPECT_TRUE(diagnostics.empty());
    ASSERT_EQ(tags.size(), 3u);
    EXPECT_EQ(std::get<swf::UnknownTag>(tags[1].tag).code, 777);
    EXPECT_TRUE(std::holds_alternative<swf::ShowFrame>(tags[2].tag));
}

TEST(TagStream, ShortBodyBecomesADiagnosticAndTheNextTagStillReads) {
    sw::Bytes stream = sw::tag(26, {0x02});   // PlaceObject2 that stops after its flags
    const sw::Bytes frame = sw::showFrame();
    stream.insert(stream.end(), frame.begin(), frame.end());
    swf::ByteReader r(stream);
    swf::Diagnostics diagnostics;
    const auto tags = swf::parseTags(r, 10, diagnostics);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].tagCode, 26);
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<swf::UnknownTag>(tags[0].tag));
    EXPECT_TRUE(std::holds_alternative<swf::ShowFrame>(tags[1].tag));
}

TEST(TagStream, LengthPastTheEndStopsTheStream) {
    sw::Bytes stream = sw::showFrame();
    sw::ByteWriter huge;
    huge.u16(static_cast<std::uint16_t>((2 << 6) | 0x3f)).u32(0xfffffff0u).u8(0);
    stream.insert(stream.end(), huge.data().begin(), huge.data().end());
    swf::ByteReader r(stream);
    swf::Diagnostics diagnostics;
    const auto tags = swf::parseTags(r, 10, diagnostics);
    EXPECT_EQ(tags.size(), 1u);
    ASSERT_EQ(diagnostics.size(), 1u);
    EXPECT_EQ(diagnostics[0].tagCode, 2);
}
