#include "records/bookmarktb.h"

#include "records/bookpathinfo.h"
#include "sys/fileutil.h"

#include <QSqlQuery>
#include <QVariant>

BookMarkTb::BookMarkTb(SqliteDb* sdb)
    : SqliteTb(sdb)
{
}

BookMarkTb::~BookMarkTb() = default;

BookMarkInfo* BookMarkTb::fromRow(const QSqlQuery& q)
{
    auto* mark = new BookMarkInfo();
    mark->setRowId(q.value(0).toLongLong());
    mark->setParentId(q.value(1).toLongLong());
    mark->setName(q.value(2).toString());
    mark->setBookMarkType(BookMarkInfo::BookMarkType(q.value(3).toInt()));
    mark->setFile(q.value(4).toString());
    return mark;
}

BookMarkInfo* BookMarkTb::addBookmark(BookPathInfo* folder, BookMarkInfo::BookMarkType type, const QString& file)
{
    if (!folder)
        return nullptr;
    const QString name = ExtractFileName(file);
    QSqlQuery q(db());
    q.prepare("insert into [bookmark] ([parent], [name], [type], [file]) values (?, ?, ?, ?)");
    q.addBindValue(folder->getRowId());
    q.addBindValue(name);
    q.addBindValue(int(type));
    q.addBindValue(file);
    if (!q.exec())
        return nullptr;
    auto* mark = new BookMarkInfo();
    mark->setRowId(q.lastInsertId().toLongLong());
    mark->setParentId(folder->getRowId());
    mark->setName(name);
    mark->setBookMarkType(type);
    mark->setFile(file);
    mark->setParent(folder);
    return mark;
}

bool BookMarkTb::delBookmark(qint64 rowid)
{
    return execSql("delete from [bookmark] where [rowid]=?", { rowid });
}

bool BookMarkTb::delBookmark(BookMarkInfo* mark)
{
    return mark && delBookmark(mark->getRowId());
}

bool BookMarkTb::modBookmark(qint64 rowid, const QString& name, BookMarkInfo::BookMarkType type, const QString& file)
{
    return execSql(
        "update [bookmark] set [name]=?, [type]=?, [file]=? where [rowid]=?", { name, int(type), file, rowid });
}

bool BookMarkTb::modBookmark(BookMarkInfo* mark)
{
    return mark && modBookmark(mark->getRowId(), mark->getName(), mark->getBookMarkType(), mark->getFile());
}

bool BookMarkTb::modBookParent(BookMarkInfo* mark, BookPathInfo* folder)
{
    if (!mark || !folder)
        return false;
    return execSql("update [bookmark] set [parent]=? where [rowid]=?", { folder->getRowId(), mark->getRowId() });
}

qint64 BookMarkTb::findBookmarkByFile(const QString& file, qint64 exceptRowId)
{
    QSqlQuery q(db());
    if (!queryRow(q, "select [rowid], [parent] from [bookmark] where ([file]=?) and ([rowid]<>?) order by [parent] asc",
            { file, exceptRowId }))
        return -1;
    return q.value(0).toLongLong();
}

bool BookMarkTb::loadBookMark(BookMarkInfo::BookMarkTypes types, QList<BookMarkInfo*>& list)
{
    QString kinds;
    if (types.testFlag(BookMarkInfo::BookMarkPath))
        kinds += "1,";
    if (types.testFlag(BookMarkInfo::BookMarkFile))
        kinds += "2,";
    while (kinds.endsWith(QLatin1Char(',')))
        kinds.chop(1);
    if (kinds.isEmpty())
        return true;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.exec(QString("select [rowid], [parent], [name], [type], [file] from [bookmark] where [type] in (%1)")
                    .arg(kinds)))
        return true;
    while (q.next())
        list.append(fromRow(q));
    return true;
}

bool BookMarkTb::readChildBookmark(BookPathInfo* folder)
{
    if (!folder)
        return false;
    QSqlQuery q(db());
    q.setForwardOnly(true);
    q.prepare("select [rowid], [parent], [name], [type], [file] from [bookmark] where [parent]=? "
              "order by [type], [name] asc");
    q.addBindValue(folder->getRowId());
    if (!q.exec())
        return true;
    while (q.next()) {
        BookMarkInfo* mark = fromRow(q);
        mark->setParent(folder);
        folder->appendChild(mark);
    }
    return true;
}

bool BookMarkTb::updateFile(const QString& oldFile, const QString& newFile)
{
    return execSql("update [bookmark] set [file]=? where [file]=?", { newFile, oldFile });
}

bool BookMarkTb::updateFolder(const QString& oldFolder, const QString& newFolder)
{
    return moveFolder(
        QStringLiteral("bookmark"), { QStringLiteral("file") }, QStringLiteral("file"), oldFolder, newFolder);
}
