// A loaded movie: header facts, the dictionary of definitions, the root timeline, and the
// geometry and bitmaps derived from definitions (built once, on first use).
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QImage>
#include <QRectF>
#include <QString>

#include "player/characters.h"
#include "player/shape_paths.h"
#include "player/swf/parser.h"
#include "player/timeline.h"

namespace vistrel::player {

struct ImportContext;
struct ImportLoad;

// Files larger than this are not read at all.
inline constexpr std::int64_t kMaxMovieFileSize = 256ll * 1024 * 1024;
// Pixels all of one movie's decoded bitmaps may hold together (512 MiB at 4 bytes a pixel).
// A small file can declare many huge, highly compressible bitmaps; past this, further bitmaps
// are left undrawn and the rest of the movie still plays.
inline constexpr std::int64_t kMaxMovieBitmapPixels = 128ll * 1024 * 1024;

class Movie {
public:
    // Never throws: data that is not a movie gives an empty, invalid movie with a diagnostic.
    // Symbols the movie imports (ImportAssets) are read only by fromFile, from files in the movie's folder
    // tree; from bytes alone they stay undefined.
    static std::shared_ptr<Movie> fromBytes(std::span<const std::uint8_t> data);
    static std::shared_ptr<Movie> fromFile(const QString& path);

    bool isValid() const { return m_valid; }
    // Unique over the run: what was drawn from one movie is never taken for another's.
    std::uint64_t serial() const { return m_serial; }
    const swf::MovieHeader& header() const { return m_header; }
    const swf::Diagnostics& diagnostics() const { return m_diagnostics; }
    // The canonical path of the file it was read from (empty for a movie made from bytes), and the
    // number of bytes it came from.
    const QString& sourcePath() const { return m_sourcePath; }
    std::int64_t byteSize() const { return m_byteSize; }
    swf::Rgba background() const { return m_background; }
    const Timeline& rootTimeline() const { return m_root; }
    // The stage in twips; an empty or absurd frame rectangle gives a small default stage.
    QRectF stageRect() const;
    // Frames per second to play at; a zero or absurd rate gives a sensible default.
    double playbackRate() const;

    const Character* character(std::uint16_t id) const;
    // A sound the movie defines (DefineSound), null when none has the id.
    const swf::DefineSound* sound(std::uint16_t id) const;
    // The sounds in the order the file defines them; the root timeline's stream sound, when it has one,
    // stands at its head's place as -1 (measuring tools pair these with other decoders' streams).
    const std::vector<int>& soundOrder() const { return m_soundOrder; }
    bool usesActionScript3() const { return m_actionScript3; }
    // A sprite's init script (DoInitAction), null when it has none.
    swf::ActionBytes initActions(std::uint16_t spriteId) const;
    // The character exported under `name` (ExportAssets), 0 when none is.
    std::uint16_t exportedCharacter(const QString& name) const;
    QString exportName(std::uint16_t id) const;   // empty when the character is not exported
    // Every name exportedCharacter answers: the movie's own exports, then the names of imported symbols.
    std::vector<std::pair<QString, std::uint16_t>> exportedNames() const;
    // The JPEG tables a DefineBits bitmap decodes with (an imported one keeps its own movie's).
    const std::vector<std::uint8_t>& jpegTablesFor(std::uint16_t id) const;
    // The nine-slice grid of a sprite or button, in its own twips, when the movie gives one.
    std::optional<QRectF> scalingGrid(std::uint16_t id) const;
    // The anti-aliasing settings a text character is given, or null.
    const swf::CsmTextSettings* textSettings(std::uint16_t id) const;
    // An embedded font with outlines by name (and style, preferred but not required).
    const FontCharacter* fontByName(const QString& name, bool bold, bool italic) const;
    QString decodeString(const std::string& s) const;   // UTF-8 from version 6, Latin-1 before

    // Derived data, cached. The references stay valid as long as the movie lives.
    const ShapePaths& shapePaths(std::uint16_t id) const;
    const ShapePaths& morphPaths(std::uint16_t id, std::uint16_t ratio) const;
    const ShapePaths& textPaths(std::uint16_t id) const;
    const ShapePaths& editTextPaths(std::uint16_t id) const;
    const ShapePaths& bitmapPaths(std::uint16_t id) const;   // a bitmap placed on its own
    QImage bitmap(std::uint16_t id) const;                    // null when it does not decode
    // An embedded video's picture at a frame number, as a rectangle of the stream's declared size
    // (empty when nothing decodes there).
    // `smoothing` overrides the stream's own flag.
    ShapePaths videoPaths(std::uint16_t id, int frame, std::optional<bool> smoothing = std::nullopt) const;
    // Any picture (a stream a script attached) drawn at the size video character `id` declares.
    ShapePaths videoPaths(std::uint16_t id, const QImage& image, std::optional<bool> smoothing) const;
    QImage videoPicture(std::uint16_t id, int frame) const;   // null when nothing decodes there
    const QPainterPath& glyphPath(const FontCharacter& font, std::size_t index) const;

private:
    Movie() = default;
    static std::shared_ptr<Movie> loadFile(const QString& path, const ImportContext* imports);
    void load(std::span<const std::uint8_t> data, const ImportContext* imports);
    Timeline buildTimeline(const std::vector<swf::TagRecord>& tags, bool root, ImportLoad* imports = nullptr);
    void define(std::uint16_t id, Character c);
    void importAssets(const swf::ImportAssets& tag, std::size_t offset, Frame& frame, ImportLoad& imports);

    bool m_valid = false;
    static inline std::atomic<std::uint64_t> s_lastSerial{0};
    std::uint64_t m_serial = ++s_lastSerial;
    QString m_sourcePath;
    std::int64_t m_byteSize = 0;
    swf::MovieHeader m_header;
    swf::Diagnostics m_diagnostics;
    swf::Rgba m_background{255, 255, 255, 255};
    bool m_backgroundSet = false;
    Timeline m_root;
    std::vector<std::uint8_t> m_jpegTables;
    std::unordered_map<std::uint16_t, Character> m_dictionary;
    std::unordered_map<std::uint16_t, swf::DefineSound> m_sounds;
    std::vector<int> m_soundOrder;
    std::unordered_map<std::uint16_t, QRectF> m_scalingGrids;
    std::unordered_map<std::uint16_t, swf::CsmTextSettings> m_textSettings;
    std::unordered_map<std::uint16_t, swf::ActionBytes> m_initActions;
    std::vector<std::pair<QString, std::uint16_t>> m_exports;
    // Names of imported symbols and the exports of the movies they came from, after the movie's own.
    std::vector<std::pair<QString, std::uint16_t>> m_importedExports;
    std::unordered_map<std::uint16_t, std::vector<std::uint8_t>> m_importedJpegTables;
    bool m_actionScript3 = false;

    mutable std::unordered_map<std::uint32_t, ShapePaths> m_shapeCache;   // key: kind << 16 | id
    mutable std::unordered_map<std::uint64_t, ShapePaths> m_morphCache;
    mutable std::unordered_map<std::uint16_t, QImage> m_bitmaps;
    mutable std::int64_t m_bitmapPixels = 0;   // held by m_bitmaps, against kMaxMovieBitmapPixels
    mutable std::unordered_map<std::uint64_t, QPainterPath> m_glyphs;     // key: font id << 32 | index
};

}  // namespace vistrel::player
