#include "player/frame_drawer.h"

#include <algorithm>
#include <cmath>
#include <chrono>
#include <exception>
#include <functional>
#include <thread>
#include <vector>

#include <QSemaphore>
#include <QThread>
#include <QThreadPool>
#include <QtGlobal>

#include "core/startup_trace.h"
#include "player/frame_bands.h"
#include "player/player.h"
#include "player/render/damage.h"
#include "player/render/layer_cache.h"
#include "player/render/qpainter_renderer.h"

namespace vistrel::player {

namespace {

// Past this share of the picture, repainting parts costs more than drawing it all.
constexpr double kMostOfTheFrame = 0.5;
// The repainted area is kept to this many rectangles: each costs every draw a clip test.
constexpr int kMaxRepaintRects = 8;
// Below this many repainted pixels a second thread costs more in copying the frame's calls and
// waking it than it saves.
constexpr int kDefaultSplitPixels = 160 * 1024;
// Split frames only while the filtered layers both bands would draw cover less than this share of the
// repainted area (filtering costs several times a plain fill per pixel).
constexpr double kMostTwice = 0.25;

int defaultBands() {
    // VISTREL_DRAW_BANDS=1 draws on one thread, to compare.
    bool ok = false;
    const int asked = qEnvironmentVariableIntValue("VISTREL_DRAW_BANDS", &ok);
    if (ok) return std::clamp(asked, 1, 2);
    return std::thread::hardware_concurrency() >= 2 ? 2 : 1;
}

// Runs `job` on a thread of Qt's shared pool and waits for it (here when the pool has none free). The
// raster engine hands the spans of every larger fill to that pool unless it already runs there: for the
// many small fills of text and outlines, waking its threads costs more than the fill, and the frame is
// already split across the cores when that pays.
void onPoolThread(const std::function<void()>& job) {
    QThreadPool* pool = QThreadPool::globalInstance();
    if (pool->contains(QThread::currentThread())) {
        job();
        return;
    }
    QSemaphore done;
    std::exception_ptr failure;
    const bool started = pool->tryStart([&] {
        try {
            job();
        } catch (...) {
            failure = std::current_exception();
        }
        done.release();
    });
    if (!started) {
        job();
        return;
    }
    done.acquire();
    if (failure) std::rethrow_exception(failure);
}

double areaOf(const QRegion& region) {
    double area = 0;
    for (const QRect& r : region) area += static_cast<double>(r.width()) * r.height();
    return area;
}

}  // namespace

struct FrameDrawer::State {
    std::unique_ptr<QPainterRenderer> renderer;
    const QImage* target = nullptr;   // what the renderer paints into
    LayerCache layers;
    FrameRecord shown;                // the recording of the frame the picture shows

    // The lower band of a split frame: a renderer of its own on the worker, painting the same pixels
    // through an image of its own over them, from a copy of the frame's calls.
    QImage bandCanvas;
    std::unique_ptr<QPainterRenderer> bandRenderer;
    FrameReplay replay;
    BandWorker worker;
    // Hairlines reached below a repaint's last row: draw on all the picture's rows until the view changes.
    bool wholeDevice = false;
    // What a unit of estimated work took in the upper band against one in the lower, as the last split
    // frames measured it (processor time of each band's thread): the estimate counts the pixels each
    // drawing covers, while the cost also follows its edges, and the upper band walks the display list too.
    double aboveCost = 1.0;
};

FrameDrawer::FrameDrawer()
    : m_bands(defaultBands()), m_splitPixels(kDefaultSplitPixels), m_state(std::make_unique<State>()) {}
FrameDrawer::~FrameDrawer() = default;
FrameDrawer::FrameDrawer(FrameDrawer&&) noexcept = default;
FrameDrawer& FrameDrawer::operator=(FrameDrawer&&) noexcept = default;

void FrameDrawer::setBands(int bands, int minPixels) {
    m_bands = std::clamp(bands, 1, 2);
    m_splitPixels = std::max(minPixels, 2);
}

bool FrameDrawer::shows(const Player& player, const FrameView& view) const {
    return m_player == &player && m_changeCount == player.changeCount() && m_view == view &&
           m_image.size() == view.size.expandedTo(QSize(1, 1));
}

bool FrameDrawer::update(const Player& player, const FrameView& view) {
    const std::uint64_t changes = player.changeCount();
    if (m_valid && m_player == &player && m_changeCount == changes && m_view == view) return false;
    if (!m_state) m_state = std::make_unique<State>();
    State& state = *m_state;
    const QSize size = view.size.expandedTo(QSize(1, 1));
    bool full = !m_valid || m_player != &player || !(m_view == view) || m_image.size() != size || !m_partial;
    if (m_image.size() != size) m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    if (!state.renderer || state.target != &m_image) {
        // The renderer keeps a reference to the picture it paints: a moved drawer gets a new one.
        state.renderer = std::make_unique<QPainterRenderer>(m_image);
        state.target = &m_image;
    }

    // What the frame paints, to compare with what the picture shows.
    DamageRecorder recorder;
    player.render(recorder, view.stageToDevice, view.quality, view.background);
    FrameRecord record = recorder.take();
    QRegion area;
    if (!full && !(record.background == state.shown.background)) full = true;
    if (!full) {
        std::vector<QRect> changed = changedRects(state.shown, record);
        // Most of the picture surely changed: merging hundreds of pieces to learn as much costs the
        // frame more than the rest of its bookkeeping.
        if (coveredShare(changed, m_image.rect()) > kMostOfTheFrame) {
            full = true;
        } else {
            for (const QRect& r : mergeRects(std::move(changed), kMaxRepaintRects)) area |= r & m_image.rect();
            if (areaOf(area) > kMostOfTheFrame * size.width() * size.height()) full = true;
        }
    }
    if (full) {
        area = QRegion(m_image.rect());
        if (!(m_view == view) || m_player != &player) {
            state.layers.clear();
            state.replay.forget();
            state.wholeDevice = false;
            state.aboveCost = 1.0;
        }
    }
    m_player = &player;
    m_changeCount = changes;
    m_view = view;
    m_valid = true;
    m_repainted = area;
    m_lastBands = 1;
    m_cutShort = false;
    if (area.isEmpty()) {
        state.shown = std::move(record);
        return false;   // nothing visible changed
    }
    state.layers.beginFrame();
    const auto deadline = (m_clock ? m_clock() : std::chrono::steady_clock::now()) + m_timeLimit;
    QPainterRenderer& renderer = *state.renderer;
    // Long filter work stops at the limit too (checked between passes, from either band's thread).
    const std::function<bool()> late = [&] { return (m_clock ? m_clock() : std::chrono::steady_clock::now()) >= deadline; };
    renderer.setStop(late);
    renderer.setRowLimit(!state.wholeDevice);
    renderer.setLayerPlan(&record.layers);
    renderer.setLayerCache(&state.layers);
    const BandSplit planned = m_bands > 1 && areaOf(area) >= m_splitPixels ? balancedSplit(record, area, state.aboveCost) : BandSplit{};
    int split = planned.row;
    if (split >= 0) {
        // Filtered layers are drawn whole by each band (their filters reach across the split): when
        // those not in the cache cover much of the area, two threads would do more than they save.
        double twice = 0;
        const QRect bounds = area.boundingRect();
        for (const LayerPlan& plan : record.layers) {
            if (!plan.valid || !plan.bitmap || state.layers.contains(plan.signature)) continue;
            const QRect r = plan.rect & bounds;
            if (!r.isEmpty()) twice += static_cast<double>(r.width()) * r.height();
        }
        if (twice > kMostTwice * areaOf(area)) split = -1;
    }
    if (split >= 0) {
        player.render(state.replay, view.stageToDevice, view.quality, view.background);
        if (state.replay.smoothBitmaps()) split = -1;
    }
    m_lastBands = split < 0 ? 1 : 2;
    bool cut = false;
    if (split < 0) {
        renderer.setRepaintArea(full ? QRegion() : area);
        onPoolThread([&] {
            CutShortRenderer limited(renderer, deadline, m_clock);
            player.render(limited, view.stageToDevice, view.quality, view.background);
            cut = limited.cutShort();
        });
    } else {
        // Each band is a partial repaint of its own rows in the picture's own coordinates, so edges
        // crossing the split are rasterised as one thread would.
        const QRegion top = area & QRect(0, 0, size.width(), split);
        const QRegion bottom = area & QRect(0, split, size.width(), size.height() - split);
        // The worker paints through an image of its own over the same pixels (taken after the picture
        // has its own, unshared pixels): the two threads never touch one QImage object.
        uchar* pixels = m_image.bits();
        state.bandCanvas = QImage(pixels, size.width(), size.height(), m_image.bytesPerLine(), m_image.format());
        if (!state.bandRenderer) state.bandRenderer = std::make_unique<QPainterRenderer>(state.bandCanvas);
        QPainterRenderer& lower = *state.bandRenderer;
        lower.setRowLimit(!state.wholeDevice);
        lower.setStop(late);
        lower.setRepaintArea(bottom);
        lower.setLayerPlan(&record.layers);
        lower.setLayerCache(&state.layers);
        bool lowerCut = false;
        double aboveTime = 0, belowTime = 0;
        const auto lowerBand = [&] {
            const double start = threadCpuMs();
            CutShortRenderer limited(lower, deadline, m_clock);
            state.replay.replay(limited);
            lowerCut = limited.cutShort();
            belowTime = threadCpuMs() - start;
        };
        // On a thread of the shared pool when one is free (see onPoolThread), else on the drawer's own.
        QSemaphore lowerDone;
        const bool pooled = QThreadPool::globalInstance()->tryStart([&] {
            // A band that fails (out of memory) leaves its rows as they were; the frame still completes.
            try {
                lowerBand();
            } catch (...) {
            }
            lowerDone.release();
        });
        if (!pooled) state.worker.start(lowerBand);
        {
            // The lower band uses what lives in this scope: it is waited for however the drawing here ends.
            struct Join {
                BandWorker& worker;
                QSemaphore& done;
                bool pooled;
                ~Join() {
                    if (pooled) done.acquire();
                    else worker.wait();
                }
            } join{state.worker, lowerDone, pooled};
            renderer.setRepaintArea(top);
            onPoolThread([&] {
                const double start = threadCpuMs();
                CutShortRenderer limited(renderer, deadline, m_clock);
                player.render(limited, view.stageToDevice, view.quality, view.background);
                cut = limited.cutShort();
                aboveTime = threadCpuMs() - start;
            });
        }
        lower.setLayerPlan(nullptr);
        lower.setStop({});
        cut = cut || lowerCut || lower.filtersStopped();
        // Half way from the last judgement to this frame's: frames change little from one to the next,
        // and one disturbed measurement moves the split only a little.
        constexpr double kMinMeasured = 0.05;   // milliseconds: below this the clock says little
        if (!cut && aboveTime > kMinMeasured && belowTime > kMinMeasured && planned.above > 0 && planned.below > 0) {
            const double seen = (aboveTime / planned.above) / (belowTime / planned.below);
            state.aboveCost = std::clamp(std::sqrt(state.aboveCost * seen), 0.1, 10.0);
        }
    }
    // A hairline reached below the rows a band drew on: the frame is drawn once more on all the
    // picture's rows, on this thread, and so are the frames after it until the view changes.
    if (renderer.wantedWholeDevice() || (split >= 0 && state.bandRenderer->wantedWholeDevice())) {
        state.wholeDevice = true;
        if (!cut) {
            m_lastBands = 1;
            renderer.setRowLimit(false);
            renderer.setRepaintArea(full ? QRegion() : area);
            CutShortRenderer limited(renderer, deadline, m_clock);
            player.render(limited, view.stageToDevice, view.quality, view.background);
            cut = limited.cutShort();
        }
    }
    cut = cut || renderer.filtersStopped();
    renderer.setStop({});
    renderer.setLayerPlan(nullptr);
    m_cutShort = cut;
    if (cut) m_valid = false;   // the next update draws the whole picture again
    state.shown = std::move(record);
    return true;
}

}  // namespace vistrel::player
