// TextSnapshot: the static text of a clip as one string (MovieClip.getTextSnapshot makes one through
// whatever _global.TextSnapshot is at the time).
#include <algorithm>
#include <cmath>
#include <variant>

#include "player/avm1/object.h"
#include "player/characters.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/obj_internal.h"
#include "player/stage.h"

namespace vistrel::player::objects {

namespace {

constexpr std::size_t kMaxSnapshotChars = 1u << 20;

// The characters of the static texts placed directly in the clip, by depth.
QString staticTextOf(const Movie& movie, const DisplayObject& clip) {
    QString out;
    if (!clip.sprite) return out;
    for (const auto& [depth, child] : clip.sprite->children()) {
        const Character* c = movie.character(child->characterId);
        const auto* text = c ? std::get_if<swf::DefineText>(c) : nullptr;
        if (!text) continue;
        const FontCharacter* font = nullptr;
        for (const swf::TextRecord& record : text->records) {
            if (record.fontId) {
                const Character* f = movie.character(*record.fontId);
                font = f ? std::get_if<FontCharacter>(f) : nullptr;
            }
            for (const swf::GlyphEntry& g : record.glyphs) {
                if (out.size() >= static_cast<qsizetype>(kMaxSnapshotChars)) return out;
                if (font && g.index < font->font.codes.size()) out += QChar(font->font.codes[g.index]);
            }
        }
    }
    return out;
}

QString snapshotText(const Value& self) {
    Object* o = self.object();
    const avm1::Property* p = o ? o->findOwn(QStringLiteral("__snapshot")) : nullptr;
    return p && p->value.isString() ? p->value.asString() : QString();
}

bool hasSnapshot(const Value& self) {
    Object* o = self.object();
    return o && o->findOwn(QStringLiteral("__snapshot"));
}

}  // namespace

void installTextSnapshot(Stage& stage) {
    Vm& vm = *stage.vm();
    Stage* s = &stage;
    Object* ctor = defineClassOn(vm, vm.global(), QStringLiteral("TextSnapshot"), [s](Vm&, const Value& self, Args args) {
        Object* o = self.object();
        DisplayObject* clip = displayOf(arg(args, 0));
        // Taken when made: the text the clip shows then.
        if (o && clip) o->define(QStringLiteral("__snapshot"), Value(staticTextOf(s->movie(), *clip)), kHidden);
        return Value();
    });
    Object* proto = vm.getMember(Value(ctor), QStringLiteral("prototype")).object();
    method(vm, proto, QStringLiteral("getCount"), [](Vm&, const Value& self, Args) {
        return hasSnapshot(self) ? Value(static_cast<double>(snapshotText(self).size())) : Value();
    });
    method(vm, proto, QStringLiteral("getText"), [](Vm& vm, const Value& self, Args args) {
        if (!hasSnapshot(self) || args.size() < 2) return Value();
        const QString text = snapshotText(self);
        const double n = static_cast<double>(text.size());
        double from = vm.toNumber(args[0]), to = vm.toNumber(args[1]);
        if (std::isnan(from)) from = 0;
        if (std::isnan(to)) to = 0;
        from = std::clamp(std::trunc(from), 0.0, n);
        to = std::clamp(std::trunc(to), from, n);
        if (to == from && to < n) to = from + 1;   // an end at the start still gives that character
        return Value(text.mid(static_cast<qsizetype>(from), static_cast<qsizetype>(to - from)));
    });
    method(vm, proto, QStringLiteral("findText"), [](Vm& vm, const Value& self, Args args) {
        // Exactly a start, a text and the case flag; a start before the text or an empty text finds nothing.
        if (!hasSnapshot(self) || args.size() != 3) return Value();
        const QString text = snapshotText(self);
        double from = vm.toNumber(args[0]);
        if (std::isnan(from)) from = 0;
        const QString wanted = vm.toString(args[1]);
        if (from < 0 || from > text.size() || wanted.isEmpty()) return Value(-1);
        const Qt::CaseSensitivity cs = vm.toBoolean(args[2]) ? Qt::CaseSensitive : Qt::CaseInsensitive;
        return Value(static_cast<double>(text.indexOf(wanted, static_cast<qsizetype>(from), cs)));
    });
    for (const char* name : {"getSelected", "getSelectedText", "getTextRunInfo", "hitTestTextNearPos", "setSelectColor",
                             "setSelected"})
        method(vm, proto, QString::fromLatin1(name), [](Vm&, const Value&, Args) { return Value(); });

    if (Object* clipProto = vm.protos().movieClip)
        method(vm, clipProto, QStringLiteral("getTextSnapshot"), [](Vm& vm, const Value& self, Args) {
            const Value ctor = vm.getMember(Value(vm.global()), QStringLiteral("TextSnapshot"));
            return vm.construct(ctor, std::span<const Value>(&self, 1));
        });
}

}  // namespace vistrel::player::objects
