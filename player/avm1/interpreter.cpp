// The action loop. Actions are decoded straight from the code bytes every time they run (no decoded
// action lists), and one operand stack per thread holds the values and registers of every running
// frame, so a call allocates nothing but its activation object when it needs one.
#include "player/avm1/interpreter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <iterator>
#include <optional>
#include <utility>

#include <QStringList>

#include "player/avm1/convert.h"
#include "player/avm1/class_relations.h"

namespace vistrel::avm1 {

namespace {

// Operand stack and registers of all frames running on this thread; each frame owns a tail of it.
thread_local std::vector<Value> t_stack;

constexpr std::uint16_t kPreloadThis = 0x0001, kSuppressThis = 0x0002, kPreloadArguments = 0x0004,
                        kSuppressArguments = 0x0008, kPreloadSuper = 0x0010, kSuppressSuper = 0x0020,
                        kPreloadRoot = 0x0040, kPreloadParent = 0x0080, kPreloadGlobal = 0x0100;

// Longest `with` nesting accepted; deeper blocks are skipped.
constexpr std::size_t kMaxWithDepth = 64;

// Reads the body of one action record; every read is checked against the body's end.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : m_p(data), m_end(data + size) {}
    bool ok() const { return m_ok; }
    bool atEnd() const { return m_p >= m_end; }
    std::uint8_t u8() {
        if (m_end - m_p < 1) return fail();
        return *m_p++;
    }
    std::uint16_t u16() {
        if (m_end - m_p < 2) return fail();
        const std::uint16_t v = static_cast<std::uint16_t>(m_p[0] | (m_p[1] << 8));
        m_p += 2;
        return v;
    }
    std::uint32_t u32() {
        if (m_end - m_p < 4) return fail();
        const std::uint32_t v = static_cast<std::uint32_t>(m_p[0]) | (static_cast<std::uint32_t>(m_p[1]) << 8) |
                                (static_cast<std::uint32_t>(m_p[2]) << 16) |
                                (static_cast<std::uint32_t>(m_p[3]) << 24);
        m_p += 4;
        return v;
    }
    // A zero-terminated string: UTF-8 from version 6, the 8-bit encoding before.
    QString str(int version) {
        const void* nul = std::memchr(m_p, 0, static_cast<std::size_t>(m_end - m_p));
        if (!nul) {
            fail();
            return {};
        }
        const auto* z = static_cast<const std::uint8_t*>(nul);
        const auto n = static_cast<qsizetype>(z - m_p);
        QString s = version >= 6 ? QString::fromUtf8(reinterpret_cast<const char*>(m_p), n)
                                 : QString::fromLatin1(reinterpret_cast<const char*>(m_p), n);
        m_p = z + 1;
        return s;
    }

private:
    std::uint8_t fail() {
        m_ok = false;
        m_p = m_end;
        return 0;
    }
    const std::uint8_t* m_p;
    const std::uint8_t* m_end;
    bool m_ok = true;
};

// Stop: the end action or damaged code; the whole list or function ends, without a return value.
enum class Flow { Normal, Return, JumpOut, Stop };
struct Outcome {
    Flow flow = Flow::Normal;
    std::size_t target = 0;   // JumpOut: where the enclosing block goes on
};
constexpr Outcome kStop{Flow::Stop, 0};

struct Frame {
    Frame(Vm& vm, const std::vector<std::uint8_t>& bytes, std::size_t begin, std::size_t end,
          std::span<Object* const> captured, Object* base, Value self)
        : vm(vm), version(vm.swfVersion()), bytes(bytes), codeBegin(begin), codeEnd(end), captured(captured),
          baseClip(base), origTarget(base), target(base), thisValue(std::move(self)) {}
    Vm& vm;
    int version;
    const std::vector<std::uint8_t>& bytes;
    ActionCode code;                        // owns `bytes`; functions defined here share it
    std::size_t codeBegin, codeEnd;         // the whole list or function body
    std::span<Object* const> captured;      // scope at definition (or [global, clip]), outermost first
    Object* activation = nullptr;           // locals of a function, made when first needed
    std::vector<Object*> withs;             // `with` objects, innermost last
    Object* baseClip;                       // the timeline the code belongs to
    Object* origTarget;                     // the target before any SetTarget
    Object* haltWhenRemoved = nullptr;      // a frame or event script stops once this clip has left
    // A function whose timeline was there when it began stops after a call once that timeline has left.
    Object* haltAfterCall = nullptr;
    Object* target;
    // A SetTarget that named nothing: variables then live on `target` (the root, or the original
    // target for an undefined value from version 7 on) but timeline actions have no clip to act on.
    bool targetInvalid = false;
    Value thisValue;
    std::size_t regBase = 0;
    std::size_t regCount = 0;
    std::size_t stackBase = 0;
    std::shared_ptr<const std::vector<QString>> constants;
    bool isFunction = false;
    Object* callee = nullptr;
    std::span<const Value> args;
    ArrayObject* arguments = nullptr;
    bool thisVisible = true, argumentsVisible = true, superVisible = true;
    bool superReady = false;
    Object* superObject = nullptr;
    Object* superHome = nullptr;   // set: the prototype the function was found on by a call through super
    Value returnValue;
    Frame* caller = nullptr;
    bool constructing = false;   // a function run by `new`
};

thread_local Frame* t_currentFrame = nullptr;

// Set just before a call action runs a script function, so the callee can tell a call written in the
// code from one the machine makes by itself (conversions, getters, watchers).
thread_local bool t_explicitCall = false;

// Set by a call of an object itself (a method call with no name): the callee's `this` then stays
// undefined instead of falling back to its timeline.
thread_local bool t_thisUnset = false;

Value callFromCode(Vm& vm, const Value& fn, const Value& thisValue, std::span<const Value> args) {
    const Object* o = fn.object();
    t_explicitCall = o && o->script();
    const Value result = vm.call(fn, thisValue, args);
    t_explicitCall = false;
    return result;
}

// Register `reg` as code sees it: a function's own registers, then (up to the four every action list
// has) those of the action list it was called from; null when there is none, which reads as
// undefined and takes no store.
Value* registerSlot(Frame& f, unsigned reg) {
    if (reg < f.regCount) return &t_stack[f.regBase + reg];
    if (!f.isFunction || reg >= 4) return nullptr;
    for (Frame* g = f.caller; g; g = g->caller)
        if (!g->isFunction) return reg < g->regCount ? &t_stack[g->regBase + reg] : nullptr;
    return nullptr;
}

bool sameName(const Frame& f, const QString& a, QLatin1StringView b) {
    return a.compare(b, f.version < 7 ? Qt::CaseInsensitive : Qt::CaseSensitive) == 0;
}

// ---- stack ----

void push(Value v) { t_stack.push_back(std::move(v)); }

Value pop(const Frame& f) {
    if (t_stack.size() <= f.stackBase) return {};
    Value v = std::move(t_stack.back());
    t_stack.pop_back();
    return v;
}

std::size_t available(const Frame& f) { return t_stack.size() - f.stackBase; }

// A count popped for InitArray, CallFunction and the like: never more than the values present, so a
// hostile count cannot make the machine build huge lists of undefined.
std::size_t popCount(Frame& f) {
    const double n = f.vm.toNumber(pop(f));
    if (!(n > 0)) return 0;
    return static_cast<std::size_t>(std::min(n, static_cast<double>(available(f))));
}

// Counts for InitArray and InitObject: NaN counts as none, a negative or oversized one is invalid.
bool validInitCount(double& count) {
    if (std::isnan(count)) count = 0;
    count = std::trunc(count);
    return count >= 0 && count <= 2147483647.0;
}

// Pops `n` arguments; the first popped is the first argument.
std::vector<Value> popArgs(Frame& f, std::size_t n) {
    std::vector<Value> args;
    args.reserve(n);
    for (std::size_t i = 0; i < n; ++i) args.push_back(pop(f));
    return args;
}

// ---- scope and variables ----

Object* ensureActivation(Frame& f) {
    if (!f.activation) f.activation = f.vm.heap().make<Object>();
    return f.activation;
}

// Looks `name` up on one scope object: computed members (a clip's properties and children), then the
// prototype chain.
bool lookupIn(Frame& f, Object* o, const QString& name, Value& out) {
    if (!o) return false;
    if (o->getSpecial(f.vm, name, out)) return true;
    Property* p = f.vm.findProperty(o, name);
    if (!p) return false;
    out = p->isAccessor() ? f.vm.getMember(Value(o), name) : p->value;
    return true;
}

// The scope chain entry at `i` (0 outermost) with SetTarget applied: the timeline of the list follows
// the target.
Object* capturedAt(const Frame& f, std::size_t i) {
    Object* o = f.captured[i];
    if (o == f.origTarget && f.target != f.origTarget) return f.target;
    return o;
}

bool isClip(const Object* o) {
    return o && o->display() && o->objectClass() != ObjectClass::Object;
}

// The clip timeline actions (play, gotoAndStop, getProperty of "") act on: none after a failed SetTarget.
Object* timelineTarget(const Frame& f) { return f.targetInvalid ? nullptr : f.target; }

// Calls f(object) for each scope object, innermost first, until f returns true.
template <class F> bool forEachScope(Frame& f, F&& fn) {
    for (std::size_t i = f.withs.size(); i-- > 0;)
        if (fn(f.withs[i])) return true;
    if (f.activation && fn(f.activation)) return true;
    for (std::size_t i = f.captured.size(); i-- > 0;)
        if (Object* o = capturedAt(f, i); o && fn(o)) return true;
    return false;
}

Value rootOf(Frame& f) {
    DisplayHost* host = f.vm.host();
    Object* from = f.target ? f.target : f.baseClip;
    if (!host || !from) return {};
    return Value(host->resolveTarget(from, QStringLiteral("_root")));
}

// Version 4 target paths know slashes only: a leading slash starts at the root, a level name may open the
// path (whatever follows its number up to the first slash), ".." is the parent, and every other step is a
// child's whole name; special names and dot or colon steps lead nowhere.
Object* resolveTarget4(Frame& f, const QString& path) {
    DisplayHost* host = f.vm.host();
    Object* from = f.target ? f.target : f.baseClip;
    if (!host || !from) return nullptr;
    if (path.isEmpty()) return from;
    const QStringList steps = path.split(u'/');
    Object* cur = from;
    qsizetype i = 0;
    if (path.startsWith(u'/')) {
        cur = rootOf(f).object();
        i = 1;
    } else if (const auto level = levelOfName(steps[0], true)) {
        cur = *level >= 0 ? host->level(*level) : nullptr;
        i = 1;
    }
    for (; cur && i < steps.size(); ++i) {
        const QString& step = steps[i];
        // A slash may end the path; two in a row lead nowhere.
        if (step.isEmpty()) return i + 1 == steps.size() ? cur : nullptr;
        if (step == u"..") {
            cur = host->resolveTarget(cur, QStringLiteral("_parent"));
            continue;
        }
        if (step.contains(u':') || step.contains(u'.') || levelOfName(step, true) ||
            step.compare(u"this", Qt::CaseInsensitive) == 0 || step.compare(u"_root", Qt::CaseInsensitive) == 0 ||
            step.compare(u"_parent", Qt::CaseInsensitive) == 0)
            return nullptr;
        cur = host->resolveTarget(cur, step);
    }
    return cur;
}

std::optional<int> levelNumber(const Frame& f, const QString& name) {
    const auto n = levelOfName(name, f.version < 7);
    if (!n || *n < 0) return std::nullopt;
    return *n;
}

// What `super` gives a method: calling it runs the class constructor above, and methods called on it
// run with the method's own `this`; it keeps both so it works wherever a script stores it.
class SuperObject : public Object {
public:
    Value self;
    Object* constructorFrom = nullptr;   // where `__constructor__` is looked up from, when called
    Object* start = nullptr;   // the prototype super stands for: lookups begin there
    // The constructor super() runs, read at the call: a getter there runs then, not when `super` is named.
    Value constructor(Vm& vm) {
        Property* c = constructorFrom ? vm.findProperty(constructorFrom, QStringLiteral("__constructor__")) : nullptr;
        if (!c) return {};
        return c->isAccessor() ? vm.call(Value(c->getter), self, {}) : c->value;
    }
    // Its __proto__ is the prototype above the one it stands for.
    bool getSpecial(Vm&, const QString& name, Value& out) override {
        if (name != u"__proto__") return false;
        out = start && start->proto() ? Value(start->proto()) : Value();
        return true;
    }
    void markChildren(Heap& heap) override {
        heap.mark(self);
        heap.mark(constructorFrom);
        heap.mark(start);
    }
};

SuperObject* asSuper(const Value& v) {
    Object* o = v.object();
    return o && !o->isCallable() ? dynamic_cast<SuperObject*>(o) : nullptr;
}

// The super object of a method: lookups on it start at the prototype above the object the running
// function was found on (this itself for a function stored on it), and calling it runs the
// `__constructor__` found from there up, with the same `this`. In a constructor (its prototype is in
// this's chain) lookups start above that prototype and the constructor comes from the prototype
// itself. A clip in that place gives a super with nothing on it; a primitive __proto__ is never boxed.
void prepareSuper(Frame& f) {
    if (f.superReady) return;
    f.superReady = true;
    Object* self = f.thisValue.object();
    if (!self || !f.callee) return;
    Object* superProto = nullptr;
    Object* constructorFrom = nullptr;
    bool found = false;
    const Property* ownPrototype = f.callee->findOwn(QStringLiteral("prototype"));
    const Object* classPrototype = ownPrototype ? ownPrototype->value.object() : nullptr;
    int depth = 0;
    for (Object* p = self->proto(); classPrototype && p && depth < 256; p = p->proto(), ++depth) {
        if (p == classPrototype) {
            superProto = p->proto();
            constructorFrom = p;
            found = true;
            break;
        }
    }
    if (!found && f.superHome) {
        superProto = f.superHome->proto();
        found = true;
    }
    // A function stored on this itself counts as found on this's prototype.
    depth = 0;
    for (Object* p = self->proto(); !found && p && depth < 256; p = p->proto(), ++depth) {
        p->forEachOwn([&](const QString&, const Property& prop) {
            if (!found && prop.value.object() == f.callee) found = true;
        });
        if (found) superProto = p->proto();
    }
    bool clipHome = false;
    if (!found) {
        superProto = self->proto() ? self->proto()->proto() : nullptr;
        clipHome = isClip(self->proto());
        // As in a constructor, the constructor is looked up from the prototype itself.
        constructorFrom = self->proto();
    }
    if (!constructorFrom) constructorFrom = superProto;
    SuperObject* super = f.vm.heap().make<SuperObject>();
    super->self = f.thisValue;
    f.superObject = super;
    if (!superProto || isClip(superProto) || clipHome) return;
    super->start = superProto;
    super->setProto(superProto);
    super->constructorFrom = constructorFrom;
}

// Names every scope answers before the chain is searched.
bool lookupSpecial(Frame& f, const QString& name, Value& out) {
    if (name.isEmpty() || (name[0] != u'_' && name[0] != u't' && name[0] != u'T' && name[0] != u's' &&
                           name[0] != u'S'))
        return false;
    if (sameName(f, name, QLatin1StringView("super"))) {
        if (!f.isFunction || !f.superVisible) return false;
        prepareSuper(f);
        out = Value(f.superObject);
        if (!f.superObject) out = Value();
        return true;
    }
    if (sameName(f, name, QLatin1StringView("_global"))) {
        if (f.version < 6) return false;
        out = Value(f.vm.global());
        return true;
    }
    if (sameName(f, name, QLatin1StringView("_root"))) {
        out = rootOf(f);
        return true;
    }
    if (const auto n = levelNumber(f, name)) {
        DisplayHost* host = f.vm.host();
        out = host ? Value(host->level(*n)) : Value();
        if (out.isNull()) out = Value();
        return true;
    }
    return false;
}

// `this` is an ordinary name first: a function keeps it among its locals (unless suppressed or moved to
// a register), so a script may assign it, and a timeline's own variable named `this` wins too. Only when
// no scope holds it does it mean the running object, or a function's timeline when hidden.
bool findThis(Frame& f, Value& out) {
    const QString name = QStringLiteral("this");
    for (std::size_t i = f.withs.size(); i-- > 0;)
        if (lookupIn(f, f.withs[i], name, out)) return true;
    if (f.isFunction) {
        if (Property* p = f.activation ? f.activation->findOwn(name) : nullptr) {
            out = p->value;
            return true;
        }
        if (f.thisVisible) {
            out = f.thisValue;
            return true;
        }
    }
    for (std::size_t i = f.captured.size(); i-- > 0;)
        if (Object* o = capturedAt(f, i); o && lookupIn(f, o, name, out)) return true;
    if (!f.isFunction) {
        out = f.thisValue;
    } else {
        // Version 5 functions stop here; later ones end at their timeline.
        out = f.target && f.version >= 6 ? Value(f.target) : Value();
    }
    return true;
}

bool findVariable(Frame& f, const QString& name, Value& out, Object** where = nullptr) {
    if (where) *where = nullptr;
    if (sameName(f, name, QLatin1StringView("this"))) return findThis(f, out);
    // A variable a script stored under a special name (_root, _global, _parent, _levelN) hides it.
    if (name.startsWith(u'_')) {
        Object* holder = nullptr;
        const bool stored = forEachScope(f, [&](Object* o) {
            Property* p = f.vm.findProperty(o, name);
            if (!p) return false;
            out = p->isAccessor() ? f.vm.getMember(Value(o), name) : p->value;
            holder = o;
            return true;
        });
        if (stored) {
            if (where) *where = holder;
            return true;
        }
    }
    if (lookupSpecial(f, name, out)) return true;
    Object* found = nullptr;
    const bool ok = forEachScope(f, [&](Object* o) {
        if (lookupIn(f, o, name, out)) {
            found = o;
            return true;
        }
        return false;
    });
    if (where) *where = found;
    if (ok) return true;
    if (sameName(f, name, QLatin1StringView("_parent")) && f.target) {
        // A function whose timeline is not a clip still reaches its clip's parent.
        if (DisplayHost* host = f.vm.host()) {
            out = Value(host->resolveTarget(f.target, QStringLiteral("_parent")));
            if (out.isNull()) out = Value();
            return true;
        }
    }
    return false;
}

// One step of a target path from `from`: a clip's children come before its variables (the other way
// round from member access); `this` and the clips' own names (_root, _parent, _levelN) work anywhere.
Value pathStep(Frame& f, const Value& from, const QString& name, bool first) {
    if (name.isEmpty()) return {};
    if (sameName(f, name, QLatin1StringView("this"))) return first ? f.thisValue : f.vm.getMember(from, name);
    Object* o = from.object();
    DisplayHost* host = f.vm.host();
    if (isClip(o) && host && !name.contains(u'.')) {
        if (Object* child = host->resolveTarget(o, name)) return Value(child);
    }
    Value out;
    if (isClip(o) && (sameName(f, name, QLatin1StringView("_root")) || levelNumber(f, name)))
        return lookupSpecial(f, name, out) ? out : Value();
    return f.vm.getMember(from, name);
}

// Resolves a target path ("/a/b", "../c", "a.b.c", "a:b", "_root.x", "_level1/a") from `start`. Slashes,
// colons and (until the first slash) dots separate names; colons in a row count as one; ".." is the
// parent.
Value resolvePathFrom(Frame& f, const QString& path, const Value& start, bool thisFirst = true) {
    if (path.isEmpty()) return start;
    Value cur = start;
    qsizetype i = 0;
    const qsizetype n = path.size();
    bool slashSeen = false;
    bool first = thisFirst;
    if (path[0] == u'/') {
        cur = rootOf(f);
        i = 1;
        slashSeen = true;
        first = false;
    }
    while (i < n) {
        while (i < n && path[i] == u':') ++i;
        // ".." is the parent only when a separator or the end follows.
        if (i + 1 < n && path[i] == u'.' && path[i + 1] == u'.' &&
            (i + 2 == n || path[i + 2] == u'/' || path[i + 2] == u':')) {
            i += 2;
            if (i < n && path[i] == u'/') {
                ++i;
                slashSeen = true;
            }
            DisplayHost* host = f.vm.host();
            if (!host || !isClip(cur.object())) return {};
            Object* parent = host->resolveTarget(cur.asObject(), QStringLiteral("_parent"));
            if (!parent) return {};
            cur = Value(parent);
        } else {
            qsizetype j = i;
            while (j < n && path[j] != u':' && path[j] != u'/' && (path[j] != u'.' || slashSeen)) ++j;
            const QString name = path.mid(i, j - i);
            i = j;
            if (i < n) {
                if (path[i] == u'/') slashSeen = true;
                ++i;
            }
            cur = pathStep(f, cur, name, first);
        }
        first = false;
        if (!cur.isObject()) return {};
    }
    return cur;
}

// A relative path is tried from each scope in turn, innermost first, and the first scope where the
// whole path leads to an object wins.
Value resolvePath(Frame& f, const QString& path, bool thisFirst = true) {
    if (path.startsWith(u'/')) return resolvePathFrom(f, path, Value(f.target));
    Value result;
    forEachScope(f, [&](Object* o) {
        const Value v = resolvePathFrom(f, path, Value(o), thisFirst);
        if (!v.isObject()) return false;
        result = v;
        return true;
    });
    return result;
}

// Splits "path:name" or "path.name" (and "a/b" for setting); false when the name has no path.
bool splitPath(const QString& name, QString& path, QString& var, bool slashToo) {
    qsizetype at = name.lastIndexOf(u':');
    if (at < 0) {
        at = name.lastIndexOf(u'.');
        if (slashToo) at = std::max(at, name.lastIndexOf(u'/'));
        // ".." is a parent step, never a member separator.
        if (at > 0 && name[at - 1] == u'.') return false;
    }
    if (at < 0) return false;
    path = name.left(at);
    var = name.mid(at + 1);
    return true;
}

bool hasPathChars(const QString& name) {
    for (QChar c : name)
        if (c == u':' || c == u'/' || c == u'.') return true;
    return false;
}

Value getVariable(Frame& f, const QString& name, Object** where = nullptr) {
    if (where) *where = nullptr;
    Value out;
    if (f.version < 5 && hasPathChars(name)) {
        // "path:name" on the clip a slash path leads to; a name without a colon is a clip path, or a plain
        // variable whose name holds dots.
        const qsizetype at = name.lastIndexOf(u':');
        if (at < 0) {
            if (name.contains(u'/'))
                if (Object* clip = resolveTarget4(f, name)) return Value(clip);
            return findVariable(f, name, out, where) ? out : Value();
        }
        Object* holder = at > 0 ? resolveTarget4(f, name.left(at)) : nullptr;
        if (!holder) return {};
        if (where) *where = holder;
        return f.vm.getMember(Value(holder), name.mid(at + 1));
    }
    if (hasPathChars(name)) {
        // "path:name" or "path.name" (the last colon or dot): the variable on the object the path leads to,
        // from the first scope where it exists there.
        const qsizetype at = std::max(name.lastIndexOf(u':'), name.lastIndexOf(u'.'));
        if (at >= 0) {
            const QString path = name.left(at);
            const QString var = name.mid(at + 1);
            Value found;
            bool reached = false;
            forEachScope(f, [&](Object* o) {
                const Value obj = resolvePathFrom(f, path, Value(o));
                if (!obj.isObject()) return false;
                reached = true;
                if (!f.vm.hasProperty(obj.asObject(), var)) return false;
                // A function reached by a path runs on the object the path led to.
                if (where) *where = obj.asObject();
                found = f.vm.getMember(obj, var);
                return true;
            });
            if (reached) return found;
            // Not a path after all ("a.b" stored under its whole name).
            if (findVariable(f, name, out, where)) return out;
            return {};
        }
        // A slash path names a clip; `this` is no step of it. A name that leads nowhere may still be a
        // variable stored under the whole name.
        const Value clip = resolvePath(f, name, false);
        if (clip.isObject()) return clip;
        if (findVariable(f, name, out, where)) return out;
        return {};
    }
    if (findVariable(f, name, out, where)) return out;
    return {};
}

// The timeline an unknown name is created on: the current target, or the function's activation when
// the function has no live timeline.
Object* timelineFor(Frame& f) {
    if (f.target) return f.target;
    if (f.isFunction) return ensureActivation(f);
    return f.vm.global();
}

void setVariable(Frame& f, const QString& name, const Value& value) {
    if (f.version < 5) {
        // Only a colon splits a name from its slash path.
        if (const qsizetype at = name.lastIndexOf(u':'); at >= 0) {
            if (Object* holder = at > 0 ? resolveTarget4(f, name.left(at)) : nullptr)
                f.vm.setMember(Value(holder), name.mid(at + 1), value);
            return;
        }
        f.vm.setMember(Value(timelineFor(f)), name, value);
        return;
    }
    // "path:name" or "path.name" (the last colon or dot) sets the name on the object the path leads to
    // from the first scope where it leads anywhere; a slash alone makes no path ("a/b" is a plain name).
    if (const qsizetype at = std::max(name.lastIndexOf(u':'), name.lastIndexOf(u'.')); at >= 0) {
        const Value obj = resolvePath(f, name.left(at));
        if (obj.isObject()) f.vm.setMember(obj, name.mid(at + 1), value);
        return;
    }
    Object* global = f.vm.global();
    Object* found = nullptr;
    // A function's `this` lives among its locals: assigning it changes it for this call only.
    if (f.isFunction && f.thisVisible && sameName(f, name, QLatin1StringView("this"))) {
        bool inWith = false;
        for (Object* o : f.withs) inWith = inWith || f.vm.hasProperty(o, name);
        if (!inWith) {
            ensureActivation(f)->setOwn(name, value);
            return;
        }
    }
    forEachScope(f, [&](Object* o) {
        if (o == global) return false;
        if (f.vm.hasProperty(o, name)) {
            found = o;
            return true;
        }
        return false;
    });
    f.vm.setMember(Value(found ? found : timelineFor(f)), name, value);
}

void defineLocal(Frame& f, const QString& name, const Value& value) {
    if (f.isFunction) {
        // Inside a function a declared name is always local, even one that looks like a path.
        ensureActivation(f)->setOwn(name, value);
        return;
    }
    if (hasPathChars(name) || !f.target) {
        setVariable(f, name, value);
        return;
    }
    f.vm.setMember(Value(f.target), name, value);
}

// A clip named by a value: the clip itself or a path from the current target.
Object* clipOf(Frame& f, const Value& v) {
    if (Object* o = v.object(); isClip(o)) return o;
    const QString path = f.vm.toString(v);
    if (path.isEmpty()) return timelineTarget(f);
    if (f.version < 5) return resolveTarget4(f, path);
    DisplayHost* host = f.vm.host();
    if (!host || !f.target) return nullptr;
    if (Object* o = host->resolveTarget(f.target, path)) return o;
    const Value r = resolvePath(f, path);
    return isClip(r.object()) ? r.asObject() : nullptr;
}

// SetTarget by path: empty goes back to the original target; a path naming no clip leaves timeline
// actions without a clip and variables on the root.
void setTarget(Frame& f, const QString& path) {
    f.targetInvalid = false;
    if (path.isEmpty()) {
        f.target = f.origTarget;
        return;
    }
    DisplayHost* host = f.vm.host();
    Object* t = nullptr;
    if (f.version < 5) {
        Object* current = f.target;
        f.target = f.origTarget;
        t = f.origTarget ? resolveTarget4(f, path) : nullptr;
        f.target = current;
    } else {
        const Value found = f.origTarget ? resolvePathFrom(f, path, Value(f.origTarget), false) : Value();
        t = isClip(found.object()) ? found.asObject() : nullptr;
    }
    if (t) {
        f.target = t;
        return;
    }
    Object* root = host && f.origTarget ? host->resolveTarget(f.origTarget, QStringLiteral("_root")) : nullptr;
    f.target = root ? root : f.origTarget;
    f.targetInvalid = true;
}

// ---- functions ----

Object* makeScriptFunction(Frame& f, std::shared_ptr<ScriptFunction> sf) {
    Vm& vm = f.vm;
    Object* fn = vm.heap().make<Object>(ObjectClass::Function);
    fn->setProto(vm.protos().function);
    fn->setScript(std::move(sf));
    Object* prototype = vm.makeObject();
    prototype->define(QStringLiteral("constructor"), Value(fn), propflag::kDontEnum);
    fn->define(QStringLiteral("prototype"), Value(prototype), propflag::kDontEnum | propflag::kDontDelete);
    return fn;
}

std::vector<Object*> currentScope(Frame& f) {
    std::vector<Object*> scope;
    scope.reserve(f.captured.size() + 1 + f.withs.size());
    for (std::size_t i = 0; i < f.captured.size(); ++i)
        if (Object* o = capturedAt(f, i)) scope.push_back(o);
    if (f.activation) scope.push_back(f.activation);
    for (Object* o : f.withs) scope.push_back(o);
    return scope;
}

// ---- arithmetic helpers ----

bool isNan(double d) { return std::isnan(d); }

// The relational comparison: true/false, or undefined when a NaN makes the answer unknown.
// `aFirst` says which side the script wrote first: that one is converted first.
Value lessThan(Vm& vm, const Value& a, const Value& b, bool aFirst = true) {
    // An object that stays an object (its valueOf is itself) is never less nor greater; a clip
    // compares as NaN. Such an object settles the answer before the other side's valueOf runs.
    const auto stays = [](const Value& p) { return p.isObject() && !isClip(p.asObject()); };
    Value pa, pb;
    if (aFirst) {
        pa = vm.toPrimitive(a);
        if (stays(pa)) return Value(false);
        pb = vm.toPrimitive(b);
        if (stays(pb)) return Value(false);
    } else {
        pb = vm.toPrimitive(b);
        if (stays(pb)) return Value(false);
        pa = vm.toPrimitive(a);
        if (stays(pa)) return Value(false);
    }
    if (pa.isString() && pb.isString()) return Value(pa.asString() < pb.asString());
    const double x = vm.toNumber(pa);
    const double y = vm.toNumber(pb);
    if (isNan(x) || isNan(y)) return {};
    return Value(x < y);
}

Value boolResult(const Frame& f, bool b) {
    if (f.version < 5) return Value(b ? 1.0 : 0.0);
    return Value(b);
}

double toInteger(double d) {
    if (isNan(d)) return 0;
    if (std::isinf(d)) return d;
    return std::trunc(d);
}

QString charFromCode(int version, double code, bool multibyte) {
    if (!multibyte && version < 6) {
        const double c = toInteger(code);
        if (!(c > 0) || c > 0x10ffff) return {};
        return QString(QChar(static_cast<char16_t>(static_cast<std::uint32_t>(c) & 0xff)));
    }
    // One UTF-16 unit: the code wraps to 32 bits and keeps its low 16 (65616 and -65456 are both "P").
    const auto u = static_cast<char16_t>(toUint32(code) & 0xffff);
    if (u == 0) return {};
    return QString(QChar(u));
}

// Substring with 1-based index as the string actions count; out-of-range parts are cut.
QString extract(const QString& s, double index, double count) {
    // Both numbers wrap to 32-bit integers first (4294967303 is 7).
    qsizetype start = 0;
    const double i = toInt32(index);
    if (i > 1) start = i > static_cast<double>(s.size()) ? s.size() : static_cast<qsizetype>(i) - 1;
    const double c = toInt32(count);
    if (c < 0) return s.mid(start);
    const qsizetype n = c > static_cast<double>(s.size()) ? s.size() : static_cast<qsizetype>(c);
    return s.mid(start, n);
}

// A frame named by an object is named by its string form (a number or a "clip:label" path).
// A frame number for ActionCall wraps as a 32-bit unsigned number (4294967299 is frame 3); 0-based,
// -1 when it names no frame.
int callFrameIndex(double n) {
    const std::uint32_t frame = toUint32(n);
    return frame == 0 || frame > 0x7fffffffu ? -1 : static_cast<int>(frame - 1);
}

// Frames a wait for a frame finds loaded. Once a clip's movie has loaded in full, every frame a movie
// can have (and one more) counts as loaded, whether the timeline has it or not.
int framesCountedLoaded(DisplayHost& host, Object* clip) {
    constexpr int kFramesOfAWholeMovie = 16001;
    const int loaded = host.framesLoaded(clip);
    return loaded >= host.totalFrames(clip) ? std::max(loaded, kFramesOfAWholeMovie) : loaded;
}

Value frameValue(Vm& vm, const Value& v) {
    if (v.isObject()) return Value(vm.toString(v));
    return v;
}

// ---- enumeration ----

// for..in skips only names marked not to enumerate: names hidden from this version still show.
bool hiddenFrom(std::uint16_t flags) { return (flags & propflag::kDontEnum) != 0; }

// Pushes the end marker (undefined) and then the enumerable names of `o` and its prototypes, each
// object's in the order they were added, the object before its prototypes; the loop pops them, so
// names come out newest first and the prototypes' before the object's own.
void enumerate(Frame& f, const Value& v) {
    push(Value());
    Object* o = v.object();
    if (!o) return;
    std::vector<Object*> chain;
    for (Object* p = o; p && chain.size() < 256; p = p->proto()) {
        if (std::find(chain.begin(), chain.end(), p) != chain.end()) break;
        chain.push_back(p);
    }
    Heap& heap = f.vm.heap();
    std::vector<QString> seenKeys;
    std::vector<QString> names;
    auto seen = [&](const QString& name) {
        const QString k = heap.key(name);
        if (std::find(seenKeys.begin(), seenKeys.end(), k) != seenKeys.end()) return true;
        seenKeys.push_back(k);
        return false;
    };
    std::vector<Object::OwnEntry> own;
    for (Object* p : chain) {
        own.clear();
        p->ownEntries(own);
        for (const Object::OwnEntry& e : own) {
            // A hidden own property also hides the same name further up the chain.
            if (hiddenFrom(e.flags)) seen(e.name);
            else if (!seen(e.name)) names.push_back(e.name);
        }
    }
    for (const QString& name : names) push(Value(name));
}

// ---- the loop ----

class Interpreter {
public:
    explicit Interpreter(Frame& f) : f(f), vm(f.vm), bytes(f.bytes) {}
    Outcome run(std::size_t begin, std::size_t end);

private:
    // A block nested in [begin, end) ran and ended with `o`: true with `pc` set when the enclosing
    // block goes on, false with `out` set when it must stop too.
    bool resume(const Outcome& o, std::size_t begin, std::size_t end, std::size_t& pc, Outcome& out) const;
    Outcome jumpTo(std::size_t target, std::size_t begin, std::size_t end, std::size_t& pc) const;
    bool skipActions(std::size_t& pc, std::size_t end, int count) const;
    void dropStackTo(std::size_t depth);
    std::optional<Outcome> tryBlock(Reader& r, std::size_t next, std::size_t begin, std::size_t end,
                                    std::size_t& pc);
    Object* defineFunction(Reader& r, std::size_t next, std::size_t end, bool v2, std::size_t& pc);
    // Returns whether there was an object to call the method on.
    bool callMethod();
    void gotoFrame2(const Value& frame, bool play, int bias);
    bool pushValues(Reader& r);

    Frame& f;
    Vm& vm;
    const std::vector<std::uint8_t>& bytes;
};

Outcome Interpreter::jumpTo(std::size_t target, std::size_t begin, std::size_t end, std::size_t& pc) const {
    if (target >= begin && target <= end) {
        pc = target;
        return {Flow::Normal, 0};
    }
    // A jump out of a try or with body into the code around it (break, continue) goes on there.
    if (target >= f.codeBegin && target <= f.codeEnd && (begin != f.codeBegin || end != f.codeEnd))
        return {Flow::JumpOut, target};
    // Anywhere else is damaged code: the block ends.
    return {Flow::Stop, 0};
}

bool Interpreter::resume(const Outcome& o, std::size_t begin, std::size_t end, std::size_t& pc,
                         Outcome& out) const {
    if (o.flow == Flow::Normal) return true;
    if (o.flow != Flow::JumpOut) {
        out = o;
        return false;
    }
    const Outcome j = jumpTo(o.target, begin, end, pc);
    if (j.flow == Flow::Normal) return true;
    out = j;
    return false;
}

bool Interpreter::skipActions(std::size_t& pc, std::size_t end, int count) const {
    for (int i = 0; i < count; ++i) {
        if (pc >= end) return false;
        const std::uint8_t code = bytes[pc];
        if (code >= 0x80) {
            if (end - pc < 3) return false;
            const std::size_t len = bytes[pc + 1] | (bytes[pc + 2] << 8);
            if (end - pc - 3 < len) return false;
            pc += 3 + len;
        } else {
            ++pc;
        }
    }
    return true;
}

bool Interpreter::pushValues(Reader& r) {
    while (!r.atEnd()) {
        const std::uint8_t type = r.u8();
        switch (type) {
        case 0: push(Value(r.str(f.version))); break;
        case 1: {
            const std::uint32_t bits = r.u32();
            float fl;
            std::memcpy(&fl, &bits, 4);
            push(Value(static_cast<double>(fl)));
            break;
        }
        case 2: push(Value::null()); break;
        case 3: push(Value()); break;
        case 4: {
            const std::uint8_t reg = r.u8();
            if (!r.ok()) return false;
            const Value* slot = registerSlot(f, reg);
            push(slot ? *slot : Value());
            break;
        }
        case 5: push(Value(r.u8() != 0)); break;
        case 6: {
            // The high word comes first, each word little-endian.
            const std::uint64_t hi = r.u32();
            const std::uint64_t lo = r.u32();
            const std::uint64_t bits = (hi << 32) | lo;
            double d;
            std::memcpy(&d, &bits, 8);
            push(Value(d));
            break;
        }
        case 7: push(Value(static_cast<double>(static_cast<std::int32_t>(r.u32())))); break;
        case 8:
        case 9: {
            const std::size_t index = type == 8 ? r.u8() : r.u16();
            if (!r.ok()) return false;
            if (!f.constants || index >= f.constants->size()) return false;
            push(Value((*f.constants)[index]));
            break;
        }
        default: return false;
        }
        if (!r.ok()) return false;
    }
    return true;
}

Object* Interpreter::defineFunction(Reader& r, std::size_t next, std::size_t end, bool v2, std::size_t& pc) {
    auto sf = std::make_shared<ScriptFunction>();
    sf->name = r.str(f.version);
    const std::uint16_t paramCount = r.u16();
    if (v2) {
        sf->isFunction2 = true;
        sf->registerCount = r.u8();
        sf->flags = r.u16();
        for (std::uint16_t i = 0; i < paramCount && r.ok(); ++i) {
            sf->paramRegisters.push_back(r.u8());
            sf->params.push_back(r.str(f.version));
        }
    } else {
        sf->registerCount = 4;
        for (std::uint16_t i = 0; i < paramCount && r.ok(); ++i) sf->params.push_back(r.str(f.version));
    }
    const std::uint16_t codeSize = r.u16();
    if (!r.ok() || end - next < codeSize) return nullptr;
    pc = next + codeSize;
    // The function shares the list's bytes; only its body range is recorded.
    sf->code = f.code;
    sf->start = next;
    sf->length = codeSize;
    sf->constants = f.constants;
    sf->swfVersion = f.version;
    sf->baseClip = f.baseClip;
    if (f.isFunction) ensureActivation(f);   // closures see the locals of the function around them
    sf->scope = currentScope(f);
    return makeScriptFunction(f, std::move(sf));
}

bool Interpreter::callMethod() {
    const Value nameValue = pop(f);
    const Value object = pop(f);
    const std::vector<Value> args = popArgs(f, popCount(f));
    SuperObject* super = asSuper(object);
    const bool isSuper = super != nullptr;
    const Value thisValue = isSuper ? super->self : object;
    Value fn;
    // The name is a string by the time it is looked at: an object whose toString gives "" also calls
    // the object itself.
    const QString methodName = nameValue.isUndefined() ? QString() : vm.toString(nameValue);
    if (methodName.isEmpty()) {
        fn = isSuper ? super->constructor(vm) : object;
        if (!isSuper) {
            // Calling the object itself: the callee gets no `this` at all, whatever its version.
            const Object* callee = fn.object();
            t_thisUnset = callee && callee->script();
            push(callFromCode(vm, fn, Value(), args));
            t_thisUnset = false;
            return !object.isNullish();
        }
    } else if (isSuper) {
        const QString& name = methodName;
        fn = super->start ? vm.getMember(Value(super->start), name) : Value();
        // The method's own super then starts above the prototype it was found on.
        Object* home = super->start;
        for (int depth = 0; home && !home->findOwn(name) && depth < 256; ++depth) home = home->proto();
        vm.superHomePending() = home;
        const Value result = callFromCode(vm, fn, thisValue, args);
        vm.superHomePending() = nullptr;
        push(result);
        return true;
    } else {
        fn = vm.getMember(object, methodName);
    }
    push(callFromCode(vm, fn, thisValue, args));
    return !object.isNullish();
}

void Interpreter::gotoFrame2(const Value& frame, bool play, int bias) {
    DisplayHost* host = vm.host();
    if (!host) return;
    // After a SetTarget that named nothing, the frame goes to the root's timeline.
    Object* clip = f.targetInvalid && f.origTarget ? host->resolveTarget(f.origTarget, QStringLiteral("_root")) : f.target;
    if (frame.isString()) {
        QString s = frame.asString();
        const qsizetype colon = s.lastIndexOf(u':');
        if (colon >= 0) {
            clip = clipOf(f, Value(s.left(colon)));
            s = s.mid(colon + 1);
        }
        if (!clip) return;
        bool ok = false;
        const double n = s.toDouble(&ok);
        if (ok) {
            host->gotoFrame(clip, static_cast<int>(toInteger(n)) - 1 + bias, play);
        } else {
            host->gotoLabel(clip, s, play);
        }
        return;
    }
    if (!clip) return;
    const double n = vm.toNumber(frame);
    if (isNan(n)) return;
    host->gotoFrame(clip, static_cast<int>(std::clamp(toInteger(n), -1e9, 1e9)) - 1 + bias, play);
}

void Interpreter::dropStackTo(std::size_t depth) {
    depth = std::max(depth, f.stackBase);
    if (t_stack.size() > depth) t_stack.resize(depth);
}

std::optional<Outcome> Interpreter::tryBlock(Reader& r, std::size_t next, std::size_t begin, std::size_t end,
                                             std::size_t& pc) {
    const std::uint8_t flags = r.u8();
    const std::size_t trySize = r.u16(), catchSize = r.u16(), finallySize = r.u16();
    const bool hasCatch = flags & 1, hasFinally = flags & 2, catchInRegister = flags & 4;
    QString catchName;
    std::uint8_t catchRegister = 0;
    if (catchInRegister)
        catchRegister = r.u8();
    else
        catchName = r.str(f.version);
    if (!r.ok() || end - next < trySize + catchSize + finallySize) return Outcome{Flow::Stop, 0};
    const std::size_t tryBegin = next, catchBegin = tryBegin + trySize, finallyBegin = catchBegin + catchSize;
    const std::size_t after = finallyBegin + finallySize;
    const std::size_t stackDepth = t_stack.size();
    const std::size_t withDepth = f.withs.size();
    Object* const savedTarget = f.target;
    const bool savedInvalid = f.targetInvalid;

    Outcome result;
    std::optional<ScriptException> pending;
    try {
        result = run(tryBegin, catchBegin);
    } catch (const ScriptException& e) {
        // A throw drops what the block pushed but never refills what it popped.
        dropStackTo(stackDepth);
        f.withs.resize(withDepth);
        f.target = savedTarget;
        f.targetInvalid = savedInvalid;
        if (hasCatch) {
            if (catchInRegister) {
                if (catchRegister < f.regCount) t_stack[f.regBase + catchRegister] = e.value;
            } else {
                defineLocal(f, catchName, e.value);
            }
            try {
                result = run(catchBegin, finallyBegin);
            } catch (const ScriptException& e2) {
                pending = e2;
                result = {};
                dropStackTo(stackDepth);
                f.withs.resize(withDepth);
            }
        } else {
            pending = e;
            result = {};
        }
    }
    // Compilers end the try and catch blocks with a jump to the finally block: that is the ordinary way
    // out, not a jump away, and the finally block runs once.
    if (hasFinally && result.flow == Flow::JumpOut && result.target == finallyBegin) result = {};
    if (hasFinally) {
        const Outcome fin = run(finallyBegin, after);
        if (fin.flow != Flow::Normal) {
            // A return or jump in the finally block wins over what the try block was doing.
            result = fin;
            pending.reset();
        }
    }
    if (pending) throw *pending;
    pc = after;
    Outcome out;
    if (!resume(result, begin, end, pc, out)) return out;
    return std::nullopt;
}

Outcome Interpreter::run(std::size_t begin, std::size_t end) {
    std::size_t pc = begin;
    DisplayHost* host = vm.host();
    // A call that went through while the function's timeline left the display list ends the function.
    auto timelineLeft = [this] { return f.haltAfterCall && !f.haltAfterCall->display(); };
    while (pc < end) {
        vm.tick();
        if (f.haltWhenRemoved && !f.haltWhenRemoved->display()) return kStop;
        const std::uint8_t code = bytes[pc];
        if (code == 0) return kStop;
        std::size_t data = pc + 1;
        std::size_t len = 0;
        if (code >= 0x80) {
            if (end - pc < 3) return kStop;
            len = bytes[pc + 1] | (bytes[pc + 2] << 8);
            data = pc + 3;
            if (end - data < len) return kStop;
        }
        const std::size_t next = data + len;
        Reader r(bytes.data() + data, len);
        pc = next;

        switch (code) {
        // ---- timeline (SWF 3) ----
        case 0x04:
            if (Object* t = timelineTarget(f); host && t) host->nextFrame(t);
            break;
        case 0x05:
            if (Object* t = timelineTarget(f); host && t) host->prevFrame(t);
            break;
        case 0x06:
            if (Object* t = timelineTarget(f); host && t) host->play(t);
            break;
        case 0x07:
            if (Object* t = timelineTarget(f); host && t) host->stop(t);
            break;
        case 0x08:
            if (host) host->toggleQuality();
            break;
        case 0x09:
            if (host) host->stopSounds();
            break;
        case 0x81: {
            const std::uint16_t frame = r.u16();
            if (!r.ok()) return kStop;
            if (Object* t = timelineTarget(f); host && t) host->gotoFrame(t, frame, false);
            break;
        }
        case 0x83: {
            const QString url = r.str(f.version);
            const QString target = r.str(f.version);
            if (!r.ok()) return kStop;
            if (host) host->getUrl(f.target ? f.target : f.baseClip, url, target, 0, false, false);
            break;
        }
        case 0x8a: {
            const std::uint16_t frame = r.u16();
            const std::uint8_t skip = r.u8();
            if (!r.ok()) return kStop;
            const bool loaded = !host || !f.target || frame < framesCountedLoaded(*host, f.target);
            if (!loaded && !skipActions(pc, end, skip)) return kStop;
            break;
        }
        case 0x8d: {
            const std::uint8_t skip = r.u8();
            if (!r.ok()) return kStop;
            const Value frame = frameValue(vm, pop(f));
            bool loaded = true;
            if (host && f.target) {
                Object* clip = f.target;
                std::optional<double> number;
                if (frame.isString()) {
                    // A string that reads as a number in full is a frame number; anything else a label.
                    const QString s = frame.asString();
                    bool ok = false;
                    const double n = s.trimmed().size() == s.size() ? s.toDouble(&ok) : 0.0;
                    if (ok) {
                        number = n;
                    } else {
                        const int index = host->frameOfLabel(clip, s);
                        if (index >= 0) loaded = index < framesCountedLoaded(*host, clip);
                    }
                } else {
                    number = vm.toNumber(frame);
                }
                // Only a whole number names a frame: the rest, like a label nobody has, counts as loaded.
                // The frame number wraps as a 32-bit integer, and so does the step to an index.
                if (number && std::isfinite(*number) && *number == std::floor(*number)) {
                    const auto index = static_cast<std::int32_t>(static_cast<std::uint32_t>(toInt32(*number)) - 1u);
                    loaded = index < framesCountedLoaded(*host, clip);
                }
            }
            if (!loaded && !skipActions(pc, end, skip)) return kStop;
            break;
        }
        case 0x8b: {
            const QString target = r.str(f.version);
            if (!r.ok()) return kStop;
            setTarget(f, target);
            break;
        }
        case 0x8c: {
            const QString label = r.str(f.version);
            if (!r.ok()) return kStop;
            if (Object* t = timelineTarget(f); host && t) host->gotoLabel(t, label, false);
            break;
        }

        // ---- SWF 4 arithmetic and logic ----
        case 0x0a:
        case 0x0b:
        case 0x0c:
        case 0x0d: {
            // The left operand is converted first for + and *, the right one first for - and /.
            const Value av = pop(f);
            const Value bv = pop(f);
            double a = 0, b = 0;
            if (code == 0x0a || code == 0x0c) {
                b = vm.toNumber(bv);
                a = vm.toNumber(av);
            } else {
                a = vm.toNumber(av);
                b = vm.toNumber(bv);
            }
            if (code == 0x0a) push(Value(b + a));
            else if (code == 0x0b) push(Value(b - a));
            else if (code == 0x0c) push(Value(b * a));
            else if (a == 0 && f.version < 5) push(Value(QStringLiteral("#ERROR#")));
            else push(Value(b / a));
            break;
        }
        case 0x0e: {
            const double a = vm.toNumber(pop(f));
            const double b = vm.toNumber(pop(f));
            push(boolResult(f, a == b));
            break;
        }
        case 0x0f: {
            const Value av = pop(f);
            const double b = vm.toNumber(pop(f));
            const double a = vm.toNumber(av);
            push(boolResult(f, b < a));
            break;
        }
        case 0x10:
        case 0x11: {
            const bool a = vm.toBoolean(pop(f));
            const bool b = vm.toBoolean(pop(f));
            push(boolResult(f, code == 0x10 ? (a && b) : (a || b)));
            break;
        }
        case 0x12: push(boolResult(f, !vm.toBoolean(pop(f)))); break;
        case 0x13: {
            const QString a = vm.toString(pop(f));
            const QString b = vm.toString(pop(f));
            push(boolResult(f, a == b));
            break;
        }
        case 0x14:
        case 0x31: push(Value(static_cast<double>(vm.toString(pop(f)).size()))); break;
        case 0x15:
        case 0x35: {
            const double count = vm.toNumber(pop(f));
            const double index = vm.toNumber(pop(f));
            push(Value(extract(vm.toString(pop(f)), index, count)));
            break;
        }
        case 0x17: pop(f); break;
        case 0x18: push(Value(toInteger(vm.toNumber(pop(f))))); break;
        case 0x21: {
            const QString a = vm.toString(pop(f));
            const QString b = vm.toString(pop(f));
            push(Value(b + a));
            break;
        }
        case 0x29:
        case 0x68: {
            const QString a = vm.toString(pop(f));
            const QString b = vm.toString(pop(f));
            push(boolResult(f, code == 0x29 ? b < a : b > a));
            break;
        }
        case 0x32:
        case 0x36: {
            const QString s = vm.toString(pop(f));
            double c = 0;
            // The first UTF-16 unit; half of a surrogate pair is no character and reads as U+FFFD.
            if (!s.isEmpty()) c = s[0].isSurrogate() ? 0xfffd : s[0].unicode();
            push(Value(c));
            break;
        }
        case 0x33:
        case 0x37: push(Value(charFromCode(f.version, vm.toNumber(pop(f)), code == 0x37))); break;
        case 0x30: {
            const double max = toInteger(vm.toNumber(pop(f)));
            const std::uint32_t rnd = vm.random();
            push(Value(max >= 1 && max < 4294967296.0 ? static_cast<double>(rnd % static_cast<std::uint32_t>(max))
                                                      : 0.0));
            break;
        }
        case 0x34: push(Value(host ? std::floor(host->timerMs()) : 0.0)); break;

        // ---- push, registers, constants ----
        case 0x96:
            if (!pushValues(r)) return kStop;
            break;
        case 0x87: {
            const std::uint8_t reg = r.u8();
            if (!r.ok()) return kStop;
            if (Value* slot = registerSlot(f, reg)) *slot = available(f) ? t_stack.back() : Value();
            break;
        }
        case 0x88: {
            const std::uint16_t count = r.u16();
            auto pool = std::make_shared<std::vector<QString>>();
            pool->reserve(std::min<std::size_t>(count, len));
            for (std::uint16_t i = 0; i < count && r.ok(); ++i) pool->push_back(r.str(f.version));
            if (!r.ok()) return kStop;
            f.constants = std::move(pool);
            vm.lastConstants() = f.constants;
            break;
        }
        case 0x4c: {
            Value top = available(f) ? t_stack.back() : Value();
            push(std::move(top));
            break;
        }
        case 0x4d: {
            Value a = pop(f);
            Value b = pop(f);
            push(std::move(a));
            push(std::move(b));
            break;
        }

        // ---- control flow ----
        case 0x99:
        case 0x9d: {
            const auto offset = static_cast<std::int16_t>(r.u16());
            if (!r.ok()) return kStop;
            if (code == 0x9d && !vm.toBoolean(pop(f))) break;
            const auto target = static_cast<std::int64_t>(next) + offset;
            if (target < 0) return kStop;
            const Outcome o = jumpTo(static_cast<std::size_t>(target), begin, end, pc);
            if (o.flow != Flow::Normal) return o;
            break;
        }
        case 0x9e: {
            const Value frame = frameValue(vm, pop(f));
            if (!host) break;
            Object* clip = f.target;
            int index = -1;
            if (frame.isString()) {
                QString s = frame.asString();
                const qsizetype colon = s.lastIndexOf(u':');
                if (colon >= 0) {
                    clip = clipOf(f, Value(s.left(colon)));
                    s = s.mid(colon + 1);
                }
                bool ok = false;
                const double n = s.toDouble(&ok);
                if (clip) index = ok ? callFrameIndex(n) : host->frameOfLabel(clip, s);
            } else {
                const double n = vm.toNumber(frame);
                if (!isNan(n)) index = callFrameIndex(n);
            }
            if (clip && index >= 0) host->callFrame(clip, index);
            break;
        }
        case 0x3e:
            f.returnValue = pop(f);
            return {Flow::Return, 0};
        case 0x2a: throw ScriptException{pop(f)};
        case 0x8f: {
            if (const auto o = tryBlock(r, next, begin, end, pc)) return *o;
            break;
        }
        case 0x94: {
            const std::uint16_t size = r.u16();
            if (!r.ok() || end - next < size) return kStop;
            const Value v = pop(f);
            const std::size_t after = next + size;
            Object* o = vm.toObject(v);
            if (!o || f.withs.size() >= kMaxWithDepth) {
                pc = after;
                break;
            }
            f.withs.push_back(o);
            const std::size_t depth = f.withs.size();
            Outcome result;
            try {
                result = run(next, after);
            } catch (...) {
                f.withs.resize(depth - 1);
                throw;
            }
            f.withs.resize(depth - 1);
            pc = after;
            Outcome out;
            if (!resume(result, begin, end, pc, out)) return out;
            break;
        }

        // ---- variables ----
        case 0x1c: {
            const Value name = pop(f);
            Value value = getVariable(f, vm.toString(name));
            // Version 4 code has no object values: a name or path that leads to a clip reads as undefined.
            if (f.version < 5 && isClip(value.object())) value = Value();
            push(std::move(value));
            break;
        }
        case 0x1d: {
            const Value value = pop(f);
            const QString name = vm.toString(pop(f));
            setVariable(f, name, value);
            break;
        }
        case 0x3c: {
            const Value value = pop(f);
            defineLocal(f, vm.toString(pop(f)), value);
            break;
        }
        case 0x41: {
            const QString name = vm.toString(pop(f));
            if (f.isFunction) {
                Object* a = ensureActivation(f);
                if (!a->hasOwn(name)) a->setOwn(name, Value());
            } else {
                // A declared path ("/:a", "_root.a") declares the name on the clip the path names.
                Object* owner = f.target;
                QString var = name;
                QString path;
                if (hasPathChars(name) && splitPath(name, path, var, true)) owner = resolvePath(f, path).object();
                if (owner && !var.isEmpty() && !vm.hasProperty(owner, var)) vm.setMember(Value(owner), var, Value());
            }
            break;
        }
        case 0x3a: {
            const QString name = vm.toString(pop(f));
            const Value object = pop(f);
            push(Value(vm.deleteMember(object, name)));
            break;
        }
        case 0x3b: {
            const QString name = vm.toString(pop(f));
            bool deleted = false;
            forEachScope(f, [&](Object* o) {
                if (!o->findOwn(name)) return false;
                deleted = vm.deleteMember(Value(o), name);
                return true;
            });
            push(Value(deleted));
            break;
        }
        case 0x4e: {
            const Value name = pop(f);
            const Value object = pop(f);
            push(vm.getMember(object, vm.toString(name)));
            break;
        }
        case 0x4f: {
            const Value value = pop(f);
            const Value name = pop(f);
            const Value object = pop(f);
            vm.setMember(object, vm.toString(name), value);
            break;
        }
        case 0x46: {
            const QString name = vm.toString(pop(f));
            enumerate(f, getVariable(f, name));
            break;
        }
        case 0x55: enumerate(f, pop(f)); break;

        // ---- objects and calls ----
        case 0x9b:
        case 0x8e: {
            Object* fn = defineFunction(r, next, end, code == 0x8e, pc);
            if (!fn) return kStop;
            const QString& name = fn->script()->name;
            if (name.isEmpty())
                push(Value(fn));
            else
                defineLocal(f, name, Value(fn));
            break;
        }
        case 0x3d: {
            const QString name = vm.toString(pop(f));
            const std::vector<Value> args = popArgs(f, popCount(f));
            Object* where = nullptr;
            const Value fn = getVariable(f, name, &where);
            // super() runs the superclass constructor on this object.
            if (f.superObject && fn.object() == f.superObject) {
                push(vm.call(static_cast<SuperObject*>(f.superObject)->constructor(vm), f.thisValue, args));
                break;
            }
            // A function found on a scope object runs with that object as `this`.
            Value thisValue;
            if (where && where != vm.global()) thisValue = Value(where);
            if (SuperObject* super = asSuper(fn)) {
                push(vm.call(super->constructor(vm), super->self, args));
                break;
            }
            push(callFromCode(vm, fn, thisValue, args));
            if (timelineLeft()) return kStop;
            break;
        }
        case 0x52:
            if (callMethod() && timelineLeft()) return kStop;
            break;
        case 0x40: {
            const QString name = vm.toString(pop(f));
            const std::vector<Value> args = popArgs(f, popCount(f));
            push(vm.construct(getVariable(f, name), args));
            if (timelineLeft()) return kStop;
            break;
        }
        case 0x53: {
            const Value name = pop(f);
            const Value object = pop(f);
            const std::vector<Value> args = popArgs(f, popCount(f));
            const bool self = name.isUndefined() || (name.isString() && name.asString().isEmpty());
            push(vm.construct(self ? object : vm.getMember(object, vm.toString(name)), args));
            if (!object.isNullish() && timelineLeft()) return kStop;
            break;
        }
        case 0x42: {
            double count = vm.toNumber(pop(f));
            // A negative or oversized count makes nothing: the values stay where they are.
            if (!validInitCount(count)) {
                push(Value());
                break;
            }
            const std::size_t n = static_cast<std::size_t>(std::min(count, static_cast<double>(available(f))));
            std::vector<Value> elements;
            elements.reserve(n);
            for (std::size_t i = 0; i < n; ++i) elements.push_back(pop(f));
            push(Value(vm.makeArray(std::move(elements))));
            break;
        }
        case 0x43: {
            double count = vm.toNumber(pop(f));
            if (!validInitCount(count)) {
                push(Value());
                break;
            }
            const std::size_t n = std::min(static_cast<std::size_t>(count), available(f) / 2);
            Object* o = vm.makeObject();
            // Pairs are defined as they come off the stack, the last written first (for..in shows it).
            for (std::size_t i = 0; i < n; ++i) {
                const Value value = pop(f);
                vm.setMember(Value(o), vm.toString(pop(f)), value);
            }
            push(Value(o));
            break;
        }
        case 0x44: push(Value(vm.typeOf(pop(f)))); break;
        case 0x45: {
            const Value v = pop(f);
            Object* o = v.object();
            if (isClip(o) && host)
                push(Value(host->targetPath(o)));
            else
                push(Value());
            break;
        }
        case 0x54: {
            const Value ctor = pop(f);
            const Value object = pop(f);
            push(boolResult(f, instanceOfAction(vm, object, ctor, false)));
            break;
        }
        case 0x2b: {
            const Value object = pop(f);
            const Value ctor = pop(f);
            push(instanceOfAction(vm, object, ctor, true) ? object : Value::null());
            break;
        }
        case 0x2c: {
            const Value ctor = pop(f);
            const std::size_t n = popCount(f);
            std::vector<Value> interfaces;
            for (std::size_t i = 0; i < n; ++i) interfaces.push_back(pop(f));
            implementInterfaces(vm, ctor, interfaces);
            break;
        }
        case 0x69: {
            const Value superclass = pop(f);
            const Value subclass = pop(f);
            Object* sup = superclass.object();
            if (!sup || !subclass.isObject()) break;
            Object* proto = vm.heap().make<Object>();
            proto->setProto(vm.getMember(superclass, QStringLiteral("prototype")).object());
            proto->define(QStringLiteral("__constructor__"), superclass, propflag::kDontEnum);
            vm.setMember(subclass, QStringLiteral("prototype"), Value(proto));
            break;
        }

        // ---- SWF 5 operators ----
        case 0x47: {
            const Value a = vm.toPrimitive(pop(f), false, true);
            const Value b = vm.toPrimitive(pop(f), false, true);
            if (a.isString() || b.isString())
                push(Value(vm.toString(b) + vm.toString(a)));
            else
                push(Value(vm.toNumber(b) + vm.toNumber(a)));
            break;
        }
        case 0x48: {
            const Value a = pop(f);
            const Value b = pop(f);
            const Value r = lessThan(vm, b, a);
            push(r.isBoolean() ? boolResult(f, r.asBool()) : r);
            break;
        }
        case 0x67: {
            const Value a = pop(f);
            const Value b = pop(f);
            const Value r = lessThan(vm, a, b, false);
            push(r.isBoolean() ? boolResult(f, r.asBool()) : r);
            break;
        }
        case 0x49: {
            const Value a = pop(f);
            const Value b = pop(f);
            push(boolResult(f, vm.looseEquals(b, a)));
            break;
        }
        case 0x66: {
            const Value a = pop(f);
            const Value b = pop(f);
            // NaN is equal to itself here.
            const bool nans = a.isNumber() && b.isNumber() && isNan(a.asNumber()) && isNan(b.asNumber());
            push(boolResult(f, nans || b.strictEquals(a)));
            break;
        }
        case 0x3f: {
            const double a = vm.toNumber(pop(f));
            const double b = vm.toNumber(pop(f));
            push(Value(std::fmod(b, a)));
            break;
        }
        case 0x4a: push(Value(vm.toNumber(pop(f)))); break;
        case 0x4b: push(Value(vm.toString(pop(f)))); break;
        case 0x50: push(Value(vm.toNumber(pop(f)) + 1)); break;
        case 0x51: push(Value(vm.toNumber(pop(f)) - 1)); break;
        case 0x60:
        case 0x61:
        case 0x62:
        case 0x63:
        case 0x64:
        case 0x65: {
            const std::int32_t a = toInt32(vm.toNumber(pop(f)));
            const std::int32_t b = toInt32(vm.toNumber(pop(f)));
            const auto ub = static_cast<std::uint32_t>(b);
            const unsigned shift = static_cast<std::uint32_t>(a) & 31;
            double result = 0;
            switch (code) {
            case 0x60: result = b & a; break;
            case 0x61: result = b | a; break;
            case 0x62: result = b ^ a; break;
            case 0x63: result = static_cast<std::int32_t>(ub << shift); break;
            case 0x64: result = b >> shift; break;
            // Version 8 and 9 movies read the unsigned shift's 32 bits back as a signed number (4294967295 >>> 0
            // is -1 there); other versions keep it unsigned.
            default:
                result = f.version == 8 || f.version == 9 ? static_cast<double>(static_cast<std::int32_t>(ub >> shift))
                                                          : static_cast<double>(ub >> shift);
                break;
            }
            push(Value(result));
            break;
        }

        // ---- display ----
        case 0x20: {
            const Value v = pop(f);
            if (isClip(v.object()) && host) {
                // A clip is found again by its path: of two clips with one name, the first wins.
                setTarget(f, host->targetPath(v.asObject()));
            } else if (v.isUndefined() && f.version >= 7) {
                // Names nothing, but variables stay with the original target.
                f.target = f.origTarget;
                f.targetInvalid = true;
            } else {
                setTarget(f, vm.toString(v));
            }
            break;
        }
        case 0x22: {
            const int index = static_cast<int>(toInteger(vm.toNumber(pop(f))));
            const Value target = pop(f);
            Object* clip = clipOf(f, target);
            if (host && clip && index >= 0 && index <= 21)
                push(host->getProperty(clip, index));
            else
                push(Value());
            break;
        }
        case 0x23: {
            const Value value = pop(f);
            const int index = static_cast<int>(toInteger(vm.toNumber(pop(f))));
            const Value target = pop(f);
            Object* clip = clipOf(f, target);
            if (host && clip && index >= 0 && index <= 21) {
                host->setProperty(clip, index, value);
            } else if (value.isObject() && index >= 0 && index <= 21 && index != 11 && index != 14 && index != 15 &&
                       index != 17) {
                // With no clip there a property still converts the value as it would take it (_target,
                // _droptarget, _url and _focusrect never do).
                if (index == 13 || index == 19) vm.toString(value);
                else vm.toNumber(value);
            }
            break;
        }
        case 0x24: {
            const double depth = vm.toNumber(pop(f));
            const QString name = vm.toString(pop(f));
            Object* source = clipOf(f, pop(f));
            if (host && source && !isNan(depth))
                host->duplicateClip(source, name, static_cast<int>(std::clamp(toInteger(depth), -2147483648.0, 2147483647.0)));
            break;
        }
        case 0x25: {
            Object* clip = clipOf(f, pop(f));
            if (host && clip) host->removeClip(clip);
            break;
        }
        case 0x27: {
            Object* clip = clipOf(f, pop(f));
            // Both flags are read as numbers, as the version 4 actions read every value.
            auto flag = [&](const Value& v) {
                const double n = vm.toNumber(v);
                return !std::isnan(n) && n != 0;
            };
            const bool lockCenter = flag(pop(f));
            std::optional<QRectF> bounds;
            // The constraint rectangle follows only when the flag reads as exactly 1 (true, 1, "1").
            if (vm.toNumber(pop(f)) == 1.0) {
                const double y2 = vm.toNumber(pop(f));
                const double x2 = vm.toNumber(pop(f));
                const double y1 = vm.toNumber(pop(f));
                const double x1 = vm.toNumber(pop(f));
                bounds = QRectF(QPointF(x1, y1), QPointF(x2, y2));
            }
            if (host && clip) host->startDrag(clip, lockCenter, bounds);
            break;
        }
        case 0x28:
            if (host) host->stopDrag();
            break;
        case 0x26: {
            const Value v = pop(f);
            if (!host) break;
            // The trace log has lines ending in newlines only: a carriage return starts a new line.
            QString text;
            try {
                text = v.isUndefined() ? QStringLiteral("undefined") : vm.toString(v);
            } catch (const ScriptException&) {
                // A conversion that throws still prints the object's kind; the exception goes on after.
                host->trace(v.isObject() && v.asObject()->isCallable() ? QStringLiteral("[type Function]")
                                                                       : QStringLiteral("[type Object]"));
                throw;
            }
            text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
            host->trace(text);
            break;
        }
        case 0x9a: {
            const std::uint8_t flags = r.u8();
            if (!r.ok()) return kStop;
            const QString target = vm.toString(pop(f));
            const QString url = vm.toString(pop(f));
            if (host)
                host->getUrl(f.target ? f.target : f.baseClip, url, target, flags & 3, (flags & 0x40) != 0,
                             (flags & 0x80) != 0);
            break;
        }
        case 0x9f: {
            const std::uint8_t flags = r.u8();
            int bias = 0;
            if (flags & 2) bias = r.u16();
            if (!r.ok()) return kStop;
            gotoFrame2(frameValue(vm, pop(f)), flags & 1, bias);
            break;
        }
        default:
            // Unknown actions are skipped by their length.
            break;
        }
    }
    return {};
}

// Keeps the shared stack and the frame chain right however the frame is left.
struct FrameGuard {
    Frame& frame;
    Frame* previous;
    std::size_t base;
    int uncaught;
    // Values a list or function leaves on the stack stay for the code that ran it (there is one
    // operand stack); only its registers go. An exception unwinding through drops everything.
    bool keepLeftovers = false;
    explicit FrameGuard(Frame& f)
        : frame(f), previous(t_currentFrame), base(t_stack.size()), uncaught(std::uncaught_exceptions()) {
        frame.caller = previous;
        t_currentFrame = &f;
    }
    ~FrameGuard() {
        if (keepLeftovers && std::uncaught_exceptions() == uncaught && frame.stackBase >= base &&
            t_stack.size() >= frame.stackBase) {
            t_stack.erase(t_stack.begin() + static_cast<std::ptrdiff_t>(base),
                          t_stack.begin() + static_cast<std::ptrdiff_t>(frame.stackBase));
        } else {
            t_stack.resize(base);
        }
        t_currentFrame = previous;
    }
};

// Most values one outermost list may hand on to the next; older ones are dropped past it.
constexpr std::size_t kMaxCarriedValues = 4096;

}  // namespace

void interpretActionList(Vm& vm, const ActionCode& code, Object* clip) {
    if (!code) return;
    const ActionCode keep = code;
    // Version 4 movies have no global object: NaN and Infinity are plain undefined names there.
    Object* const scope[] = {vm.global(), clip};
    std::span<Object* const> chain(scope, clip ? 2 : 1);
    if (vm.swfVersion() < 5 && clip) chain = chain.subspan(1);
    Frame f(vm, *keep, 0, keep->size(), chain, clip, Value(clip));
    FrameGuard guard(f);
    const bool outermost = guard.previous == nullptr;
    guard.keepLeftovers = !outermost;
    f.code = keep;
    // A list starts with the constant pool declared last, even in another list.
    f.constants = vm.lastConstants();
    if (clip && clip->display()) f.haltWhenRemoved = clip;
    f.regBase = t_stack.size();
    f.regCount = 4;
    t_stack.resize(f.regBase + f.regCount);
    f.stackBase = t_stack.size();
    if (outermost) {
        std::vector<Value>& carried = vm.carriedStack();
        t_stack.insert(t_stack.end(), std::make_move_iterator(carried.begin()), std::make_move_iterator(carried.end()));
        carried.clear();
    }
    Interpreter(f).run(0, keep->size());
    if (outermost && t_stack.size() > f.stackBase) {
        std::vector<Value>& carried = vm.carriedStack();
        const std::size_t from = std::max(f.stackBase, t_stack.size() - std::min(t_stack.size(), kMaxCarriedValues));
        carried.assign(std::make_move_iterator(t_stack.begin() + static_cast<std::ptrdiff_t>(from)),
                       std::make_move_iterator(t_stack.end()));
    }
}

void clearSharedStack(Vm& vm) { vm.carriedStack().clear(); }

bool runningConstructor() { return t_currentFrame && t_currentFrame->constructing; }

Object* runningTarget() { return t_currentFrame ? timelineTarget(*t_currentFrame) : nullptr; }

Value interpretFunction(Vm& vm, Object* callee, const Value& thisValue, std::span<const Value> args) {
    if (!callee || !callee->script()) return {};
    const std::shared_ptr<ScriptFunction> sf = callee->script();
    if (!sf->code) return {};
    const std::vector<std::uint8_t>& bytes = *sf->code;
    const std::size_t begin = std::min(sf->start, bytes.size());
    const std::size_t end = begin + std::min(sf->length, bytes.size() - begin);
    Object* base = sf->baseClip;
    Value self = thisValue;
    // A call written in code of a version 5 movie is no closure: the function acts on the clip it is
    // called on (or the caller's target for a plain call), sees that timeline's variables and follows
    // that movie's version rules, wherever it was defined. From version 6 on, and for calls the machine
    // makes by itself, a function keeps the timeline, scope and version it was defined with.
    const bool fromCode = std::exchange(t_explicitCall, false) || !t_currentFrame;
    const bool thisUnset = std::exchange(t_thisUnset, false);
    const int callerVersion = t_currentFrame ? t_currentFrame->version : vm.swfVersion();
    int version = sf->swfVersion;
    std::span<Object* const> scope(sf->scope);
    Object* timelineScope[2] = {vm.global(), nullptr};
    if (fromCode && callerVersion <= 5) {
        if (isClip(self.object())) base = self.object();
        else if (t_currentFrame && t_currentFrame->target) base = t_currentFrame->target;
        if (base && base != sf->baseClip) {
            timelineScope[1] = base;
            scope = std::span<Object* const>(timelineScope, 2);
            const int clipVersion = vm.host() ? vm.host()->movieVersion(base) : 0;
            version = clipVersion > 0 ? clipVersion : vm.swfVersion();
        }
    }
    // A plain call has no object; the function then sees its own timeline as `this`.
    if (self.isNullish() && base && !thisUnset) self = Value(base);

    struct VersionScope {
        Vm& vm;
        int saved;
        ~VersionScope() { vm.setSwfVersion(saved); }
    } versionScope{vm, vm.swfVersion()};
    vm.setSwfVersion(version);
    timelineScope[0] = vm.global();   // the global object of the version the body runs with
    Frame f(vm, bytes, begin, end, scope, base, self);
    FrameGuard guard(f);
    if (base && base->display()) f.haltAfterCall = base;
    guard.keepLeftovers = guard.previous != nullptr;
    // Functions came with version 5: their body follows its rules even in an older movie.
    f.version = std::max(f.version, 5);
    f.isFunction = true;
    f.constructing = std::exchange(vm.constructPending(), false);
    f.superHome = std::exchange(vm.superHomePending(), nullptr);
    f.code = sf->code;
    f.callee = callee;
    f.args = args;
    f.constants = sf->constants;
    f.regBase = t_stack.size();
    f.regCount = sf->isFunction2 ? sf->registerCount : 4;
    t_stack.resize(f.regBase + f.regCount);
    f.stackBase = t_stack.size();

    auto makeArguments = [&]() {
        ArrayObject* a = vm.makeArray(std::vector<Value>(args.begin(), args.end()));
        a->define(QStringLiteral("callee"), Value(callee), propflag::kDontEnum);
        Object* caller = nullptr;
        if (f.caller && &f.caller->vm == &vm) caller = f.caller->callee;
        a->define(QStringLiteral("caller"), caller ? Value(caller) : Value::null(), propflag::kDontEnum);
        return a;
    };

    if (sf->isFunction2) {
        const std::uint16_t flags = sf->flags;
        f.thisVisible = !(flags & (kSuppressThis | kPreloadThis));
        f.argumentsVisible = !(flags & (kSuppressArguments | kPreloadArguments));
        f.superVisible = !(flags & (kSuppressSuper | kPreloadSuper));
        std::size_t reg = 1;
        auto preload = [&](const Value& v) {
            if (reg < f.regCount) t_stack[f.regBase + reg] = v;
            ++reg;
        };
        // A preload flag with its suppress flag still takes the register but leaves it empty (the
        // arguments array excepted).
        if (flags & kPreloadThis) preload((flags & kSuppressThis) ? Value() : self);
        if (flags & kPreloadArguments) preload(Value(makeArguments()));
        if (flags & kPreloadSuper) {
            if (!(flags & kSuppressSuper)) prepareSuper(f);
            preload(f.superObject ? Value(f.superObject) : Value());
        }
        if (flags & kPreloadRoot) preload(rootOf(f));
        if (flags & kPreloadParent) {
            Value parent;
            if (vm.host() && base) parent = Value(vm.host()->resolveTarget(base, QStringLiteral("_parent")));
            // A timeline without a parent takes no register: the next preloaded value moves up.
            if (parent.isObject()) preload(parent);
        }
        if (flags & kPreloadGlobal) preload(Value(vm.global()));
        if (f.argumentsVisible) ensureActivation(f)->setOwn(QStringLiteral("arguments"), Value(makeArguments()));
        for (std::size_t i = 0; i < sf->params.size(); ++i) {
            const Value arg = i < args.size() ? args[i] : Value();
            const std::uint8_t r = i < sf->paramRegisters.size() ? sf->paramRegisters[i] : 0;
            if (r != 0) {
                if (r < f.regCount) t_stack[f.regBase + r] = arg;
            } else {
                ensureActivation(f)->setOwn(sf->params[i], arg);
            }
        }
    } else {
        Object* a = ensureActivation(f);
        a->setOwn(QStringLiteral("arguments"), Value(makeArguments()));
        for (std::size_t i = 0; i < sf->params.size(); ++i)
            a->setOwn(sf->params[i], i < args.size() ? args[i] : Value());
    }

    const Outcome o = Interpreter(f).run(begin, end);
    if (o.flow == Flow::Return) return f.returnValue;
    return {};
}

}  // namespace vistrel::avm1
