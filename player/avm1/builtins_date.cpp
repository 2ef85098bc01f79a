// Date: a time value in milliseconds since 1970 (UTC), read and written in UTC or in this machine's local
// time, with the day arithmetic of ECMA-262.
#include <cmath>
#include <ctime>

#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1::builtins {

namespace {

constexpr double kMsPerDay = 86400000.0;

double day(double t) { return std::floor(t / kMsPerDay); }
double timeWithinDay(double t) {
    const double r = std::fmod(t, kMsPerDay);
    return r < 0 ? r + kMsPerDay : r;
}
double daysInYear(double y) {
    if (std::fmod(y, 4) != 0) return 365;
    if (std::fmod(y, 100) != 0) return 366;
    if (std::fmod(y, 400) != 0) return 365;
    return 366;
}
double dayFromYear(double y) {
    return 365 * (y - 1970) + std::floor((y - 1969) / 4) - std::floor((y - 1901) / 100) + std::floor((y - 1601) / 400);
}
double yearFromTime(double t) {
    double y = std::floor(t / (kMsPerDay * 365.2425)) + 1970;
    // The estimate is off by at most one either way.
    while (dayFromYear(y) * kMsPerDay > t) --y;
    while (dayFromYear(y + 1) * kMsPerDay <= t) ++y;
    return y;
}
bool inLeapYear(double t) { return daysInYear(yearFromTime(t)) == 366; }
double dayWithinYear(double t) { return day(t) - dayFromYear(yearFromTime(t)); }

// First day of each month within a year (common year), and the leap-year shift from March on.
constexpr int kMonthStart[13] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334, 365};
double monthStart(int month, bool leap) { return kMonthStart[month] + (leap && month >= 2 ? 1 : 0); }

int monthFromTime(double t) {
    const double d = dayWithinYear(t);
    const bool leap = inLeapYear(t);
    for (int m = 0; m < 11; ++m)
        if (d < monthStart(m + 1, leap)) return m;
    return 11;
}
double dateFromTime(double t) { return dayWithinYear(t) - monthStart(monthFromTime(t), inLeapYear(t)) + 1; }
double weekDay(double t) {
    const double r = std::fmod(day(t) + 4, 7);
    return r < 0 ? r + 7 : r;
}
double hourFromTime(double t) { return std::floor(timeWithinDay(t) / 3600000.0); }
double minFromTime(double t) { return std::fmod(std::floor(timeWithinDay(t) / 60000.0), 60); }
double secFromTime(double t) { return std::fmod(std::floor(timeWithinDay(t) / 1000.0), 60); }
double msFromTime(double t) { return std::fmod(timeWithinDay(t), 1000); }

double makeTime(double h, double m, double s, double ms) {
    if (!std::isfinite(h) || !std::isfinite(m) || !std::isfinite(s) || !std::isfinite(ms)) return std::nan("");
    return toInteger(h) * 3600000.0 + toInteger(m) * 60000.0 + toInteger(s) * 1000.0 + toInteger(ms);
}
double makeDay(double year, double month, double date) {
    if (!std::isfinite(year) || !std::isfinite(month) || !std::isfinite(date)) return std::nan("");
    year = toInteger(year);
    month = toInteger(month);
    date = toInteger(date);
    const double y = year + std::floor(month / 12);
    if (std::fabs(y) > 400000) return std::nan("");   // far outside what a time value can hold
    double mn = std::fmod(month, 12);
    if (mn < 0) mn += 12;
    return dayFromYear(y) + monthStart(static_cast<int>(mn), daysInYear(y) == 366) + date - 1;
}
double makeDate(double d, double time) {
    if (!std::isfinite(d) || !std::isfinite(time)) return std::nan("");
    return d * kMsPerDay + time;
}
double timeClip(double t) {
    if (!std::isfinite(t) || std::fabs(t) > 8.64e15) return std::nan("");
    return toInteger(t) + 0.0;   // no negative zero
}

// This machine's offset from UTC at the UTC time `t`, daylight saving included.
double localOffset(double t) {
    if (!std::isfinite(t)) return 0;
    const std::time_t seconds = static_cast<std::time_t>(std::floor(t / 1000));
    std::tm parts{};
    if (!localtime_r(&seconds, &parts)) return 0;
    return static_cast<double>(parts.tm_gmtoff) * 1000.0;
}
double localTime(double t) { return t + localOffset(t); }
double utcFromLocal(double local) {
    if (!std::isfinite(local)) return local;
    return local - localOffset(local - localOffset(local));
}

// Years 0 to 99 mean 1900 to 1999, as in the two-digit years of old scripts.
double fullYear(double y) {
    if (std::isfinite(y)) {
        const double i = toInteger(y);
        if (i >= 0 && i <= 99) return 1900 + i;
    }
    return y;
}

Object* dateObject(const Value& self) {
    Object* o = self.object();
    return o && o->objectClass() == ObjectClass::Date ? o : nullptr;
}
double timeOf(Object* d) { return d->primitive().isNumber() ? d->primitive().asNumber() : std::nan(""); }

Value makeDateObject(Vm& vm, double t) {
    Object* o = vm.heap().make<Object>(ObjectClass::Date);
    o->setProto(vm.protos().date);
    o->setPrimitive(Value(timeClip(t)));
    return Value(o);
}

double nowMs(Vm& vm) { return vm.host() ? vm.host()->dateMs() : wallClockMs(); }

// Time value from (year, month[, date, hours, minutes, seconds, ms]) arguments, before the zone shift.
double fromParts(Vm& vm, std::span<const Value> args) {
    double n[7] = {0, 0, 1, 0, 0, 0, 0};
    for (std::size_t i = 0; i < 7 && i < args.size(); ++i) n[i] = vm.toNumber(args[i]);
    return makeDate(makeDay(fullYear(n[0]), n[1], n[2]), makeTime(n[3], n[4], n[5], n[6]));
}

QString dateToString(double t) {
    if (std::isnan(t)) return QStringLiteral("Invalid Date");
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const double offset = localOffset(t);
    const double local = t + offset;
    const int offsetMinutes = static_cast<int>(std::lround(offset / 60000.0));
    const int absMinutes = std::abs(offsetMinutes);
    return QStringLiteral("%1 %2 %3 %4:%5:%6 GMT%7%8%9 %10")
        .arg(QLatin1String(days[static_cast<int>(weekDay(local))]))
        .arg(QLatin1String(months[monthFromTime(local)]))
        .arg(static_cast<int>(dateFromTime(local)))
        .arg(static_cast<int>(hourFromTime(local)), 2, 10, QLatin1Char('0'))
        .arg(static_cast<int>(minFromTime(local)), 2, 10, QLatin1Char('0'))
        .arg(static_cast<int>(secFromTime(local)), 2, 10, QLatin1Char('0'))
        .arg(offsetMinutes < 0 ? QLatin1Char('-') : QLatin1Char('+'))
        .arg(absMinutes / 60, 2, 10, QLatin1Char('0'))
        .arg(absMinutes % 60, 2, 10, QLatin1Char('0'))
        .arg(static_cast<qint64>(yearFromTime(local)));
}

// The parts of a time a setter may replace, in the order the setters take them.
enum Part { kYear, kMonth, kDate, kHours, kMinutes, kSeconds, kMs };

// Replaces parts [first, first + args) (at most `count`) of the date's time in local time or UTC.
Value setParts(Vm& vm, const Value& self, std::span<const Value> args, int first, int count, bool utc) {
    Object* d = dateObject(self);
    if (!d) return {};
    double t = timeOf(d);
    if (std::isnan(t)) {
        // Only setting the year brings an invalid date back (from 1 January 1970).
        if (first != kYear) return Value(t);
        t = 0;
    }
    const double base = utc ? t : localTime(t);
    double n[7] = {yearFromTime(base), double(monthFromTime(base)), dateFromTime(base), hourFromTime(base),
                   minFromTime(base),  secFromTime(base),           msFromTime(base)};
    const std::size_t given = std::min<std::size_t>(args.size(), static_cast<std::size_t>(count));
    if (given == 0) {
        n[first] = std::nan("");
    } else {
        for (std::size_t i = 0; i < given; ++i) n[first + static_cast<int>(i)] = vm.toNumber(args[i]);
    }
    double result = makeDate(makeDay(n[kYear], n[kMonth], n[kDate]), makeTime(n[kHours], n[kMinutes], n[kSeconds], n[kMs]));
    if (!utc) result = utcFromLocal(result);
    result = timeClip(result);
    d->setPrimitive(Value(result));
    return Value(result);
}

}  // namespace

void installDate(Vm& vm) {
    Object* proto = vm.makeObject();
    vm.protos().date = proto;
    Object* ctor = defineClass(
        vm, QStringLiteral("Date"), proto,
        [](Vm& vm, const Value&, std::span<const Value>) -> Value { return Value(dateToString(timeClip(nowMs(vm)))); },
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            if (args.empty()) return makeDateObject(vm, nowMs(vm));
            if (args.size() == 1) return makeDateObject(vm, vm.toNumber(args[0]));
            return makeDateObject(vm, utcFromLocal(fromParts(vm, args)));
        });

    method(vm, ctor, QStringLiteral("UTC"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        if (args.empty()) return Value(std::nan(""));
        return Value(timeClip(fromParts(vm, args)));
    });

    // Getters: a part of the time in local time or UTC; NaN for an invalid date.
    using Getter = double (*)(double);
    struct GetterDef {
        const char* local;
        const char* utc;
        Getter get;
    };
    const GetterDef getters[] = {
        {"getFullYear", "getUTCFullYear", [](double t) { return yearFromTime(t); }},
        {"getYear", "getUTCYear", [](double t) { return yearFromTime(t) - 1900; }},
        {"getMonth", "getUTCMonth", [](double t) { return double(monthFromTime(t)); }},
        {"getDate", "getUTCDate", [](double t) { return dateFromTime(t); }},
        {"getDay", "getUTCDay", [](double t) { return weekDay(t); }},
        {"getHours", "getUTCHours", [](double t) { return hourFromTime(t); }},
        {"getMinutes", "getUTCMinutes", [](double t) { return minFromTime(t); }},
        {"getSeconds", "getUTCSeconds", [](double t) { return secFromTime(t); }},
        {"getMilliseconds", "getUTCMilliseconds", [](double t) { return msFromTime(t); }},
    };
    for (const GetterDef& g : getters) {
        const Getter get = g.get;
        for (const bool utc : {false, true}) {
            method(
                vm, proto, QString::fromLatin1(utc ? g.utc : g.local),
                [get, utc](Vm&, const Value& self, std::span<const Value>) -> Value {
                    Object* d = dateObject(self);
                    if (!d) return {};
                    const double t = timeOf(d);
                    if (std::isnan(t)) return Value(t);
                    return Value(get(utc ? t : localTime(t)));
                });
        }
    }
    auto timeValue = [](Vm&, const Value& self, std::span<const Value>) -> Value {
        Object* d = dateObject(self);
        return d ? Value(timeOf(d)) : Value();
    };
    method(vm, proto, QStringLiteral("getTime"), timeValue);
    method(vm, proto, QStringLiteral("valueOf"), timeValue);
    method(vm, proto, QStringLiteral("getTimezoneOffset"), [](Vm&, const Value& self, std::span<const Value>) -> Value {
        Object* d = dateObject(self);
        if (!d) return {};
        const double t = timeOf(d);
        if (std::isnan(t)) return Value(t);
        return Value(-localOffset(t) / 60000.0);
    });
    method(vm, proto, QStringLiteral("toString"), [](Vm&, const Value& self, std::span<const Value>) -> Value {
        Object* d = dateObject(self);
        return d ? Value(dateToString(timeOf(d))) : Value();
    });
    method(vm, proto, QStringLiteral("setTime"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        Object* d = dateObject(self);
        if (!d) return {};
        const double t = timeClip(args.empty() ? std::nan("") : vm.toNumber(args[0]));
        d->setPrimitive(Value(t));
        return Value(t);
    });

    struct SetterDef {
        const char* local;
        const char* utc;
        int first;
        int count;
    };
    const SetterDef setters[] = {
        {"setFullYear", "setUTCFullYear", kYear, 3},    {"setMonth", "setUTCMonth", kMonth, 2},
        {"setDate", "setUTCDate", kDate, 1},            {"setHours", "setUTCHours", kHours, 4},
        {"setMinutes", "setUTCMinutes", kMinutes, 3},   {"setSeconds", "setUTCSeconds", kSeconds, 2},
        {"setMilliseconds", "setUTCMilliseconds", kMs, 1},
    };
    for (const SetterDef& s : setters) {
        const int first = s.first, count = s.count;
        method(vm, proto, QString::fromLatin1(s.local),
               [first, count](Vm& vm, const Value& self, std::span<const Value> args) {
                   return setParts(vm, self, args, first, count, false);
               });
        method(vm, proto, QString::fromLatin1(s.utc),
               [first, count](Vm& vm, const Value& self, std::span<const Value> args) {
                   return setParts(vm, self, args, first, count, true);
               });
    }
    // setYear takes two-digit years as 1900s, in local time.
    method(vm, proto, QStringLiteral("setYear"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (args.empty()) return setParts(vm, self, args, kYear, 1, false);
        const Value year(fullYear(vm.toNumber(args[0])));
        return setParts(vm, self, std::span<const Value>(&year, 1), kYear, 1, false);
    });
}

}  // namespace vistrel::avm1::builtins
