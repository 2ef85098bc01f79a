// Fills made of many separate outlines (a line of text is one fill of all its glyphs) are rasterised
// far faster piece by piece: the rasteriser works in a small fixed buffer, and a wide outline with many
// edges overflows it and is walked again for every narrower band it falls back to. Outlines whose
// device pixels never meet give the same pixels whether filled at once or one after another (no pixel
// gets coverage from two of them), so such pieces are filled on their own.
#pragma once

#include <memory>
#include <vector>

#include <QPainterPath>
#include <QRectF>
#include <QTransform>

class QBrush;
class QPainter;

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

// Fills `path` with `brush` through `p` (whose transform maps the path to the device). The anti-aliasing
// rasteriser walks every row of an outline once for each band of a few dozen rows it works in, so a tall
// outline costs far more than its pixels: one made of straight lines that spans many rows is cut into
// strips of rows fixed on the device (so a part repainted is cut as the whole) and each is filled on its
// own; strips outside the clip are left out. Where a cut meets an edge the point lands on the
// rasteriser's sub-pixel grid, so pixels along the edges may differ from the whole filled at once by a
// few steps of coverage; pixels wholly inside or outside are the same.
void fillPath(QPainter& p, const QPainterPath& path, const QBrush& brush);

// Fills `path` with `brush` through `p` (whose transform maps the path to the device), piece by piece
// where `pieces` (made from `path` by splitFill, or null) has pieces that stay apart on the device.
void fillInPieces(QPainter& p, const QPainterPath& path, const FillPieces* pieces, const QBrush& brush);

}  // namespace vistrel::player
