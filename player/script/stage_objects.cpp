#include "player/script/stage_objects.h"

#include <cmath>
#include <utility>

#include "player/avm1/object.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player {

namespace objects {

Object* defineClassOn(Vm& vm, Object* target, const QString& name, avm1::NativeFunction init, std::uint16_t flags) {
    Object* ctor = vm.makeClass(name, std::move(init), vm.makeObject());
    target->define(name, Value(ctor), avm1::propflag::kDontEnum | flags);
    return ctor;
}

Object* defineObjectOn(Vm& vm, Object* target, const QString& name, std::uint16_t flags) {
    Object* o = vm.makeObject();
    target->define(name, Value(o), avm1::propflag::kDontEnum | flags);
    return o;
}

void defineAccessor(Vm& vm, Object* target, const QString& name, avm1::NativeFunction getter,
                    avm1::NativeFunction setter, std::uint16_t flags) {
    Object* g = vm.makeFunction(name, std::move(getter));
    Object* s = setter ? vm.makeFunction(name, std::move(setter)) : nullptr;
    target->defineAccessor(name, g, s, kHidden | flags);
}

void defineGetter(Vm& vm, Object* target, const QString& name, avm1::NativeFunction getter, std::uint16_t flags) {
    defineAccessor(vm, target, name, std::move(getter), {}, flags);
}

double number(Vm& vm, const Value& v) { return vm.toNumber(v); }

double numberMember(Vm& vm, const Value& o, const QString& name) { return vm.toNumber(vm.getMember(o, name)); }

Object* package(Vm& vm, const QString& path) {
    Object* at = vm.global();
    for (const QString& part : path.split(QLatin1Char('.'))) {
        Object* next = nullptr;
        if (avm1::Property* p = at->findOwn(part)) next = p->value.object();
        if (!next) {
            next = vm.makeObject();
            at->define(part, Value(next), avm1::propflag::kDontEnum | (at == vm.global() ? avm1::propflag::kVersion8 : 0));
        }
        at = next;
    }
    return at;
}

namespace {

avm1::ArrayObject* listenersOf(Vm& vm, const Value& self) {
    return dynamic_cast<avm1::ArrayObject*>(vm.getMember(self, QStringLiteral("_listeners")).object());
}

// removeListener matches listeners the way == compares (undefined finds null).
void removeMatching(Vm& vm, avm1::ArrayObject* list, const Value& listener, bool& removed) {
    std::vector<Value> e = list->values();
    for (std::size_t i = 0; i < e.size(); ++i) {
        if (vm.looseEquals(e[i], listener)) {
            e.erase(e.begin() + static_cast<std::ptrdiff_t>(i));
            list->assign(std::move(e));
            removed = true;
            return;
        }
    }
}

Value addListener(Vm& vm, const Value& self, Args args) {
    avm1::ArrayObject* list = listenersOf(vm, self);
    if (!list) return Value(true);
    bool removed = false;
    removeMatching(vm, list, arg(args, 0), removed);
    if (list->length() < avm1::ArrayObject::kMaxArrayLength) list->push(arg(args, 0));
    return Value(true);
}

Value removeListener(Vm& vm, const Value& self, Args args) {
    avm1::ArrayObject* list = listenersOf(vm, self);
    if (!list) return Value(false);
    bool removed = false;
    removeMatching(vm, list, arg(args, 0), removed);
    return Value(removed);
}

// Calls listener[name](args); an empty name calls the listener itself, as the method call action does.
void callListener(Vm& vm, const Value& listener, const QString& name, Args args) {
    if (name.isEmpty()) {
        vm.call(listener, Value(), args);
        return;
    }
    vm.callMethod(listener, name, args);
}

Value broadcastMessage(Vm& vm, const Value& self, Args args) {
    if (args.empty()) return {};
    Object* o = self.object();
    if (!o) return {};
    return broadcast(vm, o, vm.toString(args[0]), args.subspan(1)) ? Value(true) : Value();
}

}  // namespace

bool broadcast(Vm& vm, Object* broadcaster, const QString& name, Args args) {
    avm1::ArrayObject* list = listenersOf(vm, Value(broadcaster));
    if (!list || list->length() == 0) return false;
    // A listener may add or remove listeners while it runs: the message goes to those there at the start.
    const std::vector<Value> listeners = list->values();
    for (const Value& l : listeners) callListener(vm, l, name, args);
    return true;
}

void initializeBroadcaster(Vm& vm, Object* o) {
    Object* asb = vm.getMember(Value(vm.global()), QStringLiteral("AsBroadcaster")).object();
    for (const char* name : {"broadcastMessage", "addListener", "removeListener"}) {
        const QString n = QString::fromLatin1(name);
        Value f = asb ? vm.getMember(Value(asb), n) : Value();
        if (!f.isObject()) {
            f = Value(vm.makeFunction(n, name[0] == 'b' ? avm1::NativeFunction(broadcastMessage)
                                                        : name[0] == 'a' ? avm1::NativeFunction(addListener)
                                                                         : avm1::NativeFunction(removeListener)));
        }
        o->define(n, f, avm1::propflag::kDontEnum);
    }
    o->define(QStringLiteral("_listeners"), Value(vm.makeArray()), avm1::propflag::kDontEnum);
}

void installBroadcaster(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("AsBroadcaster"), [](Vm&, const Value&, Args) {
        return Value();
    });
    method(vm, ctor, QStringLiteral("broadcastMessage"), broadcastMessage);
    method(vm, ctor, QStringLiteral("addListener"), addListener);
    method(vm, ctor, QStringLiteral("removeListener"), removeListener);
    method(vm, ctor, QStringLiteral("initialize"), [](Vm& vm, const Value&, Args args) {
        if (Object* o = arg(args, 0).object()) initializeBroadcaster(vm, o);
        return Value();
    });
}

// ---- Stage, System, Key, Mouse ----

namespace {

struct StageSettings {
    QString scaleMode = QStringLiteral("showAll");
    QString align;
    bool showMenu = true;
    QString displayState = QStringLiteral("normal");
};

void installStageObject(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* o = defineObjectOn(vm, vm.global(), QStringLiteral("Stage"));
    initializeBroadcaster(vm, o);
    auto settings = std::make_shared<StageSettings>();
    // The size is the one of the movie level 0 shows now: a movie loaded over the first one brings its own.
    Stage* s = &stage;
    auto stageSize = [s]() {
        const QRectF r = movieOf(*s, s->rootObject()).stageRect();
        return std::pair(std::round(r.width() / 20.0), std::round(r.height() / 20.0));
    };
    defineGetter(vm, o, QStringLiteral("width"), [stageSize](Vm&, const Value&, Args) { return Value(stageSize().first); });
    defineGetter(vm, o, QStringLiteral("height"),
                 [stageSize](Vm&, const Value&, Args) { return Value(stageSize().second); });
    defineAccessor(
        vm, o, QStringLiteral("scaleMode"), [settings](Vm&, const Value&, Args) { return Value(settings->scaleMode); },
        [settings](Vm& vm, const Value&, Args args) {
            // The four modes are taken in any case; anything else means the default, showAll.
            const QString v = vm.toString(arg(args, 0));
            settings->scaleMode = QStringLiteral("showAll");
            for (const char* mode : {"noBorder", "exactFit", "noScale"})
                if (v.compare(QLatin1String(mode), Qt::CaseInsensitive) == 0) settings->scaleMode = QLatin1String(mode);
            return Value();
        });
    defineAccessor(
        vm, o, QStringLiteral("align"), [settings](Vm&, const Value&, Args) { return Value(settings->align); },
        [settings](Vm& vm, const Value&, Args args) {
            // The letters it understands, always reported in the order L, T, R, B.
            const QString v = vm.toString(arg(args, 0)).toUpper();
            QString out;
            for (QChar c : {QChar(u'L'), QChar(u'T'), QChar(u'R'), QChar(u'B')})
                if (v.contains(c)) out += c;
            settings->align = out;
            return Value();
        });
    defineAccessor(
        vm, o, QStringLiteral("showMenu"), [settings](Vm&, const Value&, Args) { return Value(settings->showMenu); },
        [settings](Vm& vm, const Value&, Args args) {
            settings->showMenu = vm.toBoolean(arg(args, 0));
            return Value();
        });
    defineAccessor(
        vm, o, QStringLiteral("displayState"),
        [settings](Vm&, const Value&, Args) { return Value(settings->displayState); },
        [settings](Vm& vm, const Value& self, Args args) {
            const QString v = vm.toString(arg(args, 0));
            const QString before = settings->displayState;
            if (v.compare(u"fullScreen", Qt::CaseInsensitive) == 0) settings->displayState = QStringLiteral("fullScreen");
            else if (v.compare(u"normal", Qt::CaseInsensitive) == 0) settings->displayState = QStringLiteral("normal");
            // Listeners hear of a change at once, with whether the stage is now full screen.
            if (settings->displayState != before)
                if (Object* o = self.object()) {
                    const Value full(settings->displayState == QLatin1String("fullScreen"));
                    broadcast(vm, o, QStringLiteral("onFullScreen"), std::span<const Value>(&full, 1));
                }
            return Value();
        },
        avm1::propflag::kVersion9);
}

void installSystem(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* system = defineObjectOn(vm, vm.global(), QStringLiteral("System"));
    system->define(QStringLiteral("useCodepage"), Value(false));
    system->define(QStringLiteral("exactSettings"), Value(stage.movie().header().version >= 7), avm1::propflag::kVersion6);
    method(vm, system, QStringLiteral("setClipboard"), [](Vm&, const Value&, Args) { return Value(); });
    method(vm, system, QStringLiteral("showSettings"), [](Vm&, const Value&, Args) { return Value(); });

    // What a desktop machine without a camera, microphone or screen reader reports.
    Object* caps = defineObjectOn(vm, system, QStringLiteral("capabilities"));
    auto set = [&](const char* name, const Value& v) { caps->define(QString::fromLatin1(name), v, kHidden); };
    set("avHardwareDisable", Value(false));
    set("hasAccessibility", Value(true));
    set("hasAudio", Value(true));
    set("hasAudioEncoder", Value(true));
    set("hasEmbeddedVideo", Value(true));
    set("hasIME", Value(false));
    set("hasMP3", Value(true));
    set("hasPrinting", Value(true));
    set("hasScreenBroadcast", Value(false));
    set("hasScreenPlayback", Value(false));
    set("hasStreamingAudio", Value(true));
    set("hasStreamingVideo", Value(true));
    set("hasTLS", Value(true));
    set("hasVideoEncoder", Value(true));
    set("isDebugger", Value(false));
    set("language", Value("en"));
    set("localFileReadDisable", Value(false));
    set("manufacturer", Value("Vistrel Linux"));
    set("os", Value("Linux"));
    set("pixelAspectRatio", Value(1));
    set("playerType", Value("StandAlone"));
    set("screenColor", Value("color"));
    set("screenDPI", Value(72));
    set("screenResolutionX", Value(1536));
    set("screenResolutionY", Value(864));
    set("serverString", Value("A=t&SA=t&SV=t&EV=t&MP3=t&AE=t&VE=t&ACC=t&PR=t&SP=f&SB=f&DEB=f&V=LNX%2010%2C0%2C0%2C0"
                              "&M=Vistrel%20Linux&R=1536x864&DP=72&COL=color&AR=1.0&OS=Linux&L=en&PT=StandAlone"
                              "&AVD=f&LFD=f&WD=f&IME=f"));
    set("version", Value("LNX 10,0,0,0"));
    // The same version string, as a variable of the first level (not of _global).
    if (Object* root = stage.scriptObject(stage.rootObject()))
        root->define(QStringLiteral("$version"), Value("LNX 10,0,0,0"), avm1::propflag::kDontEnum);
    set("windowlessDisable", Value(false));

    Object* security = defineObjectOn(vm, system, QStringLiteral("security"));
    // Granting a domain succeeds once one is named (any value, even undefined); there is nothing to grant
    // without an argument.
    for (const char* name : {"allowDomain", "allowInsecureDomain"})
        method(vm, security, QString::fromLatin1(name), [](Vm&, const Value&, Args args) { return Value(!args.empty()); });
    method(vm, security, QStringLiteral("loadPolicyFile"), [](Vm&, const Value&, Args) { return Value(); });
    // A movie opened from disk: one that declares it uses the network may reach it and not local files,
    // any other may read local files and nothing from the network.
    const bool network = (stage.movie().header().fileAttributes & 1) != 0;
    defineGetter(vm, security, QStringLiteral("sandboxType"), [network](Vm&, const Value&, Args) {
        return Value(network ? "localWithNetwork" : "localWithFile");
    });

    // Add-on products this player can neither fetch nor start: both answer that nothing happened.
    Object* product = defineClassOn(vm, system, QStringLiteral("Product"), [](Vm& vm, const Value& self, Args args) {
        if (Object* o = self.object()) o->setOwn(QStringLiteral("name"), args.empty() ? Value() : Value(vm.toString(args[0])));
        return Value();
    });
    Object* productProto = vm.getMember(Value(product), QStringLiteral("prototype")).object();
    for (const char* name : {"launch", "download"})
        method(vm, productProto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(false); });

    Object* ime = defineObjectOn(vm, system, QStringLiteral("IME"));
    initializeBroadcaster(vm, ime);
    for (const char* name : {"ALPHANUMERIC_FULL", "ALPHANUMERIC_HALF", "CHINESE", "JAPANESE_HIRAGANA",
                             "JAPANESE_KATAKANA_FULL", "JAPANESE_KATAKANA_HALF", "KOREAN", "UNKNOWN"})
        ime->define(QString::fromLatin1(name), Value(QString::fromLatin1(name)), kHidden | avm1::propflag::kReadOnly);
    method(vm, ime, QStringLiteral("getEnabled"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, ime, QStringLiteral("setEnabled"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, ime, QStringLiteral("getConversionMode"), [](Vm&, const Value&, Args) { return Value("UNKNOWN"); });
    method(vm, ime, QStringLiteral("setConversionMode"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, ime, QStringLiteral("setCompositionString"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, ime, QStringLiteral("doConversion"), [](Vm&, const Value&, Args) { return Value(false); });
}

void installKeyAndMouse(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* key = defineObjectOn(vm, vm.global(), QStringLiteral("Key"));
    initializeBroadcaster(vm, key);
    const std::pair<const char*, int> codes[] = {
        {"ALT", 18}, {"BACKSPACE", 8}, {"CAPSLOCK", 20}, {"CONTROL", 17}, {"DELETEKEY", 46}, {"DOWN", 40},
        {"END", 35}, {"ENTER", 13}, {"ESCAPE", 27}, {"HOME", 36}, {"INSERT", 45}, {"LEFT", 37}, {"PGDN", 34},
        {"PGUP", 33}, {"RIGHT", 39}, {"SHIFT", 16}, {"SPACE", 32}, {"TAB", 9}, {"UP", 38}};
    for (const auto& [name, code] : codes) key->define(QString::fromLatin1(name), Value(code), kHidden | avm1::propflag::kReadOnly);
    // What the stage has seen of the keyboard: keys held, the last key pressed, the lock keys.
    Stage* st = &stage;
    method(vm, key, QStringLiteral("isDown"), [st](Vm& vm, const Value&, Args args) {
        const double code = number(vm, arg(args, 0));
        if (!(code >= 0 && code < 256)) return Value(false);
        return Value(st->keyboard().down[static_cast<std::size_t>(code)]);
    });
    method(vm, key, QStringLiteral("isToggled"), [st](Vm& vm, const Value&, Args args) {
        const double code = number(vm, arg(args, 0));
        if (!(code >= 0 && code < 256)) return Value(false);
        return Value(st->keyboard().toggled[static_cast<std::size_t>(code)]);
    });
    method(vm, key, QStringLiteral("getCode"), [st](Vm&, const Value&, Args) { return Value(st->keyboard().lastCode); });
    method(vm, key, QStringLiteral("getAscii"), [st](Vm&, const Value&, Args) {
        return Value(static_cast<int>(st->keyboard().lastAscii));
    });
    method(vm, key, QStringLiteral("isAccessible"), [](Vm&, const Value&, Args) { return Value(false); });

    Object* mouse = defineObjectOn(vm, vm.global(), QStringLiteral("Mouse"));
    initializeBroadcaster(vm, mouse);
    auto shown = std::make_shared<bool>(true);
    // Both return 1 when the pointer was visible before the call, 0 when it was hidden.
    method(vm, mouse, QStringLiteral("hide"), [shown](Vm&, const Value&, Args) {
        const bool was = *shown;
        *shown = false;
        return Value(was ? 1 : 0);
    });
    method(vm, mouse, QStringLiteral("show"), [shown](Vm&, const Value&, Args) {
        const bool was = *shown;
        *shown = true;
        return Value(was ? 1 : 0);
    });

    Object* access = defineObjectOn(vm, vm.global(), QStringLiteral("Accessibility"));
    // Movies before version 6 do not see its methods.
    const std::uint16_t v6 = avm1::propflag::kVersion6;
    method(vm, access, QStringLiteral("isActive"), [](Vm&, const Value&, Args) { return Value(false); }, v6);
    method(vm, access, QStringLiteral("updateProperties"), [](Vm&, const Value&, Args) { return Value(); }, v6);
    method(vm, access, QStringLiteral("sendEvent"), [](Vm&, const Value&, Args) { return Value(); }, v6);
}

}  // namespace

void installEnvironment(Stage& stage) {
    installStageObject(stage);
    installSystem(stage);
    installKeyAndMouse(stage);
}

}  // namespace objects

void installStageObjects(Stage& stage) {
    if (!stage.vm()) return;
    objects::installBroadcaster(stage);
    objects::installSocketAndPrinting(stage);
    objects::installEnvironment(stage);
    objects::installMedia(stage);
    objects::installGeometry(stage);
    objects::installFilters(stage);
    objects::installXml(stage);
    objects::installTextFormat(stage);
    objects::installBitmapData(stage);
    objects::installExternalInterface(stage);
    objects::installNet(stage);
    objects::installContextMenu(stage);
    objects::installSelection(stage);
    objects::installTextSnapshot(stage);
    objects::installVideo(stage);
}

}  // namespace vistrel::player
