#pragma once

#include "db/sqlitedb.h"

// The tag database: text-tag list, file tags and favourites.
class VORNKIT_EXPORT TagDb : public SqliteDb {
public:
    TagDb();
    ~TagDb() override;
    bool initTable() override;
};
