#pragma once

#include "grid/iteminfo.h"

#include <QObject>
#include <QStandardItem>

class MediaDelegate;
class MediaListView;
class MediaModel;

// One grid row: ties the row to its file's ItemInfo and repaints the cell when the item reports progress.
class MediaItem : public QObject, public QStandardItem {
    Q_OBJECT
public:
    MediaItem();
    ~MediaItem() override;

    // Follows the new item's signals instead of the old one's.
    void setInfo(ItemInfoPtr info);
    const ItemInfoPtr& getInfo() const { return m_info; }

    MediaModel* mediaModel() const { return m_model; }
    void setMediaModel(MediaModel* model) { m_model = model; }
    MediaListView* view() const { return m_view; }
    void setView(MediaListView* view) { m_view = view; }
    MediaDelegate* delegate() const { return m_delegate; }
    void setDelegate(MediaDelegate* delegate) { m_delegate = delegate; }

public slots:
    void onTagLoaded();
    void onCacheLoaded();
    void onTagStored(bool ok);

private:
    ItemInfoPtr m_info;
    MediaModel* m_model = nullptr;
    MediaListView* m_view = nullptr;
    MediaDelegate* m_delegate = nullptr;
};
