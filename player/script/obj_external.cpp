// flash.external.ExternalInterface: this viewer has no page around the movie, so `available` is false and
// calls out go nowhere; the serialising helpers (values to the XML call format and back) work in full,
// since movies use them directly.
#include <algorithm>

#include "player/avm1/convert.h"
#include "player/avm1/object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

constexpr int kMaxDepth = 64;   // nested arrays and objects deeper than this serialise as null

QString escapeXml(const QString& s) {
    QString out;
    out.reserve(s.size());
    for (QChar c : s) {
        switch (c.unicode()) {
        case u'&': out += QLatin1String("&amp;"); break;
        case u'<': out += QLatin1String("&lt;"); break;
        case u'>': out += QLatin1String("&gt;"); break;
        case u'"': out += QLatin1String("&quot;"); break;
        case u'\'': out += QLatin1String("&apos;"); break;
        default: out += c;
        }
    }
    return out;
}

QString unescapeXml(const QString& s) {
    QString out = s;
    out.replace(QLatin1String("&lt;"), QLatin1String("<"));
    out.replace(QLatin1String("&gt;"), QLatin1String(">"));
    out.replace(QLatin1String("&quot;"), QLatin1String("\""));
    out.replace(QLatin1String("&apos;"), QLatin1String("'"));
    out.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return out;
}

QString toXml(Vm& vm, const Value& v, int depth);

// The length a script sees, bounded so a hostile length does not run away.
std::size_t lengthOf(Vm& vm, const Value& v) {
    const double n = vm.toNumber(vm.getMember(v, QStringLiteral("length")));
    if (!(n > 0)) return 0;
    return static_cast<std::size_t>(std::min(n, 100000.0));
}

QString arrayToXml(Vm& vm, const Value& v, int depth) {
    QString out = QStringLiteral("<array>");
    const std::size_t n = v.isNullish() ? 0 : lengthOf(vm, v);
    for (std::size_t i = 0; i < n; ++i) {
        const QString id = QString::number(i);
        out += QStringLiteral("<property id=\"%1\">").arg(id) + toXml(vm, vm.getMember(v, id), depth + 1) +
               QStringLiteral("</property>");
    }
    return out + QStringLiteral("</array>");
}

// The arguments list of a call: the first element is the function's name and is left out.
QString argumentsToXml(Vm& vm, const Value& v, int depth) {
    QString out = QStringLiteral("<arguments>");
    const std::size_t n = v.isNullish() ? 0 : lengthOf(vm, v);
    for (std::size_t i = 1; i < n; ++i) out += toXml(vm, vm.getMember(v, QString::number(i)), depth + 1);
    return out + QStringLiteral("</arguments>");
}

// The enumerable names of `o` the way for..in lists them: newest first, then up the prototype chain.
std::vector<QString> enumerableNames(Vm& vm, Object* o) {
    std::vector<QString> names;
    std::vector<QString> hidden;
    const int version = vm.swfVersion();
    int guard = 0;
    for (Object* p = o; p && guard < 256; p = p->proto(), ++guard) {
        std::vector<avm1::Object::OwnEntry> entries;
        p->ownEntries(entries);
        std::vector<QString> own;
        for (avm1::Object::OwnEntry& e : entries) {
            if ((e.flags & avm1::propflag::kDontEnum) || avm1::hiddenFor(e.flags, version)) hidden.push_back(e.name);
            else own.push_back(std::move(e.name));
        }
        for (auto it = own.rbegin(); it != own.rend(); ++it) {
            if (std::find(hidden.begin(), hidden.end(), *it) != hidden.end()) continue;
            if (std::find(names.begin(), names.end(), *it) != names.end()) continue;
            names.push_back(*it);
        }
    }
    return names;
}

QString objectToXml(Vm& vm, const Value& v, int depth) {
    QString out = QStringLiteral("<object>");
    if (Object* o = v.object()) {
        // Names go out as they are, not escaped.
        for (const QString& name : enumerableNames(vm, o))
            out += QStringLiteral("<property id=\"%1\">").arg(name) + toXml(vm, vm.getMember(v, name), depth + 1) +
                   QStringLiteral("</property>");
    }
    return out + QStringLiteral("</object>");
}

QString toXml(Vm& vm, const Value& v, int depth) {
    if (v.isUndefined()) return QStringLiteral("<undefined/>");
    if (v.isNull() || depth > kMaxDepth) return QStringLiteral("<null/>");
    if (v.isBoolean()) return v.asBool() ? QStringLiteral("<true/>") : QStringLiteral("<false/>");
    if (v.isNumber()) return QStringLiteral("<number>") + avm1::numberToString(v.asNumber()) + QStringLiteral("</number>");
    if (v.isString()) {
        // An empty string has no text to carry and goes out as the word null.
        const QString s = v.asString();
        return QStringLiteral("<string>") + (s.isEmpty() ? QStringLiteral("null") : escapeXml(s)) +
               QStringLiteral("</string>");
    }
    Object* o = v.object();
    if (!o) return QStringLiteral("<null/>");
    if (o->isCallable()) return QStringLiteral("<null/>");
    if (o->objectClass() == avm1::ObjectClass::Array || o->objectClass() == avm1::ObjectClass::Arguments)
        return arrayToXml(vm, v, depth);
    return objectToXml(vm, v, depth);
}

// The node name of an XML-like value, when it is a string (or a String object).
bool nodeName(Vm& vm, const Value& v, QString& out) {
    if (!v.isObject()) return false;
    const Value name = vm.getMember(v, QStringLiteral("nodeName"));
    if (name.isString()) {
        out = name.asString();
        return true;
    }
    if (Object* o = name.object(); o && o->objectClass() == avm1::ObjectClass::String) {
        out = vm.toString(o->primitive());
        return true;
    }
    return false;
}

Value toAs(Vm& vm, const Value& v, int depth);

Value arrayToAs(Vm& vm, const Value& v, int depth) {
    avm1::ArrayObject* out = vm.makeArray();
    if (!v.isObject() || depth > kMaxDepth) return Value(out);
    const Value children = vm.getMember(v, QStringLiteral("childNodes"));
    if (!children.isObject()) return Value(out);
    const std::size_t n = lengthOf(vm, children);
    for (std::size_t i = 0; i < n; ++i) {
        const Value property = vm.getMember(children, QString::number(i));
        const double id = vm.toNumber(vm.getMember(vm.getMember(property, QStringLiteral("attributes")),
                                                   QStringLiteral("id")));
        if (!(id >= 0) || id >= avm1::ArrayObject::kMaxArrayLength) continue;
        const auto index = static_cast<std::size_t>(id);
        out->set(index, toAs(vm, vm.getMember(property, QStringLiteral("firstChild")), depth + 1));
    }
    return Value(out);
}

Value objectToAs(Vm& vm, const Value& v, int depth) {
    Object* out = vm.makeObject();
    if (!v.isObject() || depth > kMaxDepth) return Value(out);
    const Value children = vm.getMember(v, QStringLiteral("childNodes"));
    if (!children.isObject()) return Value(out);
    const std::size_t n = lengthOf(vm, children);
    for (std::size_t i = 0; i < n; ++i) {
        const Value property = vm.getMember(children, QString::number(i));
        const QString id =
            vm.toString(vm.getMember(vm.getMember(property, QStringLiteral("attributes")), QStringLiteral("id")));
        vm.setMember(Value(out), id, toAs(vm, vm.getMember(property, QStringLiteral("firstChild")), depth + 1));
    }
    return Value(out);
}

Value argumentsToAs(Vm& vm, const Value& v, int depth) {
    avm1::ArrayObject* out = vm.makeArray();
    if (!v.isObject() || depth > kMaxDepth) return Value(out);
    const Value children = vm.getMember(v, QStringLiteral("childNodes"));
    if (!children.isObject()) return Value(out);
    const std::size_t n = lengthOf(vm, children);
    for (std::size_t i = 0; i < n; ++i) out->push(toAs(vm, vm.getMember(children, QString::number(i)), depth + 1));
    return Value(out);
}

// The value an XML node of the call format stands for; anything else is undefined.
Value toAs(Vm& vm, const Value& v, int depth) {
    QString name;
    if (depth > kMaxDepth || !nodeName(vm, v, name)) return {};
    if (name == QLatin1String("null")) return Value::null();
    if (name == QLatin1String("true")) return Value(true);
    if (name == QLatin1String("false")) return Value(false);
    if (name == QLatin1String("string")) return Value(vm.toString(vm.getMember(v, QStringLiteral("firstChild"))));
    if (name == QLatin1String("number"))
        return Value(vm.toNumber(Value(vm.toString(vm.getMember(v, QStringLiteral("firstChild"))))));
    if (name == QLatin1String("array")) return arrayToAs(vm, v, depth);
    if (name == QLatin1String("object")) return objectToAs(vm, v, depth);
    return {};
}

}  // namespace

void installExternalInterface(Stage& stage) {
    Vm& vm = *stage.vm();
    Object* pkg = package(vm, QStringLiteral("flash.external"));
    Object* ei = defineClassOn(vm, pkg, QStringLiteral("ExternalInterface"), [](Vm&, const Value&, Args) { return Value(); });
    const std::uint16_t v8 = avm1::propflag::kVersion8;
    auto def = [&](const char* name, avm1::NativeFunction f) { method(vm, ei, QString::fromLatin1(name), std::move(f), v8); };
    // No page hosts the movie: nothing is available to call or to call back.
    defineGetter(vm, ei, QStringLiteral("available"), [](Vm&, const Value&, Args) { return Value(false); }, v8);
    def("addCallback", [](Vm&, const Value&, Args) { return Value(false); });
    def("call", [](Vm&, const Value&, Args) { return Value::null(); });
    def("_escapeXML", [](Vm& vm, const Value&, Args args) {
        if (args.empty()) return Value::null();
        const QString s = vm.toString(args[0]);
        return s.isEmpty() ? Value::null() : Value(escapeXml(s));
    });
    def("_unescapeXML", [](Vm& vm, const Value&, Args args) {
        if (args.empty()) return Value::null();
        const QString s = vm.toString(args[0]);
        return s.isEmpty() ? Value::null() : Value(unescapeXml(s));
    });
    def("_toXML", [](Vm& vm, const Value&, Args args) { return Value(toXml(vm, arg(args, 0), 0)); });
    def("_arrayToXML", [](Vm& vm, const Value&, Args args) { return Value(arrayToXml(vm, arg(args, 0), 0)); });
    def("_argumentsToXML", [](Vm& vm, const Value&, Args args) { return Value(argumentsToXml(vm, arg(args, 0), 0)); });
    def("_objectToXML", [](Vm& vm, const Value&, Args args) { return Value(objectToXml(vm, arg(args, 0), 0)); });
    def("_toAS", [](Vm& vm, const Value&, Args args) { return toAs(vm, arg(args, 0), 0); });
    def("_arrayToAS", [](Vm& vm, const Value&, Args args) { return arrayToAs(vm, arg(args, 0), 0); });
    def("_argumentsToAS", [](Vm& vm, const Value&, Args args) { return argumentsToAs(vm, arg(args, 0), 0); });
    def("_objectToAS", [](Vm& vm, const Value&, Args args) { return objectToAs(vm, arg(args, 0), 0); });
    // The script side of the page bridge: with no page these do nothing.
    for (const char* name : {"_arrayToJS", "_callIn", "_callOut", "_evalJS", "_initJS", "_jsQuoteString", "_objectID",
                             "_objectToJS", "_toJS"})
        def(name, [](Vm&, const Value&, Args) { return Value(); });
}

}  // namespace vistrel::player::objects
