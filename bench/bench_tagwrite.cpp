// links: vornelcore
// Writes tags from the grid into 100 large photos, as a star set on a whole selection does, and prints how long the
// writes took and the longest the GUI thread went without running its event loop; beside it the same writes done on
// the GUI thread one by one, and exiftool writing the same comment into the same photos.
// Usage: bench_tagwrite [count] [width] [height]

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "db/sqlitedbpool.h"
#include "grid/itemstorequeue.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "grid/tagfilewriter.h"
#include "meta/exivutil.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

QImage pattern(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb(x * 255 / w, y * 255 / h, (x * 7 ^ y * 3) & 0xFF);
    }
    return img;
}

// Runs the event loop until done() holds; returns the longest gap between two ticks of a 5 ms timer.
qint64 longestStall(const std::function<bool()>& done, qint64 timeoutMs)
{
    QElapsedTimer since, total;
    since.start();
    total.start();
    qint64 longest = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] { longest = qMax(longest, since.restart()); });
    tick.start();
    while (!done() && total.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return qMax(longest, since.elapsed());
}

void report(const char* what, int files, qint64 ms, qint64 stallMs)
{
    std::printf("%-44s %4d photos %8.2f s %7.1f photos/s", what, files, ms / 1000.0, ms > 0 ? files * 1000.0 / ms : 0);
    if (stallMs >= 0)
        std::printf("   longest GUI stall %6lld ms", static_cast<long long>(stallMs));
    std::printf("\n");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir program, photos;
    qputenv("VORN_PROGRAM_DIR", QFile::encodeName(program.path()));
    QApplication app(argc, argv);
    initExiv2();
    const int count = argc > 1 ? QString(argv[1]).toInt() : 100;
    const int width = argc > 2 ? QString(argv[2]).toInt() : 4000;
    const int height = argc > 3 ? QString(argv[3]).toInt() : 3000;
    if (count <= 0 || width <= 0 || height <= 0) {
        std::fprintf(stderr, "usage: bench_tagwrite [count] [width] [height]\n");
        return 1;
    }
    const QString first = QDir(photos.path()).filePath("photo_00000.jpg");
    if (!pattern(width, height).save(first, nullptr, 92))
        return 1;
    QStringList files { first };
    for (int i = 1; i < count; ++i) {
        files << QDir(photos.path()).filePath(QString("photo_%1.jpg").arg(i, 5, 10, QChar('0')));
        if (!QFile::copy(first, files.last()))
            return 1;
    }
    std::printf("%d photos of %dx%d, %lld bytes each; %d written at once\n", count, width, height,
        static_cast<long long>(QFileInfo(first).size()), TagFileWriter::maxParallel());

    AppCfg::instance(1)->tag.tagSaveToFile = 1;
    createDbPools();
    createThreadPools();
    {
        MediaListView view;
        view.resize(1200, 800);
        view.show();
        view.listFolder(photos.path(), QString());
        MediaModel* model = view.mediaModel();
        longestStall(
            [&] {
                if (model->rowCount() != count)
                    return false;
                for (int row = 0; row < count; ++row) {
                    const ItemInfoPtr& info = model->itemFromIndex(model->index(row, 0))->getInfo();
                    if (info->tagReady != 1 || info->isBusy())
                        return false;
                }
                return true;
            },
            600000);
        view.selectAll();

        // The grid's fan-out: the writes run on the writer's threads.
        int batches = 0;
        QObject::connect(TagFileWriter::instance(), &TagFileWriter::batchDone, [&] { ++batches; });
        QElapsedTimer timer;
        timer.start();
        view.onSaveStar(3);
        view.onSaveTextTags({ "海边", "bench" });
        const qint64 calls = timer.elapsed(); // the edits themselves run on the GUI thread
        const qint64 stall = qMax(calls, longestStall([&] { return batches == 2; }, 600000));
        report("grid fan-out (writer, off the GUI thread)", count, timer.elapsed(), stall);

        // The same writes one after another on the GUI thread, as the fan-out did before.
        QList<ItemInfoPtr> items;
        for (int row = 0; row < count; ++row)
            items << model->itemFromIndex(model->index(row, 0))->getInfo();
        for (const ItemInfoPtr& info : items)
            info->setStar(4);
        timer.restart();
        for (const ItemInfoPtr& info : items)
            info->saveTagsToFile();
        const qint64 onGui = timer.elapsed();
        report("same writes on the GUI thread", count, onGui, onGui);
        ItemStoreQueue::finish(60000);
    }

    QElapsedTimer timer;
    timer.start();
    const int code = QProcess::execute("exiftool",
        QStringList {
            "-q", "-overwrite_original", "-UserComment={\"starTag\":{\"star\":5},\"textTag\":{\"texts\":[\"x\"]}}" }
            + files);
    if (code == 0)
        report("exiftool -overwrite_original (peer)", count, timer.elapsed(), -1);
    else
        std::printf("exiftool not run (%d)\n", code);

    TagFileWriter::finish(60000);
    destroyThreadPools();
    destroyDbPools();
    AppCfg::release();
    return 0;
}
