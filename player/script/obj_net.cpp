// Classes that would talk to the outside: LocalConnection, NetConnection, flash.net.FileReference and
// FileReferenceList. Nothing here reaches the network or opens a dialog: a local connection only meets
// others in this movie, a net connection only connects to nothing (null), and a file dialog answers as
// if it were cancelled.
#include <memory>
#include <set>

#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

// ---- LocalConnection ----

void installLocalConnection(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("LocalConnection"),
                                 [](Vm&, const Value&, Args) { return Value(); });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    // Names connected in this movie: a second connect to the same name fails.
    auto names = std::make_shared<std::set<QString>>();
    const QString kName = QStringLiteral("__connectionName");
    method(vm, proto, QStringLiteral("connect"), [names, kName](Vm& vm, const Value& self, Args args) {
        Object* o = self.object();
        if (!o || args.empty() || !args[0].isString()) return Value(false);
        const QString name = args[0].asString();
        if (name.isEmpty() || name.contains(QLatin1Char(':')) || o->findOwn(kName)) return Value(false);
        const QString key = name.toLower();
        if (names->count(key) || names->size() > 10000) return Value(false);
        names->insert(key);
        o->define(kName, Value(key), kHidden);
        (void)vm;
        return Value(true);
    });
    method(vm, proto, QStringLiteral("close"), [names, kName](Vm&, const Value& self, Args) {
        if (Object* o = self.object()) {
            if (avm1::Property* p = o->findOwn(kName)) {
                if (p->value.isString()) names->erase(p->value.asString());
                o->removeOwn(kName);
            }
        }
        return Value();
    });
    method(vm, proto, QStringLiteral("send"), [](Vm& vm, const Value&, Args args) {
        // A message needs a connection name and a method name; nobody outside this movie listens.
        if (args.size() < 2 || !args[0].isString() || vm.toString(args[1]).isEmpty()) return Value(false);
        return Value(true);
    });
    // A movie opened from a file has the local machine as its domain.
    method(vm, proto, QStringLiteral("domain"), [](Vm&, const Value&, Args) { return Value("localhost"); });
}

// ---- NetConnection ----

struct NetState {
    bool connected = false;   // connect(null): connected to nothing, for local streams
    bool pending = false;     // connect(url): waiting for a server that never answers
};

Value statusEvent(Vm& vm, const char* code) {
    Object* info = vm.makeObject();
    info->setOwn(QStringLiteral("code"), Value(QString::fromLatin1(code)));
    info->setOwn(QStringLiteral("level"), Value("status"));
    return Value(info);
}

void installNetConnection(Stage& stage) {
    Vm& vm = *stage.vm();
    const QString kState = QStringLiteral("__netState");
    auto states = std::make_shared<std::vector<NetState>>();
    Object* ctor = defineClassOn(
        vm, vm.global(), QStringLiteral("NetConnection"),
        [states, kState](Vm&, const Value& self, Args) {
            if (Object* o = self.object(); o && states->size() < 1000000) {
                states->push_back({});
                o->define(kState, Value(static_cast<double>(states->size() - 1)), kHidden | avm1::propflag::kReadOnly);
            }
            return Value();
        });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    auto stateOf = [states, kState](const Value& self) -> NetState* {
        Object* o = self.object();
        if (!o) return nullptr;
        const avm1::Property* p = o->findOwn(kState);
        if (!p || !p->value.isNumber()) return nullptr;
        const double i = p->value.asNumber();
        if (!(i >= 0) || i >= static_cast<double>(states->size())) return nullptr;
        return &(*states)[static_cast<std::size_t>(i)];
    };
    auto onStatus = [](Vm& vm, const Value& self, const char* code) {
        const Value ev = statusEvent(vm, code);
        vm.callMethod(self, QStringLiteral("onStatus"), std::span<const Value>(&ev, 1));
    };
    method(vm, proto, QStringLiteral("connect"), [stateOf, onStatus](Vm& vm, const Value& self, Args args) {
        NetState* st = stateOf(self);
        if (!st) return Value(false);
        if (st->connected || st->pending) {
            st->connected = st->pending = false;
            onStatus(vm, self, "NetConnection.Connect.Closed");
        }
        if (arg(args, 0).isNull()) {
            st->connected = true;
            onStatus(vm, self, "NetConnection.Connect.Success");
            return Value(true);
        }
        // A server address: this viewer opens no connections, so it never answers.
        st->pending = !args.empty();
        return Value(false);
    });
    method(vm, proto, QStringLiteral("close"), [stateOf, onStatus](Vm& vm, const Value& self, Args) {
        NetState* st = stateOf(self);
        if (!st || !(st->connected || st->pending)) return Value();
        const bool wasPending = st->pending;
        st->connected = st->pending = false;
        onStatus(vm, self, "NetConnection.Connect.Closed");
        // A connection given up before its server answered also reports that attempt, with nothing to say.
        if (wasPending) vm.callMethod(self, QStringLiteral("onStatus"), {});
        return Value();
    });
    method(vm, proto, QStringLiteral("call"), [](Vm&, const Value&, Args) { return Value(); });
    method(vm, proto, QStringLiteral("addHeader"), [](Vm&, const Value&, Args) { return Value(); });
}

// ---- FileReference, FileReferenceList ----

void installFileReference(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* pkg = package(vm, QStringLiteral("flash.net"));
    Object* fileRef = defineClassOn(vm, pkg, QStringLiteral("FileReference"), [](Vm& vm, const Value& self, Args) {
        if (Object* o = self.object()) initializeBroadcaster(vm, o);
        return Value();
    });
    Object* proto = vm.getMember(Value(fileRef), QStringLiteral("prototype")).object();
    // Nothing has been chosen: every fact about the file is undefined.
    for (const char* name : {"creationDate", "creator", "modificationDate", "name", "size", "type", "postData"})
        defineGetter(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
    // A dialog that cannot open answers as a cancelled one does, after the script that asked.
    auto cancelled = [s](Vm&, const Value& self, Args) {
        if (!self.isObject()) return Value(false);
        s->postCall(self, QStringLiteral("broadcastMessage"), {Value("onCancel"), self});
        return Value(true);
    };
    method(vm, proto, QStringLiteral("browse"), cancelled);
    method(vm, proto, QStringLiteral("download"), [cancelled](Vm& vm, const Value& self, Args args) {
        if (args.empty() || vm.toString(args[0]).isEmpty()) return Value(false);
        return cancelled(vm, self, args);
    });
    // Nothing was chosen, so there is nothing to send.
    method(vm, proto, QStringLiteral("upload"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, proto, QStringLiteral("cancel"), [](Vm&, const Value&, Args) { return Value(); });

    Object* list = defineClassOn(vm, pkg, QStringLiteral("FileReferenceList"), [](Vm& vm, const Value& self, Args) {
        if (Object* o = self.object()) initializeBroadcaster(vm, o);
        return Value();
    });
    Object* listProto = vm.getMember(Value(list), QStringLiteral("prototype")).object();
    method(vm, listProto, QStringLiteral("browse"), cancelled);
}

// ---- Camera, Microphone: no devices ----

void installDevices(Stage& stage) {
    Vm& vm = *stage.vm();
    for (const char* name : {"Camera", "Microphone"}) {
        Object* ctor = defineClassOn(vm, vm.global(), QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });
        method(vm, ctor, QStringLiteral("get"), [](Vm&, const Value&, Args) { return Value::null(); });
        defineGetter(vm, ctor, QStringLiteral("names"), [](Vm& vm, const Value&, Args) { return Value(vm.makeArray()); });
    }
}

}  // namespace

void installNet(Stage& stage) {
    installLocalConnection(stage);
    installNetConnection(stage);
    installNetStream(stage);
    installFileReference(stage);
    installDevices(stage);
}

}  // namespace vistrel::player::objects
