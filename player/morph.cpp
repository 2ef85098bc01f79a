#include "player/morph.h"

#include <algorithm>
#include <cmath>

namespace vistrel::player {

namespace {

double lerp(double a, double b, double t) { return a + (b - a) * t; }

std::uint8_t lerp8(std::uint8_t a, std::uint8_t b, double t) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(lerp(a, b, t)), 0l, 255l));
}

swf::Rgba lerpColor(swf::Rgba a, swf::Rgba b, double t) {
    return {lerp8(a.r, b.r, t), lerp8(a.g, b.g, t), lerp8(a.b, b.b, t), lerp8(a.a, b.a, t)};
}

swf::Matrix lerpMatrix(const swf::Matrix& a, const swf::Matrix& b, double t) {
    return {lerp(a.a, b.a, t), lerp(a.b, b.b, t), lerp(a.c, b.c, t), lerp(a.d, b.d, t), lerp(a.tx, b.tx, t), lerp(a.ty, b.ty, t)};
}

swf::FillStyle lerpFill(const swf::FillStyle& a, const swf::FillStyle& b, double t) {
    swf::FillStyle f = a;
    f.color = lerpColor(a.color, b.color, t);
    f.matrix = lerpMatrix(a.matrix, b.matrix, t);
    f.gradient.focalPoint = lerp(a.gradient.focalPoint, b.gradient.focalPoint, t);
    const std::size_t n = std::min(a.gradient.records.size(), b.gradient.records.size());
    f.gradient.records.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        f.gradient.records[i].ratio = lerp8(a.gradient.records[i].ratio, b.gradient.records[i].ratio, t);
        f.gradient.records[i].color = lerpColor(a.gradient.records[i].color, b.gradient.records[i].color, t);
    }
    return f;
}

struct Pen {
    double x = 0, y = 0;
};

// Absolute points of an edge, with a straight edge given the control point a curve would have.
struct AbsEdge {
    bool curve = false;
    double cx = 0, cy = 0, ax = 0, ay = 0;
};

AbsEdge absolute(const swf::ShapeRecord& rec, Pen& pen) {
    AbsEdge e;
    if (const auto* s = std::get_if<swf::StraightEdge>(&rec)) {
        e.ax = pen.x + s->dx;
        e.ay = pen.y + s->dy;
        e.cx = (pen.x + e.ax) / 2;
        e.cy = (pen.y + e.ay) / 2;
    } else if (const auto* c = std::get_if<swf::CurvedEdge>(&rec)) {
        e.curve = true;
        e.cx = pen.x + c->controlDx;
        e.cy = pen.y + c->controlDy;
        e.ax = e.cx + c->anchorDx;
        e.ay = e.cy + c->anchorDy;
    }
    pen.x = e.ax;
    pen.y = e.ay;
    return e;
}

std::int32_t toTwip(double v) { return static_cast<std::int32_t>(std::lround(v)); }

}  // namespace

swf::Shape interpolateMorph(const swf::DefineMorphShape& m, double t) {
    t = std::clamp(t, 0.0, 1.0);
    swf::Shape shape;
    for (std::size_t i = 0; i < m.startFills.size() && i < m.endFills.size(); ++i)
        shape.fills.push_back(lerpFill(m.startFills[i], m.endFills[i], t));
    for (std::size_t i = 0; i < m.startLines.size() && i < m.endLines.size(); ++i) {
        swf::LineStyle l = m.startLines[i];
        const swf::LineStyle& e = m.endLines[i];
        l.width = static_cast<std::uint16_t>(std::lround(lerp(l.width, e.width, t)));
        l.color = lerpColor(l.color, e.color, t);
        if (l.fill && e.fill) l.fill = lerpFill(*l.fill, *e.fill, t);
        shape.lines.push_back(l);
    }
    // Positions are interpolated as absolute points and rounded once, so contours that close in
    // both shapes still close exactly after interpolation.
    Pen startPen, endPen;
    std::int32_t outX = 0, outY = 0;
    std::size_t j = 0;
    // Takes the end shape's style records up to its next edge (only the first when `consume`), and
    // tells whether one of them moved its pen.
    auto takeEndMove = [&](bool consume) -> bool {
        bool moved = false;
        while (j < m.endRecords.size()) {
            const auto* c = std::get_if<swf::StyleChange>(&m.endRecords[j]);
            if (!c) break;
            if (c->moveX) {
                endPen.x = *c->moveX;
                endPen.y = *c->moveY;
                moved = true;
            }
            ++j;
            if (consume) break;
        }
        return moved;
    };
    auto moveBetweenPens = [&](swf::StyleChange& out) {
        outX = toTwip(lerp(startPen.x, endPen.x, t));
        outY = toTwip(lerp(startPen.y, endPen.y, t));
        out.moveX = outX;
        out.moveY = outY;
    };
    for (const swf::ShapeRecord& rec : m.startRecords) {
        if (const auto* c = std::get_if<swf::StyleChange>(&rec)) {
            swf::StyleChange out = *c;
            if (c->moveX) {
                startPen.x = *c->moveX;
                startPen.y = *c->moveY;
                takeEndMove(true);
                moveBetweenPens(out);
            }
            shape.records.emplace_back(std::move(out));
            continue;
        }
        // A contour the end shape starts where the start shape draws on starts here too, between
        // where the two pens are.
        if (takeEndMove(false)) {
            swf::StyleChange move;
            moveBetweenPens(move);
            shape.records.emplace_back(std::move(move));
        }
        const AbsEdge a = absolute(rec, startPen);
        AbsEdge b{false, endPen.x, endPen.y, endPen.x, endPen.y};
        if (j < m.endRecords.size()) b = absolute(m.endRecords[j++], endPen);
        const std::int32_t ax = toTwip(lerp(a.ax, b.ax, t)), ay = toTwip(lerp(a.ay, b.ay, t));
        if (!a.curve && !b.curve) {
            shape.records.emplace_back(swf::StraightEdge{ax - outX, ay - outY});
        } else {
            const std::int32_t cx = toTwip(lerp(a.cx, b.cx, t)), cy = toTwip(lerp(a.cy, b.cy, t));
            shape.records.emplace_back(swf::CurvedEdge{cx - outX, cy - outY, ax - cx, ay - cy});
        }
        outX = ax;
        outY = ay;
    }
    return shape;
}

}  // namespace vistrel::player
