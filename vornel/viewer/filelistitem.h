#pragma once

#include "grid/iteminfo.h"

#include <QListWidgetItem>
#include <QObject>

// One row of the viewer's file strip: ties the row to its file's ItemInfo and repaints it when the item reports
// progress.
class FileListItem : public QObject, public QListWidgetItem {
    Q_OBJECT
public:
    FileListItem();
    ~FileListItem() override;

    // Follows the new item's signals instead of the old one's; an empty pointer leaves the row without an item.
    void setItemInfo(ItemInfoPtr info);
    const ItemInfoPtr& itemInfo() const { return m_info; }

    // ItemInfo::load and ItemInfo::loadFullImage of the row's item; -1 without one.
    int load();
    int loadFullImage();
    void releaseFullImage();

public slots:
    void onTagLoaded();
    void onCacheLoaded();

private:
    void repaint();

    ItemInfoPtr m_info;
};
