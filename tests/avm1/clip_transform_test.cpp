// MovieClip.transform: a Transform of the clip, read fresh each time, that writes through to the clip.
#include <gtest/gtest.h>

#include "tests/avm1/script_movie.h"

using vistrel::testing::ScriptMovie;
using Value = vistrel::avm1::Value;

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
