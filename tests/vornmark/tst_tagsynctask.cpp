// The synchronisation run on real photos and real databases: the conflict rules, what a run writes and what it
// never touches, the build of a folder tree, the cache resize, and edits of the photo manager made meanwhile,
// from another connection and from another process ("--manager <db> <go-file> <files-list>").

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
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

using namespace testutil;

namespace {

const uint kRed = 0xFFFF0000u;
const uint kBlue = 0xFF0000FFu;
const uint kGreen = 0xFF00FF00u;

using Rgbs = QList<uint>;

struct Tags {
    int star = 0;
    Rgbs rgb;
    QStringList text;
    bool has = false;
};

Tags fileTags(const QString& file)
{
    ExivTags exiv;
    Tags t;
    if (exiv.loadTagsFromFile(file) >= 0) {
        t.star = exiv.getStar();
        t.rgb = exiv.getRgb();
        t.text = exiv.getTextTag();
        t.has = exiv.getHasTags();
    }
    return t;
}

bool setFileTags(const QString& file, int star, const Rgbs& rgb, const QStringList& text)
{
    ExivTags exiv;
    exiv.setStar(star);
    exiv.setRgb(rgb);
    exiv.setTextTag(text);
    return exiv.saveTagsToFile(file) == 0;
}

FileTagInfo addRow(const QString& file, int star, const Rgbs& rgb, const QStringList& text)
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
    return row;
}

bool readRow(const QString& file, FileTagInfo& row)
{
    PooledDb<TagDb> db(tagDbPool);
    return FileTagTb(db.get()).readFileTag(file, row);
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

bool readCache(const QString& file, ImageCacheInfo& cache)
{
    PooledDb<ThumbDb> db(thumbDbPool);
    return ImageCacheTb(db.get()).readImageCache(file, cache);
}

// Runs one synchronisation on this thread; the events' (type, info, error) in order.
struct Run {
    QList<int> types;
    QStringList infos;
    int endError = -1;
    QString endInfo;
    int written = 0;
    QStringList failures;
};

Run runTask(TagSyncTask& task)
{
    Run run;
    QObject::connect(
        &task, &TaskObject::taskStep, &task,
        [&](TaskObject& info) {
            run.types.append(info.getSignType());
            run.infos.append(info.getInfo());
            if (info.getSignType() == TaskObject::TaskEnd) {
                run.endError = info.getError();
                run.endInfo = info.getInfo();
            }
        },
        Qt::DirectConnection);
    task.run();
    run.written = task.writtenPhotos();
    run.failures = task.failures();
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

// The photo manager's writer: sets a star on each listed photo, one by one, once the go-file is there.
int runManager(char** argv)
{
    TagDb db;
    if (!db.openDb(QString::fromLocal8Bit(argv[2]), "manager", false))
        return 3;
    const QString go = QString::fromLocal8Bit(argv[3]);
    const QStringList files = QString::fromUtf8(readBytes(QString::fromLocal8Bit(argv[4]))).split('\n');
    QElapsedTimer wait;
    wait.start();
    while (!QFile::exists(go)) {
        if (wait.elapsed() > 30000)
            return 4;
        QThread::usleep(200);
    }
    FileTagTb table(&db);
    for (int i = 0; i < files.size(); ++i) {
        if (!table.modFileStarTag(files.at(i), 1 + i % 5))
            return 5;
        QThread::usleep(1500);
    }
    return 0;
}

} // namespace

class TestTagSyncTask : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void conflictRules_data();
    void conflictRules();
    void kindsOffKeepTheirValues();
    void secondRunWritesNothing();
    void deletedRowsAreNotWrittenBack();
    void staleRowWithoutFileTagsIsCarried();
    void missingFolderKeepsItsRows();
    void readOnlyPhotosFailVisibly();
    void eventsAndProgress();
    void buildFolderTree();
    void resizeThumbs();
    void editDuringWriteIsMergedAgain();
    void managerProcessLosesNoTag();

private:
    std::unique_ptr<ProgramDir> m_program;
    std::unique_ptr<TempDir> m_photos;
};

void TestTagSyncTask::initTestCase()
{
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
    // Folders made read-only by a test must go with the temporary folder.
    QDirIterator it(m_photos->path(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext())
        ::chmod(QFile::encodeName(it.next()).constData(), 0755);
    m_photos.reset();
    m_program.reset();
}

void TestTagSyncTask::conflictRules_data()
{
    QTest::addColumn<bool>("fileHasTags");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("conflict");
    QTest::addColumn<int>("rowStar");
    QTest::addColumn<Rgbs>("rowRgb");
    QTest::addColumn<QStringList>("rowText");
    QTest::addColumn<int>("fileStar");
    QTest::addColumn<Rgbs>("fileRgb");
    QTest::addColumn<QStringList>("fileText");

    // Database: 2, [red, blue], [a, b]; file: 4, [blue, green], [b, c].
    const Rgbs d { kRed, kBlue }, f { kBlue, kGreen }, u { kRed, kBlue, kGreen }, x { kBlue };
    const QStringList dt { "a", "b" }, ft { "b", "c" }, ut { "a", "b", "c" }, xt { "b" };
    QTest::newRow("both ways, database") << true << 0 << 0 << 2 << d << dt << 2 << d << dt;
    QTest::newRow("both ways, file") << true << 0 << 1 << 4 << f << ft << 4 << f << ft;
    QTest::newRow("both ways, union") << true << 0 << 2 << 4 << u << ut << 4 << u << ut;
    QTest::newRow("both ways, intersection") << true << 0 << 3 << 2 << x << xt << 2 << x << xt;
    QTest::newRow("to file, union") << true << 1 << 2 << 2 << d << dt << 4 << u << ut;
    QTest::newRow("to file, file") << true << 1 << 1 << 2 << d << dt << 4 << f << ft;
    QTest::newRow("to database, intersection") << true << 2 << 3 << 2 << x << xt << 4 << f << ft;
    QTest::newRow("to database, database") << true << 2 << 0 << 2 << d << dt << 4 << f << ft;
    // A file without our tags: every rule gives the database's tags; towards the database nothing happens.
    QTest::newRow("no tags, both ways, union") << false << 0 << 2 << 2 << d << dt << 2 << d << dt;
    QTest::newRow("no tags, to file, file") << false << 1 << 1 << 2 << d << dt << 2 << d << dt;
    QTest::newRow("no tags, to database, file") << false << 2 << 1 << 2 << d << dt << -1 << Rgbs() << QStringList();
}

void TestTagSyncTask::conflictRules()
{
    QFETCH(bool, fileHasTags);
    QFETCH(int, direction);
    QFETCH(int, conflict);
    const QString photo = photomaker::makePhoto(m_photos->path(), "照片 1.jpg");
    if (fileHasTags)
        QVERIFY(setFileTags(photo, 4, { kBlue, kGreen }, { "b", "c" }));
    addRow(photo, 2, { kRed, kBlue }, { "a", "b" });
    syncAll(freshCfg(), direction, conflict);

    const Run run = runSync();
    QCOMPARE(run.endError, 0);
    FileTagInfo row;
    QVERIFY(readRow(photo, row));
    QTEST(row.getStar(), "rowStar");
    QTEST(row.getRgb(), "rowRgb");
    QTEST(row.getTextTag(), "rowText");
    const Tags inFile = fileTags(photo);
    QFETCH(int, fileStar);
    QCOMPARE(inFile.has, fileStar >= 0);
    if (fileStar >= 0) {
        QCOMPARE(inFile.star, fileStar);
        QTEST(inFile.rgb, "fileRgb");
        QTEST(inFile.text, "fileText");
    }
    // A written photo keeps a row that still describes it.
    QVERIFY(row.matchesFile(QFileInfo(photo)));
}

void TestTagSyncTask::kindsOffKeepTheirValues()
{
    const QString photo = photomaker::makePhoto(m_photos->path(), "p.jpg");
    QVERIFY(setFileTags(photo, 1, { kGreen }, { "file" }));
    addRow(photo, 5, { kRed }, { "row" });
    TagSyncCfg& cfg = freshCfg();
    cfg.tag.StarSync = true;
    cfg.tag.StarSyncTactics = 0;
    cfg.tag.StarConflictTactics = 2;

    runSync();
    const Tags inFile = fileTags(photo);
    QCOMPARE(inFile.star, 5);
    QCOMPARE(inFile.rgb, Rgbs { kGreen });
    QCOMPARE(inFile.text, QStringList { "file" });
    FileTagInfo row;
    QVERIFY(readRow(photo, row));
    QCOMPARE(row.getRgb(), Rgbs { kRed });
    QCOMPARE(row.getTextTag(), QStringList { "row" });
}

void TestTagSyncTask::secondRunWritesNothing()
{
    QStringList photos;
    for (int i = 0; i < 4; ++i) {
        photos << photomaker::makePhoto(m_photos->path(), QString("p%1.jpg").arg(i));
        if (i % 2)
            QVERIFY(setFileTags(photos.last(), i, { kGreen }, { "f" }));
        addRow(photos.last(), 3, { kRed }, { "r", QString::number(i) });
    }
    TagSyncCfg& cfg = freshCfg();
    syncAll(cfg, 0, 2);
    cfg.tag.DeleteInvalidTag = cfg.tag.DeleteOutSyncTag = true;

    QCOMPARE(runSync().written, 4);
    QList<QByteArray> before;
    for (const QString& p : photos)
        before << fileState(p);
    const Run second = runSync();
    QCOMPARE(second.written, 0);
    for (int i = 0; i < photos.size(); ++i)
        QCOMPARE(fileState(photos.at(i)), before.at(i));
    FileTagInfo row;
    QVERIFY(readRow(photos.at(1), row));
    QCOMPARE(row.getTextTag(), (QStringList { "r", "1", "f" }));
}

void TestTagSyncTask::deletedRowsAreNotWrittenBack()
{
    // The photo was retagged elsewhere after its row was written: the row is out of date.
    const QString photo = photomaker::makePhoto(m_photos->path(), "p.jpg");
    addRow(photo, 1, { kRed }, { "old" });
    QVERIFY(setFileTags(photo, 5, { kGreen }, { "new" }));
    TagSyncCfg& cfg = freshCfg();
    cfg.tag.DeleteOutSyncTag = true;
    syncAll(cfg, 0, 0);

    runSync();
    FileTagInfo row;
    QVERIFY(!readRow(photo, row));
    const Tags inFile = fileTags(photo);
    QCOMPARE(inFile.star, 5);
    QCOMPARE(inFile.text, QStringList { "new" });
}

void TestTagSyncTask::staleRowWithoutFileTagsIsCarried()
{
    const QString photo = photomaker::makePhoto(m_photos->path(), "p.jpg");
    FileTagInfo stale = addRow(photo, 4, { kBlue }, { "keep" });
    addCache(photo, 192, 108);
    // A row written before file times were kept as UTC: a local time eight hours off.
    PooledDb<TagDb> db(tagDbPool);
    QVERIFY(FileTagTb(db.get()).readFileTag(photo, stale));
    stale.setModifyTime(QFileInfo(photo).lastModified().toString("yyyy-MM-dd hh:mm:ss"));
    QVERIFY(FileTagTb(db.get()).modFileTagById(stale));
    QVERIFY(!stale.matchesFile(QFileInfo(photo)));
    freshCfg().tag.DeleteOutSyncTag = true;

    runSync();
    FileTagInfo row;
    QVERIFY(readRow(photo, row));
    QCOMPARE(row.getStar(), 4);
    QCOMPARE(row.getTextTag(), QStringList { "keep" });
    QVERIFY(row.matchesFile(QFileInfo(photo)));
    QCOMPARE(row.getImageWidth(), 96);
    ImageCacheInfo cache;
    QVERIFY(!readCache(photo, cache));
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
    {
        PooledDb<TagDb> db(tagDbPool);
        BookPathInfo top;
        BookPathInfo* root = BookPathTb(db.get()).addBookpath(&top, "收藏");
        QVERIFY(root);
        BookMarkTb marks(db.get());
        delete marks.addBookmark(root, BookMarkInfo::BookMarkFile, away);
        delete marks.addBookmark(root, BookMarkInfo::BookMarkFile, deleted);
        delete marks.addBookmark(root, BookMarkInfo::BookMarkPath, m_photos->file("drive/2020"));
        delete root;
    }
    // The drive goes away (unmounted); one photo is deleted for real.
    QVERIFY(QDir(m_photos->path()).rename("drive", "drive.off"));
    QVERIFY(QFile::remove(deleted));
    TagSyncCfg& cfg = freshCfg();
    cfg.DeleteInvalidFileFav = cfg.DeleteInvalidPathFav = true;
    cfg.tag.DeleteInvalidTag = cfg.tag.DeleteOutSyncTag = true;
    syncAll(cfg, 0, 0);
    cfg.thumb.DeleteInvalidThumb = true;

    const Run run = runSync();
    QCOMPARE(run.endError, 0);
    FileTagInfo row;
    ImageCacheInfo cache;
    QVERIFY(readRow(away, row));
    QVERIFY(readCache(away, cache));
    QVERIFY(readRow(kept, row));
    QVERIFY(!readRow(deleted, row));
    QVERIFY(!readCache(deleted, cache));
    QList<BookMarkInfo*> marks;
    {
        PooledDb<TagDb> db(tagDbPool);
        BookMarkTb(db.get()).loadBookMark(BookMarkInfo::BookMarkFile | BookMarkInfo::BookMarkPath, marks);
    }
    QStringList targets;
    for (BookMarkInfo* m : marks)
        targets << m->getFile();
    qDeleteAll(marks);
    targets.sort();
    QCOMPARE(targets, (QStringList { m_photos->file("drive/2020"), away }));
}

void TestTagSyncTask::readOnlyPhotosFailVisibly()
{
    QDir(m_photos->path()).mkpath("locked");
    const QString readOnly = photomaker::makePhoto(m_photos->path(), "ro.jpg");
    const QString inLocked = photomaker::makePhoto(m_photos->file("locked"), "in.jpg");
    const QString fine = photomaker::makePhoto(m_photos->path(), "ok.jpg");
    for (const QString& p : { readOnly, inLocked, fine })
        addRow(p, 5, { kRed }, { "db" });
    QVERIFY(::chmod(QFile::encodeName(readOnly).constData(), 0444) == 0);
    QVERIFY(::chmod(QFile::encodeName(m_photos->file("locked")).constData(), 0555) == 0);
    const QByteArray roBefore = fileState(readOnly), lockedBefore = fileState(inLocked);
    syncAll(freshCfg(), 1, 0);

    const Run run = runSync();
    QCOMPARE(fileState(readOnly), roBefore);
    QCOMPARE(fileState(inLocked), lockedBefore);
    QCOMPARE(fileTags(fine).star, 5);
    QCOMPARE(run.written, 1);
    QCOMPARE(run.endError, 2);
    QVERIFY(run.endInfo != "结束");
    QVERIFY(run.endInfo.contains("2"));
    const QString log = QString::fromUtf8(readBytes(TagSyncTask::logFile()));
    QVERIFY(log.contains(readOnly));
    QVERIFY(log.contains(inLocked));
    QVERIFY(!log.contains(fine));
}

void TestTagSyncTask::eventsAndProgress()
{
    QCOMPARE(runSync().types, (QList<int> { TaskObject::TaskStart, TaskObject::TaskEnd }));

    // 205 rows of files that are gone: the stage message, then one message after the 102nd and the 204th.
    PooledDb<TagDb> db(tagDbPool);
    for (int i = 0; i < 205; ++i) {
        FileTagInfo row;
        row.setFile(m_photos->file(QString("gone%1.jpg").arg(i)));
        QVERIFY(FileTagTb(db.get()).addFileTag(row));
    }
    freshCfg().tag.DeleteInvalidTag = true;
    const Run run = runSync();
    QCOMPARE(run.types.count(TaskObject::TaskStep), 3);
    QCOMPARE(run.infos.at(1), QString("开始整理标签数据......"));
    QVERIFY(run.infos.at(2).startsWith("开始检测无效标签项[ gone"));
    QList<FileTagInfo*> left;
    FileTagTb(db.get()).loadFileTag(left);
    QCOMPARE(left.size(), 0);
}

void TestTagSyncTask::buildFolderTree()
{
    const QString root = m_photos->file("树 root");
    QDir().mkpath(root + "/a");
    QDir().mkpath(root + "/b/c");
    const QString big = photomaker::makePhoto(root + "/a", "big 大.jpg", true, 400, 300);
    QVERIFY(setFileTags(big, 3, { kBlue }, { "山", "海" }));
    const QString small = makeImage(root + "/b", "small.png", 100, 80, Qt::red);
    const QString deep = photomaker::makePhoto(root + "/b/c", "deep.jpg", false, 300, 200);
    const QString tagged = photomaker::makePhoto(root + "/b/c", "tagged.jpg", false, 300, 200);
    writeBytes(root + "/b/broken.jpg", "not a picture");
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
    QVERIFY(readRow(big, row));
    QCOMPARE(row.getStar(), 3);
    QCOMPARE(row.getTextTag(), (QStringList { "山", "海" }));
    QCOMPARE(QSize(row.getImageWidth(), row.getImageHeight()), QSize(400, 300));
    QVERIFY(row.matchesFile(QFileInfo(big)));
    ImageCacheInfo cache;
    QVERIFY(readCache(big, cache));
    QCOMPARE(cache.getThumb().size(), QSize(144, 108));
    QCOMPARE(QSize(cache.getThumbWidth(), cache.getThumbHeight()), QSize(192, 108));
    // Without tags in the file, the colour tags come from the picture.
    QVERIFY(readRow(small, row));
    QCOMPARE(row.getRgb(), Rgbs { 0xFFFF0000u });
    QVERIFY(!readCache(small, cache));
    QVERIFY(readRow(deep, row));
    QVERIFY(readCache(deep, cache));
    QVERIFY(readRow(tagged, row));
    QCOMPARE(row.getTextTag(), QStringList { "mine" });
    QVERIFY(readCache(tagged, cache));
    QVERIFY(!readRow(root + "/b/broken.jpg", row));
}

void TestTagSyncTask::resizeThumbs()
{
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
    ImageCacheInfo cache;
    QVERIFY(readCache(same, cache));
    QCOMPARE(cache.getThumb().size(), QSize(48, 27));
    QVERIFY(readCache(large, cache));
    QCOMPARE(cache.getThumb().size(), QSize(72, 54));
    QCOMPARE(QSize(cache.getThumbWidth(), cache.getThumbHeight()), QSize(96, 54));
    QVERIFY(!readCache(small, cache));
    QVERIFY(readCache(broken, cache));
    QCOMPARE(cache.getThumbWidth(), 192);
}

namespace {

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
    const Run run = runTask(task);
    QCOMPARE(run.endError, 0);
    FileTagInfo row;
    QVERIFY(readRow(photo, row));
    QCOMPARE(row.getTextTag(), (QStringList { "a", "mgr", "b" }));
    QCOMPARE(fileTags(photo).text, (QStringList { "a", "mgr", "b" }));
    QVERIFY(row.matchesFile(QFileInfo(photo)));
}

void TestTagSyncTask::managerProcessLosesNoTag()
{
    const int count = 120;
    QStringList photos;
    const QString first = photomaker::makePhoto(m_photos->path(), "p0.jpg", true, 2000, 1500);
    for (int i = 0; i < count; ++i) {
        const QString p = m_photos->file(QString("p%1.jpg").arg(i));
        if (i > 0)
            QVERIFY(QFile::copy(first, p));
        QVERIFY(setFileTags(p, 0, {}, { QString("f%1").arg(i) }));
        addRow(p, 0, {}, { QString("r%1").arg(i) });
        photos << p;
    }
    const QString list = m_photos->file("list.txt");
    writeBytes(list, photos.join('\n').toUtf8());
    const QString go = m_photos->file("go");
    QProcess manager;
    manager.setProcessChannelMode(QProcess::ForwardedChannels);
    manager.start(QCoreApplication::applicationFilePath(), { "--manager", tagDbPool->dbFile(), go, list });
    QVERIFY(manager.waitForStarted());
    TagSyncCfg& cfg = freshCfg();
    cfg.tag.TextTagSync = true;
    cfg.tag.TextTagConflictTactics = 2;

    writeBytes(go, "1");
    const Run run = runSync();
    QVERIFY(manager.waitForFinished(60000));
    QCOMPARE(manager.exitCode(), 0);
    QCOMPARE(run.endError, 0);
    for (int i = 0; i < count; ++i) {
        FileTagInfo row;
        QVERIFY(readRow(photos.at(i), row));
        QCOMPARE(row.getStar(), 1 + i % 5);
        QCOMPARE(row.getTextTag(), (QStringList { QString("r%1").arg(i), QString("f%1").arg(i) }));
    }
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
