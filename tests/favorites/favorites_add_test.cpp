// Adding favorites: the checks in their order, duplicates, the limit of the list.

#include <QLabel>

#include "tests/favorites/favorites_fixture.h"

namespace vistrel::test {
namespace {

const QChar kCr(13);

enum class Folder { Empty, Blank, Existing, Missing };

struct FailingAdd {
    const char* label;
    const char* name;
    Folder folder;
    MessageKind kind;
    int message;       // index of the message text
    const char* focus; // field that takes the focus
};

class FailingAddTest : public FavoritesDialogTest, public ::testing::WithParamInterface<FailingAdd> {};

TEST_P(FailingAddTest, ShowsItsBoxMovesTheFocusAndKeepsTheInput)
{
    const FailingAdd& param = GetParam();
    fillList(1);
    open();
    QString folder;
    switch (param.folder) {
    case Folder::Empty: break;
    case Folder::Blank: folder = QStringLiteral("   "); break;
    case Folder::Existing: folder = makeFolder(QStringLiteral("New")); break;
    case Folder::Missing: folder = m_dir.filePath(QStringLiteral("Gone")); break;
    }
    field("EditName")->setText(QString::fromUtf8(param.name));
    field("EditAddress")->setText(folder);
    m_form->setFocus();
    const QList<Favorite> before = m_state.FavoriteList;

    button("B_Add")->click();

    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, param.kind);
    QString expected = testMessages().at(param.message);
    if (param.message == 4)
        expected += kCr + folder;
    EXPECT_EQ(m_messages[0].text, expected);
    EXPECT_EQ(m_messages[0].buttons, QMessageBox::StandardButtons(QMessageBox::Cancel));
    EXPECT_EQ(m_form->focusWidget(), field(param.focus));
    EXPECT_EQ(m_state.FavoriteList, before);
    EXPECT_FALSE(m_form->favoritesChanged());
    EXPECT_EQ(field("EditName")->text(), QString::fromUtf8(param.name));
    EXPECT_EQ(field("EditAddress")->text(), folder);
}

INSTANTIATE_TEST_SUITE_P(
    Checks, FailingAddTest,
    ::testing::Values(
        // The folder field is checked first, even when the name is missing as well.
        FailingAdd{"BothEmpty", "", Folder::Empty, MessageKind::Warning, 2, "EditAddress"},
        FailingAdd{"FolderEmpty", "Name", Folder::Empty, MessageKind::Warning, 2, "EditAddress"},
        FailingAdd{"FolderBlank", "Name", Folder::Blank, MessageKind::Warning, 2, "EditAddress"},
        FailingAdd{"NameEmpty", "", Folder::Existing, MessageKind::Warning, 3, "EditName"},
        // Names that the settings file would read back empty would end the list at the next load.
        FailingAdd{"NameBlank", "  ", Folder::Existing, MessageKind::Warning, 3, "EditName"},
        FailingAdd{"NameEmptyQuotes", "\" \"", Folder::Existing, MessageKind::Warning, 3, "EditName"},
        FailingAdd{"NameMissingFolder", "", Folder::Missing, MessageKind::Warning, 3, "EditName"},
        FailingAdd{"FolderMissing", "Name", Folder::Missing, MessageKind::Error, 4, "EditAddress"}),
    [](const ::testing::TestParamInfo<FailingAdd>& info) { return std::string(info.param.label); });

struct DuplicateCase {
    const char* label;
    const char* name;
    const char* folder; // relative to the temporary folder
    int word;           // 5: name already listed, 6: folder already listed, 0: accepted
};

class DuplicateTest : public FavoritesDialogTest, public ::testing::WithParamInterface<DuplicateCase> {};

TEST_P(DuplicateTest, RefusesExactMatchesOnly)
{
    const DuplicateCase& param = GetParam();
    m_state.FavoriteList = {{QStringLiteral("Movies"), makeFolder(QStringLiteral("Clips"))},
                            {QStringLiteral("Games"), makeFolder(QStringLiteral("Play"))}};
    makeFolder(QStringLiteral("clips"));
    makeFolder(QStringLiteral("Other"));
    open();
    const QString folder = m_dir.path() + QLatin1Char('/') + QString::fromUtf8(param.folder);
    field("EditName")->setText(QString::fromUtf8(param.name));
    field("EditAddress")->setText(folder);

    button("B_Add")->click();

    if (param.word == 0) {
        EXPECT_TRUE(m_messages.empty());
        ASSERT_EQ(m_state.FavoriteList.size(), 3);
        EXPECT_EQ(m_state.FavoriteList.last(), (Favorite{QString::fromUtf8(param.name), folder}));
        return;
    }
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, MessageKind::Warning);
    const QStringList texts = testMessages();
    EXPECT_EQ(m_messages[0].text, texts[7] + QLatin1Char(' ') + texts[param.word] + QLatin1Char(' ') + texts[8]);
    EXPECT_EQ(m_state.FavoriteList.size(), 2);
    EXPECT_EQ(field("EditName")->text(), QString::fromUtf8(param.name));
}

INSTANTIATE_TEST_SUITE_P(
    Duplicates, DuplicateTest,
    ::testing::Values(DuplicateCase{"SameName", "Games", "Other", 5},
                      DuplicateCase{"SameFolder", "New", "Play", 6},
                      // The walk stops at the first entry that matches in either field.
                      DuplicateCase{"FolderOfFirstNameOfSecond", "Games", "Clips", 6},
                      DuplicateCase{"NameInOtherCase", "movies", "Other", 0},
                      DuplicateCase{"FolderInOtherCase", "New", "clips", 0},
                      DuplicateCase{"FolderWithTrailingSlash", "New", "Play/", 0}),
    [](const ::testing::TestParamInfo<DuplicateCase>& info) { return std::string(info.param.label); });

TEST_F(FavoritesDialogTest, AddWithoutInputAddsTheCurrentFolderUnderItsPath)
{
    fillList(2);
    open();
    clickRow(1);
    ASSERT_TRUE(button("B_Remove")->isEnabled());

    button("B_Add")->click();

    EXPECT_TRUE(m_messages.empty());
    ASSERT_EQ(m_state.FavoriteList.size(), 3);
    EXPECT_EQ(m_state.FavoriteList.last(), (Favorite{m_host.folder, m_host.folder}));
    EXPECT_EQ(gridTexts().last(), QStringLiteral("  ") + m_host.folder);
    EXPECT_TRUE(field("EditName")->text().isEmpty());
    EXPECT_TRUE(field("EditAddress")->text().isEmpty());
    EXPECT_TRUE(m_form->favoritesChanged());
    // Add leaves the selection and the entry buttons alone.
    EXPECT_EQ(m_form->selectedFavorite(), 1);
    EXPECT_TRUE(button("B_Remove")->isEnabled());

    // The same folder a second time is a duplicate.
    field("EditName")->setText(m_host.folder);
    field("EditAddress")->setText(m_host.folder);
    button("B_Add")->click();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_state.FavoriteList.size(), 3);
}

TEST_F(FavoritesDialogTest, TwentiethEntryFillsTheListUntilOneIsRemoved)
{
    fillList(19);
    open();
    auto* panel = m_form->findChild<QWidget*>(QStringLiteral("InfoPanel"));
    auto* label = m_form->findChild<QLabel*>(QStringLiteral("Label3"));
    ASSERT_NE(panel, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(panel->isHidden());

    button("B_Add")->click();

    ASSERT_EQ(m_state.FavoriteList.size(), 20);
    EXPECT_FALSE(panel->isHidden());
    EXPECT_FALSE(button("B_Add")->isEnabled());
    EXPECT_EQ(label->text(), QStringLiteral("The list is full\n(20 favorites)"));
    EXPECT_EQ(label->width(), 110);

    // Even a click that reaches the handler cannot pass the limit.
    field("EditName")->setText(QStringLiteral("Extra"));
    field("EditAddress")->setText(makeFolder(QStringLiteral("Extra")));
    m_form->B_AddClick();
    EXPECT_EQ(m_state.FavoriteList.size(), 20);

    clickRow(5);
    button("B_Remove")->click();
    EXPECT_EQ(m_state.FavoriteList.size(), 19);
    EXPECT_TRUE(panel->isHidden());
    EXPECT_TRUE(button("B_Add")->isEnabled());
}

TEST_F(FavoritesDialogTest, ListAboveTheLimitCountsAsFull)
{
    fillList(23);
    open();
    EXPECT_FALSE(m_form->findChild<QWidget*>(QStringLiteral("InfoPanel"))->isHidden());
    EXPECT_FALSE(button("B_Add")->isEnabled());
    // With no room the focus is not moved into the name field.
    EXPECT_NE(m_form->focusWidget(), field("EditName"));
}

TEST_F(FavoritesDialogTest, NameWithEqualsSignIsKeptWhole)
{
    open();
    const QString folder = makeFolder(QStringLiteral("a=b folder"));
    field("EditName")->setText(QStringLiteral("x=y"));
    field("EditAddress")->setText(folder);
    button("B_Add")->click();

    ASSERT_EQ(m_state.FavoriteList.size(), 1);
    EXPECT_EQ(m_state.FavoriteList[0], (Favorite{QStringLiteral("x=y"), folder}));
    EXPECT_EQ(gridTexts(), QStringList{QStringLiteral("  x=y")});

    m_form->B_CloseClick();
    EXPECT_EQ(savedFavorites(), m_state.FavoriteList);
}

} // namespace
} // namespace vistrel::test
