#pragma once
// TForm3, the configuration dialog: start folder, window placement, hints, menu images and the
// language pack. Every control writes straight into the shared state and marks it changed; Save
// switches the language and writes the settings file, Close writes nothing.

#include <QDialog>

#include "core/language_target.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QShowEvent;

namespace vistrel {

struct SharedState;
class MainWindowHost;

class TForm3 : public QDialog, public LanguageTarget {
    Q_OBJECT

public:
    // Created once, after the main window has loaded the settings; runs FormCreate.
    TForm3(SharedState& state, MainWindowHost& host, QWidget* mainWindow);

    // CBox_Lng, filled by the language loader.
    QComboBox* languageBox() const { return CBox_Lng; }

    // Section Config of a language pack: id01 caption, id02..id14 the controls.
    void applyText(const QString& key, const QString& text) override;

    void FormCreate();
    void FormActivate();
    void RadioBut_RD1Click();
    void RadioBut_RD2Click();
    void EditDirChange();
    void EditDirButtonClick();
    void RadioBut_RC1Click();
    void RadioBut_RC2Click();
    void CheckBox_RSClick();
    void CheckBox_SHClick();
    void CheckBox_SIClick();
    void B_AddClick();
    void B_CloseClick();
    void B_DefaultClick();

    // Escape and the window manager's close leave the dialog as Close does.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void createControls();
    void connectHandlers();
    void setTabOrderChain();
    void centre();
    void placeLabel1();

    SharedState& m_state;
    MainWindowHost& m_host;

    QGroupBox* RadioGroup1 = nullptr;
    QRadioButton* RadioBut_RD1 = nullptr;
    QRadioButton* RadioBut_RD2 = nullptr;
    QLineEdit* EditDir = nullptr;
    QAction* m_editDirButton = nullptr;
    QGroupBox* CheckGroup1 = nullptr;
    QCheckBox* CheckBox_RS = nullptr;
    QRadioButton* RadioBut_RC1 = nullptr;
    QRadioButton* RadioBut_RC2 = nullptr;
    QCheckBox* CheckBox_SH = nullptr;
    QCheckBox* CheckBox_SI = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* CBox_Lng = nullptr;
    QFrame* Border1 = nullptr;
    QPushButton* B_Add = nullptr;
    QPushButton* B_Close = nullptr;
    QPushButton* B_Default = nullptr;
};

} // namespace vistrel
