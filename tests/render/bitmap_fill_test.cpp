// Bitmap fills drawn at any scale and turn: a picture repainted in part over the kept one equals the
// same frame drawn whole, repeating fills repeat, movies before version 8 draw every bitmap fill
// unsmoothed, and colour transforms that clear or keep every pixel draw nothing or the picture as it is.
#include <gtest/gtest.h>

#include <QImage>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tests/support/frame_compare.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using sw::firstDifference;
using sw::fullDraw;
using sw::viewOf;

namespace {

constexpr int kFrames = 10;
constexpr std::uint16_t kBitmap = 1;

// An 8 x 6 picture of varied colours, a few of its pixels translucent.
sw::Bytes picture() {
    std::vector<std::uint32_t> argb;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) {
            const std::uint32_t alpha = (x + y) % 5 == 0 ? 0x80 : 0xff;
            argb.push_back(alpha << 24 | static_cast<std::uint32_t>(x * 31) << 16 | static_cast<std::uint32_t>(y * 47) << 8 |
                           static_cast<std::uint32_t>((x * y * 13) & 0xff));
        }
    return sw::bitsLossless2(kBitmap, 8, 6, argb);
}

sw::MatrixSpec scaled(double sx, double sy, double turn, std::int32_t x, std::int32_t y) {
    sw::MatrixSpec m = sw::MatrixSpec::translate(x, y);
    m.scaleX = sx;
    m.scaleY = sy;
    if (turn != 0) m.rotateSkew0 = turn, m.rotateSkew1 = -turn;
    return m;
}

// A rectangle filled with the picture; `type` 0x40 repeating smoothed, 0x41 clipped smoothed, 0x42
// repeating unsmoothed, 0x43 clipped unsmoothed.
sw::Bytes filledRect(std::uint16_t id, std::uint8_t type, const sw::MatrixSpec& fillMatrix, std::int32_t w, std::int32_t h) {
    sw::FillSpec fill;
    fill.type = type;
    fill.bitmapId = kBitmap;
    fill.matrix = fillMatrix;
    sw::ShapeBuilder shape;
    shape.fill(fill).style(std::nullopt, 1, std::nullopt).rect(0, 0, w, h);
    return shape.build(3, id, 0, w, 0, h);
}

// Bitmap fills of each kind, scaled by uneven amounts, some turned, under a small shape that moves a
// little every frame, so each frame repaints spans that start part-way along the fills.
sw::Bytes fillsMovie() {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0xe0d8c0), picture()};
    tags.push_back(filledRect(2, 0x40, scaled(20 * 2.37, 20 * 1.71, 0, 13, 7), 3600, 2600));
    tags.push_back(filledRect(3, 0x40, scaled(20 * 1.9, 20 * 1.9, 0.45, 0, 0), 3400, 2600));
    tags.push_back(filledRect(4, 0x41, scaled(20 * 1.3, 20 * 1.7, 0.2, 300, 200), 3400, 2600));
    tags.push_back(filledRect(5, 0x42, scaled(20 * 3.3, 20 * 2.9, 0.3, 0, 0), 3400, 2600));
    tags.push_back(sw::rectangleShape(6, 0, 0, 700, 500, 0x2040a0c0));
    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(200, 200)}));
    tags.push_back(sw::placeObject2({.depth = 2, .characterId = 3, .matrix = sw::MatrixSpec::translate(4200, 200)}));
    tags.push_back(sw::placeObject2({.depth = 3, .characterId = 4, .matrix = sw::MatrixSpec::translate(200, 3200)}));
    tags.push_back(sw::placeObject2({.depth = 4, .characterId = 5, .matrix = sw::MatrixSpec::translate(4200, 3200)}));
    for (int f = 0; f < kFrames; ++f) {
        const sw::MatrixSpec at = sw::MatrixSpec::translate(300 + f * 733, 500 + f * 491);
        tags.push_back(sw::placeObject2({.depth = 5, .move = f > 0, .characterId = f == 0 ? std::optional<std::uint16_t>(6) : std::nullopt,
                                         .matrix = at}));
        tags.push_back(sw::showFrame());
    }
    return sw::movie({.version = 8, .widthTwips = 8000, .heightTwips = 6000, .frameCount = kFrames}, tags);
}

// One frame of a movie whose only object is shape 2 placed with `cxform`, drawn whole at stage size.
QImage drawOnce(const std::vector<sw::Bytes>& defs, const std::optional<sw::CxformSpec>& cxform, int version = 8,
                vp::RenderQuality quality = vp::RenderQuality::High) {
    std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0x406080)};
    tags.insert(tags.end(), defs.begin(), defs.end());
    tags.push_back(sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(100, 100), .cxform = cxform}));
    tags.push_back(sw::showFrame());
    const auto movie = vp::Movie::fromBytes(sw::movie({.version = version, .widthTwips = 4000, .heightTwips = 3000}, tags));
    EXPECT_TRUE(movie && movie->isValid());
    if (!movie) return {};
    vp::Player player(movie);
    return fullDraw(player, viewOf(*movie, QSize(200, 150), quality));
}

}  // namespace

TEST(BitmapFillRepaint, PartialRepaintsOfScaledAndTurnedFillsEqualAFullDraw) {
    const auto movie = vp::Movie::fromBytes(fillsMovie());
    ASSERT_TRUE(movie && movie->isValid());
    for (const QSize size : {QSize(400, 300), QSize(613, 411), QSize(1000, 750)}) {
        for (const vp::RenderQuality quality : {vp::RenderQuality::High, vp::RenderQuality::Low}) {
            SCOPED_TRACE(QStringLiteral("%1x%2 quality %3").arg(size.width()).arg(size.height()).arg(static_cast<int>(quality)).toStdString());
            vp::Player player(movie);
            vp::FrameDrawer drawer;
            const vp::FrameView view = viewOf(*movie, size, quality);
            int partial = 0;
            ASSERT_TRUE(sw::everyFrameEqualsAFullDraw(player, drawer, view, kFrames, [&](const vp::FrameDrawer& d) {
                if (sw::repaintedInPart(d)) ++partial;
            }));
            EXPECT_GE(partial, kFrames - 2);
        }
    }
}

TEST(BitmapFillRepaint, RepeatingFillsRepeatAndClippedOnesCarryTheirEdgesOn) {
    // The picture scaled by 2.5 on a stage drawn at 1 px per 20 twips: one copy is 20 x 15 pixels.
    const QImage repeated = drawOnce({picture(), filledRect(2, 0x40, scaled(20 * 2.5, 20 * 2.5, 0, 0, 0), 3000, 2000)}, std::nullopt);
    ASSERT_FALSE(repeated.isNull());
    for (const QPoint p : {QPoint(12, 9), QPoint(27, 14), QPoint(41, 30)}) {
        EXPECT_EQ(repeated.pixel(p), repeated.pixel(p + QPoint(20, 0))) << p.x() << "," << p.y();
        EXPECT_EQ(repeated.pixel(p), repeated.pixel(p + QPoint(40, 30))) << p.x() << "," << p.y();
    }
    // Clipped: beyond the picture's right edge every pixel of a row takes the colour of its last column.
    const QImage clipped = drawOnce({picture(), filledRect(2, 0x43, scaled(20 * 2.5, 20 * 2.5, 0, 0, 0), 3000, 2000)}, std::nullopt);
    ASSERT_FALSE(clipped.isNull());
    EXPECT_EQ(clipped.pixel(60, 12), clipped.pixel(120, 12));
    EXPECT_EQ(clipped.pixel(80, 40), clipped.pixel(140, 40));
    EXPECT_NE(clipped.pixel(60, 12), repeated.pixel(60, 12));
}

TEST(BitmapFillColour, TransformsThatClearOrKeepEveryPixelDrawNothingOrThePicture) {
    // An opaque picture: an alpha multiplier past one changes none of its pixels, a negative one
    // clears them all.
    std::vector<std::uint32_t> opaque;
    for (int i = 0; i < 48; ++i) opaque.push_back(0xff000000u | static_cast<std::uint32_t>(i * 0x050a03));
    const std::vector<sw::Bytes> defs = {sw::bitsLossless2(kBitmap, 8, 6, opaque),
                                         filledRect(2, 0x40, scaled(20 * 1.7, 20 * 1.3, 0.3, 0, 0), 3000, 2000)};
    const QImage plain = drawOnce(defs, std::nullopt);
    const QImage beyondFull = drawOnce(defs, sw::CxformSpec{std::array<std::int16_t, 4>{256, 256, 256, 700}, std::nullopt});
    const QImage cleared = drawOnce(defs, sw::CxformSpec{std::array<std::int16_t, 4>{256, 256, 256, -300}, std::nullopt});
    const QImage halfAlpha = drawOnce(defs, sw::CxformSpec{std::array<std::int16_t, 4>{256, 256, 256, 128}, std::nullopt});
    const QImage tinted = drawOnce(defs, sw::CxformSpec{std::array<std::int16_t, 4>{128, 256, 256, 256}, std::array<std::int16_t, 4>{60, 0, 0, 0}});
    const QImage nothing = drawOnce({sw::rectangleShape(2, 0, 0, 1, 1, 0x00000000)}, std::nullopt);
    ASSERT_FALSE(plain.isNull());
    EXPECT_EQ(beyondFull, plain) << firstDifference(beyondFull, plain).toStdString();
    EXPECT_EQ(cleared, nothing) << firstDifference(cleared, nothing).toStdString();
    // Other transforms still change the picture, each its own way.
    EXPECT_NE(halfAlpha, plain);
    EXPECT_NE(tinted, plain);
    EXPECT_NE(tinted, halfAlpha);
    EXPECT_NE(plain.pixel(50, 40), nothing.pixel(50, 40));
}

TEST(BitmapFillSmoothing, MoviesBeforeVersion8TakeTheNearestPixelWhateverTheFillType) {
    // The picture magnified ten times: smoothing blends neighbouring pixels into colours the picture
    // does not hold, the nearest pixel keeps each copy of a pixel one flat colour.
    const sw::MatrixSpec tenTimes = scaled(20 * 10, 20 * 10, 0, 0, 0);
    const auto draw = [&](std::uint8_t type, int version, vp::RenderQuality quality = vp::RenderQuality::High) {
        return drawOnce({picture(), filledRect(2, type, tenTimes, 1600, 1200)}, std::nullopt, version, quality);
    };
    const QImage hardRepeating = draw(0x42, 8), hardClipped = draw(0x43, 8);
    ASSERT_FALSE(hardRepeating.isNull());
    ASSERT_FALSE(hardClipped.isNull());
    for (const int version : {4, 6, 7}) {
        SCOPED_TRACE(version);
        const QImage repeating = draw(0x40, version), clipped = draw(0x41, version);
        EXPECT_EQ(repeating, hardRepeating) << firstDifference(repeating, hardRepeating).toStdString();
        EXPECT_EQ(clipped, hardClipped) << firstDifference(clipped, hardClipped).toStdString();
        // The unsmoothed fills draw the same in the older movies as in the newer ones.
        EXPECT_EQ(draw(0x42, version), hardRepeating);
    }
    // From version 8 on the fill type chooses.
    const QImage smoothRepeating = draw(0x40, 8), smoothClipped = draw(0x41, 8);
    EXPECT_NE(smoothRepeating, hardRepeating);
    EXPECT_NE(smoothClipped, hardClipped);
    EXPECT_EQ(draw(0x40, 9), smoothRepeating);
    // A copy of one picture pixel covers device pixels 15 to 24 each way (the shape starts at 5):
    // smoothed, it changes colour from one side to the other.
    EXPECT_EQ(hardRepeating.pixel(16, 16), hardRepeating.pixel(23, 23));
    EXPECT_NE(smoothRepeating.pixel(16, 16), smoothRepeating.pixel(23, 23));
    // The best quality smooths every bitmap, old movies' too.
    EXPECT_NE(draw(0x40, 7, vp::RenderQuality::Best), hardRepeating);
}

namespace {

// A clipped fill of `pixels` (8 x 6, shown 1:1) on a rectangle exactly its size, placed `x`, `y` twips
// from the stage's corner, drawn at 1 px per 20 twips over a dark background.
QImage placedPicture(const std::vector<std::uint32_t>& pixels, std::uint8_t type, int version, std::int32_t x, std::int32_t y) {
    const std::vector<sw::Bytes> tags = {sw::setBackgroundColor(0x102030), sw::bitsLossless2(kBitmap, 8, 6, pixels),
                                         filledRect(2, type, scaled(20, 20, 0, 0, 0), 160, 120),
                                         sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(x, y)}),
                                         sw::showFrame()};
    const auto movie = vp::Movie::fromBytes(sw::movie({.version = version, .widthTwips = 600, .heightTwips = 400}, tags));
    EXPECT_TRUE(movie && movie->isValid());
    if (!movie) return {};
    vp::Player player(movie);
    return fullDraw(player, viewOf(*movie, QSize(30, 20), vp::RenderQuality::High));
}

// Whether every channel of `c` lies strictly between those of `a` and `b` (which differ in each).
bool strictlyBetween(QRgb c, QRgb a, QRgb b) {
    const auto inside = [](int v, int p, int q) { return v > std::min(p, q) && v < std::max(p, q); };
    return inside(qRed(c), qRed(a), qRed(b)) && inside(qGreen(c), qGreen(a), qGreen(b)) && inside(qBlue(c), qBlue(a), qBlue(b));
}

}  // namespace

TEST(BitmapFillPlacement, ClippedPicturesBetweenPixelsGetSoftEdgesAndSmoothOnesBlend) {
    const QRgb background = 0xff102030, colour = 0xffe0a050;
    const std::vector<std::uint32_t> flat(48, colour);
    // Placed half a pixel right and a quarter down, the picture's outline cuts through columns 5 and 13
    // and rows 5 and 11: those pixels take a share of the picture, whichever kind of clipped fill and
    // movie version, as a plain fill's edges would; whole pixels inside keep the picture's colour.
    for (const int version : {6, 8}) {
        for (const std::uint8_t type : {std::uint8_t{0x41}, std::uint8_t{0x43}}) {
            SCOPED_TRACE(QStringLiteral("version %1 type %2").arg(version).arg(type).toStdString());
            const QImage image = placedPicture(flat, type, version, 110, 105);
            ASSERT_FALSE(image.isNull());
            for (const QPoint edge : {QPoint(5, 8), QPoint(13, 8), QPoint(9, 5), QPoint(9, 11)})
                EXPECT_TRUE(strictlyBetween(image.pixel(edge), background, colour))
                    << edge.x() << "," << edge.y() << " " << std::hex << image.pixel(edge);
            EXPECT_EQ(image.pixel(9, 8), colour);
            EXPECT_EQ(image.pixel(4, 8), background);
            EXPECT_EQ(image.pixel(14, 8), background);
        }
    }
    // Moved by a quarter pixel each way, a smoothed fill blends each pixel with its neighbours into
    // colours the picture does not hold; an unsmoothed one, or any before version 8, shows its own.
    std::vector<std::uint32_t> checks;
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 8; ++x) checks.push_back((x + y) % 2 ? 0xff000000u : 0xffffffffu);
    const auto ownColours = [](const QImage& image) {
        for (int y = 7; y <= 9; ++y)
            for (int x = 7; x <= 10; ++x)
                if (image.pixel(x, y) != 0xff000000u && image.pixel(x, y) != 0xffffffffu) return false;
        return true;
    };
    const QImage smooth = placedPicture(checks, 0x41, 8, 105, 105);
    ASSERT_FALSE(smooth.isNull());
    EXPECT_FALSE(ownColours(smooth));
    EXPECT_TRUE(strictlyBetween(smooth.pixel(8, 8), 0xff000000u, 0xffffffffu)) << std::hex << smooth.pixel(8, 8);
    EXPECT_TRUE(ownColours(placedPicture(checks, 0x43, 8, 105, 105)));
    EXPECT_TRUE(ownColours(placedPicture(checks, 0x41, 7, 105, 105)));
}

TEST(BitmapFillPlacement, TallClippedPicturesBetweenPixelsDrawEveryRowAlike) {
    // Pictures whose colour changes only across, far taller than a few dozen rows and placed between
    // pixels: every row of the fill, its soft left and right edges too, is the same from top to bottom.
    const auto columns = [](int w, int h) {
        std::vector<std::uint32_t> argb;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) argb.push_back(0xff000000u | static_cast<std::uint32_t>(x * 0x1f2b11 + 0x203040));
        return argb;
    };
    struct Case {
        int version, w, h;
        std::uint8_t type;
        double scaleX, scaleY;
    };
    // Unsmoothed and stretched (the painter samples), and smoothed and only moved (sampled here).
    for (const Case c : {Case{8, 8, 6, 0x43, 3.0, 60.0}, Case{8, 8, 300, 0x41, 3.0, 1.0}, Case{8, 24, 300, 0x41, 1.0, 1.0}}) {
        SCOPED_TRACE(QStringLiteral("version %1 type %2 %3x%4").arg(c.version).arg(c.type).arg(c.scaleX).arg(c.scaleY).toStdString());
        const int wide = static_cast<int>(c.w * c.scaleX), tall = static_cast<int>(c.h * c.scaleY);
        const std::vector<sw::Bytes> tags = {
            sw::setBackgroundColor(0x102030), sw::bitsLossless2(kBitmap, c.w, c.h, columns(c.w, c.h)),
            filledRect(2, c.type, scaled(20 * c.scaleX, 20 * c.scaleY, 0, 0, 0), wide * 20, tall * 20),
            sw::placeObject2({.depth = 1, .characterId = 2, .matrix = sw::MatrixSpec::translate(110, 105)}), sw::showFrame()};
        const auto movie = vp::Movie::fromBytes(
            sw::movie({.version = c.version, .widthTwips = (wide + 20) * 20, .heightTwips = (tall + 20) * 20}, tags));
        ASSERT_TRUE(movie && movie->isValid());
        vp::Player player(movie);
        const QImage image = fullDraw(player, viewOf(*movie, QSize(wide + 20, tall + 20), vp::RenderQuality::High));
        ASSERT_FALSE(image.isNull());
        const QRgb background = 0xff102030;
        // The outline cuts through column 5 and the column past the picture's last whole one.
        EXPECT_NE(image.pixel(5, 40), background);
        EXPECT_NE(image.pixel(5, 40), image.pixel(6, 40));
        EXPECT_NE(image.pixel(5 + wide, 40), background);
        EXPECT_EQ(image.pixel(6 + wide, 40), background);
        const auto row = [&](int y) { return std::vector<QRgb>(reinterpret_cast<const QRgb*>(image.constScanLine(y)),
                                                               reinterpret_cast<const QRgb*>(image.constScanLine(y)) + image.width()); };
        const std::vector<QRgb> first = row(6);
        for (int y = 7; y < 5 + tall; ++y) {
            ASSERT_EQ(row(y), first) << "row " << y;
        }
    }
}
