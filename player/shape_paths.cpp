#include "player/shape_paths.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

namespace vistrel::player {

namespace {

struct Edge {
    QPointF from, control, to;
    bool curve = false;
    Edge reversed() const { return {to, control, from, curve}; }
};

// Points meet exactly in well-formed data; keys round to 1/64 twip so morphed points still meet.
std::int64_t pointKey(QPointF p) {
    const auto x = static_cast<std::int64_t>(std::llround(p.x() * 64.0));
    const auto y = static_cast<std::int64_t>(std::llround(p.y() * 64.0));
    return (x << 32) ^ (y & 0xffffffff);
}

bool samePoint(QPointF a, QPointF b) { return pointKey(a) == pointKey(b); }

void appendEdge(QPainterPath& path, const Edge& e) {
    if (e.curve) path.quadTo(e.control, e.to);
    else path.lineTo(e.to);
}

// Joins a fill's edges (each with the fill on the same side) into closed contours. Flash stores
// the edges of one fill in any order, so we chain them by matching end and start points.
QPainterPath closedPath(const std::vector<Edge>& edges, bool nonZero) {
    QPainterPath path;
    path.setFillRule(nonZero ? Qt::WindingFill : Qt::OddEvenFill);
    std::unordered_multimap<std::int64_t, std::size_t> byStart;
    byStart.reserve(edges.size());
    for (std::size_t i = 0; i < edges.size(); ++i) byStart.emplace(pointKey(edges[i].from), i);
    std::vector<bool> used(edges.size(), false);
    auto takeFrom = [&](QPointF p) -> std::ptrdiff_t {
        auto range = byStart.equal_range(pointKey(p));
        for (auto it = range.first; it != range.second; ++it) {
            if (!used[it->second]) {
                used[it->second] = true;
                return static_cast<std::ptrdiff_t>(it->second);
            }
        }
        return -1;
    };
    for (std::size_t i = 0; i < edges.size(); ++i) {
        if (used[i]) continue;
        used[i] = true;
        const QPointF start = edges[i].from;
        path.moveTo(start);
        appendEdge(path, edges[i]);
        QPointF current = edges[i].to;
        // Each step uses up one edge, so the walk ends after at most edges.size() steps.
        while (!samePoint(current, start)) {
            const std::ptrdiff_t next = takeFrom(current);
            if (next < 0) break;
            appendEdge(path, edges[static_cast<std::size_t>(next)]);
            current = edges[static_cast<std::size_t>(next)].to;
        }
        path.closeSubpath();
    }
    return path;
}

QPainterPath strokePath(const std::vector<Edge>& edges) {
    QPainterPath path;
    bool open = false;
    QPointF subStart, last;
    for (const Edge& e : edges) {
        if (!open || !samePoint(e.from, last)) {
            if (open && samePoint(last, subStart)) path.closeSubpath();
            path.moveTo(e.from);
            subStart = e.from;
            open = true;
        }
        appendEdge(path, e);
        last = e.to;
    }
    if (open && samePoint(last, subStart) && path.elementCount() > 2) path.closeSubpath();
    return path;
}

Paint makePaint(const swf::FillStyle& f, const BitmapLookup& bitmaps) {
    Paint p;
    p.type = f.type;
    p.color = f.color;
    p.matrix = toQTransform(f.matrix);
    p.gradient = f.gradient;
    if (f.isBitmap()) {
        if (bitmaps) p.image = bitmaps(f.bitmapId);
        p.repeat = f.type == swf::FillType::RepeatingBitmap || f.type == swf::FillType::RepeatingBitmapHard;
        p.smooth = f.type == swf::FillType::RepeatingBitmap || f.type == swf::FillType::ClippedBitmap;
    }
    return p;
}

// Styles in force between two new-style records, and the edges that use them.
struct StyleGroup {
    std::vector<swf::FillStyle> fills;
    std::vector<swf::LineStyle> lines;
    std::vector<std::vector<Edge>> fillEdges, lineEdges;
    std::vector<std::vector<Edge>> seamEdges;   // per fill: edges shared with a fill drawn later
};

}  // namespace

QTransform toQTransform(const swf::Matrix& m) { return QTransform(m.a, m.b, m.c, m.d, m.tx, m.ty); }

QTransform wholeTwipTranslation(const QTransform& t) {
    return QTransform(t.m11(), t.m12(), t.m21(), t.m22(), std::round(t.dx()), std::round(t.dy()));
}

QRectF wholeTwipRect(const QRectF& r) {
    return QRectF(QPointF(std::round(r.left()), std::round(r.top())), QPointF(std::round(r.right()), std::round(r.bottom())));
}

ShapePaths buildShapePaths(const std::vector<swf::FillStyle>& fills, const std::vector<swf::LineStyle>& lines,
                           const std::vector<swf::ShapeRecord>& records, bool nonZero, const BitmapLookup& bitmaps) {
    std::vector<StyleGroup> groups(1);
    groups[0].fills = fills;
    groups[0].lines = lines;
    groups[0].fillEdges.resize(fills.size());
    groups[0].seamEdges.resize(fills.size());
    groups[0].lineEdges.resize(lines.size());
    std::uint32_t fill0 = 0, fill1 = 0, line = 0;
    double x = 0, y = 0;
    for (const swf::ShapeRecord& rec : records) {
        StyleGroup& g = groups.back();
        Edge e;
        e.from = QPointF(x, y);
        if (const auto* c = std::get_if<swf::StyleChange>(&rec)) {
            if (c->newFills || c->newLines) {
                StyleGroup next;
                if (c->newFills) next.fills = *c->newFills;
                if (c->newLines) next.lines = *c->newLines;
                next.fillEdges.resize(next.fills.size());
                next.seamEdges.resize(next.fills.size());
                next.lineEdges.resize(next.lines.size());
                groups.push_back(std::move(next));
                fill0 = fill1 = line = 0;
            }
            if (c->moveX) {
                x = *c->moveX;
                y = *c->moveY;
            }
            if (c->fill0) fill0 = *c->fill0;
            if (c->fill1) fill1 = *c->fill1;
            if (c->line) line = *c->line;
            continue;
        }
        if (const auto* s = std::get_if<swf::StraightEdge>(&rec)) {
            x += s->dx;
            y += s->dy;
        } else {
            const auto& cv = std::get<swf::CurvedEdge>(rec);
            e.curve = true;
            e.control = QPointF(x + cv.controlDx, y + cv.controlDy);
            x = e.control.x() + cv.anchorDx;
            y = e.control.y() + cv.anchorDy;
        }
        e.to = QPointF(x, y);
        // Fill 0 lies on the left of the edge and fill 1 on the right; turning fill-0 edges round
        // puts every fill on the same side of its edges, so they chain into consistent contours.
        if (fill0 > 0 && fill0 <= g.fillEdges.size()) g.fillEdges[fill0 - 1].push_back(e.reversed());
        if (fill1 > 0 && fill1 <= g.fillEdges.size()) g.fillEdges[fill1 - 1].push_back(e);
        if (line > 0 && line <= g.lineEdges.size()) g.lineEdges[line - 1].push_back(e);
        // Fills are drawn in style order, so the lower index is the one underneath.
        if (fill0 > 0 && fill1 > 0 && fill0 != fill1 && std::max(fill0, fill1) <= g.fillEdges.size())
            g.seamEdges[std::min(fill0, fill1) - 1].push_back(e);
    }
    ShapePaths out;
    for (const StyleGroup& g : groups) {
        for (std::size_t i = 0; i < g.fills.size(); ++i) {
            if (g.fillEdges[i].empty()) continue;
            DrawItem item;
            item.path = closedPath(g.fillEdges[i], nonZero);
            item.paint = makePaint(g.fills[i], bitmaps);
            if (!g.seamEdges[i].empty()) item.seams = strokePath(g.seamEdges[i]);
            out.bounds |= item.path.boundingRect();
            out.items.push_back(std::move(item));
        }
        for (std::size_t i = 0; i < g.lines.size(); ++i) {
            if (g.lineEdges[i].empty()) continue;
            const swf::LineStyle& l = g.lines[i];
            DrawItem item;
            item.stroke = true;
            item.path = strokePath(g.lineEdges[i]);
            if (l.fill) item.paint = makePaint(*l.fill, bitmaps);
            else item.paint.color = l.color;
            item.strokeStyle = {static_cast<double>(l.width), l.startCap, l.endCap, l.join, l.miterLimit, l.noHScale, l.noVScale};
            const double half = l.width / 2.0;
            out.bounds |= item.path.boundingRect().adjusted(-half, -half, half, half);
            out.items.push_back(std::move(item));
        }
    }
    return out;
}

QPainterPath buildGlyphPath(const std::vector<swf::ShapeRecord>& records) {
    // Glyphs use one fill; either side may carry it, so take every edge with its side fixed up.
    swf::FillStyle solid;
    const ShapePaths paths = buildShapePaths({solid}, {}, records, true, {});
    QPainterPath out;
    out.setFillRule(Qt::WindingFill);
    for (const DrawItem& item : paths.items) out.addPath(item.path);
    return out;
}

}  // namespace vistrel::player
