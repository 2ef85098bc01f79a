// Object, Function and global built-ins: own-property queries, addProperty, watch, registerClass,
// ASSetPropFlags (with the version-hiding bits), call/apply, escape/unescape and the names each version sees.
#include <gtest/gtest.h>

#include "player/avm1/builtins.h"
#include "tests/avm1/builtins_support.h"

using namespace vistrel::avm1;
using vistrel::avm1::testing::Machine;

TEST(BuiltinsObject, OwnPropertiesAndPrototypes) {
    Machine m(7);
    const Value o = m.construct("Object");
    m.vm.setMember(o, "x", Value(1));
    EXPECT_TRUE(m.call(o, "hasOwnProperty", {Value("x")}).asBool());
    EXPECT_FALSE(m.call(o, "hasOwnProperty", {Value("toString")}).asBool());
    EXPECT_TRUE(m.call(o, "isPropertyEnumerable", {Value("x")}).asBool());
    EXPECT_FALSE(m.call(m.path("Object.prototype"), "isPropertyEnumerable", {Value("toString")}).asBool());
    EXPECT_TRUE(m.call(m.path("Object.prototype"), "isPrototypeOf", {o}).asBool());
    EXPECT_FALSE(m.call(o, "isPrototypeOf", {o}).asBool());
    EXPECT_EQ(m.str(o), "[object Object]");
    EXPECT_EQ(m.str(m.call(o, "toLocaleString")), "[object Object]");
    EXPECT_EQ(m.str(m.global("Object")), "[type Function]");
    // Object(v) boxes a primitive.
    EXPECT_EQ(m.vm.typeOf(m.callGlobal("Object", {Value("s")})), "object");
    EXPECT_EQ(m.str(m.callGlobal("Object", {Value("s")})), "s");
    const Value arr = m.array({Value(1)});
    EXPECT_TRUE(m.call(arr, "hasOwnProperty", {Value("0")}).asBool());
    EXPECT_FALSE(m.call(arr, "isPropertyEnumerable", {Value("length")}).asBool());
}

TEST(BuiltinsFunction, CalledPlainlyHandsBackItsArgumentOrABareObject) {
    Machine m(8);
    EXPECT_TRUE(m.callGlobal("Function", {Value(true)}).asBool());
    EXPECT_EQ(m.str(m.callGlobal("Function", {Value("return 5"), Value(2)})), "return 5");
    const Value bare = m.callGlobal("Function");
    ASSERT_TRUE(bare.isObject());
    EXPECT_EQ(bare.asObject()->proto(), nullptr);
    EXPECT_EQ(m.str(bare), "[type Object]");
    EXPECT_NE(bare.asObject(), m.callGlobal("Function").asObject());
}

TEST(BuiltinsFunction, BuiltInClassesOwnAConstructorPropertyScriptFunctionsDoNot) {
    Machine m(8);
    for (const char* name : {"Object", "Function", "Number", "String", "Array", "Date", "Error"}) {
        EXPECT_TRUE(m.call(m.global(name), "hasOwnProperty", {Value("constructor")}).asBool()) << name;
        EXPECT_EQ(m.vm.getMember(m.global(name), "constructor").object(), m.global("Function").object()) << name;
    }
    EXPECT_FALSE(m.call(m.global("Math"), "hasOwnProperty", {Value("constructor")}).asBool());
    EXPECT_FALSE(m.call(m.global("parseInt"), "hasOwnProperty", {Value("constructor")}).asBool());
}

TEST(BuiltinsObject, AddPropertyAndWatch) {
    Machine m(7);
    const Value o = m.construct("Object");
    double stored = 0;
    const Value getter(m.vm.makeFunction("get", [&stored](Vm&, const Value&, std::span<const Value>) { return Value(stored * 2); }));
    const Value setter(m.vm.makeFunction("set", [&stored](Vm& vm, const Value&, std::span<const Value> a) {
        stored = vm.toNumber(a[0]);
        return Value();
    }));
    EXPECT_TRUE(m.call(o, "addProperty", {Value("p"), getter, setter}).asBool());
    m.vm.setMember(o, "p", Value(21));
    EXPECT_EQ(m.num(m.vm.getMember(o, "p")), 42);
    EXPECT_FALSE(m.call(o, "addProperty", {Value(""), getter, setter}).asBool());
    EXPECT_FALSE(m.call(o, "addProperty", {Value("q"), getter, Value(3)}).asBool());
    EXPECT_TRUE(m.call(o, "addProperty", {Value("r"), getter, Value::null()}).asBool());

    const Value watcher(m.vm.makeFunction("w", [](Vm& vm, const Value&, std::span<const Value> a) {
        return Value(vm.toString(a[2]) + QStringLiteral("!") + vm.toString(a[3]));
    }));
    EXPECT_TRUE(m.call(o, "watch", {Value("w"), watcher, Value("data")}).asBool());
    m.vm.setMember(o, "w", Value("new"));
    EXPECT_EQ(m.str(m.vm.getMember(o, "w")), "new!data");
    EXPECT_TRUE(m.call(o, "unwatch", {Value("w")}).asBool());
    EXPECT_FALSE(m.call(o, "unwatch", {Value("w")}).asBool());
    EXPECT_FALSE(m.call(o, "watch", {Value("w"), Value(1)}).asBool());
}

TEST(BuiltinsObject, RegisterClassFeedsAttachMovie) {
    Machine m(6);
    const Value ctor(m.vm.makeFunction("C", [](Vm&, const Value&, std::span<const Value>) { return Value(); }));
    EXPECT_EQ(registeredClass(m.vm, "clipSymbol", 6), nullptr);
    EXPECT_TRUE(m.call(m.global("Object"), "registerClass", {Value("clipSymbol"), ctor}).asBool());
    EXPECT_EQ(registeredClass(m.vm, "clipSymbol", 6), ctor.asObject());
    m.vm.collectGarbage({});
    EXPECT_EQ(registeredClass(m.vm, "clipSymbol", 6), ctor.asObject());
    EXPECT_TRUE(m.call(m.global("Object"), "registerClass", {Value("clipSymbol"), Value::null()}).asBool());
    EXPECT_EQ(registeredClass(m.vm, "clipSymbol", 6), nullptr);
    EXPECT_FALSE(m.call(m.global("Object"), "registerClass", {Value("x")}).asBool());
}

TEST(BuiltinsObject, RegisterClassKeepsOldAndNewMoviesApart) {
    // Code of a version 6 movie registers for symbols of movies before version 7, names without case;
    // code of a version 7 movie for symbols of later movies, names with case.
    Machine m(6);
    const Value oldClass(m.vm.makeFunction("Old", [](Vm&, const Value&, std::span<const Value>) { return Value(); }));
    const Value newClass(m.vm.makeFunction("New", [](Vm&, const Value&, std::span<const Value>) { return Value(); }));
    m.call(m.global("Object"), "registerClass", {Value("Clip"), oldClass});
    EXPECT_EQ(registeredClass(m.vm, "clip", 5), oldClass.asObject());
    EXPECT_EQ(registeredClass(m.vm, "Clip", 7), nullptr);
    m.vm.setSwfVersion(8);
    m.call(m.global("Object"), "registerClass", {Value("Clip"), newClass});
    EXPECT_EQ(registeredClass(m.vm, "Clip", 10), newClass.asObject());
    EXPECT_EQ(registeredClass(m.vm, "clip", 10), nullptr);
    EXPECT_EQ(registeredClass(m.vm, "CLIP", 6), oldClass.asObject());
}

TEST(BuiltinsObject, NamesEachVersionSees) {
    Machine m5(5), m6(6);
    for (const char* name : {"Object.prototype.addProperty", "Object.prototype.hasOwnProperty", "Object.prototype.watch",
                             "Function.prototype.call", "Function.prototype.apply", "Function"}) {
        EXPECT_TRUE(m5.path(name).isUndefined()) << name;
        EXPECT_EQ(m6.vm.typeOf(m6.path(name)), "function") << name;
    }
    for (const char* name : {"Object.registerClass", "Array.prototype.sortOn", "Error", "Date.prototype.getUTCYear"})
        EXPECT_EQ(m5.vm.typeOf(m5.path(name)), "function") << name;
    EXPECT_EQ(m5.num(m5.path("Array.NUMERIC")), 16);
}

TEST(BuiltinsGlobal, AsSetPropFlagsHidesProtectsAndGatesByVersion) {
    Machine m(6);
    const Value o = m.construct("Object");
    for (const char* n : {"a", "b", "c", "d"}) m.vm.setMember(o, n, Value(1));
    const Value flags = m.global("ASSetPropFlags");
    m.vm.call(flags, Value(), std::vector<Value>{o, Value("a,b"), Value(1)});   // hidden
    EXPECT_FALSE(m.call(o, "isPropertyEnumerable", {Value("a")}).asBool());
    EXPECT_FALSE(m.call(o, "isPropertyEnumerable", {Value("b")}).asBool());
    EXPECT_TRUE(m.call(o, "isPropertyEnumerable", {Value("c")}).asBool());
    m.vm.call(flags, Value(), std::vector<Value>{o, m.array({Value("c")}), Value(2)});   // undeletable
    EXPECT_FALSE(m.vm.deleteMember(o, "c"));
    m.vm.call(flags, Value(), std::vector<Value>{o, Value("c"), Value(0), Value(2)});   // cleared again
    EXPECT_TRUE(m.vm.deleteMember(o, "c"));
    m.vm.call(flags, Value(), std::vector<Value>{o, Value("d"), Value(4)});   // read-only
    m.vm.setMember(o, "d", Value(5));
    EXPECT_EQ(m.num(m.vm.getMember(o, "d")), 1);
    // 0x400: only version 7 and later movies see it.
    m.vm.call(flags, Value(), std::vector<Value>{o, Value::null(), Value(0x400)});
    EXPECT_TRUE(m.vm.getMember(o, "a").isUndefined());
    // Hidden from reading, but still its own property, as hasOwnProperty reports.
    EXPECT_TRUE(m.call(o, "hasOwnProperty", {Value("d")}).asBool());
    m.vm.call(flags, Value(), std::vector<Value>{o, Value::null(), Value(0), Value(0x400)});
    EXPECT_EQ(m.num(m.vm.getMember(o, "a")), 1);
}

TEST(BuiltinsObject, OwnNamesIgnoreCaseBeforeVersion7ThroughDeletesAndCompaction) {
    // Enough deletions that the object compacts its storage; the rest stay reachable under any case.
    auto name = [](const char* stem, int i) { return QString::fromUtf8(stem) + QString::number(i); };
    Machine old(6);
    Object* o = old.vm.heap().make<Object>();
    for (int i = 0; i < 40; ++i) o->setOwn(name("PropertyNumber", i), Value(i));
    for (int i = 0; i < 30; ++i) EXPECT_TRUE(o->removeOwn(name("propertynumber", i))) << i;
    EXPECT_FALSE(o->removeOwn(name("PROPERTYNUMBER", 0))) << "already gone";
    for (int i = 0; i < 40; ++i) {
        const Property* p = o->findOwn(name("PROPERTYNUMBER", i));
        if (i < 30) {
            EXPECT_EQ(p, nullptr) << i;
            continue;
        }
        ASSERT_NE(p, nullptr) << i;
        EXPECT_EQ(old.num(p->value), i);
    }
    // Setting under another case replaces the value and keeps the first spelling.
    o->setOwn(QStringLiteral("propertyNUMBER35"), Value(99));
    EXPECT_EQ(old.num(o->findOwn(QStringLiteral("PropertyNumber35"))->value), 99);
    const std::vector<QString> names = o->ownNames();
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ(names.front(), QStringLiteral("PropertyNumber30"));
    EXPECT_EQ(names[5], QStringLiteral("PropertyNumber35"));

    Machine current(7);
    Object* c = current.vm.heap().make<Object>();
    c->setOwn(QStringLiteral("PropertyNumber1"), Value(1));
    EXPECT_EQ(c->findOwn(QStringLiteral("propertynumber1")), nullptr);
    EXPECT_FALSE(c->removeOwn(QStringLiteral("propertynumber1")));
    c->setOwn(QStringLiteral("propertynumber1"), Value(2));
    EXPECT_EQ(current.num(c->findOwn(QStringLiteral("PropertyNumber1"))->value), 1);
    EXPECT_EQ(current.num(c->findOwn(QStringLiteral("propertynumber1"))->value), 2);
}

TEST(BuiltinsFunction, CallAndApply) {
    Machine m(7);
    const Value f(m.vm.makeFunction("f", [](Vm& vm, const Value& self, std::span<const Value> a) {
        QString s = vm.toString(self);
        for (const Value& v : a) s += QStringLiteral(",") + vm.toString(v);
        return Value(s);
    }));
    EXPECT_EQ(m.str(m.call(f, "call", {Value("t"), Value(1), Value(2)})), "t,1,2");
    EXPECT_EQ(m.str(m.call(f, "apply", {Value("t"), m.array({Value(3), Value(4)})})), "t,3,4");
    EXPECT_EQ(m.str(m.call(f, "apply", {Value("t")})), "t");
    EXPECT_EQ(m.str(m.call(f, "call")), "undefined");
}

TEST(BuiltinsGlobal, EscapeAndUnescape) {
    Machine m(7);
    EXPECT_EQ(m.str(m.callGlobal("escape", {Value("aZ9 @*_+-./")})), "aZ9%20%40%2A%5F%2B%2D%2E%2F");
    EXPECT_EQ(m.str(m.callGlobal("escape", {Value(QString::fromUtf8("\xC4\x80"))})), "%C4%80");
    EXPECT_EQ(m.str(m.callGlobal("escape", {Value(QString::fromUtf8("ab\0cd", 5))})), "ab");
    EXPECT_TRUE(m.callGlobal("escape").isUndefined());
    EXPECT_EQ(m.callGlobal("unescape", {Value("%e3%81%82+x")}).asString(), QString::fromUtf8("\xE3\x81\x82 x"));
    EXPECT_EQ(m.str(m.callGlobal("unescape", {Value("a%zzb%4zc%u0041%")})), "azbc0041");
    EXPECT_EQ(m.num(m.callGlobal("parseInt", {Value("ff"), Value(16)})), 255);
    EXPECT_EQ(m.num(m.callGlobal("parseFloat", {Value("2.5e1x")})), 25);
    EXPECT_TRUE(m.callGlobal("isNaN", {Value("x")}).asBool());
    EXPECT_FALSE(m.callGlobal("isFinite", {m.global("Infinity")}).asBool());
    EXPECT_TRUE(m.callGlobal("isNaN", {m.global("NaN")}).asBool());
}
