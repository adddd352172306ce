#include "viewer/filelistwidget.h"

#include "app/appcfg.h"
#include "app/photofiles.h"
#include "app/threadpools.h"
#include "dialogs/renamedlg.h"
#include "grid/fullimagecache.h"
#include "meta/imagedecoder.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"
#include "viewer/filelistdelegate.h"
#include "viewer/filelistitem.h"
#include "widgets/menuutil.h"

#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <QSet>
#include <QVector>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The listing hands its files over in batches of at most this many.
constexpr int kBatchFiles = 512;
// The most a full image can take: the decoder's pixel budget, four bytes each.
const qint64 kMostBytes = qint64(ImageDecoder::kBudgetMegapixels) * 1000 * 1000 * 4;

QString folderOf(const QString& filePath)
{
    return QDir::cleanPath(QFileInfo(filePath).absolutePath());
}

QString cleanFile(const QString& filePath)
{
    return QDir::cleanPath(QFileInfo(filePath).absoluteFilePath());
}

} // namespace

FileListWidget::FileListWidget(QWidget* parent)
    : QListWidget(parent)
{
    setMinimumWidth(50);
    setMaximumWidth(500);
    setSortingEnabled(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setViewMode(QListView::ListMode);
    setMovement(QListView::Static);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSpacing(1);
    m_delegate = new FileListDelegate(this);
    m_delegate->setList(this);
    setItemDelegate(m_delegate);

    connect(this, &QListWidget::currentItemChanged, this, &FileListWidget::onCurrentItemChanged);
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &FileListWidget::onScroll);
    connect(this, &FileListWidget::findFile, this, &FileListWidget::onFindFile);
    connect(this, &FileListWidget::findFileEnd, this, &FileListWidget::onFindFileEnd);
    connect(this, &FileListWidget::listedFiles, this, &FileListWidget::onListedFiles, Qt::QueuedConnection);
    connect(this, &FileListWidget::listedEnd, this, &FileListWidget::onListedEnd, Qt::QueuedConnection);
    buildMenu();
    connect(PhotoFiles::instance(), &PhotoFiles::filesRemoved, this, &FileListWidget::onFilesRemoved);
    connect(PhotoFiles::instance(), &PhotoFiles::fileRenamed, this, &FileListWidget::onFileRenamed);
    connect(PhotoFiles::instance(), &PhotoFiles::folderRenamed, this, &FileListWidget::onFolderRenamed);
}

FileListWidget::~FileListWidget()
{
    reset();
    // The rows' items are gone once the strip is.
    m_release.waitForFinished();
}

void FileListWidget::buildMenu()
{
    m_menu = new QMenu(this);
    auto add = [this](const QString& text, void (FileListWidget::*slot)()) {
        QAction* action = addMenuAction(m_menu, text);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    m_atRefresh = add(QStringLiteral("刷新(&E)"), &FileListWidget::onRefresh);
    m_menu->addSeparator();
    m_atCut = add(QStringLiteral("剪切(&T)"), &FileListWidget::onCut);
    m_atCopy = add(QStringLiteral("复制(&C)"), &FileListWidget::onCopy);
    m_atDelete = add(QStringLiteral("删除(&D)"), &FileListWidget::onDelete);
    m_atRename = add(QStringLiteral("改名(&M)"), &FileListWidget::onRename);
}

void FileListWidget::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->exec(event->globalPos());
    QListWidget::contextMenuEvent(event);
}

// ---- rows of a folder or of the grid

bool FileListWidget::isCurrentPath(const QString& filePath) const
{
    return !m_folder.isEmpty() && folderOf(filePath) == m_folder;
}

int FileListWidget::selectFile(const QString& filePath)
{
    const QString folder = folderOf(filePath);
    if (folder != m_folder) {
        reset();
        startFind(folder, cleanFile(filePath));
        return 1;
    }
    const int row = rowOfFile(filePath);
    if (row < 0) {
        // Still listing: the file is selected when the listing ends.
        if (m_listStop)
            m_file = cleanFile(filePath);
        return -1;
    }
    selectRow(row);
    return 0;
}

int FileListWidget::loadItems(QLinkedList<ItemInfoPtr>& items, const QString& filePath)
{
    reset();
    for (const ItemInfoPtr& info : qAsConst(items)) {
        if (!info)
            continue;
        auto* row = new FileListItem();
        row->setItemInfo(info);
        addItem(row);
    }
    m_folder = folderOf(filePath);
    m_file = cleanFile(filePath);
    const int row = rowOfFile(m_file);
    startRows(row);
    return row < 0 ? -1 : 0;
}

void FileListWidget::getItems(QLinkedList<ItemInfoPtr>& items) const
{
    for (int i = 0; i < count(); ++i) {
        if (FileListItem* row = rowItem(i))
            items << row->itemInfo();
    }
}

void FileListWidget::startFind(const QString& folder, const QString& file)
{
    if (m_listing.isRunning())
        return;
    m_folder = QDir::fromNativeSeparators(folder);
    m_file = QDir::fromNativeSeparators(file);
    const quint64 listing = ++m_listingId;
    auto stop = std::make_shared<std::atomic_bool>(false);
    m_listStop = stop;
    m_listing = runJob(QThreadPool::globalInstance(), [this, folder = m_folder, listing, stop] {
        const QStringList files = listImagesByName(folder, stop.get());
        if (*stop)
            return;
        for (int i = 0; i < files.size() && !*stop; i += kBatchFiles)
            emit listedFiles(listing, files.mid(i, kBatchFiles), QPrivateSignal());
        if (!*stop)
            emit listedEnd(listing, QPrivateSignal());
    });
}

void FileListWidget::onListedFiles(quint64 listing, const QStringList& files)
{
    if (listing != m_listingId || !m_listStop)
        return;
    for (const QString& file : files)
        emit findFile(file);
}

void FileListWidget::onListedEnd(quint64 listing)
{
    if (listing != m_listingId || !m_listStop)
        return;
    m_listStop.reset();
    // The file asked for is shown even when the listing leaves it out (a hidden file, a name without an image
    // suffix): it comes last.
    const QFileInfo asked(m_file);
    if (!m_file.isEmpty() && rowOfFile(m_file) < 0 && asked.isFile() && folderOf(m_file) == m_folder)
        emit findFile(m_file);
    emit findFileEnd(m_file);
}

void FileListWidget::onFindFile(QString strFilePath)
{
    ItemInfoPtr info(new ItemInfo());
    info->setFile(strFilePath);
    auto* row = new FileListItem();
    row->setItemInfo(info);
    addItem(row);
}

void FileListWidget::onFindFileEnd(QString strCurFilePath)
{
    startRows(rowOfFile(strCurFilePath));
}

void FileListWidget::startRows(int current)
{
    const int n = count();
    if (current >= 0) {
        rowItem(current)->load();
        selectRow(current);
    }
    // The rows on screen (and those a scroll step away) before the rest, then the others nearest first, so that
    // stepping finds its thumbnails ready (a load already queued is not queued again).
    executeDelayedItemsLayout();
    m_lastScroll = verticalScrollBar()->value();
    const int extra = AppCfg::instance()->list.loadThumbCount;
    loadOnScreen(extra, extra);
    const int from = std::max(current, 0);
    for (int d = 0; from + d < n || from - d >= 0; ++d) {
        if (from + d < n)
            rowItem(from + d)->load();
        if (d > 0 && from - d >= 0)
            rowItem(from - d)->load();
    }
}

void FileListWidget::loadRows(int from, int to)
{
    for (int i = std::max(from, 0); i < std::min(to, count()); ++i)
        rowItem(i)->load();
}

void FileListWidget::reset()
{
    if (m_clearing) {
        QListWidget::reset();
        return;
    }
    if (m_listStop)
        *m_listStop = true;
    m_listStop.reset();
    m_listing.cancel();
    m_listing.waitForFinished();
    ++m_listingId;
    m_folder.clear();
    m_file.clear();
    m_lastScroll = 0;
    clearItems();
}

void FileListWidget::clearItems()
{
    QLinkedList<ItemInfoPtr> items;
    for (int i = 0; i < count(); ++i) {
        FileListItem* row = rowItem(i);
        items << row->itemInfo();
        row->setItemInfo(ItemInfoPtr());
    }
    m_clearing = true;
    clear();
    m_clearing = false;
    releaseItems(std::move(items));
}

void FileListWidget::releaseItems(QLinkedList<ItemInfoPtr> items)
{
    if (items.isEmpty())
        return;
    // The item destructors wait for their jobs: they run on the release pool, from the last row to the first.
    m_release = runJob(itemReleasePool, [items = std::move(items)]() mutable {
        while (!items.isEmpty())
            items.removeLast();
    });
}

FileListItem* FileListWidget::rowItem(int row) const
{
    return static_cast<FileListItem*>(item(row));
}

ItemInfoPtr FileListWidget::currentInfo() const
{
    const FileListItem* row = static_cast<FileListItem*>(currentItem());
    return row ? row->itemInfo() : ItemInfoPtr();
}

int FileListWidget::rowOfFile(const QString& filePath) const
{
    if (filePath.isEmpty())
        return -1;
    const QString wanted = cleanFile(filePath);
    for (int i = 0; i < count(); ++i) {
        const ItemInfoPtr& info = rowItem(i)->itemInfo();
        if (info && info->fileInfo.absoluteFilePath() == wanted)
            return i;
    }
    return -1;
}

void FileListWidget::selectRow(int row)
{
    // Centred first, so that making it current scrolls no more; highlighted alone.
    scrollToItem(item(row), QAbstractItemView::PositionAtCenter);
    setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

// ---- showing and loading

void FileListWidget::onCurrentItemChanged(QListWidgetItem* current, QListWidgetItem* previous)
{
    Q_UNUSED(previous)
    auto* row = static_cast<FileListItem*>(current);
    if (m_removing || !row || !row->itemInfo())
        return;
    emit showImage(row->itemInfo());
    cacheAround(this->row(current));
}

void FileListWidget::cacheAround(int row)
{
    const int c = AppCfg::instance()->list.cacheImageCount;
    const int n = count();
    const int lo = std::max(row - c, 0);
    const int hi = std::min(row + c, n);

    // Nearest first, the next row before the previous one: the decode pool takes them in this order, and the
    // full images' budget is spent on them before the far ones.
    QVector<int> order { row };
    for (int d = 1; row + d < hi || row - d >= lo; ++d) {
        if (row + d < hi)
            order << row + d;
        if (row - d >= lo)
            order << row - d;
    }
    FullImageCache& cache = FullImageCache::instance();
    const qint64 budget = cache.budget();
    qint64 planned = 0;
    int wanted = 0;
    for (const int r : qAsConst(order)) {
        const ItemInfoPtr& info = rowItem(r)->itemInfo();
        const QSize size = info->imageSize();
        // Until its size is known, a picture is taken to unpack to sixteen times its file, as a photo's JPEG does.
        const qint64 bytes = size.isEmpty() ? std::min(info->fileInfo.size() * 16, kMostBytes)
                                            : qint64(size.width()) * size.height() * 4;
        if (planned > 0 && planned + bytes > budget)
            break;
        planned += bytes;
        info->loadFullImage();
        ++wanted;
    }
    // The images held for rows out of this plan go first when room is needed, the nearest rows' last.
    for (int i = wanted - 1; i >= 0; --i)
        cache.touch(rowItem(order.at(i))->itemInfo().data());

    const int lo2 = std::max(lo - c, 0);
    const int hi2 = std::min(hi + c, n);
    for (int r = 0; r < lo2; ++r)
        rowItem(r)->releaseFullImage();
    for (int r = hi2; r < n; ++r)
        rowItem(r)->releaseFullImage();
}

void FileListWidget::onScroll(int value)
{
    // A scroll step more in the direction of the scroll.
    const int extra = AppCfg::instance()->list.loadThumbCount;
    if (value > m_lastScroll)
        loadOnScreen(extra, 2 * extra);
    else
        loadOnScreen(2 * extra, extra);
    m_lastScroll = value;
}

void FileListWidget::loadOnScreen(int before, int after)
{
    int top = 0;
    if (QListWidgetItem* first = itemAt(QPoint(20, 20)))
        top = row(first) - before;
    int bottom = count();
    if (QListWidgetItem* last = itemAt(QPoint(20, viewport()->height())))
        bottom = row(last) + after;
    loadRows(top, bottom);
}

void FileListWidget::onResizeItem()
{
    for (int i = 0; i < count(); ++i) {
        if (const ItemInfoPtr& info = rowItem(i)->itemInfo())
            info->rescaleListThumb = 1;
    }
    doItemsLayout();
}

void FileListWidget::onRefresh()
{
    QString folder = m_folder;
    QString file = m_file;
    if (const ItemInfoPtr info = currentInfo()) {
        folder = info->fileInfo.absolutePath();
        file = info->fileInfo.absoluteFilePath();
    }
    if (folder.isEmpty())
        return;
    reset();
    startFind(folder, file);
}

// ---- files

QStringList FileListWidget::selectedPaths() const
{
    QStringList paths;
    for (QListWidgetItem* item : selectedItems()) {
        const ItemInfoPtr& info = static_cast<FileListItem*>(item)->itemInfo();
        if (info)
            paths << info->fileInfo.absoluteFilePath();
    }
    return paths;
}

void FileListWidget::onCut()
{
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty())
        copyToClipboard(paths, false);
}

void FileListWidget::onCopy()
{
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty())
        copyToClipboard(paths, true);
}

void FileListWidget::onDelete()
{
    trashRows(selectedItems());
}

int FileListWidget::trashRows(const QList<QListWidgetItem*>& rows)
{
    QStringList paths;
    for (QListWidgetItem* item : rows) {
        const auto* fileRow = static_cast<FileListItem*>(item);
        if (fileRow && fileRow->itemInfo())
            paths << fileRow->itemInfo()->fileInfo.absoluteFilePath();
    }
    // The rows leave when the files are announced as removed (onFilesRemoved), in this window and the grid alike.
    return paths.isEmpty() ? 0 : PhotoFiles::instance()->trash(this, paths).size();
}

void FileListWidget::onFilesRemoved(const QStringList& paths)
{
    const QSet<QString> gone(paths.begin(), paths.end());
    QListWidgetItem* before = currentItem();
    int place = before ? row(before) : -1; // where the current row is, as rows above it go
    bool currentGone = false;
    QLinkedList<ItemInfoPtr> released;
    m_removing = true;
    for (int i = count() - 1; i >= 0; --i) {
        FileListItem* fileRow = rowItem(i);
        const ItemInfoPtr info = fileRow->itemInfo();
        if (!info || !gone.contains(info->fileInfo.absoluteFilePath()))
            continue;
        if (i < place)
            --place;
        else if (i == place)
            currentGone = true;
        released << info;
        fileRow->setItemInfo(ItemInfoPtr());
        delete fileRow;
    }
    // The photo after the one shown takes its place (the last one when it was last), highlighted alone.
    if (currentGone && count() > 0)
        setCurrentRow(std::min(place, count() - 1), QItemSelectionModel::ClearAndSelect);
    m_removing = false;
    if (released.isEmpty())
        return;
    releaseItems(std::move(released));
    if (!currentGone)
        return;
    if (currentItem())
        onCurrentItemChanged(currentItem(), nullptr);
    else
        emit shownRowGone();
}

void FileListWidget::onFileRenamed(const QString& oldPath, const ItemInfoPtr& info)
{
    for (int i = 0; i < count(); ++i) {
        FileListItem* fileRow = rowItem(i);
        if (!fileRow->itemInfo())
            continue;
        if (fileRow->itemInfo() != info) {
            if (fileRow->itemInfo()->fileInfo.absoluteFilePath() != oldPath)
                continue;
            // The strip's own item of the file, still under the old name: the renamed one takes its place.
            QLinkedList<ItemInfoPtr> stale { fileRow->itemInfo() };
            fileRow->setItemInfo(info);
            releaseItems(std::move(stale));
        }
        viewport()->update(visualItemRect(fileRow));
        // The canvas and the window's title line name the file by its new name.
        if (fileRow == currentItem())
            emit showImage(info);
        return;
    }
}

void FileListWidget::onFolderRenamed(const QString& oldPath, const QString& newPath)
{
    const QString folder = rebasePath(m_folder, oldPath, newPath);
    if (folder == m_folder)
        return;
    const QString file = rebasePath(m_file, oldPath, newPath);
    if (m_listStop) {
        // Still listing under the old name: listed again under the new one.
        reset();
        startFind(folder, file);
        return;
    }
    m_folder = folder;
    m_file = file;
    for (int i = 0; i < count(); ++i) {
        if (const ItemInfoPtr& info = rowItem(i)->itemInfo())
            info->followFolder(oldPath, newPath);
    }
    viewport()->update();
    // The canvas and the window's title line name the file by its new path.
    auto* current = static_cast<FileListItem*>(currentItem());
    if (current && current->itemInfo())
        emit showImage(current->itemInfo());
}

void FileListWidget::sweepRows()
{
    QStringList paths;
    for (int i = 0; i < count(); ++i) {
        if (const ItemInfoPtr& info = rowItem(i)->itemInfo())
            paths << info->fileInfo.absoluteFilePath();
    }
    PhotoFiles::instance()->sweep(paths);
}

void FileListWidget::onRename()
{
    auto* row = static_cast<FileListItem*>(currentItem());
    const ItemInfoPtr info = row ? row->itemInfo() : ItemInfoPtr();
    if (!info)
        return;
    // The row and the canvas follow the new name when it is announced (onFileRenamed).
    RenameDlg dlg;
    dlg.setItemInfo(info);
    dlg.exec();
}
