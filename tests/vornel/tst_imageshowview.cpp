#include "appcfg.h"
#include "canvashost.h"
#include "gifshowitem.h"
#include "imageshowitem.h"
#include "imageshowview.h"
#include "medialistview.h"
#include "mediamodel.h"
#include "standinview.h"
#include "standinwnd.h"
#include "startup.h"
#include "svgshowitem.h"
#include "testutil.h"
#include "threadpools.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QMovie>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <memory>

using namespace testutil;

namespace {

// Three frames of 8 x 6: red, blue, green.
const char kAnimGif[]
    = "R0lGODlhCAAGAPAAAP8AAAAAACH5BAAKAAAAIf8LTkVUU0NBUEUyLjADAQAAACwAAAAACAAGAAACBoSPqct9BQAh+QQACgAAACwAAAAAC"
      "AAGAIAAAP8AAAACBoSPqct9BQAh+QQACgAAACwAAAAACAAGAIAA/wAAAAACBoSPqct9BQA7";

const char kSvg[] = "<svg xmlns='http://www.w3.org/2000/svg' width='300' height='200'>"
                    "<rect x='10' y='10' width='280' height='180' fill='teal'/></svg>";

ItemInfoPtr itemFor(const QString& path)
{
    ItemInfoPtr info(new ItemInfo());
    info->setFile(path);
    return info;
}

// The scene point under the middle of the viewport.
QPointF visibleCentre(QGraphicsView& view)
{
    return view.mapToScene(view.viewport()->rect()).boundingRect().center();
}

struct FakeManager : CanvasManager {
    QWidget wnd;
    QString current; // folder the grid shows
    QStringList selected;
    QStringList loadedFiles;
    int loadedCount = 0;

    QWidget* managerWidget() override { return &wnd; }
    bool isCurrentPath(const QString& filePath) override
    {
        return !current.isEmpty() && filePath.startsWith(current + "/");
    }
    int selectFile(const QString& filePath) override
    {
        selected << filePath;
        return 0;
    }
    int loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath) override
    {
        loadedCount = items.size();
        loadedFiles << filePath;
        return 0;
    }
};

struct FakeViewer : CanvasHost {
    QWidget wnd;
    QMenu menu;
    QLinkedList<ItemInfoPtr> items;
    FakeManager* mgr = nullptr;

    QWidget* viewerWidget() override { return &wnd; }
    QMenu* viewMenu() override { return &menu; }
    void getItems(QLinkedList<ItemInfoPtr>& out) override { out += items; }
    CanvasManager* manager() override { return mgr; }
};

} // namespace

class TestImageShowView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { createThreadPools(); }
    void cleanupTestCase() { destroyThreadPools(); }
    void init();
    void cleanup();
    void bestFitZoomRotate();
    void emptySizeAndNoItem();
    void gifAndSvg();
    void windowHandOver();
    void standInWindows();

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

void TestImageShowView::cleanup()
{
    m_view.reset();
    m_dir.reset();
}

void TestImageShowView::bestFitZoomRotate()
{
    ImageShowView& view = *m_view;
    QSignalSpy scales(&view, &ImageShowView::scaleChanged);
    QSignalSpy images(&view, &ImageShowView::imageChanged);

    // Smaller than the canvas: scale 1, centred.
    const ItemInfoPtr small = itemFor(makeImage(m_dir->path(), "small.png", 100, 60));
    view.onShowImage(small);
    QCOMPARE(view.kind(), int(ImageShowView::KindImage));
    QCOMPARE(scales.count(), 1);
    QCOMPARE(scales.last().at(0).toDouble(), 1.0);
    QCOMPARE(images.count(), 1);
    QCOMPARE(images.last().at(0).value<ItemInfoPtr>(), small);
    QGraphicsItem* item = view.currentItem()->item;
    QCOMPARE(item->boundingRect().size(), QSizeF(100, 60));
    QVERIFY((item->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);

    // Fit enlarges: min(400 / 100, 300 / 60).
    view.itemFit();
    QCOMPARE(view.scale(), 4.0);
    QCOMPARE(scales.last().at(0).toDouble(), 4.0);
    view.itemOriginal();
    QCOMPARE(view.scale(), 1.0);

    // Larger than the canvas: scaled down to fit, reported.
    const ItemInfoPtr large = itemFor(makeImage(m_dir->path(), "large.jpg", 1600, 600));
    view.onShowImage(large);
    item = view.currentItem()->item;
    QVERIFY(qFuzzyCompare(view.scale(), 400.0 / 1600.0));
    QVERIFY(qFuzzyCompare(scales.last().at(0).toDouble(), 0.25));
    QVERIFY((item->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);

    // A resized canvas keeps the image in its middle.
    view.resize(600, 500);
    QVERIFY((item->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);
    view.resize(400, 300);
    view.itemBest();

    // Zooming around the visible centre keeps the item point under it where it was.
    view.itemOriginal();
    const QPointF under = item->mapFromScene(visibleCentre(view));
    for (int i = 0; i < 10; ++i)
        view.itemZoom(1);
    QVERIFY(std::abs(view.scale() - std::pow(1.1, 10)) < 1e-9);
    QVERIFY((item->mapFromScene(visibleCentre(view)) - under).manhattanLength() < 0.5);
    view.itemZoom(-1);
    QVERIFY(std::abs(view.scale() - std::pow(1.1, 10) * 0.9) < 1e-9);

    // Limits: the last step may pass them, the next does nothing.
    item->setScale(31);
    view.itemZoom(1);
    QVERIFY(std::abs(view.scale() - 34.1) < 1e-9);
    view.itemZoom(1);
    QVERIFY(std::abs(view.scale() - 34.1) < 1e-9);
    item->setScale(0.0105);
    view.itemZoom(-1);
    QVERIFY(std::abs(view.scale() - 0.00945) < 1e-12);
    view.itemZoom(-1);
    QVERIFY(std::abs(view.scale() - 0.00945) < 1e-12);

    // Zoom around a point (the wheel over the image): the point stays put in the scene.
    view.itemOriginal();
    const QPointF anchor(300, 200);
    const QPointF before = item->mapToScene(anchor);
    view.currentItem()->zoomAt(120, anchor);
    QVERIFY(qFuzzyCompare(view.scale(), 1.1));
    QVERIFY((item->mapToScene(anchor) - before).manhattanLength() < 1e-6);
    view.currentItem()->zoomAt(-120, anchor);
    QVERIFY(qFuzzyCompare(view.scale(), 1.1 * 0.9));
    QVERIFY((item->mapToScene(anchor) - before).manhattanLength() < 1e-6);

    // Rotation adds up, centring keeps it, the next file starts upright.
    view.itemRotate(90);
    view.itemRotate(90);
    view.itemRotate(-90);
    view.itemCenter();
    QCOMPARE(item->rotation(), 90.0);
    QVERIFY((item->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);
    // Fit and best size take the turn into account.
    view.itemFit();
    QVERIFY(qFuzzyCompare(view.scale(), std::min(400.0 / 600, 300.0 / 1600)));
    view.itemBest();
    QVERIFY(qFuzzyCompare(view.scale(), std::min(400.0 / 600, 300.0 / 1600)));
    view.onShowImage(small);
    QCOMPARE(item->rotation(), 0.0);
    view.itemRotate(-90);
    view.itemFit();
    QCOMPARE(view.scale(), 3.0); // 60 x 100 turned, in 400 x 300
    view.itemRotate(90);

    // The wheel over empty canvas zooms around the visible centre.
    view.itemOriginal();
    const int before2 = scales.count();
    QWheelEvent wheel(QPointF(2, 2), view.viewport()->mapToGlobal(QPoint(2, 2)), QPoint(), QPoint(0, 120), Qt::NoButton,
        Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    QVERIFY(qFuzzyCompare(view.scale(), 1.1));
    QCOMPARE(scales.count(), before2 + 1);

    // The wheel over the image zooms around the pointer.
    view.itemOriginal();
    const QPoint at = view.mapFromScene(item->mapToScene(QPointF(20, 10)));
    QWheelEvent wheel2(at, view.viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel2);
    QVERIFY(qFuzzyCompare(view.scale(), 1.1));
    QVERIFY((view.mapFromScene(item->mapToScene(QPointF(20, 10))) - at).manhattanLength() <= 2);
}

void TestImageShowView::emptySizeAndNoItem()
{
    ImageShowView& view = *m_view;
    QSignalSpy scales(&view, &ImageShowView::scaleChanged);

    // Nothing shown yet: every operation does nothing.
    view.itemBest();
    view.itemFit();
    view.itemZoom(1);
    view.itemOriginal();
    view.itemRotate(90);
    view.itemCenter();
    view.filePos();
    view.hideAll();
    view.showPicMgr(false);
    QCOMPARE(scales.count(), 0);
    QVERIFY(!view.currentItem());
    view.onShowImage(ItemInfoPtr());
    QVERIFY(!view.currentItem());

    // Unreadable files (corrupt, zero bytes, missing) give an empty item: fit and zoom leave the scale alone.
    QVERIFY(writeBytes(m_dir->file("broken.jpg"), QByteArray("\xff\xd8\xff\xe0 not really a jpeg", 24)));
    QVERIFY(writeBytes(m_dir->file("empty.png"), QByteArray()));
    QVERIFY(writeBytes(m_dir->file("bad.svg"), QByteArray("<svg><g>")));
    QVERIFY(writeBytes(m_dir->file("bad.gif"), QByteArray("GIF89a")));
    const QStringList names { "broken.jpg", "empty.png", "missing.png", "bad.svg", "bad.gif" };
    for (const QString& name : names) {
        view.onShowImage(itemFor(m_dir->file(name)));
        QVERIFY2(view.currentItem(), qPrintable(name));
        QCOMPARE(view.currentItem()->filePath, m_dir->file(name));
        QVERIFY2(view.currentItem()->item->isVisible(), qPrintable(name));
        QCOMPARE(view.scale(), 1.0);
        view.itemFit();
        view.itemZoom(1);
        view.itemZoom(-1);
        view.currentItem()->zoomAt(120, QPointF(0, 0));
        view.itemBest();
        QVERIFY2(view.scale() == 1.0, qPrintable(name));
        for (const QList<QVariant>& args : qAsConst(scales))
            QVERIFY(std::isfinite(args.at(0).toDouble()));
        scales.clear();
    }

    // The full image the item already holds is shown without reading the file again.
    const QString kept = makeImage(m_dir->path(), "kept.png", 70, 50);
    const ItemInfoPtr loaded = itemFor(kept);
    QCOMPARE(loaded->loadFullImage(), 0);
    QTRY_VERIFY(loaded->fullImageState() > 0);
    QVERIFY(QFile::remove(kept));
    view.onShowImage(loaded);
    QCOMPARE(view.currentItem()->item->boundingRect().size(), QSizeF(70, 50));

    // hideAll hides everything but keeps the current item.
    view.hideAll();
    QVERIFY(view.currentItem());
    QVERIFY(!view.currentItem()->item->isVisible());
}

void TestImageShowView::gifAndSvg()
{
    ImageShowView& view = *m_view;
    const QString gifPath = m_dir->file("PHOTO.GIF");
    QVERIFY(writeBytes(gifPath, QByteArray::fromBase64(kAnimGif)));
    const QString svgPath = m_dir->file("drawing.SVG");
    QVERIFY(writeBytes(svgPath, kSvg));

    view.onShowImage(itemFor(gifPath));
    QCOMPARE(view.kind(), int(ImageShowView::KindGif));
    auto* gif = dynamic_cast<GifShowItem*>(view.currentItem());
    QVERIFY(gif);
    QVERIFY(gif->isVisible());
    QCOMPARE(gif->boundingRect().size(), QSizeF(8, 6));
    auto* label = qobject_cast<QLabel*>(gif->widget());
    QVERIFY(label && label->movie());
    QCOMPARE(label->movie()->state(), QMovie::Running);
    QCOMPARE(label->movie()->frameCount(), 3);
    QVERIFY(label->movie()->cacheMode() == QMovie::CacheAll);
    QTRY_VERIFY(label->movie()->currentFrameNumber() > 0);
    QCOMPARE(view.scale(), 1.0);
    view.itemFit();
    QCOMPARE(view.scale(), std::min(400.0 / 8, 300.0 / 6));

    // Another GIF reuses the item; an SVG after it stops the movie and hides it.
    view.onShowImage(itemFor(gifPath));
    QCOMPARE(view.currentItem(), static_cast<ShowItem*>(gif));
    QCOMPARE(gif->rotation(), 0.0);
    view.onShowImage(itemFor(svgPath));
    QCOMPARE(view.kind(), int(ImageShowView::KindSvg));
    QVERIFY(!gif->isVisible());
    QVERIFY(!gif->widget());
    QVERIFY(!label->movie());
    QVERIFY(!label->isVisible());

    auto* svg = dynamic_cast<SvgShowItem*>(view.currentItem());
    QVERIFY(svg && svg->isVisible());
    QCOMPARE(svg->boundingRect().size(), QSizeF(300, 200));
    QCOMPARE(view.scale(), 1.0);
    view.itemFit();
    QCOMPARE(view.scale(), std::min(400.0 / 300, 300.0 / 200));
    // A drawing as large as the scene stays centred, fitted and turned.
    QVERIFY(writeBytes(m_dir->file("wide.svg"),
        "<svg xmlns='http://www.w3.org/2000/svg' width='20000' height='10000'>"
        "<rect width='20000' height='10000' fill='navy'/></svg>"));
    view.onShowImage(itemFor(m_dir->file("wide.svg")));
    QVERIFY(qFuzzyCompare(view.scale(), 400.0 / 20000));
    QVERIFY((svg->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);
    view.itemRotate(90);
    view.itemCenter();
    QVERIFY((svg->sceneBoundingRect().center() - visibleCentre(view)).manhattanLength() <= 2);

    ItemInfoPtr none;
    QCOMPARE(svg->load(none), -1);
    QVERIFY(writeBytes(m_dir->file("bad.svg"), "<svg"));
    QCOMPARE(svg->load(itemFor(m_dir->file("bad.svg"))), -1);
    QVERIFY(svg->boundingRect().isEmpty());

    // Other suffixes are still images, whatever the letter case.
    const QString webp = makeImage(m_dir->path(), "image.webp", 50, 40);
    if (!webp.isEmpty()) {
        view.onShowImage(itemFor(webp));
        QCOMPARE(view.kind(), int(ImageShowView::KindImage));
        QCOMPARE(view.currentItem()->item->boundingRect().size(), QSizeF(50, 40));
        QVERIFY(!svg->isVisible());
    }
    view.onShowImage(itemFor(makeImage(m_dir->path(), "upper.PNG", 30, 20)));
    QCOMPARE(view.kind(), int(ImageShowView::KindImage));
    QCOMPARE(view.currentItem()->item->boundingRect().size(), QSizeF(30, 20));
}

void TestImageShowView::windowHandOver()
{
    ImageShowView& view = *m_view;
    FakeManager manager;
    FakeViewer viewer;
    viewer.mgr = &manager;
    view.setHost(&viewer);

    const QString photo = makeImage(m_dir->path(), "照片 一.png", 100, 60);
    viewer.items << itemFor(photo) << itemFor(makeImage(m_dir->path(), "b.png", 10, 10));
    view.onShowImage(viewer.items.first());
    const QPoint onImage = view.mapFromScene(view.currentItem()->item->sceneBoundingRect().center());
    const QPoint beside(5, 5);

    // Double click on the image: no window switch.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, onImage);
    QVERIFY(!manager.wnd.isVisible());
    QVERIFY(manager.selected.isEmpty() && manager.loadedFiles.isEmpty());

    // Beside it: the manager comes forward and takes the viewer's items when it shows another folder.
    QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier, beside);
    QVERIFY(manager.wnd.isVisible());
    QCOMPARE(manager.loadedFiles, QStringList { photo });
    QCOMPARE(manager.loadedCount, 2);
    QVERIFY(viewer.wnd.isHidden() || !viewer.wnd.isVisible());

    // Same folder: only the file is selected; hideViewer hides the viewer.
    manager.current = m_dir->path();
    viewer.wnd.show();
    view.showPicMgr(true);
    QCOMPARE(manager.selected, QStringList { photo });
    QCOMPARE(manager.loadedFiles.size(), 1);
    QVERIFY(!viewer.wnd.isVisible());

    // The view menu opens beside the image only.
    QContextMenuEvent onItem(QContextMenuEvent::Mouse, onImage, view.viewport()->mapToGlobal(onImage));
    QApplication::sendEvent(view.viewport(), &onItem);
    QVERIFY(!viewer.menu.isVisible());
    QContextMenuEvent besideItem(QContextMenuEvent::Mouse, beside, view.viewport()->mapToGlobal(beside));
    QApplication::sendEvent(view.viewport(), &besideItem);
    QVERIFY(viewer.menu.isVisible());
    viewer.menu.close();
}

void TestImageShowView::standInWindows()
{
    ProgramDir prog;
    QVERIFY(openDbPools());
    const QString first = makeImage(m_dir->path(), "照片 一.jpg", 300, 200);
    const QString second = makeImage(m_dir->path(), "b.png", 40, 30);
    QVERIFY(writeBytes(m_dir->file("坏 的.jpg"), QByteArray("not a photo")));
    AppCfg::instance(1)->lastPath = m_dir->path();

    // The grid lists "LastPath".
    StandInWnd* wnd = StandInWnd::instance();
    wnd->show();
    MediaListView* grid = wnd->grid();
    MediaModel* model = grid->mediaModel();
    QTRY_COMPARE(model->rowCount(), 3);
    auto rowOf = [model](const QString& path) {
        for (int r = 0; r < model->rowCount(); ++r) {
            if (model->filePath(model->index(r, 0)) == path)
                return r;
        }
        return -1;
    };

    // A double-clicked photo opens in the viewer, which takes the grid's items.
    grid->slot_double_clicked(model->index(rowOf(first), 0));
    StandInView* viewer = StandInView::current();
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->rowCount(), 3);
    QCOMPARE(viewer->canvas()->currentItem()->filePath, first);
    QCOMPARE(viewer->canvas()->currentItem()->item->boundingRect().size(), QSizeF(300, 200));
    for (int r = 0; r < viewer->rowCount(); ++r)
        QVERIFY(viewer->showRow(r)); // the unreadable one too
    QVERIFY(!viewer->showRow(viewer->rowCount()));
    QVERIFY(viewer->showRow(rowOf(second)));

    // Back to the manager with the shown file selected.
    viewer->canvas()->showPicMgr(true);
    QVERIFY(!viewer->isVisible());
    QVERIFY(wnd->isVisible());
    QCOMPARE(model->filePath(grid->currentIndex()), second);

    // A missing folder is refused and keeps the listing.
    QVERIFY(!wnd->loadPath(m_dir->file("不存在")));
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(AppCfg::instance()->lastPath, m_dir->path());

    viewer->close();
    wnd->close();
    QTRY_VERIFY(!StandInWnd::current() && !StandInView::current());
    closeDbPools();
}

QTEST_MAIN(TestImageShowView)
#include "tst_imageshowview.moc"
