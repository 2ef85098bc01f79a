// Why the player pane cannot show a movie as it was meant to be, told in a short note over the stage.
#pragma once

#include <QByteArray>

namespace vistrel {

namespace player {
class Movie;
}

enum class MovieNote {
    None,        // the movie read cleanly
    Unreadable,  // the file could not be opened or is too large to read
    Empty,       // the file holds no bytes
    NotAMovie,   // the first bytes are no movie signature
    Incomplete,  // a movie signature, but the file ends before its header does
    Damaged,     // a movie whose body does not read to its end; what could be read is shown
};

// `leadingBytes`: the first bytes of the file (a few are enough), to tell a cut movie from other data.
MovieNote movieNoteFor(const player::Movie& movie, const QByteArray& leadingBytes);

}  // namespace vistrel
