// An icon whose pictures are made the first time anyone paints or measures it. The window holds dozens of
// icons of which a start-up shows a few (menus, disabled looks and hidden buttons wait), and making them
// all before the first paint held that paint up.
#pragma once

#include <functional>

#include <QIcon>

namespace vistrel {

// `make` runs at most once, on the GUI thread, when the icon is first used; copies share its result.
QIcon lazyIcon(std::function<QIcon()> make);

// A lazy icon made in two steps: `small` serves what is asked at scale 1 within `smallSize`, `full` all
// the rest, each made when first needed. `small` must hold the pictures `full` would give for those
// requests, so that both answer alike: a window at scale 1 then never draws the larger pictures. The
// icon is never null, and saying so draws nothing.
QIcon lazyIcon(std::function<QIcon()> small, QSize smallSize, std::function<QIcon()> full);

}  // namespace vistrel

#include <QProxyStyle>

namespace vistrel {

// The program's style: the desktop's own, except that the pictures of the toolbar and menu bar extension
// buttons are read when one of those buttons is first shown. The base style reads them from image files,
// and the first image file read loads every image format plugin of the system, which a menu bar
// otherwise paid for before the window could appear.
class LazyIconStyle final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    QIcon standardIcon(StandardPixmap which, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

}  // namespace vistrel
