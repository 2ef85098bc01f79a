// Font and text definitions: glyph outlines, code tables, layout, static and edit texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/swf/records.h"
#include "player/swf/tags_shape.h"

namespace vistrel::swf {

class ByteReader;

struct KerningPair { std::uint16_t left = 0, right = 0; std::int16_t adjustment = 0; };

struct DefineFont {
    std::uint16_t id = 0;
    int version = 1;                              // 1-3; version 3 outlines are 20 times finer
    std::string name;
    bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false;
    std::vector<std::vector<ShapeRecord>> glyphs;
    std::vector<std::uint16_t> codes;             // per glyph; empty until a font info supplies them
    bool hasLayout = false;
    std::int16_t ascent = 0, descent = 0, leading = 0;
    std::vector<std::int16_t> advances;
    std::vector<KerningPair> kerning;
};

struct DefineFontInfo {
    std::uint16_t fontId = 0;
    int version = 1;
    std::string name;
    bool bold = false, italic = false, smallText = false, shiftJis = false, ansi = false;
    std::vector<std::uint16_t> codes;
};

struct GlyphEntry { std::uint32_t index = 0; std::int32_t advance = 0; };

// One run of a static text: style changes (each optional) and the glyphs that follow.
struct TextRecord {
    std::optional<std::uint16_t> fontId;
    std::optional<Rgba> color;
    std::optional<std::int16_t> xOffset, yOffset;
    std::optional<std::uint16_t> height;
    std::vector<GlyphEntry> glyphs;
};

struct DefineText {
    std::uint16_t id = 0;
    int version = 1;
    Rect bounds;
    Matrix matrix;
    std::vector<TextRecord> records;
};

struct DefineEditText {
    std::uint16_t id = 0;
    Rect bounds;
    bool wordWrap = false, multiline = false, password = false, readOnly = false, autoSize = false;
    bool noSelect = false, border = false, wasStatic = false, html = false, useOutlines = false;
    std::optional<std::uint16_t> fontId;
    std::string fontClass;
    std::uint16_t fontHeight = 240;               // twips
    std::optional<Rgba> color;
    std::optional<std::uint16_t> maxLength;
    std::uint8_t align = 0;                       // 0 left, 1 right, 2 centre, 3 justify
    std::uint16_t leftMargin = 0, rightMargin = 0;
    std::int16_t indent = 0;                      // may reach left of the margin
    std::int16_t leading = 0;
    std::string variableName;
    std::string initialText;
};

DefineFont readDefineFont(ByteReader& r, int version);
DefineFontInfo readDefineFontInfo(ByteReader& r, int version);
DefineText readDefineText(ByteReader& r, int version);
DefineEditText readDefineEditText(ByteReader& r);

// CSMTextSettings: how a text character is anti-aliased.
struct CsmTextSettings {
    std::uint16_t id = 0;
    std::uint8_t useFlashType = 0;   // 1: advanced anti-aliasing
    std::uint8_t gridFit = 0;        // 0 none, 1 pixel, 2 subpixel
    float thickness = 0, sharpness = 0;
};
CsmTextSettings readCsmTextSettings(ByteReader& r);

}  // namespace vistrel::swf
