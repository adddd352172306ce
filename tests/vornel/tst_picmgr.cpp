#include "app/cfgnotifier.h"
#include "common/vorneltest.h"
#include "grid/mediaitem.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "manager/imageviewform.h"
#include "manager/picmgr.h"
#include "meta/colorstat.h"
#include "meta/exivtags.h"
#include "panels/bookmarkview.h"
#include "panels/exivinfoview.h"
#include "panels/filetreemodel.h"
#include "panels/filetreeview.h"
#include "panels/imagepreview.h"
#include "panels/taginfoview.h"
#include "records/histaglist.h"
#include "viewer/filelistwidget.h"
#include "viewer/imageshowview.h"
#include "viewer/picview.h"
#include "viewer/showitem.h"
#include "widgets/iconcombobox.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QGraphicsItem>
#include <QLabel>
#include <QMenu>
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

// A photo carrying the suite's own tags, so it loads with exactly these.
QString taggedPhoto(
    const TempDir& dir, const QString& name, int star, const QList<uint>& colours, const QStringList& texts)
{
    const QString path = makeImage(dir.path(), name, 64, 48);
    ExivTags tags;
    tags.setStar(star);
    tags.setRgb(colours);
    tags.setTextTag(texts);
    return !path.isEmpty() && tags.saveTagsToFile(path) == 0 ? path : QString();
}

bool waitLoaded(MediaListView* grid, int rows)
{
    MediaModel* model = grid->mediaModel();
    return QTest::qWaitFor(
        [&] {
            if (model->rowCount() != rows)
                return false;
            for (int row = 0; row < rows; ++row) {
                const ItemInfoPtr info = model->itemFromIndex(model->index(row, 0))->getInfo();
                if (info->tagReady != 1 || info->thumbReady != 1 || info->isBusy())
                    return false;
            }
            return true;
        },
        20000);
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

// The window as start-up makes it, shown and past its first paint.
PicMgr* shownManager()
{
    PicMgr* mgr = PicMgr::instance();
    mgr->show();
    if (!QTest::qWaitForWindowExposed(mgr))
        return nullptr;
    QTest::qWait(50); // the first paint's follow-up event
    return mgr;
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
    void formsTablesAndMenus();
    void zoomKeepsCellHeightAtStart();
    void filterBar();
    void panelsFollowTheGrid();
    void layoutAndBarsKeptAcrossRestarts();
    void popupMenuSurvivesItsDeletion();
    void handedItemsSurviveFirstPaint();
    void lastPathAndViewerRoundTrip();
    void minimisedManagerComesBackAsItWas();
    void settingsReachGridAndTagPanel();
    void toolStartFailureNamesThePath();

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

void TestPicMgr::formsTablesAndMenus()
{
    PicMgr* mgr = PicMgr::instance();
    QCOMPARE(PicMgr::instance(), mgr);
    QCOMPARE(PicMgr::current(), mgr);
    QVERIFY(mgr->testAttribute(Qt::WA_DeleteOnClose) && mgr->getLessSet());
    for (const char* name : { "btMainMenu", "btMinimize", "btMaximize", "btClose", "btFind" })
        QVERIFY2(!mgr->findChild<QToolButton*>(name)->icon().isNull(), name); // every image is there

    // The main menu, and "视图" ending with the five dock toggles; every status tip is the text.
    QMenu* menu = mgr->mainMenu();
    QCOMPARE(mgr->findChild<QToolButton*>("btMainMenu")->menu(), menu);
    QCOMPARE(actionTexts(menu),
        QStringList({ "照片浏览", "照片整理", "照片去重", "标签同步", "选项", "视图", "帮助", "退出" }));
    QCOMPARE(actionTexts(mgr->viewMenu()),
        QStringList({ "菜单栏", "状态栏", "-", "文件树", "预览", "文件信息", "标签", "收藏夹" }));
    for (QAction* action : menu->actions() + mgr->viewMenu()->actions()) {
        if (!action->isSeparator())
            QCOMPARE(action->statusTip(), action->text());
    }

    // The form: grid in the centre, tree and preview left, metadata, tags and favourites right.
    ImageViewForm* form = mgr->form();
    QCOMPARE(form->centralWidget(), form->findChild<MediaListView*>("lvListView"));
    QCOMPARE(form->listView()->host(), static_cast<GridHost*>(mgr));
    const QList<QPair<const char*, Qt::DockWidgetArea>> docks = { { "dwFileTree", Qt::LeftDockWidgetArea },
        { "dwPreview", Qt::LeftDockWidgetArea }, { "dwExivInfo", Qt::RightDockWidgetArea },
        { "dwTagInfo", Qt::RightDockWidgetArea }, { "dwBookmark", Qt::RightDockWidgetArea } };
    const QList<QWidget*> panels = { static_cast<QWidget*>(form->fileTree()), form->preview(), form->exivInfo(),
        form->tagInfo(), form->bookmarkView() };
    const char* panelNames[] = { "tvFileTree", "lbPreview", "wgExivInfo", "wgTagInfo", "tvBookmarkView" };
    for (int i = 0; i < docks.size(); ++i) {
        auto* dock = form->findChild<QDockWidget*>(docks[i].first);
        QVERIFY2(dock, docks[i].first);
        QCOMPARE(form->dockWidgetArea(dock), docks[i].second);
        QCOMPARE(dock->widget(), panels[i]);
        QCOMPARE(form->findChild<QWidget*>(panelNames[i]), panels[i]);
    }

    // The caption: title text and empty title-bar space move the window, logo and buttons do not.
    auto* titleBar = mgr->findChild<QWidget*>("titleBar");
    const auto at = [&](const QWidget* w) { return w->mapTo(mgr, w->rect().center()); };
    mgr->show();
    QVERIFY(QTest::qWaitForWindowExposed(mgr));
    QVERIFY(mgr->hitCaption(at(mgr->findChild<QLabel*>("lbTitle"))));
    QVERIFY(mgr->hitCaption(titleBar->mapTo(mgr, QPoint(titleBar->width() / 2, 15))));
    QVERIFY(!mgr->hitCaption(at(mgr->findChild<QLabel*>("lbLogo"))));
    QVERIFY(!mgr->hitCaption(at(mgr->findChild<QToolButton*>("btClose"))));
    QVERIFY(!mgr->hitCaption(at(form)));
}

void TestPicMgr::zoomKeepsCellHeightAtStart()
{
    // A cell higher than wide must stay so when the hidden slider takes the width at start.
    CfgItem& item = AppCfg::instance()->item;
    item.itemWidth = 200;
    item.itemHeight = 260;
    item.updateRects();
    PicMgr* mgr = PicMgr::instance();
    QCOMPARE(mgr->findChild<QSlider*>("sdZoom")->value(), 6);
    QCOMPARE(item.itemWidth, 200);
    QCOMPARE(item.itemHeight, 260);

    mgr->findChild<QSlider*>("sdZoom")->setValue(4);
    QCOMPARE(item.itemWidth, 128);
    QCOMPARE(item.itemHeight, 128);
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
    QCOMPARE(stars->count(), 6);
    QCOMPARE(colours->count(), 1 + ColorStat::cvCandidateCount);
    for (QComboBox* combo : { static_cast<QComboBox*>(stars), static_cast<QComboBox*>(colours), keys }) {
        QCOMPARE(combo->currentIndex(), -1);
        QVERIFY(!combo->itemData(0, Qt::CheckStateRole).toBool());
    }
    // A chip as a click on the item makes it.
    const auto chip = [](QComboBox* combo, int index) {
        return IconTextLabelData(
            combo->itemIcon(index), combo->itemText(index), QIcon(), false, combo->itemData(index));
    };

    MediaListView* grid = mgr->form()->listView();
    grid->resize(800, 600);
    grid->listFolder(m_dir->path(), QString());
    QVERIFY(waitLoaded(grid, 3));

    // "无标" alone: the photo without colour tags.
    colours->setCurrentTags({ chip(colours, 0) });
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg" }));
    colours->setCurrentTags({ chip(colours, 1) }); // 红色
    QCOMPARE(shownNames(grid), QStringList({ "p2.jpg", "p3.jpg" }));
    // Keywords split at blanks: a, two blanks, b gives two keywords; stars and colours add to them.
    colours->setCurrentTags({});
    stars->setCurrentTags({ chip(stars, 5) });
    keys->setEditText("甲  乙");
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg", "p2.jpg", "p3.jpg" }));
    stars->setCurrentTags({});
    QCOMPARE(shownNames(grid), QStringList({ "p1.jpg", "p2.jpg" }));
    // Only blanks: nothing to filter by, every photo shows.
    keys->setEditText("   ");
    QVERIFY(!grid->isFiltered());
    QCOMPARE(shownNames(grid).size(), 3);

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
    QVERIFY(left.isEmpty());
    QCOMPARE(keys->currentText(), QString());
}

void TestPicMgr::panelsFollowTheGrid()
{
    makeImage(m_dir->path(), "a.jpg", 80, 60);
    makeImage(m_dir->path(), "b.png", 60, 80);
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    ImageViewForm* form = mgr->form();
    MediaListView* grid = form->listView();
    grid->listFolder(m_dir->path(), m_dir->file("a.jpg"));
    QVERIFY(waitLoaded(grid, 2));
    QTRY_COMPARE(form->preview()->fileInfo().fileName(), QString("a.jpg"));
    QCOMPARE(form->tagInfo()->heldItem()->fileName(), QString("a.jpg"));
    QTRY_COMPARE(form->exivInfo()->fileInfo().fileName(), QString("a.jpg"));

    // A tag change of another item reaches the tag and metadata panels, not the preview.
    MediaModel* model = grid->mediaModel();
    ItemInfoPtr b = model->itemFromIndex(model->index(0, 0))->getInfo();
    if (b->fileName() != "b.png")
        b = model->itemFromIndex(model->index(1, 0))->getInfo();
    emit grid->itemDataChanged(b);
    QCOMPARE(form->tagInfo()->heldItem(), b);
    QTRY_COMPARE(form->exivInfo()->fileInfo().fileName(), QString("b.png"));
    QCOMPARE(form->preview()->fileInfo().fileName(), QString("a.jpg"));

    // A star set in the tag panel is stored on the grid's selected item.
    grid->setCurrentIndex(model->index(0, 0));
    ItemInfoPtr selected = model->itemFromIndex(model->index(0, 0))->getInfo();
    QTRY_VERIFY(form->tagInfo()->isEditable());
    emit form->tagInfo()->saveStar(4);
    QCOMPARE(selected->tagInfo.getStar(), 4);

    // A favourite file shows alone; a favourite folder lists it.
    emit form->bookmarkView()->selectFileChanged(m_dir->file("b.png"));
    QCOMPARE(model->rowCount(), 1);
    emit form->bookmarkView()->selectPathChanged(m_dir->path());
    QVERIFY(waitLoaded(grid, 2));
}

void TestPicMgr::layoutAndBarsKeptAcrossRestarts()
{
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    auto* preview = mgr->form()->findChild<QDockWidget*>("dwPreview");
    // The dock's own close button, then the title bar hidden through "菜单栏".
    preview->close();
    QAction* titleAction = actionOf(mgr->viewMenu(), "菜单栏");
    titleAction->trigger();
    QVERIFY(mgr->findChild<QWidget*>("titleBar")->isHidden() && !titleAction->isChecked());
    closeManager();

    mgr = shownManager();
    QVERIFY(mgr);
    preview = mgr->form()->findChild<QDockWidget*>("dwPreview");
    QVERIFY(preview->isHidden());
    QVERIFY(mgr->form()->findChild<QDockWidget*>("dwTagInfo")->isVisible());
    QVERIFY(mgr->findChild<QWidget*>("titleBar")->isHidden());
    QVERIFY(!actionOf(mgr->viewMenu(), "菜单栏")->isChecked());
    QVERIFY(actionOf(mgr->viewMenu(), "状态栏")->isChecked());
    // Back through its entry in "视图".
    actionOf(mgr->viewMenu(), "预览")->trigger();
    QVERIFY(preview->isVisible());
}

void TestPicMgr::popupMenuSurvivesItsDeletion()
{
    PicMgr* mgr = PicMgr::instance();
    const QStringList expected = actionTexts(mgr->viewMenu());
    for (int i = 0; i < 2; ++i) {
        QMenu* popup = mgr->form()->createPopupMenu();
        QCOMPARE(actionTexts(popup), expected);
        delete popup; // as Qt does once the menu closes
    }
    QCOMPARE(actionTexts(mgr->viewMenu()), expected);
    actionOf(mgr->viewMenu(), "状态栏")->trigger();
    QVERIFY(mgr->findChild<QWidget*>("statusBar")->isHidden());
}

void TestPicMgr::handedItemsSurviveFirstPaint()
{
    // "LastPath" names one folder; before the manager's first paint the grid is given another.
    makeImage(m_dir->path(), "last.jpg");
    AppCfg::instance()->lastPath = m_dir->path();
    TempDir other;
    QLinkedList<ItemInfoPtr> items;
    items << itemFor(makeImage(other.path(), "一.jpg")) << itemFor(makeImage(other.path(), "二.jpg"));
    const auto firstPaint = [](PicMgr* mgr) {
        mgr->show();
        return QTest::qWaitForWindowExposed(mgr) && QTest::qWaitFor([mgr] { return mgr->getWndPaint(); })
            && (QTest::qWait(200), true); // the first paint's follow-up event has run
    };

    // A file opened at start: its folder stays listed, and the tree shows it.
    PicMgr* mgr = PicMgr::instance();
    QCOMPARE(mgr->selectFile(other.file("二.jpg")), 1);
    QVERIFY(firstPaint(mgr));
    QVERIFY(mgr->isCurrentPath(other.file("一.jpg")));
    QVERIFY(waitLoaded(mgr->form()->listView(), 2));
    FileTreeView* tree = mgr->form()->fileTree();
    QCOMPARE(tree->fileModel()->filePath(tree->currentIndex()), QDir::cleanPath(other.path()));
    closeManager();

    // Items handed over by the viewer stay the grid's rows, the same items.
    AppCfg::instance()->lastPath = m_dir->path();
    mgr = PicMgr::instance();
    QCOMPARE(mgr->isCurrentPath(other.file("二.jpg")), false);
    QCOMPARE(mgr->loadItems(items, other.file("二.jpg")), 0);
    QVERIFY(firstPaint(mgr));
    QLinkedList<ItemInfoPtr> shown;
    mgr->getItems(shown);
    QCOMPARE(shown, items);
    QCOMPARE(mgr->form()->listView()->currentIndex().row(), 1);
}

void TestPicMgr::lastPathAndViewerRoundTrip()
{
    const QString first = makeImage(m_dir->path(), "照片 一.jpg", 300, 200);
    QVERIFY(writeBytes(m_dir->file("坏 的.jpg"), QByteArray("not a photo")));
    AppCfg::instance()->lastPath = m_dir->path();

    // The first paint lists "LastPath"; a double-clicked photo opens in the viewer with the grid's items.
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    MediaModel* model = grid->mediaModel();
    QTRY_COMPARE(model->rowCount(), 2);
    int row = 0;
    while (model->filePath(model->index(row, 0)) != first)
        ++row;
    grid->slot_double_clicked(model->index(row, 0));
    PicView* viewer = PicView::current();
    QVERIFY(viewer && viewer->isVisible());
    QCOMPARE(viewer->fileList()->count(), 2);
    QTRY_COMPARE(viewer->canvas()->currentItem()->item->boundingRect().size(), QSizeF(300, 200));

    // The menu's "照片浏览" opens the current photo too; the canvas brings the manager back on it.
    grid->setCurrentIndex(model->index(1 - row, 0));
    actionOf(mgr->mainMenu(), "照片浏览")->trigger();
    QCOMPARE(viewer->fileList()->currentRow(), 1 - row);
    mgr->hide();
    viewer->canvas()->showPicMgr(false);
    QVERIFY(mgr->isVisible());
    QCOMPARE(grid->currentIndex().row(), 1 - row);
}

void TestPicMgr::minimisedManagerComesBackAsItWas()
{
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    PicView* viewer = PicView::instance();
    for (const bool maximised : { false, true }) {
        if (maximised)
            mgr->showMaximized();
        else
            mgr->showNormal();
        QTRY_COMPARE(mgr->isMaximized(), maximised);
        mgr->showMinimized();
        QTRY_VERIFY(mgr->isMinimized());
        viewer->canvas()->showPicMgr(false);
        QTRY_VERIFY(!mgr->isMinimized());
        QCOMPARE(mgr->isMaximized(), maximised);
        QVERIFY(mgr->isVisible());
    }
}

void TestPicMgr::settingsReachGridAndTagPanel()
{
    makeImage(m_dir->path(), "a.jpg");
    PicMgr* mgr = shownManager();
    QVERIFY(mgr);
    MediaListView* grid = mgr->form()->listView();
    grid->listFolder(m_dir->path(), QString());
    QVERIFY(waitLoaded(grid, 1));
    const QSize before = grid->visualRect(grid->mediaModel()->index(0, 0)).size();

    // What the settings dialog applies: a new cell size lays the grid out again, the tag options reach the panel.
    AppCfg* cfg = AppCfg::instance();
    cfg->item.itemWidth = 320;
    cfg->item.itemHeight = 300;
    cfg->item.updateRects();
    cfg->tag.tagSaveToFile = cfg->tag.tagSaveToFile ? 0 : 1;
    emit CfgNotifier::instance()->itemChanged();
    emit CfgNotifier::instance()->applied();
    QTRY_VERIFY(grid->visualRect(grid->mediaModel()->index(0, 0)).size() != before);
    QCOMPARE(mgr->form()->tagInfo()->autoSaveToFileBox()->isChecked(), bool(cfg->tag.tagSaveToFile));
}

void TestPicMgr::toolStartFailureNamesThePath()
{
    // The test program's folder holds no tools: each start fails and names the file it tried.
    PicMgr* mgr = PicMgr::instance();
    const QMap<QString, QString> tools { { "照片整理", "vornsort" }, { "照片去重", "vorntwin" },
        { "标签同步", "vornmark" } };
    for (auto it = tools.begin(); it != tools.end(); ++it) {
        auto box = answerMessageBox();
        actionOf(mgr->mainMenu(), it.key())->trigger();
        QVERIFY(box->ran);
        QCOMPARE(box->text, QString("启动进程失败！\n%1/%2。").arg(QCoreApplication::applicationDirPath(), it.value()));
    }
    QVERIFY(PicMgr::current());
}

VORN_XDG_TEST_MAIN(TestPicMgr)
#include "tst_picmgr.moc"
