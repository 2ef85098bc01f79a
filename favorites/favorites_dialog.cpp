// The handlers and operations of the favorites manager.

#include "favorites/favorites_dialog.h"

#include <exception>
#include <optional>

#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTableWidget>

#include "core/main_window_host.h"
#include "core/messages.h"
#include "core/shared_state.h"
#include "widgets/folder_dialog.h"
#include "widgets/message_box.h"

namespace vistrel {
namespace {

constexpr QChar kCr(13);
constexpr int kLargestIndex = 255; // SelectedFavorite is an 8-bit index
constexpr int kFullLabelWidth = 110;

// The settings file trims blanks around a value and drops one pair of matching quotes, and the
// load stops at the first empty name. A text that would come back empty counts as empty here.
bool readsBackEmpty(const QString& text)
{
    QString value = text.trimmed();
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\''))
        && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value.trimmed().isEmpty();
}

// The error box adds a full stop unless the text already ends in punctuation.
QString withFinalStop(QString text)
{
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        text += QLatin1Char('.');
    return text;
}

} // namespace

void TForm2::FormCreate()
{
    centreOverMainWindow();
}

void TForm2::FormActivate()
{
    centreOverMainWindow();
    FavoritesChanged = false;
    m_saveRefused = false;
    const QString folder = m_host.listFolderPath();
    EditName->setText(folder);
    enterAddMode();
    FillFavoritesGrid();
    // The list may have changed since the last opening: no old selection stays in force.
    SelectedFavorite = 0;
    clearGridSelection();
    DisableEntryButtons();
    if (CheckFavoritesFull())
        EditName->setFocus();
    EditAddress->setText(folder);
}

void TForm2::enterAddMode()
{
    B_Add->show();
    B_Cancel->hide();
    B_Insert->hide();
    StringGrid1->setEnabled(true);
    // Replace takes the place of Add.
    B_Insert->move(B_Add->pos());
}

void TForm2::FillFavoritesGrid()
{
    const QScopedValueRollback filling(m_fillingGrid, true);
    const int current = StringGrid1->currentRow();
    const auto setCell = [this](int row, const QString& text) {
        QTableWidgetItem* item = StringGrid1->item(row, 0);
        if (!item) {
            item = new QTableWidgetItem;
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            StringGrid1->setItem(row, 0, item);
        }
        item->setText(text);
    };
    // An empty list still shows one empty row.
    StringGrid1->setRowCount(1);
    setCell(0, QString());
    const QList<Favorite>& list = m_state.FavoriteList;
    for (int i = 0; i < list.size(); ++i) {
        StringGrid1->setRowCount(i + 1);
        setCell(i, QStringLiteral("  ") + list.at(i).name);
    }
    if (current >= 0 && current < StringGrid1->rowCount())
        selectGridRow(current);
    else
        clearGridSelection();
}

void TForm2::DisableEntryButtons()
{
    B_Edit->setEnabled(false);
    B_Remove->setEnabled(false);
    B_Up->setEnabled(false);
    B_Down->setEnabled(false);
}

void TForm2::LeaveEditMode()
{
    B_Add->show();
    B_Cancel->hide();
    B_Insert->hide();
    EditName->clear();
    EditAddress->clear();
    StringGrid1->setEnabled(true);
}

bool TForm2::CheckFavoritesFull()
{
    // A hand-edited settings file may hold more than the maximum; that list is full as well.
    if (m_state.FavoriteList.size() >= m_state.MaxFavorites) {
        Label3->resize(kFullLabelWidth, Label3->height());
        const QString text = favoritesMessage(m_state, FavoritesMessage::ListFull) + kCr + QLatin1Char('(')
                             + QString::number(m_state.MaxFavorites) + QLatin1Char(' ')
                             + favoritesMessage(m_state, FavoritesMessage::FavoritesWord) + QLatin1Char(')');
        // A label draws CR as a blank; the composed line break becomes a real one.
        Label3->setText(QString(text).replace(kCr, QLatin1Char('\n')));
        InfoPanel->show();
        B_Add->setEnabled(false);
        return false;
    }
    InfoPanel->hide();
    B_Add->setEnabled(true);
    return true;
}

void TForm2::StringGrid1Click()
{
    const int row = StringGrid1->currentRow();
    if (row < 0)
        return;
    if (row > kLargestIndex) {
        // Beyond what the selection index can name; acting on it would hit another entry.
        DisableEntryButtons();
        return;
    }
    SelectedFavorite = static_cast<std::uint8_t>(row);
    selectGridRow(row);
    if (row < m_state.FavoriteList.size()) {
        B_Edit->setEnabled(true);
        B_Remove->setEnabled(true);
        B_Up->setEnabled(true);
        B_Down->setEnabled(true);
    } else {
        DisableEntryButtons();
    }
    if (SelectedFavorite == 0)
        B_Up->setEnabled(false);
    if (SelectedFavorite == StringGrid1->rowCount() - 1)
        B_Down->setEnabled(false);
}

void TForm2::EditNameClick()
{
    DisableEntryButtons();
}

void TForm2::EditAddressClick()
{
    DisableEntryButtons();
}

void TForm2::EditAddressButtonClick()
{
    if (const std::optional<QString> folder = chooseFolder(this, EditAddress->text()))
        EditAddress->setText(*folder);
    DisableEntryButtons();
}

bool TForm2::checkFieldsFilled()
{
    if (readsBackEmpty(EditAddress->text())) {
        showMessage(this, MessageKind::Warning, favoritesMessage(m_state, FavoritesMessage::GiveFolder), QMessageBox::Cancel);
        EditAddress->setFocus();
        return false;
    }
    if (readsBackEmpty(EditName->text())) {
        showMessage(this, MessageKind::Warning, favoritesMessage(m_state, FavoritesMessage::GiveName), QMessageBox::Cancel);
        EditName->setFocus();
        return false;
    }
    return true;
}

void TForm2::B_AddClick()
{
    // Add is disabled on a full list; a click that still arrives must not pass the limit.
    if (!CheckFavoritesFull())
        return;
    if (!checkFieldsFilled())
        return;
    const QString name = EditName->text();
    const QString address = EditAddress->text();
    if (!QFileInfo(address).isDir()) {
        showMessage(this, MessageKind::Error, favoritesMessage(m_state, FavoritesMessage::NoSuchFolder) + kCr + address, QMessageBox::Cancel);
        EditAddress->setFocus();
        return;
    }
    std::optional<FavoritesMessage> word;
    for (const Favorite& favorite : std::as_const(m_state.FavoriteList)) {
        if (favorite.name == name) {
            word = FavoritesMessage::NameWord;
            break;
        }
        if (favorite.address == address) {
            word = FavoritesMessage::FolderWord;
            break;
        }
    }
    if (word) {
        showMessage(this, MessageKind::Warning,
                    favoritesMessage(m_state, FavoritesMessage::DuplicateStart) + QLatin1Char(' ')
                        + favoritesMessage(m_state, *word) + QLatin1Char(' ')
                        + favoritesMessage(m_state, FavoritesMessage::DuplicateEnd),
                    QMessageBox::Cancel);
        return;
    }
    m_state.FavoriteList.append(Favorite{name, address});
    FavoritesChanged = true;
    FillFavoritesGrid();
    CheckFavoritesFull();
    EditAddress->clear();
    EditName->clear();
}

void TForm2::B_EditClick()
{
    if (!selectionNamesEntry()) {
        DisableEntryButtons();
        return;
    }
    const Favorite& favorite = m_state.FavoriteList.at(SelectedFavorite);
    EditName->setText(favorite.name);
    EditAddress->setText(favorite.address);
    EditName->setFocus();
    B_Add->hide();
    B_Cancel->show();
    B_Insert->show();
    DisableEntryButtons();
    StringGrid1->setEnabled(false);
}

void TForm2::B_InsertClick()
{
    // An empty name would end the list at the next load and lose the entries behind it.
    if (!checkFieldsFilled())
        return;
    if (!selectionNamesEntry()) {
        LeaveEditMode();
        return;
    }
    m_state.FavoriteList[SelectedFavorite] = Favorite{EditName->text(), EditAddress->text()};
    LeaveEditMode();
    FavoritesChanged = true;
    FillFavoritesGrid();
}

void TForm2::B_CancelClick()
{
    LeaveEditMode();
}

void TForm2::B_RemoveClick()
{
    if (!selectionNamesEntry()) {
        DisableEntryButtons();
        return;
    }
    m_state.FavoriteList.removeAt(SelectedFavorite);
    DisableEntryButtons();
    CheckFavoritesFull();
    FavoritesChanged = true;
    FillFavoritesGrid();
    // The highlighted row would now show another entry than the one the buttons were for.
    clearGridSelection();
}

void TForm2::B_UpClick()
{
    if (!selectionNamesEntry() || SelectedFavorite == 0)
        return;
    m_state.FavoriteList.swapItemsAt(SelectedFavorite - 1, SelectedFavorite);
    --SelectedFavorite;
    if (SelectedFavorite == 0)
        B_Up->setEnabled(false);
    B_Down->setEnabled(true);
    FavoritesChanged = true;
    FillFavoritesGrid();
    selectGridRow(SelectedFavorite);
}

void TForm2::B_DownClick()
{
    const int count = m_state.FavoriteList.size();
    if (!selectionNamesEntry() || SelectedFavorite + 1 >= count)
        return;
    m_state.FavoriteList.swapItemsAt(SelectedFavorite + 1, SelectedFavorite);
    ++SelectedFavorite;
    if (SelectedFavorite > count - 2)
        B_Down->setEnabled(false);
    B_Up->setEnabled(true);
    FavoritesChanged = true;
    FillFavoritesGrid();
    selectGridRow(SelectedFavorite);
}

void TForm2::B_CloseClick()
{
    if (FavoritesChanged && !m_saveRefused) {
        // A refused save throws from here: the dialog stays open and FavoritesChanged stays set,
        // so the user sees the error once and may try again.
        try {
            m_host.saveSettings();
        } catch (...) {
            m_saveRefused = true;
            throw;
        }
    } else if (FavoritesChanged) {
        // The refusal has been reported; asking again would leave no way out but killing the
        // program. The changed list stays in memory and goes out with the settings at the end
        // of the run; the menu shows it meanwhile.
        m_host.rebuildFavoritesMenu();
    }
    const QScopedValueRollback closing(m_closing, true);
    QDialog::done(QDialog::Accepted);
}

void TForm2::reject()
{
    if (m_closing)
        return;
    try {
        B_CloseClick();
    } catch (const std::exception& error) {
        showMessage(this, MessageKind::Error, withFinalStop(QString::fromUtf8(error.what())), QMessageBox::Ok);
    }
}

bool TForm2::selectionNamesEntry() const
{
    return SelectedFavorite < m_state.FavoriteList.size();
}

void TForm2::selectGridRow(int row)
{
    const QScopedValueRollback filling(m_fillingGrid, true);
    StringGrid1->setCurrentCell(row, 0);
    StringGrid1->selectRow(row);
}

void TForm2::clearGridSelection()
{
    const QScopedValueRollback filling(m_fillingGrid, true);
    StringGrid1->selectionModel()->clearCurrentIndex();
    StringGrid1->clearSelection();
}

void TForm2::onGridCurrentCellChanged(int row)
{
    // Moves that the program makes while it refills the grid are not the user's selection.
    if (m_fillingGrid || row < 0)
        return;
    StringGrid1Click();
}

} // namespace vistrel
