#include "imagecacheinfo.h"
#include "imagecachetb.h"
#include "imagevariant.h"
#include "svgloader.h"
#include "testutil.h"
#include "thumbdb.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QTest>

class TestImageCache : public QObject {
    Q_OBJECT
private slots:
    void thumbnailFromImage();
    void pngColumn();
    void tableRows();
    void svgLoading();
};

void TestImageCache::thumbnailFromImage()
{
    testutil::TempDir dir;
    const QFileInfo fi(dir.file("照片 1.jpg"));
    ImageCacheInfo small;
    QCOMPARE(small.loadFromFile(fi, testutil::solidImage(100, 50, Qt::blue), 192, 108), 0);
    QCOMPARE(small.getThumb().size(), QSize(100, 50));
    QCOMPARE(small.getThumbWidth(), 192);
    QCOMPARE(small.getThumbHeight(), 108);
    QCOMPARE(small.getFile(), fi.absoluteFilePath());
    QCOMPARE(small.getPath(), fi.absolutePath());
    QCOMPARE(small.getFormat(), int(QImage::Format_RGB32));

    ImageCacheInfo big;
    big.loadFromFile(fi, testutil::solidImage(4000, 3000, Qt::blue), 192, 108);
    QCOMPARE(big.getThumb().size(), QSize(144, 108));
}

void TestImageCache::pngColumn()
{
    QVERIFY(!imageToVariant(QImage()).isValid());
    QVERIFY(variantToImage(QVariant()).isNull());
    QVariant keep("old");
    QVERIFY(!imageToVariant(QImage(), keep));
    QCOMPARE(keep.toString(), QString("old"));

    const QImage img = testutil::solidImage(7, 5, Qt::green);
    const QVariant v = imageToVariant(img);
    QVERIFY(v.toByteArray().startsWith("\x89PNG"));
    QImage back;
    QVERIFY(variantToImage(v, back));
    QCOMPARE(back.convertToFormat(QImage::Format_RGB32), img);
    QVERIFY(!variantToImage(QVariant(QByteArray("not a png")), back));
    QVERIFY(back.isNull());
}

void TestImageCache::tableRows()
{
    testutil::TempDir dir;
    ThumbDb db;
    QVERIFY(db.openDb(dir.file("data/thumb.db"), "thumbrows", false));
    ImageCacheTb tb(&db);

    ImageCacheInfo a;
    a.loadFromFile(QFileInfo("/p/a.jpg"), testutil::solidImage(300, 200, Qt::red), 192, 108);
    QVERIFY(tb.addImageCache(a));
    QVERIFY(a.getRowId() > 0);
    // Paths are case-sensitive: "A.jpg" is another file.
    ImageCacheInfo upper;
    upper.loadFromFile(QFileInfo("/p/A.jpg"), testutil::solidImage(10, 10, Qt::blue), 192, 108);
    QVERIFY(tb.addImageCache(upper));
    QVERIFY(upper.getRowId() != a.getRowId());
    QVERIFY(!tb.hasImageCache(""));
    QVERIFY(tb.hasImageCache("/p/a.jpg"));
    QVERIFY(!tb.hasImageCache("/P/a.jpg"));

    // Adding the same path again replaces the row.
    const qint64 oldId = a.getRowId();
    QVERIFY(tb.addImageCache(a));
    QVERIFY(a.getRowId() != oldId);
    QImage thumb;
    QVERIFY(!tb.readThumb(oldId, thumb));

    ImageCacheInfo read;
    QVERIFY(tb.readImageCache("/p/a.jpg", read));
    QCOMPARE(read.getRowId(), a.getRowId());
    QCOMPARE(read.getThumb().size(), QSize(162, 108));
    QCOMPARE(read.getThumbWidth(), 192);
    QCOMPARE(read.getPath(), QString("/p"));
    QVERIFY(tb.readThumb(upper.getRowId(), thumb));
    QCOMPARE(thumb.size(), QSize(10, 10));
    QVERIFY(tb.readImageCacheById(upper.getRowId(), read));
    QCOMPARE(read.getFile(), QString("/p/A.jpg"));

    QList<ImageCacheInfo*> all;
    QVERIFY(tb.loadImageCache(all, false));
    QCOMPARE(all.size(), 2);
    for (ImageCacheInfo* i : all) {
        QVERIFY(i->getThumb().isNull());
        QVERIFY(i->getThumbHeight() == 108 && i->getRowId() > 0 && !i->getFile().isEmpty());
    }
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
    QVERIFY(read.getThumb().isNull());
    QCOMPARE(read.getThumbWidth(), 5);

    // Rename carries the row; updates match exactly.
    QVERIFY(tb.updateFile("/p/a.jpg", "/q/b.jpg", "/q"));
    QVERIFY(!tb.hasImageCache("/p/a.jpg"));
    QVERIFY(tb.readImageCache("/q/b.jpg", read));
    QCOMPARE(read.getPath(), QString("/q"));
    read.setThumbWidth(64);
    QVERIFY(tb.modImageCache(read));
    read.setFile("/Q/B.JPG");
    QVERIFY(tb.modImageCache(read)); // no row matched: still success
    QVERIFY(tb.readImageCacheById(read.getRowId(), read));
    QCOMPARE(read.getThumbWidth(), 64);
    QCOMPARE(read.getFile(), QString("/q/b.jpg"));
    read.setThumbHeight(33);
    QVERIFY(tb.modImageCacheById(read));
    QVERIFY(tb.readImageCache("/q/b.jpg", read));
    QCOMPARE(read.getThumbHeight(), 33);

    QVERIFY(tb.delImageCache("/P/A.JPG"));
    QVERIFY(tb.hasImageCache("/p/A.jpg"));
    QVERIFY(tb.delImageCache("/p/A.jpg"));
    QVERIFY(!tb.hasImageCache("/p/A.jpg"));
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

    // No default width or height: a null image rather than a division by zero.
    QVERIFY(
        loader.load(QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='0' height='50'/>"), 100, 100).isNull());
    QVERIFY(loader.load(QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='100' height='0'/>"), 0, 0).isNull());
    // Too thin to keep a pixel after fitting.
    QVERIFY(
        loader.load(QByteArray("<svg xmlns='http://www.w3.org/2000/svg' width='1000' height='1'/>"), 10, 10).isNull());

    testutil::TempDir dir;
    QVERIFY(testutil::writeBytes(dir.file("图 标.svg"), svg));
    QCOMPARE(loader.load(dir.file("图 标.svg"), 50, 50).size(), QSize(50, 25));
    QVERIFY(loader.load(dir.file("missing.svg"), 50, 50).isNull());
    QVERIFY(testutil::writeBytes(dir.file("empty.svg"), QByteArray()));
    QVERIFY(loader.load(dir.file("empty.svg"), 50, 50).isNull());
}

QTEST_MAIN(TestImageCache)
#include "tst_imagecache.moc"
