#pragma once

#include "sys/vornkit_global.h"

#include <QList>
#include <QString>

class BookMarkInfo;

// A category folder of the favourites tree; owns its child folders and favourites.
// The root has rowId 0 and lives only in memory.
class VORNKIT_EXPORT BookPathInfo {
public:
    BookPathInfo();
    ~BookPathInfo();

    // Deletes the whole subtree (favourites first, then folders) and empties both lists.
    int clear();
    // Ownership passes to this folder.
    int appendChild(BookPathInfo* child);
    int appendChild(BookMarkInfo* child);

    qint64 getRowId() const { return rowId; }
    void setRowId(qint64 v) { rowId = v; }
    qint64 getParentId() const { return parentId; }
    void setParentId(qint64 v) { parentId = v; }
    const QString& getName() const { return name; }
    void setName(const QString& v) { name = v; }
    BookPathInfo* getParent() const { return parent; }
    void setParent(BookPathInfo* v) { parent = v; }
    // The setters replace the lists without deleting the old entries.
    QList<BookPathInfo*>& getChildrenPath() { return childrenPath; }
    void setChildrenPath(const QList<BookPathInfo*>& v) { childrenPath = v; }
    QList<BookMarkInfo*>& getChildrenMark() { return childrenMark; }
    void setChildrenMark(const QList<BookMarkInfo*>& v) { childrenMark = v; }

private:
    BookPathInfo(const BookPathInfo&) = delete;
    BookPathInfo& operator=(const BookPathInfo&) = delete;

    qint64 rowId = 0;
    qint64 parentId = 0;
    QString name;
    BookPathInfo* parent = nullptr;
    QList<BookPathInfo*> childrenPath;
    QList<BookMarkInfo*> childrenMark;
};
