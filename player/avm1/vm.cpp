#include "player/avm1/vm.h"

#include <cmath>
#include <utility>

#include <QDateTime>

#include "player/avm1/class_relations.h"
#include "player/avm1/convert.h"
#include "player/avm1/interpreter.h"

namespace vistrel::avm1 {

namespace {

// Prototype chains are walked at most this deep, so a cycle made through __proto__ ends.
constexpr int kMaxProtoDepth = 256;

// Starts the clock and counts nesting for the outermost script; catches what escapes it.
class RunScope {
public:
    explicit RunScope(Vm& vm) : m_vm(vm), m_outermost(vm.runDepth() == 0) {
        if (m_outermost) vm.startClock();
        ++vm.runDepth();
    }
    ~RunScope() { --m_vm.runDepth(); }
    bool outermost() const { return m_outermost; }

private:
    Vm& m_vm;
    bool m_outermost;
};

}  // namespace

double wallClockMs() { return static_cast<double>(QDateTime::currentMSecsSinceEpoch()); }

Vm::Vm(int swfVersion, DisplayHost* host) : m_swfVersion(swfVersion), m_host(host), m_group(versionGroup(swfVersion)) {
    m_heap.setIgnoresCase(swfVersion < 7);
    m_protos.object = m_heap.make<Object>();
    m_protos.function = m_heap.make<Object>(ObjectClass::Function);
    m_protos.function->setProto(m_protos.object);
    m_global = m_heap.make<Object>();
    // The global object inherits nothing: it has no valueOf or toString, so it converts to undefined.
    m_global->setProto(nullptr);
    m_clock.start();
    installCoreBuiltins(*this);
}

// Values a last action list left for the next one must not outlive their machine.
Vm::~Vm() = default;

void Vm::startClock() {
    m_clock.start();
    m_callDepth = 0;
}

void Vm::checkLimits() {
    if (m_runDepth > 0 && m_clock.elapsed() > m_timeLimitMs)
        throw ScriptAbort{QStringLiteral("A script in this movie ran longer than %1 seconds and was stopped.")
                              .arg(m_timeLimitMs / 1000)};
    if (m_heap.size() > kMaxObjects)
        throw ScriptAbort{QStringLiteral("A script in this movie used too much memory and was stopped.")};
}

void Vm::reportAbort(const QString& reason) {
    for (const QString& r : m_aborts)
        if (r == reason) return;
    m_aborts.push_back(reason);
}

namespace {

// A throw nobody catches ends its action list, with a line in the trace.
void reportUncaught(Vm& vm, const Value& value) {
    if (!vm.host()) return;
    QString text;
    try {
        text = vm.toString(value);
    } catch (const ScriptException&) {
        // A value whose toString throws again still gets its line.
    } catch (const ScriptAbort&) {
    }
    vm.host()->trace(QStringLiteral("Warning: Uncaught exception, ") + text);
}

}  // namespace

std::uint32_t Vm::random() {
    // xorshift32: small, fast and the same sequence on every machine.
    std::uint32_t x = m_random;
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    m_random = x;
    return x;
}

namespace {

constexpr Object* BuiltinProtos::* kDisplayProtos[] = {&BuiltinProtos::movieClip, &BuiltinProtos::button,
                                                       &BuiltinProtos::textField};

void copyOwn(const Object& from, Object& to, const QString& except = {}) {
    from.forEachOwn([&](const QString& name, const Property& p) {
        if (name == except) return;
        if (p.isAccessor()) to.defineAccessor(name, p.getter, p.setter, p.flags);
        else to.define(name, p.value, p.flags);
    });
}

}  // namespace

void Vm::collectGarbage(const std::function<void(Heap&)>& markRoots) {
    if (running()) return;
    for (const auto& [global, protos] : {std::pair{m_global, &m_protos}, std::pair{m_otherGlobal, &m_otherProtos}}) {
        if (!global) continue;
        m_heap.mark(global);
        for (Object* p : {protos->object, protos->function, protos->array, protos->string, protos->number,
                          protos->boolean, protos->date, protos->error, protos->movieClip, protos->textField,
                          protos->button})
            m_heap.mark(p);
    }
    if (m_splitGlobals) {
        m_heap.mark(m_splitGlobals);
        for (Object* BuiltinProtos::* slot : kDisplayProtos)
            if (m_splitCopies.*slot) m_heap.mark(m_splitCopies.*slot);
    }
    for (Object* o : m_extraRoots) m_heap.mark(o);
    for (const Value& v : m_carriedStack) m_heap.mark(v);
    if (markRoots) markRoots(m_heap);
    m_heap.sweep();
}

// ---- version groups ----

void Vm::splitGroups() {
    // Scripts may change the built-ins before a movie of the other group arrives; that group must not
    // see those changes, so what it starts from is saved now.
    m_splitGlobals = m_heap.make<Object>();
    m_splitGlobals->setProto(nullptr);
    copyOwn(*m_global, *m_splitGlobals);
    m_splitFrom = m_protos;
    for (Object* BuiltinProtos::* slot : kDisplayProtos) {
        if (!(m_protos.*slot)) continue;
        Object* copy = m_heap.make<Object>();
        copyOwn(*(m_protos.*slot), *copy, QStringLiteral("constructor"));
        m_splitCopies.*slot = copy;
    }
    m_groupsSplit = true;
}

BuiltinProtos& Vm::protosFor(int version) {
    if (!m_groupsSplit || versionGroup(version) == m_group) return m_protos;
    if (!m_otherGlobal) makeOtherGroup();
    return m_otherProtos;
}

void Vm::enterGroup(int group) {
    if (!m_otherGlobal) makeOtherGroup();
    std::swap(m_global, m_otherGlobal);
    std::swap(m_protos, m_otherProtos);
    m_group = group;
}

void Vm::makeOtherGroup() {
    Object* const global = m_global;
    const BuiltinProtos protos = m_protos;
    // The native table keeps the first set's functions (ASnative reaches the same behaviour either way).
    const auto natives = m_nativeTable;
    m_protos = {};
    m_protos.object = m_heap.make<Object>();
    m_protos.function = m_heap.make<Object>(ObjectClass::Function);
    m_protos.function->setProto(m_protos.object);
    m_global = m_heap.make<Object>();
    m_global->setProto(nullptr);
    installCoreBuiltins(*this);
    m_splitGlobals->forEachOwn([&](const QString& name, const Property& p) {
        if (m_global->hasOwn(name)) return;
        Object* ctor = p.isAccessor() ? nullptr : p.value.object();
        const Property* protoProp = ctor ? ctor->findOwn(QStringLiteral("prototype")) : nullptr;
        Object* classProto = protoProp ? protoProp->value.object() : nullptr;
        for (Object* BuiltinProtos::* slot : kDisplayProtos) {
            if (!classProto || classProto != m_splitFrom.*slot || !(m_splitCopies.*slot)) continue;
            // A class of this set, whose prototype holds the same members and inherits this set's Object.
            Object* copy = m_splitCopies.*slot;
            copy->setProto(m_protos.object);
            m_global->define(name, Value(makeClass(name, ctor->native(), copy)), p.flags);
            m_protos.*slot = copy;
            return;
        }
        if (p.isAccessor()) m_global->defineAccessor(name, p.getter, p.setter, p.flags);
        else m_global->define(name, p.value, p.flags);
    });
    m_splitGlobals = nullptr;
    m_splitFrom = m_splitCopies = {};
    m_otherGlobal = m_global;
    m_otherProtos = m_protos;
    m_global = global;
    m_protos = protos;
    m_nativeTable = natives;
}

// ---- running code ----

void Vm::runActions(const ActionCode& code, Object* clip) {
    if (!code) return;
    RunScope scope(*this);
    try {
        interpretActionList(*this, code, clip);
    } catch (const ScriptException& e) {
        // An uncaught throw ends this list only, with a line in the trace.
        reportUncaught(*this, e.value);
    } catch (const ScriptAbort& abort) {
        if (!scope.outermost()) throw;
        reportAbort(abort.reason);
    }
}

Value Vm::call(const Value& function, const Value& thisValue, std::span<const Value> args) {
    Object* f = function.object();
    if (!f || !f->isCallable()) return {};
    RunScope scope(*this);
    auto invoke = [&]() -> Value {
        if (++m_callDepth > kMaxCallDepth) {
            m_callDepth = 0;
            throw ScriptAbort{QStringLiteral("256 levels of recursion were exceeded in one action list.")};
        }
        struct DepthGuard {
            int& d;
            ~DepthGuard() {
                if (d > 0) --d;
            }
        } guard{m_callDepth};
        if (f->native()) {
            m_constructPending = false;
            m_superHomePending = nullptr;
            return f->native()(*this, thisValue, args);
        }
        return interpretFunction(*this, f, thisValue, args);
    };
    if (!scope.outermost()) return invoke();
    try {
        return invoke();
    } catch (const ScriptException& e) {
        reportUncaught(*this, e.value);
    } catch (const ScriptAbort& abort) {
        reportAbort(abort.reason);
    }
    return {};
}

Value Vm::callMethod(const Value& object, const QString& name, std::span<const Value> args) {
    const Value method = getMember(object, name);
    if (!method.isObject() || !method.asObject()->isCallable()) return {};
    return call(method, object, args);
}

Value Vm::construct(const Value& constructor, std::span<const Value> args) {
    Object* ctor = constructor.object();
    // Only functions construct: `new` on a plain object (Key, System) gives undefined.
    if (!ctor || (!ctor->isCallable() && !ctor->nativeConstructor())) return {};
    if (ctor->nativeConstructor()) {
        RunScope scope(*this);
        return ctor->nativeConstructor()(*this, Value(), args);
    }
    Object* object = makeObject();
    const Value prototype = getMember(Value(ctor), QStringLiteral("prototype"));
    object->setProto(prototype.object());
    object->define(QStringLiteral("__constructor__"), Value(ctor), propflag::kDontEnum);
    if (m_swfVersion < 7) object->define(QStringLiteral("constructor"), Value(ctor), propflag::kDontEnum);
    if (ctor->isCallable()) {
        m_constructPending = true;
        call(Value(ctor), Value(object), args);
        m_constructPending = false;
    }
    return Value(object);
}

// ---- member access ----

Property* Vm::findProperty(Object* object, const QString& name, Object** owner) {
    int depth = 0;
    Object* o = object;
    for (; o && depth < kMaxProtoDepth; o = o->proto(), ++depth) {
        Property* p = o->findOwn(name);
        if (p && !hiddenFor(p->flags, m_swfVersion)) {
            if (owner) *owner = o;
            return p;
        }
    }
    // A lookup that runs off the end of the allowed chain (a prototype cycle) ends the whole script,
    // rather than answering undefined.
    if (o) throw ScriptAbort{QStringLiteral("A prototype chain in this movie is too long; the script was stopped.")};
    return nullptr;
}

bool Vm::hasProperty(Object* object, const QString& name) {
    if (!object) return false;
    Value ignored;
    if (object->getSpecial(*this, name, ignored)) return true;
    return findProperty(object, name) != nullptr;
}

namespace {

// One more call of a getter or setter, for as long as it runs. The same one runs nested at most
// this many times (getter and setter calls together).
constexpr int kMaxAccessorDepth = 65;

// Calls now running per getter/setter definition (its property's place), for every machine of the thread.
thread_local std::unordered_map<const void*, int> accessorDepths;

class AccessorEntry {
public:
    explicit AccessorEntry(const void* id) : m_depths(accessorDepths), m_id(id) {
        int& d = m_depths[id];
        m_entered = d < kMaxAccessorDepth;
        if (m_entered) ++d;
        else if (d == 0) m_depths.erase(id);
    }
    ~AccessorEntry() {
        if (!m_entered) return;
        auto it = m_depths.find(m_id);
        if (it != m_depths.end() && --it->second <= 0) m_depths.erase(it);
    }
    AccessorEntry(const AccessorEntry&) = delete;
    AccessorEntry& operator=(const AccessorEntry&) = delete;
    bool entered() const { return m_entered; }

private:
    std::unordered_map<const void*, int>& m_depths;
    const void* m_id;
    bool m_entered = false;
};

}  // namespace

Value Vm::getMember(const Value& objectValue, const QString& name) { return lookupMember(objectValue, name, true); }

Value Vm::lookupMember(const Value& objectValue, const QString& name, bool resolve) {
    Object* object = objectValue.object();
    if (!object) {
        if (objectValue.isNullish()) return {};
        if (objectValue.isString() && name == u"length") return Value(static_cast<double>(objectValue.asString().size()));
        object = toObject(objectValue);
        if (!object) return {};
    }
    Value special;
    if (object->getSpecial(*this, name, special)) return special;
    if (name == u"__proto__") return object->proto() ? Value(object->proto()) : Value();
    if (const Property* p = findProperty(object, name)) {
        if (p->getter) {
            AccessorEntry entry(p);
            // A getter already running its limit of times gives the value last stored instead.
            if (!entry.entered()) return p->value;
            return call(Value(p->getter), objectValue, {});
        }
        return p->value;
    }
    // __resolve answers for names nothing else has.
    if (resolve && name != u"__resolve") {
        if (const Property* resolver = findProperty(object, QStringLiteral("__resolve"))) {
            if (resolver->value.isObject() && resolver->value.asObject()->isCallable()) {
                const Value arg(name);
                return call(resolver->value, objectValue, std::span<const Value>(&arg, 1));
            }
        }
    }
    return {};
}

void Vm::setMember(const Value& objectValue, const QString& name, const Value& value) {
    Object* object = objectValue.object();
    if (!object) return;
    // A property with an empty name is never stored.
    if (name.isEmpty()) return;
    if (name == u"__proto__") {
        object->setProto(value.object());
        return;
    }
    Value newValue = value;
    if (Object::Watch* w = object->findWatch(name)) {
        const Value watch = Value(w->callback);
        // The watcher sees the stored value only: computed members and getters read as undefined.
        const Property* stored = findProperty(object, name);
        const Value oldValue = stored && !stored->isAccessor() ? stored->value : Value();
        const Value args[] = {Value(name), oldValue, newValue, w->userData};
        try {
            newValue = call(watch, objectValue, args);
        } catch (const ScriptException&) {
            // A watcher that throws leaves the property undefined; the throw goes on to the script.
            storeMember(object, objectValue, name, Value());
            throw;
        }
    }
    storeMember(object, objectValue, name, newValue);
}

void Vm::storeMember(Object* object, const Value& objectValue, const QString& name, const Value& newValue) {
    if (object->setSpecial(*this, name, newValue)) return;
    Object* owner = nullptr;
    Property* p = findProperty(object, name, &owner);
    if (p && p->isAccessor()) {
        const Object* setter = p->setter;
        const Object* getter = p->getter;
        {
            AccessorEntry entry(p);
            if (p->setter && entry.entered()) {
                const Value arg = newValue;
                call(Value(p->setter), objectValue, std::span<const Value>(&arg, 1));
            }
        }
        // The assigned value is kept too, once the setter is done; a getter at its limit reads it.
        Property* after = findProperty(object, name, &owner);
        if (after && after->getter == getter && after->setter == setter) after->value = newValue;
        return;
    }
    if (p && owner == object) {
        if (!(p->flags & propflag::kReadOnly)) p->value = newValue;
        return;
    }
    object->define(name, newValue);
}

bool Vm::deleteMember(const Value& objectValue, const QString& name) {
    Object* object = objectValue.object();
    if (!object) return false;
    if (const auto removed = object->removeSpecial(name)) return *removed;
    return object->removeOwn(name);
}

// ---- conversions ----

// Conversion asks one method only: valueOf for numbers (toString for dates added with +), and a
// method that is missing gives undefined rather than trying the other one. A method that answers with
// the object itself (Object.prototype.valueOf) leaves the object as it is, so `{} + 1` is NaN while
// `{} + "a"` uses toString; so does a method answering with another object (a later number conversion
// asks valueOf again). Clips stay objects too. Dates compare, subtract and convert by their time.
Value Vm::toPrimitive(const Value& v, bool preferString, bool forAdd) {
    Object* o = v.object();
    if (!o) return v;
    if (preferString) return Value(toString(v));
    if ((o->currentDisplay() || o->vacant()) && o->objectClass() != ObjectClass::Object) return v;
    const bool dateString = forAdd && o->objectClass() == ObjectClass::Date;
    // Conversions look for valueOf and toString without asking __resolve.
    const Value method = lookupMember(v, dateString ? QStringLiteral("toString") : QStringLiteral("valueOf"), false);
    if (!method.isObject() || !method.asObject()->isCallable()) return {};
    const Value result = call(method, v, {});
    return result.isPrimitive() ? result : v;
}

double Vm::toNumber(const Value& v) {
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return m_swfVersion >= 7 ? std::nan("") : 0.0;
    case Value::Type::Boolean: return v.asBool() ? 1.0 : 0.0;
    case Value::Type::Number: return v.asNumber();
    case Value::Type::String: return stringToNumber(v.asString(), m_swfVersion);
    case Value::Type::Object: {
        const Value p = toPrimitive(v);
        // An object that stays one is NaN, except in version 4 rules, where it counts as 0 as any
        // non-numeric value does.
        if (p.isObject()) {
            Object* o = p.asObject();
            const bool clip = (o->currentDisplay() || o->vacant()) && o->objectClass() != ObjectClass::Object;
            return m_swfVersion < 5 && !clip ? 0.0 : std::nan("");
        }
        return toNumber(p);
    }
    }
    return std::nan("");
}

QString Vm::toString(const Value& v) {
    switch (v.type()) {
    case Value::Type::Undefined: return m_swfVersion >= 7 ? QStringLiteral("undefined") : QString();
    case Value::Type::Null: return QStringLiteral("null");
    case Value::Type::Boolean: return v.asBool() ? QStringLiteral("true") : QStringLiteral("false");
    case Value::Type::Number: return numberToString(v.asNumber());
    case Value::Type::String: return v.asString();
    case Value::Type::Object: {
        Object* o = v.asObject();
        // Clips, text fields and buttons turn into their path.
        if (o->currentDisplay() && o->objectClass() != ObjectClass::Object && m_host) return m_host->targetPath(o);
        if (o->vacant()) return QString();
        // Only a string from toString counts; anything else prints as the object's kind.
        const Value method = lookupMember(v, QStringLiteral("toString"), false);
        if (method.isObject() && method.asObject()->isCallable()) {
            const Value result = call(method, v, {});
            if (result.isString()) return result.asString();
        }
        return o->isCallable() ? QStringLiteral("[type Function]") : QStringLiteral("[type Object]");
    }
    }
    return {};
}

bool Vm::toBoolean(const Value& v) const {
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return false;
    case Value::Type::Boolean: return v.asBool();
    case Value::Type::Number: return !std::isnan(v.asNumber()) && v.asNumber() != 0;
    case Value::Type::String: {
        if (m_swfVersion >= 7) return !v.asString().isEmpty();
        const double n = stringToNumber(v.asString(), m_swfVersion);
        return !std::isnan(n) && n != 0;
    }
    case Value::Type::Object: return true;
    }
    return false;
}

Object* Vm::toObject(const Value& v) {
    switch (v.type()) {
    case Value::Type::Undefined:
    case Value::Type::Null: return nullptr;
    case Value::Type::Object: return v.asObject();
    case Value::Type::Boolean: {
        Object* o = m_heap.make<Object>(ObjectClass::Boolean);
        o->setProto(m_protos.boolean ? m_protos.boolean : m_protos.object);
        o->setPrimitive(v);
        return o;
    }
    case Value::Type::Number: {
        Object* o = m_heap.make<Object>(ObjectClass::Number);
        o->setProto(m_protos.number ? m_protos.number : m_protos.object);
        o->setPrimitive(v);
        return o;
    }
    case Value::Type::String: {
        Object* o = m_heap.make<Object>(ObjectClass::String);
        o->setProto(m_protos.string ? m_protos.string : m_protos.object);
        o->setPrimitive(v);
        o->define(QStringLiteral("length"), Value(static_cast<double>(v.asString().size())),
                  propflag::kDontEnum | propflag::kDontDelete | propflag::kReadOnly);
        return o;
    }
    }
    return nullptr;
}

QString Vm::typeOf(const Value& v) const {
    switch (v.type()) {
    case Value::Type::Undefined: return QStringLiteral("undefined");
    case Value::Type::Null: return QStringLiteral("null");
    case Value::Type::Boolean: return QStringLiteral("boolean");
    case Value::Type::Number: return QStringLiteral("number");
    case Value::Type::String: return QStringLiteral("string");
    case Value::Type::Object: {
        const Object* o = v.asObject();
        if (o->objectClass() == ObjectClass::MovieClip) return QStringLiteral("movieclip");
        if (o->isCallable()) return QStringLiteral("function");
        return QStringLiteral("object");
    }
    }
    return QStringLiteral("undefined");
}

bool Vm::instanceOf(const Value& v, Object* constructor) {
    Object* o = v.object();
    if (!o || !constructor) return false;
    return inheritsFrom(o, classPrototype(constructor).object());
}

bool Vm::looseEquals(const Value& a, const Value& b) {
    using T = Value::Type;
    // Version 5 compares two objects by their primitive values (two boxed 1s are equal); objects that
    // stay objects are compared by identity.
    if (m_swfVersion <= 5 && a.isObject() && b.isObject() && a.asObject() != b.asObject()) {
        const Value pa = toPrimitive(a);
        const Value pb = toPrimitive(b);
        if (pa.isObject() || pb.isObject()) return pa.isObject() && pb.isObject() && pa.asObject() == pb.asObject();
        return looseEquals(pa, pb);
    }
    if (a.type() == b.type()) {
        // NaN is equal to NaN here.
        if (a.isNumber()) return a.asNumber() == b.asNumber() || (std::isnan(a.asNumber()) && std::isnan(b.asNumber()));
        return a.strictEquals(b);
    }
    // An object meets a primitive (undefined and null too) as its primitive value: an object without
    // valueOf equals undefined.
    if (a.isObject() && !b.isObject()) {
        const Value p = toPrimitive(a);
        return p.isObject() ? false : looseEquals(p, b);
    }
    if (b.isObject() && !a.isObject()) {
        const Value p = toPrimitive(b);
        return p.isObject() ? false : looseEquals(a, p);
    }
    if (a.isNullish() && b.isNullish()) return true;
    if (a.isNullish() || b.isNullish()) return false;
    // A NaN parsed from a string equals nothing.
    if (a.type() == T::Number && b.type() == T::String) return a.asNumber() == toNumber(b);
    if (a.type() == T::String && b.type() == T::Number) return toNumber(a) == b.asNumber();
    if (a.isBoolean()) return looseEquals(Value(a.asBool() ? 1.0 : 0.0), b);
    if (b.isBoolean()) return looseEquals(a, Value(b.asBool() ? 1.0 : 0.0));
    return false;
}

// ---- making objects ----

Object* Vm::makeObject() {
    Object* o = m_heap.make<Object>();
    o->setProto(m_protos.object);
    return o;
}

ArrayObject* Vm::makeArray(std::vector<Value> elements) {
    ArrayObject* a = m_heap.make<ArrayObject>();
    a->setProto(m_protos.array ? m_protos.array : m_protos.object);
    a->assign(std::move(elements));
    return a;
}

Object* Vm::makeFunction(const QString& name, NativeFunction f, int length) {
    Object* o = m_heap.make<Object>(ObjectClass::Function);
    o->setProto(m_protos.function);
    o->setNative(std::move(f));
    Q_UNUSED(name);
    Q_UNUSED(length);
    return o;
}

Object* Vm::makeClass(const QString& name, NativeFunction constructor, Object* prototype) {
    Object* ctor = makeFunction(name, std::move(constructor));
    if (!prototype) prototype = makeObject();
    ctor->define(QStringLiteral("prototype"), Value(prototype), propflag::kDontEnum | propflag::kDontDelete);
    prototype->define(QStringLiteral("constructor"), Value(ctor), propflag::kDontEnum | propflag::kDontDelete);
    markNativeClass(ctor);
    return ctor;
}

void Vm::markNativeClass(Object* ctor) {
    // Built-in classes carry their own constructor property, naming Function (script functions do not).
    const Property* function = m_global ? m_global->findOwn(QStringLiteral("Function")) : nullptr;
    if (function && function->value.isObject())
        ctor->define(QStringLiteral("constructor"), function->value, propflag::kDontEnum | propflag::kDontDelete);
}

Object* Vm::defineMethod(Object* target, const QString& name, NativeFunction f, std::uint16_t flags) {
    Object* fn = makeFunction(name, std::move(f));
    target->define(name, Value(fn), flags | propflag::kDontEnum);
    return fn;
}

}  // namespace vistrel::avm1
