// The user moving through the shell views: tree clicks, opening folders in the list, the combo,
// and the list's selection reports.

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QStyledItemDelegate>
#include <QTest>

#include "shell_test_support.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_tree.h"

namespace vistrel::test {
namespace {

TEST_F(ShellViewsTest, ClickingAFolderInTheTreeShowsItInListAndCombo)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForTreeChildNames(path(), kRootFolders));
    const QModelIndex beta = treeItem(path("beta"));
    ASSERT_TRUE(beta.isValid());
    m_tree->scrollTo(beta);
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);

    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, m_tree->visualRect(beta).center());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), path("beta"));
    EXPECT_EQ(m_list->folder(), path("beta"));
    EXPECT_EQ(m_combo->folder(), path("beta"));

    // Clicking the selected folder again changes nothing.
    QTest::mouseClick(m_tree->viewport(), Qt::LeftButton, {}, m_tree->visualRect(beta).center());
    EXPECT_EQ(spy.count(), 1);
}

TEST_F(ShellViewsTest, DoubleClickingASubfolderInTheListMovesTheTree)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));
    const QModelIndex alpha = listItem("alpha");
    ASSERT_TRUE(alpha.isValid());
    m_list->scrollTo(alpha);
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);

    const QPoint centre = m_list->visualRect(alpha).center();
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(m_list->viewport(), Qt::LeftButton, {}, centre);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), path("alpha"));
    EXPECT_EQ(m_tree->folder(), path("alpha"));
    EXPECT_EQ(m_list->folder(), path("alpha"));
    EXPECT_TRUE(waitForListNames({"inner"}));
}

TEST_F(ShellViewsTest, EnterOnASubfolderOpensItAndOnAFileDoesNot)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);
    m_list->setFocus();

    m_list->setCurrentIndex(listItem("movie.swf"));
    QTest::keyClick(m_list, Qt::Key_Return);
    EXPECT_EQ(spy.count(), 0);
    EXPECT_EQ(m_list->folder(), path());

    m_list->setCurrentIndex(listItem("beta"));
    QTest::keyClick(m_list, Qt::Key_Return);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(m_tree->folder(), path("beta"));
}

TEST_F(ShellViewsTest, PickingAFolderInTheComboRaisesFolderChosenAndMovesTheTree)
{
    m_list->setFolder(path("alpha/inner"));
    QSignalSpy chosen(m_combo, &ShellCombo::folderChosen);
    QSignalSpy changed(m_tree, &ShellTree::folderChanged);
    QString folderSeenByReceiver;
    QObject::connect(m_combo, &ShellCombo::folderChosen, m_combo,
                     [&](const QString&) { folderSeenByReceiver = m_combo->folder(); });

    m_combo->setFocus();
    QTest::keyClick(m_combo, Qt::Key_Up); // the entry above the current one: the parent
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), path("alpha"));
    EXPECT_EQ(folderSeenByReceiver, path("alpha"));
    ASSERT_EQ(changed.count(), 1);
    EXPECT_EQ(m_tree->folder(), path("alpha"));
    EXPECT_EQ(m_list->folder(), path("alpha"));

    // The receiver sets the list's folder to the pick, as the main window does: nothing more.
    m_list->setFolder(chosen.at(0).at(0).toString());
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(ShellViewsTest, PickingTheRootInTheComboPopupMovesTheTree)
{
    m_list->setFolder(path("beta"));
    QSignalSpy chosen(m_combo, &ShellCombo::folderChosen);
    m_combo->showPopup();
    QAbstractItemView* popup = m_combo->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }));
    const QModelIndex first = popup->model()->index(0, 0);
    QTest::mouseClick(popup->viewport(), Qt::LeftButton, {}, popup->visualRect(first).center());
    ASSERT_TRUE(chosen.count() == 1 || chosen.wait());
    EXPECT_EQ(chosen.at(0).at(0).toString(), "/");
    EXPECT_EQ(m_tree->folder(), "/");
}

TEST_F(ShellViewsTest, ComboPopupIndentsEachFolderBelowItsParent)
{
    m_list->setFolder(path("beta"));
    const QStringList chain = m_combo->folderChain();
    ASSERT_GE(chain.size(), 3);
    m_combo->showPopup();
    QAbstractItemView* popup = m_combo->view();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }));
    // The width an entry asks for beyond a plain entry's is its indent: none for the root, more at each step down.
    const QStyledItemDelegate plain;
    QStyleOptionViewItem option;
    option.initFrom(popup);
    int previous = -1;
    for (int row = 0; row < chain.size(); ++row) {
        const QModelIndex entry = popup->model()->index(row, 0);
        const int indent = popup->itemDelegate()->sizeHint(option, entry).width() - plain.sizeHint(option, entry).width();
        if (row == 0)
            EXPECT_EQ(indent, 0);
        else
            EXPECT_GT(indent, previous) << chain.at(row).toStdString();
        previous = indent;
    }
    m_combo->hidePopup();
}

TEST_F(ShellViewsTest, ArrowKeysRaiseItemSelectedForEachItem)
{
    m_list->setFolder(path());
    const QStringList all = kRootFolders + kRootSwfFiles;
    ASSERT_TRUE(waitForListNames(all));
    m_list->setFocus();
    QSignalSpy spy(m_list, &ShellList::itemSelected);

    QStringList visited;
    QString previous;
    for (int step = 0; step < all.size(); ++step) {
        const qsizetype before = spy.count();
        QTest::keyClick(m_list, Qt::Key_Down);
        const QString current = m_model->filePath(m_list->currentIndex());
        if (current == previous)
            break; // at the end of the list
        // One report for the item left (after the first step) and one for the item reached.
        const qsizetype expected = previous.isEmpty() ? 1 : 2;
        ASSERT_EQ(spy.count(), before + expected) << current.toStdString();
        if (!previous.isEmpty()) {
            EXPECT_EQ(spy.at(before).at(0).toString(), previous);
            EXPECT_FALSE(spy.at(before).at(1).toBool());
        }
        EXPECT_EQ(spy.last().at(0).toString(), current);
        EXPECT_TRUE(spy.last().at(1).toBool());
        visited.append(current);
        previous = current;
    }
    // Every item after the first the keyboard reached, down to the last one.
    EXPECT_GE(visited.size(), all.size() - 1);
    EXPECT_EQ(visited.last(), m_model->filePath(m_model->index(m_model->rowCount(m_list->rootIndex()) - 1, 0,
                                                               m_list->rootIndex())));
}

TEST_F(ShellViewsTest, ClickingAFileReportsItsFullPath)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));
    const QModelIndex loud = listItem("LOUD.SWF");
    m_list->scrollTo(loud);
    QSignalSpy spy(m_list, &ShellList::itemSelected);
    QTest::mouseClick(m_list->viewport(), Qt::LeftButton, {}, m_list->visualRect(loud).center());
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), path("LOUD.SWF"));
    EXPECT_TRUE(spy.at(0).at(1).toBool());
}

TEST_F(ShellViewsTest, MovingAwayReportsTheSelectedItemAsDeselected)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));
    m_list->setCurrentIndex(listItem("movie.swf"));
    QSignalSpy spy(m_list, &ShellList::itemSelected);
    m_list->setFolder(path("beta"));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), path("movie.swf"));
    EXPECT_FALSE(spy.at(0).at(1).toBool());
}

TEST_F(ShellViewsTest, DeletingTheSelectedFolderMovesTheTreeToItsParentWithOneNotification)
{
    m_list->setFolder(path("alpha/inner"));
    ASSERT_TRUE(waitForTreeChildNames(path("alpha"), {"inner"}));
    QSignalSpy spy(m_tree, &ShellTree::folderChanged);
    QStringList listAtNotice;
    QObject::connect(m_tree, &ShellTree::folderChanged, m_tree,
                     [&](const QString&) { listAtNotice.append(m_list->folder()); });
    ASSERT_TRUE(QDir(path("alpha/inner")).removeRecursively());
    ASSERT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 10000));
    QCoreApplication::processEvents();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), path("alpha"));
    EXPECT_EQ(m_tree->folder(), path("alpha"));
    EXPECT_EQ(listAtNotice, QStringList{path("alpha")});
    EXPECT_EQ(m_combo->folder(), path("alpha"));
}

TEST_F(ShellViewsTest, DeletingTheSelectedFileSelectsNoNeighbour)
{
    m_list->setFolder(path());
    ASSERT_TRUE(waitForListNames(kRootFolders + kRootSwfFiles));
    m_list->setCurrentIndex(listItem("Mixed.Swf"));
    QSignalSpy spy(m_list, &ShellList::itemSelected);
    ASSERT_TRUE(QFile::remove(path("Mixed.Swf")));
    QStringList expected = kRootFolders + kRootSwfFiles;
    expected.removeAll("Mixed.Swf");
    ASSERT_TRUE(waitForListNames(expected));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), path("Mixed.Swf"));
    EXPECT_FALSE(spy.at(0).at(1).toBool());
    EXPECT_TRUE(m_list->selectionModel()->selectedIndexes().isEmpty());
}

} // namespace
} // namespace vistrel::test
