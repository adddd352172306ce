#include "common/photomaker.h"
#include "common/testutil.h"
#include "meta/imagedecoder.h"

#include <QBuffer>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

class TestImageDecoder : public QObject {
    Q_OBJECT
private slots:
    void uprightAndReduced();
    void svgAtShownSize();
    void hostileFiles();
};

namespace {

quint32 crc32Of(const char* data, int len)
{
    quint32 c = 0xFFFFFFFFu;
    for (int i = 0; i < len; ++i) {
        c ^= quint8(data[i]);
        for (int k = 0; k < 8; ++k)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1u)));
    }
    return ~c;
}

// A PNG whose header declares w x h; its pixel data is a single tiny row, so it is small on disk.
QByteArray pngDeclaring(quint32 w, quint32 h)
{
    QByteArray png;
    QBuffer buf(&png);
    buf.open(QIODevice::WriteOnly);
    testutil::solidImage(4, 4, Qt::blue).save(&buf, "PNG");
    auto put32 = [&](int at, quint32 v) {
        for (int i = 0; i < 4; ++i)
            png[at + i] = char((v >> (24 - 8 * i)) & 0xFF);
    };
    put32(16, w);
    put32(20, h);
    const quint32 crc = crc32Of(png.constData() + 12, 17);
    put32(29, crc);
    return png;
}

} // namespace

void TestImageDecoder::uprightAndReduced()
{
    testutil::TempDir dir;
    const QString photo = photomaker::makePhoto(dir.path(), "竖 照片.jpg", false, 400, 300);
    QVERIFY(photomaker::setMetadata(photo, { { "Exif.Image.Orientation", "6" } }));

    QSize header;
    QVERIFY(ImageDecoder::readHeader(photo, header));
    QCOMPARE(header, QSize(300, 400));

    const ImageDecoder::Result whole = ImageDecoder::decodeFile(photo);
    QCOMPARE(whole.image.size(), QSize(300, 400));
    QCOMPARE(whole.fullSize, QSize(300, 400));
    QCOMPARE(whole.format, QByteArray("jpeg"));

    // Reduced for a 60 x 60 box: upright, and covering the box's fit.
    const ImageDecoder::Result small = ImageDecoder::decodeFile(photo, { QSize(60, 60), QSize() });
    QCOMPARE(small.image.size(), QSize(45, 60));
    QCOMPARE(small.fullSize, QSize(300, 400));

    QCOMPARE(ImageDecoder::coverSize(QSize(4000, 3000), { QSize(192, 108), QSize(188, 141) }), QSize(188, 141));
    QCOMPARE(ImageDecoder::coverSize(QSize(150, 100), { QSize(192, 108) }), QSize(150, 100));
}

void TestImageDecoder::svgAtShownSize()
{
    // A hundred bytes declaring a picture of 60000 x 30000.
    const QByteArray svg = "<svg xmlns='http://www.w3.org/2000/svg' width='60000' height='30000'>"
                           "<rect width='60000' height='30000' fill='red'/></svg>";
    ImageDecoder::Result r = ImageDecoder::decodeData(svg, { QSize(200, 200) });
    QCOMPARE(r.image.size(), QSize(200, 100));
    QCOMPARE(r.fullSize, QSize(60000, 30000));
    QCOMPARE(r.image.pixelColor(100, 50), QColor(Qt::red));
    r = ImageDecoder::decodeData(svg);
    QCOMPARE(r.image.size(), QSize(ImageDecoder::kMaxSvgSide, ImageDecoder::kMaxSvgSide / 2));

    // Without a size there is nothing to fit: no image, no crash.
    QVERIFY(ImageDecoder::decodeData("<svg xmlns='http://www.w3.org/2000/svg'/>", { QSize(50, 50) }).image.isNull());
}

void TestImageDecoder::hostileFiles()
{
    testutil::TempDir dir;
    // A gigapixel declared in a tiny PNG is not decoded; its size is still known.
    const QString huge = dir.file("huge.png");
    QVERIFY(testutil::writeBytes(huge, pngDeclaring(40000, 40000)));
    const ImageDecoder::Result r = ImageDecoder::decodeFile(huge, { QSize(100, 100) });
    QVERIFY(r.tooLarge);
    QVERIFY(r.image.isNull());
    QCOMPARE(r.fullSize, QSize(40000, 40000));

    const QString fifo = dir.file("pipe.jpg");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString link = dir.file("link.png");
    QVERIFY(QFile::link(fifo, link));
    QVERIFY(testutil::writeBytes(dir.file("zero.jpg"), QByteArray()));
    QVERIFY(testutil::writeBytes(dir.file("text.png"), "not a picture"));
    QByteArray truncated = testutil::readBytes(photomaker::makePhoto(dir.path(), "cut.jpg", false, 200, 100));
    truncated.truncate(truncated.size() / 3);
    QVERIFY(testutil::writeBytes(dir.file("cut.jpg"), truncated));
    QSize size;
    for (const char* name : { "pipe.jpg", "link.png", "zero.jpg", "text.png", "missing.jpg" }) {
        QVERIFY2(ImageDecoder::decodeFile(dir.file(name), { QSize(64, 64) }).image.isNull(), name);
        QVERIFY2(!ImageDecoder::readHeader(dir.file(name), size), name);
    }
    // A truncated JPEG still gives what it holds, at the right size, or nothing; never a crash.
    const ImageDecoder::Result cut = ImageDecoder::decodeFile(dir.file("cut.jpg"));
    QVERIFY(cut.image.isNull() || cut.image.size() == QSize(200, 100));
}

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "tst_imagedecoder.moc"
