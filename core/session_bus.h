// Whether the desktop session offers a message bus to this process.
#pragma once

#include <QString>

namespace vistrel {

// True when the environment names a session bus: a bus address of its own, or the bus socket the user's
// session keeps in its runtime folder. Without either, the bus library's last resort is to launch a
// helper process that looks for or starts a bus, which costs a fork of the whole program.
bool sessionBusNamed(const QString& busAddress, const QString& runtimeFolder);
// The same for this process's environment.
bool sessionBusNamed();

}  // namespace vistrel
