// Selection: which clip, button or text field has the focus, and the listeners told when it moves. No
// keyboard reaches scripts here, so only scripts move the focus; it is dropped when the focused object
// leaves the stage or is hidden.
#include "player/avm1/object.h"
#include "player/display_list.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

Object* selectionObject(Vm& vm) { return vm.getMember(Value(vm.global()), QStringLiteral("Selection")).object(); }

// Buttons and text fields take the focus; a clip takes it when a script allows it (focusEnabled) or when it acts as a button.
bool focusable(Vm& vm, DisplayObject& o) {
    Object* script = o.script;
    if (!script) return false;
    switch (script->objectClass()) {
    case avm1::ObjectClass::Button:
    case avm1::ObjectClass::TextField: return true;   // any text field, even one that cannot be selected
    case avm1::ObjectClass::MovieClip: {
        if (vm.toBoolean(vm.getMember(Value(script), QStringLiteral("focusEnabled")))) return true;
        for (const char* handler : {"onPress", "onRelease", "onReleaseOutside", "onRollOver", "onRollOut",
                                    "onDragOver", "onDragOut"})
            if (vm.getMember(Value(script), QString::fromLatin1(handler)).isObject()) return true;
        return false;
    }
    default: return false;
    }
}

// Moves the focus and tells Selection's listeners (old, new), when it changes.
void moveFocus(Stage& stage, DisplayObject* to) {
    DisplayObject* from = stage.focus();
    if (from == to) return;
    stage.setFocusObject(to);
    Vm& vm = *stage.vm();
    Object* selection = selectionObject(vm);
    if (!selection) return;
    const Value args[] = {from && from->script ? Value(from->script) : Value::null(),
                          to && to->script ? Value(to->script) : Value::null()};
    broadcast(vm, selection, QStringLiteral("onSetFocus"), args);
}

}  // namespace

void focusLost(Stage& stage, DisplayObject& object) {
    if (stage.vm() && stage.focus() == &object) moveFocus(stage, nullptr);
}

void installSelection(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* selection = defineObjectOn(vm, vm.global(), QStringLiteral("Selection"));
    initializeBroadcaster(vm, selection);
    method(vm, selection, QStringLiteral("getFocus"), [s](Vm&, const Value&, Args) {
        DisplayObject* o = s->focus();
        return o ? Value(dotPath(*o)) : Value::null();
    });
    method(vm, selection, QStringLiteral("setFocus"), [s](Vm& vm, const Value&, Args args) {
        if (args.empty()) return Value(false);   // nothing named: nothing done
        const Value& target = args[0];
        if (target.isNullish()) {
            moveFocus(*s, nullptr);
            return Value(true);
        }
        DisplayObject* o = nullptr;
        if (target.isObject()) {
            o = displayOf(target);
        } else if (vm.host()) {
            if (Object* base = vm.host()->level(0)) o = displayOf(Value(vm.host()->resolveTarget(base, vm.toString(target))));
        }
        if (!o || !focusable(vm, *o)) return Value(false);
        moveFocus(*s, o);
        return Value(true);
    });
    // No text is selected and there is no caret: every index is -1.
    for (const char* name : {"getBeginIndex", "getEndIndex", "getCaretIndex"})
        method(vm, selection, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(-1); });
    method(vm, selection, QStringLiteral("setSelection"), [](Vm&, const Value&, Args) { return Value(); });

    // Clips and buttons that act as buttons show the hand unless a script says otherwise.
    for (Object* proto : {vm.protos().movieClip, vm.protos().button})
        if (proto) proto->define(QStringLiteral("useHandCursor"), Value(true), avm1::propflag::kDontEnum);
}

}  // namespace vistrel::player::objects
