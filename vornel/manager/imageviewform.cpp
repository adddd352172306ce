#include "manager/imageviewform.h"

#include "app/appcfg.h"
#include "grid/medialistview.h"
#include "grid/mediamodel.h"
#include "panels/bookmarkview.h"
#include "panels/exivinfoview.h"
#include "panels/filetreeview.h"
#include "panels/imagepreview.h"
#include "panels/taginfoview.h"

#include <QAction>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileInfo>
#include <QMenu>
#include <QSettings>
#include <QShowEvent>

namespace {

const char kGeometryKey[] = "ImageViewForm/Geometry";
const char kStateKey[] = "ImageViewForm/State";

} // namespace

ImageViewForm::ImageViewForm(QWidget* parent, Qt::WindowFlags flags)
    : QMainWindow(parent, flags)
{
}

ImageViewForm::~ImageViewForm()
{
    // The grid goes first, while the panels it feeds are whole; nothing a panel says on its way out reaches this
    // form.
    delete lvListView;
    lvListView = nullptr;
    if (wgTagInfo)
        disconnect(wgTagInfo, nullptr, this, nullptr);
}

void ImageViewForm::setup()
{
    if (lvListView)
        return;
    lvListView = new MediaListView(this);
    lvListView->setObjectName(QStringLiteral("lvListView"));
    lvListView->setFrameShape(QFrame::NoFrame);
    setCentralWidget(lvListView);

    tvFileTree = new FileTreeView();
    tvFileTree->setFrameShape(QFrame::NoFrame);
    dwFileTree = addPanel(tvFileTree, "tvFileTree", "dwFileTree", QStringLiteral("文件树"), Qt::LeftDockWidgetArea);
    lbPreview = new ImagePreview();
    dwPreview = addPanel(lbPreview, "lbPreview", "dwPreview", QStringLiteral("预览"), Qt::LeftDockWidgetArea);
    wgExivInfo = new ExivInfoView();
    dwExivInfo = addPanel(wgExivInfo, "wgExivInfo", "dwExivInfo", QStringLiteral("文件信息"), Qt::RightDockWidgetArea);
    wgTagInfo = new TagInfoView();
    dwTagInfo = addPanel(wgTagInfo, "wgTagInfo", "dwTagInfo", QStringLiteral("标签"), Qt::RightDockWidgetArea);
    tvBookmarkView = new BookmarkView();
    dwBookmark
        = addPanel(tvBookmarkView, "tvBookmarkView", "dwBookmark", QStringLiteral("收藏夹"), Qt::RightDockWidgetArea);

    connectViews();
    restoreLayout();
}

QDockWidget* ImageViewForm::addPanel(
    QWidget* panel, const char* panelName, const char* dockName, const QString& title, Qt::DockWidgetArea area)
{
    panel->setObjectName(QLatin1String(panelName));
    auto* dock = new QDockWidget(title, this);
    dock->setObjectName(QLatin1String(dockName));
    dock->setFeatures(
        QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    dock->setWidget(panel);
    addDockWidget(area, dock);
    dock->toggleViewAction()->setStatusTip(title);
    if (viewMenu)
        viewMenu->addAction(dock->toggleViewAction());
    return dock;
}

void ImageViewForm::connectViews()
{
    MediaListView* grid = lvListView;
    connect(grid, qOverload<QString, int>(&MediaListView::bookmarkAdded), tvBookmarkView,
        qOverload<QString, int>(&BookmarkView::onAddBookmark));
    connect(grid, &MediaListView::selectItemChanged, lbPreview, &ImagePreview::onLoadFile);
    connect(grid, &MediaListView::selectItemChanged, wgTagInfo, &TagInfoView::onLoadFile);
    connect(grid, &MediaListView::itemDataChanged, wgTagInfo, &TagInfoView::onLoadFile);
    connect(grid, &MediaListView::selectItemChanged, wgExivInfo, &ExivInfoView::onLoadFile);
    connect(grid, &MediaListView::itemDataChanged, wgExivInfo, &ExivInfoView::onLoadFile);
    connect(grid, &MediaListView::itemCleared, this, &ImageViewForm::itemCleared);
    // No current photo: the panels show nothing, so nothing off screen can be tagged.
    connect(grid, &MediaListView::currentCleared, this, [this] {
        lbPreview->onLoadFile(ItemInfoPtr());
        wgTagInfo->onLoadFile(ItemInfoPtr());
        wgExivInfo->onLoadFile(ItemInfoPtr());
    });
    connect(tvFileTree, &FileTreeView::selectPathChanged, grid, &MediaListView::onLoadPath);
    connect(tvFileTree, &FileTreeView::folderMoved, tvBookmarkView, &BookmarkView::slot_atRefresh);
    connect(tvFileTree, &FileTreeView::bookmarkAdded, tvBookmarkView,
        qOverload<QString, int>(&BookmarkView::onAddBookmark));
    connect(wgTagInfo, &TagInfoView::hisTextTagChanged, grid, &MediaListView::onRefreshHisTextTag);
    connect(wgTagInfo, &TagInfoView::saveStar, grid, &MediaListView::onSaveStar);
    connect(wgTagInfo, &TagInfoView::saveRgbs, grid, &MediaListView::onSaveRgbs);
    connect(wgTagInfo, &TagInfoView::saveTextTags, grid, &MediaListView::onSaveTextTags);
    connect(wgTagInfo, &TagInfoView::saveTags, grid, &MediaListView::onSaveTags);
    connect(tvBookmarkView, &BookmarkView::selectPathChanged, grid, &MediaListView::onLoadPath);
    connect(tvBookmarkView, &BookmarkView::selectFileChanged, grid, &MediaListView::onLoadFile);
    connect(wgTagInfo, &TagInfoView::hisTextTagChanged, this, &ImageViewForm::hisTextTagChanged);
}

void ImageViewForm::restoreLayout()
{
    QSettings settings;
    restoreGeometry(settings.value(kGeometryKey).toByteArray());
    m_defaultLayout = !restoreState(settings.value(kStateKey).toByteArray(), 0);
}

void ImageViewForm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_defaultLayout)
        return;
    // First start: room for the grid between the panel columns, the preview under the tree.
    m_defaultLayout = false;
    const int h = height();
    resizeDocks({ dwFileTree, dwExivInfo }, { 220, 260 }, Qt::Horizontal);
    resizeDocks({ dwFileTree, dwPreview }, { h * 3 / 5, h * 2 / 5 }, Qt::Vertical);
    resizeDocks({ dwExivInfo, dwTagInfo, dwBookmark }, { h * 2 / 7, h * 3 / 7, h * 2 / 7 }, Qt::Vertical);
}

void ImageViewForm::initLoad()
{
    if (!lvListView)
        return;
    tvBookmarkView->slot_atRefresh();
    // Items handed over by the viewer (or a file opened) before this first paint stay: the tree only shows
    // their folder.
    const QString shown = lvListView->currentPath();
    if (!shown.isEmpty()) {
        tvFileTree->selectPathSilently(shown);
        return;
    }
    tvFileTree->selectPath(AppCfg::instance()->lastPath);
}

void ImageViewForm::showInViewer(QModelIndex index, bool hideMgr)
{
    lvListView->showInViewer(index, hideMgr);
}

bool ImageViewForm::isCurrentPath(const QString& filePath)
{
    return lvListView->isCurrentPath(filePath);
}

int ImageViewForm::selectFile(const QString& filePath)
{
    return lvListView->selectFile(filePath);
}

void ImageViewForm::getItems(QLinkedList<ItemInfoPtr>& items)
{
    lvListView->mediaModel()->items(items);
}

int ImageViewForm::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath)
{
    tvFileTree->selectPathSilently(QFileInfo(filePath).absolutePath());
    return lvListView->loadItems(items, filePath);
}

QMenu* ImageViewForm::createPopupMenu()
{
    // Qt deletes the returned menu once it closes: it gets a menu of its own over the same actions.
    if (!viewMenu)
        return QMainWindow::createPopupMenu();
    auto* menu = new QMenu(this);
    menu->addActions(viewMenu->actions());
    return menu;
}

void ImageViewForm::closeEvent(QCloseEvent* event)
{
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    settings.setValue(kStateKey, saveState(0));
    if (lvListView) {
        tvBookmarkView->close();
        wgTagInfo->close();
        wgExivInfo->close();
        lbPreview->close();
        tvFileTree->close();
    }
    QMainWindow::closeEvent(event);
}
