#include "common/testutil.h"
#include "task/pooljob.h"
#include "task/taskobject.h"

#include <QSemaphore>
#include <QSet>
#include <QTest>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <thread>

namespace {
// Records every snapshot it receives as "type status error cancel info", and the thread it came in.
class Receiver : public QObject {
public:
    QStringList events;
    QSet<QThread*> threads;
    void onStep(TaskObject& t)
    {
        events << QString("%1 %2 %3 %4 %5")
                      .arg(t.getSignType())
                      .arg(t.getStatus())
                      .arg(t.getError())
                      .arg(t.getCancel())
                      .arg(t.getInfo());
        if (t.getSignType() == TaskObject::TaskStep && !t.getSignData())
            events << "no data";
        threads << QThread::currentThread();
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
    void queuedAcrossThreadsAndCancel();
    void droppingJobsSparesQtWork();
};

void TestTask::queuedAcrossThreadsAndCancel()
{
    Receiver r;
    auto* task = new CountingTask;
    task->setAutoDelete(false);
    connect(task, &TaskObject::taskStep, &r, &Receiver::onStep);
    QThreadPool::globalInstance()->start(task);
    QTRY_COMPARE_WITH_TIMEOUT(r.events.size(), 14, 10000);
    QThreadPool::globalInstance()->waitForDone();
    delete task;
    // Each snapshot keeps the info of the moment of the emit.
    QStringList expected { "10001 1 0 0 " };
    for (int i = 1; i <= 10; ++i)
        expected << QString("10003 1 0 0 step %1").arg(i);
    expected << "10011 1 0 0 changed after the emit"
             << "10012 1 0 0 changed after the emit"
             << "10002 2 0 0 done";
    QCOMPARE(r.events, expected);
    QCOMPARE(r.threads, QSet<QThread*>({ QThread::currentThread() }));

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
    QVERIFY(r.events.first().startsWith("10001 "));
    QCOMPARE(r.events.last(), QString("10002 2 1 1 done"));
}

// Our queued jobs are taken back from the global pool; the pieces of a smooth scale that Qt queued there stay, so
// the thread that waits for them is never stranded.
void TestTask::droppingJobsSparesQtWork()
{
    QThreadPool* global = QThreadPool::globalInstance();
    const int threads = global->maxThreadCount();
    auto gate = std::make_shared<QSemaphore>();
    auto held = std::make_shared<QAtomicInt>();
    for (int i = 0; i < threads; ++i) {
        runJob(global, [gate, held] {
            held->fetchAndAddOrdered(1);
            gate->acquire();
        });
    }
    QTRY_COMPARE(held->loadAcquire(), threads);
    QFuture<int> ours = runJob(global, [] { return 1; });

    auto scaled = std::make_shared<std::atomic<bool>>(false);
    std::thread([scaled] {
        QImage big(4000, 3000, QImage::Format_RGB32);
        big.fill(Qt::red);
        *scaled = !big.scaled(800, 600, Qt::KeepAspectRatio, Qt::SmoothTransformation).isNull();
    }).detach();
    QTest::qWait(300); // the scale's pieces wait in the queue now

    dropQueuedJobs(global);
    QVERIFY(ours.isCanceled() && ours.isFinished());
    gate->release(threads);
    QTRY_VERIFY_WITH_TIMEOUT(scaled->load(), 10000);
    global->waitForDone();
}

QTEST_GUILESS_MAIN(TestTask)
#include "tst_task.moc"
