// The built-in function tables: ASnative(table, index) hands out a built-in by number, ASSetNative and
// ASSetNativeAccessor put numbered built-ins on an object under names (the way class
// libraries built on the numbered tables are written), ASnew tells a function whether `new` runs it.
#include <limits>

#include <QStringList>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"
#include "player/avm1/interpreter.h"

namespace vistrel::avm1::builtins {

namespace {

// A method of `holder` as the built-ins installed it, or nothing.
NativeFunction nativeOf(Object* holder, const QString& name) {
    if (!holder) return {};
    const Property* p = holder->findOwn(name);
    if (!p || !p->value.isObject()) return {};
    return p->value.asObject()->native();
}

Object* globalObject(Vm& vm, const char* name) {
    const Property* p = vm.global()->findOwn(QString::fromLatin1(name));
    return p ? p->value.object() : nullptr;
}

// Enters `names` (comma-separated, in index order from 0) of `holder` into `table`.
void enter(Vm& vm, int table, Object* holder, const char* names) {
    int index = 0;
    for (const QString& name : QString::fromLatin1(names).split(QLatin1Char(','))) {
        if (NativeFunction f = nativeOf(holder, name)) vm.nativeTable()[{table, index}] = std::move(f);
        ++index;
    }
}

bool knownTable(Vm& vm, int table) {
    auto it = vm.nativeTable().lower_bound({table, std::numeric_limits<int>::min()});
    return it != vm.nativeTable().end() && it->first.first == table;
}

// The function behind (table, index). An index a known table lacks still gives a function: it does
// nothing, except in the Math table, whose entries all convert their first two arguments first.
NativeFunction tableEntry(Vm& vm, int table, int index) {
    auto it = vm.nativeTable().find({table, index});
    if (it != vm.nativeTable().end()) return it->second;
    if (table == 200) {
        return [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
            for (std::size_t i = 0; i < args.size() && i < 2; ++i) vm.toNumber(args[i]);
            return Value(std::numeric_limits<double>::quiet_NaN());
        };
    }
    return [](Vm&, const Value&, std::span<const Value>) -> Value { return {}; };
}

int toIndex(Vm& vm, const Value& v) { return toInt32(vm.toNumber(v)); }

// A name with a version prefix: 6 to 9 and 10 hide it from older movies; 1 alone carries no rule.
QString stripVersion(const QString& name, std::uint16_t& flags) {
    flags = 0;
    if (name.isEmpty()) return name;
    const QChar c = name[0];
    if (c == u'1') {
        if (name.size() > 1 && name[1] == u'0') {
            flags = propflag::kVersion10;
            return name.mid(2);
        }
        return name.mid(1);
    }
    switch (c.unicode()) {
    case u'6': flags = propflag::kVersion6; break;
    case u'7': flags = propflag::kVersion7; break;
    case u'8': flags = propflag::kVersion8; break;
    case u'9': flags = propflag::kVersion9; break;
    default: return name;
    }
    return name.mid(1);
}

// ASSetNative(object, table, names, first) and ASSetNativeAccessor: each non-empty name takes the next
// index (accessors a getter and a setter each); an existing property keeps its place and flags.
void setNatives(Vm& vm, std::span<const Value> args, bool accessors) {
    Object* target = arg(args, 0).object();
    if (!target || args.size() < 3) return;
    const int table = toIndex(vm, args[1]);
    const QString names = vm.toString(args[2]);
    int index = args.size() > 3 ? toIndex(vm, args[3]) : 0;
    for (const QString& piece : names.split(QLatin1Char(','))) {
        std::uint16_t flags = 0;
        const QString name = stripVersion(piece, flags);
        if (name.isEmpty()) {
            ++index;
            continue;
        }
        if (accessors) {
            Object* getter = vm.makeFunction(QString(), tableEntry(vm, table, index));
            Object* setter = vm.makeFunction(QString(), tableEntry(vm, table, index + 1));
            target->defineAccessor(name, getter, setter, flags);
            index += 2;
        } else {
            target->setOwn(name, Value(vm.makeFunction(QString(), tableEntry(vm, table, index))), flags);
            ++index;
        }
    }
}

}  // namespace

void installNativeFunctions(Vm& vm) {
    Object* global = vm.global();
    method(vm, global, QStringLiteral("ASnative"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        if (args.size() != 2) return {};
        const double t = vm.toNumber(args[0]);
        if (std::isnan(t)) return {};
        const int table = toInt32(t);
        if (!knownTable(vm, table)) return {};
        return Value(vm.makeFunction(QString(), tableEntry(vm, table, toIndex(vm, args[1]))));
    });
    method(vm, global, QStringLiteral("ASSetNative"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        setNatives(vm, args, false);
        return {};
    });
    method(vm, global, QStringLiteral("ASSetNativeAccessor"),
           [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
               setNatives(vm, args, true);
               return {};
           });
}

void registerNativeTables(Vm& vm) {
    Object* global = vm.global();
    auto& t = vm.nativeTable();
    // ASnew: true inside a function that `new` runs.
    t[{2, 0}] = [](Vm&, const Value&, std::span<const Value>) { return Value(runningConstructor()); };
    enter(vm, 100, global, "escape,unescape,parseInt,parseFloat");
    t[{100, 4}] = [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        if (!vm.host()) return {};
        const Value& v = arg(args, 0);
        QString text = v.isUndefined() ? QStringLiteral("undefined") : vm.toString(v);
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        vm.host()->trace(text);
        return {};
    };
    enter(vm, 101, vm.protos().object,
          "watch,unwatch,addProperty,valueOf,toString,hasOwnProperty,isPrototypeOf,isPropertyEnumerable");
    enter(vm, 103, vm.protos().date,
          "getFullYear,getYear,getMonth,getDate,getDay,getHours,getMinutes,getSeconds,getMilliseconds,"
          "setFullYear,setMonth,setDate,setHours,setMinutes,setSeconds,setMilliseconds,getTime,setTime,"
          "getTimezoneOffset,toString,setYear");
    enter(vm, 106, vm.protos().number, "valueOf,toString");
    enter(vm, 107, vm.protos().boolean, "valueOf,toString");
    enter(vm, 200, globalObject(vm, "Math"),
          "abs,min,max,sin,cos,atan2,tan,exp,log,sqrt,round,random,floor,ceil,atan,asin,acos,pow");
    enter(vm, 251, vm.protos().string,
          "valueOf,toString,toUpperCase,toLowerCase,charAt,charCodeAt,concat,indexOf,lastIndexOf,slice,"
          "substring,split,substr");
    enter(vm, 252, vm.protos().array,
          "push,pop,concat,shift,unshift,slice,join,splice,toString,sort,reverse,sortOn");
}

}  // namespace vistrel::avm1::builtins
