// flash.display.BitmapData as a playing movie's scripts see it: construction limits, pixel storage and its
// rounding, the drawing methods' clipping, disposal, and bitmaps attached to clips being drawn.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <limits>
#include <string>
#include <vector>

#include <QImage>

#include "player/avm1/vm.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
using vistrel::avm1::Value;

namespace {

// A movie (of `version`) whose machine the tests drive from C++.
class Movie : public sw::ScriptMovie {
public:
    explicit Movie(int version = 10) : ScriptMovie(version, sw::ActionWriter().end(), {}, 40, 30) {}

    Value bitmap(double w, double h, bool transparent, double fill) {
        return make("flash.display.BitmapData", {Value(w), Value(h), Value(transparent), Value(fill)});
    }
    Value rect(double x, double y, double w, double h) {
        return make("flash.geom.Rectangle", {Value(x), Value(y), Value(w), Value(h)});
    }
    Value point(double x, double y) { return make("flash.geom.Point", {Value(x), Value(y)}); }
    // getPixel32 as the unsigned 0xAARRGGBB a script would print in hex.
    std::uint32_t pixel(const Value& bmp, int x, int y) {
        return static_cast<std::uint32_t>(static_cast<std::int64_t>(num(call(bmp, "getPixel32", {Value(x), Value(y)}))));
    }
};

}  // namespace

TEST(BitmapData, ConstructionFollowsTheSizeLimitsOfTheMovieVersion) {
    Movie v9(9);
    EXPECT_TRUE(v9.bitmap(2880, 1, true, 0).isObject());
    EXPECT_TRUE(v9.bitmap(2881, 1, true, 0).isUndefined());
    EXPECT_TRUE(v9.bitmap(1, 2881, true, 0).isUndefined());
    Movie v10(10);
    EXPECT_TRUE(v10.bitmap(8191, 2, true, 0).isObject());
    EXPECT_TRUE(v10.bitmap(8192, 1, true, 0).isUndefined());
    EXPECT_TRUE(v10.bitmap(4096, 4096, true, 0).isUndefined());   // too many pixels altogether
    for (double bad : {0.0, -5.0, 1e300, std::nan("")}) {
        EXPECT_TRUE(v10.bitmap(bad, 4, true, 0).isUndefined()) << bad;
        EXPECT_TRUE(v10.bitmap(4, bad, true, 0).isUndefined()) << bad;
    }
    Value b = v10.bitmap(3, 2, false, 0);
    EXPECT_EQ(v10.num(v10.get(b, "width")), 3);
    EXPECT_EQ(v10.num(v10.get(b, "height")), 2);
    EXPECT_FALSE(v10.vm().toBoolean(v10.get(b, "transparent")));
    EXPECT_EQ(v10.vm().toString(v10.get(b, "rectangle")).toStdString(), "(x=0, y=0, w=3, h=2)");
    // The class is there from version 8 on, under flash.display.
    Movie v7(7);
    EXPECT_TRUE(v7.path("flash").isUndefined());
}

TEST(BitmapData, TransparentPixelsAreStoredPremultiplied) {
    Movie m;
    Value t = m.bitmap(3, 3, true, 0xAABBCCDD);
    // Premultiplying rounds to nearest; reading back rounds halves down.
    EXPECT_EQ(m.pixel(t, 1, 1), 0xAABBCCDCu);
    EXPECT_EQ(m.num(m.call(t, "getPixel", {Value(1), Value(1)})), 0xBBCCDC);
    m.call(t, "setPixel32", {Value(0), Value(0), Value(0x45112233)});
    EXPECT_EQ(m.pixel(t, 0, 0), 0x45122134u);
    m.call(t, "setPixel32", {Value(0), Value(0), Value(0x00FFFFFF)});
    EXPECT_EQ(m.pixel(t, 0, 0), 0u);   // no alpha, no colour
    // setPixel keeps the pixel's alpha.
    m.call(t, "setPixel", {Value(2), Value(2), Value(0x12345678)});
    EXPECT_EQ(m.pixel(t, 2, 2), 0xAA345578u);

    Value o = m.bitmap(2, 2, false, 0x80020406);
    EXPECT_EQ(m.pixel(o, 0, 0), 0xFF020406u);   // opaque bitmaps ignore alpha
    m.call(o, "setPixel32", {Value(1), Value(1), Value(0x10ABCDEF)});
    EXPECT_EQ(m.pixel(o, 1, 1), 0xFFABCDEFu);
    // Outside reads 0 and writes nothing; missing arguments answer -1.
    EXPECT_EQ(m.num(m.call(o, "getPixel32", {Value(2), Value(0)})), 0);
    EXPECT_EQ(m.num(m.call(o, "getPixel32", {Value(-1), Value(0)})), 0);
    EXPECT_EQ(m.num(m.call(o, "setPixel32", {Value(5), Value(5), Value(0)})), 0);
    EXPECT_EQ(m.num(m.call(o, "getPixel32", {Value(1)})), -1);
}

TEST(BitmapData, FillRectIsClippedToTheBitmap) {
    Movie m;
    Value b = m.bitmap(4, 4, true, 0);
    EXPECT_EQ(m.num(m.call(b, "fillRect", {m.rect(-2, 2, 4, 10), Value(0xFF112233)})), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(m.pixel(b, x, y), (x < 2 && y >= 2) ? 0xFF112233u : 0u) << x << "," << y;
    // A plain object with the four fields is a rectangle too; one without is refused.
    Value plain(m.vm().makeObject());
    for (const char* f : {"x", "y", "width"}) m.vm().setMember(plain, QString::fromLatin1(f), Value(0));
    EXPECT_EQ(m.num(m.call(b, "fillRect", {plain, Value(0xFFFFFFFF)})), -1);
    m.vm().setMember(plain, QStringLiteral("height"), Value(1));
    m.vm().setMember(plain, QStringLiteral("width"), Value(1));
    EXPECT_EQ(m.num(m.call(b, "fillRect", {plain, Value(0xFFFFFFFF)})), 0);
    EXPECT_EQ(m.pixel(b, 0, 0), 0xFFFFFFFFu);
    // Huge rectangles do not overrun.
    m.call(b, "fillRect", {m.rect(-1e12, -1e12, 1e13, 1e13), Value(0x80000000)});
    EXPECT_EQ(m.pixel(b, 3, 3), 0x80000000u);
}

TEST(BitmapData, CopyPixelsClipsAtBothBitmapsAndMergesAlpha) {
    Movie m;
    Value src = m.bitmap(3, 3, true, 0xFF0000FF);
    Value dst = m.bitmap(4, 4, true, 0);
    // Source area partly outside the source, destination partly outside the destination.
    m.call(dst, "copyPixels", {src, m.rect(-1, -1, 10, 10), m.point(2, 2)});
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) {
            // Destination (2,2) is source (-1,-1): only (3,3), from source (0,0), is copied.
            EXPECT_EQ(m.pixel(dst, x, y), (x == 3 && y == 3) ? 0xFF0000FFu : 0u) << x << "," << y;
        }
    m.call(dst, "copyPixels", {src, m.rect(0, 0, 3, 3), m.point(-100, 1e10)});   // entirely outside
    EXPECT_EQ(m.pixel(dst, 0, 0), 0u);

    // Without merging the source replaces the destination; with it the source is laid over.
    Value target = m.bitmap(2, 1, true, 0x45112233);
    Value over = m.bitmap(2, 1, true, 0x22445566);
    m.call(target, "copyPixels", {over, m.rect(0, 0, 1, 1), m.point(0, 0), Value(), Value(), Value(true)});
    m.call(target, "copyPixels", {over, m.rect(0, 0, 1, 1), m.point(1, 0), Value(), Value(), Value(false)});
    EXPECT_EQ(m.pixel(target, 0, 0), 0x5D243147u);
    EXPECT_EQ(m.pixel(target, 1, 0), m.pixel(over, 0, 0));
    // A transparent alpha bitmap scales the source and limits the copy to where it lies; an opaque one is
    // not used at all.
    Value solid = m.bitmap(2, 1, true, 0xFF204060);
    Value mask = m.bitmap(1, 1, true, 0x80000000);
    Value into = m.bitmap(2, 1, true, 0x11223344);
    const std::uint32_t untouched = m.pixel(into, 1, 0);
    m.call(into, "copyPixels", {solid, m.rect(0, 0, 2, 1), m.point(0, 0), mask, m.point(0, 0)});
    EXPECT_EQ(m.pixel(into, 0, 0) >> 24, 0x80u);
    EXPECT_EQ(m.pixel(into, 1, 0), untouched);
    m.call(into, "copyPixels", {solid, m.rect(0, 0, 2, 1), m.point(0, 0), m.bitmap(1, 1, false, 0), m.point(0, 0)});
    EXPECT_EQ(m.pixel(into, 1, 0), 0xFF204060u);
    // An opaque destination stays opaque, the source laid over it.
    Value opaque = m.bitmap(1, 1, false, 0);
    m.call(opaque, "copyPixels", {m.bitmap(1, 1, true, 0xF00E0E0E), m.rect(0, 0, 1, 1), m.point(0, 0)});
    EXPECT_EQ(m.pixel(opaque, 0, 0), 0xFF0D0D0Du);
    Value white = m.bitmap(1, 1, false, 0xFFFFFFFF);
    m.call(white, "copyPixels", {m.bitmap(1, 1, true, 0x00000000), m.rect(0, 0, 1, 1), m.point(0, 0)});
    EXPECT_EQ(m.pixel(white, 0, 0), 0xFFFFFFFFu);
}

TEST(BitmapData, DisposedBitmapsAnswerMinusOne) {
    Movie m;
    Value b = m.bitmap(3, 3, true, 0xFFFFFFFF);
    Value other = m.bitmap(3, 3, true, 0xFFFFFFFF);
    m.call(b, "dispose");
    for (const char* p : {"width", "height", "transparent", "rectangle"}) EXPECT_EQ(m.num(m.get(b, p)), -1) << p;
    EXPECT_EQ(m.num(m.call(b, "getPixel32", {Value(0), Value(0)})), -1);
    EXPECT_EQ(m.num(m.call(b, "fillRect", {m.rect(0, 0, 1, 1), Value(0)})), -1);
    // Comparing: 0 for equal, -1 for a disposed bitmap, -2 for a disposed or missing argument, then sizes.
    EXPECT_EQ(m.num(m.call(other, "compare", {m.bitmap(3, 3, true, 0xFFFFFFFF)})), 0);
    EXPECT_EQ(m.num(m.call(b, "compare", {other})), -1);
    EXPECT_EQ(m.num(m.call(other, "compare", {b})), -2);
    EXPECT_EQ(m.num(m.call(other, "compare", {m.bitmap(2, 3, true, 0)})), -3);
    EXPECT_EQ(m.num(m.call(other, "compare", {m.bitmap(3, 2, true, 0)})), -4);
    Value diff = m.call(other, "compare", {m.bitmap(3, 3, true, 0xFF333333)});
    EXPECT_EQ(m.pixel(diff, 0, 0), 0xFFCCCCCCu);
    // A clone is independent of its original.
    Value copy = m.call(other, "clone");
    m.call(other, "setPixel32", {Value(0), Value(0), Value(0)});
    EXPECT_EQ(m.pixel(copy, 0, 0), 0xFFFFFFFFu);
}

TEST(BitmapData, FloodFillScrollAndColorBounds) {
    Movie m;
    Value b = m.bitmap(5, 5, false, 0xFFFFFFFF);
    m.call(b, "fillRect", {m.rect(2, 0, 1, 5), Value(0xFF000000)});   // a wall down the middle
    m.call(b, "floodFill", {Value(0), Value(0), Value(0xFFFF0000)});
    EXPECT_EQ(m.pixel(b, 1, 4), 0xFFFF0000u);
    EXPECT_EQ(m.pixel(b, 3, 0), 0xFFFFFFFFu);
    Value r = m.call(b, "getColorBoundsRect", {Value(0xFFFFFFFF), Value(0xFFFF0000)});
    EXPECT_EQ(m.vm().toString(r).toStdString(), "(x=0, y=0, w=2, h=5)");
    r = m.call(b, "getColorBoundsRect", {Value(0xFFFFFFFF), Value(0xFFFF0000), Value(false)});
    EXPECT_EQ(m.vm().toString(r).toStdString(), "(x=2, y=0, w=3, h=5)");
    // Scrolling moves the content; what is uncovered keeps its old pixels.
    m.call(b, "scroll", {Value(1), Value(0)});
    EXPECT_EQ(m.pixel(b, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(m.pixel(b, 2, 0), 0xFFFF0000u);
    EXPECT_EQ(m.pixel(b, 3, 0), 0xFF000000u);
}

TEST(BitmapData, AttachedBitmapsAreDrawnAndRedrawnAfterChanges) {
    Movie m;
    Value b = m.bitmap(10, 10, false, 0xFF0000FF);
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("holder"), Value(1)});
    m.call(clip, "attachBitmap", {b, Value(1)});
    m.vm().setMember(clip, QStringLiteral("_x"), Value(5));
    auto frame = [&] {
        QImage image(40, 30, QImage::Format_ARGB32_Premultiplied);
        vp::QPainterRenderer renderer(image);
        m.player->render(renderer, QTransform::fromScale(0.05, 0.05), vp::RenderQuality::High,
                         vistrel::swf::Rgba{255, 255, 255, 255});
        return image;
    };
    QImage first = frame();
    EXPECT_EQ(first.pixel(7, 5), 0xFF0000FFu);
    EXPECT_EQ(first.pixel(2, 5), 0xFFFFFFFFu);   // left of the clip: the background
    EXPECT_EQ(first.pixel(16, 5), 0xFFFFFFFFu);  // right of the bitmap
    m.call(b, "fillRect", {m.rect(0, 0, 10, 10), Value(0xFF00FF00)});
    EXPECT_EQ(frame().pixel(7, 5), 0xFF00FF00u);
    m.call(b, "dispose");
    EXPECT_EQ(frame().pixel(7, 5), 0xFFFFFFFFu);
}

TEST(BitmapData, DrawCopiesAnotherBitmapThroughMatrixAndClipRect) {
    Movie m;
    Value dst = m.bitmap(10, 10, false, 0xFF0000FF);
    Value src = m.bitmap(10, 10, false, 0xFFFF0000);
    Value matrix = m.make("flash.geom.Matrix");
    m.call(matrix, "translate", {Value(2), Value(2)});
    m.call(dst, "draw", {src, matrix, Value(), Value(), m.rect(0, 0, 5, 5)});
    EXPECT_EQ(m.pixel(dst, 1, 1), 0xFF0000FFu);   // the source starts at (2,2)
    EXPECT_EQ(m.pixel(dst, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(m.pixel(dst, 6, 6), 0xFF0000FFu);   // outside the clip rectangle
}

TEST(BitmapData, DrawRendersAClipInItsOwnCoordinates) {
    Movie m;
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("shape"), Value(1)});
    m.call(clip, "beginFill", {Value(0xFF0000)});
    m.call(clip, "moveTo", {Value(0), Value(0)});
    m.call(clip, "lineTo", {Value(4), Value(0)});
    m.call(clip, "lineTo", {Value(4), Value(4)});
    m.call(clip, "lineTo", {Value(0), Value(4)});
    m.call(clip, "endFill");
    m.vm().setMember(clip, QStringLiteral("_x"), Value(100));   // the clip's own placement does not count
    Value b = m.bitmap(8, 8, true, 0);
    m.call(b, "draw", {clip});
    EXPECT_EQ(m.pixel(b, 1, 1), 0xFFFF0000u);
    EXPECT_EQ(m.pixel(b, 6, 6), 0u);
    Value matrix = m.make("flash.geom.Matrix");
    m.call(matrix, "translate", {Value(4), Value(4)});
    m.call(b, "draw", {clip, matrix});
    EXPECT_EQ(m.pixel(b, 6, 6), 0xFFFF0000u);
    EXPECT_EQ(m.pixel(b, 6, 1), 0u);
}

namespace {

// perlinNoise on a fresh 24x16 bitmap; the pixels as getPixel32 reads them, row by row.
std::vector<std::uint32_t> perlin(Movie& m, bool transparent, std::initializer_list<Value> args,
                                  Value* answer = nullptr) {
    Value b = m.bitmap(24, 16, transparent, 0x12345678);
    const Value result = m.call(b, "perlinNoise", args);
    if (answer) *answer = result;
    std::vector<std::uint32_t> out;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 24; ++x) out.push_back(m.pixel(b, x, y));
    return out;
}

std::uint32_t channelOf(std::uint32_t argb, int shift) { return (argb >> shift) & 0xFF; }

// How far two pictures are apart at most, channel by channel.
int maxDifference(const std::vector<std::uint32_t>& a, const std::vector<std::uint32_t>& b) {
    int worst = 0;
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>(channelOf(a[i], shift)) - static_cast<int>(channelOf(b[i], shift))));
    return worst;
}

}  // namespace

TEST(BitmapData, PerlinNoiseIsSeededAndMidGreyOnTheLattice) {
    Movie m;
    Value answer;
    const auto base = perlin(m, false, {Value(10), Value(8), Value(2), Value(42), Value(false), Value(true)}, &answer);
    EXPECT_EQ(m.num(answer), 0);
    // Fractal noise is zero at lattice points: the origin is mid grey in every channel.
    EXPECT_EQ(base[0], 0xFF7F7F7Fu);
    int varied = 0;
    for (std::uint32_t p : base) varied += p != base[0];
    EXPECT_GT(varied, 300);
    // The seed is a whole 32-bit number; the same seed gives the same noise, another seed other noise.
    EXPECT_EQ(perlin(m, false, {Value(10), Value(8), Value(2), Value(42.9), Value(false), Value(true)}), base);
    EXPECT_EQ(perlin(m, false, {Value(10), Value(8), Value(2), Value(4294967296.0 + 42), Value(false), Value(true)}), base);
    EXPECT_NE(perlin(m, false, {Value(10), Value(8), Value(2), Value(43), Value(false), Value(true)}), base);
    // Seeds of 0 and below count up from 1.
    EXPECT_EQ(perlin(m, false, {Value(10), Value(8), Value(1), Value(0), Value(false), Value(true)}),
              perlin(m, false, {Value(10), Value(8), Value(1), Value(1), Value(false), Value(true)}));
    EXPECT_EQ(perlin(m, false, {Value(10), Value(8), Value(1), Value(-1), Value(false), Value(true)}),
              perlin(m, false, {Value(10), Value(8), Value(1), Value(2), Value(false), Value(true)}));
    // Cell sizes and octaves are whole numbers.
    EXPECT_EQ(perlin(m, false, {Value(10.8), Value(8.2), Value(2.9), Value(42), Value(false), Value(true)}), base);
    // No octaves: nothing summed, mid grey (fractal) or black (turbulence).
    for (std::uint32_t p : perlin(m, false, {Value(10), Value(8), Value(0), Value(42), Value(false), Value(true)}))
        EXPECT_EQ(p, 0xFF7F7F7Fu);
    for (std::uint32_t p : perlin(m, false, {Value(10), Value(8), Value(-3), Value(42), Value(false), Value(false)}))
        EXPECT_EQ(p, 0xFF000000u);
    // Turbulence sums absolute values: never below black, and darker than fractal noise's mid grey.
    const auto turbulence = perlin(m, false, {Value(10), Value(8), Value(2), Value(42), Value(false), Value(false)});
    EXPECT_EQ(turbulence[0], 0xFF000000u);
    EXPECT_NE(turbulence, base);
}

TEST(BitmapData, PerlinNoiseChannelsTakeTheNoisesInOrder) {
    Movie m;
    const auto rgb = perlin(m, false, {Value(9), Value(7), Value(2), Value(5), Value(false), Value(true), Value(7)});
    const auto green = perlin(m, false, {Value(9), Value(7), Value(2), Value(5), Value(false), Value(true), Value(2)});
    const auto grey = perlin(m, false, {Value(9), Value(7), Value(2), Value(5), Value(false), Value(true), Value(0), Value(true)});
    const auto alpha = perlin(m, true, {Value(9), Value(7), Value(2), Value(5), Value(false), Value(true), Value(8)});
    const auto opaqueAlpha = perlin(m, false, {Value(9), Value(7), Value(2), Value(5), Value(false), Value(true), Value(8)});
    bool greenDiffersFromRed = false;
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        const std::uint32_t red = channelOf(rgb[i], 16);
        greenDiffersFromRed |= channelOf(rgb[i], 8) != red;
        // The first channel asked for gets the first noise, whichever channel it is.
        EXPECT_EQ(green[i], 0xFF000000u | (red << 8)) << i;
        // Grey is that noise in all three colours, whatever channels were named.
        EXPECT_EQ(grey[i], 0xFF000000u | red * 0x010101u) << i;
        // Alpha alone: the noise as alpha over black, on a transparent bitmap only.
        EXPECT_EQ(alpha[i], red << 24) << i;
        EXPECT_EQ(opaqueAlpha[i], 0xFF000000u) << i;
    }
    EXPECT_TRUE(greenDiffersFromRed);
    // Colours above the alpha they come with are stored as premultiplied values: capped at full.
    const auto all = perlin(m, true, {Value(9), Value(7), Value(2), Value(5), Value(false), Value(true), Value(15)});
    EXPECT_EQ(all[0], 0x7FFFFFFFu);   // mid grey in all four: grey at half alpha is white
}

TEST(BitmapData, PerlinNoiseOffsetsMoveOctavesAndStitchingTiles) {
    Movie m;
    const auto shifted = [&m](double dx, bool stitch) {
        return perlin(m, false, {Value(8), Value(8), Value(1), Value(7), Value(stitch), Value(true), Value(7), Value(false),
                                 m.array({m.point(dx, 0)})});
    };
    const auto plain = perlin(m, false, {Value(8), Value(8), Value(1), Value(7), Value(false), Value(true)});
    const auto moved = shifted(3, false);
    // The octave's offset moves its pattern: what stood at x + 3 stands at x.
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x + 3 < 24; ++x)
            EXPECT_LE(maxDifference({plain[y * 24 + x + 3]}, {moved[y * 24 + x]}), 1) << x << "," << y;
    // Any object with x and y serves as an offset.
    Value offset = m.object();
    m.set(offset, "x", Value(3));
    m.set(offset, "y", Value(0));
    EXPECT_EQ(perlin(m, false, {Value(8), Value(8), Value(1), Value(7), Value(false), Value(true), Value(7), Value(false),
                                m.array({offset})}),
              moved);
    // Stitched noise goes on past the right edge as it began at the left, so tiles meet without a
    // seam; unstitched noise does not. Compared over the first cell (8 pixels) of every row.
    const auto firstCell = [](const std::vector<std::uint32_t>& p) {
        std::vector<std::uint32_t> out;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 8; ++x) out.push_back(p[y * 24 + x]);
        return out;
    };
    EXPECT_LE(maxDifference(firstCell(shifted(0, true)), firstCell(shifted(24, true))), 1);
    EXPECT_GT(maxDifference(firstCell(shifted(0, false)), firstCell(shifted(24, false))), 16);
    // A cell size that does not divide the bitmap is fitted to it: 7 becomes 8 over 24 pixels.
    EXPECT_EQ(perlin(m, false, {Value(7), Value(8), Value(1), Value(7), Value(true), Value(true)}), shifted(0, true));
}

TEST(BitmapData, PerlinNoiseSurvivesHostileArguments) {
    Movie m;
    const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
    for (double v : {nan, inf, -inf, 1e300, -1e300, 0.0}) {
        const auto p = perlin(m, true, {Value(v), Value(v), Value(v), Value(v), Value(true), Value(true), Value(v),
                                        Value(true), m.array({m.point(v, v), m.point(-v, v)})});
        EXPECT_EQ(p.size(), 24u * 16u);
    }
    // A billion octaves are as many as make a difference, and take no longer.
    const auto many = perlin(m, false, {Value(8), Value(8), Value(1e9), Value(3), Value(true), Value(true)});
    EXPECT_EQ(many, perlin(m, false, {Value(8), Value(8), Value(40), Value(3), Value(true), Value(true)}));
    Value b = m.bitmap(4, 4, true, 0);
    EXPECT_EQ(m.num(m.call(b, "perlinNoise", {Value(8), Value(8), Value(1)})), -1);   // too few arguments
}
