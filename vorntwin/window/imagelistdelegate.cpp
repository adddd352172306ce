#include "window/imagelistdelegate.h"

#include "search/likefindcfg.h"
#include "window/imagelistwidgetitem.h"

#include <QListWidget>
#include <QPainter>

ImageListDelegate::ImageListDelegate(QListWidget* list)
    : QStyledItemDelegate(list)
    , m_list(list)
{
}

ImageListDelegate::~ImageListDelegate() = default;

void ImageListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    const auto* item = dynamic_cast<const ImageListWidgetItem*>(m_list->item(index.row()));
    const LikeFindCfg* cfg = LikeFindCfg::get();
    if (!item || !item->loaded || !cfg)
        return;
    painter->save();
    FindLayout layout = cfg->layout;
    layout.translateRects(option.rect.left(), option.rect.top());
    const QRect& box = layout.imageRect;
    if (!item->preview.isNull()) {
        const QSize size = item->preview.size();
        QRect target = box;
        if (size.width() < box.width()) {
            target.setX(box.x() + (box.width() - size.width()) / 2);
            target.setWidth(size.width());
        }
        if (size.height() < box.height()) {
            target.setY(box.y() + (box.height() - size.height()) / 2);
            target.setHeight(size.height());
        }
        painter->drawImage(target, item->preview);
    }
    painter->drawText(layout.textRect, Qt::AlignCenter, item->path);
    QColor frame = Qt::lightGray;
    if (option.state & QStyle::State_Selected)
        frame = Qt::blue;
    else if (option.state & QStyle::State_MouseOver)
        frame = Qt::black;
    painter->setPen(frame);
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(layout.itemRect.adjusted(0, 0, -1, -1));
    painter->restore();
}

QSize ImageListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    const LikeFindCfg* cfg = LikeFindCfg::get();
    return cfg ? QSize(cfg->layout.ItemWidth, cfg->layout.ItemHeight) : QSize(300, 300);
}
