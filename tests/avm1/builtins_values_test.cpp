// Number, Boolean, Math, Date and Error built-ins: casts, constants, Math's argument rules,
// Date arithmetic in UTC and its string form, Error's message.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "tests/avm1/builtins_support.h"

using namespace vistrel::avm1;
using vistrel::avm1::testing::Machine;

TEST(BuiltinsNumber, CastsWrappersAndRadix) {
    Machine m(7);
    EXPECT_EQ(m.num(m.callGlobal("Number", {Value("12")})), 12);
    EXPECT_EQ(m.num(m.callGlobal("Number")), 0);
    EXPECT_EQ(m.str(m.call(Value(255), "toString", {Value(16)})), "ff");
    EXPECT_EQ(m.str(m.call(Value(-5), "toString", {Value(2)})), "-101");
    EXPECT_EQ(m.str(m.call(m.construct("Number", {Value("7")}), "toString")), "7");
    EXPECT_EQ(m.num(m.path("Number.MAX_VALUE")), std::numeric_limits<double>::max());
    EXPECT_GT(m.num(m.path("Number.MIN_VALUE")), 0);
    EXPECT_TRUE(std::isnan(m.num(m.path("Number.NaN"))));
    EXPECT_EQ(m.num(m.path("Number.NEGATIVE_INFINITY")), -INFINITY);
    EXPECT_TRUE(m.callGlobal("Boolean").isUndefined());
    EXPECT_EQ(m.str(m.call(m.construct("Boolean", {Value(1)}), "toString")), "true");
    EXPECT_FALSE(m.call(m.construct("Boolean"), "valueOf").asBool());
    EXPECT_TRUE(m.callGlobal("Boolean", {Value("x")}).asBool());
}

TEST(BuiltinsGlobal, ParseWithoutArgumentsGivesUndefined) {
    Machine m(8);
    EXPECT_TRUE(m.callGlobal("parseInt").isUndefined());
    EXPECT_TRUE(m.callGlobal("parseFloat").isUndefined());
    EXPECT_EQ(m.num(m.callGlobal("parseInt", {Value("100")})), 100);
    // A radix passed as undefined is a radix of 0, which parses nothing.
    EXPECT_TRUE(std::isnan(m.num(m.callGlobal("parseInt", {Value("100"), Value()}))));
    EXPECT_EQ(m.num(m.callGlobal("parseInt", {Value("ff"), Value(16)})), 255);
}

TEST(BuiltinsMath, ArgumentRulesRoundingAndConstants) {
    Machine m(7);
    const Value math = m.global("Math");
    EXPECT_EQ(m.num(m.call(math, "min", {Value(1), Value(2)})), 1);
    EXPECT_TRUE(std::isnan(m.num(m.call(math, "min", {Value(1)}))));
    EXPECT_EQ(m.num(m.call(math, "min")), INFINITY);
    EXPECT_EQ(m.num(m.call(math, "max")), -INFINITY);
    EXPECT_EQ(m.num(m.call(math, "max", {Value(3), Value(2), Value(9)})), 3);   // only two are compared
    EXPECT_EQ(m.num(m.call(math, "round", {Value(-12.5)})), -12);
    EXPECT_EQ(m.num(m.call(math, "round", {Value(12.5)})), 13);
    EXPECT_EQ(m.num(m.call(math, "pow", {Value(true)})), 1);
    EXPECT_TRUE(std::isnan(m.num(m.call(math, "atan2", {Value(1)}))));
    EXPECT_DOUBLE_EQ(m.num(m.path("Math.PI")), M_PI);
    EXPECT_DOUBLE_EQ(m.num(m.path("Math.SQRT1_2")), std::sqrt(0.5));
    // Both first arguments are converted even for one-argument functions.
    int conversions = 0;
    Object* counted = m.vm.makeObject();
    m.vm.defineMethod(counted, "valueOf", [&conversions](Vm&, const Value&, std::span<const Value>) {
        ++conversions;
        return Value(4);
    });
    EXPECT_EQ(m.num(m.call(math, "sqrt", {Value(counted), Value(counted), Value(counted)})), 2);
    EXPECT_EQ(conversions, 2);
    conversions = 0;
    m.call(math, "random", {Value(counted), Value(counted), Value(counted)});   // random too
    EXPECT_EQ(conversions, 2);
    for (int i = 0; i < 100; ++i) {
        const double r = m.num(m.call(math, "random"));
        EXPECT_TRUE(r >= 0 && r < 1);
    }
}

class BuiltinsDate : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        m_oldTz = tz ? tz : "";
        m_hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override {
        if (m_hadTz)
            setenv("TZ", m_oldTz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string m_oldTz;
    bool m_hadTz = false;
};

TEST_F(BuiltinsDate, UtcArithmeticAndStringForm) {
    Machine m(7);
    const Value date = m.global("Date");
    const double t = m.num(m.call(date, "UTC", {Value(2026), Value(11), Value(8), Value(12), Value(34), Value(56)}));
    EXPECT_EQ(t, 1796733296000.0);
    const Value d = m.construct("Date", {Value(t)});
    EXPECT_EQ(m.str(d), "Tue Dec 8 12:34:56 GMT+0000 2026");
    EXPECT_EQ(m.num(m.call(d, "getUTCDay")), 2);
    EXPECT_EQ(m.num(m.call(d, "getUTCMonth")), 11);
    EXPECT_EQ(m.num(m.call(d, "getYear")), 126);
    EXPECT_EQ(m.num(m.call(d, "getTimezoneOffset")), 0);
    // Overflowing parts carry: 31 February 2024 is 2 March (a leap year).
    m.call(d, "setUTCFullYear", {Value(2024), Value(1), Value(31)});
    EXPECT_EQ(m.num(m.call(d, "getUTCMonth")), 2);
    EXPECT_EQ(m.num(m.call(d, "getUTCDate")), 2);
    m.call(d, "setUTCHours", {Value(25)});
    EXPECT_EQ(m.num(m.call(d, "getUTCDate")), 3);
    EXPECT_EQ(m.num(m.call(d, "getUTCHours")), 1);
    m.call(d, "setUTCMilliseconds", {Value(-1)});
    EXPECT_EQ(m.num(m.call(d, "getUTCSeconds")), 55);
    EXPECT_EQ(m.num(m.call(d, "getMilliseconds")), 999);
    // Two-digit years are 1900s, also in the constructor.
    EXPECT_EQ(m.num(m.call(m.construct("Date", {Value(99), Value(0)}), "getFullYear")), 1999);
    EXPECT_EQ(m.str(m.construct("Date", {Value(0)})), "Thu Jan 1 00:00:00 GMT+0000 1970");
    EXPECT_EQ(m.num(m.call(m.construct("Date", {Value(-1)}), "getUTCFullYear")), 1969);
    const Value invalid = m.construct("Date", {Value("x")});
    EXPECT_EQ(m.str(invalid), "Invalid Date");
    EXPECT_TRUE(std::isnan(m.num(m.call(invalid, "getHours"))));
    m.call(invalid, "setFullYear", {Value(2000)});
    EXPECT_EQ(m.num(m.call(invalid, "getTime")), 946684800000.0);
    EXPECT_TRUE(std::isnan(m.num(m.construct("Date", {Value(9e15)}))));
}

TEST(BuiltinsError, MessageAndName) {
    Machine m(7);
    const Value plain = m.construct("Error");
    EXPECT_EQ(m.str(m.call(plain, "toString")), "Error");
    EXPECT_EQ(m.str(m.vm.getMember(plain, "name")), "Error");
    EXPECT_FALSE(m.call(plain, "hasOwnProperty", {Value("message")}).asBool());
    const Value withMessage = m.construct("Error", {Value("boom")});
    EXPECT_EQ(m.str(withMessage), "boom");
    EXPECT_TRUE(m.call(withMessage, "hasOwnProperty", {Value("message")}).asBool());
    const Value objectMessage = m.construct("Error", {m.construct("Object")});
    EXPECT_EQ(m.vm.typeOf(m.call(objectMessage, "toString")), "object");
    EXPECT_TRUE(m.vm.instanceOf(withMessage, m.global("Error").asObject()));
}
