// The MovieClip drawing methods (lineStyle, beginFill, lineTo...), MovieClip.setMask, and hit tests
// against the outlines a clip shows.
#pragma once

#include <QPointF>
#include <QTransform>

namespace vistrel::avm1 {
class Object;
}

namespace vistrel::player {

class Movie;
class Stage;
struct DisplayObject;
struct ShapePaths;

// Installs lineStyle, lineGradientStyle, beginFill, beginGradientFill, moveTo, lineTo, curveTo,
// endFill, clear and setMask on the MovieClip prototype.
void installDrawingMethods(Stage& stage, avm1::Object* clipProto);

// Maps an object's twips to stage twips the way frames are drawn: every ancestor's matrix but the
// root's.
QTransform stageTransform(const DisplayObject& object);

// Whether a point (the outlines' own twips) falls on a fill or, where strokes count, within a
// stroke's width. Morph shapes answer by their fills alone.
enum class StrokesHit { Yes, No };
bool pathsHit(const ShapePaths& paths, QPointF point, StrokesHit strokes = StrokesHit::Yes);

// Whether a point (stage twips) falls on what the object shows: fills, strokes, glyphs and children
// (masked children only inside their masks), ignoring the object's own visibility; a clip masked by
// setMask only where its mask is hit too.
bool hitTestShape(const Movie& movie, const DisplayObject& object, QPointF stagePoint);

}  // namespace vistrel::player
