// Language rules of the machine seen from scripts: how far a prototype chain is followed, how a method
// name is read, how ActionCall reads its frame number, and the built-ins that follow from them.
#include <functional>
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

// var name = {};
ActionWriter& newObject(ActionWriter& w, const char* name) {
    return w.push({s(name), i(0)}).op(op::kInitObject).op(op::kSetVariable);
}

// target.member = value of variable `source`
ActionWriter& setFromVar(ActionWriter& w, const char* target, const char* member, const char* source) {
    return w.push(s(target)).op(op::kGetVariable).push(s(member)).push(s(source)).op(op::kGetVariable).op(op::kSetMember);
}

ActionWriter& traceMember(ActionWriter& w, const char* object, const char* member) {
    return w.push(s(object)).op(op::kGetVariable).push(s(member)).op(op::kGetMember).op(op::kTrace);
}

}  // namespace

// ---- prototype chains ----

TEST(PrototypeChain, ACycleEndsTheWholeListAndTheNextListRuns) {
    Machine m(8);
    ActionWriter w;
    newObject(w, "a");
    w.push(s("a")).op(op::kGetVariable).push({s("x"), i(5)}).op(op::kSetMember);
    setFromVar(w, "a", "__proto__", "a");
    traceMember(w, "a", "x");         // found before the cycle matters
    traceMember(w, "a", "missing");   // goes round the cycle
    say(w, "after");
    EXPECT_EQ(m.run(w), QStringList{"5"});

    ActionWriter next;
    say(next, "next");
    EXPECT_EQ(m.run(next), QStringList{"next"});
}

TEST(PrototypeChain, ACycleMetInsideACalledFunctionStopsItsCallerToo) {
    Machine m(8);
    ActionWriter body;
    say(body, "in f");
    traceMember(body, "a", "missing");
    say(body, "f returns");
    ActionWriter w;
    newObject(w, "a");
    setFromVar(w, "a", "__proto__", "a");
    w.defineFunction("f", {}, body);
    w.push({i(0), s("f")}).op(op::kCallFunction).op(op::kPop);
    say(w, "after call");
    EXPECT_EQ(m.run(w), QStringList{"in f"});
}

TEST(PrototypeChain, ALongChainWithoutACycleStillAnswers) {
    Machine m(8);
    ActionWriter w;
    newObject(w, "base");
    w.push(s("base")).op(op::kGetVariable).push({s("x"), s("found")}).op(op::kSetMember);
    // Ten objects each inheriting from the one before.
    w.push({s("o"), s("base")}).op(op::kGetVariable).op(op::kSetVariable);
    for (int n = 0; n < 10; ++n) {
        newObject(w, "next");
        setFromVar(w, "next", "__proto__", "o");
        w.push({s("o"), s("next")}).op(op::kGetVariable).op(op::kSetVariable);
    }
    traceMember(w, "o", "x");
    EXPECT_EQ(m.run(w), QStringList{"found"});
}

// ---- method names ----

TEST(MethodName, EmptyOrUndefinedOrAnObjectReadingAsEmptyCallsTheObjectItself) {
    Machine m(8);
    ActionWriter body;
    say(body, "f");
    ActionWriter empty;
    empty.push(s("")).op(op::kReturn);
    ActionWriter w;
    w.defineFunction("f", {}, body);
    w.defineFunction("emptyString", {}, empty);
    // var named = {toString: emptyString};
    w.push({s("named"), s("toString"), s("emptyString")}).op(op::kGetVariable).push(i(1)).op(op::kInitObject);
    w.op(op::kSetVariable);
    for (const char* kind : {"undefined", "empty", "object"}) {
        w.push(i(0)).push(s("f")).op(op::kGetVariable);
        if (std::string(kind) == "undefined") w.push(Push::undefined());
        else if (std::string(kind) == "empty") w.push(s(""));
        else w.push(s("named")).op(op::kGetVariable);
        w.op(op::kCallMethod).op(op::kPop);
    }
    EXPECT_EQ(m.run(w), (QStringList{"f", "f", "f"}));
}

// ---- ActionCall ----

TEST(CallFrame, TheFrameNumberWrapsAsAnUnsigned32BitNumber) {
    Machine m(8);
    ActionWriter w;
    w.push(Push::dbl(4294967299.0)).op(op::kCall);   // 2^32 + 3: frame 3
    w.push(s("4294967298")).op(op::kCall);             // as a string too: frame 2
    w.push(i(0)).op(op::kCall);                        // frame 0 names nothing
    w.push(i(-1)).op(op::kCall);                       // wraps past every frame
    w.push(i(7)).op(op::kCall);
    m.run(w);
    EXPECT_EQ(m.host.calls, (QStringList{"call / 2", "call / 1", "call / 6"}));
}

// ---- watchpoints ----

TEST(Watch, AWatcherThatThrowsLeavesThePropertyUndefinedAndTheThrowGoesOn) {
    Machine m(8);
    ActionWriter thrower;
    thrower.push(s("too low")).op(op::kThrow);
    ActionWriter w;
    newObject(w, "o");
    w.push(s("o")).op(op::kGetVariable).push({s("v"), i(3)}).op(op::kSetMember);
    w.defineFunction("thrower", {}, thrower);
    // o.watch("v", thrower)
    w.push(s("thrower")).op(op::kGetVariable).push({s("v"), i(2), s("o")}).op(op::kGetVariable);
    w.push(s("watch")).op(op::kCallMethod).op(op::kPop);
    w.push(s("o")).op(op::kGetVariable).push({s("v"), i(9)}).op(op::kSetMember);
    say(w, "not reached");
    const QStringList first = m.run(w);
    EXPECT_FALSE(first.contains("not reached"));

    ActionWriter read;
    traceMember(read, "o", "v");
    EXPECT_EQ(m.run(read), QStringList{"undefined"});
}

// ---- super() ----

TEST(SuperCall, AConstructorGetterRunsWhenSuperIsCalledNotWhenItIsNamed) {
    Machine m(8);
    ActionWriter k;
    say(k, "K");
    ActionWriter getter;
    say(getter, "getter");
    getter.push(s("K")).op(op::kGetVariable).op(op::kReturn);
    ActionWriter method;   // var z = super; trace("named"); z();
    method.push({s("z"), s("super")}).op(op::kGetVariable).op(op::kDefineLocal);
    say(method, "named");
    method.push({i(0), s("z")}).op(op::kCallFunction).op(op::kPop);
    ActionWriter onlyNames;   // var z = super; trace("only named");
    onlyNames.push({s("z"), s("super")}).op(op::kGetVariable).op(op::kDefineLocal);
    say(onlyNames, "only named");

    ActionWriter w;
    w.defineFunction("K", {}, k);
    w.defineFunction("getter", {}, getter);
    newObject(w, "proto");
    // proto.addProperty("__constructor__", getter, null)
    w.push(Push::null()).push(s("getter")).op(op::kGetVariable).push({s("__constructor__"), i(3), s("proto")});
    w.op(op::kGetVariable).push(s("addProperty")).op(op::kCallMethod).op(op::kPop);
    newObject(w, "obj");
    setFromVar(w, "obj", "__proto__", "proto");
    w.push(s("obj")).op(op::kGetVariable).push(s("m")).defineFunction("", {}, method).op(op::kSetMember);
    w.push(s("obj")).op(op::kGetVariable).push(s("n")).defineFunction("", {}, onlyNames).op(op::kSetMember);
    w.push({i(0), s("obj")}).op(op::kGetVariable).push(s("n")).op(op::kCallMethod).op(op::kPop);
    w.push({i(0), s("obj")}).op(op::kGetVariable).push(s("m")).op(op::kCallMethod).op(op::kPop);
    EXPECT_EQ(m.run(w), (QStringList{"only named", "named", "getter", "K"}));
}

// ---- version 4 clip actions: which values they convert ----

namespace {

// var name = {valueOf: function() { trace(name + ".v"); return value; }};
ActionWriter& noisyNumber(ActionWriter& w, const char* name, std::int32_t value) {
    ActionWriter body;
    body.push(s((std::string(name) + ".v").c_str())).op(op::kTrace).push(i(value)).op(op::kReturn);
    w.push({s(name), s("valueOf")}).defineFunction("", {}, body).push(i(1)).op(op::kInitObject).op(op::kSetVariable);
    return w;
}

ActionWriter& var(ActionWriter& w, const char* name) { return w.push(s(name)).op(op::kGetVariable); }

}  // namespace

TEST(ClipActions, SetPropertyWithNoClipStillConvertsTheValueAsThePropertyWould) {
    Machine m(8);
    ActionWriter w;
    noisyNumber(w, "o", 5);
    for (std::int32_t index : {0, 11, 13, 14, 17, 21, 22}) {
        say(w, std::to_string(index).c_str());
        w.push({s("nothere"), i(index)});
        var(w, "o").op(op::kSetProperty);
    }
    EXPECT_EQ(m.run(w), (QStringList{"0", "o.v", "11", "13", "14", "17", "21", "o.v", "22"}));
}

TEST(ClipActions, StartDragReadsItsRectangleOnlyWhenTheFlagIsExactlyOne) {
    Machine m(8);
    ActionWriter w;
    noisyNumber(w, "r", 3);
    noisyNumber(w, "two", 2);
    noisyNumber(w, "one", 1);
    auto drag = [&](const char* label, const std::function<void()>& pushFlag) {
        say(w, label);
        for (int n = 0; n < 4; ++n) var(w, "r");
        pushFlag();
        w.push({i(0), s("nothere")}).op(op::kStartDrag);
    };
    drag("two", [&] { var(w, "two"); });
    drag("true", [&] { w.push(Push::boolean(true)); });
    drag("one", [&] { var(w, "one"); });
    EXPECT_EQ(m.run(w), (QStringList{"two", "two.v", "true", "r.v", "r.v", "r.v", "r.v", "one", "one.v", "r.v", "r.v",
                                     "r.v", "r.v"}));
}
