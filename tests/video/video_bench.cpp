// Prints decode and draw time per video frame, at the movie's size and at 1920 x 1080. Not a test: run
// it by hand, with movies to measure as arguments, or with none to measure clips it encodes with the
// ffmpeg command: embedded in a movie (Sorenson H.263, Screen Video) and played from an FLV file as a
// script's stream does (H.263, Screen Video 1 and 2, H.264), at 640 x 480 and 1920 x 1080, or at the
// size `--size WxH` gives. The ffmpeg command has no VP6 encoder: pass a movie holding VP6 video to
// measure that codec.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <cstdio>
#include <ctime>
#include <map>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "player/swf/parser.h"
#include "player/video/flv_playback.h"
#include "player/video/video_decoder.h"
#include "player/video/flv_reader.h"
#include "tests/support/swf_writer.h"

namespace sw = vistrel::testing;
namespace vp = vistrel::player;

namespace {

double measure(const std::shared_ptr<vp::Movie>& movie, QSize size, int frames) {
    vp::Player player(movie);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    vp::QPainterRenderer renderer(image);
    const QTransform toDevice = vp::stageToDevice(movie->stageRect(), QSizeF(size), vp::ScaleMode::ShowAll, 1);
    // Processor time: the figures stay comparable on a busy machine.
    const std::clock_t start = std::clock();
    for (int i = 0; i < frames; ++i) {
        player.render(renderer, toDevice, vp::RenderQuality::High);
        player.nextFrame();
    }
    return 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC / frames;
}

void report(const char* name, const QByteArray& bytes) {
    const std::span<const std::uint8_t> data(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    auto movie = vp::Movie::fromBytes(data);
    if (!movie->isValid()) {
        std::printf("%-40s not a movie\n", name);
        return;
    }
    const int frames = std::min(movie->rootTimeline().frameCount(), 300);
    const QRectF stage = movie->stageRect();
    const QSize own(std::max(1, int(stage.width() / 20)), std::max(1, int(stage.height() / 20)));
    // A fresh movie for each size, so that each run decodes every frame itself.
    const double atOwn = measure(vp::Movie::fromBytes(data), own, frames);
    const double atFullHd = measure(vp::Movie::fromBytes(data), QSize(1920, 1080), frames);
    std::printf("%-40s %4dx%-4d %7.2f ms/frame   1920x1080 %7.2f ms/frame   (%d frames)\n", name, own.width(),
                own.height(), atOwn, atFullHd, frames);
}

// 100 frames of a test picture at 25 frames per second, as an FLV file; empty when ffmpeg fails.
QByteArray encodedFlv(const char* codec, QSize size) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("clip.flv"));
    QStringList args{QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-f"),
                     QStringLiteral("lavfi"), QStringLiteral("-i"),
                     QStringLiteral("testsrc=size=%1x%2:rate=25").arg(size.width()).arg(size.height()),
                     QStringLiteral("-frames:v"), QStringLiteral("100"), QStringLiteral("-c:v")};
    // "libx264+b": H.264 with B-frames, whose pictures the decoder hands out late and reordered.
    const bool bFrames = std::strcmp(codec, "libx264+b") == 0;
    args << (bFrames ? QStringLiteral("libx264") : QString::fromLatin1(codec));
    if (std::strcmp(codec, "libx264") == 0) args << QStringLiteral("-bf") << QStringLiteral("0");
    if (bFrames) args << QStringLiteral("-bf") << QStringLiteral("3");
    args << out;
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), args);
    if (!p.waitForFinished(300000) || p.exitCode() != 0) return {};
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

// A stream played from an FLV file as a script's NetStream plays it: processor time per frame for
// decoding (on whichever thread does it) and for drawing, and the share of one core that takes at the
// clip's 25 frames per second.
void reportStream(const char* name, const QByteArray& flv, QSize size) {
    if (flv.isEmpty()) {
        std::printf("%-40s the ffmpeg command could not encode a clip\n", name);
        return;
    }
    constexpr double kFps = 25;
    vp::video::FlvPlayback playback(flv);
    QImage target(size, QImage::Format_ARGB32_Premultiplied);
    double drawMs = 0, waitMs = 0;
    int frames = 0;
    playback.advance(0);
    const std::clock_t begin = std::clock();
    while (!playback.atEnd() && frames < 300) {
        playback.advance(1000 / kFps);
        const auto wall = std::chrono::steady_clock::now();
        const QImage picture = playback.picture();
        waitMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
        const std::clock_t decoded = std::clock();
        {
            QPainter painter(&target);
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), picture);
        }
        drawMs += 1000.0 * double(std::clock() - decoded) / CLOCKS_PER_SEC;
        ++frames;
    }
    // Processor time of every thread over the run, so that decoding on the worker counts too.
    const double decodeMs = 1000.0 * double(std::clock() - begin) / CLOCKS_PER_SEC - drawMs;
    if (!frames) {
        std::printf("%-40s no frames\n", name);
        return;
    }
    const double perFrame = (decodeMs + drawMs) / frames;
    std::printf("%-40s %4dx%-4d decode %6.2f ms  draw %6.2f ms  waited (wall) %6.2f ms/frame  %5.1f%% of a core at 25 fps%s\n",
                name, size.width(), size.height(), decodeMs / frames, drawMs / frames, waitMs / frames,
                100.0 * perFrame / (1000 / kFps), playback.decodesOnThread() ? "  (decoded ahead on a thread)" : "");
}

// Decoding alone, for each video stream of a movie: its frames in order from the first, over again until
// 100 have been decoded (a movie of one key frame still gives a steady figure), processor time per frame at
// the size the frames are coded at.
void reportDecoding(const char* name, const QByteArray& bytes) {
    const auto parsed = vistrel::swf::parseMovie(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), std::size_t(bytes.size())));
    std::map<int, int> codecs;
    std::map<int, std::vector<const std::vector<std::uint8_t>*>> frames;
    for (const auto& t : parsed.tags) {
        if (const auto* d = std::get_if<vistrel::swf::DefineVideoStream>(&t.tag)) codecs[d->id] = d->codec;
        if (const auto* f = std::get_if<vistrel::swf::VideoFrame>(&t.tag)) frames[f->streamId].push_back(&f->data);
    }
    for (const auto& [id, list] : frames) {
        const auto codec = codecs.count(id) ? vp::video::codecFromId(codecs[id]) : std::nullopt;
        if (!codec || list.empty()) continue;
        vp::video::Decoder decoder(*codec);
        QSize coded;
        const std::clock_t start = std::clock();
        int n = 0;
        while (n < 100) {
            decoder.reset();
            for (const auto* data : list) {
                const QImage image = decoder.decode(*data);
                if (!image.isNull()) coded = image.size();
                if (++n >= 100) break;
            }
        }
        const double ms = 1000.0 * double(std::clock() - start) / CLOCKS_PER_SEC / n;
        std::printf("%-40s stream %d, codec %d, coded %dx%d: decoding %6.2f ms/frame, %5.1f%% of a core at 25 fps\n",
                    name, id, codecs[id], coded.width(), coded.height(), ms, 100.0 * ms / 40.0);
    }
}

QByteArray encodedMovie(const char* codec, std::uint8_t swfCodec) {
    const QByteArray flv = encodedFlv(codec, QSize(640, 480));
    if (flv.isEmpty()) return {};
    const auto file = vp::video::readFlv(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(flv.data()), flv.size()));
    std::vector<sw::Bytes> tags;
    sw::ByteWriter def;
    def.u16(1).u16(100).u16(640).u16(480).u8(0).u8(swfCodec);
    tags.push_back(sw::tag(60, def.take()));
    std::uint16_t n = 0;
    for (const auto& t : file.tags) {
        if (t.kind != vp::video::FlvTag::Video) continue;
        sw::ByteWriter frame;
        frame.u16(1).u16(n).bytes(sw::Bytes(t.packet.begin(), t.packet.end()));
        tags.push_back(sw::tag(61, frame.take(), true));
        sw::PlaceSpec place{.depth = 1, .move = n > 0, .ratio = n};
        if (n == 0) place.characterId = 1;
        tags.push_back(sw::placeObject2(place));
        tags.push_back(sw::showFrame());
        ++n;
    }
    sw::MovieSpec spec;
    spec.widthTwips = 640 * 20;
    spec.heightTwips = 480 * 20;
    spec.frameRate = 25;
    spec.frameCount = n;
    const sw::Bytes movie = sw::movie(spec, tags);
    return QByteArray(reinterpret_cast<const char*>(movie.data()), static_cast<qsizetype>(movie.size()));
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    std::vector<QSize> sizes{QSize(640, 480), QSize(1920, 1080)};
    std::vector<const char*> movies;
    for (int i = 1; i < argc; ++i) {
        int w = 0, h = 0;
        if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc && std::sscanf(argv[i + 1], "%dx%d", &w, &h) == 2 &&
            w > 0 && h > 0 && w <= 4096 && h <= 4096) {
            sizes = {QSize(w, h)};
            ++i;
        } else {
            movies.push_back(argv[i]);
        }
    }
    if (!movies.empty()) {
        for (const char* path : movies) {
            QFile f(QString::fromLocal8Bit(path));
            if (!f.open(QIODevice::ReadOnly)) {
                std::printf("%s: cannot read\n", path);
                continue;
            }
            const QByteArray bytes = f.readAll();
            report(path, bytes);
            reportDecoding(path, bytes);
        }
        return 0;
    }
    std::printf("Played from an FLV file (processor time, all threads):\n");
    for (const QSize size : sizes)
        for (const auto& [codec, name] : {std::pair{"flv1", "Sorenson H.263"}, std::pair{"flashsv", "Screen Video"},
                                          std::pair{"flashsv2", "Screen Video 2"}, std::pair{"libx264", "H.264"},
                                          std::pair{"libx264+b", "H.264 with B-frames"}})
            reportStream(name, encodedFlv(codec, size), size);
    std::printf("Embedded in a movie:\n");
    for (const auto& [codec, id, name] : {std::tuple{"flv1", 2, "Sorenson H.263 640x480"},
                                          std::tuple{"flashsv", 3, "Screen Video 640x480"}}) {
        const QByteArray movie = encodedMovie(codec, static_cast<std::uint8_t>(id));
        if (movie.isEmpty()) std::printf("%-40s the ffmpeg command could not encode a clip\n", name);
        else report(name, movie);
    }
    return 0;
}
