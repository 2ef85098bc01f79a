// Array built-ins: the constructor forms, the mutating methods, and sort/sortOn with their flags
// and its order for equal, undefined and mixed values.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/avm1/builtins_support.h"

using namespace vistrel::avm1;
using vistrel::avm1::testing::Machine;

namespace {

Value mixed(Machine& m) {
    return m.array({Value(3), Value(), Value(1), Value("b"), Value("B"), Value("a"), Value::null(), Value(10),
                    Value("9"), Value(2), Value("10")});
}

std::string sorted(Machine& m, std::initializer_list<Value> args) {
    const Value a = mixed(m);
    m.call(a, "sort", args);
    return m.join(a);
}

}  // namespace

TEST(BuiltinsArray, ConstructorForms) {
    Machine m(7);
    EXPECT_EQ(m.num(m.vm.getMember(m.construct("Array", {Value(3)}), "length")), 3);
    EXPECT_EQ(m.num(m.vm.getMember(m.construct("Array", {Value(2.5)}), "length")), 2);
    EXPECT_EQ(m.join(m.construct("Array", {Value("3")})), "3");
    EXPECT_EQ(m.join(m.construct("Array", {Value(1), Value(2)})), "1|2");
    EXPECT_EQ(m.join(m.callGlobal("Array", {Value("x"), Value(true)})), "x|true");
    EXPECT_EQ(m.num(m.path("Array.NUMERIC")), 16);
    EXPECT_EQ(m.num(m.path("Array.RETURNINDEXEDARRAY")), 8);
}

TEST(BuiltinsArray, MutatingMethodsAndWhatTheyReturn) {
    Machine m(7);
    const Value a = m.array({Value(1), Value(2), Value(3)});
    EXPECT_EQ(m.num(m.call(a, "push", {Value(4), Value(5)})), 5);
    EXPECT_EQ(m.num(m.call(a, "pop")), 5);
    EXPECT_EQ(m.num(m.call(a, "shift")), 1);
    EXPECT_EQ(m.num(m.call(a, "unshift", {Value(0), Value(1)})), 5);
    EXPECT_EQ(m.join(a), "0|1|2|3|4");
    EXPECT_EQ(m.join(m.call(a, "splice", {Value(1), Value(2), Value("x")})), "1|2");
    EXPECT_EQ(m.join(a), "0|x|3|4");
    EXPECT_EQ(m.join(m.call(a, "splice", {Value(-2)})), "3|4");
    EXPECT_TRUE(m.call(a, "splice").isUndefined());
    EXPECT_EQ(m.join(m.call(m.call(a, "reverse"), "concat", {m.array({Value(7), Value(8)}), Value(9)})), "x|0|7|8|9");
    EXPECT_TRUE(m.call(m.array({}), "pop").isUndefined());
}

TEST(BuiltinsArray, SliceJoinAndToString) {
    Machine m(6);
    const Value a = m.array({Value(1), Value(2), Value(3), Value(4)});
    EXPECT_EQ(m.join(m.call(a, "slice", {Value(1), Value(-1)})), "2|3");
    EXPECT_EQ(m.join(m.call(a, "slice", {Value(-2)})), "3|4");
    EXPECT_EQ(m.join(m.call(a, "slice", {Value(3), Value(1)})), "");
    EXPECT_EQ(m.str(m.call(a, "join")), "1,2,3,4");
    // Before version 7 undefined prints as nothing.
    EXPECT_EQ(m.str(m.array({Value(), Value::null(), Value(1)})), ",null,1");
    Machine m7(7);
    EXPECT_EQ(m7.str(m7.array({Value(), Value::null(), Value(1)})), "undefined,null,1");
}

TEST(BuiltinsArray, SortFlagsAndUndefinedBeforeVersion7) {
    Machine m(6);
    EXPECT_EQ(sorted(m, {}), "|1|10|10|2|3|9|B|a|b|null");
    EXPECT_EQ(sorted(m, {Value(2)}), "null|b|a|B|9|3|2|10|10|1|");
    // NUMERIC compares two numbers by value and anything else as strings.
    EXPECT_EQ(sorted(m, {Value(16)}), "|1|10|2|3|10|9|B|a|b|null");
    EXPECT_EQ(sorted(m, {Value(18)}), "null|b|a|B|9|10|3|2|10|1|");
}

TEST(BuiltinsArray, SortFlagsAndUndefinedFromVersion7) {
    Machine m(7);
    EXPECT_EQ(sorted(m, {}), "1|10|10|2|3|9|B|a|b|null|undefined");
    EXPECT_EQ(sorted(m, {Value(1)}), "1|10|10|2|3|9|a|B|b|null|undefined");
    EXPECT_EQ(sorted(m, {Value(2)}), "undefined|null|b|a|B|9|3|2|10|10|1");
    EXPECT_EQ(sorted(m, {Value(16)}), "1|10|2|3|10|9|B|a|b|null|undefined");
    EXPECT_EQ(sorted(m, {Value(17)}), "1|10|2|3|10|9|a|B|b|null|undefined");
}

TEST(BuiltinsArray, UniqueSortAndIndexedArray) {
    Machine m(7);
    const Value dup = m.array({Value(5), Value(1), Value(5)});
    EXPECT_EQ(m.num(m.call(dup, "sort", {Value(4)})), 0);
    EXPECT_EQ(m.join(dup), "5|1|5");   // left as it was
    EXPECT_EQ(m.join(m.call(m.array({Value(5), Value(1), Value(3)}), "sort", {Value(4)})), "1|3|5");
    EXPECT_EQ(m.num(m.call(m.array({Value("a"), Value("A")}), "sort", {Value(5)})), 0);
    const Value letters = m.array({Value("b"), Value("a"), Value("c")});
    EXPECT_EQ(m.join(m.call(letters, "sort", {Value(8)})), "1|0|2");
    EXPECT_EQ(m.join(letters), "b|a|c");
    EXPECT_EQ(m.join(m.call(letters, "sort", {Value(10)})), "2|0|1");
}

TEST(BuiltinsArray, SortWithComparatorAndFlags) {
    Machine m(7);
    int calls = 0;
    const Value byNumber(m.vm.makeFunction("cmp", [&calls](Vm& vm, const Value&, std::span<const Value> args) {
        ++calls;
        return Value(vm.toNumber(args[0]) - vm.toNumber(args[1]));
    }));
    const Value a = m.array({Value(10), Value(9), Value(100), Value(1)});
    EXPECT_EQ(m.join(m.call(a, "sort", {byNumber})), "1|9|10|100");
    EXPECT_GT(calls, 0);
    EXPECT_EQ(m.join(m.call(a, "sort", {byNumber, Value(2)})), "100|10|9|1");

    // A comparator that contradicts itself still leaves a permutation of the elements.
    std::uint32_t state = 7;
    const Value liar(m.vm.makeFunction("liar", [&state](Vm&, const Value&, std::span<const Value>) {
        state = state * 1103515245u + 12345u;
        return Value(static_cast<int>(state >> 16) % 3 - 1);
    }));
    std::vector<Value> many;
    for (int i = 0; i < 200; ++i) many.emplace_back(i);
    auto* big = m.vm.makeArray(many);
    m.call(Value(big), "sort", {liar});
    std::vector<bool> seen(200, false);
    ASSERT_EQ(big->values().size(), 200u);
    for (const Value& v : big->values()) seen[static_cast<std::size_t>(v.asNumber())] = true;
    EXPECT_EQ(std::count(seen.begin(), seen.end(), true), 200);
}

TEST(BuiltinsArray, SortOnFieldsAndPerFieldFlags) {
    for (int version : {6, 7}) {
        Machine m(version);
        auto item = [&](Value a, const char* b) {
            Object* o = m.vm.makeObject();
            if (!a.isUndefined()) o->setOwn("a", a);
            o->setOwn("b", Value(b));
            return Value(o);
        };
        const Value list = m.array({item(Value(2), "x"), item(Value(1), "y"), item(Value(2), "a"),
                                    item(Value(10), "q"), item(Value(), "u")});
        auto order = [&] {
            std::string s;
            for (const Value& v : static_cast<ArrayObject*>(list.asObject())->values()) s += m.str(m.vm.getMember(v, "b"));
            return s;
        };
        m.call(list, "sortOn", {Value("a")});
        EXPECT_EQ(order(), version < 7 ? "uyqxa" : "yqxau");
        m.call(list, "sortOn", {m.array({Value("a"), Value("b")}), m.array({Value(16), Value(2)})});
        EXPECT_EQ(order(), version < 7 ? "uyxaq" : "yxaqu");
        const Value indices = m.call(list, "sortOn", {Value("b"), Value(8)});
        EXPECT_EQ(m.join(indices), version < 7 ? "3|4|0|2|1" : "2|3|4|1|0");
    }
}

TEST(BuiltinsArray, WorksOnArrayLikeObjects) {
    Machine m(7);
    Object* o = m.vm.makeObject();
    o->setOwn("length", Value(2));
    o->setOwn("0", Value("b"));
    o->setOwn("1", Value("a"));
    const Value self(o);
    m.vm.callMethod(m.path("Array.prototype.sort"), "call", std::vector<Value>{self});
    EXPECT_EQ(m.str(m.vm.getMember(self, "0")), "a");
    const std::vector<Value> args{self, Value("x")};
    EXPECT_EQ(m.num(m.vm.callMethod(m.path("Array.prototype.push"), "call", args)), 3);
    EXPECT_EQ(m.str(m.vm.getMember(self, "2")), "x");
}
