#include "taskobject.h"
#include "testutil.h"

#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

namespace {
struct Event {
    int type;
    int status;
    int error;
    QString info;
    void* data;
    bool cancel;
};

// Records every snapshot it receives, in the receiving thread.
class Receiver : public QObject {
public:
    QList<Event> events;
    QList<QThread*> threads;
    void onStep(TaskObject& info)
    {
        events.append({ info.getSignType(), info.getStatus(), info.getError(), info.getInfo(), info.getSignData(),
            info.getCancel() });
        threads.append(QThread::currentThread());
    }
};

// Steps until cancelled (or ten steps), changing its info after every emit.
class CountingTask : public TaskObject {
public:
    QSemaphore* started = nullptr;
    QSemaphore* proceed = nullptr;
    int steps = 0;

protected:
    void exec() override
    {
        if (started)
            started->release();
        if (proceed)
            proceed->acquire();
        static int marker = 0;
        while (!getCancel() && steps < 10) {
            ++steps;
            setErr(0, QString("step %1").arg(steps));
            emit_task_step(&marker);
            setInfo("changed after the emit");
        }
        emit_task_item_start(nullptr);
        emit_task_item_end(nullptr);
        setErr(getCancel() ? 1 : 0, "done");
    }
};
} // namespace

class TestTask : public QObject {
    Q_OBJECT
private slots:
    void fieldsAndCopies();
    void directEvents();
    void queuedAcrossThreadsAndCancel();
};

void TestTask::fieldsAndCopies()
{
    Task t;
    QCOMPARE(t.getCancel(), false);
    QCOMPARE(t.getStatus(), 0);
    QCOMPARE(t.getInfo(), QString());
    QVERIFY(t.autoDelete());
    t.setCancel(true);
    QVERIFY(t.getCancel());
    t.setCancel(false);
    QVERIFY(!t.getCancel());
    t.setCancel(true);
    t.setStatus(1);
    t.setTaskId(7);
    t.setErr(-3, "bad");
    Task c(t);
    QVERIFY(c.getCancel());
    QCOMPARE(c.getStatus(), 1);
    QCOMPARE(c.getTaskId(), 7);
    QCOMPARE(c.getError(), -3);
    QCOMPARE(c.getInfo(), QString("bad"));

    QObject parent;
    TaskObject o(&parent);
    o.setTaskId(3);
    o.setSignType(TaskObject::TaskStep);
    int payload = 0;
    o.setSignData(&payload);
    TaskObject copy(o);
    QCOMPARE(copy.parent(), nullptr);
    QCOMPARE(copy.getTaskId(), 3);
    QCOMPARE(copy.getSignType(), 10003);
    QCOMPARE(copy.getSignData(), static_cast<void*>(&payload));

    // Names queued connections look up.
    for (const char* name :
        { "Task", "Task&", "Task*", "const Task*", "TaskObject", "TaskObject&", "TaskObject*", "const TaskObject*" })
        QVERIFY2(QMetaType::type(name) != QMetaType::UnknownType, name);
    QCOMPARE(QMetaType::type("TaskObject&"), qMetaTypeId<TaskObject>());
}

void TestTask::directEvents()
{
    TaskObject task;
    Receiver r;
    connect(&task, &TaskObject::taskStep, &r, &Receiver::onStep);
    task.run();
    QCOMPARE(r.events.size(), 2);
    QCOMPARE(r.events[0].type, 10001);
    QCOMPARE(r.events[0].status, 1);
    QCOMPARE(r.events[1].type, 10002);
    QCOMPARE(r.events[1].status, 2);
    QCOMPARE(task.getStatus(), 2);
}

void TestTask::queuedAcrossThreadsAndCancel()
{
    Receiver r;
    auto* task = new CountingTask;
    task->setAutoDelete(false);
    connect(task, &TaskObject::taskStep, &r, &Receiver::onStep);
    QThreadPool::globalInstance()->start(task);
    QTRY_COMPARE_WITH_TIMEOUT(r.events.size(), 14, 10000);
    QThreadPool::globalInstance()->waitForDone();
    QCOMPARE(r.events.first().type, 10001);
    QCOMPARE(r.events.last().type, 10002);
    QCOMPARE(r.events.last().status, 2);
    QCOMPARE(r.events.last().info, QString("done"));
    for (int i = 1; i <= 10; ++i) {
        QCOMPARE(r.events[i].type, 10003);
        // The snapshot keeps the info of the moment of the emit.
        QCOMPARE(r.events[i].info, QString("step %1").arg(i));
        QVERIFY(r.events[i].data != nullptr);
    }
    QCOMPARE(r.events[11].type, 10011);
    QCOMPARE(r.events[12].type, 10012);
    for (QThread* t : r.threads)
        QCOMPARE(t, QThread::currentThread());
    delete task;

    // A task cancelled while it runs still ends with the end event.
    r.events.clear();
    QSemaphore started, proceed;
    auto* cancelled = new CountingTask;
    cancelled->started = &started;
    cancelled->proceed = &proceed;
    connect(cancelled, &TaskObject::taskStep, &r, &Receiver::onStep);
    QThreadPool::globalInstance()->start(cancelled);
    QVERIFY(started.tryAcquire(1, 10000));
    cancelled->setCancel(true);
    proceed.release();
    QThreadPool::globalInstance()->waitForDone();
    QTRY_COMPARE_WITH_TIMEOUT(r.events.size(), 4, 10000);
    QCOMPARE(r.events.first().type, 10001);
    QCOMPARE(r.events.last().type, 10002);
    QCOMPARE(r.events.last().error, 1);
    QVERIFY(r.events.last().cancel);
}

QTEST_GUILESS_MAIN(TestTask)
#include "tst_task.moc"
