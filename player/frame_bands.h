// Drawing one large repaint as horizontal bands at once: the calling thread draws the top band
// straight from the display list, a worker thread draws the rest from a copy of the frame's drawing
// calls. Each band is the ordinary partial repaint of its rows, so the picture is the one a single
// thread would draw, pixel for pixel.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <QRegion>

#include "player/render/renderer.h"
#include "player/shape_paths.h"

namespace vistrel::player {

struct FrameRecord;

// A copy of `path` with point data of its own. Copies of a path share data in which Qt keeps
// conversions made while drawing, so one path must never be drawn by two threads at once.
QPainterPath detachedPath(const QPainterPath& path);
// The same for every outline of a shape; the seam bands a renderer made for the original stay behind.
ShapePaths detachedShape(const ShapePaths& shape);

// Records the drawing calls of a frame to play them to a renderer on another thread. Shapes are kept
// as detached copies: those a loaded movie names by key stay from frame to frame (so the renderer's
// per-shape caches keep working), the others are copied each frame.
class FrameReplay final : public Renderer {
public:
    void beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) override;
    void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) override;
    void drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                        std::uint64_t key) override;
    void beginMask() override;
    void useMask() override;
    void endMask() override;
    void beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) override;
    void endLayer(const std::vector<Filter>& filters, BlendMode mode) override;
    void endFrame() override;

    // Plays the recorded frame; the shapes it uses stay until the next beginFrame or forget.
    void replay(Renderer& target) const;
    // Whether the frame fills with smoothed bitmaps: the rasteriser samples those from where each run
    // of pixels starts, and a band edge can start a run elsewhere, so such frames stay on one thread.
    bool smoothBitmaps() const { return m_smoothBitmaps; }
    // Drops every copy (a new movie or view: keys may name other content).
    void forget();

private:
    enum class Kind : std::uint8_t { BeginFrame, Shape, BeginMask, UseMask, EndMask, BeginLayer, EndLayer, EndFrame };
    struct Call {
        explicit Call(Kind k) : kind(k) {}
        Kind kind;
        bool filtered = false;
        RenderQuality quality = RenderQuality::High;
        BlendMode mode = BlendMode::Normal;
        swf::Rgba background;
        QTransform m;
        QRectF bounds;
        swf::ColorTransform cx;
        const ShapePaths* shape = nullptr;
        std::size_t filters = 0;   // index into m_filters
    };
    void note(const ShapePaths& shape);

    std::vector<Call> m_calls;
    std::vector<std::vector<Filter>> m_filters;
    RenderQuality m_quality = RenderQuality::High;
    bool m_smoothBitmaps = false;
    std::deque<ShapePaths> m_frameShapes;                     // copies for this frame only
    std::unordered_map<std::uint64_t, ShapePaths> m_keyed;    // copies kept while their key names them
};

// Passes drawing on to `target` until `deadline`; past it, shapes are left out and filters no longer
// applied, so a frame too heavy to draw in time is shown as far as it got.
class CutShortRenderer final : public Renderer {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    // `clock` tells the time (the steady clock when empty); the two bands of a frame read it at once.
    CutShortRenderer(Renderer& target, std::chrono::steady_clock::time_point deadline, const Clock& clock = {})
        : m_target(target), m_deadline(deadline), m_clock(clock) {}
    void beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) override {
        m_target.beginFrame(background, stageToDevice, quality);
    }
    void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) override;
    void drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                        std::uint64_t key) override;
    void beginMask() override { m_target.beginMask(); }
    void useMask() override { m_target.useMask(); }
    void endMask() override { m_target.endMask(); }
    void beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) override {
        m_target.beginLayer(m, bounds, filtered);
    }
    void endLayer(const std::vector<Filter>& filters, BlendMode mode) override;
    void abandonLayer(BlendMode mode) override { m_target.abandonLayer(mode); }
    void endFrame() override { m_target.endFrame(); }

    bool cutShort() const { return m_cut; }

private:
    bool late();

    Renderer& m_target;
    std::chrono::steady_clock::time_point m_deadline;
    const Clock& m_clock;
    bool m_cut = false;
};

// One thread kept for drawing a band, waiting between frames.
class BandWorker {
public:
    BandWorker() = default;
    ~BandWorker();
    BandWorker(const BandWorker&) = delete;
    BandWorker& operator=(const BandWorker&) = delete;

    void start(std::function<void()> job);
    void wait();   // until the job started last is done

private:
    void run();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake, m_done;
    std::function<void()> m_job;
    bool m_busy = false;
    bool m_quit = false;
};

// Where `area` splits into two bands of drawing work: `row` is -1 when it cannot be split; `above` and
// `below` are the estimates of each band's work.
struct BandSplit {
    int row = -1;
    double above = 0, below = 0;
};

// The row at which `area` splits into two bands of about equal drawing work, judged by how much of
// each row the frame's entries cover, a unit of it above the split costing `aboveCost` times one below
// (what the bands took of late says how far the estimate misjudges either side).
BandSplit balancedSplit(const FrameRecord& record, const QRegion& area, double aboveCost = 1.0);

}  // namespace vistrel::player
