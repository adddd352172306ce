#include "grid/itemstorequeue.h"

#include "app/threadpools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QRunnable>
#include <QThreadPool>
#include <QTimer>
#include <QWaitCondition>

#include <deque>
#include <vector>

namespace {

struct Entry {
    QString what;
    ItemStoreQueue::Write write;
    ItemStoreQueue::Done done;
    ItemStoreQueue::InFile inFile;
};

struct Queue {
    QMutex mutex;
    QWaitCondition changed;
    std::deque<Entry> entries;
    bool draining = false; // a drainer is queued or running
    int running = 0; // entries being written
    bool stalled = false; // the first entry was refused and waits for its next try
    bool retryQueued = false;
    bool refused = false; // the first entry was refused and has not gone through since
    SqliteDb::Fault fault = SqliteDb::Fault::None;
    int retryMs = 2000;
    int dropped = 0;
    std::vector<ItemStoreQueue::InFile> runningInFile; // of the entries being written
};

Queue& queue()
{
    static Queue q;
    return q;
}

// Ahead of the new rows and thumbnails queued on the store pool.
const int kPriority = 10;
// How often shut-down tries a refused write again.
const int kCloseRetryMs = 200;

ItemStoreQueue::Result runEntry(Entry& e)
{
    ItemStoreQueue::Result r { ItemStoreQueue::Outcome::Retry, SqliteDb::Fault::Other };
    try {
        if (e.write)
            r = e.write();
    } catch (const std::exception&) {
    }
    return r;
}

void finishEntry(Entry& e, bool ok)
{
    if (!ok)
        qWarning("Tag edit not stored in the database: %s", qPrintable(e.what));
    if (e.done)
        e.done(ok);
}

void emitChanged()
{
    emit ItemStoreQueue::instance()->stateChanged();
}

// Under the lock: the write at the head was refused; it goes back first in line. True when the state changed.
bool putBack(Queue& q, Entry&& e, SqliteDb::Fault fault)
{
    q.entries.push_front(std::move(e));
    const bool changed = !q.refused || q.fault != fault;
    q.stalled = true;
    q.refused = true;
    q.fault = fault;
    return changed;
}

// Under the lock: a write went through. True when the queue was waiting before.
bool flows(Queue& q)
{
    const bool changed = q.refused || q.fault != SqliteDb::Fault::None;
    q.stalled = false;
    q.refused = false;
    q.fault = SqliteDb::Fault::None;
    return changed;
}

} // namespace

ItemStoreQueue* ItemStoreQueue::instance()
{
    static ItemStoreQueue* self = new ItemStoreQueue();
    return self;
}

class ItemStoreQueue::Drainer : public QRunnable {
public:
    Drainer() { setAutoDelete(true); }
    ~Drainer() override
    {
        if (m_ran)
            return;
        // Dropped by a pool's clear(): the writes stay queued for the next drainer or for shut-down.
        Queue& q = queue();
        {
            QMutexLocker lock(&q.mutex);
            q.draining = false;
            q.changed.wakeAll();
        }
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(
                app, [] { ItemStoreQueue::startDrainer(); }, Qt::QueuedConnection);
    }

    void run() override
    {
        m_ran = true;
        Queue& q = queue();
        for (;;) {
            Entry e;
            {
                QMutexLocker lock(&q.mutex);
                if (q.entries.empty()) {
                    q.draining = false;
                    q.changed.wakeAll();
                    lock.unlock();
                    // After every write's own report.
                    emit ItemStoreQueue::instance()->drained();
                    return;
                }
                e = std::move(q.entries.front());
                q.entries.pop_front();
                ++q.running;
                q.runningInFile.push_back(e.inFile);
            }
            const Result r = runEntry(e);
            bool changed = false;
            {
                QMutexLocker lock(&q.mutex);
                --q.running;
                q.runningInFile.clear();
                if (r.outcome == Outcome::Dropped)
                    ++q.dropped;
                if (r.outcome == Outcome::Retry) {
                    // Named once when the queue starts waiting, not at every try.
                    if (!q.refused || q.fault != r.fault)
                        qWarning("Tag edit not stored in the database yet (%s), tried again later: %s",
                            qPrintable(SqliteDb::faultText(r.fault)), qPrintable(e.what));
                    changed = putBack(q, std::move(e), r.fault);
                    q.draining = false;
                    q.changed.wakeAll();
                } else {
                    changed = flows(q);
                }
            }
            if (r.outcome != Outcome::Retry)
                finishEntry(e, r.outcome == Outcome::Stored);
            if (changed)
                emitChanged();
            if (r.outcome == Outcome::Retry) {
                ItemStoreQueue::retryLater();
                return;
            }
        }
    }

private:
    bool m_ran = false;
};

void ItemStoreQueue::startDrainer()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    if (q.draining || q.stalled || q.entries.empty() || !itemStorePool)
        return;
    q.draining = true;
    itemStorePool->start(new Drainer(), kPriority);
}

void ItemStoreQueue::retryLater()
{
    Queue& q = queue();
    int delay = 0;
    {
        QMutexLocker lock(&q.mutex);
        if (q.retryQueued)
            return;
        q.retryQueued = true;
        delay = q.retryMs;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    // The timer lives on the GUI thread; its tick only starts a drainer.
    QMetaObject::invokeMethod(
        app,
        [delay] {
            QTimer::singleShot(delay, QCoreApplication::instance(), [] {
                Queue& q = queue();
                {
                    QMutexLocker lock(&q.mutex);
                    q.retryQueued = false;
                    q.stalled = false;
                }
                ItemStoreQueue::startDrainer();
            });
        },
        Qt::QueuedConnection);
}

void ItemStoreQueue::post(const QString& what, Write write, Done done, InFile inFile)
{
    Entry e { what, std::move(write), std::move(done), std::move(inFile) };
    if (!itemStorePool) {
        const Result r = runEntry(e);
        finishEntry(e, r.outcome == Outcome::Stored);
        return;
    }
    {
        Queue& q = queue();
        QMutexLocker lock(&q.mutex);
        q.entries.push_back(std::move(e));
    }
    startDrainer();
}

int ItemStoreQueue::finish(int ms, QStringList* left)
{
    Queue& q = queue();
    const QDeadlineTimer deadline(ms);
    QMutexLocker lock(&q.mutex);
    while (!deadline.hasExpired()) {
        if (q.entries.empty() && q.running == 0)
            return 0;
        if (q.draining || q.running > 0) {
            q.changed.wait(&q.mutex, deadline);
            continue;
        }
        // No drainer (the pool is gone or dropped it, or the queue waits for the database): the writes run here.
        Entry e = std::move(q.entries.front());
        q.entries.pop_front();
        ++q.running;
        lock.unlock();
        const Result r = runEntry(e);
        if (r.outcome != Outcome::Retry)
            finishEntry(e, r.outcome == Outcome::Stored);
        lock.relock();
        --q.running;
        if (r.outcome == Outcome::Dropped)
            ++q.dropped;
        if (r.outcome == Outcome::Retry) {
            putBack(q, std::move(e), r.fault);
            q.changed.wait(&q.mutex, qMin<qint64>(kCloseRetryMs, qMax<qint64>(1, deadline.remainingTime())));
        } else {
            flows(q);
        }
    }
    std::deque<Entry> dropped;
    dropped.swap(q.entries);
    q.stalled = false;
    q.refused = false;
    const SqliteDb::Fault fault = q.fault;
    lock.unlock();
    for (Entry& e : dropped) {
        qWarning("Tag edit not stored in the database (closed before it could be; %s): %s",
            qPrintable(SqliteDb::faultText(fault)), qPrintable(e.what));
        if (left)
            left->append(e.what);
        if (e.done)
            e.done(false);
    }
    return int(dropped.size());
}

int ItemStoreQueue::pending()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    return int(q.entries.size()) + q.running;
}

int ItemStoreQueue::waiting()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    return q.refused ? int(q.entries.size()) + q.running : 0;
}

int ItemStoreQueue::waitingInFile()
{
    std::vector<InFile> probes;
    {
        Queue& q = queue();
        QMutexLocker lock(&q.mutex);
        if (!q.refused)
            return 0;
        probes = q.runningInFile;
        for (const Entry& e : q.entries)
            probes.push_back(e.inFile);
    }
    // Asked outside the lock: they look at the items.
    int kept = 0;
    for (const InFile& inFile : probes)
        kept += inFile && inFile() ? 1 : 0;
    return kept;
}

int ItemStoreQueue::dropped()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    return q.dropped;
}

SqliteDb::Fault ItemStoreQueue::fault()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    return q.fault;
}

void ItemStoreQueue::reportFault(SqliteDb::Fault fault)
{
    if (fault == SqliteDb::Fault::None)
        return;
    Queue& q = queue();
    {
        QMutexLocker lock(&q.mutex);
        if (q.fault == fault)
            return;
        q.fault = fault;
    }
    emitChanged();
}

void ItemStoreQueue::setRetryDelay(int ms)
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    q.retryMs = qMax(1, ms);
}
