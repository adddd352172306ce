#pragma once

#include <QTreeWidgetItem>

class BookMarkInfo;
class BookPathInfo;

// One row of the favourites panel: a category folder or a favourite, whose record it owns.
class BookmarkItem : public QTreeWidgetItem {
public:
    explicit BookmarkItem(BookPathInfo* info);
    explicit BookmarkItem(BookMarkInfo* info);
    ~BookmarkItem() override;
    BookmarkItem(const BookmarkItem&) = delete;
    BookmarkItem& operator=(const BookmarkItem&) = delete;

    // The record's name in the row.
    void updateText();
    // Where the load puts the row among its siblings: folders, favourite folders, favourite files.
    int rank() const;
    QString name() const;

    bool ownsData = true;
    BookMarkInfo* markInfo = nullptr;
    BookPathInfo* pathInfo = nullptr;
};
