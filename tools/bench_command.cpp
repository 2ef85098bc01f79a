#include "tools/bench_command.h"

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iomanip>
#include <iostream>
#include <vector>

#include "player/frame_drawer.h"
#include "player/movie.h"
#include "player/player.h"
#include "player/render/qpainter_renderer.h"
#include "player/stage_view.h"
#include "tools/command_line.h"
#include "tools/info_command.h"

namespace vistrel::tools {

namespace {

using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The value below which `share` of the sorted samples lie (nearest rank).
double percentile(const std::vector<double>& sorted, double share) {
    if (sorted.empty()) return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(share * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

// Processor time of every thread of the process: on a busy machine the clock on the wall mostly
// measures the other programs, this what the drawing itself cost.
double processorMilliseconds() {
    timespec t{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t) != 0) return 0;
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

double peakResidentMegabytes() {
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0) return 0;
    return static_cast<double>(usage.ru_maxrss) / 1024.0;   // Linux gives kilobytes
}

}  // namespace

int benchCommand(const QStringList& args) {
    const CommandLine command("bench", "[--size WxH] [--frames N] [--quality low|medium|high|best] [--verify] [--frame-times] FILE");
    // --verify also draws every frame whole and counts the frames whose repainted picture differs.
    QStringList rest = args;
    const bool verify = rest.removeAll(QStringLiteral("--verify")) > 0;
    // --frame-times also prints each frame's draw time, to find which frames are slow.
    const bool frameTimes = rest.removeAll(QStringLiteral("--frame-times")) > 0;
    const auto options = command.parse(rest, {"--frames", "--quality", "--size"});
    if (!options) return kExitNotMovie;
    const int frames = options->frames.value_or(120);
    const QSize viewSize = options->size.value_or(QSize());
    const player::RenderQuality quality = options->quality.value_or(player::RenderQuality::High);
    const QStringList& positional = options->positional;
    if (positional.size() != 1) return command.usageError("expected FILE");
    int exitCode = kExitOk;
    const auto movie = command.openMovie(positional[0], exitCode);
    if (!movie) return exitCode;

    const QRectF stage = movie->stageRect();
    const QSize size = viewSize.isValid()
                           ? viewSize
                           : QSize(std::max(1, static_cast<int>(std::lround(stage.width() / 20))),
                                   std::max(1, static_cast<int>(std::lround(stage.height() / 20))));
    const player::FrameView view{size, player::stageToDevice(stage, QSizeF(size), player::ScaleMode::ShowAll, 1.0),
                                 quality, std::nullopt};
    const double rate = movie->playbackRate();
    const double budget = 1000.0 / rate;

    std::vector<double> draws, advances, drawCpu;
    int redrawn = 0, mismatched = 0;
    player::FrameDrawer drawer;
    const auto loadStart = Clock::now();
    player::Player player(movie, {}, player::DateClock::Frames);   // runs the first frame
    advances.push_back(millisecondsSince(loadStart));
    for (int frame = 0; frame < frames; ++frame) {
        if (frame > 0) {
            const auto start = Clock::now();
            player.nextFrame();
            advances.push_back(millisecondsSince(start));
        }
        const auto start = Clock::now();
        const double cpuStart = processorMilliseconds();
        if (drawer.update(player, view)) ++redrawn;
        draws.push_back(millisecondsSince(start));
        drawCpu.push_back(processorMilliseconds() - cpuStart);
        if (verify) {
            QImage whole(drawer.image().size(), QImage::Format_ARGB32_Premultiplied);
            player::QPainterRenderer renderer(whole);
            player.render(renderer, view.stageToDevice, view.quality, view.background);
            if (whole != drawer.image()) ++mismatched;
        }
    }
    if (frameTimes)
        for (std::size_t i = 0; i < draws.size(); ++i)
            std::cout << "frame_ms " << i + 1 << " " << std::fixed << std::setprecision(3) << draws[i] << "\n";
    const int overHalf = static_cast<int>(std::count_if(draws.begin(), draws.end(), [&](double t) { return t > budget / 2; }));
    std::sort(draws.begin(), draws.end());
    std::sort(advances.begin(), advances.end());
    std::sort(drawCpu.begin(), drawCpu.end());
    std::cout << std::fixed << std::setprecision(3)
              << "frames " << frames << "\n"
              << "budget_ms " << budget << "\n"
              << "median_ms " << percentile(draws, 0.5) << "\n"
              << "p95_ms " << percentile(draws, 0.95) << "\n"
              << "max_ms " << draws.back() << "\n"
              << "over_half " << overHalf << "\n"
              << "redrawn " << redrawn << "\n"
              << "cpu_median_ms " << percentile(drawCpu, 0.5) << "\n"
              << "cpu_p95_ms " << percentile(drawCpu, 0.95) << "\n"
              << "advance_median_ms " << percentile(advances, 0.5) << "\n"
              << std::setprecision(1) << "peak_rss_mb " << peakResidentMegabytes() << "\n";
    if (verify) std::cout << "mismatched_frames " << mismatched << "\n";
    return kExitOk;
}

}  // namespace vistrel::tools
