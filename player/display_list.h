// The live display list: placed objects by depth, and sprite instances playing their timelines.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "player/render/blend.h"
#include "player/render/filter_types.h"
#include "player/swf/records.h"
#include "player/swf/tags_display.h"

namespace vistrel::player {

class Movie;
struct Timeline;
class SpriteInstance;

// Caps what a movie can make the player hold: instances alive at once and sprite nesting.
struct ObjectBudget {
    static constexpr int kMaxObjects = 200000;
    static constexpr int kMaxNesting = 32;
    int live = 0;
};

struct DisplayObject {
    explicit DisplayObject(ObjectBudget& budget) : m_budget(&budget) { ++m_budget->live; }
    ~DisplayObject() { --m_budget->live; }
    DisplayObject(const DisplayObject&) = delete;
    DisplayObject& operator=(const DisplayObject&) = delete;

    std::uint16_t characterId = 0;
    swf::Matrix matrix;
    swf::ColorTransform colorTransform;
    std::uint16_t ratio = 0;
    std::optional<std::uint16_t> clipDepth;
    std::string name;
    BlendMode blendMode = BlendMode::Normal;
    std::vector<Filter> filters;
    bool visible = true;
    bool cacheAsBitmap = false;   // drawn as its own bitmap, on whole pixels
    std::unique_ptr<SpriteInstance> sprite;   // sprites and buttons play their own timeline

private:
    ObjectBudget* m_budget;
};

class SpriteInstance {
public:
    // `characterId` is 0 for the root. The instance shows its first frame at once.
    SpriteInstance(const Movie& movie, const Timeline& timeline, std::uint16_t characterId, ObjectBudget& budget,
                   const SpriteInstance* parent);

    // One tick: children that were already there advance, then this timeline moves on one
    // frame, looping to the first after the last. Returns whether anything may look different.
    bool advance();
    // Back to the state right after creation (frame 1 shown).
    void reset();
    int currentFrame() const { return m_frame; }   // 0-based
    int frameCount() const;
    const std::map<int, std::unique_ptr<DisplayObject>>& children() const { return m_children; }

private:
    void runFrame(int index);
    void place(const swf::PlaceObject& p);
    void attachSprite(DisplayObject& object);
    int nesting() const;

    const Movie& m_movie;
    const Timeline& m_timeline;
    std::uint16_t m_characterId;
    ObjectBudget& m_budget;
    const SpriteInstance* m_parent;
    int m_frame = 0;
    std::map<int, std::unique_ptr<DisplayObject>> m_children;
};

}  // namespace vistrel::player
