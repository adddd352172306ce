#pragma once

// Jobs whose future always finishes: a job that a pool's clear() drops before it ran reports itself
// cancelled and finished, so nobody waiting on its future hangs. (QtConcurrent::run jobs dropped that
// way never finish their futures.)
//
// Never clear() the global pool: Qt queues pieces of its own work there (a large smooth QImage::scaled is
// split into pieces that its caller waits for), and a caller whose pieces were dropped waits for good.
// dropQueuedJobs() takes back only the jobs queued through runJob.

#include "sys/vornkit_global.h"

#include <QFuture>
#include <QFutureInterface>
#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <type_traits>
#include <utility>

namespace pooljob {
// Bookkeeping of the jobs queued through runJob, so that they alone can be taken back from a pool.
VORNKIT_EXPORT void queued(QThreadPool* pool, QRunnable* job);
VORNKIT_EXPORT void left(QRunnable* job);
} // namespace pooljob

// Takes back from the pool every job queued through runJob that has not started (they report themselves
// cancelled); Qt's own work and other runnables stay queued.
VORNKIT_EXPORT void dropQueuedJobs(QThreadPool* pool);

template <class T> class PoolJob : public QRunnable {
public:
    explicit PoolJob(std::function<T()> fn)
        : m_fn(std::move(fn))
    {
        setAutoDelete(true);
        m_fi.reportStarted();
    }
    ~PoolJob() override
    {
        pooljob::left(this);
        if (!m_fi.isFinished()) {
            m_fi.reportCanceled();
            m_fi.reportFinished();
        }
    }
    PoolJob(const PoolJob&) = delete;
    PoolJob& operator=(const PoolJob&) = delete;

    QFuture<T> future() { return m_fi.future(); }

    void run() override
    {
        pooljob::left(this);
        if (!m_fi.isCanceled()) {
            if constexpr (std::is_void_v<T>) {
                m_fn();
            } else {
                T result = m_fn();
                m_fi.reportResult(result);
            }
        }
        m_fi.reportFinished();
    }

private:
    std::function<T()> m_fn;
    QFutureInterface<T> m_fi;
};

// Queues fn on the pool (the global one when null), ahead of the queued jobs of lower priority; the returned future
// finishes when fn ran or was dropped.
template <class F> auto runJob(QThreadPool* pool, F&& fn, int priority = 0) -> QFuture<std::invoke_result_t<F>>
{
    using T = std::invoke_result_t<F>;
    auto* job = new PoolJob<T>(std::function<T()>(std::forward<F>(fn)));
    QFuture<T> future = job->future();
    QThreadPool* target = pool ? pool : QThreadPool::globalInstance();
    pooljob::queued(target, job);
    target->start(job, priority);
    return future;
}
