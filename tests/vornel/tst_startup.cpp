#include "appcfg.h"
#include "pooljob.h"
#include "sqlitedb.h"
#include "sqlitedbpool.h"
#include "standinwnd.h"
#include "startup.h"
#include "testutil.h"
#include "threadpools.h"

#include <QApplication>
#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSemaphore>
#include <QSqlQuery>
#include <QTest>
#include <QThreadPool>

#include <thread>

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void threadPools();
    void droppedJobsNeverHangShutDown();
    void poolsSettingsAndWindow();
    void programInEmptyFolder();
};

void TestStartup::threadPools()
{
    QCOMPARE(itemLoadThreadCount(1), 4);
    QCOMPARE(itemLoadThreadCount(2), 4);
    QCOMPARE(itemLoadThreadCount(6), 6);
    QCOMPARE(itemLoadThreadCount(16), 8);
    createThreadPools();
    QCOMPARE(itemLoadPool->maxThreadCount(), itemLoadThreadCount(QThread::idealThreadCount()));
    QCOMPARE(exivTagPool->maxThreadCount(), 2);
    QCOMPARE(itemStorePool->maxThreadCount(), 1);
    QCOMPARE(imageLoadPool->maxThreadCount(), 2);
    QCOMPARE(itemReleasePool->maxThreadCount(), 1);
    destroyThreadPools();
    QVERIFY(!itemLoadPool && !exivTagPool && !itemStorePool && !imageLoadPool && !itemReleasePool);
    destroyThreadPools(); // twice is harmless
}

void TestStartup::droppedJobsNeverHangShutDown()
{
    createThreadPools();
    // Every loader thread busy, so the next load job stays queued and is dropped at shut-down.
    QSemaphore gate;
    QAtomicInt running;
    const int threads = itemLoadPool->maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        runJob(itemLoadPool, [&] {
            running.fetchAndAddOrdered(1);
            gate.acquire();
        });
    }
    QTRY_COMPARE(running.loadAcquire(), threads);
    QAtomicInt dropRan, released;
    QFuture<int> dropped = runJob(itemLoadPool, [&] {
        dropRan.storeRelease(1);
        return 7;
    });
    // An item released at shut-down waits for its load job, as item destructors do.
    runJob(itemReleasePool, [&, dropped]() mutable {
        dropped.waitForFinished();
        released.storeRelease(1);
    });
    std::thread opener([&gate, threads] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate.release(threads);
    });
    destroyThreadPools();
    opener.join();
    QVERIFY(dropped.isFinished());
    QVERIFY(dropped.isCanceled());
    QCOMPARE(dropRan.loadAcquire(), 0);
    QCOMPARE(released.loadAcquire(), 1);

    // A job that runs hands back its result; a cancelled one is skipped.
    QThreadPool pool;
    QCOMPARE(runJob(&pool, [] { return 42; }).result(), 42);
    QSemaphore hold;
    pool.setMaxThreadCount(1);
    runJob(&pool, [&] { hold.acquire(); });
    QAtomicInt skippedRan;
    QFuture<void> skipped = runJob(&pool, [&] { skippedRan.storeRelease(1); });
    skipped.cancel();
    hold.release();
    skipped.waitForFinished();
    pool.waitForDone();
    QCOMPARE(skippedRan.loadAcquire(), 0);
}

void TestStartup::poolsSettingsAndWindow()
{
    testutil::ProgramDir dir;
    AppCfg::instance(0)->load();
    QVERIFY(openDbPools());
    QVERIFY(tagDbPool && thumbDbPool);
    QCOMPARE(tagDbPool->dbFile(), dir.path() + "/data/tag.db");
    SqliteDbPool* first = tagDbPool;
    QVERIFY(openDbPools());
    QCOMPARE(tagDbPool, first);
    {
        PooledDb<SqliteDb> db(thumbDbPool);
        QCOMPARE(db->getConName(), QString("thumb.db0"));
    }
    QVERIFY(QFile::exists(dir.file("data/tag.db")));
    QVERIFY(QFile::exists(dir.file("data/thumb.db")));

    QWidget* wnd = openMainWindow({ "vornel" });
    QVERIFY(wnd && wnd->isVisible());
    QCOMPARE(wnd->windowTitle(), QString("蔚禾照片管理"));
    QCOMPARE(StandInWnd::current(), wnd);
    QVERIFY(StandInWnd::current()->filePath().isEmpty());
    wnd->close();
    QTRY_VERIFY(!StandInWnd::current());

    // The path argument is passed on as it is: a backslash belongs to the name.
    const QString odd = dir.file("照片 a\\b.jpg");
    QCOMPARE(static_cast<StandInWnd*>(openMainWindow({ "vornel", odd }))->filePath(), odd);

    createThreadPools();
    AppCfg::instance(0)->lastPath = "/相册";
    shutDown();
    QVERIFY(!tagDbPool && !thumbDbPool && !itemLoadPool);
    const QJsonObject saved = QJsonDocument::fromJson(testutil::readBytes(dir.file("profile/vornel.cfg"))).object();
    QCOMPARE(saved["LastPath"].toString(), QString("/相册"));
    delete StandInWnd::current();
}

static QStringList sqliteNames(const QString& file, const char* type)
{
    QStringList out;
    SqliteDb db;
    if (!db.openDb(file, QString(), true))
        return out;
    QSqlQuery q(db.db());
    q.exec(
        QString("SELECT name FROM sqlite_master WHERE type='%1' AND name NOT LIKE 'sqlite_%' ORDER BY name").arg(type));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void TestStartup::programInEmptyFolder()
{
    const QString binDir = qEnvironmentVariable("VORN_BIN_DIR");
    if (binDir.isEmpty())
        QSKIP("VORN_BIN_DIR not set (run through ctest)");
    testutil::TempDir prog;
    testutil::TempDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VORN_PROGRAM_DIR", prog.path());
    env.insert("VORN_QUIT_AFTER_MS", "1500");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.file("config"));
    QProcess vornel;
    vornel.setProcessEnvironment(env);
    vornel.setProcessChannelMode(QProcess::ForwardedChannels);
    vornel.start(binDir + "/vornel", QStringList());
    QVERIFY2(vornel.waitForStarted(10000), qPrintable(vornel.errorString()));
    QVERIFY(vornel.waitForFinished(60000));
    QCOMPARE(vornel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(vornel.exitCode(), 0);

    const QString tagDb = prog.file("data/tag.db");
    QCOMPARE(sqliteNames(tagDb, "table"), QStringList({ "bookmark", "bookpath", "filetag", "histag" }));
    QCOMPARE(sqliteNames(tagDb, "index"),
        QStringList({ "bookmark.index.file", "bookmark.index.name", "bookpath.index.name", "filetag.index.file",
            "filetag.index.path", "filetag.index.star", "histag.index.name" }));
    const QString thumbDb = prog.file("data/thumb.db");
    QCOMPARE(sqliteNames(thumbDb, "table"), QStringList({ "imagecache" }));
    QCOMPARE(sqliteNames(thumbDb, "index"), QStringList({ "index.imagecache.file", "index.imagecache.path" }));

    const QJsonObject cfg = QJsonDocument::fromJson(testutil::readBytes(prog.file("profile/vornel.cfg"))).object();
    const QStringList itemKeys { "ItemSpace", "ItemWidth", "ItemHeight", "BorderSpace", "VerticalSpace",
        "HorizontalSpace", "TextHeight", "ButtonWidth", "ButtonHeight", "ColorHeight", "ShowImageSize", "ShowFileSize",
        "ShowFileName", "ShowColor", "ShowTag", "ShowItemBorder", "ShowColorBorder", "ShowTagBorder" };
    const QStringList listKeys { "BorderSpace", "ThumbWidth", "ThumbHeight", "ShowFileName", "ShowImageSize",
        "ShowFileSize", "CacheImageCount", "LoadThumbCount" };
    QVERIFY(cfg.contains("LastPath") && cfg.contains("fileAss"));
    for (const QString& k : itemKeys)
        QVERIFY2(cfg["item"].toObject()[k].isDouble(), qPrintable(k));
    for (const QString& k : listKeys)
        QVERIFY2(cfg["list"].toObject()[k].isDouble(), qPrintable(k));
    for (const char* k : { "CacheBigImage", "ThumbWidth", "ThumbHeight" })
        QVERIFY2(cfg["cache"].toObject()[k].isDouble(), k);
    for (const char* k : { "TagAutoSave", "TagSaveToFile" })
        QVERIFY2(cfg["tag"].toObject()[k].isDouble(), k);
    QCOMPARE(cfg["item"].toObject()["ShowFileName"].toInt(), 0);
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
