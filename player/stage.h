// Everything one playing movie holds: its root clip and display list, the ActionScript machine, the
// queue of scripts waiting to run, and the virtual clock. The stage decides in which order timelines
// move, events fire and scripts run in one tick, following the reference player.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <unordered_set>
#include <vector>

#include <QString>

#include "player/avm1/value.h"
#include "player/display_list.h"

namespace vistrel::avm1 {
class Vm;
class Object;
class DisplayHost;
class Heap;
}  // namespace vistrel::avm1

namespace vistrel::player {

class Movie;
class ScriptHost;

class Stage {
public:
    explicit Stage(std::shared_ptr<const Movie> movie);
    ~Stage();
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    const Movie& movie() const { return *m_movie; }
    ObjectBudget& budget() { return m_budget; }
    DisplayObject& rootObject() { return *m_root; }
    SpriteInstance& root() { return *m_root->sprite; }
    const SpriteInstance& root() const { return *m_root->sprite; }
    // The machine, or null for movies whose scripts this engine does not run (ActionScript 3).
    avm1::Vm* vm() { return m_vm.get(); }
    bool scriptsEnabled() const { return m_vm != nullptr; }

    // One tick of the whole movie: enter-frame events, timelines, then the queued scripts.
    void tick();
    // Runs the first frame (the stage is built with nothing shown).
    void start();
    // The root timeline jumps (the viewer's Back and Rewind): rebuilt, the target frame's scripts run.
    void gotoRootFrame(int frame);

    // ---- what timelines and scripts call ----
    // A display object joined a timeline: it gets its script object, and its load events are queued.
    void objectPlaced(DisplayObject& object);
    // A clip a script made (attachMovie, createEmptyMovieClip, duplicateMovieClip) is built at once: the
    // class its symbol is registered to, the init object's properties, then its constructor (or the
    // onConstruct method when it has no class).
    void constructScriptClip(DisplayObject& object, avm1::Object* init);
    // A display object is about to leave: unload events run, scripts holding it see it removed.
    void objectRemoving(DisplayObject& object);
    // The script object of a clip, text field or button (made on first use), or null.
    avm1::Object* scriptObject(DisplayObject& object);
    void queueActions(DisplayObject& clip, const swf::ActionBytes& code);
    void queueInitActions(std::uint16_t spriteId);
    // Runs queued scripts until the queue is empty (scripts may queue more).
    void runQueue();
    // The execution list: every live sprite by creation serial.
    std::uint64_t registerSprite(SpriteInstance& sprite) {
        m_sprites.emplace(++m_lastSerial, &sprite);
        return m_lastSerial;
    }
    void unregisterSprite(std::uint64_t serial) { m_sprites.erase(serial); }
    // Queues the handlers of a clip event: onClipEvent actions first, then the method (onLoad...).
    void queueClipEvent(DisplayObject& clip, std::uint32_t event, bool evenIfRemoved = false);

    // Output of trace(): every line, in order.
    void setTraceSink(std::function<void(const QString&)> sink) { m_traceSink = std::move(sink); }
    void trace(const QString& line) {
        if (m_traceSink) m_traceSink(line);
    }
    // The virtual clock: milliseconds since the movie started, one frame period a tick.
    double timerMs() const { return m_timerMs; }
    double framePeriodMs() const;
    // Messages for the user (a script stopped by a limit), each once.
    std::vector<QString> takeScriptMessages();
    // Counts every change that may alter what is drawn.
    std::uint64_t changeCount() const { return m_changes; }
    void touch() { ++m_changes; }

    // Exported symbols by name (attachMovie), case per version.
    std::uint16_t exportedCharacter(const QString& name) const;
    // Timers of setInterval / setTimeout: a function called with `thisObject`, or a method by name.
    struct Timer {
        int id = 0;
        avm1::Value function;
        avm1::Value thisObject;
        QString method;
        std::vector<avm1::Value> args;
        double intervalMs = 0;
        double nextMs = 0;
        bool repeat = true;
    };
    int addTimer(Timer timer);   // returns its id
    bool removeTimer(int id);

private:
    // One script waiting to run on a clip: actions, or a method looked up then, or a function.
    struct QueuedScript {
        avm1::Object* clip = nullptr;   // the clip's script object (kept alive while queued)
        swf::ActionBytes code;
        QString method;
        avm1::Value function;
        bool evenIfRemoved = false;     // unload handlers run after the clip has gone
        bool construct = false;         // the registered class, looked up when it runs
    };
    void constructPlaced(avm1::Object* clip);
    void callConstructor(avm1::Object* clip, const avm1::Value& function, bool asClass);
    void advanceAll();
    avm1::Object* registeredClassFor(std::uint16_t characterId);
    void markHostRoots(avm1::Heap& heap);
    void runTimers();
    void collectGarbage();

    std::shared_ptr<const Movie> m_movie;
    ObjectBudget m_budget;
    std::unique_ptr<avm1::Vm> m_vm;
    std::unique_ptr<ScriptHost> m_host;
    std::unique_ptr<DisplayObject> m_root;
    std::map<std::uint64_t, SpriteInstance*> m_sprites;
    std::uint64_t m_lastSerial = 0;
    std::deque<QueuedScript> m_queue;
    std::deque<QueuedScript> m_initQueue;        // init scripts and initialize events: first
    std::deque<QueuedScript> m_constructQueue;   // construct events and class constructors: next
    std::unordered_set<std::uint16_t> m_initDone;
    std::function<void(const QString&)> m_traceSink;
    double m_timerMs = 0;
    std::uint64_t m_changes = 0;
    std::uint64_t m_ticks = 0;
    std::size_t m_messagesTaken = 0;
    std::vector<Timer> m_timers;
    int m_nextTimerId = 1;
    friend class ScriptHost;
};

}  // namespace vistrel::player
