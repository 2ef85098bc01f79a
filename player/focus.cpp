#include "player/focus.h"

#include <algorithm>
#include <cmath>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/bounds.h"
#include "player/characters.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/script/text_field.h"
#include "player/stage.h"
#include "player/text_input.h"

namespace vistrel::player {

using avm1::Object;
using avm1::Value;
using avm1::Vm;

namespace {

// The handlers that make a clip act as a button: present at all, even undefined, they count.
constexpr const char* kButtonHandlers[] = {"onPress", "onRelease", "onReleaseOutside", "onRollOver",
                                           "onRollOut", "onDragOver", "onDragOut"};

bool actsAsButton(Vm& vm, Object* script) {
    for (const char* handler : kButtonHandlers)
        if (vm.hasProperty(script, QString::fromLatin1(handler))) return true;
    return false;
}

// Calls a handler, dropping what it throws: a failing handler must not stop the event.
void callHandler(Vm& vm, Object* target, const QString& name, std::span<const Value> args) {
    try {
        vm.callMethod(Value(target), name, args);
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm.reportAbort(a.reason);
    }
}

bool isInputText(Object* script) {
    auto* tf = dynamic_cast<TextFieldObject*>(script);
    return tf && tf->input;
}

// Whether Tab stops at `o`: tabEnabled when a script set it, otherwise buttons, input texts and clips
// that act as buttons.
bool tabStop(Vm& vm, DisplayObject& o) {
    Object* script = o.script;
    if (!script) return false;
    const Value enabled = vm.getMember(Value(script), QStringLiteral("tabEnabled"));
    const bool isClip = script->objectClass() == avm1::ObjectClass::MovieClip;
    if (!enabled.isUndefined()) return vm.toBoolean(enabled);
    switch (script->objectClass()) {
    case avm1::ObjectClass::Button: return true;
    case avm1::ObjectClass::TextField: return isInputText(script);
    default: return isClip && actsAsButton(vm, script);
    }
}

// Every object Tab could visit: shown, not switched off with tabEnabled = false, inside clips whose
// tabChildren is not false.
void collect(Vm& vm, SpriteInstance& sprite, std::vector<DisplayObject*>& out, int depth) {
    if (depth > ObjectBudget::kMaxNesting) return;
    for (const auto& [d, child] : sprite.children()) {
        DisplayObject& o = *child;
        if (!o.visible || !o.script) continue;
        const auto cls = o.script->objectClass();
        if (cls != avm1::ObjectClass::MovieClip && cls != avm1::ObjectClass::Button &&
            cls != avm1::ObjectClass::TextField)
            continue;
        const Value enabled = vm.getMember(Value(o.script), QStringLiteral("tabEnabled"));
        if (enabled.isUndefined() || vm.toBoolean(enabled)) out.push_back(&o);
        if (!o.sprite || cls != avm1::ObjectClass::MovieClip) continue;
        const Value children = vm.getMember(Value(o.script), QStringLiteral("tabChildren"));
        if (!children.isUndefined() && !vm.toBoolean(children)) continue;
        collect(vm, *o.sprite, out, depth + 1);
    }
}

// tabIndex is read as a 32-bit signed number; -1 and non-numbers mean none.
std::optional<std::int32_t> tabIndexOf(Vm& vm, DisplayObject& o) {
    const Value v = vm.getMember(Value(o.script), QStringLiteral("tabIndex"));
    if (v.isNullish()) return std::nullopt;
    const double d = vm.toNumber(v);
    if (!std::isfinite(d)) return std::nullopt;
    const double m = std::fmod(std::trunc(d), 4294967296.0);
    const double u = m < 0 ? m + 4294967296.0 : m;
    const auto i = static_cast<std::int32_t>(static_cast<std::uint32_t>(u));
    if (i == -1) return std::nullopt;
    return i;
}

QRectF stageBounds(Stage& stage, const DisplayObject& o) {
    QRectF local = objectBounds(movieOf(stage, o), o);
    if (o.text)
        if (auto b = editTextInstanceBounds(o)) local = *b;
    return worldTransform(o).mapRect(local);
}

}  // namespace

bool shownOnStage(const DisplayObject& o) {
    for (const DisplayObject* p = &o; p; p = p->parent ? p->parent->owner() : nullptr)
        if (!p->visible) return false;
    return true;
}

bool canTakeFocus(Stage& stage, DisplayObject& o) {
    Vm* vm = stage.vm();
    Object* script = o.script;
    if (!vm || !script) return false;
    switch (script->objectClass()) {
    case avm1::ObjectClass::Button:
    case avm1::ObjectClass::TextField: return true;   // any text field, even one that cannot be selected
    case avm1::ObjectClass::MovieClip:
        if (vm->toBoolean(vm->getMember(Value(script), QStringLiteral("focusEnabled")))) return true;
        for (const char* handler : kButtonHandlers)
            if (vm->getMember(Value(script), QString::fromLatin1(handler)).isObject()) return true;
        return false;
    default: return false;
    }
}

const swf::DefineButton* buttonDefinition(Stage& stage, const DisplayObject& o) {
    if (!o.characterId) return nullptr;
    const Character* c = movieOf(stage, o).character(o.characterId);
    const auto* button = c ? std::get_if<ButtonCharacter>(c) : nullptr;
    return button ? &button->button : nullptr;
}

void queueButtonActions(Stage& stage, DisplayObject& button, const std::function<bool(std::uint16_t)>& matches) {
    const swf::DefineButton* def = buttonDefinition(stage, button);
    if (!def || !button.parent || !button.parent->owner()) return;
    for (const swf::ButtonAction& a : def->actions)
        if (matches(a.conditions)) stage.queueActions(*button.parent->owner(), a.actions);
}

namespace {

bool isClipOrButton(const DisplayObject* o) {
    if (!o || !o->script) return false;
    const auto cls = o->script->objectClass();
    return cls == avm1::ObjectClass::MovieClip || cls == avm1::ObjectClass::Button;
}

// The highlight rolls over an object as the pointer would: a button's condition actions, then the method.
void queueRoll(Stage& stage, DisplayObject& o, bool over) {
    const std::uint16_t condition = over ? swf::buttoncond::kIdleToOverUp : swf::buttoncond::kOverUpToIdle;
    queueButtonActions(stage, o, [condition](std::uint16_t c) { return (c & condition) != 0; });
    stage.queueMethod(o, over ? QStringLiteral("onRollOver") : QStringLiteral("onRollOut"));
}

void focusEvents(Stage& stage, Object* fromScript, Object* toScript) {
    Vm* vm = stage.vm();
    if (!vm) return;
    const Value oldValue = fromScript ? Value(fromScript) : Value::null();
    const Value newValue = toScript ? Value(toScript) : Value::null();
    if (fromScript) {
        const Value args[] = {newValue};
        callHandler(*vm, fromScript, QStringLiteral("onKillFocus"), args);
    }
    if (toScript) {
        const Value args[] = {oldValue};
        callHandler(*vm, toScript, QStringLiteral("onSetFocus"), args);
    }
    if (Object* selection = vm->getMember(Value(vm->global()), QStringLiteral("Selection")).object()) {
        const Value args[] = {oldValue, newValue};
        try {
            objects::broadcast(*vm, selection, QStringLiteral("onSetFocus"), args);
        } catch (const avm1::ScriptException&) {
        } catch (const avm1::ScriptAbort& a) {
            vm->reportAbort(a.reason);
        }
    }
}

// An object's own _focusrect counts as it was when the object took the highlight.
void noteOwnFocusRect(Stage& stage, const DisplayObject& o) {
    stage.keyboard().focusRectOwn = o.parent ? o.focusRect : std::nullopt;
}

}  // namespace

void pointerMoved(Stage& stage) {
    if (stage.keyboard().focusByKeyboard) stage.touch();
    stage.keyboard().focusByKeyboard = false;
}

bool focusHighlighted(Stage& stage) { return stage.focus() && stage.keyboard().focusByKeyboard; }

void moveFocus(Stage& stage, DisplayObject* to, FocusCause cause) {
    DisplayObject* from = stage.focus();
    if (from == to) return;
    const bool wasHighlighted = focusHighlighted(stage);
    stage.setFocusObject(to);
    const bool highlight = cause != FocusCause::Pointer && isClipOrButton(to);
    stage.keyboard().focusByKeyboard = highlight;
    if (highlight) noteOwnFocusRect(stage, *to);
    stage.touch();
    if (!stage.vm()) return;
    stage.keyboard().selectionPending = to && to->text;
    Object* fromScript = from ? from->script : nullptr;
    Object* toScript = to ? to->script : nullptr;
    const bool rolls = cause != FocusCause::Pointer;
    if (rolls && from && wasHighlighted && isClipOrButton(from)) queueRoll(stage, *from, false);
    if (rolls && highlight) queueRoll(stage, *to, true);
    // From the keyboard the highlight moves first; a script hears of it once it has finished.
    if (cause == FocusCause::Keyboard) stage.runQueue();
    focusEvents(stage, fromScript, toScript);
    if (stage.keyboard().selectionPending && to && stage.focus() == to) selectAllText(*to);
    stage.keyboard().selectionPending = false;
}

std::vector<DisplayObject*> tabOrder(Stage& stage) {
    std::vector<DisplayObject*> all;
    Vm* vm = stage.vm();
    if (!vm) return all;
    collect(*vm, stage.root(), all, 0);
    for (const auto& [n, level] : stage.levels())
        if (n != 0 && level->sprite && level->visible) collect(*vm, *level->sprite, all, 0);

    // An index makes any of them a stop; without indexes only those that take Tab by themselves are.
    std::vector<std::pair<std::int32_t, DisplayObject*>> indexed;
    for (DisplayObject* o : all)
        if (auto i = tabIndexOf(*vm, *o)) indexed.emplace_back(*i, o);
    if (!indexed.empty()) {
        std::stable_sort(indexed.begin(), indexed.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<DisplayObject*> out;
        for (const auto& [i, o] : indexed) out.push_back(o);
        return out;
    }
    // No custom order: top to bottom, then left to right, by where each object's bounds begin.
    std::vector<std::pair<QPointF, DisplayObject*>> placed;
    for (DisplayObject* o : all)
        if (tabStop(*vm, *o)) placed.emplace_back(stageBounds(stage, *o).topLeft(), o);
    std::stable_sort(placed.begin(), placed.end(), [](const auto& a, const auto& b) {
        if (a.first.y() != b.first.y()) return a.first.y() < b.first.y();
        return a.first.x() < b.first.x();
    });
    std::vector<DisplayObject*> out;
    for (const auto& [p, o] : placed) out.push_back(o);
    return out;
}

void tabFocus(Stage& stage, bool backwards) {
    const std::vector<DisplayObject*> order = tabOrder(stage);
    if (order.empty()) return;
    DisplayObject* current = stage.focus();
    auto it = std::find(order.begin(), order.end(), current);
    DisplayObject* next = nullptr;
    if (it == order.end()) {
        next = backwards ? order.back() : order.front();
    } else {
        const std::size_t i = static_cast<std::size_t>(it - order.begin());
        next = backwards ? order[(i + order.size() - 1) % order.size()] : order[(i + 1) % order.size()];
    }
    if (next == current) {
        // Tab back onto the focused object (the only stop) highlights it again.
        if (!focusHighlighted(stage) && isClipOrButton(next)) {
            stage.keyboard().focusByKeyboard = true;
            noteOwnFocusRect(stage, *next);
            queueRoll(stage, *next, true);
            stage.runQueue();
            stage.touch();
        }
        return;
    }
    moveFocus(stage, next, FocusCause::Keyboard);
}

bool focusRectEnabled(Stage& stage) {
    const std::optional<bool>& own = stage.keyboard().focusRectOwn;
    return own ? *own : stage.focusRect() != 0;
}

QRectF focusRectBounds(Stage& stage) {
    DisplayObject* o = stage.focus();
    if (!o || !focusHighlighted(stage) || !shownOnStage(*o)) return {};
    if (o->script && o->script->objectClass() == avm1::ObjectClass::TextField) return {};
    if (!focusRectEnabled(stage)) return {};
    // A button is framed where it takes the pointer, whatever state it shows.
    if (o->script && o->script->objectClass() == avm1::ObjectClass::Button)
        return worldTransform(*o).mapRect(buttonHitBounds(movieOf(stage, *o), o->characterId));
    return stageBounds(stage, *o);
}

}  // namespace vistrel::player
