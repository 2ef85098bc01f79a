#include "player/sound/id3.h"

#include <algorithm>
#include <utility>

namespace vistrel::sound {

namespace {

// Frames are at most this large; a tag claiming more is read up to what the file holds.
constexpr std::size_t kMaxFrame = std::size_t(1) << 20;

std::uint32_t syncsafe(const std::uint8_t* p) {
    return (std::uint32_t(p[0] & 0x7f) << 21) | (std::uint32_t(p[1] & 0x7f) << 14) | (std::uint32_t(p[2] & 0x7f) << 7) |
           std::uint32_t(p[3] & 0x7f);
}
std::uint32_t bigEndian(const std::uint8_t* p, int n) {
    std::uint32_t v = 0;
    for (int i = 0; i < n; ++i) v = (v << 8) | p[i];
    return v;
}

// One string in the encoding the frame's first byte names, up to its terminator; `used` gets the bytes
// it took, terminator included.
QString decodeString(int encoding, std::span<const std::uint8_t> b, std::size_t* used = nullptr) {
    const bool wide = encoding == 1 || encoding == 2;
    std::size_t end = 0;
    if (wide) {
        while (end + 1 < b.size() && (b[end] || b[end + 1])) end += 2;
        if (end + 1 >= b.size()) end = b.size() & ~std::size_t(1);
    } else {
        while (end < b.size() && b[end]) ++end;
    }
    if (used) *used = std::min(b.size(), end + (wide ? 2 : 1));
    const auto* p = b.data();
    switch (encoding) {
    case 1:
    case 2: {
        bool little = false;
        std::size_t at = 0;
        if (encoding == 1 && end >= 2) {
            if (p[0] == 0xff && p[1] == 0xfe) little = true;
            if ((p[0] == 0xff && p[1] == 0xfe) || (p[0] == 0xfe && p[1] == 0xff)) at = 2;
        }
        QString out;
        for (; at + 1 < b.size() && at < end; at += 2)
            out.append(QChar(static_cast<char16_t>(little ? (p[at + 1] << 8 | p[at]) : (p[at] << 8 | p[at + 1]))));
        return out;
    }
    case 3: return QString::fromUtf8(reinterpret_cast<const char*>(p), static_cast<qsizetype>(end));
    default: return QString::fromLatin1(reinterpret_cast<const char*>(p), static_cast<qsizetype>(end));
    }
}

const char* familiarName(const std::string& id) {
    static const std::pair<const char*, const char*> names[] = {{"TIT2", "songname"}, {"TPE1", "artist"},
                                                                {"TALB", "album"},    {"TYER", "year"},
                                                                {"TCON", "genre"},    {"TRCK", "track"},
                                                                {"COMM", "comment"}};
    for (const auto& [frame, name] : names)
        if (id == frame) return name;
    return nullptr;
}

// Version 2.2 names its frames with three letters.
std::string longId(const std::string& id) {
    static const std::pair<const char*, const char*> ids[] = {
        {"TT2", "TIT2"}, {"TT3", "TIT3"}, {"TP1", "TPE1"}, {"TP2", "TPE2"}, {"TAL", "TALB"}, {"TYE", "TYER"},
        {"TCO", "TCON"}, {"TRK", "TRCK"}, {"COM", "COMM"}, {"TCM", "TCOM"}, {"TPA", "TPOS"}, {"TLE", "TLEN"},
        {"TOT", "TOAL"}, {"TOA", "TOPE"}, {"TOF", "TOFN"}, {"TOR", "TORY"}, {"TMT", "TMED"}};
    for (const auto& [shortId, full] : ids)
        if (id == shortId) return full;
    return id;
}

void add(Id3Tags& tags, const std::string& id, const QString& text) {
    tags.frames.push_back({id, text});
    if (const char* name = familiarName(id)) tags.frames.push_back({name, text});
}

void readVersion2(std::span<const std::uint8_t> file, Id3Tags& tags) {
    if (file.size() < 10 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return;
    const int major = file[3];
    if (major < 2 || major > 4) return;
    const std::uint8_t flags = file[5];
    const std::size_t size = syncsafe(&file[6]);
    const std::size_t total = 10 + size + ((major == 4 && (flags & 0x10)) ? 10 : 0);
    tags.found = true;
    tags.audioBegin = std::min(total, file.size());
    std::vector<std::uint8_t> body(file.begin() + 10, file.begin() + static_cast<std::ptrdiff_t>(std::min(file.size(), 10 + size)));
    // Unsynchronisation of the whole tag (2.2 and 2.3): every FF 00 stands for FF.
    if ((flags & 0x80) && major < 4) {
        std::vector<std::uint8_t> plain;
        plain.reserve(body.size());
        for (std::size_t i = 0; i < body.size(); ++i) {
            plain.push_back(body[i]);
            if (body[i] == 0xff && i + 1 < body.size() && body[i + 1] == 0) ++i;
        }
        body = std::move(plain);
    }
    std::size_t at = 0;
    if ((flags & 0x40) && major >= 3 && body.size() >= 4) {   // an extended header is skipped
        const std::size_t ext = major == 4 ? syncsafe(body.data()) : bigEndian(body.data(), 4) + 4;
        at = std::min(ext, body.size());
    }
    const std::size_t idLength = major == 2 ? 3 : 4, headLength = major == 2 ? 6 : 10;
    while (at + headLength <= body.size()) {
        const std::uint8_t* h = &body[at];
        if (h[0] == 0) break;   // padding
        const std::string rawId(reinterpret_cast<const char*>(h), idLength);
        std::size_t frameSize = major == 2 ? bigEndian(h + 3, 3) : major == 4 ? syncsafe(h + 4) : bigEndian(h + 4, 4);
        const std::uint16_t frameFlags = major == 2 ? 0 : static_cast<std::uint16_t>(bigEndian(h + 8, 2));
        at += headLength;
        frameSize = std::min({frameSize, body.size() - at, kMaxFrame});
        std::span<const std::uint8_t> data(body.data() + at, frameSize);
        at += frameSize;
        // Compressed or encrypted frames are left out.
        const bool packed = major == 3 ? (frameFlags & 0x00c0) != 0 : major == 4 ? (frameFlags & 0x000c) != 0 : false;
        if (packed || data.empty()) continue;
        const std::string id = major == 2 ? longId(rawId) : rawId;
        const int encoding = data[0];
        if (id[0] == 'T' && id != "TXXX") {
            add(tags, id, decodeString(encoding, data.subspan(1)));
        } else if (id == "COMM" && data.size() >= 4) {
            std::size_t used = 0;
            decodeString(encoding, data.subspan(4), &used);   // the short description
            add(tags, id, decodeString(encoding, data.subspan(std::min(data.size(), 4 + used))));
        }
    }
}

void readVersion1(std::span<const std::uint8_t> file, Id3Tags& tags) {
    if (file.size() < tags.audioBegin + 128) return;
    const std::uint8_t* t = file.data() + file.size() - 128;
    if (t[0] != 'T' || t[1] != 'A' || t[2] != 'G') return;
    tags.audioEnd = file.size() - 128;
    const bool hadVersion2 = !tags.frames.empty();
    tags.found = true;
    if (hadVersion2) return;   // the richer tag says it all
    auto field = [&](std::size_t at, std::size_t n) {
        std::size_t end = 0;
        while (end < n && t[at + end]) ++end;
        return QString::fromLatin1(reinterpret_cast<const char*>(t + at), static_cast<qsizetype>(end)).trimmed();
    };
    tags.frames.push_back({"songname", field(3, 30)});
    tags.frames.push_back({"artist", field(33, 30)});
    tags.frames.push_back({"album", field(63, 30)});
    tags.frames.push_back({"year", field(93, 4)});
    // Version 1.1 keeps the track number in the comment's last byte after a zero.
    const bool hasTrack = t[125] == 0 && t[126] != 0;
    tags.frames.push_back({"comment", field(97, hasTrack ? 28 : 30)});
    if (hasTrack) tags.frames.push_back({"track", QString::number(t[126])});
    tags.frames.push_back({"genre", QString::number(t[127])});
}

}  // namespace

Id3Tags readId3(std::span<const std::uint8_t> file) {
    Id3Tags tags;
    tags.audioEnd = file.size();
    readVersion2(file, tags);
    readVersion1(file, tags);
    tags.audioEnd = std::max(tags.audioEnd, tags.audioBegin);
    return tags;
}

}  // namespace vistrel::sound
