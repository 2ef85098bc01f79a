#include "player/video/decode_ahead.h"

#include <atomic>
#include <algorithm>
#include <chrono>

namespace vistrel::player::video {

namespace {

std::atomic<int> s_workers{0};
std::atomic<double> s_thresholdMs{3.0};

}  // namespace

bool reserveVideoWorker() {
    if (++s_workers <= AheadDecoder::kMaxWorkers) return true;
    --s_workers;
    return false;
}

void releaseVideoWorker() { --s_workers; }

double videoThreadThresholdMs() { return s_thresholdMs.load(); }
void setVideoThreadThresholdMs(double ms) { s_thresholdMs = ms; }

AheadDecoder::AheadDecoder(Codec codec, int deblocking, std::vector<Packet> packets,
                           std::shared_ptr<const void> keepAlive)
    : m_packets(std::move(packets)), m_keepAlive(std::move(keepAlive)),
      m_decoder(std::make_unique<Decoder>(codec, deblocking)), m_available(m_decoder->available()) {}

AheadDecoder::~AheadDecoder() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable()) {
        m_worker.join();
        releaseVideoWorker();
    }
}

int AheadDecoder::keyBefore(int index) const {
    for (int i = index; i > 0; --i)
        if (m_packets[static_cast<std::size_t>(i)].key) return i;
    return 0;
}

void AheadDecoder::request(int index) {
    const int key = keyBefore(index);
    const int next = m_restart ? *m_restart : m_next;
    // Going back, or past a key frame, starts over from the key frame; otherwise decoding goes on.
    if (!m_done.count(index) && (index < next || key > next)) {
        m_restart = key;
        ++m_generation;
        m_done.clear();
    }
    m_want = index;
}

bool AheadDecoder::decodeNext(std::unique_lock<std::mutex>& lock) {
    if (m_restart) {
        m_decoder->reset();
        m_next = *m_restart;
        m_restart.reset();
        // The set-up data in force at the restart point goes to the decoder again.
        for (int i = m_next - 1; i >= 0; --i) {
            const Packet& p = m_packets[static_cast<std::size_t>(i)];
            if (p.configuration) {
                m_decoder->setConfiguration(p.data);
                break;
            }
        }
    }
    const int limit = m_want + (m_lastGood.sizeInBytes() > (8 << 20) ? 1 : kAhead);
    if (m_next >= static_cast<int>(m_packets.size()) || m_next > limit) return false;
    const int index = m_next;
    const std::uint64_t generation = m_generation;
    const Packet& packet = m_packets[static_cast<std::size_t>(index)];
    m_busy = true;
    lock.unlock();
    QImage image;
    const auto start = std::chrono::steady_clock::now();
    if (packet.configuration) m_decoder->setConfiguration(packet.data);
    else image = m_decoder->decode(packet.data);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    lock.lock();
    m_busy = false;
    if (!packet.configuration) ++m_framesDecoded;
    if (generation == m_generation) {
        if (!image.isNull()) m_lastGood = image;
        m_done[index] = m_lastGood;
        m_next = index + 1;
        // Pictures behind the one shown are kept only one deep (time runs forwards), and those a caller
        // still waits for.
        const int keepFrom = std::min(m_want - 1, m_waiting.empty() ? m_want : *m_waiting.begin());
        while (!m_done.empty() && m_done.begin()->first < keepFrom) m_done.erase(m_done.begin());
    }
    if (ms >= videoThreadThresholdMs() && !m_worker.joinable() && !m_stop) {
        if (reserveVideoWorker()) m_worker = std::thread([this] { run(); });
    }
    m_changed.notify_all();
    return true;
}

void AheadDecoder::run() {
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        if (!decodeNext(lock)) m_changed.wait(lock);
    }
}

void AheadDecoder::prepare(int index) {
    if (index < 0 || m_packets.empty()) return;
    std::lock_guard lock(m_mutex);
    request(std::min(index, static_cast<int>(m_packets.size()) - 1));
    m_changed.notify_all();
}

QImage AheadDecoder::picture(int index) {
    if (index < 0 || m_packets.empty()) return QImage();
    index = std::min(index, static_cast<int>(m_packets.size()) - 1);
    std::unique_lock lock(m_mutex);
    request(index);
    m_changed.notify_all();
    const auto waiting = m_waiting.insert(index);
    while (!m_done.count(index)) {
        // Another caller may have sent decoding past this packet, restarted it beyond, or asked for less
        // than this: ask again.
        if ((m_restart ? *m_restart : m_next) > index || m_want < index) {
            request(index);
            m_changed.notify_all();
        }
        if (m_worker.joinable()) {
            m_changed.wait(lock);
        } else if (m_busy) {
            m_changed.wait(lock);
        } else if (!decodeNext(lock)) {
            break;   // nothing left to decode: cannot happen while `index` is in range, but never spin
        }
    }
    m_waiting.erase(waiting);
    auto it = m_done.find(index);
    return it == m_done.end() ? m_lastGood : it->second;
}

std::uint64_t AheadDecoder::framesDecoded() const {
    std::lock_guard lock(m_mutex);
    return m_framesDecoded;
}

bool AheadDecoder::threaded() const {
    std::lock_guard lock(m_mutex);
    return m_worker.joinable();
}

}  // namespace vistrel::player::video
