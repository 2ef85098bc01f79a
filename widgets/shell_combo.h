#pragma once
// The folder path combo of the browsing pane: shows the current folder (its full path) and drops
// down the folder with its ancestors up to the root "/". Picking one moves the linked views.

#include <QComboBox>
#include <QPointer>
#include <QString>

class QFileSystemModel;

namespace vistrel {

class ShellList;
class ShellTree;

class ShellCombo : public QComboBox {
    Q_OBJECT
public:
    // The model is shared with the tree and the list; the combo takes its folder icon from it.
    explicit ShellCombo(QFileSystemModel* model, QWidget* parent = nullptr);

    // The folder shown (or just picked); empty until the linked tree first selects one.
    QString folder() const { return m_folder; }
    // The drop-down entries, root first.
    QStringList folderChain() const;

signals:
    // The user picked a folder in the drop-down; a linked tree has already moved there.
    void folderChosen(const QString& path);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    friend class ShellTree;
    friend void linkShellViews(ShellTree* tree, ShellList* list, ShellCombo* combo);

    void showFolder(const QString& path);
    void choose(int index);

    QFileSystemModel* m_model;
    QPointer<ShellList> m_list;
    QString m_folder;
};

} // namespace vistrel
