#include "widgets/lazy_icon.h"

#include <memory>

#include <QIconEngine>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>

namespace vistrel {
namespace {

class LazyIconEngine final : public QIconEngine {
public:
    struct Made {
        std::function<QIcon()> make;
        QIcon icon;
    };

    explicit LazyIconEngine(std::shared_ptr<Made> made) : m_made(std::move(made)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return icon().pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return icon().availableSizes(mode, state);
    }
    bool isNull() override { return icon().isNull(); }
    QString key() const override { return QStringLiteral("vistrel-lazy"); }
    QIconEngine* clone() const override { return new LazyIconEngine(m_made); }

private:
    const QIcon& icon() {
        if (m_made->make) {
            const std::function<QIcon()> make = std::move(m_made->make);
            m_made->make = nullptr;
            m_made->icon = make();
        }
        return m_made->icon;
    }

    std::shared_ptr<Made> m_made;
};

class SizedIconEngine final : public QIconEngine {
public:
    SizedIconEngine(QIcon small, QSize smallSize, QIcon full)
        : m_small(std::move(small)), m_smallSize(smallSize), m_full(std::move(full)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : qApp->devicePixelRatio();
        iconFor(rect.size(), scale).paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return iconFor(size, 1.0).actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return iconFor(size, 1.0).pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return iconFor(size, scale).pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override {
        return m_full.availableSizes(mode, state);
    }
    bool isNull() override { return false; }
    QString key() const override { return QStringLiteral("vistrel-lazy-sized"); }
    QIconEngine* clone() const override { return new SizedIconEngine(m_small, m_smallSize, m_full); }

private:
    const QIcon& iconFor(QSize size, qreal scale) const {
        const bool fits = scale <= 1.0 && size.width() <= m_smallSize.width() && size.height() <= m_smallSize.height();
        return fits ? m_small : m_full;
    }

    QIcon m_small;
    QSize m_smallSize;
    QIcon m_full;
};

}  // namespace

QIcon lazyIcon(std::function<QIcon()> make) {
    auto made = std::make_shared<LazyIconEngine::Made>();
    made->make = std::move(make);
    return QIcon(new LazyIconEngine(std::move(made)));
}

QIcon lazyIcon(std::function<QIcon()> small, QSize smallSize, std::function<QIcon()> full) {
    return QIcon(new SizedIconEngine(lazyIcon(std::move(small)), smallSize, lazyIcon(std::move(full))));
}

}  // namespace vistrel

#include <QPointer>
#include <QStyleOption>

namespace vistrel {

QIcon LazyIconStyle::standardIcon(StandardPixmap which, const QStyleOption* option, const QWidget* widget) const {
    if (which != SP_ToolBarHorizontalExtensionButton && which != SP_ToolBarVerticalExtensionButton)
        return QProxyStyle::standardIcon(which, option, widget);
    // The button may outlive a style that was replaced meanwhile: then it has no picture to show.
    const QPointer<QStyle> base(baseStyle());
    const Qt::LayoutDirection direction = option ? option->direction : QGuiApplication::layoutDirection();
    return lazyIcon([base, which, direction] {
        if (!base) return QIcon();
        QStyleOption directed;
        directed.direction = direction;
        return base->standardIcon(which, &directed, nullptr);
    });
}

}  // namespace vistrel
