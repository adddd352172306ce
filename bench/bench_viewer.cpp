// links: vornelcore
// The viewer window on a folder of 2,000 photos of 12 megapixels (4000 x 3000 JPEGs, empty databases): the time
// from asking for a photo to the first paint of its thumbnail stand-in and of its full image; the time of a step to
// the next photo, painted whole, with the photos around it already decoded and without, and to its smoothly reduced
// copy painted; the longest the GUI thread
// went without turning its event loop meanwhile. Beside it, in the same run, feh (Debian's image viewer) showing
// one photo and stepping through ten, when feh and an X display are there (run under xvfb-run).
// Usage: bench_viewer [--count N]   (the photos are made once under /tmp/vorn-bench-viewer)

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "db/sqlitedbpool.h"
#include "grid/fullimagecache.h"
#include "meta/exivutil.h"
#include "viewer/filelistitem.h"
#include "viewer/filelistwidget.h"
#include "viewer/imageshowitem.h"
#include "viewer/imageshowview.h"
#include "viewer/picview.h"
#include "viewer/reducedimage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include <unistd.h>

namespace {

const QString kDir = QStringLiteral("/tmp/vorn-bench-viewer");
const int kUnique = 12;
const int kSteps = 10;

// A photo-like picture of 4000 x 3000: gradients, soft blobs and noise, so that it compresses like a photo.
QImage samplePicture(int index)
{
    QRandomGenerator rng(quint32(index * 104729 + 3));
    QImage img(4000, 3000, QImage::Format_RGB32);
    const int r0 = rng.bounded(256), g0 = rng.bounded(256), b0 = rng.bounded(256);
    for (int y = 0; y < img.height(); ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x) {
            const int n = int(rng.generate() & 15);
            line[x] = qRgb((r0 + x / 20 + n) & 0xFF, (g0 + y / 14 + n) & 0xFF, (b0 + (x + y) / 36 + n) & 0xFF);
        }
    }
    return img;
}

// The folder of count photos: kUnique made once, the others hard links to them.
QStringList photoFolder(int count)
{
    const QString dir = QStringLiteral("%1/%2").arg(kDir).arg(count);
    QDir().mkpath(dir);
    QStringList files;
    for (int i = 0; i < count; ++i) {
        const QString file = QStringLiteral("%1/IMG_%2.jpg").arg(dir).arg(i, 4, 10, QLatin1Char('0'));
        if (!QFile::exists(file)) {
            const QString unique = QStringLiteral("%1/sample%2.jpg").arg(kDir).arg(i % kUnique);
            if (!QFile::exists(unique)) {
                QImageWriter writer(unique, "jpeg");
                writer.setQuality(90);
                writer.write(samplePicture(i % kUnique));
            }
            if (::link(QFile::encodeName(unique).constData(), QFile::encodeName(file).constData()) != 0)
                QFile::copy(unique, file);
        }
        files << file;
    }
    return files;
}

// Turns the event loop until done(); false when the time is up first.
bool waitFor(const std::function<bool()>& done, int timeoutMs = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

struct Shown {
    PicView* view;
    ImageShowItem* item() const { return dynamic_cast<ImageShowItem*>(view->canvas()->currentItem()); }
    bool showing(const QString& file) const
    {
        const ImageShowItem* i = item();
        return i && i->filePath == file && i->isVisible() && !i->pixmap().isNull();
    }
    bool whole(const QString& file) const { return showing(file) && !item()->showsThumbnail(); }
    // Drawn from the reduced copy made for the scale shown.
    bool reduced() const
    {
        const ImageShowItem* i = item();
        return i && ReducedImage::isNear(i->reduced().copyScale(), view->canvas()->scale());
    }
    // Paints now; the time after the paint.
    double paint(const QElapsedTimer& t) const
    {
        view->canvas()->viewport()->repaint();
        return t.nsecsElapsed() / 1e6;
    }
};

// The longest the GUI thread went without serving a 1 ms timer, while it runs.
class StallMeter {
public:
    StallMeter()
    {
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_worst = std::max(m_worst, now - m_last);
            m_last = now;
        });
        m_clock.start();
        m_last = m_clock.nsecsElapsed();
        m_timer.start();
    }
    // Up to now: a stall still going on counts too.
    double worstMs() const { return std::max(m_worst, m_clock.nsecsElapsed() - m_last) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last;
    qint64 m_worst = 0;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// feh showing the files one after the other and quitting, in ms; -1 when it cannot be timed.
double fehRun(const QStringList& files)
{
    QProcess feh;
    QElapsedTimer t;
    t.start();
    feh.start(QStringLiteral("feh"),
        QStringList { "--on-last-slide", "quit", "--slideshow-delay", "0.001", "--geometry", "1280x800" } + files);
    if (!feh.waitForStarted(5000) || !feh.waitForFinished(60000) || feh.exitCode() != 0)
        return -1;
    return t.nsecsElapsed() / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 2000;
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--count"));
    if (at > 0 && at + 1 < args.size())
        count = std::max(kSteps * 3, args.at(at + 1).toInt());

    std::printf("making %d photos of 4000 x 3000 under %s (once) ...\n", count, qPrintable(kDir));
    std::fflush(stdout);
    const QStringList files = photoFolder(count);
    const int start = count / 2;

    QTemporaryDir program;
    qputenv("VORN_PROGRAM_DIR", program.path().toUtf8());
    QCoreApplication::setOrganizationName(QStringLiteral("tamrolek-bench"));
    QCoreApplication::setApplicationName(QStringLiteral("bench_viewer"));
    initExiv2();
    AppCfg::instance(1);
    createDbPools();
    createThreadPools();

    PicView* view = PicView::instance();
    view->resize(1280, 800);
    view->show();
    waitFor([view] { return view->canvas()->isVisible(); });
    QCoreApplication::processEvents();
    Shown shown { view };
    std::printf("platform %s, %d threads, full images' budget %lld MB\n", qPrintable(QGuiApplication::platformName()),
        QThread::idealThreadCount(), FullImageCache::instance().budget() >> 20);

    // Open on the photo in the middle of the folder (listing, thumbnails and full image from nothing).
    double thumbMs = -1, fullMs = -1, stall = 0;
    {
        StallMeter meter;
        QElapsedTimer t;
        t.start();
        view->selectFile(files.at(start));
        if (waitFor([&] { return shown.showing(files.at(start)); }))
            thumbMs = shown.paint(t);
        if (waitFor([&] { return shown.whole(files.at(start)); }))
            fullMs = shown.paint(t);
        stall = meter.worstMs();
    }
    std::printf("open in a folder of %d: first paint %.0f ms (thumbnail stand-in), full image painted %.0f ms; "
                "longest GUI stall %.0f ms\n",
        count, thumbMs, fullMs, stall);

    // Steps with the photos around decoded beforehand.
    std::vector<double> warm, warmReduced;
    double warmStall = 0;
    for (int i = 1; i <= kSteps; ++i) {
        const QString next = files.at(start + i);
        waitFor([&] { return view->fileList()->rowItem(start + i)->itemInfo()->fullImageState() > 0; });
        imageLoadPool->waitForDone();
        StallMeter meter;
        QElapsedTimer t;
        t.start();
        view->fileList()->setCurrentRow(start + i);
        if (waitFor([&] { return shown.whole(next); }))
            warm.push_back(shown.paint(t));
        if (waitFor([&] { return shown.reduced(); }))
            warmReduced.push_back(shown.paint(t));
        warmStall = std::max(warmStall, meter.worstMs());
    }
    std::printf("step, next photo decoded: median %.1f ms, worst %.1f ms to the full image painted, median %.1f ms to "
                "its reduced copy painted; longest GUI stall %.0f ms\n",
        median(warm), warm.empty() ? -1.0 : *std::max_element(warm.begin(), warm.end()), median(warmReduced),
        warmStall);

    // Steps with nothing decoded ahead: a budget that holds only the photo shown.
    FullImageCache::instance().setBudget(1);
    view->fileList()->setCurrentRow(start - kSteps - 1);
    std::vector<double> coldThumb, coldFull;
    double coldStall = 0;
    for (int i = kSteps; i >= 1; --i) {
        const int row = start - i;
        const QString next = files.at(row);
        imageLoadPool->waitForDone();
        view->fileList()->rowItem(row)->releaseFullImage();
        StallMeter meter;
        QElapsedTimer t;
        t.start();
        view->fileList()->setCurrentRow(row);
        if (waitFor([&] { return shown.showing(next); }))
            coldThumb.push_back(shown.paint(t));
        if (waitFor([&] { return shown.whole(next); }))
            coldFull.push_back(shown.paint(t));
        coldStall = std::max(coldStall, meter.worstMs());
    }
    FullImageCache::instance().setBudget(FullImageCache::kDefaultBudget);
    std::printf("step, nothing decoded ahead: median %.1f ms to the first paint, %.1f ms to the full image "
                "painted; longest GUI stall %.0f ms\n",
        median(coldThumb), median(coldFull), coldStall);

    // The peer, on the same files.
    if (QStandardPaths::findExecutable(QStringLiteral("feh")).isEmpty()) {
        std::printf("peer: feh is not installed, not timed\n");
    } else if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::printf("peer: feh needs an X display (run under xvfb-run), not timed headless\n");
    } else {
        const double one = fehRun({ files.at(start) });
        const double eleven = fehRun(files.mid(start, kSteps + 1));
        if (one < 0 || eleven < 0)
            std::printf("peer: feh did not run\n");
        else
            std::printf("peer: feh, start to one photo shown and quit %.0f ms; a step (no read-ahead) %.0f ms\n", one,
                (eleven - one) / kSteps);
    }

    view->close();
    QCoreApplication::processEvents();
    destroyThreadPools();
    destroyDbPools();
    AppCfg::release();
    return 0;
}
