#pragma once
// The message texts that the main window and the favorites manager compose at run time. They come
// from the loaded language pack; until a pack is loaded the program's own Russian texts stand in,
// so no message, and no compression pane, is ever empty for want of a pack.

#include "core/shared_state.h"

namespace vistrel {

// The main window's messages, in the order of Messages/msg1_0 .. msg1_5 in a pack.
enum class MainMessage {
    NotCompressed,      // compression pane: "No"
    Compressed,         // compression pane: "Yes"
    FavoriteFolderGone, // "The favorite's folder was not found:" <folder>
    RemoveFavorite,     // "Remove the favorite from the list?"
    FavoriteWord,       // "Favorite" "<name>" ...
    WasRemoved,         // ... "was removed from the list."
    Count
};

// The favorites manager's messages, in the order of Messages/msg2_0 .. msg2_8 in a pack.
enum class FavoritesMessage {
    ListFull,         // "The list of favorites is full" (<count> "favorites")
    FavoritesWord,    // "favorites", in the full-list message
    GiveFolder,       // an empty folder field
    GiveName,         // an empty name field
    NoSuchFolder,     // "The folder does not exist:" <folder>
    NameWord,         // "name", in the duplicate message
    FolderWord,       // "folder", in the duplicate message
    DuplicateStart,   // "A favorite with this" <name|folder> ...
    DuplicateEnd,     // ... "is already listed."
    Count
};

// The player pane's notes and the frame pane's hint, Messages/msg3_0 .. msg3_5 in a pack. Packs made
// before these existed lack them, so a missing or empty text falls back to the built-in English one.
enum class PlayerMessage {
    Unreadable,  // "The file cannot be read"
    Empty,       // "Empty file"
    NotAMovie,   // "Not an SWF movie"
    Incomplete,  // a movie cut inside its header
    Damaged,     // a movie shown as far as it could be read
    FrameHint,   // hint of the frame pane: "Frame / frame count"
    Count
};

// The text of a message: from the loaded pack, or the built-in one while no pack is loaded.
QString mainMessage(const SharedState& state, MainMessage message);
QString favoritesMessage(const SharedState& state, FavoritesMessage message);
QString playerMessage(const SharedState& state, PlayerMessage message);

} // namespace vistrel
