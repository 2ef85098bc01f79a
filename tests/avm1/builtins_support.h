// A machine without a display for the built-in tests, and short ways to call into it from C++.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "player/avm1/vm.h"

namespace vistrel::avm1::testing {

class Machine {
public:
    explicit Machine(int version) : vm(version, nullptr) {}

    Value global(const char* name) { return vm.getMember(Value(vm.global()), QString::fromUtf8(name)); }
    // Reads a dotted path from the global object: "Array.prototype.sortOn".
    Value path(const char* dotted) {
        Value v(vm.global());
        for (const QString& part : QString::fromUtf8(dotted).split(QLatin1Char('.'))) v = vm.getMember(v, part);
        return v;
    }
    Value call(const Value& object, const char* method, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm.callMethod(object, QString::fromUtf8(method), list);
    }
    Value callGlobal(const char* function, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm.call(global(function), Value(), list);
    }
    Value construct(const char* ctor, std::initializer_list<Value> args = {}) {
        const std::vector<Value> list(args);
        return vm.construct(global(ctor), list);
    }
    Value array(std::initializer_list<Value> elements) { return Value(vm.makeArray(std::vector<Value>(elements))); }
    std::string str(const Value& v) { return vm.toString(v).toStdString(); }
    double num(const Value& v) { return vm.toNumber(v); }
    std::string join(const Value& array, const char* sep = "|") { return str(call(array, "join", {Value(sep)})); }

    Vm vm;
};

}  // namespace vistrel::avm1::testing
