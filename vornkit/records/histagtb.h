#pragma once

#include "db/sqlitetb.h"
#include "sys/vornkit_global.h"

#include <QStringList>

// The [histag] table over a borrowed tag-database connection.
class VORNKIT_EXPORT HisTagTb : public SqliteTb {
public:
    explicit HisTagTb(SqliteDb* sdb);
    ~HisTagTb() override;

    // Appends the stored names as they come; out untouched when the statement fails.
    bool readHisTag(QStringList& out);
    bool truncateHisTag();
    // Replaces every row by the tags in one write transaction; on any failure nothing changes
    // and the connection is left outside a transaction, holding no lock.
    bool saveHisTag(const QStringList& tags);
};
