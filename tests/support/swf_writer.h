// Builds SWF movies byte by byte for test fixtures: headers with each compression, bit-packed
// records (RECT, MATRIX, CXFORM), tags in short and long form, and builders for the common tags.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace vistrel::testing {

using Bytes = std::vector<std::uint8_t>;

// Packs fields most significant bit first, as SWF bit records are stored.
class BitWriter {
public:
    void writeUB(int bits, std::uint32_t value);
    void writeSB(int bits, std::int32_t value);
    void writeFB(int bits, double value);       // 16.16 fixed point in a signed field
    void align();                               // pad the current byte with zero bits
    Bytes finish();                             // aligns and hands over the bytes
    Bytes& bytes() { return m_bytes; }          // for mixing whole bytes in after align()

    // Smallest signed field width that holds every value (at least 1 bit).
    static int signedBits(std::initializer_list<std::int32_t> values);
    static int unsignedBits(std::initializer_list<std::uint32_t> values);

private:
    Bytes m_bytes;
    int m_bitPos = 0;   // bits used in the last byte, 0 when aligned
};

// Little-endian byte output plus the bit-packed records.
class ByteWriter {
public:
    ByteWriter& u8(std::uint8_t v);
    ByteWriter& u16(std::uint16_t v);
    ByteWriter& s16(std::int16_t v) { return u16(static_cast<std::uint16_t>(v)); }
    ByteWriter& u32(std::uint32_t v);
    ByteWriter& fixed8(double v);               // 8.8 fixed
    ByteWriter& fixed16(double v);              // 16.16 fixed
    ByteWriter& f32(float v);
    ByteWriter& bytes(const Bytes& b);
    ByteWriter& string(const std::string& s);   // null-terminated
    ByteWriter& rgb(std::uint32_t rgb);         // 0xRRGGBB
    ByteWriter& rgba(std::uint32_t rgba);       // 0xRRGGBBAA
    ByteWriter& rect(std::int32_t xMin, std::int32_t xMax, std::int32_t yMin, std::int32_t yMax);
    ByteWriter& matrix(const struct MatrixSpec& m);
    ByteWriter& cxform(const struct CxformSpec& c, bool withAlpha);
    const Bytes& data() const { return m_bytes; }
    Bytes take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

// A transform in the form SWF stores it: scale/rotate-skew as plain numbers, translation in twips.
struct MatrixSpec {
    std::optional<double> scaleX, scaleY;        // both or neither
    std::optional<double> rotateSkew0, rotateSkew1;
    std::int32_t translateX = 0, translateY = 0;
    static MatrixSpec translate(std::int32_t x, std::int32_t y) { MatrixSpec m; m.translateX = x; m.translateY = y; return m; }
};

// Colour transform: multiply terms in 8.8 (256 = 1.0) and add terms, each optional as a group.
struct CxformSpec {
    std::optional<std::array<std::int16_t, 4>> mult;  // r, g, b, a
    std::optional<std::array<std::int16_t, 4>> add;
};

enum class Compression { None, Zlib, Lzma };

// Tag record: a short header when the body is under 63 bytes, unless the long form is asked for.
Bytes tag(std::uint16_t code, const Bytes& body, bool forceLong = false);

// Whole movie: signature, version, length, frame rectangle, rate and count, then the tags given
// (an End tag is appended unless the list already ends with one or `appendEnd` is false).
struct MovieSpec {
    int version = 10;
    std::int32_t widthTwips = 200 * 20, heightTwips = 100 * 20;
    double frameRate = 24;
    std::uint16_t frameCount = 1;
    Compression compression = Compression::None;
    bool appendEnd = true;
};
Bytes movie(const MovieSpec& spec, const std::vector<Bytes>& tags);
Bytes compressBody(const Bytes& uncompressedMovie, Compression compression);  // FWS bytes to CWS/ZWS
// A zlib stream of the bytes at the given level (0 = stored blocks).
Bytes zlibCompress(const Bytes& raw, int level = 9);
// A raw LZMA stream of the bytes and its five property bytes, as a "ZWS" body stores them.
struct LzmaStream {
    Bytes properties;
    Bytes stream;
};
LzmaStream lzmaCompress(const Bytes& raw);

// Common tags.
Bytes endTag();
Bytes showFrame();
Bytes setBackgroundColor(std::uint32_t rgb);
Bytes frameLabel(const std::string& name, bool anchor = false);
Bytes removeObject(std::uint16_t characterId, std::uint16_t depth);
Bytes removeObject2(std::uint16_t depth);
Bytes placeObject(std::uint16_t characterId, std::uint16_t depth, const MatrixSpec& m,
                  const std::optional<CxformSpec>& cx = std::nullopt);
Bytes defineSprite(std::uint16_t id, std::uint16_t frameCount, const std::vector<Bytes>& tags);

// One clip event handler of a placed sprite: events in the 32-bit layout (written in 16 bits for
// movies before version 6), the key code when the events hold a key press, the action bytes.
struct ClipActionSpec {
    std::uint32_t events = 0;
    std::uint8_t keyCode = 0;
    Bytes bytes;
};

struct PlaceSpec {
    std::uint16_t depth = 1;
    bool move = false;
    std::optional<std::uint16_t> characterId;
    std::optional<MatrixSpec> matrix;
    std::optional<CxformSpec> cxform;
    std::optional<std::uint16_t> ratio;
    std::optional<std::string> name;
    std::optional<std::uint16_t> clipDepth;
    // PlaceObject3 only:
    std::optional<std::uint8_t> blendMode;
    std::optional<Bytes> filterList;          // raw FILTERLIST bytes (count first)
    std::optional<std::uint8_t> cacheAsBitmap;
    std::vector<ClipActionSpec> clipActions;  // written when not empty
};
// swfVersion decides the width of the clip event fields.
Bytes placeObject2(const PlaceSpec& p, int swfVersion = 10);
Bytes placeObject3(const PlaceSpec& p, int swfVersion = 10);

// Fill style record (shapes 1-4); the gradient and bitmap forms carry their matrix.
struct GradientStop { std::uint8_t ratio; std::uint32_t rgba; };
struct FillSpec {
    std::uint8_t type = 0x00;                 // 0 solid, 0x10 linear, 0x12 radial, 0x13 focal, 0x40-0x43 bitmap
    std::uint32_t rgba = 0xff0000ff;          // solid colour 0xRRGGBBAA
    MatrixSpec matrix;                        // gradient or bitmap matrix
    std::vector<GradientStop> stops;
    std::uint8_t spread = 0, interpolation = 0;
    double focalPoint = 0;
    std::uint16_t bitmapId = 0;
    static FillSpec solid(std::uint32_t rgba) { FillSpec f; f.rgba = rgba; return f; }
};
struct LineSpec {
    std::uint16_t width = 20;
    std::uint32_t rgba = 0x000000ff;
    // DefineShape4 line style 2 fields
    std::uint8_t startCap = 0, endCap = 0, join = 0;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    double miterLimit = 3;
    std::optional<FillSpec> fill;             // fill-styled stroke
};

// Shape records with absolute coordinates in twips; the builder writes the deltas.
class ShapeBuilder {
public:
    ShapeBuilder& fill(const FillSpec& f) { m_fills.push_back(f); return *this; }
    ShapeBuilder& line(const LineSpec& l) { m_lines.push_back(l); return *this; }
    // Style change: each optional set is written; indexes are 1-based, 0 = none.
    ShapeBuilder& style(std::optional<int> fill0, std::optional<int> fill1, std::optional<int> line);
    ShapeBuilder& moveTo(std::int32_t x, std::int32_t y);
    ShapeBuilder& lineTo(std::int32_t x, std::int32_t y);
    ShapeBuilder& curveTo(std::int32_t cx, std::int32_t cy, std::int32_t ax, std::int32_t ay);
    ShapeBuilder& rect(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h);  // moveTo + 4 lines
    ShapeBuilder& nonZeroWinding(bool on = true) { m_nonZero = on; return *this; }          // shape 4 flag
    // Whole DefineShape tag (tagVersion 1-4 -> codes 2, 22, 32, 83) with these bounds.
    Bytes build(int shapeVersion, std::uint16_t id, std::int32_t xMin, std::int32_t xMax,
                std::int32_t yMin, std::int32_t yMax) const;
    // Just the SHAPE record (no styles) as glyphs use it: one fill bit and no line bits (one line bit
    // when withLine, for morph edges that pick a line style).
    Bytes buildGlyph(bool withLine = false) const;

private:
    struct Record {
        enum Kind { Style, Move, Line, Curve } kind;
        std::optional<int> fill0, fill1, line;
        std::int32_t x = 0, y = 0, cx = 0, cy = 0;
    };
    void writeRecords(BitWriter& bw, int fillBits, int lineBits, bool glyph) const;
    std::vector<FillSpec> m_fills;
    std::vector<LineSpec> m_lines;
    std::vector<Record> m_records;
    bool m_nonZero = false;
};

void writeFillStyle(ByteWriter& w, const FillSpec& f, int shapeVersion);

// A filled rectangle shape (bounds = the rectangle) of one solid colour.
Bytes rectangleShape(std::uint16_t id, std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h,
                     std::uint32_t rgba, int shapeVersion = 3);

// DefineMorphShape (version 1) between two rectangles of solid colours, outlined by a black stroke
// growing from strokeWidth0 to strokeWidth1 twips when either is set.
Bytes morphRectangles(std::uint16_t id, std::int32_t x0, std::int32_t y0, std::int32_t w0, std::int32_t h0,
                      std::uint32_t rgba0, std::int32_t x1, std::int32_t y1, std::int32_t w1, std::int32_t h1,
                      std::uint32_t rgba1, std::uint16_t strokeWidth0 = 0, std::uint16_t strokeWidth1 = 0);

// DefineMorphShape (version 1) of one solid fill going from rgba0 to rgba1, with the edges of two
// builders (the start one picks the fill with style(); the end one has moves and edges only), both
// bounded by `box` (xMin, xMax, yMin, yMax).
Bytes morphShape(std::uint16_t id, const ShapeBuilder& start, const ShapeBuilder& end, std::uint32_t rgba0,
                 std::uint32_t rgba1, const std::array<std::int32_t, 4>& box);

// DefineBitsLossless2 (format 5) from unpremultiplied 0xAARRGGBB pixels.
Bytes bitsLossless2(std::uint16_t id, int width, int height, const std::vector<std::uint32_t>& argb);

// DefineFont3 with the given glyph shapes (each a ShapeBuilder with moveTo/lineTo), codes and advances.
struct GlyphSpec { ShapeBuilder shape; std::uint16_t code; std::int16_t advance; };
Bytes defineFont3(std::uint16_t id, const std::string& name, const std::vector<GlyphSpec>& glyphs);

// DefineText (1 or 2) with one text record: font, colour, height, position and glyph indices/advances.
struct TextGlyph { std::uint32_t index; std::int32_t advance; };
Bytes defineText(std::uint16_t id, int version, std::int32_t xMin, std::int32_t xMax, std::int32_t yMin,
                 std::int32_t yMax, std::uint16_t fontId, std::uint32_t rgba, std::uint16_t height,
                 std::int32_t x, std::int32_t y, const std::vector<TextGlyph>& glyphs);

// Two frames with one definition of each family the engine draws (gradient and stroked shape,
// morph, bitmap and bitmap fill, font and text, sprite, mask): the base of cut and flip sweeps.
Bytes everyFamilyMovie(Compression compression = Compression::None);

}  // namespace vistrel::testing
