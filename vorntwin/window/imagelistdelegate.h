#pragma once

#include <QStyledItemDelegate>

class QListWidget;

// Paints a thumbnail cell: the picture centred in the image rectangle, the path below, a frame.
class ImageListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit ImageListDelegate(QListWidget* list);
    ~ImageListDelegate() override;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    QListWidget* m_list;
};
