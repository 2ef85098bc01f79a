#include "player/frame_bands.h"

#include <algorithm>

#include "player/render/damage.h"

namespace vistrel::player {

namespace {

// Shapes a loaded movie names that are kept between frames; past this the copies start afresh.
constexpr std::size_t kMaxKeptShapes = 4096;

}  // namespace

QPainterPath detachedPath(const QPainterPath& path) {
    QPainterPath copy = path;
    // Setting a point to where it is makes the copy take its own data.
    if (copy.elementCount() > 0) {
        const QPainterPath::Element first = copy.elementAt(0);
        copy.setElementPositionAt(0, first.x, first.y);
    }
    return copy;
}

ShapePaths detachedShape(const ShapePaths& shape) {
    ShapePaths copy;
    copy.bounds = shape.bounds;
    copy.clip = shape.clip;
    copy.clipFrom = shape.clipFrom;
    copy.items.reserve(shape.items.size());
    for (const DrawItem& item : shape.items) {
        DrawItem& own = copy.items.emplace_back(item);
        own.path = detachedPath(item.path);
        own.seams = detachedPath(item.seams);
        own.seamBand.reset();
        own.pieces.reset();
    }
    return copy;
}

void FrameReplay::beginFrame(swf::Rgba background, const QTransform& stageToDevice, RenderQuality quality) {
    m_calls.clear();
    m_filters.clear();
    m_frameShapes.clear();
    if (m_keyed.size() > kMaxKeptShapes) m_keyed.clear();
    m_quality = quality;
    m_smoothBitmaps = false;
    Call call(Kind::BeginFrame);
    call.background = background;
    call.m = stageToDevice;
    call.quality = quality;
    m_calls.push_back(call);
}

void FrameReplay::note(const ShapePaths& shape) {
    if (m_smoothBitmaps || m_quality == RenderQuality::Low) return;
    for (const DrawItem& item : shape.items) {
        const Paint& paint = item.paint;
        if (static_cast<std::uint8_t>(paint.type) >= 0x40 && !paint.image.isNull() &&
            (paint.smooth || m_quality == RenderQuality::Best)) {
            m_smoothBitmaps = true;
            return;
        }
    }
}

void FrameReplay::drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) {
    note(shape);
    Call call(Kind::Shape);
    call.m = m;
    call.cx = cx;
    call.shape = &m_frameShapes.emplace_back(detachedShape(shape));
    m_calls.push_back(call);
}

void FrameReplay::drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                                 std::uint64_t key) {
    note(shape);
    auto it = m_keyed.find(key);
    if (it == m_keyed.end()) it = m_keyed.emplace(key, detachedShape(shape)).first;
    Call call(Kind::Shape);
    call.m = m;
    call.cx = cx;
    call.shape = &it->second;   // map nodes stay put while others are added
    m_calls.push_back(call);
}

void FrameReplay::beginMask() { m_calls.push_back(Call(Kind::BeginMask)); }
void FrameReplay::useMask() { m_calls.push_back(Call(Kind::UseMask)); }
void FrameReplay::endMask() { m_calls.push_back(Call(Kind::EndMask)); }

void FrameReplay::beginLayer(const QTransform& m, const QRectF& bounds, bool filtered) {
    Call call(Kind::BeginLayer);
    call.m = m;
    call.bounds = bounds;
    call.filtered = filtered;
    m_calls.push_back(call);
}

void FrameReplay::endLayer(const std::vector<Filter>& filters, BlendMode mode) {
    Call call(Kind::EndLayer);
    call.mode = mode;
    call.filters = m_filters.size();
    m_filters.push_back(filters);
    m_calls.push_back(call);
}

void FrameReplay::endFrame() { m_calls.push_back(Call(Kind::EndFrame)); }

void FrameReplay::replay(Renderer& target) const {
    for (const Call& call : m_calls) {
        switch (call.kind) {
        case Kind::BeginFrame: target.beginFrame(call.background, call.m, call.quality); break;
        case Kind::Shape: target.drawShape(*call.shape, call.m, call.cx); break;
        case Kind::BeginMask: target.beginMask(); break;
        case Kind::UseMask: target.useMask(); break;
        case Kind::EndMask: target.endMask(); break;
        case Kind::BeginLayer: target.beginLayer(call.m, call.bounds, call.filtered); break;
        case Kind::EndLayer: target.endLayer(m_filters[call.filters], call.mode); break;
        case Kind::EndFrame: target.endFrame(); break;
        }
    }
}

void FrameReplay::forget() {
    m_calls.clear();
    m_filters.clear();
    m_frameShapes.clear();
    m_keyed.clear();
}

bool CutShortRenderer::late() {
    if (!m_cut && (m_clock ? m_clock() : std::chrono::steady_clock::now()) >= m_deadline) m_cut = true;
    return m_cut;
}

void CutShortRenderer::drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) {
    if (!late()) m_target.drawShape(shape, m, cx);
}

void CutShortRenderer::drawShapeKeyed(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx,
                                      std::uint64_t key) {
    if (!late()) m_target.drawShapeKeyed(shape, m, cx, key);
}

void CutShortRenderer::endLayer(const std::vector<Filter>& filters, BlendMode mode) {
    // The layer still closes, so masks and layers stay paired; its filters are what may take long.
    if (late()) m_target.abandonLayer(mode);
    else m_target.endLayer(filters, mode);
}

BandWorker::~BandWorker() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void BandWorker::start(std::function<void()> job) {
    {
        std::lock_guard lock(m_mutex);
        m_job = std::move(job);
        m_busy = true;
    }
    if (!m_thread.joinable()) m_thread = std::thread([this] { run(); });
    m_wake.notify_one();
}

void BandWorker::wait() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return !m_busy; });
}

void BandWorker::run() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_busy; });
        if (m_quit) return;
        std::function<void()> job = std::move(m_job);
        lock.unlock();
        // A band that fails (out of memory) leaves its rows as they were; the frame still completes.
        try {
            job();
        } catch (...) {
        }
        lock.lock();
        m_busy = false;
        m_done.notify_all();
    }
}

BandSplit balancedSplit(const FrameRecord& record, const QRegion& area, double aboveCost) {
    const QRect box = area.boundingRect();
    if (box.height() < 2) return {};
    // Work per row: clearing the repainted pixels, then every entry over the width it covers there.
    std::vector<double> change(static_cast<std::size_t>(box.height()) + 1, 0.0);
    const auto add = [&](const QRect& r, double weight) {
        const QRect c = r & box;
        if (c.isEmpty()) return;
        change[static_cast<std::size_t>(c.top() - box.top())] += weight * c.width();
        change[static_cast<std::size_t>(c.bottom() + 1 - box.top())] -= weight * c.width();
    };
    for (const QRect& r : area) add(r, 0.25);
    for (const DamageEntry& entry : record.entries) add(entry.rect, 1.0);
    double total = 0, running = 0;
    std::vector<double> row(static_cast<std::size_t>(box.height()));
    for (std::size_t y = 0; y < row.size(); ++y) {
        running += change[y];
        row[y] = running;
        total += running;
    }
    // Equal work: aboveCost * above == total - above.
    const double target = total / (1 + std::clamp(aboveCost, 0.01, 100.0));
    double sum = 0;
    for (std::size_t y = 0; y + 1 < row.size(); ++y) {
        sum += row[y];
        if (sum >= target) return {box.top() + static_cast<int>(y) + 1, sum, total - sum};
    }
    const std::size_t half = row.size() / 2;
    double above = 0;
    for (std::size_t y = 0; y < half; ++y) above += row[y];
    return {box.top() + static_cast<int>(half), above, total - above};
}

}  // namespace vistrel::player
