#include "common/vorneltest.h"
#include "viewer/canvashost.h"
#include "viewer/gifshowitem.h"
#include "viewer/imageshowitem.h"
#include "viewer/imageshowview.h"
#include "viewer/svgshowitem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMovie>
#include <QTest>

#include <atomic>
#include <cmath>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testutil;

namespace {

// Three frames of 8 x 6: red, blue, green.
const char kAnimGif[]
    = "R0lGODlhCAAGAPAAAP8AAAAAACH5BAAKAAAAIf8LTkVUU0NBUEUyLjADAQAAACwAAAAACAAGAAACBoSPqct9BQAh+QQACgAAACwAAAAAC"
      "AAGAIAAAP8AAAACBoSPqct9BQAh+QQACgAAACwAAAAACAAGAIAA/wAAAAACBoSPqct9BQA7";

// Shows the item and waits until its full image, decoded off this thread, has taken the thumbnail's place.
bool showWhole(ImageShowView& view, const ItemInfoPtr& info)
{
    view.onShowImage(info);
    auto* item = dynamic_cast<ImageShowItem*>(view.currentItem());
    return item && QTest::qWaitFor([item] { return !item->showsThumbnail() && !item->pixmap().isNull(); }, 10000);
}

// The scene point under the middle of the viewport.
QPointF visibleCentre(QGraphicsView& view)
{
    return view.mapToScene(view.viewport()->rect()).boundingRect().center();
}

// The manager and viewer windows as the canvas sees them; the calls it makes are recorded.
struct FakeWindows : CanvasManager, CanvasHost {
    QWidget managerWnd, viewerWnd;
    QMenu menu;
    QLinkedList<ItemInfoPtr> items;
    QString current; // folder the grid shows
    QStringList calls;

    QWidget* managerWidget() override { return &managerWnd; }
    bool isCurrentPath(const QString& path) override { return !current.isEmpty() && path.startsWith(current + "/"); }
    int selectFile(const QString& path) override
    {
        calls << "select " + QFileInfo(path).fileName();
        return 0;
    }
    int loadItems(QLinkedList<ItemInfoPtr>& taken, const QString& path) override
    {
        calls << QString("load %1 %2").arg(taken.size()).arg(QFileInfo(path).fileName());
        return 0;
    }
    QWidget* viewerWidget() override { return &viewerWnd; }
    QMenu* viewMenu() override { return &menu; }
    void getItems(QLinkedList<ItemInfoPtr>& out) override { out += items; }
    CanvasManager* manager() override { return this; }
};

} // namespace

class TestImageShowView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { createThreadPools(); }
    void cleanupTestCase() { destroyThreadPools(); }
    void init();
    void bestFitZoomRotate();
    void emptySizeAndNoItem();
    void standInUntilFullImage();
    void gifAndSvg();
    void windowHandOver();

private:
    std::unique_ptr<TempDir> m_dir;
    std::unique_ptr<ImageShowView> m_view;
};

void TestImageShowView::init()
{
    m_dir = std::make_unique<TempDir>();
    m_view = std::make_unique<ImageShowView>();
    m_view->resize(400, 300);
    QVERIFY(QTest::qWaitForWindowExposed(m_view.get()));
}

void TestImageShowView::bestFitZoomRotate()
{
    ImageShowView& view = *m_view;
    QSignalSpy scales(&view, &ImageShowView::scaleChanged);
    auto centred = [&](QGraphicsItem* item) {
        return (item->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2;
    };

    // Smaller than the canvas: scale 1, centred; fit enlarges: min(400 / 100, 300 / 60).
    const ItemInfoPtr small = itemFor(makeImage(m_dir->path(), "small.png", 100, 60));
    QVERIFY(showWhole(view, small));
    QCOMPARE(scales.last().at(0).toDouble(), 1.0);
    QGraphicsItem* item = view.currentItem()->item;
    QVERIFY(centred(item));
    view.itemFit();
    QCOMPARE(scales.last().at(0).toDouble(), 4.0);

    // Larger than the canvas: scaled down to fit, centred, and kept in the middle of a resized canvas.
    QVERIFY(showWhole(view, itemFor(makeImage(m_dir->path(), "large.jpg", 1600, 600))));
    item = view.currentItem()->item;
    QVERIFY(qFuzzyCompare(scales.last().at(0).toDouble(), 0.25));
    QVERIFY(centred(item));
    view.resize(600, 500);
    QVERIFY(centred(item));
    view.resize(400, 300);

    // Zooming around the visible centre keeps the item point under it where it was.
    view.itemOriginal();
    const QPointF under = item->mapFromScene(visibleCentre(view));
    view.itemZoom(1);
    view.itemZoom(-1);
    QVERIFY(std::abs(view.scale() - 1.1 * 0.9) < 1e-9);
    QVERIFY((item->mapFromScene(visibleCentre(view)) - under).manhattanLength() < 0.5);

    // Rotation adds up, centring keeps it, fit takes the turn into account, the next file starts upright.
    view.itemRotate(90);
    view.itemRotate(90);
    view.itemRotate(-90);
    view.itemCenter();
    QCOMPARE(item->rotation(), 90.0);
    QVERIFY(centred(item));
    view.itemFit();
    QVERIFY(qFuzzyCompare(view.scale(), std::min(400.0 / 600, 300.0 / 1600)));
    view.onShowImage(small);
    QCOMPARE(item->rotation(), 0.0);
}

void TestImageShowView::emptySizeAndNoItem()
{
    ImageShowView& view = *m_view;
    QSignalSpy scales(&view, &ImageShowView::scaleChanged);

    // Nothing shown yet: every operation does nothing.
    view.itemFit();
    view.itemZoom(1);
    view.itemRotate(90);
    view.showPicMgr(false);
    view.onShowImage(ItemInfoPtr());
    QVERIFY(!view.currentItem());
    QCOMPARE(scales.count(), 0);

    // Unreadable files (corrupt, zero bytes, missing) give an empty item: fit and zoom leave the scale alone.
    QVERIFY(writeBytes(m_dir->file("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 not really a jpeg")));
    QVERIFY(writeBytes(m_dir->file("empty.png"), QByteArray()));
    QVERIFY(writeBytes(m_dir->file("bad.svg"), QByteArray("<svg><g>")));
    QVERIFY(writeBytes(m_dir->file("bad.gif"), QByteArray("GIF89a")));
    // Links to a FIFO are never opened: showing them returns at once.
    const QString fifo = m_dir->file("pipe");
    QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const char* link : { "pipe.jpg", "pipe.gif", "pipe.svg" })
        QVERIFY(QFile::link(fifo, m_dir->file(link)));
    // Should the canvas hang in open(), a writer lets it go, so that the test fails instead of stalling.
    struct Unblocker {
        std::atomic<bool> done { false };
        std::thread thread;
        ~Unblocker()
        {
            done = true;
            thread.join();
        }
    } unblocker;
    unblocker.thread = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::seconds(2));
        for (; !unblocker.done; std::this_thread::sleep_for(std::chrono::milliseconds(50)))
            ::close(::open(QFile::encodeName(fifo).constData(), O_WRONLY | O_NONBLOCK));
    });
    QElapsedTimer clock;
    clock.start();
    for (const char* name :
        { "broken.jpg", "empty.png", "missing.png", "bad.svg", "bad.gif", "pipe.jpg", "pipe.gif", "pipe.svg" }) {
        view.onShowImage(itemFor(m_dir->file(name)));
        QVERIFY2(view.currentItem() && view.currentItem()->item->isVisible(), name);
        QCOMPARE(view.currentItem()->filePath, m_dir->file(name));
        view.itemFit();
        view.itemZoom(1);
        view.currentItem()->zoomAt(120, QPointF(0, 0));
        view.itemBest();
        QVERIFY2(view.scale() == 1.0, name);
        for (const QList<QVariant>& args : qAsConst(scales))
            QVERIFY(std::isfinite(args.at(0).toDouble()));
        scales.clear();
    }
    QVERIFY(clock.elapsed() < 1500);
}

void TestImageShowView::standInUntilFullImage()
{
    ImageShowView& view = *m_view;
    const ItemInfoPtr info = itemFor(makeImage(m_dir->path(), "big.jpg", 1600, 1200));
    QVERIFY(info->load() == 0 && QTest::qWaitFor([&] { return info->thumbReady == 1; }, 10000));
    // Every full-image thread held up: the canvas cannot have the full image, and must not decode it itself.
    PoolGate gate(imageLoadPool);

    // At once: the thumbnail, stretched to the picture's size, fitted.
    view.onShowImage(info);
    auto* item = dynamic_cast<ImageShowItem*>(view.currentItem());
    QVERIFY(item && item->showsThumbnail());
    QCOMPARE(info->fullImageState(), 0);
    QCOMPARE(item->boundingRect().size(), QSizeF(1600, 1200));
    QCOMPARE(view.scale(), 0.25);
    view.itemZoom(1);

    // The full image swapped in keeps the user's zoom.
    gate.open();
    QTRY_VERIFY_WITH_TIMEOUT(!item->showsThumbnail(), 10000);
    QCOMPARE(item->pixmap().size(), QSize(1600, 1200));
    QVERIFY(qFuzzyCompare(view.scale(), 0.25 * 1.1));
}

void TestImageShowView::gifAndSvg()
{
    ImageShowView& view = *m_view;
    const QString gifPath = m_dir->file("PHOTO.GIF");
    QVERIFY(writeBytes(gifPath, QByteArray::fromBase64(kAnimGif)));
    const QString svgPath = m_dir->file("wide.SVG");
    QVERIFY(writeBytes(svgPath,
        "<svg xmlns='http://www.w3.org/2000/svg' width='20000' height='10000'>"
        "<rect width='20000' height='10000' fill='navy'/></svg>"));

    // A GIF plays, whatever the letter case of its suffix, and fits like an image.
    view.onShowImage(itemFor(gifPath));
    QCOMPARE(view.kind(), int(ImageShowView::KindGif));
    auto* gif = dynamic_cast<GifShowItem*>(view.currentItem());
    QVERIFY(gif && gif->isVisible());
    auto* label = qobject_cast<QLabel*>(gif->widget());
    QTRY_VERIFY(label && label->movie() && label->movie()->currentFrameNumber() > 0);
    QCOMPARE(label->movie()->cacheMode(), QMovie::CacheAll);

    // Frames too many to keep play uncached; a canvas too large to decode does not play at all.
    QVERIFY(writeBytes(m_dir->file("many.gif"), gifCanvas(2000, 2000, 300)));
    QVERIFY(writeBytes(m_dir->file("huge.gif"), gifCanvas(20000, 20000, 300)));
    view.onShowImage(itemFor(m_dir->file("many.gif")));
    QVERIFY(label->movie());
    QCOMPARE(label->movie()->cacheMode(), QMovie::CacheNone);
    QTRY_VERIFY(label->movie()->currentFrameNumber() > 0);
    view.onShowImage(itemFor(m_dir->file("huge.gif")));
    QVERIFY(!label->movie() || !label->movie()->isValid());
    view.onShowImage(itemFor(gifPath));

    // An SVG after it stops the movie and hides it.
    view.onShowImage(itemFor(svgPath));
    QCOMPARE(view.kind(), int(ImageShowView::KindSvg));
    QVERIFY(!gif->isVisible() && !gif->widget() && !label->movie());

    // A drawing as large as the scene stays centred, fitted and turned.
    auto* svg = dynamic_cast<SvgShowItem*>(view.currentItem());
    QVERIFY(svg && svg->isVisible());
    QVERIFY(qFuzzyCompare(view.scale(), 400.0 / 20000));
    view.itemRotate(90);
    view.itemCenter();
    QVERIFY((svg->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);
    QCOMPARE(svg->load(ItemInfoPtr()), -1);
}

void TestImageShowView::windowHandOver()
{
    ImageShowView& view = *m_view;
    FakeWindows windows;
    view.setHost(&windows);
    windows.items << itemFor(makeImage(m_dir->path(), "照片 一.png", 100, 60))
                  << itemFor(makeImage(m_dir->path(), "b.png", 10, 10));
    QVERIFY(showWhole(view, windows.items.first()));
    const QPoint onImage = view.mapFromScene(view.currentItem()->item->sceneBoundingRect().center());

    // Double click on the image: no window switch. Beside it: the manager comes forward and takes the viewer's
    // items when it shows another folder.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, onImage);
    QVERIFY(!windows.managerWnd.isVisible() && windows.calls.isEmpty());
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QVERIFY(windows.managerWnd.isVisible());
    QCOMPARE(windows.calls, QStringList { "load 2 照片 一.png" });

    // Same folder: only the file is selected; hideViewer hides the viewer.
    windows.current = m_dir->path();
    windows.viewerWnd.show();
    view.showPicMgr(true);
    QCOMPARE(windows.calls, QStringList({ "load 2 照片 一.png", "select 照片 一.png" }));
    QVERIFY(!windows.viewerWnd.isVisible());
}

VORN_XDG_TEST_MAIN(TestImageShowView)
#include "tst_imageshowview.moc"
