#include "db/sqlitetb.h"

#include "db/sqlitedb.h"

#include <QSqlError>
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

// Why a query failed. A connection that never opened reports no code of its own, nor does a statement that could
// not be prepared: the file then tells, read once.
SqliteDb::Fault faultOfQuery(QSqlDatabase& db, const QSqlQuery& q)
{
    const SqliteDb::Fault fault = SqliteDb::faultOf(q.lastError());
    if (!db.isOpen())
        return fault == SqliteDb::Fault::None || fault == SqliteDb::Fault::Other ? SqliteDb::Fault::Damaged : fault;
    if (fault != SqliteDb::Fault::None && fault != SqliteDb::Fault::Other)
        return fault;
    QSqlQuery probe(db);
    if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
        const SqliteDb::Fault found = SqliteDb::faultOf(probe.lastError());
        if (found != SqliteDb::Fault::None)
            return found;
    }
    return SqliteDb::Fault::Other;
}

} // namespace

bool SqliteTb::run(QSqlQuery& q)
{
    const bool ok = q.exec();
    m_lastFault = ok ? SqliteDb::Fault::None : faultOfQuery(db(), q);
    return ok;
}

bool SqliteTb::execSql(const QString& sql, const QVariantList& values)
{
    QSqlQuery q(db());
    if (!prepareBound(q, sql, values)) {
        m_lastFault = faultOfQuery(db(), q);
        return false;
    }
    return run(q);
}

bool SqliteTb::queryRow(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    if (!prepareBound(q, sql, values)) {
        m_lastFault = faultOfQuery(db(), q);
        m_readFailed = true;
        return false;
    }
    m_readFailed = !run(q);
    return !m_readFailed && q.next();
}
