// The Player's right-button menu: which of the movie's ContextMenu objects applies at the pointer, what
// its handlers make of it, and the entry the user chose.
#include <array>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"
#include "player/display_list.h"
#include "player/mouse_input.h"
#include "player/player.h"
#include "player/stage.h"

namespace vistrel::player {

namespace {

using avm1::Object;
using avm1::Value;
using avm1::Vm;

constexpr std::size_t kMaxOwnItems = 15;   // a menu shows no more of the movie's own entries

DisplayObject* parentOf(const DisplayObject& o) { return o.parent ? o.parent->owner() : nullptr; }

// The menu object a clip, button or text names with its `menu` property, or null.
Object* menuOf(Stage& stage, DisplayObject& o) {
    if (!o.script) return nullptr;
    return stage.vm()->getMember(Value(o.script), QStringLiteral("menu")).object();
}

// From the object under the pointer outwards, the first that names a menu, with that menu.
std::pair<DisplayObject*, Object*> menuAt(Stage& stage, DisplayObject* under) {
    int nesting = 0;
    for (DisplayObject* o = under; o && nesting < ObjectBudget::kMaxNesting; o = parentOf(*o), ++nesting)
        if (Object* menu = menuOf(stage, *o)) return {o, menu};
    return {nullptr, nullptr};
}

// Runs a menu handler; what it throws does not stop the viewer's menu.
void callHandler(Vm& vm, const Value& handler, const Value& self, std::span<const Value> args) {
    if (!handler.object() || !handler.object()->isCallable()) return;
    try {
        vm.call(handler, self, args);
    } catch (const avm1::ScriptException&) {
    } catch (const avm1::ScriptAbort& a) {
        vm.reportAbort(a.reason);
    }
}

bool flag(Vm& vm, const Value& object, const char* name, bool otherwise) {
    const Value v = vm.getMember(object, QString::fromLatin1(name));
    return v.isUndefined() ? otherwise : vm.toBoolean(v);
}

// The entries of `menu` a user sees, as the objects that define them (hidden ones left out).
std::vector<Value> shownItems(Vm& vm, Object* menu) {
    std::vector<Value> shown;
    const Value items = vm.getMember(Value(menu), QStringLiteral("customItems"));
    if (!items.object()) return shown;
    const double length = vm.toNumber(vm.getMember(items, QStringLiteral("length")));
    for (int i = 0; i < length && i < 1000 && shown.size() < kMaxOwnItems; ++i) {
        const Value item = vm.getMember(items, QString::number(i));
        if (item.object() && flag(vm, item, "visible", true)) shown.push_back(item);
    }
    return shown;
}

}  // namespace

MovieMenu Player::openMenu(QPointF stagePixels) {
    Stage& stage = *m_stage;
    MovieMenu menu;
    MouseInput& mouse = stage.mouse();
    mouse.move(stagePixels);
    mouse.setMenuTarget(nullptr);
    Vm* vm = stage.vm();
    if (!vm || stage.quitting()) return menu;
    if (Object* stageObject = vm->getMember(Value(vm->global()), QStringLiteral("Stage")).object())
        menu.full = flag(*vm, Value(stageObject), "showMenu", true);
    DisplayObject* under = mouse.objectUnder(mouse.position());
    auto [target, object] = menuAt(stage, under ? under : &stage.rootObject());
    if (!object) return menu;
    mouse.setMenuTarget(target);
    // The menu's handler may change it before it shows.
    const Value self(object);
    const std::array<Value, 2> args{Value(target->script), self};
    callHandler(*vm, vm->getMember(self, QStringLiteral("onSelect")), self, args);
    stage.runQueue();
    const Value builtIns = vm->getMember(self, QStringLiteral("builtInItems"));
    if (builtIns.object()) {
        menu.zoom = flag(*vm, builtIns, "zoom", true);
        menu.quality = flag(*vm, builtIns, "quality", true);
        menu.play = flag(*vm, builtIns, "play", true);
        menu.loop = flag(*vm, builtIns, "loop", true);
        menu.rewind = flag(*vm, builtIns, "rewind", true);
        menu.forwardBack = flag(*vm, builtIns, "forward_back", true);
        menu.print = flag(*vm, builtIns, "print", true);
    }
    for (const Value& item : shownItems(*vm, object))
        menu.items.push_back({vm->toString(vm->getMember(item, QStringLiteral("caption"))),
                              flag(*vm, item, "enabled", true), flag(*vm, item, "separatorBefore", false)});
    stage.touch();
    return menu;
}

void Player::chooseMenuItem(std::size_t index) {
    Stage& stage = *m_stage;
    Vm* vm = stage.vm();
    DisplayObject* target = stage.mouse().menuTarget();
    if (!vm || !target || stage.quitting()) return;
    Object* object = menuOf(stage, *target);
    if (!object) return;
    const std::vector<Value> items = shownItems(*vm, object);
    if (index >= items.size() || !flag(*vm, items[index], "enabled", true)) return;
    const std::array<Value, 2> args{Value(target->script), items[index]};
    callHandler(*vm, vm->getMember(items[index], QStringLiteral("onSelect")), items[index], args);
    stage.runQueue();
    stage.touch();
}

}  // namespace vistrel::player
