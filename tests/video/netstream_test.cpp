// FLV files played by scripts: NetConnection and NetStream with a Video object, on the stage's clock. The
// movies and clips are written here (clips with the ffmpeg command) into a folder of their own, as a
// movie and the files beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "player/avm1/vm.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/sound/mixer.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"
#include "player/stage_view.h"
#include "player/video/amf0.h"
#include "player/video/decode_ahead.h"
#include "player/video/flv_playback.h"
#include "player/video/flv_reader.h"
#include "player/video/video_stream.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;
namespace vv = vistrel::player::video;
using vistrel::avm1::Value;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The number of the picture an FLV file shows at `ms`: of the last video tag at or before it (the
// audio encoders' delay moves the pictures on a little), -1 before the first.
int shownAt(const QByteArray& flv, double ms) {
    int shown = -1, n = 0;
    for (const vv::FlvTag& tag : vv::readFlv({reinterpret_cast<const std::uint8_t*>(flv.constData()), std::size_t(flv.size())}).tags) {
        if (tag.kind != vv::FlvTag::Video || tag.avcPacketType == 0) continue;
        if (tag.timestamp <= ms) shown = n;
        ++n;
    }
    return shown;
}

// Runs ffmpeg with `args` writing `out`; the file's bytes, or nullopt when ffmpeg is missing or fails.
std::optional<QByteArray> ffmpeg(QStringList args, const QString& out) {
    args.prepend(QStringLiteral("-y"));
    args.prepend(QStringLiteral("error"));
    args.prepend(QStringLiteral("-v"));
    args << out;
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForStarted(10000) || !p.waitForFinished(120000) || p.exitCode() != 0) return std::nullopt;
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    return f.readAll();
}

// Twenty 64x48 frames at 10 per second, frame n flat grey of luma 20 + 10n, a key frame every fifth;
// with a tone in `audioCodec` when given.
std::optional<QByteArray> greyClip(const QString& path, const QStringList& videoCodec, const QString& audioCodec = {}) {
    QStringList args{QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("color=c=black:s=64x48:r=10,format=yuv420p,geq=lum='20+N*10':cb=128:cr=128")};
    if (!audioCodec.isEmpty())
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=22050:duration=2");
    args << QStringLiteral("-frames:v") << QStringLiteral("20") << videoCodec << QStringLiteral("-g")
         << QStringLiteral("5") << QStringLiteral("-sc_threshold") << QStringLiteral("1000000000");
    if (!audioCodec.isEmpty())
        args << QStringLiteral("-c:a") << audioCodec << QStringLiteral("-ar") << QStringLiteral("22050")
             << QStringLiteral("-ac") << QStringLiteral("1");
    else
        args << QStringLiteral("-an");
    return ffmpeg(args, path);
}

QStringList h263() { return {QStringLiteral("-c:v"), QStringLiteral("flv1"), QStringLiteral("-q:v"), QStringLiteral("2")}; }

int greyOf(int luma) { return std::clamp(static_cast<int>(std::lround((luma - 16) * 255.0 / 219.0)), 0, 255); }
int rampGrey(int frame) { return greyOf(20 + 10 * frame); }
bool nearGrey(QRgb c, int grey, int tolerance = 6) {
    return std::abs(qRed(c) - grey) <= tolerance && std::abs(qGreen(c) - grey) <= tolerance &&
           std::abs(qBlue(c) - grey) <= tolerance;
}

#define REQUIRE(clip) \
    if (!(clip)) GTEST_SKIP() << "the ffmpeg command is not available to encode a clip"

// A 64x48 stage at 10 frames per second with an empty video object "v" of 64x48 at depth 1.
Bytes videoObjectMovie(std::uint16_t w = 64, std::uint16_t h = 48) {
    sw::ByteWriter b;
    b.u16(1).u16(0).u16(w).u16(h).u8(0).u8(2);
    sw::PlaceSpec place{.depth = 1, .characterId = 1, .name = std::string("v")};
    std::vector<Bytes> tags{sw::setBackgroundColor(0x0000ff), sw::tag(60, b.take()), sw::placeObject2(place, 8)};
    for (int i = 0; i < 60; ++i) tags.push_back(sw::showFrame());
    sw::MovieSpec spec;
    spec.version = 8;
    spec.widthTwips = 64 * 20;
    spec.heightTwips = 48 * 20;
    spec.frameRate = 10;
    spec.frameCount = 60;
    return sw::movie(spec, tags);
}

// A movie in a folder of its own, driven from here: streams made, methods called, status codes kept.
class Theatre {
public:
    Theatre() {
        const Bytes swf = videoObjectMovie();
        QFile f(dir.filePath(QStringLiteral("movie.swf")));
        if (f.open(QIODevice::WriteOnly)) f.write(reinterpret_cast<const char*>(swf.data()), qint64(swf.size()));
        f.close();
        player = std::make_unique<vp::Player>(vp::Movie::fromFile(dir.filePath(QStringLiteral("movie.swf"))));
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    vistrel::avm1::Vm& vm() { return *player->stage().vm(); }
    Value global(const char* name) { return vm().getMember(Value(vm().global()), QString::fromUtf8(name)); }
    Value get(const Value& o, const char* name) { return vm().getMember(o, QString::fromUtf8(name)); }
    Value call(const Value& o, const char* name, std::vector<Value> args = {}) {
        return vm().callMethod(o, QString::fromUtf8(name), args);
    }
    double num(const Value& v) { return vm().toNumber(v); }
    Value video() { return get(Value(player->stage().scriptObject(player->stage().rootObject())), "v"); }

    // A connected stream whose status codes (and metadata names) land in `codes`, attached to "v".
    Value stream() {
        const Value nc = vm().construct(global("NetConnection"), {});
        call(nc, "connect", {Value::null()});
        const Value nc1[] = {nc};
        const Value ns = vm().construct(global("NetStream"), nc1);
        auto* self = this;
        vm().setMember(ns, QStringLiteral("onStatus"), Value(vm().makeFunction(QStringLiteral("onStatus"),
            [self](vistrel::avm1::Vm& vm, const Value&, std::span<const Value> args) {
                self->codes.push_back(vm.toString(vm.getMember(args.empty() ? Value() : args[0], QStringLiteral("code"))).toStdString());
                return Value();
            })));
        vm().setMember(ns, QStringLiteral("onMetaData"), Value(vm().makeFunction(QStringLiteral("onMetaData"),
            [self](vistrel::avm1::Vm& vm, const Value&, std::span<const Value> args) {
                self->codes.push_back("meta");
                if (!args.empty()) {
                    self->metadata = args[0];
                    vm.setMember(Value(vm.global()), QStringLiteral("lastMetadata"), args[0]);   // kept alive
                }
                return Value();
            })));
        call(video(), "attachVideo", {ns});
        // Held by the movie too, so that collecting garbage leaves it to this test.
        vm().setMember(Value(vm().global()), QStringLiteral("stream%1").arg(++streams), ns);
        return ns;
    }
    QImage render() {
        QImage image(64, 48, QImage::Format_ARGB32_Premultiplied);
        vp::QPainterRenderer renderer(image);
        player->render(renderer, vp::stageToDevice(player->movie().stageRect(), QSizeF(64, 48), vp::ScaleMode::ShowAll, 1),
                       vp::RenderQuality::High);
        return image;
    }

    QTemporaryDir dir;
    std::unique_ptr<vp::Player> player;
    std::vector<std::string> codes;
    Value metadata;
    int streams = 0;
};

std::vector<std::string> take(std::vector<std::string>& v) {
    std::vector<std::string> out;
    out.swap(v);
    return out;
}

}  // namespace

TEST(NetStream, PlaysAFileToItsEndWithTheStatusCodesInOrder) {
    Theatre t;
    REQUIRE(greyClip(t.path("clip.flv"), h263()));
    const Value ns = t.stream();
    EXPECT_DOUBLE_EQ(t.num(t.get(ns, "bufferTime")), 0.1);
    t.call(ns, "setBufferTime", {Value(2)});
    EXPECT_DOUBLE_EQ(t.num(t.get(ns, "bufferTime")), 2);
    EXPECT_DOUBLE_EQ(t.num(t.get(ns, "bufferLength")), 2);
    t.call(ns, "play", {Value("clip.flv")});
    EXPECT_EQ(take(t.codes), std::vector<std::string>{"NetStream.Play.Start"});
    EXPECT_EQ(t.num(t.get(ns, "bytesTotal")), 0);

    t.player->nextFrame();   // the file is at hand: the buffer is full, the metadata read, the clock at 0
    EXPECT_EQ(take(t.codes), (std::vector<std::string>{"NetStream.Buffer.Full", "meta"}));
    const double size = double(QFileInfo(t.path("clip.flv")).size());
    EXPECT_EQ(t.num(t.get(ns, "bytesLoaded")), size);
    EXPECT_EQ(t.num(t.get(ns, "bytesTotal")), size);
    EXPECT_EQ(t.num(t.get(ns, "time")), 0);
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(0)));

    // Frame by frame: the clock moves one frame period a tick and the picture follows it.
    for (int f = 1; f <= 6; ++f) {
        t.player->nextFrame();
        EXPECT_NEAR(t.num(t.get(ns, "time")), 0.1 * f, 1e-9);
        EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(f))) << "frame " << f;
    }
    EXPECT_TRUE(t.codes.empty());
    int ticks = 0;
    while (t.codes.empty() && ticks++ < 100) t.player->nextFrame();
    EXPECT_EQ(take(t.codes), (std::vector<std::string>{"NetStream.Buffer.Flush", "NetStream.Play.Stop",
                                                     "NetStream.Buffer.Empty"}));
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(19)));
    const double end = t.num(t.get(ns, "time"));
    EXPECT_GE(end, 1.9);
    t.player->nextFrame();   // stopped: the clock stays
    EXPECT_EQ(t.num(t.get(ns, "time")), end);
    EXPECT_TRUE(t.codes.empty());
}

TEST(NetStream, MetadataComesFromTheScriptDataTag) {
    Theatre t;
    REQUIRE(greyClip(t.path("clip.flv"), h263()));
    const Value ns = t.stream();
    t.call(ns, "play", {Value("clip.flv")});
    t.player->nextFrame();
    ASSERT_TRUE(t.metadata.isObject());
    EXPECT_EQ(t.num(t.get(t.metadata, "width")), 64);
    EXPECT_EQ(t.num(t.get(t.metadata, "height")), 48);
    EXPECT_EQ(t.num(t.get(t.metadata, "framerate")), 10);
    EXPECT_EQ(t.num(t.get(t.metadata, "videocodecid")), 2);
    EXPECT_NEAR(t.num(t.get(t.metadata, "duration")), 2.0, 0.11);
}

TEST(NetStream, SeekPauseAndClose) {
    Theatre t;
    REQUIRE(greyClip(t.path("clip.flv"), h263()));
    const Value ns = t.stream();
    t.call(ns, "play", {Value("clip.flv")});
    for (int i = 0; i < 3; ++i) t.player->nextFrame();
    take(t.codes);

    // To the key frame at or after the time asked for (frames 0, 5, 10, 15 are key frames), on the next
    // tick; the notice arrives once the calling script is done.
    t.call(ns, "seek", {Value(0.75)});
    t.player->nextFrame();
    EXPECT_EQ(take(t.codes), std::vector<std::string>{"NetStream.Seek.Notify"});
    EXPECT_NEAR(t.num(t.get(ns, "time")), 1.1, 1e-9);
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(11)));

    // Back to a key frame behind the shown one: the picture is that frame's, decoded afresh.
    t.call(ns, "seek", {Value(0.5)});
    t.player->nextFrame();
    EXPECT_EQ(take(t.codes), std::vector<std::string>{"NetStream.Seek.Notify"});
    EXPECT_NEAR(t.num(t.get(ns, "time")), 0.6, 1e-9);
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(6)));

    // pause(true) tells; pause() toggles; the clock stands still while paused.
    t.call(ns, "pause", {Value(true)});
    EXPECT_EQ(take(t.codes), std::vector<std::string>{"NetStream.Pause.Notify"});
    t.player->nextFrame();
    EXPECT_NEAR(t.num(t.get(ns, "time")), 0.6, 1e-9);
    t.call(ns, "pause");
    t.player->nextFrame();
    EXPECT_NEAR(t.num(t.get(ns, "time")), 0.7, 1e-9);

    // Video.clear empties the picture until the stream shows another.
    t.call(t.video(), "clear");
    EXPECT_EQ(t.render().pixel(32, 24), 0xff0000ffu);
    t.player->nextFrame();
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(8)));

    t.call(ns, "close");
    const double at = t.num(t.get(ns, "time"));
    for (int i = 0; i < 3; ++i) t.player->nextFrame();
    EXPECT_EQ(t.num(t.get(ns, "time")), at);
    EXPECT_TRUE(t.codes.empty());
}

TEST(NetStream, FilesOutsideTheMovieFolderOrMissingAreNotFound) {
    Theatre t;
    REQUIRE(greyClip(t.path("clip.flv"), h263()));
    for (const char* name : {"nothere.flv", "../clip.flv", "/etc/passwd", "http://example.com/clip.flv"}) {
        const Value ns = t.stream();
        t.call(ns, "play", {Value(name)});
        t.player->nextFrame();
        t.player->nextFrame();
        EXPECT_EQ(take(t.codes), (std::vector<std::string>{"NetStream.Play.Start", "NetStream.Play.StreamNotFound"}))
            << name;
        EXPECT_EQ(t.num(t.get(ns, "bytesTotal")), 0) << name;
    }
    EXPECT_EQ(t.render().pixel(32, 24), 0xff0000ffu);

    // Streams playing at once are limited: each holds its whole file.
    std::vector<Value> many;
    for (int i = 0; i < 80; ++i) {
        many.push_back(t.stream());
        t.call(many.back(), "play", {Value("clip.flv")});
    }
    take(t.codes);
    t.player->nextFrame();
    const auto codes = take(t.codes);
    EXPECT_EQ(std::count(codes.begin(), codes.end(), std::string("NetStream.Buffer.Full")),
              std::ptrdiff_t(vp::Stage::kMaxClockObjects));
}

TEST(NetStream, CodecsOfTheContainerDecode) {
    // Screen video, H.264 with its configuration record (no reordered frames), and the audio codecs.
    struct Case {
        const char* name;
        QStringList video;
        QString audio;
        int tolerance;
    };
    const std::vector<Case> cases{
        {"screen video", {QStringLiteral("-c:v"), QStringLiteral("flashsv")}, QStringLiteral("adpcm_swf"), 6},
        {"h264", {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-bf"), QStringLiteral("0"),
                  QStringLiteral("-qp"), QStringLiteral("0")}, QStringLiteral("aac"), 6},
        {"h263 nellymoser", h263(), QStringLiteral("nellymoser"), 6},
        {"h263 pcm", h263(), QStringLiteral("pcm_s16le"), 6},
    };
    for (const Case& c : cases) {
        Theatre t;
        const auto clip = greyClip(t.path("clip.flv"), c.video, c.audio);
        if (!clip) {
            ADD_FAILURE() << c.name << ": ffmpeg could not encode the clip";
            continue;
        }
        const Value ns = t.stream();
        t.call(ns, "play", {Value("clip.flv")});
        for (int i = 0; i < 8; ++i) t.player->nextFrame();
        const int shown = shownAt(*clip, 700);
        ASSERT_GE(shown, 5) << c.name;
        const QRgb pixel = t.render().pixel(32, 24);
        EXPECT_TRUE(nearGrey(pixel, rampGrey(shown), c.tolerance))
            << c.name << ": " << qRed(pixel) << "," << qGreen(pixel) << "," << qBlue(pixel) << " for " << rampGrey(shown);
    }
}

TEST(NetStream, AudioReachesTheMixerOnTheStreamsClock) {
    Theatre t;
    REQUIRE(greyClip(t.path("clip.flv"), h263(), QStringLiteral("libmp3lame")));
    vv::FlvPlayback playback([&] {
        QFile f(t.path("clip.flv"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }());
    ASSERT_TRUE(playback.valid());
    vistrel::sound::Samples samples;
    playback.advance(0);
    for (int i = 0; i < 10; ++i) playback.advance(100);
    playback.takeAudio(samples);
    // A second of a 440 Hz tone, give or take the codec's delay and the last packet's length.
    const double seconds = double(samples.size()) / 2 / vistrel::sound::kOutputRate;
    EXPECT_GT(seconds, 0.85);
    EXPECT_LT(seconds, 1.2);
    int peak = 0;
    for (std::int16_t s : samples) peak = std::max(peak, std::abs(int(s)));
    EXPECT_GT(peak, 1000);
}

TEST(DecodeAhead, GivesWhatDecodingInPlaceGives) {
    QTemporaryDir dir;
    const auto clip = greyClip(dir.filePath(QStringLiteral("clip.flv")), h263());
    REQUIRE(clip);
    const auto bytes = std::make_shared<QByteArray>(*clip);
    const auto file = vv::readFlv({reinterpret_cast<const std::uint8_t*>(bytes->constData()), std::size_t(bytes->size())});
    std::vector<vv::AheadDecoder::Packet> packets;
    for (const vv::FlvTag& tag : file.tags)
        if (tag.kind == vv::FlvTag::Video) packets.push_back({tag.packet, tag.frameType == 1, false});
    ASSERT_EQ(packets.size(), 20u);
    vv::Decoder inPlace(vv::Codec::H263);
    std::vector<QImage> expected;
    for (const auto& p : packets) expected.push_back(inPlace.decode(p.data));
    // In place, and on a worker from the first picture on.
    for (double threshold : {1e9, 0.0}) {
        vv::setVideoThreadThresholdMs(threshold);
        vv::AheadDecoder ahead(vv::Codec::H263, 0, packets, bytes);
        // Forwards, a jump past a key frame, back, and forwards again: every picture equals the one in place.
        for (int i : {0, 1, 2, 3, 12, 13, 4, 5, 6, 19, 18, 0}) EXPECT_EQ(ahead.picture(i), expected[std::size_t(i)]) << i;
        for (int i = 0; i < 20; ++i) {
            ahead.prepare(i + 1);
            EXPECT_EQ(ahead.picture(i), expected[std::size_t(i)]) << i;
        }
        EXPECT_TRUE(ahead.picture(-1).isNull());
        EXPECT_EQ(ahead.picture(1000), expected.back());
        EXPECT_EQ(ahead.threaded(), threshold == 0.0);
    }
    vv::setVideoThreadThresholdMs(3);

    // Drawing asks from another thread than the clock's: both get the pictures they ask for.
    vv::setVideoThreadThresholdMs(0);
    {
        vv::AheadDecoder shared(vv::Codec::H263, 0, packets, bytes);
        std::vector<QImage> drawn(20);
        std::thread drawer([&] {
            for (int round = 0; round < 3; ++round)
                for (int i = 0; i < 20; ++i) drawn[std::size_t(i)] = shared.picture(i);
        });
        for (int round = 0; round < 3; ++round)
            for (int i = 19; i >= 0; i -= 3) {
                shared.prepare(i);
                EXPECT_EQ(shared.picture(i), expected[std::size_t(i)]) << i;
            }
        drawer.join();
        for (int i = 0; i < 20; ++i) EXPECT_EQ(drawn[std::size_t(i)], expected[std::size_t(i)]) << i;
    }
    vv::setVideoThreadThresholdMs(3);

    // Embedded video decodes the frame after the one shown on its worker: the pictures are the same.
    vv::setVideoThreadThresholdMs(0);
    vv::VideoStream stream(2, 0);
    for (std::size_t i = 0; i < packets.size(); ++i)
        stream.addFrame(std::uint16_t(i), std::vector<std::uint8_t>(packets[i].data.begin(), packets[i].data.end()));
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 3, 4, 5, 19, 12, 13})
        EXPECT_EQ(stream.picture(i), expected[std::size_t(i)]) << i;
    EXPECT_TRUE(stream.decodesAhead());
    vv::setVideoThreadThresholdMs(3);
}

TEST(NetStream, DamagedFilesPlayWhatTheyCanAndNeverCrash) {
    Theatre t;
    const auto clip = greyClip(t.path("clip.flv"), h263(), QStringLiteral("libmp3lame"));
    REQUIRE(clip);
    std::mt19937 random(11);
    std::vector<QByteArray> variants;
    variants.push_back(clip->left(clip->size() / 2));   // ends early
    variants.push_back(clip->left(20));
    variants.push_back(QByteArray("FLV"));
    QByteArray sizes = *clip;   // tag sizes and timestamps made wrong
    for (int i = 0; i < 40; ++i) sizes[int(random() % std::uint32_t(sizes.size()))] = char(0xff);
    variants.push_back(sizes);
    QByteArray noise = *clip;
    for (int i = 13; i < noise.size(); i += 7) noise[i] = char(random());
    variants.push_back(noise);
    // A video tag of a codec the decoder lacks, then a picture claiming 65535 x 65535.
    QByteArray odd = clip->left(13);
    auto appendTag = [&odd](std::uint8_t type, std::uint32_t ts, const QByteArray& body) {
        const std::uint32_t n = std::uint32_t(body.size());
        const char head[11] = {char(type), char(n >> 16), char(n >> 8), char(n), char(ts >> 16), char(ts >> 8), char(ts), 0, 0, 0, 0};
        odd.append(head, 11).append(body);
        const std::uint32_t prev = n + 11;
        const char back[4] = {char(prev >> 24), char(prev >> 16), char(prev >> 8), char(prev)};
        odd.append(back, 4);
    };
    appendTag(9, 0, QByteArray("\x1f\x01\x02\x03", 4));
    // An H.263 picture header: start code, then size code 0 with 16-bit width and height of 65535.
    static const char header[] = "\x12\x00\x00\x80\x00\xff\xff\xff\xff\x80\x00\x00\x00\x00\x00";
    appendTag(9, 100, QByteArray(header, sizeof header - 1));
    static const char meta[] = "\x02\x00\x0aonMetaData\x08\x00\x00\x00\x05\x00\x01w\x03\x00\x01";
    appendTag(18, 200, QByteArray(meta, sizeof meta - 1));
    variants.push_back(odd);

    int n = 0;
    for (const QByteArray& bytes : variants) {
        const QString name = QStringLiteral("bad%1.flv").arg(n++);
        QFile f(t.path(name.toUtf8().constData()));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.close();
        const Value ns = t.stream();
        t.call(ns, "play", {Value(name)});
        for (int i = 0; i < 30; ++i) {
            t.player->nextFrame();
            t.render();
        }
        t.call(ns, "seek", {Value(0.5)});
        t.player->nextFrame();
        t.render();
        t.call(ns, "close");
    }
    // The metadata of the last file came through as far as it was readable.
    EXPECT_TRUE(t.metadata.isObject());
}

TEST(Amf0, ReadsNestedValuesAndStopsAtDamage) {
    const std::uint8_t good[] = {2, 0, 1, 'm', 8, 0, 0, 0, 2, 0, 1, 'a', 0, 0x40, 0x59, 0, 0, 0, 0, 0, 0,
                                 0, 1, 'k', 10, 0, 0, 0, 2, 1, 1, 2, 0, 2, 'h', 'i', 0, 0, 9};
    const auto values = vv::readAmf0(good);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values[0].string, QStringLiteral("m"));
    ASSERT_EQ(values[1].members.size(), 2u);
    EXPECT_EQ(values[1].members[0].name, QStringLiteral("a"));
    EXPECT_EQ(values[1].members[0].value.number, 100);
    const auto& k = values[1].members[1].value;
    ASSERT_EQ(k.type, vv::AmfValue::Type::Array);
    ASSERT_EQ(k.members.size(), 2u);
    EXPECT_EQ(k.members[1].value.string, QStringLiteral("hi"));

    // Every cut of it reads without running past its end.
    for (std::size_t n = 0; n < sizeof good; ++n) vv::readAmf0(std::span(good, n));
    // Nesting without end and a count far beyond the data are cut off, not followed.
    std::vector<std::uint8_t> deep;
    for (int i = 0; i < 100000; ++i) deep.insert(deep.end(), {3, 0, 1, 'x'});
    EXPECT_LE(vv::readAmf0(deep).size(), 1u);
    const std::uint8_t huge[] = {10, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto h = vv::readAmf0(huge);
    ASSERT_EQ(h.size(), 1u);
    EXPECT_LE(h[0].members.size(), 1u);
}

namespace {

// H.264 with two B-frames between references, pictures in the grey ramp: the file's packets come in decode
// order, each picture's display time is its tag time plus its composition time.
QStringList h264WithBFrames() {
    return {QStringLiteral("-c:v"), QStringLiteral("libx264"), QStringLiteral("-bf"), QStringLiteral("2"),
            QStringLiteral("-x264-params"), QStringLiteral("b-adapt=0:scenecut=0"), QStringLiteral("-qp"),
            QStringLiteral("4"), QStringLiteral("-g"), QStringLiteral("10")};
}

struct DisplayTimes {
    std::vector<std::int64_t> byPacket;   // picture packet -> display time
    std::vector<std::int64_t> sorted;     // display times in display order
    bool reordered = false;               // some picture shows before one decoded ahead of it
};

DisplayTimes displayTimes(const QByteArray& flv) {
    DisplayTimes d;
    for (const vv::FlvTag& tag : vv::readFlv({reinterpret_cast<const std::uint8_t*>(flv.constData()), std::size_t(flv.size())}).tags) {
        if (tag.kind != vv::FlvTag::Video || tag.avcPacketType != 1) continue;
        const std::int64_t at = std::int64_t(tag.timestamp) + tag.compositionTime;
        if (!d.byPacket.empty() && at < d.byPacket.back()) d.reordered = true;
        d.byPacket.push_back(at);
    }
    d.sorted = d.byPacket;
    std::sort(d.sorted.begin(), d.sorted.end());
    return d;
}

// The picture (ramp frame) due at `ms`: the last whose display time has come, the first before that.
int dueAt(const DisplayTimes& d, double ms) {
    const auto passed = std::upper_bound(d.sorted.begin(), d.sorted.end(), std::int64_t(std::floor(ms)));
    return std::max(0, int(passed - d.sorted.begin()) - 1);
}

}  // namespace

TEST(ReorderedVideo, PicturesShowInDisplayOrderAtTheirOwnTimes) {
    QTemporaryDir dir;
    const auto clip = greyClip(dir.filePath(QStringLiteral("b.flv")), h264WithBFrames());
    REQUIRE(clip);
    const DisplayTimes times = displayTimes(*clip);
    ASSERT_EQ(times.byPacket.size(), 20u);
    ASSERT_TRUE(times.reordered) << "the encoder made no B-frames";

    // The clock moves in steps shorter than a frame: each step shows the frame due then.
    vv::FlvPlayback playback(*clip);
    playback.advance(0);
    EXPECT_TRUE(nearGrey(playback.picture().pixel(32, 24), rampGrey(0), 8));
    int steps = 0;
    while (!playback.atEnd() && steps++ < 200) {
        playback.advance(40);
        const int due = dueAt(times, playback.timeMs());
        const QRgb pixel = playback.picture().pixel(32, 24);
        EXPECT_TRUE(nearGrey(pixel, rampGrey(due), 8)) << "at " << playback.timeMs() << " ms: grey " << qRed(pixel)
                                                       << " for frame " << due;
    }
    // The stream ends once the last picture's time has come, not at the last tag: the held-back pictures
    // all show.
    EXPECT_TRUE(playback.atEnd());
    EXPECT_GE(playback.timeMs(), double(times.sorted.back()));
    EXPECT_TRUE(nearGrey(playback.picture().pixel(32, 24), rampGrey(19), 8));

    // Seeking goes by display time: to the key picture showing at or after the time asked for, the clock
    // set to its time.
    playback.seek(750);
    playback.advance(0);
    EXPECT_EQ(playback.timeMs(), double(times.sorted[10]));
    EXPECT_TRUE(nearGrey(playback.picture().pixel(32, 24), rampGrey(10), 8));
    playback.advance(100);
    EXPECT_TRUE(nearGrey(playback.picture().pixel(32, 24), rampGrey(11), 8));
    playback.seek(0);
    playback.advance(0);
    EXPECT_TRUE(nearGrey(playback.picture().pixel(32, 24), rampGrey(0), 8));
    for (int i = 0; i < 5; ++i) playback.advance(100);
    EXPECT_TRUE(nearGrey(playback.picture().pixel(32, 24), rampGrey(dueAt(times, playback.timeMs())), 8));
}

TEST(ReorderedVideo, DecodingAheadGivesEachPacketItsOwnPictureInAnyOrder) {
    QTemporaryDir dir;
    const auto clip = greyClip(dir.filePath(QStringLiteral("b.flv")), h264WithBFrames());
    REQUIRE(clip);
    const auto bytes = std::make_shared<QByteArray>(*clip);
    const DisplayTimes times = displayTimes(*bytes);
    ASSERT_TRUE(times.reordered);
    std::vector<vv::AheadDecoder::Packet> packets;
    std::vector<int> frameOf;   // packet -> ramp frame, -1 for the configuration record
    for (const vv::FlvTag& tag : vv::readFlv({reinterpret_cast<const std::uint8_t*>(bytes->constData()), std::size_t(bytes->size())}).tags) {
        if (tag.kind != vv::FlvTag::Video) continue;
        vv::AheadDecoder::Packet p{tag.packet, tag.frameType == 1 && tag.avcPacketType == 1, tag.avcPacketType == 0};
        p.stamp = std::int64_t(tag.timestamp) + tag.compositionTime;
        const auto at = std::find(times.sorted.begin(), times.sorted.end(), p.stamp);
        frameOf.push_back(p.configuration ? -1 : int(at - times.sorted.begin()));
        packets.push_back(p);
    }
    for (double threshold : {1e9, 0.0}) {
        vv::setVideoThreadThresholdMs(threshold);
        vv::AheadDecoder ahead(vv::Codec::Avc, 0, packets, bytes);
        std::vector<int> order;
        for (int i = 0; i < int(packets.size()); ++i) order.push_back(i);
        // Decode order, display order, backwards, and a shuffle: every packet's own picture, whatever came before.
        std::vector<int> byDisplay(order);
        std::sort(byDisplay.begin(), byDisplay.end(), [&](int a, int b) { return frameOf[std::size_t(a)] < frameOf[std::size_t(b)]; });
        std::vector<int> shuffled(order);
        std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
        for (const auto* sequence : {&order, &byDisplay, &shuffled}) {
            for (int i : *sequence) {
                if (frameOf[std::size_t(i)] < 0) continue;
                ahead.prepare(i + 1);
                EXPECT_TRUE(nearGrey(ahead.picture(i).pixel(32, 24), rampGrey(frameOf[std::size_t(i)]), 8))
                    << "packet " << i << " threshold " << threshold;
            }
        }
        for (auto it = byDisplay.rbegin(); it != byDisplay.rend(); ++it) {
            if (frameOf[std::size_t(*it)] < 0) continue;
            EXPECT_TRUE(nearGrey(ahead.picture(*it).pixel(32, 24), rampGrey(frameOf[std::size_t(*it)]), 8)) << *it;
        }
    }
    vv::setVideoThreadThresholdMs(3);

    // Damaged pictures: every packet but the configuration record and the key pictures turned to noise.
    // Whatever decodes shows; nothing hangs.
    std::vector<std::vector<std::uint8_t>> noise;
    std::mt19937 random(3);
    for (const auto& p : packets) {
        std::vector<std::uint8_t> bytes(p.data.begin(), p.data.end());
        if (!p.configuration && !p.key)
            for (auto& b : bytes) b = std::uint8_t(random());
        noise.push_back(std::move(bytes));
    }
    std::vector<vv::AheadDecoder::Packet> damaged = packets;
    for (std::size_t i = 0; i < damaged.size(); ++i) damaged[i].data = noise[i];
    vv::AheadDecoder broken(vv::Codec::Avc, 0, damaged, bytes);
    for (int i = 0; i < int(damaged.size()); ++i) broken.picture(i);
    EXPECT_TRUE(nearGrey(broken.picture(1).pixel(32, 24), rampGrey(0), 8));   // the key picture
}

TEST(ReorderedVideo, ScriptTimeAndPictureAgree) {
    Theatre t;
    const auto clip = greyClip(t.path("clip.flv"), h264WithBFrames());
    REQUIRE(clip);
    const DisplayTimes times = displayTimes(*clip);
    ASSERT_TRUE(times.reordered);
    const Value ns = t.stream();
    t.call(ns, "play", {Value("clip.flv")});
    int ticks = 0;
    while (ticks++ < 60) {
        t.player->nextFrame();
        if (std::find(t.codes.begin(), t.codes.end(), "NetStream.Play.Stop") != t.codes.end()) break;
        const double ms = t.num(t.get(ns, "time")) * 1000;
        EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(dueAt(times, ms)), 8)) << "at " << ms << " ms";
    }
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(19), 8));
    EXPECT_GE(t.num(t.get(ns, "time")) * 1000, double(times.sorted.back()));

    // A seek lands on the key picture showing at or after the time asked for; time says when that is.
    take(t.codes);
    t.call(ns, "seek", {Value(0.75)});
    t.player->nextFrame();
    const double ms = t.num(t.get(ns, "time")) * 1000;
    EXPECT_GE(ms, double(times.sorted[10]));
    EXPECT_TRUE(nearGrey(t.render().pixel(32, 24), rampGrey(dueAt(times, ms)), 8)) << ms;
}

namespace {

// The loudest sample of each side over the next 50 ms of the mix.
std::pair<int, int> peaks(vp::Player& player) {
    std::vector<std::int16_t> out(2 * 2205);
    player.stage().sound().mixer()->mix(out.data(), 2205);
    int left = 0, right = 0;
    for (std::size_t i = 0; i < out.size(); i += 2) {
        left = std::max(left, std::abs(int(out[i])));
        right = std::max(right, std::abs(int(out[i + 1])));
    }
    return {left, right};
}

}  // namespace

TEST(NetStreamSound, FollowsTheSoundSettingsOfTheClipItIsAttachedTo) {
    Theatre t;
    REQUIRE(greyClip(t.path("clip.flv"), h263(), QStringLiteral("pcm_s16le")));
    t.player->setSoundDevicePulling(true);   // the queue is left to the mix taken here
    const Value ns = t.stream();
    t.call(ns, "play", {Value("clip.flv")});
    for (int i = 0; i < 3; ++i) t.player->nextFrame();
    auto tick = [&] {
        t.player->nextFrame();
        return peaks(*t.player);
    };
    const auto full = tick();
    ASSERT_GT(full.first, 1000);
    EXPECT_NEAR(full.second, full.first, full.first / 50);
    auto near = [&](int level, double share) { return std::abs(level - share * full.first) <= 0.05 * full.first + 2; };

    // Not attached anywhere, it follows the movie's own Sound settings.
    const Value root(t.player->stage().scriptObject(t.player->stage().rootObject()));
    const Value global = t.vm().construct(t.global("Sound"), {});
    t.call(global, "setVolume", {Value(50)});
    auto p = tick();
    EXPECT_TRUE(near(p.first, 0.5) && near(p.second, 0.5)) << p.first << " " << p.second;
    t.call(global, "setVolume", {Value(100)});

    // Attached to a clip inside another: both clips' volumes count, and the clip's pan.
    const Value outer = t.call(root, "createEmptyMovieClip", {Value("outer"), Value(5)});
    const Value inner = t.call(outer, "createEmptyMovieClip", {Value("inner"), Value(1)});
    ASSERT_TRUE(inner.isObject());
    t.call(inner, "attachAudio", {ns});
    const Value outerArgs[] = {outer};
    const Value innerArgs[] = {inner};
    const Value outerSound = t.vm().construct(t.global("Sound"), outerArgs);
    const Value innerSound = t.vm().construct(t.global("Sound"), innerArgs);
    t.call(outerSound, "setVolume", {Value(50)});
    t.call(innerSound, "setVolume", {Value(50)});
    p = tick();
    EXPECT_TRUE(near(p.first, 0.25) && near(p.second, 0.25)) << p.first << " " << p.second;
    t.call(innerSound, "setVolume", {Value(100)});
    t.call(innerSound, "setPan", {Value(-100)});
    p = tick();
    EXPECT_TRUE(near(p.first, 0.5) && p.second <= 2) << p.first << " " << p.second;

    // The movie's own volume still counts: the root holds every clip.
    t.call(outerSound, "setVolume", {Value(100)});
    t.call(innerSound, "setPan", {Value(0)});
    t.call(global, "setVolume", {Value(20)});
    p = tick();
    EXPECT_TRUE(near(p.first, 0.2) && near(p.second, 0.2)) << p.first << " " << p.second;
    t.call(global, "setVolume", {Value(100)});

    // attachAudio(false) stops it being heard; attaching elsewhere follows that clip.
    t.call(inner, "attachAudio", {Value(false)});
    p = tick();
    EXPECT_LE(std::max(p.first, p.second), 2);
    t.call(outer, "attachAudio", {ns});
    t.call(outerSound, "setVolume", {Value(50)});
    p = tick();
    EXPECT_TRUE(near(p.first, 0.5) && near(p.second, 0.5)) << p.first << " " << p.second;
}

TEST(ReorderedVideo, WildCompositionTimesNeitherHangNorOutlastTheFileByMuch) {
    QTemporaryDir dir;
    const auto clip = greyClip(dir.filePath(QStringLiteral("b.flv")), h264WithBFrames());
    REQUIRE(clip);
    // Composition times rewritten in place: far in the future, far in the past, and the largest a tag holds.
    QByteArray wild = *clip;
    const auto file = vv::readFlv({reinterpret_cast<const std::uint8_t*>(wild.constData()), std::size_t(wild.size())});
    int n = 0;
    std::uint32_t last = 0;
    for (const vv::FlvTag& tag : file.tags) {
        last = std::max(last, tag.timestamp);
        if (tag.kind != vv::FlvTag::Video || tag.avcPacketType != 1) continue;
        const qsizetype at = qsizetype(tag.offset) + 11 + 2;
        const std::uint32_t cts = n % 3 == 0 ? 0x7fffffu : n % 3 == 1 ? 0x800000u : 0x000010u;
        wild[at] = char(cts >> 16);
        wild[at + 1] = char(cts >> 8);
        wild[at + 2] = char(cts);
        ++n;
    }
    vv::FlvPlayback playback(wild);
    playback.advance(0);
    int steps = 0;
    while (!playback.atEnd() && steps++ < 1000) {
        playback.advance(100);
        playback.picture();
    }
    EXPECT_TRUE(playback.atEnd());
    EXPECT_LE(playback.timeMs(), last + 1200.0);
    playback.seek(500);
    playback.advance(0);
    playback.picture();
}
