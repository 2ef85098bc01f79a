// Decoding of compressed video frames into pictures, one codec stream at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include <QImage>

struct AVFrame;

namespace vistrel::player::video {

enum class Codec { H263, ScreenVideo, ScreenVideo2, Vp6, Vp6Alpha, Avc };

// The codec of a DefineVideoStream or FLV codec number (the numbering is shared), if known.
std::optional<Codec> codecFromId(int id);

// Pictures larger than this (in pixels) are not decoded: a stream may claim any size.
inline constexpr std::int64_t kMaxPicturePixels = 4096ll * 4096;

// Whether a packet as stored in a movie or FLV (without the FLV tag's own header byte) starts a
// picture that needs no earlier one. Unknown or damaged packets count as not key frames.
bool isKeyFrame(Codec codec, std::span<const std::uint8_t> packet);

class Decoder {
public:
    // `deblocking`: 0 leaves it to the stream, 1 turns the loop filter off, higher values keep it on.
    explicit Decoder(Codec codec, int deblocking = 0);
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    Codec codec() const { return m_codec; }
    // False when the codec library lacks this codec; decode then gives nothing.
    bool available() const;
    // Codec set-up data sent ahead of the pictures (H.264's decoder configuration record).
    void setConfiguration(std::span<const std::uint8_t> data);
    // The picture this packet completes, or a null image when it does not decode (or the decoder
    // holds it back, as H.264 does with reordered frames). Transparent codecs give premultiplied
    // ARGB, the others RGB32.
    QImage decode(std::span<const std::uint8_t> packet);
    // Forgets the pictures decoded so far, as before the first packet.
    void reset();

    // For codecs that hold pictures back to hand them out in display order: each picture handed out,
    // with the stamp of the packet it was coded in, in the order handed out. Pictures that do not
    // convert are left out.
    struct Stamped {
        std::int64_t stamp = 0;
        QImage image;
    };
    std::vector<Stamped> decodeStamped(std::span<const std::uint8_t> packet, std::int64_t stamp);
    // The end of the stream: the pictures still held back. Decoding after it needs reset() first.
    std::vector<Stamped> drain();

private:
    struct State;
    Codec m_codec;
    int m_deblocking = 0;
    std::unique_ptr<State> m_state;
    void open();
    QImage convert(const AVFrame& frame);
    void receive(std::vector<Stamped>& out);
};

}  // namespace vistrel::player::video
