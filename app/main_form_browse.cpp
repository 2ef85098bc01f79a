// Folder browsing: the history behind Back, Forward and Up, the path combo, the favorites menu.

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>

#include "app/action_button.h"
#include "app/main_form.h"
#include "core/messages.h"
#include "widgets/image_lists.h"
#include "widgets/message_box.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"
#include "widgets/shell_views.h"

namespace vistrel {

void TForm1::setFolderOfList(const QString& path)
{
    showPendingFolder();
    // Every move the program makes goes through the list; the tree follows and reports once.
    ShellList1->setFolder(path);
}

void TForm1::selectFolderCameFrom(const QString& previous)
{
    showPendingFolder();
    // As in a file manager, the arrow keys then go on from the folder the user came out of.
    ShellList1->selectSubfolder(previous);
}

void TForm1::AddToHistory(const QString& path)
{
    QStringList& history = m_state.FolderHistory;
    if (!history.isEmpty() && m_state.HistoryIndex != history.size() - 1) {
        // Going somewhere new from an older position drops that position and everything after it.
        while (history.size() > m_state.HistoryIndex)
            history.removeLast();
    } else if (history.size() >= m_state.MaxHistory) {
        history.removeFirst();
    }
    history.append(path);
    m_state.HistoryIndex = static_cast<std::uint8_t>(history.size() - 1);
    B_Forward->setEnabled(false);
    B_Back->setEnabled(m_state.HistoryIndex != 0);
}

void TForm1::ShellTree1Change(const QString& path)
{
    m_state.CurrentDir = path;
    UpdateUpButton(path);
    if (m_state.RecordFolderChange)
        AddToHistory(path);
    m_state.RecordFolderChange = true;
}

void TForm1::UpdateUpButton(const QString& path)
{
    B_UpToParent->setEnabled(!path.isEmpty() && path != QLatin1String("/"));
}

void TForm1::BackExecute()
{
    showPendingFolder();
    if (m_state.FolderHistory.isEmpty() || m_state.HistoryIndex == 0)
        return;
    m_state.RecordFolderChange = false;
    m_state.HistoryIndex = static_cast<std::uint8_t>(m_state.HistoryIndex - 1);
    const QString previous = ShellList1->folder();
    setFolderOfList(m_state.FolderHistory.at(m_state.HistoryIndex));
    selectFolderCameFrom(previous);
    // A step onto the folder already shown raises no tree change; recording resumes all the same.
    m_state.RecordFolderChange = true;
    B_Forward->setEnabled(true);
    if (m_state.HistoryIndex == 0)
        B_Back->setEnabled(false);
}

void TForm1::ForwardExecute()
{
    showPendingFolder();
    if (m_state.FolderHistory.isEmpty() || m_state.HistoryIndex + 1 >= m_state.FolderHistory.size())
        return;
    m_state.RecordFolderChange = false;
    m_state.HistoryIndex = static_cast<std::uint8_t>(m_state.HistoryIndex + 1);
    const QString previous = ShellList1->folder();
    setFolderOfList(m_state.FolderHistory.at(m_state.HistoryIndex));
    selectFolderCameFrom(previous);
    m_state.RecordFolderChange = true;
    B_Back->setEnabled(true);
    if (m_state.HistoryIndex == m_state.FolderHistory.size() - 1)
        B_Forward->setEnabled(false);
}

void TForm1::UpToParentExecute()
{
    showPendingFolder();
    const QString path = ShellList1->folder();
    if (path.isEmpty() || path == QLatin1String("/"))
        return;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return;
    setFolderOfList(slash == 0 ? QStringLiteral("/") : path.left(slash));
    selectFolderCameFrom(path);
}

void TForm1::ShellCombo1Click()
{
    setFolderOfList(ShellCombo1->folder());
}

// --- Favorites menu ---------------------------------------------------------------------------

void TForm1::RebuildFavoritesMenu()
{
    const QList<QAction*> items = MenuFavor->actions();
    for (int i = 2; i < items.size(); ++i) {
        MenuFavor->removeAction(items.at(i));
        delete items.at(i);
    }
    for (int i = 0; i < m_state.FavoriteList.size(); ++i) {
        auto* item = new QAction(m_state.FavoriteList.at(i).name, MenuFavor);
        item->setObjectName(QStringLiteral("z%1").arg(i));
        item->setIcon(m_images.value(kImageFavorites));
        item->setIconVisibleInMenu(m_menuImages);
        connect(item, &QAction::triggered, this, [this, item] { FavoritesClick(item); });
        MenuFavor->addAction(item);
    }
}

void TForm1::FavoritesClick(QAction* item)
{
    const int index = MenuFavor->actions().indexOf(item) - 2;
    if (index < 0 || index >= m_state.FavoriteList.size())
        return;
    const QString address = m_state.FavoriteList.at(index).address;
    if (!address.isEmpty() && QFileInfo(address).isDir()) {
        setFolderOfList(address);
        return;
    }
    const QChar cr(13);
    const QString question = mainMessage(m_state, MainMessage::FavoriteFolderGone) + cr + address + cr + cr
                             + mainMessage(m_state, MainMessage::RemoveFavorite);
    if (showMessage(this, MessageKind::Confirmation, question, QMessageBox::Yes | QMessageBox::No) !=
        QMessageBox::Yes)
        return;
    const QString name = m_state.FavoriteList.at(index).name;
    m_state.FavoriteList.removeAt(index);
    RebuildFavoritesMenu();
    showMessage(this, MessageKind::Information,
                mainMessage(m_state, MainMessage::FavoriteWord) + QLatin1String(" \"") + name + QLatin1String("\" ")
                    + mainMessage(m_state, MainMessage::WasRemoved),
                QMessageBox::Ok);
}

} // namespace vistrel
