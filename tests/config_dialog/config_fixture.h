#pragma once
// A configuration dialog over a stand-in main window, with the shared state it edits.

#include <QApplication>
#include <QRect>
#include <QStringList>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

#include "core/shared_state.h"
#include "settings/config_dialog.h"
#include "tests/support/fake_main_window.h"

namespace vistrel::test {

class ConfigFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A main window with its own geometry and folder.
        m_host.bounds = QRect(100, 50, 800, 600);
        m_host.panel = 170;
        m_host.splitter = 200;
        m_host.folder = QStringLiteral("/home/user/movies");
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
    testing::FakeMainWindow m_host;
    std::unique_ptr<TForm3> m_dialog;
};

} // namespace vistrel::test
