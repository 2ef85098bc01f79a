#include "player/player.h"

#include <algorithm>

#include "player/movie.h"
#include "player/render/shape_paths.h"

namespace vistrel::player {

Player::Player(std::shared_ptr<const Movie> movie) : m_movie(std::move(movie)) { restart(); }

Player::~Player() {
    m_root.reset();   // children go before the budget they count against
}

void Player::restart() {
    m_root.reset();
    m_root = std::make_unique<SpriteInstance>(*m_movie, m_movie->rootTimeline(), 0, m_budget, nullptr);
    ++m_changes;
}

int Player::frameCount() const { return m_root->frameCount(); }

int Player::currentFrame() const { return m_root->currentFrame() + 1; }

void Player::nextFrame() {
    if (m_root->advance()) ++m_changes;
}

void Player::gotoFrame(int frame) {
    frame = std::clamp(frame, 1, frameCount());
    if (frame < currentFrame()) restart();
    while (currentFrame() < frame) m_root->advance();
    ++m_changes;
}

void Player::render(Renderer& renderer, const QTransform& stageToDevice, RenderQuality quality,
                    std::optional<swf::Rgba> background) const {
    renderer.beginFrame(background.value_or(m_movie->background()), stageToDevice, quality);
    renderDisplayList(*m_movie, *m_root, renderer, QTransform(), swf::ColorTransform{});
    renderer.endFrame();
}

namespace {

void drawObject(const Movie& movie, const DisplayObject& object, Renderer& renderer, const QTransform& m,
                const swf::ColorTransform& cx) {
    if (object.sprite) {
        renderDisplayList(movie, *object.sprite, renderer, m, cx);
        return;
    }
    const Character* c = movie.character(object.characterId);
    if (!c) return;
    if (std::holds_alternative<swf::DefineShape>(*c)) renderer.drawShape(movie.shapePaths(object.characterId), m, cx);
    else if (std::holds_alternative<swf::DefineMorphShape>(*c)) renderer.drawShape(movie.morphPaths(object.characterId, object.ratio), m, cx);
    else if (std::holds_alternative<swf::DefineText>(*c)) renderer.drawShape(movie.textPaths(object.characterId), m, cx);
    else if (std::holds_alternative<swf::DefineEditText>(*c)) renderer.drawShape(movie.editTextPaths(object.characterId), m, cx);
    else if (std::holds_alternative<BitmapCharacter>(*c)) renderer.drawShape(movie.bitmapPaths(object.characterId), m, cx);
}

}  // namespace

void renderDisplayList(const Movie& movie, const SpriteInstance& sprite, Renderer& renderer, const QTransform& m,
                       const swf::ColorTransform& cx) {
    std::vector<int> masks;   // clip depths of the masks in force, innermost last
    for (const auto& [depth, object] : sprite.children()) {
        while (!masks.empty() && depth > masks.back()) {
            renderer.endMask();
            masks.pop_back();
        }
        const QTransform objectMatrix = toQTransform(object->matrix) * m;
        const swf::ColorTransform objectCx = object->colorTransform.then(cx);
        if (object->clipDepth && *object->clipDepth > 0) {
            // A mask is never drawn itself; its shape clips the depths up to its clip depth.
            renderer.beginMask();
            drawObject(movie, *object, renderer, objectMatrix, objectCx);
            renderer.useMask();
            masks.push_back(*object->clipDepth);
            continue;
        }
        if (!object->visible) continue;
        const bool layer = !object->filters.empty() || object->blendMode != BlendMode::Normal;
        if (layer) renderer.beginLayer();
        drawObject(movie, *object, renderer, objectMatrix, objectCx);
        if (layer) renderer.endLayer(object->filters, object->blendMode);
    }
    while (!masks.empty()) {
        renderer.endMask();
        masks.pop_back();
    }
}

}  // namespace vistrel::player
