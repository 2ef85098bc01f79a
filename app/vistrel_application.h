#pragma once
// The application object. Errors are exceptions; one that escapes an event handler is caught
// here, once for the whole program, and shown in the error box; the program goes on.

#include <QApplication>

namespace vistrel {

class VistrelApplication : public QApplication {
public:
    VistrelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The error box: the message with "." appended when its last character sorts after ".",
// the error icon and the application title as caption.
void showError(QWidget* parent, const QString& message);
QString errorBoxText(const QString& message);

} // namespace vistrel
