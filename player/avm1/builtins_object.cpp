// Object: the constructor, the methods every object inherits and Object.registerClass.
#include <map>

#include "player/avm1/builtins.h"
#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1 {

namespace {

using builtins::arg;

// Symbol names tied to classes by Object.registerClass. It lives in the heap (held through the machine's
// extra roots) so the constructors it names stay alive as long as the movie can attach them. Movies of
// version 7 and later and older ones keep apart registrations (the older ones' names without case): a
// class one kind of movie registers never reaches a symbol of the other kind.
class ClassRegistry : public Object {
public:
    using Key = std::pair<bool, QString>;
    static Key key(const QString& symbol, int version) {
        return version >= 7 ? Key{true, symbol} : Key{false, foldCase(symbol)};
    }
    std::map<Key, Object*> classes;
    void markChildren(Heap& heap) override {
        for (const auto& [name, ctor] : classes) heap.mark(ctor);
    }
};

ClassRegistry* registry(Vm& vm, bool create) {
    for (Object* o : vm.extraRoots())
        if (auto* r = dynamic_cast<ClassRegistry*>(o)) return r;
    if (!create) return nullptr;
    auto* r = vm.heap().make<ClassRegistry>();
    vm.extraRoots().push_back(r);
    return r;
}

// The own property as this movie sees it (array elements and length count as own).
enum class Own { None, Hidden, Enumerable };
Own ownProperty(Object* o, const QString& name) {
    if (auto* array = dynamic_cast<ArrayObject*>(o)) {
        if (name == u"length") return Own::Hidden;
        if (const auto i = arrayIndex(name); i && array->has(*i))
            return (array->element(*i)->flags & propflag::kDontEnum) ? Own::Hidden : Own::Enumerable;
    }
    // A property hidden from this movie's version still counts as its own (hasOwnProperty
    // sees it although reading it gives undefined).
    if (const Property* p = o->findOwn(name))
        return (p->flags & propflag::kDontEnum) ? Own::Hidden : Own::Enumerable;
    if (name == u"__proto__" && o->proto()) return Own::Hidden;
    return Own::None;
}

Value objectCall(Vm& vm, const Value&, std::span<const Value> args) {
    const Value& v = arg(args, 0);
    if (v.isNullish()) return Value(vm.makeObject());
    return Value(vm.toObject(v));
}

}  // namespace

Object* registeredClass(Vm& vm, const QString& symbol, int movieVersion) {
    ClassRegistry* r = registry(vm, false);
    if (!r) return nullptr;
    const auto it = r->classes.find(ClassRegistry::key(symbol, movieVersion));
    return it == r->classes.end() ? nullptr : it->second;
}

namespace builtins {

void installObject(Vm& vm) {
    Object* proto = vm.protos().object;
    Object* ctor = defineClass(vm, QStringLiteral("Object"), proto, objectCall, objectCall);
    const std::uint16_t v6 = propflag::kVersion6;

    method(vm, proto, QStringLiteral("toString"), [](Vm&, const Value& self, std::span<const Value>) -> Value {
        const Object* o = self.object();
        return Value(o && o->isCallable() ? QStringLiteral("[type Function]") : QStringLiteral("[object Object]"));
    });
    method(vm, proto, QStringLiteral("toLocaleString"), [](Vm& vm, const Value& self, std::span<const Value>) {
        return vm.callMethod(self, QStringLiteral("toString"), {});
    });
    method(vm, proto, QStringLiteral("valueOf"), [](Vm&, const Value& self, std::span<const Value>) { return self; });

    method(
        vm, proto, QStringLiteral("addProperty"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            Object* o = self.object();
            const QString name = vm.toString(arg(args, 0));
            Object* getter = arg(args, 1).object();
            const Value& setter = arg(args, 2);
            if (!o || name.isEmpty() || !getter) return Value(false);
            if (setter.isObject()) {
                o->defineAccessor(name, getter, setter.asObject());
            } else if (setter.isNull()) {
                // No setter: the property can only be read.
                o->defineAccessor(name, getter, nullptr, propflag::kReadOnly);
            } else {
                return Value(false);
            }
            return Value(true);
        },
        v6);

    method(
        vm, proto, QStringLiteral("hasOwnProperty"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            Object* o = self.object();
            if (!o || args.empty()) return Value(false);
            return Value(ownProperty(o, vm.toString(args[0])) != Own::None);
        },
        v6);
    method(
        vm, proto, QStringLiteral("isPropertyEnumerable"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            Object* o = self.object();
            if (!o || args.empty()) return Value(false);
            return Value(ownProperty(o, vm.toString(args[0])) == Own::Enumerable);
        },
        v6);
    method(
        vm, proto, QStringLiteral("isPrototypeOf"),
        [](Vm&, const Value& self, std::span<const Value> args) -> Value {
            Object* o = self.object();
            Object* v = arg(args, 0).object();
            if (!o || !v) return Value(false);
            int depth = 0;
            for (Object* p = v->proto(); p && depth < 256; p = p->proto(), ++depth)
                if (p == o) return Value(true);
            return Value(false);
        },
        v6);

    method(
        vm, proto, QStringLiteral("watch"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            Object* o = self.object();
            Object* callback = arg(args, 1).object();
            if (!o || args.empty() || !callback) return Value(false);
            o->setWatch(vm.toString(args[0]), callback, arg(args, 2));
            return Value(true);
        },
        v6);
    method(
        vm, proto, QStringLiteral("unwatch"),
        [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
            Object* o = self.object();
            if (!o || args.empty()) return Value(false);
            return Value(o->removeWatch(vm.toString(args[0])));
        },
        v6);

    method(
        vm, ctor, QStringLiteral("registerClass"),
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            if (args.size() < 2) return Value(false);
            const ClassRegistry::Key symbol = ClassRegistry::key(vm.toString(args[0]), vm.swfVersion());
            ClassRegistry* r = registry(vm, true);
            // A function registers, null or undefined takes the class away, anything else is refused.
            if (Object* c = args[1].object(); c && c->isCallable()) {
                r->classes[symbol] = c;
            } else if (args[1].isNullish()) {
                r->classes.erase(symbol);
            } else {
                return Value(false);
            }
            return Value(true);
        });
}

}  // namespace builtins

}  // namespace vistrel::avm1
