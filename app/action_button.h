#pragma once
// A toolbar button bound to an action: it shows the action's image and hint and triggers it, but
// its enabled state is its own. Handlers disable buttons, never actions, so a shortcut keeps
// working while its button is greyed.

#include <QToolButton>

class QAction;
class QMenu;

namespace vistrel {

class ActionButton : public QToolButton {
    Q_OBJECT
public:
    // A button for an action; disabledImage replaces Qt's greyed image when given.
    ActionButton(QAction* action, const QIcon& image, QWidget* parent);
    // A drop-down button: no command of its own, it only drops down its menu.
    ActionButton(const QIcon& image, QMenu* dropDown, int width, QWidget* parent);

    void setHint(const QString& hint);
    QString hint() const { return m_hint; }
    QAction* boundAction() const { return m_action; }

private:
    QAction* m_action = nullptr;
    QString m_hint;
};

// An icon whose disabled state shows a picture of its own.
QIcon iconWithDisabledImage(const QIcon& normal, const QIcon& disabled);

} // namespace vistrel
