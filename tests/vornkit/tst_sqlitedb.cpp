#include "common/testutil.h"
#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"

#include <QDir>
#include <QSqlDatabase>
#include <QTest>

class TestSqliteDb : public QObject {
    Q_OBJECT
private slots:
    void openAndExec();
    void pathsAreCaseSensitive();
    void pool();
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

QTEST_GUILESS_MAIN(TestSqliteDb)
#include "tst_sqlitedb.moc"
