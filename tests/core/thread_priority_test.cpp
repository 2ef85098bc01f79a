// Helper threads step back for the GUI thread: only the thread that asks is lowered.

#include <gtest/gtest.h>

#include <cerrno>
#include <thread>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "core/thread_priority.h"

namespace vistrel::test {
namespace {

int niceOfThisThread()
{
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
    EXPECT_EQ(errno, 0);
    return nice;
}

TEST(ThreadPriority, LowersTheCallingThreadAndNoOther)
{
    const int callerBefore = niceOfThisThread();
    int helperBefore = 0;
    int helperAfter = 0;
    int helperAgain = 0;
    std::thread helper([&] {
        helperBefore = niceOfThisThread();
        lowerThisThreadPriority();
        helperAfter = niceOfThisThread();
        // Asking twice lowers it further, never back up.
        lowerThisThreadPriority();
        helperAgain = niceOfThisThread();
    });
    helper.join();
    EXPECT_GT(helperAfter, helperBefore);
    EXPECT_GE(helperAgain, helperAfter);
    EXPECT_EQ(niceOfThisThread(), callerBefore);
    // A thread started afterwards begins at the caller's priority, not the helper's.
    int laterNice = 0;
    std::thread later([&] { laterNice = niceOfThisThread(); });
    later.join();
    EXPECT_EQ(laterNice, callerBefore);
}

} // namespace
} // namespace vistrel::test
