#include "common/vorneltest.h"
#include "dialogs/settingdlg.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "viewer/filelistitem.h"
#include "viewer/filelistwidget.h"
#include "viewer/imageshowview.h"
#include "viewer/picview.h"
#include "viewer/showitem.h"

#include <QGraphicsItem>
#include <QLabel>
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
    QTRY_VERIFY(!view->fileList()->currentInfo()->listThumbnail().isNull());
    const int before = view->fileList()->currentInfo()->listThumbnail().height();

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
    QCOMPARE(view->fileList()->currentInfo()->listThumbnail().height(), before + 40);
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

VORN_XDG_TEST_MAIN(TestPicView)
#include "tst_picview.moc"
