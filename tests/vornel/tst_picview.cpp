#include "common/photomaker.h"
#include "common/vorneltest.h"
#include "dialogs/settingdlg.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "sys/platform.h"
#include "viewer/filelistitem.h"
#include "viewer/filelistwidget.h"
#include "viewer/imageshowitem.h"
#include "viewer/imageshowview.h"
#include "viewer/picview.h"

#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
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

// The viewer on the file, shown, its folder listed.
PicView* viewerOn(const QString& file)
{
    PicView* view = PicView::instance();
    view->show();
    view->selectFile(file);
    return QTest::qWaitFor([&] { return shownFile(view) == file; }, 10000) ? view : nullptr;
}

} // namespace

class TestPicView : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_env.reset(); }
    void init() { m_dir = std::make_unique<TempDir>(); }
    void cleanup();
    void formAsDesigned();
    void infoLineAndScale();
    void stepsZoomsTurnsAndTrashes();
    void barsKeptAcrossReopening();
    void chosenFileKeepsItsFolder();
    void settingsOnTheStripPage();
    void toolThatCannotStart();
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

void TestPicView::formAsDesigned()
{
    PicView* view = PicView::instance();
    QCOMPARE(view->objectName(), QString("PicView"));
    QCOMPARE(view->windowTitle(), QString("蔚禾照片管理 - 照片查看"));
    QCOMPARE(view->font().family(), QString("微软雅黑"));
    QCOMPARE(qobject_cast<QLabel*>(part(view, "lbTitle"))->text(), view->windowTitle());
    QCOMPARE(qobject_cast<QLabel*>(part(view, "lbScaling"))->text(), QString("  1.0"));
    QVERIFY(!qobject_cast<QLabel*>(part(view, "lbLogo"))->pixmap()->isNull());
    QCOMPARE(part(view, "lwImageList"), static_cast<QWidget*>(view->fileList()));
    QCOMPARE(part(view, "gvImage"), static_cast<QWidget*>(view->canvas()));
    for (const char* name : { "layMain", "titleBar", "lbInfo", "layCenter", "statusBar" })
        QVERIFY2(view->findChild<QObject*>(name), name);

    // Every tool with its text, its own picture at its size, and its tip.
    const struct {
        const char* name;
        const char* text;
        const char* pic;
        int size;
        const char* tip;
    } tools[] = {
        { "btMainMenu", "...", "menu.png", 18, "" },
        { "btMinimize", "...", "minimize.png", 18, "" },
        { "btMaximize", "...", "maximize.png", 18, "" },
        { "btClose", "...", "close.png", 18, "" },
        { "btShowImageList", "照片列表", "list.png", 18, "显示或隐藏文件列表" },
        { "btDelFile", "删除文件", "delete.png", 18, "删除文件" },
        { "btFilePos", "文件位置", "filepos.png", 20, "定位文件位置" },
        { "btCenter", "居中", "center.png", 20, "居中" },
        { "btFit", "适合", "fit.png", 20, "适合窗口" },
        { "btOriginal", "原始", "original.png", 20, "原始大小" },
        { "btZoomIn", "放大", "zoomin.png", 20, "放大" },
        { "btZoomOut", "缩小", "zoomout.png", 20, "缩小" },
        { "btLeftRotate", "向左旋转", "leftrotate.png", 20, "向左旋转90度" },
        { "btRightRotate", "向右旋转", "rightrotate.png", 20, "向右旋转90度" },
        { "btPrevFile", "上一张", "prev.png", 18, "上一张" },
        { "btNextFile", "下一张", "next.png", 18, "下一张" },
        { "btLoadImageFile", "打开照片", "open.png", 18, "打开照片" },
    };
    for (const auto& t : tools) {
        QToolButton* bt = button(view, t.name);
        QVERIFY2(bt && bt->autoRaise() && bt->minimumSize() == QSize(30, 30), t.name);
        QCOMPARE(bt->text(), QString(t.text));
        QCOMPARE(bt->iconSize(), QSize(t.size, t.size));
        QVERIFY2(!QPixmap(QString(":/pic/") + t.pic).isNull() && !bt->icon().isNull(), t.pic);
        QCOMPARE(bt->toolTip(), QString(t.tip));
    }

    // The main menu, each entry's status tip its text; its "视图" menu is the canvas's.
    QStringList entries;
    for (QAction* a : view->mainMenu()->actions()) {
        if (!a->isSeparator()) {
            entries << a->text();
            QVERIFY(a->menu() || a->statusTip() == a->text());
        }
    }
    QCOMPARE(entries, QStringList({ "照片管理", "照片整理", "照片去重", "标签同步", "选项", "视图", "帮助", "退出" }));
    QCOMPARE(view->viewMenu()->title(), QString("视图"));
    QCOMPARE(view->canvas()->host()->viewMenu(), view->viewMenu());
    for (QAction* a : view->viewMenu()->actions())
        QVERIFY(a->isCheckable() && a->isChecked());

    // The title and the information line move the window; the buttons and the logo do not.
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
    const QString whole = makeImage(m_dir->path(), "照片abcdefghijklmnopq.png"); // 23 characters
    const QString cut = makeImage(m_dir->path(), "照片abcdefghijklmnopqr.png");
    QVERIFY(!whole.isEmpty() && !cut.isEmpty());
    const ItemInfoPtr info = itemFor(whole);
    QCOMPARE(PicView::infoText(info), QString(" : 照片abcdefghijklmnopq.png (%1,  像素)").arg(info->fileSizeText()));
    QVERIFY(PicView::infoText(itemFor(cut)).startsWith(" : 照片abcdefghijklmnopqr... ("));

    PicView* view = PicView::instance();
    auto* scaling = qobject_cast<QLabel*>(part(view, "lbScaling"));
    for (const auto& [scale, text] :
        { std::pair<double, const char*> { 1.1, "  1.1" }, { 0.729, "  0.72" }, { 2.5937424601, "  2.59" } }) {
        view->onScaleChanged(scale);
        QCOMPARE(scaling->text(), QString(text));
    }
}

void TestPicView::stepsZoomsTurnsAndTrashes()
{
    QStringList files;
    for (const char* name : { "a.png", "b.png", "c.png" })
        files << makeImage(m_dir->path(), name, 300, 200);
    PicView* view = viewerOn(files.at(1));
    QVERIFY(view);
    FileListWidget* list = view->fileList();
    QTRY_VERIFY(qobject_cast<QLabel*>(part(view, "lbInfo"))->text().contains("b.png (")); // its size follows

    // Stepping stops at both ends.
    for (const char* step : { "btNextFile", "btNextFile", "btPrevFile", "btPrevFile", "btPrevFile" })
        button(view, step)->click();
    QCOMPARE(shownFile(view), files.at(0));

    // A step to a photo whose full image is not there yet shows its thumbnail at once; the decode is left to the
    // pool (held here), never done on this thread.
    const ItemInfoPtr next = list->rowItem(1)->itemInfo();
    QTRY_COMPARE(next->thumbReady.load(), 1);
    {
        PoolGate gate(imageLoadPool);
        QVERIFY(gate.holding());
        next->releaseFullImage();
        button(view, "btNextFile")->click();
        QCOMPARE(shownFile(view), files.at(1));
        QVERIFY(shownImage(view)->showsThumbnail());
        QVERIFY(next->fullImageState() <= 0);
    }
    QTRY_VERIFY(!shownImage(view)->showsThumbnail());

    // Zoom and turn the shown picture.
    auto* scaling = qobject_cast<QLabel*>(part(view, "lbScaling"));
    button(view, "btOriginal")->click();
    button(view, "btZoomIn")->click();
    QCOMPARE(scaling->text(), QString("  1.1"));
    button(view, "btZoomOut")->click();
    QCOMPARE(scaling->text(), QString("  0.99"));
    button(view, "btRightRotate")->click();
    QCOMPARE(shownImage(view)->rotation(), 90.0);
    button(view, "btLeftRotate")->click();
    QCOMPARE(shownImage(view)->rotation(), 0.0);

    // To the trash: the next photo is shown. One that cannot go stays, and the user is told.
    button(view, "btDelFile")->click();
    QCOMPARE(list->count(), 2);
    QCOMPARE(shownFile(view), files.at(2));
    QVERIFY(QFile::exists(qEnvironmentVariable("XDG_DATA_HOME") + "/Trash/files/b.png"));
    QVERIFY(QFile::remove(files.at(2)));
    const auto told = answerMessageBox();
    button(view, "btDelFile")->click();
    QVERIFY(told->ran && told->text.contains(files.at(2)));
    QCOMPARE(list->count(), 2);
    QCOMPARE(shownFile(view), files.at(2));
    // The last row gone, the one before it is shown; the last photo gone, nothing is.
    QVERIFY(!makeImage(m_dir->path(), "c.png").isEmpty());
    button(view, "btDelFile")->click();
    QCOMPARE(shownFile(view), files.at(0));
    button(view, "btDelFile")->click();
    QCOMPARE(list->count(), 0);
    QCOMPARE(shownFile(view), QString());
}

void TestPicView::barsKeptAcrossReopening()
{
    PicView* view = PicView::instance();
    view->show();
    const QList<QAction*> bars = view->viewMenu()->actions();
    bars.at(0)->trigger();
    QVERIFY(part(view, "titleBar")->isHidden() && !bars.at(0)->isChecked());
    view->close();
    QTRY_VERIFY(!PicView::current());

    // Reopened: the title bar stays hidden, its entry unchecked; the status bar is as it was.
    view = PicView::instance();
    QVERIFY(part(view, "titleBar")->isHidden() && !view->viewMenu()->actions().at(0)->isChecked());
    QVERIFY(!part(view, "statusBar")->isHidden() && view->viewMenu()->actions().at(1)->isChecked());
    view->viewMenu()->actions().at(0)->trigger();
    QVERIFY(!part(view, "titleBar")->isHidden());
}

void TestPicView::chosenFileKeepsItsFolder()
{
    const QString photo = makeImage(m_dir->path(), "选 的.png");
    AppCfg::instance()->lastPath = m_dir->path();
    PicView* view = PicView::instance();
    view->show();

    // Cancelled: nothing changes.
    onNextModal([](QWidget* w) { qobject_cast<QDialog*>(w)->reject(); }, 60000);
    view->on_btLoadImageFile_clicked();
    QCOMPARE(AppCfg::instance()->lastPath, m_dir->path());
    QCOMPARE(view->fileList()->count(), 0);

    // Chosen: the viewer shows it, and "LastPath" keeps its folder, never the file.
    AppCfg::instance()->lastPath = "/";
    view->openChosenFile(photo);
    QCOMPARE(AppCfg::instance()->lastPath, m_dir->path());
    QTRY_COMPARE(shownFile(view), photo);
}

void TestPicView::settingsOnTheStripPage()
{
    PicView* view = viewerOn(makeImage(m_dir->path(), "a.png"));
    QVERIFY(view);
    const int before = view->fileList()->visualItemRect(view->fileList()->item(0)).height();

    // The dialog opens on the strip's page; a new thumbnail height lays the strip out again.
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
    QCOMPARE(view->fileList()->visualItemRect(view->fileList()->item(0)).height(), before + 40);
}

void TestPicView::toolThatCannotStart()
{
    // None of the tools lies beside the test program.
    PicView* view = PicView::instance();
    const auto told = answerMessageBox();
    view->onVornsort();
    QVERIFY(told->ran);
    QCOMPARE(told->text, QString("启动进程失败！\n%1。").arg(platform::toolPath("vornsort")));
}

void TestPicView::managerAndViewerHandOver()
{
    const QString first = makeImage(m_dir->path(), "照片 一.jpg", 300, 200);
    // A phone photo: stored sideways, to be shown turned by a quarter (Exif orientation 6).
    const QString phone = photomaker::makePhoto(m_dir->path(), "phone.jpg", true, 300, 200);
    QVERIFY(photomaker::setMetadata(phone, { { "Exif.Image.Orientation", "6" } }));
    QVERIFY(writeBytes(m_dir->file("坏 的.jpg"), QByteArray("not a photo")));
    AppCfg::instance()->lastPath = m_dir->path();

    // A double click in the grid opens the viewer on that photo, with the grid's items.
    PicMgr* wnd = PicMgr::instance();
    wnd->show();
    MediaModel* model = wnd->form()->listView()->mediaModel();
    QTRY_COMPARE(model->rowCount(), 3);
    int row = 0;
    while (model->filePath(model->index(row, 0)) != first)
        ++row;
    wnd->form()->listView()->slot_double_clicked(model->index(row, 0));
    PicView* view = PicView::current();
    QVERIFY(view && view->isVisible());
    QLinkedList<ItemInfoPtr> gridItems, viewItems;
    model->items(gridItems);
    view->getItems(viewItems);
    QVERIFY(viewItems == gridItems);
    QTRY_COMPARE(shownImage(view)->boundingRect().size(), QSizeF(300, 200));

    // The phone photo stands upright in the strip and on the canvas.
    QCOMPARE(view->selectFile(phone), 0);
    QTRY_COMPARE(shownImage(view)->boundingRect().size(), QSizeF(200, 300));
    QTRY_VERIFY(!shownImage(view)->showsThumbnail());
    const QImage strip = view->fileList()->currentInfo()->listThumbnail();
    QVERIFY(strip.height() > strip.width());

    // Back to the manager on the same file; minimised from maximised, it comes back maximised.
    wnd->showMaximized();
    wnd->showMinimized();
    view->onPicMgr();
    QVERIFY(!wnd->isMinimized() && wnd->isMaximized());
    QCOMPARE(model->filePath(wnd->form()->listView()->currentIndex()), phone);
    QVERIFY(view->isVisible());

    // And the viewer, minimised, comes back from the grid as it was (here not maximised).
    view->showMinimized();
    wnd->form()->listView()->slot_double_clicked(wnd->form()->listView()->currentIndex());
    QVERIFY(!view->isMinimized() && !view->isMaximized() && view->isVisible());

    // A photo trashed in the viewer leaves the grid too when the manager comes back on the same folder.
    view->selectFile(first);
    button(view, "btDelFile")->click();
    view->onPicMgr();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->filePath(wnd->form()->listView()->currentIndex()), shownFile(view));

    // And one trashed in the grid leaves the strip when the viewer comes back on the same folder.
    MediaListView* grid = wnd->form()->listView();
    grid->setCurrentIndex(model->index(0, 0));
    grid->onDelete();
    QCOMPARE(model->rowCount(), 1);
    grid->slot_double_clicked(model->index(0, 0));
    QCOMPARE(view->fileList()->count(), 1);
}

VORN_XDG_TEST_MAIN(TestPicView)
#include "tst_picview.moc"
