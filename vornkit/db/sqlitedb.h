#pragma once

#include "sys/filestamp.h"
#include "sys/vornkit_global.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>

// One named connection to one SQLite file, with a schema hook.
class VORNKIT_EXPORT SqliteDb {
public:
    // Why a statement failed, as far as a caller acts on it.
    enum class Fault {
        None,
        Busy, // another connection holds a lock: wait and try again
        ReadOnly, // the file or its folder may not be written
        Full, // no space left for the file
        Damaged, // corrupt, not a database, or unreadable
        Other,
    };
    static Fault faultOf(const QSqlError& error);
    // A fault that may end while the program runs (a lock that ends, space that comes back, ...).
    static bool isPassing(Fault fault) { return fault != Fault::None && fault != Fault::Other; }
    static QString faultText(Fault fault);

    SqliteDb();
    // A copy shares the connection but never removes it from Qt's registry.
    SqliteDb(const SqliteDb& other);
    SqliteDb& operator=(const SqliteDb& other);
    virtual ~SqliteDb();

    virtual bool openDb(const QString& dbFile, const QString& conName, bool noMkpath);
    virtual bool closeDb();
    virtual bool initTable();

    // Tuning and schema, run by openDb: the first statement that needs the file waits for another program's
    // lock, and the whole set-up waits at most waitMs (the busy timeout when negative). True when it reached the
    // file; a connection kept out by a lock works as it is and may run its set-up again later.
    bool setUp(int waitMs = -1);
    bool isSetUp() const { return m_setUp; }
    // How long the set-up of the next openDb may wait for a lock (the busy timeout when negative).
    void setSetUpWait(int waitMs) { m_setUpWait = waitMs; }

    // The file at dbFile is no longer the one this connection opened (deleted, or another renamed over it).
    bool fileReplaced() const;
    // Lets go of the pages this connection keeps from earlier statements, so the next one reads the file as it is
    // now: pages damaged in place (the header left alone) are found instead of being written over from memory.
    void forgetCachedPages();

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
    // How long a statement waits for another program's lock, in milliseconds.
    static constexpr int busyTimeoutMs = 5000;
    // Process-wide, for shut-down: from now on no statement waits for a lock past msFromNow; a negative value
    // lifts the limit.
    static void limitWaits(int msFromNow);
    // This thread's waits for a lock end as soon as *flag is non-zero (a job that was cancelled); null for never.
    static void stopWaitingWhen(const std::atomic<int>* flag);

protected:
    QSqlDatabase m_db;
    QString m_dbFile;
    QString m_conName;
    bool m_noMkpath = false;
    // Only the object that registered the connection removes it again; copies share it.
    bool m_owner = false;
    bool m_setUp = false;
    int m_setUpWait = -1;
    // The opened file; invalid when unknown.
    FileStamp m_fileStamp;

private:
    struct Wait;
    // The connection's lock waiting, shared by copies (the driver calls into it while the connection is open).
    std::shared_ptr<Wait> m_wait;
    void installWait();
};
