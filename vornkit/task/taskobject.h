#pragma once

#include "sys/vornkit_global.h"
#include "task/task.h"

#include <QObject>

// A pool job that reports its start, steps and end through taskStep. Each event carries
// a snapshot of the task: a copy that the receiver owns for the length of its slot.
class VORNKIT_EXPORT TaskObject : public QObject, public Task {
    Q_OBJECT
public:
    enum SignType {
        TaskStart = 10001,
        TaskEnd = 10002,
        TaskStep = 10003,
        TaskItemStart = 10011,
        TaskItemEnd = 10012,
    };

    explicit TaskObject(QObject* parent = nullptr);
    // The copy is a new parentless object with the task fields, signType and signData.
    TaskObject(const TaskObject& other);
    TaskObject& operator=(const TaskObject& other);
    ~TaskObject() override;

    // Sends the start event, runs exec(), marks the task finished and sends the end event.
    void run() override;

    int getSignType() const { return m_signType; }
    void setSignType(int signType) { m_signType = signType; }
    void* getSignData() const { return m_signData; }
    void setSignData(void* data) { m_signData = data; }

signals:
    void taskStep(TaskObject& info);

protected:
    // The job's work; checks getCancel() between steps.
    virtual void exec() { }

    void emit_task_start(void* data);
    void emit_task_end(void* data);
    void emit_task_step(void* data);
    void emit_task_item_start(void* data);
    void emit_task_item_end(void* data);

private:
    void emitSnapshot(int signType, void* data);

    int m_signType = 0;
    void* m_signData = nullptr; // not owned
};

Q_DECLARE_METATYPE(TaskObject)
Q_DECLARE_METATYPE(const TaskObject*)

// Registers Task and TaskObject (values, pointers and the reference aliases) so that
// taskStep can be queued across threads. Safe to call more than once.
VORNKIT_EXPORT void registerTaskMetaTypes();
