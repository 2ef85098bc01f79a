#include "player/display_list.h"

#include "player/movie.h"
#include "player/render/filters.h"
#include "player/timeline.h"

namespace vistrel::player {

SpriteInstance::SpriteInstance(const Movie& movie, const Timeline& timeline, std::uint16_t characterId,
                               ObjectBudget& budget, const SpriteInstance* parent)
    : m_movie(movie), m_timeline(timeline), m_characterId(characterId), m_budget(budget), m_parent(parent) {
    runFrame(0);
}

int SpriteInstance::frameCount() const { return m_timeline.frameCount(); }

int SpriteInstance::nesting() const {
    int n = 0;
    for (const SpriteInstance* p = m_parent; p; p = p->m_parent) ++n;
    return n;
}

void SpriteInstance::reset() {
    m_children.clear();
    m_frame = 0;
    runFrame(0);
}

bool SpriteInstance::advance() {
    bool changed = false;
    for (auto& [depth, child] : m_children)
        if (child->sprite && child->sprite->advance()) changed = true;
    const int count = frameCount();
    if (count <= 1) return changed;
    if (m_frame + 1 < count) {
        ++m_frame;
        runFrame(m_frame);
        return true;
    }
    // Looping: the first frame is built again, but objects that are still the same character at
    // the same depth keep their running state, as a jump back on a timeline does.
    auto previous = std::move(m_children);
    m_children.clear();
    m_frame = 0;
    runFrame(0);
    for (auto& [depth, child] : m_children) {
        auto old = previous.find(depth);
        if (old != previous.end() && old->second->characterId == child->characterId && old->second->sprite && child->sprite)
            child->sprite = std::move(old->second->sprite);
    }
    return true;
}

void SpriteInstance::runFrame(int index) {
    if (index < 0 || index >= static_cast<int>(m_timeline.frames.size())) return;
    for (const FrameCommand& command : m_timeline.frames[static_cast<std::size_t>(index)].commands) {
        if (const auto* p = std::get_if<swf::PlaceObject>(&command)) place(*p);
        else m_children.erase(std::get<swf::RemoveObject>(command).depth);
    }
}

static void applyProperties(DisplayObject& object, const swf::PlaceObject& p) {
    if (p.matrix) object.matrix = *p.matrix;
    if (p.colorTransform) object.colorTransform = *p.colorTransform;
    if (p.ratio) object.ratio = *p.ratio;
    if (p.name) object.name = *p.name;
    if (p.clipDepth) object.clipDepth = *p.clipDepth;
    if (p.blendMode) object.blendMode = blendModeFromByte(*p.blendMode);
    if (p.visible) object.visible = *p.visible;
    if (p.cacheAsBitmap) object.cacheAsBitmap = *p.cacheAsBitmap;
    if (p.filterList) {
        try {
            std::size_t consumed = 0;
            object.filters = parseFilterList(*p.filterList, consumed);
        } catch (const std::runtime_error&) {
            object.filters.clear();   // an unreadable list shows the object without filters
        }
    }
}

void SpriteInstance::place(const swf::PlaceObject& p) {
    auto existing = m_children.find(p.depth);
    if (p.move && existing != m_children.end()) {
        DisplayObject& object = *existing->second;
        if (p.character && *p.character != object.characterId) {
            // The character is replaced; the placement's other properties carry over.
            object.characterId = *p.character;
            object.sprite.reset();
            attachSprite(object);
        }
        applyProperties(object, p);
        return;
    }
    if (!p.character) return;
    if (m_budget.live >= ObjectBudget::kMaxObjects) return;
    auto object = std::make_unique<DisplayObject>(m_budget);
    object->characterId = *p.character;
    applyProperties(*object, p);
    attachSprite(*object);
    m_children[p.depth] = std::move(object);
}

void SpriteInstance::attachSprite(DisplayObject& object) {
    const Character* c = m_movie.character(object.characterId);
    if (!c) return;
    const Timeline* timeline = nullptr;
    if (const auto* s = std::get_if<SpriteCharacter>(c)) timeline = &s->timeline;
    else if (const auto* b = std::get_if<ButtonCharacter>(c)) timeline = &b->upState;
    if (!timeline) return;
    // A sprite that contains itself, directly or further down, would never end: it stays empty.
    for (const SpriteInstance* p = this; p; p = p->m_parent)
        if (p->m_characterId == object.characterId) return;
    if (nesting() >= ObjectBudget::kMaxNesting) return;
    object.sprite = std::make_unique<SpriteInstance>(m_movie, *timeline, object.characterId, m_budget, this);
}

}  // namespace vistrel::player
