#include "common/vorneltest.h"
#include "db/sqlitedb.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "meta/colorstat.h"
#include "meta/exivtags.h"
#include "records/filetagtb.h"
#include "records/imagecachetb.h"
#include "sys/platform.h"
#include "task/pooljob.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>
#include <QThreadPool>

using namespace testutil;

namespace {

// Loads the item and waits until every job of it has finished; order gets its signals as they arrived.
bool loadAndSettle(const ItemInfoPtr& info, QStringList* order = nullptr)
{
    QObject watcher;
    if (order) {
        QObject::connect(info.data(), &ItemInfo::tagLoaded, &watcher, [order] { *order << "tag"; });
        QObject::connect(info.data(), &ItemInfo::cacheLoaded, &watcher, [order] { *order << "cache"; });
    }
    if (info->load() != 0)
        return false;
    const bool settled = QTest::qWaitFor([&] { return !info->isBusy(); }, 20000);
    QTest::qWait(20); // let the queued signals arrive
    return settled;
}

// Waits until the item's queued tag-row writes (and any job) have ended.
bool settled(const ItemInfoPtr& info)
{
    return QTest::qWaitFor([&] { return !info->isBusy(); }, 20000);
}

// Whether the item's next queued tag-row write is reported stored.
bool nextStore(const ItemInfoPtr& info, const std::function<bool()>& edit)
{
    QSignalSpy spy(info.data(), &ItemInfo::tagStored);
    return edit() && testutil::waitForSignal(spy) && spy.last().at(0).toBool();
}

// The file's tag row; row id 0 when there is none.
FileTagInfo tagRow(const QString& file)
{
    FileTagInfo row;
    PooledDb<TagDb> db(tagDbPool);
    if (db)
        FileTagTb(db.get()).readFileTag(file, row);
    return row;
}

bool hasCacheRow(const QString& file)
{
    ImageCacheInfo cache;
    PooledDb<ThumbDb> db(thumbDbPool);
    return db && ImageCacheTb(db.get()).readImageCache(file, cache);
}

void deleteTagRow(const QString& file)
{
    PooledDb<TagDb> db(tagDbPool);
    FileTagTb(db.get()).delFileTag(file);
}

} // namespace

class TestItemInfo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        m_env = std::make_unique<VornelEnv>();
        QVERIFY(m_env->ok);
    }
    void cleanupTestCase() { m_env.reset(); }
    void sizesAndReducedDecode();
    void loadFromFileThenFromRows();
    void tagsInFileAndCacheBigImage();
    void databaseOnlyTagsSurvive();
    void edits();
    void editWhileRowIsQueued();
    void lockedDatabaseNeverHoldsUpEdits();
    void renameRules();
    void matchFilter();
    void brokenFilesStayEmpty();
    void destructionNeverWaitsOnQueuedJobs();

private:
    // Saves the image as name (format from the suffix); the path, or empty on failure.
    QString save(const QImage& image, const QString& name)
    {
        const QString path = m_files.file(name);
        return image.save(path, nullptr, 90) ? path : QString();
    }

    std::unique_ptr<VornelEnv> m_env;
    TempDir m_files;
};

void TestItemInfo::sizesAndReducedDecode()
{
    QCOMPARE(ItemInfo::fitSize(QSize(100, 50), QSize(192, 108)), QSize(100, 50));
    QCOMPARE(ItemInfo::fitSize(QSize(4000, 3000), QSize(192, 108)), QSize(144, 108));
    QVERIFY(ItemInfo::fitSize(QSize(100, 50), QSize(188, -8)).isEmpty()); // a cell with no room for its image
    const QList<QSize> boxes = { QSize(188, 156), QSize(96, 54), QSize(192, 108) };
    QCOMPARE(ItemInfo::coverSize(QSize(4000, 3000), boxes), QSize(188, 141));
    QCOMPARE(ItemInfo::coverSize(QSize(150, 100), boxes), QSize(150, 100));

    // A JPEG decodes at reduced scale, other formats whole; an SVG renders at the size shown.
    const QByteArray jpeg = readBytes(makeImage(m_files.path(), "reduced.jpg", 1600, 1200));
    const ImageDecoder::Result reduced = ImageDecoder::decodeData(jpeg, boxes);
    QCOMPARE(reduced.fullSize, QSize(1600, 1200));
    QCOMPARE(reduced.image.size(), QSize(188, 141));
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='100'/>";
    QCOMPARE(ImageDecoder::decodeData(svg, boxes).image.size(), QSize(192, 64));
}

void TestItemInfo::loadFromFileThenFromRows()
{
    const QString path = makeImage(m_files.path(), "照片 一.jpg", 1600, 1200);
    ItemInfoPtr info = itemFor(path);
    QStringList order;
    QVERIFY(loadAndSettle(info, &order));
    QCOMPARE(order, QStringList({ "cache", "tag" }));
    QCOMPARE(info->load(), 1); // loaded: nothing more
    QCOMPARE(info->tagFromDb + info->cacheFromDb, 0);
    const QSize cellThumb = ItemInfo::fitSize(QSize(1600, 1200), AppCfg::instance()->item.rcImage.size());
    QCOMPARE(info->thumbnail().size(), cellThumb);
    // Both rows stored, with the whole image's size; the hints are the colours found, never the whole palette.
    const FileTagInfo row = tagRow(path);
    QCOMPARE(QSize(row.getImageWidth(), row.getImageHeight()), QSize(1600, 1200));
    QCOMPARE(row.getRowId(), info->tagRecord().getRowId());
    QVERIFY(!row.getHintRgb().isEmpty() && row.getHintRgb().size() < ColorStat::cvCandidateCount);
    QVERIFY(hasCacheRow(path));

    // A tag row without its cache row: the file is read, only the cache row is written.
    {
        PooledDb<ThumbDb> db(thumbDbPool);
        QVERIFY(ImageCacheTb(db.get()).delImageCache(path));
    }
    info = itemFor(path);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagFromDb + 2 * info->cacheFromDb, 1);
    QVERIFY(hasCacheRow(path));
    QCOMPARE(tagRow(path).getRowId(), row.getRowId());

    // A cache row without its tag row: the thumbnail is not scaled from the empty record; the tag row is written.
    deleteTagRow(path);
    info = itemFor(path);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagFromDb + 2 * info->cacheFromDb, 2);
    QVERIFY(info->thumbnail().width() >= 144);
    QCOMPARE(tagRow(path).getImageWidth(), 1600);

    // A stale row (modified one second later): the cache row goes and the item loads from the file as new, but the
    // star that lived only in the row carries over.
    {
        PooledDb<TagDb> db(tagDbPool);
        QVERIFY(FileTagTb(db.get()).modFileStarTag(path, 5));
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QFileInfo(path).lastModified().addSecs(1), QFileDevice::FileModificationTime));
    f.close();
    info = itemFor(path);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagFromDb + info->cacheFromDb, 0);
    QCOMPARE(tagRow(path).getStar(), 5);

    // The same file again: rows only. Junk of the same size and times in the file would leave a file read
    // without thumbnails.
    const qint64 rowId = tagRow(path).getRowId();
    const FileTimes times = platform::readFileTimes(path);
    QVERIFY(writeBytes(path, QByteArray(int(QFileInfo(path).size()), 'x')));
    QVERIFY(platform::writeFileTimes(path, times));
    info = itemFor(path);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagFromDb + info->cacheFromDb, 2);
    QCOMPARE(info->thumbnail().size(), cellThumb);
    QCOMPARE(tagRow(path).getRowId(), rowId); // not written again
}

void TestItemInfo::tagsInFileAndCacheBigImage()
{
    // Tags inside the file win over colour hints.
    const QString tagged = save(solidImage(300, 200, Qt::green), "tagged.jpg");
    ExivTags tags;
    tags.setStar(3);
    tags.setRgb({ 0xFF0000FFu });
    tags.setTextTag({ QStringLiteral("海边"), QStringLiteral("family") });
    QCOMPARE(tags.saveTagsToFile(tagged), 0);
    ItemInfoPtr info = itemFor(tagged);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagText(), QStringLiteral("海边 family "));
    QCOMPARE(info->tagRecord().getRgb(), QList<uint>({ 0xFF0000FFu }));
    QVERIFY(info->tagRecord().getHintRgb().isEmpty());

    // No tags: the colour tags come from the thumbnail, only the colour found.
    info = itemFor(save(solidImage(300, 200, Qt::red), "plain.png"));
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagRecord().getRgb(), QList<uint>({ 0xFFFF0000u }));
    QCOMPARE(info->tagRecord().getHintRgb(), QList<uint>({ 0xFFFF0000u }));

    // A picture within the cache box is its own thumbnail; its row records the box, as the tag synchroniser's
    // resize compares it.
    AppCfg::instance()->cache.cacheBigImage = 0;
    AppCfg::instance()->cache.thumbWidth = 192;
    AppCfg::instance()->cache.thumbHeight = 108;
    const QString within = save(solidImage(100, 80, Qt::cyan), "within.png");
    QVERIFY(loadAndSettle(itemFor(within)));
    ImageCacheInfo cache;
    {
        PooledDb<ThumbDb> db(thumbDbPool);
        QVERIFY(ImageCacheTb(db.get()).readImageCache(within, cache));
    }
    QCOMPARE(QSize(cache.getThumbWidth(), cache.getThumbHeight()), QSize(192, 108));
    QCOMPARE(cache.getThumb().size(), QSize(100, 80));

    // With CacheBigImage on, a small image gets its tag row but no cache row, and is read again next time;
    // a large one is still cached.
    AppCfg::instance()->cache.cacheBigImage = 1;
    const QString small = save(solidImage(100, 80, Qt::yellow), "small.png");
    for (int round = 0; round < 2; ++round) {
        info = itemFor(small);
        QVERIFY(loadAndSettle(info));
        QCOMPARE(info->tagFromDb.load(), round);
        QVERIFY(!hasCacheRow(small));
    }
    AppCfg::instance()->cache.cacheBigImage = 0;
}

void TestItemInfo::databaseOnlyTagsSurvive()
{
    // Tags given in the grid and kept in the database only (a BMP cannot hold them at all); then another program
    // touches the files. The rows go stale, but the files hold none of our tags: the user's tags carry over into
    // the new rows, and the thumbnails are made again.
    const auto userTags
        = [](const FileTagInfo& r) { return QString("%1|%2|%3").arg(r.getStar()).arg(r.getRgbs(), r.getTextTags()); };
    const QString jpg = save(solidImage(120, 90, Qt::blue), "备份 照片.jpg");
    for (const QString& path : { jpg, save(solidImage(120, 90, Qt::blue), "picture.bmp") }) {
        ItemInfoPtr info = itemFor(path);
        QVERIFY(loadAndSettle(info));
        QVERIFY(info->setStar(4) && info->setRgbs({ 0xFFFF0000u }) && info->setTextTags({ "家人", "sea" }));
        QVERIFY(settled(info));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QFileInfo(path).lastModified().addSecs(60), QFileDevice::FileModificationTime));
        f.close();
        info = itemFor(path);
        QVERIFY(loadAndSettle(info));
        QCOMPARE(info->tagFromDb + info->cacheFromDb, 0);
        const FileTagInfo row = tagRow(path);
        QCOMPARE(userTags(row), QStringLiteral("4|4294901760 |家人 sea "));
        QVERIFY(row.matchesFile(QFileInfo(path)) && hasCacheRow(path));
    }

    // Tags of ours in the file win over a stale row's.
    ExivTags inFile;
    inFile.setStar(1);
    QCOMPARE(inFile.saveTagsToFile(jpg), 0);
    ItemInfoPtr info = itemFor(jpg);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(userTags(tagRow(jpg)), QStringLiteral("1||"));
}

void TestItemInfo::edits()
{
    const QString path = save(solidImage(320, 240, Qt::white), "edit.jpg");
    const QByteArray original = readBytes(path);

    // Nothing changes on an item whose tags are not loaded, and no half-empty record goes into the file.
    ItemInfoPtr info = itemFor(path);
    QVERIFY(!info->setStar(4));
    QVERIFY(!info->setRgbs({ 0xFFFF0000u }));
    QCOMPARE(info->saveTagsToFile(), -1);
    QCOMPARE(readBytes(path), original);

    QVERIFY(loadAndSettle(info));
    QVERIFY(info->setStar(4));
    QVERIFY(info->setTextTags({ QStringLiteral("山"), QStringLiteral("水") }));
    QVERIFY(settled(info));
    FileTagInfo row = tagRow(path);
    QCOMPARE(row.getStar(), 4);
    QCOMPARE(row.getTextTags(), QStringLiteral("山 水 "));

    // Written into the file, the row follows the file's new size, so the next load still takes it.
    QCOMPARE(info->saveTagsToFile(), 0);
    QVERIFY(settled(info));
    QCOMPARE(tagRow(path).getFileSize(), QFileInfo(path).size());
    ItemInfoPtr again = itemFor(path);
    QVERIFY(loadAndSettle(again));
    QCOMPARE(int(again->tagFromDb), 1);

    // The row replaced under the item (new rowid): the edit finds it by its file.
    {
        PooledDb<TagDb> db(tagDbPool);
        QVERIFY(FileTagTb(db.get()).addFileTag(row));
        QVERIFY(row.getRowId() != info->tagRecord().getRowId());
    }
    QVERIFY(nextStore(info, [&] { return info->setStar(2); }));
    QCOMPARE(tagRow(path).getStar(), 2);
    QCOMPARE(info->tagRecord().getRowId(), row.getRowId());

    // No row at all (removed, or the database made anew): the edit stores the whole record, so it is not lost.
    deleteTagRow(path);
    QVERIFY(nextStore(info, [&] { return info->setStar(5); }));
    QCOMPARE(tagRow(path).getStar(), 5);
    QCOMPARE(tagRow(path).getTextTags(), QStringLiteral("山 水 "));

    // The loaded tags go into the file.
    QCOMPARE(info->saveTagsToFile(), 0);
    ExivTags back;
    QCOMPARE(back.loadTagsFromFile(path), 0);
    QCOMPARE(back.getStar(), 5);
    QCOMPARE(back.getTextTag(), QStringList({ "山", "水" }));
    QVERIFY(settled(info));
}

void TestItemInfo::editWhileRowIsQueued()
{
    const QString path = save(solidImage(200, 150, Qt::cyan), "queued.jpg");
    // The store thread held up, so the new row waits in the queue while the tags are already loaded.
    QSemaphore gate, started;
    const auto holdAndLoad = [&](const QString& file) {
        runJob(itemStorePool, [&] {
            started.release();
            gate.acquire();
        });
        started.acquire();
        ItemInfoPtr item = itemFor(file);
        item->load();
        (void)QTest::qWaitFor([&] { return item->tagReady + item->thumbReady == 2; }, 10000);
        return item;
    };
    ItemInfoPtr info = holdAndLoad(path);
    QCOMPARE(tagRow(path).getRowId(), 0);
    QCOMPARE(info->tagReady + info->thumbReady, 2);
    QVERIFY(info->setStar(3));
    QVERIFY(info->addTextTag(QStringLiteral("queued")));
    gate.release();
    QTRY_VERIFY_WITH_TIMEOUT(!info->isBusy(), 10000);
    const FileTagInfo row = tagRow(path);
    QCOMPARE(row.getStar(), 3);
    QCOMPARE(row.getTextTag(), QStringList({ "queued" }));
    QCOMPARE(info->tagRecord().getRowId(), row.getRowId());

    // A queued row dropped before it ran (as at exit) takes no edit with it.
    const QString dropped = save(solidImage(200, 150, Qt::cyan), "dropped.jpg");
    info = holdAndLoad(dropped);
    QCOMPARE(info->tagReady + info->thumbReady, 2);
    QTest::qWait(100); // the store job is queued
    QVERIFY(info->setStar(4));
    itemStorePool->clear();
    gate.release();
    QVERIFY(itemStorePool->waitForDone(10000)); // the held job is done with the semaphores
    QVERIFY(settled(info));
    QCOMPARE(tagRow(dropped).getStar(), 4);
    QVERIFY(nextStore(info, [&] { return info->setStar(5); }));
    QCOMPARE(tagRow(dropped).getStar(), 5);
}

void TestItemInfo::lockedDatabaseNeverHoldsUpEdits()
{
    const QString path = save(solidImage(200, 150, Qt::yellow), "locked.jpg");
    ItemInfoPtr info = itemFor(path);
    QVERIFY(loadAndSettle(info));
    TagDb other;
    QVERIFY(other.openDb(tagDbPool->dbFile(), "edit-locker", false));
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));

    // Another program holds the database: edits and a rename return at once, their writes wait on the store
    // thread and land once the lock is gone.
    QElapsedTimer t;
    t.start();
    QVERIFY(info->setStar(3) && info->addTextTag(QStringLiteral("等待")));
    QCOMPARE(info->rename(QStringLiteral("locked 2.jpg")), 0);
    QVERIFY(t.elapsed() < 1000);
    QVERIFY(other.execNoQuery("COMMIT"));
    QVERIFY(settled(info));
    const QString renamed = m_files.file("locked 2.jpg");
    QCOMPARE(tagRow(renamed).getStar(), 3);
    QCOMPARE(tagRow(renamed).getTextTags(), QStringLiteral("等待 "));

    // An item whose row cannot be read while the lock is held shows the file's tags, but never stores them over
    // the row's, nor writes them into the file; its edit changes only that column of the row.
    const QString other2 = save(solidImage(200, 150, Qt::green), "row only.jpg");
    ItemInfoPtr dbOnly = itemFor(other2);
    QVERIFY(loadAndSettle(dbOnly));
    QVERIFY(dbOnly->setTextTags({ "只在库里" }) && settled(dbOnly));
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));
    SqliteDb::limitWaits(200);
    dbOnly = itemFor(other2);
    QVERIFY(loadAndSettle(dbOnly));
    SqliteDb::limitWaits(-1);
    QVERIFY(dbOnly->tagRecord().getTextTag().isEmpty());
    QCOMPARE(dbOnly->saveTagsToFile(), -1);
    QVERIFY(dbOnly->setStar(2));
    QVERIFY(other.execNoQuery("COMMIT"));
    QVERIFY(settled(dbOnly));
    QCOMPARE(tagRow(other2).getTextTags(), QStringLiteral("只在库里 "));
    QCOMPARE(tagRow(other2).getStar(), 2);

    // Held past the wait: the edit waits, named in the log, and is tried again until the lock is gone; none is
    // reported lost meanwhile.
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));
    SqliteDb::limitWaits(200);
    ItemStoreQueue::setRetryDelay(50);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not stored in the database yet.*locked 2.jpg：星级 5"));
    QSignalSpy stored(info.data(), &ItemInfo::tagStored);
    QVERIFY(info->setStar(5));
    QTRY_VERIFY_WITH_TIMEOUT(ItemStoreQueue::waiting() > 0, 10000);
    QTest::qWait(300);
    QCOMPARE(stored.count(), 0);
    QVERIFY(other.execNoQuery("ROLLBACK"));
    SqliteDb::limitWaits(-1);
    QVERIFY(testutil::waitForSignal(stored));
    QVERIFY(stored.last().at(0).toBool());
    QCOMPARE(tagRow(renamed).getStar(), 5);
    QCOMPARE(ItemStoreQueue::waiting(), 0);

    // One still queued when closing comes (the store thread held) is named.
    QVERIFY(other.execNoQuery("BEGIN EXCLUSIVE"));
    SqliteDb::limitWaits(200);
    struct Lift {
        ~Lift() { SqliteDb::limitWaits(-1); }
    } lift;
    PoolGate held(itemStorePool);
    QVERIFY(held.holding());
    QVERIFY(info->setStar(1));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("closed before.*locked 2.jpg：星级 1"));
    QCOMPARE(ItemStoreQueue::finish(100), 1);
    QVERIFY(other.execNoQuery("ROLLBACK"));
}

void TestItemInfo::renameRules()
{
    const QString path = save(solidImage(120, 90, Qt::magenta), "old name.jpg");
    const QString other = save(solidImage(120, 90, Qt::black), "taken.jpg");
    const QByteArray otherBytes = readBytes(other);
    ItemInfoPtr info = itemFor(path);
    QCOMPARE(info->rename(QStringLiteral("early.jpg")), -2); // not loaded yet
    QVERIFY(loadAndSettle(info));
    for (const char* bad : { "", " ", ".", "..", "sub/new.jpg", "taken.jpg" })
        QCOMPARE(info->rename(QString::fromUtf8(bad)), -1);
    QVERIFY(QFile::exists(path));
    QCOMPARE(readBytes(other), otherBytes);
    QCOMPARE(info->rename(QStringLiteral("old name.jpg")), 0);

    const QString newPath = m_files.file("新 名字.jpg");
    QCOMPARE(info->rename(QStringLiteral("新 名字.jpg")), 0);
    QVERIFY(!QFile::exists(path) && QFile::exists(newPath));
    QCOMPARE(info->tagRecord().getFile(), newPath);
    QVERIFY(settled(info));
    QCOMPARE(tagRow(path).getRowId(), 0);
    QVERIFY(hasCacheRow(newPath));
    QVERIFY(nextStore(info, [&] { return info->setStar(2); })); // the edit reaches the renamed row
    QCOMPARE(tagRow(newPath).getStar(), 2);
}

void TestItemInfo::matchFilter()
{
    const QString path = save(solidImage(64, 48, Qt::red), "match.png");
    ItemInfoPtr info = itemFor(path);
    QVERIFY(info->match({}, {}, {})); // still loading: always passes
    QVERIFY(loadAndSettle(info));
    QVERIFY(!info->match({}, {}, {}) && info->match({ 0 }, {}, {}) && !info->match({ 3 }, {}, {}));
    QVERIFY(info->setRgbs({}) && info->addTextTag(QStringLiteral("Sunset 海边")));
    QVERIFY(info->match({ 5 }, { 0 }, {})); // any key lets it pass
    for (const QString& key : { QFileInfo(path).lastModified().toString("yyyy-MM"), QStringLiteral("MATCH.PNG"),
             QStringLiteral("64 x 48"), QStringLiteral("sun") })
        QVERIFY2(info->match({}, {}, { key }), qPrintable(key));
    QVERIFY(!info->match({ 5 }, { 0xFF0000FFu }, { QStringLiteral("1999-01") }));
}

void TestItemInfo::brokenFilesStayEmpty()
{
    QVERIFY(writeBytes(m_files.file("zero.jpg"), QByteArray()));
    QVERIFY(writeBytes(m_files.file("text.png"), "this is text, not a picture\n"));
    const QByteArray jpeg = readBytes(makeImage(m_files.path(), "tmp.jpg", 400, 300));
    QVERIFY(writeBytes(m_files.file("corrupt.jpg"), jpeg.left(40) + QByteArray(2000, '\x17')));

    for (const char* name : { "zero.jpg", "text.png", "corrupt.jpg", "missing.jpg" }) {
        const QString path = m_files.file(name);
        ItemInfoPtr info = itemFor(path);
        QStringList order;
        QVERIFY2(loadAndSettle(info, &order), name);
        QCOMPARE(order, QStringList({ "tag" }));
        QVERIFY(info->thumbnail().isNull());
        QVERIFY(info->match({ 5 }, {}, {})); // never hidden by a filter
        QCOMPARE(tagRow(path).getRowId() + int(hasCacheRow(path)), 0);
        QVERIFY(!nextStore(info, [&] { return info->setStar(2); })); // no row to hold it
        QCOMPARE(info->loadFullImage(), 0);
        QVERIFY(imageLoadPool->waitForDone(20000));
        QCOMPARE(info->fullImageState(), 0);
    }

    // A cache row survives while the file turned unreadable: no tag row without its file facts is stored.
    const QString cached = save(solidImage(300, 200, Qt::red), "cached.jpg");
    QVERIFY(loadAndSettle(itemFor(cached)));
    deleteTagRow(cached);
    QVERIFY(writeBytes(cached, jpeg.left(40) + QByteArray(2000, '\x17')));
    ItemInfoPtr info = itemFor(cached);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->cacheFromDb.load(), 1);
    QCOMPARE(tagRow(cached).getRowId() + info->tagRecord().getRowId(), 0);

    // Missing while it loaded, back afterwards with tags: the empty record is not written over them.
    const QString late = m_files.file("late.jpg");
    info = itemFor(late);
    QVERIFY(loadAndSettle(info));
    QVERIFY(!save(solidImage(300, 200, Qt::green), "late.jpg").isEmpty());
    ExivTags tags;
    tags.setTextTag({ QStringLiteral("海边") });
    QCOMPARE(tags.saveTagsToFile(late), 0);
    info->setStar(4);
    QCOMPARE(info->saveTagsToFile(), -1);
    ExivTags back;
    QCOMPARE(back.loadTagsFromFile(late), 0);
    QCOMPARE(back.getTextTag(), QStringList({ QStringLiteral("海边") }));
}

void TestItemInfo::destructionNeverWaitsOnQueuedJobs()
{
    const QString path = makeImage(m_files.path(), "busy.jpg", 2400, 1800);
    // Every load thread held up: the items' load jobs stay queued.
    QSemaphore gate, started;
    const int threads = itemLoadPool->maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        runJob(itemLoadPool, [&] {
            started.release();
            gate.acquire();
        });
    }
    started.acquire(threads);
    ItemInfoPtr queued = itemFor(path), dropped = itemFor(path);
    QCOMPARE(queued->load() + dropped->load(), 0);
    QVERIFY(queued->isBusy());
    QElapsedTimer t;
    t.start();
    queued.reset(); // its job is still queued: skipped later, not waited for
    itemLoadPool->clear(); // drops the other item's job
    QVERIFY(!dropped->isBusy());
    dropped.reset();
    QVERIFY(t.elapsed() < 2000);
    gate.release(threads);
    QVERIFY(itemLoadPool->waitForDone(10000));

    // Items destroyed while their jobs run (from the release pool, as the views do) wait for them.
    QList<ItemInfoPtr> items;
    for (int i = 0; i < 24; ++i) {
        items << itemFor(path);
        items.last()->load();
        items.last()->loadFullImage();
    }
    QTest::qWait(30);
    QFuture<void> release = runJob(itemReleasePool, [list = std::move(items)]() mutable { list.clear(); });
    QTRY_VERIFY_WITH_TIMEOUT(release.isFinished(), 20000);
    for (QThreadPool* pool : { itemLoadPool, exivTagPool, itemStorePool, imageLoadPool })
        QVERIFY(pool->waitForDone(20000));
}

QTEST_MAIN(TestItemInfo)
#include "tst_iteminfo.moc"
