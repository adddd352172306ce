#include "common/photomaker.h"
#include "common/testutil.h"
#include "meta/areareducer.h"
#include "meta/imagedecoder.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTest>

#include <cmath>

#include <sys/stat.h>

class TestImageDecoder : public QObject {
    Q_OBJECT
private slots:
    void uprightAndReduced();
    void svgAtShownSize();
    void budgetCountsEveryCopy();
    void moviesCacheWithinBudget();
    void reduceAveragesFinePatterns();
    void averagedPinnedAndTinyCheap();
    void hostileFiles();
};

void TestImageDecoder::uprightAndReduced()
{
    testutil::TempDir dir;
    const QString photo = photomaker::makePhoto(dir.path(), "竖 照片.jpg", false, 400, 300);
    QVERIFY(photomaker::setMetadata(photo, { { "Exif.Image.Orientation", "6" } }));

    QSize header;
    QVERIFY(ImageDecoder::readHeader(photo, header));
    QCOMPARE(header, QSize(300, 400));
    QCOMPARE(ImageDecoder::decodeFile(photo).image.size(), QSize(300, 400));

    // Reduced for a 60 x 60 box: upright, and covering the box's fit.
    const ImageDecoder::Result small = ImageDecoder::decodeFile(photo, { QSize(60, 60), QSize() });
    QCOMPARE(small.image.size(), QSize(45, 60));
    QCOMPARE(small.fullSize, QSize(300, 400));

    // Each box gets its fit, an empty one nothing; the bytes come along when asked for.
    QByteArray bytes;
    const ImageDecoder::Result boxed = ImageDecoder::decodeFile(photo, { QSize(30, 30), QSize(0, 0) }, bytes);
    QCOMPARE(boxed.fitted.size(), 2);
    QCOMPARE(boxed.fitted[0].size(), QSize(22, 30));
    QVERIFY(boxed.fitted[1].isNull());
    QVERIFY(boxed.fileRead);
    QCOMPARE(bytes, testutil::readBytes(photo));

    // Ready to paint without a conversion: premultiplied when it has alpha.
    QImage alpha(20, 10, QImage::Format_ARGB32);
    alpha.fill(QColor(255, 0, 0, 128));
    QVERIFY(alpha.save(dir.file("alpha.png")));
    QCOMPARE(ImageDecoder::decodeFile(dir.file("alpha.png")).image.format(), QImage::Format_ARGB32_Premultiplied);

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

void TestImageDecoder::budgetCountsEveryCopy()
{
    // Within the pixel limit, but a 16-bit picture with its 32-bit copy takes more than the whole budget.
    const qint64 limit = qint64(ImageDecoder::kBudgetMegapixels) * 1000000;
    const int side = int(std::sqrt(double(limit))) - 100;
    ImageDecoder::Result r = ImageDecoder::decodeData(testutil::pngDeclaring(side, side, 16, 6), { QSize(100, 100) });
    QVERIFY(r.tooLarge);
    QCOMPARE(r.fullSize, QSize(side, side));
    // A plain 32-bit one of the same size still fits: it is decoded (here it fails on its missing data).
    r = ImageDecoder::decodeData(testutil::pngDeclaring(side, side), { QSize(100, 100) });
    QVERIFY(!r.tooLarge && r.image.isNull());

    // A progressive JPEG keeps every coefficient whatever the scale: 100 megapixels at 4:4:4 take more than the
    // budget, while a sequential one decodes at reduced scale.
    QByteArray jpeg;
    QBuffer out(&jpeg);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QImageWriter writer(&out, "jpeg");
    writer.setProgressiveScanWrite(true);
    QVERIFY(writer.write(testutil::quarterImage(16, 16)));
    const int sof = jpeg.indexOf("\xFF\xC2");
    QVERIFY(sof > 0 && quint8(jpeg[sof + 9]) == 3);
    jpeg.replace(sof + 5, 4, QByteArray("\x27\x10\x27\x10", 4)); // 10000 x 10000
    for (int c = 0; c < 3; ++c)
        jpeg[sof + 11 + 3 * c] = 0x11;
    QVERIFY(ImageDecoder::decodeData(jpeg, { QSize(100, 100) }).tooLarge);
    jpeg[sof + 1] = '\xC0';
    r = ImageDecoder::decodeData(jpeg, { QSize(100, 100) });
    QVERIFY(!r.tooLarge);
    QCOMPARE(r.fullSize, QSize(10000, 10000));

    // Too large to decode, the file's bytes are still read for its tags.
    testutil::TempDir dir;
    const QByteArray huge = testutil::pngDeclaring(40000, 40000);
    QVERIFY(testutil::writeBytes(dir.file("huge.png"), huge));
    QByteArray bytes;
    r = ImageDecoder::decodeFile(dir.file("huge.png"), {}, bytes);
    QVERIFY(r.tooLarge && r.fileRead && r.image.isNull());
    QCOMPARE(bytes, huge);
}

void TestImageDecoder::reduceAveragesFinePatterns()
{
    // One-pixel lines turn an even grey, by the filter alone and past an eighth with blocks averaged first. The
    // spread left is no more than a three-lobe Lanczos filter leaves (0.2, 8.8 and 0): a quarter off the pixels, the
    // lines lie just past what the new pixels can hold.
    const QImage lines = testutil::lineImage(1601, 1201);
    for (const auto& [size, spread] :
        { std::pair(QSize(653, 490), 1.0), { QSize(1201, 901), 9.5 }, { QSize(80, 60), 1.0 } }) {
        const QImage reduced = ImageDecoder::reduce(lines, size);
        QCOMPARE(reduced.size(), size);
        const QPair<double, double> grey = testutil::greyMeanAndSpread(reduced, reduced.rect().adjusted(4, 4, -4, -4));
        QVERIFY2(std::abs(grey.first - 127.5) < 1 && grey.second < spread, qPrintable(QString::number(grey.second)));
    }

    // A flat picture stays exactly flat; never larger than the picture; other formats are converted.
    QImage flat(900, 700, QImage::Format_Grayscale8);
    flat.fill(0x66);
    const QImage grey = ImageDecoder::reduce(flat, QSize(333, 2000));
    QCOMPARE(grey.size(), QSize(333, 700));
    QCOMPARE(grey.format(), QImage::Format_RGB32);
    for (int y = 0; y < grey.height(); y += 7) {
        for (int x = 0; x < grey.width(); ++x)
            QCOMPARE(grey.pixel(x, y), qRgb(0x66, 0x66, 0x66));
    }

    // A hard edge between opaque white and nothing: the overshoot never lifts a colour above its alpha.
    QImage edge(400, 100, QImage::Format_ARGB32_Premultiplied);
    edge.fill(Qt::transparent);
    for (int y = 0; y < 100; ++y) {
        for (int x = 200; x < 400; ++x)
            edge.setPixel(x, y, 0xFFFFFFFF);
    }
    const QImage small = ImageDecoder::reduce(edge, QSize(150, 37));
    for (int x = 0; x < small.width(); ++x) {
        const QRgb p = small.pixel(x, 18);
        QVERIFY(qRed(p) <= qAlpha(p) && qGreen(p) <= qAlpha(p) && qBlue(p) <= qAlpha(p));
    }

    // Averaged over areas for comparing pictures: grey, the lines an even grey, a flat picture exactly flat even
    // where it is enlarged.
    for (const QSize& size : { QSize(800, 600), QSize(80, 60) }) {
        const QImage averaged = ImageDecoder::greyAveraged(lines, size);
        QCOMPARE(averaged.format(), QImage::Format_Grayscale8);
        const QPair<double, double> grey = testutil::greyMeanAndSpread(averaged, averaged.rect());
        QVERIFY2(std::abs(grey.first - 127.5) < 1 && grey.second < 1, qPrintable(QString::number(grey.second)));
    }
    QImage flatAveraged(333, 2000, QImage::Format_Grayscale8);
    flatAveraged.fill(0x66);
    QCOMPARE(ImageDecoder::greyAveraged(flat, flatAveraged.size()), flatAveraged);

    // Told to stop, it gives nothing.
    const std::atomic_bool stop { true };
    QVERIFY(ImageDecoder::reduce(lines, QSize(400, 300), &stop).isNull());
    QVERIFY(ImageDecoder::reduce(QImage(), QSize(10, 10)).isNull());
}

namespace {

// A grey picture made by a formula, with no encoder or painter between: a gradient with noise, different at every
// size.
QImage formulaGrey(int w, int h)
{
    QImage img(w, h, QImage::Format_Grayscale8);
    quint32 s = quint32(w) * 2654435761u ^ quint32(h) * 40503u ^ 0x9E3779B9u;
    for (int y = 0; y < h; ++y) {
        uchar* line = img.scanLine(y);
        for (int x = 0; x < w; ++x) {
            s ^= s << 13;
            s ^= s >> 17;
            s ^= s << 5;
            line[x] = uchar((qint64(x) * 160 / w + qint64(y) * 60 / h + (s >> 24) % 36) & 0xFF);
        }
    }
    return img;
}

// FNV-1a over the pixels, row by row.
QString digest(const QImage& img)
{
    quint64 h = 14695981039346656037ull;
    for (int y = 0; y < img.height(); ++y) {
        const uchar* line = img.constScanLine(y);
        for (int x = 0; x < img.width(); ++x)
            h = (h ^ line[x]) * 1099511628211ull;
    }
    return QString::number(h, 16);
}

} // namespace

void TestImageDecoder::averagedPinnedAndTinyCheap()
{
    // What the hash is given, pinned: a picture whose sides both shrink, and one that grows along a side, give
    // bit for bit what they gave before a side that grows was read a pair of rows at a time.
    const QSize hashInput(2048, 2048);
    struct Pinned {
        QSize from, to;
        const char* digest;
    };
    const Pinned pinned[] = {
        // Both sides shrink (or stay).
        { QSize(4000, 3000), hashInput, "4c658848ba7f93be" },
        { QSize(3001, 2049), hashInput, "12632c5161ec46a5" },
        { QSize(1601, 1201), QSize(653, 490), "101c4e5456552449" },
        { QSize(5, 3), QSize(2, 1), "9135907b5aae27e" },
        // A side grows, or both.
        { QSize(2600, 1000), hashInput, "da6580779aeab3fa" },
        { QSize(300, 200), hashInput, "34ee7cc42155e3ff" },
        { QSize(1, 3000), hashInput, "e937d08b29fc2b25" },
        { QSize(2, 1), hashInput, "8e24b508b3de2325" },
        { QSize(1, 1), hashInput, "e2aae5c4cf622325" },
    };
    for (const Pinned& p : pinned) {
        const QImage averaged = ImageDecoder::greyAveraged(formulaGrey(p.from.width(), p.from.height()), p.to);
        QCOMPARE(averaged.size(), p.to);
        QVERIFY2(digest(averaged) == p.digest, qPrintable(QString("%1x%2").arg(p.from.width()).arg(p.from.height())));
    }

    // Whatever the shape, a reduction holds the input and a few rows, never more than it says beforehand: a side
    // that grows keeps the two old rows around each new one, not every new row between them.
    const QSize shapes[] = { QSize(1, 1), QSize(2, 1), QSize(1, 2), QSize(16, 16), QSize(1, 3000), QSize(3000, 1),
        QSize(5000, 3), QSize(2600, 1000), QSize(4000, 3000) };
    for (const QSize& from : shapes) {
        const QString name = QString("%1x%2").arg(from.width()).arg(from.height());
        const QImage img = formulaGrey(from.width(), from.height());
        AreaReducer reducer(from, hashInput);
        for (int y = 0; y < from.height(); ++y)
            reducer.addRow(img.constScanLine(y));
        QCOMPARE(reducer.result(), ImageDecoder::greyAveraged(img, hashInput));
        const qint64 work = AreaReducer::workBytes(from, hashInput);
        QVERIFY2(reducer.heldBytes() <= work, qPrintable(name));
        const qint64 row = qMax(qint64(hashInput.width()) * 8, qint64(from.width()) * 4);
        QVERIFY2(work - qint64(hashInput.width()) * hashInput.height() <= 6 * row, qPrintable(name));
    }
}

void TestImageDecoder::moviesCacheWithinBudget()
{
    // Frames of 64 MB: some play, uncached; a canvas of 400 megapixels does not play at all.
    QBuffer big;
    big.setData(testutil::gifCanvas(4000, 4000, 400));
    QVERIFY(big.open(QIODevice::ReadOnly));
    QCOMPARE(ImageDecoder::moviePlay(big), ImageDecoder::MovieUncached);
    QCOMPARE(big.pos(), qint64(0));
    QBuffer huge;
    huge.setData(testutil::gifCanvas(20000, 20000, 3));
    QVERIFY(huge.open(QIODevice::ReadOnly));
    QCOMPARE(ImageDecoder::moviePlay(huge), ImageDecoder::MovieRefused);
    // Its first frame is not decoded for a thumbnail either.
    QVERIFY(ImageDecoder::decodeData(huge.data(), { QSize(100, 100) }).tooLarge);
}

void TestImageDecoder::hostileFiles()
{
    testutil::TempDir dir;
    QCOMPARE(mkfifo(QFile::encodeName(dir.file("pipe.jpg")).constData(), 0600), 0);
    QVERIFY(testutil::writeBytes(dir.file("zero.jpg"), QByteArray()));
    QVERIFY(testutil::writeBytes(dir.file("text.png"), "not a picture"));
    QByteArray truncated = testutil::readBytes(photomaker::makePhoto(dir.path(), "cut.jpg", false, 200, 100));
    truncated.truncate(truncated.size() / 3);
    QVERIFY(testutil::writeBytes(dir.file("cut.jpg"), truncated));
    QSize size;
    QByteArray bytes;
    for (const char* name : { "pipe.jpg", "zero.jpg", "text.png", "missing.jpg" }) {
        QVERIFY2(!ImageDecoder::readHeader(dir.file(name), size), name);
        // Bytes only from a regular file: an empty one and a non-picture are read, the others not.
        const ImageDecoder::Result r = ImageDecoder::decodeFile(dir.file(name), {}, bytes);
        QVERIFY2(r.image.isNull(), name);
        QCOMPARE(r.fileRead, QByteArray(name) == "zero.jpg" || QByteArray(name) == "text.png");
        QCOMPARE(bytes.size(), QByteArray(name) == "text.png" ? 13 : 0);
        QVERIFY2(ImageDecoder::decodeFileGreyAveraged(dir.file(name), QSize(64, 64), QSize(8, 8)).image.isNull(), name);
    }
    // A truncated JPEG still gives what it holds, at the right size, or nothing; never a crash.
    const ImageDecoder::Result cut = ImageDecoder::decodeFile(dir.file("cut.jpg"));
    QVERIFY(cut.image.isNull() || cut.image.size() == QSize(200, 100));
    const ImageDecoder::Result cutGrey = ImageDecoder::decodeFileGreyAveraged(dir.file("cut.jpg"), QSize(64, 64), {});
    QVERIFY(cutGrey.image.isNull() || cutGrey.image.size() == QSize(64, 64));
}

QTEST_GUILESS_MAIN(TestImageDecoder)
#include "tst_imagedecoder.moc"
