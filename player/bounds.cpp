#include "player/bounds.h"

#include <algorithm>
#include <cmath>

#include "player/bitmap_surface.h"
#include "player/display_list.h"
#include "player/movie.h"
#include "player/script/text_field.h"
#include "player/shape_paths.h"

namespace vistrel::player {

namespace {

QRectF toRect(const swf::Rect& r) {
    return QRectF(r.xMin, r.yMin, static_cast<double>(r.xMax) - r.xMin, static_cast<double>(r.yMax) - r.yMin).normalized();
}

QRectF lerpRect(const QRectF& a, const QRectF& b, double t) {
    auto lerp = [t](double x, double y) { return x + (y - x) * t; };
    return QRectF(QPointF(lerp(a.left(), b.left()), lerp(a.top(), b.top())),
                  QPointF(lerp(a.right(), b.right()), lerp(a.bottom(), b.bottom())));
}

QRectF spriteBounds(const Movie& movie, const SpriteInstance& sprite, int depth, bool drawn, const QTransform& m);

// Scripts read extents in whole twips: each part's mapped box lands on whole twips before the parts
// are joined.
QRectF mapped(const QTransform& m, const QRectF& r, bool drawn) {
    const QRectF out = m.mapRect(r);
    if (drawn || !std::isfinite(out.left()) || !std::isfinite(out.right()) || !std::isfinite(out.top()) ||
        !std::isfinite(out.bottom()))
        return out;
    return wholeTwipRect(out);
}

// The object's extent mapped by `m`. A sprite hands its children the matrices composed down to each of
// them, so a rotated child inside a rotated parent adds its own box as the whole chain turns it, not
// the box of its box.
QRectF boundsOf(const Movie& movie, const DisplayObject& object, int depth, bool drawn, const QTransform& m) {
    // A text field resized or made by a script has bounds of its own.
    if (object.text)
        if (const auto r = editTextInstanceBounds(object)) return mapped(m, *r, drawn);
    if (object.sprite) {
        // Scripts still see the whole content; drawing shows only the scroll rectangle.
        if (drawn && object.scrollRect) return mapped(m, QRectF(QPointF(0, 0), object.scrollRect->size()), drawn);
        if (depth >= ObjectBudget::kMaxNesting) return {};
        QRectF r = spriteBounds(object.sprite->movie(), *object.sprite, depth + 1, drawn, m);
        if (object.drawing && !object.drawing->paths().bounds.isNull()) r |= mapped(m, object.drawing->paths().bounds, drawn);
        return r;
    }
    if (object.bitmap) return object.bitmap->valid() ? mapped(m, object.bitmap->paths(false).bounds, drawn) : QRectF();
    const Character* c = movie.character(object.characterId);
    if (!c) return {};
    if (const auto* s = std::get_if<swf::DefineShape>(c)) return mapped(m, toRect(s->bounds), drawn);
    // Scripts see a morph's start bounds at every ratio; only drawing follows the ratio.
    if (const auto* mo = std::get_if<swf::DefineMorphShape>(c))
        return mapped(m, drawn ? lerpRect(toRect(mo->startBounds), toRect(mo->endBounds), object.ratio / 65535.0)
                               : toRect(mo->startBounds), drawn);
    if (const auto* t = std::get_if<swf::DefineText>(c)) return mapped(m, toRect(t->bounds), drawn);
    if (const auto* e = std::get_if<swf::DefineEditText>(c)) return mapped(m, toRect(e->bounds), drawn);
    if (std::holds_alternative<BitmapCharacter>(*c)) return mapped(m, movie.bitmapPaths(object.characterId).bounds, drawn);
    if (const auto* v = std::get_if<VideoCharacter>(c))
        return mapped(m, QRectF(0, 0, v->definition.width * 20.0, v->definition.height * 20.0), drawn);
    return {};
}

QRectF spriteBounds(const Movie& movie, const SpriteInstance& sprite, int depth, bool drawn, const QTransform& m) {
    QRectF out;
    for (const auto& [d, child] : sprite.children()) {
        if (child->clipDepth && *child->clipDepth > 0) continue;   // masks are never drawn
        QTransform down = toQTransform(child->matrix) * m;
        // Composed as scripts place points: translations in whole twips at every level.
        if (!drawn) down = wholeTwipTranslation(down);
        const QRectF inner = boundsOf(movie, *child, depth, drawn, down);
        if (!inner.isNull()) out |= inner;
    }
    return out;
}

// A definition's extent as its first frame shows it (the hit states of buttons hold definitions, not
// live objects).
QRectF definitionBounds(const Movie& movie, std::uint16_t id, int depth) {
    if (depth > ObjectBudget::kMaxNesting) return {};
    const Character* c = movie.character(id);
    if (!c) return {};
    if (const auto* s = std::get_if<swf::DefineShape>(c)) return toRect(s->bounds);
    if (const auto* m = std::get_if<swf::DefineMorphShape>(c)) return toRect(m->startBounds);
    if (const auto* t = std::get_if<swf::DefineText>(c)) return toRect(t->bounds);
    if (const auto* e = std::get_if<swf::DefineEditText>(c)) return toRect(e->bounds);
    if (std::holds_alternative<BitmapCharacter>(*c)) return movie.bitmapPaths(id).bounds;
    QRectF out;
    if (const auto* s = std::get_if<SpriteCharacter>(c)) {
        if (s->timeline.frames.empty()) return {};
        for (const FrameCommand& command : s->timeline.frames.front().commands) {
            const auto* p = std::get_if<swf::PlaceObject>(&command);
            if (!p || !p->character || (p->clipDepth && *p->clipDepth > 0)) continue;
            const QRectF inner = definitionBounds(movie, *p->character, depth + 1);
            if (!inner.isNull()) out |= (p->matrix ? toQTransform(*p->matrix) : QTransform()).mapRect(inner);
        }
    }
    if (const auto* b = std::get_if<ButtonCharacter>(c))
        for (const swf::ButtonRecord& r : b->button.records) {
            if (!r.hitTest) continue;
            const QRectF inner = definitionBounds(movie, r.character, depth + 1);
            if (!inner.isNull()) out |= toQTransform(r.matrix).mapRect(inner);
        }
    return out;
}

}  // namespace

QRectF buttonHitBounds(const Movie& movie, std::uint16_t buttonId) {
    const Character* c = movie.character(buttonId);
    return c && std::holds_alternative<ButtonCharacter>(*c) ? definitionBounds(movie, buttonId, 0) : QRectF();
}

QRectF objectBounds(const Movie& movie, const DisplayObject& object) { return boundsOf(movie, object, 0, false, {}); }
QRectF objectBoundsMapped(const Movie& movie, const DisplayObject& object, const QTransform& m) {
    return boundsOf(movie, object, 0, false, m);
}
QRectF drawnBounds(const Movie& movie, const DisplayObject& object) { return boundsOf(movie, object, 0, true, {}); }

}  // namespace vistrel::player
