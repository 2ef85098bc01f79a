// Embedded video: a stream definition and the compressed frames that belong to it.
#pragma once

#include <cstdint>
#include <vector>

namespace vistrel::swf {

class ByteReader;

namespace videocodec {
inline constexpr std::uint8_t kH263 = 2, kScreenVideo = 3, kVp6 = 4, kVp6Alpha = 5, kScreenVideo2 = 6, kAvc = 7;
}

// DefineVideoStream (60).
struct DefineVideoStream {
    std::uint16_t id = 0;
    std::uint16_t frameCount = 0;
    std::uint16_t width = 0, height = 0;   // the size it is shown at, in pixels
    std::uint8_t deblocking = 0;            // 0: as the stream says, 1: off, 2-6: filter strength
    bool smoothing = false;
    std::uint8_t codec = 0;
};

// VideoFrame (61): one compressed frame of a stream, numbered from 0.
struct VideoFrame {
    std::uint16_t streamId = 0;
    std::uint16_t frameNumber = 0;
    std::vector<std::uint8_t> data;
};

DefineVideoStream readDefineVideoStream(ByteReader& r);
VideoFrame readVideoFrame(ByteReader& r);

}  // namespace vistrel::swf
