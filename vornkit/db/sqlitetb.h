#pragma once

#include "db/sqlitedb.h"
#include "sys/vornkit_global.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

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
    // The last read through queryRow failed (a locked or broken database), as opposed to finding no row.
    bool readFailed() const { return m_readFailed; }
    // Why the last statement failed; None after one that ran.
    SqliteDb::Fault lastFault() const { return m_lastFault; }

protected:
    // Prepares sql on a fresh query over the connection, binds the values in order, executes it once.
    bool execSql(const QString& sql, const QVariantList& values);
    // The same on the caller's query, which is left on the first row; false when there is none.
    bool queryRow(QSqlQuery& q, const QString& sql, const QVariantList& values);
    // Executes a prepared query and notes why it failed.
    bool run(QSqlQuery& q);
    // After a folder was renamed: every row whose key column names oldFolder or a path inside it has those columns
    // follow to newFolder. Paths compare exactly; "a/b-old" is not inside "a/b".
    bool moveFolder(const QString& table, const QStringList& columns, const QString& key, const QString& oldFolder,
        const QString& newFolder);

    SqliteDb* m_sdb = nullptr;
    bool m_readFailed = false;
    SqliteDb::Fault m_lastFault = SqliteDb::Fault::None;
};
