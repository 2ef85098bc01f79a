#include "player/import_assets.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "player/movie.h"
#include "player/overloaded.h"

namespace vistrel::player {

namespace {

// The visitors below call `fn` on every character id a definition refers to. They are written once for
// both uses: with a const definition to collect ids, with a mutable one to rewrite them.

template <class Fill, class F>
void eachFillRef(Fill& fill, F& fn) {
    if (fill.isBitmap()) fn(fill.bitmapId);
}

template <class Fills, class F>
void eachFillsRef(Fills& fills, F& fn) {
    for (auto& f : fills) eachFillRef(f, fn);
}

template <class Lines, class F>
void eachLinesRef(Lines& lines, F& fn) {
    for (auto& l : lines)
        if (l.fill) eachFillRef(*l.fill, fn);
}

template <class Records, class F>
void eachRecordsRef(Records& records, F& fn) {
    for (auto& r : records) {
        auto* change = std::get_if<swf::StyleChange>(&r);
        if (!change) continue;
        if (change->newFills) eachFillsRef(*change->newFills, fn);
        if (change->newLines) eachLinesRef(*change->newLines, fn);
    }
}

template <class Shape, class F>
void eachShapeRef(Shape& s, F& fn) {
    eachFillsRef(s.shape.fills, fn);
    eachLinesRef(s.shape.lines, fn);
    eachRecordsRef(s.shape.records, fn);
}

template <class Morph, class F>
void eachMorphRef(Morph& m, F& fn) {
    eachFillsRef(m.startFills, fn);
    eachFillsRef(m.endFills, fn);
    eachLinesRef(m.startLines, fn);
    eachLinesRef(m.endLines, fn);
    eachRecordsRef(m.startRecords, fn);
    eachRecordsRef(m.endRecords, fn);
}

template <class Text, class F>
void eachTextRef(Text& t, F& fn) {
    for (auto& r : t.records)
        if (r.fontId) fn(*r.fontId);
}

template <class Button, class F>
void eachButtonRef(Button& b, F& fn) {
    for (auto& r : b.records) fn(r.character);
}

template <class Place, class F>
void eachPlaceRef(Place& p, F& fn) {
    if (p.character) fn(*p.character);
}

template <class TimelineT, class F>
void eachTimelineRef(TimelineT& timeline, F& fn) {
    for (auto& frame : timeline.frames) {
        for (auto& command : frame.commands) {
            if (auto* place = std::get_if<swf::PlaceObject>(&command)) eachPlaceRef(*place, fn);
            else if (auto* remove = std::get_if<swf::RemoveObject>(&command); remove && remove->character)
                fn(*remove->character);
        }
        for (auto& sprite : frame.initActions) fn(sprite);
    }
}

void collectTagIds(const std::vector<swf::TagRecord>& tags, std::unordered_set<std::uint16_t>& used, int nesting) {
    auto note = [&](std::uint16_t id) { used.insert(id); };
    for (const swf::TagRecord& rec : tags) {
        std::visit(Overloaded{
                       [&](const swf::PlaceObject& p) { eachPlaceRef(p, note); },
                       [&](const swf::RemoveObject& r) {
                           if (r.character) note(*r.character);
                       },
                       [&](const swf::DefineShape& s) {
                           note(s.id);
                           eachShapeRef(s, note);
                       },
                       [&](const swf::DefineMorphShape& m) {
                           note(m.id);
                           eachMorphRef(m, note);
                       },
                       [&](const swf::DefineBitmap& b) { note(b.id); },
                       [&](const swf::DefineSprite& s) {
                           note(s.id);
                           // The parser bounds sprite nesting; this bound only keeps the walk finite.
                           if (nesting < 8) collectTagIds(s.tags, used, nesting + 1);
                       },
                       [&](const swf::DefineFont& f) { note(f.id); },
                       [&](const swf::DefineFontInfo& f) { note(f.fontId); },
                       [&](const swf::DefineText& t) {
                           note(t.id);
                           eachTextRef(t, note);
                       },
                       [&](const swf::DefineEditText& t) {
                           note(t.id);
                           if (t.fontId) note(*t.fontId);
                       },
                       [&](const swf::DefineScalingGrid& g) { note(g.id); },
                       [&](const swf::DefineButton& b) {
                           note(b.id);
                           eachButtonRef(b, note);
                       },
                       [&](const swf::DefineButtonCxform& b) { note(b.buttonId); },
                       [&](const swf::DefineButtonSound& b) { note(b.buttonId); },
                       [&](const swf::DoInitAction& a) { note(a.spriteId); },
                       [&](const swf::ExportAssets& e) {
                           for (const auto& [id, name] : e.assets) note(id);
                       },
                       [&](const swf::ImportAssets& i) {
                           for (const auto& [id, name] : i.assets) note(id);
                       },
                       [&](const auto&) {},
                   },
                   rec.tag);
    }
}

// Movies were made where file names ignore case: "einstein.jpg" names EINSTEIN.JPG. Each part of the
// path is looked up in its folder without regard to case; of several that match, the first by name is
// taken so that the choice does not depend on the order the folder lists them in.
QString findIgnoringCase(const QString& folder, const QStringList& parts) {
    constexpr qsizetype kMaxListed = 4096;   // a huge folder is not searched
    QDir dir(folder);
    for (qsizetype i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        QString match;
        if (last ? QFileInfo(dir.filePath(parts[i])).isFile() : dir.exists(parts[i])) {
            match = parts[i];
        } else {
            const QStringList entries =
                dir.entryList((last ? QDir::Files : QDir::Dirs) | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
            if (entries.size() > kMaxListed) return {};
            for (const QString& e : entries)
                if (e.compare(parts[i], Qt::CaseInsensitive) == 0) {
                    match = e;
                    break;
                }
        }
        if (match.isEmpty()) return {};
        if (last) return dir.filePath(match);
        if (!dir.cd(match)) return {};
    }
    return {};
}

}  // namespace

QString resolveImportPath(const QString& rootFolder, const QString& folder, const QString& url) {
    if (url.isEmpty() || url.size() > 1024 || rootFolder.isEmpty() || folder.isEmpty()) return {};
    // Percent escapes are undone first so that an escaped ".." or separator is judged as what it names.
    const QString name = QUrl::fromPercentEncoding(url.toUtf8());
    for (const QChar c : name) {
        // A colon starts a scheme ("http:", "file:") or a drive; query and fragment make it a URL, not a file.
        if (c.unicode() < 0x20 || c == u':' || c == u'?' || c == u'#') return {};
    }
    QString relative = name;
    relative.replace(u'\\', u'/');
    if (relative.startsWith(u'/')) return {};
    QStringList parts;
    for (const QString& part : relative.split(u'/')) {
        if (part == u"..") return {};
        if (part.isEmpty()) return {};   // "a//b" or a trailing separator: not a plain file name
        if (part == u".") continue;
        parts << part;
    }
    if (parts.isEmpty()) return {};
    QFileInfo info(QDir(folder).filePath(parts.join(u'/')));
    if (!info.isFile()) {
        const QString found = findIgnoringCase(folder, parts);
        if (found.isEmpty()) return {};
        info.setFile(found);
    }
    const QString canonical = info.canonicalFilePath();
    if (canonical.isEmpty()) return {};
    // Links are followed by canonicalFilePath, so one pointing out of the tree is caught here.
    const QString prefix = rootFolder.endsWith(u'/') ? rootFolder : rootFolder + u'/';
    if (!canonical.startsWith(prefix)) return {};
    return canonical;
}

std::unordered_set<std::uint16_t> usedCharacterIds(const std::vector<swf::TagRecord>& tags) {
    std::unordered_set<std::uint16_t> used;
    collectTagIds(tags, used, 0);
    return used;
}

IdAllocator::IdAllocator(std::unordered_set<std::uint16_t> used) : m_used(std::move(used)) {
    m_used.insert(0);
    m_used.insert(0xffff);
}

std::optional<std::uint16_t> IdAllocator::take() {
    while (m_next > 0) {
        const auto id = static_cast<std::uint16_t>(m_next--);
        if (m_used.insert(id).second) return id;
    }
    return std::nullopt;
}

ImportCopier::ImportCopier(std::shared_ptr<const Movie> source, IdAllocator& ids)
    : m_source(std::move(source)), m_ids(ids) {}

void ImportCopier::importAs(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& sourceToTarget) {
    // All named targets are known first, so a dependency that is itself imported by name (a font the
    // imported sprite uses) refers to that copy instead of getting one more.
    for (const auto& [sourceId, targetId] : sourceToTarget) {
        if (!m_source->character(sourceId)) continue;
        m_ids.reserve(targetId);
        if (m_map.emplace(sourceId, targetId).second) {
            m_pending.emplace_back(sourceId, targetId);
        } else if (m_map[sourceId] != targetId) {
            // The same symbol imported under a second id: a second copy, its references shared.
            m_pending.emplace_back(sourceId, targetId);
        }
    }
    copyPending();
}

std::vector<std::pair<QString, std::uint16_t>> ImportCopier::importExports() {
    std::vector<std::pair<QString, std::uint16_t>> names;
    if (m_exportsDone) return names;
    m_exportsDone = true;
    for (const auto& [name, sourceId] : m_source->exportedNames()) {
        if (!m_source->character(sourceId)) continue;
        names.emplace_back(name, mapId(sourceId));
    }
    copyPending();
    return names;
}

std::vector<CopiedCharacter> ImportCopier::takeCopied() { return std::exchange(m_copied, {}); }

std::uint16_t ImportCopier::mapId(std::uint16_t sourceId) {
    if (auto it = m_map.find(sourceId); it != m_map.end()) return it->second;
    if (m_source->character(sourceId)) {
        if (const auto id = m_ids.take()) {
            m_map.emplace(sourceId, *id);
            m_pending.emplace_back(sourceId, *id);
            return *id;
        }
    }
    // Nothing to copy (or no ids left): refer to an id the importer never defines, never to whatever the
    // importer happens to hold under the source's number.
    if (!m_dangling) m_dangling = m_ids.take();
    return m_dangling.value_or(0xffff);
}

void ImportCopier::copyPending() {
    // A work list rather than recursion: sprite nesting and reference cycles in a hostile library only
    // lengthen the list, each source id entering it once per target id.
    while (!m_pending.empty()) {
        // Plain variables, not a structured binding: the lambdas below capture them, and clang before 16
        // (the fuzz build's compiler here) rejects capturing bindings.
        const std::uint16_t sourceId = m_pending.back().first;
        const std::uint16_t targetId = m_pending.back().second;
        m_pending.pop_back();
        const Character* original = m_source->character(sourceId);
        if (!original) continue;
        CopiedCharacter copy;
        copy.id = targetId;
        copy.sourceId = sourceId;
        copy.character = *original;
        remap(copy.character);
        std::visit(Overloaded{
                       [&](swf::DefineShape& s) { s.id = targetId; },
                       [&](swf::DefineMorphShape& s) { s.id = targetId; },
                       [&](BitmapCharacter& b) {
                           b.data.id = targetId;
                           if (b.data.tagCode == swf::tagcode::kDefineBits)
                               copy.jpegTables = m_source->jpegTablesFor(sourceId);
                       },
                       [&](FontCharacter& f) { f.font.id = targetId; },   // also the key of the glyph cache
                       [&](swf::DefineText& t) { t.id = targetId; },
                       [&](swf::DefineEditText& t) { t.id = targetId; },
                       [&](ButtonCharacter& b) { b.button.id = targetId; },
                       [&](SpriteCharacter&) {},
                       [&](VideoCharacter& v) { v.definition.id = targetId; },   // shares the source's frames
                   },
                   copy.character);
        copy.scalingGrid = m_source->scalingGrid(sourceId);
        copy.initActions = m_source->initActions(sourceId);
        m_copied.push_back(std::move(copy));
    }
}

void ImportCopier::remap(Character& c) {
    auto rewrite = [this](std::uint16_t& id) { id = mapId(id); };
    std::visit(Overloaded{
                   [&](swf::DefineShape& s) { eachShapeRef(s, rewrite); },
                   [&](swf::DefineMorphShape& m) { eachMorphRef(m, rewrite); },
                   [&](SpriteCharacter& s) { eachTimelineRef(s.timeline, rewrite); },
                   [&](BitmapCharacter&) {},
                   [&](VideoCharacter&) {},
                   [&](FontCharacter&) {},
                   [&](swf::DefineText& t) { eachTextRef(t, rewrite); },
                   [&](swf::DefineEditText& t) {
                       if (t.fontId) rewrite(*t.fontId);
                   },
                   [&](ButtonCharacter& b) {
                       eachButtonRef(b.button, rewrite);
                       eachTimelineRef(b.upState, rewrite);
                   },
               },
               c);
}

}  // namespace vistrel::player
