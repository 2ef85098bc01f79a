// The command set of the main window: the actions, the main menu, the popup menus, the toolbars.

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/action_button.h"
#include "app/main_form.h"
#include "core/builtin_texts.h"
#include "widgets/image_lists.h"

namespace vistrel {
namespace {

// The toolbars' frame: a groove along the top and along the bottom edge, each a line of the palette's
// mid colour over a lighter one, with the toolbar between them.
class GroovedFrame final : public QFrame {
public:
    GroovedFrame() { setContentsMargins(0, kGroove, 0, kGroove); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        const QColor mid = palette().color(QPalette::Mid);
        const QColor light = mid.lighter();
        for (const int top : {0, height() - kGroove}) {
            painter.fillRect(0, top, width(), 1, mid);
            painter.fillRect(0, top + 1, width(), 1, light);
        }
    }

private:
    static constexpr int kGroove = 2;
};

enum class Hint { None, Caption, Key };

constexpr int kNoImage = -1;

struct ActionSpec {
    const char* name;
    const char* category;
    const char* captionKey; // Viewer key, or nullptr for a fixed caption
    const char* fixedCaption;
    Hint hint;
    const char* hintKey;
    int image; // index into ImageList1 (ImageIndex1), kNoImage for none
    QList<QKeySequence> shortcuts;
    void (TForm1::*handler)();
    bool checkable;
};

const QList<ActionSpec>& actionTable()
{
    static const QList<ActionSpec> table = {
        {"Help", "Help", "id18", nullptr, Hint::None, nullptr, kImageHelp, {QKeySequence(Qt::Key_F1)}, &TForm1::HelpExecute, false},
        {"HomePage", "Help", "id19", nullptr, Hint::None, nullptr, kImageHomePage, {QKeySequence(Qt::ALT | Qt::Key_W)}, &TForm1::HomePageExecute, false},
        {"About", "Help", "id20", nullptr, Hint::None, nullptr, kImageAbout, {QKeySequence(Qt::ALT | Qt::Key_A)}, &TForm1::AboutExecute, false},
        {"UpToParent", "Shell", nullptr, "UpToParent", Hint::Key, "id21", kImageUp, {QKeySequence(Qt::Key_Backspace)}, &TForm1::UpToParentExecute, false},
        {"Manager", "Config", "id08", nullptr, Hint::None, nullptr, kImageManager, {QKeySequence(Qt::ALT | Qt::Key_M)}, &TForm1::ManagerExecute, false},
        {"Back", "Shell", nullptr, "Back", Hint::Key, "id22", kImageBack, {QKeySequence(Qt::ALT | Qt::Key_Left)}, &TForm1::BackExecute, false},
        {"Forward", "Shell", nullptr, "Forward", Hint::Key, "id23", kImageForward, {QKeySequence(Qt::ALT | Qt::Key_Right)}, &TForm1::ForwardExecute, false},
        {"Quit", "Shell", "id07", nullptr, Hint::None, nullptr, kImageQuit, {QKeySequence(Qt::ALT | Qt::Key_X)}, &TForm1::QuitExecute, false},
        {"ZoomIn", "Scale", "id10", nullptr, Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_Up)}, &TForm1::ZoomInExecute, false},
        {"ZoomOut", "Scale", "id11", nullptr, Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_Down)}, &TForm1::ZoomOutExecute, false},
        {"ShowAll", "Scale", "id12", nullptr, Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_Insert)}, &TForm1::ShowAllExecute, true},
        {"HundredPer", "Scale", nullptr, "100%", Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_Delete)}, &TForm1::HundredPerExecute, true},
        {"Best", "Quality", nullptr, "Best", Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_B)}, &TForm1::BestExecute, true},
        {"High", "Quality", nullptr, "High", Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_H)}, &TForm1::HighExecute, true},
        {"Medium", "Quality", nullptr, "Medium", Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_M)}, &TForm1::MediumExecute, true},
        {"Low", "Quality", nullptr, "Low", Hint::None, nullptr, kNoImage, {QKeySequence(Qt::CTRL | Qt::Key_L)}, &TForm1::LowExecute, true},
        {"Play", "Flash", "id16", nullptr, Hint::Caption, nullptr, kImagePlay,
         {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)}, &TForm1::PlayExecute, false},
        {"Stop", "Flash", "id17", nullptr, Hint::Caption, nullptr, kImageStop, {QKeySequence(Qt::CTRL | Qt::Key_Space)}, &TForm1::StopExecute, false},
        {"ForwardStep", "Flash", "id13", nullptr, Hint::Caption, nullptr, kImageForwardStep, {QKeySequence(Qt::CTRL | Qt::Key_Right)}, &TForm1::ForwardStepExecute, false},
        {"BackStep", "Flash", "id14", nullptr, Hint::Caption, nullptr, kImageBackStep, {QKeySequence(Qt::CTRL | Qt::Key_Left)}, &TForm1::BackStepExecute, false},
        {"Rewind", "Flash", "id15", nullptr, Hint::Caption, nullptr, kImageRewind, {QKeySequence(Qt::CTRL | Qt::Key_Home)}, &TForm1::RewindExecute, false},
        {"Config", "Config", "id09", nullptr, Hint::None, nullptr, kImageConfig, {QKeySequence(Qt::ALT | Qt::Key_C)}, &TForm1::ConfigExecute, false},
    };
    return table;
}

} // namespace

void TForm1::createActions()
{
    for (const ActionSpec& spec : actionTable()) {
        const QString name = QString::fromLatin1(spec.name);
        const QString caption = spec.captionKey ? builtinText("Viewer", spec.captionKey)
                                                : QString::fromLatin1(spec.fixedCaption);
        auto* act = new QAction(caption, this);
        act->setObjectName(name);
        act->setData(QString::fromLatin1(spec.category));
        act->setShortcuts(spec.shortcuts);
        act->setShortcutContext(Qt::WindowShortcut);
        act->setCheckable(spec.checkable);
        if (spec.image >= 0)
            act->setIcon(m_images.value(spec.image));
        // Actions keep their marks themselves; undo the toggle Qt applies before the handler runs.
        const auto handler = spec.handler;
        connect(act, &QAction::triggered, this, [this, act, handler] {
            act->setChecked(m_actionChecks.value(act, false));
            (this->*handler)();
        });
        addAction(act); // shortcuts act while the main window is active, with or without a menu item
        m_actions.insert(name, act);
        if (spec.hint == Hint::Caption)
            m_hints.insert(name, caption);
        else if (spec.hint == Hint::Key)
            m_hints.insert(name, builtinText("Viewer", spec.hintKey));
    }
}

void TForm1::createMenus()
{
    auto item = [this](QMenu* menu, const char* itemName, const char* actionName) {
        QAction* act = m_actions.value(QString::fromLatin1(actionName));
        menu->addAction(act);
        // The action carries the item's name only once; menus are found by the item list.
        m_menuItems.insert(QString::fromLatin1(itemName), act);
    };
    auto separator = [this](QMenu* menu, const char* itemName) {
        QAction* sep = menu->addSeparator();
        sep->setObjectName(QString::fromLatin1(itemName));
        m_menuItems.insert(QString::fromLatin1(itemName), sep);
    };
    auto newMenu = [this](QMenu* parentMenu, const char* name, const QString& caption) {
        QMenu* menu = parentMenu ? parentMenu->addMenu(caption) : menuBar()->addMenu(caption);
        menu->setObjectName(QString::fromLatin1(name));
        m_menus.insert(QString::fromLatin1(name), menu);
        return menu;
    };

    QMenu* file = newMenu(nullptr, "M_File", builtinText("Viewer", "id01"));
    item(file, "MMenu_Exit", "Quit");

    QMenu* view = newMenu(nullptr, "M_View", builtinText("Viewer", "id02"));
    item(view, "N8", "Play");
    item(view, "N10", "Stop");
    separator(view, "N11");
    item(view, "N13", "Rewind");
    item(view, "N14", "ForwardStep");
    item(view, "N15", "BackStep");
    separator(view, "N16");
    QMenu* scale = newMenu(view, "M_Scale", builtinText("Viewer", "id05"));
    item(scale, "N19", "ZoomIn");
    item(scale, "N20", "ZoomOut");
    item(scale, "N18", "ShowAll");
    item(scale, "N1002", "HundredPer");
    separator(view, "N21");
    QMenu* quality = newMenu(view, "M_Quality", builtinText("Viewer", "id06"));
    item(quality, "Best2", "Best");
    item(quality, "High1", "High");
    item(quality, "Medium1", "Medium");
    item(quality, "Low1", "Low");

    QMenu* service = newMenu(nullptr, "M_Service", builtinText("Viewer", "id03"));
    item(service, "MMenu_Manager", "Manager");
    item(service, "N3", "Config");

    QMenu* help = newMenu(nullptr, "M_Help", builtinText("Viewer", "id04"));
    item(help, "N4", "Help");
    item(help, "MMenu_HomePage", "HomePage");
    separator(help, "N12");
    item(help, "MMenu_About", "About");

    // Popup menus, each dropped down by its toolbar button.
    auto popup = [this](const char* name) {
        auto* menu = new QMenu(this);
        menu->setObjectName(QString::fromLatin1(name));
        m_menus.insert(QString::fromLatin1(name), menu);
        return menu;
    };
    MenuFavor = popup("MenuFavor");
    item(MenuFavor, "PMFav_FavManager", "Manager");
    separator(MenuFavor, "N2");

    QMenu* menuScale = popup("MenuScale");
    item(menuScale, "Best1", "ZoomIn");
    item(menuScale, "N5", "ZoomOut");
    item(menuScale, "N6", "ShowAll");
    item(menuScale, "N1001", "HundredPer");

    QMenu* menuQuality = popup("MenuQuality");
    item(menuQuality, "Best3", "Best");
    item(menuQuality, "High2", "High");
    item(menuQuality, "Medium2", "Medium");
    item(menuQuality, "Low2", "Low");

    QMenu* menuAbout = popup("MenuAbout");
    item(menuAbout, "N7", "Help");
    item(menuAbout, "PMAbout_HomePage", "HomePage");
    separator(menuAbout, "N1");
    item(menuAbout, "PMAbout_About", "About");
}

QToolBar* TForm1::newToolbar(const char* name, QBoxLayout* pane)
{
    // The frame carries the design name, the fixed height and the grooves along top and bottom.
    auto* frame = new GroovedFrame;
    frame->setObjectName(QString::fromLatin1(name));
    frame->setFixedHeight(29);
    auto* layout = new QHBoxLayout(frame);
    layout->setContentsMargins(2, 2, 2, 2);
    layout->setSpacing(0);
    auto* bar = new QToolBar(frame);
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setIconSize(QSize(16, 16));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // Buttons from edge to edge, one pixel apart. Set on the layout, not by a style sheet: a sheet puts
    // every button under a style of its own, which cost the first paint more than a millisecond.
    bar->layout()->setContentsMargins(0, 0, 0, 0);
    bar->layout()->setSpacing(1);
    layout->addWidget(bar);
    pane->addWidget(frame);
    m_controls.insert(QString::fromLatin1(name), frame);
    return bar;
}

ActionButton* TForm1::actionButton(QToolBar* bar, const char* name, const char* actionName, int disabledImage)
{
    QAction* act = m_actions.value(QString::fromLatin1(actionName));
    QIcon image = act->icon();
    if (disabledImage >= 0)
        image = iconWithDisabledImage(image, m_images.value(disabledImage));
    auto* button = new ActionButton(act, image, bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setHint(m_hints.value(QString::fromLatin1(actionName)));
    bar->addWidget(button);
    m_controls.insert(QString::fromLatin1(name), button);
    m_actionButtons.insert(act, button);
    return button;
}

ActionButton* TForm1::dropDownButton(QToolBar* bar, const char* name, int image, const char* menuName,
                                     int width, const QString& hint)
{
    auto* button = new ActionButton(m_images.value(image), m_menus.value(QString::fromLatin1(menuName)), width, bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setHint(hint);
    bar->addWidget(button);
    m_controls.insert(QString::fromLatin1(name), button);
    return button;
}

void TForm1::spacer(QToolBar* bar, const char* name)
{
    QAction* sep = bar->addSeparator();
    sep->setObjectName(QString::fromLatin1(name));
}

void TForm1::createToolbars(QBoxLayout* leftPane, QBoxLayout* playerPane)
{
    QToolBar* toolbar1 = newToolbar("Toolbar1", leftPane);
    B_Back = actionButton(toolbar1, "B_Back", "Back", kImageBackDisabled);
    B_Forward = actionButton(toolbar1, "B_Forward", "Forward", kImageForwardDisabled);
    spacer(toolbar1, "Spacer1");
    B_UpToParent = actionButton(toolbar1, "B_UpToParent", "UpToParent", kImageUpDisabled);
    spacer(toolbar1, "Spacer2");
    B_Favor = dropDownButton(toolbar1, "B_Favor", kImageFavorites, "MenuFavor", 35, builtinText("Viewer", "id30"));
    spacer(toolbar1, "RzSpacer1");
    // Config is reached by the menu and Alt+C; its button on this toolbar stays hidden.
    auto* configButton = new ActionButton(m_actions.value(QStringLiteral("Config")),
                                          m_actions.value(QStringLiteral("Config"))->icon(), toolbar1);
    configButton->setObjectName(QStringLiteral("RzToolButton1"));
    m_controls.insert(configButton->objectName(), configButton);
    toolbar1->addWidget(configButton)->setVisible(false);
    B_Back->setEnabled(false);
    B_Forward->setEnabled(false);

    QToolBar* toolbar2 = newToolbar("Toolbar2", playerPane);
    actionButton(toolbar2, "B_Rewind", "Rewind");
    actionButton(toolbar2, "B_BackStep", "BackStep");
    actionButton(toolbar2, "B_Play", "Play");
    actionButton(toolbar2, "B_Stop", "Stop");
    actionButton(toolbar2, "B_ForwardStep", "ForwardStep");
    spacer(toolbar2, "Spacer3");
    B_Scale = dropDownButton(toolbar2, "B_Scale", kImageScale, "MenuScale", 39, builtinText("Viewer", "id05"));
    B_Quality = dropDownButton(toolbar2, "B_Quality", kImageQuality, "MenuQuality", 39, builtinText("Viewer", "id06"));
    spacer(toolbar2, "Spacer4");
    B_About = dropDownButton(toolbar2, "B_About", kImageHelpMenu, "MenuAbout", 35, builtinText("Viewer", "id04"));
    B_About->setText(QStringLiteral("О программе")); // its caption, never shown
    spacer(toolbar2, "RzSpacer2");
}

void TForm1::setActionHint(const QString& name, const QString& hint)
{
    m_hints.insert(name, hint);
    if (ActionButton* button = m_actionButtons.value(m_actions.value(name)))
        button->setHint(hint);
}

void TForm1::checkAction(const QString& name, bool checked)
{
    QAction* act = m_actions.value(name);
    m_actionChecks.insert(act, checked);
    act->setChecked(checked);
}

bool TForm1::isActionChecked(const QString& name) const
{
    return m_actionChecks.value(m_actions.value(name), false);
}

QAction* TForm1::action(const QString& name) const
{
    return m_actions.value(name);
}

QAction* TForm1::menuItem(const QString& name) const
{
    return m_menuItems.value(name);
}

QString TForm1::actionHint(const QString& name) const
{
    return m_hints.value(name);
}

QWidget* TForm1::control(const QString& name) const
{
    return m_controls.value(name);
}

QMenu* TForm1::menu(const QString& name) const
{
    return m_menus.value(name);
}

void TForm1::setMenuImagesEnabled(bool on)
{
    // MainMenu1, MenuFavor and MenuAbout lose their images; toolbar buttons keep theirs.
    for (QAction* act : std::as_const(m_actions))
        act->setIconVisibleInMenu(on);
    for (QAction* item : MenuFavor->actions())
        item->setIconVisibleInMenu(on);
    m_menuImages = on;
}

} // namespace vistrel
