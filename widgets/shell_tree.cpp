#include "widgets/shell_tree.h"

#include <QFileSystemModel>
#include <QHeaderView>
#include <QSortFilterProxyModel>
#include <QTimer>

#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"

namespace vistrel {
namespace {

// Shows only the folders of the shared model; the files belong to the list.
class FolderProxy : public QSortFilterProxyModel {
public:
    FolderProxy(QFileSystemModel* source, QObject* parent)
        : QSortFilterProxyModel(parent), m_source(source)
    {
        setSourceModel(source);
    }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override
    {
        return m_source->isDir(m_source->index(sourceRow, 0, sourceParent));
    }

private:
    QFileSystemModel* m_source;
};

bool isAncestorIndex(const QModelIndex& ancestor, QModelIndex index)
{
    for (index = index.parent(); index.isValid(); index = index.parent()) {
        if (index == ancestor)
            return true;
    }
    return false;
}

} // namespace

ShellTree::ShellTree(QFileSystemModel* model, QWidget* parent, ShellModelUse use)
    : NoCurrentItemOnFocus<QTreeView>(parent), m_model(model), m_widthTimer(new QTimer(this))
{
    // The header goes first: with it hidden, hiding the columns does not measure its texts.
    setHeaderHidden(true);
    // The name column is as wide as its widest visible name, so deep folders scroll sideways. It
    // is measured after the model settles, never while rows are being inserted or removed.
    m_widthTimer->setSingleShot(true);
    m_widthTimer->setInterval(0);
    connect(m_widthTimer, &QTimer::timeout, this, [this] {
        resizeColumnToContents(0);
        if (m_revealPending) {
            m_revealPending = false;
            scrollTo(currentIndex());
        }
    });
    connect(this, &QTreeView::expanded, m_widthTimer, qOverload<>(&QTimer::start));
    connect(this, &QTreeView::collapsed, m_widthTimer, qOverload<>(&QTimer::start));
    setIndentation(kIndent);
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(kMargin, kMargin, kMargin, kMargin);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformRowHeights(true);
    setAnimated(false);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly); // folders can be dragged out, nothing is moved in
    if (use == ShellModelUse::Now)
        takeUpModel();
}

void ShellTree::takeUpModel()
{
    if (m_proxy)
        return;
    m_proxy = new FolderProxy(m_model, this);
    setModel(m_proxy);
    for (int column = 1; column < m_proxy->columnCount(); ++column)
        hideColumn(column);
    header()->setStretchLastSection(false);
    // Folders above the selected one fill in after it is selected and push it out of sight;
    // bring it back into view as each of them finishes loading.
    connect(m_model, &QFileSystemModel::directoryLoaded, this, [this](const QString& loaded) {
        const QString prefix = loaded.endsWith(QLatin1Char('/')) ? loaded : loaded + QLatin1Char('/');
        if (!m_folder.isEmpty() && (m_folder == loaded || m_folder.startsWith(prefix))) {
            m_revealPending = true;
            m_widthTimer->start();
        }
    });
    // The model fills folders in batches and sorts them later, some after it reported them
    // loaded: a selected folder that was in view stays in view when rows move above it.
    const auto noteWhetherInView = [this] {
        m_keepInView = currentIndex().isValid() && viewport()->rect().intersects(visualRect(currentIndex()));
    };
    const auto keepInView = [this] {
        if (m_keepInView)
            m_revealPending = true;
        m_widthTimer->start();
    };
    connect(m_proxy, &QAbstractItemModel::rowsAboutToBeInserted, this, noteWhetherInView);
    connect(m_proxy, &QAbstractItemModel::rowsInserted, this, keepInView);
    connect(m_proxy, &QAbstractItemModel::layoutAboutToBeChanged, this, noteWhetherInView);
    connect(m_proxy, &QAbstractItemModel::layoutChanged, this, keepInView);
    connect(m_proxy, &QAbstractItemModel::rowsRemoved, m_widthTimer, qOverload<>(&QTimer::start));
}

QModelIndex ShellTree::indexForPath(const QString& path) const
{
    if (!m_proxy)
        return {};
    // QFileSystemModel::index builds the nodes along an existing path at once.
    const QModelIndex source = m_model->index(path);
    return source.isValid() ? m_proxy->mapFromSource(source) : QModelIndex();
}

QString ShellTree::pathOf(const QModelIndex& index) const
{
    if (!m_proxy)
        return {};
    return m_model->filePath(m_proxy->mapToSource(index));
}

void ShellTree::selectFolder(const QString& path)
{
    takeUpModel();
    QModelIndex index = indexForPath(path);
    if (!index.isValid())
        index = indexForPath(QStringLiteral("/"));
    if (!index.isValid() || index == currentIndex())
        return;
    setCurrentIndex(index); // currentChanged below reports the change
}

void ShellTree::showEvent(QShowEvent* event)
{
    QTreeView::showEvent(event);
    // A folder selected before the window was shown was scrolled to in a view without its final
    // size; show it again once the layout has settled.
    if (currentIndex().isValid()) {
        m_revealPending = true;
        m_widthTimer->start();
    }
}

void ShellTree::rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end)
{
    // Is the selected folder, or a folder above it, going away?
    bool selectedGoes = false;
    for (QModelIndex index = currentIndex(); index.isValid() && !selectedGoes; index = index.parent())
        selectedGoes = index.parent() == parent && index.row() >= start && index.row() <= end;
    if (!selectedGoes) {
        QTreeView::rowsAboutToBeRemoved(parent, start, end);
        return;
    }
    // The model is in the middle of a change: let go of the selection quietly here (the view
    // would otherwise wander to a neighbour) and move to the folder that held the removed one
    // once the change is complete.
    m_removing = true;
    selectionModel()->clear();
    QTreeView::rowsAboutToBeRemoved(parent, start, end);
    m_removing = false;
    m_removalFallback = parent;
    QMetaObject::invokeMethod(this, &ShellTree::selectAfterRemoval, Qt::QueuedConnection);
}

void ShellTree::selectAfterRemoval()
{
    QModelIndex target = m_removalFallback;
    m_removalFallback = QPersistentModelIndex();
    if (currentIndex().isValid())
        return; // something else chose a folder meanwhile
    if (!target.isValid())
        target = indexForPath(QStringLiteral("/"));
    if (target.isValid())
        setCurrentIndex(target);
}

void ShellTree::currentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    QTreeView::currentChanged(current, previous);
    if (m_removing)
        return;
    if (!current.isValid()) {
        // The selected folder went away with nothing left beside it: fall back to the root, which
        // reports the change from the nested call. (Before any folder was chosen this is only the
        // view being set up.)
        if (m_folder.isEmpty() || m_removalFallback.isValid())
            return;
        const QModelIndex root = indexForPath(QStringLiteral("/"));
        if (root.isValid())
            setCurrentIndex(root);
        return;
    }
    // Keyboard moves with a modifier can shift the current node alone; the current node is the
    // selected folder, so keep the highlight on it.
    if (!selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);

    if (previous.isValid() && previous != current && !isAncestorIndex(previous, current))
        collapse(previous);
    expand(current);
    scrollTo(current);

    const QString path = pathOf(current);
    if (path == m_folder)
        return;
    m_folder = path;
    // The linked views follow before anyone hears of the change, so a receiver reading the
    // list's folder finds the new one.
    if (m_list)
        m_list->showFolder(path);
    if (m_combo)
        m_combo->showFolder(path);
    emit folderChanged(path);
}

} // namespace vistrel
