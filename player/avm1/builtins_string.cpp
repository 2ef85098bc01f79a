// String: the constructor, fromCharCode and the methods, counting UTF-16 units.
#include <algorithm>
#include <vector>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"

namespace vistrel::avm1::builtins {

namespace {

// One character in its other case, as the case tables of Unicode 3.0 give it: letters added later, and
// mappings to letters added later, leave a character as it is. A few keep mappings of their own: the final
// sigma raises to the code point just below the capital sigma (which lowers back to it), the lunate sigma
// to the capital sigma, the micro sign stays, the dotted capital I lowers to a plain i, the old Georgian
// capitals lower to the modern letters, Greek letters with an iota below raise to their forms with the
// iota beside, and a few later pairs (koppa, the theta and lunate epsilon symbols, the short I with tail,
// the ghe with descender) map as well.
char16_t caseMapped(char16_t c, bool upper) {
    if (c < 0x80) {
        if (upper && c >= u'a' && c <= u'z') return static_cast<char16_t>(c - 32);
        if (!upper && c >= u'A' && c <= u'Z') return static_cast<char16_t>(c + 32);
        return c;
    }
    if (upper) {
        switch (c) {
        case 0x3c2: return 0x3a2;
        case 0x3f2: return 0x3a3;
        case 0xb5: return c;
        case 0x1fb3: return 0x1fbc;
        case 0x1fc3: return 0x1fcc;
        case 0x1ff3: return 0x1ffc;
        case 0x3d9: return 0x3d8;
        case 0x3f5: return 0x395;
        case 0x48b: return 0x48a;
        case 0x4f7: return 0x4f6;
        default: break;
        }
        if ((c >= 0x1f80 && c <= 0x1f87) || (c >= 0x1f90 && c <= 0x1f97) || (c >= 0x1fa0 && c <= 0x1fa7))
            return static_cast<char16_t>(c + 8);
    } else {
        switch (c) {
        case 0x3a2: return 0x3c2;
        case 0x130: return u'i';
        case 0x3d8: return 0x3d9;
        case 0x3f4: return 0x3b8;
        case 0x48a: return 0x48b;
        case 0x4f6: return 0x4f7;
        default: break;
        }
        if (c >= 0x10a0 && c <= 0x10c5) return static_cast<char16_t>(c + 0x30);
    }
    const char32_t mapped = upper ? QChar::toUpper(char32_t{c}) : QChar::toLower(char32_t{c});
    if (mapped == c || mapped > 0xffff || QChar::unicodeVersion(char32_t{c}) > QChar::Unicode_3_0 ||
        QChar::unicodeVersion(mapped) > QChar::Unicode_3_0)
        return c;
    return static_cast<char16_t>(mapped);
}

// The string a method works on: a primitive, a String object's own, or anything else converted.
QString thisString(Vm& vm, const Value& self) {
    if (self.isString()) return self.asString();
    if (Object* o = self.object(); o && o->objectClass() == ObjectClass::String && o->primitive().isString())
        return o->primitive().asString();
    return vm.toString(self);
}

int intArg(Vm& vm, const Value& v) { return toInt32(vm.toNumber(v)); }

// A position that counts from the end when negative, clamped to [0, length].
qsizetype wrapIndex(qint64 i, qsizetype length) {
    if (i < 0) return static_cast<qsizetype>(std::max<qint64>(length + i, 0));
    return static_cast<qsizetype>(std::min<qint64>(i, length));
}

qsizetype clampIndex(qint64 i, qsizetype length) {
    return static_cast<qsizetype>(std::clamp<qint64>(i, 0, length));
}

Value makeStringObject(Vm& vm, const QString& s) {
    Object* o = vm.heap().make<Object>(ObjectClass::String);
    o->setProto(vm.protos().string);
    o->setPrimitive(Value(s));
    o->define(QStringLiteral("length"), Value(static_cast<double>(s.size())), kConstant);
    return Value(o);
}

Value stringSplit(Vm& vm, const Value& self, std::span<const Value> args) {
    const QString s = thisString(vm, self);
    std::size_t limit = ArrayObject::kMaxArrayLength;
    if (!arg(args, 1).isUndefined()) limit = static_cast<std::size_t>(std::max(intArg(vm, args[1]), 0));
    std::vector<Value> parts;
    if (limit == 0) return Value(vm.makeArray());
    const Value& separatorValue = arg(args, 0);
    QString separator;
    if (separatorValue.isUndefined()) {
        // Movies before version 6 split on commas when given no separator; later ones keep the whole string.
        if (vm.swfVersion() >= 6) return Value(vm.makeArray({Value(s)}));
        separator = QStringLiteral(",");
    } else {
        separator = vm.toString(separatorValue);
    }
    if (separator.isEmpty()) {
        // Version 5 keeps the string whole; later versions give one element per unit.
        if (vm.swfVersion() < 6) return Value(vm.makeArray({Value(s)}));
        for (qsizetype i = 0; i < s.size() && parts.size() < limit; ++i) parts.emplace_back(QString(s[i]));
        return Value(vm.makeArray(std::move(parts)));
    }
    qsizetype from = 0;
    while (parts.size() < limit) {
        vm.tick();
        const qsizetype at = s.indexOf(separator, from);
        if (at < 0) {
            parts.emplace_back(s.mid(from));
            break;
        }
        parts.emplace_back(s.mid(from, at - from));
        from = at + separator.size();
    }
    return Value(vm.makeArray(std::move(parts)));
}

}  // namespace

void installString(Vm& vm) {
    Object* proto = vm.makeObject();
    vm.protos().string = proto;
    Object* ctor = defineClass(
        vm, QStringLiteral("String"), proto,
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            return Value(args.empty() ? QString() : vm.toString(args[0]));
        },
        [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            return makeStringObject(vm, args.empty() ? QString() : vm.toString(args[0]));
        });

    method(vm, ctor, QStringLiteral("fromCharCode"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        QString out;
        out.reserve(static_cast<qsizetype>(args.size()));
        // Strings end at a zero unit, so a zero code ends the result.
        for (const Value& v : args) {
            const auto unit = static_cast<char16_t>(toUint32(vm.toNumber(v)) & 0xffff);
            if (unit == 0) break;
            out += QChar(unit);
        }
        return Value(out);
    });

    auto self = [](Vm&, const Value& self, std::span<const Value>) -> Value {
        if (self.isString()) return self;
        if (Object* o = self.object(); o && o->objectClass() == ObjectClass::String) return o->primitive();
        return {};
    };
    method(vm, proto, QStringLiteral("toString"), self);
    method(vm, proto, QStringLiteral("valueOf"), self);

    method(vm, proto, QStringLiteral("charAt"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        const QString s = thisString(vm, self);
        const qint64 i = intArg(vm, arg(args, 0));
        if (i < 0 || i >= s.size()) return Value(QString());
        return Value(QString(s[static_cast<qsizetype>(i)]));
    });
    method(vm, proto, QStringLiteral("charCodeAt"),
           [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
               const QString s = thisString(vm, self);
               const qint64 i = intArg(vm, arg(args, 0));
               if (i < 0) return Value(std::nan(""));
               // Past the end, version 5 movies read a terminating zero.
               if (i >= s.size()) return vm.swfVersion() < 6 ? Value(0) : Value(std::nan(""));
               return Value(static_cast<int>(s[static_cast<qsizetype>(i)].unicode()));
           });
    method(vm, proto, QStringLiteral("concat"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        QString s = thisString(vm, self);
        for (const Value& v : args) s += vm.toString(v);
        return Value(s);
    });
    method(vm, proto, QStringLiteral("indexOf"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (args.empty()) return {};
        const QString s = thisString(vm, self);
        const QString needle = vm.toString(args[0]);
        const qint64 start = std::max(intArg(vm, arg(args, 1)), 0);
        if (start > s.size()) return Value(-1);
        return Value(static_cast<double>(s.indexOf(needle, static_cast<qsizetype>(start))));
    });
    method(vm, proto, QStringLiteral("lastIndexOf"),
           [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
               if (args.empty()) return {};
               const QString s = thisString(vm, self);
               const QString needle = vm.toString(args[0]);
               qint64 start = s.size();
               if (!arg(args, 1).isUndefined()) start = intArg(vm, args[1]);
               if (start < 0) return Value(-1);
               start = std::min<qint64>(start, s.size());
               // Search by hand: a start at the very end must still find an empty string there.
               for (qint64 i = std::min<qint64>(start, s.size() - needle.size()); i >= 0; --i)
                   if (QStringView(s).mid(static_cast<qsizetype>(i), needle.size()) == needle)
                       return Value(static_cast<double>(i));
               return Value(-1);
           });
    method(vm, proto, QStringLiteral("slice"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (args.empty()) return {};
        const QString s = thisString(vm, self);
        const qsizetype start = wrapIndex(intArg(vm, args[0]), s.size());
        const qsizetype end = arg(args, 1).isUndefined() ? s.size() : wrapIndex(intArg(vm, args[1]), s.size());
        return Value(start < end ? s.mid(start, end - start) : QString());
    });
    method(vm, proto, QStringLiteral("substr"), [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
        if (args.empty()) return {};
        const QString s = thisString(vm, self);
        const qsizetype start = wrapIndex(intArg(vm, args[0]), s.size());
        const qint64 length = arg(args, 1).isUndefined() ? s.size() : intArg(vm, args[1]);
        // A negative length counts back from the end, like the start does.
        const qsizetype end = wrapIndex(static_cast<qint64>(start) + length, s.size());
        return Value(start < end ? s.mid(start, end - start) : QString());
    });
    method(vm, proto, QStringLiteral("substring"),
           [](Vm& vm, const Value& self, std::span<const Value> args) -> Value {
               if (args.empty()) return {};
               const QString s = thisString(vm, self);
               qsizetype start = clampIndex(intArg(vm, args[0]), s.size());
               qsizetype end = arg(args, 1).isUndefined() ? s.size() : clampIndex(intArg(vm, args[1]), s.size());
               if (start > end) std::swap(start, end);
               return Value(s.mid(start, end - start));
           });
    method(vm, proto, QStringLiteral("split"), stringSplit);
    // Case changes map each character to one character: a letter whose other case is several
    // (the sharp s, ligatures) stays as it is, so lengths and indices hold.
    method(vm, proto, QStringLiteral("toLowerCase"), [](Vm& vm, const Value& self, std::span<const Value>) -> Value {
        QString s = thisString(vm, self);
        for (QChar& c : s) c = QChar(caseMapped(c.unicode(), false));
        return Value(s);
    });
    method(vm, proto, QStringLiteral("toUpperCase"), [](Vm& vm, const Value& self, std::span<const Value>) -> Value {
        QString s = thisString(vm, self);
        for (QChar& c : s) c = QChar(caseMapped(c.unicode(), true));
        return Value(s);
    });
}

}  // namespace vistrel::avm1::builtins
