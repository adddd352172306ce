#include "app/cfgnotifier.h"
#include "common/vorneltest.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "grid/thumbcache.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "meta/exivtags.h"
#include "panels/exivinfoview.h"
#include "panels/filetreemodel.h"
#include "panels/filetreeview.h"
#include "panels/imagepreview.h"
#include "panels/taginfoview.h"
#include "property/qtproperty.h"
#include "property/qttreepropertybrowser.h"
#include "records/histaglist.h"
#include "tagwidgets/xseltagcontainer.h"
#include "viewer/filelistwidget.h"
#include "viewer/picview.h"
#include "widgets/iconcombobox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScopeGuard>
#include <QSettings>
#include <QSlider>
#include <QTest>
#include <QToolButton>

using namespace testutil;

namespace {

QStringList actionTexts(const QMenu* menu)
{
    QStringList texts;
    for (const QAction* action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction* actionOf(const QMenu* menu, const QString& text)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

QStringList shownNames(MediaListView* grid)
{
    QStringList names;
    MediaModel* model = grid->mediaModel();
    for (int row = 0; row < model->rowCount(); ++row) {
        if (!grid->isRowHidden(row))
            names << QFileInfo(model->filePath(model->index(row, 0))).fileName();
    }
    names.sort();
    return names;
}

void closeManager()
{
    if (PicMgr* mgr = PicMgr::current())
        mgr->close();
    QVERIFY(QTest::qWaitFor([] { return !PicMgr::current(); }, 5000));
}

} // namespace

class TestPicMgr : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formAndMenus();
    void zoomKeepsCellHeightAtStart();
    void filterBar();
    void panelsSettingsAndViewerFollowTheGrid();
    void layoutAndBarsKeptAcrossRestarts();
    void handedItemsSurviveFirstPaint();
    void gridFailuresReachTheStatusBar();
    void gridNamesWhatFailed();
    void trashThatTakesNoFileLeavesThePhoto();
    void bigFolderKeepsFewThumbnailPixels();

private:
    std::unique_ptr<VornelEnv> m_env;
    std::unique_ptr<TempDir> m_dir;
};

void TestPicMgr::initTestCase()
{
    QCoreApplication::setOrganizationName("tamrolek");
    QCoreApplication::setApplicationName("vornel");
}

void TestPicMgr::init()
{
    QSettings().clear();
    m_env = std::make_unique<VornelEnv>();
    QVERIFY(m_env->ok);
    m_dir = std::make_unique<TempDir>();
    HisTagList::m_hisTags.clear();
}

void TestPicMgr::cleanup()
{
    if (PicView* viewer = PicView::current())
        viewer->close();
    closeManager();
    QVERIFY(QTest::qWaitFor([] { return !PicView::current(); }, 5000));
    m_env.reset();
}

void TestPicMgr::formAndMenus()
{
    PicMgr* mgr = PicMgr::instance();
    for (const char* name : { "btMainMenu", "btMinimize", "btMaximize", "btClose", "btFind" })
        QVERIFY2(!mgr->findChild<QToolButton*>(name)->icon().isNull(), name); // every image is there

    // "视图" ends with the dock toggles; the form's popup menu shows them, and Qt deleting it after use keeps them.
    const QStringList bars { "菜单栏", "状态栏", "-", "文件树", "预览", "文件信息", "标签", "收藏夹" };
    QMenu* popup = mgr->form()->createPopupMenu();
    QCOMPARE(actionTexts(popup), bars);
    delete popup;
    QCOMPARE(actionTexts(mgr->viewMenu()), bars);

    // The caption: title text and empty title-bar space move the window, logo, buttons and grid do not.
    const auto at = [mgr](const char* name, QPoint pos = QPoint(4, 4)) {
        return mgr->findChild<QWidget*>(name)->mapTo(mgr, pos);
    };
    mgr->show();
    QVERIFY(QTest::qWaitForWindowExposed(mgr));
    QVERIFY(mgr->hitCaption(at("lbTitle")) && mgr->hitCaption(at("titleBar", QPoint(mgr->width() / 2, 15))));
    QVERIFY(!mgr->hitCaption(at("lbLogo")) && !mgr->hitCaption(at("btClose")) && !mgr->hitCaption(at("lvListView")));

    // The test program's folder holds no tools: a start fails and names the file it tried.
    const auto box = answerMessageBox();
    actionOf(mgr->mainMenu(), "照片去重")->trigger();
    QVERIFY(box->ran);
    QCOMPARE(box->text, QString("启动进程失败！\n%1/vorntwin。").arg(QCoreApplication::applicationDirPath()));

    // Closed, the window goes with its grid, which says nothing to the panels and the window on its way out.
    const QPointer<MediaListView> grid = mgr->form()->listView();
    mgr->close();
    QSignalSpy items(grid.data(), &MediaListView::itemCleared), current(grid.data(), &MediaListView::currentCleared);
    QVERIFY(QTest::qWaitFor([&grid] { return grid.isNull(); }, 5000));
    QCOMPARE(items.count() + current.count(), 0);
}

void TestPicMgr::zoomKeepsCellHeightAtStart()
{
    // A cell higher than wide must stay so when the hidden slider takes the width at start.
    CfgItem& item = AppCfg::instance()->item;
    item.itemWidth = 200;
    item.itemHeight = 260;
    item.updateRects();
    auto* zoom = PicMgr::instance()->findChild<QSlider*>("sdZoom");
    QCOMPARE(zoom->value(), 6);
    QCOMPARE(QSize(item.itemWidth, item.itemHeight), QSize(200, 260));
    // Moved by the user, it sets square cells.
    zoom->setValue(4);
    QCOMPARE(QSize(item.itemWidth, item.itemHeight), QSize(128, 128));
}

void TestPicMgr::filterBar()
{
    HisTagList::m_hisTags = QStringList({ "甲", "  ", "", " 乙 " });
    QVERIFY(!taggedPhoto(*m_dir, "p1.jpg", 3, {}, { "甲" }).isEmpty());
    QVERIFY(!taggedPhoto(*m_dir, "p2.jpg", 0, { 0xFFFF0000u }, { "乙" }).isEmpty());
    QVERIFY(!taggedPhoto(*m_dir, "p3.jpg", 5, { 0xFFFF0000u }, {}).isEmpty());

    PicMgr* mgr = PicMgr::instance();
    auto* stars = mgr->findChild<IconComboBox*>("cbStar");
    auto* colours = mgr->findChild<IconComboBox*>("cbColor");
    auto* keys = mgr->findChild<QComboBox*>("cbTextTag");

    // The history's blank entries get no item; the others keep their blanks. Nothing is ticked or current.
    QCOMPARE(keys->count(), 2);
    QCOMPARE(keys->itemText(1), QString(" 乙 "));
    for (QComboBox* combo : { static_cast<QComboBox*>(stars), static_cast<QComboBox*>(colours), keys })
        QVERIFY(combo->currentIndex() == -1 && !combo->itemData(0, Qt::CheckStateRole).toBool());
    // A chip as a click on the item makes it.
    const auto chip = [](QComboBox* combo, int index) {
        return IconTextLabelData(
            combo->itemIcon(index), combo->itemText(index), QIcon(), false, combo->itemData(index));
    };

    MediaListView* grid = mgr->form()->listView();
    grid->resize(800, 600);
    grid->listFolder(m_dir->path(), QString());
    QVERIFY(waitLoaded(grid, 3));

    // "无标" alone: the photo without colour tags; a colour by its palette value.
    colours->setCurrentTags({ chip(colours, 0) });
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg" }));
    colours->setCurrentTags({ chip(colours, 1) }); // 红色
    QCOMPARE(shownNames(grid), QStringList({ "p2.jpg", "p3.jpg" }));
    // Keywords split at blanks: a, two blanks, b gives two keywords; stars add to them.
    colours->setCurrentTags({});
    stars->setCurrentTags({ chip(stars, 5) });
    keys->setEditText("甲  乙");
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg", "p2.jpg", "p3.jpg" }));
    stars->setCurrentTags({});
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg", "p2.jpg" }));
    // Only blanks: nothing to filter by.
    keys->setEditText("   ");
    QVERIFY(!grid->isFiltered());

    // A new history list refills the keyword picker; a keyword that was typed goes and the grid follows it.
    keys->setEditText("甲");
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg" }));
    HisTagList::m_hisTags = QStringList({ "丙" });
    emit mgr->form()->tagInfo()->hisTextTagChanged();
    QCOMPARE(keys->count(), 1);
    QCOMPARE(keys->currentText(), QString());
    QCOMPARE(shownNames(grid).size(), 3);

    // Listing another folder clears every picker.
    stars->setCurrentTags({ chip(stars, 3) });
    keys->setEditText("甲");
    grid->listFolder(m_dir->path(), QString());
    QList<IconTextLabelData> left;
    stars->getCurrentTags(left);
    QVERIFY(left.isEmpty() && keys->currentText().isEmpty());
}

void TestPicMgr::panelsSettingsAndViewerFollowTheGrid()
{
    makeImage(m_dir->path(), "a.jpg", 80, 60);
    makeImage(m_dir->path(), "b.png", 60, 80);
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    ImageViewForm* form = mgr->form();
    MediaListView* grid = form->listView();
    MediaModel* model = grid->mediaModel();
    grid->listFolder(m_dir->path(), m_dir->file("a.jpg"));
    QVERIFY(waitLoaded(grid, 2));
    QTRY_COMPARE(form->preview()->fileInfo().fileName(), QString("a.jpg"));
    QCOMPARE(fileNameOf(form->tagInfo()->heldItem()), QString("a.jpg"));
    QTRY_COMPARE(form->exivInfo()->fileInfo().fileName(), QString("a.jpg"));

    // What the settings dialog applies: a new cell size lays the grid out again, the tag options reach the panel.
    const QSize before = grid->visualRect(model->index(0, 0)).size();
    AppCfg* cfg = AppCfg::instance();
    cfg->item.itemWidth = 320;
    cfg->item.updateRects();
    cfg->tag.tagSaveToFile = cfg->tag.tagSaveToFile ? 0 : 1;
    emit CfgNotifier::instance()->itemChanged();
    emit CfgNotifier::instance()->applied();
    QTRY_VERIFY(grid->visualRect(model->index(0, 0)).size() != before);
    QCOMPARE(form->tagInfo()->autoSaveToFileBox()->isChecked(), bool(cfg->tag.tagSaveToFile));

    // "照片浏览" opens the grid's current photo, the grid's rows in the strip.
    grid->setCurrentIndex(model->index(1, 0));
    actionOf(mgr->mainMenu(), "照片浏览")->trigger();
    PicView* viewer = PicView::current();
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->fileList()->count(), 2);
    QCOMPARE(viewer->fileList()->currentRow(), 1);

    // A folder without photos: no panel shows a photo, and the tag panel edits nothing.
    TempDir empty;
    grid->listFolder(empty.path(), QString());
    QTRY_VERIFY(grid->listFuture().isFinished());
    QVERIFY(form->preview()->fileInfo().fileName().isEmpty() && form->preview()->image().isNull());
    QVERIFY(!form->tagInfo()->heldItem() && !form->tagInfo()->isEditable());
    QVERIFY(form->tagInfo()->selColors()->getColor().isEmpty());
    QTRY_VERIFY(!form->exivInfo()->isLoading());
    QVERIFY(form->exivInfo()->fileInfo().fileName().isEmpty());
    for (QtProperty* group : form->exivInfo()->browser()->properties()) {
        for (QtProperty* prop : group->subProperties())
            QVERIFY2(prop->valueText().isEmpty(), qPrintable(prop->propertyName()));
    }
}

void TestPicMgr::layoutAndBarsKeptAcrossRestarts()
{
    // A dock closed by its own button and the title bar hidden through "菜单栏" stay so when reopened.
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    mgr->form()->findChild<QDockWidget*>("dwPreview")->close();
    actionOf(mgr->viewMenu(), "菜单栏")->trigger();
    closeManager();

    mgr = shownManager();
    QVERIFY(mgr);
    auto* preview = mgr->form()->findChild<QDockWidget*>("dwPreview");
    QVERIFY(preview->isHidden() && mgr->form()->findChild<QDockWidget*>("dwTagInfo")->isVisible());
    QVERIFY(mgr->findChild<QWidget*>("titleBar")->isHidden() && !actionOf(mgr->viewMenu(), "菜单栏")->isChecked());
    QVERIFY(actionOf(mgr->viewMenu(), "状态栏")->isChecked());
    actionOf(mgr->viewMenu(), "预览")->trigger();
    QVERIFY(preview->isVisible());
}

void TestPicMgr::handedItemsSurviveFirstPaint()
{
    // "LastPath" names one folder; before the manager's first paint the grid is given another.
    makeImage(m_dir->path(), "last.jpg");
    AppCfg::instance()->lastPath = m_dir->path();
    TempDir other;
    QLinkedList<ItemInfoPtr> items;
    items << itemFor(makeImage(other.path(), "一.jpg")) << itemFor(makeImage(other.path(), "二.jpg"));

    // A file opened at start: its folder stays listed, and the tree shows it.
    QCOMPARE(PicMgr::instance()->selectFile(other.file("二.jpg")), 1);
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    QVERIFY(mgr->isCurrentPath(other.file("一.jpg")));
    QVERIFY(waitLoaded(mgr->form()->listView(), 2));
    FileTreeView* tree = mgr->form()->fileTree();
    QCOMPARE(tree->fileModel()->filePath(tree->currentIndex()), QDir::cleanPath(other.path()));
    closeManager();

    // Items handed over by the viewer stay the grid's rows, the same items.
    QCOMPARE(PicMgr::instance()->loadItems(items, other.file("二.jpg")), 0);
    mgr = shownManager();
    QVERIFY(mgr);
    QLinkedList<ItemInfoPtr> shown;
    mgr->getItems(shown);
    QCOMPARE(shown, items);
    QCOMPARE(mgr->form()->listView()->currentIndex().row(), 1);
}

void TestPicMgr::gridFailuresReachTheStatusBar()
{
    makeImage(m_dir->path(), "a.jpg", 80, 60);
    makeImage(m_dir->path(), "b.bmp", 80, 60);
    AppCfg::instance()->tag.tagSaveToFile = 1;
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    grid->listFolder(m_dir->path(), m_dir->file("a.jpg"));
    QVERIFY(waitLoaded(grid, 2));

    // A BMP takes no tags in the file: the manager's own status bar says so.
    auto* label = mgr->findChild<QLabel*>("lbMessage");
    QVERIFY(label && label->isVisible());
    grid->selectAll();
    emit mgr->form()->tagInfo()->saveStar(4);
    QTRY_VERIFY_WITH_TIMEOUT(label->text().contains(QStringLiteral("1 个失败")), 20000);
    QVERIFY(mgr->statusText().contains(QStringLiteral("“b.bmp”")));

    // Too long for a narrow bar: cut with an ellipsis, whole in the tip; whole again once the bar is wide enough.
    mgr->showNormal();
    mgr->resize(900, 700);
    QTRY_VERIFY(label->width() < label->fontMetrics().horizontalAdvance(mgr->statusText()));
    QVERIFY2(label->text().endsWith(QChar(0x2026)), qPrintable(label->text()));
    QVERIFY(mgr->statusText().startsWith(label->text().chopped(1)));
    QCOMPARE(label->toolTip(), mgr->statusText());
    mgr->resize(1900, 700);
    QTRY_COMPARE(label->text(), mgr->statusText());
}

void TestPicMgr::gridNamesWhatFailed()
{
    QVERIFY(QDir().mkpath(m_dir->file("锁 住")));
    QStringList files;
    for (const char* name : { "锁 住/a.jpg", "锁 住/b.jpg", "锁 住/c.jpg" })
        files << makeImage(m_dir->path(), name, 80, 60);
    AppCfg::instance()->lastPath = m_dir->file("锁 住");
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();
    QVERIFY(waitLoaded(grid, 3));
    grid->setCurrentIndex(model->index(0, 0));

    // A name the grid refuses is said, and the file keeps its name.
    grid->onRename();
    QVERIFY(grid->nameEditor()->isVisible());
    grid->nameEditor()->setText("b.jpg");
    auto told = answerMessageBox();
    QTest::keyClick(grid->nameEditor(), Qt::Key_Return);
    QVERIFY(told->ran && told->text.contains("已经有同名的文件"));
    QVERIFY(QFile::exists(files.at(0)) && model->filePath(grid->currentIndex()) == files.at(0));

    // A file the user may not move keeps its cell and is named as still in place.
    {
        LockedFolder locked(m_dir->file("锁 住"));
        QVERIFY(locked.ok());
        Unprivileged user;
        told = answerMessageBox();
        grid->onDelete();
        QVERIFY(told->ran && told->text.contains(files.at(0)) && told->text.contains("仍在原处"));
    }
    QCOMPARE(model->rowCount(), 3);
    QVERIFY(QFile::exists(files.at(0)));

    // One removed by other hands is named as gone, and its cell leaves; the next cell is current and selected.
    QVERIFY(QFile::remove(files.at(0)));
    told = answerMessageBox();
    grid->onDelete();
    QVERIFY(told->ran && told->text.contains(files.at(0)) && told->text.contains("已不在原处"));
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->filePath(grid->currentIndex()), files.at(1));
    QVERIFY(grid->selectionModel()->isSelected(grid->currentIndex()));
    QTRY_COMPARE(fileNameOf(mgr->form()->tagInfo()->heldItem()), QString("b.jpg"));
}

void TestPicMgr::trashThatTakesNoFileLeavesThePhoto()
{
    const QString photo = makeImage(m_dir->path(), "留 下.jpg", 80, 60);
    QVERIFY(!makeImage(m_dir->path(), "b.jpg", 80, 60).isEmpty());
    // A broken trash: its information folder is a plain file, so no information file can be made there.
    TempDir data;
    QVERIFY(QDir().mkpath(data.file("Trash/files")));
    QVERIFY(writeBytes(data.file("Trash/info"), "x"));
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", oldData); });
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));

    AppCfg::instance()->lastPath = m_dir->path();
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();
    QVERIFY(waitLoaded(grid, 2));
    for (int row = 0; row < model->rowCount(); ++row) {
        if (model->filePath(model->index(row, 0)) == photo)
            grid->setCurrentIndex(model->index(row, 0));
    }
    QCOMPARE(model->filePath(grid->currentIndex()), photo);

    // The delete comes back at once, names the photo as still in place, and the photo keeps its cell.
    auto told = answerMessageBox();
    grid->onDelete();
    QVERIFY(told->ran && told->text.contains(photo) && told->text.contains("仍在原处"));
    QVERIFY(QFile::exists(photo));
    QCOMPARE(model->rowCount(), 2);
}

void TestPicMgr::bigFolderKeepsFewThumbnailPixels()
{
    // Each photo its own colour; the pixels held for all thumbnails are kept to about one screen of cells.
    const int n = 150;
    const auto colourOf = [](int i) { return QColor::fromHsv(i * 360 / n, 255, 230); };
    for (int i = 0; i < n; ++i)
        QVERIFY(solidImage(320, 240, colourOf(i)).save(m_dir->file(QString("照片 %1.jpg").arg(i, 3, 10, QChar('0')))));
    ThumbCache& cache = ThumbCache::instance();
    const qint64 budget = 12 * qint64(188 * 141 * 4);
    cache.setBudget(budget);
    const auto restore = qScopeGuard([&cache] { cache.setBudget(ThumbCache::kDefaultBudget); });

    AppCfg::instance()->lastPath = m_dir->path();
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();
    QVERIFY(waitLoaded(grid, n));

    // The cell's painted centre is its own photo's colour: also after its pixels went and were decoded again.
    const auto near = [](const QColor& a, const QColor& b) {
        return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue()) < 40;
    };
    const auto colourOfRow = [&](int row) {
        return colourOf(QFileInfo(model->filePath(model->index(row, 0))).completeBaseName().mid(3).toInt());
    };
    const auto cellPainted = [&](int row) {
        const QImage shot = grid->viewport()->grab().toImage();
        const QPoint centre
            = grid->visualRect(model->index(row, 0)).topLeft() + AppCfg::instance()->item.rcImage.center();
        return near(shot.pixelColor(centre), colourOfRow(row));
    };
    QVERIFY(cellPainted(0));
    grid->scrollToBottom();
    QVERIFY(cellPainted(n - 1));
    QVERIFY(cache.heldBytes() <= budget);
    grid->scrollToTop();
    QVERIFY(cellPainted(0));
    QVERIFY(cellPainted(1));
    QVERIFY(cache.heldBytes() <= budget);

    // The viewer takes the same items: its strip paints the last photo's row from the same compact thumbnail.
    grid->showInViewer(model->index(n - 1, 0), false);
    PicView* view = PicView::current();
    QVERIFY(view);
    FileListWidget* strip = view->fileList();
    QTRY_COMPARE(strip->currentRow(), n - 1);
    QVERIFY(QTest::qWaitForWindowExposed(view));
    const QImage shot = strip->viewport()->grab().toImage();
    const QPoint centre
        = strip->visualItemRect(strip->item(n - 1)).topLeft() + AppCfg::instance()->list.rcThumb.center();
    QVERIFY2(near(shot.pixelColor(centre), colourOfRow(n - 1)), qPrintable(shot.pixelColor(centre).name()));
    QVERIFY(cache.heldBytes() <= budget);
}

VORN_XDG_TEST_MAIN(TestPicMgr)
#include "tst_picmgr.moc"
