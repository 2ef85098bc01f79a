#include "player/render/fill_pieces.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include <QBrush>
#include <QPainter>
#include <QPaintDevice>
#include <QPolygonF>

#include "player/render/sampled_fill.h"

namespace vistrel::player {

namespace {

// Below this many contours splitting gains nothing; past the upper bound the grouping costs more
// per frame than it saves.
constexpr int kMinContours = 2;
constexpr int kMaxPieces = 2048;
// Device points are rounded to a fraction of a pixel before rasterising: pieces this close to a
// pixel's edge may still reach into it.
constexpr double kEdgeSlack = 1.0 / 16;

struct Groups {
    std::vector<int> parent;
    explicit Groups(std::size_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0); }
    int find(int i) {
        while (parent[static_cast<std::size_t>(i)] != i) {
            parent[static_cast<std::size_t>(i)] = parent[static_cast<std::size_t>(parent[static_cast<std::size_t>(i)])];
            i = parent[static_cast<std::size_t>(i)];
        }
        return i;
    }
    void unite(int a, int b) {
        a = find(a);
        b = find(b);
        if (a != b) parent[static_cast<std::size_t>(std::max(a, b))] = std::min(a, b);
    }
};

// Joins the boxes that meet (touching counts), by a sweep over their left edges.
template <typename Box, typename Meets>
void uniteMeeting(const std::vector<Box>& boxes, Groups& groups, Meets meets) {
    std::vector<int> order(boxes.size());
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return boxes[static_cast<std::size_t>(a)].left() < boxes[static_cast<std::size_t>(b)].left();
    });
    for (std::size_t i = 0; i < order.size(); ++i) {
        const Box& a = boxes[static_cast<std::size_t>(order[i])];
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            const Box& b = boxes[static_cast<std::size_t>(order[j])];
            if (b.left() > a.right()) break;
            if (meets(a, b)) groups.unite(order[i], order[j]);
        }
    }
}

// The device pixels a piece can touch: every pixel its outline reaches into, rows and columns
// inclusive.
struct PixelBox {
    double x0, y0, x1, y1;   // whole pixel indices, as doubles so huge coordinates stay ordered
    double left() const { return x0; }
    double right() const { return x1; }
};

PixelBox pixelsOf(const QRectF& deviceBounds) {
    return {std::floor(deviceBounds.left() - kEdgeSlack), std::floor(deviceBounds.top() - kEdgeSlack),
            std::floor(deviceBounds.right() + kEdgeSlack), std::floor(deviceBounds.bottom() + kEdgeSlack)};
}

}  // namespace

void fillPath(QPainter& p, const QPainterPath& path, const QBrush& brush, const QRegion* clip) {
    if (p.testRenderHint(QPainter::Antialiasing)) fillSampled(p, path, brush, clip);
    else p.fillPath(path, brush);
}

std::shared_ptr<const FillPieces> splitFill(const QPainterPath& path) {
    auto out = std::make_shared<FillPieces>();
    out->source = path;
    // Contours: each starts with a move.
    struct Contour {
        int first = 0, end = 0;
        double x0 = 0, y0 = 0, x1 = 0, y1 = 0;   // bounds of its points
        double left() const { return x0; }
        double right() const { return x1; }
    };
    std::vector<Contour> contours;
    const int n = path.elementCount();
    for (int i = 0; i < n; ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (!std::isfinite(e.x) || !std::isfinite(e.y)) return out;
        if (e.isMoveTo() || contours.empty()) {
            contours.push_back({i, i, e.x, e.y, e.x, e.y});
        }
        Contour& c = contours.back();
        c.end = i + 1;
        c.x0 = std::min(c.x0, e.x);
        c.x1 = std::max(c.x1, e.x);
        c.y0 = std::min(c.y0, e.y);
        c.y1 = std::max(c.y1, e.y);
    }
    if (static_cast<int>(contours.size()) < kMinContours) return out;
    Groups groups(contours.size());
    uniteMeeting(contours, groups, [](const Contour& a, const Contour& b) {
        return b.y0 <= a.y1 && a.y0 <= b.y1;
    });
    std::vector<int> pieceOf(contours.size(), -1);
    std::vector<FillPieces::Piece> pieces;
    for (std::size_t i = 0; i < contours.size(); ++i) {
        const int root = groups.find(static_cast<int>(i));
        int& index = pieceOf[static_cast<std::size_t>(root)];
        if (index < 0) {
            index = static_cast<int>(pieces.size());
            FillPieces::Piece piece;
            piece.path.setFillRule(path.fillRule());
            piece.bounds = QRectF(QPointF(contours[i].x0, contours[i].y0), QPointF(contours[i].x1, contours[i].y1));
            pieces.push_back(std::move(piece));
        }
        FillPieces::Piece& piece = pieces[static_cast<std::size_t>(index)];
        const Contour& c = contours[i];
        piece.bounds = QRectF(QPointF(std::min(piece.bounds.left(), c.x0), std::min(piece.bounds.top(), c.y0)),
                              QPointF(std::max(piece.bounds.right(), c.x1), std::max(piece.bounds.bottom(), c.y1)));
        for (int k = c.first; k < c.end; ++k) {
            const QPainterPath::Element& e = path.elementAt(k);
            if (e.isMoveTo()) {
                piece.path.moveTo(e.x, e.y);
            } else if (e.isLineTo()) {
                piece.path.lineTo(e.x, e.y);
            } else if (e.isCurveTo() && k + 2 < c.end) {
                const QPainterPath::Element& c1 = path.elementAt(k + 1);
                const QPainterPath::Element& c2 = path.elementAt(k + 2);
                piece.path.cubicTo(e.x, e.y, c1.x, c1.y, c2.x, c2.y);
                k += 2;
            }
        }
    }
    if (pieces.size() < 2 || static_cast<int>(pieces.size()) > kMaxPieces) return out;
    out->pieces = std::move(pieces);
    return out;
}

void fillInPieces(QPainter& p, const QPainterPath& path, const FillPieces* pieces, const QBrush& brush,
                  const QRegion* clip) {
    if (!pieces || pieces->pieces.size() < 2) {
        fillPath(p, path, brush, clip);
        return;
    }
    const QTransform device = p.transform();
    std::vector<PixelBox> boxes;
    boxes.reserve(pieces->pieces.size());
    for (const FillPieces::Piece& piece : pieces->pieces) {
        const QRectF mapped = device.mapRect(piece.bounds);
        if (!std::isfinite(mapped.left()) || !std::isfinite(mapped.top()) || !std::isfinite(mapped.right()) ||
            !std::isfinite(mapped.bottom())) {
            fillPath(p, path, brush, clip);
            return;
        }
        boxes.push_back(pixelsOf(mapped));
    }
    Groups groups(boxes.size());
    uniteMeeting(boxes, groups, [](const PixelBox& a, const PixelBox& b) { return b.y0 <= a.y1 && a.y0 <= b.y1; });
    // Pieces sharing a pixel are filled together; a group of one uses the piece's own path, which keeps
    // what the painter converted of it from frame to frame.
    std::vector<QPainterPath> joined;
    std::vector<int> joinedOf(boxes.size(), -1);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const int root = groups.find(static_cast<int>(i));
        if (root == static_cast<int>(i)) continue;
        int& slot = joinedOf[static_cast<std::size_t>(root)];
        if (slot < 0) {
            slot = static_cast<int>(joined.size());
            joined.push_back(pieces->pieces[static_cast<std::size_t>(root)].path);
        }
        joined[static_cast<std::size_t>(slot)].addPath(pieces->pieces[i].path);
    }
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (groups.find(static_cast<int>(i)) != static_cast<int>(i)) continue;
        const int slot = joinedOf[i];
        fillPath(p, slot < 0 ? pieces->pieces[i].path : joined[static_cast<std::size_t>(slot)], brush, clip);
    }
}

}  // namespace vistrel::player
