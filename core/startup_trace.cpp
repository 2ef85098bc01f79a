#include "core/startup_trace.h"

#include <QDateTime>
#include <QtGlobal>

#include <algorithm>
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

double threadCoreWaitMs()
{
    double waitedMs = -1;
    if (FILE* schedule = std::fopen("/proc/thread-self/schedstat", "r")) {
        unsigned long long runningNs = 0;
        unsigned long long waitingNs = 0;
        if (std::fscanf(schedule, "%llu %llu", &runningNs, &waitingNs) == 2)
            waitedMs = double(waitingNs) / 1e6;
        std::fclose(schedule);
    }
    return waitedMs;
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
    // measures the other programs, the processor time only what this start-up did. Beside them how long
    // the thread was ready to run but waited for a core: what is left of the clock is time it slept (on
    // a lock, a helper thread, a process, the display server).
    std::printf("startup %7.1f cpu %6.1f wait %6.1f %s\n", double(nowNs - launchedNs) / 1e6, threadCpuMs(),
                std::max(threadCoreWaitMs(), 0.0), what);
    std::fflush(stdout);
}

}  // namespace vistrel
