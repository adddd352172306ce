#pragma once

#include "vornkit_global.h"

#include <QSqlDatabase>

class SqliteDb;

// Base of the table accessors: borrows a database for a few statements.
class VORNKIT_EXPORT SqliteTb {
public:
    explicit SqliteTb(SqliteDb* sdb);
    SqliteTb(const SqliteTb& other) = default;
    SqliteTb& operator=(const SqliteTb& other) = default;
    virtual ~SqliteTb();

    SqliteDb* sdb() const { return m_sdb; }
    // The borrowed connection; a never-opened one when there is none, so statements fail.
    QSqlDatabase& db();

protected:
    SqliteDb* m_sdb = nullptr;
};
