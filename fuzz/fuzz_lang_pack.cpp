// Language packs from anywhere: listing and loading any file as a pack shows what it can, hands
// the windows only printable texts and always fills both message lists.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "core/language_target.h"
#include "core/shared_state.h"
#include "fuzz/fuzz_support.h"
#include "lang/set_lng.h"
#include "widgets/message_box.h"

namespace {

void check(bool condition) {
    if (!condition)
        __builtin_trap();
}

// Texts reach labels and menus; a control character there means the decoding let damage through.
void checkPrintable(const QString& text) {
    for (const QChar c : text)
        check(c.unicode() >= 0x20 || c.unicode() == u'\t');
}

class RecordingTarget : public vistrel::LanguageTarget {
public:
    void applyText(const QString& key, const QString& text) override {
        check(!key.isEmpty());
        checkPrintable(text);
        ++m_applied;
    }
    int applied() const { return m_applied; }

private:
    int m_applied = 0;
};

struct Sandbox {
    QTemporaryDir folder{QStringLiteral("/dev/shm/vistrel-fuzz-XXXXXX")};
    std::unique_ptr<QTemporaryDir> fallback;
    QString base;

    Sandbox() {
        base = folder.path();
        if (!folder.isValid()) {
            fallback = std::make_unique<QTemporaryDir>();
            base = fallback->path();
        }
        if (!QDir(base).mkpath(QStringLiteral("Language")))
            std::abort();
    }
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    vistrel::fuzz::useOffscreenPlatform();
    static QApplication app(*argc, *argv);
    // The pack always exists, so no box is expected; should one come, it must not wait for a click.
    vistrel::setMessageHandler([](vistrel::MessageKind, const QString&, QMessageBox::StandardButtons) {
        return QMessageBox::Ok;
    });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Sandbox sandbox;
    static QComboBox languageBox;
    const QByteArrayView raw(data, static_cast<qsizetype>(size));

    checkPrintable(vistrel::decodePackValue(raw, false));
    checkPrintable(vistrel::decodePackValue(raw, true));

    const QString packPath = sandbox.base + QStringLiteral("/Language/fuzz.lng");
    {
        QFile pack(packPath);
        if (!pack.open(QIODevice::WriteOnly | QIODevice::Truncate) || pack.write(raw.data(), raw.size()) != raw.size())
            std::abort();
    }

    vistrel::SharedState state;
    state.BaseDir = sandbox.base;
    RecordingTarget viewer, favorites, config;
    languageBox.clear();
    vistrel::LanguageWindows windows;
    windows.viewer = &viewer;
    windows.favorites = &favorites;
    windows.config = &config;
    windows.languageBox = &languageBox;

    vistrel::AddLanguagePack(state, windows, QStringLiteral("fuzz.lng"));
    check(state.LanguagePacks.size() == 1);
    checkPrintable(state.LanguagePacks.front().displayName);

    vistrel::LoadLanguage(state, windows, QStringLiteral("fuzz.lng"));
    checkPrintable(state.CurrentLanguageName);
    check(state.MainMessages.size() == 6 && state.FavoritesMessages.size() == 9);
    for (const QString& message : state.MainMessages + state.FavoritesMessages) {
        checkPrintable(message);
        check(!message.contains(QLatin1Char('=')));
    }
    // Every text of every window is set, from the pack or as empty.
    check(viewer.applied() > 0 && favorites.applied() > 0 && config.applied() > 0);
    return 0;
}
