#include "player/frame_drawer.h"

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
};

FrameDrawer::FrameDrawer() : m_state(std::make_unique<State>()) {}
FrameDrawer::~FrameDrawer() = default;
FrameDrawer::FrameDrawer(FrameDrawer&&) noexcept = default;
FrameDrawer& FrameDrawer::operator=(FrameDrawer&&) noexcept = default;

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
        for (const QRect& r : damageBetween(state.shown, record, kMaxRepaintRects)) area |= r & m_image.rect();
        if (areaOf(area) > kMostOfTheFrame * size.width() * size.height()) full = true;
    }
    if (full) {
        area = QRegion(m_image.rect());
        if (!(m_view == view) || m_player != &player) state.layers.clear();
    }
    m_player = &player;
    m_changeCount = changes;
    m_view = view;
    m_valid = true;
    m_repainted = area;
    if (area.isEmpty()) {
        state.shown = std::move(record);
        return false;   // nothing visible changed
    }
    state.layers.beginFrame();
    QPainterRenderer& renderer = *state.renderer;
    renderer.setRepaintArea(full ? QRegion() : area);
    renderer.setLayerPlan(&record.layers);
    renderer.setLayerCache(&state.layers);
    player.render(renderer, view.stageToDevice, view.quality, view.background);
    renderer.setLayerPlan(nullptr);
    state.shown = std::move(record);
    return true;
}

}  // namespace vistrel::player
