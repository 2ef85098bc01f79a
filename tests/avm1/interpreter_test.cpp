// The action loop, run through the machine's public entry (runActions) on bytecode assembled for each
// case, with a host that records what the scripts ask of the display list.
#include <gtest/gtest.h>

#include "tests/avm1/interpreter_host.h"

namespace avm1 = vistrel::avm1;
namespace op = vistrel::testing::op;
namespace fn2 = vistrel::testing::fn2;
using vistrel::testing::ActionWriter;
using vistrel::testing::Bytes;
using vistrel::testing::CatchTarget;
using vistrel::testing::Machine;
using vistrel::testing::Push;

namespace {

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }
Push d(double v) { return Push::dbl(v); }

// Pushes a and b, applies the operator and traces the result.
ActionWriter binary(std::vector<Push> a, std::uint8_t code) {
    ActionWriter w;
    w.push(a).op(code).op(op::kTrace);
    return w;
}

QStringList runOp(int version, std::vector<Push> operands, std::uint8_t code) {
    Machine m(version);
    return m.run(binary(std::move(operands), code));
}

ActionWriter& trace(ActionWriter& w, const char* text) { return w.push(s(text)).op(op::kTrace); }
ActionWriter& traceVar(ActionWriter& w, const char* name) {
    return w.push(s(name)).op(op::kGetVariable).op(op::kTrace);
}

}  // namespace

// ---- arithmetic and comparison per version ----

TEST(InterpreterArithmetic, Swf4RulesGiveNumbersAndErrorOnDivisionByZero) {
    EXPECT_EQ(runOp(4, {s("3"), s("4")}, op::kAdd), QStringList{"7"});
    EXPECT_EQ(runOp(4, {i(1), i(0)}, op::kDivide), QStringList{"#ERROR#"});
    EXPECT_EQ(runOp(5, {i(1), i(0)}, op::kDivide), QStringList{"Infinity"});
    EXPECT_EQ(runOp(4, {i(2), i(2)}, op::kEquals), QStringList{"1"});   // numbers before 5
    EXPECT_EQ(runOp(6, {i(2), i(2)}, op::kEquals), QStringList{"true"});
    EXPECT_EQ(runOp(4, {i(1), i(2)}, op::kLess), QStringList{"1"});
    EXPECT_EQ(runOp(4, {i(7), i(2)}, op::kSubtract), QStringList{"5"});
    EXPECT_EQ(runOp(4, {i(7), d(0.5)}, op::kMultiply), QStringList{"3.5"});
    EXPECT_EQ(runOp(6, {i(1), i(0)}, op::kAnd), QStringList{"false"});
    EXPECT_EQ(runOp(6, {i(1), i(0)}, op::kOr), QStringList{"true"});
    EXPECT_EQ(runOp(4, {d(-3.7)}, op::kToInteger), QStringList{"-3"});
}

TEST(InterpreterArithmetic, Swf5OperatorsFollowTypes) {
    EXPECT_EQ(runOp(6, {s("a"), i(1)}, op::kAdd2), QStringList{"a1"});
    EXPECT_EQ(runOp(6, {i(1), i(2)}, op::kAdd2), QStringList{"3"});
    EXPECT_EQ(runOp(6, {i(7), i(3)}, op::kModulo), QStringList{"1"});
    EXPECT_EQ(runOp(6, {d(-7.5), i(2)}, op::kModulo), QStringList{"-1.5"});
    EXPECT_EQ(runOp(6, {i(5)}, op::kIncrement), QStringList{"6"});
    EXPECT_EQ(runOp(6, {i(5)}, op::kDecrement), QStringList{"4"});
    EXPECT_EQ(runOp(6, {s("10")}, op::kToNumber), QStringList{"10"});
    EXPECT_EQ(runOp(6, {Push::boolean(true)}, op::kToString), QStringList{"true"});
    EXPECT_EQ(runOp(6, {s("x")}, op::kTypeOf), QStringList{"string"});
}

TEST(InterpreterArithmetic, ComparisonsAndEquality) {
    EXPECT_EQ(runOp(6, {i(1), i(2)}, op::kLess2), QStringList{"true"});
    EXPECT_EQ(runOp(6, {s("b"), s("a")}, op::kLess2), QStringList{"false"});   // string order
    EXPECT_EQ(runOp(6, {s("10"), s("9")}, op::kLess2), QStringList{"true"});   // both strings
    EXPECT_EQ(runOp(7, {d(std::nan("")), i(1)}, op::kLess2), QStringList{"undefined"});
    EXPECT_EQ(runOp(6, {i(3), i(2)}, op::kGreater), QStringList{"true"});
    EXPECT_EQ(runOp(7, {s("abc"), d(std::nan(""))}, op::kGreater), QStringList{"undefined"});
    EXPECT_EQ(runOp(6, {s("1"), i(1)}, op::kEquals2), QStringList{"true"});
    EXPECT_EQ(runOp(6, {s("1"), i(1)}, op::kStrictEquals), QStringList{"false"});
    EXPECT_EQ(runOp(6, {Push::null(), Push::undefined()}, op::kEquals2), QStringList{"true"});
    EXPECT_EQ(runOp(6, {s("b"), s("a")}, op::kStringGreater), QStringList{"true"});
    EXPECT_EQ(runOp(6, {s("a"), s("b")}, op::kStringLess), QStringList{"true"});
}

TEST(InterpreterArithmetic, BitOperatorsWorkOn32Bits) {
    EXPECT_EQ(runOp(6, {i(-1), i(28)}, op::kBitURShift), QStringList{"15"});
    EXPECT_EQ(runOp(6, {i(-16), i(2)}, op::kBitRShift), QStringList{"-4"});
    EXPECT_EQ(runOp(6, {i(1), i(31)}, op::kBitLShift), QStringList{"-2147483648"});
    EXPECT_EQ(runOp(6, {i(1), i(33)}, op::kBitLShift), QStringList{"2"});   // count taken mod 32
    EXPECT_EQ(runOp(6, {d(4294967298.0), i(3)}, op::kBitAnd), QStringList{"2"});
    EXPECT_EQ(runOp(6, {i(12), i(10)}, op::kBitOr), QStringList{"14"});
    EXPECT_EQ(runOp(6, {i(12), i(10)}, op::kBitXor), QStringList{"6"});
}

TEST(InterpreterArithmetic, BooleansOfStringsDependOnVersion) {
    // "abc" is false before 7 (through its number) and true from 7 (non-empty).
    EXPECT_EQ(runOp(6, {s("abc")}, op::kNot), QStringList{"true"});
    EXPECT_EQ(runOp(7, {s("abc")}, op::kNot), QStringList{"false"});
    EXPECT_EQ(runOp(6, {s("2")}, op::kNot), QStringList{"false"});
}

// ---- strings ----

TEST(InterpreterStrings, SingleByteActions) {
    EXPECT_EQ(runOp(6, {s("hello"), i(2), i(3)}, op::kStringExtract), QStringList{"ell"});
    EXPECT_EQ(runOp(6, {s("hello"), i(0), i(2)}, op::kStringExtract), QStringList{"he"});
    EXPECT_EQ(runOp(6, {s("hello"), i(4), i(-1)}, op::kStringExtract), QStringList{"lo"});
    EXPECT_EQ(runOp(6, {s("hello"), i(9), i(2)}, op::kStringExtract), QStringList{""});
    EXPECT_EQ(runOp(6, {s("hello")}, op::kStringLength), QStringList{"5"});
    EXPECT_EQ(runOp(6, {s("ab"), s("cd")}, op::kStringAdd), QStringList{"abcd"});
    EXPECT_EQ(runOp(6, {s("ab"), s("ab")}, op::kStringEquals), QStringList{"true"});
    EXPECT_EQ(runOp(6, {s("A")}, op::kCharToAscii), QStringList{"65"});
    EXPECT_EQ(runOp(6, {i(66)}, op::kAsciiToChar), QStringList{"B"});
}

TEST(InterpreterStrings, MultibyteActionsCountCharacters) {
    EXPECT_EQ(runOp(6, {s("h\xc3\xa9llo")}, op::kMbStringLength), QStringList{"5"});
    EXPECT_EQ(runOp(6, {s("\xe2\x82\xac")}, op::kMbCharToAscii), QStringList{"8364"});
    EXPECT_EQ(runOp(6, {i(0x20ac)}, op::kMbAsciiToChar), QStringList{"\xe2\x82\xac"});
    // One UTF-16 unit each way: codes keep their low 16 bits, and half a surrogate pair reads as U+FFFD.
    EXPECT_EQ(runOp(6, {i(0x10050)}, op::kMbAsciiToChar), QStringList{"P"});
    EXPECT_EQ(runOp(6, {i(-65456)}, op::kAsciiToChar), QStringList{"P"});
    EXPECT_EQ(runOp(6, {s("\xf0\x9f\x98\x80")}, op::kMbCharToAscii), QStringList{"65533"});
    EXPECT_EQ(runOp(6, {s("\xf0\x9f\x98\x80")}, op::kCharToAscii), QStringList{"65533"});
    EXPECT_EQ(runOp(6, {s("\xc3\xa9t\xc3\xa9"), i(2), i(2)}, op::kMbStringExtract), QStringList{"t\xc3\xa9"});
    // Index and count wrap to 32-bit integers: 2^32 + 2 is 2 and -(2^32) + 3 is 3.
    EXPECT_EQ(runOp(6, {s("testing"), Push::dbl(4294967298.0), Push::dbl(-4294967293.0)}, op::kStringExtract),
              QStringList{"est"});
    EXPECT_EQ(runOp(6, {s("testing"), Push::dbl(4294967298.0), Push::dbl(-4294967293.0)}, op::kMbStringExtract),
              QStringList{"est"});
}

TEST(InterpreterStrings, UndefinedInStringContextDependsOnVersion) {
    EXPECT_EQ(runOp(6, {Push::undefined(), s("x")}, op::kStringAdd), QStringList{"x"});
    EXPECT_EQ(runOp(7, {Push::undefined(), s("x")}, op::kStringAdd), QStringList{"undefinedx"});
    // trace writes undefined whatever the version.
    EXPECT_EQ(runOp(6, {Push::undefined()}, op::kPushDuplicate), QStringList{"undefined"});
}

// ---- stack ----

TEST(InterpreterStack, UnderflowGivesUndefinedAndSwapDuplicateWork) {
    Machine m(7);
    ActionWriter w;
    w.op(op::kPop).op(op::kTrace);   // nothing there: undefined
    w.push({i(1), i(2)}).op(op::kStackSwap).op(op::kTrace).op(op::kTrace);
    w.push(i(3)).op(op::kPushDuplicate).op(op::kAdd2).op(op::kTrace);
    w.push({Push::flt(1.5f), Push::boolean(false), Push::null()}).op(op::kTrace).op(op::kTrace).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "1", "2", "6", "null", "false", "1.5"}));
}

TEST(InterpreterStack, RegistersAndConstantPool) {
    Machine m(7);
    ActionWriter w;
    w.constantPool({"zero", "one"});
    w.push(Push::constant8(1)).storeRegister(2).op(op::kPop);
    w.push(Push::reg(2)).op(op::kTrace);
    w.push(Push::constant16(0)).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"one", "zero"}));
}

// ---- variables and paths ----

TEST(InterpreterVariables, TimelineVariablesAndSlashAndDotPaths) {
    Machine m(7);
    avm1::Object* child = m.host.addClip(m.vm, m.root, "child");
    ActionWriter w;
    w.push({s("x"), i(5)}).op(op::kSetVariable);
    traceVar(w, "x");
    w.push({s("/child:v"), s("deep")}).op(op::kSetVariable);
    traceVar(w, "_root.child.v");
    traceVar(w, "child/:v");
    w.push({s("child.w"), s("dotted")}).op(op::kSetVariable);
    traceVar(w, "/child:w");
    EXPECT_EQ(m.run(w), (QStringList{"5", "deep", "deep", "dotted"}));
    EXPECT_EQ(m.vm.getMember(avm1::Value(m.root), "x").asNumber(), 5);

    // From the child's own code: ../ reaches the parent, and _parent too.
    ActionWriter c;
    traceVar(c, "../:x");
    traceVar(c, "_parent.x");
    traceVar(c, "v");
    c.push(s("this")).op(op::kGetVariable).op(op::kTargetPath).op(op::kTrace);
    EXPECT_EQ(m.run(c, child), (QStringList{"5", "5", "deep", "_level0.child"}));
}

TEST(InterpreterVariables, NamesIgnoreCaseBeforeVersion7) {
    Machine old(6), now(7);
    ActionWriter w;
    w.push({s("Score"), i(3)}).op(op::kSetVariable);
    traceVar(w, "score");
    EXPECT_EQ(old.run(w), QStringList{"3"});
    EXPECT_EQ(now.run(w), QStringList{"undefined"});
}

TEST(InterpreterVariables, GlobalIsSearchedLastAndNotWrittenByPlainNames) {
    Machine m(7);
    m.vm.global()->setOwn("g", avm1::Value("global"));
    ActionWriter w;
    traceVar(w, "g");
    w.push({s("g"), s("timeline")}).op(op::kSetVariable);
    traceVar(w, "g");
    w.push(s("_global")).op(op::kGetVariable).push(s("g")).op(op::kGetMember).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"global", "timeline", "global"}));
}

TEST(InterpreterVariables, DeleteAndDefineLocal) {
    Machine m(7);
    ActionWriter w;
    w.push({s("a"), i(1)}).op(op::kDefineLocal);
    w.push(s("a")).op(op::kDelete2).op(op::kTrace);
    traceVar(w, "a");
    w.push(s("b")).op(op::kDefineLocal2);
    w.push(s("this")).op(op::kGetVariable).push(s("b")).op(op::kDelete).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"true", "undefined", "true"}));
}

TEST(InterpreterVariables, WithSearchesTheObjectFirst) {
    Machine m(7);
    ActionWriter body;
    traceVar(body, "k");
    body.push({s("k"), s("changed")}).op(op::kSetVariable);
    body.push({s("fresh"), i(1)}).op(op::kSetVariable);   // unknown: goes to the timeline
    ActionWriter w;
    w.push({s("k"), s("outer")}).op(op::kSetVariable);
    w.push({s("k"), s("inner"), i(1)}).op(op::kInitObject).storeRegister(1).with(body);
    w.push(Push::reg(1)).push(s("k")).op(op::kGetMember).op(op::kTrace);
    traceVar(w, "k");
    traceVar(w, "fresh");
    EXPECT_EQ(m.run(w), (QStringList{"inner", "changed", "outer", "1"}));
}

// ---- functions ----

TEST(InterpreterFunctions, ClosuresKeepTheirActivation) {
    Machine m(7);
    // function make() { var n = 0; return function () { n = n + 1; return n; }; }
    ActionWriter inner;
    inner.push({s("n"), s("n")}).op(op::kGetVariable).push(i(1)).op(op::kAdd2).op(op::kSetVariable);
    inner.push(s("n")).op(op::kGetVariable).op(op::kReturn);
    ActionWriter make;
    make.push({s("n"), i(0)}).op(op::kDefineLocal).defineFunction("", {}, inner).op(op::kReturn);
    ActionWriter w;
    w.defineFunction("make", {}, make);
    w.push({s("c"), i(0), s("make")}).op(op::kCallFunction).op(op::kSetVariable);
    for (int k = 0; k < 3; ++k) w.push({i(0), s("c")}).op(op::kCallFunction).op(op::kTrace);
    traceVar(w, "n");   // the local never leaked to the timeline
    EXPECT_EQ(m.run(w), (QStringList{"1", "2", "3", "undefined"}));
}

TEST(InterpreterFunctions, ArgumentsParametersAndUndeclaredNames) {
    Machine m(7);
    ActionWriter body;
    traceVar(body, "b");
    body.push(s("arguments")).op(op::kGetVariable).push(s("length")).op(op::kGetMember).op(op::kTrace);
    body.push({s("leak"), s("yes")}).op(op::kSetVariable);
    body.push(s("a")).op(op::kGetVariable).op(op::kReturn);
    ActionWriter w;
    w.defineFunction("f", {"a", "b"}, body);
    w.push({s("x"), s("y"), s("z"), i(3), s("f")}).op(op::kCallFunction).op(op::kTrace);
    traceVar(w, "leak");
    // Arguments are pushed last first: f("z", "y", "x").
    EXPECT_EQ(m.run(w), (QStringList{"y", "3", "z", "yes"}));
}

TEST(InterpreterFunctions, DefineFunction2RegistersAndPreload) {
    Machine m(7);
    ActionWriter body;
    // r1 = this, r2 = arguments, r3 = _global (preload order), r4 = param p.
    body.push(Push::reg(1)).op(op::kTargetPath).op(op::kTrace);
    body.push(Push::reg(2)).push(s("length")).op(op::kGetMember).op(op::kTrace);
    body.push(Push::reg(3)).push(s("gv")).op(op::kGetMember).op(op::kTrace);
    body.push(Push::reg(4)).op(op::kTrace);
    traceVar(body, "q");   // a parameter without a register is a local variable
    traceVar(body, "p");   // a register parameter has no name
    ActionWriter w;
    m.vm.global()->setOwn("gv", avm1::Value("G"));
    w.defineFunction2("f", 5, fn2::kPreloadThis | fn2::kPreloadArguments | fn2::kPreloadGlobal,
                      {{4, "p"}, {0, "q"}}, body);
    w.push({s("Q"), s("P"), i(2), s("f")}).op(op::kCallFunction).op(op::kPop);
    EXPECT_EQ(m.run(w), (QStringList{"_level0", "2", "G", "P", "Q", "undefined"}));
}

TEST(InterpreterFunctions, MethodsConstructorsAndSuper) {
    Machine m(7);
    // function A(v) { this.v = v; }  A.prototype.who = function () { return "A" + this.v; };
    ActionWriter aBody;
    aBody.push({s("this")}).op(op::kGetVariable).push({s("v"), s("v")}).op(op::kGetVariable).op(op::kSetMember);
    ActionWriter who;
    who.push({s("A"), s("this")}).op(op::kGetVariable).push(s("v")).op(op::kGetMember).op(op::kAdd2).op(op::kReturn);
    // function B(v) { super(v + 1); }  B extends A;  B.prototype.who = function () { return "B" + super.who(); };
    ActionWriter bBody;
    bBody.push(s("v")).op(op::kGetVariable).push(i(1)).op(op::kAdd2).push(i(1));
    bBody.push(s("super")).op(op::kGetVariable).push(Push::undefined()).op(op::kCallMethod).op(op::kPop);
    ActionWriter bWho;
    bWho.push(s("B")).push(i(0)).push(s("super")).op(op::kGetVariable).push(s("who")).op(op::kCallMethod);
    bWho.op(op::kAdd2).op(op::kReturn);
    ActionWriter w;
    w.defineFunction("A", {"v"}, aBody);
    w.push(s("A")).op(op::kGetVariable).push(s("prototype")).op(op::kGetMember).push(s("who"));
    w.defineFunction("", {}, who).op(op::kSetMember);
    w.defineFunction("B", {"v"}, bBody);
    w.push(s("B")).op(op::kGetVariable).push(s("A")).op(op::kGetVariable).op(op::kExtends);
    w.push(s("B")).op(op::kGetVariable).push(s("prototype")).op(op::kGetMember).push(s("who"));
    w.defineFunction("", {}, bWho).op(op::kSetMember);
    w.push({s("b"), i(10), i(1), s("B")}).op(op::kNewObject).op(op::kSetVariable);
    w.push(i(0)).push(s("b")).op(op::kGetVariable).push(s("who")).op(op::kCallMethod).op(op::kTrace);
    w.push(s("b")).op(op::kGetVariable).push(s("A")).op(op::kGetVariable).op(op::kInstanceOf).op(op::kTrace);
    w.push(s("A")).op(op::kGetVariable).push(s("b")).op(op::kGetVariable).op(op::kCastOp).op(op::kTypeOf);
    w.op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"BA11", "true", "object"}));
}

TEST(InterpreterFunctions, RecursionPastTheLimitAbortsTheList) {
    Machine m(7);
    ActionWriter body;
    body.push({i(0), s("f")}).op(op::kCallFunction).op(op::kReturn);
    ActionWriter w;
    w.defineFunction("f", {}, body);
    w.push({i(0), s("f")}).op(op::kCallFunction);
    trace(w, "after");
    EXPECT_TRUE(m.run(w).isEmpty());
    ASSERT_EQ(m.vm.aborts().size(), 1u);
    EXPECT_TRUE(m.vm.aborts().front().contains("256 levels of recursion"));
    EXPECT_EQ(m.vm.callDepth(), 0);
    // The machine goes on with the next list.
    ActionWriter next;
    trace(next, "next");
    EXPECT_EQ(m.run(next), QStringList{"next"});
}

TEST(InterpreterFunctions, ObjectsArraysAndEnumeration) {
    Machine m(7);
    ActionWriter w;
    w.push({s("o"), s("a"), i(1), s("b"), i(2), i(2)}).op(op::kInitObject).op(op::kSetVariable);
    w.push(s("o")).op(op::kEnumerate);
    // The names end with undefined (compilers test it with a loose comparison against null).
    w.label("loop").op(op::kPushDuplicate).push(Push::undefined()).op(op::kStrictEquals).ifTrue("done");
    w.op(op::kTrace).jump("loop");
    w.label("done").op(op::kPop);
    w.push({s("z"), s("y"), s("x"), i(3)}).op(op::kInitArray).storeRegister(1);
    w.push(i(0)).op(op::kGetMember).op(op::kTrace);
    w.push(Push::reg(1)).push(s("length")).op(op::kGetMember).op(op::kTrace);
    // InitObject defines the last pair first; enumeration lists the newest name first.
    EXPECT_EQ(m.run(w), (QStringList{"a", "b", "x", "3"}));
}

// ---- exceptions ----

TEST(InterpreterExceptions, CatchFinallyAndRethrow) {
    Machine m(7);
    ActionWriter tryBody;
    trace(tryBody, "try");
    tryBody.push(s("boom")).op(op::kThrow);
    trace(tryBody, "not reached");
    ActionWriter catchBody;
    catchBody.push(s("caught ")).push(s("err")).op(op::kGetVariable).op(op::kAdd2).op(op::kTrace);
    ActionWriter finallyBody;
    trace(finallyBody, "finally");
    ActionWriter w;
    w.tryBlock(tryBody, catchBody, finallyBody, CatchTarget::variable("err"));

    // Nested: the inner try has only finally, so the throw passes through to the outer catch.
    ActionWriter innerTry;
    innerTry.push(i(7)).op(op::kThrow);
    ActionWriter innerFinally;
    trace(innerFinally, "inner finally");
    ActionWriter outerTry;
    outerTry.tryBlock(innerTry, std::nullopt, innerFinally);
    ActionWriter outerCatch;
    outerCatch.push(Push::reg(3)).op(op::kTrace);
    w.tryBlock(outerTry, outerCatch, std::nullopt, CatchTarget::registerNumber(3));

    // Uncaught: the list ends there, with a warning in the trace.
    w.push(s("last")).op(op::kThrow);
    trace(w, "not reached");
    EXPECT_EQ(m.run(w), (QStringList{"try", "caught boom", "finally", "inner finally", "7",
                                     "Warning: Uncaught exception, last"}));
    EXPECT_TRUE(m.vm.aborts().empty());
}

TEST(InterpreterExceptions, ThrowFromAFunctionAndReturnThroughFinally) {
    Machine m(7);
    ActionWriter thrower;
    thrower.push(s("from f")).op(op::kThrow);
    ActionWriter retTry;
    retTry.push(s("value")).op(op::kReturn);
    ActionWriter retFinally;
    trace(retFinally, "cleanup");
    ActionWriter returner;
    returner.tryBlock(retTry, std::nullopt, retFinally);
    ActionWriter tryBody;
    tryBody.push({i(0), s("f")}).op(op::kCallFunction);
    ActionWriter catchBody;
    traceVar(catchBody, "e");
    ActionWriter w;
    w.defineFunction("f", {}, thrower).defineFunction("g", {}, returner);
    w.tryBlock(tryBody, catchBody, std::nullopt);
    w.push({i(0), s("g")}).op(op::kCallFunction).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"from f", "cleanup", "value"}));
}

// ---- the display list ----

TEST(InterpreterDisplay, TimelineActionsReachTheTarget) {
    Machine m(7);
    m.host.addClip(m.vm, m.root, "mc");
    ActionWriter w;
    w.op(op::kPlay).gotoFrame(3).gotoLabel("intro").op(op::kNextFrame);
    w.setTarget("mc").op(op::kStop).setTarget("").op(op::kPrevFrame);
    w.push(s("mc")).op(op::kSetTarget2).op(op::kPlay).push(s("")).op(op::kSetTarget2);
    w.push(i(5)).gotoFrame2(true, 10);
    w.push(s("mc:five")).gotoFrame2(false);
    w.push(s("/mc:3")).gotoFrame2(false);
    w.push(s("2")).op(op::kCall);
    w.getUrl("http://a/", "_blank");
    w.push({s("page"), s("_level1")}).action(op::kGetUrl2, {0x42});
    w.push({s("mc"), s("copy"), i(16384)}).op(op::kCloneSprite).push(s("mc")).op(op::kRemoveSprite);
    w.push({i(1), i(2), i(3), i(4), i(1), i(0), s("mc")}).op(op::kStartDrag).op(op::kEndDrag);
    w.push({s("mc"), i(0), i(50)}).op(op::kSetProperty);
    w.push({s("mc"), i(13)}).op(op::kGetProperty).op(op::kTrace);
    w.push({s("/mc"), i(99)}).op(op::kGetProperty).op(op::kTrace);
    m.run(w);
    EXPECT_EQ(m.host.calls,
              (QStringList{"play /", "goto / 3 stop", "label / intro stop", "next /", "stop /mc", "prev /",
                           "play /mc", "goto / 14 play", "label /mc five stop", "goto /mc 2 stop", "call / 1",
                           "geturl / http://a/ _blank 0 0 0", "geturl / page _level1 2 1 0",
                           "duplicate /mc copy 16384", "remove /mc", "drag /mc 0 1,2,3,4", "stopdrag",
                           "setprop /mc 0 50"}));
    EXPECT_EQ(m.host.traces, (QStringList{"mc", "undefined"}));
}

TEST(InterpreterDisplay, WaitForFrameSkipsWhenNotLoaded) {
    Machine m(4);
    m.host.loadedFrames = 3;
    ActionWriter w;
    w.waitForFrame(2, 1);
    trace(w, "frame 2 loaded");
    w.waitForFrame(5, 4);   // two push-and-trace pairs
    trace(w, "skipped 1");
    trace(w, "skipped 2");
    w.push(i(9)).waitForFrame2(2);
    trace(w, "skipped 3");
    w.op(op::kGetTime).op(op::kTrace);
    w.push(i(10)).op(op::kRandomNumber).push(i(10)).op(op::kLess).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"frame 2 loaded", "1234", "1"}));
}

// ---- damaged code ----

TEST(InterpreterDamagedCode, EachDamageEndsTheListWithoutReadingPastIt) {
    auto runTail = [](const Bytes& damage) {
        Machine m(7);
        ActionWriter before;
        trace(before, "before");
        Bytes bytes = before.code();
        bytes.insert(bytes.end(), damage.begin(), damage.end());
        ActionWriter after;
        trace(after, "after");
        const Bytes tail = after.end();
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return m.runBytes(bytes);
    };
    const QStringList ended{"before"};
    EXPECT_EQ(runTail(ActionWriter().jumpBy(1000).code()), ended);             // jump past the list
    EXPECT_EQ(runTail(ActionWriter().jumpBy(-200).code()), ended);             // jump before it
    EXPECT_EQ(runTail(ActionWriter().push(Push::constant8(3)).code()), ended); // no constant pool
    EXPECT_EQ(runTail(ActionWriter().action(op::kPush, {0, 'a', 'b'}).code()), ended);   // unterminated
    EXPECT_EQ(runTail(ActionWriter().action(op::kPush, {6, 1, 2}).code()), ended);       // short double
    EXPECT_EQ(runTail(ActionWriter().action(op::kPush, {42}).code()), ended);            // unknown type
    EXPECT_EQ(runTail(ActionWriter().action(op::kStoreRegister, {}).code()), ended);   // no register number
    EXPECT_EQ(runTail(ActionWriter().action(op::kConstantPool, {5, 0, 'a', 0}).code()), ended);
    EXPECT_EQ(runTail(ActionWriter().action(op::kDefineFunction, {0, 0, 0, 0xff, 0x7f}).code()), ended);
    EXPECT_EQ(runTail(ActionWriter().action(op::kWith, {0xff, 0x7f}).code()), ended);
    EXPECT_EQ(runTail(ActionWriter().action(op::kTry, {3, 0xff, 0, 0, 0, 0, 0, 0}).code()), ended);
    // A length field past the end of the list.
    Machine m(7);
    ActionWriter before;
    trace(before, "before");
    Bytes bytes = before.code();
    bytes.insert(bytes.end(), {op::kPush, 0xff, 0xff, 0});
    EXPECT_EQ(m.runBytes(bytes), ended);
    // Registers the list does not have read as undefined and take nothing: the list goes on.
    EXPECT_EQ(runTail(ActionWriter().push(Push::reg(9)).op(op::kTrace).code()), (QStringList{"before", "undefined", "after"}));
    EXPECT_EQ(runTail(ActionWriter().action(op::kStoreRegister, {200}).code()), (QStringList{"before", "after"}));
    // An unknown action is skipped by its length.
    EXPECT_EQ(runTail(ActionWriter().action(0xfe, {1, 2, 3}).op(0x7e).code()), (QStringList{"before", "after"}));
}

TEST(InterpreterDamagedCode, EndlessLoopStopsAtTheTimeLimit) {
    Machine m(7);
    m.vm.setTimeLimitMs(100);
    ActionWriter w;
    w.label("top").push({s("n"), s("n")}).op(op::kGetVariable).op(op::kIncrement).op(op::kSetVariable);
    w.jump("top");
    m.run(w);
    ASSERT_EQ(m.vm.aborts().size(), 1u);
    EXPECT_TRUE(m.vm.aborts().front().contains("longer than"));
}

TEST(InterpreterDamagedCode, HostileCountsDoNotBuildHugeLists) {
    Machine m(7);
    ActionWriter w;
    // An oversized count makes no array at all; the values stay on the stack.
    w.push({i(1), i(2), d(1e12)}).op(op::kInitArray).push(s("length")).op(op::kGetMember).op(op::kTrace);
    w.op(op::kTrace);
    w.push({d(1e12), s("f")}).op(op::kCallFunction).op(op::kTrace);
    EXPECT_EQ(m.run(w), (QStringList{"undefined", "2", "undefined"}));
}
