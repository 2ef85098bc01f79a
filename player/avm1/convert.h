#pragma once

// Number and string conversions of the ActionScript 1/2 machine, with the exact digits and parsing rules
// movies depend on, quirks included.

#include <QString>

#include <cstdint>
#include <optional>

namespace vistrel::avm1 {

// Number to string as trace() and String(n) print it: up to 15 significant digits, plain notation for
// exponents -5..14 and "1.5e-7" / "1e+15" style outside.
QString numberToString(double v);

// Number.prototype.toString(radix). Radixes outside 2..36 (and 10) print as numberToString. Other radixes
// print the value truncated to a 32-bit integer; values that do not fit become -2^31 and print the
// garbled digits (characters below '0') for it.
QString numberToStringRadix(double v, int radix);

// String to number for arithmetic and Number(). SWF 4 takes the longest numeric prefix (nothing gives 0);
// SWF 5 needs the whole string to be a decimal number; SWF 6+ also reads "0x" hex and "0" octal as 32-bit
// integers.
double stringToNumber(const QString& s, int swfVersion);

// Global parseInt; radix is already converted to an integer when given.
double parseIntValue(const QString& s, std::optional<int> radix);

// Global parseFloat.
double parseFloatValue(const QString& s);

std::int32_t toInt32(double v);
std::uint32_t toUint32(double v);

// The level a "_levelN" or "_flashN" name stands for: an optional minus sign and the digits after the
// prefix, wrapping as a 32-bit integer, whatever follows them; no digits at all is level 0. Nothing for
// other names. The prefix compares without case when `ignoreCase`.
std::optional<std::int32_t> levelOfName(QStringView name, bool ignoreCase);

// Numeric comparison for the less-than actions: empty when either side is NaN (the result is undefined).
std::optional<bool> numberLess(double a, double b);

}  // namespace vistrel::avm1
