// The core built-in classes of the ActionScript machine, for the parts of the player that need them by name.
#pragma once

#include <QString>

#include "player/avm1/vm.h"

namespace vistrel::avm1 {

// The constructor Object.registerClass tied to a library symbol of a movie of `movieVersion`, or null.
// attachMovie and placed clips use it to give a new clip its class.
Object* registeredClass(Vm& vm, const QString& symbol, int movieVersion);

}  // namespace vistrel::avm1
