#include "core/startup_trace.h"

#include <QDateTime>
#include <QtGlobal>

#include <cstdio>
#include <ctime>

namespace vistrel {

namespace {

double cpuMs(clockid_t clock)
{
    timespec cpu{};
    clock_gettime(clock, &cpu);
    return double(cpu.tv_sec) * 1e3 + double(cpu.tv_nsec) / 1e6;
}

} // namespace

double threadCpuMs()
{
    return cpuMs(CLOCK_THREAD_CPUTIME_ID);
}

double processCpuMs()
{
    return cpuMs(CLOCK_PROCESS_CPUTIME_ID);
}

void startupMark(const char* what)
{
    static const qint64 launchedNs = qEnvironmentVariableIsSet("VISTREL_STARTUP_TRACE")
                                         ? qgetenv("VISTREL_STARTUP_PROBE").toLongLong()
                                         : 0;
    if (launchedNs <= 0)
        return;
    const qint64 nowNs = QDateTime::currentMSecsSinceEpoch() * 1000000;
    // The calling thread's processor time beside the clock: on a busy machine the clock mostly
    // measures the other programs, the processor time only what this start-up did.
    std::printf("startup %7.1f cpu %6.1f %s\n", double(nowNs - launchedNs) / 1e6, threadCpuMs(), what);
    std::fflush(stdout);
}

}  // namespace vistrel
