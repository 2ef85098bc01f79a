// The script side of a display object: a MovieClip, TextField or Button object whose display
// properties (_x, _alpha, _currentframe...) read and write the display object, and whose children are
// found by instance name.
#pragma once

#include <optional>

#include <QString>
#include <QTransform>

#include "player/avm1/object.h"
#include "player/avm1/vm.h"

namespace vistrel::player {

struct DisplayObject;
class SpriteInstance;
class Stage;
class Movie;

// Display properties in the order GetProperty / SetProperty number them.
enum class ClipProperty : int {
    X = 0, Y, XScale, YScale, CurrentFrame, TotalFrames, Alpha, Visible, Width, Height, Rotation, Target,
    FramesLoaded, Name, DropTarget, Url, HighQuality, FocusRect, SoundBufTime, Quality, XMouse, YMouse
};
inline constexpr int kClipPropertyCount = 22;
// The property a name like "_x" or "_XSCALE" means (names of display properties ignore case).
std::optional<ClipProperty> clipPropertyByName(const QString& name);
QString clipPropertyName(ClipProperty property);

avm1::Value getClipProperty(Stage& stage, DisplayObject& object, ClipProperty property);
void setClipProperty(Stage& stage, DisplayObject& object, ClipProperty property, const avm1::Value& value);

class ClipObject : public avm1::Object {
public:
    ClipObject(Stage& stage, avm1::ObjectClass cls) : avm1::Object(cls), m_stage(stage) {}

    bool getSpecial(avm1::Vm& vm, const QString& name, avm1::Value& out) override;
    bool setSpecial(avm1::Vm& vm, const QString& name, const avm1::Value& value) override;
    // for..in lists the named children scripts can reach, besides the stored properties.
    void specialNames(std::vector<QString>& names) const override;

    // The path it had when it left the display list: a removed clip still prints as its path.
    const QString& lastPath() const { return m_lastPath; }
    void setLastPath(const QString& path) { m_lastPath = path; }
    // A clip reference outlives its clip: once the clip has gone, it stands for whatever clip then has
    // the path the clip had when it was placed. Null when nothing has.
    void setReferencePath(const QString& path) { m_referencePath = path; }
    DisplayObject* liveDisplay() const;
    DisplayObject* currentDisplay() const override { return liveDisplay(); }
    bool vacant() const override;
    // Unload handlers queued for it: until they have run, a removed clip still answers as it was.
    void holdForUnload(int delta) { m_unloadHolds += delta; }
    // The filter objects a script gave it, kept to be read back.
    avm1::Value scriptFilters;
    void markChildren(avm1::Heap& heap) override;

private:
    // A shape, morph shape, static text or bitmap: shown, named, but without a script object.
    bool isGraphic(const DisplayObject& child) const;

    Stage& m_stage;
    QString m_lastPath;
    QString m_referencePath;
    int m_unloadHolds = 0;
};

// The clip a script object stands for, or null (not a clip, or removed).
DisplayObject* displayOf(const avm1::Value& v);
SpriteInstance* spriteOf(const avm1::Value& v);

// Paths: "_level0.a.b" (as String(clip) gives it) and "/a/b" (as _target gives it).
QString dotPath(const DisplayObject& object);
QString slashPath(const DisplayObject& object);

// The movie whose dictionary an object's character comes from (for a loaded clip, the loaded movie), and
// the address a movie was read from, as _url gives it.
const Movie& movieOf(const Stage& stage, const DisplayObject& object);
QString movieUrl(const Movie& movie);
// A clip that shows no movie of its own: one createEmptyMovieClip made, or one whose movie was unloaded.
// It has not entered a frame and holds no bytes.
bool showsNoMovie(const DisplayObject& object);
// What _root means inside `object`: the root of its level, or the nearest clip with _lockroot set.
DisplayObject* rootFor(DisplayObject& object);

// The world transform of a display object's parent space, and of the object itself, in twips.
QTransform worldTransform(const DisplayObject& object);
// The same as drawing places the object: the translation kept in whole twips at every level of nesting.
// With `withRoot` false the root's own matrix is left out, as frames are drawn without it.
QTransform placedTransform(const DisplayObject& object, bool withRoot);

}  // namespace vistrel::player
