#include "db/sqlitedbpool.h"

#include "db/sqlitedb.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QDeadlineTimer>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QWaitCondition>

SqliteDbPool* tagDbPool = nullptr;
SqliteDbPool* thumbDbPool = nullptr;

struct SqliteDbPool::Core {
    explicit Core(Factory f)
        : factory(std::move(f))
    {
    }

    QMutex mutex;
    QWaitCondition returned;
    QList<SqliteDb*> idle;
    QString dbFile;
    QString namePrefix;
    bool noMkpath = false;
    int initCount = 1;
    int maxIdle = 8;
    unsigned int serial = 0;
    int out = 0;
    bool closed = false;
    int closeWaitMs = 10000;
    const Factory factory;

    // A new connection; the caller holds no lock. setUpWait as SqliteDb::setUpWait.
    SqliteDb* open(const QString& name, const QString& file, bool noMk, int setUpWait)
    {
        SqliteDb* db = factory();
        db->setSetUpWait(setUpWait);
        db->openDb(file, name, noMk);
        db->setSetUpWait(-1);
        return db;
    }

    void release(SqliteDb* db)
    {
        QMutexLocker lock(&mutex);
        if (out > 0)
            --out;
        const bool keep = !closed && idle.size() < maxIdle;
        if (keep)
            idle.append(db);
        returned.wakeAll();
        lock.unlock();
        if (!keep)
            delete db;
    }
};

namespace {

// A pooled connection's set-up never waits for another program's lock: the statement its user runs next waits
// (once), and a set-up kept out is finished by a later user.
const int kSetUpWait = 0;

} // namespace

SqliteDbPool::SqliteDbPool(Factory factory)
    : m_core(std::make_shared<Core>(std::move(factory)))
{
}

SqliteDbPool::~SqliteDbPool()
{
    QList<SqliteDb*> idle;
    {
        QMutexLocker lock(&m_core->mutex);
        m_core->closed = true;
        const QDeadlineTimer deadline(m_core->closeWaitMs);
        while (m_core->out > 0 && !deadline.hasExpired())
            m_core->returned.wait(&m_core->mutex, deadline);
        if (m_core->out > 0)
            qWarning(
                "Database pool %s closed with %d connections still in use", qPrintable(m_core->dbFile), m_core->out);
        idle.swap(m_core->idle);
    }
    qDeleteAll(idle);
}

void SqliteDbPool::init(const QString& dbFile, const QString& namePrefix)
{
    QList<QString> names;
    {
        QMutexLocker lock(&m_core->mutex);
        m_core->dbFile = dbFile;
        m_core->namePrefix = namePrefix;
        m_core->noMkpath = false;
        m_core->initCount = 1;
        m_core->maxIdle = 8;
        for (int i = 0; i < qMax(1, m_core->initCount); ++i)
            names.append(namePrefix + QString::number(m_core->serial++));
    }
    for (const QString& name : names) {
        SqliteDb* db = m_core->open(name, dbFile, false, kSetUpWait);
        QMutexLocker lock(&m_core->mutex);
        m_core->idle.append(db);
    }
}

SqliteDb* SqliteDbPool::acquire()
{
    Core& c = *m_core;
    SqliteDb* db = nullptr;
    QString name, file;
    bool noMk = false;
    {
        QMutexLocker lock(&c.mutex);
        ++c.out;
        if (!c.idle.isEmpty()) {
            db = c.idle.takeFirst();
        } else {
            name = c.namePrefix + QString::number(c.serial++);
            file = c.dbFile;
            noMk = c.noMkpath;
        }
    }
    // The file was deleted or another renamed over it while the program ran: statements on this connection would
    // reach a file nobody sees again, so a new one opens the file that is there now.
    if (db && db->fileReplaced()) {
        delete db;
        db = nullptr;
        QMutexLocker lock(&c.mutex);
        name = c.namePrefix + QString::number(c.serial++);
        file = c.dbFile;
        noMk = c.noMkpath;
    }
    if (!db)
        return c.open(name, file, noMk, kSetUpWait);
    // Kept out by a lock when it was opened: finish the set-up now.
    if (!db->isSetUp() && db->db().isOpen())
        db->setUp(kSetUpWait);
    return db;
}

void SqliteDbPool::release(SqliteDb* db)
{
    if (db)
        m_core->release(db);
}

void SqliteDbPool::release(SqliteDbPool* pool, SqliteDb* db)
{
    if (pool)
        pool->release(db);
}

void SqliteDbPool::release(const std::shared_ptr<Core>& core, SqliteDb* db)
{
    if (core && db)
        core->release(db);
}

QString SqliteDbPool::dbFile() const
{
    QMutexLocker lock(&m_core->mutex);
    return m_core->dbFile;
}

int SqliteDbPool::idleCount() const
{
    QMutexLocker lock(&m_core->mutex);
    return m_core->idle.size();
}

void SqliteDbPool::setCloseWait(int ms)
{
    QMutexLocker lock(&m_core->mutex);
    m_core->closeWaitMs = ms;
}

int SqliteDbPool::outCount() const
{
    QMutexLocker lock(&m_core->mutex);
    return m_core->out;
}

bool createDbPools()
{
    const QString dir = platform::programDir();
    if (!tagDbPool) {
        tagDbPool = SqliteDbPool::create<TagDb>();
        tagDbPool->init(pathJoin(dir, "data/tag.db"), "tag.db");
    }
    if (!thumbDbPool) {
        thumbDbPool = SqliteDbPool::create<ThumbDb>();
        thumbDbPool->init(pathJoin(dir, "data/thumb.db"), "thumb.db");
    }
    return true;
}

void destroyDbPools()
{
    // The globals go first, so nobody takes a connection from a pool being destroyed.
    SqliteDbPool* tag = tagDbPool;
    SqliteDbPool* thumb = thumbDbPool;
    tagDbPool = nullptr;
    thumbDbPool = nullptr;
    delete tag;
    delete thumb;
}
