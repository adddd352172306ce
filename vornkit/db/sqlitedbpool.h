#pragma once

#include "sys/vornkit_global.h"

#include <QString>

#include <functional>
#include <memory>

class SqliteDb;
class TagDb;
class ThumbDb;

// Idle connections to one database file; each user takes one, uses it alone and gives it back.
// Connections are opened outside the pool's lock, so a slow open (another program's lock on the file) never
// holds up the other users. The pool waits for the connections still handed out before it goes; a connection
// given back after that is closed without touching the pool.
class VORNKIT_EXPORT SqliteDbPool {
public:
    using Factory = std::function<SqliteDb*()>;
    struct Core;

    // The factory makes connections of the pool's kind (TagDb, ThumbDb, ...).
    explicit SqliteDbPool(Factory factory);
    // Waits up to closeWaitMs for the connections still out, then deletes the idle ones.
    ~SqliteDbPool();
    SqliteDbPool(const SqliteDbPool&) = delete;
    SqliteDbPool& operator=(const SqliteDbPool&) = delete;

    // Opens the first connection. No set-up of a pooled connection waits for another program's lock: one kept
    // out is finished by a later user, and the statement a user runs waits once.
    void init(const QString& dbFile, const QString& namePrefix);
    SqliteDb* acquire();
    void release(SqliteDb* db);

    // Gives a connection back to a pool that may not exist (not yet made, or already destroyed).
    static void release(SqliteDbPool* pool, SqliteDb* db);
    // The pool's shared state, which outlives it while connections are out.
    std::shared_ptr<Core> core() const { return m_core; }
    static void release(const std::shared_ptr<Core>& core, SqliteDb* db);

    QString dbFile() const;
    int idleCount() const;
    // Connections handed out and not given back.
    int outCount() const;

    // How long the destructor waits for connections still out (10 s unless set).
    void setCloseWait(int ms);

    template <class T> static SqliteDbPool* create()
    {
        return new SqliteDbPool([] { return new T(); });
    }

private:
    std::shared_ptr<Core> m_core;
};

// The process's pools; each program that uses the databases creates them at start-up.
VORNKIT_EXPORT extern SqliteDbPool* tagDbPool;
VORNKIT_EXPORT extern SqliteDbPool* thumbDbPool;

// Creates both pools (when missing) over programDir()/data/tag.db and data/thumb.db.
VORNKIT_EXPORT bool createDbPools();
VORNKIT_EXPORT void destroyDbPools();

// Holds one pooled connection for a scope and gives it back on every path out, also when the pool went away
// meanwhile.
template <class T> class PooledDb {
public:
    explicit PooledDb(SqliteDbPool* pool)
        : m_core(pool ? pool->core() : nullptr)
        , m_db(pool ? pool->acquire() : nullptr)
    {
    }
    ~PooledDb() { SqliteDbPool::release(m_core, m_db); }
    PooledDb(const PooledDb&) = delete;
    PooledDb& operator=(const PooledDb&) = delete;
    T* get() const { return static_cast<T*>(m_db); }
    T* operator->() const { return get(); }
    explicit operator bool() const { return m_db != nullptr; }

private:
    std::shared_ptr<SqliteDbPool::Core> m_core;
    SqliteDb* m_db;
};
