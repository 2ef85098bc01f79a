// Global functions: escape, unescape, isNaN, isFinite, parseInt, parseFloat, ASSetPropFlags, and the NaN and
// Infinity values.
#include <limits>

#include <QByteArray>
#include <QStringList>

#include "player/avm1/builtins_internal.h"
#include "player/avm1/convert.h"

namespace vistrel::avm1::builtins {

namespace {

bool isAlphanumeric(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'); }

int hexDigit(char16_t c) {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

}  // namespace

// Every unit but letters and digits becomes %XX of its UTF-8 bytes; the string ends at a zero unit.
QString escapeString(const QString& s) {
    static const char digits[] = "0123456789ABCDEF";
    qsizetype end = s.indexOf(QChar(0));
    const QByteArray bytes = (end < 0 ? s : s.left(end)).toUtf8();
    QString out;
    out.reserve(bytes.size());
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        if (isAlphanumeric(c)) {
            out += QLatin1Char(static_cast<char>(c));
        } else {
            out += QLatin1Char('%');
            out += QLatin1Char(digits[c >> 4]);
            out += QLatin1Char(digits[c & 15]);
        }
    }
    return out;
}

// %XX gives that byte and + a space; a broken escape is dropped with the character that broke it. Bytes
// are read as UTF-8 from version 6 on, one character each before.
QString unescapeString(const QString& s, bool utf8) {
    QByteArray bytes;
    bytes.reserve(s.size());
    auto addUnit = [&](QChar c) {
        if (utf8)
            bytes += QString(c).toUtf8();
        else
            bytes += static_cast<char>(c.unicode() < 256 ? c.unicode() : '?');
    };
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'+') {
            bytes += ' ';
        } else if (c == u'%') {
            const int hi = i + 1 < s.size() ? hexDigit(s[i + 1].unicode()) : -1;
            const int lo = hi >= 0 && i + 2 < s.size() ? hexDigit(s[i + 2].unicode()) : -1;
            if (hi >= 0 && lo >= 0) bytes += static_cast<char>(hi * 16 + lo);
            i += hi >= 0 ? 2 : 1;
        } else if (c.isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate()) {
            bytes += s.mid(i, 2).toUtf8();
            ++i;
        } else {
            addUnit(c);
        }
    }
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

namespace {

// ASSetPropFlags(object, names, set, clear): names is null for every own property, a comma-separated
// string or an array of names; each named property's flags become (flags & ~clear) | set.
Value setPropFlags(Vm& vm, const Value&, std::span<const Value> args) {
    Object* o = arg(args, 0).object();
    if (!o || args.size() < 3) return {};
    std::vector<QString> names;
    const Value& which = args[1];
    if (which.isNullish()) {
        std::vector<Object::OwnEntry> entries;
        o->ownEntries(entries);
        for (Object::OwnEntry& e : entries) names.push_back(std::move(e.name));
    } else if (which.isObject()) {
        for (const Value& v : arrayLikeElements(vm, which)) names.push_back(vm.toString(v));
    } else {
        for (const QString& n : vm.toString(which).split(QLatin1Char(','))) names.push_back(n);
    }
    const auto set = static_cast<std::uint16_t>(toInt32(vm.toNumber(args[2])));
    const auto clear = static_cast<std::uint16_t>(args.size() > 3 ? toInt32(vm.toNumber(args[3])) : 0);
    auto* array = dynamic_cast<ArrayObject*>(o);
    for (const QString& name : names) {
        std::uint16_t* flags = nullptr;
        if (const auto i = array ? arrayIndex(name) : std::nullopt; i && array->has(*i)) flags = &array->element(*i)->flags;
        else if (Property* p = o->findOwn(name)) flags = &p->flags;
        if (flags) *flags = static_cast<std::uint16_t>((*flags & ~clear) | set);
    }
    return {};
}

}  // namespace

void installGlobals(Vm& vm) {
    Object* global = vm.global();
    global->define(QStringLiteral("NaN"), Value(std::numeric_limits<double>::quiet_NaN()), kHidden);
    global->define(QStringLiteral("Infinity"), Value(std::numeric_limits<double>::infinity()), kHidden);
    // The global object carries a variable `o` holding null; scripts reading an unset `o`
    // see it.
    global->define(QStringLiteral("o"), Value::null(), propflag::kDontEnum);

    method(vm, global, QStringLiteral("escape"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        if (args.empty()) return {};
        return Value(escapeString(vm.toString(args[0])));
    });
    method(vm, global, QStringLiteral("unescape"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        if (args.empty()) return {};
        return Value(unescapeString(vm.toString(args[0]), vm.swfVersion() >= 6));
    });
    method(vm, global, QStringLiteral("isNaN"), [](Vm& vm, const Value&, std::span<const Value> args) {
        // A missing argument is NaN in every version (a given undefined is 0 before version 7).
        return Value(args.empty() || std::isnan(vm.toNumber(args[0])));
    });
    method(vm, global, QStringLiteral("isFinite"), [](Vm& vm, const Value&, std::span<const Value> args) {
        return Value(!args.empty() && std::isfinite(vm.toNumber(args[0])));
    });
    method(vm, global, QStringLiteral("parseInt"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        // No argument gives undefined; a radix given as undefined counts as given (and is no radix at all).
        if (args.empty()) return {};
        std::optional<int> radix;
        if (args.size() > 1) radix = toInt32(vm.toNumber(args[1]));
        return Value(parseIntValue(vm.toString(args[0]), radix));
    });
    method(vm, global, QStringLiteral("parseFloat"), [](Vm& vm, const Value&, std::span<const Value> args) -> Value {
        if (args.empty()) return {};
        return Value(parseFloatValue(vm.toString(args[0])));
    });
    method(vm, global, QStringLiteral("ASSetPropFlags"), setPropFlags);
}

}  // namespace vistrel::avm1::builtins
