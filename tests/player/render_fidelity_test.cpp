// Where exactly things land: aliased edges, whole-twip nesting, filtered objects on whole pixels,
// filter sizes at the object's scale, line widths under stretched transforms, clipped bitmaps
// that carry their edges on, nine-slice scaling, edit-text frames and advances.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/render/recording_renderer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

constexpr std::uint32_t kRed = 0xff0000ff;
constexpr QRgb kWhite = 0xffffffff, kRedPixel = 0xffff0000;

std::shared_ptr<vp::Movie> load(std::vector<sw::Bytes> tags, int widthPx = 100, int heightPx = 100) {
    sw::MovieSpec spec;
    spec.widthTwips = widthPx * 20;
    spec.heightTwips = heightPx * 20;
    tags.insert(tags.begin(), sw::setBackgroundColor(0xffffff));
    return vp::Movie::fromBytes(sw::movie(spec, tags));
}

// Draws the first frame one to one (20 twips a pixel) at the given quality.
QImage render(std::vector<sw::Bytes> tags, vp::RenderQuality quality = vp::RenderQuality::Low, int widthPx = 100,
              int heightPx = 100) {
    auto movie = load(std::move(tags), widthPx, heightPx);
    vp::Player player(movie);
    QImage image(widthPx, heightPx, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, QTransform::fromScale(0.05, 0.05), quality);
    return image;
}

// Columns (or rows) of `line` where the image is not white.
std::vector<int> inkAlongRow(const QImage& img, int y) {
    std::vector<int> out;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, y) != kWhite) out.push_back(x);
    return out;
}
std::vector<int> inkAlongColumn(const QImage& img, int x) {
    std::vector<int> out;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) != kWhite) out.push_back(y);
    return out;
}

// A colour matrix filter that changes nothing: it only makes the object a filtered bitmap.
sw::Bytes identityFilter() {
    sw::ByteWriter w;
    w.u8(1).u8(6);
    const float m[20] = {1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0};
    for (float v : m) w.f32(v);
    return w.take();
}

sw::Bytes blurFilter(double amount) {
    sw::ByteWriter w;
    w.u8(1).u8(1).fixed16(amount).fixed16(amount).u8(1 << 3);
    return w.take();
}

}  // namespace

// Without anti-aliasing a pixel is inside when its centre is; a centre exactly on an edge goes
// to the shape below or right of that edge.
TEST(RenderFidelity, AliasedEdgesThroughPixelCentres) {
    const QImage img = render({sw::rectangleShape(1, 210, 210, 200, 200, kRed), sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()});
    EXPECT_EQ(inkAlongRow(img, 15), (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
    EXPECT_EQ(inkAlongColumn(img, 15), (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
}

TEST(RenderFidelity, NestedTranslationsStayOnWholeTwips) {
    auto movie = load({sw::rectangleShape(1, 0, 0, 100, 100, kRed),
                       sw::defineSprite(2, 1, {sw::placeObject2({.depth = 1, .characterId = 1, .matrix = sw::MatrixSpec::translate(1001, 0)}), sw::showFrame()}),
                       sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec{.scaleX = 0.5, .scaleY = 0.5}}), sw::showFrame()});
    vp::Player player(movie);
    vp::RecordingRenderer recorder;
    player.render(recorder, QTransform(), vp::RenderQuality::High);
    ASSERT_GE(recorder.lines().size(), 2);
    EXPECT_TRUE(recorder.lines()[1].startsWith("shape 1 at 501,0")) << recorder.lines()[1].toStdString();
}

// A filtered object is drawn as a bitmap whose corner sits on a whole pixel: a shape 20.5 px wide
// placed at x = 10.4 px covers columns 10..30 on its own, but 10..29 once moved to x = 10.
TEST(RenderFidelity, FilteredObjectsSitOnWholePixels) {
    const std::vector<sw::Bytes> common{sw::rectangleShape(1, 0, 0, 410, 200, kRed),
                                        sw::defineSprite(2, 1, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()})};
    auto plain = common;
    plain.push_back(sw::placeObject3({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(208, 200)}));
    plain.push_back(sw::showFrame());
    auto filtered = common;
    filtered.push_back(sw::placeObject3({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(208, 200), .filterList = identityFilter()}));
    filtered.push_back(sw::showFrame());
    const std::vector<int> plainInk = inkAlongRow(render(plain), 15), filteredInk = inkAlongRow(render(filtered), 15);
    ASSERT_FALSE(plainInk.empty());
    ASSERT_FALSE(filteredInk.empty());
    EXPECT_EQ(plainInk.front(), 10);
    EXPECT_EQ(plainInk.back(), 30);
    EXPECT_EQ(filteredInk.front(), 10);
    EXPECT_EQ(filteredInk.back(), 29);
}

// A blur on an object scaled three times reaches three times as far.
TEST(RenderFidelity, FilterSizesFollowTheObjectsScale) {
    auto scene = [](double scale) {
        return render({sw::rectangleShape(1, 0, 0, 200, 200, kRed),
                       sw::defineSprite(2, 1, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}),
                       sw::placeObject3({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec{.scaleX = scale, .scaleY = scale, .translateX = 1000, .translateY = 1000},
                                         .filterList = blurFilter(4)}),
                       sw::showFrame()});
    };
    const QImage small = scene(1), large = scene(3);
    // The square's right edge: x = 60 px at scale 1, 80 px at scale 3; look 4 px beyond it.
    EXPECT_EQ(small.pixel(64, 55), kWhite);
    EXPECT_NE(large.pixel(84, 65), kWhite);
}

namespace {

// A 20x50 px frame drawn with `line`, placed with `matrix`.
QImage placedFrame(const sw::LineSpec& line, const sw::MatrixSpec& matrix, vp::RenderQuality quality = vp::RenderQuality::Low) {
    sw::ShapeBuilder s;
    s.line(line).style(std::nullopt, std::nullopt, 1).rect(0, 0, 400, 1000);
    return render({s.build(4, 1, -20, 420, -20, 1020), sw::placeObject2({.depth = 1, .characterId = 1, .matrix = matrix}), sw::showFrame()},
                  quality);
}
sw::MatrixSpec stretchAt200(double scaleX, double scaleY) {
    return {.scaleX = scaleX, .scaleY = scaleY, .translateX = 200, .translateY = 200};
}

// How many pixels of a frame's first side (below 30 px) a crossing of it inks, along a row and
// along a column.
std::pair<std::ptrdiff_t, std::ptrdiff_t> firstSides(const QImage& img, int row, int column) {
    const std::vector<int> across = inkAlongRow(img, row), down = inkAlongColumn(img, column);
    return {std::count_if(across.begin(), across.end(), [](int x) { return x < 30; }),
            std::count_if(down.begin(), down.end(), [](int y) { return y < 30; })};
}

}  // namespace

// A line is stroked in its shape's own space and stretched with the shape: a 2 px frame stretched
// four times across has vertical sides 8 px wide and horizontal ones 2 px; squashed to a quarter
// down, its horizontal sides shrink below a pixel while its vertical ones stay 2 px. A hairline
// stays about a pixel wide on the device. Turning the stretched shape turns its wide sides with it.
TEST(RenderFidelity, LinesStretchWithTheirShape) {
    const sw::LineSpec twoPx{.width = 40, .rgba = 0x000000ff};
    // Stretched across: the left side spans x = 10 +- 4 px, the top one y = 10 +- 1 px.
    const QImage img = placedFrame(twoPx, stretchAt200(4, 1));
    ASSERT_FALSE(inkAlongRow(img, 40).empty());
    ASSERT_FALSE(inkAlongColumn(img, 50).empty());
    EXPECT_EQ(inkAlongRow(img, 40).front(), 6);
    EXPECT_EQ(inkAlongColumn(img, 50).front(), 9);
    EXPECT_EQ(firstSides(img, 40, 50), std::pair(std::ptrdiff_t{8}, std::ptrdiff_t{2}));
    // Total ink across a side, in pixels, anti-aliased.
    auto inkAcross = [](const QImage& img, bool alongRow, int at, int from, int to) {
        double ink = 0;
        for (int k = from; k < to; ++k) ink += 255 - qRed(alongRow ? img.pixel(k, at) : img.pixel(at, k));
        return ink / 255;
    };
    // Squashed down to a quarter: the top side at y = 10 is 0.5 px, the left at x = 10 is 2 px.
    const QImage squashed = placedFrame(twoPx, stretchAt200(1, 0.25), vp::RenderQuality::High);
    EXPECT_NEAR(inkAcross(squashed, false, 15, 5, 14), 0.5, 0.2);
    EXPECT_NEAR(inkAcross(squashed, true, 15, 5, 16), 2.0, 0.2);
    // A hairline squashed to a quarter: widened to a pixel at the mean scale (about 1.4 px in
    // the shape), so 0.35 px down and 1.4 px across.
    const QImage hair = placedFrame({.width = 0, .rgba = 0x000000ff}, stretchAt200(1, 0.25), vp::RenderQuality::High);
    EXPECT_NEAR(inkAcross(hair, false, 15, 5, 14), 0.35, 0.2);
    EXPECT_NEAR(inkAcross(hair, true, 15, 5, 16), 1.4, 0.2);
    // Stretched four times across, then turned a quarter: the frame spans x = 10..60 px and
    // y = 10..90 px; its stretched sides now lie along rows (the top on rows 6..13), the others
    // along columns (the left on columns 9..10).
    const QImage turned = placedFrame(twoPx, {.scaleX = 0, .scaleY = 0, .rotateSkew0 = 4, .rotateSkew1 = -1, .translateX = 1200, .translateY = 200});
    ASSERT_FALSE(inkAlongColumn(turned, 30).empty());
    EXPECT_EQ(inkAlongColumn(turned, 30).front(), 6);
    EXPECT_EQ(firstSides(turned, 50, 30), std::pair(std::ptrdiff_t{2}, std::ptrdiff_t{8}));
}

// A line whose flags keep its width from both axis scales stays as wide as its style says, on
// every side, however the shape is stretched; with one flag it follows the other axis's scale.
TEST(RenderFidelity, LinesFlaggedToKeepTheirWidth) {
    auto sides = [](bool noHScale, bool noVScale) {
        return firstSides(placedFrame({.width = 20, .rgba = 0x000000ff, .noHScale = noHScale, .noVScale = noVScale}, stretchAt200(4, 2)), 40, 50);
    };
    EXPECT_EQ(sides(true, true), std::pair(std::ptrdiff_t{1}, std::ptrdiff_t{1}));
    EXPECT_EQ(sides(true, false), std::pair(std::ptrdiff_t{2}, std::ptrdiff_t{2}));
    EXPECT_EQ(sides(false, true), std::pair(std::ptrdiff_t{4}, std::ptrdiff_t{4}));
    EXPECT_EQ(sides(false, false), std::pair(std::ptrdiff_t{4}, std::ptrdiff_t{2}));
}

// Without anti-aliasing a one-pixel line along a row or column covers the pixels whose centres it
// sweeps over, as a fill would, wherever it lies: a frame 0.1 px in from the stage's left and on its
// top and bottom edges shows on column 0 and the last row but not on row 0; a line from x = 10 to 40
// at y = 50 inks row 49, columns 10 to 39.
TEST(RenderFidelity, AliasedThinLinesCoverThePixelCentresTheySweep) {
    sw::ShapeBuilder frame;
    frame.line({.width = 20, .rgba = 0x000000ff}).style(std::nullopt, std::nullopt, 1).rect(2, 0, 2000, 2000);
    sw::ShapeBuilder bar;
    bar.line({.width = 20, .rgba = 0x000000ff}).style(std::nullopt, std::nullopt, 1).moveTo(200, 1000).lineTo(800, 1000);
    const QImage img = render({frame.build(1, 1, -20, 2040, -20, 2020), sw::placeObject2({.depth = 1, .characterId = 1}),
                               bar.build(1, 2, 180, 820, 980, 1020), sw::placeObject2({.depth = 2, .characterId = 2}),
                               sw::showFrame()});
    EXPECT_EQ(inkAlongRow(img, 0), (std::vector<int>{0}));
    EXPECT_EQ(inkAlongColumn(img, 30), (std::vector<int>{49, 99}));
    std::vector<int> bar49;
    for (int x = 10; x < 40; ++x) bar49.push_back(x);
    std::vector<int> row49 = inkAlongRow(img, 49);
    row49.erase(std::remove(row49.begin(), row49.end(), 0), row49.end());
    EXPECT_EQ(row49, bar49);
    EXPECT_EQ(inkAlongColumn(img, 0).size(), 100u);
}

// A clipped bitmap fill smaller than its shape carries its edge pixels on to the outline.
TEST(RenderFidelity, ClippedBitmapEdgesReachTheOutline) {
    const std::vector<std::uint32_t> pixels{0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00};   // red green / blue yellow
    sw::FillSpec b;
    b.type = 0x43;   // clipped, not smoothed
    b.bitmapId = 5;
    b.matrix.scaleX = b.matrix.scaleY = 400;   // 20 px per bitmap pixel: the picture covers 40x40 px
    sw::ShapeBuilder s;
    s.fill(b).style(std::nullopt, 1, std::nullopt).rect(0, 0, 2000, 2000);
    for (auto quality : {vp::RenderQuality::Low, vp::RenderQuality::High}) {
        const QImage img = render({sw::bitsLossless2(5, 2, 2, pixels), s.build(3, 1, 0, 2000, 0, 2000), sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}, quality);
        EXPECT_EQ(img.pixel(10, 10), 0xffff0000);
        EXPECT_EQ(img.pixel(90, 10), 0xff00ff00);   // right of the picture: its right column
        EXPECT_EQ(img.pixel(10, 90), 0xff0000ff);   // below: its bottom row
        EXPECT_EQ(img.pixel(90, 90), 0xffffff00);   // beyond the corner: the corner pixel
    }
}

// A sprite with a scaling grid stretched four times across keeps its 10 px side bands 10 px wide.
TEST(RenderFidelity, ScalingGridKeepsCornersAtTheirSize) {
    sw::ShapeBuilder s;   // a 40x20 px frame: red sides 10 px wide around a white middle
    s.fill(sw::FillSpec::solid(kRed)).style(std::nullopt, 1, std::nullopt).rect(0, 0, 800, 400).rect(200, 0, 400, 400);
    sw::ByteWriter grid;
    grid.u16(2).rect(200, 600, 0, 400);
    const std::vector<sw::Bytes> tags{s.build(3, 1, 0, 800, 0, 400),
                                      sw::defineSprite(2, 1, {sw::placeObject2({.depth = 1, .characterId = 1}), sw::showFrame()}),
                                      sw::tag(78, grid.data()),
                                      sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec{.scaleX = 4, .scaleY = 1, .translateX = 200, .translateY = 200}}),
                                      sw::showFrame()};
    const QImage img = render(tags, vp::RenderQuality::Low, 200, 50);
    // The sprite spans 10..170 px: sides 10..19 and 160..169, white between.
    EXPECT_EQ(inkAlongRow(img, 20), (std::vector<int>{10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 160, 161, 162, 163, 164, 165, 166, 167, 168, 169}));
}

// An edit-text field drawn through a filter keeps the right and bottom lines of its frame,
// which lie just outside its bounds.
TEST(RenderFidelity, FieldFrameSurvivesAFilter) {
    sw::ByteWriter w;
    w.u16(2).rect(0, 200, 0, 200);
    w.u8(0x00).u8(0x08);   // no text; border
    w.string("");          // variable name
    const QImage img = render({sw::tag(37, w.data()), sw::placeObject3({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(200, 200), .filterList = identityFilter()}),
                               sw::showFrame()});
    EXPECT_EQ(img.pixel(10, 15), 0xff000000);   // left line
    EXPECT_EQ(img.pixel(20, 15), 0xff000000);   // right line, just past the bounds
    EXPECT_EQ(img.pixel(15, 20), 0xff000000);   // bottom line
    EXPECT_EQ(img.pixel(15, 15), kWhite);
}

namespace {

// A font whose glyph 'A' is a box as wide as its advance of 1000 units (19.53 twips at 20 px),
// with an optional kerning pair "AA".
sw::Bytes narrowFont(std::uint16_t id, std::optional<std::int16_t> kerning) {
    sw::ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -16000, 1000, 16000);
    sw::Bytes font = sw::defineFont3(id, "Narrow", {{glyph, 'A', 1000}});
    // Rewrite the kerning table at the end of the tag body (a long tag: 6 header bytes).
    sw::Bytes body(font.begin() + 6, font.end() - 2);
    sw::ByteWriter k;
    k.u16(kerning ? 1 : 0);
    if (kerning) k.u16('A').u16('A').s16(*kerning);
    body.insert(body.end(), k.data().begin(), k.data().end());
    return sw::tag(75, body, true);
}

// An edit-text field 200 px wide with outlines of font 1 at 20 px, showing `text` as HTML.
sw::Bytes field(const std::string& text) {
    sw::ByteWriter w;
    w.u16(2).rect(0, 4000, 0, 1000);
    w.u8(0x80 | 0x08 | 0x01).u8(0x02 | 0x01);   // text, read-only, font; HTML, outlines
    w.u16(1).u16(400);
    w.string("").string(text);
    return sw::tag(37, w.data());
}

int lastInkColumn(const QImage& img, int y) {
    const std::vector<int> ink = inkAlongRow(img, y);
    return ink.empty() ? -1 : ink.back();
}

}  // namespace

// Glyphs of a field advance by whole twips: 100 advances of 19.53 twips end at 95 px, not 97.7.
TEST(RenderFidelity, FieldAdvancesDropTheirFractions) {
    const QImage img = render({narrowFont(1, std::nullopt), field(std::string(100, 'A')), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()},
                              vp::RenderQuality::Low, 200, 50);
    // The gutter puts the first glyph at 2 px.
    EXPECT_EQ(lastInkColumn(img, 15), 96);
}

TEST(RenderFidelity, FieldKerningOnlyWhenAsked) {
    const std::string text(10, 'A');
    const QImage plain = render({narrowFont(1, -500), field(text), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()},
                                vp::RenderQuality::Low, 200, 50);
    const QImage kerned = render({narrowFont(1, -500), field("<font kerning=\"1\">" + text + "</font>"), sw::placeObject2({.depth = 1, .characterId = 2}), sw::showFrame()},
                                 vp::RenderQuality::Low, 200, 50);
    // Nine pairs closer by 10 whole twips each (19 down to 9): 4.5 px.
    EXPECT_NEAR(lastInkColumn(plain, 15) - lastInkColumn(kerned, 15), 4.5, 0.5);
}

// Two opaque fills of one shape meeting on a diagonal edge at fractional positions: anti-aliasing must
// not let the white background show through between them, at any quality that anti-aliases, while
// the shape's outer edges stay soft.
TEST(RenderFidelity, NoSeamWhereTwoFillsOfAShapeMeet) {
    sw::ShapeBuilder s;
    s.fill(sw::FillSpec::solid(0x800000ff)).fill(sw::FillSpec::solid(0x000080ff));
    s.moveTo(217, 210).style(1, 2, 0).lineTo(1787, 1790);                            // the shared edge
    s.style(0, 1, std::nullopt).lineTo(210, 1790).lineTo(210, 210).lineTo(217, 210);  // the first fill's outline
    s.moveTo(217, 210).style(0, 2, 0).lineTo(1790, 210).lineTo(1790, 1790).lineTo(1787, 1790);
    for (const vp::RenderQuality quality : {vp::RenderQuality::Medium, vp::RenderQuality::High, vp::RenderQuality::Best}) {
        const QImage img = render({s.build(3, 1, 210, 1790, 210, 1790),
                                   sw::placeObject2({.depth = 1, .characterId = 1, .matrix = sw::MatrixSpec::translate(7, 3)}),
                                   sw::showFrame()},
                                  quality);
        // Neither fill has any green: green inside the square can only be the background.
        for (int y = 12; y < 88; ++y)
            for (int x = 12; x < 88; ++x)
                ASSERT_LE(qGreen(img.pixel(x, y)), 3) << "quality " << static_cast<int>(quality) << " at " << x << "," << y;
        // The outer edge at x = 10.85 px stays anti-aliased: its pixel is partly covered.
        const int edgeGreen = qGreen(img.pixel(10, 50));
        EXPECT_GT(edgeGreen, 10);
        EXPECT_LT(edgeGreen, 245);
    }
}
