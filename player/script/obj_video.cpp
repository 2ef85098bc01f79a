// The Video class: what scripts see of a video placed on a timeline (its picture size, smoothing,
// deblocking).
#include "player/avm1/object.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"
#include "player/video/flv_playback.h"

namespace vistrel::player::objects {

namespace {

const VideoCharacter* videoCharacter(const Stage& stage, const DisplayObject& o) {
    const Character* c = o.characterId ? movieOf(stage, o).character(o.characterId) : nullptr;
    return c ? std::get_if<VideoCharacter>(c) : nullptr;
}

}  // namespace

Object* videoPrototype(Vm& vm) {
    const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("Video"));
    return ctor.isObject() ? vm.getMember(ctor, QStringLiteral("prototype")).object() : nullptr;
}

void installVideo(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("Video"), [](Vm&, const Value&, Args) { return Value(); });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    if (!proto) return;
    // The size the current picture was coded at; 0 before any picture.
    auto pictureSize = [s](const Value& self) {
        DisplayObject* o = displayOf(self);
        const VideoCharacter* v = o ? videoCharacter(*s, *o) : nullptr;
        if (!v) return QSize();
        return movieOf(*s, *o).videoPicture(o->characterId, o->ratio).size();
    };
    defineGetter(vm, proto, QStringLiteral("width"),
                 [pictureSize](Vm&, const Value& self, Args) { return Value(static_cast<double>(pictureSize(self).width())); });
    defineGetter(vm, proto, QStringLiteral("height"),
                 [pictureSize](Vm&, const Value& self, Args) { return Value(static_cast<double>(pictureSize(self).height())); });
    defineAccessor(
        vm, proto, QStringLiteral("smoothing"),
        [s](Vm&, const Value& self, Args) {
            DisplayObject* o = displayOf(self);
            if (!o) return Value();
            if (o->videoSmoothing) return Value(*o->videoSmoothing);
            const VideoCharacter* v = videoCharacter(*s, *o);
            return Value(v && v->definition.smoothing);
        },
        [](Vm& vm, const Value& self, Args args) {
            if (DisplayObject* o = displayOf(self)) o->videoSmoothing = vm.toBoolean(arg(args, 0));
            return Value();
        });
    defineAccessor(
        vm, proto, QStringLiteral("deblocking"),
        [s](Vm&, const Value& self, Args) {
            DisplayObject* o = displayOf(self);
            const VideoCharacter* v = o ? videoCharacter(*s, *o) : nullptr;
            return v ? Value(static_cast<double>(v->definition.deblocking)) : Value();
        },
        [](Vm&, const Value&, Args) { return Value(); });
    // Clearing empties what a stream attached by a script showed; a timeline's video keeps its picture.
    method(vm, proto, QStringLiteral("clear"), [](Vm&, const Value& self, Args) {
        if (DisplayObject* o = displayOf(self); o && o->attachedVideo) o->attachedVideo->clear();
        return Value();
    });
    // A stream's pictures replace the timeline's frames; anything else detaches it.
    method(vm, proto, QStringLiteral("attachVideo"), [s](Vm&, const Value& self, Args args) {
        if (DisplayObject* o = displayOf(self); o && videoCharacter(*s, *o)) {
            o->attachedVideo = netStreamPicture(arg(args, 0));
            s->touch();
        }
        return Value();
    });
}

}  // namespace vistrel::player::objects
