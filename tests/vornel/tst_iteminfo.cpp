#include "appcfg.h"
#include "colorstat.h"
#include "exivtags.h"
#include "exivutil.h"
#include "filetagtb.h"
#include "imagecachetb.h"
#include "iteminfo.h"
#include "platform.h"
#include "pooljob.h"
#include "sqlitedbpool.h"
#include "tagdb.h"
#include "testutil.h"
#include "threadpools.h"
#include "thumbdb.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

using namespace testutil;

namespace {

// Records the item's signals on the test thread, in the order they arrive.
class Watcher : public QObject {
public:
    explicit Watcher(const ItemInfoPtr& info)
    {
        connect(info.data(), &ItemInfo::tagLoaded, this, [this] { order << QStringLiteral("tag"); });
        connect(info.data(), &ItemInfo::cacheLoaded, this, [this] { order << QStringLiteral("cache"); });
    }
    QStringList order;
};

ItemInfoPtr makeItem(const QString& path)
{
    ItemInfoPtr info(new ItemInfo());
    info->setFile(path);
    return info;
}

// Loads the item and waits until every job of it has finished.
bool loadAndSettle(const ItemInfoPtr& info, Watcher* watcher = nullptr)
{
    if (info->load() != 0)
        return false;
    QElapsedTimer t;
    t.start();
    while (info->isBusy() && t.elapsed() < 20000)
        QTest::qWait(5);
    // Let the queued signals arrive.
    QTest::qWait(20);
    Q_UNUSED(watcher)
    return !info->isBusy();
}

bool readTagRow(const QString& file, FileTagInfo& out)
{
    PooledDb<TagDb> db(tagDbPool);
    return db && FileTagTb(db.get()).readFileTag(file, out);
}

bool readCacheRow(const QString& file, ImageCacheInfo& out)
{
    PooledDb<ThumbDb> db(thumbDbPool);
    return db && ImageCacheTb(db.get()).readImageCache(file, out);
}

void deleteRows(const QString& file, bool tagRow, bool cacheRow)
{
    if (tagRow) {
        PooledDb<TagDb> db(tagDbPool);
        FileTagTb(db.get()).delFileTag(file);
    }
    if (cacheRow) {
        PooledDb<ThumbDb> db(thumbDbPool);
        ImageCacheTb(db.get()).delImageCache(file);
    }
}

QString saveImage(const QImage& image, const QString& path, const char* format = nullptr, int quality = -1)
{
    return image.save(path, format, quality) ? path : QString();
}

// Mean absolute difference per channel of two images of one size.
double meanDiff(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    double sum = 0;
    for (int j = 0; j < x.height(); ++j) {
        for (int i = 0; i < x.width(); ++i) {
            const QRgb p = x.pixel(i, j), q = y.pixel(i, j);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * x.width() * x.height());
}

QImage photoLike(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, ((x / 40 + y / 40) % 2) * 200));
    return img;
}

} // namespace

class TestItemInfo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void sizesAndReducedDecode();
    void loadFromFileThenFromRows();
    void partialAndStaleRows();
    void tagsInFileAndCacheBigImage();
    void edits();
    void editWhileRowIsQueued();
    void renameRules();
    void matchFilter();
    void brokenFilesStayEmpty();
    void fullImage();
    void destructionNeverWaitsOnQueuedJobs();

private:
    std::unique_ptr<ProgramDir> m_program;
    std::unique_ptr<TempDir> m_files;
};

void TestItemInfo::initTestCase()
{
    m_program = std::make_unique<ProgramDir>();
    m_files = std::make_unique<TempDir>();
    initExiv2();
    AppCfg::instance(1);
    QVERIFY(createDbPools());
    createThreadPools();
}

void TestItemInfo::cleanupTestCase()
{
    destroyThreadPools();
    destroyDbPools();
    AppCfg::release();
}

void TestItemInfo::sizesAndReducedDecode()
{
    QCOMPARE(ItemInfo::fitSize(QSize(100, 50), QSize(192, 108)), QSize(100, 50));
    QCOMPARE(ItemInfo::fitSize(QSize(4000, 3000), QSize(192, 108)), QSize(144, 108));
    QVERIFY(ItemInfo::fitSize(QSize(100, 50), QSize(188, -8)).isEmpty()); // a cell with no room for its image
    QCOMPARE(
        ItemInfo::coverSize(QSize(4000, 3000), { QSize(188, 156), QSize(96, 54), QSize(192, 108) }), QSize(188, 141));
    // One box the image fits in: nothing to gain from a reduced scale.
    QCOMPARE(ItemInfo::coverSize(QSize(150, 100), { QSize(188, 156), QSize(96, 54) }), QSize(150, 100));
    QCOMPARE(ItemInfo::coverSize(QSize(4001, 2999), { QSize(188, 156) }).width(), 188);

    // A JPEG decodes at reduced scale to thumbnails like those of the whole image.
    const QImage picture = photoLike(1600, 1200);
    const QString jpg = saveImage(picture, m_files->file("reduced.jpg"), "JPEG", 92);
    QVERIFY(!jpg.isEmpty());
    const QByteArray bytes = readBytes(jpg);
    const QList<QSize> boxes = { QSize(188, 156), QSize(96, 54), QSize(192, 108) };
    QSize full;
    const QImage reduced = ItemInfo::decodeForThumbs(bytes, false, boxes, full);
    QCOMPARE(full, QSize(1600, 1200));
    QCOMPARE(reduced.size(), QSize(188, 141));
    const QImage whole = QImage::fromData(bytes).scaled(188, 141, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QVERIFY2(meanDiff(reduced, whole) < 6, qPrintable(QString::number(meanDiff(reduced, whole))));

    // Other formats decode whole; an SVG at its default size; junk gives nothing.
    const QString png = saveImage(picture, m_files->file("whole.png"));
    QCOMPARE(ItemInfo::decodeForThumbs(readBytes(png), false, boxes, full).size(), QSize(1600, 1200));
    QCOMPARE(full, QSize(1600, 1200));
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='100'>"
                           "<rect width='300' height='100' fill='blue'/></svg>";
    QCOMPARE(ItemInfo::decodeForThumbs(svg, true, boxes, full).size(), QSize(300, 100));
    QVERIFY(ItemInfo::decodeForThumbs("not an image", false, boxes, full).isNull());
    QVERIFY(!full.isValid());
    QVERIFY(ItemInfo::decodeForThumbs(QByteArray(), false, boxes, full).isNull());
}

void TestItemInfo::loadFromFileThenFromRows()
{
    const CfgItem& cell = AppCfg::instance()->item;
    const QString path = saveImage(photoLike(1600, 1200), m_files->file("照片 一.jpg"), "JPEG", 90);
    QVERIFY(!path.isEmpty());

    ItemInfoPtr info = makeItem(path);
    QCOMPARE(info->fileName(), QStringLiteral("照片 一.jpg"));
    QVERIFY(info->thumbnail().isNull());
    QVERIFY(info->starText().isEmpty());
    Watcher w(info);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(w.order, QStringList({ "cache", "tag" }));
    QCOMPARE(info->load(), 1); // loaded: nothing more
    QCOMPARE(info->tagFromDb.load(), 0);
    QCOMPARE(info->cacheFromDb.load(), 0);
    QCOMPARE(info->imageSizeText(), QStringLiteral("1600 x 1200"));
    QCOMPARE(info->thumbnail().size(), ItemInfo::fitSize(QSize(1600, 1200), cell.rcImage.size()));
    QCOMPARE(
        info->listThumbnail().size(), ItemInfo::fitSize(QSize(1600, 1200), AppCfg::instance()->list.rcThumb.size()));

    // Both rows stored, with the whole image's size and the cache box.
    FileTagInfo row;
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getImageWidth(), 1600);
    QCOMPARE(row.getImageHeight(), 1200);
    QCOMPARE(row.getFileSize(), QFileInfo(path).size());
    QCOMPARE(row.getRowId(), info->tagRecord().getRowId());
    // Hints are the colours found, never the whole palette.
    QVERIFY(!row.getHintRgb().isEmpty());
    QVERIFY(row.getHintRgb().size() < ColorStat::cvCandidateCount);
    ImageCacheInfo cache;
    QVERIFY(readCacheRow(path, cache));
    QCOMPARE(cache.getThumbWidth(), 192);
    QCOMPARE(cache.getThumbHeight(), 108);
    QCOMPARE(cache.getThumb().size(), QSize(144, 108));

    // The same file again: rows only. The file is overwritten in place with junk of the same size and times,
    // so a file read would leave the item without thumbnails.
    const FileTimes times = platform::readFileTimes(path);
    const qint64 size = QFileInfo(path).size();
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.write(QByteArray(int(size), 'x'));
    }
    QVERIFY(platform::writeFileTimes(path, times));
    info.reset();
    ItemInfoPtr again = makeItem(path);
    Watcher w2(again);
    QVERIFY(loadAndSettle(again));
    QCOMPARE(w2.order, QStringList({ "tag", "cache" }));
    QCOMPARE(again->tagFromDb.load(), 1);
    QCOMPARE(again->cacheFromDb.load(), 1);
    QVERIFY(!again->thumbnail().isNull());
    QCOMPARE(again->thumbnail().size(), ItemInfo::fitSize(QSize(1600, 1200), cell.rcImage.size()));
    QCOMPARE(again->imageSizeText(), QStringLiteral("1600 x 1200"));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getRowId(), again->tagRecord().getRowId()); // not written again

    // A refit to a smaller cell on the next read.
    AppCfg::instance()->item.setZoom(3);
    again->rescaleThumb = 1;
    QCOMPARE(again->thumbnail().size(),
        QSize(1600, 1200).scaled(AppCfg::instance()->item.rcImage.size(), Qt::KeepAspectRatio));
    QCOMPARE(again->rescaleThumb.load(), 0);
    AppCfg::instance()->item.setZoom(6);
}

void TestItemInfo::partialAndStaleRows()
{
    const QString path = saveImage(solidImage(640, 480, Qt::blue), m_files->file("partial.jpg"), "JPEG", 90);
    ItemInfoPtr first = makeItem(path);
    QVERIFY(loadAndSettle(first));
    const qint64 rowId = first->tagRecord().getRowId();
    QVERIFY(rowId > 0);
    first.reset();

    // A valid tag row without its cache row: the file is read, only the cache row is written.
    deleteRows(path, false, true);
    ItemInfoPtr info = makeItem(path);
    Watcher w(info);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(w.order, QStringList({ "tag", "cache" }));
    QCOMPARE(info->tagFromDb.load(), 1);
    QCOMPARE(info->cacheFromDb.load(), 0);
    ImageCacheInfo cache;
    QVERIFY(readCacheRow(path, cache));
    FileTagInfo row;
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getRowId(), rowId);
    info.reset();

    // A cache row without its tag row: the thumbnail is not scaled from the empty record, and the tag row is
    // written too.
    deleteRows(path, true, false);
    info = makeItem(path);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->cacheFromDb.load(), 1);
    QCOMPARE(info->tagFromDb.load(), 0);
    QVERIFY(!info->thumbnail().isNull());
    QVERIFY(!info->listThumbnail().isNull());
    QVERIFY(info->thumbnail().width() >= 144);
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getImageWidth(), 640);
    QCOMPARE(info->imageSizeText(), QStringLiteral("640 x 480"));
    info.reset();

    // A stale row (modified one second later): both rows go, the item loads as new, the stale star is not kept.
    {
        PooledDb<TagDb> db(tagDbPool);
        QVERIFY(FileTagTb(db.get()).modFileStarTag(path, 5));
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QFileInfo(path).lastModified().addSecs(1), QFileDevice::FileModificationTime));
    f.close();
    info = makeItem(path);
    Watcher w3(info);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(w3.order, QStringList({ "cache", "tag" }));
    QCOMPARE(info->tagFromDb.load(), 0);
    QCOMPARE(info->starText(), QStringLiteral("0"));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getStar(), 0);
    QCOMPARE(row.getModifyTime(), QFileInfo(path).lastModified().toString("yyyy-MM-dd hh:mm:ss"));
}

void TestItemInfo::tagsInFileAndCacheBigImage()
{
    // Tags inside the file win over colour hints.
    const QString tagged = saveImage(solidImage(300, 200, Qt::green), m_files->file("tagged.jpg"), "JPEG", 90);
    ExivTags tags;
    tags.setStar(3);
    tags.setRgb({ 0xFF0000FFu });
    tags.setTextTag({ QStringLiteral("海边"), QStringLiteral("family") });
    QCOMPARE(tags.saveTagsToFile(tagged), 0);
    ItemInfoPtr info = makeItem(tagged);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->starText(), QStringLiteral("3"));
    QCOMPARE(info->tagText(), QStringLiteral("海边 family "));
    QCOMPARE(info->rgb(0), QRgb(0xFF0000FFu));
    QCOMPARE(info->rgb(1), QRgb(0));
    QVERIFY(info->tagRecord().getHintRgb().isEmpty());

    // No tags: the colour tags come from the thumbnail.
    const QString plain = saveImage(solidImage(300, 200, Qt::red), m_files->file("plain.png"));
    info = makeItem(plain);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagRecord().getRgb(), QList<uint>({ 0xFFFF0000u }));
    QCOMPARE(info->tagRecord().getHintRgb(), QList<uint>({ 0xFFFF0000u }));

    // With CacheBigImage on, a small image gets its tag row but no cache row, and is read again next time.
    AppCfg::instance()->cache.cacheBigImage = 1;
    const QString small = saveImage(solidImage(100, 80, Qt::yellow), m_files->file("small.png"));
    info = makeItem(small);
    QVERIFY(loadAndSettle(info));
    FileTagInfo row;
    ImageCacheInfo cache;
    QVERIFY(readTagRow(small, row));
    QVERIFY(!readCacheRow(small, cache));
    info = makeItem(small);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(info->tagFromDb.load(), 1);
    QCOMPARE(info->cacheFromDb.load(), 0);
    QCOMPARE(info->thumbnail().size(), QSize(100, 80));
    QVERIFY(!readCacheRow(small, cache));
    // A large one is still cached.
    const QString large = saveImage(solidImage(800, 600, Qt::yellow), m_files->file("large.png"));
    info = makeItem(large);
    QVERIFY(loadAndSettle(info));
    QVERIFY(readCacheRow(large, cache));
    AppCfg::instance()->cache.cacheBigImage = 0;
}

void TestItemInfo::edits()
{
    const QString path = saveImage(solidImage(320, 240, Qt::white), m_files->file("edit.jpg"), "JPEG", 90);
    const QByteArray original = readBytes(path);

    // Nothing changes on an item whose tags are not loaded, and nothing goes into the file.
    ItemInfoPtr info = makeItem(path);
    QVERIFY(!info->setStar(4));
    QVERIFY(!info->addTextTag(QStringLiteral("x")));
    QVERIFY(!info->setRgbs({ 0xFFFF0000u }));
    QCOMPARE(info->saveTagsToFile(), -1);
    QCOMPARE(readBytes(path), original);
    QCOMPARE(info->tagRecord().getStar(), 0);

    QVERIFY(loadAndSettle(info));
    QVERIFY(info->setStar(4));
    FileTagInfo row;
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getStar(), 4);
    QCOMPARE(info->starText(), QStringLiteral("4"));
    QVERIFY(info->setStar(-3));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getStar(), 0);
    QCOMPARE(info->starText(), QStringLiteral("0"));

    QVERIFY(info->setTextTags({ QStringLiteral("山"), QStringLiteral("水") }));
    QVERIFY(info->addTextTag(QStringLiteral("  new   tag ")));
    QVERIFY(!info->addTextTag(QStringLiteral("new tag")));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getTextTags(), QStringLiteral("山 水 new tag "));
    QCOMPARE(info->tagText(), row.getTextTags());

    QVERIFY(info->setRgbs({ 0xFFFF0000u, 0xFF00FF00u }));
    QVERIFY(info->updateRgb(0, 0xFF0000FFu));
    QVERIFY(info->deleteRgb(2));
    QVERIFY(!info->deleteRgb(5));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getRgb(), QList<uint>({ 0xFF0000FFu, 0xFFFF0000u }));

    // The row replaced under the item (new rowid): the edit finds it by its file.
    {
        PooledDb<TagDb> db(tagDbPool);
        FileTagInfo copy = row;
        QVERIFY(FileTagTb(db.get()).addFileTag(copy));
        QVERIFY(copy.getRowId() != info->tagRecord().getRowId());
    }
    QVERIFY(info->setStar(2));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getStar(), 2);
    QCOMPARE(info->tagRecord().getRowId(), row.getRowId());

    // No row at all: the item changes, but the edit is not reported as stored.
    deleteRows(path, true, false);
    QVERIFY(!info->setStar(5));
    QCOMPARE(info->starText(), QStringLiteral("5"));
    QVERIFY(!readTagRow(path, row));

    // The loaded tags go into the file.
    QCOMPARE(info->saveTagsToFile(), 0);
    ExivTags back;
    QCOMPARE(back.loadTagsFromFile(path), 0);
    QCOMPARE(back.getStar(), 5);
    QCOMPARE(back.getTextTag(), QStringList({ "山", "水", "new tag" }));
}

void TestItemInfo::editWhileRowIsQueued()
{
    const QString path = saveImage(solidImage(200, 150, Qt::cyan), m_files->file("queued.jpg"), "JPEG", 90);
    // The store thread held up, so the new row waits in the queue while the tags are already loaded.
    QSemaphore gate;
    QSemaphore started;
    runJob(itemStorePool, [&] {
        started.release();
        gate.acquire();
    });
    started.acquire();
    ItemInfoPtr info = makeItem(path);
    info->load();
    QTRY_COMPARE_WITH_TIMEOUT(info->tagReady.load() + info->thumbReady.load(), 2, 10000);
    FileTagInfo row;
    QVERIFY(!readTagRow(path, row));
    QVERIFY(info->setStar(3));
    QVERIFY(info->addTextTag(QStringLiteral("queued")));
    gate.release();
    QTRY_VERIFY_WITH_TIMEOUT(!info->isBusy(), 10000);
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getStar(), 3);
    QCOMPARE(row.getTextTag(), QStringList({ "queued" }));
    QCOMPARE(info->tagRecord().getRowId(), row.getRowId());
    QVERIFY(info->setStar(1));
    QVERIFY(readTagRow(path, row));
    QCOMPARE(row.getStar(), 1);
}

void TestItemInfo::renameRules()
{
    const QString path = saveImage(solidImage(120, 90, Qt::magenta), m_files->file("old name.jpg"), "JPEG", 90);
    const QString other = saveImage(solidImage(120, 90, Qt::black), m_files->file("taken.jpg"), "JPEG", 90);
    const QByteArray otherBytes = readBytes(other);
    ItemInfoPtr info = makeItem(path);
    QCOMPARE(info->rename(QStringLiteral("early.jpg")), -2); // not loaded yet
    QVERIFY(QFile::exists(path));
    QVERIFY(loadAndSettle(info));

    for (const QString& bad : { QString(), QStringLiteral(" "), QStringLiteral("."), QStringLiteral(".."),
             QStringLiteral("sub/new.jpg"), QStringLiteral("taken.jpg") }) {
        QCOMPARE(info->rename(bad), -1);
        QVERIFY(QFile::exists(path));
    }
    QCOMPARE(readBytes(other), otherBytes);
    QCOMPARE(info->rename(QStringLiteral("old name.jpg")), 0);

    const QString newPath = m_files->file("新 名字.jpg");
    QCOMPARE(info->rename(QStringLiteral("新 名字.jpg")), 0);
    QVERIFY(!QFile::exists(path));
    QVERIFY(QFile::exists(newPath));
    QCOMPARE(info->fileName(), QStringLiteral("新 名字.jpg"));
    QCOMPARE(info->tagRecord().getFile(), newPath);
    FileTagInfo row;
    ImageCacheInfo cache;
    QVERIFY(!readTagRow(path, row));
    QVERIFY(readTagRow(newPath, row));
    QCOMPARE(row.getPath(), m_files->path());
    QVERIFY(readCacheRow(newPath, cache));
    QVERIFY(info->setStar(2));
    QVERIFY(readTagRow(newPath, row));
    QCOMPARE(row.getStar(), 2);
}

void TestItemInfo::matchFilter()
{
    const QString path = saveImage(solidImage(64, 48, Qt::red), m_files->file("match.png"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QDateTime(QDate(2021, 5, 7), QTime(8, 9, 10)), QFileDevice::FileModificationTime));
    f.close();
    ItemInfoPtr info = makeItem(path);
    // Still loading: always passes.
    QVERIFY(info->match({}, {}, {}));
    QVERIFY(loadAndSettle(info));
    QVERIFY(!info->match({}, {}, {}));
    QVERIFY(info->match({ 0 }, {}, {}));
    QVERIFY(!info->match({ 3 }, {}, {}));
    QVERIFY(info->match({}, { 0xFFFF0000u }, {}));
    QVERIFY(!info->match({}, { 0 }, {}));
    QVERIFY(info->match({}, {}, { QStringLiteral("2021-05") }));
    QVERIFY(info->match({}, {}, { QStringLiteral("MATCH.PNG") }));
    QVERIFY(info->match({}, {}, { QStringLiteral("64 x 48") }));
    QVERIFY(!info->match({}, {}, { QStringLiteral("2020-01") }));
    QVERIFY(info->setRgbs({}));
    QVERIFY(info->addTextTag(QStringLiteral("Sunset")));
    QVERIFY(info->setStar(3));
    QVERIFY(info->match({}, { 0 }, {}));
    QVERIFY(info->match({ 3 }, {}, {}));
    QVERIFY(!info->match({ 0 }, {}, {}));
    QVERIFY(info->match({}, {}, { QStringLiteral("sunset") }));
}

void TestItemInfo::brokenFilesStayEmpty()
{
    QVERIFY(writeBytes(m_files->file("zero.jpg"), QByteArray()));
    QVERIFY(writeBytes(m_files->file("text.png"), "this is text, not a picture\n"));
    QByteArray corrupt = readBytes(saveImage(photoLike(400, 300), m_files->file("tmp.jpg"), "JPEG", 90));
    corrupt = corrupt.left(40) + QByteArray(2000, '\x17');
    QVERIFY(writeBytes(m_files->file("corrupt.jpg"), corrupt));
    const QString missing = m_files->file("missing.jpg");

    for (const QString& path :
        { m_files->file("zero.jpg"), m_files->file("text.png"), m_files->file("corrupt.jpg"), missing }) {
        ItemInfoPtr info = makeItem(path);
        Watcher w(info);
        QVERIFY(loadAndSettle(info));
        QCOMPARE(w.order, QStringList({ "tag" }));
        QCOMPARE(info->thumbReady.load(), 0);
        QVERIFY(info->thumbnail().isNull());
        QVERIFY(info->listThumbnail().isNull());
        QVERIFY(info->match({ 5 }, {}, {}));
        QCOMPARE(info->rename(QStringLiteral("renamed.jpg")), -2);
        FileTagInfo row;
        ImageCacheInfo cache;
        QVERIFY(!readTagRow(path, row));
        QVERIFY(!readCacheRow(path, cache));
        QVERIFY(!info->setStar(2)); // no row to hold it
        QCOMPARE(info->loadFullImage(), 0);
        QTRY_VERIFY(!info->isBusy());
        QTest::qWait(50);
        QCOMPARE(info->fullImageState(), 0);
        QVERIFY(info->fullImage().isNull());
    }
}

void TestItemInfo::fullImage()
{
    const QString path = saveImage(photoLike(900, 700), m_files->file("full.png"));
    ItemInfoPtr info = makeItem(path);
    QCOMPARE(info->loadFullImage(), 0);
    QTRY_COMPARE(info->fullImageState(), 1);
    QCOMPARE(info->fullImage().size(), QSize(900, 700));
    QCOMPARE(info->loadFullImage(), 1);
    info->releaseFullImage();
    QCOMPARE(info->fullImageState(), -1);
    QVERIFY(info->fullImage().isNull());
    QCOMPARE(info->loadFullImage(), 0);
    QTRY_COMPARE(info->fullImageState(), 2);
    QCOMPARE(info->fullImage().size(), QSize(900, 700));
}

void TestItemInfo::destructionNeverWaitsOnQueuedJobs()
{
    const QString path = saveImage(photoLike(2400, 1800), m_files->file("busy.jpg"), "JPEG", 90);
    // Every load thread held up: the items' load jobs stay queued.
    QSemaphore gate;
    QSemaphore started;
    const int threads = itemLoadPool->maxThreadCount();
    for (int i = 0; i < threads; ++i) {
        runJob(itemLoadPool, [&] {
            started.release();
            gate.acquire();
        });
    }
    started.acquire(threads);
    ItemInfoPtr queued = makeItem(path);
    ItemInfoPtr dropped = makeItem(path);
    QCOMPARE(queued->load(), 0);
    QCOMPARE(dropped->load(), 0);
    QVERIFY(queued->isBusy());
    QElapsedTimer t;
    t.start();
    queued.reset(); // its job is still queued: skipped later, not waited for
    QVERIFY(t.elapsed() < 2000);
    itemLoadPool->clear(); // drops the other item's job
    QVERIFY(!dropped->isBusy());
    t.restart();
    dropped.reset();
    QVERIFY(t.elapsed() < 2000);
    gate.release(threads);
    QVERIFY(itemLoadPool->waitForDone(10000));

    // Items destroyed while their jobs run (from the release pool, as the views do) wait for them.
    QList<ItemInfoPtr> items;
    for (int i = 0; i < 24; ++i) {
        items << makeItem(path);
        items.last()->load();
        items.last()->loadFullImage();
    }
    QTest::qWait(30);
    QFuture<void> release = runJob(itemReleasePool, [list = std::move(items)]() mutable { list.clear(); });
    QTRY_VERIFY_WITH_TIMEOUT(release.isFinished(), 20000);
    QVERIFY(itemLoadPool->waitForDone(20000));
    QVERIFY(exivTagPool->waitForDone(20000));
    QVERIFY(itemStorePool->waitForDone(20000));
    QVERIFY(imageLoadPool->waitForDone(20000));
}

QTEST_MAIN(TestItemInfo)
#include "tst_iteminfo.moc"
