#include "tools/render_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iostream>
#include <vector>

#include <QImage>

#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tools/command_line.h"
#include "tools/info_command.h"
#include "tools/input_script.h"

namespace vistrel::tools {

int renderCommand(const QStringList& args) {
    const CommandLine command("render", "[--frames N] [--input EVENTS.json] [--quality low|medium|high|best] [--size WxH] [--time N] FILE OUT.png");
    const auto options = command.parse(args, {"--frames", "--input", "--quality", "--size", "--time"});
    if (!options) return kExitNotMovie;
    const int frames = options->frames.value_or(1);
    const QString& input = options->input;
    const int timings = options->time.value_or(0);   // draw the frame N times and print the median milliseconds
    const QSize viewSize = options->size.value_or(QSize());   // a view of this size instead of the stage size
    const player::RenderQuality quality = options->quality.value_or(player::RenderQuality::High);
    const QStringList& positional = options->positional;
    if (positional.size() != 2) return command.usageError("expected FILE and OUT.png");
    const QString file = positional[0], out = positional[1];
    int exitCode = kExitOk;
    std::optional<InputScript> script;
    if (!input.isEmpty() && !(script = loadInputScript(input, "render", exitCode))) return exitCode;
    const auto movie = command.openMovie(file, exitCode);
    if (!movie) return exitCode;
    player::Player player(movie, {}, player::DateClock::Frames);
    playWithInput(player, frames, script ? &*script : nullptr);
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
