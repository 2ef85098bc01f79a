// flash.display.BitmapData as a playing movie's scripts see it: construction limits, pixel storage and its
// rounding, the drawing methods' clipping, disposal, and bitmaps attached to clips being drawn.
#include <gtest/gtest.h>

#include <initializer_list>
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
