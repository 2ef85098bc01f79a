// How scripts relate objects to classes: what instanceof, the cast action and implements read of a class,
// and how often a getter or setter may run into itself.
#include <string>

#include <gtest/gtest.h>

#include "tests/avm1/interpreter_host.h"

namespace op = vistrel::testing::op;
using vistrel::testing::ActionWriter;
using vistrel::testing::Machine;
using vistrel::testing::Push;

namespace {

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }

ActionWriter& say(ActionWriter& w, const char* text) { return w.push(s(text)).op(op::kTrace); }
ActionWriter& var(ActionWriter& w, const char* name) { return w.push(s(name)).op(op::kGetVariable); }

// var name = {};
ActionWriter& newObject(ActionWriter& w, const char* name) {
    return w.push({s(name), i(0)}).op(op::kInitObject).op(op::kSetVariable);
}

// var name = function () { <body> };
ActionWriter& newFunction(ActionWriter& w, const char* name, const ActionWriter& body,
                          const std::vector<std::string>& params = {}) {
    w.push(s(name));
    w.defineFunction("", params, body);
    return w.op(op::kSetVariable);
}

// target.member = variable `source`
ActionWriter& setFromVar(ActionWriter& w, const char* target, const char* member, const char* source) {
    var(w, target).push(s(member));
    var(w, source);
    return w.op(op::kSetMember);
}

// target.member = variable `source`.sourceMember
ActionWriter& setFromMember(ActionWriter& w, const char* target, const char* member, const char* source,
                            const char* sourceMember) {
    var(w, target).push(s(member));
    var(w, source).push(s(sourceMember)).op(op::kGetMember);
    return w.op(op::kSetMember);
}

// trace(label + (variable `object` instanceof variable `cls`))
ActionWriter& traceInstanceOf(ActionWriter& w, const char* label, const char* object, const char* cls) {
    w.push(s(label));
    var(w, object);
    var(w, cls);
    return w.op(op::kInstanceOf).op(op::kAdd2).op(op::kTrace);
}

// object.addProperty(name, variable getter, variable setter or null)
ActionWriter& addProperty(ActionWriter& w, const char* object, const char* name, const char* getter,
                          const char* setter) {
    if (setter) var(w, setter);
    else w.push(Push::null());
    var(w, getter);
    w.push({s(name), i(3)});
    var(w, object).push(s("addProperty")).op(op::kCallMethod);
    return w.op(op::kPop);
}

// Counter: variable = variable + 1
ActionWriter& increment(ActionWriter& w, const char* name) {
    w.push(s(name));
    var(w, name);
    return w.op(op::kIncrement).op(op::kSetVariable);
}

ActionWriter& traceVar(ActionWriter& w, const char* label, const char* name) {
    w.push(s(label));
    var(w, name);
    return w.op(op::kAdd2).op(op::kTrace);
}

// C = function () {}; o = new C();
void makeClassAndInstance(ActionWriter& w, const char* cls, const char* object) {
    newFunction(w, cls, ActionWriter());
    w.push({s(object), i(0), s(cls)}).op(op::kNewObject).op(op::kSetVariable);
}

}  // namespace

// ---- instanceof ----

TEST(InstanceOf, TheClassPrototypeIsItsOwnPlainValueOnly) {
    Machine m(8);
    ActionWriter w;
    makeClassAndInstance(w, "C", "o");
    // A stand-in holding the same prototype counts; one that only inherits it does not.
    newObject(w, "Fake");
    setFromMember(w, "Fake", "prototype", "C", "prototype");
    newObject(w, "Heir");
    setFromVar(w, "Heir", "__proto__", "Fake");
    traceInstanceOf(w, "fake ", "o", "Fake");
    traceInstanceOf(w, "heir ", "o", "Heir");
    // A getter named prototype is not run.
    ActionWriter getterBody;
    say(getterBody, "getter ran");
    var(getterBody, "C").push(s("prototype")).op(op::kGetMember).op(op::kReturn);
    newFunction(w, "g", getterBody);
    newObject(w, "Lazy");
    addProperty(w, "Lazy", "prototype", "g", nullptr);
    traceInstanceOf(w, "lazy ", "o", "Lazy");
    traceInstanceOf(w, "class ", "o", "C");
    EXPECT_EQ(m.run(w), (QStringList{"fake true", "heir false", "lazy false", "class true"}));
}

TEST(InstanceOf, StringsBecomeObjectsThroughTheGlobalStringConstructor) {
    Machine m(8);
    ActionWriter w;
    // _global.String = function (v) { trace("made " + v); }
    ActionWriter maker;
    maker.push(s("made "));
    var(maker, "v");
    maker.op(op::kAdd2).op(op::kTrace);
    newFunction(w, "Maker", maker, {"v"});
    var(w, "_global").push(s("String"));
    var(w, "Maker");
    w.op(op::kSetMember);
    // A primitive on the left is no instance; only the cast makes it an object first.
    w.push({s("left"), s("Object")}).op(op::kGetVariable).op(op::kInstanceOf).op(op::kTrace);
    w.push({s("Object")}).op(op::kGetVariable).push(s("left")).op(op::kCastOp).op(op::kTypeOf).op(op::kTrace);
    // A string as the class's prototype is made an object by both.
    newObject(w, "o");
    newObject(w, "Cls");
    w.push(s("Cls")).op(op::kGetVariable).push({s("prototype"), s("proto")}).op(op::kSetMember);
    traceInstanceOf(w, "", "o", "Cls");
    w.push(s("right"));
    var(w, "o");
    w.op(op::kCastOp).op(op::kTypeOf).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"false", "made left", "null", "made proto", "false", "made right", "null"}));
}

TEST(InstanceOf, AGetterOnPrototypeIsNotRunButTheValueBeneathItCounts) {
    Machine m(8);
    ActionWriter w;
    makeClassAndInstance(w, "C", "o");
    ActionWriter getterBody;
    say(getterBody, "getter ran");
    getterBody.push(Push::null()).op(op::kReturn);
    newFunction(w, "g", getterBody);
    addProperty(w, "C", "prototype", "g", nullptr);
    traceInstanceOf(w, "", "o", "C");
    EXPECT_EQ(m.run(w), (QStringList{"true"}));
}

// ---- implements ----

TEST(Implements, InterfacesAreThePrototypesTheyHadAndOnlyTheFirstDeclarationCounts) {
    Machine m(8);
    ActionWriter w;
    makeClassAndInstance(w, "C", "o");
    newFunction(w, "A", ActionWriter());
    newFunction(w, "B", ActionWriter());
    newFunction(w, "Nested", ActionWriter());
    newFunction(w, "X", ActionWriter());
    // Declaring nothing changes nothing; C implements A; then C implements B is ignored.
    w.push(i(0));
    var(w, "C").op(op::kImplementsOp);
    var(w, "A").push(i(1));
    var(w, "C").op(op::kImplementsOp);
    var(w, "B").push(i(1));
    var(w, "C").op(op::kImplementsOp);
    traceInstanceOf(w, "A ", "o", "A");
    traceInstanceOf(w, "B ", "o", "B");
    // A implements Nested: counts through A; the prototype chain of Nested's prototype does not.
    var(w, "Nested").push(i(1));
    var(w, "A").op(op::kImplementsOp);
    traceInstanceOf(w, "Nested ", "o", "Nested");
    var(w, "Nested").push(s("prototype")).op(op::kGetMember).push(s("__proto__"));
    var(w, "X").push(s("prototype")).op(op::kGetMember).op(op::kSetMember);
    traceInstanceOf(w, "X ", "o", "X");
    // A new prototype on A afterwards is not what C implements.
    newObject(w, "fresh");
    setFromVar(w, "A", "prototype", "fresh");
    traceInstanceOf(w, "A again ", "o", "A");
    // An empty first declaration still stops later ones.
    makeClassAndInstance(w, "D", "d");
    w.push(Push::undefined()).push(i(1));
    var(w, "D").op(op::kImplementsOp);
    var(w, "B").push(i(1));
    var(w, "D").op(op::kImplementsOp);
    traceInstanceOf(w, "D B ", "d", "B");
    EXPECT_EQ(m.run(w), (QStringList{"A true", "B false", "Nested true", "X false", "A again false", "D B false"}));
}

// ---- getters and setters running into themselves ----

TEST(AccessorRecursion, ASetterRunsIntoItselfALimitedNumberOfTimesAndTheScriptGoesOn) {
    Machine m(8);
    ActionWriter w;
    w.push({s("calls"), i(0)}).op(op::kSetVariable);
    // setter: calls++; this.p = "inner";   getter: return this.p;
    ActionWriter setter;
    increment(setter, "calls");
    setter.push(s("this")).op(op::kGetVariable).push({s("p"), s("inner")}).op(op::kSetMember);
    ActionWriter getter;
    getter.push(s("this")).op(op::kGetVariable).push(s("p")).op(op::kGetMember).op(op::kReturn);
    newFunction(w, "set", setter, {"v"});
    newFunction(w, "get", getter);
    newObject(w, "o");
    addProperty(w, "o", "p", "get", "set");
    var(w, "o").push({s("p"), s("outer")}).op(op::kSetMember);
    traceVar(w, "calls ", "calls");
    // The getter chain ends reading the value last assigned from outside.
    w.push(s("read "));
    var(w, "o").push(s("p")).op(op::kGetMember).op(op::kAdd2).op(op::kTrace);
    say(w, "after");
    EXPECT_EQ(m.run(w), (QStringList{"calls 65", "read outer", "after"}));
}

TEST(AccessorRecursion, EachDefinitionCountsApartEvenWithTheSameGetter) {
    Machine m(8);
    ActionWriter w;
    w.push({s("calls"), i(0)}).op(op::kSetVariable);
    // getter: calls++; return (this == a ? b : a).p;
    ActionWriter getter;
    increment(getter, "calls");
    getter.push(s("this")).op(op::kGetVariable);
    var(getter, "a");
    getter.op(op::kEquals2).ifTrue("toB");
    var(getter, "a").push(s("p")).op(op::kGetMember).op(op::kReturn);
    getter.label("toB");
    var(getter, "b").push(s("p")).op(op::kGetMember).op(op::kReturn);
    newFunction(w, "get", getter);
    newObject(w, "a");
    newObject(w, "b");
    addProperty(w, "a", "p", "get", nullptr);
    addProperty(w, "b", "p", "get", nullptr);
    var(w, "a").push(s("p")).op(op::kGetMember).op(op::kPop);
    traceVar(w, "calls ", "calls");
    EXPECT_EQ(m.run(w), (QStringList{"calls 130"}));
}
