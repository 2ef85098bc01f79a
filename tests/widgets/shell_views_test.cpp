// Setting the list's folder by path: one notification from the tree, what the views show.

#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "shell_test_support.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"
#include "widgets/shell_views.h"

namespace vistrel::test {
namespace {

// The tree is a plain list of folder names: no header, only the name column, whatever folder it shows.
TEST_F(ShellViewsTest, TreeShowsOnlyTheNameColumnWithoutAHeader)
{
    for (const QString& target : {path(), path("alpha/inner")}) {
        m_list->setFolder(target);
        EXPECT_TRUE(m_tree->isHeaderHidden());
        EXPECT_FALSE(m_tree->header()->isVisible());
        ASSERT_GT(m_tree->model()->columnCount(), 1);
        EXPECT_FALSE(m_tree->isColumnHidden(0));
        for (int column = 1; column < m_tree->model()->columnCount(); ++column)
            EXPECT_TRUE(m_tree->isColumnHidden(column)) << column;
    }
}

TEST_F(ShellViewsTest, EachFolderChangeRaisesExactlyOneNotificationBeforeSetFolderReturns)
{
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);
    // What a receiver sees while handling the notification.
    QStringList listAtNotice;
    QStringList comboAtNotice;
    QObject::connect(m_tree, &ShellTree::folderChanged, m_tree, [&](const QString&) {
        listAtNotice.append(m_list->folder());
        comboAtNotice.append(m_combo->folder());
    });

    const QStringList targets{path("alpha"), path("alpha/inner"), path(), path("beta"), "/"};
    for (const QString& target : targets) {
        const qsizetype before = spy.count();
        m_list->setFolder(target);
        ASSERT_EQ(spy.count(), before + 1) << target.toStdString();
        EXPECT_EQ(spy.last().at(0).toString(), target);
        EXPECT_EQ(m_tree->folder(), target);
        EXPECT_EQ(m_list->folder(), target);
        EXPECT_EQ(m_combo->folder(), target);
    }
    EXPECT_EQ(listAtNotice, targets);
    EXPECT_EQ(comboAtNotice, targets);
}

TEST_F(ShellViewsTest, FirstSetFolderNotifiesEvenForTheRoot)
{
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);
    EXPECT_TRUE(m_tree->folder().isEmpty());
    m_list->setFolder("/");
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "/");
}

// Different spellings of the folder that is already selected.
class ReselectTest : public ShellViewsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(ReselectTest, ReselectingTheCurrentFolderRaisesNothing)
{
    m_list->setFolder(path("alpha"));
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);
    QSignalSpy selections(m_list, &ShellList::itemSelected);
    m_list->setFolder(path(GetParam()));
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(m_list->folder(), path("alpha"));
    EXPECT_EQ(selections.count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Spellings, ReselectTest,
                         ::testing::Values("alpha", "alpha/", "alpha/.", "alpha//", "beta/../alpha", "./alpha"));

// Paths that name no folder.
class UnresolvableTest : public ShellViewsTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(UnresolvableTest, ShowsTheRootWithOneNotificationThenNoneOnceThere)
{
    const QString param = GetParam();
    const QString target = param.startsWith('@') ? path(param.mid(1)) : param;
    m_list->setFolder(path("beta"));
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);

    m_list->setFolder(target);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "/");
    EXPECT_EQ(m_tree->folder(), "/");
    EXPECT_EQ(m_list->folder(), "/");
    EXPECT_EQ(m_combo->folder(), "/");

    m_list->setFolder(target);
    EXPECT_EQ(spy.count(), 1);
}

INSTANTIATE_TEST_SUITE_P(Paths, UnresolvableTest,
                         ::testing::Values("", "   ", "@missing", "@alpha/missing/deeper", "@movie.swf",
                                           "@notes.txt", "/no/such/folder/anywhere"));

TEST_F(ShellViewsTest, ListShowsFoldersAndSwfFilesInAnyCaseIncludingHiddenOnes)
{
    m_list->setFolder(path());
    EXPECT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles)) << listNames().join(", ").toStdString();
    // Folders come first once the model has sorted what it read.
    const auto foldersFirst = [this] {
        const QStringList names = listNames();
        for (int i = 0; i < kRootFolders.size(); ++i) {
            if (!kRootFolders.contains(names.value(i)))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(QTest::qWaitFor(foldersFirst, 10000)) << listNames().join(", ").toStdString();
}

TEST_F(ShellViewsTest, TreeHoldsFoldersOnlyHiddenOnesIncluded)
{
    m_list->setFolder(path());
    EXPECT_TRUE(waitForTreeChildNames(path(), kRootFolders)) << treeChildNames(path()).join(", ").toStdString();
    m_list->setFolder(path("alpha")); // the tree reads a folder when it opens it
    EXPECT_TRUE(waitForTreeChildNames(path("alpha"), {"inner"}));
}

TEST_F(ShellViewsTest, TreeTopNodeIsTheFileSystemRoot)
{
    const QAbstractItemModel* model = m_tree->model();
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, 0).data(QFileSystemModel::FilePathRole).toString(), "/");
}

TEST_F(ShellViewsTest, ViewsFollowChangesOnDisk)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));

    writeFile(path("later.txt"));
    writeFile(path("later.SWF"));
    ASSERT_TRUE(QDir(path()).mkdir("gamma"));
    EXPECT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles + QStringList{"later.SWF", "gamma"}))
        << listNames().join(", ").toStdString();

    ASSERT_TRUE(QFile::remove(path("movie.swf")));
    QStringList expected = kRootFolders + kRootSwfFiles + QStringList{"later.SWF", "gamma"};
    expected.removeAll("movie.swf");
    EXPECT_TRUE(waitForListNames(expected)) << listNames().join(", ").toStdString();
}

TEST_F(ShellViewsTest, SelectedNodeExpandsAndTheNodeLeftCollapses)
{
    m_list->setFolder(path("alpha"));
    const QPersistentModelIndex alpha = m_tree->currentIndex();
    ASSERT_TRUE(alpha.isValid());
    EXPECT_TRUE(m_tree->isExpanded(alpha));
    EXPECT_TRUE(m_tree->isExpanded(alpha.parent())); // the path down to it is open

    m_list->setFolder(path("alpha/inner"));
    EXPECT_TRUE(m_tree->isExpanded(alpha)) << "an ancestor of the new node stays open";

    m_list->setFolder(path("beta"));
    EXPECT_TRUE(m_tree->isExpanded(m_tree->currentIndex()));
    EXPECT_TRUE(m_tree->selectionModel()->isSelected(m_tree->currentIndex()));
}

TEST_F(ShellViewsTest, LeavingASiblingCollapsesIt)
{
    m_list->setFolder(path("alpha"));
    const QPersistentModelIndex alpha = m_tree->currentIndex();
    m_list->setFolder(path("beta"));
    EXPECT_FALSE(m_tree->isExpanded(alpha));
}

TEST_F(ShellViewsTest, ComboDropDownHoldsTheFolderAndItsAncestors)
{
    m_list->setFolder(path("alpha/inner"));
    QStringList expected;
    for (QString step = path("alpha/inner");; step = QFileInfo(step).path()) {
        expected.prepend(step);
        if (step == "/")
            break;
    }
    EXPECT_EQ(m_combo->folderChain(), expected);
    EXPECT_EQ(m_combo->currentIndex(), m_combo->count() - 1);
}

// resolveFolderPath on its own: how a requested path becomes the folder shown.
struct ResolveCase {
    const char* name;
    const char* input; // "@" stands for the temporary folder
    const char* expected;
};

class ResolveFolderPathTest : public ::testing::TestWithParam<ResolveCase> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir(m_dir.path()).mkpath("a/b"));
        QFile file(m_dir.path() + "/f.swf");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    QString expand(QString text) const { return text.replace("@", m_dir.path()); }
    QTemporaryDir m_dir;
};

TEST_P(ResolveFolderPathTest, Resolves)
{
    EXPECT_EQ(resolveFolderPath(expand(GetParam().input)), expand(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ResolveFolderPathTest,
    ::testing::Values(ResolveCase{"Empty", "", "/"}, ResolveCase{"Root", "/", "/"},
                      ResolveCase{"RootTwice", "//", "/"}, ResolveCase{"Plain", "@/a", "@/a"},
                      ResolveCase{"TrailingSlash", "@/a/b/", "@/a/b"}, ResolveCase{"DotDot", "@/a/b/..", "@/a"},
                      ResolveCase{"DoubleSlash", "@//a//b", "@/a/b"}, ResolveCase{"File", "@/f.swf", "/"},
                      ResolveCase{"Missing", "@/zzz", "/"}, ResolveCase{"AboveRoot", "/../..", "/"},
                      ResolveCase{"AboveRootThenDown", "/..@/a", "@/a"}),
    [](const ::testing::TestParamInfo<ResolveCase>& info) { return std::string(info.param.name); });

TEST(ShellTreeStartTest, FolderChosenBeforeTheWindowShowsIsInViewOnceTheTreeSettles)
{
    // Many folders sort before the chosen one; they load and sort after it was selected, as
    // they do when the viewer starts in a remembered folder.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QDir top(dir.path());
    for (int i = 0; i < 80; ++i)
        ASSERT_TRUE(top.mkdir(QStringLiteral("a%1").arg(i, 2, 10, QLatin1Char('0'))));
    ASSERT_TRUE(top.mkdir(QStringLiteral("zz")));

    QWidget window;
    QFileSystemModel* model = createShellModel(&window);
    auto* tree = new ShellTree(model);
    auto* list = new ShellList(model);
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(tree);
    layout->addWidget(list);
    linkShellViews(tree, list, new ShellCombo(model, &window));
    window.resize(300, 400);
    list->setFolder(top.filePath(QStringLiteral("zz")));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    const auto settled = [&] {
        const QModelIndex parent = tree->currentIndex().parent();
        return tree->model()->rowCount(parent) == 81;
    };
    ASSERT_TRUE(QTest::qWaitFor(settled, 10000));
    // The model sorts after a delay: "zz" ends up last of its 81 siblings, far below the first
    // screenful; the view must have followed it there.
    const auto sorted = [&] { return tree->currentIndex().row() == 80; };
    ASSERT_TRUE(QTest::qWaitFor(sorted, 10000));
    EXPECT_EQ(tree->folder(), top.filePath(QStringLiteral("zz")));
    const auto inView = [&] {
        const QRect row = tree->visualRect(tree->currentIndex());
        return row.top() >= 0 && row.bottom() <= tree->viewport()->height();
    };
    EXPECT_TRUE(QTest::qWaitFor(inView, 5000)) << "the chosen folder is scrolled out of view";
}

// Views that take up the model only with their first folder, over a model that reads nothing until
// started: the main window's start.
class ShellViewsFirstFolderTest : public ShellViewsTest {
protected:
    ShellViewsFirstFolderTest()
    {
        m_readNow = false;
        m_modelUse = ShellModelUse::WithFirstFolder;
    }
};

TEST_F(ShellViewsFirstFolderTest, ShowNothingUntilTheFirstFolderThenBehaveAsAtOnce)
{
    // Before a folder: empty views, the tree without a header, nothing selected or reported.
    QSignalSpy changed(m_tree, &ShellTree::folderChanged);
    QSignalSpy selected(m_list, &ShellList::itemSelected);
    QTest::qWait(50);
    EXPECT_FALSE(m_tree->header()->isVisible());
    EXPECT_TRUE(m_tree->folder().isEmpty());
    EXPECT_TRUE(m_list->folder().isEmpty());
    EXPECT_TRUE(m_combo->folder().isEmpty());
    EXPECT_FALSE(m_tree->currentIndex().isValid());
    m_tree->setFocus();
    QTest::keyClick(m_tree, Qt::Key_Down);
    QTest::keyClick(m_list, Qt::Key_Down);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(selected.count(), 0);

    startShellModel(m_model);
    m_list->setFolder(path("alpha"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(changed.at(0).at(0).toString(), path("alpha"));
    EXPECT_EQ(m_tree->folder(), path("alpha"));
    EXPECT_EQ(m_combo->folder(), path("alpha"));
    ASSERT_TRUE(waitForListNames({"inner"}));
    EXPECT_FALSE(m_tree->header()->isVisible());
    ASSERT_GT(m_tree->model()->columnCount(), 1);
    for (int column = 1; column < m_tree->model()->columnCount(); ++column)
        EXPECT_TRUE(m_tree->isColumnHidden(column)) << column;

    // A file chosen by path is selected and reported; double-clicking a folder opens it.
    ASSERT_TRUE(m_list->selectFile(path("movie.swf")));
    ASSERT_FALSE(selected.isEmpty());
    EXPECT_EQ(selected.last().at(0).toString(), path("movie.swf"));
    EXPECT_TRUE(selected.last().at(1).toBool());
    EXPECT_EQ(m_tree->folder(), path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));
    const QModelIndex alpha = listItem("alpha");
    ASSERT_TRUE(alpha.isValid());
    m_list->scrollTo(alpha);
    const QPoint centre = m_list->visualRect(alpha).center();
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, centre);
    EXPECT_EQ(m_tree->folder(), path("alpha"));
    EXPECT_EQ(m_list->folder(), path("alpha"));
}

} // namespace
} // namespace vistrel::test

namespace vistrel::test {
namespace {

// In a model read at once, and in one started once the window shows, as the viewer's is.
class ChosenFileTest : public ShellViewsTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override
    {
        m_readNow = GetParam();
        m_modelUse = GetParam() ? ShellModelUse::Now : ShellModelUse::WithFirstFolder;
        ShellViewsTest::SetUp();
        if (!GetParam())
            startShellModel(m_model);
    }
};

// A movie chosen by path before its folder has been read (a movie named on the command line) is in
// view once the folder is listed and sorted, however far down the list it ends up; once the user
// scrolls, the list stays where they put it.
TEST_P(ChosenFileTest, AFileChosenBeforeItsFolderIsReadEndsUpInView)
{
    ASSERT_TRUE(QDir(path()).mkpath("many"));
    QStringList names;
    for (int i = 0; i < 120; ++i)
        names << QStringLiteral("clip%1.swf").arg(i, 3, 10, QLatin1Char('0'));
    names << "zz_last.swf";
    for (const QString& name : names)
        writeFile(path("many/" + name));

    ASSERT_TRUE(m_list->selectFile(path("many/zz_last.swf")));
    ASSERT_TRUE(waitForListNames(names));
    const QModelIndex chosen = listItem("zz_last.swf");
    ASSERT_TRUE(chosen.isValid());
    // The model sorts what it read a moment after the last rows arrive.
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_list->viewport()->rect().contains(m_list->visualRect(chosen)); }, 3000));
    EXPECT_EQ(m_list->currentIndex(), chosen);
    // The window laid out again (a splitter restored, the window resized) keeps it in view.
    m_window->resize(420, 500);
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_list->viewport()->rect().contains(m_list->visualRect(chosen)); }, 3000));

    m_list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    writeFile(path("many/aa_new.swf"));
    ASSERT_TRUE(waitForListNames(names + QStringList{"aa_new.swf"}));
    QTest::qWait(200);
    EXPECT_EQ(m_list->verticalScrollBar()->value(), 0);
}

INSTANTIATE_TEST_SUITE_P(Models, ChosenFileTest, ::testing::Bool());

} // namespace
} // namespace vistrel::test
