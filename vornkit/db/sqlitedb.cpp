#include "db/sqlitedb.h"

#include "sys/fileutil.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <atomic>
#include <chrono>

// The full-mutex flag is the connection's historic option; the driver ignores it.
// The busy timeout lets two programs writing one database wait for each other.
const char* const SqliteDb::connectOptions = "SQLITE_OPEN_FULLMUTEX;QSQLITE_BUSY_TIMEOUT=5000";

namespace {

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

constexpr qint64 kMsNs = 1000000;
// SQLite's heap for the whole process, page caches above all: every pooled connection may cache 40000 pages, and a
// big folder's thumbnail rows, each read once, would otherwise stay in all of them. Soft: past it the caches reuse
// their oldest pages instead of growing.
constexpr sqlite3_int64 kSqliteHeapBytes = sqlite3_int64(64) << 20;

// Steady-clock time past which no statement waits for a lock; 0 for none.
std::atomic<qint64> waitLimit { 0 };
// Set while this thread runs a job that may be cancelled.
thread_local const std::atomic<int>* waitStop = nullptr;

sqlite3* handleOf(const QSqlDatabase& db)
{
    if (!db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

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

bool isMemoryDb(const QString& file)
{
    return file.isEmpty() || file.startsWith(QLatin1Char(':')) || file.startsWith(QLatin1String("file::memory:"));
}

} // namespace

SqliteDb::Fault SqliteDb::faultOf(const QSqlError& error)
{
    if (error.type() == QSqlError::NoError)
        return Fault::None;
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    if (!ok)
        return error.type() == QSqlError::ConnectionError ? Fault::Damaged : Fault::Other;
    switch (code) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return Fault::Busy;
    case SQLITE_READONLY:
        return Fault::ReadOnly;
    case SQLITE_FULL:
        return Fault::Full;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
    case SQLITE_IOERR:
    case SQLITE_CANTOPEN:
    case SQLITE_PERM:
        return Fault::Damaged;
    default:
        return Fault::Other;
    }
}

QString SqliteDb::faultText(Fault fault)
{
    switch (fault) {
    case Fault::None:
        return QString();
    case Fault::Busy:
        return QStringLiteral("数据库被其他程序占用");
    case Fault::ReadOnly:
        return QStringLiteral("数据库只读");
    case Fault::Full:
        return QStringLiteral("磁盘已满");
    case Fault::Damaged:
        return QStringLiteral("数据库已损坏或无法读取");
    case Fault::Other:
        break;
    }
    return QStringLiteral("数据库写入失败");
}

// One wait for another program's lock lasts at most the busy timeout, less when a set-up's budget or the
// shut-down limit ends sooner. Touched only by the thread that holds the connection.
struct SqliteDb::Wait {
    std::atomic<qint64> until { 0 }; // steady-clock end of the set-up's budget; 0 for none
    qint64 start = 0; // when the current wait began
};

SqliteDb::SqliteDb() = default;

SqliteDb::SqliteDb(const SqliteDb& other)
    : m_db(other.m_db)
    , m_dbFile(other.m_dbFile)
    , m_conName(other.m_conName)
    , m_noMkpath(other.m_noMkpath)
    , m_setUp(other.m_setUp)
    , m_setUpWait(other.m_setUpWait)
    , m_fileStamp(other.m_fileStamp)
    , m_wait(other.m_wait)
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
        m_setUp = other.m_setUp;
        m_setUpWait = other.m_setUpWait;
        m_fileStamp = other.m_fileStamp;
        m_wait = other.m_wait;
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
    m_setUp = false;
    m_wait.reset();
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
    static const bool limited = (sqlite3_soft_heap_limit64(kSqliteHeapBytes), true);
    Q_UNUSED(limited)
    installWait();
    setUp(m_setUpWait);
    m_fileStamp = isMemoryDb(m_dbFile) ? FileStamp() : FileStamp::of(m_dbFile);
    return true;
}

bool SqliteDb::fileReplaced() const
{
    if (m_dbFile.isEmpty() || isMemoryDb(m_dbFile))
        return false;
    // A connection that could not open (a folder not yet writable) is worth opening again.
    if (!m_db.isOpen())
        return true;
    return !FileStamp::of(m_dbFile).sameFile(m_fileStamp);
}

void SqliteDb::forgetCachedPages()
{
    if (sqlite3* handle = handleOf(m_db))
        sqlite3_db_release_memory(handle);
}

void SqliteDb::installWait()
{
    sqlite3* handle = handleOf(m_db);
    if (!handle)
        return; // the driver's own busy timeout stays
    m_wait = std::make_shared<Wait>();
    const auto onBusy = [](void* data, int count) -> int {
        auto* wait = static_cast<Wait*>(data);
        const qint64 now = nowNs();
        if (count == 0)
            wait->start = now;
        qint64 end = wait->start + busyTimeoutMs * kMsNs;
        if (const qint64 until = wait->until.load())
            end = qMin(end, until);
        if (const qint64 limit = waitLimit.load())
            end = qMin(end, limit);
        if (now >= end || (waitStop && waitStop->load()))
            return 0;
        const qint64 step = qMin<qint64>(count < 5 ? 1 << count : 20, (end - now) / kMsNs + 1);
        sqlite3_sleep(int(step));
        return 1;
    };
    sqlite3_busy_handler(handle, onBusy, m_wait.get());
}

bool SqliteDb::setUp(int waitMs)
{
    if (!m_db.isOpen())
        return m_setUp = false;
    if (m_wait)
        m_wait->until = nowNs() + qint64(waitMs < 0 ? busyTimeoutMs : waitMs) * kMsNs + 1;
    bool reached = false;
    {
        QSqlQuery probe(m_db);
        reached = probe.exec("SELECT count(*) FROM sqlite_master") && probe.next();
    }
    optimizeDb();
    initTable();
    if (m_wait)
        m_wait->until = 0;
    m_setUp = reached;
    return reached;
}

void SqliteDb::stopWaitingWhen(const std::atomic<int>* flag)
{
    waitStop = flag;
}

void SqliteDb::limitWaits(int msFromNow)
{
    waitLimit = msFromNow < 0 ? 0 : nowNs() + qint64(msFromNow) * kMsNs + 1;
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
