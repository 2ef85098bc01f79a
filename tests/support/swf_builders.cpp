// Builders for shape, morph, bitmap, font and text tags.
#include "tests/support/swf_writer.h"

#include <stdexcept>

#include <zlib.h>

namespace vistrel::testing {

static void writeGradient(ByteWriter& w, const FillSpec& f, int shapeVersion) {
    w.u8(static_cast<std::uint8_t>((f.spread << 6) | (f.interpolation << 4) | (f.stops.size() & 0x0f)));
    for (const GradientStop& s : f.stops) {
        w.u8(s.ratio);
        if (shapeVersion >= 3) w.rgba(s.rgba); else w.rgb(s.rgba >> 8);
    }
    if (f.type == 0x13) w.fixed8(f.focalPoint);
}

void writeFillStyle(ByteWriter& w, const FillSpec& f, int shapeVersion) {
    w.u8(f.type);
    if (f.type == 0x00) {
        if (shapeVersion >= 3) w.rgba(f.rgba); else w.rgb(f.rgba >> 8);
    } else if (f.type == 0x10 || f.type == 0x12 || f.type == 0x13) {
        w.matrix(f.matrix);
        writeGradient(w, f, shapeVersion);
    } else if (f.type >= 0x40 && f.type <= 0x43) {
        w.u16(f.bitmapId).matrix(f.matrix);
    }
}

static void writeLineStyle(ByteWriter& w, const LineSpec& l, int shapeVersion) {
    w.u16(l.width);
    if (shapeVersion < 4) {
        if (shapeVersion >= 3) w.rgba(l.rgba); else w.rgb(l.rgba >> 8);
        return;
    }
    BitWriter bw;
    bw.writeUB(2, l.startCap);
    bw.writeUB(2, l.join);
    bw.writeUB(1, l.fill ? 1 : 0);
    bw.writeUB(1, l.noHScale);
    bw.writeUB(1, l.noVScale);
    bw.writeUB(1, l.pixelHinting);
    bw.writeUB(5, 0);
    bw.writeUB(1, l.noClose);
    bw.writeUB(2, l.endCap);
    w.bytes(bw.finish());
    if (l.join == 2) w.fixed8(l.miterLimit);
    if (l.fill) writeFillStyle(w, *l.fill, 4); else w.rgba(l.rgba);
}

ShapeBuilder& ShapeBuilder::style(std::optional<int> fill0, std::optional<int> fill1, std::optional<int> line) {
    Record r{Record::Style, fill0, fill1, line};
    m_records.push_back(r);
    return *this;
}

ShapeBuilder& ShapeBuilder::moveTo(std::int32_t x, std::int32_t y) {
    Record r{Record::Move, {}, {}, {}, x, y};
    m_records.push_back(r);
    return *this;
}

ShapeBuilder& ShapeBuilder::lineTo(std::int32_t x, std::int32_t y) {
    Record r{Record::Line, {}, {}, {}, x, y};
    m_records.push_back(r);
    return *this;
}

ShapeBuilder& ShapeBuilder::curveTo(std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay) {
    Record r{Record::Curve, {}, {}, {}, ax, ay, cx, cy};
    m_records.push_back(r);
    return *this;
}

ShapeBuilder& ShapeBuilder::rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h) {
    return moveTo(x, y).lineTo(x + w, y).lineTo(x + w, y + h).lineTo(x, y + h).lineTo(x, y);
}

void ShapeBuilder::writeRecords(BitWriter& bw, int fillBits, int lineBits, bool /*glyph*/) const {
    std::int32_t penX = 0, penY = 0;
    for (std::size_t i = 0; i < m_records.size(); ++i) {
        const Record& r = m_records[i];
        if (r.kind == Record::Style || r.kind == Record::Move) {
            // A style change directly followed by a move shares one record.
            const Record* style = r.kind == Record::Style ? &r : nullptr;
            const Record* move = r.kind == Record::Move ? &r : nullptr;
            if (style && i + 1 < m_records.size() && m_records[i + 1].kind == Record::Move) move = &m_records[++i];
            bw.writeUB(1, 0);
            bw.writeUB(1, 0);  // new styles
            bw.writeUB(1, style && style->line ? 1 : 0);
            bw.writeUB(1, style && style->fill1 ? 1 : 0);
            bw.writeUB(1, style && style->fill0 ? 1 : 0);
            bw.writeUB(1, move ? 1 : 0);
            if (move) {
                const int n = BitWriter::signedBits({move->x, move->y});
                bw.writeUB(5, static_cast<std::uint32_t>(n));
                bw.writeSB(n, move->x);
                bw.writeSB(n, move->y);
                penX = move->x;
                penY = move->y;
            }
            if (style && style->fill0) bw.writeUB(fillBits, static_cast<std::uint32_t>(*style->fill0));
            if (style && style->fill1) bw.writeUB(fillBits, static_cast<std::uint32_t>(*style->fill1));
            if (style && style->line) bw.writeUB(lineBits, static_cast<std::uint32_t>(*style->line));
        } else if (r.kind == Record::Line) {
            const std::int32_t dx = r.x - penX, dy = r.y - penY;
            const int n = std::max(2, BitWriter::signedBits({dx, dy}));
            bw.writeUB(1, 1);
            bw.writeUB(1, 1);
            bw.writeUB(4, static_cast<std::uint32_t>(n - 2));
            bw.writeUB(1, 1);  // general line: both deltas
            bw.writeSB(n, dx);
            bw.writeSB(n, dy);
            penX = r.x;
            penY = r.y;
        } else {
            const std::int32_t cdx = r.cx - penX, cdy = r.cy - penY, adx = r.x - r.cx, ady = r.y - r.cy;
            const int n = std::max(2, BitWriter::signedBits({cdx, cdy, adx, ady}));
            bw.writeUB(1, 1);
            bw.writeUB(1, 0);
            bw.writeUB(4, static_cast<std::uint32_t>(n - 2));
            bw.writeSB(n, cdx);
            bw.writeSB(n, cdy);
            bw.writeSB(n, adx);
            bw.writeSB(n, ady);
            penX = r.x;
            penY = r.y;
        }
    }
    bw.writeUB(6, 0);  // end of shape
}

Bytes ShapeBuilder::build(int shapeVersion, std::uint16_t id, std::int32_t xMin, std::int32_t xMax,
                          std::int32_t yMin, std::int32_t yMax) const {
    static const std::uint16_t kCodes[] = {2, 22, 32, 83};
    if (shapeVersion < 1 || shapeVersion > 4) throw std::invalid_argument("shape version");
    ByteWriter w;
    w.u16(id).rect(xMin, xMax, yMin, yMax);
    if (shapeVersion == 4) w.rect(xMin, xMax, yMin, yMax).u8(m_nonZero ? 0x04 : 0x00);
    if (m_fills.size() >= 255) w.u8(0xff).u16(static_cast<std::uint16_t>(m_fills.size()));
    else w.u8(static_cast<std::uint8_t>(m_fills.size()));
    for (const FillSpec& f : m_fills) writeFillStyle(w, f, shapeVersion);
    if (m_lines.size() >= 255) w.u8(0xff).u16(static_cast<std::uint16_t>(m_lines.size()));
    else w.u8(static_cast<std::uint8_t>(m_lines.size()));
    for (const LineSpec& l : m_lines) writeLineStyle(w, l, shapeVersion);
    const int fillBits = BitWriter::unsignedBits({static_cast<std::uint32_t>(m_fills.size())});
    const int lineBits = BitWriter::unsignedBits({static_cast<std::uint32_t>(m_lines.size())});
    BitWriter bw;
    bw.writeUB(4, static_cast<std::uint32_t>(fillBits));
    bw.writeUB(4, static_cast<std::uint32_t>(lineBits));
    writeRecords(bw, fillBits, lineBits, false);
    w.bytes(bw.finish());
    return tag(kCodes[shapeVersion - 1], w.data(), true);
}

Bytes ShapeBuilder::buildGlyph(bool withLine) const {
    BitWriter bw;
    bw.writeUB(4, 1);
    bw.writeUB(4, withLine ? 1 : 0);
    writeRecords(bw, 1, withLine ? 1 : 0, true);
    return bw.finish();
}

Bytes rectangleShape(std::uint16_t id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                     std::uint32_t rgba, int shapeVersion) {
    ShapeBuilder s;
    s.fill(FillSpec::solid(rgba)).style(std::nullopt, 1, std::nullopt).rect(x, y, w, h);
    return s.build(shapeVersion, id, x, x + w, y, y + h);
}

static Bytes rectEdges(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h, bool withStyle,
                       bool stroked = false) {
    ShapeBuilder s;
    if (withStyle) s.style(std::nullopt, 1, stroked ? std::optional<int>(1) : std::nullopt);
    s.rect(x, y, w, h);
    return s.buildGlyph(stroked);
}

// The tag around a morph's styles and its start and end edges.
static Bytes morphTag(std::uint16_t id, const std::array<std::int32_t, 4>& startBox, const std::array<std::int32_t, 4>& endBox,
                      const Bytes& styles, const Bytes& start, const Bytes& end) {
    ByteWriter w;
    w.u16(id).rect(startBox[0], startBox[1], startBox[2], startBox[3]).rect(endBox[0], endBox[1], endBox[2], endBox[3]);
    w.u32(static_cast<std::uint32_t>(styles.size() + start.size()));
    w.bytes(styles).bytes(start).bytes(end);
    return tag(46, w.data(), true);
}

Bytes morphRectangles(std::uint16_t id, std::int32_t x0, std::int32_t y0, std::int32_t w0, std::int32_t h0,
                      std::uint32_t rgba0, std::int32_t x1, std::int32_t y1, std::int32_t w1, std::int32_t h1,
                      std::uint32_t rgba1, std::uint16_t strokeWidth0, std::uint16_t strokeWidth1) {
    const bool stroked = strokeWidth0 || strokeWidth1;
    ByteWriter styles;
    styles.u8(1).u8(0x00).rgba(rgba0).rgba(rgba1);  // one solid morph fill
    styles.u8(stroked ? 1 : 0);
    if (stroked) styles.u16(strokeWidth0).u16(strokeWidth1).rgba(0x000000ff).rgba(0x000000ff);
    return morphTag(id, {x0, x0 + w0, y0, y0 + h0}, {x1, x1 + w1, y1, y1 + h1}, styles.data(),
                    rectEdges(x0, y0, w0, h0, true, stroked), rectEdges(x1, y1, w1, h1, false));
}

Bytes morphShape(std::uint16_t id, const ShapeBuilder& start, const ShapeBuilder& end, std::uint32_t rgba0,
                 std::uint32_t rgba1, const std::array<std::int32_t, 4>& box) {
    ByteWriter styles;
    styles.u8(1).u8(0x00).rgba(rgba0).rgba(rgba1).u8(0);  // one solid morph fill, no lines
    return morphTag(id, box, box, styles.data(), start.buildGlyph(), end.buildGlyph());
}

Bytes bitsLossless2(std::uint16_t id, int width, int height, const std::vector<std::uint32_t>& argb) {
    Bytes raw;
    raw.reserve(argb.size() * 4);
    for (std::uint32_t p : argb) {
        const std::uint32_t a = p >> 24;
        auto pm = [a](std::uint32_t c) { return static_cast<std::uint8_t>((c * a + 127) / 255); };
        raw.push_back(static_cast<std::uint8_t>(a));
        raw.push_back(pm((p >> 16) & 0xff));
        raw.push_back(pm((p >> 8) & 0xff));
        raw.push_back(pm(p & 0xff));
    }
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes packed(size);
    compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(size);
    ByteWriter w;
    w.u16(id).u8(5).u16(static_cast<std::uint16_t>(width)).u16(static_cast<std::uint16_t>(height)).bytes(packed);
    return tag(36, w.data(), true);
}

Bytes defineFont3(std::uint16_t id, const std::string& name, const std::vector<GlyphSpec>& glyphs) {
    std::vector<Bytes> shapes;
    for (const GlyphSpec& g : glyphs) shapes.push_back(g.shape.buildGlyph());
    ByteWriter w;
    w.u16(id).u8(0x80 | 0x08 | 0x04);  // layout, wide offsets, wide codes
    w.u8(0).u8(static_cast<std::uint8_t>(name.size()));
    for (char c : name) w.u8(static_cast<std::uint8_t>(c));
    w.u16(static_cast<std::uint16_t>(glyphs.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(4 * glyphs.size() + 4);
    for (const Bytes& s : shapes) {
        w.u32(offset);
        offset += static_cast<std::uint32_t>(s.size());
    }
    w.u32(offset);  // code table offset
    for (const Bytes& s : shapes) w.bytes(s);
    for (const GlyphSpec& g : glyphs) w.u16(g.code);
    w.s16(900 * 20).s16(200 * 20).s16(0);
    for (const GlyphSpec& g : glyphs) w.s16(g.advance);
    for (std::size_t i = 0; i < glyphs.size(); ++i) w.rect(0, 0, 0, 0);
    w.u16(0);
    return tag(75, w.data(), true);
}

Bytes defineText(std::uint16_t id, int version, std::int32_t xMin, std::int32_t xMax, std::int32_t yMin,
                 std::int32_t yMax, std::uint16_t fontId, std::uint32_t rgba, std::uint16_t height,
                 std::int32_t x, std::int32_t y, const std::vector<TextGlyph>& glyphs) {
    int glyphBits = 1, advanceBits = 1;
    for (const TextGlyph& g : glyphs) {
        glyphBits = std::max(glyphBits, BitWriter::unsignedBits({g.index}));
        advanceBits = std::max(advanceBits, BitWriter::signedBits({g.advance}));
    }
    ByteWriter w;
    w.u16(id).rect(xMin, xMax, yMin, yMax).matrix(MatrixSpec{});
    w.u8(static_cast<std::uint8_t>(glyphBits)).u8(static_cast<std::uint8_t>(advanceBits));
    w.u8(0x80 | 0x08 | 0x04 | 0x02 | 0x01);  // font, colour, y and x offsets
    w.u16(fontId);
    if (version >= 2) w.rgba(rgba); else w.rgb(rgba >> 8);
    w.s16(static_cast<std::int16_t>(x)).s16(static_cast<std::int16_t>(y)).u16(height);
    w.u8(static_cast<std::uint8_t>(glyphs.size()));
    BitWriter bw;
    for (const TextGlyph& g : glyphs) {
        bw.writeUB(glyphBits, g.index);
        bw.writeSB(advanceBits, g.advance);
    }
    w.bytes(bw.finish());
    w.u8(0);
    return tag(version >= 2 ? 33 : 11, w.data(), true);
}

Bytes everyFamilyMovie(Compression compression) {
    constexpr std::uint32_t kRed = 0xff0000ff, kGreen = 0x00ff00ff;
    const auto place = [](std::uint16_t depth, std::uint16_t id, std::optional<std::uint16_t> clipDepth = std::nullopt,
                          std::optional<std::uint16_t> ratio = std::nullopt) {
        PlaceSpec p;
        p.depth = depth;
        p.characterId = id;
        p.clipDepth = clipDepth;
        p.ratio = ratio;
        return placeObject2(p);
    };
    MatrixSpec small, large;
    small.scaleX = small.scaleY = 0.05;
    large.scaleX = large.scaleY = 20;
    ShapeBuilder glyph;
    glyph.style(std::nullopt, 1, std::nullopt).rect(0, -16000, 14000, 16000);   // font units: 20480 to the em
    FillSpec gradient;
    gradient.type = 0x12;
    gradient.matrix = small;
    gradient.stops = {{0, kRed}, {255, kGreen}};
    LineSpec outline;
    outline.width = 40;
    ShapeBuilder styled;
    styled.fill(gradient).line(outline).style(std::nullopt, 1, 1).rect(0, 0, 1500, 1500).curveTo(1800, 700, 0, 0);
    FillSpec bitmapFill;
    bitmapFill.type = 0x41;
    bitmapFill.matrix = large;
    bitmapFill.bitmapId = 3;
    ShapeBuilder bitmapSquare;
    bitmapSquare.fill(bitmapFill).style(std::nullopt, 1, std::nullopt).rect(0, 0, 1000, 1000);
    const std::vector<std::uint32_t> pixels(16, 0xff336699u);
    MovieSpec spec;
    spec.version = compression == Compression::Lzma ? 13 : 10;   // LZMA movies exist from version 13
    spec.frameCount = 2;
    spec.compression = compression;
    return movie(spec, {setBackgroundColor(0x102030), styled.build(3, 1, 0, 2000, 0, 2000),
                        morphRectangles(2, 0, 0, 500, 500, kRed, 200, 200, 900, 900, kGreen),
                        bitsLossless2(3, 4, 4, pixels), bitmapSquare.build(3, 4, 0, 1000, 0, 1000),
                        defineFont3(5, "Boxes", {{glyph, 'A', 700}}),
                        defineText(6, 2, 0, 2000, -800, 200, 5, kRed, 400, 100, 600, {{0, 700}, {0, 700}}),
                        defineSprite(7, 2, {place(1, 1), showFrame(), removeObject2(1), showFrame()}), place(1, 1, 3),
                        place(2, 7), place(3, 2, std::nullopt, 30000), place(4, 4), place(5, 6), showFrame(),
                        removeObject2(5), showFrame()});
}

}  // namespace vistrel::testing
