#include "player/video/flv_reader.h"

namespace vistrel::player::video {

namespace {

std::uint32_t be(std::span<const std::uint8_t> d, std::size_t at, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | d[at + static_cast<std::size_t>(i)];
    return v;
}

}  // namespace

FlvFile readFlv(std::span<const std::uint8_t> data, std::size_t maxTags) {
    FlvFile file;
    if (data.size() < 9 || data[0] != 'F' || data[1] != 'L' || data[2] != 'V') return file;
    file.valid = true;
    file.hasAudio = (data[4] & 0x04) != 0;
    file.hasVideo = (data[4] & 0x01) != 0;
    std::size_t pos = be(data, 5, 4);
    if (pos < 9 || pos > data.size()) pos = 9;
    pos += 4;   // the size of the tag before the first: zero
    while (pos + 11 <= data.size() && file.tags.size() < maxTags) {
        const std::uint8_t type = data[pos] & 0x1f;
        const std::size_t size = be(data, pos + 1, 3);
        const std::uint32_t timestamp = be(data, pos + 4, 3) | (std::uint32_t{data[pos + 7]} << 24);
        if (pos + 11 + size > data.size()) {
            file.truncated = true;
            break;
        }
        const auto body = data.subspan(pos + 11, size);
        const std::size_t offset = pos;
        pos += 11 + size + 4;
        if (data[offset] & 0x20) continue;   // encrypted or filtered: nothing to play
        if (type != FlvTag::Audio && type != FlvTag::Video && type != FlvTag::Script) continue;
        FlvTag tag;
        tag.kind = static_cast<FlvTag::Kind>(type);
        tag.timestamp = timestamp;
        tag.offset = offset;
        tag.body = body;
        tag.packet = body;
        if (tag.kind == FlvTag::Video) {
            if (body.empty()) continue;
            tag.frameType = body[0] >> 4;
            tag.codec = body[0] & 0x0f;
            std::size_t skip = 1;
            if (tag.codec == 4 || tag.codec == 5) {
                if (body.size() < 2) continue;
                tag.adjustment = body[1];
                skip = 2;
            } else if (tag.codec == 7) {
                if (body.size() < 5) continue;
                tag.avcPacketType = body[1];
                const std::uint32_t cts = be(body, 2, 3);
                tag.compositionTime = static_cast<std::int32_t>(cts & 0x800000 ? cts | 0xff000000u : cts);
                skip = 5;
            }
            tag.packet = body.subspan(skip);
        }
        file.tags.push_back(tag);
    }
    return file;
}

}  // namespace vistrel::player::video
