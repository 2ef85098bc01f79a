// Color (a clip's colour transform), Sound (settings only: this engine plays no sound to scripts yet) and
// SharedObject (kept in memory for the session).
#include <algorithm>
#include <cmath>
#include <map>

#include <QRegularExpression>

#include "player/avm1/convert.h"
#include "player/avm1/object.h"
#include "player/display_list.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

// The clip a Color or Sound names: a clip object, or a path resolved from the root when used.
DisplayObject* targetClip(Vm& vm, const Value& target) {
    // Another object stands for the path its text gives, found again at every use.
    if (target.isObject())
        if (DisplayObject* clip = displayOf(target)) return clip;
    if (target.isNullish() || !vm.host()) return nullptr;
    const QString path = vm.toString(target);
    if (path.isEmpty()) return nullptr;   // an empty path names no clip
    Object* base = vm.host()->level(0);
    if (!base) return nullptr;
    if (DisplayObject* found = displayOf(Value(vm.host()->resolveTarget(base, path)))) return found;
    // A dotted path is also read member by member, so a variable that holds a clip (one renamed since,
    // say) stands for it.
    Value at(base);
    const QStringList parts = path.split(QLatin1Char('.'));
    for (qsizetype i = 0; i < parts.size() && i < 256; ++i) {
        const QString& part = parts[i];
        if (i == 0 && (part == QLatin1String("_level0") || part == QLatin1String("_root"))) continue;
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
    void markChildren(avm1::Heap& heap) override { heap.mark(target); }
};

// The clip whose settings a call works on, or null when it is gone (the reference answers undefined).
DisplayObject* soundFor(Vm& vm, Stage& stage, const Value& self) {
    auto* sound = dynamic_cast<SoundObject*>(self.object());
    if (!sound) return nullptr;
    if (sound->target.isUndefined()) return &stage.rootObject();
    return targetClip(vm, sound->target);
}

void installSound(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* st = &stage;
    Object* proto = vm.makeObject();
    Object* ctor = vm.makeClass(QStringLiteral("Sound"), [](Vm&, const Value&, Args) { return Value(); }, proto);
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
        return Value();
    });
    // Nothing is attached or loaded to a script's sound yet, so there is no length or position to report.
    // Movies before version 6 see only the volume, pan and transform methods and start, stop, attachSound.
    const std::uint16_t v6 = avm1::propflag::kVersion6;
    for (const char* name : {"getDuration", "getPosition", "getBytesLoaded", "getBytesTotal"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); }, v6);
    for (const char* name : {"attachSound", "start", "stop"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
    for (const char* name : {"loadSound", "setDuration", "setPosition"})
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
        // Names with characters a file name cannot hold are refused, as the reference does.
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
