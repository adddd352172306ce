#pragma once

#include "sys/vornkit_global.h"

#include <QList>
#include <QMutex>
#include <QString>

#include <functional>

class SqliteDb;
class TagDb;
class ThumbDb;

// Idle connections to one database file; each user takes one, uses it alone and gives it back.
class VORNKIT_EXPORT SqliteDbPool {
public:
    using Factory = std::function<SqliteDb*()>;

    // The factory makes connections of the pool's kind (TagDb, ThumbDb, ...).
    explicit SqliteDbPool(Factory factory);
    ~SqliteDbPool();
    SqliteDbPool(const SqliteDbPool&) = delete;
    SqliteDbPool& operator=(const SqliteDbPool&) = delete;

    void init(const QString& dbFile, const QString& namePrefix);
    SqliteDb* acquire();
    void release(SqliteDb* db);

    // Gives a connection back to a pool that may not exist (not yet made, or already destroyed).
    static void release(SqliteDbPool* pool, SqliteDb* db);

    QString dbFile() const;
    int idleCount() const;

    template <class T> static SqliteDbPool* create()
    {
        return new SqliteDbPool([] { return new T(); });
    }

private:
    SqliteDb* openNew();

    QList<SqliteDb*> m_idle;
    mutable QMutex m_mutex;
    QString m_dbFile;
    QString m_namePrefix;
    bool m_noMkpath = false;
    int m_initCount = 1;
    int m_maxIdle = 8;
    unsigned int m_serial = 0;
    Factory m_factory;
};

// The process's pools; each program that uses the databases creates them at start-up.
VORNKIT_EXPORT extern SqliteDbPool* tagDbPool;
VORNKIT_EXPORT extern SqliteDbPool* thumbDbPool;

// Creates both pools (when missing) over programDir()/data/tag.db and data/thumb.db.
VORNKIT_EXPORT bool createDbPools();
VORNKIT_EXPORT void destroyDbPools();

// Holds one pooled connection for a scope and gives it back on every path out.
template <class T> class PooledDb {
public:
    explicit PooledDb(SqliteDbPool* pool)
        : m_pool(pool)
        , m_db(pool ? pool->acquire() : nullptr)
    {
    }
    ~PooledDb() { SqliteDbPool::release(m_pool, m_db); }
    PooledDb(const PooledDb&) = delete;
    PooledDb& operator=(const PooledDb&) = delete;
    T* get() const { return static_cast<T*>(m_db); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return m_db != nullptr; }

private:
    SqliteDbPool* m_pool;
    SqliteDb* m_db;
};
