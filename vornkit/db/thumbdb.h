#pragma once

#include "db/sqlitedb.h"

// The thumbnail cache database.
class VORNKIT_EXPORT ThumbDb : public SqliteDb {
public:
    ThumbDb();
    ~ThumbDb() override;
    bool initTable() override;
};
