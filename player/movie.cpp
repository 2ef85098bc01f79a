#include "player/movie.h"

#include <algorithm>

#include <map>

#include <QFile>
#include <QFileInfo>

#include "player/bitmap/bitmap_decode.h"
#include "player/edit_text.h"
#include "player/import_assets.h"
#include "player/morph.h"
#include "player/overloaded.h"
#include "player/static_text.h"
#include "player/swf/errors.h"
#include "player/video/video_stream.h"

namespace vistrel::player {

namespace {

constexpr std::uint32_t kShapeKind = 1, kTextKind = 2, kEditTextKind = 3, kBitmapKind = 4;

const ShapePaths& emptyPaths() {
    static const ShapePaths empty;
    return empty;
}

// Movies made before version 8 had no per-fill smoothing choice: their bitmap fills are drawn with
// the nearest pixel whichever fill type they name.
void applyBitmapSmoothingOfVersion(ShapePaths& paths, int version) {
    if (version >= 8) return;
    for (DrawItem& item : paths.items) item.paint.smooth = false;
}

}  // namespace

std::shared_ptr<Movie> Movie::fromBytes(std::span<const std::uint8_t> data) {
    std::shared_ptr<Movie> movie(new Movie());
    movie->m_byteSize = static_cast<std::int64_t>(data.size());
    movie->load(data, nullptr);
    return movie;
}

std::shared_ptr<Movie> Movie::fromFile(const QString& path) {
    // Imports are read from the movie's own folder and below, wherever the movie was opened from.
    const QString canonical = QFileInfo(path).canonicalFilePath();
    if (canonical.isEmpty()) return loadFile(path, nullptr);
    ImportContext context;
    context.rootFolder = context.folder = QFileInfo(canonical).absolutePath();
    context.chain.push_back(canonical);
    context.budget = std::make_shared<int>(kMaxImportedFiles);
    std::shared_ptr<Movie> movie = loadFile(path, &context);
    movie->m_sourcePath = canonical;
    return movie;
}

std::shared_ptr<Movie> Movie::loadFile(const QString& path, const ImportContext* imports) {
    std::shared_ptr<Movie> movie(new Movie());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        movie->m_diagnostics.push_back({0, 0, "cannot open the file"});
        return movie;
    }
    if (file.size() > kMaxMovieFileSize) {
        movie->m_diagnostics.push_back({0, 0, "the file is too large"});
        return movie;
    }
    const QByteArray bytes = file.readAll();
    movie->m_byteSize = bytes.size();
    movie->load(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())),
                imports);
    return movie;
}

// Import state of one movie while it loads: the ids still free and, per imported file, the copier that
// keeps that file's characters mapped across all the ImportAssets tags naming it.
struct ImportLoad {
    struct Source {
        std::unique_ptr<ImportCopier> copier;
        bool failed = false;
    };
    ImportLoad(const ImportContext& c, std::unordered_set<std::uint16_t> used) : context(c), ids(std::move(used)) {}
    const ImportContext& context;
    IdAllocator ids;
    std::map<QString, Source> sources;   // by canonical path
};

void Movie::load(std::span<const std::uint8_t> data, const ImportContext* imports) {
    swf::ParsedMovie parsed;
    try {
        parsed = swf::parseMovie(data);
    } catch (const swf::TruncatedData&) {
        m_diagnostics.push_back({0, 0, "the movie header is incomplete"});
        return;
    } catch (const swf::FormatError& e) {
        m_diagnostics.push_back({0, 0, e.what()});
        return;
    }
    m_valid = true;
    m_header = parsed.header;
    bool importsSomething = false;
    for (const swf::TagRecord& rec : parsed.tags) {
        if (const auto* unknown = std::get_if<swf::UnknownTag>(&rec.tag); unknown && (unknown->code == 72 || unknown->code == 82))
            m_actionScript3 = true;   // DoABC: the movie's scripts are ActionScript 3
        if (std::holds_alternative<swf::ImportAssets>(rec.tag)) importsSomething = true;
    }
    // A leading FileAttributes tag says which machine runs the movie, whatever bytecode it carries.
    if (!parsed.tags.empty() && parsed.tags.front().code == 69)
        m_actionScript3 = (parsed.header.fileAttributes & 0x08) != 0;
    m_diagnostics = std::move(parsed.diagnostics);
    std::optional<ImportLoad> importLoad;
    if (imports && importsSomething) importLoad.emplace(*imports, usedCharacterIds(parsed.tags));
    m_root = buildTimeline(parsed.tags, true, importLoad ? &*importLoad : nullptr);
    m_root.declaredFrames = parsed.header.frameCount;
}

void Movie::importAssets(const swf::ImportAssets& tag, std::size_t offset, Frame& frame, ImportLoad& imports) {
    const ImportContext& context = imports.context;
    auto note = [&](const char* text) { swf::addDiagnostic(m_diagnostics, {swf::tagcode::kImportAssets, offset, text}); };
    if (context.depth >= kMaxImportDepth) {
        note("imports nested this deeply are not read");
        return;
    }
    const QString path = resolveImportPath(context.rootFolder, context.folder, decodeString(tag.url));
    if (path.isEmpty()) {
        note("the imported file is missing or not a file inside the movie's folder");
        return;
    }
    if (std::find(context.chain.begin(), context.chain.end(), path) != context.chain.end()) {
        note("the imported file imports this movie in turn and is not read again");
        return;
    }
    ImportLoad::Source& source = imports.sources[path];
    if (source.failed) return;
    if (!source.copier) {
        if (*context.budget <= 0) {
            note("too many imported files; the rest are not read");
            source.failed = true;
            return;
        }
        --*context.budget;
        ImportContext child{context.rootFolder, QFileInfo(path).absolutePath(), context.depth + 1, context.chain,
                            context.budget};
        child.chain.push_back(path);
        std::shared_ptr<Movie> movie = loadFile(path, &child);
        // Script kinds do not mix: an ActionScript 3 library has nothing a movie of the other kind can run.
        if (!movie->isValid() || movie->usesActionScript3() != m_actionScript3) {
            note("the imported file is not a movie this one can use");
            source.failed = true;
            return;
        }
        // Movies of other versions are taken as they are: their texts and scripts run by this movie's
        // version rules.
        source.copier = std::make_unique<ImportCopier>(std::move(movie), imports.ids);
    }
    ImportCopier& copier = *source.copier;
    std::vector<std::pair<std::uint16_t, std::uint16_t>> wanted;
    for (const auto& [id, name] : tag.assets) {
        const QString symbol = decodeString(name);
        const std::uint16_t sourceId = copier.source().exportedCharacter(symbol);
        if (!copier.source().character(sourceId)) continue;   // not exported there: stays undefined here
        wanted.emplace_back(sourceId, id);
        m_importedExports.emplace_back(symbol, id);
    }
    copier.importAs(wanted);
    for (auto& named : copier.importExports()) m_importedExports.push_back(std::move(named));
    std::vector<CopiedCharacter> copied = copier.takeCopied();
    // Imported init scripts run in the order the imported movie holds them, whichever symbol was named.
    std::unordered_map<std::uint16_t, std::size_t> initOrder;
    for (const Frame& f : copier.source().rootTimeline().frames)
        for (std::uint16_t id : f.initActions) initOrder.emplace(id, initOrder.size());
    auto rank = [&](const CopiedCharacter& c) {
        auto it = initOrder.find(c.sourceId);
        return it == initOrder.end() ? initOrder.size() : it->second;
    };
    std::stable_sort(copied.begin(), copied.end(),
                     [&](const CopiedCharacter& a, const CopiedCharacter& b) { return rank(a) < rank(b); });
    for (CopiedCharacter& c : copied) {
        if (m_dictionary.count(c.id)) continue;   // the movie's own earlier definition of the id wins
        if (c.scalingGrid) m_scalingGrids.emplace(c.id, *c.scalingGrid);
        if (!c.jpegTables.empty()) m_importedJpegTables.emplace(c.id, std::move(c.jpegTables));
        // An imported sprite's init script runs with the frame that imports it, before that frame's scripts.
        if (c.initActions && m_initActions.emplace(c.id, c.initActions).second) frame.initActions.push_back(c.id);
        define(c.id, std::move(c.character));
    }
}

void Movie::define(std::uint16_t id, Character c) {
    // The first definition of an id wins; movies that define an id again still play as first made.
    m_dictionary.emplace(id, std::move(c));
}

Timeline Movie::buildTimeline(const std::vector<swf::TagRecord>& tags, bool root, ImportLoad* imports) {
    Timeline timeline;
    Frame current;
    bool ended = false;
    for (const swf::TagRecord& rec : tags) {
        bool end = false;
        std::visit(Overloaded{
                       [&](const swf::PlaceObject& p) { current.commands.emplace_back(p); },
                       [&](const swf::RemoveObject& r) { current.commands.emplace_back(r); },
                       [&](const swf::ShowFrame&) {
                           ++timeline.shownFrames;
                           timeline.frames.push_back(std::move(current));
                           current = Frame{};
                       },
                       [&](const swf::FrameLabel& l) {
                           if (current.label.empty()) current.label = l.name;
                       },
                       [&](const swf::DoAction& a) {
                           if (a.actions) current.commands.emplace_back(a);
                       },
                       [&](const swf::DoInitAction& a) {
                           // Each sprite's init script runs once, the first time its frame is reached.
                           if (a.actions && m_initActions.emplace(a.spriteId, a.actions).second)
                               current.initActions.push_back(a.spriteId);
                       },
                       [&](const swf::ExportAssets& e) {
                           for (const auto& [id, name] : e.assets) m_exports.emplace_back(decodeString(name), id);
                       },
                       [&](const swf::ImportAssets& i) {
                           if (root && imports) importAssets(i, rec.offset, current, *imports);
                       },
                       [&](const swf::SetBackgroundColor& b) {
                           if (root && !m_backgroundSet) {
                               m_background = b.color;
                               m_background.a = 255;
                               m_backgroundSet = true;
                           }
                       },
                       [&](const swf::DefineShape& s) { define(s.id, s); },
                       [&](const swf::DefineMorphShape& s) { define(s.id, s); },
                       [&](const swf::DefineBitmap& b) { define(b.id, BitmapCharacter{b}); },
                       [&](const swf::JpegTables& t) {
                           if (m_jpegTables.empty()) m_jpegTables = t.data;
                       },
                       [&](const swf::DefineSprite& s) {
                           if (!root) return;   // sprites inside sprites are not valid definitions
                           SpriteCharacter sprite{buildTimeline(s.tags, false), s.tagBytes};
                           sprite.timeline.declaredFrames = s.frameCount;
                           define(s.id, std::move(sprite));
                       },
                       [&](const swf::DefineFont& f) {
                           FontCharacter font{f, {}};
                           for (std::size_t i = 0; i < f.codes.size(); ++i) font.glyphForCode.emplace(f.codes[i], i);
                           define(f.id, std::move(font));
                       },
                       [&](const swf::DefineFontInfo& info) {
                           auto it = m_dictionary.find(info.fontId);
                           if (it == m_dictionary.end()) return;
                           if (auto* font = std::get_if<FontCharacter>(&it->second)) {
                               font->font.name = info.name;
                               font->font.bold = info.bold;
                               font->font.italic = info.italic;
                               font->font.codes = info.codes;
                               font->glyphForCode.clear();
                               for (std::size_t i = 0; i < info.codes.size(); ++i) font->glyphForCode.emplace(info.codes[i], i);
                           }
                       },
                       [&](const swf::DefineText& t) { define(t.id, t); },
                       [&](const swf::DefineEditText& t) { define(t.id, t); },
                       [&](const swf::CsmTextSettings& c) { m_textSettings.insert_or_assign(c.id, c); },
                       [&](const swf::DefineButton& b) {
                           ButtonCharacter button{b, {}, {}, {}, {}};
                           auto stateTimeline = [&](bool swf::ButtonRecord::*state) {
                           Frame up;
                           for (const swf::ButtonRecord& r : b.records) {
                               if (!(r.*state)) continue;
                               swf::PlaceObject p;
                               p.version = 3;
                               p.depth = r.depth;
                               p.character = r.character;
                               p.matrix = r.matrix;
                               p.colorTransform = r.colorTransform;
                               if (!r.filterList.empty()) p.filterList = r.filterList;
                               if (r.blendMode > 1) p.blendMode = r.blendMode;
                               up.commands.emplace_back(std::move(p));
                           }
                           Timeline t;
                           t.frames.push_back(std::move(up));
                           return t;
                           };
                           button.upState = stateTimeline(&swf::ButtonRecord::up);
                           button.overState = stateTimeline(&swf::ButtonRecord::over);
                           button.downState = stateTimeline(&swf::ButtonRecord::down);
                           define(b.id, std::move(button));
                       },
                       [&](const swf::DefineButtonSound& s) {
                           // The sounds join the button they name, which comes before them.
                           auto it = m_dictionary.find(s.buttonId);
                           if (it == m_dictionary.end()) return;
                           if (auto* b = std::get_if<ButtonCharacter>(&it->second); b && !b->sounds) b->sounds = s;
                       },
                       [&](const swf::DefineVideoStream& v) {
                           define(v.id, VideoCharacter{v, std::make_shared<video::VideoStream>(v.codec, v.deblocking)});
                       },
                       [&](const swf::VideoFrame& f) {
                           // Frames join the stream they name wherever they stand, the sprites' included.
                           auto it = m_dictionary.find(f.streamId);
                           if (it == m_dictionary.end()) return;
                           if (auto* v = std::get_if<VideoCharacter>(&it->second)) v->stream->addFrame(f.frameNumber, f.data);
                       },
                       [&](const swf::DefineScalingGrid& g) {
                           const swf::Rect& r = g.splitter;
                           m_scalingGrids.emplace(g.id, QRectF(r.xMin, r.yMin, static_cast<double>(r.xMax) - r.xMin,
                                                               static_cast<double>(r.yMax) - r.yMin));
                       },
                       [&](const swf::DefineSound& d) {
                           if (!m_dictionary.count(d.id) && m_sounds.emplace(d.id, d).second) m_soundOrder.push_back(d.id);
                       },
                       [&](const swf::StartSound& st) { current.sounds.push_back(st); },
                       [&](const swf::SoundStreamHead& h) {
                           if (!timeline.streamHead && root) m_soundOrder.push_back(-1);
                           if (!timeline.streamHead) timeline.streamHead = h;
                       },
                       [&](const swf::SoundStreamBlock& b) {
                           // A block before any head has nothing to say how it decodes.
                           if (timeline.streamHead && !current.streamBlock) current.streamBlock = b.data;
                       },
                       [&](const swf::EndTag&) { end = true; },
                       [&](const auto&) {},
                   },
                   rec.tag);
        if (end) {
            ended = true;
            break;
        }
    }
    const bool leftOver = !current.commands.empty() || !current.initActions.empty();
    // A timeline whose placements are never shown by a ShowFrame still shows them once.
    if (timeline.frames.empty() && leftOver) {
        timeline.frames.push_back(std::move(current));
    } else if (!root && leftOver) {
        // A sprite's tags after its last shown frame make one more frame, played once.
        timeline.frames.push_back(std::move(current));
        timeline.loops = false;
    }
    if (!root && !ended) timeline.loops = false;
    return timeline;
}

QRectF Movie::stageRect() const {
    const swf::Rect& r = m_header.frameSize;
    const double w = static_cast<double>(r.xMax) - r.xMin, h = static_cast<double>(r.yMax) - r.yMin;
    // Bigger than 8192 pixels or empty: not a stage anyone made on purpose.
    if (w <= 0 || h <= 0 || w > 8192 * 20 || h > 8192 * 20) return QRectF(0, 0, 550 * 20, 400 * 20);
    return QRectF(r.xMin, r.yMin, w, h);
}

double Movie::playbackRate() const {
    const double rate = m_header.frameRate;
    if (rate <= 0.01) return 12.0;
    return std::min(rate, 120.0);
}

swf::ActionBytes Movie::initActions(std::uint16_t spriteId) const {
    auto it = m_initActions.find(spriteId);
    return it == m_initActions.end() ? nullptr : it->second;
}

std::uint16_t Movie::exportedCharacter(const QString& name) const {
    // Names compare without case, as symbol linkage names do; a name exported again names the later
    // character.
    for (const auto* list : {&m_exports, &m_importedExports})
        for (auto it = list->rbegin(); it != list->rend(); ++it)
            if (it->first.compare(name, Qt::CaseInsensitive) == 0) return it->second;
    return 0;
}

QString Movie::exportName(std::uint16_t id) const {
    for (const auto* list : {&m_exports, &m_importedExports})
        for (const auto& [exported, character] : *list)
            if (character == id) return exported;
    return {};
}

std::vector<std::pair<QString, std::uint16_t>> Movie::exportedNames() const {
    std::vector<std::pair<QString, std::uint16_t>> names = m_exports;
    names.insert(names.end(), m_importedExports.begin(), m_importedExports.end());
    return names;
}

const std::vector<std::uint8_t>& Movie::jpegTablesFor(std::uint16_t id) const {
    auto it = m_importedJpegTables.find(id);
    return it == m_importedJpegTables.end() ? m_jpegTables : it->second;
}

const Character* Movie::character(std::uint16_t id) const {
    auto it = m_dictionary.find(id);
    return it == m_dictionary.end() ? nullptr : &it->second;
}

const swf::DefineSound* Movie::sound(std::uint16_t id) const {
    auto it = m_sounds.find(id);
    return it == m_sounds.end() ? nullptr : &it->second;
}

const swf::CsmTextSettings* Movie::textSettings(std::uint16_t id) const {
    auto it = m_textSettings.find(id);
    return it == m_textSettings.end() ? nullptr : &it->second;
}

std::optional<QRectF> Movie::scalingGrid(std::uint16_t id) const {
    auto it = m_scalingGrids.find(id);
    if (it == m_scalingGrids.end()) return std::nullopt;
    return it->second;
}

const FontCharacter* Movie::fontByName(const QString& name, bool bold, bool italic) const {
    const FontCharacter* best = nullptr;
    for (const auto& [id, c] : m_dictionary) {
        const auto* font = std::get_if<FontCharacter>(&c);
        if (!font || font->font.glyphs.empty()) continue;
        if (decodeString(font->font.name).compare(name, Qt::CaseInsensitive) != 0) continue;
        if (font->font.bold == bold && font->font.italic == italic) return font;
        if (!best) best = font;
    }
    return best;
}

QString Movie::decodeString(const std::string& s) const {
    if (m_header.version >= 6) return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QImage Movie::bitmap(std::uint16_t id) const {
    auto cached = m_bitmaps.find(id);
    if (cached != m_bitmaps.end()) return cached->second;
    QImage image;
    if (const auto* c = character(id)) {
        if (const auto* b = std::get_if<BitmapCharacter>(c))
            image = decodeBitmapTag(b->data.tagCode, b->data.body, jpegTablesFor(id),
                                    kMaxMovieBitmapPixels - m_bitmapPixels);
    }
    m_bitmapPixels += std::int64_t(image.width()) * image.height();
    m_bitmaps.emplace(id, image);   // a failed decode is remembered too, so it is tried once
    return image;
}

const ShapePaths& Movie::shapePaths(std::uint16_t id) const {
    const std::uint32_t key = (kShapeKind << 16) | id;
    auto it = m_shapeCache.find(key);
    if (it != m_shapeCache.end()) return it->second;
    const auto* c = character(id);
    const auto* shape = c ? std::get_if<swf::DefineShape>(c) : nullptr;
    if (!shape) return emptyPaths();
    ShapePaths paths = buildShapePaths(shape->shape.fills, shape->shape.lines, shape->shape.records, shape->nonZeroWinding,
                                       [this](std::uint16_t b) { return bitmap(b); });
    applyBitmapSmoothingOfVersion(paths, m_header.version);
    return m_shapeCache.emplace(key, std::move(paths)).first->second;
}

const ShapePaths& Movie::morphPaths(std::uint16_t id, std::uint16_t ratio) const {
    const std::uint64_t key = (std::uint64_t{id} << 16) | ratio;
    auto it = m_morphCache.find(key);
    if (it != m_morphCache.end()) return it->second;
    const auto* c = character(id);
    const auto* morph = c ? std::get_if<swf::DefineMorphShape>(c) : nullptr;
    if (!morph) return emptyPaths();
    // Long morph animations visit many ratios; keep the cache from growing without bound.
    if (m_morphCache.size() > 2048) m_morphCache.clear();
    const swf::Shape shape = interpolateMorph(*morph, ratio / 65535.0);
    ShapePaths paths = buildShapePaths(shape.fills, shape.lines, shape.records, false,
                                       [this](std::uint16_t b) { return bitmap(b); });
    applyBitmapSmoothingOfVersion(paths, m_header.version);
    return m_morphCache.emplace(key, std::move(paths)).first->second;
}

const ShapePaths& Movie::textPaths(std::uint16_t id) const {
    const std::uint32_t key = (kTextKind << 16) | id;
    auto it = m_shapeCache.find(key);
    if (it != m_shapeCache.end()) return it->second;
    const auto* c = character(id);
    const auto* text = c ? std::get_if<swf::DefineText>(c) : nullptr;
    if (!text) return emptyPaths();
    return m_shapeCache.emplace(key, buildStaticText(*this, *text)).first->second;
}

const ShapePaths& Movie::editTextPaths(std::uint16_t id) const {
    const std::uint32_t key = (kEditTextKind << 16) | id;
    auto it = m_shapeCache.find(key);
    if (it != m_shapeCache.end()) return it->second;
    const auto* c = character(id);
    const auto* text = c ? std::get_if<swf::DefineEditText>(c) : nullptr;
    if (!text) return emptyPaths();
    return m_shapeCache.emplace(key, buildEditText(*this, *text)).first->second;
}

const ShapePaths& Movie::bitmapPaths(std::uint16_t id) const {
    const std::uint32_t key = (kBitmapKind << 16) | id;
    auto it = m_shapeCache.find(key);
    if (it != m_shapeCache.end()) return it->second;
    const QImage image = bitmap(id);
    ShapePaths paths;
    if (!image.isNull()) {
        // A bitmap on its own is a rectangle of its pixels, 20 twips each.
        DrawItem item;
        item.path.addRect(QRectF(0, 0, image.width() * 20.0, image.height() * 20.0));
        item.paint.type = swf::FillType::ClippedBitmap;
        item.paint.image = image;
        item.paint.repeat = false;
        item.paint.smooth = false;
        item.paint.matrix = QTransform::fromScale(20, 20);
        paths.bounds = item.path.boundingRect();
        paths.items.push_back(std::move(item));
    }
    return m_shapeCache.emplace(key, std::move(paths)).first->second;
}

const QPainterPath& Movie::glyphPath(const FontCharacter& font, std::size_t index) const {
    static const QPainterPath empty;
    if (index >= font.font.glyphs.size()) return empty;
    const std::uint64_t key = (std::uint64_t{font.font.id} << 32) | index;
    auto it = m_glyphs.find(key);
    if (it != m_glyphs.end()) return it->second;
    return m_glyphs.emplace(key, buildGlyphPath(font.font.glyphs[index])).first->second;
}

QImage Movie::videoPicture(std::uint16_t id, int frame) const {
    const auto* c = character(id);
    const auto* v = c ? std::get_if<VideoCharacter>(c) : nullptr;
    return v ? v->stream->picture(frame) : QImage();
}

ShapePaths Movie::videoPaths(std::uint16_t id, int frame, std::optional<bool> smoothing) const {
    const auto* c = character(id);
    const auto* v = c ? std::get_if<VideoCharacter>(c) : nullptr;
    if (!v) return ShapePaths();
    return videoPaths(id, v->stream->picture(frame), smoothing);
}

ShapePaths Movie::videoPaths(std::uint16_t id, const QImage& image, std::optional<bool> smoothing) const {
    ShapePaths paths;
    const auto* c = character(id);
    const auto* v = c ? std::get_if<VideoCharacter>(c) : nullptr;
    if (!v || image.isNull()) return paths;
    // The picture fills the size the stream declares, whatever size it was coded at.
    const double w = v->definition.width ? v->definition.width : image.width();
    const double h = v->definition.height ? v->definition.height : image.height();
    DrawItem item;
    item.path.addRect(QRectF(0, 0, w * 20.0, h * 20.0));
    item.paint.type = swf::FillType::ClippedBitmap;
    item.paint.image = image;
    item.paint.repeat = false;
    item.paint.smooth = smoothing.value_or(v->definition.smoothing);
    item.paint.matrix = QTransform::fromScale(w * 20.0 / image.width(), h * 20.0 / image.height());
    paths.bounds = item.path.boundingRect();
    paths.items.push_back(std::move(item));
    return paths;
}

}  // namespace vistrel::player
