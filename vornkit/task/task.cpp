#include "task/task.h"

Task::Task(const Task& other)
    : QRunnable()
{
    *this = other;
}

Task& Task::operator=(const Task& other)
{
    if (this == &other)
        return *this;
    m_cancel.store(other.m_cancel.load());
    m_status.store(other.m_status.load());
    m_taskId = other.m_taskId;
    m_error = other.m_error;
    m_info = other.m_info;
    return *this;
}

Task::~Task() = default;

void Task::setErr(int error, const QString& info)
{
    m_error = error;
    m_info = info;
}
