#include "player/swf/tags_action.h"

#include <algorithm>

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"

namespace vistrel::swf {

namespace {

std::vector<std::pair<std::uint16_t, std::string>> readAssetList(ByteReader& r) {
    const std::uint16_t count = r.u16();
    std::vector<std::pair<std::uint16_t, std::string>> assets;
    // Every entry takes at least three bytes, so a hostile count cannot reserve much more than the body.
    assets.reserve(std::min<std::size_t>(count, r.remaining() / 3));
    for (std::uint16_t i = 0; i < count; ++i) {
        const std::uint16_t id = r.u16();
        if (r.atEnd()) throw TruncatedData();
        assets.emplace_back(id, r.string());
    }
    return assets;
}

}  // namespace

ActionBytes makeActionBytes(std::span<const std::uint8_t> bytes) {
    return std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
}

DoAction readDoAction(ByteReader& r) { return DoAction{makeActionBytes(r.rest())}; }

DoInitAction readDoInitAction(ByteReader& r) {
    DoInitAction a;
    a.spriteId = r.u16();
    a.actions = makeActionBytes(r.rest());
    return a;
}

std::vector<ClipAction> readClipActions(ByteReader& r, int swfVersion) {
    // SWF 5 stores the event flags in 16 bits; their bits sit where the wider layout has them.
    const bool wide = swfVersion >= 6;
    auto readEvents = [&]() -> std::uint32_t { return wide ? r.u32() : r.u16(); };
    r.u16();   // reserved
    // The union of the records' events: only events that are in it as well are answered.
    const std::uint32_t allEvents = readEvents();
    std::vector<ClipAction> actions;
    // A body that stops exactly where the end marker belongs has lost nothing but the marker.
    while (!r.atEnd()) {
        const std::uint32_t events = readEvents();
        if (events == 0) break;
        const std::uint32_t size = r.u32();
        ByteReader record = r.sub(size);   // the size bounds the key code and the actions
        ClipAction a;
        a.events = events & allEvents;
        if (events & clipevent::kKeyPress) a.keyCode = record.u8();
        a.actions = makeActionBytes(record.rest());
        if (a.events) actions.push_back(std::move(a));
    }
    return actions;
}

std::vector<ButtonAction> readButtonCondActions(ByteReader& r) {
    std::vector<ButtonAction> actions;
    while (!r.atEnd()) {
        // The size counts from the start of the record to the next one; 0 marks the last record.
        const std::uint16_t size = r.u16();
        ButtonAction a;
        a.conditions = r.u16();
        if (size == 0) {
            a.actions = makeActionBytes(r.rest());
            actions.push_back(std::move(a));
            break;
        }
        if (size < 4) throw FormatError("button action record shorter than its header");
        ByteReader body = r.sub(size - 4u);
        a.actions = makeActionBytes(body.rest());
        actions.push_back(std::move(a));
    }
    return actions;
}

DefineButtonCxform readDefineButtonCxform(ByteReader& r) {
    DefineButtonCxform c;
    c.buttonId = r.u16();
    c.cx = readColorTransform(r, false);
    return c;
}

DefineButtonSound readDefineButtonSound(ByteReader& r) {
    DefineButtonSound s;
    s.buttonId = r.u16();
    for (std::size_t i = 0; i < s.soundId.size(); ++i) {
        s.soundId[i] = r.u16();
        if (s.soundId[i] != 0) s.info[i] = readSoundInfo(r);
    }
    return s;
}

ExportAssets readExportAssets(ByteReader& r) { return ExportAssets{readAssetList(r)}; }

ImportAssets readImportAssets(ByteReader& r, int version) {
    ImportAssets a;
    a.url = r.string();
    if (version >= 2) r.skip(2);   // reserved
    a.assets = readAssetList(r);
    return a;
}

}  // namespace vistrel::swf
