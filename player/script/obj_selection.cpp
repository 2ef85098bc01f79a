// Selection: which clip, button or text field has the focus, the listeners told when it moves, and the
// focused text's selection. The focus is dropped when the focused object leaves the stage or is hidden.
#include <algorithm>
#include <cmath>

#include "player/avm1/object.h"
#include "player/display_list.h"
#include "player/focus.h"
#include "player/text_input.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

void focusLost(Stage& stage, DisplayObject& object) {
    if (stage.vm() && stage.focus() == &object) moveFocus(stage, nullptr, FocusCause::Pointer);
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
        if (!o || !canTakeFocus(*s, *o)) return Value(false);
        moveFocus(*s, o);
        return Value(true);
    });
    // The focused text's selection; -1 when no text has the focus.
    method(vm, selection, QStringLiteral("getBeginIndex"), [s](Vm&, const Value&, Args) { return Value(focusedSelection(*s).begin); });
    method(vm, selection, QStringLiteral("getEndIndex"), [s](Vm&, const Value&, Args) { return Value(focusedSelection(*s).end); });
    method(vm, selection, QStringLiteral("getCaretIndex"), [s](Vm&, const Value&, Args) { return Value(focusedSelection(*s).caret); });
    method(vm, selection, QStringLiteral("setSelection"), [s](Vm& vm, const Value&, Args args) {
        if (args.empty()) return Value();
        auto clampIndex = [](double d) { return std::isnan(d) ? 0 : static_cast<int>(std::clamp(d, -1.0, 2147483647.0)); };
        // With the start alone the caret stays where it is.
        const int caret = focusedSelection(*s).caret;
        if (args.size() < 2 && caret < 0) return Value();
        const int end = args.size() < 2 ? caret : clampIndex(number(vm, args[1]));
        setFocusedSelection(*s, clampIndex(number(vm, args[0])), end);
        return Value();
    });

    // Clips and buttons that act as buttons show the hand unless a script says otherwise.
    for (Object* proto : {vm.protos().movieClip, vm.protos().button})
        if (proto) proto->define(QStringLiteral("useHandCursor"), Value(true), avm1::propflag::kDontEnum);
}

}  // namespace vistrel::player::objects
