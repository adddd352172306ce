#include "db/sqlitedb.h"

#include "sys/fileutil.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QSqlQuery>
#include <QVariant>

// The full-mutex flag is the connection's historic option; the driver ignores it.
// The busy timeout lets two programs writing one database wait for each other.
const char* const SqliteDb::connectOptions = "SQLITE_OPEN_FULLMUTEX;QSQLITE_BUSY_TIMEOUT=5000";

namespace {

// Names made from the clock must stay unique when two opens share a millisecond.
QString uniqueTimeName()
{
    static QAtomicInteger<qint64> last(0);
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (;;) {
        qint64 prev = last.loadAcquire();
        qint64 next = now > prev ? now : prev + 1;
        if (last.testAndSetOrdered(prev, next))
            return QString::number(next);
    }
}

// Closes a connection and removes its name from Qt's registry.
void dropConnection(QSqlDatabase& db, const QString& name)
{
    if (db.isOpen())
        db.close();
    db = QSqlDatabase();
    if (!name.isEmpty() && QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
}

} // namespace

SqliteDb::SqliteDb() = default;

SqliteDb::SqliteDb(const SqliteDb& other)
    : m_db(other.m_db)
    , m_dbFile(other.m_dbFile)
    , m_conName(other.m_conName)
    , m_noMkpath(other.m_noMkpath)
{
}

SqliteDb& SqliteDb::operator=(const SqliteDb& other)
{
    if (this != &other) {
        // An owner becomes a copy: its own connection goes, unless it is the one copied.
        if (m_owner && m_conName != other.m_conName)
            dropConnection(m_db, m_conName);
        m_owner = m_owner && m_conName == other.m_conName;
        m_db = other.m_db;
        m_dbFile = other.m_dbFile;
        m_conName = other.m_conName;
        m_noMkpath = other.m_noMkpath;
    }
    return *this;
}

SqliteDb::~SqliteDb()
{
    if (m_owner)
        dropConnection(m_db, m_conName);
}

bool SqliteDb::openDb(const QString& dbFile, const QString& conName, bool noMkpath)
{
    if (!noMkpath) {
        const QString folder = ExtractFilePath(dbFile);
        if (!folder.isEmpty() && !QDir().mkpath(folder))
            return false;
    }
    // Reopening lets the previous connection go first.
    if (m_owner)
        dropConnection(m_db, m_conName);
    m_owner = false;
    m_dbFile = dbFile;
    m_conName = conName;
    m_noMkpath = noMkpath;
    if (m_conName.isEmpty())
        m_conName = uniqueTimeName();

    m_db = QSqlDatabase::addDatabase("QSQLITE", m_conName);
    m_owner = true;
    m_db.setDatabaseName(dbFile);
    m_db.setConnectOptions(QString::fromLatin1(connectOptions));
    if (!m_db.open())
        return false;
    optimizeDb();
    initTable();
    return true;
}

bool SqliteDb::closeDb()
{
    m_db.close();
    return true;
}

bool SqliteDb::initTable()
{
    return true;
}

bool SqliteDb::optimizeDb()
{
    static const char* const pragmas[] = {
        "PRAGMA auto_vacuum=0",
        "PRAGMA cache_size=40000",
        "PRAGMA case_sensitive_like=1",
        "PRAGMA count_changes=0",
        "PRAGMA page_size=5120",
        "PRAGMA synchronous=0",
        "PRAGMA temp_store=2",
        "PRAGMA journal_mode=0",
    };
    QSqlQuery query(m_db);
    bool ok = true;
    for (const char* sql : pragmas)
        ok = query.exec(QString::fromLatin1(sql)) && ok;
    return ok;
}

bool SqliteDb::execMultiSql(const QString& sql)
{
    const QStringList parts = sql.split(';', Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return execNoQuery(sql);
    bool ok = true;
    for (const QString& part : parts)
        ok = execNoQuery(part) && ok;
    return ok;
}

bool SqliteDb::execNoQuery(const QString& sql)
{
    QSqlQuery query(m_db);
    if (!query.prepare(sql))
        return false;
    return query.exec();
}

bool SqliteDb::tableExists(const QString& name)
{
    QSqlQuery query(m_db);
    if (!query.prepare("SELECT count(*) FROM sqlite_master WHERE type='table' AND name=?"))
        return false;
    query.addBindValue(name);
    if (!query.exec() || !query.next())
        return false;
    bool ok = false;
    return query.value(0).toInt(&ok) == 1 && ok;
}

bool SqliteDb::queryCompileOptions(QStringList& out)
{
    QSqlQuery query(m_db);
    if (!query.exec("PRAGMA compile_options"))
        return false;
    while (query.next())
        out.append(query.value(0).toString());
    return true;
}
