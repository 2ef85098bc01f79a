// Arrays with holes: an index never set is absent while length covers it, elements enumerate with the
// named properties newest first, and the methods that move elements keep holes, flags and that order
// the way scripts see them.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "tests/avm1/interpreter_host.h"
#include "tests/support/allocation_probe.h"

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
    double length(const Value& v) { return m.vm.toNumber(m.vm.getMember(v, "length")); }
    bool isSparse(const Value& v) { return dynamic_cast<avm1::ArrayObject*>(v.object())->isSparse(); }

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

TEST(ArrayHoles, AWriteFarPastTheEndStoresOneElementNotMillionsOfHoles) {
    Arrays t;
    const Value a = t.sparse({});
    std::size_t largest = 0;
    {
        vistrel::testing::LargestAllocation probe;
        t.m.vm.setMember(a, "16000000", Value(1));
        t.m.vm.setMember(a, "foo", Value("f"));
        t.m.vm.setMember(a, "9000000", Value(2));
        largest = probe.bytes();
    }
    EXPECT_LT(largest, std::size_t(1) << 16);
    EXPECT_EQ(t.length(a), 16000001);
    EXPECT_EQ(t.keys(a), "9000000,foo,16000000,");
    EXPECT_EQ(t.m.vm.toNumber(t.m.vm.getMember(a, "16000000")), 1);
    EXPECT_TRUE(t.m.vm.getMember(a, "15999999").isUndefined());
    EXPECT_FALSE(t.hasOwn(a, "0"));
    // pop, push and a shorter length work on the stored elements alone.
    EXPECT_EQ(t.m.vm.toNumber(t.call(a, "pop")), 1);
    EXPECT_EQ(t.length(a), 16000000);
    EXPECT_EQ(t.m.vm.toNumber(t.call(a, "push", {Value(3)})), 16000001);
    EXPECT_EQ(t.keys(a), "16000000,9000000,foo,");
    t.m.vm.setMember(a, "length", Value(9000000));
    EXPECT_EQ(t.keys(a), "foo,");
    EXPECT_EQ(t.length(a), 9000000);
    // The same through a constructor with a huge length, which asks for nothing either.
    {
        vistrel::testing::LargestAllocation probe;
        const Value sized =
            t.m.vm.construct(t.m.vm.getMember(Value(t.m.vm.global()), "Array"), std::vector<Value>{Value(16000000)});
        EXPECT_EQ(t.length(sized), 16000000);
        EXPECT_EQ(t.keys(sized), "");
        // Nor a length reached by doubling, one step at a time.
        const Value grown = t.sparse({});
        for (double n = 1000; n < 4e9; n *= 2) t.m.vm.setMember(grown, "length", Value(n));
        EXPECT_EQ(t.length(grown), 2097152000);
        EXPECT_LT(probe.bytes(), std::size_t(1) << 16);
    }
}

TEST(ArrayHoles, LengthsUpTo32BitsAreKeptAndGoingThroughEveryPlaceStopsTheScript) {
    Arrays t;
    auto script = [&](std::initializer_list<const char*> lines) {
        ActionWriter w;
        for (const char* line : lines) {
            const std::string s(line);
            // "x.length=N": a new array in x given length N; "x[N]": 1 stored at N; "x.m": method m called
            // with the argument 1, its result traced; "x": its length traced; anything else is traced.
            if (const auto eq = s.find(".length="); eq != std::string::npos) {
                const std::string name = s.substr(0, eq);
                w.push({Push::str(name.c_str()), Push::integer(0)}).op(op::kInitArray).op(op::kSetVariable);
                w.push(Push::str(name.c_str())).op(op::kGetVariable);
                w.push({Push::str("length"), Push::dbl(std::stod(s.substr(eq + 8)))}).op(op::kSetMember);
            } else if (const auto open = s.find('['); open != std::string::npos) {
                const std::string name = s.substr(0, open);
                const std::string index = s.substr(open + 1, s.find(']') - open - 1);
                w.push(Push::str(name.c_str())).op(op::kGetVariable);
                w.push({Push::str(index.c_str()), Push::integer(1)}).op(op::kSetMember);
            } else if (const auto dot = s.find('.'); dot != std::string::npos) {
                w.push({Push::integer(1), Push::integer(1), Push::str(s.substr(0, dot).c_str())}).op(op::kGetVariable);
                w.push(Push::str(s.substr(dot + 1).c_str())).op(op::kCallMethod).op(op::kTrace);
            } else if (s.size() == 1) {
                w.push(Push::str(s.c_str())).op(op::kGetVariable).push(Push::str("length")).op(op::kGetMember).op(op::kTrace);
            } else {
                w.push(Push::str(s.c_str())).op(op::kTrace);
            }
        }
        return t.m.run(w);
    };
    EXPECT_EQ(script({"a.length=4294967295", "a", "b.length=0", "b[16777217]", "b", "c.length=20000000", "c.push", "c",
                      "e.length=4294967295", "e.pop", "e", "done"}),
              (QStringList{"4294967295", "16777218", "20000001", "20000001", "undefined", "4294967294", "done"}));
    // A method that would go through every place of a huge array stops the script rather than the window.
    for (const char* method : {"a.reverse", "a.join", "a.sort", "a.shift", "a.slice", "a.toString"})
        EXPECT_FALSE(script({method, "not reached"}).contains(QStringLiteral("not reached"))) << method;
    EXPECT_EQ(script({"a", "b.pop", "b"}), (QStringList{"4294967295", "1", "16777217"}));
}

// An array built by a far write (elements kept by index) and one filled and emptied again (a slot per
// index) with the same elements made in the same order: every method sees the same array in both.
TEST(ArrayHoles, AnArrayMostlyOfHolesBehavesAsOneWithASlotPerIndex) {
    struct Case {
        const char* method;
        std::vector<Value> args;
    };
    const std::vector<Case> cases{
        {"reverse", {}},
        {"shift", {}},
        {"unshift", {Value(7), Value(8)}},
        {"splice", {Value(1999), Value(2)}},
        {"splice", {Value(10), Value(0), Value("x")}},
        {"sort", {}},
        {"sort", {Value(16 | 2)}},
        {"pop", {}},
        {"push", {Value("p")}},
        {"slice", {Value(1990), Value(2500)}},
        {"concat", {Value(1)}},
        {"join", {Value("")}},
        {"toString", {}},
    };
    for (const Case& c : cases) {
        Arrays t;
        const Value far = t.sparse({});
        t.m.vm.setMember(far, "2999", Value(5));
        t.m.vm.setMember(far, "2000", Value("b"));
        t.m.vm.setMember(far, "named", Value("n"));
        t.m.vm.setMember(far, "3", Value(-1));
        ASSERT_TRUE(t.isSparse(far));
        const Value stepped = t.sparse({});
        for (int i = 0; i < 3000; ++i) t.m.vm.setMember(stepped, QString::number(i), Value(i));
        for (int i = 0; i < 3000; ++i) t.m.vm.deleteMember(stepped, QString::number(i));
        ASSERT_FALSE(t.isSparse(stepped));
        t.m.vm.setMember(stepped, "2999", Value(5));
        t.m.vm.setMember(stepped, "2000", Value("b"));
        t.m.vm.setMember(stepped, "named", Value("n"));
        t.m.vm.setMember(stepped, "3", Value(-1));

        const Value fromFar = t.call(far, c.method, c.args);
        const Value fromStepped = t.call(stepped, c.method, c.args);
        EXPECT_EQ(t.str(fromFar), t.str(fromStepped)) << c.method;
        EXPECT_EQ(t.str(far), t.str(stepped)) << c.method;
        EXPECT_EQ(t.keys(far), t.keys(stepped)) << c.method;
        EXPECT_EQ(t.length(far), t.length(stepped)) << c.method;
        if (fromFar.isObject()) {
            EXPECT_EQ(t.keys(fromFar), t.keys(fromStepped)) << c.method;
        }
    }
    // Filled in again, the far-written array holds every element it was given.
    Arrays t;
    const Value a = t.sparse({{4999, Value(1)}});
    for (int i = 0; i < 4999; ++i) t.m.vm.setMember(a, QString::number(i), Value(i));
    EXPECT_FALSE(t.isSparse(a));
    EXPECT_EQ(t.m.vm.toNumber(t.m.vm.getMember(a, "2500")), 2500);
    const std::string keys = t.keys(a);
    EXPECT_EQ(keys.substr(0, 15), "4998,4997,4996,");
    EXPECT_EQ(keys.substr(keys.size() - 9), "1,0,4999,");
}
