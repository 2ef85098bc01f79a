#include "lang/set_lng.h"

#include <algorithm>
#include <optional>

#include <QComboBox>
#include <QDir>
#include <QFileInfo>

#include "core/builtin_texts.h"

namespace vistrel {
namespace {

constexpr int kMainMessageCount = 6;
constexpr int kFavoritesMessageCount = 9;
constexpr int kPlayerMessageCount = 6;
// Real packs are a few kilobytes; a huge file put in the folder by mistake would be held in memory
// whole, so it is treated as unreadable instead.
constexpr qint64 kMaxPackBytes = 1024 * 1024;

// One opened pack, read once for all its keys. A pack that cannot be read answers every key with the
// empty text.
class PackFile {
public:
    explicit PackFile(const QString& path)
    {
        const QFileInfo info(path);
        if (info.isFile() && info.size() <= kMaxPackBytes) {
            m_profile.emplace(path);
            m_utf8 = isUnicodePack(path);
        }
    }

    QString text(QByteArrayView section, QByteArrayView key) const
    {
        return m_profile ? readPackText(*m_profile, m_utf8, section, key) : QString();
    }

    // A message text ends before its first "=". The cut is made on the bytes: "=" is the same
    // byte in both encodings and never occurs inside a multi-byte character.
    QString message(const QByteArray& key) const
    {
        if (!m_profile)
            return {};
        QByteArray raw = m_profile->readRaw("Messages", key);
        const qsizetype equals = raw.indexOf('=');
        if (equals >= 0)
            raw.truncate(equals);
        return decodePackValue(raw, m_utf8);
    }

private:
    std::optional<ProfileSnapshot> m_profile;
    bool m_utf8 = false;
};

// A pack the user added wins over a shipped one of the same file name.
QString packPath(const SharedState& state, const QString& fileName)
{
    if (!state.UserLanguageDir.isEmpty() && !fileName.isEmpty()) {
        const QString own = state.UserLanguageDir + QLatin1Char('/') + fileName;
        if (QFileInfo(own).isFile())
            return own;
    }
    return state.languageFolder() + fileName;
}

// A pack is a regular file directly inside the Language folder. A name with a folder part would
// reach files elsewhere, and an empty name names the folder itself.
bool packExists(const SharedState& state, const QString& fileName)
{
    if (fileName.isEmpty() || fileName.contains(QLatin1Char('/')))
        return false;
    return QFileInfo(packPath(state, fileName)).isFile();
}

void applySection(const PackFile& pack, const char* section, LanguageTarget* target)
{
    if (!target)
        return;
    for (const LanguageText& entry : interfaceTexts(section))
        target->applyText(QString::fromLatin1(entry.key), pack.text(entry.section, entry.key));
}

QStringList readMessages(const PackFile& pack, const char* prefix, int count)
{
    QStringList messages;
    messages.reserve(count);
    for (int i = 0; i < count; ++i)
        messages.append(pack.message(QByteArray(prefix) + QByteArray::number(i)));
    return messages;
}

} // namespace

void InitLanguage(SharedState& state, const LanguageWindows& windows, bool listPacks)
{
    const PrivateProfile settings(state.settingsPath());
    state.CurrentLanguageFile = settings.readString("Config", "LF");
    // An installed program's first run has no settings file yet: it starts in English rather than
    // with a missing-pack notice (a program folder of its own keeps the notice, as it always had).
    if (!state.ConfigDir.isEmpty() && !QFileInfo::exists(state.settingsPath()) && state.CurrentLanguageFile.isEmpty())
        state.CurrentLanguageFile = QStringLiteral("English.lng");

    if (listPacks)
        ListLanguagePacks(state, windows);

    state.MainMessages.clear();
    state.FavoritesMessages.clear();
    state.PlayerMessages.clear();
    LoadLanguage(state, windows, state.CurrentLanguageFile);
}

void ListLanguagePacks(SharedState& state, const LanguageWindows& windows)
{
    state.LanguagePacks.clear();
    if (windows.languageBox)
        windows.languageBox->clear();
    for (const QString& fileName : listLanguagePacks(state.BaseDir, state.UserLanguageDir))
        AddLanguagePack(state, windows, fileName);
    // Filling an empty box selects its first item; the box shows a name only once a pack loads.
    if (windows.languageBox)
        windows.languageBox->setCurrentIndex(-1);
}

void AddLanguagePack(SharedState& state, const LanguageWindows& windows, const QString& fileName)
{
    const PackFile pack(packPath(state, fileName));
    const QString displayName = pack.text("Info", "Language");
    state.LanguagePacks.append(LanguagePackEntry{displayName, fileName});
    addSortedLanguageName(windows.languageBox, displayName);
}

void LoadLanguage(SharedState& state, const LanguageWindows& windows, const QString& fileName)
{
    if (!packExists(state, fileName)) {
        if (windows.notify)
            windows.notify(QStringLiteral("Language file no exists: ") + fileName);
        return;
    }
    const PackFile pack(packPath(state, fileName));

    state.CurrentLanguageName = pack.text("Info", "Language");
    showLanguageName(windows.languageBox, state.CurrentLanguageName);

    applySection(pack, "Viewer", windows.viewer);
    if (windows.viewer)
        windows.viewer->applyDerivedTexts();
    applySection(pack, "Favorites", windows.favorites);
    applySection(pack, "Config", windows.config);

    state.MainMessages = readMessages(pack, "msg1_", kMainMessageCount);
    state.FavoritesMessages = readMessages(pack, "msg2_", kFavoritesMessageCount);
    state.PlayerMessages = readMessages(pack, "msg3_", kPlayerMessageCount);
    if (windows.viewer)
        windows.viewer->applyMessages();
}

QStringList listLanguagePacks(const QString& baseDir, const QString& userDir)
{
    // Without QDir::Hidden, names starting with "." are skipped; without QDir::System, sockets,
    // pipes and broken links are too. Name filters match without regard to case.
    const auto packsIn = [](const QString& path) {
        return QDir(path).entryList({QStringLiteral("*.lng")}, QDir::Files | QDir::NoDotAndDotDot, QDir::NoSort);
    };
    QStringList names = packsIn(baseDir + QStringLiteral("/Language"));
    if (!userDir.isEmpty()) {
        for (const QString& name : packsIn(userDir))
            if (!names.contains(name))
                names.append(name);
    }
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int folded = a.compare(b, Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : a < b;
    });
    return names;
}

void addSortedLanguageName(QComboBox* box, const QString& name)
{
    if (!box)
        return;
    int index = 0;
    while (index < box->count() && box->itemText(index).compare(name, Qt::CaseInsensitive) <= 0)
        ++index;
    const int shown = box->currentIndex();
    box->insertItem(index, name);
    // Inserting into an empty box would select the new item; keep what was shown.
    if (shown < 0)
        box->setCurrentIndex(-1);
}

void showLanguageName(QComboBox* box, const QString& name)
{
    if (!box)
        return;
    box->setCurrentIndex(box->findText(name, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

} // namespace vistrel
