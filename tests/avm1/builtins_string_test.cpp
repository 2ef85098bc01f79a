// String built-ins: positions (negative, wrapped to 32 bits), missing arguments, split's version rules.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/avm1/builtins_support.h"

using namespace vistrel::avm1;
using vistrel::avm1::testing::Machine;

TEST(BuiltinsString, SubstrCountsNegativeLengthsFromTheEnd) {
    Machine m(7);
    const Value s("hello world");
    EXPECT_EQ(m.str(m.call(s, "substr", {Value(0), Value(-1)})), "hello worl");
    EXPECT_EQ(m.str(m.call(s, "substr", {Value(3), Value(-4)})), "lo worl");
    EXPECT_EQ(m.str(m.call(s, "substr", {Value(3), Value(-3)})), "");
    EXPECT_EQ(m.str(m.call(s, "substr", {Value(-5)})), "world");
    EXPECT_EQ(m.str(m.call(s, "substr", {Value(4294967296.0), Value(-4294967294.0)})), "he");
    EXPECT_TRUE(m.call(s, "substr").isUndefined());
}

TEST(BuiltinsString, SliceSubstringAndCharacters) {
    Machine m(7);
    const Value s("Hello1234");
    EXPECT_EQ(m.str(m.call(s, "slice", {Value(-3), Value(-1)})), "23");
    EXPECT_EQ(m.str(m.call(s, "slice", {Value(3), Value(1)})), "");
    EXPECT_EQ(m.str(m.call(s, "substring", {Value(6), Value(3)})), "lo1");
    EXPECT_EQ(m.str(m.call(s, "substring", {Value(-5)})), "Hello1234");
    EXPECT_TRUE(m.call(s, "slice").isUndefined());
    EXPECT_TRUE(m.call(s, "substring").isUndefined());
    EXPECT_EQ(m.str(m.call(s, "charAt", {Value(4294967297.0)})), "e");
    EXPECT_EQ(m.str(m.call(s, "charAt", {Value(-1)})), "");
    EXPECT_EQ(m.num(m.call(s, "charCodeAt", {Value(1)})), 'e');
    EXPECT_TRUE(std::isnan(m.num(m.call(s, "charCodeAt", {Value(20)}))));
    Machine m5(5);
    EXPECT_EQ(m5.num(m5.call(s, "charCodeAt", {Value(20)})), 0);
    EXPECT_EQ(m.str(m.callGlobal("String", {Value(12)})), "12");
    EXPECT_EQ(m.str(m.call(m.global("String"), "fromCharCode", {Value(80), Value(-65455)})), "PQ");
    // A zero code ends the string, as a converted "BAD" does.
    EXPECT_EQ(m.str(m.call(m.global("String"), "fromCharCode", {Value(80), Value("BAD"), Value(81)})), "P");
    EXPECT_EQ(m.str(m.call(Value("aB"), "concat", {Value(1), Value::null()})), "aB1null");
    EXPECT_EQ(m.str(m.call(Value("aB"), "toUpperCase")), "AB");
    const Value boxed = m.construct("String", {Value("xyz")});
    EXPECT_EQ(m.num(m.vm.getMember(boxed, "length")), 3);
    EXPECT_EQ(m.str(m.call(boxed, "charAt", {Value(2)})), "z");
}

TEST(BuiltinsString, IndexOfAndLastIndexOf) {
    Machine m(7);
    const Value s("aaatestFOOtestaaanull");
    EXPECT_EQ(m.num(m.call(s, "indexOf", {Value("test"), Value(4)})), 10);
    EXPECT_EQ(m.num(m.call(s, "indexOf", {Value("test"), Value(-1)})), 3);
    EXPECT_EQ(m.num(m.call(s, "indexOf", {Value(""), Value(5)})), 5);
    EXPECT_EQ(m.num(m.call(s, "indexOf", {Value(""), Value(100)})), -1);
    EXPECT_EQ(m.num(m.call(s, "indexOf", {Value::null()})), 17);
    EXPECT_TRUE(m.call(s, "indexOf").isUndefined());
    EXPECT_EQ(m.num(m.call(s, "lastIndexOf", {Value("a"), Value(13)})), 2);
    EXPECT_EQ(m.num(m.call(s, "lastIndexOf", {Value("test"), Value(100)})), 10);
    EXPECT_EQ(m.num(m.call(s, "lastIndexOf", {Value("test"), Value(-1)})), -1);
    EXPECT_EQ(m.num(m.call(s, "lastIndexOf", {Value("")})), 21);
    EXPECT_EQ(m.num(m.call(s, "lastIndexOf", {Value(""), Value(3)})), 3);
}

TEST(BuiltinsString, SplitFollowsTheVersionRules) {
    const Value s("a,b,,c");
    for (int version : {5, 6, 7}) {
        Machine m(version);
        const auto length = [&](std::initializer_list<Value> args) {
            return m.num(m.vm.getMember(m.call(s, "split", args), "length"));
        };
        EXPECT_EQ(length({Value(",")}), 4);
        EXPECT_EQ(length({Value(","), Value(2)}), 2);
        EXPECT_EQ(length({Value(","), Value(0)}), 0);
        EXPECT_EQ(length({Value(","), Value(-3)}), 0);
        EXPECT_EQ(length({Value(","), Value::null()}), 0);
        EXPECT_EQ(length({Value(","), Value()}), 4);
        // No separator: version 5 splits on commas, later versions keep the string whole.
        EXPECT_EQ(length({}), version < 6 ? 4 : 1);
        EXPECT_EQ(length({Value()}), version < 6 ? 4 : 1);
        // An empty separator: whole in version 5, one element per unit later.
        EXPECT_EQ(length({Value("")}), version < 6 ? 1 : 6);
        EXPECT_EQ(length({Value(""), Value(2)}), version < 6 ? 1 : 2);
        EXPECT_EQ(m.join(m.call(Value("xabyabz"), "split", {Value("ab")})), "x|y|z");
        EXPECT_EQ(m.num(m.vm.getMember(m.call(Value(""), "split", {Value(",")}), "length")), 1);
        EXPECT_EQ(m.num(m.vm.getMember(m.call(Value(""), "split", {Value("")}), "length")), version < 6 ? 1 : 0);
    }
}

TEST(BuiltinsString, CaseChangesKeepEveryCharacterOnePlace) {
    Machine m(7);
    // Letters whose other case takes several characters stay as they are; the rest change one for one.
    const Value s(QStringLiteral("stra\u00dfe \ufb01x \u0149 \u00ff\u01c5"));
    EXPECT_EQ(m.str(m.call(s, "toUpperCase")), QStringLiteral("STRA\u00dfE \ufb01X \u0149 \u0178\u01c4").toStdString());
    EXPECT_EQ(m.num(m.vm.getMember(m.call(s, "toUpperCase"), "length")), 14);   // as many as it was given
    EXPECT_EQ(m.str(m.call(Value(QStringLiteral("\u01c5AbC \u00c0")), "toLowerCase")),
              QStringLiteral("\u01c6abc \u00e0").toStdString());
}

TEST(BuiltinsString, CaseChangesFollowTheOldCaseTables) {
    Machine m(8);
    const auto upper = [&](const QString& s) { return m.str(m.call(Value(s), "toUpperCase")); };
    const auto lower = [&](const QString& s) { return m.str(m.call(Value(s), "toLowerCase")); };
    // The final sigma raises to the code point below the capital sigma, and that lowers back to it; the
    // micro sign stays; the dotted capital I lowers to a plain i; the dotless i raises to I.
    EXPECT_EQ(upper(QStringLiteral("\u03c2\u00b5\u0131\u03c3")), QStringLiteral("\u03a2\u00b5I\u03a3").toStdString());
    EXPECT_EQ(lower(QStringLiteral("\u03a2\u0130\u03a3")), QStringLiteral("\u03c2i\u03c3").toStdString());
    // Letters and pairs added to the tables later stay as they are: the capital sharp s, the Latin
    // letters of the extended blocks, Glagolitic.
    EXPECT_EQ(lower(QStringLiteral("\u1e9e\u023a\u2c00")), QStringLiteral("\u1e9e\u023a\u2c00").toStdString());
    EXPECT_EQ(upper(QStringLiteral("\u0180\u2c30\u0371")), QStringLiteral("\u0180\u2c30\u0371").toStdString());
    // Old Georgian capitals lower to the modern letters; Greek letters with an iota below raise to
    // their forms with the iota beside.
    EXPECT_EQ(lower(QStringLiteral("\u10a0\u10c5")), QStringLiteral("\u10d0\u10f5").toStdString());
    EXPECT_EQ(upper(QStringLiteral("\u1f80\u1fb3\u1ff3")), QStringLiteral("\u1f88\u1fbc\u1ffc").toStdString());
}
