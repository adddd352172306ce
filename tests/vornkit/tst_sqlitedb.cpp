#include "common/testutil.h"
#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QTest>

#include <thread>

class TestSqliteDb : public QObject {
    Q_OBJECT
private slots:
    void openAndExec();
    void pathsAreCaseSensitive();
    void pool();
    void lockedByAnotherProgram();
    void poolOutlivedByItsConnections();
};

void TestSqliteDb::openAndExec()
{
    testutil::TempDir dir;
    {
        TagDb db;
        QVERIFY(db.openDb(dir.file("data/tag.db"), "t1", false));
        QVERIFY(db.execNoQuery("INSERT INTO [histag] ([name]) VALUES ('x')"));
        QVERIFY(!db.tableExists("histag.index.name"));
    }
    QVERIFY(!QSqlDatabase::contains("t1"));
    // Reopening keeps the rows.
    TagDb db;
    QVERIFY(db.openDb(dir.file("data/tag.db"), "t2", false));
    QCOMPARE(testutil::queryRows(db, "SELECT count(*) FROM [histag]"), QStringList({ "1" }));
    ThumbDb thumb;
    QVERIFY(thumb.openDb(dir.file("data/thumb.db"), "th", false));
    QVERIFY(thumb.tableExists("imagecache"));

    SqliteDb missing;
    QVERIFY(!missing.openDb(dir.file("none/x.db"), "nomk", true));
    QVERIFY(!QDir(dir.file("none")).exists());

    // Two unnamed connections opened at once get distinct names.
    SqliteDb a, b;
    QVERIFY(a.openDb(dir.file("a/x.db"), QString(), false));
    QVERIFY(b.openDb(dir.file("a/x.db"), QString(), false));
    QVERIFY(!a.getConName().isEmpty());
    QVERIFY(a.getConName() != b.getConName());

    // Every statement runs; one failing makes the whole fail.
    QVERIFY(a.execMultiSql("CREATE TABLE [t] ([v] INT);"));
    QVERIFY(!a.execMultiSql("INSERT INTO [t] VALUES (1);INSERT INTO [nope] VALUES (2);INSERT INTO [t] VALUES (3)"));
    QCOMPARE(testutil::queryRows(a, "SELECT sum([v]) FROM [t]"), QStringList({ "4" }));

    // An owner assigned a copy gives up its own connection and never removes the one it copied.
    {
        SqliteDb c;
        QVERIFY(c.openDb(dir.file("a/x.db"), "assigned", false));
        c = b;
        QVERIFY(!QSqlDatabase::contains("assigned"));
        QVERIFY(c.openDb(dir.file("a/x.db"), "reopened", false));
        QVERIFY(c.openDb(dir.file("a/x.db"), "reopened2", false));
        QVERIFY(!QSqlDatabase::contains("reopened"));
    }
    QVERIFY(!QSqlDatabase::contains("reopened2"));
    QVERIFY(QSqlDatabase::contains(b.getConName()));
    QVERIFY(b.execNoQuery("INSERT INTO [t] VALUES (5)"));
}

void TestSqliteDb::pathsAreCaseSensitive()
{
    testutil::TempDir dir;
    TagDb db;
    QVERIFY(db.openDb(dir.file("tag.db"), "case", false));
    QVERIFY(db.execMultiSql("INSERT INTO [filetag] ([path],[file],[star]) VALUES ('/p','/p/a.jpg',1);"
                            "INSERT INTO [filetag] ([path],[file],[star]) VALUES ('/p','/p/A.jpg',2);"
                            "INSERT INTO [filetag] ([path],[file],[star]) VALUES ('/p','/p/a.jpg',3)"));
    QCOMPARE(testutil::queryRows(db, "SELECT [file],[star] FROM [filetag] ORDER BY [star]"),
        QStringList({ "/p/A.jpg|2", "/p/a.jpg|3" }));
    // Names typed by users still ignore case.
    QVERIFY(db.execMultiSql("INSERT INTO [histag] VALUES ('Sea');INSERT INTO [histag] VALUES ('sea')"));
    QCOMPARE(testutil::queryRows(db, "SELECT count(*) FROM [histag]"), QStringList({ "1" }));
}

void TestSqliteDb::pool()
{
    testutil::TempDir dir;
    std::unique_ptr<SqliteDbPool> pool(SqliteDbPool::create<TagDb>());
    pool->init(dir.file("data/tag.db"), "ptag.db");
    QCOMPARE(pool->idleCount(), 1);
    SqliteDb* first = pool->acquire();
    QVERIFY(dynamic_cast<TagDb*>(first));
    pool->release(first);
    QCOMPARE(pool->acquire(), first); // reused
    pool->release(first);

    // At most eight idle connections are kept.
    QList<SqliteDb*> held;
    for (int i = 0; i < 9; ++i)
        held << pool->acquire();
    for (SqliteDb* db : held + QList<SqliteDb*>({ nullptr }))
        pool->release(db);
    QCOMPARE(pool->idleCount(), 8);

    // A file that cannot be opened still hands out a connection, which fails its statements.
    QVERIFY(testutil::writeBytes(dir.file("file"), "x"));
    SqliteDbPool bad([] { return new TagDb(); });
    bad.init(dir.file("file/sub/tag.db"), "bad.db");
    SqliteDb* db = bad.acquire();
    QVERIFY(db && !db->execNoQuery("SELECT 1"));
    bad.release(db);
}

void TestSqliteDb::lockedByAnotherProgram()
{
    testutil::TempDir dir;
    const QString file = dir.file("data/tag.db");
    TagDb other;
    QVERIFY(other.openDb(file, "other", false));
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));
    QElapsedTimer t;

    // A connection's set-up waits once for the lock, not once per pragma and table check.
    TagDb slow;
    slow.setSetUpWait(300);
    t.start();
    QVERIFY(slow.openDb(file, "slow", false));
    QVERIFY2(t.elapsed() >= 250 && t.elapsed() < 3000, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!slow.isSetUp());

    // The pool's set-ups never wait.
    std::unique_ptr<SqliteDbPool> pool(SqliteDbPool::create<TagDb>());
    t.restart();
    pool->init(file, "locked.db");
    SqliteDb* first = pool->acquire();
    QVERIFY(t.elapsed() < 2000);
    QVERIFY(!first->isSetUp());

    // While another thread opens a connection, the pool serves the others at once.
    SqliteDb* opened = nullptr;
    std::thread opener([&] { opened = pool->acquire(); });
    QThread::msleep(50);
    t.restart();
    pool->release(first);
    QCOMPARE(pool->idleCount(), 1);
    QVERIFY(t.elapsed() < 2000);
    opener.join();
    QVERIFY(opened && !opened->isSetUp());
    SqliteDb::limitWaits(0);
    // Past the shut-down limit no statement waits.
    t.restart();
    QVERIFY(!opened->execNoQuery("INSERT INTO [histag] ([name]) VALUES ('x')"));
    QVERIFY(t.elapsed() < 2000);
    SqliteDb::limitWaits(-1);

    // Once the lock is gone, a user on another thread finishes the set-up of a connection kept out.
    QVERIFY(other.execNoQuery("COMMIT"));
    pool->release(opened);
    std::thread user([&] {
        for (int i = 0; i < 2; ++i) {
            SqliteDb* db = pool->acquire();
            QVERIFY(db->isSetUp() && db->execNoQuery("INSERT INTO [histag] ([name]) VALUES ('x')"));
            pool->release(db);
        }
    });
    user.join();
}

void TestSqliteDb::poolOutlivedByItsConnections()
{
    testutil::TempDir dir;
    // The pool waits for a connection still in use before it goes.
    auto* pool = SqliteDbPool::create<TagDb>();
    pool->init(dir.file("tag.db"), "outlived.db");
    std::thread job([held = std::make_unique<PooledDb<TagDb>>(pool)]() mutable {
        QThread::msleep(300);
        QVERIFY(held->get()->execNoQuery("INSERT INTO [histag] ([name]) VALUES ('late')"));
        held.reset();
    });
    QElapsedTimer t;
    t.start();
    QTest::qWait(50);
    delete pool;
    QVERIFY(t.elapsed() >= 250);
    job.join();

    // One that comes back after the pool gave up waiting is closed, the pool untouched.
    pool = SqliteDbPool::create<TagDb>();
    pool->init(dir.file("tag.db"), "gone.db");
    pool->setCloseWait(50);
    const std::shared_ptr<SqliteDbPool::Core> core = pool->core();
    SqliteDb* db = pool->acquire();
    delete pool;
    QVERIFY(QSqlDatabase::contains("gone.db0"));
    SqliteDbPool::release(core, db);
    QVERIFY(!QSqlDatabase::contains("gone.db0"));
}

QTEST_GUILESS_MAIN(TestSqliteDb)
#include "tst_sqlitedb.moc"
