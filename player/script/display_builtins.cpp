#include "player/script/display_builtins.h"

#include <array>
#include <cmath>
#include <optional>

#include "player/avm1/convert.h"
#include "player/avm1/vm.h"
#include "player/bounds.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/shape_paths.h"
#include "player/script/clip_object.h"
#include "player/script/drawing.h"
#include "player/script/loader.h"
#include "player/script/obj_internal.h"
#include "player/script/script_host.h"
#include "player/script/stage_objects.h"
#include "player/script/text_field.h"
#include "player/stage.h"

namespace vistrel::player {

using avm1::Value;
using Args = std::span<const Value>;

namespace {

Value arg(Args args, std::size_t i) { return i < args.size() ? args[i] : Value(); }

// A position in twips as scripts read it: rounded to whole twips, in pixels.
double twips(double v) { return std::isfinite(v) ? std::round(v) / 20.0 : v / 20.0; }

// A depth a script asks for, in the timeline's numbering, or nothing when it is refused:
// scripts reach from the timeline's first depth up to a little under 2^31.
std::optional<int> scriptDepth(avm1::Vm& vm, const Value& value) {
    const std::int64_t depth = avm1::toInt32(vm.toNumber(value));
    if (depth < kMinScriptDepth || depth > kMaxScriptDepth) return std::nullopt;
    return static_cast<int>(depth + kScriptDepthOffset);
}

ScriptHost& hostOf(avm1::Vm& vm) { return static_cast<ScriptHost&>(*vm.host()); }

// Timeline methods: play, stop, gotoAndPlay...
void installTimelineMethods(Stage& stage, avm1::Object* proto) {
    avm1::Vm& vm = *stage.vm();
    vm.defineMethod(proto, QStringLiteral("play"), [](avm1::Vm& vm, const Value& self, Args) {
        vm.host()->play(self.object());
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("stop"), [](avm1::Vm& vm, const Value& self, Args) {
        vm.host()->stop(self.object());
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("nextFrame"), [](avm1::Vm& vm, const Value& self, Args) {
        vm.host()->nextFrame(self.object());
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("prevFrame"), [](avm1::Vm& vm, const Value& self, Args) {
        vm.host()->prevFrame(self.object());
        return Value();
    });
    auto gotoMethod = [](bool play) {
        return [play](avm1::Vm& vm, const Value& self, Args args) {
            avm1::Object* target = self.object();
            Value frameValue = arg(args, 0);
            // Anything but a number names a label (or a frame number) by its string.
            if (frameValue.isObject()) frameValue = Value(vm.toString(frameValue));
            // "path:frame" names a frame of another timeline.
            if (frameValue.isString()) {
                const QString text = frameValue.asString();
                const qsizetype colon = text.lastIndexOf(u':');
                if (colon >= 0) {
                    target = vm.host()->resolveTarget(target, text.left(colon));
                    frameValue = Value(text.mid(colon + 1));
                }
            }
            SpriteInstance* sprite = spriteOf(Value(target));
            if (!sprite) return Value();
            const int frame = hostOf(vm).frameFromValue(*sprite, frameValue);
            if (frame < 0) return Value();
            vm.host()->gotoFrame(target, frame, play);
            return Value();
        };
    };
    vm.defineMethod(proto, QStringLiteral("gotoAndPlay"), gotoMethod(true));
    vm.defineMethod(proto, QStringLiteral("gotoAndStop"), gotoMethod(false));
}

// Making and removing clips: attachMovie, createEmptyMovieClip, duplicateMovieClip, removeMovieClip...
void installChildMethods(Stage& stage, avm1::Object* proto) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    vm.defineMethod(proto, QStringLiteral("attachMovie"), [s](avm1::Vm& vm, const Value& self, Args args) {
        SpriteInstance* sprite = spriteOf(self);
        if (!sprite || args.size() < 3) return Value();
        const std::uint16_t id = sprite->movie().exportedCharacter(vm.toString(args[0]));
        if (!id) return Value();
        const std::optional<int> depth = scriptDepth(vm, args[2]);
        if (!depth) return Value();
        DisplayObject* child = sprite->addChild(*depth, id, vm.toString(args[1]));
        if (!child) return Value();
        avm1::Object* script = s->scriptObject(*child);
        s->constructScriptClip(*child, arg(args, 3).object());
        return script ? Value(script) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("createEmptyMovieClip"), [s](avm1::Vm& vm, const Value& self, Args args) {
        SpriteInstance* sprite = spriteOf(self);
        if (!sprite || args.size() < 2) return Value();
        const std::optional<int> depth = scriptDepth(vm, args[1]);
        if (!depth) return Value();
        DisplayObject* child = sprite->addChild(*depth, 0, vm.toString(args[0]));
        if (!child) return Value();
        avm1::Object* script = s->scriptObject(*child);
        s->constructScriptClip(*child, nullptr);
        return script ? Value(script) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("duplicateMovieClip"), [s](avm1::Vm& vm, const Value& self, Args args) {
        DisplayObject* o = displayOf(self);
        if (!o || args.size() < 2) return Value();
        // The name is converted before the depth, as the arguments come.
        const QString name = vm.toString(args[0]);
        const std::optional<int> depth = scriptDepth(vm, args[1]);
        if (!depth) return Value();
        DisplayObject* copy = hostOf(vm).duplicate(*o, name, *depth);
        if (!copy) return Value();
        avm1::Object* script = s->scriptObject(*copy);
        s->constructScriptClip(*copy, arg(args, 2).object());
        return script ? Value(script) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("removeMovieClip"), [](avm1::Vm& vm, const Value& self, Args) {
        if (DisplayObject* o = displayOf(self)) hostOf(vm).remove(*o);
        return Value();
    });
    // Version 5 code does not see it.
    vm.defineMethod(proto, QStringLiteral("getDepth"), [](avm1::Vm&, const Value& self, Args) {
        DisplayObject* o = displayOf(self);
        return o ? Value(o->depth - kScriptDepthOffset) : Value();
    }, avm1::propflag::kDontEnum | avm1::propflag::kVersion6);
    vm.defineMethod(proto, QStringLiteral("getNextHighestDepth"), [](avm1::Vm&, const Value& self, Args) {
        SpriteInstance* sprite = spriteOf(self);
        if (!sprite) return Value();
        return Value(std::max(0, sprite->highestDepth() + 1 - kScriptDepthOffset));
    });
    vm.defineMethod(proto, QStringLiteral("getInstanceAtDepth"), [s](avm1::Vm& vm, const Value& self, Args args) {
        SpriteInstance* sprite = spriteOf(self);
        if (!sprite || args.empty()) return Value();
        const double depth = vm.toNumber(args[0]);
        if (!std::isfinite(depth)) return Value();
        DisplayObject* child = sprite->childAt(static_cast<int>(depth) + kScriptDepthOffset);
        if (!child) return Value();
        avm1::Object* script = s->reachableObject(*child);
        return script ? Value(script) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("swapDepths"), [](avm1::Vm& vm, const Value& self, Args args) {
        DisplayObject* o = displayOf(self);
        if (!o || !o->parent || args.empty() || args[0].isUndefined()) return Value();
        // A clip, or a path naming one, trades places with it; a number is a depth. Anything else
        // (a path naming no clip, a boolean, null, another object) leaves the clip where it is.
        DisplayObject* other = displayOf(args[0]);
        if (!other && args[0].isString())
            other = displayOf(Value(vm.host()->resolveTarget(self.object(), args[0].asString())));
        int target;
        if (other) {
            if (other->parent != o->parent) return Value();
            target = other->depth;
        } else if (!args[0].isNumber()) {
            return Value();
        } else {
            const std::optional<int> depth = scriptDepth(vm, args[0]);
            if (!depth) return Value();
            target = *depth;
        }
        o->parent->swapDepths(o->depth, target);
        return Value();
    });
}

// The clip a geometry method measures against: a clip itself, or a target path read from `from`
// ("../other", "/"); an empty path names nothing.
DisplayObject* targetClip(avm1::Vm& vm, const DisplayObject& from, const Value& target) {
    if (target.isObject()) return displayOf(target);
    if (target.isNullish() || !vm.host() || !from.script) return nullptr;
    const QString path = vm.toString(target);
    if (path.isEmpty()) return nullptr;
    return displayOf(Value(vm.host()->resolveTarget(from.script, path)));
}

// Geometry: getBounds, localToGlobal, hitTest...
void installGeometryMethods(Stage& stage, avm1::Object* proto) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    auto boundsMethod = [s](avm1::Vm& vm, const Value& self, Args args) {
        DisplayObject* o = displayOf(self);
        if (!o) return Value();
        QRectF r = objectBounds(movieOf(*s, *o), *o);
        QTransform toTarget;
        DisplayObject* target = args.empty() ? o : targetClip(vm, *o, args[0]);
        if (target && target != o) {
            // Through the stage, as points travel: the clip's placement composed level by level, then
            // the target's inverted, each with whole-twip translations.
            const QTransform back = wholeTwipTranslation(placedTransform(*target, true).inverted());
            toTarget = wholeTwipTranslation(placedTransform(*o, true) * back);
        }
        if (!target) return Value();
        avm1::Object* out = vm.makeObject();
        // A version 8 root rounds from the start. A version 8 script asking for another clip's bounds sees the rounded form at once; asking for a
        // clip's own bounds switches to it only after answering.
        const bool newScript = vm.swfVersion() >= 8;
        if (newScript && target != o) s->setRoundedEmptyBounds();
        if (s->movie().header().version >= 8) s->setRoundedEmptyBounds();
        if (r.isNull()) {
            // An empty clip reports the largest twips value, 0x7ffffff. Only a change of space rounds
            // it: asked in its own space, the value comes back as it is.
            const bool rounded = s->roundedEmptyBounds() && target != o;
            const double v = rounded ? static_cast<double>(static_cast<float>(0x7ffffff)) / 20.0 : 0x7ffffff / 20.0;
            if (newScript) s->setRoundedEmptyBounds();
            out->setOwn(QStringLiteral("xMin"), Value(v));
            out->setOwn(QStringLiteral("xMax"), Value(v));
            out->setOwn(QStringLiteral("yMin"), Value(v));
            out->setOwn(QStringLiteral("yMax"), Value(v));
            return Value(out);
        }
        if (newScript) s->setRoundedEmptyBounds();
        r = toTarget.mapRect(r);
        // The answer is in whole twips, like every position a script reads.
        out->setOwn(QStringLiteral("xMin"), Value(twips(r.left())));
        out->setOwn(QStringLiteral("xMax"), Value(twips(r.right())));
        out->setOwn(QStringLiteral("yMin"), Value(twips(r.top())));
        out->setOwn(QStringLiteral("yMax"), Value(twips(r.bottom())));
        return Value(out);
    };
    vm.defineMethod(proto, QStringLiteral("getBounds"), boundsMethod);
    vm.defineMethod(proto, QStringLiteral("getRect"), boundsMethod, avm1::propflag::kVersion8);
    auto pointMethod = [](bool toGlobal) {
        return [toGlobal](avm1::Vm& vm, const Value& self, Args args) {
            DisplayObject* o = displayOf(self);
            avm1::Object* point = arg(args, 0).object();
            if (!o || !point) return Value();
            // The point must hold both coordinates itself, as numbers; otherwise it is left as it is.
            const avm1::Property* px = point->findOwn(QStringLiteral("x"));
            const avm1::Property* py = point->findOwn(QStringLiteral("y"));
            if (!px || !py || px->isAccessor() || py->isAccessor() || !px->value.isNumber() || !py->value.isNumber())
                return Value();
            const double x = px->value.asNumber();
            const double y = py->value.asNumber();
            // In whole twips throughout: the point cut to twips, the clip's matrices as drawing nests them
            // (and their inverse) with whole-twip translations, the answer rounded to twips.
            QTransform t = placedTransform(*o, true);
            if (!toGlobal) t = wholeTwipTranslation(t.inverted());
            const QPointF p = t.map(QPointF(std::trunc(x * 20.0), std::trunc(y * 20.0)));
            vm.setMember(Value(point), QStringLiteral("x"), Value(twips(p.x())));
            vm.setMember(Value(point), QStringLiteral("y"), Value(twips(p.y())));
            return Value();
        };
    };
    vm.defineMethod(proto, QStringLiteral("localToGlobal"), pointMethod(true));
    vm.defineMethod(proto, QStringLiteral("globalToLocal"), pointMethod(false));
    vm.defineMethod(proto, QStringLiteral("hitTest"), [s](avm1::Vm& vm, const Value& self, Args args) {
        DisplayObject* o = displayOf(self);
        if (!o) return Value(false);
        const QRectF own = objectBounds(movieOf(*s, *o), *o);
        const QRectF mine = worldTransform(*o).mapRect(own);
        if (args.size() >= 2) {
            // A clip with nothing in it covers no point, not even its own origin.
            if (own.isNull()) return Value(false);
            const double x = vm.toNumber(args[0]) * 20.0, y = vm.toNumber(args[1]) * 20.0;
            // A clip masking another through setMask has no shape of its own to hit.
            if (args.size() >= 3 && vm.toBoolean(args[2]))
                return Value(!o->masking && hitTestShape(movieOf(*s, *o), *o, QPointF(x, y)));
            // The point is in the root's space: the root's own transform carries it onto the stage.
            const DisplayObject* root = o;
            for (int guard = 0; root->parent && root->parent->owner() && guard < 64; ++guard) root = root->parent->owner();
            const QPointF p = toQTransform(root->matrix).map(QPointF(x, y));
            // Edges count, and a clip squeezed flat still covers its line.
            return Value(p.x() >= mine.left() && p.x() <= mine.right() && p.y() >= mine.top() && p.y() <= mine.bottom());
        }
        DisplayObject* other = targetClip(vm, *o, arg(args, 0));
        if (!other) return Value(false);
        const QRectF theirs = worldTransform(*other).mapRect(objectBounds(movieOf(*s, *other), *other));
        return Value(mine.intersects(theirs));
    });
    // Movies are read whole before they play: what has loaded is all there is. A clip of a defined
    // sprite counts the bytes of that sprite's tags; a movie's root counts the whole movie.
    auto bytesMethod = [s](bool total) {
        return [s, total](avm1::Vm&, const Value& self, Args) {
            DisplayObject* o = displayOf(self);
            if (!o) return Value();
            if (!o->failedLoadUrl.isEmpty()) return Value(total ? -1 : 0);
            if (showsNoMovie(*o)) return Value(0);
            if (o->characterId && o->parent && o->sprite && &o->sprite->movie() == &o->parent->movie()) {
                const Character* c = o->parent->movie().character(o->characterId);
                if (const auto* sprite = c ? std::get_if<SpriteCharacter>(c) : nullptr)
                    return Value(static_cast<double>(sprite->tagBytes));
            }
            return Value(static_cast<double>(movieOf(*s, *o).header().declaredLength));
        };
    };
    vm.defineMethod(proto, QStringLiteral("getBytesLoaded"), bytesMethod(false));
    vm.defineMethod(proto, QStringLiteral("getBytesTotal"), bytesMethod(true));
    vm.defineMethod(proto, QStringLiteral("getSWFVersion"), [s](avm1::Vm&, const Value& self, Args) {
        DisplayObject* o = displayOf(self);
        if (o && !o->failedLoadUrl.isEmpty()) return Value(-1);
        return o ? Value(movieOf(*s, *o).header().version) : Value();
    });
    vm.defineMethod(proto, QStringLiteral("startDrag"), [](avm1::Vm& vm, const Value& self, Args args) {
        std::optional<QRectF> bounds;
        if (args.size() >= 5) {
            const double x1 = vm.toNumber(args[1]), y1 = vm.toNumber(args[2]);
            const double x2 = vm.toNumber(args[3]), y2 = vm.toNumber(args[4]);
            bounds = QRectF(QPointF(x1, y1), QPointF(x2, y2));
        }
        vm.host()->startDrag(self.object(), vm.toBoolean(arg(args, 0)), bounds);
        return Value();
    });
    vm.defineMethod(proto, QStringLiteral("stopDrag"), [](avm1::Vm& vm, const Value&, Args) {
        vm.host()->stopDrag();
        return Value();
    });
}

// How a clip is composited, as scripts from version 8 see it. The mode reads as its name; it is set by
// name (an unknown name changes nothing) or by its number in the file's numbering, taken from the
// lowest byte of the value's 32-bit integer (0 and 1 are normal, a byte past the last mode changes
// nothing); undefined and null set it back to normal, other values change nothing.
constexpr std::array<const char*, 15> kBlendModeNames{"normal", "normal",   "layer",    "multiply", "screen",
                                                      "lighten", "darken",  "difference", "add",    "subtract",
                                                      "invert", "alpha",    "erase",    "overlay",  "hardlight"};

std::optional<BlendMode> scriptBlendMode(avm1::Vm& vm, const Value& v) {
    if (v.isNullish()) return BlendMode::Normal;
    if (v.isNumber()) {
        const auto byte = static_cast<std::uint8_t>(avm1::toInt32(v.asNumber()) & 0xff);
        if (byte >= kBlendModeNames.size()) return std::nullopt;
        return blendModeFromByte(byte);
    }
    if (!v.isString()) return std::nullopt;
    const QString name = vm.toString(v);
    for (std::size_t i = 1; i < kBlendModeNames.size(); ++i)
        if (name == QLatin1String(kBlendModeNames[i])) return blendModeFromByte(static_cast<std::uint8_t>(i));
    return std::nullopt;
}

// blendMode, cacheAsBitmap and filters of clips and buttons: each changes how the object is drawn from
// the next frame on.
void installCompositingProperties(Stage& stage, avm1::Object* proto) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    objects::defineAccessor(
        vm, proto, QStringLiteral("blendMode"),
        [](avm1::Vm&, const Value& self, Args) {
            const DisplayObject* o = displayOf(self);
            if (!o) return Value();
            return Value(QString::fromLatin1(kBlendModeNames[static_cast<std::size_t>(o->blendMode)]));
        },
        [s](avm1::Vm& vm, const Value& self, Args args) {
            DisplayObject* o = displayOf(self);
            if (!o) return Value();
            if (const std::optional<BlendMode> mode = scriptBlendMode(vm, arg(args, 0)); mode && *mode != o->blendMode) {
                o->blendMode = *mode;
                s->touch();
            }
            return Value();
        },
        avm1::propflag::kVersion8);
    objects::defineAccessor(
        vm, proto, QStringLiteral("cacheAsBitmap"),
        [](avm1::Vm&, const Value& self, Args) {
            // An object with filters is always drawn through a cached bitmap, and says so.
            const DisplayObject* o = displayOf(self);
            return o ? Value(o->cacheAsBitmap || !o->filters.empty()) : Value();
        },
        [s](avm1::Vm& vm, const Value& self, Args args) {
            DisplayObject* o = displayOf(self);
            if (!o) return Value();
            if (const bool on = vm.toBoolean(arg(args, 0)); on != o->cacheAsBitmap) {
                o->cacheAsBitmap = on;
                s->touch();
            }
            return Value();
        },
        avm1::propflag::kVersion8);
    // filters: read back as a new array of copies each time (until set, those the timeline placed the
    // clip with); setting keeps only the filters of the array-like value given, and the clip is drawn
    // with them from the next frame on.
    objects::defineAccessor(
        vm, proto, QStringLiteral("filters"),
        [](avm1::Vm& vm, const Value& self, Args) {
            auto* clip = dynamic_cast<ClipObject*>(self.object());
            const DisplayObject* o = displayOf(self);
            if (!clip || !o) return Value();
            if (clip->scriptFilters.isUndefined()) return objects::filtersShown(vm, o->filters);
            return objects::filterCopies(vm, clip->scriptFilters);
        },
        [s](avm1::Vm& vm, const Value& self, Args args) {
            auto* clip = dynamic_cast<ClipObject*>(self.object());
            DisplayObject* o = displayOf(self);
            if (!clip || !o) return Value();
            std::vector<Filter> shown;
            clip->scriptFilters = objects::filtersGiven(vm, arg(args, 0), &shown);
            o->filters = std::move(shown);
            s->touch();
            return Value();
        },
        avm1::propflag::kVersion8);
}

// setInterval, setTimeout and their clearing functions.
void installTimers(Stage& stage) {
    avm1::Vm& vm = *stage.vm();
    Stage* s = &stage;
    auto add = [s](bool repeat) {
        return [s, repeat](avm1::Vm& vm, const Value&, Args args) {
            if (args.empty()) return Value();
            Stage::Timer t;
            std::size_t next;
            if (args[0].isObject() && args[0].asObject()->isCallable()) {
                t.function = args[0];
                next = 1;
            } else {
                // setInterval(object, "method", interval, ...)
                if (args.size() < 3 || !args[0].isObject()) return Value();
                t.thisObject = args[0];
                t.method = vm.toString(args[1]);
                next = 2;
            }
            if (next >= args.size()) return Value();
            const double interval = vm.toNumber(args[next]);
            t.intervalMs = std::isfinite(interval) ? std::max(interval, 0.0) : 0.0;
            t.args.assign(args.begin() + static_cast<std::ptrdiff_t>(next + 1), args.end());
            t.repeat = repeat;
            return Value(s->addTimer(std::move(t)));
        };
    };
    auto clear = [s](avm1::Vm& vm, const Value&, Args args) {
        if (!args.empty()) s->removeTimer(static_cast<int>(vm.toNumber(args[0])));
        return Value();
    };
    avm1::Object* global = vm.global();
    vm.defineMethod(global, QStringLiteral("setInterval"), add(true));
    vm.defineMethod(global, QStringLiteral("setTimeout"), add(false), avm1::propflag::kVersion8);
    vm.defineMethod(global, QStringLiteral("clearInterval"), clear);
    vm.defineMethod(global, QStringLiteral("clearTimeout"), clear, avm1::propflag::kVersion8);
}

}  // namespace

void installDisplayBuiltins(Stage& stage) {
    avm1::Vm& vm = *stage.vm();
    avm1::Object* global = vm.global();

    avm1::Object* clipProto = vm.makeObject();
    avm1::Object* movieClip = vm.makeClass(QStringLiteral("MovieClip"), [](avm1::Vm&, const Value&, Args) { return Value(); }, clipProto);
    vm.protos().movieClip = clipProto;
    global->define(QStringLiteral("MovieClip"), Value(movieClip), avm1::propflag::kDontEnum);
    installTimelineMethods(stage, clipProto);
    installChildMethods(stage, clipProto);
    installGeometryMethods(stage, clipProto);
    installDrawingMethods(stage, clipProto);
    installCompositingProperties(stage, clipProto);
    // Clips and buttons answer the pointer while enabled, showing the hand unless told not to.
    clipProto->define(QStringLiteral("enabled"), Value(true), avm1::propflag::kDontEnum);
    clipProto->define(QStringLiteral("useHandCursor"), Value(true), avm1::propflag::kDontEnum);

    avm1::Object* buttonProto = vm.makeObject();
    avm1::Object* button = vm.makeClass(QStringLiteral("Button"), [](avm1::Vm&, const Value&, Args) { return Value(); }, buttonProto);
    vm.protos().button = buttonProto;
    buttonProto->define(QStringLiteral("enabled"), Value(true));
    buttonProto->define(QStringLiteral("useHandCursor"), Value(true), avm1::propflag::kDontEnum);
    installCompositingProperties(stage, buttonProto);
    global->define(QStringLiteral("Button"), Value(button), avm1::propflag::kDontEnum);

    avm1::Object* textProto = vm.makeObject();
    avm1::Object* textField = vm.makeClass(QStringLiteral("TextField"), [](avm1::Vm&, const Value&, Args) { return Value(); }, textProto);
    vm.protos().textField = textProto;
    global->define(QStringLiteral("TextField"), Value(textField), avm1::propflag::kDontEnum);
    installTextFieldBuiltins(stage);

    installTimers(stage);
    installStageObjects(stage);
    installLoaders(stage);
}

}  // namespace vistrel::player
