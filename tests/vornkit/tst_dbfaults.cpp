#include "common/testutil.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace testutil;

// How the tag table tells a busy database from a damaged, read-only or replaced one.
class TestDbFaults : public QObject {
    Q_OBJECT
private slots:
    void busyIsNotDamage();
    void damagedAndReadOnly();
    void fullDiskThenSpaceAgain();
    void factsLeaveTheTagsAlone();
    void poolFollowsAReplacedFile();
};

namespace {

FileTagInfo row(const QString& file, int star)
{
    FileTagInfo info;
    info.setPath(QFileInfo(file).path());
    info.setFile(file);
    info.setFileSize(10);
    info.setModifyTime("2024-01-01 00:00:00");
    info.setStar(star);
    info.setTextTag({ "a" });
    info.setRgb({ 0xFFFF0000u });
    return info;
}

} // namespace

void TestDbFaults::busyIsNotDamage()
{
    TempDir dir;
    const QString file = dir.file("tag.db");
    TagDb mine, other;
    QVERIFY(mine.openDb(file, "busy.mine", false));
    QVERIFY(other.openDb(file, "busy.other", false));
    FileTagInfo r = row("/p/a.jpg", 1);
    QVERIFY(FileTagTb(&mine).addFileTag(r));

    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));
    SqliteDb::limitWaits(100);
    FileTagTb table(&mine);
    FileTagInfo out;
    QVERIFY(!table.readFileTag("/p/a.jpg", out));
    QVERIFY(table.readFailed());
    QCOMPARE(table.lastFault(), SqliteDb::Fault::Busy);
    QVERIFY(!table.modFileStarTag(r.getRowId(), 4));
    QCOMPARE(table.lastFault(), SqliteDb::Fault::Busy);
    SqliteDb::limitWaits(-1);
    QVERIFY(other.execNoQuery("ROLLBACK"));

    // Once the lock is gone the same table works, and an update matching no row is no fault.
    QVERIFY(table.modFileStarTag(r.getRowId(), 4));
    QCOMPARE(table.lastFault(), SqliteDb::Fault::None);
    QVERIFY(!table.modFileStarTag(r.getRowId() + 100, 4));
    QCOMPARE(table.lastFault(), SqliteDb::Fault::None);
    QVERIFY(!table.readFileTag("/p/none.jpg", out));
    QVERIFY(!table.readFailed());
}

void TestDbFaults::damagedAndReadOnly()
{
    TempDir dir;
    // Not a database at all (a file of text with the name).
    QVERIFY(writeBytes(dir.file("text.db"), QByteArray(8192, 'x')));
    TagDb text;
    text.openDb(dir.file("text.db"), "fault.text", false);
    FileTagTb onText(&text);
    FileTagInfo out;
    QVERIFY(!onText.readFileTag("/p/a.jpg", out));
    QVERIFY(onText.readFailed());
    QCOMPARE(onText.lastFault(), SqliteDb::Fault::Damaged);
    QVERIFY(!onText.modFileStarTag(1, 3));
    QCOMPARE(onText.lastFault(), SqliteDb::Fault::Damaged);

    // A database whose pages were overwritten with rubbish after its first page.
    const QString corrupt = dir.file("corrupt.db");
    {
        TagDb db;
        QVERIFY(db.openDb(corrupt, "fault.make", false));
        for (int i = 0; i < 200; ++i) {
            FileTagInfo r = row(QStringLiteral("/p/%1.jpg").arg(i), i % 5);
            QVERIFY(FileTagTb(&db).addFileTag(r));
        }
    }
    QByteArray bytes = readBytes(corrupt);
    QVERIFY(bytes.size() > 3 * 5120);
    for (int i = 5120; i < bytes.size(); ++i)
        bytes[i] = char((i * 131) & 0xff);
    QVERIFY(writeBytes(corrupt, bytes));
    TagDb broken;
    broken.openDb(corrupt, "fault.corrupt", false);
    FileTagTb onBroken(&broken);
    QVERIFY(!onBroken.readFileTag("/p/7.jpg", out));
    QCOMPARE(onBroken.lastFault(), SqliteDb::Fault::Damaged);

    // A database the user may read but not write.
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString locked = dir.file("ro/tag.db");
    {
        TagDb db;
        QVERIFY(db.openDb(locked, "fault.ro.make", false));
        FileTagInfo r = row("/p/a.jpg", 2);
        QVERIFY(FileTagTb(&db).addFileTag(r));
    }
    QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(dir.file("ro")).constData(), 0555) == 0);
    {
        Unprivileged nobody;
        TagDb ro;
        ro.openDb(locked, "fault.ro", false);
        FileTagTb onRo(&ro);
        QVERIFY(onRo.readFileTag("/p/a.jpg", out));
        QCOMPARE(out.getStar(), 2);
        QVERIFY(!onRo.modFileStarTag(out.getRowId(), 5));
        QCOMPARE(onRo.lastFault(), SqliteDb::Fault::ReadOnly);
    }
    ::chmod(QFile::encodeName(dir.file("ro")).constData(), 0755);
}

void TestDbFaults::fullDiskThenSpaceAgain()
{
    SmallFileSystem disk(512 * 1024);
    if (!disk.mounted())
        QSKIP("no file system of its own can be mounted here");
    TagDb db;
    QVERIFY(db.openDb(disk.path() + "/data/tag.db", "full", false));
    {
        QFile filler(disk.path() + "/filler");
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray chunk(4096, 'x');
        while (filler.write(chunk) == chunk.size()) { }
    }
    FileTagTb table(&db);
    bool full = false;
    for (int i = 0; i < 200 && !full; ++i) {
        FileTagInfo r = row(QStringLiteral("/p/%1.jpg").arg(i), 1);
        r.setTextTag({ QString(2000, QChar('a' + i % 26)) });
        full = !table.addFileTag(r);
    }
    QVERIFY(full);
    QCOMPARE(table.lastFault(), SqliteDb::Fault::Full);
    QVERIFY(QFile::remove(disk.path() + "/filler"));
    FileTagInfo r = row("/p/after.jpg", 2);
    QVERIFY(table.addFileTag(r));
    QCOMPARE(table.lastFault(), SqliteDb::Fault::None);
}

void TestDbFaults::factsLeaveTheTagsAlone()
{
    TempDir dir;
    TagDb db;
    QVERIFY(db.openDb(dir.file("tag.db"), "facts", false));
    FileTagInfo stale = row("/p/a.jpg", 1);
    QVERIFY(FileTagTb(&db).addFileTag(stale));
    // Another program stores new tags; this one only knows the old ones and refreshes the facts.
    FileTagInfo newer = stale;
    newer.setStar(5);
    newer.setTextTag({ "b", "c" });
    QVERIFY(FileTagTb(&db).updateTags(newer.getRowId(), newer));
    stale.setFileSize(99);
    stale.setCreateTime("2025-02-02 02:02:02");
    stale.setModifyTime("2025-02-02 02:02:03");
    QVERIFY(FileTagTb(&db).modFileFacts(stale.getRowId(), stale));

    FileTagInfo out;
    QVERIFY(FileTagTb(&db).readFileTag("/p/a.jpg", out));
    QCOMPARE(out.getStar(), 5);
    QCOMPARE(out.getTextTag(), QStringList({ "b", "c" }));
    QCOMPARE(out.getFileSize(), qint64(99));
    QCOMPARE(out.getModifyTime(), QStringLiteral("2025-02-02 02:02:03"));
    QCOMPARE(out.getCreateTime(), QStringLiteral("2025-02-02 02:02:02"));
}

void TestDbFaults::poolFollowsAReplacedFile()
{
    TempDir dir;
    const QString file = dir.file("data/tag.db");
    SqliteDbPool pool([] { return new TagDb(); });
    pool.init(file, "replaced.tag.db");
    {
        PooledDb<TagDb> db(&pool);
        FileTagInfo r = row("/p/a.jpg", 1);
        QVERIFY(FileTagTb(db.get()).addFileTag(r));
    }
    // Deleted while the program runs: the next user writes into a new file that others see.
    QVERIFY(QFile::remove(file));
    {
        PooledDb<TagDb> db(&pool);
        FileTagInfo r = row("/p/b.jpg", 3);
        QVERIFY(FileTagTb(db.get()).addFileTag(r));
    }
    {
        TagDb reader;
        QVERIFY(reader.openDb(file, "replaced.reader1", false));
        QCOMPARE(queryRows(reader, "SELECT [file], [star] FROM [filetag]"), QStringList({ "/p/b.jpg|3" }));
    }

    // A backup renamed over it: the pool reads the backup's rows from then on.
    const QString backup = dir.file("backup.db");
    {
        TagDb db;
        QVERIFY(db.openDb(backup, "replaced.backup", false));
        FileTagInfo r = row("/p/old.jpg", 4);
        QVERIFY(FileTagTb(&db).addFileTag(r));
    }
    QVERIFY(::rename(QFile::encodeName(backup).constData(), QFile::encodeName(file).constData()) == 0);
    {
        PooledDb<TagDb> db(&pool);
        FileTagInfo out;
        QVERIFY(FileTagTb(db.get()).readFileTag("/p/old.jpg", out));
        QCOMPARE(out.getStar(), 4);
        QVERIFY(FileTagTb(db.get()).modFileStarTag(out.getRowId(), 2));
    }
    TagDb reader;
    QVERIFY(reader.openDb(file, "replaced.reader2", false));
    QCOMPARE(queryRows(reader, "SELECT [file], [star] FROM [filetag]"), QStringList({ "/p/old.jpg|2" }));
}

QTEST_MAIN(TestDbFaults)
#include "tst_dbfaults.moc"
