// How objects turn into primitives, strings and numbers inside the operators, in which order the operands
// of the version 4 operators are converted, and how equality treats NaN and objects without valueOf.
#include <gtest/gtest.h>

#include "tests/avm1/interpreter_host.h"

namespace op = vistrel::testing::op;
using vistrel::testing::ActionWriter;
using vistrel::testing::Machine;
using vistrel::testing::Push;

namespace {

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }

// A function (stored in variable `name`) that traces `says` and returns `result`.
void defineTracing(ActionWriter& w, const char* name, const char* says, Push result) {
    ActionWriter body;
    body.push(s(says)).op(op::kTrace).push(result).op(op::kReturn);
    w.defineFunction(name, {}, body);
}

// obj = {}; obj.valueOf = valueOfFn (or undefined); obj.toString = toStringFn (or undefined).
void makeObject(ActionWriter& w, const char* obj, const char* valueOfFn, const char* toStringFn) {
    w.push({s(obj), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    for (auto [member, fn] : {std::pair{"valueOf", valueOfFn}, std::pair{"toString", toStringFn}}) {
        w.push({s(obj)}).op(op::kGetVariable).push(s(member));
        if (fn)
            w.push(s(fn)).op(op::kGetVariable);
        else
            w.push(Push::undefined());
        w.op(op::kSetMember);
    }
}

void traceVar(ActionWriter& w, const char* name) { w.push(s(name)).op(op::kGetVariable).op(op::kTrace); }

}  // namespace

TEST(InterpreterConversion, ObjectsAskOneMethodAndFallBackToStringOnlyForObjectResults) {
    Machine m(8);
    ActionWriter w;
    defineTracing(w, "strFn", "str called", s("S"));
    // objFn answers with a fresh object.
    ActionWriter objBody;
    objBody.push(s("obj called")).op(op::kTrace).push(i(0)).op(op::kInitObject).op(op::kReturn);
    w.defineFunction("objFn", {}, objBody);

    // No valueOf: `+` sees undefined, a string conversion still uses toString.
    makeObject(w, "a", nullptr, "strFn");
    w.push(s("")).push(s("a")).op(op::kGetVariable).op(op::kAdd2).op(op::kTrace);
    traceVar(w, "a");
    // valueOf answers with an object: the string conversion follows.
    makeObject(w, "b", "objFn", "strFn");
    w.push(s("")).push(s("b")).op(op::kGetVariable).op(op::kAdd2).op(op::kTrace);
    // Nothing answers with a string: the object's kind.
    makeObject(w, "c", "objFn", nullptr);
    w.push(s("")).push(s("c")).op(op::kGetVariable).op(op::kAdd2).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "str called", "S", "obj called", "str called", "S", "obj called",
                                     "[type Object]"}));
}

TEST(InterpreterConversion, ToStringThatAnswersWithANumberGivesTheObjectKind) {
    Machine m(8);
    ActionWriter w;
    defineTracing(w, "numFn", "num called", i(7));
    makeObject(w, "o", nullptr, "numFn");
    w.push(s("o")).op(op::kGetVariable).push(s("!")).op(op::kStringAdd).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"num called", "[type Object]!"}));
}

TEST(InterpreterConversion, Swf4SubtractConvertsItsRightOperandFirstTheOthersTheirLeft) {
    for (int version : {4, 5}) {
        Machine m(version);
        ActionWriter w;
        defineTracing(w, "one", "left", i(1));
        defineTracing(w, "two", "right", i(2));
        makeObject(w, "l", "one", nullptr);
        makeObject(w, "r", "two", nullptr);
        for (std::uint8_t code : {op::kAdd, op::kSubtract, op::kMultiply, op::kLess}) {
            w.push(s("l")).op(op::kGetVariable).push(s("r")).op(op::kGetVariable).op(code).op(op::kPop);
        }
        EXPECT_EQ(m.run(w), (QStringList{"left", "right", "right", "left", "left", "right", "left", "right"}))
            << "version " << version;
    }
}

TEST(InterpreterConversion, NaNEqualsItselfAndABareObjectEqualsUndefined) {
    Machine m(8);
    ActionWriter w;
    w.push({s("n"), i(0), i(0)}).op(op::kDivide).op(op::kSetVariable);
    w.push(s("n")).op(op::kGetVariable).push(s("n")).op(op::kGetVariable).op(op::kStrictEquals).op(op::kTrace);
    w.push(s("n")).op(op::kGetVariable).push(s("n")).op(op::kGetVariable).op(op::kEquals2).op(op::kTrace);
    w.push(s("n")).op(op::kGetVariable).push(i(0)).op(op::kEquals2).op(op::kTrace);
    // An object cut off from Object.prototype has no valueOf: it compares as undefined.
    w.push({s("bare"), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    w.push(s("bare")).op(op::kGetVariable).push({s("__proto__"), Push::undefined()}).op(op::kSetMember);
    w.push(s("bare")).op(op::kGetVariable).push(Push::undefined()).op(op::kEquals2).op(op::kTrace);
    w.push(Push::null()).push(s("bare")).op(op::kGetVariable).op(op::kEquals2).op(op::kTrace);
    // An ordinary object does not.
    w.push(i(0)).op(op::kInitObject).push(Push::undefined()).op(op::kEquals2).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"true", "true", "false", "true", "true", "false"}));
}

TEST(InterpreterConversion, Version4ListsHaveNoGlobalsAndNumericTruthButFunctionsFollowVersion5) {
    Machine m(4);
    ActionWriter w;
    w.push({i(1), i(1)}).op(op::kEquals2).op(op::kTrace);
    w.push({s("NaN")}).op(op::kGetVariable).push(i(0)).op(op::kEquals).op(op::kTrace);
    ActionWriter body;
    body.push({i(1), i(1)}).op(op::kEquals2).op(op::kTrace);
    body.push({i(4), i(0)}).op(op::kDivide).op(op::kTrace);
    w.defineFunction("f", {}, body);
    w.push({i(0), s("f")}).op(op::kCallFunction).op(op::kPop);
    EXPECT_EQ(m.run(w), (QStringList{"1", "1", "true", "Infinity"}));
}

TEST(InterpreterConversion, AnObjectWhoseValueOfIsItselfStaysAnObject) {
    Machine m(8);
    ActionWriter w;
    w.push(i(0)).op(op::kInitObject).push(i(1)).op(op::kAdd2).op(op::kTrace);
    w.push(i(0)).op(op::kInitObject).push(s("a")).op(op::kAdd2).op(op::kTrace);
    w.push(i(0)).op(op::kInitObject).push(i(0)).op(op::kLess2).op(op::kTrace);
    w.push(i(0)).op(op::kInitObject).push(i(0)).op(op::kEquals2).op(op::kTrace);
    // The string "NaN" parses to a NaN that equals nothing, unlike NaN met as a number.
    w.push(s("x")).push({i(0), i(0)}).op(op::kDivide).op(op::kEquals2).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"NaN", "[object Object]a", "false", "false", "false"}));
}
