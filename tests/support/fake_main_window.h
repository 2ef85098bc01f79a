#pragma once
// The main window as the settings file and the two dialogs see it, for their tests: plain
// fields for what they read and change, counters for the calls with effects elsewhere, and hooks
// for what a save or a language load does in a given test.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <functional>

#include "core/main_window_host.h"

namespace vistrel::testing {

class FakeMainWindow : public MainWindowHost {
public:
    QRect windowBounds() const override { return bounds; }
    void setWindowBounds(const QRect& value) override { bounds = value; }
    int panelWidth() const override { return panel; }
    void setPanelWidth(int width) override { panel = width; }
    int splitterPosition() const override { return splitter; }
    void setSplitterPosition(int position) override { splitter = position; }
    QSize screenSize() const override { return screen; }
    QString listFolderPath() const override { return folder; }
    void setHintsEnabled(bool on) override { hints = on; }
    void setMenuImagesEnabled(bool on) override { menuImages = on; }
    void rebuildFavoritesMenu() override { ++menuRebuilds; }
    void saveSettings() override
    {
        ++saveCalls;
        if (onSave)
            onSave();
    }
    void loadLanguage(const QString& fileName) override
    {
        loads.append(fileName);
        if (onLoad)
            onLoad(fileName);
    }

    QRect bounds;
    int panel = 0;
    int splitter = 0;
    QSize screen{1920, 1080};
    QString folder; // shown by the file list
    bool hints = true;
    bool menuImages = true;
    int menuRebuilds = 0;
    int saveCalls = 0;   // every attempt, refused ones included
    QStringList loads;   // pack file names, in order
    std::function<void()> onSave;   // may throw, as a refused write does
    std::function<void(const QString&)> onLoad;
};

} // namespace vistrel::testing
