#include "app/vistrel_application.h"

#include <exception>

#include "widgets/message_box.h"

namespace vistrel {

VistrelApplication::VistrelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VistrelApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        showError(activeWindow(), QString::fromUtf8(error.what()));
    } catch (...) {
        showError(activeWindow(), QStringLiteral("Unknown error"));
    }
    return true;
}

QString errorBoxText(const QString& message)
{
    QString text = message;
    if (!text.isEmpty() && text.back() > QLatin1Char('.'))
        text += QLatin1Char('.');
    return text;
}

void showError(QWidget* parent, const QString& message)
{
    // An error from a repeating source (a timer, a repaint) must not stack box upon box.
    static bool showing = false;
    if (showing)
        return;
    showing = true;
    showMessage(parent, MessageKind::Error, errorBoxText(message));
    showing = false;
}

} // namespace vistrel
