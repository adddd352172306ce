#include "panels/bookmarkview.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "dialogs/askbox.h"
#include "dialogs/bookmarkmoddlg.h"
#include "dialogs/bookpathadddlg.h"
#include "dialogs/bookpathmoddlg.h"
#include "panels/bookmarkitem.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/bookpathtb.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"
#include "widgets/menuutil.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QDir>
#include <QDrag>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMimeData>
#include <QThreadPool>
#include <QTimer>

static QPixmap favouriteIcon(const QString& path)
{
    Q_INIT_RESOURCE(favourites);
    return QPixmap(path);
}

namespace {

BookmarkItem* asBookmark(QTreeWidgetItem* item)
{
    return static_cast<BookmarkItem*>(item);
}

// Sibling order of a load: rank, then name without regard to case.
bool before(const BookmarkItem* a, const BookmarkItem* b)
{
    if (a->rank() != b->rank())
        return a->rank() < b->rank();
    return a->name().compare(b->name(), Qt::CaseInsensitive) < 0;
}

// Why a target that is not there cannot be reached: gone from its folder, or out of reach (a volume not mounted,
// a network folder not connected), which says nothing about whether it still exists.
QString missingText(const QString& what, const QString& file, const QString& after = QString())
{
    const QString shown = QDir::toNativeSeparators(file);
    if (pathPresence(file) == PathPresence::Unknown)
        return QStringLiteral("%1现在无法访问%2（所在的磁盘可能未挂载，或网络文件夹未连接）：\n%3")
            .arg(what, after, shown);
    return QStringLiteral("%1已经不存在%2：\n%3").arg(what, after, shown);
}

} // namespace

BookmarkView::ModalScope::ModalScope(BookmarkView* view)
    : m_view(view)
{
    ++m_view->m_modal;
}

BookmarkView::ModalScope::~ModalScope()
{
    if (--m_view->m_modal == 0 && m_view->m_rebuildPending)
        QTimer::singleShot(0, m_view, &BookmarkView::slot_info_loaded);
}

BookmarkView::BookmarkView(QWidget* parent)
    : QTreeWidget(parent)
    , pathIcon(favouriteIcon(QStringLiteral(":/pic/path.png")))
    , favPathIcon(favouriteIcon(QStringLiteral(":/pic/favpath.png")))
    , favFileIcon(favouriteIcon(QStringLiteral(":/pic/favfile.png")))
{
    header()->hide();
    setSelectionMode(QAbstractItemView::SingleSelection);
    setDragEnabled(true);
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::InternalMove);
    setAutoScroll(true);
    setIconSize(QSize(24, 24));

    menu = new QMenu(this);
    atRefresh = addMenuAction(menu, QStringLiteral("刷新(&E)"), QStringLiteral("刷新(&E)"));
    menu->addSeparator();
    atAddFavPath = addMenuAction(menu, QStringLiteral("添加分类"), QStringLiteral("添加收藏分类目录"));
    atDel = addMenuAction(menu, QStringLiteral("删除收藏"), QStringLiteral("删除收藏的项以及子项"));
    atMod = addMenuAction(menu, QStringLiteral("修改收藏"), QStringLiteral("修改收藏的项"));
    atFileLocation = addMenuAction(menu, QStringLiteral("定位目录"), QStringLiteral("定位目录"));
    connect(atRefresh, &QAction::triggered, this, &BookmarkView::slot_atRefresh);
    connect(atAddFavPath, &QAction::triggered, this, &BookmarkView::slot_atAddFavPath);
    connect(atDel, &QAction::triggered, this, &BookmarkView::slot_atDel);
    connect(atMod, &QAction::triggered, this, &BookmarkView::slot_atMod);
    connect(atFileLocation, &QAction::triggered, this, &BookmarkView::slot_atFileLocation);

    connect(&loadWatcher, &QFutureWatcher<int>::finished, this, &BookmarkView::slot_info_loaded);
    connect(this, &QTreeWidget::itemClicked, this, &BookmarkView::slot_item_clicked);
}

// The load job holds its own root and no part of the view, so it is only cancelled, not waited for.
BookmarkView::~BookmarkView()
{
    stopLoading = true;
    loadWatcher.cancel();
}

// ---- load ----

void BookmarkView::slot_atRefresh()
{
    loadWatcher.cancel();
    auto root = std::make_shared<BookPathInfo>();
    m_loadRoot = root;
    ++m_loadGen;
    loadWatcher.setFuture(runJob(QThreadPool::globalInstance(), [root]() -> int {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            BookPathTb(db.get()).loadChildren(root.get(), true);
        return 0;
    }));
}

void BookmarkView::slot_info_loaded()
{
    // Only the newest load is shown, once; the notice of a replaced or dropped load is ignored.
    if (stopLoading || m_builtGen == m_loadGen)
        return;
    const QFuture<int> future = loadWatcher.future();
    if (!future.isFinished() || future.isCanceled() || !m_loadRoot)
        return;
    if (m_modal > 0) {
        m_rebuildPending = true;
        return;
    }
    m_rebuildPending = false;
    m_builtGen = m_loadGen;
    const std::shared_ptr<BookPathInfo> root = std::move(m_loadRoot);
    build(root.get());
}

void BookmarkView::build(BookPathInfo* root)
{
    curItem = nullptr;
    m_dragItem = nullptr;
    clear();
    for (BookPathInfo* path : root->getChildrenPath()) {
        path->setParent(&rootPath);
        addPathItem(nullptr, path);
    }
    for (BookMarkInfo* mark : root->getChildrenMark()) {
        mark->setParent(&rootPath);
        addMarkItem(nullptr, mark);
    }
    root->getChildrenPath().clear();
    root->getChildrenMark().clear();
}

BookmarkItem* BookmarkView::addPathItem(QTreeWidgetItem* parent, BookPathInfo* info)
{
    auto* item = new BookmarkItem(info);
    item->setIcon(0, pathIcon);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    for (BookPathInfo* child : info->getChildrenPath())
        addPathItem(item, child);
    for (BookMarkInfo* mark : info->getChildrenMark())
        addMarkItem(item, mark);
    // The rows own the records now.
    info->getChildrenPath().clear();
    info->getChildrenMark().clear();
    return item;
}

BookmarkItem* BookmarkView::addMarkItem(QTreeWidgetItem* parent, BookMarkInfo* info)
{
    auto* item = new BookmarkItem(info);
    if (info->getBookMarkType() == BookMarkInfo::BookMarkPath)
        item->setIcon(0, favPathIcon);
    else if (info->getBookMarkType() == BookMarkInfo::BookMarkFile)
        item->setIcon(0, favFileIcon);
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    return item;
}

void BookmarkView::placeItem(QTreeWidgetItem* parent, BookmarkItem* item)
{
    QTreeWidgetItem* holder = parent ? parent : invisibleRootItem();
    int row = 0;
    while (row < holder->childCount() && !before(item, asBookmark(holder->child(row))))
        ++row;
    holder->insertChild(row, item);
    if (parent)
        parent->setExpanded(true);
}

void BookmarkView::reseatItem(QTreeWidgetItem* parent, BookmarkItem* item)
{
    // A row taken out of the tree forgets which of its folders were open.
    QList<QTreeWidgetItem*> expanded;
    QList<QTreeWidgetItem*> pending { item };
    while (!pending.isEmpty()) {
        QTreeWidgetItem* row = pending.takeLast();
        if (row->isExpanded())
            expanded << row;
        for (int i = 0; i < row->childCount(); ++i)
            pending << row->child(i);
    }
    takeItem(item);
    placeItem(parent, item);
    for (QTreeWidgetItem* row : qAsConst(expanded))
        row->setExpanded(true);
}

void BookmarkView::takeItem(BookmarkItem* item)
{
    QTreeWidgetItem* holder = item->parent() ? item->parent() : invisibleRootItem();
    holder->takeChild(holder->indexOfChild(item));
}

void BookmarkView::reloadIfLoading()
{
    if (m_builtGen != m_loadGen)
        slot_atRefresh();
}

BookmarkItem* BookmarkView::folderItemOf(QTreeWidgetItem* item) const
{
    for (; item; item = item->parent()) {
        if (asBookmark(item)->pathInfo)
            return asBookmark(item);
    }
    return nullptr;
}

BookPathInfo* BookmarkView::folderOf(BookmarkItem* folderItem)
{
    return folderItem ? folderItem->pathInfo : &rootPath;
}

// ---- menu ----

void BookmarkView::contextMenuEvent(QContextMenuEvent* event)
{
    prepareMenu(itemAt(event->pos()));
    {
        ModalScope scope(this);
        menu->exec(event->globalPos());
    }
    QTreeWidget::contextMenuEvent(event);
}

void BookmarkView::prepareMenu(QTreeWidgetItem* item)
{
    curItem = asBookmark(item);
    atDel->setEnabled(curItem);
    atMod->setEnabled(curItem);
    atFileLocation->setEnabled(curItem && curItem->markInfo);
}

void BookmarkView::onAddBookmark(QString strUrl, int iType)
{
    BookmarkItem* folderItem = folderItemOf(currentItem());
    BookMarkInfo* mark = nullptr;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            mark = BookMarkTb(db.get()).addBookmark(folderOf(folderItem), BookMarkInfo::BookMarkType(iType), strUrl);
    }
    // Only what was stored is shown.
    if (!mark) {
        AskBox::info(
            this, QStringLiteral("“%1”没能添加到收藏夹。\n请稍后再试。").arg(QDir::toNativeSeparators(strUrl)));
        return;
    }
    BookmarkItem* item = addMarkItem(nullptr, mark);
    reseatItem(folderItem, item);
    reloadIfLoading();
}

void BookmarkView::onAddBookmark(QString strUrl)
{
    onAddBookmark(strUrl, 0);
}

void BookmarkView::slot_atAddFavPath()
{
    BookmarkItem* folderItem = folderItemOf(curItem);
    BookPathInfo* added = nullptr;
    {
        ModalScope scope(this);
        BookpathAddDlg dlg(this);
        dlg.setParentPath(folderOf(folderItem));
        if (dlg.exec() == QDialog::Accepted)
            added = dlg.takeNewPath();
    }
    if (!added)
        return;
    BookmarkItem* item = addPathItem(nullptr, added);
    reseatItem(folderItem, item);
    reloadIfLoading();
}

void BookmarkView::slot_atDel()
{
    if (!curItem) {
        AskBox::info(this, QStringLiteral("请先选择一个要删除的项。\n请重新选择后继续。"));
        return;
    }
    bool confirmed = false;
    {
        ModalScope scope(this);
        confirmed = AskBox::yes(this, QStringLiteral("即将删除选择的项，删除后无法恢复。\n你确定要删除吗？"));
    }
    if (!confirmed || !curItem)
        return;
    const bool done = deleteItem(curItem);
    reloadIfLoading();
    if (!done)
        AskBox::info(this, QStringLiteral("有收藏的项没能删除。\n请稍后再试。"));
}

bool BookmarkView::deleteItem(BookmarkItem* item)
{
    while (item->childCount() > 0) {
        if (!deleteItem(asBookmark(item->child(0))))
            return false;
    }
    bool done = false;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            done = item->pathInfo ? BookPathTb(db.get()).delBookpath(item->pathInfo)
                                  : BookMarkTb(db.get()).delBookmark(item->markInfo);
    }
    if (!done)
        return false;
    if (item == curItem)
        curItem = nullptr;
    if (item == m_dragItem)
        m_dragItem = nullptr;
    delete item;
    return true;
}

void BookmarkView::slot_atMod()
{
    if (!curItem) {
        AskBox::info(this, QStringLiteral("请先选择一个要修改的项。\n请重新选择后继续。"));
        return;
    }
    BookmarkItem* item = curItem;
    bool accepted = false;
    {
        ModalScope scope(this);
        if (item->pathInfo) {
            BookpathModDlg dlg(this);
            dlg.setBookPathInfo(item->pathInfo);
            accepted = dlg.exec() == QDialog::Accepted;
        } else {
            BookmarkModDlg dlg(this);
            dlg.setBookMarkInfo(item->markInfo);
            accepted = dlg.exec() == QDialog::Accepted;
        }
    }
    if (!accepted)
        return;
    item->updateText();
    const bool wasCurrent = currentItem() == item;
    QTreeWidgetItem* parent = item->parent();
    reseatItem(parent, item);
    if (wasCurrent)
        setCurrentItem(item);
    reloadIfLoading();
}

void BookmarkView::slot_atFileLocation()
{
    if (!curItem) {
        AskBox::info(this, QStringLiteral("请先选择一个收藏的项。\n请重新选择后继续。"));
        return;
    }
    if (curItem->pathInfo) {
        AskBox::info(this, QStringLiteral("分类目录在磁盘中没有对应的实体项，不能定位。\n请重新选择后继续。"));
        return;
    }
    const BookMarkInfo* mark = curItem->markInfo;
    if (!mark
        || (mark->getBookMarkType() != BookMarkInfo::BookMarkPath
            && mark->getBookMarkType() != BookMarkInfo::BookMarkFile))
        return;
    if (!QFileInfo::exists(mark->getFile())) {
        AskBox::info(
            this, missingText(QStringLiteral("收藏的项在磁盘中"), mark->getFile(), QStringLiteral("，不能定位")));
        return;
    }
    explorerFilePos(mark->getFile());
}

// ---- opening ----

void BookmarkView::slot_current_item_changed(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    Q_UNUSED(previous);
    openItem(current);
}

void BookmarkView::slot_item_clicked(QTreeWidgetItem* item, int column)
{
    Q_UNUSED(column);
    openItem(item);
}

void BookmarkView::openItem(QTreeWidgetItem* item)
{
    const BookMarkInfo* mark = item ? asBookmark(item)->markInfo : nullptr;
    if (!mark)
        return;
    const QString file = mark->getFile();
    const QFileInfo target(file);
    if (mark->getBookMarkType() == BookMarkInfo::BookMarkPath) {
        if (target.isDir())
            emit selectPathChanged(file);
        else
            AskBox::info(this, missingText(QStringLiteral("收藏的文件夹"), file));
    } else if (mark->getBookMarkType() == BookMarkInfo::BookMarkFile) {
        if (target.isFile())
            emit selectFileChanged(file);
        else
            AskBox::info(this, missingText(QStringLiteral("收藏的文件"), file));
    }
}

// ---- moving ----

bool BookmarkView::canDrop(BookmarkItem* item, QTreeWidgetItem* target) const
{
    if (!item)
        return false;
    if (!target)
        return item->parent() != nullptr;
    if (!asBookmark(target)->pathInfo || target == item || target == item->parent())
        return false;
    for (QTreeWidgetItem* above = target->parent(); above; above = above->parent()) {
        if (above == item)
            return false;
    }
    return true;
}

bool BookmarkView::moveItem(BookmarkItem* item, QTreeWidgetItem* target)
{
    if (!canDrop(item, target))
        return false;
    auto* folderItem = asBookmark(target);
    BookPathInfo* folder = folderOf(folderItem);
    bool done = false;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            done = item->markInfo ? BookMarkTb(db.get()).modBookParent(item->markInfo, folder)
                                  : BookPathTb(db.get()).modBookParent(item->pathInfo, folder);
    }
    if (!done) {
        AskBox::info(this, QStringLiteral("“%1”没能移动。\n请稍后再试。").arg(item->name()));
        return false;
    }
    if (item->markInfo) {
        item->markInfo->setParent(folder);
        item->markInfo->setParentId(folder->getRowId());
    } else {
        item->pathInfo->setParent(folder);
        item->pathInfo->setParentId(folder->getRowId());
    }
    reseatItem(folderItem, item);
    setCurrentItem(item);
    scrollToItem(item);
    reloadIfLoading();
    return true;
}

// The drag is made here rather than by the base class, which would remove the dragged row once more after a
// move that dropEvent has already made.
void BookmarkView::startDrag(Qt::DropActions supportedActions)
{
    Q_UNUSED(supportedActions);
    m_dragItem = asBookmark(currentItem());
    curItem = m_dragItem;
    if (!m_dragItem)
        return;
    QMimeData* data = model()->mimeData({ indexFromItem(m_dragItem) });
    if (!data)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(m_dragItem->icon(0).pixmap(iconSize()));
    {
        ModalScope scope(this);
        drag->exec(Qt::MoveAction, Qt::MoveAction);
    }
    m_dragItem = nullptr;
}

void BookmarkView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_dragItem && event->source() == this)
        QTreeWidget::dragEnterEvent(event);
    else
        event->ignore();
}

void BookmarkView::dragMoveEvent(QDragMoveEvent* event)
{
    if (m_dragItem && event->source() == this && canDrop(m_dragItem, itemAt(event->pos())))
        QTreeWidget::dragMoveEvent(event);
    else
        event->ignore();
}

// The move is made here, not by the base class: the entry goes into the category under the cursor (the
// stored parent), never beside it.
void BookmarkView::dropEvent(QDropEvent* event)
{
    if (m_dragItem && event->source() == this && moveItem(m_dragItem, itemAt(event->pos()))) {
        event->acceptProposedAction();
    } else {
        event->ignore();
    }
    stopAutoScroll();
    setState(QAbstractItemView::NoState);
    viewport()->update();
}
