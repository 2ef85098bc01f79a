#pragma once
// SetLng: the language packs of the program folder. Lists them for the configuration dialog's
// language box and applies one pack to the three windows and to the message texts.

#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/language_target.h"
#include "core/shared_state.h"
#include "settings/profile/private_profile.h"

class QComboBox;

namespace vistrel {

// The windows a pack writes into. Any of them may be null; it is then left out.
struct LanguageWindows {
    LanguageTarget* viewer = nullptr;    // main window, section Viewer
    LanguageTarget* favorites = nullptr; // favorites manager, section Favorites
    LanguageTarget* config = nullptr;    // configuration dialog, section Config
    QComboBox* languageBox = nullptr;    // CBox_Lng of the configuration dialog
    // Shows the notice about a missing pack; the caller owns the way it is shown.
    std::function<void(const QString& notice)> notify;
};

// Reads [Config] LF, lists Language/*.lng into LanguagePacks and the language box, then loads
// the pack named in the settings. With `listPacks` false the list is left empty: reading every pack's
// name can wait until the dialogs that show the list are made (ListLanguagePacks).
void InitLanguage(SharedState& state, const LanguageWindows& windows, bool listPacks = true);
// Lists Language/*.lng (and the user's packs) into LanguagePacks and the language box, anew.
void ListLanguagePacks(SharedState& state, const LanguageWindows& windows);
// Adds one pack file (name without folder) to LanguagePacks and the language box.
void AddLanguagePack(SharedState& state, const LanguageWindows& windows, const QString& fileName);
// Applies one pack (name without folder); a missing pack is reported and changes nothing.
void LoadLanguage(SharedState& state, const LanguageWindows& windows, const QString& fileName);

// Pack file names of BaseDir/Language and of the user's own pack folder (when given; a name in both
// is listed once): regular files matching *.lng, hidden ones skipped, sorted by file name so that
// the order does not depend on the file system.
QStringList listLanguagePacks(const QString& baseDir, const QString& userDir = {});

// Inserts a name into a box whose items are kept sorted alphabetically (letter case ignored,
// equal names after those already there).
void addSortedLanguageName(QComboBox* box, const QString& name);
// Shows the item with exactly this text, or nothing when the box has no such item.
void showLanguageName(QComboBox* box, const QString& name);

// True when the file starts with a UTF-8 or UTF-16 byte-order mark; the profile reader gives
// the values of both as UTF-8.
bool isUnicodePack(const QString& path);
// A raw pack value as text: Windows-1251, or UTF-8 for a pack with a byte-order mark. Control
// characters that damaged packs may hold are dropped, so labels never receive them.
QString decodePackValue(QByteArrayView raw, bool utf8);
// Reading one pack value decoded; empty when the key is missing.
QString readPackText(const PrivateProfile& pack, bool utf8, QByteArrayView section, QByteArrayView key);
QString readPackText(const ProfileSnapshot& pack, bool utf8, QByteArrayView section, QByteArrayView key);

} // namespace vistrel
