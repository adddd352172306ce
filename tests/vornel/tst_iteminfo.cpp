#include "common/vorneltest.h"
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
#include <QSemaphore>
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
    void edits();
    void editWhileRowIsQueued();
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

    // A stale row (modified one second later): both rows go, the item loads as new, the stale star is not kept.
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
    QCOMPARE(tagRow(path).getStar(), 0);

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
    FileTagInfo row = tagRow(path);
    QCOMPARE(row.getStar(), 4);
    QCOMPARE(row.getTextTags(), QStringLiteral("山 水 "));

    // Written into the file, the row follows the file's new size, so the next load still takes it.
    QCOMPARE(info->saveTagsToFile(), 0);
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
    QVERIFY(info->setStar(2));
    QCOMPARE(tagRow(path).getStar(), 2);
    QCOMPARE(info->tagRecord().getRowId(), row.getRowId());

    // No row at all: the item changes, but the edit is not reported as stored.
    deleteTagRow(path);
    QVERIFY(!info->setStar(5));
    QCOMPARE(tagRow(path).getRowId(), 0);

    // The loaded tags go into the file.
    QCOMPARE(info->saveTagsToFile(), 0);
    ExivTags back;
    QCOMPARE(back.loadTagsFromFile(path), 0);
    QCOMPARE(back.getStar(), 5);
    QCOMPARE(back.getTextTag(), QStringList({ "山", "水" }));
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
    QVERIFY(!info->isBusy());
    QCOMPARE(tagRow(dropped).getStar(), 4);
    QVERIFY(info->setStar(5));
    QCOMPARE(tagRow(dropped).getStar(), 5);
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
    QCOMPARE(tagRow(path).getRowId(), 0);
    QVERIFY(hasCacheRow(newPath));
    QVERIFY(info->setStar(2)); // the edit reaches the renamed row
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
        QVERIFY(!info->setStar(2)); // no row to hold it
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
