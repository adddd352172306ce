#include "common/testutil.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "records/hinttags.h"
#include "records/histaglist.h"
#include "records/histagtb.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QTest>
#include <QThreadPool>

class TestHisTag : public QObject {
    Q_OBJECT
private slots:
    void lockedAtStartUp();
    void listSavedThroughPool();
    void saveOnBusyDatabase();
    void hintColours();
};

namespace {
QStringList stored(SqliteDb& db)
{
    return testutil::queryRows(db, "select [name] from [histag] order by [name]");
}
} // namespace

void TestHisTag::lockedAtStartUp()
{
    testutil::ProgramDir prog;
    const QString file = prog.file("data/tag.db");
    TagDb other;
    QVERIFY(other.openDb(file, "startup-other", false));
    QVERIFY(HisTagTb(&other).saveHisTag({ "stored1", "stored2" }));
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));

    // Start-up with another program holding the database: nothing waits for it.
    QElapsedTimer t;
    t.start();
    QVERIFY(createDbPools());
    int merged = 0;
    HisTagList::loadHisTagAtStart([&merged] { ++merged; });
    QVERIFY(t.elapsed() < 1000);
    HisTagList::addHisTag("mine");
    // The stored list was never read: saving now would wipe it, so it is refused.
    SqliteDb::limitWaits(200);
    QVERIFY(!HisTagList::saveHisTag());
    SqliteDb::limitWaits(-1);

    // Once the lock is gone, the list read in the background comes in (stored tags first) and the caller hears
    // of it; a save then keeps the stored tags.
    QVERIFY(other.execNoQuery("COMMIT"));
    QTRY_COMPARE_WITH_TIMEOUT(merged, 1, 20000);
    QCOMPARE(HisTagList::getHisTags(), QStringList({ "stored1", "stored2", "mine" }));
    QVERIFY(HisTagList::saveHisTag());
    QCOMPARE(stored(other), QStringList({ "mine", "stored1", "stored2" }));
    HisTagList::getHisTags().clear();
    QVERIFY(QThreadPool::globalInstance()->waitForDone(10000));
    destroyDbPools();
}

void TestHisTag::listSavedThroughPool()
{
    // Without pools both fail quietly.
    QVERIFY(!tagDbPool);
    QVERIFY(!HisTagList::saveHisTag());
    QVERIFY(!HisTagList::loadHisTag());

    testutil::ProgramDir prog;
    QVERIFY(createDbPools());
    HisTagList::setHisTag({ "海边", "b" });
    QVERIFY(HisTagList::saveHisTag());
    // A save replaces the stored list; names that differ only in case keep one row.
    HisTagList::setHisTag({ "Tag", "tag", "家人" });
    QVERIFY(HisTagList::saveHisTag());
    HisTagList::getHisTags().clear();
    QVERIFY(HisTagList::loadHisTag());
    QCOMPARE(HisTagList::getHisTags().size(), 2);
    QVERIFY(HisTagList::getHisTags().contains("家人"));
    QVERIFY(HisTagList::loadHisTag()); // appends
    QCOMPARE(HisTagList::getHisTags().size(), 4);
    HisTagList::getHisTags().clear();
    // Every connection went back to the pool.
    QCOMPARE(tagDbPool->idleCount(), 1);
    destroyDbPools();

    // Names match exactly; blanks are taken as they are.
    HisTagList::setHisTag({ "a", "b", "a" });
    QVERIFY(!HisTagList::addHisTag("a"));
    QVERIFY(HisTagList::addHisTag("A"));
    QVERIFY(HisTagList::addHisTag(" a"));
    QVERIFY(!HisTagList::delHisTag("zz"));
    QVERIFY(HisTagList::delHisTag(" a"));
    QCOMPARE(HisTagList::getHisTagsStr(), QString("a b A "));
    HisTagList::getHisTags().clear();
}

void TestHisTag::saveOnBusyDatabase()
{
    testutil::TempDir dir;
    const QString file = dir.file("data/tag.db");
    TagDb mine, other, third;
    int n = 0;
    for (TagDb* db : { &mine, &other, &third }) // each waits only briefly for a lock
        QVERIFY(db->openDb(file, QString("busy%1").arg(n++), false) && db->execNoQuery("PRAGMA busy_timeout=200"));
    HisTagTb tb(&mine);
    QVERIFY(tb.saveHisTag({ "old1", "old2" }));

    // Another connection holds the write lock: the save fails at once, changes nothing, keeps no lock.
    QVERIFY(other.execNoQuery("BEGIN IMMEDIATE"));
    QVERIFY(other.execNoQuery("insert into [histag] ([name]) values ('theirs')"));
    QElapsedTimer t;
    t.start();
    QVERIFY(!tb.saveHisTag({ "new" }));
    QVERIFY(t.elapsed() < 3000);
    QVERIFY(other.execNoQuery("COMMIT")); // would be busy if the failed save still held a lock
    QCOMPARE(stored(third), QStringList({ "old1", "old2", "theirs" }));

    // A reader keeps the commit from completing: the save rolls back and leaves no write lock behind.
    QVERIFY(other.execNoQuery("BEGIN"));
    QCOMPARE(stored(other).size(), 3);
    QVERIFY(!tb.saveHisTag({ "new" }));
    QVERIFY(other.execNoQuery("COMMIT"));
    QVERIFY(third.execNoQuery("BEGIN IMMEDIATE")); // fails if the save kept its write lock
    QVERIFY(third.execNoQuery("ROLLBACK"));
    QCOMPARE(stored(third), QStringList({ "old1", "old2", "theirs" }));

    // The same connection saves normally afterwards.
    QVERIFY(tb.saveHisTag({ "new", "家人" }));
    QCOMPARE(stored(third), QStringList({ "new", "家人" }));

    // Over no database nothing works.
    QStringList out { "keep" };
    QVERIFY(!HisTagTb(nullptr).readHisTag(out));
    QCOMPARE(out, QStringList({ "keep" }));
    QVERIFY(!HisTagTb(nullptr).saveHisTag({ "x" }));
}

void TestHisTag::hintColours()
{
    HintTags none;
    QCOMPARE(none.hintTagsFromData(QImage()), 0);
    QVERIFY(none.getHintColorTag().isEmpty());

    // Two dominant colours of three: green 60 %, blue 30 %, a sliver of yellow under a tenth.
    QImage img = testutil::solidImage(100, 100, QColor(0, 255, 0));
    QPainter p(&img);
    p.fillRect(0, 0, 100, 30, QColor(0, 0, 255));
    p.fillRect(0, 30, 100, 8, QColor(255, 255, 0));
    p.end();
    HintTags two;
    two.hintTagsFromData(img);
    QCOMPARE(two.getHintColorTag(), QList<uint>({ 0xFF00FF00u, 0xFF0000FFu }));
}

QTEST_MAIN(TestHisTag)
#include "tst_histag.moc"
