// Math: the constants and functions. Every function converts its first two arguments (so
// valueOf runs on both even for one-argument functions) and min and max compare only two values.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1::builtins {

namespace {

struct TwoNumbers {
    double a = std::nan("");
    double b = std::nan("");
};

TwoNumbers firstTwo(Vm& vm, std::span<const Value> args) {
    TwoNumbers n;
    if (args.size() > 0) n.a = vm.toNumber(args[0]);
    if (args.size() > 1) n.b = vm.toNumber(args[1]);
    return n;
}

}  // namespace

void installMath(Vm& vm) {
    Object* math = vm.makeObject();
    vm.global()->define(QStringLiteral("Math"), Value(math), propflag::kDontEnum);

    const std::pair<const char*, double> constants[] = {
        {"E", std::numbers::e},          {"LN10", std::numbers::ln10},       {"LN2", std::numbers::ln2},
        {"LOG10E", std::numbers::log10e}, {"LOG2E", std::numbers::log2e},      {"PI", std::numbers::pi},
        {"SQRT1_2", 1 / std::numbers::sqrt2}, {"SQRT2", std::numbers::sqrt2},
    };
    for (const auto& [name, value] : constants) math->define(QString::fromLatin1(name), Value(value), kConstant);

    using Unary = double (*)(double);
    const std::pair<const char*, Unary> unary[] = {
        {"abs", [](double x) { return std::fabs(x); }},
        {"acos", [](double x) { return std::acos(x); }},
        {"asin", [](double x) { return std::asin(x); }},
        {"atan", [](double x) { return std::atan(x); }},
        {"ceil", [](double x) { return std::ceil(x); }},
        {"cos", [](double x) { return std::cos(x); }},
        {"exp", [](double x) { return std::exp(x); }},
        {"floor", [](double x) { return std::floor(x); }},
        {"log", [](double x) { return std::log(x); }},
        // Halves round up, also below zero (-12.5 gives -12).
        {"round", [](double x) { return std::floor(x + 0.5); }},
        {"sin", [](double x) { return std::sin(x); }},
        {"sqrt", [](double x) { return std::sqrt(x); }},
        {"tan", [](double x) { return std::tan(x); }},
    };
    for (const auto& [name, fn] : unary) {
        const Unary f = fn;
        method(vm, math, QString::fromLatin1(name), [f](Vm& vm, const Value&, std::span<const Value> args) {
            return Value(f(firstTwo(vm, args).a));
        });
    }
    method(vm, math, QStringLiteral("atan2"), [](Vm& vm, const Value&, std::span<const Value> args) {
        const TwoNumbers n = firstTwo(vm, args);
        return Value(std::atan2(n.a, n.b));
    });
    method(vm, math, QStringLiteral("pow"), [](Vm& vm, const Value&, std::span<const Value> args) {
        const TwoNumbers n = firstTwo(vm, args);
        return Value(std::pow(n.a, n.b));
    });
    method(vm, math, QStringLiteral("min"), [](Vm& vm, const Value&, std::span<const Value> args) {
        if (args.empty()) return Value(std::numeric_limits<double>::infinity());
        const TwoNumbers n = firstTwo(vm, args);
        if (std::isnan(n.a) || std::isnan(n.b)) return Value(std::nan(""));
        return Value(n.b < n.a ? n.b : n.a);
    });
    method(vm, math, QStringLiteral("max"), [](Vm& vm, const Value&, std::span<const Value> args) {
        if (args.empty()) return Value(-std::numeric_limits<double>::infinity());
        const TwoNumbers n = firstTwo(vm, args);
        if (std::isnan(n.a) || std::isnan(n.b)) return Value(std::nan(""));
        return Value(n.b > n.a ? n.b : n.a);
    });
    method(vm, math, QStringLiteral("random"), [](Vm& vm, const Value&, std::span<const Value> args) {
        // The first two arguments are converted (their valueOf runs) and then ignored.
        for (std::size_t i = 0; i < std::min<std::size_t>(args.size(), 2); ++i) vm.toNumber(args[i]);
        return Value(static_cast<double>(vm.random()) / 4294967296.0);
    });
}

}  // namespace vistrel::avm1::builtins
