// The frames of one embedded video stream and the pictures they decode to, by frame number.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <utility>
#include <vector>

#include <QImage>

#include "player/video/decode_worker.h"
#include "player/video/video_decoder.h"

namespace vistrel::player::video {

class VideoStream {
public:
    // `codecId` as DefineVideoStream numbers it; an unknown codec keeps the frames and shows nothing.
    VideoStream(int codecId, int deblocking);
    ~VideoStream();

    // Keeps a frame's bytes; a second frame with the same number is ignored.
    void addFrame(std::uint16_t number, std::span<const std::uint8_t> data);
    std::size_t frameCount() const;

    // The picture shown at `number`: that frame's, or the newest frame's before it. Frames are
    // decoded in number order from the nearest key frame, or on from the last frame decoded when
    // no key frame lies between. A frame that does not decode shows the last good picture; null
    // when there is none.
    QImage picture(int number);

    // How many frames were handed to the decoder so far (to see what seeking and the cache save).
    std::uint64_t framesDecoded() const;

    // Recently shown pictures kept, so that stepping back is quick.
    static constexpr std::size_t kCachedPictures = 12;
    static constexpr std::int64_t kCachedBytes = 96ll * 1024 * 1024;

    // Whether a worker thread decodes the frame after the one shown ahead of time (once frames cost more
    // than a few milliseconds).
    bool decodesAhead() const;

private:
    struct Packet {
        std::vector<std::uint8_t> data;
        bool key = false;
    };
    void remember(int number, const QImage& image);

    mutable std::mutex m_mutex;   // drawing may happen on another thread than loading
    std::optional<Codec> m_codec;
    int m_deblocking = 0;
    std::map<int, Packet> m_packets;
    std::unique_ptr<Decoder> m_decoder;
    int m_decodedUpTo = -1;        // number of the last frame sent to the decoder, -1: none since a reset
    QImage m_current;              // the last good picture
    std::deque<std::pair<int, QImage>> m_cache;
    std::uint64_t m_framesDecoded = 0;
    // Decoding ahead: the frame after `m_aheadOf` is decoded on the worker while the movie shows this one.
    void decodeAhead();
    DecodeWorker m_worker;
    int m_aheadOf = -1;
};

}  // namespace vistrel::player::video
