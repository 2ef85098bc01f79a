// XMLSocket, PrintJob and flash.text.TextRenderer: a socket that never reaches the network (every connect
// is refused at once, so no handler ever runs for it), a print job whose dialog is always cancelled (no page
// is printed), and the text renderer's settings (this engine's own antialiasing takes no tables).
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

void installXmlSocket(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("XMLSocket"), [](Vm&, const Value&, Args) {
        return Value();
    });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    // Refused before anything is attempted: the program makes no network connections.
    method(vm, proto, QStringLiteral("connect"), [](Vm&, const Value&, Args) { return Value(false); });
    // Nothing is connected, so nothing is sent (the data is still turned into text, as a send does).
    method(vm, proto, QStringLiteral("send"), [](Vm& vm, const Value&, Args args) {
        if (!args.empty()) vm.toString(args[0]);
        return Value();
    });
    method(vm, proto, QStringLiteral("close"), [](Vm&, const Value&, Args) { return Value(); });
    // Raw data becomes an XML document for onXML, as the built-in handler does it.
    method(vm, proto, QStringLiteral("onData"), [](Vm& vm, const Value& self, Args args) {
        const Value xmlClass = vm.getMember(Value(vm.global()), QStringLiteral("XML"));
        const Value doc = vm.construct(xmlClass, args.empty() ? Args() : args.first(1));
        vm.callMethod(self, QStringLiteral("onXML"), std::span<const Value>(&doc, 1));
        return Value();
    });
}

void installPrintJob(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* ctor = defineClassOn(
        vm, vm.global(), QStringLiteral("PrintJob"), [](Vm&, const Value&, Args) { return Value(); },
        avm1::propflag::kVersion7);
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    // There is no print dialog: it answers as the user cancelling it, so no page may be added or sent.
    method(vm, proto, QStringLiteral("start"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, proto, QStringLiteral("addPage"), [](Vm&, const Value&, Args) { return Value(false); });
    method(vm, proto, QStringLiteral("send"), [](Vm&, const Value&, Args) { return Value(); });
}

void installTextRenderer(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* pkg = package(vm, QStringLiteral("flash.text"));
    const std::uint16_t v8 = avm1::propflag::kVersion8;
    Object* renderer = defineClassOn(vm, pkg, QStringLiteral("TextRenderer"), [](Vm&, const Value&, Args) {
        return Value();
    }, v8);
    renderer->define(QStringLiteral("maxLevel"), Value(4), avm1::propflag::kDontEnum | v8);
    renderer->define(QStringLiteral("displayMode"), Value("default"), avm1::propflag::kDontEnum | v8);
    method(vm, renderer, QStringLiteral("setAdvancedAntialiasingTable"), [](Vm&, const Value&, Args) {
        return Value();
    }, v8);
}

}  // namespace

void installSocketAndPrinting(Stage& stage) {
    installXmlSocket(stage);
    installPrintJob(stage);
    installTextRenderer(stage);
}

}  // namespace vistrel::player::objects
