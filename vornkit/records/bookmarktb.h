#pragma once

#include "db/sqlitetb.h"
#include "records/bookmarkinfo.h"
#include "sys/vornkit_global.h"

#include <QList>
#include <QString>

class BookPathInfo;
class QSqlQuery;

// The [bookmark] table over a borrowed tag-database connection.
class VORNKIT_EXPORT BookMarkTb : public SqliteTb {
public:
    explicit BookMarkTb(SqliteDb* sdb);
    ~BookMarkTb() override;

    // A new record owned by the caller, not added to the folder; null on failure or for a null folder.
    BookMarkInfo* addBookmark(BookPathInfo* folder, BookMarkInfo::BookMarkType type, const QString& file);
    bool delBookmark(qint64 rowid);
    bool delBookmark(BookMarkInfo* mark);
    bool modBookmark(qint64 rowid, const QString& name, BookMarkInfo::BookMarkType type, const QString& file);
    bool modBookmark(BookMarkInfo* mark);
    // Only the row changes; the records in memory stay as they are.
    bool modBookParent(BookMarkInfo* mark, BookPathInfo* folder);
    // The rowid of the first other favourite of that target, or -1.
    qint64 findBookmarkByFile(const QString& file, qint64 exceptRowId);
    // Appends heap records (no parent) the caller deletes.
    bool loadBookMark(BookMarkInfo::BookMarkTypes types, QList<BookMarkInfo*>& list);
    // Appends the folder's favourites, folders first then files, each by name.
    bool readChildBookmark(BookPathInfo* folder);
    bool updateFile(const QString& oldFile, const QString& newFile);
    // The folder's own favourites and those of everything inside it.
    bool updateFolder(const QString& oldFolder, const QString& newFolder);

private:
    static BookMarkInfo* fromRow(const QSqlQuery& q);
};
