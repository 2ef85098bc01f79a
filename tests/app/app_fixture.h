#pragma once
// Runs the main window in a temporary program folder: the working folder is the program folder,
// as when the viewer is started from it, and message boxes are answered by the test.

#include <QDir>
#include <QMessageBox>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

#include "app/main_form.h"
#include "core/shared_state.h"
#include "widgets/message_box.h"

namespace vistrel::test {

struct ShownMessage {
    MessageKind kind;
    QString text;
};

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest();
    ~MainFormTest() override;

    // Creates the main window in the program folder (runs FormCreate).
    TForm1& start();
    // A folder below the program folder, created with its parents.
    QString makeFolder(const QString& relative);
    // Writes a small movie (version 6, 550 x 400, 12 fps, uncompressed) and returns its path.
    QString writeMovie(const QString& relative, int version = 6, bool compressed = false);
    void writeSettings(const QByteArray& text);
    QByteArray readSettings() const;

    QTemporaryDir m_dir;
    QString m_base;
    SharedState m_state;
    std::unique_ptr<TForm1> m_form;
    std::vector<ShownMessage> m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

private:
    QString m_oldCurrent;
};

} // namespace vistrel::test
