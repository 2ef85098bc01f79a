#include "player/swf/tags_display.h"

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"
#include "player/swf/filter_list.h"

namespace vistrel::swf {

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
            const std::size_t n = measureFilterList(r.whole().subspan(r.position()));
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
