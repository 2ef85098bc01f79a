// Building the favorites manager: its controls at their designed places, its texts, its
// placement over the main window, and the events that stand for clicks and openings.

#include "favorites/favorites_dialog.h"

#include <algorithm>

#include <QAction>
#include <QCloseEvent>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QStyleOptionViewItem>
#include <QTableWidget>

#include "core/builtin_texts.h"
#include "core/main_window_host.h"
#include "core/shared_state.h"
#include "favorites/favorites_glyphs.h"
#include "favorites/favorites_grid_delegate.h"

namespace vistrel {
namespace {

constexpr int kClientWidth = 397;
constexpr int kClientHeight = 373;
constexpr int kButtonWidth = 120;
constexpr int kButtonHeight = 25;
constexpr int kEditHeight = 21;
constexpr int kGridRowHeight = 20;
constexpr int kGridColumnWidth = 253;
constexpr int kCellTextInset = 2;
constexpr int kFacePointSize = 8;

// Face RGB 244,244,240; the highlight 106,141,244 marks the button under the mouse.
const char* const kButtonStyle =
    "QPushButton { background-color: rgb(244, 244, 240); border: 1px solid rgb(172, 168, 153);"
    " border-radius: 3px; padding: 2px 6px; text-align: left; }"
    "QPushButton:hover { border-color: rgb(106, 141, 244); background-color: rgb(228, 235, 253); }"
    "QPushButton:pressed { background-color: rgb(206, 218, 251); }"
    "QPushButton:focus { border-color: rgb(106, 141, 244); }"
    "QPushButton:disabled { color: rgb(160, 160, 160); border-color: rgb(200, 200, 196); }";

using favorites::Glyph;

// Where a right-aligned label ends: after its designed text, but never over the field beside it.
int labelRightEdge(const QLabel* label, int designedLeft, const QString& designedText)
{
    constexpr int kFieldLeft = 73;
    constexpr int kGap = 3;
    return std::min(designedLeft + label->fontMetrics().horizontalAdvance(designedText), kFieldLeft - kGap);
}

} // namespace

TForm2::TForm2(SharedState& state, MainWindowHost& host, QWidget* mainWindow)
    : QDialog(mainWindow), m_state(state), m_host(host), m_mainWindow(mainWindow)
{
    setObjectName(QStringLiteral("Form2"));
    // A fixed dialog whose only title-bar button is close; closing commits like Close does.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedSize(kClientWidth, kClientHeight);
    // The layout is fixed to the pixel; a small face keeps every caption inside its control.
    QFont face = font();
    face.setPointSize(kFacePointSize);
    setFont(face);
    setModal(true);
    createControls();
    for (const LanguageText& text : interfaceTexts("Favorites"))
        applyText(QString::fromLatin1(text.key), QString::fromUtf8(text.builtin));
    FormCreate();
}

void TForm2::createControls()
{
    Label1 = new QLabel(this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label1->move(11, 17);
    m_label1Right = labelRightEdge(Label1, 11, builtinText("Favorites", "id02"));

    EditName = new QLineEdit(this);
    EditName->setObjectName(QStringLiteral("EditName"));
    EditName->setGeometry(73, 15, 190, kEditHeight);
    EditName->installEventFilter(this);

    Label2 = new QLabel(this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label2->move(32, 58);
    m_label2Right = labelRightEdge(Label2, 32, builtinText("Favorites", "id03"));

    EditAddress = new QLineEdit(this);
    EditAddress->setObjectName(QStringLiteral("EditAddress"));
    EditAddress->setGeometry(73, 56, 190, kEditHeight);
    EditAddress->installEventFilter(this);
    m_addressButton = EditAddress->addAction(favorites::folderGlyph(), QLineEdit::TrailingPosition);
    m_addressButton->setObjectName(QStringLiteral("EditAddressButton"));
    connect(m_addressButton, &QAction::triggered, this, &TForm2::EditAddressButtonClick);

    Border1 = new QFrame(this);
    Border1->setObjectName(QStringLiteral("Border1"));
    Border1->setGeometry(8, 86, 385, 10);
    Border1->setStyleSheet(QStringLiteral("#Border1 { border: none; border-bottom: 1px solid rgb(160, 160, 160); }"));

    StringGrid1 = new QTableWidget(1, 1, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    StringGrid1->setGeometry(6, 107, 257, 260);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setMinimumSectionSize(1);
    StringGrid1->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    StringGrid1->setColumnWidth(0, kGridColumnWidth);
    StringGrid1->setShowGrid(false);
    StringGrid1->setWordWrap(false);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    StringGrid1->setItemDelegate(new favorites::FavoritesGridDelegate(
        [this](QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) {
            return StringGrid1DrawCell(painter, option, index);
        },
        StringGrid1));
    connect(StringGrid1, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int, int) { onGridCurrentCellChanged(row); });
    connect(StringGrid1, &QTableWidget::cellClicked, this, [this](int, int) { StringGrid1Click(); });

    createButtons();
    createInfoPanel();

    // Tab order follows the designed layout: fields, their buttons, then the grid and its buttons.
    setTabOrder(EditName, EditAddress);
    setTabOrder(EditAddress, B_Add);
    setTabOrder(B_Add, B_Insert);
    setTabOrder(B_Insert, B_Cancel);
    setTabOrder(B_Cancel, StringGrid1);
    setTabOrder(StringGrid1, B_Edit);
    setTabOrder(B_Edit, B_Remove);
    setTabOrder(B_Remove, B_Up);
    setTabOrder(B_Up, B_Down);
    setTabOrder(B_Down, B_Close);
    // The folder field takes the focus first, unless an opening moves it to the name field.
    EditAddress->setFocus();
}

QPushButton* TForm2::makeButton(const char* name, int left, int top, Glyph glyph)
{
    auto* button = new QPushButton(this);
    button->setObjectName(QString::fromLatin1(name));
    button->setGeometry(left, top, kButtonWidth, kButtonHeight);
    button->setIcon(favorites::buttonGlyph(glyph));
    button->setIconSize(QSize(16, 16));
    button->setStyleSheet(QString::fromLatin1(kButtonStyle));
    // Enter in a field must not press a button behind the user's back.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

void TForm2::createButtons()
{
    B_Add = makeButton("B_Add", 272, 14, Glyph::Add);
    B_Insert = makeButton("B_Insert", 272, 14, Glyph::Replace);
    B_Cancel = makeButton("B_Cancel", 272, 55, Glyph::Cancel);
    B_Edit = makeButton("B_Edit", 272, 108, Glyph::Edit);
    B_Remove = makeButton("B_Remove", 272, 139, Glyph::Remove);
    B_Up = makeButton("B_Up", 272, 172, Glyph::Up);
    B_Down = makeButton("B_Down", 272, 200, Glyph::Down);
    B_Close = makeButton("B_Close", 272, 343, Glyph::Close);

    B_Insert->hide();
    B_Cancel->hide();
    DisableEntryButtons();

    connect(B_Add, &QPushButton::clicked, this, &TForm2::B_AddClick);
    connect(B_Insert, &QPushButton::clicked, this, &TForm2::B_InsertClick);
    connect(B_Cancel, &QPushButton::clicked, this, &TForm2::B_CancelClick);
    connect(B_Edit, &QPushButton::clicked, this, &TForm2::B_EditClick);
    connect(B_Remove, &QPushButton::clicked, this, &TForm2::B_RemoveClick);
    connect(B_Up, &QPushButton::clicked, this, &TForm2::B_UpClick);
    connect(B_Down, &QPushButton::clicked, this, &TForm2::B_DownClick);
    connect(B_Close, &QPushButton::clicked, this, &TForm2::B_CloseClick);
}

void TForm2::createInfoPanel()
{
    InfoPanel = new QFrame(this);
    InfoPanel->setObjectName(QStringLiteral("InfoPanel"));
    InfoPanel->setGeometry(272, 228, 120, 111);
    InfoPanel->setStyleSheet(QStringLiteral("#InfoPanel { border: 1px solid rgb(128, 0, 0); }"));

    Image1 = new QLabel(InfoPanel);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(50, 23, 16, 16);
    Image1->setAttribute(Qt::WA_TranslucentBackground);
    Image1->setPixmap(favorites::infoPanelGlyph());

    Label3 = new QLabel(InfoPanel);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(8, 48, 105, 53);
    Label3->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Label3->setWordWrap(true);

    InfoPanel->hide();
}

void TForm2::applyText(const QString& key, const QString& text)
{
    if (key == QLatin1String("id01")) {
        setWindowTitle(text);
    } else if (key == QLatin1String("id02")) {
        Label1->setText(text);
        placeRightAligned(Label1, m_label1Right);
    } else if (key == QLatin1String("id03")) {
        Label2->setText(text);
        placeRightAligned(Label2, m_label2Right);
    } else if (key == QLatin1String("id04")) {
        B_Add->setText(text);
    } else if (key == QLatin1String("id05")) {
        B_Insert->setText(text);
    } else if (key == QLatin1String("id06")) {
        B_Cancel->setText(text);
    } else if (key == QLatin1String("id07")) {
        B_Edit->setText(text);
    } else if (key == QLatin1String("id08")) {
        B_Remove->setText(text);
    } else if (key == QLatin1String("id09")) {
        B_Up->setText(text);
    } else if (key == QLatin1String("id10")) {
        B_Down->setText(text);
    } else if (key == QLatin1String("id11")) {
        B_Close->setText(text);
    } else if (key == QLatin1String("id12")) {
        Label3->setText(text);
    }
}

void TForm2::placeRightAligned(QLabel* label, int rightEdge)
{
    // The labels keep their right edge beside the fields whatever the length of their text.
    const int width = label->fontMetrics().horizontalAdvance(label->text()) + 1;
    const int left = std::max(0, rightEdge - width);
    label->setGeometry(left, label->y(), rightEdge - left, label->sizeHint().height());
}

void TForm2::centreOverMainWindow()
{
    if (!m_mainWindow)
        return;
    const QRect main = m_mainWindow->frameGeometry();
    const QRect own = frameGeometry();
    // Integer halves truncate toward zero, as C++ division does.
    move(main.left() + (main.width() - own.width()) / 2, main.top() + (main.height() - own.height()) / 2);
}

bool TForm2::StringGrid1DrawCell(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    Q_UNUSED(index);
    // The selected row is highlighted only while the grid holds the dialog's focus.
    if (focusWidget() == StringGrid1 || !(option.state & QStyle::State_Selected))
        return false;
    const QPalette& palette = StringGrid1->palette();
    painter->save();
    painter->fillRect(option.rect, palette.color(QPalette::Active, QPalette::Base));
    painter->setPen(palette.color(QPalette::Active, QPalette::Text));
    painter->setFont(option.font);
    const QRect textRect = option.rect.adjusted(kCellTextInset, kCellTextInset, 0, 0);
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, option.text);
    painter->restore();
    return true;
}

void TForm2::showEvent(QShowEvent* event)
{
    // Only a real opening counts; restoring a minimised window is spontaneous.
    if (!event->spontaneous())
        FormActivate();
    QDialog::showEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event)
{
    if (m_closing) {
        event->accept();
        return;
    }
    QDialog::closeEvent(event);
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        if (watched == EditName)
            EditNameClick();
        else if (watched == EditAddress)
            EditAddressClick();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace vistrel
