#include "records/bookpathinfo.h"

#include "records/bookmarkinfo.h"

BookPathInfo::BookPathInfo() = default;

BookPathInfo::~BookPathInfo()
{
    clear();
}

int BookPathInfo::clear()
{
    qDeleteAll(childrenMark);
    childrenMark.clear();
    // Each child folder clears its own subtree in its destructor.
    qDeleteAll(childrenPath);
    childrenPath.clear();
    return 0;
}

int BookPathInfo::appendChild(BookPathInfo* child)
{
    childrenPath.append(child);
    return 0;
}

int BookPathInfo::appendChild(BookMarkInfo* child)
{
    childrenMark.append(child);
    return 0;
}
