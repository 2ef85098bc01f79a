#include "settings/settings_file.h"

#include <algorithm>

#include <QByteArray>
#include <QDir>
#include <QRect>
#include <QSize>

#include "core/main_window_host.h"
#include "core/shared_state.h"
#include "settings/profile/private_profile.h"

namespace vistrel {
namespace {

constexpr QByteArrayView kConfig = "Config";
constexpr QByteArrayView kPosition = "Position";
constexpr QByteArrayView kFavorites = "Favorites";

// Favorite keys carry an 8-bit index, so 256 entries is all the file can address.
constexpr int kMaxFavoriteIndex = 255;

// The smallest geometry the window accepts back, and what replaces anything smaller.
constexpr int kMinWidth = 400;
constexpr int kDefaultWidth = 740;
constexpr int kMinHeight = 300;
constexpr int kDefaultHeight = 600;
constexpr int kMinPanelWidth = 10;
constexpr int kDefaultPanelWidth = 170;
constexpr int kMinSplitterPos = 10;
constexpr int kDefaultSplitterPos = 200;
// A save never stores a side panel narrower than this.
constexpr int kSavedPanelMinimum = 9;

QByteArray favoriteKey(char kind, int index) {
    return kind + QByteArray::number(index);
}

QByteArray flag(bool on) {
    return on ? QByteArrayLiteral("1") : QByteArrayLiteral("0");
}

template <typename Change> void changeBounds(MainWindowHost &host, Change change) {
    QRect bounds = host.windowBounds();
    change(bounds);
    host.setWindowBounds(bounds);
}

void readGeometry(const PrivateProfile &ini, MainWindowHost &host) {
    // Each value goes to the window as soon as it is read.
    const int left = ini.readInt(kPosition, "X", 0);
    changeBounds(host, [&](QRect &b) { b.moveLeft(left); });
    const int top = ini.readInt(kPosition, "Y", 0);
    changeBounds(host, [&](QRect &b) { b.moveTop(top); });
    const int width = ini.readInt(kPosition, "W", 0);
    changeBounds(host, [&](QRect &b) { b.setWidth(width); });
    const int height = ini.readInt(kPosition, "H", 0);
    changeBounds(host, [&](QRect &b) { b.setHeight(height); });
    host.setPanelWidth(ini.readInt(kPosition, "P1", 0));
    host.setSplitterPosition(ini.readInt(kPosition, "P2", 0));
}

void readFavorites(const PrivateProfile &ini, SharedState &state) {
    for (int i = 0; i <= kMaxFavoriteIndex; ++i) {
        const QString name = ini.readString(kFavorites, favoriteKey('n', i));
        if (name.isEmpty())
            break;
        state.FavoriteList.append(Favorite{name, ini.readString(kFavorites, favoriteKey('a', i))});
    }
}

void correctGeometry(MainWindowHost &host) {
    if (host.windowBounds().top() < 0)
        changeBounds(host, [](QRect &b) { b.moveTop(0); });
    if (host.windowBounds().left() < 0)
        changeBounds(host, [](QRect &b) { b.moveLeft(0); });
    if (host.windowBounds().width() < kMinWidth)
        changeBounds(host, [](QRect &b) { b.setWidth(kDefaultWidth); });
    if (host.windowBounds().height() < kMinHeight)
        changeBounds(host, [](QRect &b) { b.setHeight(kDefaultHeight); });
    if (host.panelWidth() < kMinPanelWidth)
        host.setPanelWidth(kDefaultPanelWidth);
    if (host.splitterPosition() < kMinSplitterPos)
        host.setSplitterPosition(kDefaultSplitterPos);
}

void centreOnScreen(MainWindowHost &host) {
    const QSize screen = host.screenSize();
    changeBounds(host, [&](QRect &b) {
        b.moveTo(screen.width() / 2 - b.width() / 2, screen.height() / 2 - b.height() / 2);
    });
}

struct SizeSnapshot {
    int width, height, panelWidth, splitterPos;
};

SizeSnapshot takeSizeSnapshot(const MainWindowHost &host) {
    const QRect bounds = host.windowBounds();
    return {bounds.width(), bounds.height(), host.panelWidth(), host.splitterPosition()};
}

void storeSizeSnapshot(SharedState &state, const SizeSnapshot &size) {
    state.SavedWidth = size.width;
    state.SavedHeight = size.height;
    state.SavedPanelWidth = size.panelWidth;
    state.SavedSplitterPos = size.splitterPos;
}

} // namespace

void LoadSettings(SharedState &state, MainWindowHost &host) {
    const PrivateProfile ini(state.settingsPath());

    state.RememberSize = ini.readBool(kConfig, "RS", true);
    state.RememberPosition = ini.readBool(kConfig, "RC", true);
    state.RememberDir = ini.readBool(kConfig, "RD", true);
    state.ShowHints = ini.readBool(kConfig, "SH", true);
    state.ShowMenuIcons = ini.readBool(kConfig, "SI", true);
    state.CurrentDir = ini.readString(kConfig, "SD");

    readGeometry(ini, host);
    readFavorites(ini, state);
    correctGeometry(host);

    // The folder is kept as the user gave it, links and all: the working folder the system
    // reports has its links resolved and would be written back that way. A relative start folder
    // is made absolute once, against the folder the program started in.
    const QString startFolder =
        state.CurrentDir.isEmpty() ? QString() : QDir::cleanPath(QDir::current().absoluteFilePath(state.CurrentDir));
    if (startFolder.isEmpty() || !QDir::setCurrent(startFolder))
        state.CurrentDir = state.HomeDir.isEmpty() ? state.BaseDir : state.HomeDir;
    else
        state.CurrentDir = startFolder;

    if (!state.ShowHints)
        host.setHintsEnabled(false);
    if (!state.ShowMenuIcons)
        host.setMenuImagesEnabled(false);

    if (!state.RememberPosition) {
        centreOnScreen(host);
        const QRect bounds = host.windowBounds();
        state.SavedLeft = bounds.left();
        state.SavedTop = bounds.top();
    }
    if (!state.RememberSize)
        storeSizeSnapshot(state, takeSizeSnapshot(host));
    if (!state.RememberDir)
        state.StartDir = state.CurrentDir;
}

void SaveSettings(SharedState &state, MainWindowHost &host) {
    if (host.panelWidth() < kSavedPanelMinimum)
        host.setPanelWidth(kSavedPanelMinimum);

    // The new state is worked out first and stored only once the file is written, so a refused
    // write leaves both the file and the state as they were.
    const QString startDir = state.RememberDir ? state.CurrentDir : state.StartDir;
    const QRect bounds = host.windowBounds();
    const int savedLeft = state.RememberPosition ? bounds.left() : state.SavedLeft;
    const int savedTop = state.RememberPosition ? bounds.top() : state.SavedTop;
    const SizeSnapshot size = state.RememberSize
                                  ? takeSizeSnapshot(host)
                                  : SizeSnapshot{state.SavedWidth, state.SavedHeight, state.SavedPanelWidth,
                                                 state.SavedSplitterPos};

    // An installed program's settings folder is made on the first save; if that is refused, so is the write.
    if (!state.ConfigDir.isEmpty())
        QDir().mkpath(state.ConfigDir);
    PrivateProfile ini(state.settingsPath());
    PrivateProfile::Batch batch(ini);
    batch.writeRaw(kConfig, "RS", flag(state.RememberSize));
    batch.writeRaw(kConfig, "RC", flag(state.RememberPosition));
    batch.writeRaw(kConfig, "RD", flag(state.RememberDir));
    batch.writeRaw(kConfig, "SH", flag(state.ShowHints));
    batch.writeRaw(kConfig, "SI", flag(state.ShowMenuIcons));
    batch.writeString(kConfig, "SD", startDir);
    batch.writeString(kConfig, "LF", state.CurrentLanguageFile);

    batch.writeRaw(kPosition, "X", QByteArray::number(savedLeft));
    batch.writeRaw(kPosition, "Y", QByteArray::number(savedTop));
    batch.writeRaw(kPosition, "W", QByteArray::number(size.width));
    batch.writeRaw(kPosition, "H", QByteArray::number(size.height));
    batch.writeRaw(kPosition, "P1", QByteArray::number(size.panelWidth));
    batch.writeRaw(kPosition, "P2", QByteArray::number(size.splitterPos));

    batch.eraseSection(kFavorites);
    const int count = std::min<int>(static_cast<int>(state.FavoriteList.size()), kMaxFavoriteIndex + 1);
    for (int i = 0; i < count; ++i) {
        const Favorite &favorite = state.FavoriteList.at(i);
        batch.writeString(kFavorites, favoriteKey('n', i), favorite.name);
        batch.writeString(kFavorites, favoriteKey('a', i), favorite.address);
    }
    batch.commit();

    state.StartDir = startDir;
    state.SavedLeft = savedLeft;
    state.SavedTop = savedTop;
    storeSizeSnapshot(state, size);

    host.rebuildFavoritesMenu();
    ApplyViewOptions(state, host);
}

void ApplyViewOptions(const SharedState &state, MainWindowHost &host) {
    host.setHintsEnabled(state.ShowHints);
    host.setMenuImagesEnabled(state.ShowMenuIcons);
}

} // namespace vistrel
