#pragma once

#include "db/sqlitetb.h"

#include <QList>

class FindFileInfo;

// Inserts into [FindFile] over a borrowed find store.
class FindFileTb : public SqliteTb {
public:
    explicit FindFileTb(SqliteDb* sdb);

    bool addFindFile(const FindFileInfo& info);
    // Many rows through one prepared statement in one transaction; the count inserted.
    int addFindFiles(const QList<FindFileInfo>& infos);

    static const char* const selectSql;
};
