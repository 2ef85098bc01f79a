#pragma once
// Paints the cells of the favorites grid. The dialog decides per cell whether it paints the cell
// itself (a selected row while the grid has no focus); otherwise the standard painting applies.

#include <QStyledItemDelegate>
#include <functional>

namespace vistrel::favorites {

class FavoritesGridDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Returns true when it has painted the cell.
    using CellPainter = std::function<bool(QPainter*, const QStyleOptionViewItem&, const QModelIndex&)>;

    FavoritesGridDelegate(CellPainter painter, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CellPainter m_cellPainter;
};

} // namespace vistrel::favorites
