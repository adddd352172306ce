// links: vornmarkcore
// The tag synchroniser on a folder tree of real-sized photos, headless, with its own program folder: a cold
// build of rows and thumbnails (the cache rebuilt from nothing), a both-ways sync in which every photo must be
// written, the same sync again with nothing to change, and a rescale of the whole cache; photos per second each,
// next to exiftool writing a comment into a copy of the same photos in the same run.
// Usage: bench_vornmark [source-folder] [--count N]
// The source's JPEGs (default /tmp/vorn_bench_photos, as bench_itemload makes them; else 24 are made here) are
// copied into N photos (default 400) in ten folders.

#include "tagsynccfg.h"
#include "tagsynctask.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "meta/exivutil.h"
#include "meta/imagedecoder.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"
#include "sys/fileutil.h"
#include "task/taskobject.h"

#include <QAtomicInt>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>

#include <cstdio>

namespace {

// A photo-like 4000 x 3000 picture: gradients, shapes and noise, so that it compresses like a photo.
QImage samplePicture(int index)
{
    QRandomGenerator rng(quint32(index * 104729 + 3));
    QImage img(4000, 3000, QImage::Format_RGB32);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.bounded(25));
            line[x] = qRgb((x / 20 + n) & 0xFF, (y / 14 + n) & 0xFF, ((x + y) / 36 + index * 9) & 0xFF);
        }
    }
    QPainter p(&img);
    for (int i = 0; i < 40; ++i) {
        p.setBrush(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256), 150));
        p.drawEllipse(rng.bounded(4000), rng.bounded(3000), 100 + rng.bounded(900), 100 + rng.bounded(700));
    }
    return img;
}

QStringList sourcePhotos(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, { "*.jpg" }, QDir::Files);
    while (it.hasNext())
        files << it.next();
    files.sort();
    if (!files.isEmpty())
        return files;
    QDir().mkpath(folder);
    std::printf("making 24 sample photos of 4000 x 3000 in %s ...\n", qPrintable(folder));
    std::fflush(stdout);
    for (int i = 0; i < 24; ++i) {
        const QString path = folder + QString::asprintf("/photo_%04d.jpg", i);
        if (samplePicture(i).save(path, "JPEG", 90))
            files << path;
    }
    return files;
}

// count photos in ten folders below root.
QStringList makeTree(const QStringList& sources, const QString& root, int count)
{
    QStringList photos;
    for (int i = 0; i < count; ++i) {
        const QString folder = root + QString::asprintf("/相册 %02d", i % 10);
        QDir().mkpath(folder);
        const QString path = folder + QString::asprintf("/IMG_%05d.jpg", i);
        if (QFile::copy(sources.at(i % sources.size()), path))
            photos << path;
    }
    return photos;
}

double runTask(double photos)
{
    TagSyncTask task;
    QElapsedTimer timer;
    timer.start();
    task.run();
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (task.failedPhotos() > 0)
        std::printf("  (%d failures)\n", task.failedPhotos());
    return photos / seconds;
}

void setAllRows(int star, const QStringList& texts)
{
    PooledDb<TagDb> db(tagDbPool);
    QList<FileTagInfo*> rows;
    FileTagTb table(db.get());
    table.loadFileTag(rows);
    for (FileTagInfo* row : rows)
        table.modFileTextTag(row->getRowId(), texts), table.modFileStarTag(row->getRowId(), star);
    qDeleteAll(rows);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QString source = QStringLiteral("/tmp/vorn_bench_photos");
    int count = 400;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == "--count" && i + 1 < args.size())
            count = args.at(++i).toInt();
        else
            source = args.at(i);
    }
    QTemporaryDir work;
    qputenv("VORN_PROGRAM_DIR", QFile::encodeName(work.filePath("program")));
    initExiv2();
    registerTaskMetaTypes();
    createDbPools();

    const QStringList sources = sourcePhotos(source);
    const QStringList photos = makeTree(sources, work.filePath("photos"), count);
    const QStringList peer = makeTree(sources, work.filePath("exiftool"), count);
    qint64 bytes = 0;
    for (const QString& p : photos)
        bytes += QFileInfo(p).size();
    std::printf("%d photos of 4000 x 3000 (%.1f MB each) in 10 folders, %d threads\n", photos.size(),
        bytes / 1e6 / qMax(1, photos.size()), QThread::idealThreadCount());

    // Reference for the rebuild: the decode alone, at the same reduced scale, on every core.
    {
        QThreadPool pool;
        QAtomicInt next(0);
        QElapsedTimer timer;
        timer.start();
        for (int t = 0; t < QThread::idealThreadCount(); ++t) {
            pool.start([&] {
                for (int i = next.fetchAndAddOrdered(1); i < photos.size(); i = next.fetchAndAddOrdered(1))
                    ImageDecoder::decodeFile(peer.at(i), { QSize(192, 108), QSize(200, 200) });
            });
        }
        pool.waitForDone();
        std::printf("decode alone, reduced scale, all cores (ref):   %8.1f photos/s\n",
            photos.size() / (timer.nsecsElapsed() / 1e9));
    }

    TagSyncCfg& cfg = *TagSyncCfg::instance(1);
    cfg.build.BuildThumb = true;
    cfg.build.paths = QStringList { work.filePath("photos") };
    const double build = runTask(photos.size());
    std::printf("cache rebuild (rows and thumbnails from nothing): %8.1f photos/s\n", build);

    cfg = TagSyncCfg();
    cfg.tag.DeleteInvalidTag = cfg.tag.DeleteOutSyncTag = true;
    cfg.tag.ColorSync = cfg.tag.StarSync = cfg.tag.TextTagSync = true;
    setAllRows(4, { "旅行", "bench" });
    const double writeAll = runTask(photos.size());
    std::printf("sync, every photo written:                      %8.1f photos/s\n", writeAll);
    const double nothing = runTask(photos.size());
    std::printf("sync both ways, nothing to change:              %8.1f photos/s\n", nothing);

    cfg = TagSyncCfg();
    cfg.thumb.ResizeThumb = true;
    cfg.thumb.ThumbWidth = 256;
    cfg.thumb.ThumbHeight = 144;
    const double resize = runTask(photos.size());
    std::printf("cache rescale to 256 x 144:                     %8.1f photos/s\n", resize);

    QElapsedTimer timer;
    timer.start();
    QProcess tool;
    tool.start(
        "exiftool", { "-q", "-r", "-overwrite_original", "-UserComment=bench comment", work.filePath("exiftool") });
    const bool ran = tool.waitForFinished(-1) && tool.exitCode() == 0;
    const double exiftool = peer.size() / (timer.nsecsElapsed() / 1e9);
    if (ran)
        std::printf("exiftool writing a comment (peer):              %8.1f photos/s  (sync writes at %.1fx)\n",
            exiftool, writeAll / exiftool);
    else
        std::printf("exiftool did not run: %s\n", tool.readAllStandardError().constData());

    destroyDbPools();
    TagSyncCfg::release();
    return 0;
}
