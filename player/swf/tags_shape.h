// Shape and morph-shape definitions: styles and the edge records as stored (deltas in twips).
#pragma once

#include <cstdint>
#include <optional>
#include <variant>
#include <vector>

#include "player/swf/records.h"

namespace vistrel::swf {

class ByteReader;

enum class FillType : std::uint8_t {
    Solid = 0x00,
    LinearGradient = 0x10,
    RadialGradient = 0x12,
    FocalGradient = 0x13,
    RepeatingBitmap = 0x40,
    ClippedBitmap = 0x41,
    RepeatingBitmapHard = 0x42,   // not smoothed
    ClippedBitmapHard = 0x43,
};

struct GradientRecord {
    std::uint8_t ratio = 0;
    Rgba color;
    bool operator==(const GradientRecord&) const = default;
};

struct Gradient {
    std::uint8_t spread = 0;          // 0 pad, 1 reflect, 2 repeat
    std::uint8_t interpolation = 0;   // 0 normal RGB, 1 linear RGB
    std::vector<GradientRecord> records;
    double focalPoint = 0;            // -1..1, focal gradients only
    bool operator==(const Gradient&) const = default;
};

struct FillStyle {
    FillType type = FillType::Solid;
    Rgba color;                       // solid fills
    Matrix matrix;                    // gradient or bitmap matrix
    Gradient gradient;
    std::uint16_t bitmapId = 0;
    bool isBitmap() const { return static_cast<std::uint8_t>(type) >= 0x40; }
    bool isGradient() const { return type == FillType::LinearGradient || type == FillType::RadialGradient || type == FillType::FocalGradient; }
};

enum class CapStyle : std::uint8_t { Round = 0, None = 1, Square = 2 };
enum class JoinStyle : std::uint8_t { Round = 0, Bevel = 1, Miter = 2 };

struct LineStyle {
    std::uint16_t width = 0;          // twips
    Rgba color;
    CapStyle startCap = CapStyle::Round, endCap = CapStyle::Round;
    JoinStyle join = JoinStyle::Round;
    double miterLimit = 3;
    bool noHScale = false, noVScale = false, pixelHinting = false, noClose = false;
    std::optional<FillStyle> fill;    // a stroke painted with a fill style (shape 4)
};

struct StyleChange {
    std::optional<std::int32_t> moveX, moveY;   // absolute move, both or neither
    std::optional<std::uint32_t> fill0, fill1, line;
    // New style arrays: later indexes refer to these.
    std::optional<std::vector<FillStyle>> newFills;
    std::optional<std::vector<LineStyle>> newLines;
};
struct StraightEdge { std::int32_t dx = 0, dy = 0; };
struct CurvedEdge { std::int32_t controlDx = 0, controlDy = 0, anchorDx = 0, anchorDy = 0; };
using ShapeRecord = std::variant<StyleChange, StraightEdge, CurvedEdge>;

struct Shape {
    std::vector<FillStyle> fills;
    std::vector<LineStyle> lines;
    std::vector<ShapeRecord> records;
};

struct DefineShape {
    std::uint16_t id = 0;
    int version = 1;                  // 1-4
    Rect bounds;
    Rect edgeBounds;
    bool nonZeroWinding = false;      // shape 4 flag; earlier versions fill even-odd
    Shape shape;
};

struct DefineMorphShape {
    std::uint16_t id = 0;
    int version = 1;
    Rect startBounds, endBounds;
    std::vector<FillStyle> startFills, endFills;   // pairwise
    std::vector<LineStyle> startLines, endLines;
    std::vector<ShapeRecord> startRecords, endRecords;
};

FillStyle readFillStyle(ByteReader& r, int shapeVersion);
LineStyle readLineStyle(ByteReader& r, int shapeVersion);
// A SHAPE record without style arrays (glyphs, morph edges); style indexes index nothing.
std::vector<ShapeRecord> readShapeRecords(ByteReader& r, int shapeVersion);
DefineShape readDefineShape(ByteReader& r, int version);
DefineMorphShape readDefineMorphShape(ByteReader& r, int version);

}  // namespace vistrel::swf
