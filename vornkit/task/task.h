#pragma once

#include "sys/vornkit_global.h"

#include <QMetaType>
#include <QRunnable>
#include <QString>

#include <atomic>

// A pool job with the fields every job shares. The cancel flag and the status are
// written and read from different threads, hence atomic.
class VORNKIT_EXPORT Task : public QRunnable {
public:
    Task() = default;
    Task(const Task& other);
    Task& operator=(const Task& other);
    ~Task() override;

    void run() override { }

    void setCancel(bool cancel) { m_cancel.store(cancel ? 1 : 0); }
    bool getCancel() const { return m_cancel.load() > 0; }
    // 0 created, 1 running, 2 finished
    void setStatus(int status) { m_status.store(status); }
    int getStatus() const { return m_status.load(); }
    void setTaskId(int taskId) { m_taskId = taskId; }
    int getTaskId() const { return m_taskId; }
    void setError(int error) { m_error = error; }
    int getError() const { return m_error; }
    void setInfo(const QString& info) { m_info = info; }
    const QString& getInfo() const { return m_info; }
    void setErr(int error, const QString& info);

private:
    std::atomic<int> m_cancel { 0 };
    std::atomic<int> m_status { 0 };
    int m_taskId = 0;
    int m_error = 0;
    QString m_info;
};

Q_DECLARE_METATYPE(Task)
Q_DECLARE_METATYPE(Task*)
Q_DECLARE_METATYPE(const Task*)
