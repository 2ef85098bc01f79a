#pragma once
// Fixture for the favorites manager tests: shared state with a loaded message set, a main window
// stand-in whose SaveSettings writes a real settings file, real folders in a temporary folder,
// and recorders for message boxes and the folder dialog.

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <vector>

#include "core/shared_state.h"
#include "favorites/favorites_dialog.h"
#include "tests/support/fake_main_window.h"
#include "widgets/message_box.h"

namespace vistrel::test {

struct ShownMessage {
    MessageKind kind;
    QString text;
    QMessageBox::StandardButtons buttons;
};

class FavoritesDialogTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A new folder inside the temporary folder; its path.
    QString makeFolder(const QString& name) const;
    // Puts entries named "<prefix>i" with real folders into the list.
    void fillList(int count, const QString& prefix = QStringLiteral("Fav"));
    // Opens the dialog as the main window does (without a nested event loop).
    TForm2& open();
    void clickRow(int row);
    // The [Favorites] section of the written settings file as name/address pairs.
    QList<Favorite> savedFavorites() const;

    QPushButton* button(const char* name) const;
    QLineEdit* field(const char* name) const;
    QTableWidget* grid() const;
    QStringList gridTexts() const;
    bool entryButtonsEnabled() const; // any of Edit, Remove, Up, Down

    QTemporaryDir m_dir;
    SharedState m_state;
    // The main window; its save writes the [Favorites] section of the settings file at
    // m_settingsPath atomically and throws "Unable to write to <path>" when the write is refused.
    testing::FakeMainWindow m_host;
    QString m_settingsPath;
    std::unique_ptr<QWidget> m_mainWindow;
    std::unique_ptr<TForm2> m_form;
    std::vector<ShownMessage> m_messages;
    std::optional<QString> m_chosenFolder;
    int m_folderDialogs = 0;
};

// The message texts of a loaded pack, distinct enough to tell apart.
QStringList testMessages();

} // namespace vistrel::test
