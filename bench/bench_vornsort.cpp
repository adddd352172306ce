// links: vornsortcore
// Tidies a generated camera card of real-sized photos with real Exif dates into date folders ("yyyy/MM") and prints
// files and MB per second for the plan and the run, beside exiftool's date sort of the same photos into the same
// layout and a plain "cp -rp" of the tree, all measured in this run on the same files, read from the page cache and
// each tool started after the previous one's writes reached the disk.
// Usage: bench_vornsort [count] [folder]
// count photos (default 300) of 4000 x 3000 go under folder (default a temporary folder in /tmp).

#include "filetreeinfo.h"
#include "tidyrunner.h"

#include "meta/exivutil.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>

#include <exiv2/exiv2.hpp>

#include <cstdio>

namespace {

const int kBasePictures = 8;

// A camera-like picture: shapes over a gradient with sensor noise, so that it compresses as a photo does.
QImage cameraPicture(int seed)
{
    QRandomGenerator rng(quint32(seed) * 2654435761u + 1);
    QImage img(4000, 3000, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, img.width() / 3, img.height());
    sky.setColorAt(0, QColor::fromHsv(rng.bounded(360), 120, 230));
    sky.setColorAt(1, QColor::fromHsv(rng.bounded(360), 200, 90));
    p.fillRect(img.rect(), sky);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 80; ++i) {
        p.setBrush(QColor::fromHsv(rng.bounded(360), rng.bounded(256), rng.bounded(256), 140));
        p.drawEllipse(
            QPoint(rng.bounded(img.width()), rng.bounded(img.height())), 40 + rng.bounded(500), 40 + rng.bounded(400));
    }
    p.end();
    for (int y = 0; y < img.height(); ++y) {
        auto* px = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int d = int(rng.generate() % 21) - 10;
            const QRgb c = px[x];
            px[x] = qRgb(qBound(0, qRed(c) + d, 255), qBound(0, qGreen(c) + d, 255), qBound(0, qBlue(c) + d, 255));
        }
    }
    return img;
}

// What a camera writes, with the moment the photo was taken.
bool writeCameraExif(const QString& path, const QDateTime& taken)
{
    try {
        auto image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        const std::string when = taken.toString("yyyy:MM:dd hh:mm:ss").toStdString();
        exif["Exif.Image.Make"] = std::string("VornCam");
        exif["Exif.Image.Model"] = std::string("VC-400");
        exif["Exif.Image.DateTime"] = when;
        exif["Exif.Photo.DateTimeOriginal"] = when;
        exif["Exif.Photo.DateTimeDigitized"] = when;
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 320);
        exif["Exif.Photo.FNumber"] = Exiv2::URational(40, 10);
        exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(400);
        exif["Exif.Photo.FocalLength"] = Exiv2::URational(350, 10);
        exif["Exif.Photo.PixelXDimension"] = uint32_t(4000);
        exif["Exif.Photo.PixelYDimension"] = uint32_t(3000);
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A card of count photos, a hundred per folder, taken over two years.
bool makeCard(const QString& card, int count)
{
    std::printf("making %d photos of 4000 x 3000 in %s ...\n", count, qPrintable(card));
    std::fflush(stdout);
    QDir().mkpath(card);
    QList<int> bases;
    for (int i = 0; i < kBasePictures; ++i)
        bases << i;
    QtConcurrent::blockingMap(
        bases, [&](int i) { cameraPicture(i).save(QString("%1/base%2.jpg").arg(card).arg(i), "JPEG", 92); });
    QList<int> photos;
    for (int i = 0; i < count; ++i)
        photos << i;
    const QDateTime first(QDate(2021, 3, 1), QTime(9, 0));
    std::atomic_int failed { 0 };
    QtConcurrent::blockingMap(photos, [&](int i) {
        const QString folder = QString("%1/DCIM/%2VORN").arg(card).arg(100 + i / 100);
        QDir().mkpath(folder);
        const QString path = QString("%1/IMG_%2.JPG").arg(folder).arg(i, 4, 10, QChar('0'));
        const QDateTime taken = first.addSecs(qint64(i) * 730 * 86400 / qMax(1, count) + i * 37);
        if (!QFile::copy(QString("%1/base%2.jpg").arg(card).arg(i % kBasePictures), path)
            || !writeCameraExif(path, taken))
            failed.fetch_add(1);
    });
    for (int i = 0; i < kBasePictures; ++i)
        QFile::remove(QString("%1/base%2.jpg").arg(card).arg(i));
    return failed.load() == 0;
}

struct Tree {
    int files = 0;
    qint64 bytes = 0;
    QStringList layout;
};

Tree treeOf(const QString& dir)
{
    Tree tree;
    QDirIterator it(dir, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++tree.files;
        tree.bytes += it.fileInfo().size();
        tree.layout << QDir(dir).relativeFilePath(it.filePath());
    }
    tree.layout.sort();
    return tree;
}

void report(const char* what, const Tree& tree, qint64 ns)
{
    const double s = ns / 1e9;
    std::printf("%-36s %5d files %8.3f s %9.1f files/s %8.1f MB/s\n", what, tree.files, s, s > 0 ? tree.files / s : 0.0,
        s > 0 ? tree.bytes / 1048576.0 / s : 0.0);
}

// Runs a tool in dir and returns its time in nanoseconds, or -1 when it failed.
qint64 timeTool(const QString& dir, const QString& program, const QStringList& args)
{
    QProcess process;
    process.setWorkingDirectory(dir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return -1;
    return timer.nsecsElapsed();
}

// Writes what the last tool left in the page cache to the disk, so that no tool pays for another's writes.
void flush()
{
    QProcess::execute("sync", QStringList());
}

// The folders the tools write, so that every run starts without them (a given folder keeps only its card).
void removeOutputs(const QString& root)
{
    for (const char* dir : { "/vornsort", "/moved", "/exiftool", "/cp" })
        QDir(root + dir).removeRecursively();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    initExiv2();
    const int count = argc > 1 ? QString(argv[1]).toInt() : 300;
    QTemporaryDir temp(QDir::tempPath() + "/vorn_bench_sort-XXXXXX");
    const QString root = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temp.path();
    const QString card = root + "/card";
    if (count <= 0 || (!QDir(card).exists() && !makeCard(card, count))) {
        std::fprintf(stderr, "usage: bench_vornsort [count] [folder]\n");
        return 1;
    }
    removeOutputs(root);
    const Tree source = treeOf(card);
    std::printf("%d photos, %.1f MB, in %s; target on the same file system; files cached\n", source.files,
        source.bytes / 1048576.0, qPrintable(card));

    // Once through everything, so that every tool finds the files in the page cache.
    QProcess::execute("sh", { "-c", QString("find '%1' -type f -exec cat {} + > /dev/null").arg(card) });

    TidyCfg cfg;
    cfg.SrcPath = card;
    cfg.DstPath = root + "/vornsort";
    cfg.PathRuleTime = 8;
    cfg.PathRuleTimeStr = pathRuleFormat(8);
    cfg.LimitDateRange = false;
    cfg.FileModTimeSrc = TidyCfg::TakeTime;
    TidyRunner runner(cfg);
    std::printf("threads: %d for the plan, %d for copies\n\n", runner.planThreads(), runner.copyThreads());
    QElapsedTimer timer;
    flush();
    timer.start();
    const QList<FileTreeInfo*> infos = runner.plan(runner.scanTree(card));
    const qint64 planNs = timer.nsecsElapsed();
    timer.restart();
    const int done = runner.execute(infos);
    const qint64 runNs = timer.nsecsElapsed();
    qDeleteAll(infos);
    const Tree ours = treeOf(cfg.DstPath);
    report("vornsort plan (date taken)", source, planNs);
    report("vornsort run (copy, times set)", ours, runNs);
    report("vornsort plan + run", ours, planNs + runNs);
    if (done != source.files)
        std::printf("vornsort carried out %d of %d photos\n", done, source.files);

    const QString peerDir = root + "/exiftool";
    QDir().mkpath(peerDir);
    flush();
    const qint64 peerNs = timeTool(
        peerDir, "exiftool", { "-q", "-r", "-o", peerDir + "/", "-Directory<DateTimeOriginal", "-d", "%Y/%m", card });
    const Tree peer = treeOf(peerDir);
    report("exiftool -o DIR -Directory<DateTimeOriginal", peer, peerNs);
    flush();
    const qint64 cpNs = timeTool(root, "cp", { "-rp", card, root + "/cp" });
    report("cp -rp", treeOf(root + "/cp"), cpNs);

    std::printf("\nsame layout as exiftool: %s\n", ours.layout == peer.layout ? "yes" : "no");
    if (peerNs > 0 && cpNs > 0) {
        std::printf(
            "plan + run vs exiftool: %.1f times as fast (goal: at least 5)\n", double(peerNs) / (planNs + runNs));
        std::printf("run vs cp -rp:          %.2f times its time (goal: at most 2)\n", double(runNs) / cpNs);
        std::printf("plan + run vs cp -rp:   %.2f times its time\n", double(planNs + runNs) / cpNs);
    }

    // Moving: the same tree again, sources removed only after each copy was verified and synced.
    cfg.SrcPath = cfg.DstPath;
    cfg.DstPath = root + "/moved";
    cfg.KeepSrcFile = false;
    TidyRunner mover(cfg);
    flush();
    timer.restart();
    const QList<FileTreeInfo*> moves = mover.plan(mover.scanTree(cfg.SrcPath));
    mover.execute(moves);
    const qint64 moveNs = timer.nsecsElapsed();
    qDeleteAll(moves);
    report("vornsort plan + move (verified, synced)", treeOf(cfg.DstPath), moveNs);
    removeOutputs(root);
    return 0;
}
