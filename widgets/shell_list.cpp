#include "widgets/shell_list.h"

#include <QFileInfo>
#include <QFileSystemModel>
#include <QScrollBar>

#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"

namespace vistrel {

ShellList::ShellList(QFileSystemModel* model, QWidget* parent, ShellModelUse use)
    : NoCurrentItemOnFocus<QListView>(parent), m_model(model)
{
    setViewMode(QListView::ListMode);
    setFlow(QListView::TopToBottom);
    setWrapping(false);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setViewportMargins(kMargin, kMargin, kMargin, kMargin);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly); // files can be dragged out, nothing is moved in
    // Scrolling by hand ends keeping a chosen file in view.
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { m_revealFile.clear(); });
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] { m_revealFile.clear(); });

    connect(this, &QAbstractItemView::activated, this, &ShellList::openItem);
    if (use == ShellModelUse::Now)
        takeUpModel();
}

void ShellList::takeUpModel()
{
    if (model())
        return;
    setModel(m_model);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, &ShellList::reportSelection);
    // The model reads folders in the background: a subfolder to select may arrive after the folder.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &ShellList::selectPendingSubfolder);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &ShellList::selectPendingSubfolder);
    // A file chosen by path may be moved by rows arriving and the sort that follows them.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &ShellList::revealChosenFile);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &ShellList::revealChosenFile);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &ShellList::revealChosenFile);
}

void ShellList::selectSubfolder(const QString& path)
{
    m_pendingSubfolder.clear();
    if (path.isEmpty() || m_folder.isEmpty())
        return;
    const QFileInfo info(path);
    if (!info.isDir() || info.absoluteFilePath() == m_folder || info.absolutePath() != m_folder)
        return;
    m_pendingSubfolder = info.absoluteFilePath();
    selectPendingSubfolder();
}

void ShellList::selectPendingSubfolder()
{
    if (m_pendingSubfolder.isEmpty())
        return;
    // The user chose something meanwhile: that choice stands.
    if (selectionModel()->hasSelection()) {
        m_pendingSubfolder.clear();
        return;
    }
    const QModelIndex index = m_model->index(m_pendingSubfolder, modelColumn());
    if (!index.isValid() || index.parent() != rootIndex())
        return;
    m_pendingSubfolder.clear();
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
}

void ShellList::setFolder(const QString& path)
{
    const QString resolved = resolveFolderPath(path);
    if (!m_tree) {
        showFolder(resolved);
        return;
    }
    m_tree->selectFolder(resolved);
    // The tree normally brought the list along; make sure the two agree whatever happened.
    if (!m_tree->folder().isEmpty() && m_tree->folder() != m_folder)
        showFolder(m_tree->folder());
}

void ShellList::showFolder(const QString& path)
{
    takeUpModel();
    if (path == m_folder)
        return;
    QModelIndex index = m_model->index(path);
    QString shown = path;
    if (!index.isValid()) {
        shown = QStringLiteral("/");
        index = m_model->index(shown);
    }
    // Items of the old folder stop being selected before they leave the view.
    selectionModel()->clear();
    m_pendingSubfolder.clear();
    m_revealFile.clear();
    m_folder = shown;
    setRootIndex(index);
    if (m_model->canFetchMore(index))
        m_model->fetchMore(index); // the model reads the folder in the background
}

void ShellList::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // A selected file deleted on disk leaves nothing selected; the view would otherwise select
    // a neighbour, which would count as the user choosing it.
    const QModelIndex current = currentIndex();
    if (current.isValid() && current.parent() == parent && current.row() >= start && current.row() <= end)
        selectionModel()->clear();
    QListView::rowsAboutToBeRemoved(parent, start, end);
}

bool ShellList::selectFile(const QString& path)
{
    const QFileInfo file(path);
    if (!file.isFile())
        return false;
    setFolder(file.absolutePath());
    const QModelIndex index = m_model->index(file.absoluteFilePath(), modelColumn());
    if (!index.isValid() || index.parent() != rootIndex())
        return false;
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    scrollTo(index);
    // Kept in view while the folder is still being read, until the user scrolls or chooses another.
    m_revealFile = file.absoluteFilePath();
    return true;
}

void ShellList::revealChosenFile()
{
    if (m_revealFile.isEmpty())
        return;
    const QModelIndex current = currentIndex();
    if (!current.isValid() || current.parent() != rootIndex() || m_model->filePath(current) != m_revealFile) {
        m_revealFile.clear();
        return;
    }
    scrollTo(current);
}

void ShellList::resizeEvent(QResizeEvent* event)
{
    NoCurrentItemOnFocus<QListView>::resizeEvent(event);
    revealChosenFile();
}

void ShellList::openItem(const QModelIndex& index)
{
    if (!index.isValid())
        return;
    if (m_model->isDir(index))
        setFolder(m_model->filePath(index));
    else
        emit fileActivated(m_model->filePath(index));
}

void ShellList::reportSelection(const QItemSelection& selected, const QItemSelection& deselected)
{
    const int column = modelColumn();
    for (const QModelIndex& index : deselected.indexes()) {
        if (index.column() == column)
            emit itemSelected(m_model->filePath(index), false);
    }
    for (const QModelIndex& index : selected.indexes()) {
        if (index.column() == column)
            emit itemSelected(m_model->filePath(index), true);
    }
}

} // namespace vistrel
