#include "app/action_button.h"

#include <QAction>
#include <QIconEngine>
#include <QMenu>
#include <QPainter>
#include <QStyle>

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

namespace {

// Each state asks only its own picture: a button that starts disabled (Back, Forward) draws its normal
// picture when it is first enabled, not before the window's first paint. Pictures are 16 x 16.
class DisabledImageEngine final : public QIconEngine {
public:
    DisabledImageEngine(QIcon normal, QIcon disabled) : m_normal(std::move(normal)), m_disabled(std::move(disabled)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const QPixmap picture = scaledPixmap(rect.size(), mode, state, painter->device()->devicePixelRatio());
        const QSize shown = picture.deviceIndependentSize().toSize();
        painter->drawPixmap(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, shown, rect), picture);
    }
    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override { return kSize.boundedTo(size); }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // The disabled picture as drawn; the others from the normal picture, as the style shows them.
        if (mode == QIcon::Disabled)
            return m_disabled.pixmap(kSize.boundedTo(size), scale, QIcon::Normal, state);
        return m_normal.pixmap(kSize.boundedTo(size), scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override { return {kSize}; }
    // Asked by the style at every paint: answered without drawing either picture, the icon is empty only
    // when made of two empty icons.
    bool isNull() override { return m_normal.cacheKey() == 0 && m_disabled.cacheKey() == 0; }
    QString key() const override { return QStringLiteral("vistrel-disabled-image"); }
    QIconEngine* clone() const override { return new DisabledImageEngine(m_normal, m_disabled); }

private:
    static constexpr QSize kSize{16, 16};
    QIcon m_normal;
    QIcon m_disabled;
};

} // namespace

QIcon iconWithDisabledImage(const QIcon& normal, const QIcon& disabled)
{
    return QIcon(new DisabledImageEngine(normal, disabled));
}

} // namespace vistrel
