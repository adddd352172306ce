#include "app/threadpools.h"

#include "task/pooljob.h"

#include <QThread>
#include <QThreadPool>

QThreadPool* itemLoadPool = nullptr;
QThreadPool* exivTagPool = nullptr;
QThreadPool* itemStorePool = nullptr;
QThreadPool* imageLoadPool = nullptr;
QThreadPool* itemReleasePool = nullptr;

int itemLoadThreadCount(int ideal)
{
    return qMax(qMin(ideal, 8), 4);
}

namespace {

void makePool(QThreadPool*& pool, int threads)
{
    if (!pool)
        pool = new QThreadPool();
    pool->setMaxThreadCount(threads);
}

void finishPool(QThreadPool*& pool, bool dropQueued)
{
    if (!pool)
        return;
    if (dropQueued)
        pool->clear();
    pool->waitForDone(-1);
    delete pool;
    pool = nullptr;
}

} // namespace

void createThreadPools()
{
    makePool(itemLoadPool, itemLoadThreadCount(QThread::idealThreadCount()));
    makePool(exivTagPool, 2);
    makePool(itemStorePool, 1);
    makePool(imageLoadPool, 2);
    makePool(itemReleasePool, 1);
}

void destroyThreadPools()
{
    QThreadPool* global = QThreadPool::globalInstance();
    dropQueuedJobs(global);
    for (QThreadPool* pool : { itemLoadPool, exivTagPool, itemStorePool, imageLoadPool }) {
        if (pool)
            pool->clear();
    }
    global->waitForDone(-1);
    finishPool(itemLoadPool, true);
    finishPool(exivTagPool, true);
    finishPool(itemStorePool, true);
    finishPool(imageLoadPool, true);
    // Not cleared: every item handed over for release is destroyed.
    finishPool(itemReleasePool, false);
}
