#include "player/script/script_host.h"

#include <cmath>

#include "player/avm1/convert.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/script/clip_object.h"
#include "player/script/loader.h"
#include "player/script/text_field.h"
#include "player/mouse_input.h"
#include "player/stage.h"
#include "player/timeline.h"

namespace vistrel::player {

namespace {

std::string encodeLabel(const Stage& stage, const QString& label) {
    const QByteArray bytes = stage.movie().header().version >= 6 ? label.toUtf8() : label.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

}  // namespace

void ScriptHost::gotoFrame(avm1::Object* clip, int frame, bool play) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    if (!sprite) return;
    sprite->gotoFrame(frame, true);
    sprite->setPlaying(play);
}

bool ScriptHost::gotoLabel(avm1::Object* clip, const QString& label, bool play) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    if (!sprite) return false;
    const int frame = sprite->timeline().findLabelIgnoringCase(encodeLabel(m_stage, label));
    if (frame < 0) return false;
    sprite->gotoFrame(frame, true);
    sprite->setPlaying(play);
    return true;
}

void ScriptHost::play(avm1::Object* clip) {
    if (SpriteInstance* sprite = spriteOf(avm1::Value(clip))) sprite->setPlaying(true);
}

void ScriptHost::stop(avm1::Object* clip) {
    if (SpriteInstance* sprite = spriteOf(avm1::Value(clip))) sprite->setPlaying(false);
}

void ScriptHost::nextFrame(avm1::Object* clip) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    if (!sprite) return;
    if (sprite->currentFrame() + 1 < sprite->frameCount()) sprite->gotoFrame(sprite->currentFrame() + 1, true);
    sprite->setPlaying(false);
}

void ScriptHost::prevFrame(avm1::Object* clip) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    if (!sprite) return;
    if (sprite->currentFrame() > 0) sprite->gotoFrame(sprite->currentFrame() - 1, true);
    sprite->setPlaying(false);
}

int ScriptHost::currentFrame(avm1::Object* clip) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    return sprite ? sprite->currentFrame() : 0;
}

int ScriptHost::framesLoaded(avm1::Object* clip) { return totalFrames(clip); }

int ScriptHost::totalFrames(avm1::Object* clip) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    return sprite ? sprite->frameCount() : 0;
}

int ScriptHost::frameOfLabel(avm1::Object* clip, const QString& label) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    return sprite ? sprite->timeline().findLabelIgnoringCase(encodeLabel(m_stage, label)) : -1;
}

int ScriptHost::frameFromValue(SpriteInstance& sprite, const avm1::Value& frame) {
    avm1::Vm& vm = *m_stage.vm();
    if (frame.isString()) {
        const QString text = frame.asString();
        bool numeric = false;
        const double n = text.trimmed().toDouble(&numeric);
        if (numeric) return static_cast<int>(std::floor(n)) - 1;
        return sprite.timeline().findLabelIgnoringCase(encodeLabel(m_stage, text));
    }
    // Frame numbers wrap as 32-bit integers, and so does the step to 0-based: 2^31 comes out as the
    // largest frame (the goto clamps it), 2^32 + 2 as frame 2; what stays negative goes nowhere.
    const std::int32_t n = avm1::toInt32(vm.toNumber(frame));
    const std::int64_t index = static_cast<std::int32_t>(static_cast<std::uint32_t>(n) - 1u);
    if (index < 0) return -1;
    return static_cast<int>(std::min<std::int64_t>(index, 1000000));
}

avm1::Value ScriptHost::getProperty(avm1::Object* clip, int index) {
    DisplayObject* o = displayOf(avm1::Value(clip));
    if (!o || index < 0 || index >= kClipPropertyCount) return {};
    // Text fields answer for their own size: they go through their object.
    if (o->text) {
        avm1::Value out;
        if (clip->getSpecial(*m_stage.vm(), clipPropertyName(static_cast<ClipProperty>(index)), out)) return out;
    }
    return getClipProperty(m_stage, *o, static_cast<ClipProperty>(index));
}

void ScriptHost::setProperty(avm1::Object* clip, int index, const avm1::Value& value) {
    DisplayObject* o = displayOf(avm1::Value(clip));
    if (!o || index < 0 || index >= kClipPropertyCount) return;
    if (o->text && clip->setSpecial(*m_stage.vm(), clipPropertyName(static_cast<ClipProperty>(index)), value)) return;
    setClipProperty(m_stage, *o, static_cast<ClipProperty>(index), value);
}

DisplayObject* ScriptHost::duplicate(DisplayObject& source, const QString& name, int internal) {
    SpriteInstance* parent = source.parent;
    if (parent && source.text) return duplicateTextField(m_stage, source, *parent, internal, name);
    if (!parent || !source.sprite) return nullptr;
    // The source itself may sit at that depth: it is replaced.
    const swf::Matrix matrix = source.matrix;
    const swf::ColorTransform cx = source.colorTransform;
    const std::vector<swf::ClipAction> actions = source.clipActions;
    const std::uint16_t character = source.characterId;
    const bool visible = source.visible;
    auto copyOf = [&](DisplayObject& copy) {
        copy.matrix = matrix;
        copy.colorTransform = cx;
        copy.visible = visible;
        copy.clipActions = actions;
    };
    // The copy's state is in place before it joins, so its clip events go the usual way.
    std::unique_ptr<Drawing> drawing = source.drawing ? std::make_unique<Drawing>(*source.drawing) : nullptr;
    auto prepare = [&](DisplayObject& copy) {
        copyOf(copy);
        copy.drawing = std::move(drawing);
    };
    const bool known = character != 0 && m_stage.movie().character(character);
    DisplayObject* copy = parent->addChild(internal, known ? character : 0, name, prepare);
    return copy;
}

void ScriptHost::duplicateClip(avm1::Object* clip, const QString& name, int depth) {
    // The action gives the depth in the timeline's numbering.
    if (depth < kMinScriptDepth + kScriptDepthOffset || depth > kMaxScriptDepth + kScriptDepthOffset) return;
    DisplayObject* o = displayOf(avm1::Value(clip));
    if (!o) return;
    avm1::Object* script = nullptr;
    if (DisplayObject* copy = duplicate(*o, name, depth)) script = m_stage.scriptObject(*copy);
    if (script && script->display()) m_stage.constructScriptClip(*script->display(), nullptr);
}

bool ScriptHost::remove(DisplayObject& object) {
    if (!object.parent) return false;
    // Only what sits in the scripts' range of depths can be removed by a script.
    const int scriptDepth = object.depth - kScriptDepthOffset;
    if (scriptDepth < 0 || scriptDepth >= 2130690045) return false;
    object.parent->removeByTimeline(object.depth);
    return true;
}

void ScriptHost::removeClip(avm1::Object* clip) {
    if (DisplayObject* o = displayOf(avm1::Value(clip))) remove(*o);
}

void ScriptHost::startDrag(avm1::Object* clip, bool lockCenter, std::optional<QRectF> bounds) {
    DisplayObject* o = displayOf(avm1::Value(clip));
    if (!o || !o->sprite) return;
    m_dragged = clip;
    // Bounds come in the parent's pixels.
    if (bounds) bounds = QRectF(bounds->left() * 20.0, bounds->top() * 20.0, bounds->width() * 20.0, bounds->height() * 20.0);
    m_stage.mouse().startDrag(*o, lockCenter, bounds);
}

void ScriptHost::stopDrag() {
    m_dragged = nullptr;
    m_stage.mouse().stopDrag();
}

avm1::Object* ScriptHost::level(int n) {
    DisplayObject* o = m_stage.levelObject(n);
    return o ? m_stage.scriptObject(*o) : nullptr;
}

avm1::Object* ScriptHost::resolveTarget(avm1::Object* base, const QString& path) {
    DisplayObject* current = displayOf(avm1::Value(base));
    if (path.isEmpty()) return base;
    avm1::Vm& vm = *m_stage.vm();
    const bool ignoreCase = vm.swfVersion() < 7;
    auto eq = [&](QStringView a, QStringView b) {
        return ignoreCase ? avm1::sameFolded(a, b) : a == b;
    };
    QStringView rest(path);
    if (rest.startsWith(u'/')) {
        current = current ? rootFor(*current) : &m_stage.rootObject();
        rest = rest.mid(1);
    }
    // Segments split on '/' or '.', with ".." meaning the parent in slash paths.
    while (!rest.isEmpty()) {
        qsizetype cut = 0;
        if (rest.startsWith(u"..")) {
            cut = 2;
        } else {
            while (cut < rest.size() && rest[cut] != u'/' && rest[cut] != u'.') ++cut;
        }
        const QStringView segment = rest.first(cut);
        rest = rest.mid(cut);
        // Two slashes in a row name nothing between them: the path leads nowhere.
        if (segment.isEmpty() && rest.startsWith(u'/')) return nullptr;
        if (!rest.isEmpty() && (rest[0] == u'/' || rest[0] == u'.')) rest = rest.mid(1);
        if (segment.isEmpty()) continue;
        if (segment == u".." || eq(segment, u"_parent")) {
            if (!current || !current->parent) return nullptr;
            current = current->parent->owner();
            continue;
        }
        if (eq(segment, u"_root")) {
            current = current ? rootFor(*current) : &m_stage.rootObject();
            continue;
        }
        if (segment.startsWith(u"_level", Qt::CaseInsensitive)) {
            bool digits = false;
            const int n = segment.mid(6).toInt(&digits);
            current = digits && n >= 0 ? m_stage.levelObject(n) : nullptr;
            if (!current) return nullptr;
            continue;
        }
        if (eq(segment, u"this")) continue;
        if (!current || !current->sprite) return nullptr;
        DisplayObject* child = current->sprite->childByName(segment.toString());
        if (!child) return nullptr;
        current = child;
    }
    return current ? m_stage.reachableObject(*current) : nullptr;
}

QString ScriptHost::targetPath(avm1::Object* clip) {
    DisplayObject* o = displayOf(avm1::Value(clip));
    if (o) return dotPath(*o);
    const auto* removed = dynamic_cast<const ClipObject*>(clip);
    return removed ? removed->lastPath() : QString();
}

void ScriptHost::getUrl(avm1::Object* base, const QString& url, const QString& target, int, bool loadTarget,
                        bool loadVariables) {
    // Of the commands for the hosting program, quit is the one that changes what the movie does.
    const QLatin1StringView command("FSCommand:");
    if (url.startsWith(command, Qt::CaseInsensitive)) {
        if (QStringView(url).mid(command.size()).compare(QLatin1StringView("quit"), Qt::CaseInsensitive) == 0)
            m_stage.quit();
        return;
    }
    // "_levelN" names a level whatever the flags say; other targets are clips only when the action says
    // so, and browser windows otherwise (nothing opens from here).
    if (target.startsWith(QStringLiteral("_level"), Qt::CaseInsensitive)) {
        bool digits = false;
        const int n = target.mid(6).toInt(&digits);
        if (digits && n >= 0) {
            if (loadVariables) {
                m_stage.loader().loadVariables(nullptr, n, url);
            } else if (url.isEmpty()) {
                if (DisplayObject* level = m_stage.levelObject(n)) m_stage.loader().unload(*level);
            } else {
                m_stage.loader().loadMovie(nullptr, n, url);
            }
            return;
        }
    }
    if (!loadTarget && !loadVariables) return;
    avm1::Object* clip = resolveTarget(base, target);
    DisplayObject* o = clip ? clip->display() : nullptr;
    if (!o) return;
    if (loadVariables) m_stage.loader().loadVariables(clip, -1, url);
    else if (url.isEmpty()) m_stage.loader().unload(*o);
    else if (!o->parent) m_stage.loader().loadMovie(nullptr, o->level, url);
    else m_stage.loader().loadMovie(clip, -1, url);
}

void ScriptHost::callFrame(avm1::Object* clip, int frame) {
    SpriteInstance* sprite = spriteOf(avm1::Value(clip));
    if (!sprite || frame < 0 || frame >= static_cast<int>(sprite->timeline().frames.size())) return;
    for (const FrameCommand& command : sprite->timeline().frames[static_cast<std::size_t>(frame)].commands)
        if (const auto* a = std::get_if<swf::DoAction>(&command)) m_stage.vm()->runActions(a->actions, clip);
}

void ScriptHost::trace(const QString& line) { m_stage.trace(line); }

double ScriptHost::timerMs() { return m_stage.timerMs(); }

double ScriptHost::dateMs() { return m_stage.dateMs(); }

void ScriptHost::stopSounds() { m_stage.stopAllSounds(); }

void ScriptHost::toggleQuality() {
    // Low goes to high, anything else to low.
    const RenderQuality now = m_stage.scriptQuality().value_or(RenderQuality::High);
    m_stage.setScriptQuality(now == RenderQuality::Low ? RenderQuality::High : RenderQuality::Low);
    m_stage.touch();
}

int ScriptHost::movieVersion(avm1::Object* clip) {
    const DisplayObject* d = displayOf(avm1::Value(clip));
    if (!d) return 0;
    const Movie* owner = d->sprite ? &d->sprite->movie() : d->parent ? &d->parent->movie() : nullptr;
    return owner && owner->isValid() ? owner->header().version : 0;
}

}  // namespace vistrel::player
