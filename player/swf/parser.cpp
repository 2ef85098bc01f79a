#include "player/swf/parser.h"

#include "player/swf/byte_reader.h"
#include "player/swf/errors.h"
#include "player/swf/filter_list.h"

namespace vistrel::swf {

namespace {

DefineSprite readDefineSprite(ByteReader& r, int swfVersion, Diagnostics& diagnostics, int nesting,
                              ParseBudget* budget) {
    DefineSprite s;
    s.id = r.u16();
    s.frameCount = r.u16();
    s.tagBytes = r.remaining();
    if (nesting + 1 > kMaxSpriteNesting) {
        addDiagnostic(diagnostics, {tagcode::kDefineSprite, r.position(), "sprites nested too deeply; contents skipped"});
        r.rest();
        return s;
    }
    s.tags = parseTags(r, swfVersion, diagnostics, nesting + 1, budget);
    return s;
}

DefineButton readDefineButton(ByteReader& r, int version) {
    DefineButton b;
    b.id = r.u16();
    b.version = version;
    std::size_t actionsAt = 0;   // 0: no condition actions
    if (version == 2) {
        b.trackAsMenu = (r.u8() & 0x01) != 0;
        const std::size_t field = r.position();
        const std::uint16_t offset = r.u16();   // counted from the start of this field
        if (offset != 0) actionsAt = field + offset;
    }
    while (!r.atEnd()) {
        const std::uint8_t flags = r.u8();
        if (flags == 0) break;
        ButtonRecord rec;
        rec.hitTest = flags & 0x08;
        rec.down = flags & 0x04;
        rec.over = flags & 0x02;
        rec.up = flags & 0x01;
        rec.character = r.u16();
        rec.depth = r.u16();
        rec.matrix = readMatrix(r);
        if (version == 2) {
            rec.colorTransform = readColorTransform(r, true);
            if (flags & 0x10) {
                const std::size_t n = measureFilterList(r.whole().subspan(r.position()));
                auto bytes = r.bytes(n);
                rec.filterList.assign(bytes.begin(), bytes.end());
            }
            if (flags & 0x20) rec.blendMode = r.u8();
        }
        b.records.push_back(std::move(rec));
    }
    if (version == 1) {
        // One action block for the whole button, run when it is clicked.
        if (!r.atEnd()) b.actions.push_back({buttoncond::kOverDownToOverUp, makeActionBytes(r.rest())});
        return b;
    }
    if (actionsAt == 0) {
        r.rest();
        return b;
    }
    if (actionsAt < r.position()) throw FormatError("button actions start inside its character records");
    r.skip(actionsAt - r.position());
    b.actions = readButtonCondActions(r);
    return b;
}

DefineBitmap readBitmap(std::uint16_t code, ByteReader& r) {
    DefineBitmap b;
    b.tagCode = code;
    b.id = r.u16();
    const auto rest = r.rest();
    b.body.assign(rest.begin(), rest.end());
    return b;
}

}  // namespace

void addDiagnostic(Diagnostics& diagnostics, Diagnostic diagnostic) {
    if (diagnostics.size() < kMaxDiagnostics)
        diagnostics.push_back(std::move(diagnostic));
    else if (diagnostics.size() == kMaxDiagnostics)
        diagnostics.push_back({diagnostic.tagCode, diagnostic.offset, "further problems are not listed"});
}

Tag parseTagBody(std::uint16_t code, ByteReader& r, int swfVersion, Diagnostics& diagnostics, int nesting,
                 ParseBudget* budget) {
    using namespace tagcode;
    switch (code) {
    case kEnd: return EndTag{};
    case kShowFrame: return ShowFrame{};
    case kDefineShape: return readDefineShape(r, 1);
    case kDefineShape2: return readDefineShape(r, 2);
    case kDefineShape3: return readDefineShape(r, 3);
    case kDefineShape4: return readDefineShape(r, 4);
    case kDefineMorphShape: return readDefineMorphShape(r, 1);
    case kDefineMorphShape2: return readDefineMorphShape(r, 2);
    case kPlaceObject: return readPlaceObject(r, 1, swfVersion);
    case kPlaceObject2: return readPlaceObject(r, 2, swfVersion);
    case kPlaceObject3: return readPlaceObject(r, 3, swfVersion);
    case kRemoveObject: return readRemoveObject(r, 1);
    case kRemoveObject2: return readRemoveObject(r, 2);
    case kFrameLabel: return FrameLabel{r.string()};
    case kSetBackgroundColor: return SetBackgroundColor{readRgb(r)};
    case kDefineBits:
    case kDefineBitsJpeg2:
    case kDefineBitsJpeg3:
    case kDefineBitsJpeg4:
    case kDefineBitsLossless:
    case kDefineBitsLossless2: return readBitmap(code, r);
    case kJpegTables: {
        const auto rest = r.rest();
        return JpegTables{std::vector<std::uint8_t>(rest.begin(), rest.end())};
    }
    case kDefineSprite: return readDefineSprite(r, swfVersion, diagnostics, nesting, budget);
    case kDefineFont: return readDefineFont(r, 1);
    case kDefineFont2: return readDefineFont(r, 2);
    case kDefineFont3: return readDefineFont(r, 3);
    case kDefineFontInfo: return readDefineFontInfo(r, 1);
    case kDefineFontInfo2: return readDefineFontInfo(r, 2);
    case kDefineText: return readDefineText(r, 1);
    case kDefineText2: return readDefineText(r, 2);
    case kDefineEditText: return readDefineEditText(r);
    case kCsmTextSettings: return readCsmTextSettings(r);
    case kDefineScalingGrid: {
        DefineScalingGrid g;
        g.id = r.u16();
        g.splitter = readRect(r);
        return g;
    }
    case kDefineButton: return readDefineButton(r, 1);
    case kDefineButton2: return readDefineButton(r, 2);
    case kDefineButtonCxform: return readDefineButtonCxform(r);
    case kDefineButtonSound: return readDefineButtonSound(r);
    case kDoAction: return readDoAction(r);
    case kDoInitAction: return readDoInitAction(r);
    case kExportAssets: return readExportAssets(r);
    case kImportAssets: return readImportAssets(r, 1);
    case kImportAssets2: return readImportAssets(r, 2);
    case kDefineSound: return readDefineSound(r);
    case kStartSound: return readStartSound(r, 1);
    case kStartSound2: return readStartSound(r, 2);
    case kSoundStreamHead: return readSoundStreamHead(r, 1);
    case kSoundStreamHead2: return readSoundStreamHead(r, 2);
    case kSoundStreamBlock: return readSoundStreamBlock(r);
    case kDefineVideoStream: return readDefineVideoStream(r);
    case kVideoFrame: return readVideoFrame(r);
    default: {
        const std::size_t n = r.remaining();
        r.rest();
        return UnknownTag{code, n};
    }
    }
}

std::vector<TagRecord> parseTags(ByteReader& stream, int swfVersion, Diagnostics& diagnostics, int nesting,
                                 ParseBudget* budget) {
    ParseBudget own;
    if (!budget) budget = &own;
    std::vector<TagRecord> tags;
    int frames = 0;
    while (!stream.atEnd()) {
        const std::size_t offset = stream.position();
        if (budget->tagsLeft == 0) {
            addDiagnostic(diagnostics, {0, offset, "more tags than a movie may hold; the rest is ignored"});
            break;
        }
        if (stream.remaining() < 2) {
            addDiagnostic(diagnostics, {0, offset, "incomplete tag header at the end of the data"});
            break;
        }
        const std::uint16_t head = stream.u16();
        const std::uint16_t code = static_cast<std::uint16_t>(head >> 6);
        if (frames == kMaxFrames && code != tagcode::kEnd) {
            addDiagnostic(diagnostics, {code, offset, "more frames than a timeline can number; the rest is ignored"});
            break;
        }
        std::size_t length = head & 0x3f;
        if (length == 0x3f) {
            if (stream.remaining() < 4) {
                addDiagnostic(diagnostics, {code, offset, "incomplete tag header at the end of the data"});
                break;
            }
            length = stream.u32();
        }
        if (length > stream.remaining()) {
            // Every tag after this one would be read from the wrong place: the movie ends here.
            addDiagnostic(diagnostics, {code, offset, "tag runs past the end of the data"});
            break;
        }
        ByteReader body = stream.sub(length);
        --budget->tagsLeft;
        TagRecord rec{code, offset, UnknownTag{code, length}};
        try {
            rec.tag = parseTagBody(code, body, swfVersion, diagnostics, nesting, budget);
        } catch (const TruncatedData&) {
            addDiagnostic(diagnostics, {code, offset, "tag is shorter than its fields"});
            rec.tag = UnknownTag{code, length};
        } catch (const FormatError& e) {
            addDiagnostic(diagnostics, {code, offset, e.what()});
            rec.tag = UnknownTag{code, length};
        }
        if (code == tagcode::kShowFrame) ++frames;
        const bool end = code == tagcode::kEnd;
        tags.push_back(std::move(rec));
        if (end) break;
    }
    return tags;
}

ParsedMovie parseMovie(std::span<const std::uint8_t> file) {
    ParsedMovie movie;
    DecompressedMovie d = decompressMovie(file);
    movie.header.version = d.version;
    movie.header.compression = d.compression;
    movie.header.declaredLength = d.declaredLength;
    if (d.truncated) addDiagnostic(movie.diagnostics, {0, d.body.size(), "the movie data ends early"});
    // The movie is as long as its header says: what follows is never played. A length too short for
    // the header itself is ignored rather than leaving nothing.
    if (!d.body.empty() && d.declaredLength >= 8) {
        const std::size_t rectBytes = (5 + 4 * std::size_t(d.body[0] >> 3) + 7) / 8;
        const std::size_t declaredBody = d.declaredLength - 8;
        if (declaredBody >= rectBytes + 4 && declaredBody < d.body.size()) {
            addDiagnostic(movie.diagnostics, {0, declaredBody, "data past the movie's declared length is left out"});
            d.body.resize(declaredBody);
        }
    }
    ByteReader r(d.body);
    movie.header.frameSize = readRect(r);
    movie.header.frameRate = r.u16() / 256.0;
    movie.header.frameCount = r.u16();
    movie.tags = parseTags(r, d.version, movie.diagnostics);
    // FileAttributes must be the first tag; its flags decide the movie's sandbox.
    if (!movie.tags.empty() && movie.tags.front().code == 69) {
        std::size_t at = movie.tags.front().offset;
        if (at + 2 <= d.body.size()) at += (d.body[at] & 0x3f) == 0x3f ? 6 : 2;   // past the tag header
        if (at + 4 <= d.body.size())
            movie.header.fileAttributes = std::uint32_t(d.body[at]) | std::uint32_t(d.body[at + 1]) << 8 |
                                          std::uint32_t(d.body[at + 2]) << 16 | std::uint32_t(d.body[at + 3]) << 24;
    }
    return movie;
}

}  // namespace vistrel::swf
