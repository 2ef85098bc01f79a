// Number and Boolean: the casts, the wrapper objects, the Number constants and the radix toString.
#include <limits>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"

namespace vistrel::avm1::builtins {

namespace {

Value makeWrapper(Vm& vm, ObjectClass cls, Object* proto, const Value& primitive) {
    Object* o = vm.heap().make<Object>(cls);
    o->setProto(proto);
    o->setPrimitive(primitive);
    return Value(o);
}

// The primitive behind `self` when it is of `type` (a primitive or its wrapper), else undefined: the
// methods of one wrapper class do not work on others.
Value primitiveOf(const Value& self, Value::Type type, ObjectClass cls) {
    if (self.type() == type) return self;
    if (Object* o = self.object(); o && o->objectClass() == cls && o->primitive().type() == type)
        return o->primitive();
    return {};
}

}  // namespace

void installNumberAndBoolean(Vm& vm) {
    Object* numberProto = vm.makeObject();
    vm.protos().number = numberProto;
    Object* number = defineClass(
        vm, QStringLiteral("Number"), numberProto,
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            return Value(args.empty() ? 0.0 : vm.toNumber(args[0]));
        },
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            return makeWrapper(vm, ObjectClass::Number, vm.protos().number,
                               Value(args.empty() ? 0.0 : vm.toNumber(args[0])));
        });
    number->define(QStringLiteral("MAX_VALUE"), Value(std::numeric_limits<double>::max()), kConstant);
    number->define(QStringLiteral("MIN_VALUE"), Value(std::numeric_limits<double>::denorm_min()), kConstant);
    number->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), kConstant);
    number->define(QStringLiteral("NEGATIVE_INFINITY"), Value(-std::numeric_limits<double>::infinity()), kConstant);
    number->define(QStringLiteral("POSITIVE_INFINITY"), Value(std::numeric_limits<double>::infinity()), kConstant);

    method(vm, numberProto, QStringLiteral("toString"),
           [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
               const Value n = primitiveOf(self, Value::Type::Number, ObjectClass::Number);
               if (!n.isNumber()) return {};
               if (arg(args, 0).isUndefined()) return Value(numberToString(n.asNumber()));
               return Value(numberToStringRadix(n.asNumber(), toInt32(vm.toNumber(args[0]))));
           });
    method(vm, numberProto, QStringLiteral("valueOf"), [](Vm&, const Value& self, std::span<const Value>) {
        return primitiveOf(self, Value::Type::Number, ObjectClass::Number);
    });

    Object* booleanProto = vm.makeObject();
    vm.protos().boolean = booleanProto;
    defineClass(
        vm, QStringLiteral("Boolean"), booleanProto,
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            return args.empty() ? Value() : Value(vm.toBoolean(args[0]));
        },
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            return makeWrapper(vm, ObjectClass::Boolean, vm.protos().boolean,
                               Value(!args.empty() && vm.toBoolean(args[0])));
        });
    method(vm, booleanProto, QStringLiteral("toString"), [](Vm&, const Value& self, std::span<const Value>) -> Value {
        const Value b = primitiveOf(self, Value::Type::Boolean, ObjectClass::Boolean);
        if (!b.isBoolean()) return {};
        return Value(b.asBool() ? QStringLiteral("true") : QStringLiteral("false"));
    });
    method(vm, booleanProto, QStringLiteral("valueOf"), [](Vm&, const Value& self, std::span<const Value>) {
        return primitiveOf(self, Value::Type::Boolean, ObjectClass::Boolean);
    });
}

}  // namespace vistrel::avm1::builtins
