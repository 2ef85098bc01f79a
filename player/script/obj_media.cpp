// Color (a clip's colour transform), Sound (attached and loaded sounds, volume and pan by clip) and
// SharedObject (kept in memory for the session).
#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include <QRegularExpression>

#include "player/avm1/convert.h"
#include "player/avm1/interpreter.h"
#include "player/avm1/object.h"
#include "player/display_list.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/movie.h"
#include "player/script/loader.h"
#include "player/sound/id3.h"
#include "player/sound/mixer.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

// The clip a Color or Sound names: a clip object, or a path resolved when used, from `from` (the root
// when null).
DisplayObject* targetClip(Vm& vm, const Value& target, Object* from = nullptr) {
    // Another object stands for the path its text gives, found again at every use.
    if (target.isObject())
        if (DisplayObject* clip = displayOf(target)) return clip;
    if (target.isNullish() || !vm.host()) return nullptr;
    const QString path = vm.toString(target);
    if (path.isEmpty()) return nullptr;   // an empty path names no clip
    Object* base = from ? from : vm.host()->level(0);
    if (!base) return nullptr;
    if (DisplayObject* found = displayOf(Value(vm.host()->resolveTarget(base, path)))) return found;
    // A dotted path is also read member by member, so a variable that holds a clip (one renamed since,
    // say) stands for it.
    Value at(base);
    const QStringList parts = path.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < parts.size() && i < 256; ++i) {
        const QString& part = parts[i];
        if (i == 0 && (part == QLatin1String("_level0") || part == QLatin1String("_root"))) {
            at = Value(vm.host()->level(0));
            continue;
        }
        at = vm.getMember(at, part);
        if (!displayOf(at)) return nullptr;
    }
    return displayOf(at);
}

Value storedTarget(const Value& self) {
    Object* o = self.object();
    if (!o) return {};
    const avm1::Property* p = o->findOwn(QStringLiteral("target"));
    return p ? p->value : Value();
}


// ---- Color ----

void installColor(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("Color"), [](Vm&, const Value& self, Args args) {
        if (Object* o = self.object()) {
            o->setObjectClass(avm1::ObjectClass::Color);
            o->define(QStringLiteral("target"), arg(args, 0), avm1::propflag::kDontEnum);
        }
        return Value();
    });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    method(vm, proto, QStringLiteral("setRGB"), [s](Vm& vm, const Value& self, Args args) {
        DisplayObject* o = targetClip(vm, storedTarget(self));
        if (!o || args.empty()) return Value();
        const auto rgb = static_cast<std::uint32_t>(static_cast<std::int64_t>(vm.toNumber(args[0])) & 0xffffff);
        swf::ColorTransform& cx = o->colorTransform;
        cx.rMult = cx.gMult = cx.bMult = 0;
        cx.rAdd = static_cast<std::int16_t>((rgb >> 16) & 0xff);
        cx.gAdd = static_cast<std::int16_t>((rgb >> 8) & 0xff);
        cx.bAdd = static_cast<std::int16_t>(rgb & 0xff);
        o->transformedByScript = true;
        s->touch();
        return Value();
    });
    method(vm, proto, QStringLiteral("getRGB"), [](Vm& vm, const Value& self, Args) {
        DisplayObject* o = targetClip(vm, storedTarget(self));
        if (!o) return Value();
        const swf::ColorTransform& cx = o->colorTransform;
        return Value((int(cx.rAdd) << 16) | (int(cx.gAdd) << 8) | int(cx.bAdd));
    });
    method(vm, proto, QStringLiteral("setTransform"), [s](Vm& vm, const Value& self, Args args) {
        DisplayObject* o = targetClip(vm, storedTarget(self));
        Object* t = arg(args, 0).object();
        if (!o || !t) return Value();
        swf::ColorTransform& cx = o->colorTransform;
        // Only the fields the object itself has change (not ones it inherits); multipliers are
        // percentages. Values go through a 32-bit integer into the 16-bit field, wrapping as they go:
        // NaN and infinities become 0.
        auto apply = [&](const char* name, std::int16_t& field, bool percent) {
            const QString n = QString::fromLatin1(name);
            if (!t->findOwn(n)) return;
            const double v = vm.toNumber(vm.getMember(Value(t), n));
            field = static_cast<std::int16_t>(static_cast<std::uint16_t>(avm1::toInt32(percent ? v * 2.56 : v)));
        };
        apply("ra", cx.rMult, true);
        apply("rb", cx.rAdd, false);
        apply("ga", cx.gMult, true);
        apply("gb", cx.gAdd, false);
        apply("ba", cx.bMult, true);
        apply("bb", cx.bAdd, false);
        apply("aa", cx.aMult, true);
        apply("ab", cx.aAdd, false);
        o->transformedByScript = true;
        s->touch();
        return Value();
    });
    method(vm, proto, QStringLiteral("getTransform"), [](Vm& vm, const Value& self, Args) {
        DisplayObject* o = targetClip(vm, storedTarget(self));
        if (!o) return Value();
        const swf::ColorTransform& cx = o->colorTransform;
        Object* out = vm.makeObject();
        out->setOwn(QStringLiteral("ra"), Value(cx.rMult / 2.56));
        out->setOwn(QStringLiteral("rb"), Value(int(cx.rAdd)));
        out->setOwn(QStringLiteral("ga"), Value(cx.gMult / 2.56));
        out->setOwn(QStringLiteral("gb"), Value(int(cx.gAdd)));
        out->setOwn(QStringLiteral("ba"), Value(cx.bMult / 2.56));
        out->setOwn(QStringLiteral("bb"), Value(int(cx.bAdd)));
        out->setOwn(QStringLiteral("aa"), Value(cx.aMult / 2.56));
        out->setOwn(QStringLiteral("ab"), Value(int(cx.aAdd)));
        return Value(out);
    });
}

// ---- Sound ----

// What a Sound object remembers: the clip it works on, by path. A clip given as an object is kept by the
// path it has then, so a clip renamed since is no longer found and a new clip under the old name is. The
// settings themselves belong to the clip, shared by every Sound object on it.
class SoundObject : public Object {
public:
    SoundObject() : Object(avm1::ObjectClass::Sound) {}
    Value target;   // undefined for the sound of the whole movie
    // The attached sound: its movie and id, decoded samples; the voice playing it, 0 when none.
    const Movie* movie = nullptr;
    std::uint16_t soundId = 0;
    sound::SharedSamples samples;
    std::uint64_t voice = 0;
    std::uint64_t lastPosition = 0;   // in output frames, kept after the sound stops
    // loadSound: the file's size once it has arrived, and what waits to be handed over at the end of the
    // calling frame (only the latest request counts).
    std::optional<double> bytesLoaded, bytesTotal;
    std::uint64_t loadSerial = 0;
    struct PendingLoad {
        bool ok = false, streaming = false;
        double size = 0;
        sound::SharedSamples samples;
        sound::Id3Tags tags;
    };
    std::optional<PendingLoad> pending;
    void markChildren(avm1::Heap& heap) override { heap.mark(target); }
};

// Sound.prototype also keeps the Sound objects whose sounds play, so that they live to hear
// onSoundComplete even when no script holds them.
class SoundProto : public Object {
public:
    SoundProto() : Object(avm1::ObjectClass::Object) {}
    std::map<std::uint64_t, Object*> playing;
    void markChildren(avm1::Heap& heap) override {
        for (const auto& [voice, object] : playing) heap.mark(object);
    }
};

double framesToMs(std::uint64_t frames) { return std::round(frames * 1000.0 / sound::kOutputRate); }

// A clip's settings changed: what plays in it and below follows at once.
void applyGain(Stage& stage, const DisplayObject* clip) {
    if (clip) stage.sound().mixChanged(*clip);
}

// The clip whose settings a call works on, or null when it is gone (the call answers undefined).
DisplayObject* soundFor(Vm& vm, Stage& stage, const Value& self) {
    auto* sound = dynamic_cast<SoundObject*>(self.object());
    if (!sound) return nullptr;
    if (sound->target.isUndefined()) return &stage.rootObject();
    // A path kept as text is read from the clip whose script calls, so the same Sound object names
    // another clip (or none) when a script elsewhere uses it.
    return targetClip(vm, sound->target, avm1::runningTarget());
}

// loadSound(url, streaming): an MP3 file from the movie's folder tree, read and decoded at once but
// handed over once the calling frame's scripts are done, as a download would arrive: the id3 object and
// onID3 first, then onLoad(success); a streaming sound starts playing then by itself.
void installLoadSound(Vm& vm, Stage& stage, SoundProto* proto) {
    Stage* st = &stage;
    const std::uint16_t v6 = avm1::propflag::kVersion6;
    // Runs from the posted-call queue with the Sound object as `this` and the request's serial.
    Object* deliver = vm.makeFunction(QStringLiteral("deliver"), [st, proto](Vm& vm, const Value& self, Args args) {
        auto* s = dynamic_cast<SoundObject*>(self.object());
        if (!s || !s->pending || vm.toNumber(arg(args, 0)) != static_cast<double>(s->loadSerial)) return Value();
        SoundObject::PendingLoad load = std::move(*s->pending);
        s->pending.reset();
        if (!load.ok) {
            vm.callMethod(self, QStringLiteral("onLoad"), std::vector<Value>{Value(false)});
            return Value();
        }
        s->bytesLoaded = s->bytesTotal = load.size;
        s->movie = nullptr;
        s->soundId = 0;
        s->samples = load.samples;
        s->lastPosition = 0;
        if (load.tags.found) {
            Object* id3 = vm.makeObject();
            for (const sound::Id3Frame& f : load.tags.frames) {
                const QString name = QString::fromStdString(f.id);
                // Several comments make a list; the familiar name keeps the last.
                if (name == QLatin1String("COMM")) {
                    Value list = id3->findOwn(name) ? id3->findOwn(name)->value : Value();
                    auto* array = dynamic_cast<avm1::ArrayObject*>(list.object());
                    if (!array) {
                        array = vm.makeArray();
                        id3->setOwn(name, Value(static_cast<Object*>(array)));
                    }
                    vm.callMethod(Value(static_cast<Object*>(array)), QStringLiteral("push"),
                                  std::vector<Value>{Value(f.text)});
                    continue;
                }
                id3->setOwn(name, Value(f.text));
            }
            s->setOwn(QStringLiteral("id3"), Value(id3));
            vm.callMethod(self, QStringLiteral("onID3"), {});
        }
        if (load.streaming && st->sound().enabled() && !s->samples->empty()) {
            DisplayObject* clip = soundFor(vm, *st, self);
            if (const std::uint64_t voice = st->sound().mixer()->start(s->samples, {}, st->sound().prepareGroup(clip))) {
                s->voice = voice;
                proto->playing[voice] = s;
            }
        }
        vm.callMethod(self, QStringLiteral("onLoad"), std::vector<Value>{Value(true)});
        return Value();
    });
    vm.extraRoots().push_back(deliver);
    method(vm, proto, QStringLiteral("loadSound"), [st, deliver](Vm& vm, const Value& self, Args args) {
        auto* s = dynamic_cast<SoundObject*>(self.object());
        if (!s) return Value();
        if (s->voice) {
            st->sound().mixer()->stopVoice(s->voice);
            s->voice = 0;
        }
        SoundObject::PendingLoad load;
        load.streaming = vm.toBoolean(arg(args, 1));
        if (auto bytes = st->loader().readFile(vm.toString(arg(args, 0)))) {
            const std::span<const std::uint8_t> file(reinterpret_cast<const std::uint8_t*>(bytes->constData()),
                                                     static_cast<std::size_t>(bytes->size()));
            load.tags = sound::readId3(file);
            // Whatever rate and layout the frames say: the codec reads them from each frame header.
            swf::SoundFormat format;
            format.format = swf::soundformat::kMp3;
            format.rateCode = 3;
            format.stereo = true;
            auto samples = std::make_shared<sound::Samples>();
            sound::Decoder decoder(format);
            decoder.decode(file.subspan(load.tags.audioBegin, load.tags.audioEnd - load.tags.audioBegin), *samples);
            decoder.flush(*samples);
            load.ok = !samples->empty();
            load.size = static_cast<double>(bytes->size());
            load.samples = std::move(samples);
        }
        s->pending = std::move(load);
        s->bytesLoaded = 0;
        s->bytesTotal.reset();
        const double serial = static_cast<double>(++s->loadSerial);
        st->postCall(Value(deliver), QStringLiteral("call"), {self, Value(serial)});
        return Value();
    }, v6);
}

void installSound(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* st = &stage;
    auto* proto = vm.heap().make<SoundProto>();
    proto->setProto(vm.protos().object);
    Object* ctor = vm.makeClass(QStringLiteral("Sound"), [](Vm&, const Value&, Args) { return Value(); }, proto);
    stage.sound().setFinishedHandler([st, proto](std::uint64_t voice) {
        auto it = proto->playing.find(voice);
        if (it == proto->playing.end()) return;
        auto* sound = static_cast<SoundObject*>(it->second);
        proto->playing.erase(it);
        if (sound->samples) sound->lastPosition = sound->samples->size() / 2;
        sound->voice = 0;
        st->postCall(Value(static_cast<Object*>(sound)), QStringLiteral("onSoundComplete"), {});
    });
    ctor->setNativeConstructor([proto](Vm& vm, const Value&, Args args) {
        auto* sound = vm.heap().make<SoundObject>();
        sound->setProto(proto);
        const Value& target = arg(args, 0);
        if (DisplayObject* clip = displayOf(target)) {
            sound->target = Value(dotPath(*clip));
        } else if (target.isObject()) {
            // An object that is not a clip names its clip by its string form, converted now (its toString runs).
            sound->target = Value(vm.toString(target));
        } else {
            sound->target = target;
        }
        return Value(static_cast<Object*>(sound));
    });
    vm.global()->define(QStringLiteral("Sound"), Value(ctor), avm1::propflag::kDontEnum);

    method(vm, proto, QStringLiteral("getVolume"), [st](Vm& vm, const Value& self, Args) {
        DisplayObject* s = soundFor(vm, *st, self);
        return s ? Value(s->soundVolume) : Value();
    });
    method(vm, proto, QStringLiteral("setVolume"), [st](Vm& vm, const Value& self, Args args) {
        DisplayObject* s = soundFor(vm, *st, self);
        const double v = vm.toNumber(arg(args, 0));
        if (s && std::isfinite(v)) s->soundVolume = std::trunc(v);
        applyGain(*st, s);
        return Value();
    });
    // The pan is what the transform says: the quieter side's own level below 100.
    method(vm, proto, QStringLiteral("getPan"), [st](Vm& vm, const Value& self, Args) {
        DisplayObject* s = soundFor(vm, *st, self);
        if (!s) return Value();
        return Value(s->soundLL != 100 ? 100 - s->soundLL : s->soundRR - 100);
    });
    method(vm, proto, QStringLiteral("setPan"), [st](Vm& vm, const Value& self, Args args) {
        DisplayObject* s = soundFor(vm, *st, self);
        const double v = vm.toNumber(arg(args, 0));
        if (!s || !std::isfinite(v)) return Value();
        const double pan = std::trunc(v);
        s->soundLL = pan >= 0 ? 100 - pan : 100;
        s->soundRR = pan >= 0 ? 100 : 100 + pan;
        s->soundLR = s->soundRL = 0;
        applyGain(*st, s);
        return Value();
    });
    method(vm, proto, QStringLiteral("getTransform"), [st](Vm& vm, const Value& self, Args) {
        DisplayObject* s = soundFor(vm, *st, self);
        if (!s) return Value();
        Object* out = vm.makeObject();
        out->setOwn(QStringLiteral("ll"), Value(s->soundLL));
        out->setOwn(QStringLiteral("lr"), Value(s->soundLR));
        out->setOwn(QStringLiteral("rr"), Value(s->soundRR));
        out->setOwn(QStringLiteral("rl"), Value(s->soundRL));
        return Value(out);
    });
    method(vm, proto, QStringLiteral("setTransform"), [st](Vm& vm, const Value& self, Args args) {
        DisplayObject* s = soundFor(vm, *st, self);
        Object* t = arg(args, 0).object();
        if (!s || !t) return Value();
        auto read = [&](const char* name, double& field) {
            const QString n = QString::fromLatin1(name);
            if (!vm.hasProperty(t, n)) return;
            const double v = vm.toNumber(vm.getMember(Value(t), n));
            if (std::isfinite(v)) field = std::trunc(v);
        };
        read("ll", s->soundLL);
        read("lr", s->soundLR);
        read("rr", s->soundRR);
        read("rl", s->soundRL);
        applyGain(*st, s);
        return Value();
    });
    // Movies before version 6 see only the volume, pan and transform methods and start, stop, attachSound.
    const std::uint16_t v6 = avm1::propflag::kVersion6;
    auto own = [](const Value& self) { return dynamic_cast<SoundObject*>(self.object()); };
    auto position = [](Stage& stage, SoundObject* s) -> std::uint64_t {
        if (s->voice && stage.sound().mixer()->voicePlaying(s->voice))
            s->lastPosition = stage.sound().mixer()->voicePosition(s->voice);
        return s->lastPosition;
    };
    method(vm, proto, QStringLiteral("getDuration"), [own](Vm&, const Value& self, Args) {
        SoundObject* s = own(self);
        if (!s || !s->samples) return Value();
        return Value(framesToMs(s->samples->size() / 2));
    }, v6);
    method(vm, proto, QStringLiteral("getPosition"), [own, position, st](Vm&, const Value& self, Args) {
        SoundObject* s = own(self);
        if (!s || !s->samples) return Value();
        return Value(framesToMs(position(*st, s)));
    }, v6);
    method(vm, proto, QStringLiteral("getBytesLoaded"), [own](Vm&, const Value& self, Args) {
        SoundObject* s = own(self);
        return s && s->bytesLoaded ? Value(*s->bytesLoaded) : Value();
    }, v6);
    method(vm, proto, QStringLiteral("getBytesTotal"), [own](Vm&, const Value& self, Args) {
        SoundObject* s = own(self);
        return s && s->bytesTotal ? Value(*s->bytesTotal) : Value();
    }, v6);
    // duration and position read as the methods do.
    for (const char* name : {"duration", "position"}) {
        const QString method = QStringLiteral("get") + QChar(QLatin1Char(name[0])).toUpper() + QString::fromLatin1(name + 1);
        Object* getter = vm.makeFunction(QString::fromLatin1(name), [method](Vm& vm, const Value& self, Args) {
            return vm.callMethod(self, method, {});
        });
        // A value a script stores replaces the reading on that object.
        Object* setter = vm.makeFunction(QString::fromLatin1(name), [n = QString::fromLatin1(name)](Vm&, const Value& self, Args args) {
            if (Object* o = self.object()) o->setOwn(n, arg(args, 0));
            return Value();
        });
        proto->defineAccessor(QString::fromLatin1(name), getter, setter, avm1::propflag::kDontEnum | v6);
    }
    method(vm, proto, QStringLiteral("attachSound"), [own, st](Vm& vm, const Value& self, Args args) {
        SoundObject* s = own(self);
        if (!s) return Value();
        DisplayObject* clip = soundFor(vm, *st, self);
        if (!clip) return Value();   // a path naming no clip attaches nothing
        const Movie& movie = clip->sprite ? clip->sprite->movie() : st->movie();
        const std::uint16_t id = movie.exportedCharacter(vm.toString(arg(args, 0)));
        sound::SharedSamples samples = movie.sound(id) ? st->sound().samples(movie, id) : nullptr;
        if (!samples) return Value();
        s->movie = &movie;
        s->soundId = id;
        s->samples = std::move(samples);
        s->lastPosition = 0;
        return Value();
    });
    method(vm, proto, QStringLiteral("start"), [own, proto, st](Vm& vm, const Value& self, Args args) {
        SoundObject* s = own(self);
        if (!s || !s->samples) return Value();
        DisplayObject* clip = soundFor(vm, *st, self);
        const double offset = args.size() > 0 ? vm.toNumber(args[0]) : 0;
        const double loops = args.size() > 1 ? vm.toNumber(args[1]) : 1;
        swf::SoundInfo info;
        if (std::isfinite(offset) && offset > 0)
            info.inPoint = static_cast<std::uint32_t>(std::min(offset * sound::kOutputRate, 4.0e9));
        info.loops = static_cast<std::uint16_t>(std::isfinite(loops) ? std::clamp(loops, 1.0, 65535.0) : 1.0);
        const std::uint64_t group = st->sound().prepareGroup(clip);
        // A loaded file has no id in any movie: its samples play as they are.
        const std::uint64_t voice = s->movie ? st->sound().startSound(*s->movie, s->soundId, info, group)
                                    : st->sound().enabled() ? st->sound().mixer()->start(s->samples, info, group)
                                                            : 0;
        if (!voice) return Value();
        s->voice = voice;
        proto->playing[voice] = s;
        return Value();
    });
    method(vm, proto, QStringLiteral("stop"), [own, position, st](Vm& vm, const Value& self, Args args) {
        SoundObject* s = own(self);
        if (!s) return Value();
        // With a name, every instance of that exported sound stops; without, every sound the clip plays.
        if (!args.empty()) {
            DisplayObject* clip = soundFor(vm, *st, self);
            const Movie& movie = clip && clip->sprite ? clip->sprite->movie() : st->movie();
            const std::uint16_t id = movie.exportedCharacter(vm.toString(args[0]));
            if (auto samples = movie.sound(id) ? st->sound().samples(movie, id) : nullptr)
                st->sound().mixer()->stop(samples.get());
            return Value();
        }
        if (s->voice) {
            position(*st, s);
            st->sound().mixer()->stopVoice(s->voice);
            s->voice = 0;
        }
        if (DisplayObject* clip = soundFor(vm, *st, self); clip && s->target.isUndefined()) {
            st->stopAllSounds();
        } else if (clip) {
            st->sound().mixer()->stopGroup(StageSound::groupOf(clip));
        }
        return Value();
    });
    installLoadSound(vm, *st, proto);
    for (const char* name : {"setDuration", "setPosition"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); }, v6);
    for (const char* name : {"checkPolicyFile", "areSoundsInaccessible"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); },
               avm1::propflag::kVersion9);
}

// ---- SharedObject ----

// Shared objects by name for this session; getLocal hands out the same object for the same name.
class SharedObjectStore : public Object {
public:
    std::map<QString, Object*> objects;
    void markChildren(avm1::Heap& heap) override {
        for (const auto& [name, o] : objects) heap.mark(o);
    }
};

void installSharedObject(Stage& stage) {
    Vm& vm = *stage.vm();
    auto* store = vm.heap().make<SharedObjectStore>();
    vm.extraRoots().push_back(store);
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("SharedObject"),
                                 [](Vm&, const Value&, Args) { return Value(); });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    method(vm, ctor, QStringLiteral("getLocal"), [store, proto](Vm& vm, const Value&, Args args) {
        const QString name = vm.toString(arg(args, 0));
        // Names with characters a file name cannot hold are refused.
        if (name.isEmpty() || name.contains(QRegularExpression(QStringLiteral("[~%&\\\\;:\"',<>?# ]"))))
            return Value::null();
        const QString key = name + QLatin1Char('\n') + vm.toString(arg(args, 1));
        if (auto it = store->objects.find(key); it != store->objects.end()) return Value(it->second);
        Object* so = vm.makeObject();
        so->setObjectClass(avm1::ObjectClass::SharedObject);
        so->setProto(proto);
        so->define(QStringLiteral("data"), Value(vm.makeObject()), avm1::propflag::kDontDelete);
        store->objects[key] = so;
        return Value(so);
    });
    method(vm, ctor, QStringLiteral("getRemote"), [](Vm&, const Value&, Args) { return Value::null(); });
    method(vm, ctor, QStringLiteral("deleteAll"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, ctor, QStringLiteral("getDiskUsage"), [](Vm&, const Value&, Args) { return Value(0); });
    method(vm, proto, QStringLiteral("flush"), [](Vm&, const Value&, Args) { return Value(true); });
    method(vm, proto, QStringLiteral("getSize"), [](Vm& vm, const Value& self, Args) {
        Object* data = vm.getMember(self, QStringLiteral("data")).object();
        int n = 0;
        if (data) data->forEachOwn([&](const QString&, const avm1::Property&) { ++n; });
        return Value(n);
    });
    method(vm, proto, QStringLiteral("clear"), [](Vm& vm, const Value& self, Args) {
        if (Object* o = self.object()) o->define(QStringLiteral("data"), Value(vm.makeObject()), avm1::propflag::kDontDelete);
        return Value();
    });
    for (const char* name : {"close", "connect", "send", "setFps"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
}

}  // namespace

void installMedia(Stage& stage) {
    installColor(stage);
    installSound(stage);
    installSharedObject(stage);
}

}  // namespace vistrel::player::objects
