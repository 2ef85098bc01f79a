// ActionScript machine benchmark: not a test. Assembles four scripts (a loop of additions, a recursive
// fib, string building, an array sort), runs each on a machine with a display host that does nothing
// and prints the best of several runs as time per operation. scripts/bench_avm1.sh builds and runs it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>

#include "player/avm1/null_display_host.h"
#include "player/avm1/vm.h"
#include "tests/support/action_writer.h"

namespace avm1 = vistrel::avm1;
namespace op = vistrel::testing::op;
using vistrel::testing::ActionWriter;
using vistrel::testing::Push;

namespace {

class LastTraceHost : public avm1::NullDisplayHost {
public:
    void trace(const QString& line) override { last = line; }
    QString last;
};

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }

// for (i = 0; i < n; i++) sum += i   -- as a compiler writes it, with variables by name.
ActionWriter additions(int n) {
    ActionWriter w;
    w.push({s("sum"), i(0)}).op(op::kDefineLocal).push({s("i"), i(0)}).op(op::kDefineLocal);
    w.label("top").push(s("i")).op(op::kGetVariable).push(i(n)).op(op::kLess2).op(op::kNot).ifTrue("done");
    w.push({s("sum"), s("sum")}).op(op::kGetVariable).push(s("i")).op(op::kGetVariable).op(op::kAdd2)
        .op(op::kSetVariable);
    w.push({s("i"), s("i")}).op(op::kGetVariable).op(op::kIncrement).op(op::kSetVariable).jump("top");
    w.label("done").push(s("sum")).op(op::kGetVariable).op(op::kTrace);
    return w;
}

// s = ""; for (i = 0; i < n; i++) s += "x" + i;
ActionWriter strings(int n) {
    ActionWriter w;
    w.push({s("s"), s("")}).op(op::kDefineLocal).push({s("i"), i(0)}).op(op::kDefineLocal);
    w.label("top").push(s("i")).op(op::kGetVariable).push(i(n)).op(op::kLess2).op(op::kNot).ifTrue("done");
    w.push({s("s"), s("s")}).op(op::kGetVariable).push(s("x")).push(s("i")).op(op::kGetVariable).op(op::kAdd2)
        .op(op::kAdd2).op(op::kSetVariable);
    w.push({s("i"), s("i")}).op(op::kGetVariable).op(op::kIncrement).op(op::kSetVariable).jump("top");
    w.label("done").push(s("s")).op(op::kGetVariable).push(s("length")).op(op::kGetMember).op(op::kTrace);
    return w;
}

// a = []; for (i = 0; i < n; i++) a.push((i * 7919) % n); a.sort(Array.NUMERIC);
ActionWriter sort(int n) {
    ActionWriter w;
    w.push({s("a"), i(0)}).op(op::kInitArray).op(op::kDefineLocal).push({s("i"), i(0)}).op(op::kDefineLocal);
    w.label("top").push(s("i")).op(op::kGetVariable).push(i(n)).op(op::kLess2).op(op::kNot).ifTrue("done");
    w.push(s("i")).op(op::kGetVariable).push(i(7919)).op(op::kMultiply).push(i(n)).op(op::kModulo);
    w.push(i(1)).push(s("a")).op(op::kGetVariable).push(s("push")).op(op::kCallMethod).op(op::kPop);
    w.push({s("i"), s("i")}).op(op::kGetVariable).op(op::kIncrement).op(op::kSetVariable).jump("top");
    w.label("done").push(i(16)).push(i(1)).push(s("a")).op(op::kGetVariable).push(s("sort")).op(op::kCallMethod)
        .op(op::kPop);
    w.push(s("a")).op(op::kGetVariable).push(i(0)).op(op::kGetMember).op(op::kTrace);
    return w;
}

// Best of `runs` on a fresh machine each time, in nanoseconds per operation.
double bench(const ActionWriter& w, double operations, QString& result, int runs = 5) {
    auto code = std::make_shared<const std::vector<std::uint8_t>>(w.end());
    double best = 1e300;
    for (int r = 0; r < runs; ++r) {
        LastTraceHost host;
        avm1::Vm vm(10, &host);
        vm.setTimeLimitMs(600000);
        avm1::Object* clip = vm.makeObject();
        const auto start = std::chrono::steady_clock::now();
        vm.runActions(code, clip);
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
        result = host.last;
    }
    return best / operations;
}

}  // namespace

int main() {
    struct Case {
        const char* name;
        ActionWriter code;
        double operations;
        const char* unit;
    };
    // fib(n) makes 2 * fib(n + 1) - 1 calls: fib(22) makes 57313.
    const Case cases[] = {
        {"loop of 1,000,000 additions", additions(1'000'000), 1e6, "iteration"},
        {"recursive fib(22)", vistrel::testing::recursiveFib(22), 57313, "call"},
        {"string building, 100,000 appends", strings(100'000), 1e5, "append"},
        {"array of 100,000 numbers: push and numeric sort", sort(100'000), 1e5, "element"},
    };
    for (const Case& c : cases) {
        QString result;
        const double ns = bench(c.code, c.operations, result);
        std::printf("%-50s %9.1f ns per %s  (result %s)\n", c.name, ns, c.unit, qPrintable(result));
    }
    return 0;
}
