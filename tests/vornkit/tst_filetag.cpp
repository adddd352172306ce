#include "datetimeutil.h"
#include "exivtags.h"
#include "filetaginfo.h"
#include "filetagtb.h"
#include "platform.h"
#include "tagdb.h"
#include "testutil.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

class TestFileTag : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void recordEdits();
    void tableRows();
    void updatesByRowId();
    void loadFromFileFacts();
    void loadEmbeddedTags();

private:
    testutil::TempDir* m_dir = nullptr;
    TagDb* m_db = nullptr;
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

} // namespace

void TestFileTag::init()
{
    static int n = 0;
    m_dir = new testutil::TempDir();
    m_db = new TagDb();
    QVERIFY(m_db->openDb(m_dir->file("data/tag.db"), QString("ft%1").arg(n++), false));
}

void TestFileTag::cleanup()
{
    delete m_db;
    delete m_dir;
}

void TestFileTag::recordEdits()
{
    FileTagInfo info;
    QCOMPARE(info.getRowId(), 0);
    QVERIFY(info.getTextTags().isEmpty() && info.getRgb().isEmpty());

    QCOMPARE(info.addTextTag("  two   words "), 0);
    QCOMPARE(info.getTextTags(), QString("two words "));
    QCOMPARE(info.addTextTag("two words"), -1);
    QCOMPARE(info.addTextTag("   "), -1);
    QCOMPARE(info.addTextTag("Two words"), 1);
    QCOMPARE(info.getTextTag(), QStringList({ "two words", "Two words" }));

    // Text setters keep the text as given and rebuild the list, and the other way round.
    info.setTextTags("a，b ");
    QCOMPARE(info.getTextTags(), QString("a，b "));
    QCOMPARE(info.getTextTag(), QStringList({ "a", "b" }));
    info.setHintRgbs("4294901760 x");
    QCOMPARE(info.getHintRgb(), QList<uint>({ 0xFFFF0000u, 0u }));
    info.setHintTextTag({ "p", "q" });
    QCOMPARE(info.getHintTextTags(), QString("p q "));

    const uint a = 0xFFFF0000u, b = 0xFF00FF00u, c = 0xFF0000FFu;
    info.setRgb({ a, c });
    QCOMPARE(info.updateRgb(c, 0), 0);
    QCOMPARE(info.getRgb(), QList<uint>({ c, a }));
    info.setRgb({ a, b, c });
    QCOMPARE(info.updateRgb(c, 1), 1);
    QCOMPARE(info.getRgb(), QList<uint>({ a, c }));
    info.setRgb({ a, b });
    QCOMPARE(info.updateRgb(c, 5), 2);
    QCOMPARE(info.getRgb(), QList<uint>({ a, b, c }));
    info.setRgb({ c, a, b });
    QCOMPARE(info.updateRgb(c, 2), 1);
    QCOMPARE(info.getRgb(), QList<uint>({ a, c }));
    QCOMPARE(info.getRgbs(), QString("%1 %2 ").arg(a).arg(c));

    QCOMPARE(info.deleteRgb(-1), -1);
    QCOMPARE(info.deleteRgb(2), -1);
    QCOMPARE(info.getRgb().size(), 2);
    QCOMPARE(info.deleteRgb(0), 0);
    QCOMPARE(info.getRgbs(), QString("%1 ").arg(c));
    QCOMPARE(info.getRgb(0), c);
    QCOMPARE(info.getRgb(1), 0u);
    QCOMPARE(info.getRgb(-1), 0u);
}

void TestFileTag::tableRows()
{
    FileTagTb tb(m_db);
    FileTagInfo a = makeRow("/p/a.jpg", 2);
    FileTagInfo upper = makeRow("/p/A.jpg", 4);
    QVERIFY(tb.addFileTag(a));
    QVERIFY(tb.addTags(upper));
    QVERIFY(a.getRowId() > 0 && upper.getRowId() != a.getRowId());

    // Case-sensitive paths: two rows, each found only by its exact path.
    QVERIFY(tb.hasTags("/p/a.jpg"));
    QVERIFY(!tb.hasTags("/P/A.JPG"));
    QVERIFY(!tb.hasTags(""));
    FileTagInfo out;
    QVERIFY(!tb.readFileTag("", out));
    QVERIFY(tb.readFileTag("/p/A.jpg", out));
    QCOMPARE(out.getStar(), 4);
    QVERIFY(tb.readFileTag("/p/a.jpg", out));
    QCOMPARE(out.getRowId(), a.getRowId());
    QCOMPARE(out.getPath(), QString("/p"));
    QCOMPARE(out.getFileSize(), 1234);
    QCOMPARE(out.getCreateTime(), QString("2023-01-02 03:04:05"));
    QCOMPARE(out.getModifyTime(), QString("2023-01-02 03:04:06"));
    QCOMPARE(out.getImageWidth(), 640);
    QCOMPARE(out.getImageHeight(), 480);
    QCOMPARE(out.getStar(), 2);
    QCOMPARE(out.getTextTags(), QString("海边 sky "));
    QCOMPARE(out.getTextTag(), QStringList({ "海边", "sky" }));
    QCOMPARE(out.getRgb(), QList<uint>({ 0xFFFF0000u }));
    QCOMPARE(out.getHintStar(), 1);
    QCOMPARE(out.getHintTextTag(), QStringList({ "h" }));
    QCOMPARE(out.getHintRgbs(), QString("4278255360 4278190335 "));

    // A missing row leaves the record as it was.
    FileTagInfo keep = makeRow("/x", 5);
    QVERIFY(!tb.readFileTag("/p/none.jpg", keep));
    QVERIFY(!tb.readFileTagById(0, keep));
    QVERIFY(!tb.readFileTagById(99999, keep));
    QCOMPARE(keep.getStar(), 5);
    QCOMPARE(keep.getFile(), QString("/x"));

    // Re-adding the same path replaces its row under a new rowid.
    const qint64 oldId = a.getRowId();
    a.setStar(3);
    QVERIFY(tb.addFileTag(a));
    QVERIFY(a.getRowId() != oldId);
    QVERIFY(!tb.readFileTagById(oldId, out));
    QVERIFY(tb.readFileTagById(a.getRowId(), out));
    QCOMPARE(out.getStar(), 3);

    // Updates by file match exactly and succeed when nothing matches.
    QVERIFY(tb.modFileStarTag("/p/a.jpg", 5));
    QVERIFY(tb.modFileStarTag("/P/a.jpg", 1));
    QVERIFY(tb.modFileTextTag("/p/a.jpg", QStringList({ "x", "y" })));
    QVERIFY(tb.modFileRgbTag("/p/a.jpg", QList<uint>({ 1u, 2u })));
    QVERIFY(tb.readFileTag("/p/a.jpg", out));
    QCOMPARE(out.getStar(), 5);
    QCOMPARE(out.getTextTags(), QString("x y "));
    QCOMPARE(out.getRgbs(), QString("1 2 "));
    QVERIFY(tb.modFileTextTag("/p/a.jpg", QString("raw,text")));
    QVERIFY(tb.modFileRgbTag("/p/a.jpg", QString("7 ")));
    QVERIFY(tb.readFileTag("/p/a.jpg", out));
    QCOMPARE(out.getTextTags(), QString("raw,text"));
    QCOMPARE(out.getTextTag(), QStringList({ "raw", "text" }));
    QCOMPARE(out.getRgb(), QList<uint>({ 7u }));

    FileTagInfo tags = makeRow("/ignored", 0);
    tags.setTextTag({ "t" });
    QVERIFY(tb.updateTags("/p/A.jpg", tags));
    QVERIFY(tb.updateTags("/nowhere", tags));
    QVERIFY(tb.readFileTag("/p/A.jpg", out));
    QCOMPARE(out.getStar(), 0);
    QCOMPARE(out.getTextTag(), QStringList({ "t" }));
    QCOMPARE(out.getFileSize(), 1234);

    // Rename carries the row.
    QVERIFY(tb.updateFile("/p/A.jpg", "/q/新 名.jpg", "/q"));
    QVERIFY(!tb.hasTags("/p/A.jpg"));
    QVERIFY(tb.readFileTag("/q/新 名.jpg", out));
    QCOMPARE(out.getPath(), QString("/q"));

    QList<FileTagInfo*> all;
    QVERIFY(tb.loadFileTag(all));
    QCOMPARE(all.size(), 2);
    qDeleteAll(all);

    QVERIFY(tb.delFileTag("/P/A.JPG"));
    QVERIFY(tb.delFileTag("/p/a.jpg"));
    QVERIFY(!tb.hasTags("/p/a.jpg"));
    QVERIFY(tb.delFileTagById(out.getRowId()));
    QVERIFY(tb.delFileTagById(out.getRowId()));
    all.clear();
    QVERIFY(tb.loadFileTag(all));
    QVERIFY(all.isEmpty());

    // NULL columns read as 0 or empty.
    QVERIFY(m_db->execNoQuery("insert into [filetag] ([file]) values ('/n.jpg')"));
    FileTagInfo n = makeRow("/x", 5);
    QVERIFY(tb.readFileTag("/n.jpg", n));
    QCOMPARE(n.getStar(), 0);
    QVERIFY(n.getTextTag().isEmpty() && n.getTextTags().isEmpty() && n.getHintRgb().isEmpty());
    QVERIFY(n.getPath().isEmpty());

    // Over no database everything fails; loads still report true and append nothing.
    FileTagTb none(nullptr);
    QVERIFY(!none.addFileTag(a));
    QVERIFY(!none.hasTags("/n.jpg"));
    QVERIFY(!none.modFileStarTag("/n.jpg", 1));
    all.clear();
    QVERIFY(none.loadFileTag(all));
    QVERIFY(all.isEmpty());
}

void TestFileTag::updatesByRowId()
{
    FileTagTb tb(m_db);
    FileTagInfo row = makeRow("/p/a.jpg", 1);
    QVERIFY(tb.addFileTag(row));
    const qint64 id = row.getRowId();

    QVERIFY(tb.modFileStarTag(id, 4));
    QVERIFY(tb.modFileTextTag(id, QStringList({ "k" })));
    QVERIFY(tb.modFileRgbTag(id, QList<uint>({ 9u })));
    QVERIFY(tb.updateTags(id, row));
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

void TestFileTag::loadFromFileFacts()
{
    const QString path = testutil::makeImage(m_dir->path(), "照片 一.png", 120, 80, QColor(255, 0, 0));
    QVERIFY(!path.isEmpty());
    const QFileInfo fi(path);
    const QByteArray bytes = testutil::readBytes(path);
    const QImage image(path);

    FileTagInfo info;
    QCOMPARE(info.loadFromFile(fi, bytes, image), 0);
    QCOMPARE(info.getFile(), fi.absoluteFilePath());
    QCOMPARE(info.getPath(), fi.absolutePath());
    QCOMPARE(info.getFileSize(), fi.size());
    QCOMPARE(info.getImageWidth(), 120);
    QCOMPARE(info.getImageHeight(), 80);
    const FileTimes times = platform::readFileTimes(path);
    QCOMPARE(info.getModifyTime(), DateTimeToStr(times.modified));
    QCOMPARE(info.getCreateTime(), DateTimeToStr(times.created));
    QVERIFY(info.getModifyTime().contains(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$")));

    // No embedded tags: the suggested colours become the file's own.
    QVERIFY(info.getHintRgb().contains(0xFFFF0000u));
    QCOMPARE(info.getRgb(), info.getHintRgb());
    QCOMPARE(info.getRgbs(), info.getHintRgbs());
    QCOMPARE(info.getStar(), info.getHintStar());
    FileTagInfo flat;
    flat.loadFromFile(fi, bytes, testutil::solidImage(50, 50, QColor(255, 0, 0)));
    QCOMPARE(flat.getRgbs(), QString("4294901760 "));

    // A row one second off is no longer valid for the file.
    FileTagTb tb(m_db);
    QVERIFY(tb.addFileTag(info));
    FileTimes later = times;
    later.modified = times.modified.addSecs(1);
    later.modifiedNs += 1000000000LL;
    QVERIFY(platform::writeFileTimes(path, later));
    FileTagInfo now;
    now.loadFromFile(QFileInfo(path), bytes, image);
    FileTagInfo stored;
    QVERIFY(tb.readFileTag(path, stored));
    QVERIFY(stored.getModifyTime() != now.getModifyTime());
    QCOMPARE(stored.getFileSize(), now.getFileSize());

    // Bad input: a zero-byte ".jpg" and text named ".png" load their facts and no tags.
    QVERIFY(testutil::writeBytes(m_dir->file("zero.jpg"), QByteArray()));
    QVERIFY(testutil::writeBytes(m_dir->file("text.png"), "just some text"));
    for (const QString& name : { QString("zero.jpg"), QString("text.png") }) {
        FileTagInfo bad;
        const QString p = m_dir->file(name);
        QCOMPARE(bad.loadFromFile(QFileInfo(p), testutil::readBytes(p), QImage(p)), 0);
        QCOMPARE(bad.getImageWidth(), 0);
        QVERIFY(bad.getRgb().isEmpty() && bad.getTextTag().isEmpty());
        QCOMPARE(bad.getStar(), 0);
        QCOMPARE(bad.getFile(), p);
    }
}

void TestFileTag::loadEmbeddedTags()
{
    const QString path = testutil::makeImage(m_dir->path(), "tagged.jpg", 64, 48, QColor(0, 0, 255));
    ExivTags writer;
    writer.setStar(4);
    writer.setRgb({ 0xFFFFFF00u });
    // Tags written by other programs may hold blanks and separators.
    writer.setTextTag({ "beach sunset", "家人，朋友", "", "a\tb", "ok" });
    QCOMPARE(writer.saveTagsToFile(path), 0);

    FileTagInfo info;
    info.loadFromFile(QFileInfo(path), testutil::readBytes(path), QImage(path));
    QCOMPARE(info.getStar(), 4);
    QCOMPARE(info.getRgb(), QList<uint>({ 0xFFFFFF00u }));
    const QStringList expected { "beach", "sunset", "家人", "朋友", "a", "b", "ok" };
    QCOMPARE(info.getTextTag(), expected);
    QCOMPARE(info.getTextTags(), QString("beach sunset 家人 朋友 a b ok "));
    // The hints are still computed, but the embedded tags win.
    QVERIFY(info.getHintRgb().contains(0xFF0000FFu));

    // What the database gives back is what the record held.
    FileTagTb tb(m_db);
    QVERIFY(tb.addFileTag(info));
    FileTagInfo back;
    QVERIFY(tb.readFileTag(path, back));
    QCOMPARE(back.getTextTag(), expected);
    QCOMPARE(back.getRgb(), info.getRgb());
    QCOMPARE(back.getStar(), 4);
}

QTEST_MAIN(TestFileTag)
#include "tst_filetag.moc"
