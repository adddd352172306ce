#include "task/pooljob.h"

#include <QHash>
#include <QList>
#include <QMutexLocker>
#include <QRecursiveMutex>

namespace {

// Recursive: a job taken back is deleted while the lock is held, and its destructor leaves the registry.
QRecursiveMutex& registryMutex()
{
    static QRecursiveMutex m;
    return m;
}

QHash<QRunnable*, QThreadPool*>& registry()
{
    static QHash<QRunnable*, QThreadPool*> r;
    return r;
}

} // namespace

namespace pooljob {

void queued(QThreadPool* pool, QRunnable* job)
{
    QMutexLocker lock(&registryMutex());
    registry().insert(job, pool);
}

void left(QRunnable* job)
{
    QMutexLocker lock(&registryMutex());
    registry().remove(job);
}

} // namespace pooljob

void dropQueuedJobs(QThreadPool* pool)
{
    // Held throughout: a job that starts meanwhile cannot be deleted (its destructor waits for the lock), so its
    // address is never reused by another runnable while it is looked for in the queue.
    QMutexLocker lock(&registryMutex());
    QList<QRunnable*> jobs;
    for (auto it = registry().cbegin(); it != registry().cend(); ++it) {
        if (it.value() == pool)
            jobs << it.key();
    }
    for (QRunnable* job : jobs) {
        if (pool->tryTake(job))
            delete job;
    }
}
