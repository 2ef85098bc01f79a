#include "player/avm1/convert.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

namespace vistrel::avm1 {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Only these are skipped before a number; vertical tab, form feed and no-break space stop it.
bool isSpace(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r';
}

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int digitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

double powerOfTen(int exponent);

// Builds a double from decimal mantissa digits (point after intCount of them) and a decimal exponent in
// fixed steps, which movies can tell from the correctly rounded value in the last bit: the point
// moves by the exponent first, the whole part is summed digit by digit and scaled by its trailing power of
// ten, and each fraction digit is then added divided by its own power of ten. Tiny values (whose powers of
// ten would overflow) and exponents far beyond the double range are read correctly rounded instead.
double decimalToDouble(const std::string& digits, std::size_t intCount, std::int64_t exponent)
{
    std::size_t lead = 0;
    while (lead < digits.size() && digits[lead] == '0')
        ++lead;
    if (lead == digits.size())
        return 0.0;
    const std::int64_t firstPos = static_cast<std::int64_t>(intCount) - static_cast<std::int64_t>(lead) - 1 + exponent;
    if (firstPos > 400)
        return kInf;
    if (firstPos < -400)
        return 0.0;
    if (firstPos >= -300) {
        double value = 0.0;
        std::int64_t place = firstPos;
        std::size_t i = lead;
        for (; i < digits.size() && place >= 0; ++i, --place)
            value = value * 10.0 + (digits[i] - '0');
        if (place >= 0)
            value *= powerOfTen(static_cast<int>(place + 1));
        // Digits past the last power of ten a double holds add nothing.
        for (; i < digits.size() && place >= -330; ++i, --place) {
            if (digits[i] != '0')
                value += (digits[i] - '0') / powerOfTen(static_cast<int>(-place));
        }
        return value;
    }
    // Rewrite as 0.<significant digits>e<exponent> so the parser never sees a huge exponent.
    std::string text = "0.";
    text.append(digits, lead, std::string::npos);
    text += 'e';
    text += std::to_string(firstPos + 1);
    double value = 0.0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec == std::errc::result_out_of_range)
        return firstPos > 0 ? kInf : 0.0;
    return value;
}

// Result of scanning a decimal number; `end` is where the scan stopped.
struct DecimalScan {
    bool ok = false;
    double value = 0.0;
    qsizetype end = 0;
};

// Decimal number at `pos`: sign, digits, point, exponent. In the lenient (parseFloat) form extra points are
// skipped while digits continue, and after such a point no exponent is read. A lone "." counts as zero.
// Exponent digits wrap as a 32-bit integer.
DecimalScan scanDecimal(const QString& s, qsizetype pos, bool lenientPoints)
{
    DecimalScan scan;
    const qsizetype n = s.size();
    bool negative = false;
    if (pos < n && (s[pos] == u'+' || s[pos] == u'-')) {
        negative = s[pos] == u'-';
        ++pos;
    }
    std::string digits;
    std::size_t intCount = 0;
    bool seenPoint = false;
    bool extraPoint = false;
    bool any = false;
    while (pos < n) {
        const char16_t c = s[pos].unicode();
        if (isDigit(c)) {
            digits += static_cast<char>(c);
            if (!seenPoint)
                ++intCount;
            any = true;
        } else if (c == u'.') {
            if (seenPoint) {
                if (!lenientPoints)
                    break;
                extraPoint = true;
            }
            seenPoint = true;
            any = true;
        } else {
            break;
        }
        ++pos;
    }
    if (!any)
        return scan;
    std::uint32_t exponentBits = 0;
    if (!extraPoint && pos < n && (s[pos] == u'e' || s[pos] == u'E')) {
        ++pos;
        bool expNegative = false;
        if (pos < n && (s[pos] == u'+' || s[pos] == u'-')) {
            expNegative = s[pos] == u'-';
            ++pos;
        }
        while (pos < n && isDigit(s[pos].unicode())) {
            exponentBits = exponentBits * 10u + static_cast<std::uint32_t>(s[pos].unicode() - u'0');
            ++pos;
        }
        if (expNegative)
            exponentBits = 0u - exponentBits;
    }
    const auto exponent = static_cast<std::int32_t>(exponentBits);
    const double magnitude = decimalToDouble(digits, intCount, exponent);
    scan.ok = true;
    scan.value = negative ? -magnitude : magnitude;
    scan.end = pos;
    return scan;
}

qsizetype skipSpaces(const QString& s, qsizetype pos)
{
    while (pos < s.size() && isSpace(s[pos].unicode()))
        ++pos;
    return pos;
}

// SWF 6+ integer forms of Number(): the whole string must match; the value wraps to 32 bits.
std::optional<double> wrappedInteger(const QString& s, qsizetype pos, int radix)
{
    const qsizetype n = s.size();
    bool negative = false;
    if (pos < n && (s[pos] == u'+' || s[pos] == u'-')) {
        negative = s[pos] == u'-';
        ++pos;
    }
    if (pos >= n)
        return std::nullopt;
    std::uint32_t bits = 0;
    for (; pos < n; ++pos) {
        const int d = digitValue(s[pos].unicode());
        if (d >= radix)
            return std::nullopt;
        bits = bits * static_cast<std::uint32_t>(radix) + static_cast<std::uint32_t>(d);
    }
    if (negative)
        bits = 0u - bits;
    return static_cast<double>(static_cast<std::int32_t>(bits));
}

bool looksOctal(const QString& s)
{
    qsizetype pos = 0;
    if (pos < s.size() && (s[pos] == u'+' || s[pos] == u'-'))
        ++pos;
    if (pos >= s.size() || s[pos] != u'0')
        return false;
    for (++pos; pos < s.size(); ++pos) {
        if (s[pos] < u'0' || s[pos] > u'7')
            return false;
    }
    return true;
}

// Integer formatted for non-decimal radixes: truncated, and -2^31 for anything out of range.
std::int32_t radixInteger(double v)
{
    if (std::isnan(v))
        return std::numeric_limits<std::int32_t>::min();
    const double t = std::trunc(v);
    if (t < -2147483648.0 || t > 2147483647.0)
        return std::numeric_limits<std::int32_t>::min();
    return static_cast<std::int32_t>(t);
}

// 10 to an integer power, computed by squaring, and one division by the result
// for a negative power. Its small inexactness shows in the last printed digit of some numbers.
double powerOfTen(int exponent)
{
    double base = 10.0;
    double result = 1.0;
    for (unsigned n = static_cast<unsigned>(exponent < 0 ? -exponent : exponent); n != 0; n >>= 1) {
        if (n & 1u)
            result *= base;
        if (n > 1)
            base *= base;
    }
    return exponent < 0 ? 1.0 / result : result;
}

}  // namespace

QString numberToString(double v)
{
    if (std::isnan(v))
        return QStringLiteral("NaN");
    if (std::isinf(v))
        return v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    if (v == 0.0)
        return QStringLiteral("0");

    // Plain or exponent notation is picked from a decimal exponent found by repeated scaling,
    // before rounding: 999999999999999.6 prints "1000000000000000", 1 ulp below 1e-5 prints "0.00001".
    const double magnitude = std::fabs(v);
    int scaledExponent = 0;
    double scaled = magnitude;
    if (scaled >= 10.0) {
        while (scaled >= 10.0) {
            scaled /= 10.0;
            ++scaledExponent;
        }
    } else {
        while (scaled < 1.0) {
            scaled *= 10.0;
            --scaledExponent;
        }
    }
    const bool plain = scaledExponent >= -5 && scaledExponent < 15;

    // 15 significant digits of the number divided by 10 to that exponent (d.dddddddddddddde±x): for the
    // exponent form that quotient is rounded, not the exact number. Where the divisor leaves the range of finite
    // non-zero numbers the number itself is rounded.
    // Only the exponent form is made that way; plain numbers are rounded correctly.
    const double divisor = powerOfTen(scaledExponent);
    const bool divisible = !plain && divisor != 0.0 && std::isfinite(divisor) && std::isfinite(magnitude / divisor);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.14e", divisible ? magnitude / divisor : magnitude);
    std::string digits;
    const char* p = buffer;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9')
            digits += *p;
    }
    const int exponent = (*p == 'e' ? std::atoi(p + 1) : 0) + (divisible ? scaledExponent : 0);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    std::string text = v < 0 ? "-" : "";
    if (plain) {
        const int pointAfter = exponent + 1;  // digits before the decimal point
        const int count = static_cast<int>(digits.size());
        if (pointAfter <= 0) {
            text += "0.";
            text.append(static_cast<std::size_t>(-pointAfter), '0');
            text += digits;
        } else if (pointAfter >= count) {
            text += digits;
            text.append(static_cast<std::size_t>(pointAfter - count), '0');
        } else {
            text.append(digits, 0, static_cast<std::size_t>(pointAfter));
            text += '.';
            text.append(digits, static_cast<std::size_t>(pointAfter), std::string::npos);
        }
    } else {
        text += digits[0];
        if (digits.size() > 1) {
            text += '.';
            text.append(digits, 1, std::string::npos);
        }
        text += exponent < 0 ? "e-" : "e+";
        text += std::to_string(exponent < 0 ? -exponent : exponent);
    }
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString numberToStringRadix(double v, int radix)
{
    if (radix < 2 || radix > 36 || radix == 10)
        return numberToString(v);
    const std::int32_t value = radixInteger(v);
    // Digits come out of signed remainders, so -2^31 (whose negation does not fit) yields characters below
    // '0', and those are what is printed.
    std::int32_t n = value < 0 ? static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(value)) : value;
    QString reversed;
    do {
        const int d = n % radix;
        n /= radix;
        reversed.append(QChar(static_cast<char16_t>(d < 10 ? u'0' + d : u'a' + d - 10)));
    } while (n != 0);
    QString text;
    if (value < 0)
        text.append(u'-');
    for (qsizetype i = reversed.size() - 1; i >= 0; --i)
        text.append(reversed[i]);
    return text;
}

double stringToNumber(const QString& s, int swfVersion)
{
    if (swfVersion < 5) {
        // SWF 4 reads what it can and treats the rest as zero.
        const DecimalScan scan = scanDecimal(s, skipSpaces(s, 0), true);
        return scan.ok ? scan.value : 0.0;
    }
    if (swfVersion >= 6) {
        // Integer forms only when the string starts with them (no leading whitespace).
        if (s.size() >= 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X'))
            return wrappedInteger(s, 2, 16).value_or(kNaN);
        if (looksOctal(s))
            return wrappedInteger(s, 0, 8).value_or(kNaN);
    }
    const DecimalScan scan = scanDecimal(s, skipSpaces(s, 0), false);
    if (!scan.ok || scan.end != s.size())
        return kNaN;
    return scan.value;
}

double parseIntValue(const QString& s, std::optional<int> radix)
{
    if (radix && (*radix < 2 || *radix > 36))
        return kNaN;
    const qsizetype n = s.size();
    qsizetype pos = 0;
    int base = radix.value_or(10);
    // A "0x" prefix is dropped whatever the radix. After a sign two characters are dropped too, but
    // they are the sign and the zero, so "-0x10" continues at "x10" and loses its sign.
    const bool hexAt0 = n >= 2 && s[0] == u'0' && (s[1] == u'x' || s[1] == u'X');
    const bool hexAfterSign =
        n >= 3 && (s[0] == u'+' || s[0] == u'-') && s[1] == u'0' && (s[2] == u'x' || s[2] == u'X');
    if (hexAt0 || hexAfterSign) {
        pos = 2;
        if (!radix)
            base = 16;
    } else if (!radix && looksOctal(s)) {
        base = 8;
    }
    pos = skipSpaces(s, pos);
    bool negative = false;
    if (pos < n && (s[pos] == u'+' || s[pos] == u'-')) {
        negative = s[pos] == u'-';
        ++pos;
    }
    double value = 0.0;
    bool any = false;
    for (; pos < n; ++pos) {
        const int d = digitValue(s[pos].unicode());
        if (d >= base)
            break;
        value = value * base + d;
        any = true;
    }
    if (!any)
        return kNaN;
    return negative ? -value : value;
}

double parseFloatValue(const QString& s)
{
    const DecimalScan scan = scanDecimal(s, skipSpaces(s, 0), true);
    return scan.ok ? scan.value : kNaN;
}

std::int32_t toInt32(double v)
{
    return static_cast<std::int32_t>(toUint32(v));
}

std::uint32_t toUint32(double v)
{
    if (!std::isfinite(v))
        return 0;
    double t = std::fmod(std::trunc(v), 4294967296.0);
    if (t < 0)
        t += 4294967296.0;
    return static_cast<std::uint32_t>(t);
}

std::optional<std::int32_t> levelOfName(QStringView name, bool ignoreCase)
{
    const Qt::CaseSensitivity cs = ignoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    if (!name.startsWith(u"_level", cs) && !name.startsWith(u"_flash", cs))
        return std::nullopt;
    QStringView rest = name.mid(6);
    const bool negative = rest.startsWith(u'-');
    if (negative)
        rest = rest.mid(1);
    std::uint32_t n = 0;
    for (QChar c : rest) {
        if (c < u'0' || c > u'9')
            break;
        n = n * 10u + static_cast<std::uint32_t>(c.unicode() - u'0');
    }
    if (negative)
        n = 0u - n;
    return static_cast<std::int32_t>(n);
}

std::optional<bool> numberLess(double a, double b)
{
    if (std::isnan(a) || std::isnan(b))
        return std::nullopt;
    return a < b;
}

}  // namespace vistrel::avm1
