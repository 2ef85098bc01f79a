#pragma once
// The state that the main window, the two dialogs, the settings file and the language packs share.
// One instance lives in the main-window module and is handed to the others by reference.

#include <QList>
#include <QString>
#include <QStringList>
#include <cstdint>

namespace vistrel {

// A favorite folder. Name and address are held apart, so a name that contains "=" survives a
// save and a load unchanged; the settings file still stores them as n<i> and a<i>.
struct Favorite {
    QString name;
    QString address;
    bool operator==(const Favorite&) const = default;
};

// One language pack found in the Language folder.
struct LanguagePackEntry {
    QString displayName; // [Info] Language
    QString fileName;    // file name without folder
};

struct SharedState {
    // Program folder and movies.
    QString BaseDir;      // program data: the working folder when the main window was created, or the
                          // installed data folder (see program_location.h)
    QString ConfigDir;    // folder of the settings file when it is not BaseDir (installed program)
    QString UserLanguageDir;  // language packs the user added (installed program); empty: none
    QString HomeDir;      // folder shown when none is remembered: BaseDir, or home when installed
    QString StartMovie;   // BaseDir + "/swfinfo.dat"
    QString CurrentMovie; // movie last handed to the player
    QString CurrentDir;   // folder selected in the folder tree

    // Favorites.
    QList<Favorite> FavoriteList;
    std::uint8_t MaxFavorites = 20;

    // Folder history.
    QStringList FolderHistory;
    std::uint8_t HistoryIndex = 0;
    std::uint8_t MaxHistory = 10;
    bool RecordFolderChange = false;

    // Zoom counter of the player: 100 = whole movie.
    int ZoomLevel = 100;

    // Option flags and snapshots; false and 0 until the settings are loaded.
    bool RememberSize = false;
    bool RememberPosition = false;
    bool RememberDir = false;
    bool ShowHints = false;
    bool ShowMenuIcons = false;
    QString StartDir;
    int SavedLeft = 0;
    int SavedTop = 0;
    int SavedWidth = 0;
    int SavedHeight = 0;
    int SavedPanelWidth = 0;
    int SavedSplitterPos = 0;

    // Configuration dialog.
    bool ConfigChanged = false;

    // Language state.
    QString CurrentLanguageFile;
    QString CurrentLanguageName;
    QList<LanguagePackEntry> LanguagePacks;
    QStringList MainMessages;      // Messages/msg1_0 .. msg1_5 after a load
    QStringList FavoritesMessages; // Messages/msg2_0 .. msg2_8 after a load
    QStringList PlayerMessages;    // Messages/msg3_0 .. msg3_5 after a load

    QString settingsPath() const { return (ConfigDir.isEmpty() ? BaseDir : ConfigDir) + QStringLiteral("/vistrel.ini"); }
    QString languageFolder() const { return BaseDir + QStringLiteral("/Language/"); }
};

// The pack file for a display name: letter case ignored, first listed wins; empty when none.
QString languageFileFor(const SharedState& state, const QString& displayName);

} // namespace vistrel
