// NetStream: plays an FLV file from the movie's folder tree on the stage's clock, shown by the Video
// objects it is attached to, its sound mixed with the movie's. Nothing is fetched from the network: a
// name the loader refuses is a stream that is not found. The status codes come in a fixed
// order: Play.Start when play is called; Buffer.Full (then the file's metadata) on the next
// tick; the clock runs from the tick after; Buffer.Flush, Play.Stop and Buffer.Empty once every tag has
// been passed.
#include <atomic>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/script/clip_object.h"
#include "player/script/loader.h"
#include "player/script/obj_internal.h"
#include "player/sound/mixer.h"
#include "player/sound/stage_sound.h"
#include "player/stage.h"
#include "player/video/flv_playback.h"

namespace vistrel::player::objects {

namespace {

// Mixer stream ids of NetStreams: far above the timelines' sprite serials.
constexpr std::uint64_t kFirstAudioId = 1ull << 62;
std::atomic<std::uint64_t> s_nextAudioId{kFirstAudioId};

struct StreamState {
    std::shared_ptr<video::FlvPlayback> playback;
    std::shared_ptr<video::StreamPicture> picture = std::make_shared<video::StreamPicture>();
    enum class Phase { Idle, Opening, Open } phase = Phase::Idle;
    bool found = false;      // the file play asked for was read
    bool playing = false;    // the clock runs (not paused, not stopped at the end)
    std::optional<double> seekMs;
    double bufferTime = 0.1;
    double bytes = 0;        // of the file, once it has arrived; close keeps it
    std::uint64_t audioId = s_nextAudioId.fetch_add(1);
    // Where the sound goes: the root's Sound settings until a clip's attachAudio takes it, nowhere once
    // that clip lets it go (attachAudio(false)).
    enum class Audio { Root, Clip, Off } audio = Audio::Root;
    Object* audioClip = nullptr;
};

class NetStreamObject : public Object {
public:
    NetStreamObject() {
        auto& streams = live();
        if (streams.size() >= 64)
            std::erase_if(streams, [](const std::weak_ptr<StreamState>& s) { return s.expired(); });
        streams.push_back(state);
    }
    std::shared_ptr<StreamState> state = std::make_shared<StreamState>();
    void markChildren(avm1::Heap& heap) override {
        if (state->audioClip) heap.mark(state->audioClip);
    }
    // Every stream alive, for a clip's attachAudio to find the ones it holds.
    static std::vector<std::weak_ptr<StreamState>>& live() {
        static std::vector<std::weak_ptr<StreamState>> streams;
        return streams;
    }
};

StreamState* stateOf(const Value& v) {
    auto* o = dynamic_cast<NetStreamObject*>(v.object());
    return o ? o->state.get() : nullptr;
}

Value statusInfo(Vm& vm, const char* code, const char* level = "status", const char* description = nullptr) {
    Object* info = vm.makeObject();
    info->setOwn(QStringLiteral("code"), Value(QString::fromLatin1(code)));
    info->setOwn(QStringLiteral("level"), Value(QString::fromLatin1(level)));
    if (description) info->setOwn(QStringLiteral("description"), Value(QString::fromLatin1(description)));
    return Value(info);
}

void status(Vm& vm, Object* self, const char* code, const char* level = "status", const char* description = nullptr) {
    const Value info = statusInfo(vm, code, level, description);
    vm.callMethod(Value(self), QStringLiteral("onStatus"), std::span<const Value>(&info, 1));
}

Value toValue(Vm& vm, const video::AmfValue& a) {
    using T = video::AmfValue::Type;
    switch (a.type) {
    case T::Number:
    case T::Date: return Value(a.number);
    case T::Boolean: return Value(a.number != 0);
    case T::String: return Value(a.string);
    case T::Null: return Value::null();
    case T::Undefined: return Value();
    case T::Object: {
        Object* o = vm.makeObject();
        for (const auto& [name, member] : a.members) o->setOwn(name, toValue(vm, member));
        return Value(o);
    }
    case T::Array: {
        std::vector<Value> elements;
        elements.reserve(a.members.size());
        for (const auto& member : a.members) elements.push_back(toValue(vm, member.value));
        return Value(static_cast<Object*>(vm.makeArray(std::move(elements))));
    }
    }
    return Value();
}

// What a tick passed: script data calls the method it names (onMetaData, onCuePoint...), sound goes to
// the mixer.
void deliver(Stage& stage, Object* self, StreamState& st, video::FlvPlayback::Step& step) {
    Vm& vm = *stage.vm();
    sound::Samples samples;
    st.playback->takeAudio(samples);
    if (!samples.empty() && stage.sound().enabled()) stage.sound().mixer()->streamAppend(st.audioId, samples);
    // The clip's Sound settings are read every tick, so that a volume set on it or a clip holding it
    // takes effect on what is still queued.
    sound::ChannelMix mix{0, 0, 0, 0};
    if (st.audio == StreamState::Audio::Root) mix = channelMixOf(&stage.rootObject());
    else if (st.audio == StreamState::Audio::Clip) {
        if (DisplayObject* clip = displayOf(Value(st.audioClip))) mix = channelMixOf(clip);
    }
    stage.sound().mixer()->streamSetMix(st.audioId, mix);
    for (const auto& values : step.scripts) {
        if (values.empty() || values[0].type != video::AmfValue::Type::String || values[0].string.isEmpty()) continue;
        std::vector<Value> args;
        for (std::size_t i = 1; i < values.size(); ++i) args.push_back(toValue(vm, values[i]));
        vm.callMethod(Value(self), values[0].string, args);
    }
}

bool tickStream(Stage& stage, NetStreamObject* self) {
    const std::shared_ptr<StreamState> keep = self->state;
    StreamState& st = *keep;
    Vm& vm = *stage.vm();
    if (st.phase == StreamState::Phase::Idle) return false;
    if (st.phase == StreamState::Phase::Opening) {
        st.phase = StreamState::Phase::Open;
        if (!st.found) {
            st.phase = StreamState::Phase::Idle;
            status(vm, self, "NetStream.Play.StreamNotFound", "error");
            return false;
        }
        st.playing = true;
        if (st.playback) st.bytes = static_cast<double>(st.playback->byteSize());
        status(vm, self, "NetStream.Buffer.Full");
        if (st.phase != StreamState::Phase::Open || !st.playback) return st.phase != StreamState::Phase::Idle;
        const std::shared_ptr<video::FlvPlayback> playback = st.playback;
        video::FlvPlayback::Step step = playback->advance(0);
        deliver(stage, self, st, step);
        return st.phase != StreamState::Phase::Idle;
    }
    if (!st.playback) return false;
    const std::shared_ptr<video::FlvPlayback> playback = st.playback;
    if (st.seekMs) {
        playback->seek(*st.seekMs);
        st.seekMs.reset();
        stage.sound().mixer()->streamStop(st.audioId);
        // Paused or stopped, the picture still moves to where the seek went.
        if (!st.playing) {
            video::FlvPlayback::Step step = playback->advance(0);
            deliver(stage, self, st, step);
            return st.phase != StreamState::Phase::Idle;
        }
    }
    if (!st.playing) return true;
    video::FlvPlayback::Step step = playback->advance(stage.framePeriodMs());
    deliver(stage, self, st, step);
    if (step.ended && st.playing && st.playback == playback) {
        st.playing = false;
        status(vm, self, "NetStream.Buffer.Flush");
        status(vm, self, "NetStream.Play.Stop");
        status(vm, self, "NetStream.Buffer.Empty");
    }
    return st.phase != StreamState::Phase::Idle;
}

}  // namespace

void attachStreamAudio(Stage& stage, Object* clip, const Value& source) {
    auto& streams = NetStreamObject::live();
    std::erase_if(streams, [](const std::weak_ptr<StreamState>& s) { return s.expired(); });
    // A clip holds one stream's sound: the one it held before goes quiet.
    for (const auto& weak : streams)
        if (const auto st = weak.lock(); st && st->audio == StreamState::Audio::Clip && st->audioClip == clip) {
            st->audio = StreamState::Audio::Off;
            st->audioClip = nullptr;
            stage.sound().mixer()->streamSetMix(st->audioId, {0, 0, 0, 0});
        }
    if (auto* ns = dynamic_cast<NetStreamObject*>(source.object())) {
        ns->state->audio = StreamState::Audio::Clip;
        ns->state->audioClip = clip;   // the gain follows on the stream's next tick
    }
}

std::shared_ptr<video::StreamPicture> netStreamPicture(const Value& stream) {
    StreamState* st = stateOf(stream);
    return st ? st->picture : nullptr;
}

void installNetStream(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("NetStream"), [](Vm&, const Value&, Args) { return Value(); });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    if (!proto) return;
    vm.extraRoots().push_back(proto);
    ctor->setNativeConstructor([proto](Vm& vm, const Value&, Args) {
        auto* o = vm.heap().make<NetStreamObject>();
        o->setProto(proto);
        return Value(static_cast<Object*>(o));
    });

    auto stateGetter = [&vm, proto](const char* name, auto read) {
        defineGetter(vm, proto, QString::fromLatin1(name), [read](Vm&, const Value& self, Args) {
            StreamState* st = stateOf(self);
            return st ? read(*st) : Value();
        });
    };
    stateGetter("time", [](const StreamState& st) { return Value(st.playback ? st.playback->timeMs() / 1000.0 : 0.0); });
    auto loaded = [](const StreamState& st) { return Value(st.bytes); };
    stateGetter("bytesLoaded", loaded);
    stateGetter("bytesTotal", loaded);
    stateGetter("bufferTime", [](const StreamState& st) { return Value(st.bufferTime); });
    // The whole file is at hand at once: the buffer always holds what was asked for,
    // even before anything plays.
    stateGetter("bufferLength", [](const StreamState& st) { return Value(st.bufferTime); });
    method(vm, proto, QStringLiteral("setBufferTime"), [](Vm& vm, const Value& self, Args args) {
        if (StreamState* st = stateOf(self)) {
            const double t = vm.toNumber(arg(args, 0));
            if (std::isfinite(t) && t >= 0) st->bufferTime = t;
        }
        return Value();
    });

    method(vm, proto, QStringLiteral("play"), [s](Vm& vm, const Value& self, Args args) {
        auto* o = dynamic_cast<NetStreamObject*>(self.object());
        if (!o || args.empty()) return Value();
        StreamState& st = *o->state;
        s->sound().mixer()->streamStop(st.audioId);
        // Streams playing at once are limited (each holds its file): past that, play starts nothing.
        if (!s->addClockObject(o, [s, o] { return tickStream(*s, o); })) {
            st.phase = StreamState::Phase::Idle;
            st.playback.reset();
            st.picture->set(nullptr);
            status(vm, o, "NetStream.Play.Start");
            return Value();
        }
        const std::optional<QByteArray> bytes = s->loader().readFile(vm.toString(args[0]));
        st.found = bytes.has_value();
        st.playback = bytes ? std::make_shared<video::FlvPlayback>(*bytes) : nullptr;
        st.picture->set(st.playback);
        st.phase = StreamState::Phase::Opening;
        st.playing = false;
        st.bytes = 0;
        st.seekMs.reset();
        status(vm, o, "NetStream.Play.Start");
        return Value();
    });
    method(vm, proto, QStringLiteral("pause"), [](Vm& vm, const Value& self, Args args) {
        StreamState* st = stateOf(self);
        if (!st || !st->playback || st->phase == StreamState::Phase::Idle) return Value();
        if (args.empty() || args[0].isUndefined()) {
            st->playing = !st->playing;
        } else if (vm.toBoolean(args[0])) {
            st->playing = false;
            status(vm, self.object(), "NetStream.Pause.Notify", "status", "Pausing");
        } else {
            st->playing = true;
        }
        return Value();
    });
    // The new time takes effect on the next tick; the notice comes once the calling script is done.
    method(vm, proto, QStringLiteral("seek"), [s](Vm& vm, const Value& self, Args args) {
        StreamState* st = stateOf(self);
        if (!st || !st->playback || st->phase == StreamState::Phase::Idle) return Value();
        const double seconds = vm.toNumber(arg(args, 0));
        st->seekMs = std::isfinite(seconds) ? seconds * 1000.0 : 0.0;
        s->postCall(self, QStringLiteral("onStatus"), {statusInfo(vm, "NetStream.Seek.Notify")});
        return Value();
    });
    method(vm, proto, QStringLiteral("close"), [s](Vm&, const Value& self, Args) {
        StreamState* st = stateOf(self);
        if (!st) return Value();
        st->phase = StreamState::Phase::Idle;
        st->playing = false;
        s->sound().mixer()->streamStop(st->audioId);
        return Value();
    });
    for (const char* name : {"receiveAudio", "receiveVideo", "attachAudio", "attachVideo", "publish", "send"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });

    // MovieClip.attachAudio(stream): the stream's sound follows the clip's Sound settings from then on.
    Object* clipCtor = vm.getMember(Value(vm.global()), QStringLiteral("MovieClip")).object();
    Object* clipProto = clipCtor ? vm.getMember(Value(clipCtor), QStringLiteral("prototype")).object() : nullptr;
    if (clipProto)
        method(vm, clipProto, QStringLiteral("attachAudio"), [s](Vm&, const Value& self, Args args) {
            if (displayOf(self)) attachStreamAudio(*s, self.object(), arg(args, 0));
            return Value();
        }, avm1::propflag::kVersion6);
}

}  // namespace vistrel::player::objects
