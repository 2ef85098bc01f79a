#include "widgets/shell_combo.h"

#include <algorithm>

#include <QAbstractFileIconProvider>
#include <QFileSystemModel>
#include <QStyledItemDelegate>
#include <QStylePainter>

#include "widgets/shell_list.h"
#include "widgets/shell_model.h"

namespace vistrel {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentStep = 10;

// Indents each drop-down entry by its depth, so the chain reads as a path down from the root.
class IndentDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem shifted(option);
        shifted.rect.adjust(indentOf(index), 0, 0, 0);
        QStyledItemDelegate::paint(painter, shifted, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indentOf(index), 0);
    }

private:
    static int indentOf(const QModelIndex& index) { return index.data(kDepthRole).toInt() * kIndentStep; }
};

QString parentFolder(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString folderName(const QString& path)
{
    return path == QLatin1String("/") ? path : path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

} // namespace

ShellCombo::ShellCombo(QFileSystemModel* model, QWidget* parent)
    : QComboBox(parent), m_model(model)
{
    setItemDelegate(new IndentDelegate(this));
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(8);
    setMaxVisibleItems(16);
    connect(this, &QComboBox::activated, this, &ShellCombo::choose);
}

QStringList ShellCombo::folderChain() const
{
    QStringList chain;
    for (int i = 0; i < count(); ++i)
        chain.append(itemData(i, kPathRole).toString());
    return chain;
}

void ShellCombo::showFolder(const QString& path)
{
    if (path == m_folder && count() > 0)
        return;
    m_folder = path;
    clear();
    if (!path.startsWith(QLatin1Char('/')))
        return;

    QStringList chain;
    for (QString step = path;; step = parentFolder(step)) {
        chain.prepend(step);
        if (step == QLatin1String("/"))
            break;
    }
    QIcon icon;
    if (m_model && m_model->iconProvider())
        icon = m_model->iconProvider()->icon(QAbstractFileIconProvider::Folder);
    for (int depth = 0; depth < chain.size(); ++depth) {
        addItem(icon, folderName(chain[depth]), chain[depth]);
        setItemData(depth, depth, kDepthRole);
        setItemData(depth, chain[depth], Qt::ToolTipRole);
    }
    setCurrentIndex(static_cast<int>(chain.size()) - 1);
}

void ShellCombo::choose(int index)
{
    const QString path = itemData(index, kPathRole).toString();
    if (path.isEmpty())
        return;
    if (m_list) {
        m_list->setFolder(path); // a linked tree moves and brings this combo along
        if (m_list->folder() != m_folder)
            showFolder(m_list->folder());
    } else {
        showFolder(resolveFolderPath(path));
    }
    emit folderChosen(m_folder);
}

void ShellCombo::paintEvent(QPaintEvent*)
{
    // The closed combo shows the whole path; the drop-down shows the names, indented.
    QStylePainter painter(this);
    QStyleOptionComboBox option;
    initStyleOption(&option);
    painter.drawComplexControl(QStyle::CC_ComboBox, option);
    const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    int room = field.width() - 4;
    if (!option.currentIcon.isNull())
        room -= option.iconSize.width() + 4;
    option.currentText = fontMetrics().elidedText(m_folder, Qt::ElideMiddle, std::max(room, 0));
    painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

} // namespace vistrel
