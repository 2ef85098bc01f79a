#include "player/avm1/class_relations.h"

#include <algorithm>
#include <vector>

#include "player/avm1/vm.h"

namespace vistrel::avm1 {

namespace {

// A clip whose display object has gone (and nothing took its place) has no properties and no chain.
bool isDeadClip(const Object* o) { return o->objectClass() == ObjectClass::MovieClip && o->currentDisplay() == nullptr; }

bool meetsInterface(Object* proto, const Object* target) {
    if (proto->interfaces().empty()) return false;
    // Interfaces may implement each other in a circle: visit each once, and not without end.
    std::vector<Object*> pending(proto->interfaces().begin(), proto->interfaces().end());
    std::vector<Object*> seen;
    while (!pending.empty() && seen.size() < 4096) {
        Object* i = pending.back();
        pending.pop_back();
        if (!i || std::find(seen.begin(), seen.end(), i) != seen.end()) continue;
        if (i == target) return true;
        seen.push_back(i);
        pending.insert(pending.end(), i->interfaces().begin(), i->interfaces().end());
    }
    return false;
}

constexpr int kMaxChain = 256;

}  // namespace

Value classPrototype(Object* cls) {
    if (!cls || isDeadClip(cls)) return {};
    const Property* p = cls->findOwn(QStringLiteral("prototype"));
    return p ? p->value : Value();
}

bool inheritsFrom(Object* o, Object* target) {
    if (!o || !target || target->objectClass() == ObjectClass::MovieClip || isDeadClip(o)) return false;
    int depth = 0;
    for (Object* p = o->proto(); p && depth < kMaxChain; p = p->proto(), ++depth) {
        if (p == target || meetsInterface(p, target)) return true;
    }
    return false;
}

bool instanceOfAction(Vm& vm, const Value& v, const Value& cls, bool cast) {
    // Strings become objects through whatever _global.String is now (a movie may have replaced it).
    auto coerce = [&vm](const Value& x) -> Object* {
        if (x.isString()) {
            const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("String"));
            if (ctor.object() && ctor.asObject()->isCallable()) {
                const Value args[] = {x};
                return vm.construct(ctor, args).object();
            }
        }
        return vm.toObject(x);
    };
    if (v.isNullish()) return false;
    if (v.isPrimitive()) {
        // Only the cast makes the primitive an object (and still finds no match).
        if (cast) coerce(v);
        return false;
    }
    Object* klass = cls.isPrimitive() ? coerce(cls) : cls.asObject();
    if (!klass) return false;
    Value proto = classPrototype(klass);
    if (proto.isString()) proto = Value(coerce(proto));
    return inheritsFrom(v.asObject(), proto.object());
}

void implementInterfaces(Vm&, const Value& constructor, std::span<const Value> interfaces) {
    Object* proto = classPrototype(constructor.object()).object();
    // Declaring none changes nothing; declaring only things that are not classes still counts as a first
    // declaration.
    if (!proto || interfaces.empty() || !proto->interfaces().empty()) return;
    for (const Value& i : interfaces)
        if (Object* ip = classPrototype(i.object()).object()) proto->interfaces().push_back(ip);
    // Then a null entry is left, so a later declaration is still ignored.
    if (proto->interfaces().empty()) proto->interfaces().push_back(nullptr);
}

}  // namespace vistrel::avm1
