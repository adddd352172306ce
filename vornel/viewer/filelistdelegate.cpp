#include "viewer/filelistdelegate.h"

#include "app/appcfg.h"
#include "viewer/filelistitem.h"
#include "viewer/filelistwidget.h"

#include <QPainter>

namespace {

// One axis of the target rectangle: centred at its own length when shorter than the box, else the box.
void placeAxis(int boxStart, int boxLength, int length, int& start, int& outLength)
{
    if (length < boxLength) {
        start = boxStart + (boxLength - length) / 2;
        outLength = length;
    } else {
        start = boxStart;
        outLength = boxLength;
    }
}

} // namespace

FileListDelegate::FileListDelegate(QObject* parent)
    : QStyledItemDelegate(parent)
{
}

FileListDelegate::~FileListDelegate() = default;

void FileListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyledItemDelegate::paint(painter, option, index);
    auto* row = m_list ? dynamic_cast<FileListItem*>(m_list->item(index.row())) : nullptr;
    const ItemInfoPtr info = row ? row->itemInfo() : ItemInfoPtr();
    if (!info || info->thumbReady < 1)
        return;

    CfgList cfg = AppCfg::instance()->list;
    cfg.translate(option.rect.left(), option.rect.top());
    cfg.fitWidth(option.rect.width());

    const QImage thumb = info->listThumbnail();
    if (!thumb.isNull()) {
        QRect target;
        int x, w, y, h;
        placeAxis(cfg.rcThumb.left(), cfg.rcThumb.width(), thumb.width(), x, w);
        placeAxis(cfg.rcThumb.top(), cfg.rcThumb.height(), thumb.height(), y, h);
        target.setRect(x, y, w, h);
        painter->drawImage(target, thumb);
    }
    const int align = Qt::AlignLeft | Qt::AlignVCenter;
    if (cfg.showFileName > 0)
        painter->drawText(cfg.rcFileName, align, info->fileName());
    if (cfg.showImageSize > 0)
        painter->drawText(cfg.rcImageSize, align, info->imageSizeText());
    if (cfg.showFileSize > 0)
        painter->drawText(cfg.rcFileSize, align, info->fileSizeText());
}

QSize FileListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    Q_UNUSED(option)
    Q_UNUSED(index)
    return QSize(0, AppCfg::instance()->list.rowHeight);
}
