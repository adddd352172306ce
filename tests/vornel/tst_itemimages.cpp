#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "grid/fullimagecache.h"
#include "grid/thumbcache.h"

#include <QImageReader>
#include <QTest>
#include <QThreadPool>

using namespace testutil;

namespace {

bool loadAndSettle(const ItemInfoPtr& info)
{
    info->load();
    const bool settled = QTest::qWaitFor([&] { return !info->isBusy(); }, 20000);
    QTest::qWait(20); // the queued signals
    return settled;
}

// Asks for the full image and waits for it; false when none came.
bool loadFull(const ItemInfoPtr& info)
{
    QSignalSpy loaded(info.data(), &ItemInfo::fullImageLoaded);
    return info->loadFullImage() == 0 && waitForSignal(loaded, 1, 10000);
}

// Whether the middles of the four quarters have about the same colours: both pictures turned the same way.
bool sameQuarters(const QImage& a, const QImage& b)
{
    for (const QPointF& at : { QPointF(.25, .25), QPointF(.75, .25), QPointF(.25, .75), QPointF(.75, .75) }) {
        const QColor x = a.pixelColor(int(at.x() * a.width()), int(at.y() * a.height()));
        const QColor y = b.pixelColor(int(at.x() * b.width()), int(at.y() * b.height()));
        if (qAbs(x.red() - y.red()) + qAbs(x.green() - y.green()) + qAbs(x.blue() - y.blue()) > 90)
            return false;
    }
    return true;
}

} // namespace

class TestItemImages : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(m_env.ok); }
    void eightOrientationsUpright();
    void hostileFilesKeepTheirFacts();
    void fullImagesWithinBudget();
    void thumbnailsCompactAndPixelsWithinBudget();

private:
    VornelEnv m_env;
    TempDir m_files;
};

void TestItemImages::eightOrientationsUpright()
{
    // 400 x 200: the thumbnails come from a reduced decode, the full image from a whole one; Qt's own turn is the
    // reference.
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QString path = m_files.file(QString("turned %1.jpg").arg(orientation));
        QVERIFY(quarterImage(400, 200).save(path, "JPEG", 95));
        QVERIFY(photomaker::setMetadata(path, { { "Exif.Image.Orientation", QString::number(orientation) } }));
        QImageReader reader(path);
        reader.setAutoTransform(true);
        const QImage upright = reader.read();
        const QSize shown = orientation >= 5 ? QSize(200, 400) : QSize(400, 200);
        const QByteArray what = QByteArray::number(orientation);

        ItemInfoPtr info = itemFor(path);
        QVERIFY(loadAndSettle(info));
        const FileTagInfo record = info->tagRecord();
        QCOMPARE(QSize(record.getImageWidth(), record.getImageHeight()), shown);
        QCOMPARE(info->imageSize(), shown);
        for (const QImage& thumb : { info->thumbnail(), info->listThumbnail() })
            QVERIFY2(sameQuarters(thumb, upright), what);
        QVERIFY(loadFull(info));
        QCOMPARE(info->fullImage().size(), shown);
        QVERIFY2(sameQuarters(info->fullImage(), upright), what);
    }
}

void TestItemImages::hostileFilesKeepTheirFacts()
{
    // A gigapixel declared in a tiny PNG: an empty cell with its size and file size, a stored tag row, no decode.
    const QString huge = m_files.file("huge.png");
    QVERIFY(writeBytes(huge, pngDeclaring(40000, 40000)));
    ItemInfoPtr info = itemFor(huge);
    QSignalSpy cached(info.data(), &ItemInfo::cacheLoaded);
    QVERIFY(loadAndSettle(info));
    QCOMPARE(cached.count(), 1);
    QVERIFY(info->thumbnail().isNull() && info->listThumbnail().isNull());
    QCOMPARE(info->imageSizeText(), QStringLiteral("40000 x 40000"));
    QVERIFY(info->tagRecord().getRowId() > 0);
    QCOMPARE(info->loadFullImage(), 0);
    QVERIFY(imageLoadPool->waitForDone(10000));
    QCOMPARE(info->fullImageState(), 0);
}

void TestItemImages::fullImagesWithinBudget()
{
    FullImageCache& cache = FullImageCache::instance();
    QList<ItemInfoPtr> items;
    for (int i = 0; i < 5; ++i)
        items << itemFor(makeImage(m_files.path(), QString("full %1.png").arg(i), 200, 100));
    const qint64 one = 200 * 100 * 4;
    cache.setBudget(3 * one);
    cache.pin(items[1].data());

    // The least recently used give theirs up; the pinned one keeps it.
    for (const ItemInfoPtr& info : items)
        QVERIFY(loadFull(info));
    QCOMPARE(cache.heldBytes(), 3 * one);
    auto states = [&] {
        QList<int> s;
        for (const ItemInfoPtr& info : items)
            s << info->fullImageState();
        return s;
    };
    QCOMPARE(states(), QList<int>({ -1, 1, -1, 1, 1 }));

    // Looked at, an image goes last; one taken again is "loaded again".
    QVERIFY(!items[3]->fullImage().isNull());
    QVERIFY(loadFull(items[0]));
    QCOMPARE(states(), QList<int>({ 2, 1, -1, 1, -1 }));

    // Unpinned, a smaller budget takes it too; a destroyed item leaves nothing behind.
    cache.unpin(items[1].data());
    cache.setBudget(one);
    QCOMPARE(states(), QList<int>({ 2, -1, -1, -1, -1 }));
    items.clear();
    QCOMPARE(cache.heldBytes(), 0);
    cache.setBudget(FullImageCache::kDefaultBudget);
}

void TestItemImages::thumbnailsCompactAndPixelsWithinBudget()
{
    ThumbCache& cache = ThumbCache::instance();
    const auto save = [this](const QImage& image, const QString& name) {
        const QString path = m_files.file(name);
        return image.save(path) ? path : QString();
    };
    const QColor colours[] = { Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::magenta };
    QList<ItemInfoPtr> items;
    for (const QColor& colour : colours) {
        items << itemFor(save(solidImage(400, 300, colour), QString("thumb %1.png").arg(colour.name())));
        QVERIFY(loadAndSettle(items.last()));
    }
    const QImage first = items[0]->thumbnail();
    QVERIFY(!first.isNull());
    const qint64 one = first.sizeInBytes();
    cache.setBudget(3 * one);

    // An opaque PNG is kept as a JPEG of a small part of its pixels' bytes; its pixels come back the same colour.
    for (const ItemInfoPtr& info : items) {
        const QByteArray kept = info->thumbBytes();
        QVERIFY(kept.startsWith("\xFF\xD8"));
        QVERIFY2(kept.size() * 10 < one, QByteArray::number(kept.size()));
    }
    // Pixels past the budget go, the least recently used first; asked again, they are decoded again.
    for (const ItemInfoPtr& info : items)
        QVERIFY(!info->thumbnail().isNull());
    QCOMPARE(cache.heldCount(), 3);
    QVERIFY(cache.heldBytes() <= 3 * one);
    QVERIFY(cache.find(items[0].data(), ThumbCache::Grid, first.size()).isNull());
    for (int i = 0; i < 5; ++i) {
        const QImage thumb = items[i]->thumbnail();
        const QColor centre = thumb.pixelColor(thumb.width() / 2, thumb.height() / 2);
        const QColor want = colours[i];
        QVERIFY2(
            qAbs(centre.red() - want.red()) + qAbs(centre.green() - want.green()) + qAbs(centre.blue() - want.blue())
                < 24,
            qPrintable(centre.name()));
    }

    // The strip's pixels are made only when asked for, to the strip's box; a larger cell gets larger pixels.
    QVERIFY(cache.find(items[4].data(), ThumbCache::Strip, AppCfg::instance()->list.rcThumb.size()).isNull());
    QCOMPARE(
        items[4]->listThumbnail().size(), ItemInfo::fitSize(QSize(400, 300), AppCfg::instance()->list.rcThumb.size()));
    CfgItem& cell = AppCfg::instance()->item;
    const int zoom = cell.zoomValue();
    cell.setZoom(zoom + 3);
    QCOMPARE(items[4]->thumbnail().size(), ItemInfo::fitSize(QSize(400, 300), cell.rcImage.size()));
    cell.setZoom(zoom);

    // Transparency needs PNG: a see-through half stays see-through.
    QImage half(400, 300, QImage::Format_ARGB32);
    half.fill(Qt::transparent);
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 200; ++x)
            half.setPixelColor(x, y, Qt::blue);
    ItemInfoPtr clear = itemFor(save(half, "half clear.png"));
    QVERIFY(loadAndSettle(clear));
    QVERIFY(clear->thumbBytes().startsWith("\x89PNG"));
    const QImage thumb = clear->thumbnail();
    QCOMPARE(qAlpha(thumb.pixel(thumb.width() - 2, thumb.height() / 2)), 0);
    QCOMPARE(qAlpha(thumb.pixel(2, thumb.height() / 2)), 255);

    // A destroyed item leaves no pixels behind, so none are ever shown for another item in its place.
    items.clear();
    clear.reset();
    QCOMPARE(cache.heldCount(), 0);
    cache.setBudget(ThumbCache::kDefaultBudget);
}

QTEST_MAIN(TestItemImages)
#include "tst_itemimages.moc"
