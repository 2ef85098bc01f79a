// Objects of the ActionScript machine: ordered properties (with getters, setters and flags), a prototype,
// and what built-in kinds carry (a function's code, an array's elements, a wrapper's primitive, a clip's
// display object). Every object lives in the machine's heap and is collected when nothing reaches it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include <QHash>
#include <QString>

#include "player/avm1/value.h"

namespace vistrel::player {
struct DisplayObject;
}

namespace vistrel::avm1 {

class Vm;
class Heap;

// Property attributes as ASSetPropFlags sets them.
namespace propflag {
inline constexpr std::uint16_t kDontEnum = 1, kDontDelete = 2, kReadOnly = 4;
// Hidden from movies of versions before 6, 7, 8, 9 and 10 (built-ins added by later players).
inline constexpr std::uint16_t kVersion6 = 1 << 7, kVersion7 = 1 << 10, kVersion8 = 1 << 12, kVersion9 = 1 << 13,
                               kVersion10 = 1 << 14;
// Hides a property from version 6 movies and older (the reverse of the version bits above it).
inline constexpr std::uint16_t kUpToVersion6 = 1 << 8;
}  // namespace propflag

// Whether a property with these flags is out of sight for a movie of `version`.
bool hiddenFor(std::uint16_t flags, int version);

struct Property {
    Value value;
    Object* getter = nullptr;   // addProperty: both set, or a getter alone (then read-only)
    Object* setter = nullptr;
    std::uint16_t flags = 0;
    bool isAccessor() const { return getter != nullptr; }
};

// What kind of built-in an object is; scripts see it through instanceof and the class methods.
enum class ObjectClass : std::uint8_t {
    Object, Function, Array, String, Number, Boolean, Date, Error, Arguments, MovieClip, TextField, Button,
    Sound, Color, TextFormat, Xml, XmlNode, LoadVars, SharedObject, Other
};

// A native method: `thisValue` is the object it was called on (undefined for a plain call).
using NativeFunction = std::function<Value(Vm& vm, const Value& thisValue, std::span<const Value> args)>;

// A function written in ActionScript: its code, its parameters and the scope it closes over.
struct ScriptFunction {
    QString name;
    std::shared_ptr<const std::vector<std::uint8_t>> code;   // the whole block it was defined in
    std::size_t start = 0;          // its body: [start, start + length) within `code`
    std::size_t length = 0;
    std::vector<QString> params;
    std::vector<std::uint8_t> paramRegisters;   // DefineFunction2: register per parameter (0 = by name)
    std::uint8_t registerCount = 4;
    std::uint16_t flags = 0;        // DefineFunction2 preload / suppress flags
    bool isFunction2 = false;
    std::vector<Object*> scope;     // the scope chain at definition, outermost first
    std::shared_ptr<const std::vector<QString>> constants;   // the constant pool in force at definition
    int swfVersion = 10;
    Object* baseClip = nullptr;     // the timeline the code belongs to
};

class Object {
public:
    explicit Object(ObjectClass cls = ObjectClass::Object) : m_class(cls) {}
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ObjectClass objectClass() const { return m_class; }
    void setObjectClass(ObjectClass cls) { m_class = cls; }
    Object* proto() const { return m_proto; }
    void setProto(Object* proto) { m_proto = proto; }

    // Own properties, in the order they were added. Names compare without case for movies before
    // version 7 (the heap decides).
    Property* findOwn(const QString& name);
    const Property* findOwn(const QString& name) const;
    // Adds or replaces the value of an own property, keeping its flags when it exists.
    void setOwn(const QString& name, const Value& value, std::uint16_t flagsIfNew = 0);
    // Adds a property with flags (a built-in method or constant); replaces what was there.
    void define(const QString& name, const Value& value, std::uint16_t flags = 0);
    void defineAccessor(const QString& name, Object* getter, Object* setter, std::uint16_t flags = 0);
    bool removeOwn(const QString& name);    // false when it does not exist or may not be deleted
    bool hasOwn(const QString& name) const { return findOwn(name) != nullptr; }
    // Names of the own properties, oldest first (flags not filtered).
    std::vector<QString> ownNames() const;
    template <class F> void forEachOwn(F&& f) const {
        for (const Slot& s : m_slots)
            if (!s.removed) f(s.name, s.property);
    }

    // Special members computed rather than stored (an array's length and elements, a clip's _x, a text
    // field's text). Looked up before the stored properties; return false to fall through.
    virtual bool getSpecial(Vm& vm, const QString& name, Value& out);
    virtual bool setSpecial(Vm& vm, const QString& name, const Value& value);
    // Special names an enumeration also lists (a clip's named children), appended to `names`.
    virtual void specialNames(std::vector<QString>& names) const;
    // Deletes a computed member: nullopt when `name` is not one, else whether it went.
    virtual std::optional<bool> removeSpecial(const QString& name);
    // Every own name with its flags, oldest first, as an enumeration walks them: the special names,
    // then the stored properties.
    struct OwnEntry {
        QString name;
        std::uint16_t flags = 0;
    };
    virtual void ownEntries(std::vector<OwnEntry>& out) const;
    // Marks what this object reaches beyond its properties and prototype.
    virtual void markChildren(Heap& heap);

    // Callable objects.
    bool isCallable() const { return m_native || m_script; }
    const NativeFunction& native() const { return m_native; }
    const std::shared_ptr<ScriptFunction>& script() const { return m_script; }
    void setNative(NativeFunction f) { m_native = std::move(f); }
    void setScript(std::shared_ptr<ScriptFunction> f) { m_script = std::move(f); }
    // A native constructor run by `new` instead of the function itself (built-in classes whose call
    // and construction differ, like String("a") and new String("a")).
    const NativeFunction& nativeConstructor() const { return m_nativeConstructor; }
    void setNativeConstructor(NativeFunction f) { m_nativeConstructor = std::move(f); }

    // Wrappers (String, Number, Boolean, Date) keep their primitive here.
    const Value& primitive() const { return m_primitive; }
    void setPrimitive(const Value& v) { m_primitive = v; }

    // Watchpoints set by Object.watch: callback and its extra argument per property name.
    struct Watch {
        Object* callback = nullptr;
        Value userData;
    };
    Watch* findWatch(const QString& name);
    void setWatch(const QString& name, Object* callback, const Value& userData);
    bool removeWatch(const QString& name);

    // Interfaces a class declared with `implements` (on the prototype object).
    std::vector<Object*>& interfaces() { return m_interfaces; }

    // The display object of a clip, text field or button, or null (also once it has been removed).
    player::DisplayObject* display() const { return m_display; }
    void setDisplay(player::DisplayObject* d) { m_display = d; }
    // The display object a reference to this object means now: its own, or for a clip that has gone,
    // the clip that took its place.
    virtual player::DisplayObject* currentDisplay() const { return m_display; }
    // A reference to a clip that has gone with nothing now at its path: it reads as nothing, keeps
    // nothing stored on it and prints as an empty string, yet stays a clip for typeof.
    virtual bool vacant() const { return false; }

    // Heap bookkeeping.
    bool marked() const { return m_marked; }

protected:
    // Creation stamps: a property added later has a larger one (array elements share the count). When
    // the count runs out, every stamp is numbered afresh in the same order.
    std::uint32_t nextStamp() {
        if (m_nextStamp == kLastStamp) renumberStamps();
        return m_nextStamp++;
    }
    virtual void renumberStamps();
    template <class F> void forEachOwnStamped(F&& f) const {
        for (const Slot& s : m_slots)
            if (!s.removed) f(s.name, s.property, s.stamp);
    }
    // The stamp of every stored property, oldest first, to renumber; then the count goes on from `next`.
    template <class F> void forEachStamp(F&& f) {
        for (Slot& s : m_slots)
            if (!s.removed) f(s.stamp);
    }
    void setNextStamp(std::uint32_t next) { m_nextStamp = next; }
    static constexpr std::uint32_t kLastStamp = 0xffffffffu;

private:
    friend class Heap;
    struct Slot {
        QString name;
        Property property;
        std::uint32_t stamp = 0;
        bool removed = false;
    };
    // A name looked up in the index, folded on the fly when names ignore case; the index keeps the
    // folded form, so a lookup neither allocates nor folds twice.
    struct NameKey {
        QStringView name;
        bool fold = false;
    };
    struct NameHash {
        using is_transparent = void;
        std::size_t operator()(const QString& key) const noexcept { return hashName(key, false); }
        std::size_t operator()(const NameKey& key) const noexcept { return hashName(key.name, key.fold); }
    };
    struct NameEq {
        using is_transparent = void;
        bool operator()(const QString& a, const QString& b) const noexcept { return a == b; }
        bool operator()(const NameKey& a, const QString& key) const noexcept { return matchesKey(a, key); }
        bool operator()(const QString& key, const NameKey& a) const noexcept { return matchesKey(a, key); }
    };
    static std::size_t hashName(QStringView name, bool fold) noexcept;
    static bool matchesKey(const NameKey& a, const QString& key) noexcept;
    NameKey lookupKey(const QString& name) const;
    int indexOf(const QString& name) const;
    void rebuildIndex();

    ObjectClass m_class;
    Object* m_proto = nullptr;
    std::vector<Slot> m_slots;
    std::unordered_map<QString, int, NameHash, NameEq> m_index;   // key: the name, folded when names ignore case
    int m_removedCount = 0;
    std::uint32_t m_nextStamp = 0;
    NativeFunction m_native;
    NativeFunction m_nativeConstructor;
    std::shared_ptr<ScriptFunction> m_script;
    Value m_primitive;
    std::unique_ptr<std::vector<std::pair<QString, Watch>>> m_watches;
    std::vector<Object*> m_interfaces;
    player::DisplayObject* m_display = nullptr;
    Heap* m_heap = nullptr;
    bool m_marked = false;
};

// An array keeps its elements in one vector as long as `length`; an index never set (or deleted) is a
// hole: absent for enumeration and hasOwnProperty, read through the prototype. Elements carry flags and
// creation stamps like stored properties, so for..in lists elements and named properties newest first.
class ArrayObject : public Object {
public:
    struct Element {
        Value value;
        std::uint32_t stamp = 0;
        std::uint16_t flags = 0;
        bool present = false;
    };

    ArrayObject() : Object(ObjectClass::Array) {}
    std::size_t length() const { return m_length; }
    bool has(std::size_t i) const { return find(i) != nullptr; }
    // The element's value, undefined for a hole or past the end.
    const Value& at(std::size_t i) const;
    // The element at `i` or null for a hole or past the end.
    Element* element(std::size_t i) { return const_cast<Element*>(find(i)); }
    // Stores a value at `i`, growing length; a read-only element keeps its value. A hole filled is a
    // new element (newest for enumeration).
    void set(std::size_t i, const Value& value);
    void push(const Value& value) { set(m_length, value); }
    // Deletes the element at `i`, leaving a hole; false when it is not there or may not be deleted.
    bool remove(std::size_t i);
    // Sets length: cutting drops the elements past it, growing adds holes (bounded by kMaxLength).
    void setLength(std::size_t length);
    // Every element's value with holes as undefined (as many as walkable() allows).
    std::vector<Value> values() const;
    // Replaces the contents: elements that stay keep their place in enumeration order.
    void assign(std::vector<Value> values);

    bool getSpecial(Vm& vm, const QString& name, Value& out) override;
    bool setSpecial(Vm& vm, const QString& name, const Value& value) override;
    std::optional<bool> removeSpecial(const QString& name) override;
    void ownEntries(std::vector<OwnEntry>& out) const override;
    void markChildren(Heap& heap) override;

    // Longest array a method goes through place by place or builds; past it the machine stops the script.
    static constexpr std::size_t kMaxArrayLength = 1u << 24;
    // Longest length a script may give an array (by a far index or by length) while storing only a few.
    static constexpr std::size_t kMaxLength = 0xffffffffu;
    // `length` when a method may go through that many places one by one; otherwise the script stops.
    static std::size_t walkable(std::size_t length);
    // Whether only the elements present are stored (an array mostly of holes), rather than a slot for
    // every index below length.
    bool isSparse() const { return m_isSparse; }

protected:
    void renumberStamps() override;

private:
    // Arrays this short always have a slot per index; longer ones have them while at least a quarter of
    // the places hold an element (going back to slots once half of them do).
    static constexpr std::size_t kSparseGap = 1024;

    const Element* find(std::size_t i) const {
        if (!m_isSparse) return i < m_elements.size() && m_elements[i].present ? &m_elements[i] : nullptr;
        const auto it = m_sparse.find(i);
        return it != m_sparse.end() ? &it->second : nullptr;
    }
    // Calls f(index, element) for every element present, in index order.
    template <class Self, class F> static void forEachPresent(Self& self, F&& f) {
        if (self.m_isSparse) {
            for (auto& [i, e] : self.m_sparse) f(i, e);
            return;
        }
        for (std::size_t i = 0; i < self.m_elements.size(); ++i)
            if (self.m_elements[i].present) f(i, self.m_elements[i]);
    }
    void toSparse();
    void toSlotsIfDense();

    // One form at a time: slots for every index below length, or the elements present by index.
    std::vector<Element> m_elements;
    std::map<std::size_t, Element> m_sparse;
    std::size_t m_length = 0;
    std::size_t m_present = 0;   // elements present, in either form
    bool m_isSparse = false;
};

// A number when `name` is a canonical array index ("0", "17", not "01" or "-1").
std::optional<std::size_t> arrayIndex(const QString& name);

// `name` in the one case that names compare in when case does not count. The older players' case
// table is older than today's: letters given a case partner only later fold to themselves, and the
// old Georgian capitals still fold to today's small letters.
QString foldCase(QStringView name);
// foldCase of `name`, sharing `name` itself when folding changes nothing (most names are already small).
QString foldedName(const QString& name);
// Whether two names are the same once folded (foldCase(a) == foldCase(b)), without building either.
bool sameFolded(QStringView a, QStringView b);
// One UTF-16 unit as foldCase turns it: the letters of the first plane fold, surrogate halves stay.
char16_t foldUnitWide(char16_t c);
inline char16_t foldUnit(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? char16_t(c + 0x20) : c;
    return foldUnitWide(c);
}

// Owns every object; a mark-and-sweep collection runs only between scripts, from the roots the machine
// names, so objects that only C++ code holds during a script are never collected under it.
class Heap {
public:
    Heap() = default;
    ~Heap();
    Heap(const Heap&) = delete;
    Heap& operator=(const Heap&) = delete;

    // Property names compare without case (movies before version 7).
    bool ignoresCase() const { return m_ignoreCase; }
    void setIgnoresCase(bool on) { m_ignoreCase = on; }
    QString key(const QString& name) const { return m_ignoreCase ? foldedName(name) : name; }

    template <class T = Object, class... Args> T* make(Args&&... args) {
        auto owned = std::make_unique<T>(std::forward<Args>(args)...);
        T* raw = owned.get();
        raw->m_heap = this;
        m_objects.push_back(std::move(owned));
        ++m_allocatedSinceCollect;
        return raw;
    }

    // Marking, for Object::markChildren and the machine's roots.
    void mark(Object* o);
    void mark(const Value& v) {
        if (v.isObject()) mark(v.asObject());
    }
    // Sweeps everything not marked since the last sweep, then clears the marks. Returns objects freed.
    std::size_t sweep();

    std::size_t size() const { return m_objects.size(); }
    std::size_t allocatedSinceCollect() const { return m_allocatedSinceCollect; }

private:
    void drain();
    std::vector<std::unique_ptr<Object>> m_objects;
    std::vector<Object*> m_grey;
    std::size_t m_allocatedSinceCollect = 0;
    bool m_ignoreCase = false;
    bool m_draining = false;
};

}  // namespace vistrel::avm1
