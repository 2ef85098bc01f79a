// Timestamps of the start-up sequence for the start-up benchmark: with VISTREL_STARTUP_PROBE holding
// the launch time (ns since the epoch) and VISTREL_STARTUP_TRACE set, each mark prints a line
// "startup <milliseconds since launch> cpu <milliseconds of the thread's processor time> <what>" so the
// benchmark can say where the time went.
#pragma once

namespace vistrel {

void startupMark(const char* what);
// Processor time used so far, in milliseconds: by the calling thread, and by all threads of the process.
double threadCpuMs();
double processCpuMs();

}  // namespace vistrel
