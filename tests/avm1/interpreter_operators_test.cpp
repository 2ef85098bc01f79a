// Operator rules of the machine: comparison order and unknown answers, unsigned shifts, version 5 object
// equality, the stack through try blocks and across action lists, registers above a function's count,
// invalid initialiser counts, and what becomes of a throw nobody catches.
#include <gtest/gtest.h>

#include "tests/avm1/interpreter_host.h"

namespace op = vistrel::testing::op;
using vistrel::testing::ActionWriter;
using vistrel::testing::Machine;
using vistrel::testing::Push;

namespace {

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }

// Variable `name` holds an object whose valueOf traces `says` and returns `result`.
void noisyObject(ActionWriter& w, const char* name, const char* says, Push result) {
    ActionWriter body;
    body.push(s(says)).op(op::kTrace).push(result).op(op::kReturn);
    w.push({s(name), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    w.push(s(name)).op(op::kGetVariable).push(s("valueOf"));
    w.defineFunction("", {}, body);
    w.op(op::kSetMember);
}


}  // namespace

TEST(InterpreterOperators, ComparisonsConvertTheWrittenFirstSideFirstAndStopAtAnObject) {
    Machine m(7);
    ActionWriter w;
    noisyObject(w, "one", "one.valueOf", i(1));
    w.push({s("plain"), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    // plain < one: plain stays an object, so one's valueOf never runs.
    w.push(s("plain")).op(op::kGetVariable).push(s("one")).op(op::kGetVariable).op(op::kLess2).op(op::kTrace);
    // one < plain: one is converted, then plain settles it.
    w.push(s("one")).op(op::kGetVariable).push(s("plain")).op(op::kGetVariable).op(op::kLess2).op(op::kTrace);
    // one > plain with Greater: the left side first again.
    w.push(s("one")).op(op::kGetVariable).push(s("plain")).op(op::kGetVariable).op(op::kGreater).op(op::kTrace);
    // NaN makes the answer unknown.
    w.push({s("a"), i(1)}).op(op::kLess2).op(op::kTrace);
    w.push({i(1), s("a")}).op(op::kGreater).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"false", "one.valueOf", "false", "one.valueOf", "false", "undefined",
                                     "undefined"}));
}

TEST(InterpreterOperators, TheGlobalObjectConvertsToUndefined) {
    for (int version : {6, 7}) {
        Machine m(version);
        ActionWriter w;
        w.push(s("_global")).op(op::kGetVariable).push(i(1)).op(op::kLess2).op(op::kTrace);
        w.push(s("_global")).op(op::kGetVariable).push(Push::undefined()).op(op::kEquals2).op(op::kTrace);
        w.push(s("_global")).op(op::kGetVariable).push(s("valueOf")).op(op::kGetMember).op(op::kTypeOf).op(op::kTrace);
        // Undefined is 0 before version 7 and NaN from it.
        const QString less = version < 7 ? QStringLiteral("true") : QStringLiteral("undefined");
        EXPECT_EQ(m.run(w), (QStringList{less, "true", "undefined"})) << "version " << version;
    }
}

TEST(InterpreterOperators, UnsignedShiftReadsBackAsSignedInVersions8And9Only) {
    for (int version : {6, 8, 9, 10}) {
        Machine m(version);
        ActionWriter w;
        w.push({Push::dbl(4294967295.0), i(0)}).op(op::kBitURShift).op(op::kTrace);
        w.push({i(-3), i(1)}).op(op::kBitURShift).op(op::kTrace);
        w.push({i(-3), i(0)}).op(op::kBitURShift).op(op::kTrace);
        w.push({i(3), i(32)}).op(op::kBitURShift).op(op::kTrace);
        const bool signedBack = version == 8 || version == 9;
        EXPECT_EQ(m.run(w), (QStringList{signedBack ? "-1" : "4294967295", "2147483646", signedBack ? "-3" : "4294967293",
                                         "3"}))
            << "version " << version;
    }
}

TEST(InterpreterOperators, Version5ComparesTwoObjectsByTheirValues) {
    for (int version : {5, 7}) {
        Machine m(version);
        ActionWriter w;
        // new Number(1) == new Number(1); {} == {} stays an identity test.
        w.push({i(1), i(1), s("Number")}).op(op::kNewObject);
        w.push({i(1), i(1), s("Number")}).op(op::kNewObject);
        w.op(op::kEquals2).op(op::kTrace);
        w.push(i(0)).op(op::kInitObject).push(i(0)).op(op::kInitObject).op(op::kEquals2).op(op::kTrace);
        const QString boxed = version <= 5 ? QStringLiteral("true") : QStringLiteral("false");
        EXPECT_EQ(m.run(w), (QStringList{boxed, "false"})) << "version " << version;
    }
}

TEST(InterpreterOperators, AValueOfAnsweringWithAnotherObjectLeavesTheObjectUnconverted) {
    Machine m(7);
    ActionWriter w;
    ActionWriter fresh;
    fresh.push(s("o.valueOf")).op(op::kTrace).push(i(0)).op(op::kInitObject).op(op::kReturn);
    w.push({s("o"), i(0)}).op(op::kInitObject).op(op::kSetVariable);
    w.push(s("o")).op(op::kGetVariable).push(s("valueOf"));
    w.defineFunction("", {}, fresh);
    w.op(op::kSetMember);
    // o + 1: the object stays one and the number conversion asks valueOf once more.
    w.push(s("o")).op(op::kGetVariable).push(i(1)).op(op::kAdd2).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"o.valueOf", "o.valueOf", "NaN"}));
}

TEST(InterpreterExceptions, AnUncaughtThrowEndsTheListWithAWarning) {
    Machine m(7);
    ActionWriter w;
    w.push(s("before")).op(op::kTrace).push(s("Oh no")).op(op::kThrow).push(s("after")).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"before", "Warning: Uncaught exception, Oh no"}));

    // Thrown from a function called by the list: the same single warning.
    ActionWriter thrower;
    thrower.push(s("deep")).op(op::kThrow);
    ActionWriter w2;
    w2.defineFunction("f", {}, thrower);
    w2.push({i(0), s("f")}).op(op::kCallFunction).op(op::kPop).push(s("after")).op(op::kTrace);
    EXPECT_EQ(m.run(w2), (QStringList{"Warning: Uncaught exception, deep"}));
}

TEST(InterpreterExceptions, LeavingTryThroughItsFinallyRunsItOnce) {
    Machine m(7);
    ActionWriter tryBody, catchBody, finallyBody;
    catchBody.push(s("catch")).op(op::kTrace);
    finallyBody.push(s("finally")).op(op::kTrace);
    // As compilers write it: the try block ends with a jump over the catch block to the finally block.
    tryBody.push(s("try")).op(op::kTrace).jumpBy(static_cast<std::int16_t>(catchBody.code().size()));
    ActionWriter w;
    w.tryBlock(tryBody, catchBody, finallyBody);
    w.push(s("after")).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"try", "finally", "after"}));
}

TEST(InterpreterExceptions, AThrowDropsPushedValuesButDoesNotRefillPoppedOnes) {
    Machine m(7);
    ActionWriter catchBody;
    catchBody.op(op::kTrace);
    // Stack [1, 2, 3]: the try block pops 3 and throws; the catch block sees 2 on top.
    ActionWriter popping;
    popping.op(op::kPop).push(s("err")).op(op::kThrow);
    ActionWriter w;
    w.push({i(1), i(2), i(3)}).tryBlock(popping, catchBody, std::nullopt).op(op::kTrace);
    // Stack ["kept"]: the try block pushes two values and throws; both are gone, so after the catch
    // block took "kept" the stack is empty.
    ActionWriter pushing;
    pushing.push({s("dropped"), s("err")}).op(op::kThrow);
    w.push(s("kept")).tryBlock(pushing, catchBody, std::nullopt).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"2", "1", "kept", "undefined"}));
}

TEST(InterpreterStack, ActionListsShareTheirStackUntilTheFrameEnds) {
    Machine m(7);
    ActionWriter first;
    first.push(s("left over"));
    ActionWriter second;
    second.op(op::kTrace).op(op::kTrace);
    m.run(first);
    EXPECT_EQ(m.run(second), (QStringList{"left over", "undefined"}));
    m.run(first);
    vistrel::avm1::clearSharedStack(m.vm);
    EXPECT_EQ(m.run(second), (QStringList{"undefined", "undefined"}));
}

TEST(InterpreterStack, RegistersAboveAFunctionsCountAreTheGlobalOnes) {
    Machine m(7);
    ActionWriter body;
    // Register 0 is the function's own; 1 and 2 are the list's.
    body.push(Push::reg(0)).op(op::kTrace).push(Push::reg(2)).op(op::kTrace);
    body.push(i(9)).storeRegister(0).storeRegister(1).storeRegister(2).op(op::kPop);
    ActionWriter w;
    w.defineFunction2("f", 1, 0, {}, body);
    for (std::uint8_t r = 0; r < 3; ++r) w.push(i(r * 10)).storeRegister(r).op(op::kPop);
    w.push({i(0), s("f")}).op(op::kCallFunction).op(op::kPop);
    for (std::uint8_t r = 0; r < 3; ++r) w.push(Push::reg(r)).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "20", "0", "9", "9"}));
}

TEST(InterpreterStack, InvalidInitialiserCountsMakeUndefinedAndLeaveTheValues) {
    for (std::uint8_t code : {op::kInitArray, op::kInitObject}) {
        Machine m(7);
        ActionWriter w;
        w.push({s("a"), s("b"), Push::dbl(4294967297.0)}).op(code).op(op::kTrace).op(op::kTrace).op(op::kTrace);
        w.push({s("c"), i(-1)}).op(code).op(op::kTrace).op(op::kTrace);
        EXPECT_EQ(m.run(w), (QStringList{"undefined", "b", "a", "undefined", "c"})) << int(code);
    }
}

TEST(InterpreterOperators, TraceTurnsCarriageReturnsIntoNewlines) {
    Machine m(7);
    ActionWriter w;
    w.push(s("a\rb\r\nc")).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"a\nb\n\nc"}));
}

TEST(InterpreterOperators, IsNaNAndIsFiniteWithoutAnArgument) {
    Machine m(6);
    ActionWriter w;
    for (const char* fn : {"isNaN", "isFinite"}) {
        w.push({i(0), s(fn)}).op(op::kCallFunction).op(op::kTrace);
        // A given undefined is 0 before version 7.
        w.push({Push::undefined(), i(1), s(fn)}).op(op::kCallFunction).op(op::kTrace);
    }
    EXPECT_EQ(m.run(w), (QStringList{"true", "false", "false", "true"}));
}

TEST(InterpreterOperators, DatesJoinTextWithPlusButCompareAndSubtractByTheirTime) {
    for (int version : {6, 8}) {
        Machine m(version);
        ActionWriter w;
        // a = new Date(86400000), b = new Date(0) (times in milliseconds since 1970).
        for (const auto& [name, time] : {std::pair{"a", 86400000}, std::pair{"b", 0}})
            w.push({s(name), i(time), i(1), s("Date")}).op(op::kNewObject).op(op::kSetVariable);
        w.push(s("a")).op(op::kGetVariable).push(s("b")).op(op::kGetVariable).op(op::kSubtract).op(op::kTrace);
        w.push(s("b")).op(op::kGetVariable).push(s("a")).op(op::kGetVariable).op(op::kLess2).op(op::kTrace);
        w.push(s("a")).op(op::kGetVariable).push(i(86400000)).op(op::kEquals2).op(op::kTrace);
        w.push(s("a")).op(op::kGetVariable).op(op::kToNumber).op(op::kTrace);
        // + still writes the date out as text.
        w.push(s("b")).op(op::kGetVariable).push(i(1)).op(op::kAdd2).op(op::kTypeOf).op(op::kTrace);
        EXPECT_EQ(m.run(w), (QStringList{"86400000", "true", "true", "86400000", "string"})) << "version " << version;
    }
}
