// Number/string conversions of the ActionScript machine: printing, the per-version string-to-number rules,
// parseInt/parseFloat and 32-bit integer conversion, quirks included.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "player/avm1/convert.h"

using namespace vistrel::avm1;

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string str(double v)
{
    return numberToString(v).toStdString();
}

std::string radixStr(double v, int radix)
{
    return numberToStringRadix(v, radix).toStdString();
}

double num(const char* s, int version)
{
    return stringToNumber(QString::fromUtf8(s), version);
}

double pint(const char* s, std::optional<int> radix = std::nullopt)
{
    return parseIntValue(QString::fromUtf8(s), radix);
}

double pfloat(const char* s)
{
    return parseFloatValue(QString::fromUtf8(s));
}

}  // namespace

TEST(NumberToString, SpecialValuesAndIntegers)
{
    EXPECT_EQ(str(std::nan("")), "NaN");
    EXPECT_EQ(str(kInf), "Infinity");
    EXPECT_EQ(str(-kInf), "-Infinity");
    EXPECT_EQ(str(0.0), "0");
    EXPECT_EQ(str(-0.0), "0");
    EXPECT_EQ(str(7.0), "7");
    EXPECT_EQ(str(-42.0), "-42");
    EXPECT_EQ(str(4294967296.0), "4294967296");
    EXPECT_EQ(str(987654321012345.0), "987654321012345");
}

TEST(NumberToString, FractionsRoundToFifteenDigits)
{
    EXPECT_EQ(str(0.25), "0.25");
    EXPECT_EQ(str(-2.5), "-2.5");
    EXPECT_EQ(str(0.1 + 0.2), "0.3");
    EXPECT_EQ(str(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(str(-2.0 / 3.0), "-0.666666666666667");
    EXPECT_EQ(str(98765.43210987654), "98765.4321098765");
    EXPECT_EQ(str(1.0000000000000002), "1");
}

TEST(NumberToString, ExponentFormRoundsTheNumberDividedByItsPowerOfTen)
{
    // The quotient, not the exact number, is rounded: these differ from correct rounding in the last digit.
    EXPECT_EQ(str(1.7976931348623157e308), "1.79769313486231e+308");
    EXPECT_EQ(str(1.234567891234565e-6), "1.23456789123457e-6");
    EXPECT_EQ(str(-1.234567891234565e-308), "-1.23456789123457e-308");
    // And where they agree with it.
    EXPECT_EQ(str(1.234567891234565e308), "1.23456789123456e+308");
    // Plain numbers are rounded correctly.
    EXPECT_EQ(str(0.001244567891234565), "0.00124456789123456");
    EXPECT_EQ(str(0.8414709848078965), "0.841470984807897");
    EXPECT_EQ(str(2.123456789123455), "2.12345678912346");
    // The smallest numbers, whose power of ten is out of range, are rounded as they are.
    EXPECT_EQ(str(5e-324), "4.94065645841247e-324");
}

TEST(NumberToString, ExponentThresholds)
{
    // Large side: plain below 1e15.
    EXPECT_EQ(str(999999999999999.0), "999999999999999");
    EXPECT_EQ(str(1e15), "1e+15");
    EXPECT_EQ(str(-1e15), "-1e+15");
    EXPECT_EQ(str(2.5e16), "2.5e+16");
    EXPECT_EQ(str(1e21), "1e+21");
    EXPECT_EQ(str(1234567890123456789.0), "1.23456789012346e+18");
    // Notation is chosen before rounding: this rounds up to sixteen digits but stays plain.
    EXPECT_EQ(str(999999999999999.6), "1000000000000000");
    EXPECT_EQ(str(1000000000000000.5), "1e+15");
    // Small side: plain down to 1e-5.
    EXPECT_EQ(str(0.00001), "0.00001");
    EXPECT_EQ(str(0.000025), "0.000025");
    EXPECT_EQ(str(0.0000025), "2.5e-6");
    EXPECT_EQ(str(-1.5e-7), "-1.5e-7");
    EXPECT_EQ(str(1e-300), "1e-300");
    EXPECT_EQ(str(std::nextafter(1e-5, 0.0)), "0.00001");
    // Rounding up in exponent notation moves the exponent instead of printing "10e-6".
    EXPECT_EQ(str(9.999999999999997e-06), "1e-5");
    EXPECT_EQ(str(5e-324), "4.94065645841247e-324");
}

TEST(NumberToStringRadix, IntegersInOtherBases)
{
    EXPECT_EQ(radixStr(255.0, 16), "ff");
    EXPECT_EQ(radixStr(-255.0, 16), "-ff");
    EXPECT_EQ(radixStr(10.0, 2), "1010");
    EXPECT_EQ(radixStr(35.0, 36), "z");
    EXPECT_EQ(radixStr(83.0, 8), "123");
    EXPECT_EQ(radixStr(0.0, 2), "0");
    // Fractions are truncated towards zero.
    EXPECT_EQ(radixStr(7.9, 2), "111");
    EXPECT_EQ(radixStr(-7.9, 2), "-111");
    EXPECT_EQ(radixStr(-0.5, 2), "0");
}

TEST(NumberToStringRadix, UnusableRadixPrintsDecimal)
{
    EXPECT_EQ(radixStr(6.0, 0), "6");
    EXPECT_EQ(radixStr(6.0, 1), "6");
    EXPECT_EQ(radixStr(6.0, -2), "6");
    EXPECT_EQ(radixStr(6.0, 37), "6");
    EXPECT_EQ(radixStr(1.5, 10), "1.5");
    EXPECT_EQ(radixStr(1e21, 10), "1e+21");
}

TEST(NumberToStringRadix, OutOfRangeBecomesMinimumInteger)
{
    // -2^31 cannot be negated, so its digits come out below '0'.
    const std::string minBase2 = "-/" + std::string(31, '0');
    EXPECT_EQ(radixStr(-2147483648.0, 2), minBase2);
    EXPECT_EQ(radixStr(std::nan(""), 2), minBase2);
    EXPECT_EQ(radixStr(kInf, 16), "-(0000000");
    EXPECT_EQ(radixStr(-kInf, 16), "-(0000000");
    EXPECT_EQ(radixStr(2147483648.0, 16), "-(0000000");
    EXPECT_EQ(radixStr(4294967301.0, 16), "-(0000000");
    EXPECT_EQ(radixStr(2147483647.0, 16), "7fffffff");
}

TEST(StringToNumber, Swf4TakesNumericPrefix)
{
    EXPECT_EQ(num("", 4), 0.0);
    EXPECT_EQ(num("  ", 4), 0.0);
    EXPECT_EQ(num("word", 4), 0.0);
    EXPECT_EQ(num("250b", 4), 250.0);
    EXPECT_EQ(num("  -3.5 ", 4), -3.5);
    EXPECT_EQ(num("0x20", 4), 0.0);
    EXPECT_EQ(num("017", 4), 17.0);
    EXPECT_EQ(num("2.5.5", 4), 2.55);
    EXPECT_EQ(num("3e2.5", 4), 300.0);
    EXPECT_EQ(num("Infinity", 4), 0.0);
    EXPECT_EQ(num("\v5", 4), 0.0);
}

TEST(StringToNumber, Swf5WholeStringDecimal)
{
    EXPECT_TRUE(std::isnan(num("", 5)));
    EXPECT_TRUE(std::isnan(num(" ", 5)));
    EXPECT_EQ(num("42", 5), 42.0);
    EXPECT_EQ(num(" \t\r\n42", 5), 42.0);
    EXPECT_TRUE(std::isnan(num("42 ", 5)));
    EXPECT_TRUE(std::isnan(num("\v42", 5)));
    EXPECT_TRUE(std::isnan(num("\f42", 5)));
    EXPECT_TRUE(std::isnan(num("\xc2\xa0" "42", 5)));
    EXPECT_TRUE(std::isnan(num("42a", 5)));
    EXPECT_EQ(num("+7", 5), 7.0);
    EXPECT_EQ(num("-7", 5), -7.0);
    EXPECT_TRUE(std::isnan(num("--7", 5)));
    EXPECT_TRUE(std::isnan(num("-", 5)));
    EXPECT_EQ(num("-.25", 5), -0.25);
    EXPECT_EQ(num("4.", 5), 4.0);
    EXPECT_EQ(num(".", 5), 0.0);
    EXPECT_TRUE(std::isnan(num("2.5.5", 5)));
    EXPECT_TRUE(std::isnan(num("Infinity", 5)));
    EXPECT_TRUE(std::isnan(num("-Infinity", 5)));
    // SWF 5 has no hex or octal strings.
    EXPECT_TRUE(std::isnan(num("0x20", 5)));
    EXPECT_EQ(num("017", 5), 17.0);
}

TEST(StringToNumber, Swf5Exponent)
{
    EXPECT_EQ(num("3e3", 5), 3000.0);
    EXPECT_EQ(num("3E+3", 5), 3000.0);
    EXPECT_EQ(num("3e-3", 5), 0.003);
    EXPECT_EQ(num("3e", 5), 3.0);
    EXPECT_EQ(num("3e-", 5), 3.0);
    EXPECT_TRUE(std::isnan(num("e3", 5)));
    EXPECT_TRUE(std::isnan(num("3e1.5", 5)));
    EXPECT_EQ(num("2e999", 5), kInf);
    EXPECT_EQ(num("2e-999", 5), 0.0);
    // The exponent wraps as a 32-bit integer: 4294967298 is 2.
    EXPECT_EQ(num("3e4294967298", 5), 300.0);
    EXPECT_EQ(num("1e2147483648", 5), 0.0);
}

TEST(StringToNumber, Swf6HexAndOctalWrapTo32Bits)
{
    EXPECT_EQ(num("0x1F", 6), 31.0);
    EXPECT_EQ(num("0XaB", 7), 171.0);
    EXPECT_EQ(num("0x-1F", 6), -31.0);
    EXPECT_EQ(num("0x+1F", 6), 31.0);
    EXPECT_EQ(num("0xFFFFFFFE", 8), -2.0);
    EXPECT_EQ(num("0x100000003", 8), 3.0);
    EXPECT_EQ(num("0x10000000000000005", 8), 5.0);
    EXPECT_TRUE(std::isnan(num("0x", 6)));
    EXPECT_TRUE(std::isnan(num("0x1G", 6)));
    EXPECT_TRUE(std::isnan(num("0x1F ", 6)));
    EXPECT_TRUE(std::isnan(num(" 0x1F", 6)));
    EXPECT_TRUE(std::isnan(num("-0x1F", 6)));
    EXPECT_EQ(num("017", 6), 15.0);
    EXPECT_EQ(num("-017", 6), -15.0);
    EXPECT_EQ(num("+017", 6), 15.0);
    EXPECT_EQ(num("019", 6), 19.0);    // not octal: read as decimal
    EXPECT_EQ(num("017.5", 6), 17.5);
    EXPECT_EQ(num(" 017", 6), 17.0);   // leading space: decimal
    EXPECT_EQ(num("040000000001", 6), 1.0);
}

TEST(ParseInt, RadixRules)
{
    EXPECT_EQ(pint("42"), 42.0);
    EXPECT_EQ(pint("101", 2), 5.0);
    EXPECT_EQ(pint("zz", 36), 1295.0);
    EXPECT_EQ(pint("ZZ", 36), 1295.0);
    EXPECT_EQ(pint("ff", 16), 255.0);
    EXPECT_TRUE(std::isnan(pint("42", 0)));
    EXPECT_TRUE(std::isnan(pint("42", 1)));
    EXPECT_TRUE(std::isnan(pint("42", 37)));
    EXPECT_TRUE(std::isnan(pint("42", -8)));
    EXPECT_TRUE(std::isnan(pint("3", 2)));
    EXPECT_EQ(pint("123abc"), 123.0);
    EXPECT_EQ(pint("7.9"), 7.0);
    EXPECT_EQ(pint("4e3"), 4.0);
    EXPECT_TRUE(std::isnan(pint("")));
    EXPECT_TRUE(std::isnan(pint("abc")));
    EXPECT_TRUE(std::isnan(pint("+-3")));
    EXPECT_TRUE(std::isnan(pint("- 3")));
    EXPECT_EQ(pint(" \t\r\n-12"), -12.0);
    EXPECT_TRUE(std::isnan(pint("\v12")));
    EXPECT_EQ(pint(std::string(400, '9').c_str()), kInf);
}

TEST(ParseInt, HexPrefix)
{
    EXPECT_EQ(pint("0x1a"), 26.0);
    EXPECT_EQ(pint("0X1A"), 26.0);
    EXPECT_EQ(pint("0x1a", 16), 26.0);
    // The prefix is dropped whatever the radix.
    EXPECT_EQ(pint("0x21", 10), 21.0);
    EXPECT_EQ(pint("0x21", 36), 73.0);
    EXPECT_TRUE(std::isnan(pint("0x21", 2)));
    // Whitespace and a sign may follow the prefix.
    EXPECT_EQ(pint("0x-1a"), -26.0);
    EXPECT_EQ(pint("0x  -1a"), -26.0);
    EXPECT_EQ(pint("0x1z"), 1.0);
    EXPECT_TRUE(std::isnan(pint("0x")));
    EXPECT_TRUE(std::isnan(pint("0x ")));
    // With leading whitespace it is no prefix.
    EXPECT_EQ(pint(" 0x1a"), 0.0);
    EXPECT_EQ(pint(" 0x1a", 36), 42814.0);
    // After a sign the sign and the zero are dropped instead, leaving "x..." and no sign.
    EXPECT_TRUE(std::isnan(pint("-0x1a")));
    EXPECT_TRUE(std::isnan(pint("+0x1a")));
    EXPECT_EQ(pint("-0x1", 36), 1189.0);
    EXPECT_EQ(pint(" -0x1", 36), -1189.0);
}

TEST(ParseInt, OctalOnlyForWholeOctalStrings)
{
    EXPECT_EQ(pint("017"), 15.0);
    EXPECT_EQ(pint("-017"), -15.0);
    EXPECT_EQ(pint("+017"), 15.0);
    EXPECT_EQ(pint("017", 10), 17.0);
    EXPECT_EQ(pint("017x"), 17.0);
    EXPECT_EQ(pint("018"), 18.0);
    EXPECT_EQ(pint(" 017"), 17.0);
    EXPECT_EQ(pint("017 "), 17.0);
    EXPECT_EQ(pint("0"), 0.0);
    // No 32-bit wrap here.
    EXPECT_EQ(pint("01000000000000"), 68719476736.0);
}

TEST(ParseFloat, Prefixes)
{
    EXPECT_EQ(pfloat("3.25"), 3.25);
    EXPECT_EQ(pfloat("  \t-3.25xyz"), -3.25);
    EXPECT_EQ(pfloat("00042.5"), 42.5);
    EXPECT_EQ(pfloat("+.5"), 0.5);
    EXPECT_EQ(pfloat("7 8"), 7.0);
    EXPECT_EQ(pfloat("0x10"), 0.0);
    EXPECT_EQ(pfloat("."), 0.0);
    EXPECT_TRUE(std::isnan(pfloat("")));
    EXPECT_TRUE(std::isnan(pfloat("-")));
    EXPECT_TRUE(std::isnan(pfloat("e5")));
    EXPECT_TRUE(std::isnan(pfloat("Infinity")));
    EXPECT_TRUE(std::isnan(pfloat("\v1")));
    EXPECT_EQ(pfloat("0.1"), 0.1);
    EXPECT_EQ(pfloat("2.2250738585072014e-308"), 2.2250738585072014e-308);
}

TEST(ParseFloat, ExponentAndExtraPoints)
{
    EXPECT_EQ(pfloat("25e-1"), 2.5);
    EXPECT_EQ(pfloat("4e"), 4.0);
    EXPECT_EQ(pfloat("4e+-2"), 4.0);
    EXPECT_EQ(pfloat("4e2e3"), 400.0);
    EXPECT_EQ(pfloat("4e2.5"), 400.0);
    EXPECT_EQ(pfloat("5e400"), kInf);
    EXPECT_EQ(pfloat("5e-400"), 0.0);
    // Further points are skipped while digits continue, and end the chance of an exponent.
    EXPECT_EQ(pfloat("2.5.25"), 2.525);
    EXPECT_EQ(pfloat("2..5"), 2.5);
    EXPECT_EQ(pfloat("2.5.5e3"), 2.55);
    // The exponent wraps as a 32-bit integer.
    EXPECT_EQ(pfloat("5e4294967298"), 500.0);
    EXPECT_EQ(pfloat("5e-4294967298"), 5e-2);
    EXPECT_EQ(pfloat("1e-2147483649"), kInf);
}

// Decimal text is not read correctly rounded: the whole part is summed digit by digit and each fraction
// digit added over its power of ten, after the exponent has moved the point. Number() reads the same way.
TEST(ParseFloat, DigitsAreSummedNotRoundedOnce)
{
    auto ulpsFrom = [](double got, double nearest) {
        int steps = 0;
        for (double x = nearest; x != got && steps < 8 && steps > -8;) {
            x = std::nextafter(x, got);
            steps += got > nearest ? 1 : -1;
        }
        return steps;
    };
    EXPECT_EQ(pfloat(".1499999"), 0.14999990000000005);
    EXPECT_EQ(pfloat("1499999e-7"), 0.14999990000000005);
    EXPECT_EQ(pfloat("14.99999e-2"), 0.14999990000000005);
    EXPECT_EQ(ulpsFrom(pfloat(".123"), 0.123), 1);
    EXPECT_EQ(ulpsFrom(pfloat("15e-2"), 0.15), 1);
    EXPECT_EQ(ulpsFrom(pfloat("1.1499999"), 1.1499999), -1);
    EXPECT_EQ(ulpsFrom(pfloat("12345.6789"), 12345.6789), -1);
    EXPECT_EQ(ulpsFrom(pfloat("1.5e300"), 1.5e300), 3);
    EXPECT_EQ(ulpsFrom(pfloat("1e-300"), 1e-300), -4);
    EXPECT_EQ(ulpsFrom(pfloat("123456789012345678901234567890"), 123456789012345678901234567890.0), -1);
    // Short fractions still come out as the literal.
    EXPECT_EQ(pfloat("0.3"), 0.3);
    EXPECT_EQ(pfloat("0.9999999"), 0.9999999);
    EXPECT_EQ(pfloat("123.456e10"), 123.456e10);
    EXPECT_EQ(pfloat("1e23"), 1e23);
    EXPECT_EQ(num(".1499999", 8), 0.14999990000000005);
    EXPECT_EQ(num("-1.1499999", 6), -std::nextafter(1.1499999, 0.0));
    // Tiny values read exactly.
    EXPECT_EQ(pfloat("1e-310"), 1e-310);
    EXPECT_EQ(pfloat("1.1e-320"), 1.1e-320);
}

TEST(IntegerConversion, ToInt32AndToUint32)
{
    EXPECT_EQ(toInt32(std::nan("")), 0);
    EXPECT_EQ(toInt32(kInf), 0);
    EXPECT_EQ(toInt32(-kInf), 0);
    EXPECT_EQ(toInt32(-0.0), 0);
    EXPECT_EQ(toInt32(3.9), 3);
    EXPECT_EQ(toInt32(-3.9), -3);
    EXPECT_EQ(toInt32(2147483647.0), 2147483647);
    EXPECT_EQ(toInt32(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(toInt32(4294967295.0), -1);
    EXPECT_EQ(toInt32(4294967296.0 + 5.0), 5);
    EXPECT_EQ(toInt32(-4294967296.0 - 5.0), -5);
    EXPECT_EQ(toInt32(1e20), 1661992960);
    EXPECT_EQ(toUint32(-1.0), 4294967295u);
    EXPECT_EQ(toUint32(-4294967297.5), 4294967295u);
    EXPECT_EQ(toUint32(std::nan("")), 0u);
    EXPECT_EQ(toUint32(4294967296.0 * 3 + 7), 7u);
}

TEST(IntegerConversion, NumberLess)
{
    EXPECT_EQ(numberLess(1.0, 2.0), std::optional<bool>(true));
    EXPECT_EQ(numberLess(2.0, 1.0), std::optional<bool>(false));
    EXPECT_EQ(numberLess(-0.0, 0.0), std::optional<bool>(false));
    EXPECT_FALSE(numberLess(std::nan(""), 1.0).has_value());
    EXPECT_FALSE(numberLess(1.0, std::nan("")).has_value());
}
