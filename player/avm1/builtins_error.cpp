// Error: name and message on the prototype, an own message when one is given, toString giving the message.
#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1::builtins {

void installError(Vm& vm) {
    Object* proto = vm.makeObject();
    vm.protos().error = proto;
    auto construct = [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        Object* e = vm.heap().make<Object>(ObjectClass::Error);
        e->setProto(vm.protos().error);
        if (!arg(args, 0).isUndefined()) e->define(QStringLiteral("message"), args[0]);
        return Value(e);
    };
    // Called as a function (super(message) in a subclass), Error sets the message on `this`.
    auto call = [](Vm&, const Value& self, std::span<const Value> args) -> Value {
        Object* e = self.object();
        if (!e) return {};
        if (!arg(args, 0).isUndefined()) e->define(QStringLiteral("message"), args[0]);
        return self;
    };
    defineClass(vm, QStringLiteral("Error"), proto, call, construct);
    proto->define(QStringLiteral("name"), Value("Error"), propflag::kDontEnum);
    proto->define(QStringLiteral("message"), Value("Error"), propflag::kDontEnum);
    // The message as it is, not converted: an object message comes back as that object.
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, std::span<const Value>) {
        return vm.getMember(self, QStringLiteral("message"));
    });
}

}  // namespace vistrel::avm1::builtins
