// Decodes a fixed run of packets in order, a few ahead of the one shown. Once a picture costs more than a
// few milliseconds the work moves to a thread of its own, so that the next picture is ready when the clock
// reaches it; what it gives is what decoding each packet in place, in the same order, gives.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <thread>
#include <vector>

#include <QImage>

#include "player/video/video_decoder.h"

namespace vistrel::player::video {

// Worker threads for video decoding are shared out from one budget (AheadDecoder::kMaxWorkers): true when
// one more may start; each granted one is given back when its thread ends.
bool reserveVideoWorker();
void releaseVideoWorker();
// A picture costing more than this many milliseconds moves decoding to a worker thread (3 unless set;
// 0 moves it at once, as tests of the threaded path need).
double videoThreadThresholdMs();
void setVideoThreadThresholdMs(double ms);

class AheadDecoder {
public:
    struct Packet {
        std::span<const std::uint8_t> data;
        bool key = false;
        bool configuration = false;   // codec set-up data (H.264's configuration record), no picture
    };
    // `keepAlive` owns the bytes the packets point into.
    AheadDecoder(Codec codec, int deblocking, std::vector<Packet> packets, std::shared_ptr<const void> keepAlive);
    ~AheadDecoder();
    AheadDecoder(const AheadDecoder&) = delete;
    AheadDecoder& operator=(const AheadDecoder&) = delete;

    std::size_t size() const { return m_packets.size(); }
    bool available() const { return m_available; }
    // The picture shown once packet `index` is reached: decoded on from the last packet decoded, or from
    // the nearest key frame before `index` when going back or when a key frame lies between. A packet that
    // does not decode shows the last good picture; null when there is none (or `index` is negative).
    QImage picture(int index);
    // Starts decoding towards `index` without waiting (the clock has reached it; drawing will ask).
    void prepare(int index);
    std::uint64_t framesDecoded() const;
    bool threaded() const;

    // Pictures decoded ahead of the one asked for, at most.
    static constexpr int kAhead = 3;
    // Worker threads of all decoders at once, at most; past that decoding stays in place.
    static constexpr int kMaxWorkers = 4;

private:
    int keyBefore(int index) const;
    void request(int index);   // with m_mutex held
    bool decodeNext(std::unique_lock<std::mutex>& lock);
    void run();

    std::vector<Packet> m_packets;
    std::shared_ptr<const void> m_keepAlive;
    std::unique_ptr<Decoder> m_decoder;   // used by one thread at a time: whoever set m_busy
    bool m_available = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_next = 0;                    // next packet to decode
    std::optional<int> m_restart;      // decode from this packet next, after a reset
    std::uint64_t m_generation = 0;    // a restart discards a decode under way
    int m_want = -1;                   // the packet asked for last
    bool m_busy = false;
    bool m_stop = false;
    QImage m_lastGood;
    std::map<int, QImage> m_done;      // packet number -> picture shown there
    std::multiset<int> m_waiting;      // packets callers of picture() wait for: kept until they have them
    std::uint64_t m_framesDecoded = 0;
    std::thread m_worker;
};

}  // namespace vistrel::player::video
