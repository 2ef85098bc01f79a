#include "tools/render_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <vector>

#include <QFileInfo>
#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tools/info_command.h"

namespace vistrel::tools {

namespace {

int usageError(const char* text) {
    std::cerr << "vistrel-tool render: " << text << "\n"
              << "usage: vistrel-tool render [--frames N] [--quality low|medium|high|best] FILE OUT.png\n";
    return kExitNotMovie;
}

}  // namespace

int renderCommand(const QStringList& args) {
    int frames = 1;
    int timings = 0;     // --time N: draw the frame N times and print the median milliseconds
    QSize viewSize;      // --size WxH: draw into a view of this size instead of the stage size
    player::RenderQuality quality = player::RenderQuality::High;
    QStringList positional;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--frames")) {
            if (++i >= args.size()) return usageError("--frames needs a number");
            bool ok = false;
            frames = args[i].toInt(&ok);
            if (!ok || frames < 1 || frames > 1000000) return usageError("--frames needs a number from 1 to 1000000");
        } else if (a == QLatin1String("--quality")) {
            if (++i >= args.size()) return usageError("--quality needs a value");
            const QString q = args[i].toLower();
            if (q == QLatin1String("low")) quality = player::RenderQuality::Low;
            else if (q == QLatin1String("medium")) quality = player::RenderQuality::Medium;
            else if (q == QLatin1String("high")) quality = player::RenderQuality::High;
            else if (q == QLatin1String("best")) quality = player::RenderQuality::Best;
            else return usageError("--quality must be low, medium, high or best");
        } else if (a == QLatin1String("--size")) {
            if (++i >= args.size()) return usageError("--size needs WIDTHxHEIGHT");
            const QStringList parts = args[i].split(QLatin1Char('x'));
            bool okW = false, okH = false;
            if (parts.size() == 2) viewSize = QSize(parts[0].toInt(&okW), parts[1].toInt(&okH));
            if (!okW || !okH || viewSize.width() < 1 || viewSize.height() < 1 || viewSize.width() > 16384 || viewSize.height() > 16384)
                return usageError("--size needs WIDTHxHEIGHT, each from 1 to 16384");
        } else if (a == QLatin1String("--time")) {
            if (++i >= args.size()) return usageError("--time needs a count");
            bool ok = false;
            timings = args[i].toInt(&ok);
            if (!ok || timings < 1 || timings > 10000) return usageError("--time needs a count from 1 to 10000");
        } else {
            positional << a;
        }
    }
    if (positional.size() != 2) return usageError("expected FILE and OUT.png");
    const QString file = positional[0], out = positional[1];
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable()) {
        std::cerr << "vistrel-tool render: cannot read " << file.toStdString() << "\n";
        return kExitUnreadable;
    }
    auto movie = player::Movie::fromFile(file);
    if (!movie->isValid()) {
        const std::string why = movie->diagnostics().empty() ? "not an SWF movie" : movie->diagnostics().front().text;
        std::cerr << "vistrel-tool render: " << file.toStdString() << ": " << why << "\n";
        return kExitNotMovie;
    }
    player::Player player(movie);
    for (int i = 1; i < frames; ++i) player.nextFrame();
    const QRectF stage = movie->stageRect();
    const QSize size = viewSize.isValid() ? viewSize
                                          : QSize(std::max(1, static_cast<int>(std::lround(stage.width() / 20))),
                                                  std::max(1, static_cast<int>(std::lround(stage.height() / 20))));
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    player::QPainterRenderer renderer(image);
    // At the stage's own size the stage maps one to one, its top-left corner on the image's: a
    // fit into the rounded image size would scale by a hair and move every edge.
    const QTransform view = viewSize.isValid()
                                ? player::stageToDevice(stage, QSizeF(size), player::ScaleMode::ShowAll, 1.0)
                                : QTransform::fromScale(1 / 20.0, 1 / 20.0).translate(-stage.left(), -stage.top());
    std::vector<double> times;
    do {
        const auto start = std::chrono::steady_clock::now();
        player.render(renderer, view, quality);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    } while (static_cast<int>(times.size()) < timings);
    if (timings > 0) {
        std::sort(times.begin(), times.end());
        std::cout << "median_ms " << times[times.size() / 2] << "\n";
    }
    if (!image.convertToFormat(QImage::Format_ARGB32).save(out, "PNG")) {
        std::cerr << "vistrel-tool render: cannot write " << out.toStdString() << "\n";
        return kExitUnreadable;
    }
    return kExitOk;
}

}  // namespace vistrel::tools
