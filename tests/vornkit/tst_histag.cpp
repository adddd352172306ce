#include "hinttags.h"
#include "histaglist.h"
#include "histagtb.h"
#include "sqlitedbpool.h"
#include "tagdb.h"
#include "testutil.h"

#include <QElapsedTimer>
#include <QPainter>
#include <QSqlQuery>
#include <QTest>

class TestHisTag : public QObject {
    Q_OBJECT
private slots:
    void listInMemory();
    void saveAndLoadThroughPool();
    void saveOnBusyDatabase();
    void hintColours();
};

namespace {

QStringList stored(SqliteDb& db)
{
    QStringList out;
    HisTagTb(&db).readHisTag(out);
    out.sort();
    return out;
}

bool exec(SqliteDb& db, const QString& sql)
{
    QSqlQuery q(db.db());
    return q.exec(sql);
}

// A connection that waits only briefly for a lock.
bool openQuick(TagDb& db, const QString& file, const QString& name)
{
    return db.openDb(file, name, false) && exec(db, "PRAGMA busy_timeout=200");
}

} // namespace

void TestHisTag::listInMemory()
{
    HisTagList::setHisTag({ "a", "b", "a" });
    QCOMPARE(HisTagList::getHisTags(), QStringList({ "a", "b" }));
    QVERIFY(!HisTagList::addHisTag("a"));
    QVERIFY(HisTagList::addHisTag("A"));
    QVERIFY(HisTagList::addHisTag(" a")); // taken as it is
    QCOMPARE(HisTagList::m_hisTags.size(), 4);
    QVERIFY(!HisTagList::delHisTag("zz"));
    QVERIFY(HisTagList::delHisTag("A"));
    QVERIFY(HisTagList::delHisTag(" a"));
    QCOMPARE(HisTagList::getHisTagsStr(), QString("a b "));
    HisTagList::getHisTags().clear();
}

void TestHisTag::saveAndLoadThroughPool()
{
    // Without pools both fail quietly.
    QVERIFY(!tagDbPool);
    QVERIFY(!HisTagList::saveHisTag());
    QVERIFY(!HisTagList::loadHisTag());

    testutil::ProgramDir prog;
    QVERIFY(createDbPools());
    HisTagList::setHisTag({ "海边", "b" });
    QVERIFY(HisTagList::saveHisTag());
    HisTagList::setHisTag({ "b" });
    QVERIFY(HisTagList::saveHisTag());
    HisTagList::getHisTags().clear();
    QVERIFY(HisTagList::loadHisTag());
    QCOMPARE(HisTagList::getHisTags(), QStringList({ "b" }));

    // Names that differ only in case keep one row.
    HisTagList::setHisTag({ "Tag", "tag", "家人" });
    QVERIFY(HisTagList::saveHisTag());
    HisTagList::getHisTags().clear();
    QVERIFY(HisTagList::loadHisTag());
    QCOMPARE(HisTagList::getHisTags().size(), 2);
    QVERIFY(HisTagList::getHisTags().contains("家人"));
    // Loading appends.
    QVERIFY(HisTagList::loadHisTag());
    QCOMPARE(HisTagList::getHisTags().size(), 4);
    HisTagList::getHisTags().clear();
    // Every connection went back to the pool.
    QCOMPARE(tagDbPool->idleCount(), 1);
    destroyDbPools();
}

void TestHisTag::saveOnBusyDatabase()
{
    testutil::TempDir dir;
    const QString file = dir.file("data/tag.db");
    TagDb mine, other, third;
    QVERIFY(openQuick(mine, file, "busy.mine"));
    QVERIFY(openQuick(other, file, "busy.other"));
    QVERIFY(openQuick(third, file, "busy.third"));
    HisTagTb tb(&mine);
    QVERIFY(tb.saveHisTag({ "old1", "old2" }));

    // Another connection holds the write lock: the save fails at once, changes nothing, keeps no lock.
    QVERIFY(exec(other, "BEGIN IMMEDIATE"));
    QVERIFY(exec(other, "insert into [histag] ([name]) values ('theirs')"));
    QElapsedTimer t;
    t.start();
    QVERIFY(!tb.saveHisTag({ "new" }));
    QVERIFY(t.elapsed() < 3000);
    QVERIFY(exec(other, "COMMIT")); // would be busy if the failed save still held a lock
    QCOMPARE(stored(third), QStringList({ "old1", "old2", "theirs" }));

    // A reader keeps the commit from completing: the save rolls back and leaves no write lock behind.
    QVERIFY(exec(other, "BEGIN"));
    {
        QSqlQuery q(other.db());
        QVERIFY(q.exec("select count(*) from [histag]") && q.next());
    }
    QVERIFY(!tb.saveHisTag({ "new" }));
    QVERIFY(exec(other, "COMMIT"));
    QVERIFY(exec(third, "BEGIN IMMEDIATE")); // fails if the save kept its write lock
    QVERIFY(exec(third, "ROLLBACK"));
    QCOMPARE(stored(third), QStringList({ "old1", "old2", "theirs" }));

    // The same connection saves normally afterwards.
    QVERIFY(tb.saveHisTag({ "new", "家人" }));
    QCOMPARE(stored(third), QStringList({ "new", "家人" }));

    // Over no database nothing works.
    QStringList out { "keep" };
    QVERIFY(!HisTagTb(nullptr).readHisTag(out));
    QCOMPARE(out, QStringList({ "keep" }));
    QVERIFY(!HisTagTb(nullptr).saveHisTag({ "x" }));
    QVERIFY(!HisTagTb(nullptr).truncateHisTag());
}

void TestHisTag::hintColours()
{
    HintTags none;
    QCOMPARE(none.hintTagsFromData(QImage()), 0);
    QVERIFY(none.getHintColorTag().isEmpty());
    QCOMPARE(none.getHintStarTag(), 0);
    QVERIFY(none.getHintTextTag().isEmpty());

    HintTags flat;
    QCOMPARE(flat.hintTagsFromData(testutil::solidImage(800, 600, QColor(255, 0, 0))), 0);
    QCOMPARE(flat.getHintColorTag(), QList<uint>({ 0xFFFF0000u }));

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
