// The ActionScript 1/2 machine of one movie: its heap, global object and built-in classes, the semantic
// operations every action and built-in shares (member access, calls, construction, conversions), and the
// limits that keep a runaway script from taking the program with it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include <QElapsedTimer>
#include <QRectF>
#include <QString>

#include "player/avm1/object.h"
#include "player/avm1/value.h"

namespace vistrel::avm1 {

using ActionCode = std::shared_ptr<const std::vector<std::uint8_t>>;

// `throw` in a script: caught by try blocks, dropped silently at the top of an action list.
struct ScriptException {
    Value value;
};

// Stops the running action list (and every call in it): time limit, recursion, memory, damaged code
// in a place that cannot be skipped. The machine reports the reason once and the movie goes on.
struct ScriptAbort {
    QString reason;
};

// Milliseconds since 1970 on the wall clock.
double wallClockMs();

// What the machine needs from the display list and the outside world; the player implements it.
// Clip arguments are the script objects of clips; calls on a removed clip do nothing.
class DisplayHost {
public:
    virtual ~DisplayHost() = default;
    virtual void gotoFrame(Object* clip, int frame, bool play) = 0;   // 0-based frame, clamped
    virtual bool gotoLabel(Object* clip, const QString& label, bool play) = 0;
    virtual void play(Object* clip) = 0;
    virtual void stop(Object* clip) = 0;
    virtual void nextFrame(Object* clip) = 0;
    virtual void prevFrame(Object* clip) = 0;
    virtual int currentFrame(Object* clip) = 0;    // 0-based
    virtual int framesLoaded(Object* clip) = 0;
    virtual int totalFrames(Object* clip) = 0;
    virtual int frameOfLabel(Object* clip, const QString& label) = 0;   // 0-based, -1 when absent
    // GetProperty / SetProperty by index: 0 _x, 1 _y, 2 _xscale, 3 _yscale, 4 _currentframe,
    // 5 _totalframes, 6 _alpha, 7 _visible, 8 _width, 9 _height, 10 _rotation, 11 _target,
    // 12 _framesloaded, 13 _name, 14 _droptarget, 15 _url, 16 _highquality, 17 _focusrect,
    // 18 _soundbuftime, 19 _quality, 20 _xmouse, 21 _ymouse.
    virtual Value getProperty(Object* clip, int index) = 0;
    virtual void setProperty(Object* clip, int index, const Value& value) = 0;
    virtual void duplicateClip(Object* clip, const QString& name, int depth) = 0;
    virtual void removeClip(Object* clip) = 0;
    virtual void startDrag(Object* clip, bool lockCenter, std::optional<QRectF> bounds) = 0;
    virtual void stopDrag() = 0;
    virtual Object* level(int n) = 0;               // _levelN, null when nothing is loaded there
    // The clip `path` names from `base`: slash paths ("/a/b", "../c", "/"), dot paths ("_root.a",
    // "_parent.b", "this"), "_levelN". Null when nothing is there.
    virtual Object* resolveTarget(Object* base, const QString& path) = 0;
    virtual QString targetPath(Object* clip) = 0;   // dot form, "_level0.a.b", as String(clip) gives
    // GetURL / GetURL2: `target` is a window name, "_levelN" or a clip path; `method` 0 none, 1 GET,
    // 2 POST; `loadTarget` loads a movie into the target; `loadVariables` reads variables into it.
    virtual void getUrl(Object* base, const QString& url, const QString& target, int method, bool loadTarget,
                        bool loadVariables) = 0;
    virtual void callFrame(Object* clip, int frame) = 0;   // ActionCall: that frame's actions, now
    virtual void trace(const QString& line) = 0;
    virtual double timerMs() = 0;                   // GetTime: milliseconds since the movie started
    virtual double dateMs() { return wallClockMs(); }   // Date(): milliseconds since 1970
    virtual void toggleQuality() = 0;
    virtual void stopSounds() = 0;
    // The version of the movie `clip` came from; 0 when unknown (the machine's own version applies).
    virtual int movieVersion(Object* /*clip*/) { return 0; }
};

// Prototypes and constructors of the built-in classes, as the built-ins register them.
struct BuiltinProtos {
    Object* object = nullptr;
    Object* function = nullptr;
    Object* array = nullptr;
    Object* string = nullptr;
    Object* number = nullptr;
    Object* boolean = nullptr;
    Object* date = nullptr;
    Object* error = nullptr;
    Object* movieClip = nullptr;
    Object* textField = nullptr;
    Object* button = nullptr;
};

class Vm {
public:
    Vm(int swfVersion, DisplayHost* host);
    ~Vm();
    Vm(const Vm&) = delete;
    Vm& operator=(const Vm&) = delete;

    int swfVersion() const { return m_swfVersion; }
    // Code of a movie loaded into another runs with its own movie's version rules, and with the global
    // object and built-in classes of its version group.
    void setSwfVersion(int version) {
        m_swfVersion = version;
        if (m_groupsSplit && versionGroup(version) != m_group) enterGroup(versionGroup(version));
    }
    // Movies up to version 6 and movies from version 7 on each have their own global object and built-in
    // classes when one is loaded into the other. The set of the root movie's group is made first; the
    // other is made when a movie of that group first needs it, from the built-ins as they were when
    // splitGroups() was called: fresh core classes, own copies of the classes that describe clips,
    // buttons and text fields, the other host objects shared. Until then every movie shares one set.
    static int versionGroup(int version) { return version >= 7 ? 1 : 0; }
    void splitGroups();
    // The built-in prototypes objects of a movie of `version` are made with.
    BuiltinProtos& protosFor(int version);
    Heap& heap() { return m_heap; }
    Object* global() const { return m_global; }
    BuiltinProtos& protos() { return m_protos; }
    DisplayHost* host() const { return m_host; }

    // Runs a top-level action list (a frame script, an event handler's body) with `clip` as this and
    // target. Exceptions a script throws and aborts end the list; the program goes on.
    void runActions(const ActionCode& code, Object* clip);
    // Calls a function value; a value that is not callable gives undefined.
    Value call(const Value& function, const Value& thisValue, std::span<const Value> args);
    // obj[name](args); undefined when there is no such method.
    Value callMethod(const Value& object, const QString& name, std::span<const Value> args);
    // new ctor(args).
    Value construct(const Value& constructor, std::span<const Value> args);

    // Member access with the whole lookup: specials, own properties, getters, the prototype chain, and
    // primitives boxed on the way. Setting runs setters (found along the prototype chain) and watches.
    Value getMember(const Value& object, const QString& name);
    // The same lookup without asking __resolve: how the player finds event handlers.
    Value getMemberNoResolve(const Value& object, const QString& name) { return lookupMember(object, name, false); }
    void setMember(const Value& object, const QString& name, const Value& value);
    // The store part of setMember, after any watcher has answered.
    void storeMember(Object* object, const Value& objectValue, const QString& name, const Value& newValue);
    bool deleteMember(const Value& object, const QString& name);
    // The property as the prototype chain has it, or null (no getters run).
    Property* findProperty(Object* object, const QString& name, Object** owner = nullptr);
    bool hasProperty(Object* object, const QString& name);

    // Conversions with this movie's version rules (valueOf and toString run on objects).
    // `forAdd`: the operand of +, for which a date gives its text rather than its time.
    Value toPrimitive(const Value& v, bool preferString = false, bool forAdd = false);
    double toNumber(const Value& v);
    QString toString(const Value& v);
    bool toBoolean(const Value& v) const;
    Object* toObject(const Value& v);   // boxes primitives; null for undefined and null
    QString typeOf(const Value& v) const;
    // instanceof: the prototype chain of `v` meets ctor.prototype (or an interface it implements).
    bool instanceOf(const Value& v, Object* constructor);
    // ==, as the equals actions do it for this movie's version.
    bool looseEquals(const Value& a, const Value& b);

    // New objects with their prototypes in place.
    Object* makeObject();
    ArrayObject* makeArray(std::vector<Value> elements = {});
    Object* makeFunction(const QString& name, NativeFunction f, int length = 0);
    // A built-in class: constructor function with a fresh prototype (prototype.constructor set).
    Object* makeClass(const QString& name, NativeFunction constructor, Object* prototype);
    // Gives a built-in class constructor the own `constructor` property built-in classes have.
    void markNativeClass(Object* ctor);
    // Defines a native method on `target` (hidden from enumeration, as built-ins are).
    Object* defineMethod(Object* target, const QString& name, NativeFunction f, std::uint16_t flags = 0);

    // Limits. Every action checks the clock through tick(); a list that runs past the time limit is
    // aborted. Recursion deeper than kMaxCallDepth aborts the list with a message in the trace.
    static constexpr int kMaxCallDepth = 256;
    void setTimeLimitMs(int ms) { m_timeLimitMs = ms; }
    int timeLimitMs() const { return m_timeLimitMs; }
    // Objects a script may hold at once; past it the running list is aborted.
    static constexpr std::size_t kMaxObjects = 4'000'000;
    void tick() {
        if ((++m_ticks & 0x3ff) == 0) checkLimits();
    }
    int& callDepth() { return m_callDepth; }
    // Reports of aborted scripts, collected for the viewer to show (each reason once).
    const std::vector<QString>& aborts() const { return m_aborts; }
    void reportAbort(const QString& reason);

    // Collects garbage: the machine marks its own roots, `markRoots` marks the host's (live clips,
    // queued actions, timers). Only call it when no script is running.
    void collectGarbage(const std::function<void(Heap&)>& markRoots);
    bool running() const { return m_runDepth > 0; }
    void startClock();   // the time limit counts from here (the outermost script's start)
    int& runDepth() { return m_runDepth; }

    // Deterministic random numbers (a fixed seed, so traces repeat).
    std::uint32_t random();
    void setRandomSeed(std::uint32_t seed) { m_random = seed ? seed : 1; }

    // Objects a native keeps outside the heap's reach (listeners, intervals) register here.
    std::vector<Object*>& extraRoots() { return m_extraRoots; }

    // What one outermost action list hands on to the next: the values it left on the operand stack and
    // the constant pool declared last (both last from one list to the next).
    std::vector<Value>& carriedStack() { return m_carriedStack; }

    // Built-in functions by (table, index), as ASnative and ASSetNative reach them; filled once the
    // built-ins are installed, so a script replacing a method later does not change its entry.
    std::map<std::pair<int, int>, NativeFunction>& nativeTable() { return m_nativeTable; }
    // Set by construct() for the script function it is about to run; the function's frame takes it.
    bool& constructPending() { return m_constructPending; }
    // The prototype a method called through `super` was found on, for the script function about to run.
    Object*& superHomePending() { return m_superHomePending; }
    std::shared_ptr<const std::vector<QString>>& lastConstants() { return m_lastConstants; }

private:
    void checkLimits();
    void enterGroup(int group);
    void makeOtherGroup();
    // getMember, with or without asking __resolve for a name nothing has.
    Value lookupMember(const Value& object, const QString& name, bool resolve);

    int m_swfVersion;
    DisplayHost* m_host;
    Heap m_heap;
    Object* m_global = nullptr;
    BuiltinProtos m_protos;
    // The set of the version group not running now (null until made), and which group runs.
    Object* m_otherGlobal = nullptr;
    BuiltinProtos m_otherProtos;
    int m_group = 0;
    bool m_groupsSplit = false;
    // What the second set starts from, kept as splitGroups() saw it (null once that set is made): the
    // built-in globals, and the display prototypes with copies of their members.
    Object* m_splitGlobals = nullptr;
    BuiltinProtos m_splitFrom;
    BuiltinProtos m_splitCopies;
    int m_timeLimitMs = 15000;
    QElapsedTimer m_clock;   // started when the outermost list starts
    std::uint32_t m_ticks = 0;
    int m_callDepth = 0;
    int m_runDepth = 0;
    std::vector<QString> m_aborts;
    std::uint32_t m_random = 0x2545F491u;
    std::vector<Object*> m_extraRoots;
    std::vector<Value> m_carriedStack;
    std::shared_ptr<const std::vector<QString>> m_lastConstants;
    std::map<std::pair<int, int>, NativeFunction> m_nativeTable;
    bool m_constructPending = false;
    Object* m_superHomePending = nullptr;
};

// Built-in classes and global functions (Object, Function, Array, String, Number, Boolean, Math, Date,
// Error, global functions, ASSetPropFlags, setInterval support hooks): registered by the Vm constructor.
void installCoreBuiltins(Vm& vm);

}  // namespace vistrel::avm1
