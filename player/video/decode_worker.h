// The thread a video stream decodes ahead on, once its pictures cost more than a few milliseconds. Its
// owner keeps its own state under its own mutex; the worker only starts, wakes and stops the thread.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vistrel::player::video {

// Worker threads for video decoding are shared out from one budget (kMaxVideoWorkers): true when one more
// may start; each granted one is given back when its thread ends.
bool reserveVideoWorker();
void releaseVideoWorker();
inline constexpr int kMaxVideoWorkers = 4;
// A picture costing more than this many milliseconds moves decoding to a worker thread (3 unless set;
// 0 moves it at once, as tests of the threaded path need).
double videoThreadThresholdMs();
void setVideoThreadThresholdMs(double ms);

class DecodeWorker {
public:
    DecodeWorker() = default;
    ~DecodeWorker();
    DecodeWorker(const DecodeWorker&) = delete;
    DecodeWorker& operator=(const DecodeWorker&) = delete;

    // With the owner's mutex held: runs `body` on a thread of its own, unless one runs already, the
    // worker is stopping or the budget is spent. The body loops until stopping(), waiting on changed().
    void start(std::function<void()> body);
    // With the owner's mutex held.
    bool running() const { return m_thread.joinable(); }
    bool stopping() const { return m_stop; }
    // Wakes the body, and whoever else waits on the owner's state.
    std::condition_variable& changed() { return m_changed; }
    // Without the owner's mutex held: asks the body to end and waits for it. Owners call it first thing
    // in their destructor, while everything the body uses is still there.
    void stop(std::mutex& ownerMutex);

private:
    std::thread m_thread;
    std::condition_variable m_changed;
    bool m_stop = false;
};

}  // namespace vistrel::player::video
