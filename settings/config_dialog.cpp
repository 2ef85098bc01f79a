#include "settings/config_dialog.h"

#include <algorithm>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QStyle>

#include "core/builtin_texts.h"
#include "core/main_window_host.h"
#include "core/shared_state.h"
#include "widgets/folder_dialog.h"

namespace vistrel {
namespace {

constexpr int kClientWidth = 397;
constexpr int kClientHeight = 373;
constexpr int kLabel1Right = 224 + 31; // the label is right-aligned and grows to the left
constexpr int kLabel1MinWidth = 31;
constexpr qreal kDesignPointSize = 8.0;

// Places a control at its designed left, top and width. The height is the designed one unless
// the platform's style needs more to show the control whole.
template <typename W>
W* place(W* widget, const QString& name, int left, int top, int width, int height)
{
    widget->setObjectName(name);
    widget->setGeometry(left, top, width, std::max(height, widget->sizeHint().height()));
    return widget;
}

QPushButton* makeButton(QWidget* parent, const QString& name, int left, QStyle::StandardPixmap glyph)
{
    auto* button = place(new QPushButton(parent), name, left, 342, 120, 25);
    button->setIcon(parent->style()->standardIcon(glyph));
    // Enter in the folder field must not press a button: the dialog has no default button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

} // namespace

TForm3::TForm3(SharedState& state, MainWindowHost& host, QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_state(state)
    , m_host(host)
{
    setObjectName(QStringLiteral("Form3"));
    setFixedSize(kClientWidth, kClientHeight);
    setModal(true);
    // The fixed layout was designed for an 8-point interface font; larger desktop defaults would
    // clip the longer captions.
    QFont designFont = font();
    if (designFont.pointSizeF() > kDesignPointSize) {
        designFont.setPointSizeF(kDesignPointSize);
        setFont(designFont);
    }
    createControls();
    for (const LanguageText& text : interfaceTexts("Config"))
        applyText(QString::fromLatin1(text.key), QString::fromUtf8(text.builtin));
    setTabOrderChain();
    connectHandlers();
    FormCreate();
}

void TForm3::createControls()
{
    RadioGroup1 = place(new QGroupBox(this), QStringLiteral("RadioGroup1"), 6, 8, 385, 107);
    RadioBut_RD1 = place(new QRadioButton(RadioGroup1), QStringLiteral("RadioBut_RD1"), 16, 24, 353, 17);
    RadioBut_RD2 = place(new QRadioButton(RadioGroup1), QStringLiteral("RadioBut_RD2"), 16, 48, 337, 17);
    EditDir = place(new QLineEdit(RadioGroup1), QStringLiteral("EditDir"), 34, 73, 335, 21);
    m_editDirButton = EditDir->addAction(style()->standardIcon(QStyle::SP_DirOpenIcon), QLineEdit::TrailingPosition);

    CheckGroup1 = place(new QGroupBox(this), QStringLiteral("CheckGroup1"), 6, 127, 385, 105);
    CheckBox_RS = place(new QCheckBox(CheckGroup1), QStringLiteral("CheckBox_RS"), 16, 27, 353, 17);
    RadioBut_RC1 = place(new QRadioButton(CheckGroup1), QStringLiteral("RadioBut_RC1"), 16, 51, 297, 17);
    RadioBut_RC2 = place(new QRadioButton(CheckGroup1), QStringLiteral("RadioBut_RC2"), 16, 75, 313, 17);

    CheckBox_SH = place(new QCheckBox(this), QStringLiteral("CheckBox_SH"), 24, 250, 361, 17);
    CheckBox_SI = place(new QCheckBox(this), QStringLiteral("CheckBox_SI"), 24, 279, 361, 17);

    Label1 = place(new QLabel(this), QStringLiteral("Label1"), 224, 308, 31, 13);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    CBox_Lng = place(new QComboBox(this), QStringLiteral("CBox_Lng"), 266, 304, 120, 21);
    CBox_Lng->setEditable(false);
    Label1->setBuddy(CBox_Lng);

    Border1 = new QFrame(this);
    Border1->setObjectName(QStringLiteral("Border1"));
    Border1->setFrameShape(QFrame::HLine);
    Border1->setFrameShadow(QFrame::Sunken);
    Border1->setGeometry(6, 326, 385, 8);

    B_Add = makeButton(this, QStringLiteral("B_Add"), 10, QStyle::SP_DialogSaveButton);
    B_Close = makeButton(this, QStringLiteral("B_Close"), 138, QStyle::SP_DialogCloseButton);
    B_Default = makeButton(this, QStringLiteral("B_Default"), 266, QStyle::SP_DialogResetButton);

    // Design states: remember the folder, the sizes and the position; hints and menu images on.
    RadioBut_RD1->setChecked(true);
    EditDir->setEnabled(false);
    CheckBox_RS->setChecked(true);
    RadioBut_RC1->setChecked(true);
    CheckBox_SH->setChecked(true);
    CheckBox_SI->setChecked(true);
}

void TForm3::setTabOrderChain()
{
    QWidget* const chain[] = {B_Add,        B_Close,      CheckBox_RS, RadioBut_RC1, RadioBut_RC2, EditDir,
                              RadioBut_RD1, RadioBut_RD2, CheckBox_SH, CheckBox_SI,  B_Default,    CBox_Lng};
    for (std::size_t i = 0; i + 1 < std::size(chain); ++i)
        setTabOrder(chain[i], chain[i + 1]);
}

void TForm3::connectHandlers()
{
    // "clicked" fires for the user's clicks and keys only, never for the program's own setChecked.
    connect(RadioBut_RD1, &QRadioButton::clicked, this, &TForm3::RadioBut_RD1Click);
    connect(RadioBut_RD2, &QRadioButton::clicked, this, &TForm3::RadioBut_RD2Click);
    connect(EditDir, &QLineEdit::textChanged, this, &TForm3::EditDirChange);
    connect(m_editDirButton, &QAction::triggered, this, &TForm3::EditDirButtonClick);
    connect(RadioBut_RC1, &QRadioButton::clicked, this, &TForm3::RadioBut_RC1Click);
    connect(RadioBut_RC2, &QRadioButton::clicked, this, &TForm3::RadioBut_RC2Click);
    connect(CheckBox_RS, &QCheckBox::clicked, this, &TForm3::CheckBox_RSClick);
    connect(CheckBox_SH, &QCheckBox::clicked, this, &TForm3::CheckBox_SHClick);
    connect(CheckBox_SI, &QCheckBox::clicked, this, &TForm3::CheckBox_SIClick);
    connect(B_Add, &QPushButton::clicked, this, &TForm3::B_AddClick);
    connect(B_Close, &QPushButton::clicked, this, &TForm3::B_CloseClick);
    connect(B_Default, &QPushButton::clicked, this, &TForm3::B_DefaultClick);
}

void TForm3::applyText(const QString& key, const QString& text)
{
    const int id = key.startsWith(QLatin1String("id")) ? key.mid(2).toInt() : 0;
    switch (id) {
    case 1: setWindowTitle(text); break;
    case 2: RadioGroup1->setTitle(text); break;
    case 3: CheckGroup1->setTitle(text); break;
    case 4: RadioBut_RD1->setText(text); break;
    case 5: RadioBut_RD2->setText(text); break;
    case 6: CheckBox_RS->setText(text); break;
    case 7: RadioBut_RC1->setText(text); break;
    case 8: RadioBut_RC2->setText(text); break;
    case 9: CheckBox_SH->setText(text); break;
    case 10: CheckBox_SI->setText(text); break;
    case 11:
        Label1->setText(text);
        placeLabel1();
        break;
    case 12: B_Add->setText(text); break;
    case 13: B_Close->setText(text); break;
    case 14: B_Default->setText(text); break;
    default: break;
    }
}

void TForm3::placeLabel1()
{
    // A longer word than the designed one widens the label to the left, so it still ends
    // right before the language box.
    const int width = std::max(kLabel1MinWidth, Label1->fontMetrics().horizontalAdvance(Label1->text()) + 2);
    Label1->setGeometry(kLabel1Right - width, Label1->y(), width, Label1->height());
}

void TForm3::centre()
{
    const QRect main = m_host.windowBounds();
    const QSize own = frameGeometry().size();
    // Integer division truncates toward zero, also for a dialog wider than the main window.
    move(main.left() + (main.width() - own.width()) / 2, main.top() + (main.height() - own.height()) / 2);
}

void TForm3::FormCreate()
{
    centre();
    if (m_state.RememberDir) {
        m_state.StartDir = m_host.listFolderPath();
    } else {
        RadioBut_RD2->setChecked(true);
        EditDir->setEnabled(true);
        // Filling the field is not a change made by the user.
        const QSignalBlocker blocker(EditDir);
        EditDir->setText(m_state.StartDir);
    }
    if (!m_state.RememberPosition)
        RadioBut_RC2->setChecked(true);
    if (!m_state.RememberSize)
        CheckBox_RS->setChecked(false);
    if (!m_state.ShowHints)
        CheckBox_SH->setChecked(false);
    if (!m_state.ShowMenuIcons)
        CheckBox_SI->setChecked(false);
}

void TForm3::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Spontaneous show events come from the window system (a restored window), not a new showing.
    if (!event->spontaneous())
        FormActivate();
}

void TForm3::FormActivate()
{
    centre();
    m_state.ConfigChanged = false;
}

void TForm3::RadioBut_RD1Click()
{
    if (m_state.RememberDir)
        return;
    m_state.RememberDir = true;
    m_state.ConfigChanged = true;
    EditDir->setEnabled(false);
}

void TForm3::RadioBut_RD2Click()
{
    EditDir->setEnabled(true);
    EditDir->setText(m_state.StartDir);
    m_state.RememberDir = false;
    m_state.ConfigChanged = true;
}

void TForm3::EditDirChange()
{
    m_state.ConfigChanged = true;
    m_state.StartDir = EditDir->text();
}

void TForm3::EditDirButtonClick()
{
    const std::optional<QString> folder = chooseFolder(this, EditDir->text());
    if (!folder)
        return;
    EditDir->setText(*folder);
    m_state.StartDir = EditDir->text();
    m_state.ConfigChanged = true;
}

void TForm3::RadioBut_RC1Click()
{
    if (m_state.RememberPosition)
        return;
    m_state.RememberPosition = true;
    m_state.ConfigChanged = true;
    RadioBut_RC1->setChecked(true);
    const QRect bounds = m_host.windowBounds();
    m_state.SavedLeft = bounds.left();
    m_state.SavedTop = bounds.top();
}

void TForm3::RadioBut_RC2Click()
{
    if (!m_state.RememberPosition)
        return;
    m_state.RememberPosition = false;
    m_state.ConfigChanged = true;
    RadioBut_RC2->setChecked(true);
}

void TForm3::CheckBox_RSClick()
{
    m_state.ConfigChanged = true;
    if (CheckBox_RS->isChecked()) {
        m_state.RememberSize = true;
        return;
    }
    m_state.RememberSize = false;
    // Frozen here: while the option stays off, every save writes these sizes.
    const QRect bounds = m_host.windowBounds();
    m_state.SavedWidth = bounds.width();
    m_state.SavedHeight = bounds.height();
    m_state.SavedPanelWidth = m_host.panelWidth();
    m_state.SavedSplitterPos = m_host.splitterPosition();
}

void TForm3::CheckBox_SHClick()
{
    m_state.ShowHints = CheckBox_SH->isChecked();
    m_state.ConfigChanged = true;
}

void TForm3::CheckBox_SIClick()
{
    m_state.ShowMenuIcons = CheckBox_SI->isChecked();
    m_state.ConfigChanged = true;
}

void TForm3::B_AddClick()
{
    const QString chosen = CBox_Lng->currentText();
    if (chosen != m_state.CurrentLanguageName) {
        const QString fileName = languageFileFor(m_state, chosen);
        m_state.CurrentLanguageFile = fileName;
        m_host.loadLanguage(fileName);
        m_state.ConfigChanged = true;
    }
    // A refused write throws out of here: the dialog stays open with the change still marked.
    if (m_state.ConfigChanged)
        m_host.saveSettings();
    m_state.ConfigChanged = false;
    accept();
}

void TForm3::B_CloseClick()
{
    // Back to the name of the pack in force: the exact name, or none.
    CBox_Lng->setCurrentIndex(
        CBox_Lng->findText(m_state.CurrentLanguageName, Qt::MatchExactly | Qt::MatchCaseSensitive));
    m_state.ConfigChanged = false;
    QDialog::reject();
}

void TForm3::reject()
{
    B_CloseClick();
}

void TForm3::B_DefaultClick()
{
    m_state.ShowHints = true;
    CheckBox_SH->setChecked(true);
    m_state.ShowMenuIcons = true;
    CheckBox_SI->setChecked(true);
    m_state.RememberSize = true;
    CheckBox_RS->setChecked(true);
    m_state.RememberPosition = true;
    RadioBut_RC1->setChecked(true);
    m_state.RememberDir = true;
    RadioBut_RD1->setChecked(true);
    EditDir->setEnabled(false);
    m_state.ConfigChanged = true;
}

} // namespace vistrel
