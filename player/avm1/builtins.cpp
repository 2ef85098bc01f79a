#include "player/avm1/builtins.h"

#include <algorithm>

#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1 {

namespace builtins {

Object* defineClass(Vm& vm, const QString& name, Object* prototype, NativeFunction call, NativeFunction construct,
                    std::uint16_t globalFlags) {
    Object* ctor = vm.makeFunction(name, std::move(call));
    if (construct) ctor->setNativeConstructor(std::move(construct));
    ctor->define(QStringLiteral("prototype"), Value(prototype), kHidden);
    prototype->define(QStringLiteral("constructor"), Value(ctor), kHidden);
    vm.markNativeClass(ctor);
    vm.global()->define(name, Value(ctor), propflag::kDontEnum | globalFlags);
    return ctor;
}

std::vector<Value> arrayLikeElements(Vm& vm, const Value& v) {
    Object* o = v.object();
    if (!o) return {};
    if (auto* array = dynamic_cast<ArrayObject*>(o)) return array->values();
    const double n = vm.toNumber(vm.getMember(v, QStringLiteral("length")));
    if (!(n > 0)) return {};
    // A forged length must not make us allocate the world.
    const std::size_t length = static_cast<std::size_t>(std::min(n, double(ArrayObject::kMaxArrayLength)));
    std::vector<Value> out;
    out.reserve(std::min<std::size_t>(length, 1024));
    for (std::size_t i = 0; i < length; ++i) {
        vm.tick();
        out.push_back(vm.getMember(v, QString::number(i)));
    }
    return out;
}

}  // namespace builtins

void installCoreBuiltins(Vm& vm) {
    using namespace builtins;
    installObject(vm);
    installFunction(vm);
    installArray(vm);
    installString(vm);
    installNumberAndBoolean(vm);
    installMath(vm);
    installDate(vm);
    installError(vm);
    installGlobals(vm);
    installNativeFunctions(vm);
    registerNativeTables(vm);
}

}  // namespace vistrel::avm1
