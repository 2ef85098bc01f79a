#include "app/main_form.h"

#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>
#include <utility>

#include "app/action_button.h"
#include "app/vistrel_application.h"
#include "core/builtin_texts.h"
#include "core/messages.h"
#include "core/program_location.h"
#include "core/startup_trace.h"
#include "favorites/favorites_dialog.h"
#include "lang/set_lng.h"
#include "widgets/player/flash_player.h"
#include "settings/config_dialog.h"
#include "settings/settings_file.h"
#include "widgets/balloon_hints.h"
#include "widgets/glyph_status_pane.h"
#include "widgets/hot_spot_splitter.h"
#include "widgets/image_lists.h"
#include "widgets/message_box.h"
#include "widgets/shell_combo.h"
#include "widgets/shell_list.h"
#include "widgets/shell_model.h"
#include "widgets/shell_tree.h"
#include "widgets/shell_views.h"
#include "widgets/size_panel.h"
#include "widgets/status_bar.h"

namespace vistrel {

TForm1::TForm1(SharedState& state, QWidget* parent, StartFolder startFolder)
    : QMainWindow(parent), m_state(state), m_startFolder(startFolder), m_location(locateThisProgram())
{
    // The start-up movie does not depend on the settings: it is read on another thread while the
    // window is built.
    m_preparedStartMovie = ShockwaveFlash::prepareMovie(startMoviePath(m_location.baseDir));
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Vistrel 1.0"));
    // The icon is drawn at every size a desktop may ask for, which takes a while: it is drawn on a worker
    // once the start-up movie is painted, so it takes no processor time from the way to the first frame
    // (or once a second has passed, should the pane not be painted).
    const auto drawIcon = [this, started = std::make_shared<bool>(false)] {
        if (std::exchange(*started, true))
            return;
        drawApplicationIconAhead(this, [this](const QIcon& icon) {
            if (!testAttribute(Qt::WA_SetWindowIcon))
                setWindowIcon(icon);
        });
    };
    QTimer::singleShot(1000, this, drawIcon);
    m_images = imageList1();
    // Designed bounds; the settings replace them.
    setGeometry(286, 210, 740, 600);

    createActions();
    createMenus();
    startupMark("actions and menus");
    createLayout();
    connect(Flash1, &ShockwaveFlash::frameRendered, this, drawIcon, Qt::SingleShotConnection);
    startupMark("layout");
    // A movie or folder dropped anywhere on the window opens it.
    setAcceptDrops(true);
    // Keys of disabled commands are caught before they reach the focused control.
    qApp->installEventFilter(this);
    FormCreate();
}

TForm1::~TForm1()
{
    qApp->removeEventFilter(this);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    // A disabled command's shortcut is still the window's key: it must not fall through to the focused
    // control (Ctrl+Down would move the file list and load the next movie).
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QKeySequence pressed(key->keyCombination());
        const QKeySequence withoutKeypad(QKeyCombination(key->modifiers() & ~Qt::KeypadModifier, Qt::Key(key->key())));
        for (QAction* act : std::as_const(m_actions)) {
            if (act->isEnabled())
                continue;
            for (const QKeySequence& shortcut : act->shortcuts())
                if (shortcut == pressed || shortcut == withoutKeypad)
                    return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm1::setDialogs(TForm2* favorites, TForm3* config)
{
    m_form2 = favorites;
    m_form3 = config;
}

void TForm1::setDialogMaker(std::function<void()> make)
{
    m_makeDialogs = std::move(make);
    // Made while the program waits for input after start-up, so the first opening does not wait.
    connect(
        Flash1, &ShockwaveFlash::frameRendered, this,
        [this] { QTimer::singleShot(0, this, &TForm1::ensureDialogs); }, Qt::SingleShotConnection);
}

void TForm1::ensureDialogs()
{
    if (!m_makeDialogs)
        return;
    const std::function<void()> make = std::move(m_makeDialogs);
    m_makeDialogs = nullptr;
    try {
        make();
    } catch (const std::exception& error) {
        // Without them the commands that open them do nothing; the viewer goes on.
        showError(this, QString::fromUtf8(error.what()));
        return;
    }
    // The dialogs take the window's language: the packs listed at start-up (listed now if the start left
    // them for later), the active pack's texts.
    LanguageWindows windows = languageWindows();
    windows.viewer = nullptr;
    windows.notify = nullptr;
    if (m_state.LanguagePacks.isEmpty()) {
        ListLanguagePacks(m_state, windows);
    } else if (windows.languageBox) {
        windows.languageBox->clear();
        for (const LanguagePackEntry& entry : std::as_const(m_state.LanguagePacks))
            addSortedLanguageName(windows.languageBox, entry.displayName);
        windows.languageBox->setCurrentIndex(-1);
    }
    LoadLanguage(m_state, windows, m_state.CurrentLanguageFile);
}

void TForm1::deleteDialogs()
{
    m_makeDialogs = nullptr;
    delete m_form3.data();
    delete m_form2.data();
}

void TForm1::createLayout()
{
    auto* central = new QWidget(this);
    auto* outer = new QVBoxLayout(central);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    outer->addLayout(row, 1);

    // Left: the browsing pane in the resizable side panel.
    SizePanel1 = new SizePanel(central);
    SizePanel1->setObjectName(QStringLiteral("SizePanel1"));
    auto* left = new QWidget;
    auto* leftLayout = new QVBoxLayout(left);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->setSpacing(0);
    auto* rightPane = new QWidget(central);
    rightPane->setObjectName(QStringLiteral("Panel1"));
    auto* rightLayout = new QVBoxLayout(rightPane);
    rightLayout->setContentsMargins(0, 0, 0, 0);
    rightLayout->setSpacing(0);
    createToolbars(leftLayout, rightLayout);

    // At the program's own start the model reads nothing until the start folder is shown, and the
    // views take it up only then.
    auto* model = createShellModel(this, m_startFolder == StartFolder::Now);
    m_shellModel = model;
    const ShellModelUse modelUse =
        m_startFolder == StartFolder::Now ? ShellModelUse::Now : ShellModelUse::WithFirstFolder;
    ShellTree1 = new ShellTree(model, nullptr, modelUse);
    ShellTree1->setObjectName(QStringLiteral("ShellTree1"));
    ShellList1 = new ShellList(model, nullptr, modelUse);
    ShellList1->setObjectName(QStringLiteral("ShellList1"));
    ShellCombo1 = new ShellCombo(model);
    ShellCombo1->setObjectName(QStringLiteral("ShellCombo1"));
    ShellCombo1->setFixedHeight(23);
    linkShellViews(ShellTree1, ShellList1, ShellCombo1);
    leftLayout->addWidget(ShellCombo1);

    auto* panel2 = new QWidget;
    panel2->setObjectName(QStringLiteral("Panel2"));
    auto* panel2Layout = new QVBoxLayout(panel2);
    panel2Layout->setContentsMargins(0, 0, 0, 0);
    Splitter1 = new HotSpotSplitter(panel2);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setUpperPane(ShellTree1);
    Splitter1->setLowerPane(ShellList1);
    panel2Layout->addWidget(Splitter1);
    leftLayout->addWidget(panel2, 1);
    SizePanel1->setContentWidget(left);
    SizePanel1->setPanelWidth(195);
    Splitter1->setPosition(197);
    row->addWidget(SizePanel1);

    // Right: the player pane.
    Flash1 = new ShockwaveFlash(rightPane);
    Flash1->setObjectName(QStringLiteral("Flash1"));
    connect(Flash1, &ShockwaveFlash::scriptStopped, this,
            [this](const QString& message) { showMessage(this, MessageKind::Warning, message); });
    Flash1->setNoteTexts([this](MovieNote note) {
        switch (note) {
        case MovieNote::None: return QString();
        case MovieNote::Unreadable: return playerMessage(m_state, PlayerMessage::Unreadable);
        case MovieNote::Empty: return playerMessage(m_state, PlayerMessage::Empty);
        case MovieNote::NotAMovie: return playerMessage(m_state, PlayerMessage::NotAMovie);
        case MovieNote::Incomplete: return playerMessage(m_state, PlayerMessage::Incomplete);
        case MovieNote::Damaged: return playerMessage(m_state, PlayerMessage::Damaged);
        }
        return QString();
    });
    Flash1->setMenuCommands({{action(QStringLiteral("ZoomIn")), action(QStringLiteral("ZoomOut")), action(QStringLiteral("ShowAll"))},
                             menu(QStringLiteral("M_Quality")),
                             {action(QStringLiteral("Play")), action(QStringLiteral("Stop"))},
                             {action(QStringLiteral("Rewind"))},
                             {action(QStringLiteral("ForwardStep")), action(QStringLiteral("BackStep"))}});
    rightLayout->addWidget(Flash1, 1);
    row->addWidget(rightPane, 1);

    StatusBar1 = new StatusBar(central);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    // The panes may run off the right edge; they must not keep a narrow saved window from its size.
    StatusBar1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    static const struct {
        const char* name;
        int width;
        const char* hintKey;
        ImageIndex2 glyph;
    } panes[] = {{"StatusVer", 48, "id24", kGlyphVersion},        {"StatusCompress", 56, "id25", kGlyphCompression},
                 {"StatusSize", 100, "id26", kGlyphFrameSize},    {"StatusFps", 56, "id27", kGlyphFrameRate},
                 {"StatusCount", 100, "id28", kGlyphFrameCount}, {"StatusFilesize", 100, "id29", kGlyphFileSize}};
    const QList<QIcon> glyphs = imageList2();
    for (const auto& spec : panes) {
        auto* pane = new GlyphStatusPane(spec.width, StatusBar1);
        pane->setGlyph(glyphs.value(spec.glyph));
        StatusBar1->addPane(pane);
        pane->setObjectName(QString::fromLatin1(spec.name));
        pane->setToolTip(builtinText("Viewer", spec.hintKey));
        m_panes.append(pane);
        m_controls.insert(pane->objectName(), pane);
    }
    // The frame pane keeps to the right end, clear of the six panes of the header facts.
    StatusFrame = new GlyphStatusPane(110, StatusBar1);
    StatusFrame->setObjectName(QStringLiteral("StatusFrame"));
    StatusFrame->setGlyph(glyphs.value(kGlyphFrameCount));
    StatusFrame->setToolTip(playerMessage(m_state, PlayerMessage::FrameHint));
    StatusBar1->setTrailingPane(StatusFrame);
    m_controls.insert(StatusFrame->objectName(), StatusFrame);
    connect(Flash1, &ShockwaveFlash::frameChanged, this, [this](int) { UpdateFramePane(); });
    outer->addWidget(StatusBar1);
    setCentralWidget(central);

    for (QWidget* w : {static_cast<QWidget*>(SizePanel1), static_cast<QWidget*>(Splitter1),
                       static_cast<QWidget*>(ShellTree1), static_cast<QWidget*>(ShellList1),
                       static_cast<QWidget*>(ShellCombo1), static_cast<QWidget*>(Flash1),
                       static_cast<QWidget*>(StatusBar1), rightPane, panel2})
        m_controls.insert(w->objectName(), w);

    connect(SizePanel1, &SizePanel::constrainedResize, this, &TForm1::SizePanel1ConstrainedResize);
    connect(ShellTree1, &ShellTree::folderChanged, this, &TForm1::ShellTree1Change);
    connect(ShellList1, &ShellList::itemSelected, this, &TForm1::ShellList1SelectItem);
    connect(ShellList1, &ShellList::fileActivated, this, &TForm1::ShellList1FileActivated);
    connect(ShellCombo1, &ShellCombo::folderChosen, this, [this](const QString&) { ShellCombo1Click(); });
}

void TForm1::FormCreate()
{
    m_state.BaseDir = m_location.baseDir;
    m_state.ConfigDir = m_location.configDir;
    m_state.UserLanguageDir = m_location.userLanguageDir;
    m_state.HomeDir = m_location.homeDir;
    m_state.StartMovie = startMoviePath(m_state.BaseDir);
    m_state.FavoriteList.clear();
    m_state.MaxFavorites = 20;
    LoadSettings(m_state, *this);
    RebuildFavoritesMenu();
    startupMark("settings");

    m_state.FolderHistory.clear();
    m_state.MaxHistory = 10;
    m_state.RecordFolderChange = false;
    if (m_startFolder == StartFolder::AfterFirstFrame) {
        // The history, the Up button and the settings know the folder now; the views show it once the
        // start-up movie is painted (or after a while, should the window stay unpainted).
        m_pendingFolder = resolveFolderPath(m_state.CurrentDir);
        m_state.CurrentDir = m_pendingFolder;
        UpdateUpButton(m_pendingFolder);
        AddToHistory(m_pendingFolder);
        connect(
            Flash1, &ShockwaveFlash::frameRendered, this,
            [this] { QTimer::singleShot(0, this, &TForm1::showPendingFolder); }, Qt::SingleShotConnection);
        QTimer::singleShot(2000, this, &TForm1::showPendingFolder);
    } else {
        ShellList1->setFolder(m_state.CurrentDir);
        AddToHistory(ShellList1->folder());
    }
    startupMark("folder");

    m_state.CurrentMovie = m_state.StartMovie;
    LoadMovie();
    startupMark("start-up movie");
    m_state.ZoomLevel = 100;
    UpdateZoomChecks();
}

void TForm1::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    SaveSettings(m_state, *this);
}

namespace {

// The local file or folder a drag carries, if it carries exactly one.
QString droppedPath(const QMimeData* data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().front().isLocalFile())
        return {};
    return data->urls().front().toLocalFile();
}

} // namespace

void TForm1::showPendingFolder()
{
    if (m_pendingFolder.isEmpty())
        return;
    const QString folder = m_pendingFolder;
    m_pendingFolder.clear();
    // As at an immediate start: the first folder the tree shows is already in the history.
    m_state.RecordFolderChange = false;
    startShellModel(m_shellModel);
    ShellList1->setFolder(folder);
}

QString TForm1::OpenPath(const QString& path)
{
    showPendingFolder();
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("No such file or folder: ") + path;
    if (info.isDir()) {
        if (!info.isReadable() || !info.isExecutable())
            return QStringLiteral("The folder cannot be read: ") + path;
        ShellList1->setFolder(info.absoluteFilePath());
        return {};
    }
    // Devices, pipes and sockets are never read: a movie is a regular file.
    if (!info.isFile())
        return QStringLiteral("Not a file or folder: ") + path;
    if (!info.isReadable())
        return QStringLiteral("The file cannot be read: ") + path;
    if (!ShellList1->selectFile(info.absoluteFilePath())) {
        // A file the list does not show (another extension) still plays, in its folder.
        ShellList1->setFolder(info.absolutePath());
        m_state.CurrentMovie = info.absoluteFilePath();
        LoadMovie();
    }
    return {};
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    const QFileInfo info(droppedPath(event->mimeData()));
    if (info.isDir() || (info.isFile() && info.suffix().compare(QLatin1String("swf"), Qt::CaseInsensitive) == 0))
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    const QString path = droppedPath(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    const QString problem = OpenPath(path);
    if (!problem.isEmpty())
        showMessage(this, MessageKind::Warning, problem);
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    ShowPlayer(); // FormResize
}

void TForm1::SizePanel1ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight)
{
    Q_UNUSED(minWidth);
    Q_UNUSED(minHeight);
    Q_UNUSED(maxWidth);
    Q_UNUSED(maxHeight);
    ShowPlayer();
}

void TForm1::ShowPlayer()
{
    if (Flash1)
        Flash1->doVerbShow();
}

// --- MainWindowHost -------------------------------------------------------------------------

QRect TForm1::windowBounds() const
{
    return QRect(pos(), size());
}

void TForm1::setWindowBounds(const QRect& bounds)
{
    move(bounds.topLeft());
    resize(bounds.size());
}

int TForm1::panelWidth() const
{
    return SizePanel1->panelWidth();
}

void TForm1::setPanelWidth(int width)
{
    SizePanel1->setPanelWidth(width);
}

int TForm1::splitterPosition() const
{
    return Splitter1->position();
}

void TForm1::setSplitterPosition(int position)
{
    Splitter1->setPosition(position);
}

QSize TForm1::screenSize() const
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1024, 768);
}

QString TForm1::listFolderPath() const
{
    return m_pendingFolder.isEmpty() ? ShellList1->folder() : m_pendingFolder;
}

void TForm1::setHintsEnabled(bool on)
{
    BalloonHints::setHintsEnabled(this, on);
}

void TForm1::rebuildFavoritesMenu()
{
    RebuildFavoritesMenu();
}

void TForm1::saveSettings()
{
    SaveSettings(m_state, *this);
}

void TForm1::loadLanguage(const QString& fileName)
{
    LoadLanguage(m_state, languageWindows(), fileName);
}

LanguageWindows TForm1::languageWindows()
{
    LanguageWindows windows{};
    windows.viewer = this;
    windows.favorites = m_form2.data();
    windows.config = m_form3.data();
    windows.languageBox = m_form3 ? m_form3->languageBox() : nullptr;
    windows.notify = [this](const QString& notice) { showMessage(this, MessageKind::Plain, notice, QMessageBox::Ok); };
    return windows;
}

// --- LanguageTarget: section Viewer ---------------------------------------------------------

void TForm1::applyText(const QString& key, const QString& text)
{
    static const QHash<QString, QString> menus = {{"id01", "M_File"},  {"id02", "M_View"},
                                                  {"id03", "M_Service"}, {"id04", "M_Help"},
                                                  {"id05", "M_Scale"}, {"id06", "M_Quality"}};
    static const QHash<QString, QString> captions = {
        {"id07", "Quit"},     {"id08", "Manager"},     {"id09", "Config"},   {"id10", "ZoomIn"},
        {"id11", "ZoomOut"},  {"id12", "ShowAll"},     {"id13", "ForwardStep"}, {"id14", "BackStep"},
        {"id15", "Rewind"},   {"id16", "Play"},        {"id17", "Stop"},     {"id18", "Help"},
        {"id19", "HomePage"}, {"id20", "About"}};
    static const QHash<QString, QString> hints = {{"id21", "UpToParent"}, {"id22", "Back"}, {"id23", "Forward"}};
    static const QStringList paneKeys = {"id24", "id25", "id26", "id27", "id28", "id29"};

    if (menus.contains(key)) {
        m_menus.value(menus.value(key))->setTitle(text);
    } else if (captions.contains(key)) {
        m_actions.value(captions.value(key))->setText(text);
    } else if (hints.contains(key)) {
        setActionHint(hints.value(key), text);
    } else if (paneKeys.contains(key)) {
        m_panes.value(paneKeys.indexOf(key))->setToolTip(text);
    } else if (key == QLatin1String("id30")) {
        B_Favor->setHint(text);
    }
}

void TForm1::applyDerivedTexts()
{
    B_Scale->setHint(m_menus.value(QStringLiteral("M_Scale"))->title());
    B_Quality->setHint(m_menus.value(QStringLiteral("M_Quality"))->title());
    B_About->setHint(m_menus.value(QStringLiteral("M_Help"))->title());
    for (const char* name : {"ForwardStep", "BackStep", "Rewind", "Play", "Stop", "Help", "Config"}) {
        const QString actionName = QString::fromLatin1(name);
        setActionHint(actionName, m_actions.value(actionName)->text());
    }
}

void TForm1::applyMessages()
{
    if (StatusFrame)
        StatusFrame->setToolTip(playerMessage(m_state, PlayerMessage::FrameHint));
    if (Flash1)
        Flash1->update(); // the note, if one is shown, in the new language
}

GlyphStatusPane* TForm1::statusPane(int index) const
{
    return m_panes.value(index);
}

} // namespace vistrel
