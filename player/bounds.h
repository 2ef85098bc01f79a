// The rectangle a placed object covers in its own twips, as its definitions declare it.
#pragma once

#include <cstdint>

#include <QRectF>
#include <QTransform>

namespace vistrel::player {

class Movie;
struct DisplayObject;

// Shapes, morphs, texts and bitmaps give their declared bounds; sprites and buttons the union of
// what they show now. An object with nothing to show gives an empty rectangle.
// Scripts' view: a morph keeps its start bounds whatever its ratio.
QRectF objectBounds(const Movie& movie, const DisplayObject& object);
// The same extent as `m` maps it: each part mapped by its own chain of matrices and `m`, then joined.
QRectF objectBoundsMapped(const Movie& movie, const DisplayObject& object, const QTransform& m);
// What drawing covers: a morph's bounds follow its ratio.
QRectF drawnBounds(const Movie& movie, const DisplayObject& object);
// A button's hit area: the union of its hit-state records as their definitions declare them (a
// sprite's first frame, a nested button's own hit area). Empty when the character is no button or
// has no hit state.
QRectF buttonHitBounds(const Movie& movie, std::uint16_t buttonId);

}  // namespace vistrel::player
