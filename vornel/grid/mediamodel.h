#pragma once

#include "grid/iteminfo.h"

#include <QFuture>
#include <QLinkedList>
#include <QStandardItemModel>

class MediaDelegate;
class MediaItem;
class MediaListView;

// The grid's rows, one MediaItem per file. Items leave through itemReleasePool, so the waiting destructors of
// ItemInfo never run on the GUI thread.
class MediaModel : public QStandardItemModel {
    Q_OBJECT
public:
    explicit MediaModel(QObject* parent = nullptr);
    ~MediaModel() override;

    MediaListView* view() const { return m_view; }
    void setView(MediaListView* view) { m_view = view; }
    MediaDelegate* delegate() const { return m_delegate; }
    void setDelegate(MediaDelegate* delegate) { m_delegate = delegate; }

    // Removes every row; the items are dropped later on the release pool.
    void clear();
    QString filePath(const QModelIndex& index) const;
    void items(QLinkedList<ItemInfoPtr>& out) const;
    MediaItem* itemFromIndex(const QModelIndex& index) const;
    using QStandardItemModel::removeRow;
    bool removeRow(const QModelIndex& index);
    // Every thumbnail is refitted to the cell on its next paint.
    void rescaleAll();
    // The last release job.
    QFuture<void> releaseFuture() const { return m_releaseFuture; }

    // Drops the references on the release pool, last first.
    void releaseItems(QLinkedList<ItemInfoPtr> items);

private:
    MediaListView* m_view = nullptr;
    MediaDelegate* m_delegate = nullptr;
    QFuture<void> m_releaseFuture;
};
