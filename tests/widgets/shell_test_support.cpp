#include "shell_test_support.h"

#include <algorithm>

#include <QDir>
#include <QFile>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <QWidget>

#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"
#include "widgets/shell_views.h"

namespace vistrel::test {

namespace {
constexpr int kLoadTimeoutMs = 10000;
}

void ShellViewsTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    QDir top(m_dir.path());
    for (const QString& folder : kRootFolders)
        ASSERT_TRUE(top.mkpath(folder));
    ASSERT_TRUE(top.mkpath("alpha/inner"));
    writeFile(path("alpha/inner/deep.swf"));
    for (const QString& file : kRootSwfFiles + kRootOtherFiles)
        writeFile(path(file));

    m_window = std::make_unique<QWidget>();
    m_model = createShellModel(m_window.get(), m_readNow);
    m_combo = new ShellCombo(m_model);
    m_tree = new ShellTree(m_model, nullptr, m_modelUse);
    m_list = new ShellList(m_model, nullptr, m_modelUse);
    auto* layout = new QVBoxLayout(m_window.get());
    layout->addWidget(m_combo);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_list, 1);
    linkShellViews(m_tree, m_list, m_combo);
    m_window->resize(420, 900);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
}

void ShellViewsTest::TearDown()
{
    m_window.reset();
}

QString ShellViewsTest::path(const QString& relative) const
{
    return relative.isEmpty() ? m_dir.path() : m_dir.path() + '/' + relative;
}

void ShellViewsTest::writeFile(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write("FWS");
}

QStringList ShellViewsTest::listNames() const
{
    QStringList names;
    const QModelIndex root = m_list->rootIndex();
    for (int row = 0; row < m_model->rowCount(root); ++row)
        names.append(m_model->fileName(m_model->index(row, 0, root)));
    return names;
}

bool ShellViewsTest::waitForListNames(QStringList expected) const
{
    expected.sort();
    return QTest::qWaitFor([&] {
        QStringList names = listNames();
        names.sort();
        return names == expected;
    }, kLoadTimeoutMs);
}

QModelIndex ShellViewsTest::treeItem(const QString& folderPath) const
{
    // The tree's own model holds only folders; walk it down from the top node "/".
    const QAbstractItemModel* model = m_tree->model();
    QModelIndex index = model->index(0, 0);
    if (folderPath == "/")
        return index;
    const QStringList parts = folderPath.split('/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QModelIndex next;
        for (int row = 0; row < model->rowCount(index); ++row) {
            const QModelIndex child = model->index(row, 0, index);
            if (child.data().toString() == part) {
                next = child;
                break;
            }
        }
        if (!next.isValid())
            return {};
        index = next;
    }
    return index;
}

QStringList ShellViewsTest::treeChildNames(const QString& folderPath) const
{
    QStringList names;
    const QModelIndex parent = treeItem(folderPath);
    if (!parent.isValid())
        return names;
    const QAbstractItemModel* model = m_tree->model();
    for (int row = 0; row < model->rowCount(parent); ++row)
        names.append(model->index(row, 0, parent).data().toString());
    return names;
}

bool ShellViewsTest::waitForTreeChildNames(const QString& folderPath, QStringList expected) const
{
    expected.sort();
    return QTest::qWaitFor([&] {
        QStringList names = treeChildNames(folderPath);
        names.sort();
        return names == expected;
    }, kLoadTimeoutMs);
}

QModelIndex ShellViewsTest::listItem(const QString& name) const
{
    const QModelIndex root = m_list->rootIndex();
    for (int row = 0; row < m_model->rowCount(root); ++row) {
        const QModelIndex index = m_model->index(row, 0, root);
        if (m_model->fileName(index) == name)
            return index;
    }
    return {};
}

} // namespace vistrel::test
