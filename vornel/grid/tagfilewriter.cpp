#include "grid/tagfilewriter.h"

#include "grid/itemstorequeue.h"
#include "task/pooljob.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>
#include <QStringList>
#include <QThread>
#include <QThreadPool>
#include <QWaitCondition>

namespace {

// How long a failed write waits for the item's queued row to be stored before it tells what became of it.
const int kRowTurnMs = 3000;

// The item's row is not stored yet: its write is queued, running or refused.
bool databaseOwes(const ItemInfo& item)
{
    return item.storesPending() > 0 || ItemStoreQueue::waiting() > 0;
}

// After a failed write into the file: whether the database has not stored the item's row either. A row merely
// queued is given its turn first, so a database that works is not said to have refused it.
bool databaseRefused(const ItemInfo& item)
{
    QDeadlineTimer turn(kRowTurnMs);
    while (item.storesPending() > 0 && ItemStoreQueue::waiting() == 0 && !turn.hasExpired())
        QThread::msleep(10);
    return item.storesPending() > 0;
}

} // namespace

struct TagFileWriter::State {
    struct Request {
        ItemInfoPtr item;
        QList<int> batches;
    };
    struct Batch {
        int left = 0;
        int written = 0;
        int unchanged = 0;
        int failed = 0;
        int failedUnstored = 0; // failed while the database had not stored them either
        QString firstFailure; // “name”: why
        bool open = true; // more files may come (openBatch)
    };
    mutable QMutex mutex;
    QWaitCondition idle;
    QHash<QString, Request> waiting; // per file, the request its next write serves
    QStringList order; // files waiting for a worker, first come first
    QSet<QString> running; // files being written
    QHash<int, Batch> batches;
    int nextBatch = 1;
    int workers = 0;
};

TagFileWriter::State& TagFileWriter::state() const
{
    static State s;
    return s;
}

TagFileWriter* TagFileWriter::instance()
{
    static TagFileWriter* writer = new TagFileWriter();
    return writer;
}

int TagFileWriter::maxParallel()
{
    return qBound(2, QThread::idealThreadCount() / 2, 4);
}

int TagFileWriter::write(const QList<ItemInfoPtr>& items)
{
    const int batch = openBatch();
    add(batch, items);
    closeBatch(batch);
    return batch;
}

int TagFileWriter::openBatch()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    const int batch = s.nextBatch++;
    s.batches[batch];
    return batch;
}

void TagFileWriter::add(int batch, const QList<ItemInfoPtr>& items)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    State::Batch& b = s.batches[batch];
    for (const ItemInfoPtr& item : items) {
        if (!item)
            continue;
        const QString file = item->fileInfo.absoluteFilePath();
        // A file waiting is in order already; one being written goes back there when its write ends.
        const bool known = s.waiting.contains(file) || s.running.contains(file);
        State::Request& r = s.waiting[file];
        if (r.item != item) {
            if (r.item)
                --r.item->fileWritesPending;
            r.item = item;
            ++item->fileWritesPending;
        }
        r.batches.append(batch);
        ++b.left;
        if (!known)
            s.order.append(file);
    }
    lock.unlock();
    startWorkers();
}

void TagFileWriter::closeBatch(int batch)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    auto it = s.batches.find(batch);
    if (it == s.batches.end())
        return;
    it->open = false;
    if (it->left == 0)
        endBatch(batch);
}

void TagFileWriter::startWorkers()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    while (s.workers < maxParallel() && s.workers < s.order.size()) {
        ++s.workers;
        runJob(QThreadPool::globalInstance(), [this] { work(); });
    }
}

void TagFileWriter::work()
{
    State& s = state();
    for (;;) {
        State::Request request;
        QString file;
        {
            QMutexLocker lock(&s.mutex);
            if (s.order.isEmpty()) {
                --s.workers;
                s.idle.wakeAll();
                return;
            }
            file = s.order.takeFirst();
            request = s.waiting.take(file);
            s.running.insert(file);
        }
        bool unchanged = false;
        int result = -1;
        QString why;
        try {
            result = request.item->saveTagsToFile(&unchanged, &why);
        } catch (const std::exception&) {
        }
        const bool unstored = result < 0 && databaseRefused(*request.item);
        if (result < 0)
            qWarning("Tags not written into %s (%s); %s", qPrintable(file), qPrintable(why),
                unstored ? "the database has not stored them yet either (tried again while the program runs)"
                         : "they are kept in the database");
        --request.item->fileWritesPending;
        request.item.reset();

        QMutexLocker lock(&s.mutex);
        s.running.remove(file);
        // A newer request came while this one was written: it goes after it.
        if (s.waiting.contains(file))
            s.order.append(file);
        for (int id : request.batches) {
            auto it = s.batches.find(id);
            if (it == s.batches.end())
                continue;
            State::Batch& b = it.value();
            (result < 0 ? b.failed : unchanged ? b.unchanged : b.written) += 1;
            if (result < 0 && b.firstFailure.isEmpty())
                b.firstFailure = QStringLiteral("“%1”：%2")
                                     .arg(QFileInfo(file).fileName(), why.isEmpty() ? QStringLiteral("写入失败") : why);
            if (unstored)
                ++b.failedUnstored;
            if (--b.left == 0 && !b.open)
                endBatch(id);
        }
    }
}

void TagFileWriter::endBatch(int id)
{
    // Under the lock.
    const State::Batch done = state().batches.take(id);
    QMetaObject::invokeMethod(
        this,
        [this, id, done] {
            emit batchDone(id, done.written, done.unchanged, done.failed, done.failedUnstored, done.firstFailure);
        },
        Qt::QueuedConnection);
}

int TagFileWriter::pending() const
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    return s.waiting.size() + s.running.size();
}

int TagFileWriter::dropWaiting()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    const QHash<QString, State::Request> left = s.waiting;
    s.waiting.clear();
    s.order.clear();
    s.batches.clear();
    lock.unlock();
    for (auto it = left.begin(); it != left.end(); ++it) {
        qWarning("Tags not written into %s (closed before it could be); %s", qPrintable(it.key()),
            databaseOwes(*it.value().item) ? "the database has not stored them yet either"
                                           : "they are kept in the database");
        --it.value().item->fileWritesPending;
    }
    return left.size();
}

int TagFileWriter::finish(int ms)
{
    TagFileWriter* writer = instance();
    State& s = writer->state();
    const QDeadlineTimer deadline(ms);
    {
        QMutexLocker lock(&s.mutex);
        while ((s.workers > 0 || !s.order.isEmpty()) && !deadline.hasExpired()) {
            if (s.workers == 0) {
                // No worker left to take them (the pool dropped them): start one.
                lock.unlock();
                writer->startWorkers();
                lock.relock();
                continue;
            }
            s.idle.wait(&s.mutex, deadline);
        }
    }
    return writer->dropWaiting();
}
