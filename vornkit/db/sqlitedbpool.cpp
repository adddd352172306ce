#include "db/sqlitedbpool.h"

#include "db/sqlitedb.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QMutexLocker>

SqliteDbPool* tagDbPool = nullptr;
SqliteDbPool* thumbDbPool = nullptr;

SqliteDbPool::SqliteDbPool(Factory factory)
    : m_factory(std::move(factory))
{
}

SqliteDbPool::~SqliteDbPool()
{
    QMutexLocker lock(&m_mutex);
    while (!m_idle.isEmpty())
        delete m_idle.takeFirst();
}

SqliteDb* SqliteDbPool::openNew()
{
    const QString name = m_namePrefix + QString::number(m_serial++);
    SqliteDb* db = m_factory();
    db->openDb(m_dbFile, name, m_noMkpath);
    return db;
}

void SqliteDbPool::init(const QString& dbFile, const QString& namePrefix)
{
    QMutexLocker lock(&m_mutex);
    m_dbFile = dbFile;
    m_namePrefix = namePrefix;
    m_noMkpath = false;
    m_initCount = 1;
    m_maxIdle = 8;
    for (int i = 0; i < qMax(1, m_initCount); ++i)
        m_idle.append(openNew());
}

SqliteDb* SqliteDbPool::acquire()
{
    QMutexLocker lock(&m_mutex);
    if (m_idle.isEmpty())
        return openNew();
    return m_idle.takeFirst();
}

void SqliteDbPool::release(SqliteDb* db)
{
    if (!db)
        return;
    QMutexLocker lock(&m_mutex);
    if (m_idle.size() < m_maxIdle) {
        m_idle.append(db);
        return;
    }
    lock.unlock();
    delete db;
}

void SqliteDbPool::release(SqliteDbPool* pool, SqliteDb* db)
{
    if (pool)
        pool->release(db);
}

QString SqliteDbPool::dbFile() const
{
    QMutexLocker lock(&m_mutex);
    return m_dbFile;
}

int SqliteDbPool::idleCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_idle.size();
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
    delete tagDbPool;
    tagDbPool = nullptr;
    delete thumbDbPool;
    thumbDbPool = nullptr;
}
