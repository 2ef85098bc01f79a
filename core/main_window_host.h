#pragma once
// What the settings file and the two dialogs need of the main window, without depending on it.

#include <QRect>
#include <QSize>
#include <QString>

namespace vistrel {

class MainWindowHost {
public:
    virtual ~MainWindowHost() = default;

    // Bounds of the main window: left, top, width, height in screen pixels.
    virtual QRect windowBounds() const = 0;
    virtual void setWindowBounds(const QRect& bounds) = 0;
    // Width of the side panel SizePanel1 and divider position of Splitter1.
    virtual int panelWidth() const = 0;
    virtual void setPanelWidth(int width) = 0;
    virtual int splitterPosition() const = 0;
    virtual void setSplitterPosition(int position) = 0;
    // Size of the primary screen in pixels.
    virtual QSize screenSize() const = 0;

    // Folder shown by the file list ShellList1.
    virtual QString listFolderPath() const = 0;

    // View options.
    virtual void setHintsEnabled(bool on) = 0;
    virtual void setMenuImagesEnabled(bool on) = 0;

    virtual void rebuildFavoritesMenu() = 0;
    // SaveSettings of the main window; throws when the file cannot be written.
    virtual void saveSettings() = 0;
    // LoadLanguage with a pack file name (no folder).
    virtual void loadLanguage(const QString& fileName) = 0;
};

} // namespace vistrel
