#include "sqlitetb.h"

#include "sqlitedb.h"

SqliteTb::SqliteTb(SqliteDb* sdb)
    : m_sdb(sdb)
{
}

SqliteTb::~SqliteTb() = default;

QSqlDatabase& SqliteTb::db()
{
    if (m_sdb)
        return m_sdb->db();
    static QSqlDatabase none;
    return none;
}
