#include "player/mouse_input.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/characters.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/drawing.h"
#include "player/script/obj_internal.h"
#include "player/script/text_field.h"
#include "player/stage.h"
#include "player/text_input.h"
#include "player/timeline.h"

namespace vistrel::player {

namespace {

constexpr int kMaxPickNesting = ObjectBudget::kMaxNesting + 2;

const Movie& movieHolding(const Stage& stage, const DisplayObject& o) {
    return o.parent ? o.parent->movie() : stage.movie();
}

const Character* characterOf(const Stage& stage, const DisplayObject& o) {
    if (!o.characterId) return nullptr;
    return movieHolding(stage, o).character(o.characterId);
}

const ButtonCharacter* buttonOf(const Stage& stage, const DisplayObject& o) {
    const Character* c = characterOf(stage, o);
    return c ? std::get_if<ButtonCharacter>(c) : nullptr;
}

bool characterHit(const Movie& movie, std::uint16_t id, QPointF local, int nesting);

bool placementsHit(const Movie& movie, const Frame& frame, QPointF local, int nesting) {
    for (const FrameCommand& command : frame.commands) {
        const auto* p = std::get_if<swf::PlaceObject>(&command);
        if (!p || !p->character || (p->clipDepth && *p->clipDepth > 0)) continue;
        bool invertible = true;
        const QTransform inverse = p->matrix ? toQTransform(*p->matrix).inverted(&invertible) : QTransform();
        if (invertible && characterHit(movie, *p->character, inverse.map(local), nesting + 1)) return true;
    }
    return false;
}

bool buttonRecordsHit(const Movie& movie, const swf::DefineButton& button, QPointF local, int nesting) {
    for (const swf::ButtonRecord& r : button.records) {
        if (!r.hitTest) continue;
        bool invertible = false;
        const QTransform inverse = toQTransform(r.matrix).inverted(&invertible);
        if (invertible && characterHit(movie, r.character, inverse.map(local), nesting + 1)) return true;
    }
    return false;
}

// A definition's outlines as its first frame shows them (the hit states of buttons hold definitions,
// not live objects).
bool characterHit(const Movie& movie, std::uint16_t id, QPointF local, int nesting) {
    if (nesting > kMaxPickNesting) return false;
    const Character* c = movie.character(id);
    if (!c) return false;
    if (std::holds_alternative<swf::DefineShape>(*c)) return pathsHit(movie.shapePaths(id), local);
    if (std::holds_alternative<swf::DefineMorphShape>(*c))
        return pathsHit(movie.morphPaths(id, 0), local, StrokesHit::No);
    if (std::holds_alternative<swf::DefineText>(*c)) return pathsHit(movie.textPaths(id), local);
    if (std::holds_alternative<BitmapCharacter>(*c)) return pathsHit(movie.bitmapPaths(id), local);
    if (const auto* t = std::get_if<swf::DefineEditText>(c)) {
        const swf::Rect& b = t->bounds;
        return QRectF(QPointF(b.xMin, b.yMin), QPointF(b.xMax, b.yMax)).normalized().contains(local);
    }
    if (const auto* s = std::get_if<SpriteCharacter>(c))
        return !s->timeline.frames.empty() && placementsHit(movie, s->timeline.frames.front(), local, nesting);
    if (const auto* b = std::get_if<ButtonCharacter>(c)) return buttonRecordsHit(movie, b->button, local, nesting);
    return false;
}

QPointF localPoint(const DisplayObject& o, QPointF stageTwips, bool& ok) {
    const QTransform inverse = stageTransform(o).inverted(&ok);
    return inverse.map(stageTwips);
}

bool buttonHit(const Stage& stage, const DisplayObject& o, const ButtonCharacter& b, QPointF stageTwips) {
    bool ok = false;
    const QPointF local = localPoint(o, stageTwips, ok);
    return ok && buttonRecordsHit(movieHolding(stage, o), b.button, local, 0);
}

bool hasMember(const avm1::Object* o, const QString& name) {
    int guard = 0;
    for (; o && guard < 64; o = o->proto(), ++guard)
        if (const avm1::Property* p = o->findOwn(name)) return p->isAccessor() || !p->value.isUndefined();
    return false;
}

constexpr std::uint32_t kPointerEvents = swf::clipevent::kPress | swf::clipevent::kRelease |
                                         swf::clipevent::kReleaseOutside | swf::clipevent::kRollOver |
                                         swf::clipevent::kRollOut | swf::clipevent::kDragOver |
                                         swf::clipevent::kDragOut;

// A clip answers the pointer as a button once it has a pointer handler, as a method or a clip event.
bool buttonMode(const DisplayObject& o) {
    for (const swf::ClipAction& a : o.clipActions)
        if (a.events & kPointerEvents) return true;
    if (!o.script) return false;
    for (const char* name : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut", "onDragOver",
                             "onDragOut"})
        if (hasMember(o.script, QString::fromLatin1(name))) return true;
    return false;
}

bool memberTrue(Stage& stage, const DisplayObject& o, const char* name, bool otherwise) {
    avm1::Vm* vm = stage.vm();
    if (!vm || !o.script) return otherwise;
    const QString n = QString::fromLatin1(name);
    if (!hasMember(o.script, n)) return otherwise;
    return vm->toBoolean(vm->getMember(avm1::Value(o.script), n));
}

// `enabled` turns pointer events off; an undefined value leaves them on.
bool enabled(Stage& stage, const DisplayObject& o) {
    avm1::Vm* vm = stage.vm();
    if (!vm || !o.script || !hasMember(o.script, QStringLiteral("enabled"))) return true;
    const avm1::Value v = vm->getMember(avm1::Value(o.script), QStringLiteral("enabled"));
    return v.isUndefined() || vm->toBoolean(v);
}

bool selectableText(const Stage& stage, const DisplayObject& o) {
    // Input texts show the I-beam even where they cannot be selected.
    if (const auto* field = dynamic_cast<const TextFieldObject*>(o.script)) return field->selectable || field->input;
    const Character* c = characterOf(stage, o);
    const auto* t = c ? std::get_if<swf::DefineEditText>(c) : nullptr;
    if (!t) return o.text != nullptr;
    return !t->noSelect || !t->readOnly;
}

struct Picker {
    Stage& stage;
    QPointF point;
    bool texts;

    DisplayObject* inChildren(const DisplayObject& container, int nesting) const {
        if (!container.sprite || nesting > kMaxPickNesting) return nullptr;
        const Movie& movie = container.sprite->movie();
        // Children under a mask layer only count where the mask is hit.
        std::vector<std::pair<DisplayObject*, bool>> order;
        struct Mask {
            int depth;
            bool hit;
        };
        std::vector<Mask> masks;
        for (const auto& [depth, child] : container.sprite->children()) {
            while (!masks.empty() && depth > masks.back().depth) masks.pop_back();
            if (child->clipDepth && *child->clipDepth > 0) {
                masks.push_back({*child->clipDepth, hitTestShape(movie, *child, point)});
                continue;
            }
            const bool maskedOut = std::any_of(masks.begin(), masks.end(), [](const Mask& m) { return !m.hit; });
            order.emplace_back(child.get(), maskedOut);
        }
        for (auto it = order.rbegin(); it != order.rend(); ++it) {
            if (it->second) continue;
            if (DisplayObject* found = inObject(*it->first, nesting + 1)) return found;
        }
        return nullptr;
    }

    DisplayObject* inObject(DisplayObject& o, int nesting) const {
        if (!o.visible) return nullptr;
        if (const ButtonCharacter* b = buttonOf(stage, o)) {
            if (!buttonHit(stage, o, *b, point)) return nullptr;
            // A button shown in another's state takes the pointer itself; its actions run on the outer one.
            if (DisplayObject* inner = inChildren(o, nesting)) return inner;
            return &o;
        }
        if (o.text) {
            // Every edit text is offered the press (links answer in texts that cannot be selected); the
            // text side says whether it takes it.
            if (texts && hitTestShape(movieHolding(stage, o), o, point)) return &o;
            return nullptr;
        }
        if (!o.sprite) return nullptr;
        if (o.parent && buttonMode(o)) {
            bool hit = false;
            DisplayObject* area = nullptr;
            if (o.script && hasMember(o.script, QStringLiteral("hitArea")) && stage.vm())
                area = displayOf(stage.vm()->getMember(avm1::Value(o.script), QStringLiteral("hitArea")));
            if (area && area->sprite) hit = hitTestShape(movieHolding(stage, *area), *area, point);
            else hit = hitTestShape(movieHolding(stage, o), o, point);
            if (hit) return &o;
        }
        return inChildren(o, nesting);
    }
};

// The topmost object of any kind under the point, `skip` and what it holds left out.
DisplayObject* topmostUnder(const Stage& stage, DisplayObject& o, QPointF point, const DisplayObject* skip,
                            int nesting) {
    if (&o == skip || !o.visible || nesting > kMaxPickNesting) return nullptr;
    if (o.clipDepth && *o.clipDepth > 0) return nullptr;
    if (o.sprite) {
        const auto& children = o.sprite->children();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (DisplayObject* found = topmostUnder(stage, *it->second, point, skip, nesting + 1)) return found;
        if (o.drawing && hitTestShape(o.sprite->movie(), o, point)) return &o;
        return nullptr;
    }
    return hitTestShape(movieHolding(stage, o), o, point) ? &o : nullptr;
}

bool contains(const DisplayObject& o, const DisplayObject* wanted, std::uint64_t uid, int nesting) {
    if (&o == wanted) return o.uid == uid;
    if (!o.sprite || nesting > kMaxPickNesting) return false;
    for (const auto& [depth, child] : o.sprite->children())
        if (contains(*child, wanted, uid, nesting + 1)) return true;
    return false;
}

struct ButtonTransition {
    std::uint16_t condition;
    int state;
    int sound;   // the button's sound for it (0 over to up, 1 up to over, 2 over to down, 3 down to over); -1: none
};

}  // namespace

MouseInput::MouseInput(Stage& stage) : m_stage(stage) {}

MouseInput::Ref MouseInput::ref(DisplayObject* o) const { return o ? Ref{o, o->uid} : Ref{}; }

DisplayObject* MouseInput::live(const Ref& r) const {
    if (!r.object) return nullptr;
    Stage& stage = m_stage;
    if (contains(stage.rootObject(), r.object, r.uid, 0)) return r.object;
    for (const auto& [n, level] : stage.levels())
        if (level && contains(*level, r.object, r.uid, 0)) return r.object;
    return nullptr;
}

QPointF MouseInput::toTwips(QPointF px) const {
    const QRectF frame = m_stage.movie().stageRect();
    constexpr double kLimit = 1.0e8;
    const double x = std::isfinite(px.x()) ? std::clamp(px.x() * 20.0, -kLimit, kLimit) : 0.0;
    const double y = std::isfinite(px.y()) ? std::clamp(px.y() * 20.0, -kLimit, kLimit) : 0.0;
    return QPointF(x + frame.left(), y + frame.top());
}

DisplayObject* MouseInput::pick(QPointF stageTwips, bool texts) const {
    const Picker picker{m_stage, stageTwips, texts};
    const auto& levels = m_stage.levels();
    for (auto it = levels.rbegin(); it != levels.rend(); ++it) {
        if (it->first <= 0 || !it->second || !it->second->visible) continue;
        if (DisplayObject* found = picker.inChildren(*it->second, 0)) return found;
    }
    if (!m_stage.rootObject().visible) return nullptr;
    return picker.inChildren(m_stage.rootObject(), 0);
}

DisplayObject* MouseInput::dragged() const { return m_drag ? live(m_drag->clip) : nullptr; }

bool MouseInput::trackAsMenu(DisplayObject& o) const {
    avm1::Vm* vm = m_stage.vm();
    if (o.script && vm && hasMember(o.script, QStringLiteral("trackAsMenu")))
        return vm->toBoolean(vm->getMember(avm1::Value(o.script), QStringLiteral("trackAsMenu")));
    if (const ButtonCharacter* b = buttonOf(m_stage, o)) return b->button.trackAsMenu;
    return false;
}

void MouseInput::fire(DisplayObject& target, Event event) {
    // A disabled button or clip stays under the pointer but hears nothing.
    if (!enabled(m_stage, target)) return;
    using namespace swf::buttoncond;
    namespace ce = swf::clipevent;
    if (const ButtonCharacter* b = buttonOf(m_stage, target)) {
        const bool menu = trackAsMenu(target);
        ButtonTransition t{};
        std::uint32_t clipEvent = 0;
        switch (event) {
        case Event::RollOver: t = {kIdleToOverUp, 1, 1}; clipEvent = ce::kRollOver; break;
        case Event::RollOut: t = {kOverUpToIdle, 0, 0}; clipEvent = ce::kRollOut; break;
        case Event::Press: t = {kOverUpToOverDown, 2, 2}; clipEvent = ce::kPress; break;
        case Event::Release: t = {kOverDownToOverUp, 1, 3}; clipEvent = ce::kRelease; break;
        case Event::ReleaseOutside: t = {kOutDownToIdle, 0, 0}; clipEvent = ce::kReleaseOutside; break;
        case Event::DragOut:
            t = menu ? ButtonTransition{kOverDownToIdle, 0, 0} : ButtonTransition{kOverDownToOutDown, 1, -1};
            clipEvent = ce::kDragOut;
            break;
        case Event::DragOver:
            t = menu ? ButtonTransition{kIdleToOverDown, 2, 2} : ButtonTransition{kOutDownToOverDown, 2, -1};
            clipEvent = ce::kDragOver;
            break;
        }
        if (target.buttonState != t.state && target.sprite) {
            target.buttonState = t.state;
            target.sprite->showButtonState(t.state == 0 ? b->upState : t.state == 1 ? b->overState : b->downState);
        }
        if (t.sound >= 0 && b->sounds) {
            const auto at = static_cast<std::size_t>(t.sound);
            if (const std::uint16_t id = b->sounds->soundId[at])
                m_stage.startSound(movieHolding(m_stage, target), id, b->sounds->info[at], &target);
        }
        // Condition actions run on the clip that holds the button; then the Button object's method.
        if (DisplayObject* holder = target.parent ? target.parent->owner() : nullptr)
            for (const swf::ButtonAction& a : b->button.actions)
                if (a.conditions & t.condition) m_stage.queueActions(*holder, a.actions);
        if (target.script) m_stage.queueClipEvent(target, clipEvent);
        return;
    }
    std::uint32_t clipEvent = 0;
    switch (event) {
    case Event::Press: clipEvent = ce::kPress; break;
    case Event::Release: clipEvent = ce::kRelease; break;
    case Event::ReleaseOutside: clipEvent = ce::kReleaseOutside; break;
    case Event::RollOver: clipEvent = ce::kRollOver; break;
    case Event::RollOut: clipEvent = ce::kRollOut; break;
    case Event::DragOver: clipEvent = ce::kDragOver; break;
    case Event::DragOut: clipEvent = ce::kDragOut; break;
    }
    m_stage.queueClipEvent(target, clipEvent);
}

void MouseInput::broadcast(std::uint32_t clipEvent, const char* listenerMethod, int wheelDelta) {
    avm1::Vm* vm = m_stage.vm();
    if (!vm) return;
    if (clipEvent)
        for (DisplayObject* clip : m_stage.clipsNewestFirst()) m_stage.queueClipEvent(*clip, clipEvent, false, true);
    m_stage.runQueue();
    const avm1::Value mouse = vm->getMember(avm1::Value(vm->global()), QStringLiteral("Mouse"));
    if (avm1::Object* m = mouse.object()) {
        std::vector<avm1::Value> args;
        if (clipEvent == 0) {
            args.emplace_back(wheelDelta);
            DisplayObject* over = live(m_hover);
            args.push_back(over && over->script ? avm1::Value(over->script) : avm1::Value());
        }
        objects::broadcast(*vm, m, QString::fromLatin1(listenerMethod), args);
    }
    m_stage.runQueue();
}

void MouseInput::updateHover() {
    DisplayObject* now = m_inside ? pick(m_pos, false) : nullptr;
    DisplayObject* before = live(m_hover);
    // A disabled button or clip the pointer comes onto is not hovered: enabled later, it rolls over
    // then. One hovered before it was disabled stays hovered, deaf meanwhile, and is not rolled over again.
    if (now && now != before && !enabled(m_stage, *now)) now = nullptr;
    if (now == before) {
        updateCursor();
        return;
    }
    DisplayObject* pressed = live(m_pressed);
    m_hover = ref(now);
    if (m_down) {
        if (pressed) {
            const bool menu = trackAsMenu(*pressed);
            if (before && (before == pressed || (menu && trackAsMenu(*before)))) fire(*before, Event::DragOut);
            if (now && (now == pressed || (menu && trackAsMenu(*now)))) fire(*now, Event::DragOver);
        }
    } else {
        if (before) fire(*before, Event::RollOut);
        if (DisplayObject* again = live(m_hover)) fire(*again, Event::RollOver);
    }
    m_stage.runQueue();
    updateCursor();
}

void MouseInput::updateCursor() {
    m_cursor = Cursor::Arrow;
    if (!m_inside) return;
    if (DisplayObject* over = live(m_hover)) {
        if (enabled(m_stage, *over) && memberTrue(m_stage, *over, "useHandCursor", true)) m_cursor = Cursor::Hand;
        return;
    }
    if (DisplayObject* top = pick(m_pos, true); top && top->text) {
        if (textLinkAt(m_stage, *top, m_pos)) m_cursor = Cursor::Hand;
        else if (selectableText(m_stage, *top)) m_cursor = Cursor::IBeam;
    }
}

void MouseInput::updateDrag() {
    if (!m_drag) return;
    DisplayObject* clip = live(m_drag->clip);
    if (!clip) {
        m_drag.reset();
        return;
    }
    bool ok = true;
    const DisplayObject* parent = clip->parent ? clip->parent->owner() : nullptr;
    const QPointF local = parent ? stageTransform(*parent).inverted(&ok).map(m_pos) : m_pos;
    if (!ok) return;
    QPointF to = m_drag->lockCenter ? local : local + m_drag->offset;
    if (m_drag->bounds) {
        const QRectF& b = *m_drag->bounds;
        to.setX(std::clamp(to.x(), b.left(), b.right()));
        to.setY(std::clamp(to.y(), b.top(), b.bottom()));
    }
    const double x = std::trunc(to.x()), y = std::trunc(to.y());
    if (x != clip->matrix.tx || y != clip->matrix.ty) {
        clip->matrix.tx = static_cast<std::int32_t>(x);
        clip->matrix.ty = static_cast<std::int32_t>(y);
        clip->transformedByScript = true;
        m_stage.touch();
    }
    updateDropTarget(*clip);
}

void MouseInput::updateDropTarget(DisplayObject& clip) {
    DisplayObject* under = objectUnder(m_pos, &clip);
    // Shapes and texts answer for the clip that holds them; the stage itself is no target.
    while (under && !under->sprite) under = under->parent ? under->parent->owner() : nullptr;
    if (under && under->sprite && buttonOf(m_stage, *under)) under = under->parent ? under->parent->owner() : nullptr;
    clip.dropTarget = under && under->parent ? slashPath(*under) : QString();
}

DisplayObject* MouseInput::objectUnder(QPointF stageTwips, const DisplayObject* skip) const {
    DisplayObject* under = nullptr;
    const auto& levels = m_stage.levels();
    for (auto it = levels.rbegin(); it != levels.rend() && !under; ++it)
        if (it->first > 0 && it->second) under = topmostUnder(m_stage, *it->second, stageTwips, skip, 0);
    if (!under) under = topmostUnder(m_stage, m_stage.rootObject(), stageTwips, skip, 0);
    return under;
}

void MouseInput::startDrag(DisplayObject& clip, bool lockCenter, std::optional<QRectF> bounds) {
    Drag d;
    d.clip = ref(&clip);
    d.lockCenter = lockCenter;
    if (bounds) {
        const QRectF b = bounds->normalized();
        if (std::isfinite(b.left()) && std::isfinite(b.top()) && std::isfinite(b.right()) && std::isfinite(b.bottom()))
            d.bounds = b;
    }
    bool ok = true;
    const DisplayObject* parent = clip.parent ? clip.parent->owner() : nullptr;
    const QPointF local = parent ? stageTransform(*parent).inverted(&ok).map(m_pos) : m_pos;
    d.offset = ok ? QPointF(clip.matrix.tx, clip.matrix.ty) - local : QPointF();
    m_drag = d;
    // A dragged clip is the script's from now on: the timeline no longer moves it, even where the drag
    // has not moved it yet.
    clip.transformedByScript = true;
    if (lockCenter) updateDrag();
}

void MouseInput::stopDrag() {
    if (DisplayObject* clip = dragged()) updateDropTarget(*clip);
    m_drag.reset();
}

void MouseInput::move(QPointF px) {
    if (m_dispatching > 0) return;
    ++m_dispatching;
    m_pos = toTwips(px);
    m_inside = true;
    updateDrag();
    if (DisplayObject* text = live(m_text); text && m_down) textPointer(m_stage, *text, px, PointerPhase::Move);
    broadcast(swf::clipevent::kMouseMove, "onMouseMove");
    updateHover();
    --m_dispatching;
}

void MouseInput::press(QPointF px, bool twice) {
    if (m_dispatching > 0) return;
    ++m_dispatching;
    m_pos = toTwips(px);
    m_inside = true;
    broadcast(swf::clipevent::kMouseDown, "onMouseDown");
    updateHover();
    m_down = true;
    m_text = {};
    bool textTook = false;
    if (DisplayObject* top = pick(m_pos, true); top && top->text) {
        textTook = textPointer(m_stage, *top, px, twice ? PointerPhase::DoublePress : PointerPhase::Press);
        if (textTook) m_text = ref(top);
    }
    if (!textTook) {
        pointerPressedElsewhere(m_stage);
        m_pressed = m_hover;
        if (DisplayObject* target = live(m_pressed)) fire(*target, Event::Press);
        m_stage.runQueue();
    }
    updateCursor();
    --m_dispatching;
}

void MouseInput::release(QPointF px) {
    if (m_dispatching > 0) return;
    ++m_dispatching;
    m_pos = toTwips(px);
    m_inside = true;
    broadcast(swf::clipevent::kMouseUp, "onMouseUp");
    m_down = false;
    if (DisplayObject* text = live(m_text)) textPointer(m_stage, *text, px, PointerPhase::Release);
    m_text = {};
    DisplayObject* pressed = live(m_pressed);
    m_pressed = {};
    DisplayObject* over = pick(m_pos, false);
    if (pressed) {
        if (over == pressed) {
            fire(*pressed, Event::Release);
        } else if (over && trackAsMenu(*pressed) && trackAsMenu(*over)) {
            fire(*over, Event::Release);
        } else {
            fire(*pressed, Event::ReleaseOutside);
            m_hover = {};
        }
        m_stage.runQueue();
    }
    updateHover();
    --m_dispatching;
}

void MouseInput::wheel(QPointF px, int lines) {
    if (m_dispatching > 0) return;
    ++m_dispatching;
    m_pos = toTwips(px);
    broadcast(0, "onMouseWheel", lines);
    --m_dispatching;
}

void MouseInput::leave() {
    if (m_dispatching > 0) return;
    ++m_dispatching;
    m_inside = false;
    if (!m_down) updateHover();
    m_cursor = Cursor::Arrow;
    --m_dispatching;
}

void MouseInput::cancelCapture() {
    // The pressed button shows over or up as the pointer stands; the hover stays, so no roll-over follows.
    DisplayObject* pressed = live(m_pressed);
    if (pressed && pressed->sprite) {
        if (const ButtonCharacter* b = buttonOf(m_stage, *pressed)) {
            const bool over = live(m_hover) == pressed;
            pressed->buttonState = over ? 1 : 0;
            pressed->sprite->showButtonState(over ? b->overState : b->upState);
        }
    }
    m_pressed = {};
    m_text = {};
    m_down = false;
    m_drag.reset();
}

void MouseInput::afterFrame() {
    if (m_dispatching > 0) return;
    ++m_dispatching;
    updateDrag();
    if (m_inside) updateHover();
    --m_dispatching;
}

}  // namespace vistrel::player
