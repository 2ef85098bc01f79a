// Timestamps of the start-up sequence for the start-up benchmark: with VISTREL_STARTUP_PROBE holding
// the launch time (ns since the epoch) and VISTREL_STARTUP_TRACE set, each mark prints a line
// "startup <milliseconds since launch> cpu <milliseconds of the thread's processor time> wait <milliseconds
// the thread waited for a core> <what>" so the benchmark can say where the time went.
#pragma once

namespace vistrel {

void startupMark(const char* what);
// Processor time used so far, in milliseconds: by the calling thread, and by all threads of the process.
double threadCpuMs();
double processCpuMs();
// How long the calling thread was ready to run but waited for a core, in milliseconds, where the system
// tells it; otherwise negative.
double threadCoreWaitMs();

}  // namespace vistrel
