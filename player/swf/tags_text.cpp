#include "player/swf/tags_text.h"

#include <algorithm>

#include "player/swf/bit_reader.h"
#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

namespace vistrel::swf {

namespace {

// Glyph i spans from its offset to the next one (or to the end of the glyph table).
void readGlyphs(ByteReader& r, std::span<const std::uint8_t> table, const std::vector<std::uint32_t>& offsets,
                std::uint32_t tableEnd, std::vector<std::vector<ShapeRecord>>& glyphs) {
    (void)r;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::uint32_t begin = offsets[i];
        const std::uint32_t end = i + 1 < offsets.size() ? offsets[i + 1] : tableEnd;
        std::vector<ShapeRecord> glyph;
        if (begin < end && end <= table.size()) {
            ByteReader g(table.subspan(begin, end - begin));
            try {
                glyph = readShapeRecords(g, 1);
            } catch (const TruncatedData&) {
                // A damaged glyph stays empty; the rest of the font is still usable.
            } catch (const FormatError&) {
            }
        }
        glyphs.push_back(std::move(glyph));
    }
}

}  // namespace

DefineFont readDefineFont(ByteReader& r, int version) {
    DefineFont f;
    f.id = r.u16();
    f.version = version;
    if (version == 1) {
        // The first offset tells how many offsets there are.
        const auto table = r.whole().subspan(r.position());
        ByteReader offs(table);
        if (offs.remaining() < 2) return f;
        const std::uint16_t first = offs.u16();
        const std::size_t count = std::min<std::size_t>(first / 2, table.size() / 2);
        std::vector<std::uint32_t> offsets{first};
        for (std::size_t i = 1; i < count; ++i) offsets.push_back(offs.u16());
        readGlyphs(r, table, offsets, static_cast<std::uint32_t>(table.size()), f.glyphs);
        r.rest();
        return f;
    }
    const std::uint8_t flags = r.u8();
    f.hasLayout = (flags & 0x80) != 0;
    f.shiftJis = (flags & 0x40) != 0;
    f.smallText = (flags & 0x20) != 0;
    f.ansi = (flags & 0x10) != 0;
    const bool wideOffsets = (flags & 0x08) != 0;
    const bool wideCodes = (flags & 0x04) != 0;   // real version-3 fonts do come with 8-bit codes
    f.italic = (flags & 0x02) != 0;
    f.bold = (flags & 0x01) != 0;
    r.u8();   // language code
    const auto nameBytes = r.bytes(r.u8());
    f.name.assign(nameBytes.begin(), nameBytes.end());
    while (!f.name.empty() && f.name.back() == '\0') f.name.pop_back();
    const std::size_t count = r.u16();
    const std::size_t tableStart = r.position();
    const auto table = r.whole().subspan(tableStart);
    std::vector<std::uint32_t> offsets;
    offsets.reserve(std::min(count, table.size() / 2));
    for (std::size_t i = 0; i < count; ++i) offsets.push_back(wideOffsets ? r.u32() : r.u16());
    // A font without glyphs (a device font) usually stores no code table offset either.
    std::uint32_t codeTableOffset = static_cast<std::uint32_t>(r.position() - tableStart);
    if (count > 0) codeTableOffset = wideOffsets ? r.u32() : r.u16();
    readGlyphs(r, table, offsets, codeTableOffset, f.glyphs);
    const std::size_t codePos = tableStart + codeTableOffset;
    if (codePos > r.whole().size()) throw TruncatedData();
    if (codePos > r.position()) r.skip(codePos - r.position());
    for (std::size_t i = 0; i < count; ++i) f.codes.push_back(wideCodes ? r.u16() : r.u8());
    if (f.hasLayout && !r.atEnd()) {
        f.ascent = r.s16();
        f.descent = r.s16();
        f.leading = r.s16();
        for (std::size_t i = 0; i < count; ++i) f.advances.push_back(r.s16());
        for (std::size_t i = 0; i < count; ++i) readRect(r);
        const std::size_t kerningCount = r.u16();
        for (std::size_t i = 0; i < kerningCount && !r.atEnd(); ++i) {
            KerningPair k;
            k.left = wideCodes ? r.u16() : r.u8();
            k.right = wideCodes ? r.u16() : r.u8();
            k.adjustment = r.s16();
            f.kerning.push_back(k);
        }
    }
    return f;
}

DefineFontInfo readDefineFontInfo(ByteReader& r, int version) {
    DefineFontInfo info;
    info.version = version;
    info.fontId = r.u16();
    const auto nameBytes = r.bytes(r.u8());
    info.name.assign(nameBytes.begin(), nameBytes.end());
    while (!info.name.empty() && info.name.back() == '\0') info.name.pop_back();
    const std::uint8_t flags = r.u8();
    info.smallText = (flags & 0x20) != 0;
    info.shiftJis = (flags & 0x10) != 0;
    info.ansi = (flags & 0x08) != 0;
    info.italic = (flags & 0x04) != 0;
    info.bold = (flags & 0x02) != 0;
    const bool wide = (flags & 0x01) != 0;
    if (version >= 2) r.u8();   // language code
    while (r.remaining() >= (wide ? 2u : 1u)) info.codes.push_back(wide ? r.u16() : r.u8());
    return info;
}

DefineText readDefineText(ByteReader& r, int version) {
    DefineText t;
    t.id = r.u16();
    t.version = version;
    t.bounds = readRect(r);
    t.matrix = readMatrix(r);
    const int glyphBits = r.u8();
    const int advanceBits = r.u8();
    if (glyphBits > 32 || advanceBits > 32) throw FormatError("glyph field wider than 32 bits");
    while (!r.atEnd()) {
        const std::uint8_t flags = r.u8();
        if (flags == 0) break;
        TextRecord rec;
        if (flags & 0x08) rec.fontId = r.u16();
        if (flags & 0x04) rec.color = version >= 2 ? readRgba(r) : readRgb(r);
        if (flags & 0x01) rec.xOffset = r.s16();
        if (flags & 0x02) rec.yOffset = r.s16();
        if (flags & 0x08) rec.height = r.u16();
        const int count = r.u8();
        BitReader bits(r);
        for (int i = 0; i < count; ++i) {
            GlyphEntry g;
            g.index = bits.ub(glyphBits);
            g.advance = bits.sb(advanceBits);
            rec.glyphs.push_back(g);
        }
        t.records.push_back(std::move(rec));
    }
    return t;
}

DefineEditText readDefineEditText(ByteReader& r) {
    DefineEditText e;
    e.id = r.u16();
    e.bounds = readRect(r);
    const std::uint8_t f1 = r.u8(), f2 = r.u8();
    const bool hasText = f1 & 0x80;
    e.wordWrap = f1 & 0x40;
    e.multiline = f1 & 0x20;
    e.password = f1 & 0x10;
    e.readOnly = f1 & 0x08;
    const bool hasColor = f1 & 0x04, hasMaxLength = f1 & 0x02, hasFont = f1 & 0x01;
    const bool hasFontClass = f2 & 0x80;
    e.autoSize = f2 & 0x40;
    const bool hasLayout = f2 & 0x20;
    e.noSelect = f2 & 0x10;
    e.border = f2 & 0x08;
    e.wasStatic = f2 & 0x04;
    e.html = f2 & 0x02;
    e.useOutlines = f2 & 0x01;
    if (hasFont) e.fontId = r.u16();
    if (hasFontClass) e.fontClass = r.string();
    if (hasFont || hasFontClass) e.fontHeight = r.u16();
    if (hasColor) e.color = readRgba(r);
    if (hasMaxLength) e.maxLength = r.u16();
    if (hasLayout) {
        e.align = r.u8();
        e.leftMargin = r.u16();
        e.rightMargin = r.u16();
        e.indent = r.s16();
        e.leading = r.s16();
    }
    e.variableName = r.string();
    if (hasText) e.initialText = r.string();
    return e;
}

CsmTextSettings readCsmTextSettings(ByteReader& r) {
    CsmTextSettings c;
    c.id = r.u16();
    const std::uint8_t flags = r.u8();
    c.useFlashType = static_cast<std::uint8_t>(flags >> 6);
    c.gridFit = static_cast<std::uint8_t>((flags >> 3) & 7);
    c.thickness = r.f32();
    c.sharpness = r.f32();
    return c;
}

}  // namespace vistrel::swf
