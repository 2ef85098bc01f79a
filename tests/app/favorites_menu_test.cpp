// The favorites menu: built from the list, and a chosen favorite whose folder has gone.

#include <QAction>
#include <QDir>
#include <QMenu>

#include "tests/app/app_fixture.h"

namespace vistrel::test {
namespace {

class FavoritesMenuTest : public MainFormTest {
protected:
    QMenu* menu() { return m_form->menu(QStringLiteral("MenuFavor")); }
};

TEST_F(FavoritesMenuTest, TheMenuHoldsOneItemPerFavoriteAfterTheFixedTwo)
{
    const QString a = makeFolder(QStringLiteral("a=b"));
    writeSettings(QStringLiteral("[Favorites]\nn0=First\na0=%1\nn1=Second\na1=/nowhere\nn2=Third\na2=%1\n")
                      .arg(a)
                      .toUtf8());
    start();
    m_form->RebuildFavoritesMenu();
    const QList<QAction*> items = menu()->actions();
    ASSERT_EQ(items.size(), 5);
    EXPECT_EQ(items.at(0), m_form->action(QStringLiteral("Manager")));
    EXPECT_TRUE(items.at(1)->isSeparator());
    EXPECT_EQ(items.at(2)->objectName(), QStringLiteral("z0"));
    EXPECT_EQ(items.at(3)->objectName(), QStringLiteral("z1"));
    EXPECT_EQ(items.at(4)->text(), QStringLiteral("Third"));
}

TEST_F(FavoritesMenuTest, ChoosingAFavoriteOpensItsFolderOnce)
{
    const QString a = makeFolder(QStringLiteral("a=b"));
    writeSettings(QStringLiteral("[Favorites]\nn0=Here\na0=%1\n").arg(a).toUtf8());
    start();
    menu()->actions().at(2)->trigger();
    EXPECT_EQ(m_state.CurrentDir, a);
    EXPECT_EQ(m_state.FolderHistory.size(), 2);
    menu()->actions().at(2)->trigger();
    EXPECT_EQ(m_state.FolderHistory.size(), 2);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(FavoritesMenuTest, AVanishedFolderIsRemovedOnlyOnYes)
{
    const QString gone = makeFolder(QStringLiteral("gone"));
    const QString kept = makeFolder(QStringLiteral("kept"));
    writeSettings(QStringLiteral("[Favorites]\nn0=Gone\na0=%1\nn1=Kept\na1=%2\n").arg(gone, kept).toUtf8());
    start();
    ASSERT_TRUE(QDir(gone).removeRecursively());

    m_answer = QMessageBox::No;
    menu()->actions().at(2)->trigger();
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0].kind, MessageKind::Confirmation);
    const QChar cr(13);
    EXPECT_EQ(m_messages[0].text, QStringLiteral("Папка закладки не найдена:") + cr + gone + cr + cr +
                                      QStringLiteral("Удалить закладку из списка?"));
    EXPECT_EQ(m_state.FavoriteList.size(), 2);
    EXPECT_EQ(menu()->actions().size(), 4);

    m_answer = QMessageBox::Yes;
    menu()->actions().at(2)->trigger();
    ASSERT_EQ(m_messages.size(), 3u);
    EXPECT_EQ(m_messages[2].kind, MessageKind::Information);
    EXPECT_EQ(m_messages[2].text, QStringLiteral("Закладка \"Gone\" удалена из списка."));
    ASSERT_EQ(m_state.FavoriteList.size(), 1);
    EXPECT_EQ(m_state.FavoriteList.at(0).name, QStringLiteral("Kept"));
    ASSERT_EQ(menu()->actions().size(), 3);
    EXPECT_EQ(menu()->actions().at(2)->objectName(), QStringLiteral("z0"));
    EXPECT_EQ(menu()->actions().at(2)->text(), QStringLiteral("Kept"));
}

TEST_F(FavoritesMenuTest, MenuImagesFollowTheOptionWhileToolbarsKeepTheirs)
{
    writeSettings("[Config]\nSI=0\n[Favorites]\nn0=X\na0=/\n");
    start();
    EXPECT_FALSE(m_form->action(QStringLiteral("Play"))->isIconVisibleInMenu());
    EXPECT_FALSE(menu()->actions().at(2)->isIconVisibleInMenu());
    EXPECT_FALSE(m_form->control(QStringLiteral("B_Play"))->property("icon").value<QIcon>().isNull());
    m_state.ShowMenuIcons = true;
    m_form->saveSettings();
    EXPECT_TRUE(m_form->action(QStringLiteral("Play"))->isIconVisibleInMenu());
    EXPECT_TRUE(menu()->actions().at(2)->isIconVisibleInMenu());
}

} // namespace
} // namespace vistrel::test
