#pragma once

#include "sys/vornkit_global.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// One named connection to one SQLite file, with a schema hook.
class VORNKIT_EXPORT SqliteDb {
public:
    SqliteDb();
    // A copy shares the connection but never removes it from Qt's registry.
    SqliteDb(const SqliteDb& other);
    SqliteDb& operator=(const SqliteDb& other);
    virtual ~SqliteDb();

    virtual bool openDb(const QString& dbFile, const QString& conName, bool noMkpath);
    virtual bool closeDb();
    virtual bool initTable();

    bool optimizeDb();
    bool execMultiSql(const QString& sql);
    bool execNoQuery(const QString& sql);
    bool tableExists(const QString& name);
    bool queryCompileOptions(QStringList& out);

    QSqlDatabase& db() { return m_db; }
    QString getDbFile() const { return m_dbFile; }
    void setDbFile(const QString& file) { m_dbFile = file; }
    QString getConName() const { return m_conName; }
    void setConName(const QString& name) { m_conName = name; }

    // Connect options handed to the driver.
    static const char* const connectOptions;

protected:
    QSqlDatabase m_db;
    QString m_dbFile;
    QString m_conName;
    bool m_noMkpath = false;
    // Only the object that registered the connection removes it again; copies share it.
    bool m_owner = false;
};
