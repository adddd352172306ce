#pragma once

#include "db/sqlitetb.h"
#include "sys/vornkit_global.h"

#include <QString>

class BookPathInfo;

// The [bookpath] table over a borrowed tag-database connection.
class VORNKIT_EXPORT BookPathTb : public SqliteTb {
public:
    explicit BookPathTb(SqliteDb* sdb);
    ~BookPathTb() override;

    // A new record owned by the caller, not added to the parent; null on failure or for a null parent.
    BookPathInfo* addBookpath(BookPathInfo* parent, const QString& name);
    // Only that row: rows of its children stay.
    bool delBookpath(qint64 rowid);
    bool delBookpath(BookPathInfo* folder);
    bool modBookpath(qint64 rowid, const QString& name);
    bool modBookpath(BookPathInfo* folder);
    // Only the row changes; the records in memory stay as they are.
    bool modBookParent(BookPathInfo* folder, BookPathInfo* newParent);
    // The rowid of the first other folder of that name anywhere in the tree, or -1.
    qint64 findBookpath(const QString& name, qint64 exceptRowId);
    // Appends the child folders by name; for the root also those with a parent below 1 or NULL.
    bool readChildBookpath(BookPathInfo* folder);
    bool readChildBookmark(BookPathInfo* folder);
    // Replaces the folder's subtree by what is stored, one level or all.
    int loadChildren(BookPathInfo* folder, bool recursive);
};
