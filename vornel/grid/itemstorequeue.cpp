#include "grid/itemstorequeue.h"

#include "app/threadpools.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutex>
#include <QMutexLocker>
#include <QRunnable>
#include <QThreadPool>
#include <QWaitCondition>

#include <deque>

namespace {

struct Entry {
    QString what;
    ItemStoreQueue::Write write;
    ItemStoreQueue::Done done;
};

struct Queue {
    QMutex mutex;
    QWaitCondition changed;
    std::deque<Entry> entries;
    bool draining = false; // a drainer is queued or running
    int running = 0; // entries being written
};

Queue& queue()
{
    static Queue q;
    return q;
}

// Ahead of the new rows and thumbnails queued on the store pool.
const int kPriority = 10;

void runEntry(Entry& e)
{
    bool ok = false;
    try {
        ok = e.write && e.write();
    } catch (const std::exception&) {
    }
    if (!ok)
        qWarning("Tag edit not stored in the database: %s", qPrintable(e.what));
    if (e.done)
        e.done(ok);
}

} // namespace

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
                    return;
                }
                e = std::move(q.entries.front());
                q.entries.pop_front();
                ++q.running;
            }
            runEntry(e);
            QMutexLocker lock(&q.mutex);
            --q.running;
            q.changed.wakeAll();
        }
    }

private:
    bool m_ran = false;
};

void ItemStoreQueue::startDrainer()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    if (q.draining || q.entries.empty() || !itemStorePool)
        return;
    q.draining = true;
    itemStorePool->start(new Drainer(), kPriority);
}

void ItemStoreQueue::post(const QString& what, Write write, Done done)
{
    Entry e { what, std::move(write), std::move(done) };
    if (!itemStorePool) {
        runEntry(e);
        return;
    }
    {
        Queue& q = queue();
        QMutexLocker lock(&q.mutex);
        q.entries.push_back(std::move(e));
    }
    startDrainer();
}

int ItemStoreQueue::finish(int ms)
{
    Queue& q = queue();
    const QDeadlineTimer deadline(ms);
    QMutexLocker lock(&q.mutex);
    while (!deadline.hasExpired()) {
        if (q.entries.empty() && q.running == 0)
            return 0;
        if (q.draining) {
            q.changed.wait(&q.mutex, deadline);
            continue;
        }
        // No drainer (the pool is gone or dropped it): the writes run here.
        Entry e = std::move(q.entries.front());
        q.entries.pop_front();
        ++q.running;
        lock.unlock();
        runEntry(e);
        lock.relock();
        --q.running;
    }
    std::deque<Entry> left;
    left.swap(q.entries);
    lock.unlock();
    for (Entry& e : left) {
        qWarning("Tag edit not stored in the database (closed before it could be): %s", qPrintable(e.what));
        if (e.done)
            e.done(false);
    }
    return int(left.size());
}

int ItemStoreQueue::pending()
{
    Queue& q = queue();
    QMutexLocker lock(&q.mutex);
    return int(q.entries.size()) + q.running;
}
