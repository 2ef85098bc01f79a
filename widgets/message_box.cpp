#include "widgets/message_box.h"

#include <QApplication>

namespace vistrel {
namespace {

MessageHandler& handler()
{
    static MessageHandler instance;
    return instance;
}

} // namespace

void setMessageHandler(MessageHandler newHandler)
{
    handler() = std::move(newHandler);
}

QMessageBox::StandardButton showMessage(QWidget* parent, MessageKind kind, const QString& text,
                                        QMessageBox::StandardButtons buttons)
{
    if (handler())
        return handler()(kind, text, buttons);

    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case MessageKind::Plain: icon = QMessageBox::NoIcon; break;
    case MessageKind::Warning: icon = QMessageBox::Warning; break;
    case MessageKind::Error: icon = QMessageBox::Critical; break;
    case MessageKind::Information: icon = QMessageBox::Information; break;
    case MessageKind::Confirmation: icon = QMessageBox::Question; break;
    }
    // Texts compose their line breaks with CR, as the language packs expect.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    // Every box carries the application title as its caption.
    QString title = QApplication::applicationName();
    if (title.isEmpty())
        title = QStringLiteral("Vistrel");
    QMessageBox box(icon, title, shown, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace vistrel
