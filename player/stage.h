// Everything one playing movie holds: its root clip and display list, the ActionScript machine, the
// queue of scripts waiting to run, and the virtual clock. The stage decides in which order timelines
// move, events fire and scripts run in one tick.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <unordered_set>
#include <vector>

#include <QString>

#include "player/avm1/value.h"
#include "player/display_list.h"
#include "player/keyboard.h"
#include "player/render/renderer.h"

namespace vistrel::avm1 {
class Vm;
class Object;
class DisplayHost;
class Heap;
}  // namespace vistrel::avm1

namespace vistrel::player {

class Movie;
class ScriptHost;
class Loader;
class MouseInput;
class StageSound;

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
    // Level n: 0 is the root; others are roots of movies loaded with loadMovieNum. Null when empty.
    DisplayObject* levelObject(int n);
    const std::map<int, std::unique_ptr<DisplayObject>>& levels() const { return m_levels; }
    // An empty root on level n (n > 0), made when missing, for a movie to be loaded into.
    DisplayObject* makeLevel(int n);
    void removeLevel(int n);
    // Replaces what a clip or level shows with a loaded movie: its children unload, its script
    // properties go, the movie's first frame runs. A null movie leaves it empty (unloadMovie).
    void loadMovieInto(DisplayObject& target, std::shared_ptr<const Movie> movie);
    // Files scripts ask for: movies, variables, XML and LoadVars data.
    Loader& loader() { return *m_loader; }
    // The pointer: what it is over, what it pressed, what it drags.
    MouseInput& mouse() { return *m_mouse; }
    const MouseInput& mouse() const { return *m_mouse; }
    // The canonical folder of the movie opened first: files are read from it and below only.
    QString movieFolder() const;

    // The machine, or null for movies whose scripts this engine does not run (ActionScript 3).
    avm1::Vm* vm() { return m_vm.get(); }
    bool scriptsEnabled() const { return m_vm != nullptr; }

    // One tick of the whole movie: enter-frame events, timelines, then the queued scripts.
    void tick();
    // fscommand("quit"): the movie stops where it is once the running scripts end; ticks do nothing more.
    void quit() { m_quit = true; }
    bool quitting() const { return m_quit; }
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
    // Whether it or anything below it answers the unload event (a clip event or an onUnload method).
    bool hasUnloadHandler(DisplayObject& object);
    // The script object of a clip, text field or button (made on first use), or null.
    avm1::Object* scriptObject(DisplayObject& object);
    // What a script gets when it reaches a display object by name, depth or path: its own script object,
    // or, for objects scripts cannot see (shapes, static texts, buttons before version 6), the nearest
    // clip holding it.
    avm1::Object* reachableObject(DisplayObject& object);
    // The name the timeline gives an unnamed sprite, button or edit text: "instance1", "instance2"...
    // counted over the whole player.
    QString nextInstanceName() { return QStringLiteral("instance") + QString::number(++m_instanceNames); }
    void queueActions(DisplayObject& clip, const swf::ActionBytes& code);
    // Init scripts belong to the movie of the timeline that reaches them, and run once per movie.
    void queueInitActions(const SpriteInstance& from, std::uint16_t spriteId);
    // Runs queued scripts until the queue is empty (scripts may queue more).
    void runQueue();
    // How many scripts wait in the main queue; moves `count` of them from index `from` to its end.
    std::size_t queuedScripts() const { return m_queue.size(); }
    void sendQueuedToBack(std::size_t from, std::size_t count);
    // The execution list: every live sprite by creation serial.
    std::uint64_t registerSprite(SpriteInstance& sprite) {
        m_sprites.emplace(++m_lastSerial, &sprite);
        return m_lastSerial;
    }
    void unregisterSprite(std::uint64_t serial) { m_sprites.erase(serial); }
    // Queues the handlers of a clip event: onClipEvent actions first, then the method (onLoad...).
    // `onlyDefinedMethod`: the method is called only when the clip has it, without asking __resolve.
    void queueClipEvent(DisplayObject& clip, std::uint32_t event, bool evenIfRemoved = false,
                        bool onlyDefinedMethod = false);
    // Queues a call of the method `name` on a clip's script object (looked up when it runs).
    void queueMethod(DisplayObject& clip, const QString& name);
    // The clips of the execution list (not buttons), newest first: the order events reach every clip in.
    std::vector<DisplayObject*> clipsNewestFirst() const;

    // Sound: event sounds, the timelines' stream sound, and the mix the output device plays.
    StageSound& sound() { return *m_sound; }
    // Starts (or, with its stop flag, stops) a sound character of `movie` as a SOUNDINFO says: buttons and
    // scripts call this, in the Sound settings of `clip` when given. Returns the voice, 0 when nothing started.
    std::uint64_t startSound(const Movie& movie, std::uint16_t id, const swf::SoundInfo& info,
                             const DisplayObject* clip = nullptr);
    void stopAllSounds();

    // Output of trace(): every line, in order.
    void setTraceSink(std::function<void(const QString&)> sink) { m_traceSink = std::move(sink); }
    void trace(const QString& line) {
        if (m_traceSink) m_traceSink(line);
    }
    // The virtual clock: milliseconds since the movie started, one frame period a tick, the first frame
    // running when one period has passed.
    double timerMs() const;
    double framePeriodMs() const;
    // Date(): milliseconds since 1970 on the wall clock, or, following the frames, the wall-clock time
    // the stage was made plus the virtual clock.
    void setDatesFollowFrames(bool on) { m_datesFollowFrames = on; }
    double dateMs() const;
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
    // The object with the keyboard focus (Selection), null when none has it.
    DisplayObject* focus() const { return m_focus; }
    void setFocusObject(DisplayObject* object) { m_focus = object; }
    // _focusrect of the root (of every clip in version 5 movies): 1 or 0.
    int focusRect() const { return m_focusRect; }
    void setFocusRect(int value) { m_focusRect = value; }
    // _soundbuftime: seconds of sound to buffer, one number for the whole movie.
    int soundBufferTime() const { return m_soundBufferTime; }
    void setSoundBufferTime(int seconds) { m_soundBufferTime = seconds; }
    // The drawing quality a script chose (_quality, _highquality, toggleHighQuality): once set, frames
    // are drawn at it whatever quality the viewer asks for, until the user picks one in the viewer.
    std::optional<RenderQuality> scriptQuality() const { return m_scriptQuality; }
    void setScriptQuality(RenderQuality quality) { m_scriptQuality = quality; }
    void clearScriptQuality() { m_scriptQuality.reset(); }
    // Empty clips report their bounds as the largest twips value; it is rounded once a version
    // 8 movie is the root or has asked for bounds, and stays rounded from then on.
    bool roundedEmptyBounds() const { return m_roundedEmptyBounds; }
    void setRoundedEmptyBounds() { m_roundedEmptyBounds = true; }
    // Keys held, the last key, the clipboard.
    KeyboardState& keyboard() { return m_keyboard; }
    // A method called on an object once the scripts running now have finished (the answer of a dialog
    // or connection that has nothing behind it), before the next frame.
    void postCall(const avm1::Value& object, const QString& method, std::vector<avm1::Value> args);
    // Objects that play on their own clock (streams a script plays): ticked once a tick before the
    // timelines move, and kept alive while registered. `tick` returns false once it needs no more ticks.
    // False when kMaxClockObjects are registered already (each may hold a whole file).
    bool addClockObject(avm1::Object* object, std::function<bool()> tick);
    static constexpr std::size_t kMaxClockObjects = 64;

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
    void dropPendingRemovals();
    // Whether it or a clip holding it waits to be dropped after the timeline removed it.
    static bool leaving(const DisplayObject& object);
    avm1::Object* registeredClassFor(const DisplayObject& object);
    void markHostRoots(avm1::Heap& heap);
    void runTimers();
    void runPostedCalls();
    void collectGarbage();

    std::shared_ptr<const Movie> m_movie;
    ObjectBudget m_budget;
    std::unique_ptr<avm1::Vm> m_vm;
    std::unique_ptr<ScriptHost> m_host;
    std::unique_ptr<DisplayObject> m_root;
    std::map<int, std::unique_ptr<DisplayObject>> m_levels;
    // Movies a load replaced, kept until the next tick: a script of one may still be running.
    std::vector<std::shared_ptr<const Movie>> m_retiredMovies;
    std::unique_ptr<Loader> m_loader;
    std::unique_ptr<MouseInput> m_mouse;
    std::unique_ptr<StageSound> m_sound;
    std::map<std::uint64_t, SpriteInstance*> m_sprites;
    std::uint64_t m_lastSerial = 0;
    std::uint64_t m_instanceNames = 0;
    std::deque<QueuedScript> m_queue;
    std::deque<QueuedScript> m_initQueue;        // init scripts and initialize events: first
    std::deque<QueuedScript> m_constructQueue;   // construct events and class constructors: next
    std::set<std::pair<const Movie*, std::uint16_t>> m_initDone;
    std::function<void(const QString&)> m_traceSink;
    std::uint64_t m_changes = 0;
    std::uint64_t m_ticks = 0;
    bool m_datesFollowFrames = false;
    double m_madeAtMs = 0;   // wall clock when the stage was made
    bool m_quit = false;
    std::size_t m_messagesTaken = 0;
    std::vector<Timer> m_timers;
    struct PostedCall {
        avm1::Value object;
        QString method;
        std::vector<avm1::Value> args;
    };
    std::deque<PostedCall> m_posted;
    std::vector<std::pair<avm1::Object*, std::function<bool()>>> m_clockObjects;
    void runClockObjects();
    DisplayObject* m_focus = nullptr;
    int m_focusRect = 1;
    int m_soundBufferTime = 5;
    std::optional<RenderQuality> m_scriptQuality;
    bool m_roundedEmptyBounds = false;
    KeyboardState m_keyboard;
    int m_nextTimerId = 1;
    friend class ScriptHost;
    friend class Loader;
};

}  // namespace vistrel::player
