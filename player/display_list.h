// The live display list: placed objects by depth, and sprite instances playing their timelines. Objects
// have stable addresses while they live, so scripts can hold them; a goto rebuilds a timeline's children
// to the target frame (objects on both sides keep their identity and
// what scripts set on them, objects created by scripts stay).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QRectF>
#include <QString>

#include "player/render/blend.h"
#include "player/render/filter_types.h"
#include "player/shape_paths.h"
#include "player/swf/records.h"
#include "player/swf/tags_action.h"
#include "player/swf/tags_display.h"

namespace vistrel::avm1 {
class Object;
}

namespace vistrel::player {

class Movie;
class Stage;
struct Timeline;
struct BitmapSurface;
class SpriteInstance;
namespace video {
class StreamPicture;
}

// Caps what a movie can make the player hold: instances alive at once and sprite nesting.
struct ObjectBudget {
    static constexpr int kMaxObjects = 200000;
    static constexpr int kMaxNesting = 32;
    int live = 0;
};

// Scripts number depths from here: the timeline's depth 1 is -16383 to a script.
inline constexpr int kScriptDepthOffset = 16384;
// The depths scripts may place at or swap to (script numbering); from 0 up they are the scripts' own.
inline constexpr int kMinScriptDepth = -16384;
inline constexpr int kMaxScriptDepth = 2130690044;

// The text of an edit-text field as it stands now (scripts and variables change it per instance).
struct EditTextState {
    QString text;           // plain text, or the markup when html is set
    bool html = false;
    QString variable;       // the bound variable's path, empty when none
    std::optional<ShapePaths> paths;   // laid out on first draw after a change
    int selectionAnchor = 0, selectionCaret = 0;   // indexes into the plain text, kept while unfocused
};

// Outlines a script drew into a clip with the drawing methods, below the clip's children. Each fill
// opens a layer: its fill below the lines drawn while it lasted, above earlier layers (as a shape's
// style groups stack). Coordinates are twips.
struct Drawing {
    struct Line {
        StrokeStyle style;
        Paint paint;
        QPainterPath path;
        int styleSerial = 0;   // which lineStyle call made it
    };
    struct Layer {
        std::optional<Paint> fill;
        QPainterPath fillPath;   // contours, closed on drawing
        std::vector<Line> lines;
    };
    std::vector<Layer> layers;
    std::optional<Line> lineStyle;   // the line style in force (its path unused)
    int styleSerial = 0;
    bool filling = false;
    QPointF fillStart;               // where the fill's open contour began
    QPointF pen;
    std::size_t elements = 0;        // path elements so far, capped

    // What the layers show, as a shape: built again after a change.
    const ShapePaths& paths() const;
    void changed() { m_built = false; }

private:
    mutable ShapePaths m_paths;
    mutable bool m_built = false;
};

struct DisplayObject {
    explicit DisplayObject(ObjectBudget& budget) : m_budget(&budget) { ++m_budget->live; }
    // Unique over the run: the pointer's bookkeeping tells a live object from a new one at the same address.
    const std::uint64_t uid = ++s_lastUid;
    ~DisplayObject();
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    std::uint16_t characterId = 0;
    swf::Matrix matrix;
    swf::ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::optional<std::uint16_t> clipDepth;
    QString name;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    bool visible = true;
    bool cacheAsBitmap = false;   // drawn as its own bitmap, on whole pixels
    // Set by scripts (twips): only this part of the clip shows, moved to the clip's origin.
    std::optional<QRectF> scrollRect;
    std::unique_ptr<SpriteInstance> sprite;   // sprites and buttons play their own timeline

    // Where it sits, and what scripts know of it.
    int depth = 0;                            // in the parent's list (timeline numbering)
    SpriteInstance* parent = nullptr;
    avm1::Object* script = nullptr;           // its script object, for sprites, buttons and edit texts
    int level = 0;                            // the level a parentless root shows on
    bool lockRoot = false;                    // _lockroot: _root inside it means it
    bool placedByScript = false;              // attachMovie, duplicateMovieClip, createEmptyMovieClip
    bool transformedByScript = false;         // a script moved it: the timeline no longer does
    bool swappedByScript = false;             // swapDepths moved it: the timeline no longer moves it
    int placedFrame = 0;                      // the parent's frame that placed it (0-based)
    // The timeline removed it while it had unload handlers: it waits below the timeline's depths, still
    // reachable, until its handlers have run and the tick ends.
    bool pendingRemoval = false;
    std::vector<swf::ClipAction> clipActions; // onClipEvent handlers
    std::unique_ptr<EditTextState> text;      // edit texts only
    std::unique_ptr<Drawing> drawing;         // drawing methods' output
    std::shared_ptr<const BitmapSurface> bitmap;   // attachBitmap: a script bitmap's pixels, drawn live
    bool bitmapSmoothing = false;
    // Embedded video: smoothing as a script set it (the stream's flag otherwise).
    std::optional<bool> videoSmoothing;
    // Video.attachVideo: the stream whose pictures this video shows instead of its own frames.
    std::shared_ptr<video::StreamPicture> attachedVideo;
    // Scale and rotation as scripts last set them, kept apart from the matrix so that a script reading
    // them back gets what it wrote (the matrix loses the sign of a scale).
    double scriptXScale = 0, scriptYScale = 0, scriptRotation = 0;
    double scriptSkew = 0;                    // radians from the x axis's angle to the y axis's
    bool scriptGeometry = false;
    std::optional<QRectF> maskRect;           // setMask target bounds (unused when maskedBy is set)
    DisplayObject* maskedBy = nullptr;        // setMask: the object that clips this one
    DisplayObject* masking = nullptr;         // setMask: the object this one clips
    // What Sound objects set for this clip: volume and the channel mix (left to left, left to right,
    // right to right, right to left), in percent.
    double soundVolume = 100;
    double soundLL = 100, soundLR = 0, soundRR = 100, soundRL = 0;
    // Buttons: the state shown (0 up, 1 over, 2 down). Dragged clips: what they were last dropped on.
    int buttonState = 0;
    QString dropTarget;
    // _focusrect from version 6 on: each clip's own, unset (null to scripts) until a script sets it.
    std::optional<bool> focusRect;
    // A movie asked for could not be loaded into this clip: its address, until something else is loaded or
    // the clip is unloaded. Scripts then see a clip with no frames and no movie version.
    QString failedLoadUrl;

private:
    ObjectBudget* m_budget;
    static inline std::uint64_t s_lastUid = 0;
};

class SpriteInstance {
public:
    // `characterId` is 0 for the root; `owner` the display object that shows it (null for the root).
    // Nothing of the timeline has run yet: the stage runs the first frame when it places the sprite.
    SpriteInstance(Stage& stage, const Timeline& timeline, std::uint16_t characterId, DisplayObject* owner,
                   SpriteInstance* parent);
    // The root timeline of a movie loaded into `owner` (a clip or a level): its characters come from that
    // movie's dictionary, and so do those of everything below it.
    SpriteInstance(Stage& stage, std::shared_ptr<const Movie> movie, DisplayObject* owner, SpriteInstance* parent);
    ~SpriteInstance();

    Stage& stage() const { return m_stage; }
    // The movie whose dictionary this timeline's characters come from.
    const Movie& movie() const { return *m_movie; }
    // Set for the root timeline of a loaded movie (and level 0).
    const std::shared_ptr<const Movie>& loadedMovie() const { return m_loadedMovie; }
    const Timeline& timeline() const { return m_timeline; }
    std::uint16_t characterId() const { return m_characterId; }
    DisplayObject* owner() const { return m_owner; }
    SpriteInstance* parent() const { return m_parent; }

    int currentFrame() const { return m_frame; }   // 0-based
    int frameCount() const;
    bool playing() const { return m_playing; }
    void setPlaying(bool on) { m_playing = on; }
    bool started() const { return m_started; }
    // The tick in which the stage placed it: it moves on from the next tick.
    std::uint64_t startTick() const { return m_startTick; }
    void setStartTick(std::uint64_t tick) { m_startTick = tick; }

    // The first frame: its placements, its scripts queued.
    void start();
    // One tick of this timeline (children are ticked by the stage): moves on one frame when playing,
    // looping to the first after the last. Returns whether anything may look different.
    bool advance();
    // Jumps to a frame (0-based, clamped), rebuilding the children to match it; the target
    // frame's scripts are queued when `runScripts` is set.
    void gotoFrame(int frame, bool runScripts = true);

    const std::map<int, std::unique_ptr<DisplayObject>>& children() const { return m_children; }
    DisplayObject* childAt(int depth) const;
    DisplayObject* childByName(const QString& name) const;   // first in depth order; case per version
    // Script-made children; `prepare` sets up the new object before it joins (a duplicate's copied state).
    DisplayObject* addChild(int depth, std::uint16_t characterId, const QString& name,
                            const std::function<void(DisplayObject&)>& prepare = {});
    // attachBitmap: a display object that shows `bitmap` (no script object of its own).
    DisplayObject* addBitmap(int depth, std::shared_ptr<const BitmapSurface> bitmap, bool smoothing);
    void removeChild(int depth);
    // The timeline takes an object away (a remove tag, or a goto that leaves it out). One with unload
    // handlers moves below the timeline's depths and stays until the stage drops it after the tick.
    // removeMovieClip takes script-made objects away the same way.
    void removeByTimeline(int depth);
    // Drops the objects waiting there, here and below; returns how many went.
    int dropPendingRemovals();
    bool swapDepths(int depth, int otherDepth);
    int highestDepth() const;   // -1 when empty
    // A button's timeline shows another state: objects on both sides stay, the rest go or come.
    void showButtonState(const Timeline& state);

    int nesting() const;
    // Order of creation: the stage runs newer timelines first.
    std::uint64_t serial() const { return m_serial; }

private:
    void runFrame(int index, bool runScripts);
    void place(const swf::PlaceObject& p, int frame);
    void applyPlacement(DisplayObject& object, const swf::PlaceObject& p);
    void attachCharacter(DisplayObject& object);
    std::unique_ptr<DisplayObject> makeObject(int depth);

    Stage& m_stage;
    std::shared_ptr<const Movie> m_loadedMovie;
    const Movie* m_movie;
    const Timeline& m_timeline;
    std::uint16_t m_characterId;
    DisplayObject* m_owner;
    SpriteInstance* m_parent;
    int m_frame = 0;
    bool m_playing = true;
    bool m_started = false;
    std::uint64_t m_startTick = 0;
    std::uint64_t m_serial = 0;
    std::map<int, std::unique_ptr<DisplayObject>> m_children;
};

}  // namespace vistrel::player
