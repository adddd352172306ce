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

bool SqliteTb::moveFolder(const QString& table, const QStringList& columns, const QString& key,
    const QString& oldFolder, const QString& newFolder)
{
    if (oldFolder.isEmpty() || newFolder.isEmpty())
        return false;
    // Inside the folder: from "old/" up to "old0", '0' following '/'; the range keeps the column's index in use.
    const QString inside = oldFolder + QLatin1Char('/');
    const QString beyond = oldFolder + QLatin1Char('0');
    // SQLite counts characters, not UTF-16 units.
    const int rest = oldFolder.toUcs4().size() + 1;
    QStringList sets;
    QVariantList values;
    for (const QString& c : columns) {
        sets << QStringLiteral("[%1]=case when [%1]=? then ? when [%1]>=? and [%1]<? then ?||substr([%1],?) "
                               "else [%1] end")
                    .arg(c);
        values << oldFolder << newFolder << inside << beyond << newFolder << rest;
    }
    values << oldFolder << inside << beyond;
    return execSql(QStringLiteral("update [%1] set %2 where [%3]=? or ([%3]>=? and [%3]<?)")
                       .arg(table, sets.join(QStringLiteral(", ")), key),
        values);
}
