#include "widgets/player/movie_note.h"

#include "player/movie.h"
#include "player/swf/tag.h"

namespace vistrel {

namespace {

bool startsLikeMovie(const QByteArray& bytes) {
    if (bytes.isEmpty()) return false;
    // Up to the three signature letters: a file cut inside them still began as a movie.
    static const char* const kSignatures[] = {"FWS", "CWS", "ZWS"};
    for (const char* signature : kSignatures) {
        const QByteArray head = bytes.left(3);
        if (QByteArray(signature).startsWith(head)) return true;
    }
    return false;
}

}  // namespace

MovieNote movieNoteFor(const player::Movie& movie, const QByteArray& leadingBytes) {
    if (!movie.isValid()) {
        if (movie.byteSize() == 0) {
            for (const auto& d : movie.diagnostics())
                if (d.text == "cannot open the file" || d.text == "the file is too large") return MovieNote::Unreadable;
            return leadingBytes.isEmpty() ? MovieNote::Empty : MovieNote::Unreadable;
        }
        return startsLikeMovie(leadingBytes) ? MovieNote::Incomplete : MovieNote::NotAMovie;
    }
    for (const auto& d : movie.diagnostics()) {
        // Imported symbols that cannot be found are the other file's affair, not damage to this one.
        if (d.tagCode == swf::tagcode::kImportAssets || d.tagCode == swf::tagcode::kImportAssets2) continue;
        return MovieNote::Damaged;
    }
    return MovieNote::None;
}

}  // namespace vistrel
