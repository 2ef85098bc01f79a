// Prints decode and draw time per video frame, at the movie's size and at 1920 x 1080. Not a test: run
// it by hand, with movies to measure as arguments, or with none to measure clips it encodes with the
// ffmpeg command (Sorenson H.263 and Screen Video at 640 x 480).
#include <algorithm>
#include <cstdio>
#include <ctime>

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
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

QByteArray encodedMovie(const char* codec, std::uint8_t swfCodec) {
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("clip.flv"));
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"),
                                       QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
                                       QStringLiteral("testsrc=size=640x480:rate=25"), QStringLiteral("-frames:v"),
                                       QStringLiteral("100"), QStringLiteral("-c:v"), QString::fromLatin1(codec), out});
    if (!p.waitForFinished(300000) || p.exitCode() != 0) return {};
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray flv = f.readAll();
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
    if (argc > 1) {
        for (int i = 1; i < argc; ++i) {
            QFile f(QString::fromLocal8Bit(argv[i]));
            if (!f.open(QIODevice::ReadOnly)) {
                std::printf("%s: cannot read\n", argv[i]);
                continue;
            }
            report(argv[i], f.readAll());
        }
        return 0;
    }
    for (const auto& [codec, id, name] : {std::tuple{"flv1", 2, "Sorenson H.263 640x480"},
                                          std::tuple{"flashsv", 3, "Screen Video 640x480"}}) {
        const QByteArray movie = encodedMovie(codec, static_cast<std::uint8_t>(id));
        if (movie.isEmpty()) std::printf("%-40s the ffmpeg command could not encode a clip\n", name);
        else report(name, movie);
    }
    return 0;
}
