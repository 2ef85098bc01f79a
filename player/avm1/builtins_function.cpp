// Function: call and apply on every function, and the Function constructor.
#include <vector>

#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1::builtins {

namespace {

Value functionConstruct(Vm& vm, const Value&, std::span<const Value> args) {
    // new Function(x) hands back an object it is given; there is no compiler to make code from a string.
    if (arg(args, 0).isObject()) return args[0];
    return Value(vm.makeObject());
}

// Function(x) called plainly hands back its first argument whatever it is, and without one a new object
// with no prototype at all.
Value functionCall(Vm& vm, const Value&, std::span<const Value> args) {
    if (!args.empty()) return args[0];
    Object* bare = vm.makeObject();
    bare->setProto(nullptr);
    return Value(bare);
}

}  // namespace

void installFunction(Vm& vm) {
    Object* proto = vm.protos().function;
    // Version 5 movies have no global Function (its prototype is still every function's).
    Object* function = defineClass(vm, QStringLiteral("Function"), proto, functionCall, functionConstruct,
                                   propflag::kVersion6);
    // The classes made before Function get their own constructor property now (see defineClass).
    const Property* object = vm.global()->findOwn(QStringLiteral("Object"));
    for (Object* earlier : {function, object ? object->value.object() : nullptr})
        if (earlier) earlier->define(QStringLiteral("constructor"), Value(function), kHidden);

    method(
        vm, proto, QStringLiteral("call"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            const Value thisArg = args.empty() || args[0].isNullish() ? Value() : args[0];
            return vm.call(self, thisArg, args.empty() ? args : args.subspan(1));
        },
        propflag::kVersion6);
    method(
        vm, proto, QStringLiteral("apply"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            const Value thisArg = args.empty() || args[0].isNullish() ? Value() : args[0];
            const std::vector<Value> list = arrayLikeElements(vm, arg(args, 1));
            return vm.call(self, thisArg, list);
        },
        propflag::kVersion6);
}

}  // namespace vistrel::avm1::builtins
