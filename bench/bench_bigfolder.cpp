// links: vornelcore vorntestcommon
// A big folder in the manager window: 20,000 small photos (real files, made once under /tmp/vorn-bench-big). Each
// pass runs in a process of its own, so that its peak memory (VmHWM) is its own:
//   cold  - empty databases: the window shown until every cell has its thumbnail and tags, and the rows stored;
//   warm  - the same again from the rows: time until every cell is loaded (the warm load), then the grid scrolled
//           from top to bottom a page at a time (longest GUI stall), then the viewer opened on the first photo and
//           stepped through 200 photos; peak memory after each stage;
//   peer  - the same warm rows read and decoded on as many threads as the load pool has, each photo's two
//           thumbnails kept decoded, as a folder's items held them before (time and peak memory).
// With --against BENCH (this benchmark built from another revision) its cold and warm passes run too, on a program
// folder of their own, and the summary sets its figures beside these.
// Usage: bench_bigfolder [--count N] [--against BENCH]

#include "app/appcfg.h"
#include "app/startup.h"
#include "app/threadpools.h"
#include "common/testutil.h"
#include "db/sqlitedbpool.h"
#include "db/thumbdb.h"
#include "grid/iteminfo.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "meta/exivutil.h"
#include "records/imagecacheinfo.h"
#include "records/imagecachetb.h"
#include "sys/fileutil.h"
#include "viewer/filelistwidget.h"
#include "viewer/picview.h"

#include <QApplication>
#include <QAtomicInt>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <vector>

namespace {

const QString kBase = QStringLiteral("/tmp/vorn-bench-big");
const int kSteps = 200;
const double kGiveUp = 900; // seconds a pass may wait for its folder

// A small photo-like picture, different for every index: gradients, shapes and noise.
QImage smallPhoto(int index)
{
    quint32 seed = quint32(index) * 2654435761u + 1;
    const auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    QImage img(400, 300, QImage::Format_RGB32);
    const int r0 = int(next() & 255), g0 = int(next() & 255), b0 = int(next() & 255);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(next() & 15);
            line[x] = qRgb((r0 + x / 3 + n) & 0xFF, (g0 + y / 2 + n) & 0xFF, (b0 + (x + y) / 5 + n) & 0xFF);
        }
    }
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 6; ++i) {
        p.setBrush(QColor(int(next() & 255), int(next() & 255), int(next() & 255), 170));
        p.drawEllipse(int(next() % 400), int(next() % 300), 30 + int(next() % 150), 30 + int(next() % 120));
    }
    return img;
}

// The folder of count photos, each written once.
QString photoFolder(int count)
{
    const QString dir = QStringLiteral("%1/%2").arg(kBase).arg(count);
    QDir().mkpath(dir);
    std::vector<int> missing;
    for (int i = 0; i < count; ++i) {
        if (!QFile::exists(QStringLiteral("%1/IMG_%2.jpg").arg(dir).arg(i, 5, 10, QLatin1Char('0'))))
            missing.push_back(i);
    }
    if (missing.empty())
        return dir;
    std::printf("making %d photos of 400 x 300 in %s ...\n", int(missing.size()), qPrintable(dir));
    std::fflush(stdout);
    QThreadPool pool;
    QAtomicInt at(0);
    for (int t = 0; t < QThread::idealThreadCount(); ++t) {
        pool.start([&] {
            for (int k = at.fetchAndAddRelaxed(1); k < int(missing.size()); k = at.fetchAndAddRelaxed(1)) {
                const QString file
                    = QStringLiteral("%1/IMG_%2.jpg").arg(dir).arg(missing[size_t(k)], 5, 10, QLatin1Char('0'));
                QImageWriter writer(file + QStringLiteral(".part"), "jpeg");
                writer.setQuality(85);
                if (writer.write(smallPhoto(missing[size_t(k)])))
                    QFile::rename(file + QStringLiteral(".part"), file);
            }
        });
    }
    pool.waitForDone();
    return dir;
}

double seconds(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e9;
}

double peakMb()
{
    return testutil::procStatusKb("VmHWM:") / 1024.0;
}

// Turns the event loop until done() holds or the time is up; false then.
template <class F> bool spinUntil(F done, double limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (seconds(clock) > limit)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(2);
    }
    return true;
}

// Whether every row from *from on satisfies ok; *from moves past the rows that do, so that a poll is cheap.
template <class F> bool allRows(MediaModel* model, int& from, F ok)
{
    const int n = model->rowCount();
    while (from < n) {
        MediaItem* item = model->itemFromIndex(model->index(from, 0));
        if (item && item->getInfo() && !ok(*item->getInfo()))
            return false;
        ++from;
    }
    return true;
}

void result(const char* pass, const QMap<QString, double>& figures)
{
    std::printf("RESULT %s", pass);
    for (auto it = figures.cbegin(); it != figures.cend(); ++it)
        std::printf(" %s=%.4f", qPrintable(it.key()), it.value());
    std::printf("\n");
    std::fflush(stdout);
}

int windowPass(const QString& folder, int n, bool cold)
{
    const char* name = cold ? "cold" : "warm";
    QMap<QString, double> fig;
    AppCfg::instance()->lastPath = folder;
    QElapsedTimer clock;
    clock.start();
    PicMgr* mgr = PicMgr::instance();
    mgr->resize(1600, 1000);
    mgr->show();
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();

    int loadedFrom = 0;
    const bool loaded = spinUntil(
        [&] {
            return model->rowCount() >= n
                && allRows(model, loadedFrom, [](const ItemInfo& i) { return i.thumbReady == 1 && i.tagReady == 1; });
        },
        kGiveUp);
    fig["load_s"] = loaded ? seconds(clock) : -1;
    fig["rows"] = model->rowCount();
    if (cold) {
        int storedFrom = 0;
        spinUntil([&] { return allRows(model, storedFrom, [](const ItemInfo& i) { return !i.isBusy(); }); }, kGiveUp);
        fig["stored_s"] = seconds(clock);
    }
    fig["peak_load_mb"] = peakMb();
    fig["rss_loaded_mb"] = testutil::procStatusKb("VmRSS:") / 1024.0;
    // What the heap holds in use, beside what it keeps from the system (freed pieces included).
    const struct mallinfo2 heap = mallinfo2();
    fig["heap_used_mb"] = heap.uordblks / 1048576.0;

    // The grid from top to bottom a page at a time, every page painted before the next.
    QScrollBar* bar = grid->verticalScrollBar();
    double longest = 0;
    QElapsedTimer step;
    clock.restart();
    int pages = 0;
    for (int value = 0;; value += bar->pageStep()) {
        step.start();
        bar->setValue(std::min(value, bar->maximum()));
        grid->viewport()->repaint();
        QCoreApplication::processEvents();
        longest = std::max(longest, seconds(step));
        ++pages;
        if (value >= bar->maximum())
            break;
    }
    fig["scroll_s"] = seconds(clock);
    fig["scroll_pages"] = pages;
    fig["scroll_stall_ms"] = longest * 1000;
    fig["peak_scroll_mb"] = peakMb();

    // The viewer on the first photo, then a step at a time, each waiting for the full image.
    bar->setValue(0);
    grid->showInViewer(model->index(0, 0), false);
    PicView* view = PicView::instance();
    FileListWidget* strip = view->fileList();
    spinUntil([&] { return strip->count() >= n && strip->currentInfo(); }, 60);
    longest = 0;
    clock.restart();
    for (int i = 0; i < kSteps && strip->currentInfo(); ++i) {
        step.start();
        view->on_btNextFile_clicked();
        view->repaint();
        QCoreApplication::processEvents();
        longest = std::max(longest, seconds(step));
        const ItemInfoPtr shown = strip->currentInfo();
        spinUntil([&] { return !shown || shown->fullImageState() >= 1; }, 10);
    }
    fig["viewer_s"] = seconds(clock);
    fig["viewer_stall_ms"] = longest * 1000;
    fig["peak_viewer_mb"] = peakMb();
    result(name, fig);

    view->close();
    mgr->close();
    QCoreApplication::processEvents();
    return loaded ? 0 : 1;
}

// Today's figure for comparison, in the same run: the thumbnails a warm load reads, decoded and kept per photo.
int peerPass(const QString& folder)
{
    const QStringList files = listImagesByName(folder);
    const QSize grid = AppCfg::instance()->item.rcImage.size();
    const QSize strip = AppCfg::instance()->list.rcThumb.size();
    std::vector<QImage> held(size_t(files.size()) * 2);
    QElapsedTimer clock;
    clock.start();
    QThreadPool pool;
    pool.setMaxThreadCount(itemLoadPool->maxThreadCount());
    QAtomicInt at(0), found(0);
    for (int t = 0; t < pool.maxThreadCount(); ++t) {
        pool.start([&] {
            PooledDb<ThumbDb> db(thumbDbPool);
            for (int i = at.fetchAndAddRelaxed(1); i < files.size(); i = at.fetchAndAddRelaxed(1)) {
                ImageCacheInfo row;
                if (!db || !ImageCacheTb(db.get()).readImageCache(files[i], row) || row.getThumb().isNull())
                    continue;
                const QImage& thumb = row.getThumb();
                held[size_t(i) * 2] = thumb.scaled(grid, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                held[size_t(i) * 2 + 1] = thumb.scaled(strip, Qt::KeepAspectRatio, Qt::SmoothTransformation);
                found.fetchAndAddRelaxed(1);
            }
        });
    }
    pool.waitForDone();
    QMap<QString, double> fig;
    fig["load_s"] = seconds(clock);
    fig["rows"] = found.loadAcquire();
    fig["peak_load_mb"] = peakMb();
    result("peer", fig);
    return 0;
}

int childMain(int argc, char** argv, const QString& pass, const QString& folder, int n)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tamrolek"));
    QCoreApplication::setApplicationName(QStringLiteral("vornel"));
    initExiv2();
    AppCfg::instance(0)->load();
    openDbPools();
    createThreadPools();
    const int rc
        = pass == QLatin1String("peer") ? peerPass(folder) : windowPass(folder, n, pass == QLatin1String("cold"));
    shutDown();
    return rc;
}

// Runs one pass of a bench binary and returns its figures (empty when it failed).
QMap<QString, double> runPass(
    const QString& binary, const QString& pass, const QString& folder, int n, const QString& programDir)
{
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORN_PROGRAM_DIR"), programDir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), programDir + QStringLiteral("/config"));
    env.insert(QStringLiteral("HOME"), programDir + QStringLiteral("/home"));
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    child.setProcessEnvironment(env);
    child.start(binary,
        { QStringLiteral("--pass"), pass, QStringLiteral("--folder"), folder, QStringLiteral("--count"),
            QString::number(n) });
    QMap<QString, double> figures;
    // The offscreen platform's warnings are left out unless the pass failed.
    if (!child.waitForFinished(int(kGiveUp * 2 * 1000)) || child.exitCode() != 0) {
        std::fprintf(stderr, "%s", child.readAllStandardError().constData());
        return figures;
    }
    for (const QByteArray& line : child.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("RESULT "))
            continue;
        const QList<QByteArray> parts = line.split(' ');
        for (int i = 2; i < parts.size(); ++i) {
            const QList<QByteArray> kv = parts[i].split('=');
            if (kv.size() == 2)
                figures[QString::fromLatin1(kv[0])] = kv[1].toDouble();
        }
    }
    return figures;
}

void printPass(const char* who, const char* pass, const QMap<QString, double>& f)
{
    if (f.isEmpty()) {
        std::printf("%-8s %-5s failed\n", who, pass);
        return;
    }
    std::printf("%-8s %-5s rows %5.0f  load %7.2f s", who, pass, f.value("rows"), f.value("load_s"));
    if (f.contains("stored_s"))
        std::printf("  stored %7.2f s", f.value("stored_s"));
    std::printf("  peak %6.0f MB", f.value("peak_load_mb"));
    if (f.contains("peak_scroll_mb"))
        std::printf(" (loaded, RSS %.0f MB, heap in use %.0f MB); scrolled %.0f pages in %.2f s, longest stall %.1f "
                    "ms, peak %.0f MB; "
                    "viewer %d steps in %.2f s, longest stall %.1f ms, peak %.0f MB",
            f.value("rss_loaded_mb"), f.value("heap_used_mb"), f.value("scroll_pages"), f.value("scroll_s"),
            f.value("scroll_stall_ms"), f.value("peak_scroll_mb"), kSteps, f.value("viewer_s"),
            f.value("viewer_stall_ms"), f.value("peak_viewer_mb"));
    std::printf("\n");
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QString pass, folder, against;
    int count = 20000;
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg = argv[i];
        if (arg == "--pass" && i + 1 < argc)
            pass = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--folder" && i + 1 < argc)
            folder = QString::fromLocal8Bit(argv[++i]);
        else if (arg == "--count" && i + 1 < argc)
            count = std::max(1, atoi(argv[++i]));
        else if (arg == "--against" && i + 1 < argc)
            against = QString::fromLocal8Bit(argv[++i]);
    }
    if (!pass.isEmpty())
        return childMain(argc, argv, pass, folder, count);

    QCoreApplication app(argc, argv);
    folder = photoFolder(count);
    const int n = listImagesByName(folder).size();
    std::printf("folder %s: %d photos\n", qPrintable(folder), n);
    const QString self = QCoreApplication::applicationFilePath();

    QTemporaryDir mine;
    const QMap<QString, double> cold = runPass(self, QStringLiteral("cold"), folder, n, mine.path());
    printPass("this", "cold", cold);
    const QMap<QString, double> warm = runPass(self, QStringLiteral("warm"), folder, n, mine.path());
    printPass("this", "warm", warm);
    const QMap<QString, double> peer = runPass(self, QStringLiteral("peer"), folder, n, mine.path());
    printPass("peer", "warm", peer);
    QMap<QString, double> otherWarm;
    if (!against.isEmpty()) {
        QTemporaryDir theirs;
        printPass("against", "cold", runPass(against, QStringLiteral("cold"), folder, n, theirs.path()));
        otherWarm = runPass(against, QStringLiteral("warm"), folder, n, theirs.path());
        printPass("against", "warm", otherWarm);
    }

    std::printf("\nwarm load of %d photos: %.2f s (peer: decoded cache kept, %.2f s", n, warm.value("load_s"),
        peer.value("load_s"));
    if (!otherWarm.isEmpty())
        std::printf("; against: %.2f s", otherWarm.value("load_s"));
    std::printf(")\npeak memory, grid shown and scrolled, viewer stepped: %.0f MB (peer holding the decoded "
                "thumbnails: %.0f MB",
        warm.value("peak_viewer_mb"), peer.value("peak_load_mb"));
    if (!otherWarm.isEmpty())
        std::printf("; against: %.0f MB", otherWarm.value("peak_viewer_mb"));
    std::printf(")\n");
    return 0;
}
