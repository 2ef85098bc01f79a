// TextField.StyleSheet: named styles kept twice, as given (_css, what getStyle copies out) and as the
// text formats transform makes of them (_styles, what fields apply). parseCSS reads style sheet text;
// load fetches it.
#include <cmath>

#include "player/avm1/object.h"
#include "player/script/loader.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"
#include "player/text/style_sheet.h"

namespace vistrel::player::objects {

namespace {

const QString kCss = QStringLiteral("_css");
const QString kStyles = QStringLiteral("_styles");

// The object `self[name]` holds, made (hidden) when missing.
Object* table(Vm& vm, Object* self, const QString& name) {
    const Value v = vm.getMember(Value(self), name);
    if (Object* o = v.object()) return o;
    Object* fresh = vm.makeObject();
    self->define(name, Value(fresh), avm1::propflag::kDontEnum);
    return fresh;
}

// A new object with the enumerable properties of `v` (their values shared), or null when `v` is not an
// object.
Value shallowCopy(Vm& vm, const Value& v) {
    Object* source = v.object();
    if (!source) return Value::null();
    Object* copy = vm.makeObject();
    std::vector<QString> names;
    source->forEachOwn([&](const QString& name, const avm1::Property& p) {
        if (!(p.flags & avm1::propflag::kDontEnum)) names.push_back(name);
    });
    for (const QString& name : names) copy->setOwn(name, vm.getMember(v, name));
    return Value(copy);
}

// Stores `style` (or null) under `name` and the format transform makes of it.
void putStyle(Vm& vm, Object* self, const QString& name, const Value& style) {
    Object* css = table(vm, self, kCss);
    Object* styles = table(vm, self, kStyles);
    vm.setMember(Value(css), name, style);
    const Value args[] = {style};
    vm.setMember(Value(styles), name, vm.callMethod(Value(self), QStringLiteral("transform"), args));
}

Value parseInto(Vm& vm, const Value& self, const Value& text) {
    Object* o = self.object();
    if (!o) return Value(false);
    const auto rules = parseStyleSheet(vm.toString(text));
    if (!rules) return Value(false);
    for (const CssRule& rule : *rules) {
        vm.tick();
        Object* style = vm.makeObject();
        for (const auto& [name, value] : rule.declarations) style->setOwn(name, Value(value));
        putStyle(vm, o, rule.selector, Value(style));
    }
    return Value(true);
}

// The leading whole number of a declaration's value ("12px" -> 12), or nothing.
std::optional<double> leadingNumber(const QString& s) {
    const QString t = s.trimmed();
    qsizetype end = 0;
    if (end < t.size() && (t[end] == u'-' || t[end] == u'+')) ++end;
    const qsizetype digits = end;
    while (end < t.size() && t[end].isDigit()) ++end;
    if (end == digits) return std::nullopt;
    return t.left(end).toDouble();
}

// The text format a style object stands for: the CSS properties fields understand, by their script
// names; anything else is left out.
Value transformStyle(Vm& vm, const Value& style) {
    if (!style.isObject()) return Value::null();
    const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("TextFormat"));
    const Value format = vm.construct(ctor, {});
    if (!format.isObject()) return Value::null();
    auto text = [&](const char* name) -> std::optional<QString> {
        const Value v = vm.getMember(style, QString::fromLatin1(name));
        if (v.isUndefined()) return std::nullopt;
        return vm.toString(v).trimmed();
    };
    auto set = [&](const char* name, const Value& v) { vm.setMember(format, QString::fromLatin1(name), v); };
    if (auto c = text("color"); c && c->startsWith(u'#')) {
        bool ok = false;
        const uint rgb = c->mid(1).toUInt(&ok, 16);
        if (ok) set("color", Value(static_cast<double>(rgb & 0xffffffu)));
    }
    if (auto d = text("display")) set("display", Value(*d));
    if (auto f = text("fontFamily")) {
        QString font = *f;
        if (font == u"sans-serif") font = QStringLiteral("_sans");
        else if (font == u"serif") font = QStringLiteral("_serif");
        else if (font == u"mono") font = QStringLiteral("_typewriter");
        set("font", Value(font));
    }
    if (auto s = text("fontSize"))
        if (auto n = leadingNumber(*s); n && *n > 0) set("size", Value(*n));
    if (auto s = text("fontStyle")) {
        if (*s == u"italic") set("italic", Value(true));
        else if (*s == u"normal") set("italic", Value(false));
    }
    if (auto s = text("fontWeight")) {
        if (*s == u"bold") set("bold", Value(true));
        else if (*s == u"normal") set("bold", Value(false));
    }
    if (auto s = text("kerning")) {
        if (*s == u"true") set("kerning", Value(true));
        else if (*s == u"false") set("kerning", Value(false));
    }
    const std::pair<const char*, const char*> numbers[] = {{"leading", "leading"},
                                                           {"letterSpacing", "letterSpacing"},
                                                           {"marginLeft", "leftMargin"},
                                                           {"marginRight", "rightMargin"},
                                                           {"textIndent", "indent"}};
    for (const auto& [css, field] : numbers)
        if (auto s = text(css))
            if (auto n = leadingNumber(*s)) set(field, Value(*n));
    if (auto s = text("textAlign")) set("align", Value(*s));
    if (auto s = text("textDecoration")) {
        if (*s == u"underline") set("underline", Value(true));
        else if (*s == u"none") set("underline", Value(false));
    }
    return format;
}

}  // namespace

void installStyleSheet(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* textField = vm.getMember(Value(vm.global()), QStringLiteral("TextField")).object();
    if (!textField) return;
    Object* ctor = defineClassOn(vm, textField, QStringLiteral("StyleSheet"), [](Vm&, const Value&, Args) { return Value(); });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    if (!proto) return;
    method(vm, proto, QStringLiteral("setStyle"), [](Vm& vm, const Value& self, Args args) {
        if (Object* o = self.object()) putStyle(vm, o, vm.toString(arg(args, 0)), shallowCopy(vm, arg(args, 1)));
        return Value();
    });
    method(vm, proto, QStringLiteral("getStyle"), [](Vm& vm, const Value& self, Args args) {
        const Value css = vm.getMember(self, kCss);
        if (!css.isObject()) return Value::null();
        return shallowCopy(vm, vm.getMember(css, vm.toString(arg(args, 0))));
    });
    method(vm, proto, QStringLiteral("getStyleNames"), [](Vm& vm, const Value& self, Args) {
        std::vector<Value> names;
        if (Object* css = vm.getMember(self, kCss).object())
            css->forEachOwn([&](const QString& name, const avm1::Property& p) {
                if (!(p.flags & avm1::propflag::kDontEnum)) names.emplace_back(name);
            });
        return Value(vm.makeArray(std::move(names)));
    });
    method(vm, proto, QStringLiteral("clear"), [](Vm& vm, const Value& self, Args) {
        if (Object* o = self.object()) {
            o->define(kCss, Value(vm.makeObject()), avm1::propflag::kDontEnum);
            o->define(kStyles, Value(vm.makeObject()), avm1::propflag::kDontEnum);
        }
        return Value();
    });
    method(vm, proto, QStringLiteral("transform"), [](Vm& vm, const Value&, Args args) {
        return transformStyle(vm, arg(args, 0));
    });
    for (const char* name : {"parseCSS", "parse"})
        method(vm, proto, QString::fromLatin1(name), [](Vm& vm, const Value& self, Args args) {
            return parseInto(vm, self, arg(args, 0));
        });
    Stage* s = &stage;
    method(vm, proto, QStringLiteral("load"), [s](Vm& vm, const Value& self, Args args) {
        Object* o = self.object();
        const Value& url = arg(args, 0);
        if (!o || url.isUndefined()) return Value(false);
        const QString address = vm.toString(url);
        if (address.isEmpty()) return Value(false);
        o->define(QStringLiteral("loaded"), Value(false), avm1::propflag::kDontEnum);
        s->loader().loadData(o, address);
        return Value(true);
    });
    // The text arrived (or did not): it is parsed and onLoad hears whether it was a style sheet.
    method(vm, proto, QStringLiteral("onData"), [](Vm& vm, const Value& self, Args args) {
        const Value& text = arg(args, 0);
        bool ok = false;
        if (!text.isUndefined()) {
            const Value source[] = {text};
            ok = vm.toBoolean(vm.callMethod(self, QStringLiteral("parse"), source));
            vm.setMember(self, QStringLiteral("loaded"), Value(ok));
        }
        const Value result[] = {Value(ok)};
        vm.callMethod(self, QStringLiteral("onLoad"), result);
        return Value();
    });
}

}  // namespace vistrel::player::objects
