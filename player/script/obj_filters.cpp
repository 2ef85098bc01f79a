// flash.filters: the filter classes as objects holding their settings, with their defaults and
// clone(). The settings are properties of the class prototypes that keep every value in its range,
// whether it comes through the constructor or a later assignment. Clips, buttons and text fields keep the
// filters scripts give them to read back, and are drawn with them.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <variant>
#include <vector>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"
#include "player/avm1/object.h"
#include "player/overloaded.h"
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
// angles in degrees below a full turn (the sign kept), quality 0 to 15. A blur, angle or distance that
// is not a number stays so.
double inRange(const Field& f, double n) {
    const QLatin1String name(f.name);
    if (name == QLatin1String("blurX") || name == QLatin1String("blurY"))
        return std::isnan(n) ? n : std::clamp(n, 0.0, 255.0);
    if (name == QLatin1String("strength")) return std::trunc(clampTo(n, 0, 255) * 256.0) / 256.0;
    if (name == QLatin1String("angle")) return std::isfinite(n) || std::isnan(n) ? std::fmod(n, 360.0) : 0.0;
    if (name == QLatin1String("quality") || name == QLatin1String("matrixX") || name == QLatin1String("matrixY"))
        return clampTo(n, 0, 15);
    // Displacement scales are kept as single-precision numbers up to 65535 either way.
    if (name == QLatin1String("scaleX") || name == QLatin1String("scaleY"))
        return std::isnan(n) ? n : static_cast<double>(static_cast<float>(std::clamp(n, -65535.0, 65535.0)));
    return n;
}

// A displacement map's colour channel is any whole number (not a number counts as zero).
bool unboundedInteger(const Field& f) {
    const QLatin1String name(f.name);
    return name == QLatin1String("componentX") || name == QLatin1String("componentY");
}

// Names a string setting takes; anything else falls back to the first.
const char* const* choicesOf(const Field& f) {
    static const char* const bevelTypes[] = {"full", "inner", "outer", nullptr};
    static const char* const mapModes[] = {"wrap", "clamp", "ignore", "color", nullptr};
    const QLatin1String name(f.name);
    if (name == QLatin1String("type")) return bevelTypes;
    if (name == QLatin1String("mode")) return mapModes;
    return nullptr;
}

Value convert(Vm& vm, const Field& f, const Value& v) {
    switch (f.kind) {
    case Kind::Number: return Value(inRange(f, vm.toNumber(v)));
    case Kind::Integer: {
        const double n = vm.toNumber(v);
        if (unboundedInteger(f)) return Value(std::isnan(n) ? 0.0 : std::trunc(n));
        return Value(std::trunc(inRange(f, clampTo(n, 0, 255))));
    }
    case Kind::Boolean: return Value(vm.toBoolean(v));
    case Kind::String: {
        const QString text = vm.toString(v);
        if (const char* const* choices = choicesOf(f)) {
            for (const char* const* c = choices; *c; ++c)
                if (text == QLatin1String(*c)) return Value(text);
            return Value(QString::fromLatin1(choices[0]));
        }
        return Value(text);
    }
    case Kind::Color: {
        const double n = vm.toNumber(v);
        return Value(std::isfinite(n) ? int(static_cast<std::int64_t>(n) & 0xffffff) : 0);
    }
    case Kind::Alpha: return Value(alphaByte(clampTo(vm.toNumber(v), 0, 1)));
    case Kind::Array: {
        // The filter keeps its own copy: changing the array given later changes nothing. A colour
        // matrix always holds twenty numbers, missing ones not a number.
        std::vector<Value> e;
        if (v.isObject() || f.text) e = avm1::builtins::arrayLikeElements(vm, v);
        if (f.text && QLatin1String(f.text) == QLatin1String("identity")) {
            e.resize(20);
            for (Value& x : e) x = Value(vm.toNumber(x));
        }
        return Value(vm.makeArray(std::move(e)));
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

// A value as a reader gets it: arrays as new copies, so changing one changes nothing in the filter.
Value readCopy(Vm& vm, const Value& v) {
    if (auto* array = dynamic_cast<avm1::ArrayObject*>(v.object())) return Value(vm.makeArray(array->values()));
    return v;
}

// The settings of a filter, kept apart from its own properties: scripts reach them only through the
// accessors of its class. Null for an object no filter constructor has set up.
Object* settingsOf(const Object* o) {
    if (!o || o->objectClass() != avm1::ObjectClass::Other) return nullptr;
    return o->primitive().object();
}

Object* newSettings(Vm& vm, Object* filter) {
    Object* settings = vm.makeObject();
    settings->setProto(nullptr);
    filter->setObjectClass(avm1::ObjectClass::Other);
    filter->setPrimitive(Value(settings));
    return settings;
}

// A convolution matrix holds at least matrixX * matrixY numbers: a shorter one is filled with zeros.
void fillConvolution(Vm& vm, Object* settings) {
    const avm1::Property* m = settings->findOwn(QStringLiteral("matrix"));
    auto* array = m ? dynamic_cast<avm1::ArrayObject*>(m->value.object()) : nullptr;
    if (!array) return;
    auto count = [&](const char* key) {
        const avm1::Property* p = settings->findOwn(QString::fromLatin1(key));
        return p && p->value.isNumber() ? static_cast<std::size_t>(std::max(0.0, p->value.asNumber())) : 0;
    };
    const std::size_t want = count("matrixX") * count("matrixY");
    std::vector<Value> values = array->values();
    if (values.size() >= want) return;
    values.resize(want, Value(0));
    settings->setOwn(QStringLiteral("matrix"), Value(vm.makeArray(std::move(values))));
}

// A filter of the same class with the same settings (arrays copied).
Object* copyOf(Vm& vm, const Object& o) {
    Object* copy = vm.makeObject();
    copy->setProto(o.proto());
    copy->setObjectClass(o.objectClass());
    o.forEachOwn([&](const QString& name, const avm1::Property& p) { copy->define(name, readCopy(vm, p.value), p.flags); });
    if (const Object* settings = settingsOf(&o)) {
        Object* kept = newSettings(vm, copy);
        settings->forEachOwn([&](const QString& name, const avm1::Property& p) { kept->setOwn(name, readCopy(vm, p.value)); });
    }
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
    // A setting that is not a number draws as zero.
    auto num = [&](const char* key) {
        const double n = vm.toNumber(vm.getMember(self, QString::fromLatin1(key)));
        return std::isnan(n) ? 0.0 : n;
    };
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
            Object* settings = newSettings(vm, copy);
            for (const Field& field : spec.fields) {
                const QString key = QString::fromLatin1(field.name);
                settings->setOwn(key, asDisplayKeepsIt(field, readCopy(vm, vm.getMember(f, key))));
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

namespace {

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }
double alphaOf(swf::Argb c) { return static_cast<double>(c >> 24) / 255.0; }
int rgbOf(swf::Argb c) { return static_cast<int>(c & 0xffffffu); }
const char* bevelType(bool inner, bool onTop) { return onTop ? "full" : inner ? "inner" : "outer"; }

// The settings a filter from the file shows to scripts, by name, with the class that holds them.
struct Shown {
    const char* cls = nullptr;
    std::vector<std::pair<const char*, Value>> values;
};

Shown shownSettings(Vm& vm, const Filter& filter) {
    Shown s;
    auto add = [&](const char* key, const Value& v) { s.values.emplace_back(key, v); };
    auto gradient = [&](const GradientFilterData& g) {
        std::vector<Value> colors, alphas, ratios;
        for (const swf::GradientStop& stop : g.stops) {
            colors.push_back(Value(rgbOf(stop.color)));
            alphas.push_back(Value(alphaOf(stop.color)));
            ratios.push_back(Value(int(stop.ratio)));
        }
        add("distance", Value(g.distance)), add("angle", Value(degrees(g.angle)));
        add("colors", Value(vm.makeArray(std::move(colors)))), add("alphas", Value(vm.makeArray(std::move(alphas))));
        add("ratios", Value(vm.makeArray(std::move(ratios))));
        add("blurX", Value(g.blurX)), add("blurY", Value(g.blurY)), add("strength", Value(g.strength));
        add("quality", Value(g.passes)), add("type", Value(QString::fromLatin1(bevelType(g.inner, g.onTop))));
        add("knockout", Value(g.knockout));
    };
    std::visit(Overloaded{
                   [&](const BlurFilter& b) {
                       s.cls = "BlurFilter";
                       add("blurX", Value(b.blurX)), add("blurY", Value(b.blurY)), add("quality", Value(b.passes));
                   },
                   [&](const DropShadowFilter& d) {
                       s.cls = "DropShadowFilter";
                       add("distance", Value(d.distance)), add("angle", Value(degrees(d.angle)));
                       add("color", Value(rgbOf(d.color))), add("alpha", Value(alphaOf(d.color)));
                       add("blurX", Value(d.blurX)), add("blurY", Value(d.blurY)), add("strength", Value(d.strength));
                       add("quality", Value(d.passes)), add("inner", Value(d.inner)), add("knockout", Value(d.knockout));
                       add("hideObject", Value(!d.compositeSource));
                   },
                   [&](const GlowFilter& g) {
                       s.cls = "GlowFilter";
                       add("color", Value(rgbOf(g.color))), add("alpha", Value(alphaOf(g.color)));
                       add("blurX", Value(g.blurX)), add("blurY", Value(g.blurY)), add("strength", Value(g.strength));
                       add("quality", Value(g.passes)), add("inner", Value(g.inner)), add("knockout", Value(g.knockout));
                   },
                   [&](const BevelFilter& b) {
                       s.cls = "BevelFilter";
                       add("distance", Value(b.distance)), add("angle", Value(degrees(b.angle)));
                       add("highlightColor", Value(rgbOf(b.highlightColor)));
                       add("highlightAlpha", Value(alphaOf(b.highlightColor)));
                       add("shadowColor", Value(rgbOf(b.shadowColor))), add("shadowAlpha", Value(alphaOf(b.shadowColor)));
                       add("blurX", Value(b.blurX)), add("blurY", Value(b.blurY)), add("strength", Value(b.strength));
                       add("quality", Value(b.passes)), add("type", Value(QString::fromLatin1(bevelType(b.inner, b.onTop))));
                       add("knockout", Value(b.knockout));
                   },
                   [&](const GradientGlowFilter& g) {
                       s.cls = "GradientGlowFilter";
                       gradient(g);
                   },
                   [&](const GradientBevelFilter& g) {
                       s.cls = "GradientBevelFilter";
                       gradient(g);
                   },
                   [&](const ColorMatrixFilter& c) {
                       s.cls = "ColorMatrixFilter";
                       std::vector<Value> m;
                       for (float x : c.matrix) m.push_back(Value(double(x)));
                       add("matrix", Value(vm.makeArray(std::move(m))));
                   },
                   [&](const ConvolutionFilter& c) {
                       s.cls = "ConvolutionFilter";
                       std::vector<Value> m;
                       for (float x : c.matrix) m.push_back(Value(double(x)));
                       add("matrixX", Value(c.matrixX)), add("matrixY", Value(c.matrixY));
                       add("matrix", Value(vm.makeArray(std::move(m))));
                       add("divisor", Value(double(c.divisor))), add("bias", Value(double(c.bias)));
                       add("preserveAlpha", Value(c.preserveAlpha)), add("clamp", Value(c.clamp));
                       add("color", Value(rgbOf(c.defaultColor))), add("alpha", Value(alphaOf(c.defaultColor)));
                   },
               },
               filter);
    return s;
}

}  // namespace

Value filtersShown(Vm& vm, const std::vector<Filter>& shown) {
    std::vector<Value> out;
    Value pkg(vm.global());
    for (const char* part : {"flash", "filters"}) pkg = vm.getMemberNoResolve(pkg, QString::fromLatin1(part));
    for (const Filter& filter : shown) {
        Shown s = shownSettings(vm, filter);
        // A filter whose class a script has taken away cannot be shown.
        const Value ctor = s.cls ? vm.getMemberNoResolve(pkg, QString::fromLatin1(s.cls)) : Value();
        Object* proto = ctor.isObject() ? vm.getMember(ctor, QStringLiteral("prototype")).object() : nullptr;
        if (!proto) continue;
        Object* o = vm.makeObject();
        o->setProto(proto);
        Object* settings = newSettings(vm, o);
        for (const auto& [key, v] : s.values) settings->setOwn(QString::fromLatin1(key), v);
        out.push_back(Value(o));
    }
    return Value(vm.makeArray(std::move(out)));
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
            Object* settings = newSettings(vm, o);
            for (std::size_t i = 0; i < fields.size(); ++i) settings->setOwn(QString::fromLatin1(fields[i].name), values[i]);
            if (convolution) fillConvolution(vm, settings);
            return Value();
        });
        Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
        proto->setProto(baseProto);
        // Each setting: read back as kept (arrays as copies), assigned through the same conversion the
        // constructor applies.
        for (const Field& field : fields) {
            const QString key = QString::fromLatin1(field.name);
            Object* getter = vm.makeFunction(key, [key](Vm& vm, const Value& self, Args) {
                    const Object* settings = settingsOf(self.object());
                    const avm1::Property* p = settings ? settings->findOwn(key) : nullptr;
                    return p ? readCopy(vm, p->value) : Value();
            });
            Object* setter = vm.makeFunction(key, [key, field, convolution](Vm& vm, const Value& self, Args args) {
                    Object* settings = settingsOf(self.object());
                    if (!settings) return Value();
                    settings->setOwn(key, convert(vm, field, args.empty() ? Value() : args[0]));
                    if (convolution) fillConvolution(vm, settings);
                    return Value();
            });
            // Listed by for-in, as the settings always were.
            proto->defineAccessor(key, getter, setter, avm1::propflag::kDontDelete);
        }
    }
}

}  // namespace vistrel::player::objects
