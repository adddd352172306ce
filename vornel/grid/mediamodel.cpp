#include "grid/mediamodel.h"

#include "app/threadpools.h"
#include "grid/mediaitem.h"
#include "task/pooljob.h"

MediaModel::MediaModel(QObject* parent)
    : QStandardItemModel(parent)
{
}

MediaModel::~MediaModel()
{
    clear();
    m_releaseFuture.waitForFinished();
}

void MediaModel::clear()
{
    QLinkedList<ItemInfoPtr> list;
    const int n = rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = dynamic_cast<MediaItem*>(QStandardItemModel::item(row));
        if (!item)
            continue;
        list.append(item->getInfo());
        item->setInfo(ItemInfoPtr());
    }
    QStandardItemModel::clear();
    if (!list.isEmpty())
        releaseItems(std::move(list));
}

void MediaModel::releaseItems(QLinkedList<ItemInfoPtr> items)
{
    m_releaseFuture = runJob(itemReleasePool, [list = std::move(items)]() mutable {
        while (!list.isEmpty())
            list.removeLast();
    });
}

QString MediaModel::filePath(const QModelIndex& index) const
{
    MediaItem* item = itemFromIndex(index);
    if (!item || !item->getInfo())
        return QString();
    return item->getInfo()->fileInfo.filePath();
}

void MediaModel::items(QLinkedList<ItemInfoPtr>& out) const
{
    const int n = rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = dynamic_cast<MediaItem*>(QStandardItemModel::item(row));
        if (item)
            out.append(item->getInfo());
    }
}

MediaItem* MediaModel::itemFromIndex(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return dynamic_cast<MediaItem*>(QStandardItemModel::itemFromIndex(index));
}

bool MediaModel::removeRow(const QModelIndex& index)
{
    if (!index.isValid() || index.model() != this)
        return false;
    if (MediaItem* item = itemFromIndex(index)) {
        QLinkedList<ItemInfoPtr> list;
        list.append(item->getInfo());
        item->setInfo(ItemInfoPtr());
        releaseItems(std::move(list));
    }
    return QStandardItemModel::removeRow(index.row(), index.parent());
}

void MediaModel::rescaleAll()
{
    const int n = rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = dynamic_cast<MediaItem*>(QStandardItemModel::item(row));
        if (item && item->getInfo())
            item->getInfo()->rescaleThumb = 1;
    }
}
