// Reads the tags of an FLV file: its video and audio packets and its script data, in file order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vistrel::player::video {

struct FlvTag {
    enum Kind : std::uint8_t { Audio = 8, Video = 9, Script = 18 };
    Kind kind = Video;
    std::uint32_t timestamp = 0;   // milliseconds
    std::size_t offset = 0;        // of the tag in the file
    // Video: the frame type (1 key, 2 inter, 3 disposable, 5 command) and codec from the first byte.
    int frameType = 0;
    int codec = 0;
    // The codec's packet: for video without the first byte, and for VP6 without its size adjustment
    // byte (kept in `adjustment`); for H.264 without the packet type and composition time.
    std::span<const std::uint8_t> packet;
    std::uint8_t adjustment = 0;
    int avcPacketType = -1;        // H.264: 0 decoder configuration, 1 pictures, 2 end of sequence
    std::int32_t compositionTime = 0;   // H.264: milliseconds from `timestamp` (decode time) to display time
    std::span<const std::uint8_t> body;   // the whole tag body
};

struct FlvFile {
    bool valid = false;            // it starts with an FLV header
    bool hasVideo = false, hasAudio = false;
    bool truncated = false;        // the last tag runs past the end of the data
    std::vector<FlvTag> tags;      // views into the data given to readFlv
};

// Never throws; stops at the first tag that does not fit. At most `maxTags` tags are kept.
FlvFile readFlv(std::span<const std::uint8_t> data, std::size_t maxTags = 1u << 22);

}  // namespace vistrel::player::video
