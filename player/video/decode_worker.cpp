#include "player/video/decode_worker.h"

#include <atomic>

namespace vistrel::player::video {

namespace {

std::atomic<int> s_workers{0};
std::atomic<double> s_thresholdMs{3.0};

}  // namespace

bool reserveVideoWorker() {
    if (++s_workers <= kMaxVideoWorkers) return true;
    --s_workers;
    return false;
}

void releaseVideoWorker() { --s_workers; }

double videoThreadThresholdMs() { return s_thresholdMs.load(); }
void setVideoThreadThresholdMs(double ms) { s_thresholdMs = ms; }

DecodeWorker::~DecodeWorker() {
    // The owner stopped it already; a thread still here would outlive what it works on.
    if (m_thread.joinable()) {
        m_thread.join();
        releaseVideoWorker();
    }
}

void DecodeWorker::start(std::function<void()> body) {
    if (m_thread.joinable() || m_stop || !reserveVideoWorker()) return;
    m_thread = std::thread(std::move(body));
}

void DecodeWorker::stop(std::mutex& ownerMutex) {
    {
        std::lock_guard lock(ownerMutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
        releaseVideoWorker();
    }
}

}  // namespace vistrel::player::video
