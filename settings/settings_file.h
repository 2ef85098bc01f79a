#pragma once
// The settings file vistrel.ini in the program folder: what the program remembers between runs
// (option flags, start folder, language pack, main-window geometry, favorite folders).

namespace vistrel {

struct SharedState;
class MainWindowHost;

// Reads the file into the state and applies the geometry and view options to the main window at
// once; a missing file, section or key gives the defaults. Called once, when the main window is
// created. Changes the process's current folder to the start folder.
void LoadSettings(SharedState &state, MainWindowHost &host);

// Writes every key of [Config] and [Position] and the whole [Favorites] section in one atomic
// rewrite, then rebuilds the favorites menu and re-applies the view options. Throws
// ProfileWriteError when the file cannot be written; the old file and the state stay as they were.
void SaveSettings(SharedState &state, MainWindowHost &host);

// The hint switch and the menu images of the main window, from the option flags.
void ApplyViewOptions(const SharedState &state, MainWindowHost &host);

} // namespace vistrel
