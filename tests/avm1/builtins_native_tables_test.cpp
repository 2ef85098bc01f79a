// Numbered built-ins (ASnative, ASSetNative, ASSetNativeAccessor, ASnew) and the small global classes
// that stand in for the outside world (XMLSocket, PrintJob, System.Product), with the finer rules of
// ColorTransform and Color targets.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "tests/avm1/builtins_support.h"
#include "tests/avm1/script_movie.h"
#include "tests/support/action_writer.h"

namespace sw = vistrel::testing;
using vistrel::avm1::Object;
using vistrel::avm1::Value;
using vistrel::avm1::testing::Machine;

namespace {

// Names for..in lists on `o`, newest first, joined by commas.
std::string enumerate(Machine& m, const Value& o) {
    std::string out;
    std::vector<QString> names = o.object()->ownNames();
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const vistrel::avm1::Property* p = o.object()->findOwn(*it);
        if (p && !(p->flags & vistrel::avm1::propflag::kDontEnum)) out += it->toStdString() + ",";
    }
    (void)m;
    return out;
}

}  // namespace

TEST(NativeTables, AsNativeHandsOutBuiltInsByNumber) {
    Machine m(8);
    // Global functions (100), Object.prototype (101), Math (200), String.prototype (251).
    EXPECT_EQ(m.str(m.vm.call(m.callGlobal("ASnative", {Value(100), Value(0)}), Value(), std::vector<Value>{Value("&")})),
              "%26");
    EXPECT_EQ(m.str(m.vm.call(m.callGlobal("ASnative", {Value("100"), Value("1")}), Value(),
                              std::vector<Value>{Value("%26")})),
              "&");
    Value o = Value(m.vm.makeObject());
    m.vm.setMember(o, QStringLiteral("x"), Value(1));
    const Value hasOwn = m.callGlobal("ASnative", {Value(101), Value(5)});
    EXPECT_TRUE(m.vm.toBoolean(m.vm.call(hasOwn, o, std::vector<Value>{Value("x")})));
    EXPECT_FALSE(m.vm.toBoolean(m.vm.call(hasOwn, o, std::vector<Value>{Value("y")})));
    // The index is truncated like any integer argument; 4.5 is Math.sin's neighbour cos.
    EXPECT_EQ(m.num(m.vm.call(m.callGlobal("ASnative", {Value(200), Value(4.5)}), Value(), std::vector<Value>{Value(0)})),
              1.0);
    EXPECT_EQ(m.str(m.vm.call(m.callGlobal("ASnative", {Value(251), Value(2)}), Value("abc"), {})), "ABC");
    EXPECT_EQ(m.vm.typeOf(m.callGlobal("ASnative", {Value(200), Value(0)})), "function");

    // Taken when the built-ins were installed: replacing the method later changes nothing.
    m.vm.setMember(m.global("Math"), QStringLiteral("abs"), Value(1));
    EXPECT_EQ(m.num(m.vm.call(m.callGlobal("ASnative", {Value(200), Value(0)}), Value(), std::vector<Value>{Value(-3)})),
              3.0);
}

TEST(NativeTables, AsNativeRefusesBadArgumentsAndFillsGaps) {
    Machine m(8);
    EXPECT_TRUE(m.callGlobal("ASnative", {Value(100)}).isUndefined());
    EXPECT_TRUE(m.callGlobal("ASnative", {Value(100), Value(0), Value(0)}).isUndefined());
    EXPECT_TRUE(m.callGlobal("ASnative", {Value("onehundred"), Value(0)}).isUndefined());
    EXPECT_TRUE(m.callGlobal("ASnative", {Value(99999), Value(0)}).isUndefined());
    // A missing index of a known table is a function that does nothing...
    const Value gap = m.callGlobal("ASnative", {Value(100), Value(65540)});
    ASSERT_EQ(m.vm.typeOf(gap), "function");
    EXPECT_TRUE(m.vm.call(gap, Value(), std::vector<Value>{Value("x")}).isUndefined());
    // ...except in Math, where it still converts two arguments and answers NaN.
    int conversions = 0;
    Value noisy = Value(m.vm.makeObject());
    noisy.object()->setOwn(QStringLiteral("valueOf"),
                           Value(m.vm.makeFunction(QStringLiteral("valueOf"), [&conversions](auto&, const Value&, auto) {
                               ++conversions;
                               return Value(1);
                           })));
    const Value mathGap = m.callGlobal("ASnative", {Value(200), Value(50)});
    EXPECT_TRUE(std::isnan(m.num(m.vm.call(mathGap, Value(), std::vector<Value>{noisy, noisy, noisy}))));
    EXPECT_EQ(conversions, 2);
}

TEST(NativeTables, AsSetNativeNamesNumberedMethods) {
    Machine m(7);
    Value o = Value(m.vm.makeObject());
    m.vm.setMember(o, QStringLiteral("old"), Value("kept"));
    // Empty names use up an index; a version digit is stripped and hides the name from older movies.
    EXPECT_TRUE(m.callGlobal("ASSetNative", {o, Value(251), Value(",,toUpper,,charAt,8late,old")}).isUndefined());
    EXPECT_EQ(m.str(m.vm.call(m.vm.getMember(o, QStringLiteral("toUpper")), Value("ab"), {})), "AB");
    EXPECT_EQ(m.str(m.vm.call(m.vm.getMember(o, QStringLiteral("charAt")), Value("xyz"), std::vector<Value>{Value(1)})),
              "y");
    EXPECT_TRUE(m.vm.getMember(o, QStringLiteral("late")).isUndefined());   // version 8 name, version 7 movie
    // An existing property keeps its place; new ones are added in order.
    EXPECT_EQ(m.vm.typeOf(m.vm.getMember(o, QStringLiteral("old"))), "function");
    EXPECT_EQ(enumerate(m, o), "late,charAt,toUpper,old,");

    // The first index comes from the fourth argument, converted once.
    Value d = m.construct("Date", {Value(1234)});
    m.callGlobal("ASSetNative", {d, Value(103), Value(",,time"), Value(14)});
    EXPECT_EQ(m.num(m.call(d, "time")), 1234.0);
    // Missing pieces do nothing.
    EXPECT_TRUE(m.callGlobal("ASSetNative").isUndefined());
    EXPECT_TRUE(m.callGlobal("ASSetNative", {o, Value(251)}).isUndefined());
}

TEST(NativeTables, AsSetNativeAccessorPairsGetterAndSetter) {
    Machine m(8);
    Value n = m.construct("Number", {Value(5)});
    // Each name takes two indices, the getter at n and the setter at n + 1: Number.prototype's valueOf
    // reads the number, and the next name starts past toString at a slot the table lacks.
    m.callGlobal("ASSetNativeAccessor", {n, Value(106), Value("v,w")});
    EXPECT_EQ(m.num(m.vm.getMember(n, QStringLiteral("v"))), 5.0);
    EXPECT_TRUE(m.vm.getMember(n, QStringLiteral("w")).isUndefined());
    const vistrel::avm1::Property* p = n.object()->findOwn(QStringLiteral("v"));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->isAccessor());
    EXPECT_NE(p->setter, nullptr);
    EXPECT_EQ(enumerate(m, n), "w,v,");
}

TEST(NativeTables, AsNewTellsWhetherNewRunsTheFunction) {
    using namespace sw;
    ActionWriter body;
    // function F() { trace(ASnative(2, 0)()); }
    body.push({Push::integer(0), Push::integer(0), Push::integer(2), Push::integer(2), Push::str("ASnative")})
        .op(op::kCallFunction)
        .push(Push::undefined())
        .op(op::kCallMethod)
        .op(op::kTrace);
    ActionWriter a;
    a.defineFunction("F", {}, body);
    a.push({Push::integer(0), Push::str("F")}).op(op::kCallFunction).op(op::kPop);
    a.push({Push::integer(0), Push::str("F")}).op(op::kNewObject).op(op::kPop);
    ScriptMovie m(8, a.end());
    EXPECT_EQ(m.lines, (std::vector<std::string>{"false", "true"}));
}

TEST(OutsideWorld, SocketNeverConnectsAndPrintingIsCancelled) {
    sw::ScriptMovie m(8);
    Value socket = m.make("XMLSocket");
    ASSERT_TRUE(socket.isObject());
    EXPECT_FALSE(m.vm().toBoolean(m.call(socket, "connect", {Value("localhost"), Value(8001)})));
    EXPECT_TRUE(m.call(socket, "send", {Value("x")}).isUndefined());
    // The built-in data handler hands a parsed document to onXML.
    std::vector<std::string> seen;
    m.set(socket, "onXML", Value(m.vm().makeFunction(QStringLiteral("onXML"), [&seen](auto& vm, const Value&, auto args) {
              seen.push_back(vm.toString(args.empty() ? Value() : args[0]).toStdString());
              return Value();
          })));
    m.call(socket, "onData", {Value("<a><b/></a>")});
    EXPECT_EQ(seen, (std::vector<std::string>{"<a><b /></a>"}));

    Value job = m.make("PrintJob");
    EXPECT_FALSE(m.vm().toBoolean(m.call(job, "start")));
    EXPECT_FALSE(m.vm().toBoolean(m.call(job, "addPage", {m.root()})));
    sw::ScriptMovie v6(6);
    EXPECT_TRUE(v6.path("PrintJob").isUndefined());   // a version 7 class
}

TEST(OutsideWorld, SystemProductAndDomainPermissions) {
    sw::ScriptMovie m(7);
    Value product = m.make("System.Product", {Value("p")});
    EXPECT_EQ(m.vm().typeOf(product), "object");
    EXPECT_FALSE(m.vm().toBoolean(m.call(product, "launch")));
    EXPECT_FALSE(m.vm().toBoolean(m.call(product, "download")));
    Value security = m.path("System.security");
    EXPECT_TRUE(m.vm().toBoolean(m.call(security, "allowDomain", {Value("example.com")})));
    EXPECT_TRUE(m.vm().toBoolean(m.call(security, "allowDomain", {Value()})));
    EXPECT_FALSE(m.vm().toBoolean(m.call(security, "allowDomain")));
}

TEST(OutsideWorld, ColorTransformTakesAllEightValuesOrNone) {
    sw::ScriptMovie m(8);
    Value partial = m.make("flash.geom.ColorTransform", {Value(0), Value(2), Value(3), Value(4)});
    EXPECT_EQ(m.num(m.get(partial, "redMultiplier")), 1.0);
    EXPECT_EQ(m.num(m.get(partial, "alphaMultiplier")), 1.0);
    Value full = m.make("flash.geom.ColorTransform", {Value(1), Value(1), Value(1), Value(1), Value(1000000),
                                                      Value(1000), Value(1000), Value(0)});
    // Offsets past a byte spill into the neighbouring channel and wrap at 32 bits.
    EXPECT_EQ(m.num(m.get(full, "rgb")), 1111747560.0);
}

TEST(OutsideWorld, ColorResolvesAnObjectTargetAtEveryUse) {
    sw::ScriptMovie m(6);
    int calls = 0;
    Value target = m.object();
    m.set(target, "toString", Value(m.vm().makeFunction(QStringLiteral("toString"), [&calls](auto&, const Value&, auto) {
              ++calls;
              return Value("_root");
          })));
    Value color = m.make("Color", {target});
    EXPECT_EQ(calls, 0);
    m.call(color, "setRGB", {Value(0xff0000)});
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(m.num(m.call(color, "getRGB")), double(0xff0000));
    EXPECT_EQ(calls, 2);
}

TEST(Conversions, ValueOfAndToStringAreNotAskedOfResolve) {
    Machine m(8);
    int resolved = 0;
    Value o = Value(m.vm.makeObject());
    o.object()->setProto(nullptr);
    const Value method = Value(m.vm.makeFunction(QStringLiteral("m"), [](auto&, const Value&, auto) { return Value(7); }));
    o.object()->setOwn(QStringLiteral("__resolve"),
                       Value(m.vm.makeFunction(QStringLiteral("r"), [&resolved, method](auto&, const Value&, auto) {
                           ++resolved;
                           return method;
                       })));
    EXPECT_TRUE(std::isnan(m.num(o)));
    EXPECT_EQ(m.str(o), "[type Object]");
    EXPECT_EQ(resolved, 0);
    // An ordinary read still asks it.
    EXPECT_EQ(m.vm.getMember(o, QStringLiteral("valueOf")).object(), method.object());
    EXPECT_EQ(resolved, 1);
}

TEST(Conversions, TracePrintsTheKindBeforeAThrowingToStringEscapes) {
    using namespace sw;
    ScriptMovie m(8);
    Value o = m.object();
    m.set(o, "toString", Value(m.vm().makeFunction(QStringLiteral("toString"), [](auto&, const Value&, auto) -> Value {
              throw vistrel::avm1::ScriptException{Value("boom")};
          })));
    m.set(m.root(), "o", o);
    ActionWriter a;
    a.push(Push::str("o")).op(op::kGetVariable).op(op::kTrace).push(Push::str("after")).op(op::kTrace);
    const Bytes code = a.end();
    m.lines.clear();
    m.vm().runActions(std::make_shared<const std::vector<std::uint8_t>>(code.begin(), code.end()), m.root().object());
    ASSERT_FALSE(m.lines.empty());
    EXPECT_EQ(m.lines.front(), "[type Object]");
    // The exception ended the list: nothing after the trace ran.
    EXPECT_EQ(std::count(m.lines.begin(), m.lines.end(), std::string("after")), 0);
}
