// The action loop: decodes and runs AVM1 bytecode. The Vm calls it for action lists and for functions
// written in ActionScript; nothing else needs it directly.
#pragma once

#include <span>

#include "player/avm1/vm.h"

namespace vistrel::avm1 {

// Runs a top-level action list: scope chain [global, clip], `this` and target = clip, constant pool empty.
// Throws ScriptException for an uncaught `throw` and ScriptAbort when a limit is reached.
void interpretActionList(Vm& vm, const ActionCode& code, Object* clip);

// Runs the body of a script function: `callee` is the function object (its ScriptFunction is
// callee->script()), `thisValue` what `this` is inside. `superObject` is for DefineFunction2's super.
Value interpretFunction(Vm& vm, Object* callee, const Value& thisValue, std::span<const Value> args);

// Forgets what the last action list left on the stack; the player calls it once a frame's scripts ran.
void clearSharedStack(Vm& vm);

// Whether the innermost script function running was called by `new` (natives look through to it).
bool runningConstructor();

// The clip the innermost running script acts on (its target), null when no script runs or its
// SetTarget named nothing. Paths natives keep as text resolve from here.
Object* runningTarget();

}  // namespace vistrel::avm1
