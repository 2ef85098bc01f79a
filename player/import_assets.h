// Symbols a movie imports from another movie file next to it (ImportAssets): where such a file may be
// read from, and copying an imported character with everything it refers to into the importing
// movie's dictionary under ids that do not collide with the importer's own.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include <QRectF>
#include <QString>

#include "player/characters.h"
#include "player/swf/tag.h"

namespace vistrel::player {

class Movie;

// A movie imports from movies that import from others; past this many levels nothing more is read.
inline constexpr int kMaxImportDepth = 4;
// Files one opened movie may read through imports, all levels together: a few libraries each
// importing many others must not turn one open into thousands of reads.
inline constexpr int kMaxImportedFiles = 64;

// What a movie being loaded may import: the folder tree it may read from and the files already on the
// way to it (an import of one of those is a cycle).
struct ImportContext {
    QString rootFolder;             // canonical folder of the movie opened first; nothing outside is read
    QString folder;                 // canonical folder of the movie doing the import: names are relative to it
    int depth = 0;                  // 0 for the opened movie
    std::vector<QString> chain;     // canonical paths of the movies being loaded, outermost first
    std::shared_ptr<int> budget;    // files still allowed to be read through imports
};

// The canonical path of the file an import names, or empty when the name is not a plain relative file
// name (absolute paths, "..", URLs with a scheme, query or fragment are refused), the file is missing,
// or it resolves (through links too) outside `rootFolder`. A name that differs from the file's only in
// case finds it.
QString resolveImportPath(const QString& rootFolder, const QString& folder, const QString& url);

// Every character id a movie's tags define or refer to, so that ids picked for imports stay clear of
// them (a placement of an id defined later must not pick up an imported character).
std::unordered_set<std::uint16_t> usedCharacterIds(const std::vector<swf::TagRecord>& tags);

// Hands out character ids nobody uses, from the top of the range down (movies number their own
// definitions from 1 up). 0 and 65535 are never handed out: 65535 means "no bitmap" in fills.
class IdAllocator {
public:
    explicit IdAllocator(std::unordered_set<std::uint16_t> used);
    std::optional<std::uint16_t> take();
    void reserve(std::uint16_t id) { m_used.insert(id); }

private:
    std::unordered_set<std::uint16_t> m_used;
    std::uint32_t m_next = 0xfffe;
};

// One definition copied out of an imported movie, already under its id in the importing movie.
struct CopiedCharacter {
    std::uint16_t id = 0;
    std::uint16_t sourceId = 0;                 // its id in the imported movie
    Character character;
    std::optional<QRectF> scalingGrid;
    swf::ActionBytes initActions;               // the sprite's DoInitAction, null when none
    std::vector<std::uint8_t> jpegTables;       // the source's shared tables, for DefineBits bitmaps
};

// Copies characters out of one imported movie. One copier serves every ImportAssets tag naming the same
// file, so a dependency two imports share is copied once and both refer to the same copy.
class ImportCopier {
public:
    ImportCopier(std::shared_ptr<const Movie> source, IdAllocator& ids);

    const Movie& source() const { return *m_source; }
    // Copies the source's `sourceId` to `targetId` (ids the importer chose), and what each refers to under
    // fresh ids. Pairs whose source character does not exist are skipped.
    void importAs(const std::vector<std::pair<std::uint16_t, std::uint16_t>>& sourceToTarget);
    // Copies every character the source exports, once: the imported scripts may attach any of them by
    // name. Gives the export names with the ids they have in the importer.
    std::vector<std::pair<QString, std::uint16_t>> importExports();
    // The definitions copied since the last call.
    std::vector<CopiedCharacter> takeCopied();

private:
    std::uint16_t mapId(std::uint16_t sourceId);   // the importer's id for a reference, copying on first use
    void copyPending();
    void remap(Character& c);

    std::shared_ptr<const Movie> m_source;
    IdAllocator& m_ids;
    std::unordered_map<std::uint16_t, std::uint16_t> m_map;      // source id -> importer id
    std::vector<std::pair<std::uint16_t, std::uint16_t>> m_pending;
    std::vector<CopiedCharacter> m_copied;
    std::optional<std::uint16_t> m_dangling;   // an id left undefined, for references the source cannot resolve
    bool m_exportsDone = false;
};

}  // namespace vistrel::player
