#include "player/stage.h"

#include <algorithm>

#include <QElapsedTimer>
#include <QFileInfo>

#include "player/avm1/builtins.h"
#include "player/avm1/interpreter.h"
#include "player/avm1/vm.h"
#include "player/mouse_input.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/display_builtins.h"
#include "player/script/loader.h"
#include "player/script/obj_internal.h"
#include "player/script/script_host.h"
#include "player/script/text_field.h"
#include "player/sound/stage_sound.h"
#include "player/timeline.h"

namespace vistrel::player {

namespace {

// Queued scripts one tick may run; a frame script that keeps queueing itself stops here.
constexpr std::size_t kMaxQueuedPerTick = 200000;
// Collect garbage every this many ticks, or sooner after heavy allocation.
constexpr std::uint64_t kCollectEveryTicks = 30;
constexpr std::size_t kCollectAfterAllocations = 200000;

// Events and the methods that answer them, in the clip-event bit order.
const char16_t* eventMethod(std::uint32_t event) {
    switch (event) {
    case swf::clipevent::kLoad: return u"onLoad";
    case swf::clipevent::kEnterFrame: return u"onEnterFrame";
    case swf::clipevent::kUnload: return u"onUnload";
    case swf::clipevent::kData: return u"onData";
    case swf::clipevent::kMouseMove: return u"onMouseMove";
    case swf::clipevent::kMouseDown: return u"onMouseDown";
    case swf::clipevent::kMouseUp: return u"onMouseUp";
    case swf::clipevent::kPress: return u"onPress";
    case swf::clipevent::kRelease: return u"onRelease";
    case swf::clipevent::kReleaseOutside: return u"onReleaseOutside";
    case swf::clipevent::kRollOver: return u"onRollOver";
    case swf::clipevent::kRollOut: return u"onRollOut";
    case swf::clipevent::kDragOver: return u"onDragOver";
    case swf::clipevent::kDragOut: return u"onDragOut";
    default: return nullptr;
    }
}

}  // namespace

Stage::Stage(std::shared_ptr<const Movie> movie) : m_movie(std::move(movie)), m_sound(std::make_unique<StageSound>()) {
    m_madeAtMs = avm1::wallClockMs();
    m_root = std::make_unique<DisplayObject>(m_budget);
    m_root->sprite = std::make_unique<SpriteInstance>(*this, m_movie->rootTimeline(), 0, m_root.get(), nullptr);
    m_loader = std::make_unique<Loader>(*this);
    m_mouse = std::make_unique<MouseInput>(*this);
    if (m_movie->isValid() && !m_movie->usesActionScript3()) {
        m_host = std::make_unique<ScriptHost>(*this);
        m_vm = std::make_unique<avm1::Vm>(m_movie->header().version, m_host.get());
        installDisplayBuiltins(*this);
        m_vm->splitGroups();
    }
}

Stage::~Stage() {
    // The output device may hold the mixer a while longer: what it plays ends with the movie.
    m_sound->stopAll();
    // The display list goes first: its objects detach from their script objects, which the heap owns.
    m_levels.clear();
    m_root.reset();
    m_loader.reset();
}

double Stage::framePeriodMs() const { return 1000.0 / m_movie->playbackRate(); }

// The first frame shows when one frame period has passed. Multiplying (rather than adding a period a
// tick) keeps whole milliseconds whole: at 120 frames a second the twelfth frame is at 100 ms, not 99.99.
double Stage::timerMs() const { return static_cast<double>(m_ticks + 1) * 1000.0 / m_movie->playbackRate(); }

double Stage::dateMs() const { return m_datesFollowFrames ? m_madeAtMs + timerMs() : avm1::wallClockMs(); }

void Stage::start() {
    if (root().started()) return;
    objectPlaced(*m_root);
    root().start();
    runQueue();
    dropPendingRemovals();
    runPostedCalls();
    m_loader->process();
    ++m_changes;
}

void Stage::tick() {
    if (m_quit) return;
    if (!root().started()) {
        start();
        return;
    }
    ++m_ticks;
    m_sound->tick(framePeriodMs());
    m_retiredMovies.clear();
    runClockObjects();
    advanceAll();
    runQueue();
    // Objects the timelines took away while they had unload handlers have had them run: they go now.
    dropPendingRemovals();
    runPostedCalls();
    syncTextVariables(*this);
    runTimers();
    m_loader->process();
    collectGarbage();
}

void Stage::advanceAll() {
    // Newest first; each timeline gets its enter-frame event, then moves on. Timelines made during
    // this tick wait for the next one.
    std::vector<std::uint64_t> order;
    order.reserve(m_sprites.size());
    for (auto it = m_sprites.rbegin(); it != m_sprites.rend(); ++it) order.push_back(it->first);
    for (std::uint64_t serial : order) {
        auto it = m_sprites.find(serial);
        if (it == m_sprites.end()) continue;
        SpriteInstance& sprite = *it->second;
        if (!sprite.started() || sprite.startTick() > m_ticks) continue;
        if (DisplayObject* owner = sprite.owner(); owner && scriptsEnabled())
            queueClipEvent(*owner, swf::clipevent::kEnterFrame);
        // Only what a frame places, moves or removes (and the scripts it runs) changes the picture:
        // a frame that changes nothing must not cost a redraw.
        sprite.advance();
    }
}

std::uint64_t Stage::startSound(const Movie& movie, std::uint16_t id, const swf::SoundInfo& info,
                                const DisplayObject* clip) {
    return m_sound->startSound(movie, id, info, m_sound->prepareGroup(clip));
}

void Stage::stopAllSounds() { m_sound->stopAll(); }

void Stage::gotoRootFrame(int frame) {
    root().gotoFrame(frame, true);
    runQueue();
    ++m_changes;
}

avm1::Object* Stage::scriptObject(DisplayObject& object) {
    if (object.script) return object.script;
    if (!m_vm) return nullptr;
    avm1::ObjectClass cls;
    avm1::Object* proto = nullptr;
    const Movie& movie = object.parent ? object.parent->movie() : *m_movie;
    const Character* c = object.characterId ? movie.character(object.characterId) : nullptr;
    if (!c || std::holds_alternative<SpriteCharacter>(*c)) {
        if (!object.sprite) return nullptr;
        cls = avm1::ObjectClass::MovieClip;
        // A clip is of the MovieClip class of the movie it plays.
        proto = m_vm->protosFor(object.sprite->movie().header().version).movieClip;
    } else if (std::holds_alternative<ButtonCharacter>(*c)) {
        if (m_movie->header().version < 6) return nullptr;   // Button objects came with version 6
        cls = avm1::ObjectClass::Button;
        proto = m_vm->protosFor(movie.header().version).button;
    } else if (std::holds_alternative<swf::DefineEditText>(*c)) {
        cls = avm1::ObjectClass::TextField;
        proto = m_vm->protosFor(movie.header().version).textField;
    } else if (std::holds_alternative<VideoCharacter>(*c)) {
        cls = avm1::ObjectClass::Other;
        proto = objects::videoPrototype(*m_vm);
    } else {
        return nullptr;   // shapes, texts and bitmaps are not reachable from scripts
    }
    avm1::Object* script = cls == avm1::ObjectClass::TextField ? makeTextFieldObject(*this, object) : m_vm->heap().make<ClipObject>(*this, cls);
    script->setProto(proto ? proto : m_vm->protos().object);
    script->setDisplay(&object);
    object.script = script;
    return script;
}

avm1::Object* Stage::reachableObject(DisplayObject& object) {
    int guard = 0;
    for (DisplayObject* o = &object; o && guard < ObjectBudget::kMaxNesting + 2; ++guard) {
        if (avm1::Object* script = scriptObject(*o)) return script;
        o = o->parent ? o->parent->owner() : nullptr;
    }
    return nullptr;
}

void Stage::objectPlaced(DisplayObject& object) {
    if (!m_vm) return;
    if (object.sprite) object.sprite->setStartTick(m_ticks + 1);
    avm1::Object* script = scriptObject(object);
    if (!script) return;
    if (auto* clip = dynamic_cast<ClipObject*>(script)) clip->setReferencePath(dotPath(object));
    // Initialize handlers run before anything else queued, construct handlers and the constructor of a
    // registered class next, then in turn the load handlers and the clip's first frame.
    for (const swf::ClipAction& action : object.clipActions)
        if (action.events & swf::clipevent::kInitialize)
            m_initQueue.push_back(QueuedScript{script, action.actions, QString(), avm1::Value(), false});
    for (const swf::ClipAction& action : object.clipActions)
        if (action.events & swf::clipevent::kConstruct)
            m_constructQueue.push_back(QueuedScript{script, action.actions, QString(), avm1::Value(), false});
    // A symbol registered with Object.registerClass becomes an instance of that class. Timeline clips
    // look the class up when their turn comes: the frame's init scripts may register it first.
    if (!object.placedByScript && object.characterId && object.sprite)
        m_constructQueue.push_back(QueuedScript{script, nullptr, QString(), avm1::Value(), false, true});
    queueClipEvent(object, swf::clipevent::kLoad);
}

void Stage::constructScriptClip(DisplayObject& object, avm1::Object* init) {
    if (!m_vm) return;
    avm1::Object* script = scriptObject(object);
    if (!script) return;
    avm1::Object* ctor = registeredClassFor(object);
    avm1::Value prototype;
    if (ctor) {
        prototype = m_vm->getMember(avm1::Value(ctor), QStringLiteral("prototype"));
        if (prototype.isObject()) script->setProto(prototype.object());
    }
    // The init object's properties are there before the constructor runs; a button takes none.
    if (init && script->objectClass() == avm1::ObjectClass::MovieClip)
        init->forEachOwn([&](const QString& name, const avm1::Property& p) {
            m_vm->setMember(avm1::Value(script), name, p.value);
        });
    if (ctor) {
        callConstructor(script, avm1::Value(ctor), true);
    } else {
        const avm1::Value method = m_vm->getMember(avm1::Value(script), QStringLiteral("onConstruct"));
        if (method.isObject() && method.asObject()->isCallable()) callConstructor(script, method, false);
    }
}

void Stage::constructPlaced(avm1::Object* clip) {
    DisplayObject* object = clip->display();
    if (!object || !object->characterId) return;
    avm1::Object* ctor = registeredClassFor(*object);
    if (!ctor) return;
    const avm1::Value prototype = m_vm->getMember(avm1::Value(ctor), QStringLiteral("prototype"));
    if (prototype.isObject()) clip->setProto(prototype.object());
    callConstructor(clip, avm1::Value(ctor), true);
}

void Stage::callConstructor(avm1::Object* clip, const avm1::Value& function, bool asClass) {
    if (asClass) {
        clip->define(QStringLiteral("__constructor__"), function, avm1::propflag::kDontEnum);
        if (m_vm->swfVersion() < 7) clip->define(QStringLiteral("constructor"), function, avm1::propflag::kDontEnum);
    }
    // A throw the constructor does not catch stops there: the script that made the clip goes on.
    try {
        m_vm->call(function, avm1::Value(clip), {});
    } catch (const avm1::ScriptException& e) {
        trace(QStringLiteral("Warning: Uncaught exception, ") + m_vm->toString(e.value));
    }
}

void Stage::objectRemoving(DisplayObject& object) {
    if (object.sprite) m_sound->streamStop(object.sprite->serial());
    if (!m_vm) return;
    // Children unload before their parent.
    if (object.sprite)
        for (const auto& [depth, child] : object.sprite->children()) objectRemoving(*child);
    objects::focusLost(*this, object);
    if (!object.script) return;
    static_cast<ClipObject*>(object.script)->setLastPath(dotPath(object));
    bool any = false;
    for (const swf::ClipAction& action : object.clipActions) any = any || (action.events & swf::clipevent::kUnload);
    if (any || m_vm->hasProperty(object.script, QStringLiteral("onUnload")))
        queueClipEvent(object, swf::clipevent::kUnload, true);
}

bool Stage::hasUnloadHandler(DisplayObject& object) {
    if (!m_vm) return false;
    for (const swf::ClipAction& action : object.clipActions)
        if (action.events & swf::clipevent::kUnload) return true;
    if (object.script && m_vm->hasProperty(object.script, QStringLiteral("onUnload"))) return true;
    if (object.sprite)
        for (const auto& [depth, child] : object.sprite->children())
            if (hasUnloadHandler(*child)) return true;
    return false;
}

bool Stage::leaving(const DisplayObject& object) {
    int guard = 0;
    for (const DisplayObject* o = &object; o && guard < ObjectBudget::kMaxNesting + 2; ++guard) {
        if (o->pendingRemoval) return true;
        o = o->parent ? o->parent->owner() : nullptr;
    }
    return false;
}

void Stage::dropPendingRemovals() {
    root().dropPendingRemovals();
    for (const auto& [n, level] : m_levels)
        if (level->sprite) level->sprite->dropPendingRemovals();
}

void Stage::queueClipEvent(DisplayObject& object, std::uint32_t event, bool evenIfRemoved, bool onlyDefinedMethod) {
    avm1::Object* script = object.script;
    if (!script) return;
    auto* clip = evenIfRemoved ? dynamic_cast<ClipObject*>(script) : nullptr;
    for (const swf::ClipAction& action : object.clipActions)
        if (action.events & event) {
            m_queue.push_back(QueuedScript{script, action.actions, QString(), avm1::Value(), evenIfRemoved});
            if (clip) clip->holdForUnload(1);
        }
    if (const char16_t* method = eventMethod(event)) {
        const QString name = QString::fromUtf16(method);
        if (onlyDefinedMethod) {
            bool defined = false;
            int guard = 0;
            for (const avm1::Object* o = script; o && !defined && guard < 64; o = o->proto(), ++guard)
                defined = o->findOwn(name) != nullptr;
            if (!defined) return;
        }
        m_queue.push_back(QueuedScript{script, nullptr, name, avm1::Value(), evenIfRemoved});
        if (clip) clip->holdForUnload(1);
    }
}

void Stage::queueMethod(DisplayObject& clip, const QString& name) {
    if (avm1::Object* script = clip.script) m_queue.push_back(QueuedScript{script, nullptr, name, avm1::Value(), false});
}

std::vector<DisplayObject*> Stage::clipsNewestFirst() const {
    std::vector<DisplayObject*> clips;
    clips.reserve(m_sprites.size());
    for (auto it = m_sprites.rbegin(); it != m_sprites.rend(); ++it) {
        DisplayObject* owner = it->second->owner();
        if (!owner || !it->second->started()) continue;
        const Character* c = owner->characterId ? it->second->parent() ? it->second->parent()->movie().character(owner->characterId) : nullptr : nullptr;
        if (c && std::holds_alternative<ButtonCharacter>(*c)) continue;
        clips.push_back(owner);
    }
    return clips;
}

void Stage::queueActions(DisplayObject& clip, const swf::ActionBytes& code) {
    if (!m_vm || !code) return;
    avm1::Object* script = scriptObject(clip);
    if (!script) return;
    m_queue.push_back(QueuedScript{script, code, QString(), avm1::Value(), false});
}

void Stage::sendQueuedToBack(std::size_t from, std::size_t count) {
    if (count == 0 || from >= m_queue.size()) return;
    count = std::min(count, m_queue.size() - from);
    auto first = m_queue.begin() + static_cast<std::ptrdiff_t>(from);
    std::rotate(first, first + static_cast<std::ptrdiff_t>(count), m_queue.end());
}

void Stage::queueInitActions(const SpriteInstance& from, std::uint16_t spriteId) {
    const Movie& movie = from.movie();
    if (!m_vm || !m_initDone.insert({&movie, spriteId}).second) return;
    const swf::ActionBytes code = movie.initActions(spriteId);
    if (!code) return;
    // They run on the root of the movie they came with.
    DisplayObject* root = m_root.get();
    for (const SpriteInstance* s = &from; s; s = s->parent())
        if (&s->movie() == &movie && s->owner()) root = s->owner();
    m_initQueue.push_back(QueuedScript{scriptObject(*root), code, QString(), avm1::Value(), true});
}

void Stage::runQueue() {
    if (!m_vm) {
        m_queue.clear();
        m_initQueue.clear();
        m_constructQueue.clear();
        return;
    }
    QElapsedTimer clock;
    clock.start();
    std::size_t ran = 0;
    while (!m_queue.empty() || !m_initQueue.empty() || !m_constructQueue.empty()) {
        std::deque<QueuedScript>& from = !m_initQueue.empty() ? m_initQueue : !m_constructQueue.empty() ? m_constructQueue : m_queue;
        QueuedScript item = std::move(from.front());
        from.pop_front();
        // Once its unload handler has run, a removed clip is gone for good.
        struct Release {
            ClipObject* clip;
            ~Release() {
                if (clip) clip->holdForUnload(-1);
            }
        } release{item.evenIfRemoved ? dynamic_cast<ClipObject*>(item.clip) : nullptr};
        if (++ran > kMaxQueuedPerTick || clock.elapsed() > m_vm->timeLimitMs()) {
            m_vm->reportAbort(QStringLiteral("A script in this movie kept running without end and was stopped."));
            m_queue.clear();
            m_initQueue.clear();
            m_constructQueue.clear();
            break;
        }
        if (!item.clip || (!item.evenIfRemoved && (!item.clip->display() || leaving(*item.clip->display()))))
            continue;
        // A clip of a loaded movie runs with that movie's version rules.
        struct VersionScope {
            avm1::Vm& vm;
            int saved;
            ~VersionScope() { vm.setSwfVersion(saved); }
        } versionScope{*m_vm, m_vm->swfVersion()};
        if (const DisplayObject* d = item.clip->display()) {
            const Movie& owner = d->sprite ? d->sprite->movie() : d->parent ? d->parent->movie() : *m_movie;
            if (owner.isValid()) m_vm->setSwfVersion(owner.header().version);
        }
        if (item.construct) {
            constructPlaced(item.clip);
        } else if (item.code) {
            m_vm->runActions(item.code, item.clip);
        } else if (!item.method.isEmpty()) {
            // An event with no handler changes nothing, and must not cost a redraw. Handlers are looked up
            // without asking __resolve.
            const avm1::Value method = m_vm->getMemberNoResolve(avm1::Value(item.clip), item.method);
            if (!method.isObject() || !method.asObject()->isCallable()) continue;
            m_vm->call(method, avm1::Value(item.clip), {});
        } else if (item.function.isObject()) {
            m_vm->call(item.function, avm1::Value(item.clip), {});
        } else {
            continue;
        }
        ++m_changes;
    }
    avm1::clearSharedStack(*m_vm);
}

int Stage::addTimer(Timer timer) {
    timer.id = m_nextTimerId++;
    timer.nextMs = timerMs() + timer.intervalMs;
    m_timers.push_back(std::move(timer));
    return m_timers.back().id;
}

bool Stage::removeTimer(int id) {
    return std::erase_if(m_timers, [id](const Timer& t) { return t.id == id; }) > 0;
}

void Stage::runTimers() {
    if (!m_vm || m_timers.empty()) return;
    // Timers due by now fire once each this tick, in the order they were made.
    std::vector<int> due;
    for (const Timer& t : m_timers)
        if (t.nextMs <= timerMs()) due.push_back(t.id);
    for (int id : due) {
        auto it = std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
        if (it == m_timers.end()) continue;
        Timer fire = *it;
        if (fire.repeat) {
            it->nextMs = std::max(it->nextMs + std::max(it->intervalMs, 1.0), timerMs());
            if (it->nextMs <= timerMs()) it->nextMs = timerMs() + std::max(it->intervalMs, 1.0);
        } else {
            m_timers.erase(it);
        }
        if (fire.method.isEmpty()) {
            m_vm->call(fire.function, fire.thisObject, fire.args);
        } else {
            m_vm->callMethod(fire.thisObject, fire.method, fire.args);
        }
        runQueue();
        ++m_changes;
    }
}

void Stage::postCall(const avm1::Value& object, const QString& method, std::vector<avm1::Value> args) {
    // Bounded so a script posting in a loop cannot grow it without end.
    if (m_posted.size() < 10000) m_posted.push_back({object, method, std::move(args)});
}

void Stage::runPostedCalls() {
    if (!m_vm) return;
    // Calls posted while these run wait for the next round, so a handler that posts again cannot spin.
    std::deque<PostedCall> due;
    due.swap(m_posted);
    for (const PostedCall& c : due) {
        m_vm->callMethod(c.object, c.method, c.args);
        runQueue();
    }
}

void Stage::collectGarbage() {
    if (!m_vm) return;
    if (m_ticks % kCollectEveryTicks != 0 && m_vm->heap().allocatedSinceCollect() < kCollectAfterAllocations) return;
    m_vm->collectGarbage([this](avm1::Heap& heap) {
        std::vector<const SpriteInstance*> pending{&root()};
        heap.mark(m_root->script);
        for (const auto& [n, level] : m_levels) {
            heap.mark(level->script);
            if (level->sprite) pending.push_back(level->sprite.get());
        }
        while (!pending.empty()) {
            const SpriteInstance* s = pending.back();
            pending.pop_back();
            for (const auto& [depth, child] : s->children()) {
                heap.mark(child->script);
                if (child->sprite) pending.push_back(child->sprite.get());
            }
        }
        for (const auto* queue : {&m_initQueue, &m_constructQueue, &m_queue})
            for (const QueuedScript& q : *queue) {
                heap.mark(q.clip);
                heap.mark(q.function);
            }
        for (const PostedCall& c : m_posted) {
            heap.mark(c.object);
            for (const avm1::Value& v : c.args) heap.mark(v);
        }
        for (const Timer& t : m_timers) {
            heap.mark(t.function);
            heap.mark(t.thisObject);
            for (const avm1::Value& v : t.args) heap.mark(v);
        }
        markHostRoots(heap);
    });
}

bool Stage::addClockObject(avm1::Object* object, std::function<bool()> tick) {
    for (auto& entry : m_clockObjects)
        if (entry.first == object) {
            entry.second = std::move(tick);
            return true;
        }
    if (m_clockObjects.size() >= kMaxClockObjects) return false;
    m_clockObjects.emplace_back(object, std::move(tick));
    return true;
}

void Stage::runClockObjects() {
    // A tick may register or drop objects: work on a copy, and drop by identity afterwards.
    const auto current = m_clockObjects;
    for (const auto& entry : current) {
        if (entry.second && !entry.second()) {
            auto it = std::find_if(m_clockObjects.begin(), m_clockObjects.end(),
                                   [object = entry.first](const auto& e) { return e.first == object; });
            if (it != m_clockObjects.end()) m_clockObjects.erase(it);
        }
    }
    if (!current.empty()) ++m_changes;
}

void Stage::markHostRoots(avm1::Heap& heap) {
    if (m_host) heap.mark(m_host->dragged());
    for (const auto& entry : m_clockObjects) heap.mark(entry.first);
    m_loader->markRoots(heap);
}

DisplayObject* Stage::levelObject(int n) {
    if (n == 0) return m_root.get();
    auto it = m_levels.find(n);
    return it == m_levels.end() ? nullptr : it->second.get();
}

DisplayObject* Stage::makeLevel(int n) {
    if (n <= 0) return m_root.get();
    auto& slot = m_levels[n];
    if (!slot) {
        slot = std::make_unique<DisplayObject>(m_budget);
        slot->level = n;
        slot->name = QStringLiteral("_level") + QString::number(n);
    }
    return slot.get();
}

void Stage::removeLevel(int n) {
    auto it = m_levels.find(n);
    if (it == m_levels.end()) return;
    objectRemoving(*it->second);
    it = m_levels.find(n);
    if (it == m_levels.end()) return;
    if (it->second->sprite && it->second->sprite->loadedMovie())
        m_retiredMovies.push_back(it->second->sprite->loadedMovie());
    std::unique_ptr<DisplayObject> gone = std::move(it->second);
    m_levels.erase(it);
    gone.reset();
    ++m_changes;
}

void Stage::loadMovieInto(DisplayObject& target, std::shared_ptr<const Movie> movie) {
    // What an unloaded clip plays: nothing, and it declares no frames.
    static const Timeline empty = [] {
        Timeline t;
        t.declaredFrames = 0;
        return t;
    }();
    if (target.sprite) {
        std::vector<int> depths;
        for (const auto& [depth, child] : target.sprite->children()) depths.push_back(depth);
        for (int depth : depths)
            if (target.sprite) target.sprite->removeChild(depth);
    }
    if (target.sprite && target.sprite->loadedMovie()) m_retiredMovies.push_back(target.sprite->loadedMovie());
    if (target.sprite) m_sound->streamStop(target.sprite->serial());
    target.sprite.reset();
    target.drawing.reset();
    target.text.reset();
    // The clip's own event handlers (from its placement) stay: they belong to the clip, not to what it shows.
    target.characterId = 0;
    target.failedLoadUrl.clear();
    if (avm1::Object* script = target.script) {
        // The clip keeps its identity, but what scripts stored on it belongs to what it showed before.
        std::vector<QString> names;
        script->forEachOwn([&](const QString& name, const avm1::Property&) { names.push_back(name); });
        for (const QString& name : names) script->removeOwn(name);
        if (m_vm) script->setProto(m_vm->protosFor(movie && movie->isValid() ? movie->header().version : m_movie->header().version).movieClip);
    }
    if (movie && movie->isValid() && !movie->usesActionScript3() &&
        (!target.parent || target.parent->nesting() + 1 < ObjectBudget::kMaxNesting)) {
        target.sprite = std::make_unique<SpriteInstance>(*this, std::move(movie), &target, target.parent);
    } else {
        target.sprite = std::make_unique<SpriteInstance>(*this, empty, 0, &target, target.parent);
    }
    if (!target.script) scriptObject(target);
    target.sprite->setStartTick(m_ticks + 1);
    // A movie arriving is a load for the clip: its load handlers run before the movie's first frame.
    if (target.sprite->loadedMovie()) queueClipEvent(target, swf::clipevent::kLoad);
    target.sprite->start();
    ++m_changes;
}

QString Stage::movieFolder() const {
    const QString path = m_movie->sourcePath();
    return path.isEmpty() ? QString() : QFileInfo(path).absolutePath();
}

avm1::Object* Stage::registeredClassFor(const DisplayObject& object) {
    // The symbol's export name comes from the movie that defines it (a loaded movie has its own).
    const Movie& owner = object.parent ? object.parent->movie() : *m_movie;
    const std::uint16_t characterId = object.characterId;
    // Only movie clips take a class; buttons and texts keep their own.
    const Character* c = characterId ? owner.character(characterId) : nullptr;
    if (!c || !std::holds_alternative<SpriteCharacter>(*c)) return nullptr;
    // A class belongs to the symbol, so any of the names a symbol is exported under finds it.
    for (const auto& [name, id] : owner.exportedNames())
        if (id == characterId)
            if (avm1::Object* ctor = avm1::registeredClass(*m_vm, name, owner.header().version)) return ctor;
    return nullptr;
}

std::vector<QString> Stage::takeScriptMessages() {
    std::vector<QString> out;
    if (!m_vm) return out;
    const auto& all = m_vm->aborts();
    for (; m_messagesTaken < all.size(); ++m_messagesTaken) out.push_back(all[m_messagesTaken]);
    return out;
}

}  // namespace vistrel::player
