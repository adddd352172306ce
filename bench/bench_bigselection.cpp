// links: vornelcore
// A star set on a whole big folder in the manager window: 50,000 small photos (one made once under
// /tmp/vorn-bench-sel, copied into a fresh folder per run), all loaded, Select All, then a star chosen in the tag
// panel with "TagSaveToFile" on. Prints the GUI stall of Select All, of the star (from the click to the return to
// the event loop), the time until every cell shows the star with the longest stall meanwhile, and the longest
// stall while the files and rows are written; beside them the star's stall before the mend, measured once.
// Usage: bench_bigselection [count] [seconds to follow the writes]

#include "app/appcfg.h"
#include "app/startup.h"
#include "app/threadpools.h"
#include "grid/itemstorequeue.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "grid/tagfilewriter.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "meta/exivutil.h"
#include "panels/taginfoview.h"
#include "tagwidgets/qxtstars.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const QString kBase = QStringLiteral("/tmp/vorn-bench-sel");
// The star's stall on 50,000 photos before the mend, in ms, measured once with this benchmark on this machine (8
// cores, Debian 12): the whole selection edited in one go, the writer looking each file up in a list.
const double kBefore = 38378;

double ms(const QElapsedTimer& clock)
{
    return clock.nsecsElapsed() / 1e6;
}

// One small photo, copied count times into the folder.
QString photoFolder(const QString& dir, int count)
{
    const QString one = kBase + QStringLiteral("/one.jpg");
    if (!QFile::exists(one)) {
        QImage img(160, 120, QImage::Format_RGB32);
        img.fill(QColor(40, 90, 160));
        QPainter(&img).fillRect(20, 20, 60, 40, QColor(220, 180, 40));
        if (!img.save(one, "jpeg", 85))
            return QString();
    }
    for (int i = 0; i < count; ++i) {
        const QString file = QStringLiteral("%1/IMG_%2.jpg").arg(dir).arg(i, 5, 10, QLatin1Char('0'));
        if (!QFile::copy(one, file))
            return QString();
    }
    return dir;
}

// Turns the event loop until done() holds or the time is up; returns the longest turn, the time the GUI thread
// was away from the window's input.
template <class F> double followStalls(F done, double limitMs)
{
    QElapsedTimer clock, turn;
    clock.start();
    double longest = 0;
    while (!done() && ms(clock) < limitMs) {
        turn.start();
        QCoreApplication::processEvents();
        longest = qMax(longest, ms(turn));
        QThread::msleep(1);
    }
    return longest;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? qMax(1, atoi(argv[1])) : 50000;
    const double follow = argc > 2 ? qMax(0, atoi(argv[2])) * 1000.0 : 60000;
    QDir().mkpath(kBase);
    QTemporaryDir program(kBase + QStringLiteral("/program-XXXXXX")), photos(kBase + QStringLiteral("/run-XXXXXX"));
    qputenv("VORN_PROGRAM_DIR", QFile::encodeName(program.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(program.path() + QStringLiteral("/config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("tamrolek"));
    QCoreApplication::setApplicationName(QStringLiteral("vornel"));
    initExiv2();
    const QString folder = photoFolder(photos.path(), count);
    if (folder.isEmpty()) {
        std::fprintf(stderr, "could not make the photos under %s\n", qPrintable(kBase));
        return 1;
    }
    AppCfg::instance(0)->load();
    AppCfg::instance()->tag.tagSaveToFile = 1;
    AppCfg::instance()->lastPath = folder;
    openDbPools();
    createThreadPools();

    PicMgr* mgr = PicMgr::instance();
    mgr->resize(1600, 1000);
    mgr->show();
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();
    std::printf("%d photos in %s, loading ...\n", count, qPrintable(folder));
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    int loadedFrom = 0;
    followStalls(
        [&] {
            if (model->rowCount() < count)
                return false;
            for (; loadedFrom < count; ++loadedFrom) {
                MediaItem* item = model->itemFromIndex(model->index(loadedFrom, 0));
                if (!item || !item->getInfo() || item->getInfo()->tagReady != 1)
                    return false;
            }
            return true;
        },
        3600 * 1000.0);
    if (loadedFrom < count) {
        std::fprintf(stderr, "only %d of %d photos loaded\n", loadedFrom, count);
        return 1;
    }
    std::printf("loaded in %.1f s\n", ms(clock) / 1000);

    clock.restart();
    grid->setFocus();
    grid->selectAll();
    QCoreApplication::processEvents();
    const double selectStall = ms(clock);

    auto* stars = mgr->form()->tagInfo()->findChild<QxtStars*>(QStringLiteral("hsStar"));
    if (!stars)
        return 1;
    const int star = stars->value() == 4 ? 3 : 4;
    clock.restart();
    stars->setValue(star);
    const double starStall = ms(clock);

    // The cells take the star a slice at a time, the event loop turning in between.
    clock.restart();
    int starredFrom = 0;
    const double sliceStall = followStalls(
        [&] {
            for (; starredFrom < count; ++starredFrom) {
                MediaItem* item = model->itemFromIndex(model->index(starredFrom, 0));
                if (item && item->getInfo() && item->getInfo()->starText() != QString::number(star))
                    return false;
            }
            return true;
        },
        600000);
    const double starredMs = ms(clock);

    clock.restart();
    const double writeStall = followStalls(
        [] { return TagFileWriter::instance()->pending() == 0 && ItemStoreQueue::pending() == 0; }, follow);
    const int filesLeft = TagFileWriter::instance()->pending();
    const int rowsLeft = ItemStoreQueue::pending();

    std::printf("Select All on %d photos: GUI stall %.1f ms\n", count, selectStall);
    std::printf("star on %d selected photos: GUI stall %.1f ms (before the mend: %.0f ms for 50,000)\n", count,
        starStall, kBefore);
    std::printf("every cell starred %.2f s after the star; longest GUI stall meanwhile %.1f ms\n", starredMs / 1000,
        sliceStall);
    std::printf("then, while the files and rows were written (%.1f s%s): longest GUI stall %.1f ms", ms(clock) / 1000,
        filesLeft || rowsLeft ? ", followed no longer" : ", all done", writeStall);
    if (filesLeft || rowsLeft)
        std::printf("; %d files and %d rows still to go", filesLeft, rowsLeft);
    std::printf("\n");
    std::fflush(stdout);

    // What is left is dropped without a word: the figures are taken.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    TagFileWriter::finish(0);
    ItemStoreQueue::finish(0);
    mgr->close();
    QCoreApplication::processEvents();
    shutDown();
    return 0;
}
