// Scope rules of the action loop, run through the machine's public entry (runActions): what one list
// hands on to the next, `this` as a name, DefineFunction2 registers, dotted paths across scopes,
// for..in order, `super`, and the global object.
#include <gtest/gtest.h>

#include "tests/avm1/interpreter_host.h"

namespace avm1 = vistrel::avm1;
namespace op = vistrel::testing::op;
namespace fn2 = vistrel::testing::fn2;
using vistrel::testing::ActionWriter;
using vistrel::testing::Machine;
using vistrel::testing::Push;

namespace {

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }

ActionWriter& traceVar(ActionWriter& w, const char* name) {
    return w.push(s(name)).op(op::kGetVariable).op(op::kTrace);
}

// Calls the global function `name` with no arguments and drops its result.
ActionWriter& callPlain(ActionWriter& w, const char* name) {
    return w.push({i(0), s(name)}).op(op::kCallFunction).op(op::kPop);
}

// obj.name() with no arguments, result dropped.
ActionWriter& callOn(ActionWriter& w, const char* obj, const char* name) {
    return w.push({i(0), s(obj)}).op(op::kGetVariable).push(s(name)).op(op::kCallMethod).op(op::kPop);
}

// Traces each name a for..in over the variable `name` gives, then "end".
ActionWriter& traceForIn(ActionWriter& w, const char* name) {
    w.push(s(name)).op(op::kEnumerate).label("loop").storeRegister(0).push(Push::null()).op(op::kEquals2);
    w.ifTrue("done").push(Push::reg(0)).op(op::kTrace).jump("loop").label("done").push(s("end")).op(op::kTrace);
    return w;
}

}  // namespace

// ---- one operand stack and constant pool across lists and calls ----

TEST(ScopeStack, ValuesAndConstantPoolCarryIntoTheNextList) {
    Machine m(7);
    ActionWriter first;
    first.constantPool({"A"}).push(Push::constant(0)).constantPool({"B"});
    EXPECT_TRUE(m.run(first).isEmpty());
    ActionWriter second;
    second.push(Push::constant(0)).op(op::kAdd2).op(op::kTrace);
    EXPECT_EQ(m.run(second), QStringList{"AB"});
    // Nothing is left once the second list has used it: a pop gives undefined again.
    ActionWriter third;
    third.op(op::kTrace);
    EXPECT_EQ(m.run(third), QStringList{"undefined"});
}

TEST(ScopeStack, FunctionLeavesItsExtraValuesAndKeepsItsOwnPool) {
    Machine m(6);
    ActionWriter body;
    body.push(Push::constant(0));   // the pool in force where the function was defined
    ActionWriter w;
    w.constantPool({"a"}).defineFunction("f", {}, body).constantPool({"b"});
    w.push(s("r"));
    callPlain(w, "f");                       // leaves "a" under its (dropped) result
    w.push(Push::constant(0));               // the caller's pool is still its own
    w.op(op::kAdd2).op(op::kAdd2).op(op::kTrace);
    EXPECT_EQ(m.run(w), QStringList{"rab"});
}

// ---- `this` ----

TEST(ScopeThis, AssigningThisInAFunctionChangesItForThatCallOnly) {
    Machine m(7);
    ActionWriter inner;
    traceVar(inner, "this");
    ActionWriter outer;
    outer.push({s("this"), i(5)}).op(op::kSetVariable);
    callPlain(outer, "inner");
    traceVar(outer, "this");
    ActionWriter w;
    w.defineFunction("inner", {}, inner).defineFunction("outer", {}, outer);
    callPlain(w, "outer");
    traceVar(w, "this");
    EXPECT_EQ(m.run(w), (QStringList{"_level0", "5", "_level0"}));
}

TEST(ScopeThis, ATimelineVariableNamedThisWins) {
    Machine m(7);
    ActionWriter w;
    w.push({s("this"), s("test")}).op(op::kSetVariable);
    traceVar(w, "this");
    EXPECT_EQ(m.run(w), QStringList{"test"});
}

TEST(ScopeThis, HiddenThisFallsToTheTimelineFromVersion6) {
    for (const int version : {5, 6, 7}) {
        Machine m(version);
        ActionWriter body;
        traceVar(body, "this");
        ActionWriter w;
        w.push({s("o"), i(0)}).op(op::kInitObject).op(op::kSetVariable);
        w.push(s("o")).op(op::kGetVariable).push(s("f"));
        w.defineFunction2("", 2, fn2::kPreloadThis, {}, body).op(op::kSetMember);
        w.push(s("o")).op(op::kGetVariable).push(s("g"));
        w.defineFunction2("", 2, fn2::kSuppressThis, {}, body).op(op::kSetMember);
        callOn(w, "o", "f");
        callOn(w, "o", "g");
        const QString expected = version >= 6 ? QStringLiteral("_level0") : QStringLiteral("undefined");
        EXPECT_EQ(m.run(w), (QStringList{expected, expected})) << "version " << version;
    }
}

TEST(ScopeThis, CallingAFunctionValueByMethodCallWithNoNameGivesItNoThis) {
    for (const int version : {5, 6, 7}) {
        Machine m(version);
        ActionWriter body;
        body.push(s("this")).op(op::kGetVariable).op(op::kTypeOf).op(op::kTrace);
        ActionWriter w;
        w.defineFunction("f", {}, body);
        // f called as a method of itself, the name undefined and then empty, and then as a plain call.
        w.push(i(0)).push(s("f")).op(op::kGetVariable).push(Push::undefined()).op(op::kCallMethod).op(op::kPop);
        w.push(i(0)).push(s("f")).op(op::kGetVariable).push(s("")).op(op::kCallMethod).op(op::kPop);
        callPlain(w, "f");
        EXPECT_EQ(m.run(w), (QStringList{"undefined", "undefined", "movieclip"})) << "version " << version;
    }
}

// ---- DefineFunction2 preloads ----

TEST(ScopeRegisters, MissingParentTakesNoRegister) {
    Machine m(6);
    ActionWriter body;
    body.push(Push::reg(1)).op(op::kTypeOf).op(op::kTrace);
    body.push(Push::reg(2)).op(op::kTypeOf).op(op::kTrace);
    ActionWriter w;
    w.defineFunction2("f", 3, fn2::kPreloadParent | fn2::kPreloadGlobal, {}, body);
    callPlain(w, "f");   // the root timeline has no parent: the global object moves up to register 1
    EXPECT_EQ(m.run(w), (QStringList{"object", "undefined"}));
}

TEST(ScopeRegisters, SuppressedPreloadKeepsItsRegisterEmpty) {
    Machine m(7);
    ActionWriter body;
    body.push(Push::reg(1)).op(op::kTrace).push(Push::reg(2)).op(op::kTrace);
    ActionWriter w;
    w.push({s("o"), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    w.push(s("o")).op(op::kGetVariable).push(s("f"));
    w.defineFunction2("", 3, fn2::kPreloadThis | fn2::kSuppressThis | fn2::kPreloadArguments, {}, body);
    w.op(op::kSetMember);
    w.push({s("x"), s("y"), i(2), s("o")}).op(op::kGetVariable).push(s("f")).op(op::kCallMethod).op(op::kPop);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "y,x"}));
}

// ---- the global object ----

TEST(ScopeGlobal, GlobalObjectHasNoPrototype) {
    Machine m(8);
    ActionWriter w;
    w.push(s("_global")).op(op::kGetVariable).push(s("valueOf")).op(op::kGetMember).op(op::kTrace);
    w.push(s("_global")).op(op::kGetVariable).push(s("__proto__")).op(op::kGetMember).op(op::kTrace);
    w.push(s("_global")).op(op::kGetVariable).op(op::kTrace);
    w.push(s("_global")).op(op::kGetVariable).push(Push::null()).op(op::kEquals2).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "undefined", "[type Object]", "true"}));
}

// ---- paths ----

TEST(ScopePaths, DottedPathTriesEachScopeUntilItLeadsToAnObject) {
    Machine m(8);
    ActionWriter w;
    // _global.a = {b: {c: "global"}}; a = {b: "timeline"} on the timeline.
    w.push(s("_global")).op(op::kGetVariable).push({s("a"), s("b"), s("c"), s("global"), i(1)});
    w.op(op::kInitObject).push(i(1)).op(op::kInitObject).op(op::kSetMember);
    w.push({s("a"), s("b"), s("timeline"), i(1)}).op(op::kInitObject).op(op::kSetVariable);
    traceVar(w, "a.b.c");   // a.b on the timeline is a string: the global a.b answers
    traceVar(w, "a.b");     // the timeline's a.b exists and is found first
    w.push({s("a.b.c"), s("changed")}).op(op::kSetVariable);
    w.push(s("_global")).op(op::kGetVariable).push(s("a")).op(op::kGetMember).push(s("b")).op(op::kGetMember);
    w.push(s("c")).op(op::kGetMember).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"global", "timeline", "changed"}));
}

TEST(ScopePaths, DeclaringAPathDeclaresOnTheClipItNames) {
    Machine m(6);
    avm1::Object* child = m.host.addClip(m.vm, m.root, QStringLiteral("kid"));
    ActionWriter w;
    w.push(s("/:ghi")).op(op::kDefineLocal2);
    w.push(s("_root.kid.x")).op(op::kDefineLocal2);
    w.push({s("_root.kid.y"), i(3)}).op(op::kSetVariable).push(s("_root.kid.y")).op(op::kDefineLocal2);
    m.run(w);
    EXPECT_TRUE(m.root->hasOwn(QStringLiteral("ghi")));
    EXPECT_FALSE(m.root->hasOwn(QStringLiteral("/:ghi")));
    EXPECT_TRUE(child->hasOwn(QStringLiteral("x")));
    ASSERT_TRUE(child->hasOwn(QStringLiteral("y")));
    EXPECT_EQ(child->findOwn(QStringLiteral("y"))->value.asNumber(), 3);   // an existing value stays
}

// ---- properties ----

TEST(ScopeProperties, EmptyNamesAreNeverStoredAndPrototypesStay) {
    Machine m(8);
    ActionWriter w;
    w.push({s("o"), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    w.push(s("o")).op(op::kGetVariable).push({s(""), i(5)}).op(op::kSetMember);
    w.push(s("o")).op(op::kGetVariable).push(s("")).op(op::kGetMember).op(op::kTrace);
    traceForIn(w, "o");
    w.defineFunction("F", {}, ActionWriter());
    w.push(s("F")).op(op::kGetVariable).push(s("prototype")).op(op::kDelete).op(op::kTrace);
    w.push(s("F")).op(op::kGetVariable).push(s("prototype")).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "end", "false", "object"}));
}

TEST(ScopeEnumeration, NamesComePrototypesFirstNewestFirstAndEndOnUndefined) {
    Machine m(6);
    ActionWriter w;
    // p = {a: 1, b: 2}: the pairs are defined as they come off the stack, b before a.
    w.push({s("p"), s("a"), i(1), s("b"), i(2), i(2)}).op(op::kInitObject).op(op::kSetVariable);
    w.push({s("o"), s("__proto__"), s("p")}).op(op::kGetVariable).push(i(1)).op(op::kInitObject);
    w.op(op::kSetVariable);
    w.push(s("o")).op(op::kGetVariable).push({s("c"), i(3)}).op(op::kSetMember);
    w.push(s("o")).op(op::kGetVariable).push({s("a"), i(4)}).op(op::kSetMember);
    traceForIn(w, "o");
    w.push(s("x")).op(op::kEnumerate).op(op::kTrace);   // the end marker of an empty enumeration
    EXPECT_EQ(m.run(w), (QStringList{"b", "a", "c", "end", "undefined"}));
}

// ---- super ----

TEST(ScopeSuper, AMethodStoredOnTheObjectItselfStartsSuperAboveItsPrototype) {
    Machine m(7);
    ActionWriter method;
    method.push({i(0), s("super")}).op(op::kGetVariable).push(s("m")).op(op::kCallMethod).op(op::kTrace);
    method.push({i(0), s("super")}).op(op::kGetVariable).push(Push::undefined()).op(op::kCallMethod);
    method.op(op::kTrace);
    ActionWriter protoM;
    protoM.push(s("proto m")).op(op::kReturn);
    ActionWriter ctor;
    ctor.push(s("constructed")).op(op::kReturn);
    ActionWriter w;
    // o = {m: method, __constructor__: ctor}; o.__proto__ = {m: protoM}
    w.push({s("o"), s("m")}).defineFunction("", {}, method).push(s("__constructor__"));
    w.defineFunction("", {}, ctor).push(i(2)).op(op::kInitObject).op(op::kSetVariable);
    w.push(s("o")).op(op::kGetVariable).push({s("__proto__"), s("m")}).defineFunction("", {}, protoM);
    w.push(i(1)).op(op::kInitObject).op(op::kSetMember);
    callOn(w, "o", "m");
    // The constructor too is looked up from there, not on the object itself.
    w.push(s("o")).op(op::kGetVariable).push(s("__proto__")).op(op::kGetMember).push(s("__proto__"));
    w.push({s("__constructor__")}).defineFunction("", {}, ctor).push(i(1)).op(op::kInitObject).op(op::kSetMember);
    callOn(w, "o", "m");
    // The prototype's m is not seen: super stands for the prototype's prototype.
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "undefined", "undefined", "constructed"}));
}

TEST(ScopeSuper, AMethodCalledThroughSuperStartsItsOwnSuperAboveWhereItWasFound) {
    Machine m(7);
    // One function serves as `a` on two prototypes of a chain: each call through super goes one step up.
    ActionWriter shared;
    shared.push(s("this")).op(op::kGetVariable).push(s("n")).op(op::kGetMember);
    shared.push(s("super")).op(op::kGetVariable).push(s("n")).op(op::kGetMember).op(op::kAdd2).op(op::kTrace);
    shared.push({i(0), s("super")}).op(op::kGetVariable).push(s("a")).op(op::kCallMethod).op(op::kPop);
    ActionWriter top;
    top.push(s("top")).op(op::kTrace);
    ActionWriter w;
    w.push(s("fn")).defineFunction("", {}, shared).op(op::kSetVariable);
    w.push({s("pa"), s("n"), s("A"), s("a")}).defineFunction("", {}, top).push(i(2)).op(op::kInitObject);
    w.op(op::kSetVariable);
    w.push({s("pb"), s("n"), s("B"), s("a"), s("fn")}).op(op::kGetVariable).push({s("__proto__"), s("pa")});
    w.op(op::kGetVariable).push(i(3)).op(op::kInitObject).op(op::kSetVariable);
    w.push({s("pc"), s("n"), s("C"), s("a"), s("fn")}).op(op::kGetVariable).push({s("__proto__"), s("pb")});
    w.op(op::kGetVariable).push(i(3)).op(op::kInitObject).op(op::kSetVariable);
    w.push({s("c"), s("__proto__"), s("pc")}).op(op::kGetVariable).push(i(1)).op(op::kInitObject);
    w.op(op::kSetVariable);
    callOn(w, "c", "a");
    EXPECT_EQ(m.run(w), (QStringList{"CB", "CA", "top"}));
}

TEST(ScopeSuper, SuperReadsFromThePrototypeItStandsFor) {
    Machine m(7);
    ActionWriter method;
    traceVar(method, "super");
    method.push(s("super")).op(op::kGetVariable).push(s("m")).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
    method.push(s("super")).op(op::kGetVariable).push(s("__proto__")).op(op::kGetMember);
    method.push(s("Object")).op(op::kGetVariable).push(s("prototype")).op(op::kGetMember);
    method.op(op::kStrictEquals).op(op::kTrace);
    ActionWriter w;
    // o.__proto__ = p, p has m; o.f is o's own, so super in it stands for p's prototype, Object.prototype:
    // it has no m and reports no __proto__ of its own.
    w.push({s("p"), s("m")}).defineFunction("", {}, ActionWriter()).push(i(1)).op(op::kInitObject);
    w.op(op::kSetVariable);
    w.push({s("o"), s("f")}).defineFunction("", {}, method).push({s("__proto__"), s("p")}).op(op::kGetVariable);
    w.push(i(2)).op(op::kInitObject).op(op::kSetVariable);
    callOn(w, "o", "f");
    EXPECT_EQ(m.run(w), (QStringList{"[object Object]", "undefined", "false"}));
}

TEST(ScopeSpecialNames, StoredVariablesHideSpecialNames) {
    Machine m(7);
    ActionWriter w;
    w.push({s("_root"), s("fake")}).op(op::kSetVariable);
    w.push({s("_global"), s("fake too")}).op(op::kSetVariable);
    traceVar(w, "_root");
    traceVar(w, "_global");
    traceVar(w, "_level0");   // nothing stored under it: still the level
    EXPECT_EQ(m.run(w), (QStringList{"fake", "fake too", "_level0"}));
}
