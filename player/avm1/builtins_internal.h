// Shared by the files that install the built-in classes: argument access, flags and the installers.
#pragma once

#include <cmath>
#include <span>

#include "player/avm1/vm.h"

namespace vistrel::avm1::builtins {

// Built-ins are hidden from for..in and survive delete.
inline constexpr std::uint16_t kHidden = propflag::kDontEnum | propflag::kDontDelete;
inline constexpr std::uint16_t kConstant = kHidden | propflag::kReadOnly;

inline const Value& arg(std::span<const Value> args, std::size_t i) {
    static const Value undefinedValue;
    return i < args.size() ? args[i] : undefinedValue;
}

// A method on `target`, hidden and undeletable; `extraFlags` adds version bits.
inline Object* method(Vm& vm, Object* target, const QString& name, NativeFunction f, std::uint16_t extraFlags = 0) {
    return vm.defineMethod(target, name, std::move(f), kHidden | extraFlags);
}

// A built-in class: `call` runs for Name(...), `construct` for new Name(...) (it makes the object itself).
// Ties prototype and constructor together and puts the constructor on the global object.
Object* defineClass(Vm& vm, const QString& name, Object* prototype, NativeFunction call, NativeFunction construct,
                    std::uint16_t globalFlags = 0);

// ECMA ToInteger on a number (NaN gives 0, infinities stay).
inline double toInteger(double n) {
    if (std::isnan(n)) return 0;
    return std::trunc(n);
}

// Elements of an array, or of an object read as one through length and indices (bounded).
std::vector<Value> arrayLikeElements(Vm& vm, const Value& v);

// escape() and unescape() as the global functions do them (LoadVars and XML share them).
QString escapeString(const QString& s);
QString unescapeString(const QString& s, bool utf8);

void installObject(Vm& vm);
void installFunction(Vm& vm);
void installArray(Vm& vm);
void installString(Vm& vm);
void installNumberAndBoolean(Vm& vm);
void installMath(Vm& vm);
void installDate(Vm& vm);
void installError(Vm& vm);
void installGlobals(Vm& vm);
void installNativeFunctions(Vm& vm);   // ASnative, ASSetNative, ASSetNativeAccessor
// Fills the machine's table of numbered built-ins from what the installers above defined.
void registerNativeTables(Vm& vm);

}  // namespace vistrel::avm1::builtins
