#pragma once
// The main window: browsing pane on the left, player pane on the right, status panes below.
// It owns nothing but its controls; the state shared with the dialogs lives in SharedState.

#include <functional>
#include <memory>

#include <QHash>
#include <QIcon>
#include <QList>
#include <QMainWindow>
#include <QPointer>

#include "core/language_target.h"
#include "core/main_window_host.h"
#include "core/program_location.h"
#include "core/shared_state.h"

class QAction;
class QFileSystemModel;
class QBoxLayout;
class QMenu;
class QToolBar;
class QWidget;

namespace vistrel {

class ActionButton;
class GlyphStatusPane;
class HotSpotSplitter;
class PreparedMovie;
class ShellCombo;
class ShellList;
class ShellTree;
class ShockwaveFlash;
class SizePanel;
class StatusBar;
class TForm2;
class TForm3;
struct LanguageWindows;

class TForm1 : public QMainWindow, public MainWindowHost, public LanguageTarget {
    Q_OBJECT
public:
    // When the folder views show the start folder: at once, or once the start-up movie is painted (the
    // program's own start, where reading and watching the folder would hold up the first paint).
    enum class StartFolder { Now, AfterFirstFrame };

    // Runs FormCreate: takes BaseDir from the working folder, loads the settings, opens the
    // start folder and the start-up movie.
    explicit TForm1(SharedState& state, QWidget* parent = nullptr, StartFolder startFolder = StartFolder::Now);
    ~TForm1() override;

    // The dialogs exist after the main window; they are handed over once created.
    void setDialogs(TForm2* favorites, TForm3* config);
    // The dialogs are made only when first needed or once the window has painted its first frame,
    // whichever comes first: `make` builds them and hands them over through setDialogs.
    void setDialogMaker(std::function<void()> make);
    void ensureDialogs();
    // Deletes the dialogs (before the window's settings are saved).
    void deleteDialogs();

    // Saves the settings; runs at program end before the shared state goes.
    void FormDestroy();

    // Opens what the command line or a drop names: a folder is shown; a movie is shown in its folder,
    // selected and played. Returns why it cannot be opened, empty when it was.
    QString OpenPath(const QString& path);

    // MainWindowHost
    QRect windowBounds() const override;
    void setWindowBounds(const QRect& bounds) override;
    int panelWidth() const override;
    void setPanelWidth(int width) override;
    int splitterPosition() const override;
    void setSplitterPosition(int position) override;
    QSize screenSize() const override;
    QString listFolderPath() const override;
    void setHintsEnabled(bool on) override;
    void setMenuImagesEnabled(bool on) override;
    void rebuildFavoritesMenu() override;
    void saveSettings() override;
    void loadLanguage(const QString& fileName) override;

    // LanguageTarget (section Viewer)
    void applyText(const QString& key, const QString& text) override;
    void applyDerivedTexts() override;
    void applyMessages() override;

    // Handlers, public so that tests drive exactly what the program runs.
    void ShowPlayer();
    void SizePanel1ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight);
    void AddToHistory(const QString& path);
    void ShellTree1Change(const QString& path);
    void ShellCombo1Click();
    void ShellList1SelectItem(const QString& path, bool selected);
    // Enter or a double click on a listed movie: it plays again from its first frame.
    void ShellList1FileActivated(const QString& path);
    // The frame pane: "frame / count" while a movie is shown, empty for the start-up movie.
    void UpdateFramePane();
    void LoadMovie();
    void UpdateUpButton(const QString& path);
    void UncheckQuality();
    void UpdateZoomChecks();
    void RebuildFavoritesMenu();
    void FavoritesClick(QAction* item);

    void BackExecute();
    void ForwardExecute();
    void UpToParentExecute();
    void AboutExecute();
    void HomePageExecute();
    void HelpExecute();
    void ManagerExecute();
    void ConfigExecute();
    void QuitExecute();
    void PlayExecute();
    void StopExecute();
    void ForwardStepExecute();
    void BackStepExecute();
    void RewindExecute();
    void BestExecute();
    void HighExecute();
    void MediumExecute();
    void LowExecute();
    void ZoomInExecute();
    void ZoomOutExecute();
    void ShowAllExecute();
    void HundredPerExecute();

    // Controls by their design names, for the language loader and tests.
    QAction* action(const QString& name) const;
    QAction* menuItem(const QString& name) const; // menu items by design name (N8, Best2, ...)
    bool isActionChecked(const QString& name) const;
    QString actionHint(const QString& name) const;
    QWidget* control(const QString& name) const;
    QMenu* menu(const QString& name) const;
    ShockwaveFlash* flash() const { return Flash1; }
    ShellList* shellList() const { return ShellList1; }
    ShellTree* shellTree() const { return ShellTree1; }
    GlyphStatusPane* statusPane(int index) const;
    GlyphStatusPane* framePane() const { return StatusFrame; }
    SharedState& state() { return m_state; }
    // The three windows' text targets and the language box, for the language loader.
    LanguageWindows languageWindows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void createActions();
    void createMenus();
    void createLayout();
    void createToolbars(QBoxLayout* leftPane, QBoxLayout* playerPane);
    QToolBar* newToolbar(const char* name, QBoxLayout* pane);
    ActionButton* actionButton(QToolBar* bar, const char* name, const char* actionName, int disabledImage = -1);
    ActionButton* dropDownButton(QToolBar* bar, const char* name, int image, const char* menuName, int width,
                                 const QString& hint);
    void spacer(QToolBar* bar, const char* name);
    void setActionHint(const QString& name, const QString& hint);
    void setFolderOfList(const QString& path);
    // Fills the folder views with the start folder if they still wait for it.
    void showPendingFolder();
    // After a move the program made, the folder just left stays selected when it is in the list.
    void selectFolderCameFrom(const QString& previous);
    void checkAction(const QString& name, bool checked);
    bool startMovieShown() const;
    void setQualityCommand(const QString& quality, const QString& actionName);

    SharedState& m_state;
    QPointer<TForm2> m_form2;
    QPointer<TForm3> m_form3;
    std::function<void()> m_makeDialogs;
    QList<QIcon> m_images;

    QHash<QString, QAction*> m_actions;
    QHash<QString, QString> m_hints;
    QHash<QString, QWidget*> m_controls;
    QHash<QString, QMenu*> m_menus;
    QHash<QString, QAction*> m_menuItems;
    QHash<QAction*, bool> m_actionChecks;
    QHash<QAction*, ActionButton*> m_actionButtons;
    bool m_menuImages = true;

    SizePanel* SizePanel1 = nullptr;
    HotSpotSplitter* Splitter1 = nullptr;
    ShellTree* ShellTree1 = nullptr;
    ShellList* ShellList1 = nullptr;
    ShellCombo* ShellCombo1 = nullptr;
    ShockwaveFlash* Flash1 = nullptr;
    StatusBar* StatusBar1 = nullptr;
    QList<GlyphStatusPane*> m_panes;
    GlyphStatusPane* StatusFrame = nullptr;
    QMenu* MenuFavor = nullptr;
    ActionButton* B_Back = nullptr;
    ActionButton* B_Forward = nullptr;
    ActionButton* B_UpToParent = nullptr;
    ActionButton* B_Favor = nullptr;
    ActionButton* B_Scale = nullptr;
    ActionButton* B_Quality = nullptr;
    ActionButton* B_About = nullptr;
    bool m_destroyed = false;
    StartFolder m_startFolder = StartFolder::Now;
    QString m_pendingFolder;   // the start folder, until the folder views show it
    QFileSystemModel* m_shellModel = nullptr;
    ProgramLocation m_location;
    // The start-up movie, read while the window is being built.
    std::shared_ptr<PreparedMovie> m_preparedStartMovie;
};

} // namespace vistrel
