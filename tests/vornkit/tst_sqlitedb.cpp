#include "sqlitedb.h"
#include "sqlitedbpool.h"
#include "tagdb.h"
#include "thumbdb.h"
#include "testutil.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>

class TestSqliteDb : public QObject {
    Q_OBJECT
private slots:
    void opensAndCreatesSchema();
    void mkpathAndNames();
    void multiSql();
    void pathsAreCaseSensitive();
    void poolReuseAndLimits();
    void poolOnUnopenableFile();
};

static QStringList objects(SqliteDb& db, const char* type)
{
    QStringList out;
    QSqlQuery q(db.db());
    q.exec(QString("SELECT name FROM sqlite_master WHERE type='%1' AND name NOT LIKE 'sqlite_%' ORDER BY name")
               .arg(type));
    while (q.next())
        out << q.value(0).toString();
    return out;
}

void TestSqliteDb::opensAndCreatesSchema()
{
    testutil::TempDir dir;
    {
        TagDb db;
        QVERIFY(db.openDb(dir.file("data/tag.db"), "t1", false));
        QCOMPARE(objects(db, "table"), QStringList({ "bookmark", "bookpath", "filetag", "histag" }));
        QCOMPARE(objects(db, "index"),
                 QStringList({ "bookmark.index.file", "bookmark.index.name", "bookpath.index.name",
                               "filetag.index.file", "filetag.index.path", "filetag.index.star",
                               "histag.index.name" }));
        QVERIFY(db.execNoQuery("INSERT INTO [histag] ([name]) VALUES ('x')"));
        QVERIFY(!db.tableExists("histag.index.name"));
    }
    {
        // Reopening keeps the rows.
        TagDb db;
        QVERIFY(db.openDb(dir.file("data/tag.db"), "t2", false));
        QSqlQuery q(db.db());
        QVERIFY(q.exec("SELECT count(*) FROM [histag]") && q.next());
        QCOMPARE(q.value(0).toInt(), 1);
    }
    ThumbDb thumb;
    QVERIFY(thumb.openDb(dir.file("data/thumb.db"), "th", false));
    QCOMPARE(objects(thumb, "table"), QStringList({ "imagecache" }));
    QCOMPARE(objects(thumb, "index"), QStringList({ "index.imagecache.file", "index.imagecache.path" }));
    QVERIFY(!QSqlDatabase::contains("t1"));
}

void TestSqliteDb::mkpathAndNames()
{
    testutil::TempDir dir;
    SqliteDb missing;
    QVERIFY(!missing.openDb(dir.file("none/x.db"), "nomk", true));
    QVERIFY(!QDir(dir.file("none")).exists());

    // Two unnamed connections opened at once get distinct names.
    SqliteDb a, b;
    QVERIFY(a.openDb(dir.file("a/x.db"), QString(), false));
    QVERIFY(b.openDb(dir.file("a/x.db"), QString(), false));
    QVERIFY(!a.getConName().isEmpty());
    QVERIFY(a.getConName() != b.getConName());
    bool ok = false;
    a.getConName().toLongLong(&ok);
    QVERIFY(ok);
    QStringList opts;
    QVERIFY(a.queryCompileOptions(opts));
    QVERIFY(!opts.isEmpty());
}

void TestSqliteDb::multiSql()
{
    testutil::TempDir dir;
    SqliteDb db;
    QVERIFY(db.openDb(dir.file("m.db"), "multi", false));
    QVERIFY(db.execMultiSql("CREATE TABLE [t] ([v] INT);"));
    QVERIFY(!db.execMultiSql("INSERT INTO [t] VALUES (1);INSERT INTO [nope] VALUES (2);INSERT INTO [t] VALUES (3)"));
    QSqlQuery q(db.db());
    QVERIFY(q.exec("SELECT sum([v]) FROM [t]") && q.next());
    QCOMPARE(q.value(0).toInt(), 4);
}

void TestSqliteDb::pathsAreCaseSensitive()
{
    testutil::TempDir dir;
    TagDb db;
    QVERIFY(db.openDb(dir.file("tag.db"), "case", false));
    QVERIFY(db.execNoQuery("INSERT INTO [filetag] ([path],[file],[star]) VALUES ('/p','/p/a.jpg',1)"));
    QVERIFY(db.execNoQuery("INSERT INTO [filetag] ([path],[file],[star]) VALUES ('/p','/p/A.jpg',2)"));
    QVERIFY(db.execNoQuery("INSERT INTO [filetag] ([path],[file],[star]) VALUES ('/p','/p/a.jpg',3)"));
    QSqlQuery q(db.db());
    QVERIFY(q.exec("SELECT [file],[star] FROM [filetag] ORDER BY [star]"));
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + "=" + q.value(1).toString();
    QCOMPARE(rows, QStringList({ "/p/A.jpg=2", "/p/a.jpg=3" }));
    // Names typed by users still ignore case.
    QVERIFY(db.execNoQuery("INSERT INTO [histag] VALUES ('Sea')"));
    QVERIFY(db.execNoQuery("INSERT INTO [histag] VALUES ('sea')"));
    QVERIFY(q.exec("SELECT count(*) FROM [histag]") && q.next());
    QCOMPARE(q.value(0).toInt(), 1);
}

void TestSqliteDb::poolReuseAndLimits()
{
    testutil::TempDir dir;
    SqliteDbPool* pool = SqliteDbPool::create<TagDb>();
    pool->init(dir.file("data/tag.db"), "ptag.db");
    QCOMPARE(pool->idleCount(), 1);
    SqliteDb* first = pool->acquire();
    QCOMPARE(first->getConName(), QString("ptag.db0"));
    SqliteDb* second = pool->acquire();
    QCOMPARE(second->getConName(), QString("ptag.db1"));
    QVERIFY(dynamic_cast<TagDb*>(second));
    pool->release(first);
    pool->release(second);
    // Taken from the front, given back at the end.
    QCOMPARE(pool->acquire(), first);
    pool->release(first);
    QCOMPARE(pool->acquire(), second);
    pool->release(second);

    QList<SqliteDb*> held;
    for (int i = 0; i < 9; ++i)
        held << pool->acquire();
    for (SqliteDb* db : held)
        pool->release(db);
    QCOMPARE(pool->idleCount(), 8);
    pool->release(nullptr);
    QCOMPARE(pool->idleCount(), 8);
    delete pool;
    SqliteDbPool::release(nullptr, nullptr); // no pool: nothing happens
}

void TestSqliteDb::poolOnUnopenableFile()
{
    testutil::TempDir dir;
    QVERIFY(testutil::writeBytes(dir.file("file"), "x"));
    SqliteDbPool pool([] { return new TagDb(); });
    pool.init(dir.file("file/sub/tag.db"), "bad.db");
    SqliteDb* db = pool.acquire();
    QVERIFY(db);
    QVERIFY(!db->execNoQuery("SELECT 1"));
    pool.release(db);
}

QTEST_GUILESS_MAIN(TestSqliteDb)
#include "tst_sqlitedb.moc"
