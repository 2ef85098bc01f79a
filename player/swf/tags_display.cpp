#include "player/swf/tags_display.h"

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

namespace vistrel::swf {

std::size_t measureFilterList(ByteReader r) {
    const std::size_t start = r.position();
    const int count = r.u8();
    for (int i = 0; i < count; ++i) {
        const std::uint8_t id = r.u8();
        switch (id) {
        case 0: r.skip(23); break;   // drop shadow
        case 1: r.skip(9); break;    // blur
        case 2: r.skip(15); break;   // glow
        case 3: r.skip(27); break;   // bevel
        case 4:                      // gradient glow
        case 7: {                    // gradient bevel
            const std::size_t colors = r.u8();
            r.skip(colors * 5 + 19);
            break;
        }
        case 5: {                    // convolution
            const std::size_t x = r.u8(), y = r.u8();
            r.skip(8 + 4 * x * y + 5);
            break;
        }
        case 6: r.skip(80); break;   // colour matrix
        default: throw FormatError("unknown filter");
        }
    }
    return r.position() - start;
}

PlaceObject readPlaceObject(ByteReader& r, int version, int swfVersion) {
    PlaceObject p;
    p.version = version;
    if (version == 1) {
        p.character = r.u16();
        p.depth = r.u16();
        p.matrix = readMatrix(r);
        if (!r.atEnd()) p.colorTransform = readColorTransform(r, false);
        return p;
    }
    const std::uint8_t flags = r.u8();
    const std::uint8_t flags2 = version >= 3 ? r.u8() : 0;
    p.depth = r.u16();
    p.move = (flags & 0x01) != 0;
    if (version >= 3 && ((flags2 & 0x08) || ((flags2 & 0x10) && (flags & 0x02)))) r.string();   // class name
    if (flags & 0x02) p.character = r.u16();
    if (flags & 0x04) p.matrix = readMatrix(r);
    if (flags & 0x08) p.colorTransform = readColorTransform(r, true);
    if (flags & 0x10) p.ratio = r.u16();
    if (flags & 0x20) p.name = r.string();
    if (flags & 0x40) p.clipDepth = r.u16();
    if (version >= 3) {
        if (flags2 & 0x01) {
            const std::size_t n = measureFilterList(ByteReader(r.whole().subspan(r.position())));
            auto bytes = r.bytes(n);
            p.filterList = std::vector<std::uint8_t>(bytes.begin(), bytes.end());
        }
        if (flags2 & 0x02) p.blendMode = r.u8();
        if ((flags2 & 0x04) && !r.atEnd()) p.cacheAsBitmap = r.u8() != 0;
        if ((flags2 & 0x20) && !r.atEnd()) p.visible = r.u8() != 0;
        if ((flags2 & 0x40) && !r.atEnd()) readRgba(r);   // opaque background: not drawn, but in the way
    }
    if (flags & 0x80) p.clipActions = readClipActions(r, swfVersion);
    return p;
}

RemoveObject readRemoveObject(ByteReader& r, int version) {
    RemoveObject o;
    if (version == 1) o.character = r.u16();
    o.depth = r.u16();
    return o;
}

}  // namespace vistrel::swf
