#pragma once
// The focus rule both shell views share. Item views make their first item current when they
// first get the focus: in the list the first arrow key would then skip that item, and in the tree
// it would be a folder change nobody asked for. A view without a current item therefore takes
// the focus as a plain scroll area and stays without one.

#include <QAbstractScrollArea>
#include <QFocusEvent>

namespace vistrel {

template <typename View>
class NoCurrentItemOnFocus : public View {
public:
    using View::View;

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        if (!this->currentIndex().isValid()) {
            QAbstractScrollArea::focusInEvent(event);
            this->viewport()->update();
            return;
        }
        View::focusInEvent(event);
    }
};

} // namespace vistrel
