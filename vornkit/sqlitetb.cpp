#include "sqlitetb.h"

#include "sqlitedb.h"

#include <QSqlQuery>

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

bool SqliteTb::execSql(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db());
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return q.exec();
}
