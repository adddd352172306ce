#include "common/photomaker.h"
#include "common/testutil.h"
#include "search/filedb.h"
#include "search/findfileinfo.h"
#include "search/imagehashholder.h"
#include "search/imageinfo.h"
#include "search/likefindcfg.h"

#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QRandomGenerator>
#include <QSet>
#include <QTest>

#include <unistd.h>

using namespace testutil;

namespace {

// A picture with shapes and soft gradients, different for every seed.
QImage picture(int seed, int w = 640, int h = 480)
{
    QRandomGenerator rng(quint32(seed) * 7919u + 1u);
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    g.setColorAt(1, QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
    p.fillRect(img.rect(), g);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 25; ++i) {
        p.setBrush(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256)));
        p.drawEllipse(rng.bounded(w), rng.bounded(h), 40 + rng.bounded(w / 3), 40 + rng.bounded(h / 3));
    }
    return img;
}

QByteArray bytesWith(int size, char fill, int diffAt = -1)
{
    QByteArray b(size, fill);
    if (diffAt >= 0)
        b[diffAt] = char(fill + 1);
    return b;
}

struct Search {
    Search() { db.openDb(":memory:", QStringLiteral("searchtest%1").arg(serial++), true); }
    // Runs every step the settings ask for; the groups of file paths, in tree order.
    QList<QStringList> run(const QStringList& folders, const FindSettings& find)
    {
        db.clearTables();
        root = std::make_unique<ImageInfo>();
        scanned = root->scanPaths(&db, folders);
        root->groupByAttributes(&db, find);
        if (find.FullContentIsSame)
            root->confirmContent();
        if (find.FindSimilarImage)
            root->groupSimilar(find);
        root->releaseReaders();
        return root->fileGroupPaths();
    }
    static int serial;
    FileDb db;
    std::unique_ptr<ImageInfo> root;
    int scanned = 0;
};
int Search::serial = 0;

FindSettings exact()
{
    FindSettings f;
    f.FindSimilarImage = false;
    return f;
}

QString canon(const QString& path)
{
    return QFileInfo(path).canonicalFilePath();
}

} // namespace

class TestSearchEngine : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { LikeFindCfg::instance(1); }
    void cleanupTestCase() { LikeFindCfg::release(); }

    // Folders chosen twice or inside each other, links and hard links: each file is listed once, at its real path,
    // and never reported as its own duplicate.
    void eachFileOnce()
    {
        TempDir tmp;
        const QString root = tmp.path();
        QVERIFY(QDir().mkpath(root + "/a/sub") && QDir().mkpath(root + "/b"));
        const QByteArray one = bytesWith(5000, 'a'), two = bytesWith(5000, 'b'), other = bytesWith(7000, 'c');
        QVERIFY(writeBytes(root + "/a/p1.jpg", one) && writeBytes(root + "/b/p1copy.jpg", one));
        QVERIFY(writeBytes(root + "/a/sub/x.jpg", two) && writeBytes(root + "/b/x copy 副本.jpg", two));
        QVERIFY(writeBytes(root + "/a/lone.jpg", other));
        QVERIFY(::link(QFile::encodeName(root + "/a/lone.jpg"), QFile::encodeName(root + "/b/lonehard.jpg")) == 0);
        QVERIFY(::link(QFile::encodeName(root + "/a/p1.jpg"), QFile::encodeName(root + "/b/p1hard.jpg")) == 0);
        QVERIFY(QFile::link(root + "/a", root + "/b/linkdir"));
        QVERIFY(QFile::link(root + "/a/p1.jpg", root + "/b/plink.jpg"));
        QVERIFY(QFile::link(root, root + "/a/sub/loop"));

        Search s;
        const QList<QStringList> groups = s.run(
            { QDir::toNativeSeparators(root), root + "/a", root, root + "/a/sub/", root + "/b/linkdir" }, exact());
        QCOMPARE(s.scanned, 5);
        QStringList all;
        for (const QStringList& g : groups)
            all << g;
        QCOMPARE(QSet<QString>(all.begin(), all.end()).size(), all.size());
        QCOMPARE(groups.size(), 2);
        QSet<QSet<QString>> got;
        for (const QStringList& g : groups) {
            QCOMPARE(g.size(), 2);
            got.insert(QSet<QString>(g.begin(), g.end()));
        }
        const QString r = canon(root);
        // One name of each hard-linked file stands for it: whichever the walk met first.
        QSet<QString> p1Group;
        for (const QStringList& g : groups) {
            if (g.contains(r + "/b/p1copy.jpg"))
                p1Group = QSet<QString>(g.begin(), g.end());
        }
        QVERIFY(p1Group.contains(r + "/a/p1.jpg") || p1Group.contains(r + "/b/p1hard.jpg"));
        QVERIFY(got.contains({ r + "/a/sub/x.jpg", r + "/b/x copy 副本.jpg" }));
    }

    // Equal size and type, two contents: one group per content; files equal only in their first block leave.
    void contentSplitsGroups()
    {
        TempDir tmp;
        const QString d = tmp.path();
        const int size = 9000;
        QVERIFY(
            writeBytes(d + "/a1.png", bytesWith(size, 'x')) && writeBytes(d + "/b1.png", bytesWith(size, 'x', 3000)));
        QVERIFY(
            writeBytes(d + "/a2.png", bytesWith(size, 'x')) && writeBytes(d + "/b2.png", bytesWith(size, 'x', 3000)));
        QVERIFY(writeBytes(d + "/c.png", bytesWith(size, 'x', 8999)) && writeBytes(d + "/d.png", bytesWith(size, 'y')));
        QVERIFY(writeBytes(d + "/e1.png", QByteArray()) && writeBytes(d + "/e2.png", QByteArray()));
        Search s;
        const QList<QStringList> groups = s.run({ d }, exact());
        QSet<QSet<QString>> got;
        for (const QStringList& g : groups)
            got.insert(QSet<QString>(g.begin(), g.end()));
        const QString r = canon(d);
        const QSet<QSet<QString>> want { { r + "/a1.png", r + "/a2.png" }, { r + "/b1.png", r + "/b2.png" },
            { r + "/e1.png", r + "/e2.png" } };
        QCOMPARE(got, want);
        // The split groups keep the label of the group they came from, and each file its digest.
        QStringList labels;
        for (ImageInfo* g : s.root->children) {
            if (g->children.first()->row->FileSize == size) {
                labels << g->label;
                QCOMPARE(g->children.first()->row->FullMD5, g->children.last()->row->FullMD5);
            }
        }
        QCOMPARE(labels.size(), 2);
        QCOMPARE(labels.first(), labels.last());
        QCOMPARE(labels.first(), QString("文件大小 : 9000    文件类型 : png    "));
    }

    // Pictures are hashed by their colours whatever their pixel format; transparent pixels count as white.
    void hashesRealColours()
    {
        const QImage rgb = picture(3);
        ImageHashHolder base;
        QCOMPARE(base.computeImage(rgb), 0);
        QImage mono(rgb.size(), QImage::Format_RGB32);
        mono.fill(Qt::white);
        QPainter(&mono).fillRect(QRect(100, 80, 300, 200), Qt::black);
        ImageHashHolder monoBase;
        QCOMPARE(monoBase.computeImage(mono), 0);

        const QImage indexed = rgb.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither);
        const QImage variants[]
            = { indexed, rgb.convertToFormat(QImage::Format_RGBA64), rgb.convertToFormat(QImage::Format_RGB888) };
        for (const QImage& v : variants) {
            ImageHashHolder h;
            QCOMPARE(h.computeImage(v), 0);
            QVERIFY2(h.compare(base) <= 10, qPrintable(QString::number(h.compare(base))));
        }
        // Grey and 1-bit pictures against their colour originals.
        ImageHashHolder grey, bits;
        QCOMPARE(grey.computeImage(rgb.convertToFormat(QImage::Format_Grayscale8)), 0);
        ImageHashHolder greyBase, grey16;
        const QImage greyImage = rgb.convertToFormat(QImage::Format_Grayscale8);
        QCOMPARE(greyBase.computeImage(greyImage.convertToFormat(QImage::Format_RGB32)), 0);
        QCOMPARE(grey.compare(greyBase), 0);
        QCOMPARE(grey16.computeImage(greyImage.convertToFormat(QImage::Format_Grayscale16)), 0);
        QCOMPARE(grey16.compare(greyBase), 0);
        QCOMPARE(bits.computeImage(mono.convertToFormat(QImage::Format_Mono)), 0);
        QCOMPARE(bits.compare(monoBase), 0);
        // A palette read back from a file: by its colours, not its indices.
        TempDir tmp;
        QVERIFY(indexed.save(tmp.file("pal.png")) && rgb.save(tmp.file("rgb.png")));
        ImageHashHolder file, rgbFile;
        QVERIFY(file.setFile(tmp.file("pal.png")) && rgbFile.setFile(tmp.file("rgb.png")));
        QCOMPARE(file.compute(), 0);
        QCOMPARE(rgbFile.compute(), 0);
        QVERIFY(file.compare(rgbFile) <= 10);

        QImage clear = mono.convertToFormat(QImage::Format_ARGB32);
        QImage white = clear;
        {
            // Red colour bytes under a zero alpha.
            QPainter painter(&clear);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.fillRect(QRect(90, 70, 200, 200), QColor(255, 0, 0, 0));
        }
        QPainter(&white).fillRect(QRect(90, 70, 200, 200), Qt::white);
        ImageHashHolder a, b;
        QCOMPARE(a.computeImage(clear), 0);
        QCOMPARE(b.computeImage(white), 0);
        QCOMPARE(a.compare(b), 0);

        ImageHashHolder none;
        QCOMPARE(none.computeImage(QImage()), -1);
        QVERIFY(!none.setFile(tmp.file("missing.png")));
        QCOMPARE(none.compute(), -1);
    }

    // Equal pixels give equal hashes whatever the format: a JPEG (sequential, progressive, grey, or turned by its
    // Exif orientation, tiny ones of one or two rows too) and lossless PNG, BMP and WebP copies of it as shown; also
    // when one thread's working memory goes from picture to picture, whatever their sizes.
    void equalPixelsHashEqual()
    {
        TempDir tmp;
        ImageHashHolder::Scratch shared;
        struct Kind {
            QSize size;
            bool progressive;
            bool grey;
            const char* orientation;
        };
        // Stored wider than the hash's input and lower, it is shrunk across and grown downwards; shown turned, the
        // other way round.
        const Kind kinds[] = { { QSize(1200, 900), false, false, nullptr }, { QSize(901, 1203), true, false, nullptr },
            { QSize(1280, 720), false, true, nullptr }, { QSize(2600, 1000), false, false, "6" },
            { QSize(1000, 2300), true, false, "3" }, { QSize(2, 1), false, false, "6" },
            { QSize(1, 2), true, false, "5" }, { QSize(1, 1), false, false, nullptr },
            { QSize(2, 1), false, false, "2" }, { QSize(1, 2), false, true, "7" }, { QSize(2, 1), false, false, "4" },
            { QSize(3, 2), false, false, "8" } };
        const int count = int(sizeof(kinds) / sizeof(kinds[0]));
        for (int seed = 0; seed < count; ++seed) {
            const Kind& kind = kinds[seed];
            const QString jpeg = tmp.file(QString("p%1.jpg").arg(seed));
            const QImage photo = photoLikeImage(kind.size.width(), kind.size.height(), seed);
            QImageWriter writer(jpeg, "jpeg");
            writer.setQuality(90);
            writer.setProgressiveScanWrite(kind.progressive);
            QVERIFY(writer.write(kind.grey ? photo.convertToFormat(QImage::Format_Grayscale8) : photo));
            if (kind.orientation)
                QVERIFY(photomaker::setMetadata(jpeg, { { "Exif.Image.Orientation", kind.orientation } }));
            QImageReader shown(jpeg);
            shown.setAutoTransform(true);
            const QImage pixels = shown.read().convertToFormat(QImage::Format_RGB32);
            const bool turned = kind.orientation && QByteArray("5678").contains(*kind.orientation);
            QCOMPARE(pixels.size(), turned ? kind.size.transposed() : kind.size);
            ImageHashHolder ref;
            QVERIFY(ref.setFile(jpeg));
            QCOMPARE(ref.compute(), 0);
            ImageHashHolder asShown;
            QCOMPARE(asShown.computeImage(pixels), 0);
            QCOMPARE(asShown.compare(ref), 0);
            for (const char* format : { "png", "bmp", "webp" }) {
                const QString copy = tmp.file(QString("p%1.%2").arg(seed).arg(format));
                QVERIFY(pixels.save(copy, format, 100)); // a WebP at quality 100 is lossless
                QCOMPARE(QImage(copy).convertToFormat(QImage::Format_RGB32), pixels);
                ImageHashHolder h;
                QVERIFY(h.setFile(copy));
                QCOMPARE(h.compute(), 0);
                QVERIFY2(h.compare(ref) == 0, qPrintable(copy + " " + QString::number(h.compare(ref))));
                for (const QString& file : { jpeg, copy }) {
                    ImageHashHolder reused;
                    QVERIFY(reused.setFile(file));
                    QCOMPARE(reused.compute(&shared), 0);
                    QVERIFY2(reused.compare(ref) == 0, qPrintable(file));
                }
            }
        }
    }

    // Resized and re-encoded copies are found at least as often as by the hash of the whole picture, within each
    // band's default distance.
    void copiesFoundAsByWholePicture()
    {
        TempDir tmp;
        const int limits[] = { 0, 10, 20 };
        int reduced[3] = {}, whole[3] = {};
        for (int seed = 10; seed < 16; ++seed) {
            const QImage img = photoLikeImage(1600, 1200, seed);
            const QString orig = tmp.file(QString("o%1.jpg").arg(seed));
            QVERIFY(img.save(orig, "JPG", 92));
            const QString resized = tmp.file(QString("r%1.jpg").arg(seed));
            QVERIFY(img.scaled(960, 720, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(resized, "JPG", 85));
            const QString reencoded = tmp.file(QString("e%1.jpg").arg(seed));
            QVERIFY(img.save(reencoded, "JPG", 60));
            ImageHashHolder o, ow;
            QVERIFY(o.setFile(orig));
            QCOMPARE(o.compute(), 0);
            QCOMPARE(ow.computeWholeImage(QImage(orig)), 0);
            for (const QString& copy : { resized, reencoded }) {
                ImageHashHolder c, cw;
                QVERIFY(c.setFile(copy));
                QCOMPARE(c.compute(), 0);
                QCOMPARE(cw.computeWholeImage(QImage(copy)), 0);
                for (int i = 0; i < 3; ++i) {
                    reduced[i] += c.compare(o) <= limits[i];
                    whole[i] += cw.compare(ow) <= limits[i];
                }
            }
        }
        for (int i = 0; i < 3; ++i)
            QVERIFY2(reduced[i] >= whole[i],
                qPrintable(QString("within %1: %2 against %3").arg(limits[i]).arg(reduced[i]).arg(whole[i])));
    }

    // The distance is the hash algorithm's own.
    void compareMatchesAlgorithm()
    {
        ImageHashHolder a, b;
        QCOMPARE(a.computeImage(picture(1)), 0);
        QCOMPARE(b.computeImage(picture(2)), 0);
        auto algo = cv::img_hash::MarrHildrethHash::create(2.0f, 1.0f);
        QCOMPARE(a.compare(b), int(algo->compare(a.hash(), b.hash())));
        QVERIFY(a.compare(b) > 20);
    }

    // Resized and re-encoded copies gather around their original; another picture and a broken file do not.
    void similarClusters()
    {
        TempDir tmp;
        const QString d = tmp.path();
        const QImage p = picture(7, 1600, 1200);
        QVERIFY(p.save(d + "/orig.jpg", "JPG", 95));
        QVERIFY(p.scaled(800, 600, Qt::IgnoreAspectRatio, Qt::SmoothTransformation).save(d + "/small.jpg", "JPG", 90));
        QVERIFY(p.save(d + "/low.jpg", "JPG", 60));
        QVERIFY(picture(8, 1600, 1200).save(d + "/other.jpg", "JPG", 95));
        QVERIFY(writeBytes(d + "/broken.jpg", "not a picture"));
        QVERIFY(writeBytes(d + "/broken2.jpg", "not a picture either"));
        FindSettings f;
        f.FileSizeIsSame = false;
        f.FullContentIsSame = false;
        f.FindLittleDiff = true;
        f.FindMediumDiff = true;
        Search s;
        s.run({ d }, f);
        // One reference group (the others hold one file each and make no difference group); the broken files give
        // no hash and, their content not compared, are no duplicates of each other.
        QList<ImageInfo*> refs;
        QStringList unhashed;
        for (ImageInfo* g : s.root->children) {
            for (ImageInfo* ref : g->children) {
                if (ref->isFile())
                    unhashed << ref->row->FileName;
                else if (ref->hasFile())
                    refs << ref;
            }
        }
        QCOMPARE(refs.size(), 1);
        unhashed.sort();
        QCOMPARE(unhashed, QStringList());
        QList<ImageInfo*> files;
        refs.first()->collectFiles(files);
        QStringList names;
        for (ImageInfo* f : files)
            names << f->row->FileName;
        names.sort();
        QCOMPARE(names, QStringList({ "low.jpg", "orig.jpg", "small.jpg" }));
        QVERIFY(refs.first()->label.startsWith("基准文件:" + canon(d) + "/"));

        // A photo with a single resized copy is found: the reference joins the band of its copy.
        QVERIFY(QDir().mkpath(d + "/pair"));
        QVERIFY(
            QFile::copy(d + "/orig.jpg", d + "/pair/orig.jpg") && QFile::copy(d + "/small.jpg", d + "/pair/small.jpg"));
        f.FindMediumDiff = false;
        const QList<QStringList> pair = s.run({ d + "/pair" }, f);
        QCOMPARE(pair.size(), 1);
        QCOMPARE(pair.first().size(), 2);
        ImageInfo* band = s.root->children.first()->children.first()->children.first();
        QCOMPARE(band->label, QString("有细小差异"));
    }
};

QTEST_MAIN(TestSearchEngine)
#include "tst_searchengine.moc"
