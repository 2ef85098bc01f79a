#pragma once
// Message boxes of the program, in one place so that tests can answer them.

#include <QMessageBox>
#include <functional>

namespace vistrel {

enum class MessageKind { Plain, Warning, Error, Information, Confirmation };

// Shows a modal box; caption "Vistrel" for plain and error boxes (the application title),
// the kind's icon, the given buttons. Returns the button pressed.
QMessageBox::StandardButton showMessage(QWidget* parent, MessageKind kind, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Tests replace the box: the handler gets what would be shown and returns the answer.
using MessageHandler =
    std::function<QMessageBox::StandardButton(MessageKind, const QString& text, QMessageBox::StandardButtons)>;
void setMessageHandler(MessageHandler handler); // empty handler restores the real boxes

} // namespace vistrel
