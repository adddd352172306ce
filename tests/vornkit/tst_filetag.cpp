#include "common/testutil.h"
#include "db/tagdb.h"
#include "meta/exivtags.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"
#include "sys/datetimeutil.h"
#include "sys/platform.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>

#include <time.h>

class TestFileTag : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testutil::useTimeZone("Asia/Shanghai"); }
    void init();
    void cleanup() { m_db.reset(); }
    void recordEdits();
    void tableRows();
    void updatesByRowId();
    void loadFromFile();
    void rowMatchesFile();

private:
    testutil::TempDir m_dir;
    std::unique_ptr<TagDb> m_db;
};

namespace {

FileTagInfo makeRow(const QString& file, int star)
{
    FileTagInfo info;
    info.setPath(QFileInfo(file).path());
    info.setFile(file);
    info.setFileSize(1234);
    info.setCreateTime("2023-01-02 03:04:05");
    info.setModifyTime("2023-01-02 03:04:06");
    info.setImageWidth(640);
    info.setImageHeight(480);
    info.setStar(star);
    info.setTextTag({ "海边", "sky" });
    info.setRgb({ 0xFFFF0000u });
    info.setHintStar(1);
    info.setHintTextTag({ "h" });
    info.setHintRgb({ 0xFF00FF00u, 0xFF0000FFu });
    return info;
}

// Every column of the record as text.
QStringList fields(const FileTagInfo& i)
{
    return { QString::number(i.getRowId()), i.getPath(), i.getFile(), QString::number(i.getFileSize()),
        i.getCreateTime(), i.getModifyTime(), QString("%1x%2").arg(i.getImageWidth()).arg(i.getImageHeight()),
        QString::number(i.getStar()), i.getTextTags(), i.getRgbs(), QString::number(i.getHintStar()),
        i.getHintTextTags(), i.getHintRgbs() };
}

} // namespace

void TestFileTag::init()
{
    const QString name = QTest::currentTestFunction();
    m_db.reset(new TagDb());
    QVERIFY(m_db->openDb(m_dir.file(name + ".db"), name, false));
}

void TestFileTag::recordEdits()
{
    FileTagInfo info;
    QCOMPARE(info.addTextTag("  two   words "), 0);
    QCOMPARE(info.getTextTags(), QString("two words "));
    QCOMPARE(info.addTextTag("two words") + info.addTextTag("   "), -2);
    QCOMPARE(info.addTextTag("Two words"), 1);
    QCOMPARE(info.getTextTag(), QStringList({ "two words", "Two words" }));

    // Text setters keep the text as given and rebuild the list, and the other way round.
    info.setTextTags("a，b ");
    QCOMPARE(info.getTextTags(), QString("a，b "));
    QCOMPARE(info.getTextTag(), QStringList({ "a", "b" }));

    // Moving a colour to a place drops its other copy.
    const uint a = 0xFFFF0000u, b = 0xFF00FF00u, c = 0xFF0000FFu;
    auto update = [&](const QList<uint>& before, int pos) {
        info.setRgb(before);
        const int at = info.updateRgb(c, pos);
        return qMakePair(at, info.getRgb());
    };
    QCOMPARE(update({ a, c }, 0), qMakePair(0, QList<uint>({ c, a })));
    QCOMPARE(update({ a, b, c }, 1), qMakePair(1, QList<uint>({ a, c })));
    QCOMPARE(update({ a, b }, 5), qMakePair(2, QList<uint>({ a, b, c })));
    QCOMPARE(update({ c, a, b }, 2), qMakePair(1, QList<uint>({ a, c })));
    QCOMPARE(info.getRgbs(), QString("%1 %2 ").arg(a).arg(c));

    QCOMPARE(info.deleteRgb(2), -1);
    QCOMPARE(info.deleteRgb(0), 0);
    QCOMPARE(info.getRgbs(), QString("%1 ").arg(c));
    QCOMPARE(info.getRgb(1), 0u);
}

void TestFileTag::tableRows()
{
    FileTagTb tb(m_db.get());
    FileTagInfo a = makeRow("/p/a.jpg", 2);
    FileTagInfo upper = makeRow("/p/A.jpg", 4);
    QVERIFY(tb.addFileTag(a));
    QVERIFY(tb.addTags(upper));
    QVERIFY(a.getRowId() > 0 && upper.getRowId() != a.getRowId());

    // Case-sensitive paths: two rows, each found only by its exact path.
    QVERIFY(tb.hasTags("/p/a.jpg"));
    QVERIFY(!tb.hasTags("/P/A.JPG"));
    FileTagInfo out;
    QVERIFY(tb.readFileTag("/p/A.jpg", out));
    QCOMPARE(out.getStar(), 4);
    QVERIFY(tb.readFileTag("/p/a.jpg", out));
    QCOMPARE(fields(out), fields(a));
    QCOMPARE(out.getTextTag(), QStringList({ "海边", "sky" }));

    // Re-adding the same path replaces its row under a new rowid.
    const qint64 oldId = a.getRowId();
    QVERIFY(tb.addFileTag(a));
    QVERIFY(a.getRowId() != oldId);
    QVERIFY(!tb.readFileTagById(oldId, out));
    QVERIFY(tb.readFileTagById(a.getRowId(), out));

    // Updates by file match exactly and succeed when nothing matches.
    QVERIFY(tb.modFileStarTag("/p/a.jpg", 5));
    QVERIFY(tb.modFileStarTag("/P/a.jpg", 1));
    QVERIFY(tb.modFileTextTag("/p/a.jpg", QString("raw,text")));
    QVERIFY(tb.modFileRgbTag("/p/a.jpg", QList<uint>({ 1u, 2u })));
    QVERIFY(tb.readFileTag("/p/a.jpg", out));
    QCOMPARE(fields(out).mid(7, 3), QStringList({ "5", "raw,text", "1 2 " }));
    QCOMPARE(out.getTextTag(), QStringList({ "raw", "text" }));

    // Rename carries the row.
    QVERIFY(tb.updateFile("/p/A.jpg", "/q/新 名.jpg", "/q"));
    QVERIFY(!tb.hasTags("/p/A.jpg"));
    QVERIFY(tb.readFileTag("/q/新 名.jpg", out));
    QCOMPARE(out.getPath(), QString("/q"));

    QVERIFY(tb.delFileTag("/P/A.JPG"));
    QVERIFY(tb.delFileTag("/p/a.jpg"));
    QList<FileTagInfo*> all;
    QVERIFY(tb.loadFileTag(all));
    QCOMPARE(all.size(), 1);
    qDeleteAll(all);

    // NULL columns read as 0 or empty.
    QVERIFY(m_db->execNoQuery("insert into [filetag] ([file]) values ('/n.jpg')"));
    FileTagInfo n = makeRow("/x", 5);
    QVERIFY(tb.readFileTag("/n.jpg", n));
    QCOMPARE(fields(n).mid(1), QStringList({ "", "/n.jpg", "0", "", "", "0x0", "0", "", "", "0", "", "" }));
}

void TestFileTag::updatesByRowId()
{
    FileTagTb tb(m_db.get());
    FileTagInfo row = makeRow("/p/a.jpg", 1);
    QVERIFY(tb.addFileTag(row));
    const qint64 id = row.getRowId();

    row.setImageWidth(10);
    QVERIFY(tb.modFileTagById(row));
    FileTagInfo out;
    QVERIFY(tb.readFileTagById(id, out));
    QCOMPARE(out.getImageWidth(), 10);

    // The loader replaces the row: the old rowid now matches nothing, and every update by it says so.
    FileTagInfo fresh = makeRow("/p/a.jpg", 2);
    QVERIFY(tb.addFileTag(fresh));
    QVERIFY(fresh.getRowId() != id);
    QVERIFY(!tb.modFileStarTag(id, 5));
    QVERIFY(!tb.modFileTextTag(id, QString("lost ")));
    QVERIFY(!tb.modFileTextTag(id, QStringList({ "lost" })));
    QVERIFY(!tb.modFileRgbTag(id, QString("1 ")));
    QVERIFY(!tb.modFileRgbTag(id, QList<uint>({ 1u })));
    QVERIFY(!tb.updateTags(id, row));
    QVERIFY(!tb.modFileTagById(row));
    // The edit can still reach the row by its file.
    QVERIFY(tb.modFileStarTag("/p/a.jpg", 5));
    QVERIFY(tb.readFileTag("/p/a.jpg", out));
    QCOMPARE(out.getStar(), 5);
    QCOMPARE(out.getRowId(), fresh.getRowId());
}

void TestFileTag::loadFromFile()
{
    QString path = testutil::makeImage(m_dir.path(), "照片 一.png", 120, 80, QColor(255, 0, 0));
    const QFileInfo fi(path);
    const QByteArray bytes = testutil::readBytes(path);

    FileTagInfo info;
    QCOMPARE(info.loadFromFile(fi, bytes, QImage(path)), 0);
    const FileTimes times = platform::readFileTimes(path);
    QCOMPARE(fields(info).mid(1, 6),
        QStringList({ fi.absolutePath(), fi.absoluteFilePath(), QString::number(fi.size()),
            times.created.toUTC().toString("yyyy-MM-dd hh:mm:ss"),
            times.modified.toUTC().toString("yyyy-MM-dd hh:mm:ss"), "120x80" }));

    // No embedded tags: the suggested colours become the file's own.
    QVERIFY(info.getHintRgb().contains(0xFFFF0000u));
    QCOMPARE(info.getRgbs(), info.getHintRgbs());
    QCOMPARE(info.getStar(), info.getHintStar());

    // Bad input: a zero-byte ".jpg" and text named ".png" load their facts and no tags.
    QVERIFY(testutil::writeBytes(m_dir.file("zero.jpg"), QByteArray()));
    QVERIFY(testutil::writeBytes(m_dir.file("text.png"), "just some text"));
    for (const QString& p : { m_dir.file("zero.jpg"), m_dir.file("text.png") }) {
        FileTagInfo bad;
        QCOMPARE(bad.loadFromFile(QFileInfo(p), testutil::readBytes(p), QImage(p)), 0);
        QCOMPARE(bad.getFile(), p);
        QCOMPARE(fields(bad).mid(6), QStringList({ "0x0", "0", "", "", "0", "", "" }));
    }

    path = testutil::makeImage(m_dir.path(), "tagged.jpg", 64, 48, QColor(0, 0, 255));
    ExivTags writer;
    writer.setStar(4);
    writer.setRgb({ 0xFFFFFF00u });
    // Tags written by other programs may hold blanks and separators.
    writer.setTextTag({ "beach sunset", "家人，朋友", "", "a\tb", "ok" });
    QCOMPARE(writer.saveTagsToFile(path), 0);

    info = FileTagInfo();
    info.loadFromFile(QFileInfo(path), testutil::readBytes(path), QImage(path));
    QCOMPARE(fields(info).mid(7, 3), QStringList({ "4", "beach sunset 家人 朋友 a b ok ", "4294967040 " }));
    QCOMPARE(info.getTextTag(), QStringList({ "beach", "sunset", "家人", "朋友", "a", "b", "ok" }));
    // The hints are still computed, but the embedded tags win.
    QVERIFY(info.getHintRgb().contains(0xFF0000FFu));
}

// A row stays valid across a time-zone change and a backup restored with its times; a changed file is stale.
void TestFileTag::rowMatchesFile()
{
    const QString path = testutil::makeImage(m_dir.path(), "照片 a.jpg", 32, 24);
    FileTagInfo row;
    row.loadFromFile(QFileInfo(path), testutil::readBytes(path), QImage());
    QVERIFY(row.matchesFile(QFileInfo(path)));

    testutil::useTimeZone("America/New_York");
    const bool otherZone = row.matchesFile(QFileInfo(path));
    const QString localThere = FileTagInfo::localTimeText(row.getModifyTime());
    testutil::useTimeZone("Asia/Shanghai");
    QVERIFY(otherZone);
    QVERIFY(localThere != FileTagInfo::localTimeText(row.getModifyTime()));

    // Restored from a backup: a new file (new birth time) with the old bytes and modified time.
    const FileTimes times = platform::readFileTimes(path);
    const QByteArray bytes = testutil::readBytes(path);
    QVERIFY(QFile::remove(path));
    QTest::qWait(20);
    QVERIFY(testutil::writeBytes(path, bytes));
    QVERIFY(platform::writeFileTimes(path, times));
    QVERIFY(row.matchesFile(QFileInfo(path)));

    FileTimes later = times;
    later.modified = times.modified.addSecs(1);
    later.modifiedNs = 0;
    QVERIFY(platform::writeFileTimes(path, later));
    QVERIFY(!row.matchesFile(QFileInfo(path)));
    QVERIFY(platform::writeFileTimes(path, times));
    QVERIFY(testutil::writeBytes(path, bytes + "x"));
    QVERIFY(platform::writeFileTimes(path, times));
    QVERIFY(!row.matchesFile(QFileInfo(path)));
    QVERIFY(!row.matchesFile(QFileInfo(m_dir.file("missing.jpg"))));
}

QTEST_MAIN(TestFileTag)
#include "tst_filetag.moc"
