// flash.geom.Rectangle with values at the edges: comparisons that meet NaN, and corners moved on their own.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "tests/avm1/script_movie.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Value;

namespace {

using Movie = sw::ScriptMovie;

Value rect(Movie& m, double x, double y, double w, double h) {
    return m.make("flash.geom.Rectangle", {Value(x), Value(y), Value(w), Value(h)});
}

std::string edges(Movie& m, const Value& r) {
    return m.str(m.get(r, "x")) + "," + m.str(m.get(r, "y")) + "," + m.str(m.get(r, "width")) + "," +
           m.str(m.get(r, "height"));
}

}  // namespace

TEST(GeomRectangleEdges, ContainmentIsUndefinedWhenAComparisonMeetsNaN) {
    Movie m(8);
    Value r = rect(m, 1, 3, 5, 7);
    const double nan = std::nan("");
    EXPECT_TRUE(m.call(r, "contains").isUndefined());
    EXPECT_TRUE(m.call(r, "contains", {Value(1)}).isUndefined());
    EXPECT_TRUE(m.call(r, "contains", {Value(4), Value(nan)}).isUndefined());
    // A comparison that fails first decides before a later NaN is met.
    EXPECT_EQ(m.str(m.call(r, "contains", {Value(1), Value(2)})), "false");
    EXPECT_EQ(m.str(m.call(r, "contains", {Value(0), Value(nan)})), "false");
    EXPECT_EQ(m.str(m.call(r, "contains", {Value(1), Value(3)})), "true");
    EXPECT_EQ(m.str(m.call(r, "contains", {Value(6), Value(10)})), "false");
    EXPECT_EQ(m.str(m.call(r, "contains", {Value(5), Value(std::numeric_limits<double>::infinity())})), "false");

    Value half = m.object();
    m.set(half, "x", Value(1));
    EXPECT_TRUE(m.call(r, "containsPoint", {half}).isUndefined());
    EXPECT_TRUE(m.call(r, "containsRectangle").isUndefined());
    EXPECT_TRUE(m.call(r, "containsRectangle", {rect(m, 5, 5, nan, 1)}).isUndefined());
    EXPECT_EQ(m.str(m.call(r, "containsRectangle", {rect(m, 0.9, 2.9, 5, 7)})), "false");
    EXPECT_EQ(m.str(m.call(r, "containsRectangle", {rect(m, 1, 3, 5, 7)})), "true");
}

TEST(GeomRectangleEdges, IntersectionAndUnionWithMissingEdges) {
    Movie m(8);
    Value r = rect(m, 1, 3, 5, 7);
    // A rectangle with no height: nothing in common, and the union's bottom is unknown.
    Value flat = m.object();
    m.set(flat, "x", Value(3));
    m.set(flat, "y", Value(5));
    m.set(flat, "width", Value(2));
    EXPECT_EQ(edges(m, m.call(r, "intersection", {flat})), "0,0,0,0");
    EXPECT_EQ(edges(m, m.call(r, "intersection")), "0,0,0,0");
    EXPECT_EQ(edges(m, m.call(r, "intersection", {rect(m, -1, -3, 5, 7)})), "1,3,3,1");
    EXPECT_EQ(edges(m, m.call(r, "union", {flat})), "1,3,5,NaN");
    EXPECT_EQ(edges(m, m.call(r, "union")), "NaN,NaN,NaN,NaN");
    EXPECT_EQ(edges(m, m.call(r, "union", {rect(m, 3, 5, 7, 9)})), "1,3,9,11");
}

TEST(GeomRectangleEdges, MovingTheTopLeftCornerKeepsTheBottomRight) {
    Movie m(8);
    Value r = rect(m, 1, 3, 5, 7);
    m.set(r, "topLeft", m.make("flash.geom.Point", {Value(100), Value(200)}));
    EXPECT_EQ(edges(m, r), "100,200,-94,-190");
    EXPECT_EQ(m.str(m.get(r, "bottomRight")), "(x=6, y=10)");

    // A value without coordinates leaves both unknown and the size with them.
    Value s = rect(m, 1, 3, 5, 7);
    m.set(s, "topLeft", Value(100));
    EXPECT_EQ(edges(m, s), "undefined,undefined,NaN,NaN");

    Value t = rect(m, 1, 3, 5, 7);
    m.set(t, "topLeft",
          m.make("flash.geom.Point", {Value(std::numeric_limits<double>::infinity()), Value(0)}));
    EXPECT_EQ(m.str(m.get(t, "width")), "-Infinity");
    EXPECT_EQ(m.str(m.get(t, "right")), "NaN");
}
