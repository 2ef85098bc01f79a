// Reads a whole movie: header, then every tag, keeping what could be read when the data is damaged.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "player/swf/decompress.h"
#include "player/swf/tag.h"

namespace vistrel::swf {

struct MovieHeader {
    int version = 0;
    Compression compression = Compression::None;
    std::uint32_t declaredLength = 0;
    Rect frameSize;
    double frameRate = 0;       // frames per second, as stored (may be 0)
    std::uint16_t frameCount = 0;
    // The flags of a FileAttributes tag heading the movie (0 without one): 1 = may use the network.
    std::uint32_t fileAttributes = 0;
};

struct ParsedMovie {
    MovieHeader header;
    std::vector<TagRecord> tags;
    Diagnostics diagnostics;
};

// Sprites nested deeper than this are not read (a sprite may not contain sprites at all).
inline constexpr int kMaxSpriteNesting = 4;

// Tag records one movie may hold, its sprites' included. Tags can be two bytes each, so a
// compressed file could otherwise unfold into hundreds of millions of records.
inline constexpr std::size_t kMaxTags = std::size_t(1) << 20;
// Frames of one timeline: frame numbers are 16-bit, so no movie can address more.
inline constexpr int kMaxFrames = 65535;
// Problems recorded for one movie; past this only a note that more were left out.
inline constexpr std::size_t kMaxDiagnostics = 1000;

// What is left of the tag budget of the movie being read.
struct ParseBudget {
    std::size_t tagsLeft = kMaxTags;
};

// Records a problem unless kMaxDiagnostics are recorded already.
void addDiagnostic(Diagnostics& diagnostics, Diagnostic diagnostic);

// Throws FormatError or TruncatedData only when not even the header can be read.
ParsedMovie parseMovie(std::span<const std::uint8_t> file);

// Reads tags until an End tag, the end of the data, kMaxFrames frames or the end of the budget
// (a fresh one when none is given); damaged tags become diagnostics.
std::vector<TagRecord> parseTags(ByteReader& stream, int swfVersion, Diagnostics& diagnostics, int nesting = 0,
                                 ParseBudget* budget = nullptr);

// One tag body; throws TruncatedData or FormatError on damage.
Tag parseTagBody(std::uint16_t code, ByteReader& body, int swfVersion, Diagnostics& diagnostics, int nesting,
                 ParseBudget* budget = nullptr);

}  // namespace vistrel::swf
