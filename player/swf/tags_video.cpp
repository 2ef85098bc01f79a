#include "player/swf/tags_video.h"

#include "player/swf/byte_reader.h"

namespace vistrel::swf {

DefineVideoStream readDefineVideoStream(ByteReader& r) {
    DefineVideoStream v;
    v.id = r.u16();
    v.frameCount = r.u16();
    v.width = r.u16();
    v.height = r.u16();
    const std::uint8_t flags = r.u8();
    v.deblocking = static_cast<std::uint8_t>((flags >> 1) & 0x07);
    v.smoothing = (flags & 0x01) != 0;
    v.codec = r.u8();
    return v;
}

VideoFrame readVideoFrame(ByteReader& r) {
    VideoFrame f;
    f.streamId = r.u16();
    f.frameNumber = r.u16();
    const auto rest = r.rest();
    f.data.assign(rest.begin(), rest.end());
    return f;
}

}  // namespace vistrel::swf
