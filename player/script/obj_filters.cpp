// flash.filters: the filter classes as data objects holding their settings, with their defaults
// and clone(). Clips and text fields keep the filters scripts give them to read back; clips are
// drawn with them, text fields not yet.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <vector>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/render/filter_types.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

enum class Kind { Number, Integer, Boolean, String, Color, Alpha, Array, Any };

struct Field {
    const char* name;
    Kind kind;
    double number = 0;         // default for numbers, colours and booleans (non-zero is true)
    const char* text = nullptr;   // default for strings
};

struct FilterSpec {
    const char* name;
    std::vector<Field> fields;
};

double clampTo(double v, double lo, double hi) { return std::isnan(v) ? lo : std::clamp(v, lo, hi); }
// An opacity from 0 to 1 as the byte it is kept in.
double alphaByte(double a) { return std::trunc(a * 255.0) / 255.0; }

// The ranges a filter keeps its numbers in: blurs 0 to 255, strengths 0 to 255 in steps of 1/256,
// angles in degrees below a full turn (the sign kept), quality 0 to 15.
double inRange(const Field& f, double n) {
    const QLatin1String name(f.name);
    if (name == QLatin1String("blurX") || name == QLatin1String("blurY")) return clampTo(n, 0, 255);
    if (name == QLatin1String("strength")) return std::trunc(clampTo(n, 0, 255) * 256.0) / 256.0;
    if (name == QLatin1String("angle")) return std::isfinite(n) ? std::fmod(n, 360.0) : 0.0;
    if (name == QLatin1String("quality")) return clampTo(n, 0, 15);
    return n;
}

Value convert(Vm& vm, const Field& f, const Value& v) {
    switch (f.kind) {
    case Kind::Number: {
        const double n = vm.toNumber(v);
        return Value(std::isnan(n) ? 0.0 : inRange(f, n));
    }
    case Kind::Integer: return Value(std::trunc(inRange(f, clampTo(vm.toNumber(v), 0, 255))));
    case Kind::Boolean: return Value(vm.toBoolean(v));
    case Kind::String: return Value(vm.toString(v));
    case Kind::Color: {
        const double n = vm.toNumber(v);
        return Value(std::isfinite(n) ? int(static_cast<std::int64_t>(n) & 0xffffff) : 0);
    }
    case Kind::Alpha: return Value(alphaByte(clampTo(vm.toNumber(v), 0, 1)));
    case Kind::Array: {
        // The filter keeps its own copy: changing the array given later changes nothing.
        if (v.isObject()) return Value(vm.makeArray(avm1::builtins::arrayLikeElements(vm, v)));
        return Value(vm.makeArray());
    }
    case Kind::Any: return v;
    }
    return v;
}

Value defaultOf(Vm& vm, const Field& f) {
    switch (f.kind) {
    case Kind::Boolean: return Value(f.number != 0);
    case Kind::String: return Value(QString::fromLatin1(f.text ? f.text : ""));
    case Kind::Array: {
        std::vector<Value> e;
        if (f.text && QLatin1String(f.text) == QLatin1String("identity"))
            for (int i = 0; i < 20; ++i) e.push_back(Value(i % 6 == 0 ? 1 : 0));
        return Value(vm.makeArray(std::move(e)));
    }
    case Kind::Any: return Value();
    default: return Value(f.number);
    }
}

std::vector<FilterSpec> specs() {
    using K = Kind;
    return {
        {"BlurFilter", {{"blurX", K::Number, 4}, {"blurY", K::Number, 4}, {"quality", K::Integer, 1}}},
        {"DropShadowFilter",
         {{"distance", K::Number, 4}, {"angle", K::Number, 45}, {"color", K::Color, 0}, {"alpha", K::Alpha, 1},
          {"blurX", K::Number, 4}, {"blurY", K::Number, 4}, {"strength", K::Number, 1}, {"quality", K::Integer, 1},
          {"inner", K::Boolean, 0}, {"knockout", K::Boolean, 0}, {"hideObject", K::Boolean, 0}}},
        {"GlowFilter",
         {{"color", K::Color, 0xff0000}, {"alpha", K::Alpha, 1}, {"blurX", K::Number, 6}, {"blurY", K::Number, 6},
          {"strength", K::Number, 2}, {"quality", K::Integer, 1}, {"inner", K::Boolean, 0}, {"knockout", K::Boolean, 0}}},
        {"BevelFilter",
         {{"distance", K::Number, 4}, {"angle", K::Number, 45}, {"highlightColor", K::Color, 0xffffff},
          {"highlightAlpha", K::Alpha, 1}, {"shadowColor", K::Color, 0}, {"shadowAlpha", K::Alpha, 1},
          {"blurX", K::Number, 4}, {"blurY", K::Number, 4}, {"strength", K::Number, 1}, {"quality", K::Integer, 1},
          {"type", K::String, 0, "inner"}, {"knockout", K::Boolean, 0}}},
        {"ColorMatrixFilter", {{"matrix", K::Array, 0, "identity"}}},
        {"ConvolutionFilter",
         {{"matrixX", K::Integer, 0}, {"matrixY", K::Integer, 0}, {"matrix", K::Array}, {"divisor", K::Number, 1},
          {"bias", K::Number, 0}, {"preserveAlpha", K::Boolean, 1}, {"clamp", K::Boolean, 1}, {"color", K::Color, 0},
          {"alpha", K::Alpha, 0}}},
        {"DisplacementMapFilter",
         {{"mapBitmap", K::Any}, {"mapPoint", K::Any}, {"componentX", K::Integer, 0}, {"componentY", K::Integer, 0},
          {"scaleX", K::Number, 0}, {"scaleY", K::Number, 0}, {"mode", K::String, 0, "wrap"}, {"color", K::Color, 0},
          {"alpha", K::Alpha, 0}}},
        {"GradientGlowFilter",
         {{"distance", K::Number, 4}, {"angle", K::Number, 45}, {"colors", K::Array}, {"alphas", K::Array},
          {"ratios", K::Array}, {"blurX", K::Number, 4}, {"blurY", K::Number, 4}, {"strength", K::Number, 1},
          {"quality", K::Integer, 1}, {"type", K::String, 0, "inner"}, {"knockout", K::Boolean, 0}}},
        {"GradientBevelFilter",
         {{"distance", K::Number, 4}, {"angle", K::Number, 45}, {"colors", K::Array}, {"alphas", K::Array},
          {"ratios", K::Array}, {"blurX", K::Number, 4}, {"blurY", K::Number, 4}, {"strength", K::Number, 1},
          {"quality", K::Integer, 1}, {"type", K::String, 0, "inner"}, {"knockout", K::Boolean, 0}}},
    };
}

// A filter of the same class with the same settings (arrays copied).
Object* copyOf(Vm& vm, const Object& o) {
    Object* copy = vm.makeObject();
    copy->setProto(o.proto());
    copy->setObjectClass(o.objectClass());
    o.forEachOwn([&](const QString& name, const avm1::Property& p) {
        Value v = p.value;
        if (auto* array = dynamic_cast<avm1::ArrayObject*>(v.object())) v = Value(vm.makeArray(array->values()));
        copy->define(name, v, p.flags);
    });
    return copy;
}

}  // namespace

Value filterCopies(Vm& vm, const Value& list) {
    std::vector<Value> copies;
    if (list.isObject())
        for (const Value& f : avm1::builtins::arrayLikeElements(vm, list))
            if (Object* o = f.object()) copies.push_back(Value(copyOf(vm, *o)));
    return Value(vm.makeArray(std::move(copies)));
}

namespace {

// A number as the display keeps it: 16.16 fixed point, cut toward zero.
double fixed16(double v) { return std::trunc(v * 65536.0) / 65536.0; }

// A setting as a clip or text field keeps it: in its range (a script may have stored anything on the
// filter), blurs and distances in 16.16 fixed point, angles as radians in 16.16, strengths in signed
// 8.8 fixed point, opacities as bytes.
Value asDisplayKeepsIt(const Field& f, const Value& v) {
    if (!v.isNumber()) return v;
    if (f.kind == Kind::Alpha) return Value(alphaByte(clampTo(v.asNumber(), 0, 1)));
    if (f.kind == Kind::Integer) return Value(std::trunc(inRange(f, clampTo(v.asNumber(), 0, 255))));
    if (f.kind != Kind::Number || std::isnan(v.asNumber())) return v;
    const QLatin1String name(f.name);
    const double n = inRange(f, v.asNumber());
    if (!std::isfinite(n)) return Value(n);
    if (name == QLatin1String("blurX") || name == QLatin1String("blurY") || name == QLatin1String("distance"))
        return Value(fixed16(n));
    if (name == QLatin1String("angle")) return Value(fixed16(n * std::numbers::pi / 180.0) * 180.0 / std::numbers::pi);
    if (name == QLatin1String("strength")) return Value(std::clamp(n * 256.0, -32768.0, 32767.0) / 256.0);
    return Value(n);
}

// What the renderer draws for a filter of class `name` holding the settings of `f`; nothing for a
// class it does not draw.
std::optional<Filter> filterToDraw(Vm& vm, const char* name, Object* f) {
    const Value self(f);
    auto num = [&](const char* key) { return vm.toNumber(vm.getMember(self, QString::fromLatin1(key))); };
    auto flag = [&](const char* key) { return vm.toBoolean(vm.getMember(self, QString::fromLatin1(key))); };
    auto passes = [&] { return static_cast<int>(clampTo(num("quality"), 0, 15)); };
    auto radians = [&] { return num("angle") * std::numbers::pi / 180.0; };
    auto argb = [&](const char* color, const char* alpha) {
        const auto a = static_cast<unsigned>(std::lround(clampTo(num(alpha), 0, 1) * 255.0));
        return swf::Argb((a << 24) | (static_cast<unsigned>(avm1::toInt32(num(color))) & 0xffffffu));
    };
    auto type = [&] { return vm.toString(vm.getMember(self, QStringLiteral("type"))); };
    const QLatin1String cls(name);
    if (cls == QLatin1String("BlurFilter")) return Filter(BlurFilter{num("blurX"), num("blurY"), passes()});
    if (cls == QLatin1String("DropShadowFilter")) {
        DropShadowFilter d;
        d.color = argb("color", "alpha");
        d.blurX = num("blurX"), d.blurY = num("blurY"), d.angle = radians(), d.distance = num("distance");
        d.strength = num("strength"), d.inner = flag("inner"), d.knockout = flag("knockout");
        d.compositeSource = !flag("hideObject"), d.passes = passes();
        return Filter(d);
    }
    if (cls == QLatin1String("GlowFilter")) {
        GlowFilter g;
        g.color = argb("color", "alpha");
        g.blurX = num("blurX"), g.blurY = num("blurY"), g.strength = num("strength");
        g.inner = flag("inner"), g.knockout = flag("knockout"), g.passes = passes();
        return Filter(g);
    }
    if (cls == QLatin1String("BevelFilter")) {
        BevelFilter b;
        b.highlightColor = argb("highlightColor", "highlightAlpha"), b.shadowColor = argb("shadowColor", "shadowAlpha");
        b.blurX = num("blurX"), b.blurY = num("blurY"), b.angle = radians(), b.distance = num("distance");
        b.strength = num("strength"), b.knockout = flag("knockout"), b.passes = passes();
        b.inner = type() == u"inner", b.onTop = type() == u"full";
        return Filter(b);
    }
    if (cls == QLatin1String("GradientGlowFilter") || cls == QLatin1String("GradientBevelFilter")) {
        GradientFilterData g;
        const auto colors = avm1::builtins::arrayLikeElements(vm, vm.getMember(self, QStringLiteral("colors")));
        const auto alphas = avm1::builtins::arrayLikeElements(vm, vm.getMember(self, QStringLiteral("alphas")));
        const auto ratios = avm1::builtins::arrayLikeElements(vm, vm.getMember(self, QStringLiteral("ratios")));
        const std::size_t n = std::min({colors.size(), alphas.size(), ratios.size(), std::size_t{16}});
        for (std::size_t i = 0; i < n; ++i) {
            const auto a = static_cast<unsigned>(std::lround(clampTo(vm.toNumber(alphas[i]), 0, 1) * 255.0));
            const auto c = static_cast<unsigned>(avm1::toInt32(vm.toNumber(colors[i]))) & 0xffffffu;
            g.stops.push_back({swf::Argb((a << 24) | c), static_cast<std::uint8_t>(clampTo(vm.toNumber(ratios[i]), 0, 255))});
        }
        g.blurX = num("blurX"), g.blurY = num("blurY"), g.angle = radians(), g.distance = num("distance");
        g.strength = num("strength"), g.knockout = flag("knockout"), g.passes = passes();
        g.inner = type() == u"inner", g.onTop = type() == u"full";
        if (cls == QLatin1String("GradientGlowFilter")) return Filter(GradientGlowFilter{g});
        return Filter(GradientBevelFilter{g});
    }
    if (cls == QLatin1String("ColorMatrixFilter")) {
        ColorMatrixFilter c;
        const auto m = avm1::builtins::arrayLikeElements(vm, vm.getMember(self, QStringLiteral("matrix")));
        for (std::size_t i = 0; i < 20 && i < m.size(); ++i) c.matrix[i] = static_cast<float>(vm.toNumber(m[i]));
        return Filter(c);
    }
    if (cls == QLatin1String("ConvolutionFilter")) {
        ConvolutionFilter c;
        c.matrixX = static_cast<int>(clampTo(num("matrixX"), 0, 15)), c.matrixY = static_cast<int>(clampTo(num("matrixY"), 0, 15));
        const auto m = avm1::builtins::arrayLikeElements(vm, vm.getMember(self, QStringLiteral("matrix")));
        for (int i = 0; i < c.matrixX * c.matrixY; ++i)
            c.matrix.push_back(static_cast<std::size_t>(i) < m.size() ? static_cast<float>(vm.toNumber(m[static_cast<std::size_t>(i)])) : 0.0f);
        c.divisor = static_cast<float>(num("divisor")), c.bias = static_cast<float>(num("bias"));
        c.defaultColor = argb("color", "alpha"), c.clamp = flag("clamp"), c.preserveAlpha = flag("preserveAlpha");
        return Filter(c);
    }
    return std::nullopt;
}

}  // namespace

Value filtersGiven(Vm& vm, const Value& given, std::vector<Filter>* shown) {
    std::vector<Value> kept;
    if (!given.isObject()) return Value(vm.makeArray());
    Value pkg(vm.global());
    for (const char* part : {"flash", "filters"}) pkg = vm.getMemberNoResolve(pkg, QString::fromLatin1(part));
    const std::vector<FilterSpec> all = specs();
    for (const Value& f : avm1::builtins::arrayLikeElements(vm, given)) {
        // Only objects a filter class made count; each is kept as a new filter holding just its
        // settings, as the display keeps them.
        Object* o = f.object();
        if (!o || o->objectClass() != avm1::ObjectClass::Other) continue;
        for (const FilterSpec& spec : all) {
            Object* ctor = vm.getMemberNoResolve(pkg, QString::fromLatin1(spec.name)).object();
            if (!ctor || !vm.instanceOf(f, ctor)) continue;
            Object* copy = vm.makeObject();
            copy->setProto(o->proto());
            copy->setObjectClass(avm1::ObjectClass::Other);
            for (const Field& field : spec.fields) {
                const QString key = QString::fromLatin1(field.name);
                Value v = vm.getMember(f, key);
                if (auto* array = dynamic_cast<avm1::ArrayObject*>(v.object())) v = Value(vm.makeArray(array->values()));
                copy->setOwn(key, asDisplayKeepsIt(field, v));
            }
            kept.push_back(Value(copy));
            if (shown) {
                if (std::optional<Filter> drawn = filterToDraw(vm, spec.name, copy)) shown->push_back(std::move(*drawn));
            }
            break;
        }
    }
    return Value(vm.makeArray(std::move(kept)));
}

void installFilters(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* pkg = package(vm, QStringLiteral("flash.filters"));
    Object* base = defineClassOn(vm, pkg, QStringLiteral("BitmapFilter"), [](Vm&, const Value&, Args) { return Value(); });
    Object* baseProto = vm.getMember(Value(base), QStringLiteral("prototype")).object();
    // clone: a new filter of the same class with the same settings (arrays copied).
    method(vm, baseProto, QStringLiteral("clone"), [](Vm& vm, const Value& self, Args) {
        Object* o = self.object();
        return o ? Value(copyOf(vm, *o)) : Value();
    });

    for (const FilterSpec& spec : specs()) {
        const QString name = QString::fromLatin1(spec.name);
        const std::vector<Field> fields = spec.fields;
        const bool convolution = name == u"ConvolutionFilter";
        // A call initialises `this` once: a second super() from a subclass converts its arguments (their
        // valueOf runs) but leaves the filter as it was.
        Object* ctor = defineClassOn(vm, pkg, name, [fields, convolution](Vm& vm, const Value& self, Args args) {
            std::vector<Value> values;
            values.reserve(fields.size());
            for (std::size_t i = 0; i < fields.size(); ++i) {
                if (i < args.size() && !args[i].isUndefined()) values.push_back(convert(vm, fields[i], args[i]));
                else values.push_back(defaultOf(vm, fields[i]));
            }
            // A convolution given a colour but no alpha shows that colour opaque.
            if (convolution && args.size() == 8) values[8] = Value(1);
            Object* o = self.object();
            if (!o || o->objectClass() != avm1::ObjectClass::Object) return Value();
            o->setObjectClass(avm1::ObjectClass::Other);
            for (std::size_t i = 0; i < fields.size(); ++i) o->setOwn(QString::fromLatin1(fields[i].name), values[i]);
            return Value();
        });
        Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
        proto->setProto(baseProto);
    }
}

}  // namespace vistrel::player::objects
