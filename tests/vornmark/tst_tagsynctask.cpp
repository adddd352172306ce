// The synchronisation run on real photos and real databases: the conflict rules, what a run writes and what it
// never touches, the build of a folder tree, the cache resize, and edits of the photo manager made meanwhile,
// from another connection and from another process ("--manager <db> <folder> <count>").

#include "common/photomaker.h"
#include "common/testutil.h"

#include "tagsynccfg.h"
#include "tagsynctask.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "meta/exivtags.h"
#include "meta/exivutil.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/bookpathinfo.h"
#include "records/bookpathtb.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"
#include "records/imagecacheinfo.h"
#include "records/imagecachetb.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <cstdio>

#include <sys/stat.h>

using namespace testutil;

namespace {

const uint kRed = 0xFFFF0000u;
const uint kBlue = 0xFF0000FFu;
const uint kGreen = 0xFF00FF00u;

using Rgbs = QList<uint>;

// "star colours words", as "2 rb a,b": two stars, red and blue, tags a and b.
QString tagText(int star, const Rgbs& rgb, const QStringList& words)
{
    QString colours;
    for (uint c : rgb)
        colours += c == kRed ? 'r' : c == kBlue ? 'b' : c == kGreen ? 'g' : '?';
    return QString("%1 %2 %3").arg(star).arg(colours, words.join(','));
}

// The tags inside the photo; "none" without ours.
QString fileTags(const QString& file)
{
    ExivTags exiv;
    if (exiv.loadTagsFromFile(file) < 0 || !exiv.getHasTags())
        return "none";
    return tagText(exiv.getStar(), exiv.getRgb(), exiv.getTextTag());
}

bool setFileTags(const QString& file, int star, const Rgbs& rgb, const QStringList& text)
{
    ExivTags exiv;
    exiv.setStar(star);
    exiv.setRgb(rgb);
    exiv.setTextTag(text);
    return exiv.saveTagsToFile(file) == 0;
}

void addRow(const QString& file, int star, const Rgbs& rgb, const QStringList& text)
{
    FileTagInfo row;
    const QFileInfo fi(file);
    row.setPath(fi.absolutePath());
    row.setFile(fi.absoluteFilePath());
    row.setFileFacts(fi);
    row.setStar(star);
    row.setRgb(rgb);
    row.setTextTag(text);
    PooledDb<TagDb> db(tagDbPool);
    FileTagTb(db.get()).addFileTag(row);
}

// The photo's row as tagText, with " stale" when it no longer describes the file; "none" without a row.
QString rowTags(const QString& file, FileTagInfo* read = nullptr)
{
    FileTagInfo row;
    PooledDb<TagDb> db(tagDbPool);
    if (!FileTagTb(db.get()).readFileTag(file, read ? *read : row))
        return "none";
    const FileTagInfo& r = read ? *read : row;
    return tagText(r.getStar(), r.getRgb(), r.getTextTag()) + (r.matchesFile(QFileInfo(file)) ? "" : " stale");
}

void addCache(const QString& file, int w, int h)
{
    ImageCacheInfo cache;
    cache.setPath(QFileInfo(file).absolutePath());
    cache.setFile(file);
    cache.setThumbWidth(w);
    cache.setThumbHeight(h);
    cache.setThumb(solidImage(w / 2, h / 2, Qt::gray));
    PooledDb<ThumbDb> db(thumbDbPool);
    ImageCacheTb(db.get()).addImageCache(cache);
}

// The photo's thumbnail as "box picture", as "192x108 144x108"; "none" without one.
QString thumbOf(const QString& file)
{
    ImageCacheInfo cache;
    PooledDb<ThumbDb> db(thumbDbPool);
    if (!ImageCacheTb(db.get()).readImageCache(file, cache))
        return "none";
    const QSize thumb = cache.getThumb().size();
    return QString("%1x%2 %3x%4")
        .arg(cache.getThumbWidth())
        .arg(cache.getThumbHeight())
        .arg(thumb.width())
        .arg(thumb.height());
}

// One synchronisation run on this thread: its messages, how it ended, how many photos it wrote.
struct Run {
    QStringList infos;
    int endError = -1;
    int written = 0;
};

Run runTask(TagSyncTask& task)
{
    Run run;
    QObject::connect(
        &task, &TaskObject::taskStep, &task,
        [&](TaskObject& info) {
            run.infos.append(info.getInfo());
            if (info.getSignType() == TaskObject::TaskEnd)
                run.endError = info.getError();
        },
        Qt::DirectConnection);
    task.run();
    run.written = task.writtenPhotos();
    return run;
}

Run runSync()
{
    TagSyncTask task;
    return runTask(task);
}

TagSyncCfg& freshCfg()
{
    return *TagSyncCfg::instance(1);
}

void syncAll(TagSyncCfg& cfg, int direction, int conflict)
{
    cfg.tag.ColorSync = cfg.tag.StarSync = cfg.tag.TextTagSync = true;
    cfg.tag.ColorSyncTactics = cfg.tag.StarSyncTactics = cfg.tag.TextTagSyncTactics = direction;
    cfg.tag.ColorConflictTactics = cfg.tag.StarConflictTactics = cfg.tag.TextTagConflictTactics = conflict;
}

QByteArray fileState(const QString& file)
{
    struct stat st;
    ::stat(QFile::encodeName(file).constData(), &st);
    return readBytes(file) + QByteArray::number(qint64(st.st_mtim.tv_sec)) + ':'
        + QByteArray::number(qint64(st.st_mtim.tv_nsec)) + ':' + QByteArray::number(qint64(st.st_ino));
}

// The photo manager's writer: once a line arrives on its input, sets a star on each photo pN.jpg of the folder,
// one by one.
int runManager(char** argv)
{
    TagDb db;
    if (!db.openDb(QFile::decodeName(argv[2]), "manager", false) || std::getchar() == EOF)
        return 3;
    FileTagTb table(&db);
    for (int i = 0; i < atoi(argv[4]); ++i) {
        if (!table.modFileStarTag(QFile::decodeName(argv[3]) + QString("/p%1.jpg").arg(i), 1 + i % 5))
            return 5;
        QThread::usleep(1500);
    }
    return 0;
}

// The photo manager adds a text tag through its own connection right after the synchroniser wrote the photo.
class EditingTask : public TagSyncTask {
public:
    QString dbFile;
    int edits = 0;

protected:
    void photoWritten(const QString& file) override
    {
        if (edits++ > 0)
            return;
        TagDb other;
        other.openDb(dbFile, "manager", false);
        FileTagTb(&other).modFileTextTag(file, QStringList { "a", "mgr" });
    }
};

} // namespace

class TestTagSyncTask : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void conflictRules_data();
    void conflictRules();
    void outOfSyncRows();
    void missingFolderKeepsItsRows();
    void buildFolderTree();
    void resizeThumbs();
    void resizeToSameBoxKeepsSmallPictures();
    void editDuringWriteIsMergedAgain();
    void managerProcessLosesNoTag();

private:
    std::unique_ptr<ProgramDir> m_program;
    std::unique_ptr<TempDir> m_photos;
};

void TestTagSyncTask::initTestCase()
{
    useTimeZone("Asia/Shanghai"); // rows written as local time are eight hours off
    initExiv2();
    registerTaskMetaTypes();
}

void TestTagSyncTask::init()
{
    m_program = std::make_unique<ProgramDir>();
    m_photos = std::make_unique<TempDir>();
    createDbPools();
    freshCfg();
}

void TestTagSyncTask::cleanup()
{
    destroyDbPools();
    TagSyncCfg::release();
    m_photos.reset();
    m_program.reset();
}

void TestTagSyncTask::conflictRules_data()
{
    QTest::addColumn<bool>("fileHasTags");
    QTest::addColumn<bool>("starOnly");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("conflict");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("file");

    // Database: 2 rb a,b; file: 4 bg b,c.
    const QString d("2 rb a,b"), f("4 bg b,c"), u("4 rbg a,b,c");
    QTest::newRow("both ways, database") << true << false << 0 << 0 << d << d;
    QTest::newRow("both ways, union") << true << false << 0 << 2 << u << u;
    QTest::newRow("to file, file") << true << false << 1 << 1 << d << f;
    QTest::newRow("to database, intersection") << true << false << 2 << 3 << QString("2 b b") << f;
    // Kinds not synchronised keep their values on both sides.
    QTest::newRow("star only, database") << true << true << 0 << 0 << d << QString("2 bg b,c");
    // A file without our tags: every rule gives the database's tags; towards the database nothing happens.
    QTest::newRow("no tags, both ways, union") << false << false << 0 << 2 << d << d;
    QTest::newRow("no tags, to database, file") << false << false << 2 << 1 << d << QString("none");
}

void TestTagSyncTask::conflictRules()
{
    QFETCH(bool, fileHasTags);
    QFETCH(bool, starOnly);
    QFETCH(int, direction);
    QFETCH(int, conflict);
    const QString photo = photomaker::makePhoto(m_photos->path(), "照片 1.jpg");
    if (fileHasTags)
        QVERIFY(setFileTags(photo, 4, { kBlue, kGreen }, { "b", "c" }));
    addRow(photo, 2, { kRed, kBlue }, { "a", "b" });
    TagSyncCfg& cfg = freshCfg();
    syncAll(cfg, direction, conflict);
    cfg.tag.ColorSync = cfg.tag.TextTagSync = !starOnly;

    // A written photo keeps a row that still describes it, and a second run writes nothing.
    QCOMPARE(runSync().endError, 0);
    QTEST(rowTags(photo), "row");
    QTEST(fileTags(photo), "file");
    const QByteArray state = fileState(photo);
    cfg.tag.DeleteInvalidTag = cfg.tag.DeleteOutSyncTag = true;
    QCOMPARE(runSync().written, 0);
    QCOMPARE(fileState(photo), state);
    QTEST(rowTags(photo), "row");
}

void TestTagSyncTask::outOfSyncRows()
{
    // Retagged elsewhere after its row was written: the out-of-date row goes and is not written back.
    const QString retagged = photomaker::makePhoto(m_photos->path(), "retagged.jpg");
    addRow(retagged, 1, { kRed }, { "old" });
    QVERIFY(setFileTags(retagged, 5, { kGreen }, { "new" }));
    // A row written before file times were kept as UTC (a local time eight hours off), for a photo without tags
    // of ours: its tags are all the user has, so it is kept and takes the file's facts; its thumbnail goes.
    const QString plain = photomaker::makePhoto(m_photos->path(), "plain.jpg");
    addRow(plain, 4, { kBlue }, { "keep" });
    addCache(plain, 192, 108);
    {
        PooledDb<TagDb> db(tagDbPool);
        FileTagInfo row;
        QVERIFY(FileTagTb(db.get()).readFileTag(plain, row));
        row.setModifyTime(QFileInfo(plain).lastModified().toString("yyyy-MM-dd hh:mm:ss"));
        QVERIFY(FileTagTb(db.get()).modFileTagById(row));
    }
    QCOMPARE(rowTags(plain), QString("4 b keep stale"));
    TagSyncCfg& cfg = freshCfg();
    cfg.tag.DeleteOutSyncTag = true;
    syncAll(cfg, 0, 0);

    runSync();
    QCOMPARE(rowTags(retagged), QString("none"));
    QCOMPARE(fileTags(retagged), QString("5 g new"));
    QCOMPARE(rowTags(plain), QString("4 b keep"));
    QCOMPARE(thumbOf(plain), QString("none"));
}

void TestTagSyncTask::missingFolderKeepsItsRows()
{
    QDir(m_photos->path()).mkpath("drive/2020");
    QDir(m_photos->path()).mkpath("here");
    const QString away = photomaker::makePhoto(m_photos->file("drive/2020"), "a.jpg");
    const QString deleted = photomaker::makePhoto(m_photos->file("here"), "d.jpg");
    const QString kept = photomaker::makePhoto(m_photos->file("here"), "k.jpg");
    for (const QString& p : { away, deleted, kept }) {
        addRow(p, 3, { kRed }, { "t" });
        addCache(p, 192, 108);
    }
    PooledDb<TagDb> db(tagDbPool);
    BookPathInfo top;
    std::unique_ptr<BookPathInfo> root(BookPathTb(db.get()).addBookpath(&top, "收藏"));
    QVERIFY(root);
    BookMarkTb marks(db.get());
    delete marks.addBookmark(root.get(), BookMarkInfo::BookMarkFile, away);
    delete marks.addBookmark(root.get(), BookMarkInfo::BookMarkFile, deleted);
    delete marks.addBookmark(root.get(), BookMarkInfo::BookMarkPath, m_photos->file("drive/2020"));
    // The drive, listed in the file-system table, goes away (unmounted); one photo is deleted for real.
    ListedMountPoints listed({ m_photos->file("drive") });
    QVERIFY(QDir(m_photos->path()).rename("drive", "drive.off"));
    QVERIFY(QFile::remove(deleted));
    TagSyncCfg& cfg = freshCfg();
    cfg.DeleteInvalidFileFav = cfg.DeleteInvalidPathFav = true;
    cfg.tag.DeleteInvalidTag = cfg.tag.DeleteOutSyncTag = true;
    syncAll(cfg, 0, 0);
    cfg.thumb.DeleteInvalidThumb = true;

    QCOMPARE(runSync().endError, 0);
    QCOMPARE(rowTags(away) + " / " + thumbOf(away), QString("3 r t stale / 192x108 96x54"));
    QCOMPARE(rowTags(kept), QString("3 r t"));
    QCOMPARE(rowTags(deleted) + " / " + thumbOf(deleted), QString("none / none"));
    QCOMPARE(queryRows(*db.get(), "SELECT [file] FROM [bookmark] ORDER BY [file]"),
        (QStringList { m_photos->file("drive/2020"), away }));
}

void TestTagSyncTask::buildFolderTree()
{
    const QString root = m_photos->file("树 root");
    QDir().mkpath(root + "/a");
    QDir().mkpath(root + "/b/c");
    const QString big = photomaker::makePhoto(root + "/a", "big 大.jpg", true, 400, 300);
    QVERIFY(setFileTags(big, 3, { kBlue }, { "山", "海" }));
    const QString small = makeImage(root + "/b", "small.png", 100, 80, Qt::red);
    const QString tagged = photomaker::makePhoto(root + "/b/c", "tagged.jpg", false, 300, 200);
    writeBytes(root + "/b/broken.jpg", "not a picture");
    // A link back up the tree is walked once.
    QVERIFY(QFile::link(root, root + "/b/c/loop"));
    // A row the photo manager already made is kept as it is.
    addRow(tagged, 2, { kGreen }, { "mine" });
    TagSyncCfg& cfg = freshCfg();
    cfg.build.BuildThumb = true;
    cfg.build.paths = QStringList { root };
    cfg.build.CacheBigImage = true;

    const Run run = runSync();
    QCOMPARE(run.endError, 0);
    QCOMPARE(run.infos.filter("开始构建目录[ ").size(), 4);
    FileTagInfo row;
    QCOMPARE(rowTags(big, &row), QString("3 b 山,海"));
    QCOMPARE(QSize(row.getImageWidth(), row.getImageHeight()), QSize(400, 300));
    QCOMPARE(thumbOf(big), QString("192x108 144x108"));
    // Without tags in the file, the colour tags come from the picture; a picture within the box gets no thumbnail.
    QCOMPARE(rowTags(small), QString("0 r "));
    QCOMPARE(thumbOf(small), QString("none"));
    QCOMPARE(rowTags(tagged), QString("2 g mine"));
    QCOMPARE(thumbOf(tagged), QString("192x108 162x108"));
    QCOMPARE(rowTags(root + "/b/broken.jpg"), QString("none"));
}

void TestTagSyncTask::resizeThumbs()
{
    // Resized to the new box: one already of that box is left, one within it goes, one that cannot be read stays.
    const QString same = photomaker::makePhoto(m_photos->path(), "same.jpg", false, 400, 300);
    const QString large = photomaker::makePhoto(m_photos->path(), "large.jpg", false, 400, 300);
    const QString small = photomaker::makePhoto(m_photos->path(), "small.jpg", false, 80, 40);
    const QString broken = m_photos->file("broken.jpg");
    writeBytes(broken, "no picture");
    addCache(same, 96, 54);
    for (const QString& p : { large, small, broken })
        addCache(p, 192, 108);
    TagSyncCfg& cfg = freshCfg();
    cfg.thumb.ResizeThumb = true;
    cfg.thumb.ThumbWidth = 96;
    cfg.thumb.ThumbHeight = 54;

    runSync();
    QCOMPARE(thumbOf(same), QString("96x54 48x27"));
    QCOMPARE(thumbOf(large), QString("96x54 72x54"));
    QCOMPARE(thumbOf(small), QString("none"));
    QCOMPARE(thumbOf(broken), QString("192x108 96x54"));
}

void TestTagSyncTask::resizeToSameBoxKeepsSmallPictures()
{
    // Thumbnails built for the box, pictures within it included, record the box.
    const QString built = m_photos->file("built");
    QVERIFY(QDir().mkpath(built));
    const QString square = makeImage(built, "square.png", 100, 100, Qt::red);
    const QString wide = photomaker::makePhoto(built, "wide.jpg", false, 80, 40);
    const QString large = photomaker::makePhoto(built, "large.jpg", false, 400, 300);
    TagSyncCfg& cfg = freshCfg();
    cfg.build.BuildThumb = true;
    cfg.build.paths = QStringList { built };
    cfg.build.CacheBigImage = false;
    runSync();
    QCOMPARE(thumbOf(square), QString("192x108 100x100"));
    QCOMPARE(thumbOf(wide), QString("192x108 80x40"));

    // Rows of earlier versions recorded a small picture's own size; a larger picture's row of another box still
    // gets a new thumbnail.
    const QString old = makeImage(m_photos->path(), "old small.png", 90, 60, Qt::blue);
    addCache(old, 90, 60);
    const QString oldLarge = photomaker::makePhoto(m_photos->path(), "old large.jpg", false, 400, 300);
    addCache(oldLarge, 90, 60);

    TagSyncCfg& resize = freshCfg();
    resize.thumb.ResizeThumb = true;
    resize.thumb.ThumbWidth = 192;
    resize.thumb.ThumbHeight = 108;
    runSync();
    QCOMPARE(thumbOf(square), QString("192x108 100x100"));
    QCOMPARE(thumbOf(wide), QString("192x108 80x40"));
    QCOMPARE(thumbOf(large), QString("192x108 144x108"));
    QCOMPARE(thumbOf(old), QString("90x60 45x30"));
    QCOMPARE(thumbOf(oldLarge), QString("192x108 144x108"));
}

void TestTagSyncTask::editDuringWriteIsMergedAgain()
{
    const QString photo = photomaker::makePhoto(m_photos->path(), "p.jpg");
    QVERIFY(setFileTags(photo, 0, {}, { "b" }));
    addRow(photo, 0, {}, { "a" });
    TagSyncCfg& cfg = freshCfg();
    cfg.tag.TextTagSync = true;
    cfg.tag.TextTagConflictTactics = 2;

    EditingTask task;
    task.dbFile = tagDbPool->dbFile();
    QCOMPARE(runTask(task).endError, 0);
    QCOMPARE(rowTags(photo), QString("0  a,mgr,b"));
    QCOMPARE(fileTags(photo), QString("0  a,mgr,b"));
}

void TestTagSyncTask::managerProcessLosesNoTag()
{
    const int count = 120;
    QStringList photos;
    const QString first = photomaker::makePhoto(m_photos->path(), "p0.jpg", true, 2000, 1500);
    for (int i = 0; i < count; ++i) {
        photos << m_photos->file(QString("p%1.jpg").arg(i));
        QVERIFY(i == 0 || QFile::copy(first, photos.last()));
        QVERIFY(setFileTags(photos.last(), 0, {}, { QString("f%1").arg(i) }));
        addRow(photos.last(), 0, {}, { QString("r%1").arg(i) });
    }
    QProcess manager;
    manager.setProcessChannelMode(QProcess::ForwardedChannels);
    manager.start(QCoreApplication::applicationFilePath(),
        { "--manager", tagDbPool->dbFile(), m_photos->path(), QString::number(count) });
    QVERIFY(manager.waitForStarted());
    TagSyncCfg& cfg = freshCfg();
    cfg.tag.TextTagSync = true;
    cfg.tag.TextTagConflictTactics = 2;

    manager.write("go\n");
    QVERIFY(manager.waitForBytesWritten(10000));
    QCOMPARE(runSync().endError, 0);
    QVERIFY(manager.waitForFinished(60000));
    QCOMPARE(manager.exitCode(), 0);
    for (int i = 0; i < count; ++i)
        QCOMPARE(rowTags(photos.at(i)), QString("%1  r%2,f%2").arg(1 + i % 5).arg(i));
}

int main(int argc, char** argv)
{
    if (argc >= 5 && strcmp(argv[1], "--manager") == 0)
        return runManager(argv);
    QApplication app(argc, argv);
    TestTagSyncTask test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_tagsynctask.moc"
