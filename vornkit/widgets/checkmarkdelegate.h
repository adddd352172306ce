#pragma once

#include <QStyledItemDelegate>

// Draws a check mark kept as a bool under Qt::CheckStateRole as checked or unchecked
// (the standard delegates would read true as partly checked).
class CheckMarkDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CheckMarkDelegate(QObject* parent = nullptr);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
