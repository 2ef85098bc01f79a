#include "player/swf/tags_shape.h"

#include <algorithm>

#include "player/swf/bit_reader.h"
#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

namespace vistrel::swf {

namespace {

Rgba readColor(ByteReader& r, int shapeVersion) { return shapeVersion >= 3 ? readRgba(r) : readRgb(r); }

Gradient readGradient(ByteReader& r, int shapeVersion, bool focal) {
    Gradient g;
    const std::uint8_t head = r.u8();
    g.spread = static_cast<std::uint8_t>(head >> 6);
    g.interpolation = static_cast<std::uint8_t>((head >> 4) & 3);
    const int count = head & 0x0f;
    for (int i = 0; i < count; ++i) {
        GradientRecord rec;
        rec.ratio = r.u8();
        rec.color = readColor(r, shapeVersion);
        g.records.push_back(rec);
    }
    if (focal) g.focalPoint = r.fixed8();
    return g;
}

std::size_t readCount(ByteReader& r, bool extendable) {
    const std::size_t n = r.u8();
    return (n == 0xff && extendable) ? r.u16() : n;
}

std::vector<FillStyle> readFillArray(ByteReader& r, int shapeVersion) {
    std::vector<FillStyle> fills;
    const std::size_t n = readCount(r, shapeVersion >= 2);
    for (std::size_t i = 0; i < n; ++i) fills.push_back(readFillStyle(r, shapeVersion));
    return fills;
}

std::vector<LineStyle> readLineArray(ByteReader& r, int shapeVersion) {
    std::vector<LineStyle> lines;
    const std::size_t n = readCount(r, true);
    for (std::size_t i = 0; i < n; ++i) lines.push_back(readLineStyle(r, shapeVersion));
    return lines;
}

// Reads records up to the end record. `withStyles` allows new style arrays (shape tags only).
void readRecords(ByteReader& r, int shapeVersion, bool withStyles, std::vector<ShapeRecord>& out) {
    BitReader bits(r);
    int fillBits = static_cast<int>(bits.ub(4));
    int lineBits = static_cast<int>(bits.ub(4));
    for (;;) {
        if (bits.flag()) {
            if (bits.flag()) {
                const int n = static_cast<int>(bits.ub(4)) + 2;
                StraightEdge e;
                if (bits.flag()) {
                    e.dx = bits.sb(n);
                    e.dy = bits.sb(n);
                } else if (bits.flag()) {
                    e.dy = bits.sb(n);
                } else {
                    e.dx = bits.sb(n);
                }
                out.emplace_back(e);
            } else {
                const int n = static_cast<int>(bits.ub(4)) + 2;
                CurvedEdge e;
                e.controlDx = bits.sb(n);
                e.controlDy = bits.sb(n);
                e.anchorDx = bits.sb(n);
                e.anchorDy = bits.sb(n);
                out.emplace_back(e);
            }
            continue;
        }
        const std::uint32_t flags = bits.ub(5);
        if (flags == 0) return;   // end of shape
        StyleChange c;
        if (flags & 0x01) {
            const int n = static_cast<int>(bits.ub(5));
            c.moveX = bits.sb(n);
            c.moveY = bits.sb(n);
        }
        if (flags & 0x02) c.fill0 = bits.ub(fillBits);
        if (flags & 0x04) c.fill1 = bits.ub(fillBits);
        if (flags & 0x08) c.line = bits.ub(lineBits);
        if ((flags & 0x10) && withStyles) {
            bits.align();
            c.newFills = readFillArray(r, shapeVersion);
            c.newLines = readLineArray(r, shapeVersion);
            fillBits = static_cast<int>(bits.ub(4));
            lineBits = static_cast<int>(bits.ub(4));
        }
        out.emplace_back(std::move(c));
    }
}

FillStyle readMorphFill(ByteReader& r, FillStyle& end) {
    FillStyle start;
    start.type = static_cast<FillType>(r.u8());
    end.type = start.type;
    if (start.type == FillType::Solid) {
        start.color = readRgba(r);
        end.color = readRgba(r);
    } else if (start.isGradient()) {
        start.matrix = readMatrix(r);
        end.matrix = readMatrix(r);
        const std::uint8_t head = r.u8();
        start.gradient.spread = end.gradient.spread = static_cast<std::uint8_t>(head >> 6);
        start.gradient.interpolation = end.gradient.interpolation = static_cast<std::uint8_t>((head >> 4) & 3);
        for (int i = 0; i < (head & 0x0f); ++i) {
            GradientRecord a, b;
            a.ratio = r.u8();
            a.color = readRgba(r);
            b.ratio = r.u8();
            b.color = readRgba(r);
            start.gradient.records.push_back(a);
            end.gradient.records.push_back(b);
        }
        if (start.type == FillType::FocalGradient) {
            start.gradient.focalPoint = r.fixed8();
            end.gradient.focalPoint = r.fixed8();
        }
    } else if (start.isBitmap()) {
        start.bitmapId = end.bitmapId = r.u16();
        start.matrix = readMatrix(r);
        end.matrix = readMatrix(r);
    } else {
        throw FormatError("unknown morph fill type");
    }
    return start;
}

void readLineFlags(ByteReader& r, LineStyle& l, bool& hasFill) {
    const std::uint8_t f1 = r.u8(), f2 = r.u8();
    l.startCap = static_cast<CapStyle>(std::min(f1 >> 6, 2));
    l.join = static_cast<JoinStyle>(std::min((f1 >> 4) & 3, 2));
    hasFill = (f1 & 0x08) != 0;
    l.noHScale = (f1 & 0x04) != 0;
    l.noVScale = (f1 & 0x02) != 0;
    l.pixelHinting = (f1 & 0x01) != 0;
    l.noClose = (f2 & 0x04) != 0;
    l.endCap = static_cast<CapStyle>(std::min(f2 & 3, 2));
    if (l.join == JoinStyle::Miter) l.miterLimit = r.fixed8();
}

}  // namespace

FillStyle readFillStyle(ByteReader& r, int shapeVersion) {
    FillStyle f;
    const std::uint8_t type = r.u8();
    f.type = static_cast<FillType>(type);
    if (f.type == FillType::Solid) {
        f.color = readColor(r, shapeVersion);
    } else if (f.isGradient()) {
        f.matrix = readMatrix(r);
        f.gradient = readGradient(r, shapeVersion, f.type == FillType::FocalGradient);
    } else if (type >= 0x40 && type <= 0x43) {
        f.bitmapId = r.u16();
        f.matrix = readMatrix(r);
    } else {
        throw FormatError("unknown fill style type");
    }
    return f;
}

LineStyle readLineStyle(ByteReader& r, int shapeVersion) {
    LineStyle l;
    l.width = r.u16();
    if (shapeVersion < 4) {
        l.color = readColor(r, shapeVersion);
        return l;
    }
    bool hasFill = false;
    readLineFlags(r, l, hasFill);
    if (hasFill) l.fill = readFillStyle(r, shapeVersion);
    else l.color = readRgba(r);
    return l;
}

std::vector<ShapeRecord> readShapeRecords(ByteReader& r, int shapeVersion) {
    std::vector<ShapeRecord> out;
    readRecords(r, shapeVersion, false, out);
    return out;
}

DefineShape readDefineShape(ByteReader& r, int version) {
    DefineShape s;
    s.id = r.u16();
    s.version = version;
    s.bounds = readRect(r);
    s.edgeBounds = s.bounds;
    if (version >= 4) {
        s.edgeBounds = readRect(r);
        s.nonZeroWinding = (r.u8() & 0x04) != 0;
    }
    s.shape.fills = readFillArray(r, version);
    s.shape.lines = readLineArray(r, version);
    readRecords(r, version, true, s.shape.records);
    return s;
}

DefineMorphShape readDefineMorphShape(ByteReader& r, int version) {
    DefineMorphShape m;
    m.id = r.u16();
    m.version = version;
    m.startBounds = readRect(r);
    m.endBounds = readRect(r);
    if (version >= 2) {
        readRect(r);
        readRect(r);
        r.u8();
    }
    const std::uint32_t offset = r.u32();
    const std::size_t offsetBase = r.position();
    std::size_t n = readCount(r, true);
    for (std::size_t i = 0; i < n; ++i) {
        FillStyle end;
        m.startFills.push_back(readMorphFill(r, end));
        m.endFills.push_back(end);
    }
    n = readCount(r, true);
    for (std::size_t i = 0; i < n; ++i) {
        LineStyle a, b;
        a.width = r.u16();
        b.width = r.u16();
        if (version >= 2) {
            bool hasFill = false;
            readLineFlags(r, a, hasFill);
            const double miter = a.miterLimit;
            b = LineStyle{b.width, {}, a.startCap, a.endCap, a.join, miter, a.noHScale, a.noVScale, a.pixelHinting, a.noClose, {}};
            if (hasFill) {
                FillStyle endFill;
                a.fill = readMorphFill(r, endFill);
                b.fill = endFill;
            } else {
                a.color = readRgba(r);
                b.color = readRgba(r);
            }
        } else {
            a.color = readRgba(r);
            b.color = readRgba(r);
        }
        m.startLines.push_back(a);
        m.endLines.push_back(b);
    }
    readRecords(r, 3, false, m.startRecords);
    // The offset says where the end edges start; trust it when it points inside the tag.
    const std::size_t endPos = offsetBase + offset;
    if (offset != 0 && endPos >= r.position() && endPos < r.whole().size()) r.skip(endPos - r.position());
    readRecords(r, 3, false, m.endRecords);
    return m;
}

}  // namespace vistrel::swf
