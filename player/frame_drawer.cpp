#include "player/frame_drawer.h"

#include "player/player.h"
#include "player/render/qpainter_renderer.h"

namespace vistrel::player {

bool FrameDrawer::update(const Player& player, const FrameView& view) {
    const std::uint64_t changes = player.changeCount();
    if (m_valid && m_player == &player && m_changeCount == changes && m_view == view) return false;
    const QSize size = view.size.expandedTo(QSize(1, 1));
    if (m_image.size() != size) m_image = QImage(size, QImage::Format_ARGB32_Premultiplied);
    QPainterRenderer renderer(m_image);
    player.render(renderer, view.stageToDevice, view.quality, view.background);
    m_player = &player;
    m_changeCount = changes;
    m_view = view;
    m_valid = true;
    return true;
}

}  // namespace vistrel::player
