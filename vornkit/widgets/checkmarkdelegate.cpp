#include "widgets/checkmarkdelegate.h"

CheckMarkDelegate::CheckMarkDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

void CheckMarkDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QVariant check = index.data(Qt::CheckStateRole);
    if (check.type() == QVariant::Bool) {
        option->features |= QStyleOptionViewItem::HasCheckIndicator;
        option->checkState = check.toBool() ? Qt::Checked : Qt::Unchecked;
    }
}
