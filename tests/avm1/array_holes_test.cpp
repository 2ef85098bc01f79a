// Arrays with holes: an index never set is absent while length covers it, elements enumerate with the
// named properties newest first, and the methods that move elements keep holes, flags and that order
// the way scripts see them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/avm1/interpreter_host.h"

namespace avm1 = vistrel::avm1;
namespace op = vistrel::testing::op;
using avm1::Value;
using vistrel::testing::ActionWriter;
using vistrel::testing::Machine;
using vistrel::testing::Push;

namespace {

class Arrays {
public:
    explicit Arrays(int version = 8) : m(version) {}

    // A new array in the variable `a`, with `elements` stored one by one at their indices (in the
    // order given).
    Value sparse(std::initializer_list<std::pair<int, Value>> elements) {
        const Value a(m.vm.makeArray());
        for (const auto& [i, v] : elements) m.vm.setMember(a, QString::number(i), v);
        m.vm.setMember(Value(m.root), QStringLiteral("a"), a);
        return a;
    }
    Value dense(std::initializer_list<Value> elements) {
        const Value a(m.vm.makeArray(std::vector<Value>(elements)));
        m.vm.setMember(Value(m.root), QStringLiteral("a"), a);
        return a;
    }
    Value call(const Value& self, const char* method, std::vector<Value> args = {}) {
        return m.vm.callMethod(self, QString::fromLatin1(method), args);
    }
    void setFlags(const Value& self, const char* names, int set) {
        const std::vector<Value> args{self, Value(names), Value(set), Value(0)};
        m.vm.call(m.vm.getMember(Value(m.vm.global()), QStringLiteral("ASSetPropFlags")), Value(), args);
    }
    std::string str(const Value& v) { return m.vm.toString(v).toStdString(); }

    // What for..in over `v` lists, comma-terminated, run by the action loop.
    std::string keys(const Value& v) {
        m.vm.setMember(Value(m.root), QStringLiteral("k"), v);
        ActionWriter w;
        w.push(Push::str("k")).op(op::kGetVariable).op(op::kEnumerate2).label("loop").storeRegister(0);
        w.push(Push::null()).op(op::kEquals2).ifTrue("done").push(Push::reg(0)).op(op::kTrace).jump("loop");
        w.label("done");
        std::string out;
        for (const QString& line : m.run(w)) out += line.toStdString() + ",";
        return out;
    }
    bool hasOwn(const Value& v, const char* name) {
        return m.vm.toBoolean(call(v, "hasOwnProperty", {Value(name)}));
    }

    Machine m;
};

}  // namespace

TEST(ArrayHoles, AnIndexNeverSetIsAbsentButCountsForLength) {
    Arrays t;
    const Value a = t.sparse({{2, Value(2)}, {5, Value(5)}});
    EXPECT_EQ(t.m.vm.toNumber(t.m.vm.getMember(a, "length")), 6);
    EXPECT_EQ(t.str(a), "undefined,undefined,2,undefined,undefined,5");
    EXPECT_EQ(t.keys(a), "5,2,");
    EXPECT_FALSE(t.hasOwn(a, "0"));
    EXPECT_TRUE(t.hasOwn(a, "2"));
    // Deleting a hole deletes nothing; deleting an element leaves a hole.
    EXPECT_FALSE(t.m.vm.deleteMember(a, "1"));
    EXPECT_TRUE(t.m.vm.deleteMember(a, "2"));
    EXPECT_EQ(t.keys(a), "5,");
    EXPECT_EQ(t.m.vm.toNumber(t.m.vm.getMember(a, "length")), 6);
    // A hole reads through the prototype, an element hides it.
    t.m.vm.setMember(t.m.vm.getMember(t.m.vm.getMember(Value(t.m.vm.global()), "Object"), "prototype"), "0",
                     Value("from the prototype"));
    t.m.vm.setMember(t.m.vm.getMember(t.m.vm.getMember(Value(t.m.vm.global()), "Object"), "prototype"), "5",
                     Value("from the prototype"));
    EXPECT_EQ(t.str(t.m.vm.getMember(a, "0")), "from the prototype");
    EXPECT_EQ(t.str(t.m.vm.getMember(a, "5")), "5");
}

TEST(ArrayHoles, LengthAndTheConstructorMakeHoles) {
    Arrays t;
    const Value sized = t.m.vm.construct(t.m.vm.getMember(Value(t.m.vm.global()), "Array"), std::vector<Value>{Value(4)});
    EXPECT_EQ(t.keys(sized), "");
    EXPECT_EQ(t.str(sized), "undefined,undefined,undefined,undefined");
    const Value a = t.sparse({{2, Value(2)}, {3, Value(3)}});
    t.m.vm.setMember(a, "length", Value(8));
    EXPECT_EQ(t.keys(a), "3,2,");
    t.m.vm.setMember(a, "length", Value(3));
    EXPECT_EQ(t.keys(a), "2,");
    // An element cut off is gone for good: growing again brings a hole back, not the old value.
    t.m.vm.setMember(a, "length", Value(4));
    EXPECT_FALSE(t.hasOwn(a, "3"));
}

TEST(ArrayHoles, ElementsAndNamedPropertiesEnumerateNewestFirst) {
    Arrays t;
    const Value a = t.dense({Value(1), Value(2)});
    t.m.vm.setMember(a, "foo", Value("f"));
    t.m.vm.setMember(a, "2", Value(3));
    EXPECT_EQ(t.keys(a), "2,foo,1,0,");
    // Storing into an element that exists keeps its place; one deleted and stored again is newest.
    t.m.vm.setMember(a, "0", Value(9));
    EXPECT_EQ(t.keys(a), "2,foo,1,0,");
    t.m.vm.deleteMember(a, "0");
    t.m.vm.setMember(a, "0", Value(9));
    EXPECT_EQ(t.keys(a), "0,2,foo,1,");
    // Flags apply to elements as to any property.
    t.setFlags(a, "1", avm1::propflag::kDontEnum);
    EXPECT_EQ(t.keys(a), "0,2,foo,");
    EXPECT_EQ(t.str(a), "9,2,3");
}

TEST(ArrayHoles, ReverseSwapsPairsFromTheOutsideIn) {
    Arrays t;
    // Holes paired with each other become undefined elements; the middle one stays a hole.
    Value a = t.sparse({{6, Value(4)}});
    EXPECT_EQ(t.str(t.call(a, "reverse")), "4,undefined,undefined,undefined,undefined,undefined,undefined");
    EXPECT_EQ(t.keys(a), "4,2,5,1,6,0,");
    a = t.dense({Value(1), Value(2), Value(3)});
    t.call(a, "reverse");
    EXPECT_EQ(t.keys(a), "2,0,1,");
    // An element that may not be deleted keeps its place; a read-only one keeps its value too.
    a = t.dense({Value(1), Value(2), Value(3), Value(4), Value(5)});
    t.setFlags(a, "1", avm1::propflag::kDontDelete);
    t.call(a, "reverse");
    EXPECT_EQ(t.str(a), "5,4,3,2,1");
    EXPECT_EQ(t.keys(a), "3,4,0,2,1,");
    a = t.dense({Value(1), Value(2), Value(3), Value(4), Value(5)});
    t.setFlags(a, "3", avm1::propflag::kDontDelete | avm1::propflag::kReadOnly);
    t.call(a, "reverse");
    EXPECT_EQ(t.str(a), "5,4,3,4,1");
    EXPECT_EQ(t.keys(a), "1,4,0,3,2,");
}

TEST(ArrayHoles, UnshiftMovesEachElementUpFromTheEnd) {
    Arrays t;
    Value a = t.sparse({{4, Value(4)}});
    EXPECT_EQ(t.m.vm.toNumber(t.call(a, "unshift", {Value(42), Value(43), Value(44)})), 8);
    EXPECT_EQ(t.str(a), "42,43,44,undefined,undefined,undefined,undefined,4");
    EXPECT_EQ(t.keys(a), "2,1,0,3,4,5,6,7,");
    a = t.dense({Value(1), Value(2), Value(3)});
    t.setFlags(a, "0", avm1::propflag::kDontDelete | avm1::propflag::kReadOnly);
    t.call(a, "unshift", {Value(42), Value(43), Value(44)});
    EXPECT_EQ(t.str(a), "1,43,44,1,2,3");
    EXPECT_EQ(t.keys(a), "2,1,3,4,5,0,");
}

TEST(ArrayHoles, ShiftSpliceAndSortKeepTheirOwnOrders) {
    Arrays t;
    auto sample = [&] {
        const Value a = t.sparse({{2, Value(2)}, {3, Value(3)}, {5, Value(5)}});
        t.m.vm.setMember(a, "foo", Value("f"));
        return a;
    };
    // shift stores every element anew, holes as undefined.
    Value a = sample();
    EXPECT_TRUE(t.call(a, "shift").isUndefined());
    EXPECT_EQ(t.str(a), "undefined,2,3,undefined,5");
    EXPECT_EQ(t.keys(a), "4,3,2,1,0,foo,");
    // splice moves elements with their holes; what it cuts out comes back without holes.
    a = sample();
    const Value cut = t.call(a, "splice", {Value(1), Value(2)});
    EXPECT_EQ(t.str(a), "undefined,3,undefined,5");
    EXPECT_EQ(t.keys(a), "1,foo,3,");
    EXPECT_EQ(t.keys(cut), "1,0,");
    a = sample();
    t.call(a, "splice", {Value(1), Value(0), Value(7), Value(8)});
    EXPECT_EQ(t.str(a), "undefined,7,8,undefined,2,3,undefined,5");
    EXPECT_EQ(t.keys(a), "1,4,7,foo,5,2,");
    a = sample();
    t.call(a, "splice", {Value(1), Value(1)});
    EXPECT_EQ(t.keys(a), "4,1,foo,2,");
    // sort stores every place in turn: elements that were there keep their places.
    a = sample();
    t.call(a, "sort");
    EXPECT_EQ(t.str(a), "2,3,5,undefined,undefined,undefined");
    EXPECT_EQ(t.keys(a), "4,1,0,foo,5,3,2,");
    // pop takes the last place away; concat and slice build arrays without holes.
    a = sample();
    EXPECT_EQ(t.str(t.call(a, "pop")), "5");
    EXPECT_EQ(t.keys(a), "foo,3,2,");
    EXPECT_EQ(t.keys(t.call(a, "slice", {Value(0)})), "4,3,2,1,0,");
    EXPECT_EQ(t.keys(t.call(a, "concat", {Value(1)})), "5,4,3,2,1,0,");
}
