// The folder history behind Back, Forward and Up, with real folders.

#include <QDir>

#include "tests/app/app_fixture.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"
#include "widgets/shell_views.h"

namespace vistrel::test {
namespace {

class HistoryTest : public MainFormTest {
protected:
    void SetUp() override
    {
        for (const char* name : {"A", "B", "C", "D", "E"})
            folders[QString::fromLatin1(name)] = makeFolder(QString::fromLatin1(name));
        form = &start();
    }
    // A click in the tree: the list follows, the tree reports the change and it is recorded.
    void visit(const QString& path) { form->shellList()->setFolder(path); }
    bool backEnabled() const { return form->control(QStringLiteral("B_Back"))->isEnabled(); }
    bool forwardEnabled() const { return form->control(QStringLiteral("B_Forward"))->isEnabled(); }

    QHash<QString, QString> folders;
    TForm1* form = nullptr;
};

TEST_F(HistoryTest, VisitsBackStepsAndANewVisitCutTheHistory)
{
    visit(folders["A"]);
    visit(folders["B"]);
    visit(folders["C"]);
    EXPECT_EQ(m_state.FolderHistory, (QStringList{m_base, folders["A"], folders["B"], folders["C"]}));
    EXPECT_EQ(m_state.HistoryIndex, 3);
    EXPECT_TRUE(backEnabled());
    EXPECT_FALSE(forwardEnabled());

    form->BackExecute();
    form->BackExecute();
    EXPECT_EQ(m_state.HistoryIndex, 1);
    EXPECT_EQ(m_state.CurrentDir, folders["A"]);
    EXPECT_EQ(m_state.FolderHistory.size(), 4);
    EXPECT_TRUE(backEnabled());
    EXPECT_TRUE(forwardEnabled());

    visit(folders["D"]);
    EXPECT_EQ(m_state.FolderHistory, (QStringList{m_base, folders["D"]}));
    EXPECT_EQ(m_state.HistoryIndex, 1);
    form->BackExecute();
    EXPECT_EQ(m_state.CurrentDir, m_base);
    EXPECT_EQ(m_state.HistoryIndex, 0);

    visit(folders["E"]);
    EXPECT_EQ(m_state.FolderHistory, QStringList{folders["E"]});
    EXPECT_EQ(m_state.HistoryIndex, 0);
    EXPECT_FALSE(backEnabled());
    EXPECT_FALSE(forwardEnabled());
}

TEST_F(HistoryTest, ForwardWalksBackToTheNewestEntry)
{
    visit(folders["A"]);
    visit(folders["B"]);
    form->BackExecute();
    form->BackExecute();
    EXPECT_FALSE(backEnabled());
    form->ForwardExecute();
    EXPECT_EQ(m_state.CurrentDir, folders["A"]);
    form->ForwardExecute();
    EXPECT_EQ(m_state.CurrentDir, folders["B"]);
    EXPECT_FALSE(forwardEnabled());
    EXPECT_EQ(m_state.FolderHistory.size(), 3);
}

TEST_F(HistoryTest, EndsOfTheHistoryDoNothing)
{
    form->BackExecute();
    EXPECT_EQ(m_state.HistoryIndex, 0);
    form->ForwardExecute();
    EXPECT_EQ(m_state.HistoryIndex, 0);
    EXPECT_EQ(m_state.FolderHistory, QStringList{m_base});
    // Recording still works after the refused steps.
    visit(folders["A"]);
    EXPECT_EQ(m_state.FolderHistory.size(), 2);
}

TEST_F(HistoryTest, TheLimitOfTenDropsTheOldestOnlyAtTheNewestPosition)
{
    for (int i = 0; i < 12; ++i)
        visit(makeFolder(QStringLiteral("n%1").arg(i)));
    EXPECT_EQ(m_state.FolderHistory.size(), 10);
    EXPECT_EQ(m_state.FolderHistory.last(), m_base + QStringLiteral("/n11"));
    EXPECT_EQ(m_state.FolderHistory.first(), m_base + QStringLiteral("/n2"));

    form->BackExecute();
    form->BackExecute();
    visit(folders["A"]);
    // Cut back to the position, nothing dropped at the front.
    EXPECT_EQ(m_state.FolderHistory.size(), 8);
    EXPECT_EQ(m_state.FolderHistory.first(), m_base + QStringLiteral("/n2"));
    EXPECT_EQ(m_state.FolderHistory.last(), folders["A"]);
}

TEST_F(HistoryTest, ReselectingTheCurrentFolderRecordsNothing)
{
    visit(folders["A"]);
    visit(folders["A"]);
    EXPECT_EQ(m_state.FolderHistory.size(), 2);
}

TEST_F(HistoryTest, UpGoesToTheParentAndIsRecorded)
{
    const QString nested = makeFolder(QStringLiteral("A/inner/deep"));
    visit(nested);
    form->UpToParentExecute();
    EXPECT_EQ(m_state.CurrentDir, folders["A"] + QStringLiteral("/inner"));
    EXPECT_EQ(m_state.FolderHistory.last(), folders["A"] + QStringLiteral("/inner"));
    EXPECT_TRUE(backEnabled());
}

TEST_F(HistoryTest, UpButtonIsOffOnlyAtTheRoot)
{
    EXPECT_TRUE(form->control(QStringLiteral("B_UpToParent"))->isEnabled());
    visit(QStringLiteral("/"));
    EXPECT_EQ(m_state.CurrentDir, QStringLiteral("/"));
    EXPECT_FALSE(form->control(QStringLiteral("B_UpToParent"))->isEnabled());
    const int entries = m_state.FolderHistory.size();
    form->UpToParentExecute();
    EXPECT_EQ(m_state.FolderHistory.size(), entries);
    EXPECT_EQ(m_state.CurrentDir, QStringLiteral("/"));
}

TEST_F(HistoryTest, AVanishedFolderInTheHistoryShowsTheRootAndStays)
{
    visit(folders["A"]);
    visit(folders["B"]);
    ASSERT_TRUE(QDir(folders["A"]).removeRecursively());
    form->BackExecute();
    EXPECT_EQ(m_state.CurrentDir, QStringLiteral("/"));
    EXPECT_EQ(m_state.FolderHistory.at(1), folders["A"]);
    EXPECT_EQ(m_state.HistoryIndex, 1);
}

} // namespace
} // namespace vistrel::test
