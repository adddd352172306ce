#include "db/sqlitetb.h"

#include "db/sqlitedb.h"

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

namespace {

bool prepareBound(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    return true;
}

} // namespace

bool SqliteTb::execSql(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db());
    return prepareBound(q, sql, values) && q.exec();
}

bool SqliteTb::queryRow(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    m_readFailed = !(prepareBound(q, sql, values) && q.exec());
    return !m_readFailed && q.next();
}
