#pragma once
// The file list of the browsing pane: the subfolders and "*.swf" files (any letter case) of one
// folder, hidden ones included, as a plain list. Double-click or Enter on a subfolder opens it.
// Setting the folder by path is how the program moves all linked views.

#include <QItemSelection>
#include <QListView>
#include <QPointer>
#include <QString>

#include "widgets/shell_focus.h"
#include "widgets/shell_model.h"

class QFileSystemModel;

namespace vistrel {

class ShellCombo;
class ShellTree;

class ShellList : public NoCurrentItemOnFocus<QListView> {
    Q_OBJECT
public:
    static constexpr int kMargin = 2;

    // The model is shared with the tree and the combo (see createShellModel) and not owned.
    explicit ShellList(QFileSystemModel* model, QWidget* parent = nullptr, ShellModelUse use = ShellModelUse::Now);

    QFileSystemModel* shellModel() const { return m_model; }

    // Shows the folder at `path`; a path that names no folder shows the root "/". A linked tree
    // moves its selection there and raises its change notification before this returns (once,
    // and not at all when the folder is already selected).
    void setFolder(const QString& path);
    // Shows the folder of the file at `path` and selects the file, as a click on it would (the
    // selection is reported through itemSelected). False when no such file is there.
    bool selectFile(const QString& path);
    // The folder shown; empty until one is set.
    QString folder() const { return m_folder; }
    // Selects the subfolder at `path` of the folder shown, as soon as the list holds it, so the arrow
    // keys go on from there; nothing is opened. Ignored when `path` is not directly in the folder,
    // or when something is selected before the folder has been read.
    void selectSubfolder(const QString& path);

signals:
    // Every change of the list's selection, by mouse or keyboard, with the item's full path.
    void itemSelected(const QString& path, bool selected);
    // Enter or a double click on a file (a folder opens instead), with the file's full path.
    void fileActivated(const QString& path);

protected:
    void rowsAboutToBeRemoved(const QModelIndex& parent, int start, int end) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class ShellTree;
    friend void linkShellViews(ShellTree* tree, ShellList* list, ShellCombo* combo);

    // Shows a resolved folder without moving the tree (the tree calls this when it moves).
    void showFolder(const QString& path);
    void openItem(const QModelIndex& index);
    void reportSelection(const QItemSelection& selected, const QItemSelection& deselected);
    void selectPendingSubfolder();
    // Scrolls the file selectFile chose back into view, while that choice stands.
    void revealChosenFile();
    // Sets the view up for the model, once.
    void takeUpModel();

    QFileSystemModel* m_model;
    QPointer<ShellTree> m_tree;
    QString m_folder;
    QString m_pendingSubfolder;
    QString m_revealFile;
};

} // namespace vistrel
