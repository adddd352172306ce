#include "grid/medialistview.h"

#include "app/appcfg.h"
#include "app/photofiles.h"
#include "app/windows.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "dialogs/askbox.h"
#include "grid/colormenuwdg.h"
#include "grid/gridhost.h"
#include "grid/itemstorequeue.h"
#include "grid/mediadelegate.h"
#include "grid/mediaitem.h"
#include "grid/mediamodel.h"
#include "grid/tagfilewriter.h"
#include "records/bookmarktb.h"
#include "records/histaglist.h"
#include "records/tagutil.h"
#include "sys/fileutil.h"
#include "tagwidgets/xtaglabel.h"
#include "task/pooljob.h"
#include "widgets/menuutil.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QWidgetAction>

#include <algorithm>

namespace {

// The listing hands its files over in batches of at most this many.
constexpr int kBatchFiles = 512;

QString absoluteFolderOf(const QString& filePath)
{
    return QDir::cleanPath(QFileInfo(filePath).absolutePath());
}

} // namespace

MediaListView::MediaListView(QWidget* parent)
    : QListView(parent)
{
    qRegisterMetaType<ItemInfoPtr>("ItemInfoPtr");
    m_model = new MediaModel(this);
    m_delegate = new MediaDelegate(this);
    m_model->setView(this);
    m_model->setDelegate(m_delegate);
    m_delegate->setModel(m_model);
    m_delegate->setView(this);
    m_edits = new SelectionEdits(this);

    setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setTextElideMode(Qt::ElideNone);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setViewMode(QListView::IconMode);
    setUniformItemSizes(true);
    setFlow(QListView::LeftToRight);
    setSelectionRectVisible(true);
    setSpacing(AppCfg::instance()->item.itemSpace);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setModel(m_model);
    setItemDelegate(m_delegate);

    m_nameEditor = new QLineEdit(viewport());
    m_nameEditor->hide();
    m_tagEditor = new QLineEdit(viewport());
    m_tagEditor->hide();
    connect(m_nameEditor, &QLineEdit::returnPressed, this, &MediaListView::slot_fileNameEditFinished);
    connect(m_tagEditor, &QLineEdit::returnPressed, this, &MediaListView::slot_textTagEditFinished);

    buildMenus();

    connect(this, &QAbstractItemView::doubleClicked, this, &MediaListView::slot_double_clicked);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &MediaListView::slot_current_changed);
    connect(this, &MediaListView::listedFiles, this, &MediaListView::onListedFiles, Qt::QueuedConnection);
    connect(this, &MediaListView::listedEnd, this, &MediaListView::onListedEnd, Qt::QueuedConnection);
    connect(TagFileWriter::instance(), &TagFileWriter::batchDone, this, &MediaListView::onFileBatchDone);
    connect(PhotoFiles::instance(), &PhotoFiles::filesRemoved, this, &MediaListView::onFilesRemoved);
    connect(PhotoFiles::instance(), &PhotoFiles::fileRenamed, this, &MediaListView::onFileRenamed);
    connect(PhotoFiles::instance(), &PhotoFiles::folderRenamed, this, &MediaListView::onFolderRenamed);
}

MediaListView::~MediaListView()
{
    // Edits of the selection still under way reach their photos; nothing is shown any more.
    m_closing = true;
    m_edits->finish();
    dropRows();
}

void MediaListView::buildMenus()
{
    m_contextMenu = new QMenu(this);
    m_atRefresh = addMenuAction(m_contextMenu, QStringLiteral("刷新(&E)"));
    m_contextMenu->addSeparator();
    m_atCut = addMenuAction(m_contextMenu, QStringLiteral("剪切(&T)"));
    m_atCopy = addMenuAction(m_contextMenu, QStringLiteral("复制(&C)"));
    m_atDelete = addMenuAction(m_contextMenu, QStringLiteral("删除(&D)"));
    m_atRename = addMenuAction(m_contextMenu, QStringLiteral("改名(&M)"));
    m_contextMenu->addSeparator();
    m_atAddFav = addMenuAction(m_contextMenu, QStringLiteral("添加到收藏夹"));
    connect(m_atRefresh, &QAction::triggered, this, &MediaListView::onRefresh);
    connect(m_atCut, &QAction::triggered, this, &MediaListView::onCut);
    connect(m_atCopy, &QAction::triggered, this, &MediaListView::onCopy);
    connect(m_atDelete, &QAction::triggered, this, &MediaListView::onDelete);
    connect(m_atRename, &QAction::triggered, this, &MediaListView::onRename);
    connect(m_atAddFav, &QAction::triggered, this, &MediaListView::slot_atAddFav);

    m_colorMenu = new QMenu(this);
    m_colorWdg = new ColorMenuWdg(m_colorMenu);
    auto* colorAction = new QWidgetAction(m_colorMenu);
    colorAction->setDefaultWidget(m_colorWdg);
    m_colorMenu->addAction(colorAction);
    connect(m_colorWdg, &ColorMenuWdg::sign_color_selected, this, &MediaListView::slot_color_selected);

    m_starMenu = new QMenu(this);
    void (MediaListView::*starSlots[6])()
        = { &MediaListView::slot_atStar1, &MediaListView::slot_atStar2, &MediaListView::slot_atStar3,
              &MediaListView::slot_atStar4, &MediaListView::slot_atStar5, &MediaListView::slot_atStar0 };
    for (int i = 0; i < 6; ++i) {
        const QString text = i < 5 ? QStringLiteral("%1 星").arg(i + 1) : QStringLiteral("清除");
        connect(addMenuAction(m_starMenu, text), &QAction::triggered, this, starSlots[i]);
    }

    m_tagMenu = new QMenu(this);
    onRefreshHisTextTag();
}

// ---- listing ----

void MediaListView::listFolder(const QString& path, const QString& curFile)
{
    clear();
    m_currentPath = path;
    // An empty path would list the process's working folder.
    if (path.isEmpty())
        return;
    m_listEnded = false;
    const quint64 listing = m_listing;
    auto stop = std::make_shared<std::atomic_bool>(false);
    m_listStop = stop;
    // The folder goes to the job by value: the next listing may change currentPath meanwhile.
    m_listFuture = runJob(QThreadPool::globalInstance(), [this, folder = path, curFile, listing, stop] {
        // By name, as the viewer's strip lists the folder.
        const QStringList files = listImagesByName(folder, stop.get());
        for (int i = 0; i < files.size() && !*stop; i += kBatchFiles) {
            const QStringList batch = files.mid(i, kBatchFiles);
            for (const QString& file : batch)
                emit findFile(file);
            emit listedFiles(listing, batch, QPrivateSignal());
        }
        if (*stop)
            return;
        emit findFileEnd(curFile);
        emit listedEnd(listing, curFile, QPrivateSignal());
    });
}

void MediaListView::onListedFiles(quint64 listing, const QStringList& paths)
{
    if (listing != m_listing)
        return;
    QList<QStandardItem*> rows;
    rows.reserve(paths.size());
    for (const QString& path : paths) {
        ItemInfoPtr info(new ItemInfo());
        info->setFile(path);
        rows.append(newRow(info));
    }
    m_model->invisibleRootItem()->appendRows(rows);
}

void MediaListView::onListedEnd(quint64 listing, const QString& curFile)
{
    if (listing != m_listing)
        return;
    m_listEnded = true;
    onFindFileEnd(curFile);
}

MediaItem* MediaListView::newRow(const ItemInfoPtr& info)
{
    auto* item = new MediaItem();
    item->setInfo(info);
    item->setMediaModel(m_model);
    item->setView(this);
    item->setDelegate(m_delegate);
    if (m_filterOn && info && !isLoaded(*info))
        m_filterPending.insert(info.data());
    return item;
}

void MediaListView::onFindFile(QString strFilePath)
{
    ItemInfoPtr info(new ItemInfo());
    info->setFile(strFilePath);
    m_model->appendRow(newRow(info));
}

void MediaListView::onFindFileEnd(QString strCurFilePath)
{
    const int n = m_model->rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = itemAt(m_model->index(row, 0));
        if (item && item->getInfo())
            item->getInfo()->load();
    }
    if (!strCurFilePath.isEmpty()) {
        const int row = rowOfFile(strCurFilePath);
        if (row >= 0)
            selectRow(row);
    } else if (n > 0) {
        setCurrentIndex(m_model->index(0, 0));
    }
}

void MediaListView::clear()
{
    dropRows();
    emit itemCleared();
    emit currentCleared();
}

void MediaListView::dropRows()
{
    if (m_listStop)
        *m_listStop = true;
    m_listFuture.cancel();
    m_listFuture.waitForFinished();
    m_listStop.reset();
    // Leftovers of the stopped listing still queued for this thread are ignored from now on.
    ++m_listing;
    m_listEnded = true;
    hideEditors();
    m_contextIndex = QPersistentModelIndex();
    m_hoverIndex = QPersistentModelIndex();
    m_pressIndex = QPersistentModelIndex();
    m_nameIndex = QPersistentModelIndex();
    m_hoverCode = -1;
    m_pressCode = -1;
    m_currentPath.clear();
    // New rows start unfiltered.
    m_filterOn = false;
    m_filterPending.clear();
    m_awaitingTags.clear();
    m_model->clear();
}

bool MediaListView::isCurrentPath(const QString& filePath) const
{
    // Paths are case-sensitive here: compared exactly.
    return !m_currentPath.isEmpty() && absoluteFolderOf(filePath) == QDir::cleanPath(m_currentPath);
}

int MediaListView::selectFile(const QString& filePath)
{
    const QFileInfo fi(filePath);
    const QString folder = absoluteFolderOf(filePath);
    if (folder != QDir::cleanPath(m_currentPath)) {
        listFolder(folder, fi.absoluteFilePath());
        return 1;
    }
    const int row = rowOfFile(filePath);
    if (row < 0)
        return -1;
    selectRow(row);
    return 0;
}

int MediaListView::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& curFile)
{
    clear();
    QList<QStandardItem*> rows;
    for (const ItemInfoPtr& info : items) {
        if (info)
            rows.append(newRow(info));
    }
    m_model->invisibleRootItem()->appendRows(rows);
    m_currentPath = absoluteFolderOf(curFile);
    // Items the other window never loaded fill in here; loaded ones ignore this.
    for (const ItemInfoPtr& info : items) {
        if (info)
            info->load();
    }
    const int row = rowOfFile(curFile);
    if (row < 0)
        return -1;
    selectRow(row);
    return 0;
}

int MediaListView::rowOfFile(const QString& filePath) const
{
    if (filePath.isEmpty())
        return -1;
    const QString wanted = QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
    const int n = m_model->rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = itemAt(m_model->index(row, 0));
        if (item && item->getInfo() && item->getInfo()->fileInfo.absoluteFilePath() == wanted)
            return row;
    }
    return -1;
}

void MediaListView::selectRow(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void MediaListView::onLoadPath(QString strPath)
{
    listFolder(strPath, QString());
}

void MediaListView::onLoadFile(QString strFilePath)
{
    clear();
    m_currentPath = strFilePath;
    onFindFile(strFilePath);
    onFindFileEnd(strFilePath);
}

void MediaListView::onRefresh()
{
    const QString cur = m_model->filePath(currentIndex());
    const QString path = m_currentPath;
    if (path.isEmpty())
        return;
    if (QFileInfo(path).isDir())
        listFolder(path, cur);
    else
        onLoadFile(path);
}

// ---- rows and selection ----

MediaItem* MediaListView::itemAt(const QModelIndex& index) const
{
    return m_model->itemFromIndex(index);
}

QModelIndexList MediaListView::visibleSelection() const
{
    QModelIndexList out;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected) {
        if (index.isValid() && index.column() == 0 && !isRowHidden(index.row()))
            out.append(index);
    }
    return out;
}

QStringList MediaListView::selectedPaths() const
{
    QStringList paths;
    for (const QModelIndex& index : visibleSelection()) {
        MediaItem* item = itemAt(index);
        if (item && item->getInfo())
            paths.append(item->getInfo()->fileInfo.absoluteFilePath());
    }
    return paths;
}

QString MediaListView::unreadableText(const QStringList& names)
{
    return names.size() == 1 ? QStringLiteral("“%1”无法作为图片读取，不能加标签，未作修改。").arg(names.first())
                             : QStringLiteral("%1 个文件无法作为图片读取，不能加标签，未作修改。").arg(names.size());
}

ItemInfoPtr MediaListView::editableItem(const QModelIndex& index)
{
    // A cell edit comes after the selection's edits still under way.
    m_edits->finish();
    if (!index.isValid() || isRowHidden(index.row()))
        return ItemInfoPtr();
    MediaItem* item = itemAt(index);
    if (!item || !item->getInfo())
        return ItemInfoPtr();
    if (item->getInfo()->tagReady != 1) {
        showStatus(QStringLiteral("“%1”的标签仍在读取，未作修改。").arg(item->getInfo()->fileName()));
        return ItemInfoPtr();
    }
    if (!item->getInfo()->fileExists()) {
        showStatus(QStringLiteral("“%1”已不存在，未作修改。").arg(item->getInfo()->fileName()));
        return ItemInfoPtr();
    }
    if (item->getInfo()->isUnreadable()) {
        showStatus(unreadableText({ item->getInfo()->fileName() }));
        return ItemInfoPtr();
    }
    return item->getInfo();
}

void MediaListView::slot_current_changed(QModelIndex current, QModelIndex)
{
    MediaItem* item = itemAt(current);
    m_awaitingTags.clear();
    if (item && item->getInfo()) {
        // A panel shown this item before its tags arrived: they are announced again when they do.
        if (item->getInfo()->tagReady != 1)
            m_awaitingTags = item->getInfo();
        emit selectItemChanged(item->getInfo());
    } else {
        emit currentCleared();
    }
}

void MediaListView::slot_double_clicked(QModelIndex index)
{
    showInViewer(index, false);
}

// ---- filter ----

bool MediaListView::isLoaded(const ItemInfo& info)
{
    return info.tagReady == 1 && info.thumbReady == 1;
}

bool MediaListView::rowMatches(int row) const
{
    MediaItem* item = itemAt(m_model->index(row, 0));
    if (!item || !item->getInfo())
        return true;
    return item->getInfo()->match(m_filterStars, m_filterColors, m_filterKeys);
}

void MediaListView::onFilterItem(QList<int> star, QList<QRgb> color, QStringList keys)
{
    m_filterOn = true;
    m_filterStars = star;
    m_filterColors = color;
    m_filterKeys = keys;
    m_filterPending.clear();
    const bool blocked = blockSignals(true);
    const int n = m_model->rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = itemAt(m_model->index(row, 0));
        if (item && item->getInfo() && !isLoaded(*item->getInfo()))
            m_filterPending.insert(item->getInfo().data());
        setRowHidden(row, !rowMatches(row));
    }
    blockSignals(blocked);
    doItemsLayout();
    viewport()->update();
}

void MediaListView::onShowAllItem()
{
    m_filterOn = false;
    m_filterStars.clear();
    m_filterColors.clear();
    m_filterKeys.clear();
    m_filterPending.clear();
    const bool blocked = blockSignals(true);
    const int n = m_model->rowCount();
    for (int row = 0; row < n; ++row)
        setRowHidden(row, false);
    blockSignals(blocked);
    doItemsLayout();
    viewport()->update();
}

void MediaListView::onChangedItemData(MediaItem* item, int iType)
{
    if (!item || item->mediaModel() != m_model)
        return;
    const QModelIndex index = item->index();
    if (!index.isValid())
        return;
    // A row that was still loading when the filter was set is judged once it has loaded; edits never hide rows.
    const ItemInfoPtr& info = item->getInfo();
    if (m_filterOn && info && isLoaded(*info) && m_filterPending.remove(info.data())) {
        const bool hide = !rowMatches(index.row());
        if (hide != isRowHidden(index.row()))
            setRowHidden(index.row(), hide);
    }
    if (info && m_awaitingTags == info && info->tagReady == 1) {
        m_awaitingTags.clear();
        if (index == currentIndex())
            emit selectItemChanged(info);
    }
    // Tags taken over from another program: the panels show them.
    if (iType == 3 && info && index == currentIndex())
        emit itemDataChanged(info);
    update(index);
}

void MediaListView::onChangedItemData(MediaItem* item)
{
    onChangedItemData(item, 0);
}

void MediaListView::onResizeItem()
{
    m_model->rescaleAll();
    setSpacing(AppCfg::instance()->item.itemSpace);
    doItemsLayout();
    viewport()->update();
}

// ---- clipboard, delete, rename ----

void MediaListView::onCut()
{
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty())
        copyToClipboard(paths, false);
}

void MediaListView::onCopy()
{
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty())
        copyToClipboard(paths, true);
}

void MediaListView::onDelete()
{
    hideEditors();
    const QStringList paths = selectedPaths();
    // The cells leave when the files are announced as removed (onFilesRemoved), here and in the viewer alike; a
    // file that could not be trashed keeps its cell and is named.
    if (!paths.isEmpty())
        PhotoFiles::instance()->trash(this, paths);
}

void MediaListView::onFilesRemoved(const QStringList& paths)
{
    const QSet<QString> gone(paths.begin(), paths.end());
    const int shown = currentIndex().isValid() ? currentIndex().row() : -1;
    int place = shown; // where the current cell is, as cells before it go
    bool currentGone = false;
    QList<QPersistentModelIndex> rows;
    const int n = m_model->rowCount();
    for (int row = 0; row < n; ++row) {
        MediaItem* item = itemAt(m_model->index(row, 0));
        if (!item || !item->getInfo() || !gone.contains(item->getInfo()->fileInfo.absoluteFilePath()))
            continue;
        rows.append(QPersistentModelIndex(m_model->index(row, 0)));
        if (row < shown)
            --place;
        else if (row == shown)
            currentGone = true;
    }
    if (rows.isEmpty())
        return;
    hideEditors();
    for (const QPersistentModelIndex& index : qAsConst(rows)) {
        if (MediaItem* item = itemAt(index))
            m_filterPending.remove(item->getInfo().data());
        m_model->removeRow(QModelIndex(index));
    }
    // The cell after the shown one takes its place (the one before when it was last, rows the filter hides
    // skipped), selected: it is the one the panels show and edit.
    if (currentGone) {
        const int left = m_model->rowCount();
        int next = -1;
        for (int row = std::min(place, left - 1); row >= 0 && row < left && next < 0; ++row) {
            if (!isRowHidden(row))
                next = row;
        }
        for (int row = std::min(place, left) - 1; row >= 0 && next < 0; --row) {
            if (!isRowHidden(row))
                next = row;
        }
        if (next >= 0)
            selectionModel()->setCurrentIndex(m_model->index(next, 0), QItemSelectionModel::ClearAndSelect);
    }
    const QModelIndex current = currentIndex();
    if (!current.isValid())
        emit currentCleared();
    else if (!selectionModel()->hasSelection())
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
}

void MediaListView::onFileRenamed(const QString& oldPath, const ItemInfoPtr& info)
{
    if (m_currentPath == oldPath)
        m_currentPath = info->fileInfo.absoluteFilePath(); // a single file shown
    const int n = m_model->rowCount();
    for (int row = 0; row < n; ++row) {
        const QModelIndex index = m_model->index(row, 0);
        MediaItem* item = itemAt(index);
        if (!item || !item->getInfo())
            continue;
        if (item->getInfo() != info) {
            if (item->getInfo()->fileInfo.absoluteFilePath() != oldPath)
                continue;
            // The grid's own item of the file, still under the old name: the renamed one takes its place.
            QLinkedList<ItemInfoPtr> stale { item->getInfo() };
            m_filterPending.remove(stale.first().data());
            item->setInfo(info);
            m_model->releaseItems(std::move(stale));
        }
        update(index);
        // The panels show the file by its new name.
        if (index == currentIndex())
            slot_current_changed(index, index);
        return;
    }
}

void MediaListView::onFolderRenamed(const QString& oldPath, const QString& newPath)
{
    const QString shown = rebasePath(m_currentPath, oldPath, newPath);
    if (shown == m_currentPath)
        return;
    const QString current = rebasePath(m_model->filePath(currentIndex()), oldPath, newPath);
    if (!m_listEnded) {
        // Still listing under the old name: listed again under the new one.
        listFolder(shown, current);
        return;
    }
    m_currentPath = shown;
    QLinkedList<ItemInfoPtr> items;
    m_model->items(items);
    for (const ItemInfoPtr& info : qAsConst(items)) {
        if (info)
            info->followFolder(oldPath, newPath);
    }
    // The panels name the current file by its new path.
    if (currentIndex().isValid())
        slot_current_changed(currentIndex(), currentIndex());
}

void MediaListView::sweepRows()
{
    QLinkedList<ItemInfoPtr> items;
    m_model->items(items);
    QStringList paths;
    for (const ItemInfoPtr& info : qAsConst(items)) {
        if (info)
            paths.append(info->fileInfo.absoluteFilePath());
    }
    PhotoFiles::instance()->sweep(paths);
}

void MediaListView::onRename()
{
    hideEditors();
    const QModelIndex index = currentIndex();
    if (!index.isValid() || isRowHidden(index.row()) || !selectionModel()->isSelected(index) || !itemAt(index)
        || !itemAt(index)->getInfo())
        return;
    scrollTo(index);
    CfgItem cfg = AppCfg::instance()->item;
    const QRect cell = visualRect(index);
    cfg.translate(cell.left(), cell.top());
    m_nameIndex = index;
    placeEditor(m_nameEditor, index, cfg.rcFileName);
}

void MediaListView::slot_fileNameEditFinished()
{
    m_nameEditor->hide();
    const QModelIndex index = m_nameIndex;
    m_nameIndex = QPersistentModelIndex();
    if (!index.isValid() || isRowHidden(index.row()))
        return;
    MediaItem* item = itemAt(index);
    if (!item || !item->getInfo())
        return;
    // The name as it was: nothing to rename (simplifying it could still change it).
    if (m_nameEditor->text() == item->getInfo()->fileName())
        return;
    // The cell and the panels follow the new name when it is announced (onFileRenamed); a refusal is said.
    const ItemInfoPtr info = item->getInfo();
    const QString refused = PhotoFiles::instance()->rename(info, m_nameEditor->text().simplified());
    if (!refused.isEmpty())
        AskBox::info(this, refused);
}

// ---- editors and menus ----

void MediaListView::hideEditors()
{
    if (m_nameEditor)
        m_nameEditor->hide();
    if (m_tagEditor)
        m_tagEditor->hide();
}

void MediaListView::placeEditor(QLineEdit* editor, const QModelIndex& index, const QRect& partRect)
{
    MediaItem* item = itemAt(index);
    if (!item || !item->getInfo())
        return;
    editor->setGeometry(partRect.adjusted(0, 0, 1, 1));
    if (editor == m_nameEditor) {
        const QString name = item->getInfo()->fileName();
        editor->setText(name);
        const int dot = name.indexOf(QLatin1Char('.'));
        editor->setSelection(0, dot < 0 ? name.size() : dot);
    } else {
        editor->setText(item->getInfo()->tagText());
        editor->end(false);
    }
    editor->show();
    editor->raise();
    editor->setFocus(Qt::OtherFocusReason);
}

void MediaListView::popupAt(QMenu* menu, const QRect& partRect)
{
    const QPoint pos = viewport()->mapToGlobal(partRect.bottomLeft()) + QPoint(2, 4);
    menu->popup(pos);
}

int MediaListView::hitTest(const QPoint& pos, QModelIndex* indexOut, QRect* rectOut) const
{
    const QModelIndex index = indexAt(pos);
    if (indexOut)
        *indexOut = index;
    if (rectOut)
        *rectOut = QRect();
    if (!index.isValid())
        return PartNone;
    CfgItem cfg = AppCfg::instance()->item;
    const QRect cell = visualRect(index);
    cfg.translate(cell.left(), cell.top());
    QRect rect;
    const int code = cfg.hitTest(pos, rect);
    if (rectOut)
        *rectOut = rect;
    return code;
}

void MediaListView::setHover(const QModelIndex& index, int code)
{
    if (index == m_hoverIndex && code == m_hoverCode)
        return;
    if (MediaItem* old = itemAt(m_hoverIndex)) {
        if (old->getInfo())
            old->getInfo()->hoverPart = PartNone;
        update(m_hoverIndex);
    }
    if (MediaItem* item = itemAt(index)) {
        if (item->getInfo())
            item->getInfo()->hoverPart = code;
        update(index);
    }
    m_hoverIndex = index;
    m_hoverCode = code;
}

void MediaListView::mouseMoveEvent(QMouseEvent* event)
{
    QListView::mouseMoveEvent(event);
    QModelIndex index;
    const int code = hitTest(event->pos(), &index);
    setHover(index, code);
}

void MediaListView::leaveEvent(QEvent* event)
{
    QListView::leaveEvent(event);
    setHover(QModelIndex(), PartNone);
}

void MediaListView::mousePressEvent(QMouseEvent* event)
{
    QListView::mousePressEvent(event);
    hideEditors();
    QModelIndex index;
    QRect rect;
    const int code = hitTest(event->pos(), &index, &rect);
    m_pressIndex = index;
    m_pressCode = code;
    if (!index.isValid() || code <= 0 || event->button() != Qt::LeftButton)
        return;
    switch (code) {
    case PartFileName:
        m_nameIndex = index;
        placeEditor(m_nameEditor, index, rect);
        break;
    case PartColor1:
    case PartColor1 + 1:
    case PartColor1 + 2:
    case PartColor4:
        popupAt(m_colorMenu, rect);
        break;
    case PartTagRow:
        placeEditor(m_tagEditor, index, rect);
        break;
    case PartTagButton:
        if (!m_tagMenu->isEmpty())
            popupAt(m_tagMenu, rect);
        break;
    case PartStarButton:
        popupAt(m_starMenu, rect);
        break;
    default:
        break;
    }
}

void MediaListView::contextMenuEvent(QContextMenuEvent* event)
{
    const QModelIndex index = indexAt(event->pos());
    m_contextIndex = index;
    if (index.isValid()) {
        m_atAddFav->setEnabled(true);
        m_contextMenu->popup(event->globalPos());
    } else if (m_host) {
        if (QMenu* menu = m_host->viewMenu())
            menu->popup(event->globalPos());
    }
}

void MediaListView::onRefreshHisTextTag()
{
    m_tagMenu->clear();
    const QStringList& tags = HisTagList::m_hisTags;
    const int n = qMin(20, tags.size());
    for (int i = 0; i < n; ++i) {
        QAction* action = m_tagMenu->addAction(tags[i]);
        action->setData(tags[i]);
        connect(action, &QAction::triggered, this, &MediaListView::slot_addTextTag);
    }
}

// ---- cell edits ----

void MediaListView::editTail(const ItemInfoPtr& info, const QModelIndex& index)
{
    saveToFiles({ info });
    emit info->tagLoaded();
    emit itemDataChanged(info);
    update(index);
}

void MediaListView::saveToFiles(const QList<ItemInfoPtr>& items)
{
    if (AppCfg::instance()->tag.tagSaveToFile > 0 && !items.isEmpty())
        m_fileBatches.insert(TagFileWriter::instance()->write(items));
}

void MediaListView::onFileBatchDone(
    int batch, int written, int unchanged, int failed, int failedUnstored, const QString& firstFailure)
{
    if (!m_fileBatches.remove(batch))
        return;
    if (failed > 0)
        showStatus(
            QStringLiteral("标签写入文件：%1 个成功，%2 个失败（%3）。%4%5")
                .arg(written + unchanged)
                .arg(failed)
                .arg(failedUnstored > 0 || ItemStoreQueue::waiting() > 0 ? QStringLiteral("数据库也尚未保存，正在重试")
                                                                         : QStringLiteral("标签仍保存在数据库中"),
                    failed > 1 ? QStringLiteral("如") : QString(), firstFailure));
    else if (written + unchanged > 1)
        showStatus(QStringLiteral("标签已写入 %1 个文件。").arg(written + unchanged));
}

void MediaListView::onItemNotStored(MediaItem* item)
{
    if (item && item->mediaModel() == m_model && item->getInfo())
        showStatus(
            QStringLiteral("“%1”的标签未能保存到数据库（%2）。")
                .arg(item->getInfo()->fileName(),
                    ItemStoreQueue::fault() == SqliteDb::Fault::None ? QStringLiteral("数据库写入失败")
                                                                     : SqliteDb::faultText(ItemStoreQueue::fault())));
}

void MediaListView::showStatus(const QString& text)
{
    if (m_host)
        m_host->showStatus(text);
}

void MediaListView::slot_textTagEditFinished()
{
    m_tagEditor->hide();
    if (m_pressCode <= 0)
        return;
    const ItemInfoPtr info = editableItem(m_pressIndex);
    if (!info)
        return;
    info->setTextTags(StrToStringList(m_tagEditor->text()));
    editTail(info, m_pressIndex);
}

void MediaListView::slot_color_selected(XTagLabel* ctl)
{
    m_colorMenu->close();
    if (!ctl || m_pressCode <= 0)
        return;
    const int slot = colorSlotOfPart(m_pressCode);
    const ItemInfoPtr info = editableItem(m_pressIndex);
    if (!info || slot < 0)
        return;
    if (ctl->isRgb())
        info->updateRgb(slot, ctl->getRgb());
    else
        info->deleteRgb(slot);
    editTail(info, m_pressIndex);
}

void MediaListView::slot_addTextTag()
{
    auto* action = qobject_cast<QAction*>(sender());
    if (!action || m_pressCode <= 0)
        return;
    const ItemInfoPtr info = editableItem(m_pressIndex);
    if (!info)
        return;
    info->addTextTag(action->data().toString());
    editTail(info, m_pressIndex);
}

void MediaListView::slot_atStar(int iStar)
{
    if (m_pressCode <= 0)
        return;
    const ItemInfoPtr info = editableItem(m_pressIndex);
    if (!info)
        return;
    info->setStar(iStar);
    editTail(info, m_pressIndex);
}

void MediaListView::slot_atStar1()
{
    slot_atStar(1);
}

void MediaListView::slot_atStar2()
{
    slot_atStar(2);
}

void MediaListView::slot_atStar3()
{
    slot_atStar(3);
}

void MediaListView::slot_atStar4()
{
    slot_atStar(4);
}

void MediaListView::slot_atStar5()
{
    slot_atStar(5);
}

void MediaListView::slot_atStar0()
{
    slot_atStar(0);
}

void MediaListView::slot_atAddFav()
{
    const QString path = m_model->filePath(m_contextIndex);
    if (path.isEmpty())
        return;
    // Looked up off this thread: another program may hold the database.
    const QString file = QFileInfo(path).absoluteFilePath();
    const QPointer<MediaListView> self(this);
    runJob(QThreadPool::globalInstance(), [self, path, file] {
        qint64 found = -1;
        {
            PooledDb<TagDb> db(tagDbPool);
            if (db)
                found = BookMarkTb(db.get()).findBookmarkByFile(file, -1);
        }
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, path, found] {
                if (self)
                    self->confirmAddFav(path, found);
            },
            Qt::QueuedConnection);
    });
}

void MediaListView::confirmAddFav(const QString& path, qint64 found)
{
    if (found > 0) {
        QMessageBox box(QMessageBox::Question, QStringLiteral("确认"),
            QStringLiteral("文件已经添加收藏夹中了。\n你确定要再次添加吗？"), QMessageBox::NoButton, this);
        QPushButton* yes = box.addButton(QStringLiteral("是"), QMessageBox::YesRole);
        box.addButton(QStringLiteral("否"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.exec();
        if (box.clickedButton() != yes)
            return;
    }
    emit bookmarkAdded(path, 2);
}

// ---- fan-out of the tag panel's edits ----

void MediaListView::fanOut(SelectionEdits::Edit edit)
{
    // Every selected photo, also those the filter hides: the edit is for what the user selected.
    QList<ItemInfoPtr> items;
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    for (const QModelIndex& index : selected) {
        MediaItem* item = index.column() == 0 ? itemAt(index) : nullptr;
        if (item && item->getInfo())
            items.append(item->getInfo());
    }
    TagFileWriter* writer = TagFileWriter::instance();
    const int batch = AppCfg::instance()->tag.tagSaveToFile > 0 ? writer->openBatch() : 0;
    if (batch > 0)
        m_fileBatches.insert(batch);
    const auto toFiles = [writer, batch](const QList<ItemInfoPtr>& slice) {
        if (batch > 0)
            writer->add(batch, slice);
    };
    m_edits->run(items, std::move(edit), toFiles, [this, writer, batch](const SelectionEdits::Outcome& outcome) {
        if (batch > 0)
            writer->closeBatch(batch);
        if (m_closing)
            return;
        // The tag panel shows the current photo: when the edit did not reach it, it shows what it holds again.
        MediaItem* current = itemAt(currentIndex());
        if (current && current->getInfo() && !outcome.edited.contains(current->getInfo()))
            emit itemDataChanged(current->getInfo());
        if (!outcome.gone.isEmpty())
            showStatus(outcome.gone.size() == 1
                    ? QStringLiteral("“%1”已不存在，未作修改。").arg(outcome.gone.first())
                    : QStringLiteral("%1 张照片已不存在，未作修改。").arg(outcome.gone.size()));
        else if (!outcome.unreadable.isEmpty())
            showStatus(unreadableText(outcome.unreadable));
        else if (outcome.loading > 0)
            showStatus(QStringLiteral("%1 张照片的标签仍在读取，未作修改。").arg(outcome.loading));
    });
}

void MediaListView::onSaveStar(int iStar)
{
    fanOut([iStar](ItemInfo& info) { return info.setStar(iStar); });
}

void MediaListView::onSaveRgbs(QList<QRgb> rgbs)
{
    fanOut([rgbs](ItemInfo& info) { return info.setRgbs(rgbs); });
}

void MediaListView::onSaveTextTags(QStringList tags)
{
    fanOut([tags](ItemInfo& info) { return info.setTextTags(tags); });
}

void MediaListView::onSaveTags(int iStar, QList<QRgb> rgbs, QStringList tags)
{
    fanOut([iStar, rgbs, tags](
               ItemInfo& info) { return info.setStar(iStar) && info.setRgbs(rgbs) && info.setTextTags(tags); });
}

// ---- hand-over to the viewer ----

void MediaListView::showInViewer(QModelIndex index, bool hideMgr)
{
    if (!index.isValid())
        index = currentIndex();
    if (!index.isValid())
        index = m_model->index(0, 0);
    if (!index.isValid() || !m_host)
        return;
    QWidget* manager = m_host->managerWidget();
    GridViewer* viewer = m_host->viewer();
    if (!manager || !viewer || !viewer->viewerWidget())
        return;
    if (hideMgr)
        manager->hide();
    bringForward(viewer->viewerWidget());
    const QString path = m_model->filePath(index);
    if (viewer->isCurrentPath(path)) {
        viewer->selectFile(path);
    } else {
        QLinkedList<ItemInfoPtr> items;
        m_model->items(items);
        viewer->loadItems(items, path);
    }
}
