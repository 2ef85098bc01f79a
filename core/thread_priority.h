// Scheduling of the helper threads that prepare the first frame.
#pragma once

namespace vistrel {

// Lowers the calling thread's scheduling priority for the rest of its life, so that on a machine with
// few cores the GUI thread gets a core first whenever both want one, and the helper works in the GUI
// thread's pauses. Only for a thread of its own that ends with its task: an unprivileged process cannot
// raise a priority again, so a pooled thread would stay low. Per thread on Linux; elsewhere, and where
// the system refuses, nothing changes.
void lowerThisThreadPriority();

}  // namespace vistrel
