#include "app/appcfg.h"
#include "app/startup.h"
#include "app/threadpools.h"
#include "common/photomaker.h"
#include "common/testutil.h"
#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "grid/iteminfo.h"
#include "grid/itemstorequeue.h"
#include "manager/picmgr.h"
#include "meta/exivutil.h"
#include "records/histaglist.h"
#include "task/pooljob.h"
#include "viewer/filelistwidget.h"
#include "viewer/picview.h"

#include <QApplication>
#include <QAtomicInt>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QProcess>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

#include <thread>

#include <sys/stat.h>

namespace {

// The program runs in its own folders and closes itself after quitAfterMs.
QProcessEnvironment programEnv(const testutil::TempDir& prog, const testutil::TempDir& home, int quitAfterMs)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("VORN_PROGRAM_DIR", prog.path());
    env.insert("VORN_QUIT_AFTER_MS", QString::number(quitAfterMs));
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.file("config"));
    return env;
}

// Runs the program in its own folders with LastPath set, closing itself after quitAfterMs; its exit code, or -1
// when it crashed or had to be killed after 30 s. *tookMs gets how long it ran.
int runProgram(const testutil::TempDir& prog, const QString& lastPath, const QStringList& args, int quitAfterMs,
    qint64* tookMs = nullptr, qint64 fileSizeLimit = 0)
{
    testutil::TempDir home;
    QDir().mkpath(prog.file("profile"));
    testutil::writeBytes(
        prog.file("profile/vornel.cfg"), QJsonDocument(QJsonObject { { "LastPath", lastPath } }).toJson());
    QProcess vornel;
    vornel.setProcessEnvironment(programEnv(prog, home, quitAfterMs));
    vornel.setProcessChannelMode(QProcess::ForwardedChannels);
    QElapsedTimer t;
    t.start();
    const QString binary = testutil::programPath("vornel");
    if (fileSizeLimit > 0)
        testutil::startUnderFileSizeLimit(vornel, binary, args, fileSizeLimit);
    else
        vornel.start(binary, args);
    const bool ended = vornel.waitForStarted(10000) && vornel.waitForFinished(30000);
    if (tookMs)
        *tookMs = t.elapsed();
    if (!ended) {
        vornel.kill();
        vornel.waitForFinished();
        return -1;
    }
    return vornel.exitStatus() == QProcess::NormalExit ? vornel.exitCode() : -1;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void droppedJobsNeverHangShutDown();
    void poolsSettingsAndWindow();
    void textTagListReadyForTheWindow();
    void programInEmptyFolder();
    void databaseLockedByAnotherProgram();
    void fifoNeverHoldsTheProgram();
    void fileSizeLimitEndsNothing();
    void unstoredEditsNamedAtClose();
};

void TestStartup::droppedJobsNeverHangShutDown()
{
    QCOMPARE(QList<int>({ itemLoadThreadCount(1), itemLoadThreadCount(6), itemLoadThreadCount(16) }),
        QList<int>({ 4, 6, 8 }));
    createThreadPools();
    QCOMPARE(itemLoadPool->maxThreadCount(), itemLoadThreadCount(QThread::idealThreadCount()));
    QCOMPARE(itemStorePool->maxThreadCount(), 1); // one writer
    destroyThreadPools();
    destroyThreadPools(); // twice is harmless

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
}

void TestStartup::poolsSettingsAndWindow()
{
    testutil::ProgramDir dir;
    AppCfg::instance(0)->load();
    QVERIFY(openDbPools());
    QCOMPARE(tagDbPool->dbFile(), dir.path() + "/data/tag.db");
    SqliteDbPool* first = tagDbPool;
    QVERIFY(openDbPools());
    QCOMPARE(tagDbPool, first);

    QWidget* wnd = openMainWindow({ "vornel" });
    QVERIFY(wnd && wnd->isVisible());
    QCOMPARE(PicMgr::current(), wnd);
    wnd->close();
    QTRY_VERIFY(!PicMgr::current());

    // A photo argument opens the viewer on it, its folder listed so that stepping works; the path is passed on as it
    // is: a backslash belongs to the name.
    createThreadPools();
    const QString photo = testutil::makeImage(dir.path(), "照片 a\\b.jpg", 40, 30);
    QVERIFY(!testutil::makeImage(dir.path(), "照片 c.jpg", 40, 30).isEmpty());
    auto* viewer = qobject_cast<PicView*>(openMainWindow({ "vornel", photo }));
    QVERIFY(viewer && viewer->isVisible() && !PicMgr::current());
    QTRY_COMPARE(viewer->fileList()->count(), 2);
    QVERIFY(viewer->fileList()->currentInfo());
    QCOMPARE(viewer->fileList()->currentInfo()->fileInfo.absoluteFilePath(), photo);
    viewer->close();
    QTRY_VERIFY(!PicView::current());
    destroyThreadPools();

    // Missing, or a link to a FIFO: named in a message on the manager, never opened.
    const QString missing = dir.file("不在 a.jpg");
    QWidget* refused = openMainWindow({ "vornel", missing });
    QVERIFY(refused && refused == PicMgr::current() && !PicView::current());
    QTRY_VERIFY(!refused->findChildren<QMessageBox*>().isEmpty());
    QVERIFY(refused->findChildren<QMessageBox*>().last()->text().endsWith(missing));
    const QString fifo = dir.file("pipe");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QVERIFY(QFile::link(fifo, dir.file("pipe.jpg")));
    QCOMPARE(openMainWindow({ "vornel", dir.file("pipe.jpg") }), refused);
    QVERIFY(refused->findChildren<QMessageBox*>().last()->text().contains("不是一个普通文件"));
    QVERIFY(!PicView::current());
    // A folder is the one the manager opens.
    openMainWindow({ "vornel", dir.path() });
    QCOMPARE(AppCfg::current()->lastPath, dir.path());

    createThreadPools();
    AppCfg::instance(0)->lastPath = "/相册";
    shutDown();
    QVERIFY(!tagDbPool && !thumbDbPool && !itemLoadPool);
    const QJsonObject saved = QJsonDocument::fromJson(testutil::readBytes(dir.file("profile/vornel.cfg"))).object();
    QCOMPARE(saved["LastPath"].toString(), QString("/相册"));
    delete PicView::current();
    delete PicMgr::current();
}

void TestStartup::textTagListReadyForTheWindow()
{
    testutil::ProgramDir dir;
    closeDbPools();
    {
        TagDb db;
        QVERIFY(db.openDb(dir.file("data/tag.db"), "histag-setup", false));
        QVERIFY(db.execNoQuery("insert into [histag] values ('海边')"));
        QVERIFY(db.execNoQuery("insert into [histag] values ('family')"));
    }
    AppCfg::instance(1)->load();
    HisTagList::m_hisTags.clear();
    // The stored list is there before any event runs, so the manager's keyword picker offers it.
    QVERIFY(openDbPools());
    QCOMPARE(HisTagList::m_hisTags, QStringList({ "海边", "family" }));
    QWidget* wnd = openMainWindow({ "vornel" });
    QVERIFY(wnd);
    QCOMPARE(wnd->findChild<QComboBox*>("cbTextTag")->count(), 2);
    delete wnd;
    closeDbPools();

    // Held by another program: start-up does not wait for it.
    HisTagList::m_hisTags.clear();
    TagDb locker;
    QVERIFY(locker.openDb(dir.file("data/tag.db"), "histag-locker", false));
    QVERIFY(locker.execNoQuery("BEGIN EXCLUSIVE"));
    QElapsedTimer took;
    took.start();
    QVERIFY(openDbPools());
    QVERIFY2(took.elapsed() < 1000, qPrintable(QString::number(took.elapsed())));
    QVERIFY(HisTagList::m_hisTags.isEmpty());
    QVERIFY(locker.execNoQuery("ROLLBACK"));
    QThreadPool::globalInstance()->waitForDone();
    closeDbPools();
    AppCfg::release();
}

void TestStartup::programInEmptyFolder()
{
    testutil::TempDir prog;
    testutil::TempDir home;
    QProcess vornel;
    vornel.setProcessEnvironment(programEnv(prog, home, 1500));
    vornel.setProcessChannelMode(QProcess::ForwardedChannels);
    vornel.start(testutil::programPath("vornel"), QStringList());
    QVERIFY2(vornel.waitForStarted(10000), qPrintable(vornel.errorString()));
    QVERIFY(vornel.waitForFinished(60000));
    QCOMPARE(vornel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(vornel.exitCode(), 0);

    SqliteDb tagDb, thumbDb;
    QVERIFY(tagDb.openDb(prog.file("data/tag.db"), "tag", true));
    QVERIFY(thumbDb.openDb(prog.file("data/thumb.db"), "thumb", true));
    QCOMPARE(testutil::schemaNames(tagDb, "table"), QStringList({ "bookmark", "bookpath", "filetag", "histag" }));
    QCOMPARE(testutil::schemaNames(tagDb, "index"),
        QStringList({ "bookmark.index.file", "bookmark.index.name", "bookpath.index.name", "filetag.index.file",
            "filetag.index.path", "filetag.index.star", "histag.index.name" }));
    QCOMPARE(testutil::schemaNames(thumbDb, "table"), QStringList({ "imagecache" }));
    QCOMPARE(
        testutil::schemaNames(thumbDb, "index"), QStringList({ "index.imagecache.file", "index.imagecache.path" }));

    // Every key of every section is written.
    const QJsonObject cfg = QJsonDocument::fromJson(testutil::readBytes(prog.file("profile/vornel.cfg"))).object();
    const QMap<QString, QStringList> keys {
        { "item",
            { "ItemSpace", "ItemWidth", "ItemHeight", "BorderSpace", "VerticalSpace", "HorizontalSpace", "TextHeight",
                "ButtonWidth", "ButtonHeight", "ColorHeight", "ShowImageSize", "ShowFileSize", "ShowFileName",
                "ShowColor", "ShowTag", "ShowItemBorder", "ShowColorBorder", "ShowTagBorder" } },
        { "list",
            { "BorderSpace", "ThumbWidth", "ThumbHeight", "ShowFileName", "ShowImageSize", "ShowFileSize",
                "CacheImageCount", "LoadThumbCount" } },
        { "cache", { "CacheBigImage", "ThumbWidth", "ThumbHeight" } }, { "tag", { "TagAutoSave", "TagSaveToFile" } }
    };
    QVERIFY(cfg.contains("LastPath") && cfg.contains("fileAss"));
    for (auto it = keys.begin(); it != keys.end(); ++it) {
        QCOMPARE(cfg[it.key()].toObject().size(), it.value().size());
        for (const QString& k : it.value())
            QVERIFY2(cfg[it.key()].toObject()[k].isDouble(), qPrintable(it.key() + "/" + k));
    }
    QCOMPARE(cfg["item"].toObject()["ShowFileName"].toInt(), 0);
}

void TestStartup::databaseLockedByAnotherProgram()
{
    testutil::TempDir prog, photos;
    for (const char* name : { "a.jpg", "b.png", "c.jpg" })
        QVERIFY(!testutil::makeImage(photos.path(), name, 640, 480).isEmpty());
    // This test is the other program: it holds the tag database for the whole run.
    TagDb locker;
    QVERIFY(locker.openDb(prog.file("data/tag.db"), "locker", false));
    QVERIFY(locker.execNoQuery("BEGIN EXCLUSIVE"));
    // Shown, listed, closed and ended, all while the lock is held: neither start-up nor closing waits as long as
    // one busy wait (5 s).
    qint64 took = 0;
    QCOMPARE(runProgram(prog, photos.path(), {}, 500, &took), 0);
    QVERIFY2(took < 4500, qPrintable(QString::number(took)));
    QVERIFY(locker.execNoQuery("ROLLBACK"));
}

void TestStartup::fifoNeverHoldsTheProgram()
{
    testutil::TempDir prog, photos;
    QVERIFY(!testutil::makeImage(photos.path(), "照片.jpg").isEmpty());
    QCOMPARE(mkfifo(QFile::encodeName(photos.file(".pipe")).constData(), 0600), 0);
    QVERIFY(QFile::link(photos.file(".pipe"), photos.file("pipe.jpg")));
    // The folder that holds the link is listed and loaded, the link itself is the argument: the program closes,
    // its settings saved whole.
    QCOMPARE(runProgram(prog, photos.path(), { photos.file("pipe.jpg") }, 1500), 0);
    const QJsonObject cfg = QJsonDocument::fromJson(testutil::readBytes(prog.file("profile/vornel.cfg"))).object();
    QCOMPARE(cfg["LastPath"].toString(), photos.path());
    QVERIFY(cfg.contains("item") && cfg.contains("cache"));
}

void TestStartup::fileSizeLimitEndsNothing()
{
    // Under a file-size limit the thumbnail cache cannot take the folder's thumbnails: those writes fail, the
    // program goes on and closes normally, its settings saved whole.
    testutil::TempDir prog, photos;
    for (int i = 0; i < 40; ++i)
        QVERIFY(!photomaker::makePhoto(photos.path(), QString("照片 %1.jpg").arg(i), false, 800, 600).isEmpty());
    QCOMPARE(runProgram(prog, photos.path(), {}, 4000, nullptr, 128 * 1024), 0);
    const QJsonObject cfg = QJsonDocument::fromJson(testutil::readBytes(prog.file("profile/vornel.cfg"))).object();
    QCOMPARE(cfg["LastPath"].toString(), photos.path());
}

void TestStartup::unstoredEditsNamedAtClose()
{
    testutil::ProgramDir dir;
    initExiv2();
    AppCfg::instance(0)->load();
    AppCfg::instance()->tag.tagSaveToFile = 0;
    QVERIFY(openDbPools());
    createThreadPools();
    // Another program holds the database past closing (reads still go through): the edits wait, then are named.
    TagDb other;
    QVERIFY(other.openDb(dir.file("data/tag.db"), "holder", true));
    QVERIFY(other.execNoQuery("BEGIN IMMEDIATE"));
    ItemStoreQueue::setRetryDelay(60000);
    SqliteDb::limitWaits(0);
    // A new photo whose row waited with its edit, gone before closing: there is nothing left to store for it.
    const QString gone = testutil::makeImage(dir.path(), "走了.jpg", 40, 30);
    ItemInfoPtr goneInfo(new ItemInfo());
    goneInfo->setFile(gone);
    QCOMPARE(goneInfo->load(), 0);
    QVERIFY(QTest::qWaitFor([&] { return goneInfo->tagReady == 1 && !goneInfo->isBusy(); }, 20000));
    QVERIFY(goneInfo->setStar(3));
    QTRY_VERIFY_WITH_TIMEOUT(ItemStoreQueue::waiting() > 0, 10000);
    QVERIFY(QFile::remove(gone));
    // A new photo whose row is being written at the close: its edit is left to no job that may not finish.
    SqliteDb::limitWaits(-1);
    const QString fresh = testutil::makeImage(dir.path(), "新 照片.jpg", 40, 30);
    ItemInfoPtr freshInfo(new ItemInfo());
    freshInfo->setFile(fresh);
    QCOMPARE(freshInfo->load(), 0);
    QVERIFY(QTest::qWaitFor([&] { return freshInfo->tagReady == 1; }, 20000));
    QTest::qWait(300);
    QVERIFY(freshInfo->isBusy());
    QVERIFY(freshInfo->setStar(4));
    const std::shared_ptr<testutil::ModalCatch> box = testutil::answerMessageBox(30000);
    shutDown();
    QVERIFY(other.execNoQuery("ROLLBACK"));
    QVERIFY(box->ran);
    QVERIFY2(box->text.contains(fresh + QStringLiteral("：星级 4")), qPrintable(box->text));
    QVERIFY(!box->text.contains(gone));
    QVERIFY(box->text.contains(unstoredLogFile()));
    const QString logged = QString::fromUtf8(testutil::readBytes(unstoredLogFile()));
    QVERIFY(logged.contains(fresh + QStringLiteral("：星级 4")));
    QVERIFY(logged.contains(QStringLiteral("数据库被其他程序占用")));
}

VORN_XDG_TEST_MAIN(TestStartup)
#include "tst_startup.moc"
