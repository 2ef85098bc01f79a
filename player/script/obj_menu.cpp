// ContextMenu and ContextMenuItem: the menu a movie sets up for its clips. This viewer shows no such
// menu yet, so these only keep what scripts put in them, with their defaults and copying rules.
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

// The built-in entries, in the order they are made (enumeration lists them newest first).
constexpr const char* kBuiltIns[] = {"print", "forward_back", "rewind", "loop", "play", "quality", "zoom", "save"};

Object* makeBuiltIns(Vm& vm) {
    Object* items = vm.makeObject();
    for (const char* name : kBuiltIns) items->setOwn(QString::fromLatin1(name), Value(true));
    return items;
}

void initMenu(Vm& vm, Object* o, const Value& onSelect) {
    o->setOwn(QStringLiteral("onSelect"), onSelect);
    o->setOwn(QStringLiteral("builtInItems"), Value(makeBuiltIns(vm)));
    o->setOwn(QStringLiteral("customItems"), Value(vm.makeArray()));
}

void initItem(Vm& vm, Object* o, Args args) {
    o->setOwn(QStringLiteral("caption"), Value(vm.toString(arg(args, 0))));
    o->setOwn(QStringLiteral("onSelect"), arg(args, 1));
    o->setOwn(QStringLiteral("separatorBefore"), Value(args.size() > 2 && vm.toBoolean(args[2])));
    o->setOwn(QStringLiteral("enabled"), Value(args.size() <= 3 || vm.toBoolean(args[3])));
    o->setOwn(QStringLiteral("visible"), Value(args.size() <= 4 || vm.toBoolean(args[4])));
}

}  // namespace

void installContextMenu(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* menu = defineClassOn(vm, vm.global(), QStringLiteral("ContextMenu"), [](Vm& vm, const Value& self, Args args) {
        if (Object* o = self.object()) initMenu(vm, o, arg(args, 0));
        return Value();
    });
    Object* menuProto = vm.getMember(Value(menu), QStringLiteral("prototype")).object();
    Object* item = defineClassOn(vm, vm.global(), QStringLiteral("ContextMenuItem"), [](Vm& vm, const Value& self, Args args) {
        if (Object* o = self.object()) initItem(vm, o, args);
        return Value();
    });
    Object* itemProto = vm.getMember(Value(item), QStringLiteral("prototype")).object();

    method(vm, menuProto, QStringLiteral("hideBuiltInItems"), [](Vm& vm, const Value& self, Args) {
        Object* items = vm.getMember(self, QStringLiteral("builtInItems")).object();
        if (items)
            for (const char* name : kBuiltIns) vm.setMember(Value(items), QString::fromLatin1(name), Value(false));
        return Value();
    });
    // A copy has its own built-in settings and copies of the custom items, made through their copy().
    method(vm, menuProto, QStringLiteral("copy"), [menu](Vm& vm, const Value& self, Args) {
        const Value onSelect = vm.getMember(self, QStringLiteral("onSelect"));
        const Value out = vm.construct(Value(menu), std::span<const Value>(&onSelect, 1));
        Object* o = out.object();
        if (!o) return out;
        const Value from = vm.getMember(self, QStringLiteral("builtInItems"));
        Object* builtIns = vm.getMember(out, QStringLiteral("builtInItems")).object();
        if (from.isObject() && builtIns)
            for (const char* name : kBuiltIns) {
                const QString n = QString::fromLatin1(name);
                builtIns->setOwn(n, vm.getMember(from, n));
            }
        const Value custom = vm.getMember(self, QStringLiteral("customItems"));
        auto* target = dynamic_cast<avm1::ArrayObject*>(vm.getMember(out, QStringLiteral("customItems")).object());
        if (auto* list = dynamic_cast<avm1::ArrayObject*>(custom.object()); list && target) {
            const std::vector<Value> items = list->values();
            for (const Value& i : items) target->push(vm.callMethod(i, QStringLiteral("copy"), {}));
        }
        return out;
    });
    method(vm, itemProto, QStringLiteral("copy"), [item](Vm& vm, const Value& self, Args) {
        const Value args[] = {vm.getMember(self, QStringLiteral("caption")), vm.getMember(self, QStringLiteral("onSelect")),
                              vm.getMember(self, QStringLiteral("separatorBefore")),
                              vm.getMember(self, QStringLiteral("enabled")), vm.getMember(self, QStringLiteral("visible"))};
        return vm.construct(Value(item), args);
    });
}

}  // namespace vistrel::player::objects
