#include "core/thread_priority.h"

#include <QtGlobal>

#include <cerrno>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace vistrel {

namespace {
// Nice steps below the GUI thread: it then gets about three times the processor time of a helper
// that shares its core, while a helper still runs at once when a core is free.
constexpr int kHelperNiceSteps = 5;
} // namespace

void lowerThisThreadPriority()
{
#if defined(Q_OS_LINUX)
    // On Linux a thread's nice value is its own, named by the thread's id.
    const id_t thread = id_t(syscall(SYS_gettid));
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        setpriority(PRIO_PROCESS, thread, current + kHelperNiceSteps);
#endif
}

}  // namespace vistrel
