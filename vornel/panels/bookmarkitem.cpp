#include "panels/bookmarkitem.h"

#include "records/bookmarkinfo.h"
#include "records/bookpathinfo.h"

BookmarkItem::BookmarkItem(BookPathInfo* info)
    : QTreeWidgetItem(0)
    , pathInfo(info)
{
    updateText();
}

BookmarkItem::BookmarkItem(BookMarkInfo* info)
    : QTreeWidgetItem(0)
    , markInfo(info)
{
    updateText();
}

// The child rows own their records; a folder's lists are empty by the time it is shown.
BookmarkItem::~BookmarkItem()
{
    if (ownsData) {
        delete markInfo;
        delete pathInfo;
    }
}

void BookmarkItem::updateText()
{
    setText(0, name());
}

QString BookmarkItem::name() const
{
    if (pathInfo)
        return pathInfo->getName();
    return markInfo ? markInfo->getName() : QString();
}

int BookmarkItem::rank() const
{
    return pathInfo ? 0 : 1 + (markInfo ? int(markInfo->getBookMarkType()) : 0);
}
