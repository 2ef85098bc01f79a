#include "favorites/favorites_grid_delegate.h"

#include <utility>

namespace vistrel::favorites {

FavoritesGridDelegate::FavoritesGridDelegate(CellPainter painter, QObject* parent)
    : QStyledItemDelegate(parent), m_cellPainter(std::move(painter))
{
}

void FavoritesGridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                  const QModelIndex& index) const
{
    if (m_cellPainter) {
        // The option as the standard painting would see it, with the cell's text filled in.
        QStyleOptionViewItem prepared = option;
        initStyleOption(&prepared, index);
        if (m_cellPainter(painter, prepared, index))
            return;
    }
    QStyledItemDelegate::paint(painter, option, index);
}

} // namespace vistrel::favorites
