// A main window reduced to what the settings file reads and changes, for the damaged-file tests.
#pragma once

#include <QRect>
#include <QSize>
#include <QString>

#include "core/main_window_host.h"

namespace vistrel::robustness {

class StandInWindow : public MainWindowHost {
public:
    QRect windowBounds() const override { return m_bounds; }
    void setWindowBounds(const QRect& bounds) override { m_bounds = bounds; }
    int panelWidth() const override { return m_panel; }
    void setPanelWidth(int width) override { m_panel = width; }
    int splitterPosition() const override { return m_splitter; }
    void setSplitterPosition(int position) override { m_splitter = position; }
    QSize screenSize() const override { return {1280, 1024}; }
    QString listFolderPath() const override { return {}; }
    void setHintsEnabled(bool) override {}
    void setMenuImagesEnabled(bool) override {}
    void rebuildFavoritesMenu() override {}
    void saveSettings() override {}
    void loadLanguage(const QString&) override {}

private:
    QRect m_bounds;
    int m_panel = 0;
    int m_splitter = 0;
};

} // namespace vistrel::robustness
