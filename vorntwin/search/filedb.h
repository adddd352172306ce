#pragma once

#include "db/sqlitedb.h"

// The in-memory find store: tables [FindFile] and [ResultFile].
class FileDb : public SqliteDb {
public:
    FileDb();
    ~FileDb() override;

    bool initTable() override;
    // Empties both tables.
    void clearTables();
};
