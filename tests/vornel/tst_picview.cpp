#include "common/vorneltest.h"
#include "dialogs/settingdlg.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "panels/exivinfoview.h"
#include "panels/filetreemodel.h"
#include "panels/filetreeview.h"
#include "panels/imagepreview.h"
#include "viewer/filelistitem.h"
#include "viewer/filelistwidget.h"
#include "viewer/imageshowitem.h"
#include "viewer/imageshowview.h"
#include "viewer/picview.h"
#include "viewer/reducedimage.h"
#include "viewer/showitem.h"

#include <QGraphicsItem>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QThreadPool>
#include <QToolButton>

#include <memory>

using namespace testutil;

namespace {

QWidget* part(PicView* view, const char* name)
{
    return view->findChild<QWidget*>(name);
}

QToolButton* button(PicView* view, const char* name)
{
    return view->findChild<QToolButton*>(name);
}

QString shownFile(PicView* view)
{
    const ShowItem* item = view->canvas()->currentItem();
    return item && item->item->isVisible() ? item->filePath : QString();
}

ImageShowItem* shownImage(PicView* view)
{
    return dynamic_cast<ImageShowItem*>(view->canvas()->currentItem());
}

// The shown picture's middle, in the canvas's viewport.
QPoint onPicture(PicView* view)
{
    return view->canvas()->mapFromScene(view->canvas()->currentItem()->item->sceneBoundingRect().center());
}

// A key pressed as the keyboard sends it: to the focus window, and from there to the focus widget and up.
void pressKey(Qt::Key key)
{
    QTest::keyClick(static_cast<QWidget*>(nullptr), key);
}

QModelIndex rowOf(MediaListView* grid, const QString& file)
{
    MediaModel* model = grid->mediaModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->filePath(model->index(row, 0)) == file)
            return model->index(row, 0);
    }
    return QModelIndex();
}

QStringList stripFiles(PicView* view)
{
    QStringList files;
    QLinkedList<ItemInfoPtr> items;
    view->getItems(items);
    for (const ItemInfoPtr& info : qAsConst(items))
        files << info->fileInfo.absoluteFilePath();
    return files;
}

// The manager shown on the folder with every cell loaded; null when it does not settle.
PicMgr* managerOn(const QString& folder, int rows)
{
    AppCfg::instance()->lastPath = folder;
    PicMgr* wnd = PicMgr::instance();
    wnd->show();
    MediaModel* model = wnd->form()->listView()->mediaModel();
    const bool loaded = QTest::qWaitFor(
        [&] {
            if (model->rowCount() != rows)
                return false;
            for (int row = 0; row < rows; ++row) {
                const ItemInfoPtr info = model->itemFromIndex(model->index(row, 0))->getInfo();
                if (info->tagReady != 1 || info->isBusy())
                    return false;
            }
            return true;
        },
        20000);
    return loaded ? wnd : nullptr;
}

} // namespace

class TestPicView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_env.reset(); }
    void init() { m_dir = std::make_unique<TempDir>(); }
    void cleanup();
    void formBarsAndCaption();
    void infoLineAndScale();
    void stepsAndTrashes();
    void chosenFileAndStripSettings();
    void managerAndViewerHandOver();
    void keysStepAfterMouseOnPicture();
    void fittedPictureFollowsWindow();
    void reducedPictureWithoutMoire();
    void trashedRowsLeaveBothWindows();
    void stripHighlightsTheShownRowAlone();
    void renameInStripReachesTheManager();

private:
    std::unique_ptr<VornelEnv> m_env;
    std::unique_ptr<TempDir> m_dir;
};

void TestPicView::initTestCase()
{
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornel-test");
    m_env = std::make_unique<VornelEnv>();
}

void TestPicView::cleanup()
{
    for (QWidget* w : { static_cast<QWidget*>(PicView::current()), static_cast<QWidget*>(PicMgr::current()) }) {
        if (w)
            w->close();
    }
    QTRY_VERIFY(!PicView::current() && !PicMgr::current());
    itemReleasePool->waitForDone(20000);
}

void TestPicView::formBarsAndCaption()
{
    // Closed before it was ever shown, the viewer keeps the bars as the user left them.
    PicView* view = PicView::instance();
    const auto bar = [&view](int i) { return view->viewMenu()->actions().at(i); };
    bar(0)->trigger();
    view->close();
    QTRY_VERIFY(!PicView::current());
    view = PicView::instance();
    QVERIFY(part(view, "titleBar")->isHidden() && !bar(0)->isChecked());
    QVERIFY(!part(view, "statusBar")->isHidden() && bar(1)->isChecked());
    bar(0)->trigger();
    QVERIFY(!part(view, "titleBar")->isHidden());

    for (const QToolButton* bt : view->findChildren<QToolButton*>())
        QVERIFY2(!bt->icon().isNull(), qPrintable(bt->objectName())); // the viewer's pictures are linked in
    auto* splitter = view->findChild<QSplitter*>("splitter");
    QVERIFY(
        splitter && splitter->indexOf(part(view, "lwImageList")) == 0 && splitter->indexOf(part(view, "gvImage")) == 1);

    // The title moves the window; the buttons, the logo and the status bar do not.
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    const auto at = [view](const char* name) { return part(view, name)->mapTo(view, QPoint(2, 2)); };
    QVERIFY(view->hitCaption(at("lbTitle")));
    QVERIFY(!view->hitCaption(at("btClose")) && !view->hitCaption(at("lbLogo")));
    QVERIFY(!view->hitCaption(at("statusBar")));
}

void TestPicView::infoLineAndScale()
{
    // Names of up to 23 characters are shown whole, longer ones cut to 20 and "...".
    const ItemInfoPtr whole = itemFor(makeImage(m_dir->path(), "照片abcdefghijklmnopq.png"));
    QCOMPARE(PicView::infoText(whole), QString(" : 照片abcdefghijklmnopq.png (%1,  像素)").arg(whole->fileSizeText()));
    const ItemInfoPtr cut = itemFor(makeImage(m_dir->path(), "照片abcdefghijklmnopqr.png"));
    QVERIFY(PicView::infoText(cut).startsWith(" : 照片abcdefghijklmnopqr... ("));

    PicView* view = PicView::instance();
    for (const auto& [scale, text] :
        { std::pair<double, const char*> { 1.1, "  1.1" }, { 0.729, "  0.72" }, { 2.5937424601, "  2.59" } }) {
        view->onScaleChanged(scale);
        QCOMPARE(qobject_cast<QLabel*>(part(view, "lbScaling"))->text(), QString(text));
    }
}

void TestPicView::stepsAndTrashes()
{
    QStringList files;
    for (const char* name : { "a.png", "b.png", "c.png" })
        files << makeImage(m_dir->path(), name, 300, 200);
    PicView* view = PicView::instance();
    view->show();
    view->selectFile(files.at(1));
    QTRY_COMPARE(shownFile(view), files.at(1));
    FileListWidget* list = view->fileList();
    QTRY_VERIFY(qobject_cast<QLabel*>(part(view, "lbInfo"))->text().contains("300 x 200")); // once the tags are in

    // Stepping stops at both ends.
    for (const char* step : { "btNextFile", "btNextFile", "btPrevFile", "btPrevFile", "btPrevFile", "btNextFile" })
        button(view, step)->click();
    QCOMPARE(shownFile(view), files.at(1));

    // To the trash: the next photo is shown; the last row gone, the one before it; the last photo gone, nothing.
    button(view, "btDelFile")->click();
    QCOMPARE(shownFile(view), files.at(2));
    QVERIFY(QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/b.png"));
    button(view, "btDelFile")->click();
    QCOMPARE(shownFile(view), files.at(0));
    button(view, "btDelFile")->click();
    QCOMPARE(list->count(), 0);
    QCOMPARE(shownFile(view), QString());
    QVERIFY(qobject_cast<QLabel*>(part(view, "lbInfo"))->text().isEmpty());
}

void TestPicView::chosenFileAndStripSettings()
{
    // A chosen file is shown, and "LastPath" keeps its folder, never the file.
    const QString photo = makeImage(m_dir->path(), "选 的.png", 300, 400);
    PicView* view = PicView::instance();
    view->show();
    view->openChosenFile(photo);
    QCOMPARE(AppCfg::instance()->lastPath, m_dir->path());
    QTRY_COMPARE(shownFile(view), photo);
    const auto thumbHeight = [view] {
        const ItemInfoPtr info = view->fileList()->currentInfo();
        return info ? info->listThumbnail().height() : 0;
    };
    QTRY_VERIFY(thumbHeight() > 0);
    const int before = thumbHeight();

    // The dialog opens on the strip's page; a higher strip thumbnail refits the strip's thumbnails.
    QString page;
    onNextModal(
        [&page](QWidget* w) {
            auto* dlg = qobject_cast<SettingDlg*>(w);
            QVERIFY(dlg);
            auto* tabs = dlg->findChild<QTabWidget*>("tabWidget");
            page = tabs->tabText(tabs->currentIndex());
            auto* height = dlg->findChild<QSpinBox*>("sbListThumbHeight");
            height->setValue(height->value() + 40);
            dlg->findChild<QPushButton*>("btOk")->click();
        },
        60000);
    view->onShowSetting();
    QCOMPARE(page, QString("图像列表"));
    QCOMPARE(thumbHeight(), before + 40);
}

void TestPicView::managerAndViewerHandOver()
{
    const QString first = makeImage(m_dir->path(), "照片 一.jpg", 300, 200);
    const QString second = makeImage(m_dir->path(), "照片 二.jpg");
    QVERIFY(writeBytes(m_dir->file("坏 的.jpg"), QByteArray("not a photo")));
    AppCfg::instance()->lastPath = m_dir->path();

    // The manager lists "LastPath"; a double click in the grid opens the viewer on that photo, with the grid's items.
    PicMgr* wnd = PicMgr::instance();
    wnd->show();
    MediaListView* grid = wnd->form()->listView();
    MediaModel* model = grid->mediaModel();
    QTRY_COMPARE(model->rowCount(), 3);
    int row = 0;
    while (model->filePath(model->index(row, 0)) != first)
        ++row;
    grid->slot_double_clicked(model->index(row, 0));
    PicView* view = PicView::current();
    QVERIFY(view && view->isVisible());
    QLinkedList<ItemInfoPtr> gridItems, viewItems;
    model->items(gridItems);
    view->getItems(viewItems);
    QVERIFY(viewItems == gridItems);
    QTRY_COMPARE(shownFile(view), first);

    // Each window, minimised, comes back as it was: the manager maximised, the viewer not; the manager on the
    // viewer's photo.
    QCOMPARE(view->selectFile(second), 0);
    wnd->showMaximized();
    wnd->showMinimized();
    view->onPicMgr();
    QVERIFY(!wnd->isMinimized() && wnd->isMaximized());
    QCOMPARE(model->filePath(grid->currentIndex()), second);
    view->showMinimized();
    grid->slot_double_clicked(grid->currentIndex());
    QVERIFY(!view->isMinimized() && !view->isMaximized() && view->isVisible());

    // A photo trashed in the viewer leaves the grid too when the manager comes back on the same folder.
    view->selectFile(first);
    button(view, "btDelFile")->click();
    view->onPicMgr();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->filePath(grid->currentIndex()), shownFile(view));
    // The grid holds those rows now: coming back once more only selects, the grid is not rebuilt (its filter and
    // place kept).
    QSignalSpy rebuilt(grid, &MediaListView::itemCleared);
    view->onPicMgr();
    QCOMPARE(rebuilt.count(), 0);
    QCOMPARE(model->filePath(grid->currentIndex()), shownFile(view));

    // And one trashed in the grid leaves the strip when the viewer comes back on the same folder.
    grid->setCurrentIndex(model->index(0, 0));
    grid->onDelete();
    QCOMPARE(model->rowCount(), 1);
    grid->slot_double_clicked(model->index(0, 0));
    QCOMPARE(view->fileList()->count(), 1);
}

void TestPicView::keysStepAfterMouseOnPicture()
{
    QStringList files;
    for (const char* name : { "a.png", "b 照片.png", "c.png" })
        files << makeImage(m_dir->path(), name, 300, 200);
    PicView* view = PicView::instance();
    view->show();
    QApplication::setActiveWindow(view);
    QVERIFY(QTest::qWaitForWindowActive(view));
    view->selectFile(files.at(1));
    QTRY_COMPARE(shownFile(view), files.at(1));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view->fileList()));
    QWidget* canvas = view->canvas()->viewport();

    // A click on the picture leaves the keyboard with the strip: left and right step.
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, onPicture(view));
    pressKey(Qt::Key_Right);
    QCOMPARE(shownFile(view), files.at(2));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(view->fileList()));

    // So do a drag of the picture and a double click on it.
    const QPoint from = onPicture(view);
    QTest::mousePress(canvas, Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(canvas, from + QPoint(30, 20));
    QTest::mouseRelease(canvas, Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 20));
    pressKey(Qt::Key_Left);
    pressKey(Qt::Key_Left);
    QCOMPARE(shownFile(view), files.at(0));
    pressKey(Qt::Key_Left); // the first row stays
    QCOMPARE(shownFile(view), files.at(0));
    QTest::mouseDClick(canvas, Qt::LeftButton, Qt::NoModifier, onPicture(view));
    QVERIFY(!PicMgr::current()); // on the picture itself: no window switch
    pressKey(Qt::Key_Right);
    QCOMPARE(shownFile(view), files.at(1));

    // With the strip hidden the keys still step.
    button(view, "btShowImageList")->click();
    QTest::mouseClick(canvas, Qt::LeftButton, Qt::NoModifier, onPicture(view));
    pressKey(Qt::Key_Right);
    QCOMPARE(shownFile(view), files.at(2));
}

void TestPicView::fittedPictureFollowsWindow()
{
    const QString photo = makeImage(m_dir->path(), "大 照片.jpg", 3200, 2400);
    PicView* view = PicView::instance();
    view->resize(600, 450);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->selectFile(photo);
    QTRY_COMPARE(shownFile(view), photo);
    ImageShowView* canvas = view->canvas();
    auto* scaling = qobject_cast<QLabel*>(part(view, "lbScaling"));
    // Fitted to the canvas as it is now, and told in the status bar.
    const auto fits = [&](double w, double h) {
        const double scale = std::min(canvas->width() / w, canvas->height() / h);
        return qFuzzyCompare(canvas->scale(), scale)
            && scaling->text() == "  " + QString::number(scale, 'g', 6).left(4);
    };
    QTRY_VERIFY(fits(3200, 2400));
    const double small = canvas->scale();

    // Maximised and back: fitted again each time.
    view->showMaximized();
    QTRY_VERIFY(view->isMaximized() && canvas->scale() > small);
    QVERIFY(fits(3200, 2400));
    view->showNormal();
    QTRY_VERIFY(!view->isMaximized() && qFuzzyCompare(canvas->scale(), small));
    QVERIFY(fits(3200, 2400));

    // Turned, it fits turned.
    button(view, "btRightRotate")->click();
    view->resize(640, 480);
    QTRY_VERIFY(fits(2400, 3200));
    button(view, "btLeftRotate")->click();

    // Zoomed by the user: a resize keeps the zoom (and the middle of the picture where it was).
    button(view, "btZoomIn")->click();
    const double zoomed = canvas->scale();
    const QPointF middle = canvas->currentItem()->item->mapFromScene(
        canvas->mapToScene(canvas->viewport()->rect()).boundingRect().center());
    const int margin = view->width() - canvas->width();
    view->resize(700, 520);
    QTRY_COMPARE(canvas->width(), 700 - margin); // laid out
    QCOMPARE(canvas->scale(), zoomed);
    const QPointF after = canvas->currentItem()->item->mapFromScene(
        canvas->mapToScene(canvas->viewport()->rect()).boundingRect().center());
    QVERIFY((after - middle).manhattanLength() < 4 / zoomed);

    // Fit (small pictures enlarged too) is kept through resizes like best size.
    button(view, "btFit")->click();
    view->resize(620, 600);
    QTRY_VERIFY(fits(3200, 2400));
    button(view, "btOriginal")->click();
    view->resize(600, 450);
    QTRY_COMPARE(canvas->width(), 600 - margin);
    QCOMPARE(canvas->scale(), 1.0);
}

void TestPicView::reducedPictureWithoutMoire()
{
    const QString path = m_dir->file("线 条.png");
    QVERIFY(lineImage(1601, 1201).save(path));
    PicView* view = PicView::instance();
    view->resize(760, 560);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view));
    view->selectFile(path);
    QTRY_COMPARE(shownFile(view), path);
    ImageShowView* canvas = view->canvas();
    ImageShowItem* item = shownImage(view);
    QTRY_VERIFY_WITH_TIMEOUT(!item->showsThumbnail() && !item->pixmap().isNull(), 10000);

    // The lines as the canvas shows them: one even grey, as an area average gives (black and white columns).
    const auto spread = [&] {
        const QImage shot = canvas->viewport()->grab().toImage();
        const QRect picture = canvas->mapFromScene(item->sceneBoundingRect()).boundingRect();
        const QRect inner
            = picture.adjusted(picture.width() / 8, picture.height() / 8, -picture.width() / 8, -picture.height() / 8);
        return greyMeanAndSpread(shot, inner);
    };
    const auto copyServes = [&] {
        canvas->viewport()->repaint();
        return ReducedImage::isNear(item->reduced().copyScale(), canvas->scale());
    };
    QVERIFY(canvas->scale() < 0.5);
    QTRY_VERIFY_WITH_TIMEOUT(copyServes(), 10000);
    QPair<double, double> grey = spread(); // mean, standard deviation
    QVERIFY2(std::abs(grey.first - 127.5) < 10 && grey.second < 10, qPrintable(QString::number(grey.second)));

    // A slightly resized canvas keeps drawing from the same copy.
    const double made = item->reduced().copyScale();
    view->resize(766, 564);
    QTRY_VERIFY(canvas->scale() != made);
    canvas->viewport()->repaint();
    QCOMPARE(item->reduced().copyScale(), made);
    QVERIFY(!item->reduced().busy());

    // A zoom step asks for a new copy off this thread: until it comes the picture is drawn as it is, at once.
    {
        PoolGate gate(imageLoadPool);
        QVERIFY(gate.holding());
        button(view, "btZoomOut")->click();
        canvas->viewport()->repaint();
        QVERIFY(item->reduced().busy() && item->reduced().copyScale() == made);
    }
    QTRY_VERIFY_WITH_TIMEOUT(copyServes(), 10000);
    grey = spread();
    QVERIFY2(std::abs(grey.first - 127.5) < 10 && grey.second < 10, qPrintable(QString::number(grey.second)));

    // At scale 1 the picture is drawn from its own pixels: no copy is made.
    button(view, "btOriginal")->click();
    canvas->viewport()->repaint();
    QVERIFY(!item->reduced().busy());
}

void TestPicView::trashedRowsLeaveBothWindows()
{
    QStringList files;
    for (const char* name : { "1 一.png", "2 二 照片.png", "3 三.png", "4 四.png" })
        files << makeImage(m_dir->path(), name, 300, 200);
    PicMgr* wnd = managerOn(m_dir->path(), 4);
    QVERIFY(wnd);
    MediaListView* grid = wnd->form()->listView();
    MediaModel* model = grid->mediaModel();

    // Trashed in the viewer, the photo leaves the grid at once, and stays out once the viewer is closed by its
    // title-bar button.
    grid->setCurrentIndex(rowOf(grid, files.at(1)));
    grid->slot_double_clicked(rowOf(grid, files.at(1)));
    PicView* view = PicView::current();
    QTRY_COMPARE(shownFile(view), files.at(1));
    button(view, "btDelFile")->click();
    QCOMPARE(shownFile(view), files.at(2));
    QCOMPARE(model->rowCount(), 3);
    QVERIFY(!rowOf(grid, files.at(1)).isValid());
    // In both windows the next photo takes its place.
    QCOMPARE(model->filePath(grid->currentIndex()), files.at(2));
    QVERIFY(grid->selectionModel()->isSelected(grid->currentIndex()));
    button(view, "btClose")->click();
    QTRY_VERIFY(!PicView::current());
    QCOMPARE(model->rowCount(), 3);

    // A neighbour opened again: the viewer gets the grid's rows, the trashed photo not among them.
    grid->slot_double_clicked(rowOf(grid, files.at(2)));
    view = PicView::current();
    QTRY_COMPARE(shownFile(view), files.at(2));
    QCOMPARE(stripFiles(view), QStringList({ files.at(0), files.at(2), files.at(3) }));

    // Removed by other hands meanwhile: deleting it says it is gone, not that it stays, and it leaves both windows.
    QVERIFY(QFile::remove(files.at(2)));
    const auto told = answerMessageBox();
    button(view, "btDelFile")->click();
    QVERIFY(told->ran && told->text.contains(files.at(2)) && told->text.contains("已不在原处"));
    QVERIFY(!told->text.contains("仍在原处"));
    QCOMPARE(stripFiles(view), QStringList({ files.at(0), files.at(3) }));
    QCOMPARE(model->rowCount(), 2);

    // One that went while the user was in another window leaves both when the manager comes to the front.
    QVERIFY(QFile::remove(files.at(3)));
    QApplication::setActiveWindow(wnd);
    QTRY_COMPARE(model->rowCount(), 1);
    QCOMPARE(stripFiles(view), QStringList({ files.at(0) }));

    // The folder's volume unplugged meanwhile, its mount point left empty (the photo moved aside stands in): the
    // cells stay in both windows when they come to the front, as the photo's row does, and a rename says the file
    // cannot be reached.
    const auto renameFirst = [&](const QString& name) {
        grid->setCurrentIndex(model->index(0, 0));
        grid->onRename();
        grid->nameEditor()->setText(name);
        const auto said = answerMessageBox();
        QTest::keyClick(grid->nameEditor(), Qt::Key_Return);
        return said->ran ? said->text : QString();
    };
    TempDir aside;
    QVERIFY(QFile::rename(files.at(0), aside.file("1.png")));
    {
        ListedMountPoints listed({ m_dir->path() });
        QApplication::setActiveWindow(view);
        QApplication::setActiveWindow(wnd);
        QThreadPool::globalInstance()->waitForDone();
        QCoreApplication::processEvents();
        QVERIFY(renameFirst("新 名.png").contains("无法访问"));
    }
    QCOMPARE(model->rowCount(), 1);
    QCOMPARE(stripFiles(view), QStringList({ files.at(0) }));
    QVERIFY(QFile::rename(aside.file("1.png"), files.at(0)));

    // The last photo trashed in the grid: the viewer shows nothing, its information line is blank.
    grid->selectAll();
    grid->onDelete();
    QCOMPARE(view->fileList()->count(), 0);
    QCOMPARE(shownFile(view), QString());
    QVERIFY(qobject_cast<QLabel*>(part(view, "lbInfo"))->text().isEmpty());

    // The folder's last photos deleted by other hands: renaming one says it is gone, not out of reach, and its cell
    // leaves; the other's leaves when the manager comes to the front.
    files << makeImage(m_dir->path(), "5 五.png", 300, 200) << makeImage(m_dir->path(), "6 六.png", 300, 200);
    grid->onRefresh();
    QTRY_COMPARE(model->rowCount(), 2);
    QVERIFY(QFile::remove(files.at(4)) && QFile::remove(files.at(5)));
    const QString said = renameFirst("新 名.png");
    QVERIFY2(said.contains("已不在原处") && !said.contains("无法访问"), qPrintable(said));
    QCOMPARE(model->rowCount(), 1);
    QApplication::setActiveWindow(view);
    QApplication::setActiveWindow(wnd);
    QTRY_COMPARE(model->rowCount(), 0);
}

void TestPicView::stripHighlightsTheShownRowAlone()
{
    QStringList files;
    for (const char* name : { "a.png", "b.png", "c.png", "d.png" })
        files << makeImage(m_dir->path(), name);
    PicMgr* wnd = managerOn(m_dir->path(), 4);
    QVERIFY(wnd);
    MediaListView* grid = wnd->form()->listView();
    grid->slot_double_clicked(rowOf(grid, files.at(0)));
    PicView* view = PicView::current();
    FileListWidget* list = view->fileList();
    QTRY_COMPARE(shownFile(view), files.at(0));
    const auto highlighted = [list] {
        QStringList names;
        for (const QListWidgetItem* item : list->selectedItems())
            names << static_cast<const FileListItem*>(item)->itemInfo()->fileName();
        return names;
    };
    QCOMPARE(highlighted(), QStringList({ "a.png" }));
    // Rows highlighted one by one, as the user's clicks with Ctrl do.
    const auto highlightAll = [list] {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setSelected(true);
    };

    // Rows the user highlighted go when the arrows step, when the grid sends the viewer another photo and when the
    // viewer comes back from the manager.
    highlightAll();
    button(view, "btNextFile")->click();
    QCOMPARE(highlighted(), QStringList({ "b.png" }));
    highlightAll();
    grid->slot_double_clicked(rowOf(grid, files.at(3)));
    QTRY_COMPARE(shownFile(view), files.at(3));
    QCOMPARE(highlighted(), QStringList({ "d.png" }));
    highlightAll();
    view->onPicMgr();
    grid->slot_double_clicked(rowOf(grid, files.at(2)));
    QCOMPARE(highlighted(), QStringList({ "c.png" }));

    // So the strip's "删除(&D)" trashes the photo on screen alone.
    list->onDelete();
    QCOMPARE(stripFiles(view), QStringList({ files.at(0), files.at(1), files.at(3) }));
    QVERIFY(QFile::exists(files.at(0)) && QFile::exists(files.at(1)) && !QFile::exists(files.at(2)));
}

void TestPicView::renameInStripReachesTheManager()
{
    const QString first = makeImage(m_dir->path(), "旧 名.png", 300, 200);
    const QString second = makeImage(m_dir->path(), "other.png");
    PicMgr* wnd = managerOn(m_dir->path(), 2);
    QVERIFY(wnd);
    ImageViewForm* form = wnd->form();
    MediaListView* grid = form->listView();
    const auto renameShown = [](PicView* view, const QString& name) {
        onNextModal([name](QWidget* w) {
            w->findChild<QLineEdit*>("leFileName")->setText(name);
            w->findChild<QPushButton*>("btRename")->click();
        });
        view->fileList()->onRename();
    };

    // The items are the grid's: the metadata panel and the preview follow the new name.
    grid->setCurrentIndex(rowOf(grid, first));
    grid->slot_double_clicked(rowOf(grid, first));
    PicView* view = PicView::current();
    QTRY_COMPARE(shownFile(view), first);
    QTRY_COMPARE(form->exivInfo()->fileInfo().fileName(), QString("旧 名.png"));
    renameShown(view, "新 名.png");
    QCOMPARE(form->exivInfo()->fileInfo().fileName(), QString("新 名.png"));
    QCOMPARE(form->preview()->fileInfo().fileName(), QString("新 名.png"));
    QTRY_COMPARE(shownFile(view), m_dir->file("新 名.png"));

    // The viewer listed the folder itself: the grid's own cell takes the new name too.
    view->close();
    QTRY_VERIFY(!PicView::current());
    grid->setCurrentIndex(rowOf(grid, second));
    view = PicView::instance();
    view->show();
    QCOMPARE(view->selectFile(second), 1);
    QTRY_COMPARE(shownFile(view), second);
    QTRY_VERIFY(tagsLoadedAndIdle(view->fileList()->currentInfo()));
    QLinkedList<ItemInfoPtr> viewItems, gridItems;
    view->getItems(viewItems);
    form->getItems(gridItems);
    QVERIFY(viewItems.last() != gridItems.last());
    renameShown(view, "第二.png");
    QVERIFY(!rowOf(grid, second).isValid());
    QCOMPARE(grid->currentIndex(), rowOf(grid, m_dir->file("第二.png")));
    QCOMPARE(form->exivInfo()->fileInfo().fileName(), QString("第二.png"));

    // Its own rows follow a folder renamed in the manager's folder tree: the strip, the canvas and the next rename
    // use the new path.
    const QString album = m_dir->file("相册");
    QVERIFY(QDir().mkpath(album));
    const QString inAlbum = makeImage(album, "a.png", 300, 200);
    QVERIFY(!makeImage(album, "b.png").isEmpty());
    QCOMPARE(view->selectFile(inAlbum), 1);
    QTRY_COMPARE(shownFile(view), inAlbum);
    FileTreeView* tree = form->fileTree();
    QSignalSpy listed(tree->fileModel(), &QFileSystemModel::directoryLoaded);
    QVERIFY(tree->selectPath(album));
    QTRY_VERIFY(listed.contains({ m_dir->path() }));
    QVERIFY(tree->fileModel()->setData(tree->fileModel()->index(album), QString("相册 改")));
    const QString moved = m_dir->file("相册 改");
    QCOMPARE(view->fileList()->folder(), moved);
    QCOMPARE(stripFiles(view), QStringList({ moved + "/a.png", moved + "/b.png" }));
    QTRY_COMPARE(shownFile(view), moved + "/a.png");
    renameShown(view, "c.png");
    QTRY_COMPARE(shownFile(view), moved + "/c.png");
    QVERIFY(QFileInfo::exists(moved + "/c.png"));
}

VORN_XDG_TEST_MAIN(TestPicView)
#include "tst_picview.moc"
