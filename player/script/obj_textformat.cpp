// TextFormat: character and paragraph settings, each unset (null) until given. Its fields are accessors
// that convert what is stored (sizes rounded to whole numbers, unknown
// alignments ignored).
#include <cmath>
#include <map>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/script/text_field.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

enum class Kind { String, Integer, Margin, Color, Boolean, Align, Display, TabStops, Number };

struct Field {
    const char* name;
    Kind kind;
    std::uint16_t flags = 0;
};

// In constructor order first, then the fields the constructor does not take.
const Field kFields[] = {
    {"font", Kind::String},        {"size", Kind::Integer},      {"color", Kind::Color},
    {"bold", Kind::Boolean},       {"italic", Kind::Boolean},    {"underline", Kind::Boolean},
    {"url", Kind::String},         {"target", Kind::String},     {"align", Kind::Align},
    {"leftMargin", Kind::Margin},  {"rightMargin", Kind::Margin}, {"indent", Kind::Integer},
    {"leading", Kind::Integer},    {"blockIndent", Kind::Integer}, {"bullet", Kind::Boolean},
    {"tabStops", Kind::TabStops},  {"kerning", Kind::Boolean, avm1::propflag::kVersion8},
    {"letterSpacing", Kind::Number, avm1::propflag::kVersion8},
    {"display", Kind::Display, avm1::propflag::kVersion8},
};
constexpr std::size_t kConstructorFields = 13;

class TextFormatObject : public Object {
public:
    TextFormatObject() : Object(avm1::ObjectClass::TextFormat) {}
    std::map<QString, Value> values;
    void markChildren(avm1::Heap& heap) override {
        for (const auto& [name, v] : values) heap.mark(v);
    }
};

// Whole numbers: the constructor cuts the fraction, the setters round halves to even. What does not fit
// 32 bits (or is not a number) becomes the lowest integer.
double wholeNumber(double n, bool truncate) {
    const double r = truncate ? std::trunc(n) : std::nearbyint(n);
    if (!(r >= -2147483648.0 && r <= 2147483647.0)) return -2147483648.0;
    return r;
}

// The stored value for `v`; `current` is kept when the value is ignored. Only the setters
// keep margins from going below zero.
Value convert(Vm& vm, Kind kind, const Value& v, const Value& current, bool fromConstructor) {
    // Display takes its known values only, anything else resets it; align ignores what it does not know.
    if (kind == Kind::Display) {
        const QString d = v.isNullish() ? QString() : vm.toString(v);
        return Value(d == u"inline" || d == u"none" ? d : QStringLiteral("block"));
    }
    if (v.isNullish()) return kind == Kind::Align && !fromConstructor ? current : Value::null();
    switch (kind) {
    case Kind::String: return Value(vm.toString(v));
    case Kind::Integer: return Value(wholeNumber(vm.toNumber(v), fromConstructor));
    case Kind::Margin: {
        double n = vm.toNumber(v);
        if (!fromConstructor) n = std::isnan(n) ? 0.0 : std::max(0.0, n);
        return Value(wholeNumber(n, fromConstructor));
    }
    case Kind::Color: {
        const double n = vm.toNumber(v);
        return Value(std::isfinite(n) ? static_cast<double>(avm1::toUint32(n)) : 0.0);
    }
    case Kind::Boolean: return Value(vm.toBoolean(v));
    case Kind::Align: {
        const QString s = vm.toString(v).toLower();
        for (const char* a : {"left", "center", "right", "justify"})
            if (s == QLatin1String(a)) return Value(s);
        return current;
    }
    case Kind::Display: return current;
    case Kind::TabStops: {
        std::vector<Value> stops;
        for (const Value& e : avm1::builtins::arrayLikeElements(vm, v)) stops.push_back(Value(wholeNumber(vm.toNumber(e), false)));
        return Value(vm.makeArray(std::move(stops)));
    }
    case Kind::Number: return Value(vm.toNumber(v));
    }
    return current;
}

}  // namespace

void installTextFormat(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* proto = vm.makeObject();
    Object* ctor = vm.makeClass(QStringLiteral("TextFormat"), [](Vm&, const Value&, Args) { return Value(); }, proto);
    ctor->setNativeConstructor([ctor](Vm& vm, const Value&, Args args) {
        auto* tf = vm.heap().make<TextFormatObject>();
        tf->setProto(vm.getMember(Value(ctor), QStringLiteral("prototype")).object());
        for (const Field& f : kFields) {
            const Value initial = f.kind == Kind::Display ? Value("block") : Value::null();
            tf->values[QString::fromLatin1(f.name)] = initial;
        }
        for (std::size_t i = 0; i < kConstructorFields && i < args.size(); ++i) {
            const QString name = QString::fromLatin1(kFields[i].name);
            tf->values[name] = convert(vm, kFields[i].kind, args[i], tf->values[name], true);
        }
        return Value(static_cast<Object*>(tf));
    });
    vm.global()->define(QStringLiteral("TextFormat"), Value(ctor), avm1::propflag::kDontEnum);

    for (const Field& f : kFields) {
        const QString name = QString::fromLatin1(f.name);
        const Kind kind = f.kind;
        defineAccessor(
            vm, proto, name,
            [name](Vm&, const Value& self, Args) -> Value {
                auto* tf = dynamic_cast<TextFormatObject*>(self.object());
                if (!tf) return {};
                const auto it = tf->values.find(name);
                return it == tf->values.end() ? Value::null() : it->second;
            },
            [name, kind](Vm& vm, const Value& self, Args args) {
                auto* tf = dynamic_cast<TextFormatObject*>(self.object());
                if (!tf) return Value();
                Value& slot = tf->values[name];
                slot = convert(vm, kind, arg(args, 0), slot, false);
                return Value();
            },
            f.flags);
    }
    method(vm, proto, QStringLiteral("getTextExtent"), [&stage](Vm&, const Value& self, Args args) {
        if (!dynamic_cast<TextFormatObject*>(self.object())) return Value();
        return textExtent(stage, self, stage.vm()->toString(arg(args, 0)), arg(args, 1));
    });
}

}  // namespace vistrel::player::objects
