// Decodes a fixed run of packets in order, a few ahead of the one shown. Once a picture costs more than a
// few milliseconds the work moves to a thread of its own, so that the next picture is ready when the clock
// reaches it; what it gives is what decoding each packet in place, in the same order, gives. Codecs that
// hold pictures back (H.264 with B-frames) hand them out in display order, each known by its packet's stamp.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <vector>

#include <QImage>

#include "player/video/decode_worker.h"
#include "player/video/video_decoder.h"

namespace vistrel::player::video {

class AheadDecoder {
public:
    static constexpr std::int64_t kNoStamp = std::numeric_limits<std::int64_t>::min();
    struct Packet {
        std::span<const std::uint8_t> data;
        bool key = false;
        bool configuration = false;   // codec set-up data (H.264's configuration record), no picture
        // When the picture shows. Only when every picture has one are they put in this order (the decoder
        // hands them out so); otherwise pictures show in decode order.
        std::int64_t stamp = kNoStamp;
    };
    // `keepAlive` owns the bytes the packets point into.
    AheadDecoder(Codec codec, int deblocking, std::vector<Packet> packets, std::shared_ptr<const void> keepAlive);
    ~AheadDecoder();
    AheadDecoder(const AheadDecoder&) = delete;
    AheadDecoder& operator=(const AheadDecoder&) = delete;

    std::size_t size() const { return m_packets.size(); }
    bool available() const { return m_available; }
    // The picture of packet `index` (for set-up data, of the picture before it in decode order): decoded on
    // from the last packet decoded, or from the nearest key frame before `index` when going back or when a
    // key frame lies between. A packet that does not decode shows the picture before it in display order;
    // null when there is none (or `index` is negative).
    QImage picture(int index);
    // Starts decoding towards `index` without waiting (the clock has reached it; drawing will ask).
    void prepare(int index);
    std::uint64_t framesDecoded() const;
    bool threaded() const;

    // Pictures decoded ahead of the one asked for, at most (the decoder's own delay comes on top).
    static constexpr int kAhead = 3;
    // Worker threads of all decoders at once, at most; past that decoding stays in place.
    static constexpr int kMaxWorkers = kMaxVideoWorkers;

private:
    int keyBefore(int index) const;
    int rankOf(int index) const;
    void request(int rank);   // with m_mutex held
    void restartFor(int rank);
    int keepFrom() const;
    int target() const;
    void accept(int rank, QImage image);
    void fillTo(int rank);
    bool decodeNext(std::unique_lock<std::mutex>& lock);
    void run();

    std::vector<Packet> m_packets;
    std::shared_ptr<const void> m_keepAlive;
    std::unique_ptr<Decoder> m_decoder;   // used by one thread at a time: whoever set m_busy
    bool m_available = false;
    bool m_reorders = false;           // pictures come out in stamp order
    std::vector<int> m_rank;           // packet -> its picture's place in display order, -1 for set-up data
    std::vector<int> m_byRank;         // display order -> packet

    mutable std::mutex m_mutex;
    int m_next = 0;                    // next packet to decode
    bool m_reset = false;              // the decoder starts over before decoding m_next
    bool m_drained = false;            // every packet is in and the held-back pictures are out
    std::uint64_t m_generation = 0;    // a restart discards a decode under way
    int m_want = -1;                   // the picture asked for last (display order)
    int m_lastRank = -1;               // the last picture out (or given up on) since the restart
    bool m_busy = false;
    QImage m_lastGood;
    std::map<int, QImage> m_done;      // display order -> picture shown there
    std::multiset<int> m_waiting;      // pictures callers of picture() wait for: kept until they have them
    std::uint64_t m_framesDecoded = 0;
    DecodeWorker m_worker;
};

}  // namespace vistrel::player::video
