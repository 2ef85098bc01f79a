// A clip's transform as scripts see it: MovieClip.transform and flash.geom.Transform, the scale and
// rotation a script reads back from a matrix, and which lookups of a clip's handlers ask __resolve.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/player.h"
#include "player/stage.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

// A clip with a filled 20 x 10 pixel rectangle drawn at its origin.
Value boxClip(Movie& m, const Value& parent, const char* name, int depth) {
    Value clip = m.call(parent, "createEmptyMovieClip", {Value(name), Value(depth)});
    m.call(clip, "beginFill", {Value(0xff0000)});
    m.call(clip, "moveTo", {Value(0), Value(0)});
    m.call(clip, "lineTo", {Value(20), Value(0)});
    m.call(clip, "lineTo", {Value(20), Value(10)});
    m.call(clip, "lineTo", {Value(0), Value(10)});
    m.call(clip, "endFill");
    return clip;
}

Value colorTransform(Movie& m, std::vector<double> v) {
    std::vector<Value> args;
    for (double d : v) args.push_back(Value(d));
    return m.vm().construct(m.path("flash.geom.ColorTransform"), args);
}

}  // namespace

TEST(ClipTransform, TransformReadsAndWritesTheClip) {
    Movie m(8);
    Value outer = m.call(m.root(), "createEmptyMovieClip", {Value("outer"), Value(1)});
    Value inner = boxClip(m, outer, "inner", 1);
    m.set(outer, "_x", Value(100));
    m.set(outer, "_xscale", Value(200));
    m.set(outer, "_yscale", Value(200));
    m.set(inner, "_x", Value(5));
    m.set(inner, "_y", Value(7));

    Value t = m.get(inner, "transform");
    ASSERT_TRUE(t.isObject());
    EXPECT_TRUE(m.vm().instanceOf(t, m.path("flash.geom.Transform").object()));
    EXPECT_EQ(m.str(m.get(t, "matrix")), "(a=1, b=0, c=0, d=1, tx=5, ty=7)");
    EXPECT_EQ(m.str(m.get(t, "concatenatedMatrix")), "(a=2, b=0, c=0, d=2, tx=110, ty=14)");
    EXPECT_EQ(m.str(m.get(t, "pixelBounds")), "(x=110, y=14, w=40, h=20)");

    // Each read makes a new object: changing it does not reach the clip until it is assigned back.
    EXPECT_FALSE(m.vm().looseEquals(m.get(inner, "transform"), m.get(inner, "transform")));
    Value matrix = m.get(t, "matrix");
    m.set(matrix, "tx", Value(999));
    EXPECT_EQ(m.num(m.get(inner, "_x")), 5);
    m.set(t, "matrix", matrix);
    EXPECT_EQ(m.num(m.get(inner, "_x")), 999);
    // An object that is no matrix leaves the clip alone.
    m.set(t, "matrix", m.object());
    EXPECT_EQ(m.num(m.get(inner, "_x")), 999);

    // A transform follows its clip: moving the clip shows in a transform made before.
    m.set(inner, "_x", Value(50));
    EXPECT_EQ(m.str(m.get(t, "matrix")), "(a=1, b=0, c=0, d=1, tx=50, ty=7)");

    // Assigning another clip's transform takes its matrix and colours; anything else is ignored.
    Value other = boxClip(m, m.root(), "other", 2);
    m.set(other, "_x", Value(10));
    m.set(other, "_y", Value(20));
    m.set(inner, "transform", m.get(other, "transform"));
    EXPECT_EQ(m.num(m.get(inner, "_x")), 10);
    EXPECT_EQ(m.num(m.get(inner, "_y")), 20);
    m.set(inner, "transform", m.object());
    EXPECT_EQ(m.num(m.get(inner, "_x")), 10);

    // Without a clip there is no transform, and a removed clip's transform reads as nothing.
    EXPECT_TRUE(m.make("flash.geom.Transform").isUndefined());
    EXPECT_TRUE(m.make("flash.geom.Transform", {m.object()}).isUndefined());
    m.call(inner, "removeMovieClip");
    EXPECT_TRUE(m.get(t, "matrix").isUndefined());
    EXPECT_TRUE(m.get(t, "colorTransform").isUndefined());
}

TEST(ClipTransform, TransformIsHiddenBeforeVersionEight) {
    Movie m(7);
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("c"), Value(1)});
    EXPECT_TRUE(m.get(clip, "transform").isUndefined());
}

TEST(ClipTransform, ColourTransformsCombineInFixedPoint) {
    Movie m(8);
    Value outer = m.call(m.root(), "createEmptyMovieClip", {Value("outer"), Value(1)});
    Value inner = boxClip(m, outer, "inner", 1);
    Value t = m.get(inner, "transform");
    m.set(t, "colorTransform", colorTransform(m, {0.5, 1, 1, 1, 0, 64, 32, 0}));
    m.set(m.get(outer, "transform"), "colorTransform", colorTransform(m, {1, 0.5, 1, 1, 64, 0, -555, 0}));
    EXPECT_EQ(m.str(m.get(t, "colorTransform")),
              "(redMultiplier=0.5, greenMultiplier=1, blueMultiplier=1, alphaMultiplier=1, redOffset=0, "
              "greenOffset=64, blueOffset=32, alphaOffset=0)");
    EXPECT_EQ(m.str(m.get(t, "concatenatedColorTransform")),
              "(redMultiplier=0.5, greenMultiplier=0.5, blueMultiplier=1, alphaMultiplier=1, redOffset=64, "
              "greenOffset=32, blueOffset=-523, alphaOffset=0)");

    // Offsets scaled by a large multiplier round down and wrap to 16 bits.
    m.set(m.get(m.root(), "transform"), "colorTransform", colorTransform(m, {1, 1, 127.5, 1, 0, 0, 0, 0}));
    EXPECT_EQ(m.str(m.get(t, "concatenatedColorTransform")),
              "(redMultiplier=0.5, greenMultiplier=0.5, blueMultiplier=127.5, alphaMultiplier=1, redOffset=64, "
              "greenOffset=32, blueOffset=-1147, alphaOffset=0)");

    // Only a ColorTransform is taken.
    m.set(t, "colorTransform", m.object());
    EXPECT_EQ(m.num(m.get(m.get(t, "colorTransform"), "greenOffset")), 64);
}

TEST(ClipTransform, ScaleAndRotationComeFromEachAxis) {
    Movie m(8);
    Value clip = m.call(m.root(), "createEmptyMovieClip", {Value("c"), Value(1)});
    Value matrix = m.make("flash.geom.Matrix", {Value(-1), Value(0), Value(0), Value(1), Value(0), Value(0)});
    m.set(m.get(clip, "transform"), "matrix", matrix);
    // A mirrored x axis reads as a half turn with both scales positive.
    EXPECT_EQ(m.num(m.get(clip, "_rotation")), 180);
    EXPECT_EQ(m.num(m.get(clip, "_xscale")), 100);
    EXPECT_EQ(m.num(m.get(clip, "_yscale")), 100);

    // What a script sets is kept: setting a negative scale twice mirrors once.
    Value flipped = m.call(m.root(), "createEmptyMovieClip", {Value("f"), Value(2)});
    for (int i = 0; i < 2; ++i) {
        m.set(flipped, "_xscale", Value(-100));
        EXPECT_EQ(m.num(m.get(flipped, "_xscale")), -100);
        EXPECT_EQ(m.num(m.get(flipped, "_yscale")), 100);
        EXPECT_EQ(m.num(m.get(flipped, "_rotation")), 0);
        EXPECT_EQ(m.str(m.get(m.get(flipped, "transform"), "matrix")), "(a=-1, b=0, c=0, d=1, tx=0, ty=0)");
    }

    // A skewed matrix keeps its skew when the rotation changes.
    Value skewed = m.call(m.root(), "createEmptyMovieClip", {Value("s"), Value(3)});
    m.set(m.get(skewed, "transform"), "matrix",
          m.make("flash.geom.Matrix", {Value(1), Value(0), Value(1), Value(1), Value(0), Value(0)}));
    m.set(skewed, "_rotation", Value(90));
    Value after = m.get(m.get(skewed, "transform"), "matrix");
    EXPECT_NEAR(m.num(m.get(after, "a")), 0, 1e-9);
    EXPECT_NEAR(m.num(m.get(after, "b")), 1, 1e-9);
    EXPECT_NEAR(m.num(m.get(after, "c")), -1, 1e-9);
    EXPECT_NEAR(m.num(m.get(after, "d")), 1, 1e-9);
}

TEST(ClipTransform, HandlersAreFoundWithoutResolve) {
    using sw::ActionWriter;
    using sw::Push;
    namespace op = sw::op;
    // A resolver on the root that logs every name it is asked for sees only what the script asks, not
    // the frame, load and pointer events the player looks for.
    ActionWriter a;
    a.push({Push::str("asked"), Push::dbl(0), Push::str("Array")}).op(op::kNewObject).op(op::kSetVariable);
    a.push(Push::str("this")).op(op::kGetVariable).push(Push::str("__resolve"));
    ActionWriter body;
    body.push({Push::str("name")}).op(op::kGetVariable).push({Push::dbl(1), Push::str("asked")}).op(op::kGetVariable);
    body.push(Push::str("push")).op(op::kCallMethod).op(op::kPop);
    body.push(Push::undefined()).op(op::kReturn);
    a.defineFunction("", {"name"}, body);
    a.op(op::kSetMember);
    a.push(Push::str("this")).op(op::kGetVariable).push(Push::str("byScript")).op(op::kGetMember).op(op::kPop);
    Movie m(7, a.end());
    for (int i = 0; i < 3; ++i) m.player->nextFrame();
    m.player->mouseMove(QPointF(10, 10));
    m.player->mouseDown(QPointF(10, 10));
    m.player->mouseUp(QPointF(10, 10));
    m.player->nextFrame();
    EXPECT_EQ(m.str(m.get(m.root(), "asked")), "byScript");
}

using vistrel::testing::ScriptMovie;

TEST(ClipTransform, ColorTransformAssignedThroughTheClipReadsBack) {
    ScriptMovie m(8);
    const Value root = m.root();
    const Value transform = m.get(root, "transform");
    ASSERT_TRUE(transform.isObject());
    const Value ct = m.make("flash.geom.ColorTransform");
    m.set(ct, "redOffset", Value(100));
    m.set(ct, "alphaMultiplier", Value(0.5));
    m.set(transform, "colorTransform", ct);
    // A new read of transform sees what the clip now has.
    const Value again = m.get(m.get(root, "transform"), "colorTransform");
    EXPECT_EQ(m.num(m.get(again, "redOffset")), 100);
    EXPECT_EQ(m.num(m.get(again, "alphaMultiplier")), 0.5);
    EXPECT_EQ(m.num(m.get(root, "_alpha")), 50);
}

TEST(ClipTransform, AssigningATransformCopiesItsMatrixAndIsMissingBeforeVersion8) {
    ScriptMovie m(8);
    const Value matrix = m.make("flash.geom.Matrix", {Value(1), Value(0), Value(0), Value(1), Value(30), Value(40)});
    const Value t = m.get(m.root(), "transform");
    m.set(t, "matrix", matrix);
    m.set(m.root(), "transform", t);
    EXPECT_EQ(m.num(m.get(m.root(), "_x")), 30);
    EXPECT_EQ(m.num(m.get(m.root(), "_y")), 40);

    ScriptMovie old(7);
    EXPECT_TRUE(old.get(old.root(), "transform").isUndefined());
}

TEST(ClipTransform, SizeSettersWorkAlongTheRotatedAxes) {
    Movie m(10);
    // Unrotated: the named axis takes the whole change, the other keeps its scale.
    Value plain = boxClip(m, m.root(), "plain", 1);
    m.set(plain, "_width", Value(40));
    EXPECT_DOUBLE_EQ(m.num(m.get(plain, "_xscale")), 200);
    EXPECT_DOUBLE_EQ(m.num(m.get(plain, "_yscale")), 100);
    m.set(plain, "_height", Value(-5));
    EXPECT_DOUBLE_EQ(m.num(m.get(plain, "_yscale")), -50);
    EXPECT_DOUBLE_EQ(m.num(m.get(plain, "_xscale")), 200);

    // A quarter turn: the first width set scales the object's own x axis (which now runs vertically), so the
    // width is unchanged; the second one, with the x scale already right, moves the y scale instead.
    Value turned = boxClip(m, m.root(), "turned", 2);
    m.set(turned, "_rotation", Value(90));
    m.set(turned, "_width", Value(5));
    EXPECT_DOUBLE_EQ(m.num(m.get(turned, "_xscale")), 50);
    EXPECT_DOUBLE_EQ(m.num(m.get(turned, "_yscale")), 100);
    EXPECT_DOUBLE_EQ(m.num(m.get(turned, "_width")), 10);
    m.set(turned, "_width", Value(5));
    EXPECT_DOUBLE_EQ(m.num(m.get(turned, "_xscale")), 50);
    EXPECT_DOUBLE_EQ(m.num(m.get(turned, "_yscale")), 50);
    EXPECT_DOUBLE_EQ(m.num(m.get(turned, "_width")), 5);

    // An eighth of a turn: x scale from the rotated unscaled width, y scale a blend of both old scales.
    Value diagonal = boxClip(m, m.root(), "diagonal", 3);
    m.set(diagonal, "_rotation", Value(45));
    m.set(diagonal, "_width", Value(10));
    const double rotatedWidth = (20 + 10) * std::sqrt(0.5);
    EXPECT_NEAR(m.num(m.get(diagonal, "_xscale")), 100 * 10 / rotatedWidth, 1e-9);
    EXPECT_DOUBLE_EQ(m.num(m.get(diagonal, "_yscale")), 100);
    const double xs = 10 / rotatedWidth;
    m.set(diagonal, "_width", Value(10));
    EXPECT_NEAR(m.num(m.get(diagonal, "_yscale")), 100 * (xs + 0.5) / 1.5, 1e-9);

    // An object without area (empty, or a flat line) collapses on both axes whatever size is asked for.
    Value empty = m.call(m.root(), "createEmptyMovieClip", {Value("empty"), Value(4)});
    m.set(empty, "_width", Value(20));
    EXPECT_EQ(m.num(m.get(empty, "_xscale")), 0);
    EXPECT_EQ(m.num(m.get(empty, "_yscale")), 0);
    Value line = m.call(m.root(), "createEmptyMovieClip", {Value("line"), Value(5)});
    m.call(line, "lineStyle", {Value(0), Value(0)});
    m.call(line, "lineTo", {Value(50), Value(0)});
    m.set(line, "_height", Value(20));
    EXPECT_EQ(m.num(m.get(line, "_xscale")), 0);
    EXPECT_EQ(m.num(m.get(line, "_yscale")), 0);
    // Drawing into the collapsed clip later shows nothing.
    m.call(empty, "beginFill", {Value(0)});
    m.call(empty, "lineTo", {Value(30), Value(0)});
    m.call(empty, "lineTo", {Value(30), Value(30)});
    m.call(empty, "endFill");
    EXPECT_EQ(m.num(m.get(empty, "_width")), 0);
    EXPECT_EQ(m.num(m.get(empty, "_height")), 0);
}

TEST(ClipTransform, PropertyValuesThatAreNotNumbers) {
    Movie m(7);
    Value clip = boxClip(m, m.root(), "c", 1);
    // NaN, and anything that converts to it, leaves a property as it was.
    m.set(clip, "_x", Value(3));
    m.set(clip, "_x", Value("abc"));
    EXPECT_EQ(m.num(m.get(clip, "_x")), 3);
    m.set(clip, "_xscale", Value(std::nan("")));
    EXPECT_EQ(m.num(m.get(clip, "_xscale")), 100);
    // Infinite positions land on the smallest whole-twips value; infinite scales are kept; an infinite alpha
    // is none; an infinite turn reads back as NaN.
    m.set(clip, "_y", Value(std::numeric_limits<double>::infinity()));
    EXPECT_DOUBLE_EQ(m.num(m.get(clip, "_y")), -107374182.4);
    m.set(clip, "_x", Value(-std::numeric_limits<double>::infinity()));
    EXPECT_DOUBLE_EQ(m.num(m.get(clip, "_x")), -107374182.4);
    m.set(clip, "_yscale", Value(-std::numeric_limits<double>::infinity()));
    EXPECT_EQ(m.str(m.get(clip, "_yscale")), "-Infinity");
    m.set(clip, "_alpha", Value(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(m.num(m.get(clip, "_alpha")), 0);
    m.set(clip, "_rotation", Value(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(m.str(m.get(clip, "_rotation")), "NaN");
    // The clip can still be measured and drawn.
    EXPECT_TRUE(std::isfinite(m.num(m.get(clip, "_width"))));
    m.player->nextFrame();

    // Visibility goes by the value as a number; values that are no number leave it.
    m.set(clip, "_visible", Value(false));
    for (const Value& v : {Value("true"), Value(), Value::null(), Value(""), m.object()}) {
        m.set(clip, "_visible", v);
        EXPECT_FALSE(m.vm().toBoolean(m.get(clip, "_visible")));
    }
    m.set(clip, "_visible", Value("1"));
    EXPECT_TRUE(m.vm().toBoolean(m.get(clip, "_visible")));
    m.set(clip, "_visible", Value("0000"));
    EXPECT_FALSE(m.vm().toBoolean(m.get(clip, "_visible")));
    m.set(clip, "_visible", Value(std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(m.vm().toBoolean(m.get(clip, "_visible")));

    // A name that is the number NaN reads "0" from version 7; the string "NaN" stays itself.
    m.set(clip, "_name", Value(std::nan("")));
    EXPECT_EQ(m.str(m.get(clip, "_name")), "0");
    m.set(clip, "_name", Value("NaN"));
    EXPECT_EQ(m.str(m.get(clip, "_name")), "NaN");
    Movie m6(6);
    Value old = boxClip(m6, m6.root(), "c", 1);
    m6.set(old, "_name", Value(std::nan("")));
    EXPECT_EQ(m6.str(m6.get(old, "_name")), "NaN");

    // The root's _focusrect reads as a boolean; values that are no number leave it, and an object switches
    // it off without being asked for its value.
    m.set(m.root(), "_focusrect", Value(0));
    EXPECT_EQ(m.str(m.get(m.root(), "_focusrect")), "false");
    m.set(m.root(), "_focusrect", Value(2));
    EXPECT_EQ(m.str(m.get(m.root(), "_focusrect")), "true");
    for (const Value& v : {Value("abc"), Value(), Value::null(), Value(std::nan(""))}) {
        m.set(m.root(), "_focusrect", v);
        EXPECT_EQ(m.str(m.get(m.root(), "_focusrect")), "true");
    }
    int asked = 0;
    Value number = m.object();
    m.set(number, "valueOf", Value(m.vm().makeFunction("valueOf", [&asked](vistrel::avm1::Vm&, const Value&,
                                                                           std::span<const Value>) {
        ++asked;
        return Value(1);
    })));
    m.set(m.root(), "_focusrect", number);
    EXPECT_EQ(m.str(m.get(m.root(), "_focusrect")), "false");
    EXPECT_EQ(asked, 0);

    // _soundbuftime: one whole number for every clip, cut towards zero; no number leaves it, infinity is
    // the smallest 32-bit integer.
    EXPECT_EQ(m.num(m.get(m.root(), "_soundbuftime")), 5);
    m.set(clip, "_soundbuftime", Value(7.9));
    EXPECT_EQ(m.num(m.get(m.root(), "_soundbuftime")), 7);
    m.set(m.root(), "_soundbuftime", Value("x"));
    EXPECT_EQ(m.num(m.get(clip, "_soundbuftime")), 7);
    m.set(m.root(), "_soundbuftime", Value(-3.5));
    EXPECT_EQ(m.num(m.get(clip, "_soundbuftime")), -3);
    m.set(m.root(), "_soundbuftime", Value(std::numeric_limits<double>::infinity()));
    EXPECT_EQ(m.num(m.get(m.root(), "_soundbuftime")), -2147483648.0);
}

TEST(ClipTransform, PointConversionsWorkInWholeTwips) {
    Movie m(8);
    Value mc = boxClip(m, m.root(), "mc", 1);
    m.set(mc, "_x", Value(0.5));    // 10 twips
    m.set(mc, "_y", Value(0.35));   // 7 twips
    m.set(mc, "_xscale", Value(30));
    m.set(mc, "_yscale", Value(30));
    const auto convert = [&m](const Value& clip, const char* method, double x, double y) {
        Value point = m.object();
        m.set(point, "x", Value(x));
        m.set(point, "y", Value(y));
        m.call(clip, method, {point});
        return m.str(m.get(point, "x")) + " " + m.str(m.get(point, "y"));
    };
    // The point is cut to whole twips first (toward zero), the answer rounded to them.
    EXPECT_EQ(convert(m.root(), "localToGlobal", 0.01, 0.026), "0 0");
    EXPECT_EQ(convert(m.root(), "globalToLocal", 0.024, -0.026), "0 0");
    EXPECT_EQ(convert(mc, "localToGlobal", 1.01, 2), "0.8 0.95");   // 20 * 0.3 + 10 = 16 twips
    // Back the other way the inverse matrix moves by whole twips: -10 / 0.3 becomes -33.
    EXPECT_EQ(convert(mc, "globalToLocal", 1.01, 2), "1.7 5.5");

    // Nested clips combine as they are drawn, every level's translation kept in whole twips.
    Movie r(8);
    Value outer = r.call(r.root(), "createEmptyMovieClip", {Value("outer"), Value(1)});
    Value inner = r.call(outer, "createEmptyMovieClip", {Value("inner"), Value(1)});
    r.set(outer, "_x", Value(200));
    r.set(outer, "_y", Value(200));
    r.set(outer, "_xscale", Value(25));
    r.set(outer, "_yscale", Value(25));
    r.set(outer, "_rotation", Value(25));
    r.set(inner, "_x", Value(200));
    r.set(inner, "_y", Value(200));
    Value point = r.object();
    r.set(point, "x", Value(10));
    r.set(point, "y", Value(10));
    r.call(inner, "localToGlobal", {point});
    const double gx = r.num(r.get(point, "x")), gy = r.num(r.get(point, "y"));
    EXPECT_DOUBLE_EQ(gx * 20, std::round(gx * 20));
    EXPECT_DOUBLE_EQ(gy * 20, std::round(gy * 20));
    r.call(inner, "globalToLocal", {point});
    EXPECT_NEAR(r.num(r.get(point, "x")), 10, 0.15);
    EXPECT_NEAR(r.num(r.get(point, "y")), 10, 0.15);
}
