#include "app/action_button.h"

#include <QAction>
#include <QMenu>

namespace vistrel {

ActionButton::ActionButton(QAction* action, const QIcon& image, QWidget* parent)
    : QToolButton(parent), m_action(action)
{
    setIcon(image);
    setIconSize(QSize(16, 16));
    setAutoRaise(true);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    connect(this, &QToolButton::clicked, action, [action] { action->trigger(); });
    // The pressed-in look of a checked action, without taking over the enabled state.
    connect(action, &QAction::changed, this, [this, action] {
        setCheckable(action->isCheckable());
        setChecked(action->isChecked());
    });
}

ActionButton::ActionButton(const QIcon& image, QMenu* dropDown, int width, QWidget* parent)
    : QToolButton(parent)
{
    setIcon(image);
    setIconSize(QSize(16, 16));
    setAutoRaise(true);
    setMenu(dropDown);
    setPopupMode(QToolButton::InstantPopup);
    setFixedWidth(width);
}

void ActionButton::setHint(const QString& hint)
{
    m_hint = hint;
    setToolTip(hint);
}

QIcon iconWithDisabledImage(const QIcon& normal, const QIcon& disabled)
{
    QIcon icon;
    icon.addPixmap(normal.pixmap(16, 16), QIcon::Normal);
    icon.addPixmap(disabled.pixmap(16, 16), QIcon::Disabled);
    return icon;
}

} // namespace vistrel
