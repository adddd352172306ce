#pragma once

#include "task/pooljob.h"

#include <QFuture>
#include <QFutureWatcher>

#include <functional>
#include <optional>
#include <utility>

// One background job at a time for a panel, and only the newest request's result: a request made while a job
// runs waits (a newer one replaces it) and the running job's result is dropped. The GUI thread never waits; the
// jobs must own what they touch (capture by value).
template <class T> class LatestJob {
public:
    using Job = std::function<T()>;
    using Done = std::function<void(const T&)>;

    explicit LatestJob(Done done, QThreadPool* pool = nullptr)
        : m_done(std::move(done))
        , m_pool(pool)
    {
        QObject::connect(&m_watcher, &QFutureWatcher<T>::finished, &m_watcher, [this] { onFinished(); });
    }
    // A job not yet started is dropped; a running one ends on its own.
    ~LatestJob()
    {
        m_watcher.disconnect();
        m_future.cancel();
    }
    LatestJob(const LatestJob&) = delete;
    LatestJob& operator=(const LatestJob&) = delete;

    void request(Job job)
    {
        if (m_running) {
            m_pending = std::move(job);
            return;
        }
        start(std::move(job));
    }
    // A job runs or waits, or a result is still to be handed over.
    bool isBusy() const { return m_running || m_pending.has_value(); }

private:
    void start(Job job)
    {
        m_running = true;
        m_future = runJob(m_pool, std::move(job));
        m_watcher.setFuture(m_future);
    }
    void onFinished()
    {
        m_running = false;
        if (m_pending) {
            Job next = std::move(*m_pending);
            m_pending.reset();
            start(std::move(next));
            return;
        }
        if (!m_future.isCanceled() && m_future.resultCount() > 0)
            m_done(m_future.result());
    }

    Done m_done;
    QThreadPool* m_pool;
    QFutureWatcher<T> m_watcher;
    QFuture<T> m_future;
    std::optional<Job> m_pending;
    bool m_running = false;
};
