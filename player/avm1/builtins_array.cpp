// Array: the constructor, the methods and the sort flags.
#include <algorithm>
#include <functional>
#include <vector>

#include "player/avm1/builtins_internal.h"

namespace vistrel::avm1::builtins {

namespace {

namespace sortflag {
constexpr int kCaseInsensitive = 1, kDescending = 2, kUniqueSort = 4, kReturnIndexedArray = 8, kNumeric = 16;
}

// Stops the script when an array would grow past the machine's limit.
void checkLength(std::size_t length) {
    if (length > ArrayObject::kMaxArrayLength)
        throw ScriptAbort{QStringLiteral("An array grew past %1 elements.").arg(ArrayObject::kMaxArrayLength)};
}

// The elements a method works on: an array's own, or an array-like object's read through length and
// indices (written back the same way).
std::vector<Value> elementsOf(Vm& vm, const Value& self) { return arrayLikeElements(vm, self); }

void storeElements(Vm& vm, const Value& self, std::vector<Value> elements) {
    Object* o = self.object();
    if (!o) return;
    if (auto* array = dynamic_cast<ArrayObject*>(o)) {
        checkLength(elements.size());
        array->assign(std::move(elements));
        return;
    }
    const double oldLength = vm.toNumber(vm.getMember(self, QStringLiteral("length")));
    for (std::size_t i = 0; i < elements.size(); ++i) {
        vm.tick();
        vm.setMember(self, QString::number(i), elements[i]);
    }
    // Elements past the new end go, as they do from a real array.
    const std::size_t end = std::isfinite(oldLength) && oldLength > 0
                                ? static_cast<std::size_t>(std::min(oldLength, double(ArrayObject::kMaxArrayLength)))
                                : 0;
    for (std::size_t i = elements.size(); i < end; ++i) {
        vm.tick();
        vm.deleteMember(self, QString::number(i));
    }
    vm.setMember(self, QStringLiteral("length"), Value(static_cast<double>(elements.size())));
}

// The elements of an array or an array-like object one at a time, read, deleted and written as a script
// would: methods that move elements do it in a fixed order, so holes, read-only and undeletable
// elements and the enumeration order come out as movies expect.
class ElementAccess {
public:
    ElementAccess(Vm& vm, const Value& self) : m_vm(vm), m_self(self), m_array(dynamic_cast<ArrayObject*>(self.object())) {}

    std::size_t length() {
        if (m_array) return ArrayObject::walkable(m_array->length());
        const double n = m_vm.toNumber(m_vm.getMember(m_self, QStringLiteral("length")));
        return std::isfinite(n) && n > 0 ? static_cast<std::size_t>(std::min(n, double(ArrayObject::kMaxArrayLength))) : 0;
    }
    Value get(std::size_t i) {
        m_vm.tick();
        if (m_array && m_array->has(i) && !m_array->element(i)->flags) return m_array->at(i);
        return m_vm.getMember(m_self, QString::number(i));
    }
    void remove(std::size_t i) {
        if (m_array) m_array->remove(i);
        else m_vm.deleteMember(m_self, QString::number(i));
    }
    void set(std::size_t i, const Value& v) {
        if (m_array) m_array->set(i, v);
        else m_vm.setMember(m_self, QString::number(i), v);
    }
    bool has(std::size_t i) {
        if (m_array) return m_array->has(i);
        return m_vm.hasProperty(m_self.object(), QString::number(i));
    }
    // Copies element `from` to `to`; a hole at `from` deletes `to`.
    void move(std::size_t from, std::size_t to) {
        if (has(from)) set(to, get(from));
        else remove(to);
    }
    // Sets length after elements moved: an array cuts what lies past it, an array-like object is told.
    void truncate(std::size_t n) {
        if (m_array) m_array->setLength(n);
        else m_vm.setMember(m_self, QStringLiteral("length"), Value(static_cast<double>(n)));
    }

private:
    Vm& m_vm;
    const Value& m_self;
    ArrayObject* m_array;
};

// A position argument as slice and splice read it: negative counts from the end, clamped to [0, length].
std::size_t relativeIndex(Vm& vm, const Value& v, std::size_t length) {
    const double n = toInteger(vm.toNumber(v));
    const double len = static_cast<double>(length);
    if (n < 0) return static_cast<std::size_t>(std::max(len + n, 0.0));
    return static_cast<std::size_t>(std::min(n, len));
}

ArrayObject* newArray(Vm& vm, std::vector<Value> elements) {
    checkLength(elements.size());
    return vm.makeArray(std::move(elements));
}

Value arrayConstruct(Vm& vm, const Value&, std::span<const Value> args) {
    if (args.size() == 1 && args[0].isNumber()) {
        ArrayObject* a = vm.makeArray();
        const double n = toInteger(args[0].asNumber());
        if (n > 0) a->setLength(static_cast<std::size_t>(std::min(n, double(ArrayObject::kMaxLength) + 1)));
        return Value(a);
    }
    return Value(vm.makeArray(std::vector<Value>(args.begin(), args.end())));
}

// The sort is this quicksort (middle element as pivot, partitions of under four sorted by hand). Its order
// for equal elements and for comparators that contradict themselves is what movies see, so it is kept
// exactly. It only swaps entries of `order`, so it stays in bounds whatever `compare` answers.
void quickSort(std::vector<std::size_t>& order, const std::function<int(std::size_t, std::size_t)>& compare) {
    if (order.size() < 2) return;
    auto cmp = [&](std::size_t i, std::size_t j) { return compare(order[i], order[j]); };
    auto swap = [&](std::size_t i, std::size_t j) { std::swap(order[i], order[j]); };
    struct Range {
        std::size_t lo, hi;
    };
    std::vector<Range> stack;
    std::size_t lo = 0, hi = order.size() - 1;
    for (;;) {
        const std::size_t size = hi - lo + 1;
        bool next = true;
        if (size == 3) {
            if (cmp(lo, lo + 1) > 0) {
                swap(lo, lo + 1);
                if (cmp(lo + 1, lo + 2) > 0) {
                    swap(lo + 1, lo + 2);
                    if (cmp(lo, lo + 1) > 0) swap(lo, lo + 1);
                }
            } else if (cmp(lo + 1, lo + 2) > 0) {
                swap(lo + 1, lo + 2);
                if (cmp(lo, lo + 1) > 0) swap(lo, lo + 1);
            }
        } else if (size == 2) {
            if (cmp(lo, lo + 1) > 0) swap(lo, lo + 1);
        } else if (size > 3) {
            swap(lo + size / 2, lo);
            std::size_t left = lo, right = hi + 1;
            for (;;) {
                do ++left;
                while (left <= hi && cmp(left, lo) <= 0);
                do --right;
                while (right > lo && cmp(right, lo) >= 0);
                if (right < left) break;
                swap(left, right);
            }
            swap(lo, right);
            // Keep the larger part for later, go on with the smaller one.
            if ((right - 1) - lo >= hi - left) {
                if (lo + 1 < right) stack.push_back({lo, right - 1});
                if (left < hi) {
                    lo = left;
                    next = false;
                }
            } else {
                if (left < hi) stack.push_back({left, hi});
                if (lo + 1 < right) {
                    hi = right - 1;
                    next = false;
                }
            }
        }
        if (next) {
            if (stack.empty()) return;
            lo = stack.back().lo;
            hi = stack.back().hi;
            stack.pop_back();
        }
    }
}

int compareStrings(const QString& a, const QString& b, bool caseInsensitive) {
    const int c = caseInsensitive ? a.toLower().compare(b.toLower()) : a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// The built-in orders: by string (optionally without case) or, with NUMERIC, numbers by value; a pair that
// is not two numbers falls back to the string order.
int compareValues(Vm& vm, const Value& a, const Value& b, int flags) {
    if (flags & sortflag::kNumeric) {
        if (a.isNumber() && b.isNumber()) {
            const double x = a.asNumber(), y = b.asNumber();
            if (x < y) return -1;
            if (x > y) return 1;
            if (x == y) return 0;
            // NaN: keep it after the numbers.
            if (std::isnan(x) && std::isnan(y)) return 0;
            return std::isnan(x) ? 1 : -1;
        }
    }
    return compareStrings(vm.toString(a), vm.toString(b), flags & sortflag::kCaseInsensitive);
}

// Sorts `elements` with `compare` and applies UNIQUESORT, RETURNINDEXEDARRAY and the write-back.
Value finishSort(Vm& vm, const Value& self, std::vector<Value> elements, int flags, bool undefinedApart,
                 const std::function<int(const Value&, const Value&)>& compare) {
    // The built-in orders sort undefined apart: first where it reads as "" (before version 7), last where
    // it reads as "undefined"; DESCENDING turns that round.
    std::vector<std::size_t> order, undefinedAt;
    for (std::size_t i = 0; i < elements.size(); ++i)
        (undefinedApart && elements[i].isUndefined() ? undefinedAt : order).push_back(i);
    bool sawEqual = undefinedAt.size() > 1;
    quickSort(order, [&](std::size_t x, std::size_t y) {
        vm.tick();
        int c = compare(elements[x], elements[y]);
        if (c == 0) sawEqual = true;
        return (flags & sortflag::kDescending) ? -c : c;
    });
    if (!undefinedAt.empty()) {
        const bool first = (vm.swfVersion() < 7) != bool(flags & sortflag::kDescending);
        order.insert(first ? order.begin() : order.end(), undefinedAt.begin(), undefinedAt.end());
    }
    if ((flags & sortflag::kUniqueSort) && sawEqual) return Value(0);
    if (flags & sortflag::kReturnIndexedArray) {
        std::vector<Value> indices;
        indices.reserve(order.size());
        for (std::size_t i : order) indices.emplace_back(static_cast<double>(i));
        return Value(newArray(vm, std::move(indices)));
    }
    std::vector<Value> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order) sorted.push_back(elements[i]);
    storeElements(vm, self, std::move(sorted));
    return self;
}

int comparatorResult(Vm& vm, const Value& fn, const Value& a, const Value& b) {
    const Value args[] = {a, b};
    const double r = vm.toNumber(vm.call(fn, Value(), args));
    if (r > 0) return 1;
    if (r < 0) return -1;
    return 0;
}

Value arraySort(Vm& vm, const Value& self, std::span<const Value> args) {
    if (!self.isObject()) return {};
    Value comparator;
    int flags = 0;
    std::size_t next = 0;
    if (Object* f = arg(args, 0).object(); f && f->isCallable()) {
        comparator = args[0];
        next = 1;
    }
    if (next < args.size() && !args[next].isNullish()) flags = static_cast<int>(toInteger(vm.toNumber(args[next])));
    std::vector<Value> elements = elementsOf(vm, self);
    if (comparator.isObject())
        return finishSort(vm, self, std::move(elements), flags, false,
                          [&](const Value& a, const Value& b) { return comparatorResult(vm, comparator, a, b); });
    return finishSort(vm, self, std::move(elements), flags, true,
                      [&](const Value& a, const Value& b) { return compareValues(vm, a, b, flags); });
}

Value arraySortOn(Vm& vm, const Value& self, std::span<const Value> args) {
    if (!self.isObject() || args.empty()) return self;
    std::vector<QString> fields;
    if (args[0].isString()) {
        fields.push_back(args[0].asString());
    } else if (args[0].isObject() && args[0].asObject()->objectClass() == ObjectClass::Array) {
        for (const Value& v : arrayLikeElements(vm, args[0])) fields.push_back(vm.toString(v));
    } else {
        return self;
    }
    if (fields.empty()) return self;
    // Flags: one number for every field, or one per field; a list of the wrong length is ignored.
    std::vector<int> fieldFlags(fields.size(), 0);
    const Value& options = arg(args, 1);
    if (options.isObject() && options.asObject()->objectClass() == ObjectClass::Array) {
        const std::vector<Value> list = arrayLikeElements(vm, options);
        if (list.size() == fields.size())
            for (std::size_t i = 0; i < list.size(); ++i)
                fieldFlags[i] = static_cast<int>(toInteger(vm.toNumber(list[i])));
    } else if (!options.isNullish()) {
        std::fill(fieldFlags.begin(), fieldFlags.end(), static_cast<int>(toInteger(vm.toNumber(options))));
    }
    // UNIQUESORT and RETURNINDEXEDARRAY come from the first field; DESCENDING applies per field.
    const int flags = fieldFlags[0] & (sortflag::kUniqueSort | sortflag::kReturnIndexedArray);
    std::vector<Value> elements = elementsOf(vm, self);
    return finishSort(vm, self, std::move(elements), flags, false, [&](const Value& a, const Value& b) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            const Value va = vm.getMember(a, fields[i]);
            const Value vb = vm.getMember(b, fields[i]);
            int c = compareValues(vm, va, vb, fieldFlags[i]);
            if (fieldFlags[i] & sortflag::kDescending) c = -c;
            if (c != 0) return c;
        }
        return 0;
    });
}

QString joinElements(Vm& vm, const std::vector<Value>& elements, const QString& separator) {
    QString out;
    for (std::size_t i = 0; i < elements.size(); ++i) {
        vm.tick();
        if (i) out += separator;
        out += vm.toString(elements[i]);
    }
    return out;
}

}  // namespace

void installArray(Vm& vm) {
    Object* proto = vm.makeArray();
    vm.protos().array = proto;
    Object* ctor = defineClass(vm, QStringLiteral("Array"), proto, arrayConstruct, arrayConstruct);
    ctor->define(QStringLiteral("CASEINSENSITIVE"), Value(sortflag::kCaseInsensitive), kConstant);
    ctor->define(QStringLiteral("DESCENDING"), Value(sortflag::kDescending), kConstant);
    ctor->define(QStringLiteral("UNIQUESORT"), Value(sortflag::kUniqueSort), kConstant);
    ctor->define(QStringLiteral("RETURNINDEXEDARRAY"), Value(sortflag::kReturnIndexedArray), kConstant);
    ctor->define(QStringLiteral("NUMERIC"), Value(sortflag::kNumeric), kConstant);

    method(vm, proto, QStringLiteral("push"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (!self.isObject()) return {};
        // A real array grows in place: building one with push stays linear.
        if (auto* array = dynamic_cast<ArrayObject*>(self.asObject())) {
            const std::size_t length = array->length() + args.size();
            for (const Value& v : args) array->push(v);
            return Value(static_cast<double>(length));
        }
        std::vector<Value> e = elementsOf(vm, self);
        e.insert(e.end(), args.begin(), args.end());
        const double length = static_cast<double>(e.size());
        storeElements(vm, self, std::move(e));
        return Value(length);
    });
    method(vm, proto, QStringLiteral("unshift"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (!self.isObject()) return {};
        // Each element moves up from the last one down (taken away, then stored anew), then the new ones
        // are stored at the front.
        ElementAccess a(vm, self);
        const std::size_t length = a.length();
        const std::size_t n = args.size();
        checkLength(length + n);
        for (std::size_t k = length; k > 0; --k) {
            const Value v = a.get(k - 1);
            a.remove(k - 1);
            a.set(k - 1 + n, v);
        }
        for (std::size_t j = 0; j < n; ++j) a.set(j, args[j]);
        a.truncate(length + n);
        return Value(static_cast<double>(length + n));
    });
    method(vm, proto, QStringLiteral("pop"), [](Vm& vm, const Value& self, std::span<const Value>) -> Value {
        if (!self.isObject()) return {};
        if (auto* array = dynamic_cast<ArrayObject*>(self.asObject())) {
            if (array->length() == 0) return {};
            Value last = ElementAccess(vm, self).get(array->length() - 1);
            array->setLength(array->length() - 1);
            return last;
        }
        std::vector<Value> e = elementsOf(vm, self);
        if (e.empty()) return {};
        Value last = e.back();
        e.pop_back();
        storeElements(vm, self, std::move(e));
        return last;
    });
    method(vm, proto, QStringLiteral("shift"), [](Vm& vm, const Value& self, std::span<const Value>) -> Value {
        if (!self.isObject()) return {};
        // Every element after the first is taken away and stored anew one place down (holes become
        // undefined elements), then the last place goes.
        ElementAccess a(vm, self);
        const std::size_t length = a.length();
        if (length == 0) return {};
        Value first = a.get(0);
        for (std::size_t i = 1; i < length; ++i) {
            const Value v = a.get(i);
            a.remove(i - 1);
            a.set(i - 1, v);
        }
        a.remove(length - 1);
        a.truncate(length - 1);
        return first;
    });
    method(vm, proto, QStringLiteral("reverse"), [](Vm& vm, const Value& self, std::span<const Value>) -> Value {
        if (!self.isObject()) return {};
        // Pairs from the outside in: both read, both taken away, then stored swapped (holes become
        // undefined elements, an element that may not go stays where it is in enumeration order).
        ElementAccess a(vm, self);
        const std::size_t length = a.length();
        for (std::size_t i = 0, j = length; i + 1 < j; ++i) {
            --j;
            const Value low = a.get(i);
            const Value high = a.get(j);
            a.remove(i);
            a.remove(j);
            a.set(i, high);
            a.set(j, low);
        }
        return self;
    });
    method(vm, proto, QStringLiteral("concat"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        std::vector<Value> e = elementsOf(vm, self);
        for (const Value& v : args) {
            // Arrays are spread one level; anything else is appended as it is.
            if (auto* a = dynamic_cast<ArrayObject*>(v.object())) {
                checkLength(e.size() + a->length());
                const std::vector<Value> more = a->values();
                e.insert(e.end(), more.begin(), more.end());
            } else {
                e.push_back(v);
            }
        }
        return Value(newArray(vm, std::move(e)));
    });
    method(vm, proto, QStringLiteral("join"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        const QString separator = arg(args, 0).isUndefined() ? QStringLiteral(",") : vm.toString(args[0]);
        return Value(joinElements(vm, elementsOf(vm, self), separator));
    });
    method(vm, proto, QStringLiteral("toString"), [](Vm& vm, const Value& self, std::span<const Value>) -> Value {
        return Value(joinElements(vm, elementsOf(vm, self), QStringLiteral(",")));
    });
    method(vm, proto, QStringLiteral("slice"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        const std::vector<Value> e = elementsOf(vm, self);
        const std::size_t start = args.empty() ? 0 : relativeIndex(vm, args[0], e.size());
        const std::size_t end = arg(args, 1).isUndefined() ? e.size() : relativeIndex(vm, args[1], e.size());
        std::vector<Value> out;
        if (start < end)
            out.assign(e.begin() + static_cast<std::ptrdiff_t>(start), e.begin() + static_cast<std::ptrdiff_t>(end));
        return Value(newArray(vm, std::move(out)));
    });
    method(vm, proto, QStringLiteral("splice"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (!self.isObject() || args.empty()) return {};
        ElementAccess a(vm, self);
        const std::size_t length = a.length();
        const std::size_t start = relativeIndex(vm, args[0], length);
        std::size_t count = length - start;
        if (args.size() > 1) {
            const double n = toInteger(vm.toNumber(args[1]));
            count = n <= 0 ? 0 : static_cast<std::size_t>(std::min(n, static_cast<double>(count)));
        }
        std::vector<Value> removed;
        removed.reserve(count);
        for (std::size_t i = 0; i < count; ++i) removed.push_back(a.get(start + i));
        const std::span<const Value> items = args.size() > 2 ? args.subspan(2) : std::span<const Value>();
        const std::size_t n = items.size();
        checkLength(length - count + n);
        // The elements after the cut move to their new places, holes staying holes: an element stored
        // where one already is keeps that one's place in enumeration order. Moving down goes up from
        // the cut, moving up comes down from the end, so nothing is overwritten before it moved.
        if (n < count) {
            for (std::size_t k = start; k < length - count; ++k) a.move(k + count, k + n);
            for (std::size_t k = length; k > length - count + n; --k) a.remove(k - 1);
        } else if (n > count) {
            for (std::size_t k = length - count; k > start; --k) a.move(k + count - 1, k + n - 1);
        }
        for (std::size_t j = 0; j < n; ++j) a.set(start + j, items[j]);
        a.truncate(length - count + n);
        return Value(newArray(vm, std::move(removed)));
    });
    method(vm, proto, QStringLiteral("sort"), arraySort);
    method(vm, proto, QStringLiteral("sortOn"), arraySortOn);
}

}  // namespace vistrel::avm1::builtins
