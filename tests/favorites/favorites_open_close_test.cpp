// Opening the dialog, closing it in every way, and its texts and placement.

#include <QFile>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include "core/builtin_texts.h"
#include "tests/favorites/favorites_fixture.h"

namespace vistrel::test {
namespace {

TEST_F(FavoritesDialogTest, OpeningFillsBothFieldsWithTheCurrentFolder)
{
    fillList(2);
    open();
    EXPECT_EQ(field("EditName")->text(), m_host.folder);
    EXPECT_EQ(field("EditAddress")->text(), m_host.folder);
    EXPECT_EQ(m_form->focusWidget(), field("EditName"));
    EXPECT_EQ(gridTexts(), (QStringList{"  Fav0", "  Fav1"}));
    EXPECT_FALSE(m_form->favoritesChanged());
    EXPECT_FALSE(entryButtonsEnabled());
    EXPECT_TRUE(m_form->findChild<QWidget*>(QStringLiteral("InfoPanel"))->isHidden());
}

TEST_F(FavoritesDialogTest, OpeningClearsTheSelectionLeftFromBefore)
{
    fillList(3);
    open();
    clickRow(2);
    ASSERT_TRUE(button("B_Remove")->isEnabled());
    button("B_Edit")->click();
    button("B_Close")->click();
    ASSERT_TRUE(m_form->isHidden());

    // Meanwhile the main window dropped an entry whose folder had gone.
    m_state.FavoriteList.removeLast();
    m_host.folder = makeFolder(QStringLiteral("Elsewhere"));
    open();

    EXPECT_EQ(m_form->selectedFavorite(), 0);
    EXPECT_EQ(grid()->currentRow(), -1);
    EXPECT_TRUE(grid()->selectedItems().isEmpty());
    EXPECT_FALSE(entryButtonsEnabled());
    // Closed in edit mode, opened in add mode.
    EXPECT_FALSE(button("B_Add")->isHidden());
    EXPECT_TRUE(button("B_Insert")->isHidden());
    EXPECT_TRUE(button("B_Cancel")->isHidden());
    EXPECT_TRUE(grid()->isEnabled());
    EXPECT_EQ(field("EditAddress")->text(), m_host.folder);
    EXPECT_EQ(gridTexts(), (QStringList{"  Fav0", "  Fav1"}));
}

TEST_F(FavoritesDialogTest, CloseWithoutChangesWritesNothing)
{
    fillList(2);
    open();
    button("B_Close")->click();
    EXPECT_TRUE(m_form->isHidden());
    EXPECT_EQ(m_host.saveCalls, 0);
    EXPECT_FALSE(QFile::exists(m_settingsPath));
}

TEST_F(FavoritesDialogTest, CloseAfterChangesSavesTheList)
{
    fillList(3);
    open();
    clickRow(0);
    button("B_Remove")->click();
    // A warning box afterwards does not clear the change.
    field("EditAddress")->clear();
    button("B_Add")->click();
    ASSERT_EQ(m_messages.size(), 1u);

    button("B_Close")->click();
    EXPECT_TRUE(m_form->isHidden());
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_EQ(m_host.menuRebuilds, 1);
    EXPECT_EQ(savedFavorites(), m_state.FavoriteList);
    EXPECT_EQ(m_state.FavoriteList.size(), 2);
}

TEST_F(FavoritesDialogTest, RefusedSaveIsReportedOnceThenCloseKeepsTheListInMemory)
{
    const QString writable = m_settingsPath;
    m_settingsPath = m_dir.filePath(QStringLiteral("missing/vistrel.ini"));
    open();
    button("B_Add")->click();
    ASSERT_TRUE(m_form->favoritesChanged());
    const QList<Favorite> changed = m_state.FavoriteList;
    ASSERT_EQ(changed.size(), 1);

    // The Close button lets the error through to the application's error handler.
    EXPECT_THROW(m_form->B_CloseClick(), std::exception);
    EXPECT_TRUE(m_form->isVisible());
    EXPECT_TRUE(m_form->favoritesChanged());
    EXPECT_EQ(m_host.saveCalls, 1);

    // The second Close does not ask again: the dialog goes, the list stays as changed and the
    // menu shows it.
    button("B_Close")->click();
    EXPECT_TRUE(m_form->isHidden());
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_EQ(m_host.menuRebuilds, 1);
    EXPECT_EQ(m_state.FavoriteList, changed);
    EXPECT_FALSE(QFile::exists(m_settingsPath));

    // The end of the run saves it with the rest of the settings.
    m_settingsPath = writable;
    m_host.saveSettings();
    EXPECT_EQ(savedFavorites(), changed);
}

TEST_F(FavoritesDialogTest, EscapeAndWindowCloseReportARefusedSaveOnceThenClose)
{
    m_settingsPath = m_dir.filePath(QStringLiteral("missing/vistrel.ini"));
    const QString shown = QStringLiteral("Unable to write to ") + m_settingsPath + QLatin1Char('.');
    for (const bool byEscape : {true, false}) {
        SCOPED_TRACE(byEscape ? "Escape" : "window close");
        m_messages.clear();
        const int savesBefore = m_host.saveCalls;
        open();
        button("B_Add")->click();

        // First try: the error shows and the dialog stays.
        if (byEscape)
            QTest::keyClick(m_form.get(), Qt::Key_Escape);
        else
            EXPECT_FALSE(m_form->close());
        ASSERT_EQ(m_messages.size(), 1u);
        EXPECT_EQ(m_messages[0].kind, MessageKind::Error);
        EXPECT_EQ(m_messages[0].text, shown);
        EXPECT_TRUE(m_form->isVisible());

        // Second try: closed, nothing shown or saved again, the change kept.
        if (byEscape)
            QTest::keyClick(m_form.get(), Qt::Key_Escape);
        else
            EXPECT_TRUE(m_form->close());
        EXPECT_TRUE(m_form->isHidden());
        EXPECT_EQ(m_messages.size(), 1u);
        EXPECT_EQ(m_host.saveCalls, savesBefore + 1);
        EXPECT_FALSE(m_state.FavoriteList.isEmpty());
        // A new opening starts afresh: its first refused save is reported again.
        m_state.FavoriteList.clear();
    }
}

TEST_F(FavoritesDialogTest, EscapeAndWindowCloseCommitLikeClose)
{
    fillList(2);
    open();
    clickRow(1);
    button("B_Up")->click();
    QTest::keyClick(m_form.get(), Qt::Key_Escape);
    EXPECT_TRUE(m_form->isHidden());
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_EQ(savedFavorites(), m_state.FavoriteList);

    open();
    clickRow(1);
    button("B_Up")->click();
    EXPECT_TRUE(m_form->close());
    EXPECT_EQ(m_host.saveCalls, 2);
    EXPECT_EQ(savedFavorites(), m_state.FavoriteList);

    // Without changes neither way saves.
    open();
    EXPECT_TRUE(m_form->close());
    EXPECT_EQ(m_host.saveCalls, 2);
}

TEST_F(FavoritesDialogTest, ModalOpeningRunsUntilClose)
{
    m_host.folder = makeFolder(QStringLiteral("Modal"));
    QTimer::singleShot(0, m_form.get(), [this] {
        EXPECT_EQ(field("EditName")->text(), m_host.folder);
        button("B_Add")->click();
        button("B_Close")->click();
    });
    m_form->exec();
    EXPECT_TRUE(m_form->isHidden());
    EXPECT_EQ(m_host.saveCalls, 1);
    EXPECT_EQ(savedFavorites(), (QList<Favorite>{{m_host.folder, m_host.folder}}));
}

TEST_F(FavoritesDialogTest, IsCentredOverTheMainWindow)
{
    // The dialog's fixed design size; the positions below follow from it and the main window's.
    EXPECT_EQ(m_form->size(), QSize(397, 373));
    // Created centred: 100 + (800 - 397) / 2, 50 + (601 - 373) / 2.
    EXPECT_EQ(m_form->pos(), QPoint(301, 164));
    m_mainWindow->setGeometry(-300, 10, 501, 300);
    open();
    // Outer sizes count, and the halves truncate toward zero when the dialog is the larger.
    const QRect outer = m_form->frameGeometry();
    EXPECT_EQ(outer.topLeft(),
              QPoint(-300 + (501 - outer.width()) / 2, 10 + (300 - outer.height()) / 2));
}

TEST_F(FavoritesDialogTest, LanguageTextsReachTheirControls)
{
    EXPECT_EQ(m_form->windowTitle(), builtinText("Favorites", "id01"));
    EXPECT_EQ(button("B_Down")->text(), builtinText("Favorites", "id10"));

    // A longer caption grows the label to the left; it stays right-aligned beside its field.
    auto* label1 = m_form->findChild<QLabel*>(QStringLiteral("Label1"));
    const int rightEdge = label1->geometry().right();
    EXPECT_LT(rightEdge, field("EditName")->x());
    m_form->applyText(QStringLiteral("id02"), QStringLiteral("A longer name:"));
    m_form->applyText(QStringLiteral("id05"), QStringLiteral("Replace"));
    EXPECT_EQ(label1->text(), QStringLiteral("A longer name:"));
    EXPECT_EQ(label1->geometry().right(), rightEdge);
    EXPECT_EQ(button("B_Insert")->text(), QStringLiteral("Replace"));
}

} // namespace
} // namespace vistrel::test
