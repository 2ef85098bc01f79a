// Embedded video: the tags, the decoder, seeking from key frames with the picture cache, drawing
// through the display list, and damaged or hostile streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "player/swf/byte_reader.h"
#include "player/swf/parser.h"
#include "player/video/decode_worker.h"
#include "player/video/flv_reader.h"
#include "player/video/video_decoder.h"
#include "player/video/video_stream.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace vv = vistrel::player::video;

namespace {

using Bytes = std::vector<std::uint8_t>;

// Encodes a clip with the ffmpeg command into FLV bytes; nullopt when ffmpeg is missing or fails.
std::optional<Bytes> encodeFlv(const QString& filter, int frames, const QStringList& codecArgs) {
    QTemporaryDir dir;
    if (!dir.isValid()) return std::nullopt;
    const QString out = dir.filePath(QStringLiteral("clip.flv"));
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"), filter, QStringLiteral("-frames:v"),
                     QString::number(frames)};
    args << codecArgs << out;
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000) || p.exitCode() != 0) return std::nullopt;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray data = f.readAll();
    return Bytes(data.begin(), data.end());
}

// Twelve 64x48 frames of flat grey, frame n with luma 20 + 16n, a key frame every fourth.
std::optional<Bytes> greyRampH263() {
    return encodeFlv(QStringLiteral("color=c=black:s=64x48:r=10,format=yuv420p,geq=lum='20+N*16':cb=128:cr=128"), 12,
                     {QStringLiteral("-c:v"), QStringLiteral("flv1"), QStringLiteral("-g"), QStringLiteral("4"),
                      QStringLiteral("-q:v"), QStringLiteral("2"), QStringLiteral("-sc_threshold"),
                      QStringLiteral("1000000000")});
}

// The grey a luma value shows as (video range).
int greyOf(int luma) { return std::clamp(static_cast<int>(std::lround((luma - 16) * 255.0 / 219.0)), 0, 255); }
int rampGrey(int frame) { return greyOf(20 + 16 * frame); }

std::vector<std::vector<std::uint8_t>> videoPackets(const Bytes& flv) {
    std::vector<std::vector<std::uint8_t>> packets;
    for (const vv::FlvTag& t : vv::readFlv(flv).tags)
        if (t.kind == vv::FlvTag::Video) packets.emplace_back(t.packet.begin(), t.packet.end());
    return packets;
}

bool nearGrey(QRgb c, int grey, int tolerance = 6) {
    return std::abs(qRed(c) - grey) <= tolerance && std::abs(qGreen(c) - grey) <= tolerance &&
           std::abs(qBlue(c) - grey) <= tolerance;
}

#define REQUIRE_CLIP(clip)                                                           \
    if (!(clip)) GTEST_SKIP() << "the ffmpeg command is not available to encode a clip"

// Tag bodies.
Bytes defineVideoStream(std::uint16_t id, std::uint16_t frames, std::uint16_t w, std::uint16_t h, std::uint8_t flags,
                        std::uint8_t codec) {
    sw::ByteWriter b;
    b.u16(id).u16(frames).u16(w).u16(h).u8(flags).u8(codec);
    return sw::tag(60, b.take());
}
Bytes videoFrame(std::uint16_t stream, std::uint16_t number, const std::vector<std::uint8_t>& data) {
    sw::ByteWriter b;
    b.u16(stream).u16(number).bytes(data);
    return sw::tag(61, b.take(), true);
}

// A 64x48 stage (1280x960 twips) with the stream placed at depth 1, one movie frame per video frame.
Bytes videoMovie(const std::vector<std::vector<std::uint8_t>>& packets, std::uint16_t w = 64, std::uint16_t h = 48,
                 std::uint8_t codec = 2, std::optional<sw::CxformSpec> cx = std::nullopt) {
    std::vector<Bytes> tags{sw::setBackgroundColor(0x0000ff),
                            defineVideoStream(1, static_cast<std::uint16_t>(packets.size()), w, h, 0, codec)};
    for (std::size_t i = 0; i < packets.size(); ++i) {
        tags.push_back(videoFrame(1, static_cast<std::uint16_t>(i), packets[i]));
        sw::PlaceSpec p{.depth = 1, .move = i > 0, .ratio = static_cast<std::uint16_t>(i)};
        if (i == 0) p.characterId = 1;
        if (i == 0 && cx) p.cxform = cx;
        tags.push_back(sw::placeObject2(p));
        tags.push_back(sw::showFrame());
    }
    sw::MovieSpec spec;
    spec.widthTwips = 64 * 20;
    spec.heightTwips = 48 * 20;
    spec.frameCount = static_cast<std::uint16_t>(std::max<std::size_t>(1, packets.size()));
    return sw::movie(spec, tags);
}

QImage render(vp::Player& player) {
    QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    player.render(renderer, vp::stageToDevice(player.movie().stageRect(), QSizeF(64, 48), vp::ScaleMode::ShowAll, 1),
                  vp::RenderQuality::High);
    return image;
}

}  // namespace

TEST(VideoTags, StreamDefinitionAndFramesAreRead) {
    const Bytes movie = sw::movie({}, {defineVideoStream(7, 3, 320, 240, 0x05, 4), videoFrame(7, 2, {1, 2, 3}),
                                       sw::showFrame()});
    const auto parsed = vistrel::swf::parseMovie(movie);
    ASSERT_GE(parsed.tags.size(), 2u);
    const auto* def = std::get_if<vistrel::swf::DefineVideoStream>(&parsed.tags[0].tag);
    ASSERT_TRUE(def);
    EXPECT_EQ(def->id, 7);
    EXPECT_EQ(def->frameCount, 3);
    EXPECT_EQ(def->width, 320);
    EXPECT_EQ(def->height, 240);
    EXPECT_EQ(def->deblocking, 2);
    EXPECT_TRUE(def->smoothing);
    EXPECT_EQ(def->codec, 4);
    const auto* frame = std::get_if<vistrel::swf::VideoFrame>(&parsed.tags[1].tag);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->streamId, 7);
    EXPECT_EQ(frame->frameNumber, 2);
    EXPECT_EQ(frame->data, (std::vector<std::uint8_t>{1, 2, 3}));

    // Cut short: a diagnostic, no tag.
    const Bytes shortMovie = sw::movie({}, {sw::tag(60, {1, 0, 2})});
    const auto damaged = vistrel::swf::parseMovie(shortMovie);
    EXPECT_FALSE(damaged.diagnostics.empty());
}

TEST(VideoDecoder, SorensonFramesDecodeInOrderToTheirGreys) {
    const auto clip = greyRampH263();
    REQUIRE_CLIP(clip);
    const auto packets = videoPackets(*clip);
    ASSERT_EQ(packets.size(), 12u);
    vv::Decoder decoder(vv::Codec::H263);
    ASSERT_TRUE(decoder.available());
    for (std::size_t i = 0; i < packets.size(); ++i) {
        EXPECT_EQ(vv::isKeyFrame(vv::Codec::H263, packets[i]), i % 4 == 0) << "frame " << i;
        const QImage image = decoder.decode(packets[i]);
        ASSERT_FALSE(image.isNull()) << "frame " << i;
        EXPECT_EQ(image.size(), QSize(64, 48));
        EXPECT_TRUE(nearGrey(image.pixel(32, 24), rampGrey(static_cast<int>(i))))
            << "frame " << i << ": " << std::hex << image.pixel(32, 24);
    }
}

TEST(VideoDecoder, ScreenVideoFramesDecode) {
    // Every frame a flat colour: red rising, blue falling.
    const auto clip = encodeFlv(QStringLiteral("color=c=black:s=48x32:r=10,format=bgr24,geq=r='N*30':g='128':b='255-N*30'"),
                                6, {QStringLiteral("-c:v"), QStringLiteral("flashsv")});
    REQUIRE_CLIP(clip);
    const auto packets = videoPackets(*clip);
    ASSERT_EQ(packets.size(), 6u);
    vv::Decoder decoder(vv::Codec::ScreenVideo);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        const QImage image = decoder.decode(packets[i]);
        ASSERT_FALSE(image.isNull());
        const QRgb c = image.pixel(20, 10);
        EXPECT_NEAR(qRed(c), int(i) * 30, 1);
        EXPECT_NEAR(qGreen(c), 128, 1);
        EXPECT_NEAR(qBlue(c), 255 - int(i) * 30, 1);
    }
    EXPECT_TRUE(vv::isKeyFrame(vv::Codec::ScreenVideo, packets[0]));
}

TEST(VideoStream, SeeksFromTheNearestKeyFrameAndStepsBackFromTheCache) {
    const auto clip = greyRampH263();
    REQUIRE_CLIP(clip);
    const auto packets = videoPackets(*clip);
    ASSERT_EQ(packets.size(), 12u);
    // The counts below are of decoding on this thread: a picture that happens to take long on a busy
    // machine must not hand decoding to a worker that decodes ahead.
    vv::setVideoThreadThresholdMs(1e9);
    vv::VideoStream stream(2, 0);
    for (std::size_t i = 0; i < packets.size(); ++i) stream.addFrame(static_cast<std::uint16_t>(i), packets[i]);

    // Straight to frame 10: from key frame 8, three frames.
    EXPECT_TRUE(nearGrey(stream.picture(10).pixel(10, 10), rampGrey(10)));
    EXPECT_EQ(stream.framesDecoded(), 3u);
    // One step back is kept.
    EXPECT_TRUE(nearGrey(stream.picture(9).pixel(10, 10), rampGrey(9)));
    EXPECT_EQ(stream.framesDecoded(), 3u);
    // On to 11: one more frame.
    EXPECT_TRUE(nearGrey(stream.picture(11).pixel(10, 10), rampGrey(11)));
    EXPECT_EQ(stream.framesDecoded(), 4u);
    // Back to 6: from key frame 4.
    EXPECT_TRUE(nearGrey(stream.picture(6).pixel(10, 10), rampGrey(6)));
    EXPECT_EQ(stream.framesDecoded(), 7u);
    // Rewind to the start, then play through.
    for (int i = 0; i < 12; ++i) EXPECT_TRUE(nearGrey(stream.picture(i).pixel(10, 10), rampGrey(i))) << "frame " << i;
    // A number past the last frame shows the last; one before the first, nothing.
    EXPECT_TRUE(nearGrey(stream.picture(500).pixel(10, 10), rampGrey(11)));
    EXPECT_TRUE(stream.picture(-1).isNull());
    vv::setVideoThreadThresholdMs(3);
}

TEST(VideoStream, FramesArrivingOutOfOrderStillShowInNumberOrder) {
    const auto clip = greyRampH263();
    REQUIRE_CLIP(clip);
    const auto packets = videoPackets(*clip);
    ASSERT_EQ(packets.size(), 12u);
    vv::VideoStream stream(2, 0);
    for (int i : {0, 2, 1, 3}) stream.addFrame(static_cast<std::uint16_t>(i), packets[static_cast<std::size_t>(i)]);
    EXPECT_TRUE(nearGrey(stream.picture(1).pixel(5, 5), rampGrey(1)));
    // Frame 3 missing at first: the picture stays at 2 until it arrives, then decoding goes on.
    vv::VideoStream gaps(2, 0);
    for (int i : {0, 1, 2, 4}) gaps.addFrame(static_cast<std::uint16_t>(i), packets[static_cast<std::size_t>(i)]);
    EXPECT_TRUE(nearGrey(gaps.picture(3).pixel(5, 5), rampGrey(2)));
    EXPECT_TRUE(nearGrey(gaps.picture(4).pixel(5, 5), rampGrey(4)));   // a key frame
    // A second frame with a number already held is ignored.
    gaps.addFrame(4, packets[9]);
    EXPECT_TRUE(nearGrey(gaps.picture(4).pixel(5, 5), rampGrey(4)));
}

TEST(VideoStream, DamagedFramesShowTheLastGoodPicture) {
    const auto clip = greyRampH263();
    REQUIRE_CLIP(clip);
    auto packets = videoPackets(*clip);
    ASSERT_EQ(packets.size(), 12u);
    vv::VideoStream stream(2, 0);
    std::mt19937 random(7);
    for (std::size_t i = 0; i < packets.size(); ++i) {
        std::vector<std::uint8_t> data = packets[i];
        if (i == 2) data.assign(data.size(), 0);                             // no picture start
        if (i == 5) data.resize(3);                                          // cut short
        if (i == 6) for (auto& b : data) b = static_cast<std::uint8_t>(random());   // noise
        stream.addFrame(static_cast<std::uint16_t>(i), data);
    }
    for (int i = 0; i < 12; ++i) EXPECT_FALSE(stream.picture(i).isNull()) << "frame " << i;
    EXPECT_TRUE(nearGrey(stream.picture(2).pixel(5, 5), rampGrey(1)));
    EXPECT_TRUE(nearGrey(stream.picture(8).pixel(5, 5), rampGrey(8)));   // the next key frame recovers

    // A codec the player does not know keeps nothing to show; so does a stream of noise.
    vv::VideoStream unknown(42, 0);
    unknown.addFrame(0, packets[0]);
    EXPECT_TRUE(unknown.picture(0).isNull());
    for (int codec = 2; codec <= 7; ++codec) {
        vv::VideoStream noise(codec, 0);
        for (int i = 0; i < 8; ++i) {
            std::vector<std::uint8_t> data(static_cast<std::size_t>(random() % 300));
            for (auto& b : data) b = static_cast<std::uint8_t>(random());
            noise.addFrame(static_cast<std::uint16_t>(i), data);
        }
        for (int i = 0; i < 8; ++i) noise.picture(i);   // must neither crash nor hang
    }
}

TEST(VideoDisplay, PlacementRatioPicksThePictureDrawnWithItsColourTransform) {
    const auto clip = greyRampH263();
    REQUIRE_CLIP(clip);
    const auto packets = videoPackets(*clip);
    ASSERT_EQ(packets.size(), 12u);
    vp::Player player(vp::Movie::fromBytes(videoMovie(packets)));
    EXPECT_TRUE(nearGrey(render(player).pixel(32, 24), rampGrey(0)));
    player.gotoFrame(7);
    EXPECT_TRUE(nearGrey(render(player).pixel(32, 24), rampGrey(6)));
    player.gotoFrame(6);   // one step back
    EXPECT_TRUE(nearGrey(render(player).pixel(32, 24), rampGrey(5)));
    player.rewind();
    EXPECT_TRUE(nearGrey(render(player).pixel(32, 24), rampGrey(0)));

    // Shown at the declared size (half the coded one here), through the placement's colour transform.
    sw::CxformSpec noGreen{.mult = std::array<std::int16_t, 4>{256, 0, 256, 256}};
    vp::Player small(vp::Movie::fromBytes(videoMovie(packets, 32, 24, 2, noGreen)));
    small.gotoFrame(12);
    const QImage image = render(small);
    const QRgb inside = image.pixel(16, 12);
    EXPECT_NEAR(qRed(inside), rampGrey(11), 6);
    EXPECT_EQ(qGreen(inside), 0);
    EXPECT_EQ(image.pixel(48, 36), 0xff0000ffu);   // the background beyond the declared size
}

TEST(VideoDisplay, HostileStreamsNeitherCrashNorDraw) {
    // A declared size of 65535 x 65535, frames of noise, frames for a stream never defined.
    std::vector<std::vector<std::uint8_t>> noise;
    std::mt19937 random(3);
    for (int i = 0; i < 4; ++i) {
        std::vector<std::uint8_t> d(64);
        for (auto& b : d) b = static_cast<std::uint8_t>(random());
        noise.push_back(d);
    }
    for (std::uint8_t codec : {2, 3, 4, 5, 6, 7, 99}) {
        vp::Player player(vp::Movie::fromBytes(videoMovie(noise, 65535, 65535, codec)));
        for (int f = 0; f < 4; ++f) {
            const QImage image = render(player);
            EXPECT_EQ(image.pixel(10, 10), 0xff0000ffu) << "codec " << int(codec);
            player.nextFrame();
        }
    }
    const Bytes orphan = sw::movie({}, {videoFrame(9, 0, {1, 2, 3}), sw::showFrame()});
    EXPECT_TRUE(vp::Movie::fromBytes(orphan)->isValid());
}

TEST(FlvReader, ReadsPacketsAndStopsAtATruncatedTag) {
    const auto clip = greyRampH263();
    REQUIRE_CLIP(clip);
    const auto whole = vv::readFlv(*clip);
    ASSERT_TRUE(whole.valid);
    EXPECT_TRUE(whole.hasVideo);
    EXPECT_FALSE(whole.truncated);
    std::size_t videoTags = 0;
    for (const auto& t : whole.tags)
        if (t.kind == vv::FlvTag::Video) {
            EXPECT_EQ(t.codec, 2);
            EXPECT_EQ(t.frameType == 1, videoTags % 4 == 0);
            ++videoTags;
        }
    EXPECT_EQ(videoTags, 12u);
    const Bytes cut(clip->begin(), clip->begin() + static_cast<std::ptrdiff_t>(clip->size() * 2 / 3));
    const auto partial = vv::readFlv(cut);
    EXPECT_TRUE(partial.truncated);
    EXPECT_LT(partial.tags.size(), whole.tags.size());
    EXPECT_FALSE(vv::readFlv(Bytes{'F', 'L'}).valid);
}
