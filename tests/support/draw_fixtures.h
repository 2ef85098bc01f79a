// Pieces of the movies the drawing tests write: a placement matrix, filter lists, a font of two plain
// glyphs and a text field bound to a variable, so every drawing test exercises the same content.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tests/support/action_writer.h"
#include "tests/support/swf_writer.h"

namespace vistrel::testing {

// Moved to (x, y) twips, scaled evenly and turned by `rotate` (the matrix's skew terms).
inline MatrixSpec placedAt(std::int32_t x, std::int32_t y, double scale = 1, double rotate = 0) {
    MatrixSpec m = MatrixSpec::translate(x, y);
    m.scaleX = m.scaleY = scale;
    if (rotate != 0) m.rotateSkew0 = rotate, m.rotateSkew1 = -rotate;
    return m;
}

// A filter list of one translucent black drop shadow.
inline Bytes dropShadowFilter(double blur, double distance) {
    ByteWriter w;
    w.u8(1).u8(0);
    w.rgba(0x000000c0).fixed16(blur).fixed16(blur).fixed16(0.785398).fixed16(distance).fixed8(1).u8(0x20 | (1 << 0));
    return w.take();
}

// A filter list of one blur of `amount` pixels both ways, one pass.
inline Bytes blurFilter(double amount) {
    ByteWriter w;
    w.u8(1).u8(1).fixed16(amount).fixed16(amount).u8(1 << 3);
    return w.take();
}

// A font whose glyph 'A' is a box half an em wide, 'B' a triangle.
inline Bytes boxFont(std::uint16_t id) {
    ShapeBuilder a, b;
    a.style(std::nullopt, 1, std::nullopt).rect(0, -20480, 10240, 20480);
    b.style(std::nullopt, 1, std::nullopt).moveTo(0, 0).lineTo(10240, 0).lineTo(5120, -20480).lineTo(0, 0);
    return defineFont3(id, "Box", {{a, 'A', 12288}, {b, 'B', 12288}});
}

// An edit text of that font, `width` x `height` twips with glyphs `fontHeight` twips high, showing the
// variable `v` (first `initial`).
inline Bytes boundText(std::uint16_t id, std::uint16_t fontId, std::int32_t width, std::int32_t height,
                       std::uint16_t fontHeight, const std::string& initial) {
    ByteWriter w;
    w.u16(id).rect(0, width, 0, height);
    w.u8(0x80 | 0x20 | 0x04 | 0x01).u8(0x20 | 0x01);
    w.u16(fontId).u16(fontHeight).rgba(0x202080ff);
    w.u8(0).u16(0).u16(0).u16(0).s16(0);
    w.string("v").string(initial);
    return tag(37, w.data());
}

// Actions that set the variable `name` to the string `value`.
inline Bytes setVariableAction(const std::string& name, const std::string& value) {
    ActionWriter a;
    a.push({Push::str(name), Push::str(value)}).op(op::kSetVariable);
    return doAction(a.end());
}

}  // namespace vistrel::testing
