#include "player/script/clip_object.h"

#include "player/script/obj_internal.h"

#include <cmath>
#include <limits>
#include <numbers>

#include <QUrl>
#include <QVarLengthArray>

#include "player/bounds.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/shape_paths.h"
#include "player/mouse_input.h"
#include "player/script/drawing.h"
#include "player/stage.h"

namespace vistrel::player {

namespace {

constexpr const char16_t* kPropertyNames[kClipPropertyCount] = {
    u"_x", u"_y", u"_xscale", u"_yscale", u"_currentframe", u"_totalframes", u"_alpha", u"_visible",
    u"_width", u"_height", u"_rotation", u"_target", u"_framesloaded", u"_name", u"_droptarget", u"_url",
    u"_highquality", u"_focusrect", u"_soundbuftime", u"_quality", u"_xmouse", u"_ymouse"};

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// _quality's names; the finer anti-aliasing names draw as the best.
QString qualityName(RenderQuality q) {
    switch (q) {
    case RenderQuality::Low: return QStringLiteral("LOW");
    case RenderQuality::Medium: return QStringLiteral("MEDIUM");
    case RenderQuality::High: return QStringLiteral("HIGH");
    case RenderQuality::Best: return QStringLiteral("BEST");
    }
    return QStringLiteral("HIGH");
}

std::optional<RenderQuality> qualityNamed(const QString& name) {
    const QString n = name.trimmed().toUpper();
    if (n == u"LOW") return RenderQuality::Low;
    if (n == u"MEDIUM") return RenderQuality::Medium;
    if (n == u"HIGH") return RenderQuality::High;
    if (n == u"BEST" || n == u"8X8" || n == u"8X8LINEAR" || n == u"16X16" || n == u"16X16LINEAR")
        return RenderQuality::Best;
    return std::nullopt;
}
double radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

// Scale and rotation as a script sees them: taken from the matrix unless a script set them. The x axis
// gives the rotation and the x scale, the y axis its own angle (kept as the skew from the x axis) and the
// y scale, so a mirrored matrix reads as a half turn with positive scales.
struct Geometry {
    double xScale, yScale, rotation;   // percent, percent, degrees
    double skew;                       // radians from the x axis's angle to the y axis's
};

Geometry geometryOf(const DisplayObject& o) {
    if (o.scriptGeometry) return {o.scriptXScale, o.scriptYScale, o.scriptRotation, o.scriptSkew};
    const swf::Matrix& m = o.matrix;
    const double xAngle = std::atan2(m.b, m.a);
    const double yAngle = std::atan2(-m.c, m.d);
    return {std::hypot(m.a, m.b) * 100.0, std::hypot(m.c, m.d) * 100.0, degrees(xAngle), yAngle - xAngle};
}

void setGeometry(DisplayObject& o, Geometry g) {
    const double xAngle = radians(g.rotation);
    const double yAngle = xAngle + (std::isfinite(g.skew) ? g.skew : 0.0);
    const double sx = g.xScale / 100.0, sy = g.yScale / 100.0;
    o.matrix.a = sx * std::cos(xAngle);
    o.matrix.b = sx * std::sin(xAngle);
    o.matrix.c = -sy * std::sin(yAngle);
    o.matrix.d = sy * std::cos(yAngle);
    // Scripts may ask for infinite scales or turns; the values read back as given, but the drawing matrix
    // stays finite so bounds and painting never meet NaN.
    if (!std::isfinite(o.matrix.a) || !std::isfinite(o.matrix.b) || !std::isfinite(o.matrix.c) ||
        !std::isfinite(o.matrix.d))
        o.matrix.a = o.matrix.b = o.matrix.c = o.matrix.d = 0;
    o.scriptXScale = g.xScale;
    o.scriptYScale = g.yScale;
    o.scriptRotation = g.rotation;
    o.scriptSkew = g.skew;
    o.scriptGeometry = true;
}

double normalizedRotation(double deg) {
    deg = std::fmod(deg, 360.0);
    if (deg > 180.0) deg -= 360.0;
    else if (deg < -180.0) deg += 360.0;
    return deg;
}

QRectF parentBounds(Stage& stage, const DisplayObject& o) {
    const QRectF inner = objectBounds(movieOf(stage, o), o);
    if (inner.isEmpty() && inner.width() == 0 && inner.height() == 0) return {};
    return objectBoundsMapped(movieOf(stage, o), o, toQTransform(o.matrix));
}

}  // namespace

std::optional<ClipProperty> clipPropertyByName(const QString& name) {
    if (name.size() < 2 || name[0] != u'_') return std::nullopt;
    for (int i = 0; i < kClipPropertyCount; ++i)
        if (name.compare(QStringView(kPropertyNames[i]), Qt::CaseInsensitive) == 0) return static_cast<ClipProperty>(i);
    return std::nullopt;
}

QString clipPropertyName(ClipProperty property) {
    return QString::fromUtf16(kPropertyNames[static_cast<int>(property)]);
}

QString dotPath(const DisplayObject& object) {
    if (!object.parent) return QStringLiteral("_level") + QString::number(object.level);
    // The clips from this one up to the last with an owner, then the level they hang from; the path is
    // built once, at its full length (clips are placed often, and deep).
    QVarLengthArray<const DisplayObject*, 16> chain;
    QString level;
    for (const DisplayObject* o = &object;;) {
        chain.push_back(o);
        const DisplayObject* owner = o->parent->owner();
        if (!owner) {
            level = QStringLiteral("_level0");
            break;
        }
        if (!owner->parent) {
            level = QStringLiteral("_level") + QString::number(owner->level);
            break;
        }
        o = owner;
    }
    qsizetype size = level.size();
    for (const DisplayObject* o : chain) size += 1 + o->name.size();
    QString path;
    path.reserve(size);
    path += level;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
        path += u'.';
        path += (*it)->name;
    }
    return path;
}

QString slashPath(const DisplayObject& object) {
    if (!object.parent) return object.level ? QStringLiteral("_level") + QString::number(object.level) : QStringLiteral("/");
    const DisplayObject* owner = object.parent->owner();
    const QString above = owner ? slashPath(*owner) : QStringLiteral("/");
    return (above == u"/" ? QString() : above) + u'/' + object.name;
}

const Movie& movieOf(const Stage& stage, const DisplayObject& object) {
    if (object.sprite) return object.sprite->movie();
    return object.parent ? object.parent->movie() : stage.movie();
}

bool showsNoMovie(const DisplayObject& object) {
    return object.parent && object.sprite && object.characterId == 0 && !object.sprite->loadedMovie() &&
           object.sprite->timeline().frames.empty();
}

QString movieUrl(const Movie& movie) {
    if (movie.sourcePath().isEmpty()) return QString();
    return QUrl::fromLocalFile(movie.sourcePath()).toString(QUrl::FullyEncoded);
}

DisplayObject* rootFor(DisplayObject& object) {
    DisplayObject* current = &object;
    for (int guard = 0; current->parent && current->parent->owner() && guard < 256; ++guard) {
        // A clip that locks its root is the root of everything inside it.
        if (current->lockRoot) return current;
        current = current->parent->owner();
    }
    return current;
}

QTransform worldTransform(const DisplayObject& object) {
    QTransform t = toQTransform(object.matrix);
    int guard = 0;
    for (const SpriteInstance* p = object.parent; p && p->owner() && guard < 64; p = p->owner()->parent, ++guard)
        t = t * toQTransform(p->owner()->matrix);
    return t;
}

QTransform placedTransform(const DisplayObject& object, bool withRoot) {
    if (!object.parent) return withRoot ? toQTransform(object.matrix) : QTransform();
    QTransform t = toQTransform(object.matrix);
    int guard = 0;
    for (const SpriteInstance* p = object.parent; p && p->owner() && (withRoot || p->owner()->parent) && guard < 64;
         p = p->owner()->parent, ++guard) {
        t = wholeTwipTranslation(t * toQTransform(p->owner()->matrix));
    }
    return t;
}

avm1::Value getClipProperty(Stage& stage, DisplayObject& o, ClipProperty property) {
    using avm1::Value;
    switch (property) {
    case ClipProperty::X: return Value(o.matrix.tx / 20.0);
    case ClipProperty::Y: return Value(o.matrix.ty / 20.0);
    case ClipProperty::XScale: return Value(geometryOf(o).xScale);
    case ClipProperty::YScale: return Value(geometryOf(o).yScale);
    case ClipProperty::CurrentFrame:
        if (!o.failedLoadUrl.isEmpty() || showsNoMovie(o)) return Value(0);
        return Value(o.sprite ? o.sprite->currentFrame() + 1 : 1);
    case ClipProperty::TotalFrames:
        if (!o.failedLoadUrl.isEmpty()) return Value(0);
        return Value(o.sprite ? o.sprite->timeline().reportedTotalFrames() : 1);
    case ClipProperty::FramesLoaded:
        if (!o.failedLoadUrl.isEmpty()) return Value(-1);
        return Value(o.sprite ? o.sprite->timeline().reportedLoadedFrames() : 1);
    case ClipProperty::Alpha: return Value(o.colorTransform.aMult / 256.0 * 100.0);
    case ClipProperty::Visible: return Value(o.visible);
    case ClipProperty::Width: return Value(std::round(parentBounds(stage, o).width()) / 20.0);
    case ClipProperty::Height: return Value(std::round(parentBounds(stage, o).height()) / 20.0);
    case ClipProperty::Rotation: return Value(geometryOf(o).rotation);
    case ClipProperty::Target: return Value(slashPath(o));
    case ClipProperty::Name: return Value(o.name);
    case ClipProperty::DropTarget: return Value(o.dropTarget);
    case ClipProperty::Url:
        if (!o.failedLoadUrl.isEmpty()) return Value(o.failedLoadUrl);
        return Value(movieUrl(movieOf(stage, o)));
    case ClipProperty::HighQuality: {
        const RenderQuality q = stage.scriptQuality().value_or(RenderQuality::High);
        return Value(q == RenderQuality::Low ? 0 : q == RenderQuality::Best ? 2 : 1);
    }
    // Version 5 movies share one number for every clip; later ones keep a flag per clip, null until set,
    // and the root's is the movie's own (on from the start).
    case ClipProperty::FocusRect:
        if (stage.movie().header().version <= 5) return Value(stage.focusRect());
        if (!o.parent) return Value(stage.focusRect() != 0);
        return o.focusRect ? Value(*o.focusRect) : Value::null();
    case ClipProperty::SoundBufTime: return Value(stage.soundBufferTime());
    case ClipProperty::Quality: return Value(qualityName(stage.scriptQuality().value_or(RenderQuality::High)));
    case ClipProperty::XMouse:
    case ClipProperty::YMouse: {
        // The pointer is mapped with every translation on whole pixels; a matrix that cannot be
        // inverted leaves the point a twentieth of what it was.
        QTransform t;
        int guard = 0;
        for (const DisplayObject* d = &o; d && d->parent && guard < 64; d = d->parent->owner(), ++guard) {
            const swf::Matrix& m = d->matrix;
            t = t * QTransform(m.a, m.b, m.c, m.d, std::round(m.tx / 20.0) * 20.0, std::round(m.ty / 20.0) * 20.0);
        }
        bool ok = false;
        QTransform inverse = t.inverted(&ok);
        // The inverse keeps its translation in whole twips, so points land a twip off a plain inverse.
        inverse = QTransform(inverse.m11(), inverse.m12(), inverse.m21(), inverse.m22(),
                             std::floor(inverse.dx() + 0.5), std::floor(inverse.dy() + 0.5));
        const QPointF local = ok ? inverse.map(stage.mouse().position()) : stage.mouse().position() / 20.0;
        return Value(std::floor((property == ClipProperty::XMouse ? local.x() : local.y()) + 0.5) / 20.0);
    }
    }
    return {};
}

void setClipProperty(Stage& stage, DisplayObject& o, ClipProperty property, const avm1::Value& value) {
    avm1::Vm* vm = stage.vm();
    if (!vm) return;
    auto number = [&]() { return vm->toNumber(value); };
    switch (property) {
    case ClipProperty::X:
    case ClipProperty::Y: {
        const double v = number();
        if (std::isnan(v)) return;
        // Whole twips, cut toward zero; an infinite position lands on the smallest 32-bit twips value.
        (property == ClipProperty::X ? o.matrix.tx : o.matrix.ty) =
            std::isfinite(v) ? std::trunc(v * 20.0) : -2147483648.0;
        o.transformedByScript = true;
        break;
    }
    case ClipProperty::XScale:
    case ClipProperty::YScale:
    case ClipProperty::Rotation: {
        const double v = number();
        // NaN leaves the value; an infinite scale is kept and an infinite turn reads back as NaN.
        if (std::isnan(v)) return;
        Geometry g = geometryOf(o);
        if (property == ClipProperty::XScale) g.xScale = v;
        else if (property == ClipProperty::YScale) g.yScale = v;
        else g.rotation = normalizedRotation(v);
        setGeometry(o, g);
        o.transformedByScript = true;
        break;
    }
    case ClipProperty::Alpha: {
        const double v = number();
        if (std::isnan(v)) return;
        // An infinite alpha wraps to nothing, as a 32-bit integer conversion does.
        o.colorTransform.aMult =
            std::isfinite(v) ? static_cast<std::int16_t>(std::clamp(v * 2.56, -32768.0, 32767.0)) : std::int16_t(0);
        o.transformedByScript = true;
        break;
    }
    case ClipProperty::Visible: {
        // The value counts as a number; one that is not a number leaves the flag as it was.
        const double v = number();
        if (std::isnan(v)) return;
        o.visible = v != 0;
        if (!o.visible) objects::focusLost(stage, o);   // a hidden object cannot keep the focus
        break;
    }
    case ClipProperty::Width:
    case ClipProperty::Height: {
        const double v = number();
        if (!std::isfinite(v)) return;
        const QRectF inner = objectBounds(movieOf(stage, o), o);
        Geometry g = geometryOf(o);
        if (!(inner.width() > 0) || !(inner.height() > 0)) {
            // A flat or empty object has no size to scale from: both axes collapse.
            g.xScale = 0;
            g.yScale = 0;
        } else {
            // The new scale of the named axis assumes the other axis unscaled, and the other axis takes a
            // blend of both old scales weighted by the rotation, so a rotated object's size moves towards,
            // but not exactly onto, the value asked for.
            const double turn = radians(g.rotation);
            const double sine = std::abs(std::sin(turn)), cosine = std::abs(std::cos(turn));
            const bool width = property == ClipProperty::Width;
            const double along = width ? inner.width() : inner.height();
            const double across = width ? inner.height() : inner.width();
            const double ratio = across / along;
            const double named = v * 20.0 / (along * (cosine + ratio * sine)) * 100.0;
            double& mine = width ? g.xScale : g.yScale;
            double& other = width ? g.yScale : g.xScale;
            other = (sine * mine + ratio * cosine * other) / (ratio * cosine + sine);
            mine = named;
        }
        setGeometry(o, g);
        o.transformedByScript = true;
        break;
    }
    case ClipProperty::Name:
        // From version 7 a number that is NaN names the clip "0".
        if (value.isNumber() && std::isnan(value.asNumber()) && vm->swfVersion() >= 7) o.name = QStringLiteral("0");
        else o.name = vm->toString(value);
        break;
    case ClipProperty::CurrentFrame:
    case ClipProperty::TotalFrames:
    case ClipProperty::Target:
    case ClipProperty::FramesLoaded:
    case ClipProperty::DropTarget:
    case ClipProperty::Url:
    case ClipProperty::XMouse:
    case ClipProperty::YMouse: return;   // read-only
    case ClipProperty::FocusRect: {
        // Version 5: set through any clip for all of them, as 1 or 0; values that are not numbers leave it.
        // Later versions: the root's setting rules whether keyboard focus shows its rectangle.
        if (stage.movie().header().version > 5) {
            // A flag: an object clears it without being asked for a number; what is no number leaves it.
            bool on = false;
            if (value.isNullish()) return;
            if (value.isBoolean()) {
                on = value.asBool();
            } else if (!value.isObject()) {
                const double v = number();
                if (std::isnan(v)) return;
                on = v != 0;
            }
            o.focusRect = on;
            if (!o.parent) stage.setFocusRect(on ? 1 : 0);
            return;
        }
        if (value.isNullish()) return;
        const double v = number();
        // An object that is no number switches it off; a string that is none leaves it.
        if (std::isnan(v) && value.isObject()) stage.setFocusRect(0);
        else if (!std::isnan(v)) stage.setFocusRect(v != 0 ? 1 : 0);
        return;
    }
    case ClipProperty::HighQuality: {
        // 0 low, 2 and above best, any other number high; what is no number leaves it.
        const double v = number();
        if (std::isnan(v)) return;
        stage.setScriptQuality(v == 0 ? RenderQuality::Low : v >= 2 ? RenderQuality::Best : RenderQuality::High);
        break;
    }
    case ClipProperty::Quality: {
        const std::optional<RenderQuality> q = qualityNamed(vm->toString(value));
        if (!q) return;
        stage.setScriptQuality(*q);
        break;
    }
    case ClipProperty::SoundBufTime: {
        // Scripts read back what they set: whole seconds, what is no number leaves it, and a number out of
        // the 32-bit range (an infinite one too) is the smallest 32-bit integer. The viewer's own settings
        // rule the buffering itself.
        const double v = std::trunc(number());
        if (std::isnan(v)) return;
        const bool fits = v >= -2147483648.0 && v <= 2147483647.0;
        stage.setSoundBufferTime(fits ? static_cast<int>(v) : std::numeric_limits<int>::min());
        return;
    }
    }
    stage.touch();
}

DisplayObject* ClipObject::liveDisplay() const {
    if (DisplayObject* d = display()) return d;
    if (m_referencePath.isEmpty() || objectClass() != avm1::ObjectClass::MovieClip) return nullptr;
    const QStringList names = m_referencePath.split(u'.');
    if (names.isEmpty() || !names[0].startsWith(u"_level")) return nullptr;
    bool digits = false;
    const int level = names[0].mid(6).toInt(&digits);
    DisplayObject* current = digits && level >= 0 ? m_stage.levelObject(level) : nullptr;
    for (qsizetype i = 1; current && i < names.size(); ++i)
        current = current->sprite ? current->sprite->childByName(names[i]) : nullptr;
    if (!current || !current->sprite || current->script == this) return nullptr;
    return m_stage.scriptObject(*current) ? current : nullptr;
}

// What a reference to a clip that has gone does: everything goes to the clip now at its path.
static avm1::Object* successorOf(const ClipObject& clip) {
    if (clip.display()) return nullptr;
    DisplayObject* live = clip.liveDisplay();
    return live ? live->script : nullptr;
}

void ClipObject::markChildren(avm1::Heap& heap) {
    avm1::Object::markChildren(heap);
    heap.mark(scriptFilters);
}

bool ClipObject::vacant() const {
    return !display() && objectClass() == avm1::ObjectClass::MovieClip && m_unloadHolds <= 0 && !liveDisplay();
}

bool ClipObject::getSpecial(avm1::Vm& vm, const QString& name, avm1::Value& out) {
    if (avm1::Object* successor = successorOf(*this)) {
        out = vm.getMember(avm1::Value(successor), name);
        return true;
    }
    if (vacant()) {
        out = avm1::Value();
        return true;
    }
    DisplayObject* o = display();
    if (!o || name.isEmpty()) return false;
    if (name[0] == u'_') {
        if (const auto p = clipPropertyByName(name)) {
            out = getClipProperty(m_stage, *o, *p);
            return true;
        }
        // The names that lead elsewhere follow the movie's case rule: from version 7 `_ROOT` is no root.
        const Qt::CaseSensitivity cs = vm.swfVersion() >= 7 ? Qt::CaseSensitive : Qt::CaseInsensitive;
        if (name.compare(u"_parent", cs) == 0) {
            DisplayObject* owner = o->parent ? o->parent->owner() : nullptr;
            avm1::Object* above = owner ? m_stage.reachableObject(*owner) : nullptr;
            out = above ? avm1::Value(above) : avm1::Value();
            return true;
        }
        if (name.compare(u"_root", cs) == 0) {
            out = avm1::Value(m_stage.scriptObject(*rootFor(*o)));
            return true;
        }
        if (name.compare(u"_lockroot", Qt::CaseInsensitive) == 0) {
            out = avm1::Value(o->lockRoot);
            return true;
        }
        if (name.compare(u"_global", cs) == 0 && vm.swfVersion() >= 6) {
            out = avm1::Value(vm.global());
            return true;
        }
    }
    // Stored properties win over children of the same name.
    if (findOwn(name)) return false;
    if (o->sprite) {
        if (DisplayObject* child = o->sprite->childByName(name)) {
            if (avm1::Object* script = m_stage.reachableObject(*child)) {
                out = avm1::Value(script);
                return true;
            }
            // A named shape, text or bitmap has no object of its own: its name leads to the clip holding it.
            if (isGraphic(*child)) {
                out = avm1::Value(this);
                return true;
            }
        }
    }
    return false;
}

bool ClipObject::isGraphic(const DisplayObject& child) const {
    if (child.sprite || !child.parent) return false;
    const Character* c = child.characterId ? child.parent->movie().character(child.characterId) : nullptr;
    return c && !std::holds_alternative<SpriteCharacter>(*c) && !std::holds_alternative<ButtonCharacter>(*c) &&
           !std::holds_alternative<swf::DefineEditText>(*c) && !std::holds_alternative<VideoCharacter>(*c);
}

bool ClipObject::setSpecial(avm1::Vm& vm, const QString& name, const avm1::Value& value) {
    if (avm1::Object* successor = successorOf(*this)) {
        vm.setMember(avm1::Value(successor), name, value);
        return true;
    }
    if (vacant()) return true;
    DisplayObject* o = display();
    if (!o || name.isEmpty() || name[0] != u'_') return false;
    // The display object holds it, so a movie loaded into the clip keeps it.
    if (name.compare(u"_lockroot", Qt::CaseInsensitive) == 0) {
        o->lockRoot = vm.toBoolean(value);
        return true;
    }
    if (const auto p = clipPropertyByName(name)) {
        setClipProperty(m_stage, *o, *p, value);
        return true;
    }
    return false;
}

void ClipObject::specialNames(std::vector<QString>& names) const {
    const DisplayObject* o = display();
    if (!o || !o->sprite) return;
    for (const auto& [depth, child] : o->sprite->children())
        if (!child->name.isEmpty() && (m_stage.scriptObject(*child) || isGraphic(*child))) names.push_back(child->name);
}

DisplayObject* displayOf(const avm1::Value& v) {
    avm1::Object* o = v.object();
    if (!o) return nullptr;
    if (DisplayObject* d = o->display()) return d;
    const auto* clip = dynamic_cast<const ClipObject*>(o);
    return clip ? clip->liveDisplay() : nullptr;
}

SpriteInstance* spriteOf(const avm1::Value& v) {
    DisplayObject* d = displayOf(v);
    return d ? d->sprite.get() : nullptr;
}

}  // namespace vistrel::player
