#include "task/taskobject.h"

#include <mutex>

TaskObject::TaskObject(QObject* parent)
    : QObject(parent)
{
    registerTaskMetaTypes();
}

TaskObject::TaskObject(const TaskObject& other)
    : QObject(nullptr)
    , Task(other)
    , m_signType(other.m_signType)
    , m_signData(other.m_signData)
{
}

TaskObject& TaskObject::operator=(const TaskObject& other)
{
    Task::operator=(other);
    m_signType = other.m_signType;
    m_signData = other.m_signData;
    return *this;
}

TaskObject::~TaskObject() = default;

void TaskObject::run()
{
    setStatus(1);
    emit_task_start(nullptr);
    exec();
    setStatus(2);
    emit_task_end(nullptr);
}

void TaskObject::emitSnapshot(int signType, void* data)
{
    TaskObject snapshot;
    snapshot.Task::operator=(*this);
    snapshot.m_signType = signType;
    snapshot.m_signData = data;
    emit taskStep(snapshot);
}

void TaskObject::emit_task_start(void* data)
{
    emitSnapshot(TaskStart, data);
}

void TaskObject::emit_task_end(void* data)
{
    emitSnapshot(TaskEnd, data);
}

void TaskObject::emit_task_step(void* data)
{
    emitSnapshot(TaskStep, data);
}

void TaskObject::emit_task_item_start(void* data)
{
    emitSnapshot(TaskItemStart, data);
}

void TaskObject::emit_task_item_end(void* data)
{
    emitSnapshot(TaskItemEnd, data);
}

void registerTaskMetaTypes()
{
    static std::once_flag once;
    std::call_once(once, [] {
        qRegisterMetaType<Task*>("Task*");
        qRegisterMetaType<const Task*>("const Task*");
        qRegisterMetaType<Task>("Task");
        qRegisterMetaType<Task>("Task&");
        qRegisterMetaType<Task>("const Task&");
        qRegisterMetaType<TaskObject*>("TaskObject*");
        qRegisterMetaType<const TaskObject*>("const TaskObject*");
        qRegisterMetaType<TaskObject>("TaskObject");
        qRegisterMetaType<TaskObject>("TaskObject&");
        qRegisterMetaType<TaskObject>("const TaskObject&");
    });
}
