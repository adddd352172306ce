#include "records/bookpathtb.h"

#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

bool hasAncestor(const BookPathInfo* folder, qint64 rowId)
{
    for (const BookPathInfo* p = folder; p; p = p->getParent()) {
        if (p->getRowId() == rowId)
            return true;
    }
    return false;
}

} // namespace

BookPathTb::BookPathTb(SqliteDb* sdb)
    : SqliteTb(sdb)
{
}

BookPathTb::~BookPathTb() = default;

BookPathInfo* BookPathTb::addBookpath(BookPathInfo* parent, const QString& name)
{
    if (!parent)
        return nullptr;
    QSqlQuery q(db());
    q.prepare("insert into [bookpath] ([parent], [name]) values (?, ?)");
    q.addBindValue(parent->getRowId());
    q.addBindValue(name);
    if (!q.exec())
        return nullptr;
    auto* folder = new BookPathInfo();
    folder->setRowId(q.lastInsertId().toLongLong());
    folder->setParentId(parent->getRowId());
    folder->setName(name);
    folder->setParent(parent);
    return folder;
}

bool BookPathTb::delBookpath(qint64 rowid)
{
    return execSql("delete from [bookpath] where [rowid]=?", { rowid });
}

bool BookPathTb::delBookpath(BookPathInfo* folder)
{
    return folder && delBookpath(folder->getRowId());
}

bool BookPathTb::modBookpath(qint64 rowid, const QString& name)
{
    return execSql("update [bookpath] set [name]=? where [rowid]=?", { name, rowid });
}

bool BookPathTb::modBookpath(BookPathInfo* folder)
{
    return folder && modBookpath(folder->getRowId(), folder->getName());
}

bool BookPathTb::modBookParent(BookPathInfo* folder, BookPathInfo* newParent)
{
    if (!folder || !newParent)
        return false;
    return execSql("update [bookpath] set [parent]=? where [rowid]=?", { newParent->getRowId(), folder->getRowId() });
}

qint64 BookPathTb::findBookpath(const QString& name, qint64 exceptRowId)
{
    QSqlQuery q(db());
    if (!queryRow(q,
            "select [rowid], [parent] from [bookpath] where ([name]=?) and ([rowid] <> ?) order by [parent] asc",
            { name, exceptRowId }))
        return -1;
    return q.value(0).toLongLong();
}

bool BookPathTb::readChildBookpath(BookPathInfo* folder)
{
    if (!folder)
        return false;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (folder->getRowId() < 1)
        q.prepare("select [rowid], [parent], [name] from [bookpath] where ([parent]<=?) or ([parent] is NULL) "
                  "order by [name] asc");
    else
        q.prepare("select [rowid], [parent], [name] from [bookpath] where [parent]=? order by [name] asc");
    q.addBindValue(folder->getRowId());
    if (!q.exec())
        return true;
    while (q.next()) {
        auto* child = new BookPathInfo();
        child->setRowId(q.value(0).toLongLong());
        child->setName(q.value(2).toString());
        child->setParent(folder);
        folder->appendChild(child);
    }
    return true;
}

bool BookPathTb::readChildBookmark(BookPathInfo* folder)
{
    return BookMarkTb(sdb()).readChildBookmark(folder);
}

int BookPathTb::loadChildren(BookPathInfo* folder, bool recursive)
{
    if (!folder)
        return 0;
    folder->clear();
    readChildBookpath(folder);
    readChildBookmark(folder);
    if (recursive) {
        for (BookPathInfo* child : folder->getChildrenPath()) {
            // A stored parent loop would otherwise recurse without end.
            if (!hasAncestor(folder, child->getRowId()))
                loadChildren(child, true);
        }
    }
    return 0;
}
