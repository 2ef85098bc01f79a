#pragma once
// The favorites manager TForm2: a modal dialog in which the user adds, edits, removes and
// reorders the favorite folders of the shared state. Every change goes into FavoriteList at once;
// closing the dialog after a change saves the settings through the main window.

#include <QDialog>
#include <cstdint>

#include "core/language_target.h"

class QAction;
class QFrame;
class QLabel;
class QLineEdit;
class QModelIndex;
class QPainter;
class QPushButton;
class QStyleOptionViewItem;
class QTableWidget;

namespace vistrel {
namespace favorites {
enum class Glyph;
}

struct SharedState;
class MainWindowHost;

class TForm2 : public QDialog, public LanguageTarget {
    Q_OBJECT
public:
    TForm2(SharedState& state, MainWindowHost& host, QWidget* mainWindow);

    // Index of the entry last selected in the grid.
    std::uint8_t selectedFavorite() const { return SelectedFavorite; }
    // Set by every change of the list since the dialog was opened.
    bool favoritesChanged() const { return FavoritesChanged; }

    // Texts of the Favorites section: id01 caption, id02..id03 labels, id04..id11 buttons,
    // id12 the information panel.
    void applyText(const QString& key, const QString& text) override;

    // Operations of the dialog.
    void FillFavoritesGrid();
    void DisableEntryButtons();
    void LeaveEditMode();
    bool CheckFavoritesFull(); // true when there is room for another entry

    // Custom painting of a grid cell; false leaves the cell to the standard painting.
    bool StringGrid1DrawCell(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const;

public slots:
    void FormCreate();
    void FormActivate();
    void StringGrid1Click();
    void EditNameClick();
    void EditAddressClick();
    void EditAddressButtonClick();
    void B_AddClick();
    void B_EditClick();
    void B_InsertClick();
    void B_CancelClick();
    void B_RemoveClick();
    void B_UpClick();
    void B_DownClick();
    // Saves after changes, then closes; a refused save throws and leaves the dialog open. Once a
    // refusal has been reported, the next Close closes without saving and keeps the changed list
    // in memory.
    void B_CloseClick();

    // Escape and the window manager's close commit like Close; a failed save is shown here and
    // keeps the dialog open once, since no exception may leave an event handler.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void createButtons();
    void createInfoPanel();
    QPushButton* makeButton(const char* name, int left, int top, favorites::Glyph glyph);
    void placeRightAligned(QLabel* label, int rightEdge);
    void centreOverMainWindow();
    void enterAddMode();
    bool selectionNamesEntry() const;
    void selectGridRow(int row);
    void clearGridSelection();
    void onGridCurrentCellChanged(int row);
    // Add's empty-field checks; shows the box, moves the focus and returns false on a failure.
    bool checkFieldsFilled();

    SharedState& m_state;
    MainWindowHost& m_host;
    QWidget* m_mainWindow;

    std::uint8_t SelectedFavorite = 0;
    bool FavoritesChanged = false;

    bool m_fillingGrid = false; // the grid is changed by the program, not by the user
    bool m_closing = false;     // Close is hiding the dialog
    bool m_saveRefused = false; // a save since the opening was refused and reported
    int m_label1Right = 0;      // right edges of the right-aligned labels
    int m_label2Right = 0;

    QLabel* Label1 = nullptr;
    QLineEdit* EditName = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* EditAddress = nullptr;
    QAction* m_addressButton = nullptr;
    QFrame* Border1 = nullptr;
    QTableWidget* StringGrid1 = nullptr;
    QPushButton* B_Add = nullptr;
    QPushButton* B_Insert = nullptr;
    QPushButton* B_Cancel = nullptr;
    QPushButton* B_Edit = nullptr;
    QPushButton* B_Remove = nullptr;
    QPushButton* B_Up = nullptr;
    QPushButton* B_Down = nullptr;
    QFrame* InfoPanel = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Label3 = nullptr;
    QPushButton* B_Close = nullptr;
};

} // namespace vistrel
