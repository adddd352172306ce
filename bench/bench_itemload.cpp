// links: vornelcore vorntestcommon
// Loads a folder through ItemInfo and the photo manager's pools, headless, and prints photos per second to all
// thumbnails with empty databases (cold) and with filled ones (warm), the peak memory, and the rate of decoding
// alone at the same reduced scale on as many threads as the load pool has. Then it starts the manager window on
// the warm folder ("LastPath") and times it to the first screen of cells shown and to every cell loaded, beside
// the grid's own warm load.
// Usage: bench_itemload [folder] [--count N]
// Without a folder it makes N (default 200) sample photos of 4000 x 3000 with Exif once, under /tmp.

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "common/testutil.h"
#include "db/sqlitedbpool.h"
#include "grid/iteminfo.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "meta/exivtags.h"
#include "meta/exivutil.h"
#include "meta/imagedecoder.h"
#include "sys/fileutil.h"

#include <QApplication>
#include <QAtomicInt>
#include <QBuffer>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QThreadPool>
#include <QTimer>

#include <exiv2/exiv2.hpp>

#include <cstdio>
#include <functional>
#include <vector>

namespace {

const int kSampleWidth = 4000;
const int kSampleHeight = 3000;
const int kUniqueSamples = 200;

// A photo-like picture: soft gradients, shapes and sensor-like noise, so it compresses like a photo.
QImage samplePicture(int index)
{
    QRandomGenerator rng(quint32(index * 7919 + 17));
    QImage img(kSampleWidth, kSampleHeight, QImage::Format_RGB32);
    const int r0 = rng.bounded(256), g0 = rng.bounded(256), b0 = rng.bounded(256);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            line[x] = qRgb((r0 + x / 24) & 0xFF, (g0 + y / 16) & 0xFF, (b0 + (x + y) / 40) & 0xFF);
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 60; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(rng.bounded(256), rng.bounded(256), rng.bounded(256), 160));
        const int w = 100 + rng.bounded(900), h = 100 + rng.bounded(700);
        if (i % 2)
            p.drawEllipse(rng.bounded(kSampleWidth), rng.bounded(kSampleHeight), w, h);
        else
            p.drawRect(rng.bounded(kSampleWidth), rng.bounded(kSampleHeight), w, h);
    }
    p.end();
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.bounded(25)) - 12;
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + n, 255), qBound(0, qGreen(c) + n, 255), qBound(0, qBlue(c) + n, 255));
        }
    }
    return img;
}

bool addCameraExif(const QString& path, const QImage& picture)
{
    try {
        Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        exif["Exif.Image.Make"] = std::string("VornCam");
        exif["Exif.Image.Model"] = std::string("V-12");
        exif["Exif.Photo.DateTimeOriginal"] = std::string("2023:04:05 06:07:08");
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 250);
        exif["Exif.Photo.FNumber"] = Exiv2::URational(28, 10);
        exif["Exif.Photo.ISOSpeedRatings"] = uint16_t(200);
        QByteArray thumb;
        QBuffer buffer(&thumb);
        buffer.open(QIODevice::WriteOnly);
        picture.scaled(160, 120, Qt::KeepAspectRatio, Qt::SmoothTransformation).save(&buffer, "JPEG", 80);
        Exiv2::ExifThumb(exif).setJpegThumbnail(
            reinterpret_cast<const Exiv2::byte*>(thumb.constData()), long(thumb.size()));
        image->writeMetadata();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void runParallel(int count, int threads, const std::function<void(int)>& fn)
{
    QThreadPool pool;
    pool.setMaxThreadCount(threads);
    QAtomicInt next(0);
    for (int t = 0; t < threads; ++t) {
        pool.start([&] {
            for (int i = next.fetchAndAddOrdered(1); i < count; i = next.fetchAndAddOrdered(1))
                fn(i);
        });
    }
    pool.waitForDone();
}

// Makes the sample folder once: unique photos, then links to them up to the count asked for.
QString makeSamples(int count)
{
    const QString base = QStringLiteral("/tmp/vorn_bench_photos");
    QDir().mkpath(base);
    const int unique = qMin(count, kUniqueSamples);
    std::vector<int> missing;
    for (int i = 0; i < unique; ++i) {
        if (!QFile::exists(base + QString::asprintf("/photo_%04d.jpg", i)))
            missing.push_back(i);
    }
    if (!missing.empty()) {
        std::printf("making %d sample photos of %d x %d in %s ...\n", int(missing.size()), kSampleWidth, kSampleHeight,
            qPrintable(base));
        std::fflush(stdout);
        runParallel(int(missing.size()), QThread::idealThreadCount(), [&](int k) {
            const int i = missing[size_t(k)];
            const QString path = base + QString::asprintf("/photo_%04d.jpg", i);
            const QString tmp = path + QStringLiteral(".part");
            const QImage picture = samplePicture(i);
            if (!picture.save(tmp, "JPEG", 90) || !addCameraExif(tmp, picture))
                return;
            // Every other photo carries the suite's own tags; the rest get colour hints.
            if (i % 2 == 0) {
                ExivTags tags;
                tags.setStar(1 + i % 5);
                tags.setRgb({ 0xFFFF0000u });
                tags.setTextTag({ QStringLiteral("样例"), QStringLiteral("bench") });
                tags.saveTagsToFile(tmp);
            }
            QFile::rename(tmp, path);
        });
    }
    if (count <= kUniqueSamples)
        return base;
    const QString folder = QStringLiteral("/tmp/vorn_bench_photos_%1").arg(count);
    QDir().mkpath(folder);
    for (int i = 0; i < count; ++i) {
        const QString link = folder + QString::asprintf("/photo_%05d.jpg", i);
        if (!QFileInfo::exists(link))
            QFile::link(base + QString::asprintf("/photo_%04d.jpg", i % kUniqueSamples), link);
    }
    return folder;
}

QStringList listFolder(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, supportedImages(), QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

struct PassResult {
    double thumbs = 0; // seconds until every item has its thumbnails (or failed)
    double tags = 0; // until every item also has its tags
    double settled = 0; // until every job, the stores included, has finished
    int withThumb = 0;
    int fromCache = 0;
    int fromTagRow = 0;
};

// Loads every file as the grid does and runs the event loop until everything has settled.
PassResult loadPass(const QStringList& files)
{
    PassResult r;
    QVector<ItemInfoPtr> items;
    items.reserve(files.size());
    QElapsedTimer clock;
    clock.start();
    for (const QString& f : files) {
        ItemInfoPtr info(new ItemInfo());
        info->setFile(f);
        items << info;
    }
    for (const ItemInfoPtr& info : items)
        info->load();

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        bool thumbs = true, tags = true, settled = true;
        for (const ItemInfoPtr& info : items) {
            const bool busy = info->isBusy();
            if (info->thumbReady != 1 && busy)
                thumbs = false;
            if ((info->thumbReady != 1 || info->tagReady != 1) && busy)
                tags = false;
            if (busy)
                settled = false;
        }
        const double now = clock.nsecsElapsed() / 1e9;
        if (thumbs && r.thumbs == 0)
            r.thumbs = now;
        if (tags && r.tags == 0)
            r.tags = now;
        if (settled) {
            r.settled = now;
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    for (const ItemInfoPtr& info : items) {
        r.withThumb += info->thumbReady == 1;
        r.fromCache += info->cacheFromDb == 1;
        r.fromTagRow += info->tagFromDb == 1;
    }
    items.clear();
    return r;
}

struct WindowResult {
    double painted = 0; // the window's first paint
    double firstScreen = 0; // the cells in view loaded and painted
    double allLoaded = 0; // every cell's thumbnails and tags loaded
    int rows = 0;
};

// Seconds on the clock when the watched widget next paints after a moment; 0 until then.
class PaintWatch : public QObject {
public:
    PaintWatch(QWidget* widget, const QElapsedTimer& clock)
        : m_clock(clock)
    {
        widget->installEventFilter(this);
    }
    double after = -1;
    double painted = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && after >= 0 && painted == 0) {
            const double now = m_clock.nsecsElapsed() / 1e9;
            if (now >= after)
                painted = now;
        }
        return false;
    }

private:
    const QElapsedTimer& m_clock;
};

// Starts the manager window on the folder as "LastPath", as a start without arguments does.
WindowResult managerPass(const QString& folder, int n)
{
    WindowResult r;
    AppCfg::instance()->lastPath = folder;
    QElapsedTimer clock;
    clock.start();
    PicMgr* mgr = PicMgr::instance();
    mgr->resize(1600, 1000);
    mgr->show();
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();
    PaintWatch windowPaint(mgr, clock);
    windowPaint.after = 0;
    PaintWatch cellPaint(grid->viewport(), clock);

    // The sample photos all load; a file that cannot ends the wait at the time limit.
    const auto settled = [](const ItemInfoPtr& info) { return info && info->thumbReady == 1 && info->tagReady == 1; };
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const double now = clock.nsecsElapsed() / 1e9;
        if (r.painted == 0 && windowPaint.painted > 0)
            r.painted = windowPaint.painted;
        const int rows = model->rowCount();
        if (rows < n) {
            if (now > 120)
                loop.quit();
            return;
        }
        if (cellPaint.after < 0) {
            bool inView = true;
            const QRect view = grid->viewport()->rect();
            for (int row = 0; row < rows && inView; ++row) {
                const QModelIndex index = model->index(row, 0);
                if (grid->visualRect(index).intersects(view))
                    inView = settled(model->itemFromIndex(index)->getInfo());
            }
            if (inView)
                cellPaint.after = now;
        }
        if (r.firstScreen == 0 && cellPaint.painted > 0)
            r.firstScreen = cellPaint.painted;
        if (r.allLoaded == 0) {
            bool all = true;
            for (int row = 0; row < rows && all; ++row)
                all = settled(model->itemFromIndex(model->index(row, 0))->getInfo());
            if (all)
                r.allLoaded = now;
        }
        if ((r.firstScreen > 0 && r.allLoaded > 0) || now > 120)
            loop.quit();
    });
    poll.start();
    loop.exec();
    r.rows = model->rowCount();
    mgr->close();
    QCoreApplication::processEvents();
    return r;
}

double rate(int n, double seconds)
{
    return seconds > 0 ? n / seconds : 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir programDir;
    qputenv("VORN_PROGRAM_DIR", QFile::encodeName(programDir.path()));
    // The window's settings go to the scratch folder too, never to the user's.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(programDir.filePath(QStringLiteral("config"))));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tamrolek"));
    initExiv2();

    QString folder;
    int count = kUniqueSamples;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--count") && i + 1 < args.size())
            count = qMax(1, args[++i].toInt());
        else
            folder = args[i];
    }
    if (folder.isEmpty())
        folder = makeSamples(count);
    const QStringList files = listFolder(folder);
    if (files.isEmpty()) {
        std::printf("no images in %s\n", qPrintable(folder));
        return 1;
    }

    AppCfg::instance();
    createDbPools();
    createThreadPools();
    const int threads = itemLoadPool->maxThreadCount();
    const int n = files.size();
    std::printf("folder %s: %d images; load pool %d threads, metadata pool %d, store pool %d\n", qPrintable(folder), n,
        threads, exivTagPool->maxThreadCount(), itemStorePool->maxThreadCount());

    // The same files in the page cache for every pass.
    qint64 bytes = 0;
    for (const QString& f : files) {
        QFile file(f);
        if (file.open(QIODevice::ReadOnly))
            bytes += file.readAll().size();
    }
    std::printf("%.1f MB of files\n", bytes / 1048576.0);

    // Decoding alone, at the scale the item decodes at; run before and after the loads, the faster run counts.
    const AppCfg* cfg = AppCfg::current();
    const QList<QSize> boxes
        = { cfg->item.rcImage.size(), cfg->list.rcThumb.size(), QSize(cfg->cache.thumbWidth, cfg->cache.thumbHeight) };
    QSize firstFull, firstDecoded;
    int decodedCount = 0;
    auto decodeAlone = [&]() {
        QAtomicInt decoded(0);
        QElapsedTimer clock;
        clock.start();
        runParallel(n, threads, [&](int i) {
            // Read and decoded as the item does it: the bytes kept for the metadata, the thumbnails fitted.
            QByteArray bytes;
            const ImageDecoder::Result r = ImageDecoder::decodeFile(files[i], boxes, bytes);
            if (!r.image.isNull())
                decoded.fetchAndAddOrdered(1);
            if (i == 0) {
                firstFull = r.fullSize;
                firstDecoded = r.image.size();
            }
        });
        decodedCount = decoded.loadAcquire();
        return rate(n, clock.nsecsElapsed() / 1e9);
    };
    const double decodeBefore = decodeAlone();

    // Whole decoding, for comparison, on a share of the files.
    const int fullCount = qMin(n, qMax(threads * 4, 32));
    QElapsedTimer clock;
    clock.start();
    runParallel(fullCount, threads, [&](int i) {
        QImage image;
        image.load(files[i]);
    });
    const double fullRate = rate(fullCount, clock.nsecsElapsed() / 1e9);

    testutil::resetPeakMemory();
    const qint64 rssBefore = testutil::procStatusKb("VmRSS:");
    const PassResult cold = loadPass(files);
    const qint64 coldPeak = testutil::procStatusKb("VmHWM:");
    testutil::resetPeakMemory();
    const PassResult warm = loadPass(files);
    const qint64 warmPeak = testutil::procStatusKb("VmHWM:");
    const WindowResult window = managerPass(folder, n);
    const double decodeAfter = decodeAlone();
    const double decodeRate = qMax(decodeBefore, decodeAfter);

    std::printf("\nfirst image %d x %d decoded at %d x %d (boxes %dx%d, %dx%d, %dx%d)\n", firstFull.width(),
        firstFull.height(), firstDecoded.width(), firstDecoded.height(), boxes[0].width(), boxes[0].height(),
        boxes[1].width(), boxes[1].height(), boxes[2].width(), boxes[2].height());
    std::printf("decode alone (reduced scale) %8.1f photos/s  (runs: %.1f before, %.1f after the loads; %d of %d "
                "decoded)\n",
        decodeRate, decodeBefore, decodeAfter, decodedCount, n);
    std::printf("decode alone (whole image)   %8.1f photos/s  (%d photos)\n", fullRate, fullCount);
    std::printf("cold: all thumbnails %8.1f photos/s (%.2f s); tags %.2f s; stored %.2f s; %d with thumbnails\n",
        rate(n, cold.thumbs), cold.thumbs, cold.tags, cold.settled, cold.withThumb);
    std::printf("warm: all thumbnails %8.1f photos/s (%.3f s); fully shown (thumbnails and tags) %.3f s; "
                "%d from the cache, %d from tag rows\n",
        rate(n, warm.thumbs), warm.thumbs, warm.tags, warm.fromCache, warm.fromTagRow);
    std::printf("cold / decode alone: %.0f%%\n", decodeRate > 0 ? 100.0 * rate(n, cold.thumbs) / decodeRate : 0.0);
    if (n >= 100)
        std::printf("warm, scaled to 2000 photos: %.2f s to be fully shown\n", warm.tags * 2000.0 / n);
    std::printf("manager window on the warm folder: painted %.3f s; first screen of cells shown %.3f s; all %d "
                "cells loaded %.3f s  (grid's own warm load: %.3f s)\n",
        window.painted, window.firstScreen, window.rows, window.allLoaded, warm.tags);
    if (n >= 100)
        std::printf(
            "manager window, scaled to 2000 photos: %.2f s to every cell loaded\n", window.allLoaded * 2000.0 / n);
    std::printf("memory: %.0f MB before; peak %.0f MB while loading cold, %.0f MB warm\n", rssBefore / 1024.0,
        coldPeak / 1024.0, warmPeak / 1024.0);

    destroyThreadPools();
    destroyDbPools();
    AppCfg::release();
    return 0;
}
