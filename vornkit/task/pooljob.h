#pragma once

// Jobs whose future always finishes: a job that a pool's clear() drops before it ran reports itself
// cancelled and finished, so nobody waiting on its future hangs. (QtConcurrent::run jobs dropped that
// way never finish their futures.)

#include <QFuture>
#include <QFutureInterface>
#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <type_traits>
#include <utility>

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

// Queues fn on the pool (the global one when null); the returned future finishes when fn ran or was dropped.
template <class F> auto runJob(QThreadPool* pool, F&& fn) -> QFuture<std::invoke_result_t<F>>
{
    using T = std::invoke_result_t<F>;
    auto* job = new PoolJob<T>(std::function<T()>(std::forward<F>(fn)));
    QFuture<T> future = job->future();
    (pool ? pool : QThreadPool::globalInstance())->start(job);
    return future;
}
