#include "player/render/display_list_renderer.h"

#include <cmath>

#include "player/bitmap_surface.h"
#include "player/bounds.h"
#include "player/movie.h"
#include "player/scaling_grid.h"
#include "player/script/drawing.h"
#include "player/script/text_field.h"
#include "player/shape_paths.h"
#include "player/video/flv_playback.h"

namespace vistrel::player {

namespace {

// Matrices keep their translation in whole twips, as the file stores it, also after nesting.
QTransform concatenate(const QTransform& inner, const QTransform& outer) {
    return wholeTwipTranslation(inner * outer);
}

void renderChildren(const Movie& movie, const SpriteInstance& sprite, Renderer& renderer, const QTransform& m,
                    const swf::ColorTransform& cx, const ScalingGrid* grid);

// The nine-slice grid a sprite placed with `matrix` draws its shapes with, if any.
std::optional<ScalingGrid> gridFor(const Movie& movie, const DisplayObject& object) {
    const std::optional<QRectF> rect = movie.scalingGrid(object.characterId);
    // Slicing follows the sprite's own axes: a rotated or skewed placement scales as usual.
    if (!rect || object.matrix.b != 0 || object.matrix.c != 0) return std::nullopt;
    return ScalingGrid::make(*rect, drawnBounds(movie, object), std::abs(object.matrix.a), std::abs(object.matrix.d));
}

void drawObject(const Movie& movie, const DisplayObject& object, Renderer& renderer, const QTransform& m,
                const swf::ColorTransform& cx) {
    if (object.sprite) {
        const std::optional<ScalingGrid> grid = gridFor(movie, object);
        renderChildren(object.sprite->movie(), *object.sprite, renderer, m, cx, grid ? &*grid : nullptr);
        return;
    }
    if (object.text) {
        // A field a script changed (or made) draws its own layout; others share the definition's.
        if (const ShapePaths* own = editTextInstancePaths(object)) renderer.drawShape(*own, m, cx);
        else if (object.characterId) renderer.drawShape(movie.editTextPaths(object.characterId), m, cx);
        if (const EditTextSelection* selection = editTextSelectionPaths(object)) {
            renderer.drawShape(selection->marks, m, cx);
            if (!selection->text.items.empty()) {
                renderer.beginMask();
                renderer.drawShape(selection->band, m, cx);
                renderer.useMask();
                renderer.drawShape(selection->text, m, cx);
                renderer.endMask();
            }
        }
        return;
    }
    if (object.bitmap) {
        if (object.bitmap->valid()) renderer.drawShape(object.bitmap->paths(object.bitmapSmoothing), m, cx);
        return;
    }
    const Character* c = movie.character(object.characterId);
    if (!c) return;
    // What a character draws depends only on the movie, the character and (morphs, video) the ratio.
    const auto key = [&](std::uint64_t kind, std::uint64_t extra = 0) {
        return (movie.serial() << 44) ^ (kind << 40) ^ (extra << 16) ^ object.characterId;
    };
    if (std::holds_alternative<swf::DefineShape>(*c)) renderer.drawShapeKeyed(movie.shapePaths(object.characterId), m, cx, key(1));
    else if (std::holds_alternative<swf::DefineMorphShape>(*c))
        renderer.drawShapeKeyed(movie.morphPaths(object.characterId, object.ratio), m, cx, key(2, object.ratio));
    else if (std::holds_alternative<swf::DefineText>(*c)) renderer.drawShapeKeyed(movie.textPaths(object.characterId), m, cx, key(3));
    else if (std::holds_alternative<swf::DefineEditText>(*c)) renderer.drawShapeKeyed(movie.editTextPaths(object.characterId), m, cx, key(4));
    else if (std::holds_alternative<BitmapCharacter>(*c)) renderer.drawShapeKeyed(movie.bitmapPaths(object.characterId), m, cx, key(5));
    else if (std::holds_alternative<VideoCharacter>(*c) && object.attachedVideo) {
        const ShapePaths paths = movie.videoPaths(object.characterId, object.attachedVideo->picture(), object.videoSmoothing);
        if (!paths.items.empty()) renderer.drawShape(paths, m, cx);
    } else if (std::holds_alternative<VideoCharacter>(*c)) {
        // The placement's ratio is the frame number of the picture shown.
        const ShapePaths paths = movie.videoPaths(object.characterId, object.ratio, object.videoSmoothing);
        if (!paths.items.empty()) renderer.drawShape(paths, m, cx);
    }
}

}  // namespace

void renderDisplayList(const Movie& movie, const SpriteInstance& sprite, Renderer& renderer, const QTransform& m,
                       const swf::ColorTransform& cx) {
    renderChildren(movie, sprite, renderer, m, cx, nullptr);
}

namespace {

// Masks set by scripts draw their own subtree, which may hold what they mask: this many at once, no more.
constexpr int kMaxScriptMaskNesting = 3;
thread_local int scriptMaskNesting = 0;

// Draws a setMask mask: only fills shape it; lines are left out.
class FillsOnly : public Renderer {
public:
    explicit FillsOnly(Renderer& target) : m_target(target) {}
    void beginFrame(swf::Rgba, const QTransform&, RenderQuality) override {}
    void drawShape(const ShapePaths& shape, const QTransform& m, const swf::ColorTransform& cx) override {
        ShapePaths fills;
        fills.bounds = shape.bounds;
        for (const DrawItem& item : shape.items)
            if (!item.stroke) fills.items.push_back(item);
        if (!fills.items.empty()) m_target.drawShape(fills, m, cx);
    }
    void beginMask() override { m_target.beginMask(); }
    void useMask() override { m_target.useMask(); }
    void endMask() override { m_target.endMask(); }
    void beginLayer(const QTransform&, const QRectF&, bool) override {}
    void endLayer(const std::vector<Filter>&, BlendMode) override {}
    void endFrame() override {}

private:
    Renderer& m_target;
};

void renderChildren(const Movie& movie, const SpriteInstance& sprite, Renderer& renderer, const QTransform& m,
                    const swf::ColorTransform& cx, const ScalingGrid* grid) {
    // What scripts drew lies below the children.
    if (const DisplayObject* owner = sprite.owner(); owner && owner->drawing)
        renderer.drawShape(owner->drawing->paths(), m, cx);
    std::vector<int> masks;   // clip depths of the masks in force, innermost last
    for (const auto& [depth, object] : sprite.children()) {
        while (!masks.empty() && depth > masks.back()) {
            renderer.endMask();
            masks.pop_back();
        }
        const QTransform objectMatrix = concatenate(toQTransform(object->matrix), m);
        const swf::ColorTransform objectCx = object->colorTransform.then(cx);
        if (object->clipDepth && *object->clipDepth > 0) {
            // A mask is never drawn itself; its shape clips the depths up to its clip depth.
            renderer.beginMask();
            drawObject(movie, *object, renderer, objectMatrix, objectCx);
            renderer.useMask();
            masks.push_back(*object->clipDepth);
            continue;
        }
        if (!object->visible) continue;
        // A clip masking another through setMask is drawn only as that mask.
        if (object->masking) continue;
        // A clip masked through setMask is clipped by its mask drawn where the mask stands.
        const DisplayObject* scriptMask = scriptMaskNesting < kMaxScriptMaskNesting ? object->maskedBy : nullptr;
        if (scriptMask) {
            ++scriptMaskNesting;
            renderer.beginMask();
            FillsOnly fills(renderer);
            drawObject(scriptMask->parent ? scriptMask->parent->movie() : movie, *scriptMask, fills,
                       stageTransform(*scriptMask), swf::ColorTransform{});
            renderer.useMask();
        }
        // A scroll rectangle shows that part of the clip at its origin, cut to the rectangle's size.
        const std::optional<QRectF> scroll = object->sprite ? object->scrollRect : std::nullopt;
        if (scroll) {
            ShapePaths box;
            DrawItem item;
            item.path.addRect(QRectF(QPointF(0, 0), scroll->size()));
            item.paint.color = swf::Rgba{0, 0, 0, 255};
            box.bounds = item.path.boundingRect();
            box.items.push_back(std::move(item));
            renderer.beginMask();
            renderer.drawShape(box, objectMatrix, swf::ColorTransform{});
            renderer.useMask();
        }
        const QTransform contentMatrix =
            scroll ? QTransform::fromTranslate(-scroll->x(), -scroll->y()) * objectMatrix : objectMatrix;
        // Filtered and cached objects are bitmaps of their own, placed on whole pixels.
        const bool bitmap = !object->filters.empty() || object->cacheAsBitmap;
        const bool layer = bitmap || object->blendMode != BlendMode::Normal;
        if (layer) renderer.beginLayer(objectMatrix, drawnBounds(movie, *object), bitmap);
        const Character* c = grid ? movie.character(object->characterId) : nullptr;
        if (c && std::holds_alternative<swf::DefineShape>(*c)) {
            // Shapes of a sliced sprite are moved into its space and drawn with its own matrix.
            renderer.drawShape(grid->apply(movie.shapePaths(object->characterId), toQTransform(object->matrix)), m, objectCx);
        } else {
            drawObject(movie, *object, renderer, contentMatrix, objectCx);
        }
        if (layer) renderer.endLayer(object->filters, object->blendMode);
        if (scroll) renderer.endMask();
        if (scriptMask) {
            renderer.endMask();
            --scriptMaskNesting;
        }
    }
    while (!masks.empty()) {
        renderer.endMask();
        masks.pop_back();
    }
}

}  // namespace

}  // namespace vistrel::player
