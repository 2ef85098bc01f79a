#pragma once
// A configuration dialog over a fake main window, with the shared state it edits.

#include <QApplication>
#include <QRect>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

#include "core/main_window_host.h"
#include "core/shared_state.h"
#include "settings/config_dialog.h"

namespace vistrel::test {

// The main window as the dialog sees it: geometry to snapshot, a folder, and counters for the
// two calls that have effects outside the dialog.
class FakeHost : public MainWindowHost {
public:
    QRect windowBounds() const override { return bounds; }
    void setWindowBounds(const QRect& value) override { bounds = value; }
    int panelWidth() const override { return panel; }
    void setPanelWidth(int width) override { panel = width; }
    int splitterPosition() const override { return splitter; }
    void setSplitterPosition(int position) override { splitter = position; }
    QSize screenSize() const override { return {1920, 1080}; }
    QString listFolderPath() const override { return listFolder; }
    void setHintsEnabled(bool) override {}
    void setMenuImagesEnabled(bool) override {}
    void rebuildFavoritesMenu() override {}
    void saveSettings() override
    {
        if (failSave)
            throw std::runtime_error("Unable to write to /read-only/vistrel.ini");
        ++saves;
    }
    void loadLanguage(const QString& fileName) override
    {
        loads.append(fileName);
        if (onLoad)
            onLoad(fileName);
    }

    QRect bounds{100, 50, 800, 600};
    int panel = 170;
    int splitter = 200;
    QString listFolder = QStringLiteral("/home/user/movies");
    bool failSave = false;
    int saves = 0;
    QStringList loads;
    std::function<void(const QString&)> onLoad;
};

class ConfigFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The settings as loaded from a file with every option on.
        m_state.RememberSize = true;
        m_state.RememberPosition = true;
        m_state.RememberDir = true;
        m_state.ShowHints = true;
        m_state.ShowMenuIcons = true;
    }

    // Creates the dialog (FormCreate runs) and shows it as the Config command would.
    TForm3& showDialog()
    {
        createDialog();
        m_dialog->show();
        return *m_dialog;
    }
    TForm3& createDialog()
    {
        if (!m_dialog)
            m_dialog = std::make_unique<TForm3>(m_state, m_host, nullptr);
        return *m_dialog;
    }

    template <typename T>
    T* child(const char* name) const
    {
        T* widget = m_dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(widget, nullptr) << name;
        return widget;
    }

    SharedState m_state;
    FakeHost m_host;
    std::unique_ptr<TForm3> m_dialog;
};

} // namespace vistrel::test
