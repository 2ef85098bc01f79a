#pragma once
// The folder tree of the browsing pane: every folder from the file-system root "/" (shown as the
// top node) down, hidden ones included. The selected node expands and the node left collapses.
// Every change of the selected folder, by the user or by the program, raises folderChanged once.

#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QTreeView>

#include "widgets/shell_focus.h"
#include "widgets/shell_model.h"

class QFileSystemModel;
class QSortFilterProxyModel;
class QTimer;

namespace vistrel {

class ShellCombo;
class ShellList;

class ShellTree : public NoCurrentItemOnFocus<QTreeView> {
    Q_OBJECT
public:
    static constexpr int kIndent = 19;
    static constexpr int kMargin = 2;

    // The model is shared with the list and the combo (see createShellModel) and not owned.
    explicit ShellTree(QFileSystemModel* model, QWidget* parent = nullptr, ShellModelUse use = ShellModelUse::Now);

    QFileSystemModel* shellModel() const { return m_model; }
    // Path of the selected folder; empty until a folder is first selected.
    QString folder() const { return m_folder; }

signals:
    // The selected folder changed; its path has no trailing "/" except the root "/".
    void folderChanged(const QString& path);

protected:
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void showEvent(QShowEvent* event) override;
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;

private:
    friend class ShellList;
    friend void linkShellViews(ShellTree* tree, ShellList* list, ShellCombo* combo);

    // Selects the folder at a resolved path, the root when the model does not know it. Raises
    // folderChanged before returning when the selection changes, nothing otherwise.
    void selectFolder(const QString& path);
    QModelIndex indexForPath(const QString& path) const;
    QString pathOf(const QModelIndex& index) const;
    void selectAfterRemoval();
    // Sets the view up for the model, once.
    void takeUpModel();

    QFileSystemModel* m_model;
    QSortFilterProxyModel* m_proxy = nullptr;
    QPointer<ShellList> m_list;
    QPointer<ShellCombo> m_combo;
    QString m_folder;
    QPersistentModelIndex m_removalFallback;
    bool m_removing = false;
    bool m_revealPending = false;
    bool m_keepInView = false;   // the selected folder was in view before the model changed
    QTimer* m_widthTimer;
};

} // namespace vistrel
