// The program's own start fills the folder views once the start-up movie is painted: until then the
// history, the Up button and the settings already know the start folder, and afterwards the views show
// it as an immediate start would. A path opened before that first frame wins over the start folder.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QDir>
#include <QSignalSpy>
#include <QTest>

#include "app/main_form.h"
#include "tests/app/app_fixture.h"
#include "widgets/player/flash_player.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_tree.h"

namespace vistrel::test {
namespace {

class DeferredFolderTest : public MainFormTest {
protected:
    TForm1& startLikeTheProgram()
    {
        m_form = std::make_unique<TForm1>(m_state, nullptr, TForm1::StartFolder::AfterFirstFrame);
        return *m_form;
    }

    // Shows the window and waits for the start-up movie's first frame.
    void showAndPaint(TForm1& form)
    {
        QSignalSpy rendered(form.flash(), &ShockwaveFlash::frameRendered);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        ASSERT_TRUE(rendered.count() > 0 || rendered.wait());
    }

    static int listedNames(ShellList* list, const QString& name)
    {
        const QModelIndex root = list->rootIndex();
        int found = 0;
        for (int row = 0; row < list->model()->rowCount(root); ++row)
            found += list->model()->index(row, 0, root).data().toString() == name;
        return found;
    }
};

TEST_F(DeferredFolderTest, TheViewsShowTheStartFolderOnceTheFirstFrameIsPainted)
{
    const QString folder = makeFolder(QStringLiteral("Movies/Shorts"));
    writeMovie(QStringLiteral("Movies/Shorts/one.swf"));
    writeSettings("[Config]\nRD=0\nSD=Movies/Shorts\n");
    TForm1& form = startLikeTheProgram();
    // Before the first frame: the state knows the folder, the views are still empty.
    EXPECT_EQ(m_state.CurrentDir, folder);
    EXPECT_EQ(form.listFolderPath(), folder);
    EXPECT_EQ(m_state.FolderHistory, QStringList{folder});
    EXPECT_TRUE(form.control(QStringLiteral("B_UpToParent"))->isEnabled());
    EXPECT_FALSE(form.control(QStringLiteral("B_Back"))->isEnabled());

    showAndPaint(form);
    QTRY_COMPARE(form.shellList()->folder(), folder);
    EXPECT_EQ(form.shellTree()->folder(), folder);
    QTRY_COMPARE(listedNames(form.shellList(), QStringLiteral("one.swf")), 1);
    // Filling the views is not a move of the user's: the history holds the start folder once.
    EXPECT_EQ(m_state.FolderHistory, QStringList{folder});
    EXPECT_EQ(m_state.CurrentDir, folder);
    EXPECT_FALSE(form.control(QStringLiteral("B_Back"))->isEnabled());

    // Moves from there are recorded as after an immediate start.
    form.action(QStringLiteral("UpToParent"))->trigger();
    EXPECT_EQ(form.shellList()->folder(), m_base + QStringLiteral("/Movies"));
    EXPECT_EQ(m_state.FolderHistory, (QStringList{folder, m_base + QStringLiteral("/Movies")}));
    EXPECT_TRUE(form.control(QStringLiteral("B_Back"))->isEnabled());
    form.action(QStringLiteral("Back"))->trigger();
    EXPECT_EQ(form.shellList()->folder(), folder);
}

// Whatever the settings name, the program's start ends where an immediate start ends, and settings saved
// before the first frame name the same start folder.
TEST_F(DeferredFolderTest, EndsInTheSameStateAsAnImmediateStart)
{
    makeFolder(QStringLiteral("Movies/Shorts"));
    const QByteArray settings[] = {"", "[Config]\nRD=0\nSD=Movies/Shorts\n", "[Config]\nSD=/no/such/folder\n",
                                   "[Config]\nSD=/\n", "[Config]\nSD=Movies/../Movies/Shorts/\n"};
    for (const QByteArray& text : settings) {
        SCOPED_TRACE(text.constData());
        struct End {
            QString current, list, tree;
            QStringList history;
            bool up = false;
            QByteArray saved;   // the start folder line of the settings file
        };
        const auto savedFolder = [this] {
            for (const QByteArray& line : readSettings().split('\n'))
                if (line.startsWith("SD="))
                    return line;
            return QByteArray();
        };
        auto run = [&, savedFolder](TForm1::StartFolder when, bool saveBeforePaint) -> End {
            QDir::setCurrent(m_base);
            writeSettings(text);
            m_state = SharedState();
            m_form = std::make_unique<TForm1>(m_state, nullptr, when);
            End end;
            if (saveBeforePaint) {
                m_form->FormDestroy();
                end.saved = savedFolder();
            }
            showAndPaint(*m_form);
            if (when == TForm1::StartFolder::AfterFirstFrame) {
                EXPECT_TRUE(QTest::qWaitFor([this] { return !m_form->shellList()->folder().isEmpty(); }));
            }
            end.current = m_state.CurrentDir;
            end.list = m_form->shellList()->folder();
            end.tree = m_form->shellTree()->folder();
            end.history = m_state.FolderHistory;
            end.up = m_form->control(QStringLiteral("B_UpToParent"))->isEnabled();
            if (!saveBeforePaint) {
                m_form->FormDestroy();
                end.saved = savedFolder();
            }
            m_form.reset();
            return end;
        };
        const End now = run(TForm1::StartFolder::Now, false);
        for (const bool saveBeforePaint : {false, true}) {
            const End later = run(TForm1::StartFolder::AfterFirstFrame, saveBeforePaint);
            EXPECT_EQ(later.current, now.current);
            EXPECT_EQ(later.list, now.list);
            EXPECT_EQ(later.tree, now.tree);
            EXPECT_EQ(later.history, now.history);
            EXPECT_EQ(later.up, now.up);
            EXPECT_EQ(later.saved, now.saved);
        }
    }
}

TEST_F(DeferredFolderTest, APathOpenedBeforeTheFirstFrameWinsOverTheStartFolder)
{
    const QString other = makeFolder(QStringLiteral("Other"));
    const QString movie = writeMovie(QStringLiteral("Other/two.swf"));
    TForm1& form = startLikeTheProgram();
    EXPECT_TRUE(form.OpenPath(movie).isEmpty());
    EXPECT_EQ(form.shellList()->folder(), other);
    EXPECT_EQ(m_state.CurrentMovie, movie);
    // The start folder came first, as with an immediate start, and the opened one after it.
    EXPECT_EQ(m_state.FolderHistory, (QStringList{m_base, other}));
    showAndPaint(form);
    QTest::qWait(50);
    EXPECT_EQ(form.shellList()->folder(), other);
    EXPECT_EQ(m_state.FolderHistory, (QStringList{m_base, other}));
}

} // namespace
} // namespace vistrel::test
