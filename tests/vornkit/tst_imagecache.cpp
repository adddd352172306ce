#include "common/testutil.h"
#include "db/thumbdb.h"
#include "meta/svgloader.h"
#include "records/imagecacheinfo.h"
#include "records/imagecachetb.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QTest>

#include <sqlite3.h>

class TestImageCache : public QObject {
    Q_OBJECT
private slots:
    void tableRows();
    void svgLoading();
    void bigCacheReadStaysWithinSqliteHeap();
};

namespace {
// The row's columns but the picture, and the picture's size.
QString fields(const ImageCacheInfo& i)
{
    return QString("%1|%2|%3|%4x%5|%6|%7x%8")
        .arg(i.getRowId())
        .arg(i.getPath(), i.getFile())
        .arg(i.getThumbWidth())
        .arg(i.getThumbHeight())
        .arg(i.getFormat())
        .arg(i.getThumb().width())
        .arg(i.getThumb().height());
}

ImageCacheInfo makeThumb(const QString& file, int w, int h)
{
    ImageCacheInfo info;
    info.loadFromFile(QFileInfo(file), testutil::solidImage(w, h, Qt::red), 192, 108);
    return info;
}
} // namespace

void TestImageCache::tableRows()
{
    testutil::TempDir dir;
    const QFileInfo fi(dir.file("照片 1.jpg"));
    ImageCacheInfo small;
    QCOMPARE(small.loadFromFile(fi, testutil::solidImage(100, 50, Qt::blue), 192, 108), 0);
    QCOMPARE(fields(small),
        QString("0|%1|%2|192x108|%3|100x50").arg(fi.absolutePath(), fi.absoluteFilePath()).arg(QImage::Format_RGB32));
    QCOMPARE(makeThumb(fi.filePath(), 4000, 3000).getThumb().size(), QSize(144, 108));

    ThumbDb db;
    QVERIFY(db.openDb(dir.file("data/thumb.db"), "thumbrows", false));
    ImageCacheTb tb(&db);

    // Paths are case-sensitive: "A.jpg" is another file.
    ImageCacheInfo a = makeThumb("/p/a.jpg", 300, 200), upper = makeThumb("/p/A.jpg", 10, 10);
    QVERIFY(tb.addImageCache(a));
    QVERIFY(tb.addImageCache(upper));
    QVERIFY(a.getRowId() > 0 && upper.getRowId() != a.getRowId());
    QVERIFY(!tb.hasImageCache(""));
    QVERIFY(!tb.hasImageCache("/P/a.jpg"));

    // Adding the same path again replaces the row.
    const qint64 oldId = a.getRowId();
    QVERIFY(tb.addImageCache(a));
    QVERIFY(a.getRowId() != oldId);
    QImage thumb;
    QVERIFY(!tb.readThumb(oldId, thumb));
    ImageCacheInfo read;
    QVERIFY(tb.readImageCache("/p/a.jpg", read));
    QCOMPARE(fields(read), fields(a));

    QList<ImageCacheInfo*> all;
    QVERIFY(tb.loadImageCache(all, false));
    QCOMPARE(all.size(), 2);
    QVERIFY(all.at(0)->getThumb().isNull() && all.at(0)->getThumbHeight() == 108);
    qDeleteAll(all);
    all.clear();
    QVERIFY(tb.loadImageCache(all, true));
    QVERIFY(!all.at(0)->getThumb().isNull());
    qDeleteAll(all);

    // A null thumbnail is stored as NULL and read back as a null image with the other fields.
    ImageCacheInfo empty;
    empty.setFile("/p/e.png");
    empty.setThumbWidth(5);
    QVERIFY(tb.addImageCache(empty));
    QVERIFY(tb.readImageCache("/p/e.png", read));
    QCOMPARE(fields(read), fields(empty));

    // Rename carries the row; updates match exactly.
    QVERIFY(tb.updateFile("/p/a.jpg", "/q/b.jpg", "/q"));
    QVERIFY(!tb.hasImageCache("/p/a.jpg"));
    QVERIFY(tb.readImageCache("/q/b.jpg", read));
    QCOMPARE(read.getPath(), QString("/q"));
    read.setThumbWidth(64);
    QVERIFY(tb.modImageCache(read));
    read.setFile("/Q/B.JPG");
    read.setThumbWidth(1);
    QVERIFY(tb.modImageCache(read)); // no row matched: still success
    QVERIFY(tb.readImageCacheById(read.getRowId(), read));
    QCOMPARE(read.getFile() + " " + QString::number(read.getThumbWidth()), QString("/q/b.jpg 64"));

    QVERIFY(tb.delImageCache("/P/A.JPG"));
    QVERIFY(tb.hasImageCache("/p/A.jpg"));
    QVERIFY(tb.delImageCacheById(read.getRowId()));
    QVERIFY(!tb.readImageCache("/q/b.jpg", read));
}

void TestImageCache::svgLoading()
{
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='100' height='50'>"
                           "<rect width='100' height='50' fill='#ff0000'/></svg>";
    SvgLoader loader;
    QImage img = loader.load(svg, 400, 400);
    QCOMPARE(img.size(), QSize(400, 200));
    QCOMPARE(img.format(), QImage::Format_ARGB32);
    QCOMPARE(img.pixel(200, 100), qRgb(255, 0, 0));
    QCOMPARE(loader.load(svg, 0, 400).size(), QSize(100, 50));
    QCOMPARE(loader.load(svg, 30, -1).size(), QSize(100, 50));
    QVERIFY(loader.load(QByteArray("not svg at all"), 100, 100).isNull());

    // No default width or height: a null image rather than a division by zero; too thin to keep a pixel.
    auto sized = [&](const char* w, const char* h, int fitW, int fitH) {
        return loader.load(
            QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='") + w + "' height='" + h + "'/>", fitW, fitH);
    };
    QVERIFY(sized("0", "50", 100, 100).isNull());
    QVERIFY(sized("100", "0", 0, 0).isNull());
    QVERIFY(sized("1000", "1", 10, 10).isNull());

    testutil::TempDir dir;
    QVERIFY(testutil::writeBytes(dir.file("图 标.svg"), svg));
    QCOMPARE(loader.load(dir.file("图 标.svg"), 50, 50).size(), QSize(50, 25));
    QVERIFY(loader.load(dir.file("missing.svg"), 50, 50).isNull());
    QVERIFY(testutil::writeBytes(dir.file("empty.svg"), QByteArray()));
    QVERIFY(loader.load(dir.file("empty.svg"), 50, 50).isNull());
}

void TestImageCache::bigCacheReadStaysWithinSqliteHeap()
{
    // 3000 stored thumbnails of 40 kB (120 MB, past SQLite's soft heap limit), written through one connection and
    // each read once through two others, as a big folder's load does: the page caches reuse their pages instead of
    // keeping every row.
    testutil::TempDir dir;
    ThumbDb writer, readers[2];
    QVERIFY(writer.openDb(dir.file("data/thumb.db"), "bigwriter", false));
    QVERIFY(readers[0].openDb(dir.file("data/thumb.db"), "bigreader0", false));
    QVERIFY(readers[1].openDb(dir.file("data/thumb.db"), "bigreader1", false));
    const sqlite3_int64 before = sqlite3_memory_used();
    sqlite3_int64 most = before;
    QByteArray png(40 * 1024, Qt::Uninitialized);
    const int rows = 3000;
    QVERIFY(writer.db().transaction());
    for (int i = 0; i < rows; ++i) {
        QRandomGenerator(quint32(i)).fillRange(reinterpret_cast<quint32*>(png.data()), png.size() / 4);
        ImageCacheInfo row;
        row.setPath("/big");
        row.setFile(QString("/big/%1.jpg").arg(i));
        row.setThumbPng(png);
        QVERIFY(ImageCacheTb(&writer).addImageCache(row));
        most = qMax(most, sqlite3_memory_used());
    }
    QVERIFY(writer.db().commit());
    for (int i = 0; i < rows; ++i) {
        QImage thumb;
        QVERIFY(ImageCacheTb(&readers[i % 2]).readThumb(QString("/big/%1.jpg").arg(i), thumb));
        most = qMax(most, sqlite3_memory_used());
    }
    QVERIFY2(most - before < (sqlite3_int64(96) << 20), QByteArray::number(qint64(most - before) >> 20) + " MB");
}

QTEST_MAIN(TestImageCache)
#include "tst_imagecache.moc"
