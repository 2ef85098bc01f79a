// Writes the seeds of fuzz_avm1: one version byte, then an action list built with the test assembler,
// each reaching a different part of the machine (arithmetic, functions and closures, objects and
// prototypes, try/throw, with, enumeration, string actions, registers of DefineFunction2).
// Usage: fuzz_make_avm1_seeds OUT_FOLDER (normally fuzz/seeds/avm1)

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/action_writer.h"

namespace t = vistrel::testing;
namespace op = vistrel::testing::op;
using t::ActionWriter;
using t::Push;

namespace {

void save(const std::filesystem::path& folder, const std::string& name, int version, const ActionWriter& w) {
    std::filesystem::create_directories(folder);
    std::ofstream out(folder / name, std::ios::binary);
    const t::Bytes code = w.end();
    const char v = static_cast<char>(version - 4);
    out.write(&v, 1);
    out.write(reinterpret_cast<const char*>(code.data()), static_cast<std::streamsize>(code.size()));
}

Push s(const char* text) { return Push::str(text); }
Push i(std::int32_t v) { return Push::integer(v); }

ActionWriter arithmetic() {
    ActionWriter w;
    w.push({s("x"), i(0)}).op(op::kSetVariable).label("top");
    w.push({s("x"), s("x")}).op(op::kGetVariable).push(i(3)).op(op::kAdd2).op(op::kSetVariable);
    w.push(s("x")).op(op::kGetVariable).push(i(30)).op(op::kLess2).ifTrue("top");
    w.push(s("x")).op(op::kGetVariable).push(s("7")).op(op::kModulo).op(op::kTrace);
    w.push({i(5), i(3)}).op(op::kBitURShift).push(i(2)).op(op::kDivide).op(op::kTrace);
    return w;
}

ActionWriter functions() {
    ActionWriter w = t::recursiveFib(10);
    ActionWriter f2;
    f2.push(Push::reg(1)).push(Push::reg(2)).op(op::kAdd2).op(op::kReturn);
    w.defineFunction2("add", 3, 0x2a, {{1, "a"}, {2, "b"}}, f2);
    w.push({i(2), i(1), i(2), s("add")}).op(op::kCallFunction).op(op::kTrace);
    return w;
}

ActionWriter objects() {
    ActionWriter ctor;
    ctor.push(Push::reg(0)).op(op::kPop);
    ActionWriter w;
    w.defineFunction("C", {}, ctor);
    w.push(s("C")).op(op::kGetVariable).push(s("prototype")).op(op::kGetMember).push({s("k"), i(4)})
        .op(op::kSetMember);
    w.push({s("o"), i(0), s("C")}).op(op::kNewObject).op(op::kSetVariable);
    w.push(s("o")).op(op::kGetVariable).push(s("k")).op(op::kGetMember).op(op::kTrace);
    w.push({s("a"), s("b"), i(7), i(2)}).op(op::kInitObject).push(s("o")).op(op::kGetVariable)
        .op(op::kInstanceOf).op(op::kTrace);
    w.push({i(3), i(2), i(1), i(3)}).op(op::kInitArray).op(op::kEnumerate2);
    w.label("loop").op(op::kPushDuplicate).push(Push::null()).op(op::kEquals2).ifTrue("done");
    w.op(op::kTrace).jump("loop").label("done").op(op::kPop);
    return w;
}

ActionWriter exceptions() {
    ActionWriter tryBody, catchBody, finallyBody;
    tryBody.push(s("boom")).op(op::kThrow);
    catchBody.push(s("e")).op(op::kGetVariable).op(op::kTrace);
    finallyBody.push(s("finally")).op(op::kTrace);
    ActionWriter w;
    w.tryBlock(tryBody, catchBody, finallyBody, t::CatchTarget::variable("e"));
    ActionWriter withBody;
    withBody.push(s("k")).op(op::kGetVariable).op(op::kTrace);
    w.push({s("k"), i(1), i(1)}).op(op::kInitObject).with(withBody);
    return w;
}

ActionWriter strings() {
    ActionWriter w;
    w.constantPool({"hello", "world"});
    w.push({Push::constant8(0), Push::constant8(1)}).op(op::kStringAdd).push({i(2), i(3)}).op(op::kStringExtract)
        .op(op::kTrace);
    w.push(s("abc")).op(op::kMbStringLength).op(op::kTrace);
    w.push(i(65)).op(op::kMbAsciiToChar).op(op::kCharToAscii).op(op::kTrace);
    return w;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_make_avm1_seeds OUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    save(out, "arithmetic_v4.bin", 4, arithmetic());
    save(out, "arithmetic_v8.bin", 8, arithmetic());
    save(out, "functions_v6.bin", 6, functions());
    save(out, "functions_v10.bin", 10, functions());
    save(out, "objects_v7.bin", 7, objects());
    save(out, "exceptions_v7.bin", 7, exceptions());
    save(out, "strings_v5.bin", 5, strings());
    save(out, "strings_v9.bin", 9, strings());
    return 0;
}
