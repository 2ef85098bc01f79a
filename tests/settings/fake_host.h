#pragma once
// A main window reduced to what the settings file reads and changes.

#include <QRect>
#include <QSize>
#include <QString>

#include "core/main_window_host.h"

namespace vistrel::testing {

class FakeHost : public MainWindowHost {
public:
    QRect bounds;
    int panel = 0;
    int splitter = 0;
    QSize screen{1920, 1080};
    bool hints = true;
    bool menuImages = true;
    int menuRebuilds = 0;

    QRect windowBounds() const override { return bounds; }
    void setWindowBounds(const QRect &b) override { bounds = b; }
    int panelWidth() const override { return panel; }
    void setPanelWidth(int width) override { panel = width; }
    int splitterPosition() const override { return splitter; }
    void setSplitterPosition(int position) override { splitter = position; }
    QSize screenSize() const override { return screen; }
    QString listFolderPath() const override { return {}; }
    void setHintsEnabled(bool on) override { hints = on; }
    void setMenuImagesEnabled(bool on) override { menuImages = on; }
    void rebuildFavoritesMenu() override { ++menuRebuilds; }
    void saveSettings() override {}
    void loadLanguage(const QString &) override {}
};

} // namespace vistrel::testing
