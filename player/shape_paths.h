// A shape converted for drawing: closed fill paths and stroke paths in twips, each with its paint.
// Built once per character (and per morph ratio) and shared by every frame that shows it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include <QImage>
#include <QPainterPath>
#include <QTransform>

#include "player/swf/tags_shape.h"

namespace vistrel::player {

// How a fill or a fill-styled stroke is painted.
struct Paint {
    swf::FillType type = swf::FillType::Solid;
    swf::Rgba color;
    QTransform matrix;          // gradient square or bitmap pixels to shape twips
    swf::Gradient gradient;
    QImage image;               // bitmap fills; null when the bitmap is missing
    bool repeat = true;         // bitmap fills: repeating or clipped
    bool smooth = true;         // bitmap fills: smoothed when scaled
};

struct StrokeStyle {
    double width = 20;          // twips
    swf::CapStyle startCap = swf::CapStyle::Round, endCap = swf::CapStyle::Round;
    swf::JoinStyle join = swf::JoinStyle::Round;
    double miterLimit = 3;
    bool noHScale = false, noVScale = false;
};

struct SeamBand;
struct FillPieces;

// Boxes drawn on whole device pixels, as text fields draw their background and frame: the item's path
// is one rectangle whose edges move to the pixels whose centres they reach first; a frame is drawn as
// lines one device pixel wide along those edges, at any scale.
enum class PixelBox : std::uint8_t { None, Fill, Frame };

struct DrawItem {
    QPainterPath path;          // fill: closed contours with the fill rule set; stroke: open or closed lines
    bool stroke = false;
    Paint paint;
    StrokeStyle strokeStyle;
    // Fills: the edges this fill shares with fills drawn after it in the same shape, as open lines.
    // Anti-aliasing each fill on its own lets the background show through along such an edge; the
    // renderer lays a hairline of this fill under it so the later fill's soft edge blends into it.
    QPainterPath seams;
    // The renderer's band along the seams for one scale and rotation, made on first use.
    mutable std::shared_ptr<const SeamBand> seamBand;
    // Fills: the path's separate outlines grouped for rasterising one by one, made on first use.
    mutable std::shared_ptr<const FillPieces> pieces;
    PixelBox pixelBox = PixelBox::None;   // fills only
};

struct SeamBand {
    QTransform linear;       // the device transform without its translation
    QPainterPath outline;    // in device pixels, before translation
};

struct ShapePaths {
    std::vector<DrawItem> items;   // in drawing order
    QRectF bounds;                 // twips
    // Items from `clipFrom` on show only inside `clip` (twips) when drawn, as a text field cuts its text
    // to its box; a mask made of the shape takes them whole. No cut while `clip` is empty.
    QRectF clip;
    std::size_t clipFrom = 0;
};

// Finds the decoded image of a bitmap character (a null image when there is none).
using BitmapLookup = std::function<QImage(std::uint16_t id)>;

// Converts the edge records with their styles. `nonZero` selects the winding fill rule (shape 4
// flag, glyphs); otherwise fills are even-odd.
ShapePaths buildShapePaths(const std::vector<swf::FillStyle>& fills, const std::vector<swf::LineStyle>& lines,
                           const std::vector<swf::ShapeRecord>& records, bool nonZero, const BitmapLookup& bitmaps);

// The outline of a glyph (or any style-less SHAPE record) as one filled path in its own units.
QPainterPath buildGlyphPath(const std::vector<swf::ShapeRecord>& records);

QTransform toQTransform(const swf::Matrix& m);
// Positions are kept in whole twips, as the file stores them, also after nesting: the translation
// rounded, the rest as it is.
QTransform wholeTwipTranslation(const QTransform& t);
// `r` with its edges on whole twips.
QRectF wholeTwipRect(const QRectF& r);

}  // namespace vistrel::player
