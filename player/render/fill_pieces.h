// Fills made of many separate outlines (a line of text is one fill of all its glyphs) are filled piece
// by piece: each piece's rows are worked out over its own narrow area and few edges (and the painter's
// rasteriser, drawing without anti-aliasing, works in a small fixed buffer that a wide outline with many
// edges overflows). Outlines whose device pixels never meet give the same pixels whether filled at once
// or one after another (no pixel gets coverage from two of them), so such pieces are filled on their own.
#pragma once

#include <memory>
#include <vector>

#include <QPainterPath>
#include <QRectF>
#include <QTransform>

class QBrush;
class QPainter;
class QRegion;

namespace vistrel::player {

struct FillPieces {
    struct Piece {
        QPainterPath path;   // contours whose bounds meet, in the fill's own units and fill rule
        QRectF bounds;       // of the contours' points
    };
    QPainterPath source;     // what the pieces were made from
    std::vector<Piece> pieces;
};

// Splits `path` into pieces of contours whose bounds meet (a glyph and its holes stay together).
std::shared_ptr<const FillPieces> splitFill(const QPainterPath& path);

// Fills `path` with `brush` through `p` (whose transform maps the path to the device): with four
// coverage samples a pixel when the painter anti-aliases, by pixel centres when it does not. `clip`,
// when given, is the painter's clip in device pixels, known to be exactly that region.
void fillPath(QPainter& p, const QPainterPath& path, const QBrush& brush, const QRegion* clip = nullptr);

// Fills `path` with `brush` through `p` (whose transform maps the path to the device), piece by piece
// where `pieces` (made from `path` by splitFill, or null) has pieces that stay apart on the device.
void fillInPieces(QPainter& p, const QPainterPath& path, const FillPieces* pieces, const QBrush& brush,
                  const QRegion* clip = nullptr);

}  // namespace vistrel::player
