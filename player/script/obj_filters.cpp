// flash.filters: the filter classes as data objects holding their settings, with their defaults
// and clone(). Clips do not take them through scripts yet.
#include <algorithm>
#include <cmath>
#include <vector>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
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

Value convert(Vm& vm, const Field& f, const Value& v) {
    switch (f.kind) {
    case Kind::Number: {
        const double n = vm.toNumber(v);
        return Value(std::isnan(n) ? 0.0 : n);
    }
    case Kind::Integer: return Value(std::trunc(clampTo(vm.toNumber(v), 0, 255)));
    case Kind::Boolean: return Value(vm.toBoolean(v));
    case Kind::String: return Value(vm.toString(v));
    case Kind::Color: {
        const double n = vm.toNumber(v);
        return Value(std::isfinite(n) ? int(static_cast<std::int64_t>(n) & 0xffffff) : 0);
    }
    case Kind::Alpha: return Value(clampTo(vm.toNumber(v), 0, 1));
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

}  // namespace

void installFilters(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* pkg = package(vm, QStringLiteral("flash.filters"));
    Object* base = defineClassOn(vm, pkg, QStringLiteral("BitmapFilter"), [](Vm&, const Value&, Args) { return Value(); });
    Object* baseProto = vm.getMember(Value(base), QStringLiteral("prototype")).object();
    // clone: a new filter of the same class with the same settings (arrays copied).
    method(vm, baseProto, QStringLiteral("clone"), [](Vm& vm, const Value& self, Args) {
        Object* o = self.object();
        if (!o) return Value();
        Object* copy = vm.makeObject();
        copy->setProto(o->proto());
        copy->setObjectClass(o->objectClass());
        o->forEachOwn([&](const QString& name, const avm1::Property& p) {
            Value v = p.value;
            if (auto* array = dynamic_cast<avm1::ArrayObject*>(v.object())) v = Value(vm.makeArray(array->values()));
            copy->define(name, v, p.flags);
        });
        return Value(copy);
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
