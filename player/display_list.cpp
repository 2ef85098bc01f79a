#include "player/display_list.h"

#include <algorithm>

#include "player/avm1/object.h"
#include "player/bitmap_surface.h"
#include "player/movie.h"
#include "player/render/filters.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"
#include "player/timeline.h"

namespace vistrel::player {

namespace {

// A clip made by createEmptyMovieClip plays this: one empty frame.
const Timeline& emptyTimeline() {
    static const Timeline empty;
    return empty;
}

bool sameName(const QString& a, const QString& b, bool ignoreCase) {
    return ignoreCase ? avm1::sameFolded(a, b) : a == b;
}

// Objects scripts can reach get a name even when the timeline gives none; shapes and static texts do not.
bool namedByDefault(const Movie& movie, std::uint16_t characterId) {
    const Character* c = movie.character(characterId);
    return c && (std::holds_alternative<SpriteCharacter>(*c) || std::holds_alternative<ButtonCharacter>(*c) ||
                 std::holds_alternative<swf::DefineEditText>(*c));
}

}  // namespace

DisplayObject::~DisplayObject() {
    if (script) script->setDisplay(nullptr);
    if (maskedBy) maskedBy->masking = nullptr;
    if (masking) masking->maskedBy = nullptr;
    --m_budget->live;
}

SpriteInstance::SpriteInstance(Stage& stage, const Timeline& timeline, std::uint16_t characterId,
                               DisplayObject* owner, SpriteInstance* parent)
    : m_stage(stage), m_movie(parent ? &parent->movie() : &stage.movie()), m_timeline(timeline),
      m_characterId(characterId), m_owner(owner), m_parent(parent) {
    m_serial = m_stage.registerSprite(*this);
}

SpriteInstance::SpriteInstance(Stage& stage, std::shared_ptr<const Movie> movie, DisplayObject* owner,
                               SpriteInstance* parent)
    : m_stage(stage), m_loadedMovie(std::move(movie)), m_movie(m_loadedMovie.get()),
      m_timeline(m_loadedMovie->rootTimeline()), m_characterId(0), m_owner(owner), m_parent(parent) {
    m_serial = m_stage.registerSprite(*this);
}

SpriteInstance::~SpriteInstance() {
    // Children go first, while their parent is still whole.
    m_children.clear();
    m_stage.unregisterSprite(m_serial);
}

int SpriteInstance::frameCount() const { return m_timeline.frameCount(); }

int SpriteInstance::nesting() const {
    int n = 0;
    for (const SpriteInstance* p = m_parent; p; p = p->m_parent) ++n;
    return n;
}

void SpriteInstance::start() {
    if (m_started) return;
    m_started = true;
    m_frame = 0;
    runFrame(0, true);
}

bool SpriteInstance::advance() {
    if (!m_started) {
        start();
        return true;
    }
    if (!m_playing) return false;
    const int count = frameCount();
    if (count <= 1) return false;
    if (m_frame + 1 < count) {
        ++m_frame;
        runFrame(m_frame, true);
    } else {
        if (!m_timeline.loops) return false;
        gotoFrame(0, true);
    }
    return true;
}

void SpriteInstance::runFrame(int index, bool runScripts) {
    if (index < 0 || index >= static_cast<int>(m_timeline.frames.size())) return;
    const Frame& frame = m_timeline.frames[static_cast<std::size_t>(index)];
    if (runScripts)
        for (std::uint16_t sprite : frame.initActions) m_stage.queueInitActions(*this, sprite);
    if (runScripts) m_stage.sound().frameReached(*this, index);
    for (const FrameCommand& command : frame.commands) {
        if (const auto* p = std::get_if<swf::PlaceObject>(&command)) {
            place(*p, index);
        } else if (const auto* r = std::get_if<swf::RemoveObject>(&command)) {
            // Whatever sits at the depth goes, whoever made it.
            removeByTimeline(r->depth);
        } else if (runScripts && m_owner) {
            m_stage.queueActions(*m_owner, std::get<swf::DoAction>(command).actions);
        }
    }
}

void SpriteInstance::gotoFrame(int frame, bool runScripts) {
    if (!m_started) start();
    frame = std::clamp(frame, 0, frameCount() - 1);
    if (frame == m_frame) return;
    if (frame > m_frame) {
        // Forward: the frames in between place and remove, only the target's scripts run.
        while (m_frame < frame) {
            ++m_frame;
            runFrame(m_frame, runScripts && m_frame == frame);
        }
        m_stage.touch();
        return;
    }
    // Backward: work out what the timeline holds at the target frame, keep what matches, remove the
    // rest, place what is missing. Objects made by scripts are not the timeline's and stay.
    struct Wanted {
        swf::PlaceObject place;
        int frame = 0;
    };
    std::map<int, Wanted> wanted;
    for (int f = 0; f <= frame && f < static_cast<int>(m_timeline.frames.size()); ++f) {
        for (const FrameCommand& command : m_timeline.frames[static_cast<std::size_t>(f)].commands) {
            if (const auto* p = std::get_if<swf::PlaceObject>(&command)) {
                auto it = wanted.find(p->depth);
                if (p->move && it != wanted.end()) {
                    swf::PlaceObject& w = it->second.place;
                    // As when playing forward, only what shows no timeline or text changes character.
                    if (p->character && w.character && !namedByDefault(movie(), *w.character) &&
                        !namedByDefault(movie(), *p->character))
                        w.character = p->character;
                    if (p->matrix) w.matrix = p->matrix;
                    if (p->colorTransform) w.colorTransform = p->colorTransform;
                    if (p->ratio) w.ratio = p->ratio;
                    if (p->clipDepth) w.clipDepth = p->clipDepth;
                    if (p->blendMode) w.blendMode = p->blendMode;
                    if (p->visible) w.visible = p->visible;
                    if (p->cacheAsBitmap) w.cacheAsBitmap = p->cacheAsBitmap;
                    if (p->filterList) w.filterList = p->filterList;
                } else if (!p->move && p->character && it == wanted.end()) {
                    // A placement on a depth already taken is refused, as when playing forward.
                    Wanted w{*p, f};
                    w.place.move = false;
                    wanted[p->depth] = std::move(w);
                }
            } else if (const auto* r = std::get_if<swf::RemoveObject>(&command)) {
                wanted.erase(r->depth);
            }
        }
    }
    // Objects in the scripts' range of depths stay whoever made them. In the timeline's range a depth the
    // target frame leaves empty loses what sits there. Where it holds something, a timeline clip with the
    // placement's ratio stays, whichever frame placed it and whatever its character (one a script swapped
    // there too); other timeline objects stay when their character matches as well. Script-made objects go.
    // The unload events of what goes run after the target frame's scripts.
    const std::size_t queuedBefore = m_stage.queuedScripts();
    std::vector<int> gone;
    for (const auto& [depth, child] : m_children) {
        if (depth >= kScriptDepthOffset || child->pendingRemoval) continue;
        auto it = wanted.find(depth);
        if (it == wanted.end() || !it->second.place.character || child->placedByScript) {
            gone.push_back(depth);
            continue;
        }
        const swf::PlaceObject& w = it->second.place;
        if (w.ratio.value_or(0) != child->ratio || (!child->sprite && *w.character != child->characterId))
            gone.push_back(depth);
    }
    for (int depth : gone) removeByTimeline(depth);
    const std::size_t unloads = m_stage.queuedScripts() - queuedBefore;
    m_frame = frame;
    for (const auto& [depth, w] : wanted) {
        auto it = m_children.find(depth);
        if (it == m_children.end()) {
            place(w.place, w.frame);
        } else if (!it->second->placedByScript && !it->second->swappedByScript) {
            // What the target frame does not say is the placement's default, not what a later
            // frame left behind.
            swf::PlaceObject whole = w.place;
            if (!whole.matrix) whole.matrix = swf::Matrix{};
            if (!whole.colorTransform) whole.colorTransform = swf::ColorTransform{};
            if (!whole.ratio) whole.ratio = 0;
            applyPlacement(*it->second, whole);
        }
    }
    if (runScripts && frame < static_cast<int>(m_timeline.frames.size())) {
        const Frame& target = m_timeline.frames[static_cast<std::size_t>(frame)];
        for (std::uint16_t sprite : target.initActions) m_stage.queueInitActions(*this, sprite);
        m_stage.sound().frameReached(*this, frame);
        if (m_owner)
            for (const FrameCommand& command : target.commands)
                if (const auto* a = std::get_if<swf::DoAction>(&command)) m_stage.queueActions(*m_owner, a->actions);
    }
    m_stage.sendQueuedToBack(queuedBefore, unloads);
    m_stage.touch();
}

void SpriteInstance::applyPlacement(DisplayObject& object, const swf::PlaceObject& p) {
    // What a script set stays: the timeline no longer moves or tints the object.
    if (!object.transformedByScript) {
        if (p.matrix) object.matrix = *p.matrix;
        if (p.colorTransform) object.colorTransform = *p.colorTransform;
    }
    if (p.ratio) object.ratio = *p.ratio;
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

std::unique_ptr<DisplayObject> SpriteInstance::makeObject(int depth) {
    if (m_stage.budget().live >= ObjectBudget::kMaxObjects) return nullptr;
    auto object = std::make_unique<DisplayObject>(m_stage.budget());
    object->depth = depth;
    object->parent = this;
    return object;
}

void SpriteInstance::place(const swf::PlaceObject& p, int frame) {
    auto existing = m_children.find(p.depth);
    if (p.move) {
        if (existing == m_children.end() || existing->second->placedByScript || existing->second->swappedByScript)
            return;
        DisplayObject& object = *existing->second;
        // Only what has no timeline or text of its own takes another character this way; a clip stays
        // itself (and keeps its name: a move renames nothing).
        if (p.character && *p.character != object.characterId && !object.sprite && !object.text &&
            !namedByDefault(movie(), *p.character)) {
            // The character is replaced; the placement's other properties carry over.
            object.characterId = *p.character;
            object.sprite.reset();
            object.text.reset();
            attachCharacter(object);
            if (object.sprite) object.sprite->start();
        }
        applyPlacement(object, p);
        m_stage.touch();
        return;
    }
    if (!p.character) return;
    if (existing != m_children.end()) {
        // A new placement on an occupied depth is refused, with a warning in the trace.
        m_stage.trace(QStringLiteral("Warning: Failed to place object at depth %1.").arg(p.depth));
        return;
    }
    auto object = makeObject(p.depth);
    if (!object) return;
    object->characterId = *p.character;
    object->placedFrame = frame;
    object->clipActions = p.clipActions;
    if (p.name) object->name = movie().decodeString(*p.name);
    applyPlacement(*object, p);
    attachCharacter(*object);
    if (object->name.isEmpty() && namedByDefault(m_stage.movie(), object->characterId))
        object->name = m_stage.nextInstanceName();
    DisplayObject& placed = *object;
    m_children[p.depth] = std::move(object);
    m_stage.objectPlaced(placed);
    if (placed.sprite) placed.sprite->start();
    m_stage.touch();
}

void SpriteInstance::attachCharacter(DisplayObject& object) {
    const Movie& movie = this->movie();
    const Character* c = movie.character(object.characterId);
    if (!c) return;
    if (const auto* t = std::get_if<swf::DefineEditText>(c)) {
        object.text = std::make_unique<EditTextState>();
        object.text->text = movie.decodeString(t->initialText);
        object.text->html = t->html;
        object.text->variable = movie.decodeString(t->variableName);
        return;
    }
    const Timeline* timeline = nullptr;
    if (const auto* s = std::get_if<SpriteCharacter>(c)) timeline = &s->timeline;
    else if (const auto* b = std::get_if<ButtonCharacter>(c)) timeline = &b->upState;
    if (!timeline) return;
    // A sprite that contains itself, directly or further down, would never end: it stays empty.
    for (const SpriteInstance* p = this; p && p->m_movie == m_movie; p = p->m_parent)
        if (p->m_characterId == object.characterId) return;
    if (nesting() >= ObjectBudget::kMaxNesting) return;
    object.sprite = std::make_unique<SpriteInstance>(m_stage, *timeline, object.characterId, &object, this);
}

DisplayObject* SpriteInstance::childAt(int depth) const {
    auto it = m_children.find(depth);
    return it == m_children.end() ? nullptr : it->second.get();
}

DisplayObject* SpriteInstance::childByName(const QString& name) const {
    const bool ignoreCase = movie().header().version < 7;
    for (const auto& [depth, child] : m_children)
        if (!child->name.isEmpty() && sameName(child->name, name, ignoreCase)) return child.get();
    return nullptr;
}

DisplayObject* SpriteInstance::addChild(int depth, std::uint16_t characterId, const QString& name,
                                        const std::function<void(DisplayObject&)>& prepare) {
    if (nesting() >= ObjectBudget::kMaxNesting) return nullptr;
    if (m_children.count(depth)) removeChild(depth);
    auto object = makeObject(depth);
    if (!object) return nullptr;
    object->characterId = characterId;
    object->name = name;
    object->placedByScript = true;
    if (characterId == 0) {
        object->sprite = std::make_unique<SpriteInstance>(m_stage, emptyTimeline(), 0, object.get(), this);
    } else {
        attachCharacter(*object);
    }
    if (prepare) prepare(*object);
    DisplayObject& placed = *object;
    m_children[depth] = std::move(object);
    m_stage.objectPlaced(placed);
    if (placed.sprite) placed.sprite->start();
    m_stage.touch();
    return &placed;
}

DisplayObject* SpriteInstance::addBitmap(int depth, std::shared_ptr<const BitmapSurface> bitmap, bool smoothing) {
    if (!bitmap) return nullptr;
    if (m_children.count(depth)) removeChild(depth);
    auto object = makeObject(depth);
    if (!object) return nullptr;
    object->placedByScript = true;
    object->bitmap = std::move(bitmap);
    object->bitmapSmoothing = smoothing;
    DisplayObject& placed = *object;
    m_children[depth] = std::move(object);
    m_stage.touch();
    return &placed;
}

void SpriteInstance::removeChild(int depth) {
    auto it = m_children.find(depth);
    if (it == m_children.end()) return;
    m_stage.objectRemoving(*it->second);
    // Unload handlers may have moved or removed it already.
    it = m_children.find(depth);
    if (it == m_children.end()) return;
    std::unique_ptr<DisplayObject> gone = std::move(it->second);
    m_children.erase(it);
    gone.reset();
    m_stage.touch();
}

void SpriteInstance::removeByTimeline(int depth) {
    auto it = m_children.find(depth);
    if (it == m_children.end() || it->second->pendingRemoval) return;
    // It waits at the mirror of its depth below the timeline's range, where nothing else can be.
    const int waitDepth = -1 - depth;
    if (depth < 0 || m_children.count(waitDepth) || !m_stage.hasUnloadHandler(*it->second)) {
        removeChild(depth);
        return;
    }
    std::unique_ptr<DisplayObject> waiting = std::move(it->second);
    m_children.erase(it);
    waiting->depth = waitDepth;
    waiting->pendingRemoval = true;
    DisplayObject& object = *waiting;
    m_children[waitDepth] = std::move(waiting);
    m_stage.objectRemoving(object);
    m_stage.touch();
}

int SpriteInstance::dropPendingRemovals() {
    int dropped = 0;
    std::vector<int> gone;
    for (const auto& [depth, child] : m_children) {
        if (child->pendingRemoval) gone.push_back(depth);
        else if (child->sprite) dropped += child->sprite->dropPendingRemovals();
    }
    for (int depth : gone) {
        auto it = m_children.find(depth);
        if (it == m_children.end()) continue;
        std::unique_ptr<DisplayObject> object = std::move(it->second);
        m_children.erase(it);
        object.reset();
        ++dropped;
    }
    if (!gone.empty()) m_stage.touch();
    return dropped;
}

bool SpriteInstance::swapDepths(int depth, int otherDepth) {
    if (depth == otherDepth) return false;
    auto a = m_children.find(depth);
    if (a == m_children.end() || a->second->pendingRemoval) return false;
    if (auto o = m_children.find(otherDepth); o != m_children.end() && o->second->pendingRemoval) return false;
    std::unique_ptr<DisplayObject> first = std::move(a->second);
    m_children.erase(a);
    auto b = m_children.find(otherDepth);
    if (b != m_children.end()) {
        std::unique_ptr<DisplayObject> second = std::move(b->second);
        m_children.erase(b);
        second->depth = depth;
        second->swappedByScript = true;
        m_children[depth] = std::move(second);
    }
    first->depth = otherDepth;
    first->swappedByScript = true;
    m_children[otherDepth] = std::move(first);
    m_stage.touch();
    return true;
}

int SpriteInstance::highestDepth() const { return m_children.empty() ? -1 : m_children.rbegin()->first; }

void SpriteInstance::showButtonState(const Timeline& state) {
    std::map<int, const swf::PlaceObject*> wanted;
    if (!state.frames.empty())
        for (const FrameCommand& command : state.frames.front().commands)
            if (const auto* p = std::get_if<swf::PlaceObject>(&command); p && p->character) wanted[p->depth] = p;
    std::vector<int> gone;
    for (const auto& [depth, child] : m_children) {
        if (child->placedByScript) continue;
        auto it = wanted.find(depth);
        if (it == wanted.end() || *it->second->character != child->characterId) gone.push_back(depth);
    }
    for (int depth : gone) removeChild(depth);
    for (const auto& [depth, p] : wanted) {
        auto it = m_children.find(depth);
        if (it == m_children.end()) {
            place(*p, 0);
        } else if (!it->second->placedByScript) {
            swf::PlaceObject whole = *p;
            if (!whole.matrix) whole.matrix = swf::Matrix{};
            if (!whole.colorTransform) whole.colorTransform = swf::ColorTransform{};
            applyPlacement(*it->second, whole);
        }
    }
    m_stage.touch();
}

}  // namespace vistrel::player
