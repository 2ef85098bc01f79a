// Working on the entries: selecting, moving, removing, editing and replacing.

#include <QImage>
#include <QTest>

#include "tests/favorites/favorites_fixture.h"

namespace vistrel::test {
namespace {

struct RowCase {
    const char* label;
    int count;
    int row;
    bool editRemove;
    bool up;
    bool down;
};

class RowSelectionTest : public FavoritesDialogTest, public ::testing::WithParamInterface<RowCase> {};

TEST_P(RowSelectionTest, EnablesTheButtonsThatCanAct)
{
    const RowCase& param = GetParam();
    fillList(param.count);
    open();
    clickRow(param.row);
    EXPECT_EQ(m_form->selectedFavorite(), param.row);
    EXPECT_EQ(button("B_Edit")->isEnabled(), param.editRemove);
    EXPECT_EQ(button("B_Remove")->isEnabled(), param.editRemove);
    EXPECT_EQ(button("B_Up")->isEnabled(), param.up);
    EXPECT_EQ(button("B_Down")->isEnabled(), param.down);
}

INSTANTIATE_TEST_SUITE_P(Rows, RowSelectionTest,
                         ::testing::Values(RowCase{"First", 3, 0, true, false, true},
                                           RowCase{"Middle", 3, 1, true, true, true},
                                           RowCase{"Last", 3, 2, true, true, false},
                                           RowCase{"Single", 1, 0, true, false, false},
                                           RowCase{"EmptyList", 0, 0, false, false, false}),
                         [](const ::testing::TestParamInfo<RowCase>& info) { return std::string(info.param.label); });

TEST_F(FavoritesDialogTest, KeyboardMovesInTheGridSelectLikeClicks)
{
    fillList(3);
    open();
    clickRow(0);
    QTest::keyClick(grid(), Qt::Key_Down);
    QTest::keyClick(grid(), Qt::Key_Down);
    EXPECT_EQ(m_form->selectedFavorite(), 2);
    EXPECT_TRUE(button("B_Up")->isEnabled());
    EXPECT_FALSE(button("B_Down")->isEnabled());
    button("B_Remove")->click();
    EXPECT_EQ(gridTexts(), (QStringList{"  Fav0", "  Fav1"}));
}

TEST_F(FavoritesDialogTest, UpAndDownMoveTheSameEntryAndStopAtTheEnds)
{
    fillList(3); // Fav0, Fav1, Fav2
    open();
    const Favorite moved = m_state.FavoriteList[1];
    clickRow(1);

    button("B_Up")->click();
    EXPECT_EQ(m_state.FavoriteList[0], moved);
    EXPECT_EQ(m_form->selectedFavorite(), 0);
    EXPECT_FALSE(button("B_Up")->isEnabled());
    EXPECT_TRUE(button("B_Down")->isEnabled());
    EXPECT_EQ(grid()->currentRow(), 0);
    EXPECT_EQ(gridTexts(), (QStringList{"  Fav1", "  Fav0", "  Fav2"}));
    EXPECT_TRUE(m_form->favoritesChanged());

    button("B_Down")->click();
    EXPECT_EQ(m_state.FavoriteList[1], moved);
    EXPECT_TRUE(button("B_Up")->isEnabled());
    EXPECT_TRUE(button("B_Down")->isEnabled());

    button("B_Down")->click();
    EXPECT_EQ(m_state.FavoriteList[2], moved);
    EXPECT_EQ(m_form->selectedFavorite(), 2);
    EXPECT_FALSE(button("B_Down")->isEnabled());
    EXPECT_EQ(grid()->currentRow(), 2);

    // At the end a move that still reaches the handler changes nothing.
    const QList<Favorite> atEnd = m_state.FavoriteList;
    m_form->B_DownClick();
    EXPECT_EQ(m_state.FavoriteList, atEnd);
    EXPECT_EQ(m_form->selectedFavorite(), 2);
}

TEST_F(FavoritesDialogTest, RemoveDeletesTheSelectedEntryWithoutAsking)
{
    fillList(3);
    open();
    clickRow(1);
    button("B_Remove")->click();

    EXPECT_TRUE(m_messages.empty());
    EXPECT_EQ(gridTexts(), (QStringList{"  Fav0", "  Fav2"}));
    EXPECT_FALSE(entryButtonsEnabled());
    EXPECT_TRUE(m_form->favoritesChanged());
    EXPECT_TRUE(grid()->selectedItems().isEmpty());

    // Removing the last entry leaves the empty row.
    clickRow(0);
    button("B_Remove")->click();
    clickRow(0);
    button("B_Remove")->click();
    EXPECT_TRUE(m_state.FavoriteList.isEmpty());
    EXPECT_EQ(gridTexts(), QStringList{QString()});
}

TEST_F(FavoritesDialogTest, ClicksIntoTheFieldsDisableTheEntryButtons)
{
    fillList(3);
    open();
    const char* const fields[] = {"EditName", "EditAddress"};
    for (const char* name : fields) {
        clickRow(1);
        ASSERT_TRUE(entryButtonsEnabled());
        QTest::mouseClick(field(name), Qt::LeftButton);
        EXPECT_FALSE(entryButtonsEnabled()) << name;
    }
}

TEST_F(FavoritesDialogTest, FolderButtonFillsTheFolderFieldWhenConfirmed)
{
    fillList(2);
    open();
    QAction* folderButton = field("EditAddress")->findChild<QAction*>(QStringLiteral("EditAddressButton"));
    ASSERT_NE(folderButton, nullptr);
    field("EditAddress")->setText(QStringLiteral("typed"));

    clickRow(0);
    m_chosenFolder.reset();
    folderButton->trigger();
    EXPECT_EQ(field("EditAddress")->text(), QStringLiteral("typed"));
    EXPECT_FALSE(entryButtonsEnabled());

    clickRow(0);
    m_chosenFolder = makeFolder(QStringLiteral("Chosen"));
    folderButton->trigger();
    EXPECT_EQ(field("EditAddress")->text(), *m_chosenFolder);
    EXPECT_FALSE(entryButtonsEnabled());
    EXPECT_EQ(m_folderDialogs, 2);
}

TEST_F(FavoritesDialogTest, EditThenCancelLeavesTheListAlone)
{
    fillList(3);
    open();
    const QList<Favorite> before = m_state.FavoriteList;
    clickRow(2);
    button("B_Edit")->click();

    EXPECT_EQ(field("EditName")->text(), before[2].name);
    EXPECT_EQ(field("EditAddress")->text(), before[2].address);
    EXPECT_EQ(m_form->focusWidget(), field("EditName"));
    EXPECT_TRUE(button("B_Add")->isHidden());
    EXPECT_FALSE(button("B_Insert")->isHidden());
    EXPECT_FALSE(button("B_Cancel")->isHidden());
    EXPECT_EQ(button("B_Insert")->geometry(), button("B_Add")->geometry());
    EXPECT_FALSE(grid()->isEnabled());
    EXPECT_FALSE(entryButtonsEnabled());

    button("B_Cancel")->click();
    EXPECT_EQ(m_state.FavoriteList, before);
    EXPECT_FALSE(m_form->favoritesChanged());
    EXPECT_TRUE(field("EditName")->text().isEmpty());
    EXPECT_TRUE(field("EditAddress")->text().isEmpty());
    EXPECT_TRUE(grid()->isEnabled());
    EXPECT_FALSE(entryButtonsEnabled());
    EXPECT_FALSE(button("B_Add")->isHidden());
    EXPECT_TRUE(button("B_Insert")->isHidden());
    EXPECT_TRUE(button("B_Cancel")->isHidden());
}

TEST_F(FavoritesDialogTest, ReplaceKeepsThePositionAndSkipsTheFolderChecks)
{
    fillList(3);
    open();
    clickRow(1);
    button("B_Edit")->click();
    // Neither the existence of the folder nor duplicates are checked on Replace.
    const QString missing = m_dir.filePath(QStringLiteral("Nowhere"));
    field("EditName")->setText(QStringLiteral("Fav2"));
    field("EditAddress")->setText(missing);
    button("B_Insert")->click();

    EXPECT_TRUE(m_messages.empty());
    ASSERT_EQ(m_state.FavoriteList.size(), 3);
    EXPECT_EQ(m_state.FavoriteList[1], (Favorite{QStringLiteral("Fav2"), missing}));
    EXPECT_EQ(gridTexts(), (QStringList{"  Fav0", "  Fav2", "  Fav2"}));
    EXPECT_TRUE(m_form->favoritesChanged());
    EXPECT_TRUE(grid()->isEnabled());
    EXPECT_TRUE(button("B_Insert")->isHidden());
    EXPECT_TRUE(field("EditName")->text().isEmpty());
}

struct EmptyReplace {
    const char* label;
    const char* name;
    const char* folder;
    int message;
    const char* focus;
};

class EmptyReplaceTest : public FavoritesDialogTest, public ::testing::WithParamInterface<EmptyReplace> {};

TEST_P(EmptyReplaceTest, IsRefusedAndStaysInEditMode)
{
    const EmptyReplace& param = GetParam();
    fillList(3);
    open();
    const QList<Favorite> before = m_state.FavoriteList;
    clickRow(0);
    button("B_Edit")->click();
    field("EditName")->setText(QString::fromUtf8(param.name));
    field("EditAddress")->setText(QString::fromUtf8(param.folder));
    button("B_Insert")->click();

    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, MessageKind::Warning);
    EXPECT_EQ(m_messages[0].text, testMessages().at(param.message));
    EXPECT_EQ(m_form->focusWidget(), field(param.focus));
    EXPECT_EQ(m_state.FavoriteList, before);
    EXPECT_FALSE(m_form->favoritesChanged());
    EXPECT_FALSE(button("B_Insert")->isHidden());
    EXPECT_FALSE(grid()->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(EmptyFields, EmptyReplaceTest,
                         ::testing::Values(EmptyReplace{"Name", "", "/x", 3, "EditName"},
                                           EmptyReplace{"BlankName", "   ", "/x", 3, "EditName"},
                                           EmptyReplace{"Folder", "Name", "", 2, "EditAddress"}),
                         [](const ::testing::TestParamInfo<EmptyReplace>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(FavoritesDialogTest, SelectedRowIsHighlightedOnlyWhileTheGridHasTheFocus)
{
    fillList(2);
    QPalette palette = grid()->palette();
    palette.setColor(QPalette::Highlight, QColor(255, 0, 0));
    palette.setColor(QPalette::Base, QColor(255, 255, 255));
    grid()->setPalette(palette);
    open();
    m_form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_form.get()));
    clickRow(0);

    const QRect cell = grid()->visualRect(grid()->model()->index(0, 0));
    const QPoint probe(cell.right() - 4, cell.center().y()); // right of the text
    grid()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return grid()->hasFocus(); }));
    // The style may shade the highlight a little; it stays clearly red.
    const QColor focused = grid()->viewport()->grab().toImage().pixelColor(probe);
    EXPECT_GT(focused.red(), 200);
    EXPECT_LT(focused.green(), 100);

    field("EditName")->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return field("EditName")->hasFocus(); }));
    EXPECT_EQ(grid()->viewport()->grab().toImage().pixelColor(probe), QColor(255, 255, 255));
}

} // namespace
} // namespace vistrel::test
