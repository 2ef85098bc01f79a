#pragma once
// A temporary folder tree and the three linked shell views over it, shown offscreen.

#include <gtest/gtest.h>

#include <memory>

#include <QStringList>
#include <QTemporaryDir>

#include "widgets/shell_model.h"

class QFileSystemModel;
class QModelIndex;
class QWidget;

namespace vistrel {
class ShellCombo;
class ShellList;
class ShellTree;
} // namespace vistrel

namespace vistrel::test {

// Folders (including hidden ones and one named like a text file) and files of several kinds.
inline const QStringList kRootFolders{".hidden_dir", "alpha", "beta", "docs.txt"};
inline const QStringList kRootSwfFiles{".hidden.swf", "LOUD.SWF", "Mixed.Swf", "movie.swf"};
inline const QStringList kRootOtherFiles{"notes.txt", "clip.swf.bak", "swf", "picture.png"};

class ShellViewsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Absolute path of a file or folder inside the temporary tree ("" for its top).
    QString path(const QString& relative = QString()) const;
    static void writeFile(const QString& path);

    // Names the list shows now, in view order.
    QStringList listNames() const;
    // Waits until the list shows exactly `expected` (in any order); false on time-out.
    bool waitForListNames(QStringList expected) const;
    // Names of the folders below `folderPath` that the tree holds now.
    QStringList treeChildNames(const QString& folderPath) const;
    bool waitForTreeChildNames(const QString& folderPath, QStringList expected) const;
    // The list's item for a name in the folder it shows (invalid when absent).
    QModelIndex listItem(const QString& name) const;
    QModelIndex treeItem(const QString& folderPath) const;

    // How SetUp makes the model and the views: by default read at once and taken up at once.
    bool m_readNow = true;
    ShellModelUse m_modelUse = ShellModelUse::Now;

    QTemporaryDir m_dir;
    std::unique_ptr<QWidget> m_window;
    QFileSystemModel* m_model = nullptr;
    ShellTree* m_tree = nullptr;
    ShellList* m_list = nullptr;
    ShellCombo* m_combo = nullptr;
};

} // namespace vistrel::test
