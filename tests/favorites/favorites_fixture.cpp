#include "tests/favorites/favorites_fixture.h"

#include <QApplication>
#include <QTest>

#include "settings/profile/private_profile.h"
#include "widgets/folder_dialog.h"

namespace vistrel::test {
QStringList testMessages()
{
    return {QStringLiteral("The list is full"), QStringLiteral("favorites"), QStringLiteral("Give a folder."),
            QStringLiteral("Give a name."),     QStringLiteral("No such folder:"), QStringLiteral("name"),
            QStringLiteral("folder"),           QStringLiteral("A favorite with this"),
            QStringLiteral("is already listed.")};
}

void FavoritesDialogTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_state.BaseDir = m_dir.path();
    m_state.FavoritesMessages = testMessages();
    m_settingsPath = m_state.settingsPath();
    m_host.onSave = [this] {
        // The [Favorites] part of the real save: the section is rewritten whole, in one commit.
        PrivateProfile profile(m_settingsPath);
        PrivateProfile::Batch batch(profile);
        batch.eraseSection("Favorites");
        for (int i = 0; i < m_state.FavoriteList.size(); ++i) {
            const QByteArray index = QByteArray::number(i);
            batch.writeString("Favorites", "n" + index, m_state.FavoriteList.at(i).name);
            batch.writeString("Favorites", "a" + index, m_state.FavoriteList.at(i).address);
        }
        batch.commit();
        m_host.rebuildFavoritesMenu();
    };
    m_host.folder = makeFolder(QStringLiteral("Current"));
    m_mainWindow = std::make_unique<QWidget>();
    m_mainWindow->setGeometry(100, 50, 800, 601);
    setMessageHandler([this](MessageKind kind, const QString& text, QMessageBox::StandardButtons buttons) {
        m_messages.push_back({kind, text, buttons});
        return QMessageBox::Cancel;
    });
    setFolderChooser([this](const QString&) {
        ++m_folderDialogs;
        return m_chosenFolder;
    });
    m_form = std::make_unique<TForm2>(m_state, m_host, m_mainWindow.get());
}

void FavoritesDialogTest::TearDown()
{
    m_form.reset();
    m_mainWindow.reset();
    setMessageHandler({});
    setFolderChooser({});
}

QString FavoritesDialogTest::makeFolder(const QString& name) const
{
    QDir(m_dir.path()).mkpath(name);
    return m_dir.filePath(name);
}

void FavoritesDialogTest::fillList(int count, const QString& prefix)
{
    for (int i = 0; i < count; ++i) {
        const QString name = prefix + QString::number(i);
        m_state.FavoriteList.append({name, makeFolder(name)});
    }
}

TForm2& FavoritesDialogTest::open()
{
    m_form->show();
    return *m_form;
}

void FavoritesDialogTest::clickRow(int row)
{
    QTableWidget* table = grid();
    const QModelIndex index = table->model()->index(row, 0);
    table->scrollTo(index);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(index).center());
}

QList<Favorite> FavoritesDialogTest::savedFavorites() const
{
    // Read back as the program loads them: up to the first empty name.
    const PrivateProfile profile(m_settingsPath);
    QList<Favorite> result;
    for (int i = 0; i < 256; ++i) {
        const QByteArray index = QByteArray::number(i);
        const QString name = profile.readString("Favorites", "n" + index);
        if (name.isEmpty())
            break;
        result.append({name, profile.readString("Favorites", "a" + index)});
    }
    return result;
}

QPushButton* FavoritesDialogTest::button(const char* name) const
{
    auto* found = m_form->findChild<QPushButton*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QLineEdit* FavoritesDialogTest::field(const char* name) const
{
    auto* found = m_form->findChild<QLineEdit*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QTableWidget* FavoritesDialogTest::grid() const
{
    return m_form->findChild<QTableWidget*>(QStringLiteral("StringGrid1"));
}

QStringList FavoritesDialogTest::gridTexts() const
{
    QStringList texts;
    for (int row = 0; row < grid()->rowCount(); ++row)
        texts << (grid()->item(row, 0) ? grid()->item(row, 0)->text() : QString());
    return texts;
}

bool FavoritesDialogTest::entryButtonsEnabled() const
{
    return button("B_Edit")->isEnabled() || button("B_Remove")->isEnabled() || button("B_Up")->isEnabled()
           || button("B_Down")->isEnabled();
}

} // namespace vistrel::test
