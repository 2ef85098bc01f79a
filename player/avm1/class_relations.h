// How scripts relate objects to classes: the instanceof and cast actions, and the implements action.
#pragma once

#include <span>

#include "player/avm1/object.h"
#include "player/avm1/value.h"

namespace vistrel::avm1 {

class Vm;

// What instanceof and implements read as a class's prototype: its own stored value only. A getter is not
// run (the value beneath it counts), inherited values do not count, version flags do not hide it, and a
// removed clip has none.
Value classPrototype(Object* cls);
// Whether `target` is on the prototype chain of `o`, or is an interface a prototype there implements.
// A clip is never met as a prototype, and a removed clip has no chain.
bool inheritsFrom(Object* o, Object* target);
// The instanceof and cast actions: a string class, or a string as the class's prototype, is first made an
// object through whatever the global String constructor is now; a primitive on the left is never an
// instance (the cast makes it an object first all the same).
bool instanceOfAction(Vm& vm, const Value& v, const Value& cls, bool cast);
// The implements action: the prototypes the interfaces have now become what instances of `constructor`
// also count as. Only the first declaration naming something on a prototype counts, even when nothing it
// names has a prototype.
void implementInterfaces(Vm& vm, const Value& constructor, std::span<const Value> interfaces);

}  // namespace vistrel::avm1
