#include "player/video/decode_ahead.h"

#include <algorithm>
#include <chrono>

namespace vistrel::player::video {

namespace {

// A picture not handed out by the time decoding is this many packets past it never will be: the decoder
// dropped it (damage), and the one before it in display order is shown instead.
constexpr int kMaxHeldBack = 32;

}  // namespace

AheadDecoder::AheadDecoder(Codec codec, int deblocking, std::vector<Packet> packets,
                           std::shared_ptr<const void> keepAlive)
    : m_packets(std::move(packets)), m_keepAlive(std::move(keepAlive)),
      m_decoder(std::make_unique<Decoder>(codec, deblocking)), m_available(m_decoder->available()) {
    m_rank.assign(m_packets.size(), -1);
    bool stamped = true;
    for (std::size_t i = 0; i < m_packets.size(); ++i) {
        if (m_packets[i].configuration) continue;
        m_byRank.push_back(static_cast<int>(i));
        stamped = stamped && m_packets[i].stamp != kNoStamp;
    }
    m_reorders = stamped && !m_byRank.empty();
    if (m_reorders)
        std::stable_sort(m_byRank.begin(), m_byRank.end(), [this](int a, int b) {
            return m_packets[static_cast<std::size_t>(a)].stamp < m_packets[static_cast<std::size_t>(b)].stamp;
        });
    for (std::size_t r = 0; r < m_byRank.size(); ++r) m_rank[static_cast<std::size_t>(m_byRank[r])] = static_cast<int>(r);
}

AheadDecoder::~AheadDecoder() { m_worker.stop(m_mutex); }

int AheadDecoder::keyBefore(int index) const {
    for (int i = index; i > 0; --i)
        if (m_packets[static_cast<std::size_t>(i)].key) return i;
    return 0;
}

int AheadDecoder::rankOf(int index) const {
    for (int i = index; i >= 0; --i)
        if (m_rank[static_cast<std::size_t>(i)] >= 0) return m_rank[static_cast<std::size_t>(i)];
    return -1;
}

int AheadDecoder::keepFrom() const {
    // Pictures behind the one shown are kept only one deep (time runs forwards), and those a caller still
    // waits for.
    return std::min(m_want - 1, m_waiting.empty() ? m_want : *m_waiting.begin());
}

int AheadDecoder::target() const {
    const int wanted = std::max(m_want + (m_lastGood.sizeInBytes() > (8 << 20) ? 1 : kAhead),
                                m_waiting.empty() ? -1 : *m_waiting.rbegin());
    return std::min(wanted, static_cast<int>(m_byRank.size()) - 1);
}

void AheadDecoder::restartFor(int rank) {
    const int key = keyBefore(m_byRank[static_cast<std::size_t>(rank)]);
    m_next = key;
    m_reset = true;
    m_drained = false;
    ++m_generation;
    m_done.clear();
    // Decoding from the key frame hands out its picture first, or the one asked for when that comes before.
    int first = rank;
    for (std::size_t i = static_cast<std::size_t>(key); i < m_packets.size(); ++i)
        if (m_rank[i] >= 0) {
            first = std::min(first, m_rank[i]);
            break;
        }
    m_lastRank = first - 1;
}

void AheadDecoder::request(int rank) {
    m_want = rank;
    if (m_done.count(rank)) return;
    // Going back past what was decoded, or past a key frame, starts over from the key frame; otherwise
    // decoding goes on.
    if (rank <= m_lastRank || keyBefore(m_byRank[static_cast<std::size_t>(rank)]) > m_next) restartFor(rank);
}

void AheadDecoder::fillTo(int rank) {
    const int last = std::min(rank - 1, target());
    for (int r = std::max(m_lastRank + 1, keepFrom()); r <= last; ++r) m_done[r] = m_lastGood;
}

void AheadDecoder::accept(int rank, QImage image) {
    if (rank < 0 || rank >= static_cast<int>(m_byRank.size())) return;
    if (rank > m_lastRank) {
        // Pictures before this one in display order that never came out did not decode: the last good
        // picture stands in for them.
        fillTo(rank);
        if (!image.isNull()) m_lastGood = std::move(image);
        if (rank >= keepFrom()) m_done[rank] = m_lastGood;
        m_lastRank = rank;
    } else if (!image.isNull() && rank >= keepFrom()) {
        m_done[rank] = std::move(image);   // handed out after a later one: still shown if not yet passed
    }
}

bool AheadDecoder::decodeNext(std::unique_lock<std::mutex>& lock) {
    if (m_reset) {
        m_decoder->reset();
        m_reset = false;
        // The set-up data in force at the restart point goes to the decoder again.
        for (int i = m_next - 1; i >= 0; --i) {
            const Packet& p = m_packets[static_cast<std::size_t>(i)];
            if (p.configuration) {
                m_decoder->setConfiguration(p.data);
                break;
            }
        }
    }
    if (m_byRank.empty() || m_lastRank >= target()) return false;
    const std::uint64_t generation = m_generation;
    const int count = static_cast<int>(m_byRank.size());
    if (m_next >= static_cast<int>(m_packets.size())) {
        if (m_drained) return false;
        // Every packet is in: the pictures the decoder held back come out now.
        m_busy = true;
        lock.unlock();
        std::vector<Decoder::Stamped> held;
        if (m_reorders) held = m_decoder->drain();
        lock.lock();
        m_busy = false;
        if (generation == m_generation) {
            for (auto& picture : held)
                if (picture.stamp >= 0 && picture.stamp < static_cast<std::int64_t>(m_packets.size()))
                    accept(m_rank[static_cast<std::size_t>(picture.stamp)], std::move(picture.image));
            fillTo(count);
            m_lastRank = count - 1;
            m_drained = true;
        }
        m_worker.changed().notify_all();
        return true;
    }
    const int index = m_next;
    const Packet& packet = m_packets[static_cast<std::size_t>(index)];
    m_busy = true;
    lock.unlock();
    QImage image;
    std::vector<Decoder::Stamped> pictures;
    const auto start = std::chrono::steady_clock::now();
    if (packet.configuration) m_decoder->setConfiguration(packet.data);
    else if (m_reorders) pictures = m_decoder->decodeStamped(packet.data, index);
    else image = m_decoder->decode(packet.data);
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    lock.lock();
    m_busy = false;
    if (!packet.configuration) ++m_framesDecoded;
    if (generation == m_generation) {
        m_next = index + 1;
        if (packet.configuration) {
            // no picture
        } else if (!m_reorders) {
            accept(m_rank[static_cast<std::size_t>(index)], std::move(image));
        } else {
            for (auto& picture : pictures)
                if (picture.stamp >= 0 && picture.stamp < static_cast<std::int64_t>(m_packets.size()))
                    accept(m_rank[static_cast<std::size_t>(picture.stamp)], std::move(picture.image));
            if (m_want > m_lastRank && m_next > m_byRank[static_cast<std::size_t>(m_want)] + kMaxHeldBack) {
                fillTo(m_want + 1);
                m_lastRank = m_want;
            }
        }
        const int keep = keepFrom();
        while (!m_done.empty() && m_done.begin()->first < keep) m_done.erase(m_done.begin());
    }
    if (ms >= videoThreadThresholdMs()) m_worker.start([this] { run(); });
    m_worker.changed().notify_all();
    return true;
}

void AheadDecoder::run() {
    std::unique_lock lock(m_mutex);
    while (!m_worker.stopping()) {
        if (!decodeNext(lock)) m_worker.changed().wait(lock);
    }
}

void AheadDecoder::prepare(int index) {
    if (index < 0 || m_packets.empty() || !m_available) return;
    const int rank = rankOf(std::min(index, static_cast<int>(m_packets.size()) - 1));
    if (rank < 0) return;
    std::lock_guard lock(m_mutex);
    request(rank);
    m_worker.changed().notify_all();
}

QImage AheadDecoder::picture(int index) {
    if (index < 0 || m_packets.empty() || !m_available) return QImage();
    const int rank = rankOf(std::min(index, static_cast<int>(m_packets.size()) - 1));
    if (rank < 0) return QImage();
    std::unique_lock lock(m_mutex);
    request(rank);
    m_worker.changed().notify_all();
    const auto waiting = m_waiting.insert(rank);
    while (!m_done.count(rank)) {
        // Another caller may have sent decoding past this picture, restarted it beyond, or asked for less
        // than this: ask again.
        if (rank <= m_lastRank || m_want < rank) {
            request(rank);
            m_worker.changed().notify_all();
        }
        if (m_worker.running() || m_busy) {
            m_worker.changed().wait(lock);
        } else if (!decodeNext(lock)) {
            break;   // nothing left to decode: cannot happen while `rank` is in range, but never spin
        }
    }
    m_waiting.erase(waiting);
    auto it = m_done.find(rank);
    return it == m_done.end() ? m_lastGood : it->second;
}

std::uint64_t AheadDecoder::framesDecoded() const {
    std::lock_guard lock(m_mutex);
    return m_framesDecoded;
}

bool AheadDecoder::threaded() const {
    std::lock_guard lock(m_mutex);
    return m_worker.running();
}

}  // namespace vistrel::player::video
