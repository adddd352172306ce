#include "panels/filetreeview.h"

#include "app/appcfg.h"
#include "app/photofiles.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "dialogs/askbox.h"
#include "panels/filetreemodel.h"
#include "records/bookmarktb.h"
#include "sys/fileutil.h"
#include "widgets/menuutil.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QPointer>
#include <QTimer>

FileTreeView::FileTreeView(QWidget* parent)
    : QTreeView(parent)
{
    header()->hide();
    setDragEnabled(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);

    m_model = new FileTreeModel(this);
    m_model->setRootPath(QString());
    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDot | QDir::NoDotDot);
    setModel(m_model);

    m_menu = new QMenu(this);
    m_atRefresh = addMenuAction(m_menu, QStringLiteral("刷新(&E)"));
    m_menu->addSeparator();
    m_atCut = addMenuAction(m_menu, QStringLiteral("剪切(&T)"));
    m_atCopy = addMenuAction(m_menu, QStringLiteral("复制(&C)"));
    m_atDelete = addMenuAction(m_menu, QStringLiteral("删除(&D)"));
    m_atRename = addMenuAction(m_menu, QStringLiteral("改名(&M)"));
    m_menu->addSeparator();
    m_atAddFav = addMenuAction(m_menu, QStringLiteral("添加到收藏夹"));
    connect(m_atRefresh, &QAction::triggered, this, &FileTreeView::onRefresh);
    connect(m_atCut, &QAction::triggered, this, &FileTreeView::onCut);
    connect(m_atCopy, &QAction::triggered, this, &FileTreeView::onCopy);
    connect(m_atDelete, &QAction::triggered, this, &FileTreeView::onDelete);
    connect(m_atRename, &QAction::triggered, this, &FileTreeView::onRename);
    connect(m_atAddFav, &QAction::triggered, this, &FileTreeView::onAddFav);

    connect(this, &QTreeView::expanded, this, &FileTreeView::slot_expanded);
    connect(this, &QTreeView::collapsed, this, &FileTreeView::slot_collapsed);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &FileTreeView::slot_current_changed);
    connect(m_model, &FileTreeModel::renameFailed, this, &FileTreeView::onRenameFailed);
    connect(m_model, &QFileSystemModel::fileRenamed, this, &FileTreeView::onFileRenamed);
    connect(m_model, &QFileSystemModel::directoryLoaded, this, &FileTreeView::onDirectoryLoaded);
    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setSingleShot(true);
    m_scrollTimer->setInterval(30);
    connect(m_scrollTimer, &QTimer::timeout, this, &FileTreeView::onScrollTimer);
    // Rows listed or sorted above the chosen folder push it down.
    auto rescroll = [this] {
        if (m_scrollTarget.isValid())
            m_scrollTimer->start();
    };
    connect(m_model, &QAbstractItemModel::rowsInserted, this, rescroll);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, rescroll);
}

FileTreeView::~FileTreeView() = default;

void FileTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    prepareMenu(indexAt(event->pos()));
    m_menu->exec(event->globalPos());
    QTreeView::contextMenuEvent(event);
}

void FileTreeView::prepareMenu(const QModelIndex& index)
{
    m_menuIndex = index;
    const bool onFolder = index.isValid();
    for (QAction* action : { m_atCut, m_atCopy, m_atDelete, m_atRename, m_atAddFav })
        action->setEnabled(onFolder);
}

QString FileTreeView::menuPath() const
{
    return m_menuIndex.isValid() ? m_model->filePath(m_menuIndex) : QString();
}

bool FileTreeView::selectPath(const QString& path)
{
    if (path.isEmpty())
        return false;
    // "LastPath" may name a file (the viewer keeps one there): the tree shows its folder.
    const QFileInfo info(path);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.exists() ? info.absolutePath() : QString();
    if (folder.isEmpty())
        return false;
    const QModelIndex index = m_model->index(QDir::cleanPath(folder));
    if (!index.isValid())
        return false;
    setCurrentIndex(index);
    scrollTo(index, QAbstractItemView::EnsureVisible);
    m_scrollTarget = index;
    m_targetListed = false;
    m_scrollTimer->start();
    return true;
}

// The chosen folder is kept in view until the folder holding it has been listed.
void FileTreeView::onDirectoryLoaded(const QString& path)
{
    resizeColumnToContents(0);
    if (!m_scrollTarget.isValid())
        return;
    if (QFileInfo(m_model->filePath(m_scrollTarget)).path() == path)
        m_targetListed = true;
    m_scrollTimer->start();
}

void FileTreeView::onScrollTimer()
{
    if (!m_scrollTarget.isValid())
        return;
    scrollTo(m_scrollTarget, QAbstractItemView::EnsureVisible);
    if (m_targetListed)
        m_scrollTarget = QPersistentModelIndex();
}

bool FileTreeView::selectPathSilently(const QString& path)
{
    const bool wasBlocked = blockSignals(true);
    const bool done = selectPath(path);
    blockSignals(wasBlocked);
    return done;
}

void FileTreeView::slot_expanded(QModelIndex index)
{
    resizeColumnToContents(index.column());
}

void FileTreeView::slot_collapsed(QModelIndex index)
{
    resizeColumnToContents(index.column());
}

void FileTreeView::slot_current_changed(QModelIndex current, QModelIndex previous)
{
    if (!current.isValid())
        return;
    const QString path = m_model->filePath(current);
    AppCfg::instance()->lastPath = path;
    emit selectPathChanged(path, previous.isValid() ? m_model->filePath(previous) : QString());
}

void FileTreeView::onRefresh()
{
    const QString path = menuPath();
    if (path.isEmpty())
        return;
    m_model->refreshFolder(path);
    // A folder removed outside the program goes from the tree; there is nothing left to list.
    if (!QFileInfo(path).isDir())
        return;
    AppCfg::instance()->lastPath = path;
    emit selectPathChanged(path, QString());
}

void FileTreeView::onCut()
{
    const QString path = menuPath();
    if (!path.isEmpty())
        copyToClipboard(path, false);
}

void FileTreeView::onCopy()
{
    const QString path = menuPath();
    if (!path.isEmpty())
        copyToClipboard(path, true);
}

void FileTreeView::onDelete()
{
    const QString path = menuPath();
    if (path.isEmpty())
        return;
    const QString shown = QDir::toNativeSeparators(path);
    if (!AskBox::yes(this, QStringLiteral("即将把文件夹“%1”及其中的全部内容移到回收站。\n你确定要删除吗？").arg(shown)))
        return;
    if (!moveToTrash(path))
        AskBox::info(this, QStringLiteral("文件夹“%1”没能移到回收站。").arg(shown));
}

void FileTreeView::onRename()
{
    if (!m_menuIndex.isValid())
        return;
    const QModelIndex index = m_menuIndex;
    if (!(m_model->flags(index) & Qt::ItemIsEditable)) {
        AskBox::info(
            this, QStringLiteral("文件夹“%1”不能改名。").arg(QDir::toNativeSeparators(m_model->filePath(index))));
        return;
    }
    scrollTo(index);
    edit(index);
}

void FileTreeView::onRenameFailed(const QString& path, const QString& newName)
{
    AskBox::info(this,
        QStringLiteral("文件夹“%1”没能改名为“%2”。\n名称不能为空、不能含有“/”，也不能与已有的名称相同。")
            .arg(QDir::toNativeSeparators(path), newName));
}

// The rows of everything inside follow the folder (tags, thumbnails, favourites), and so do the items of both
// windows: the grid keeps its cells, and edits still waiting for the database land under the new path.
void FileTreeView::onFileRenamed(const QString& folder, const QString& oldName, const QString& newName)
{
    const QString oldPath = pathJoin(folder, oldName);
    const QString newPath = pathJoin(folder, newName);
    AppCfg::instance()->lastPath = rebasePath(AppCfg::instance()->lastPath, oldPath, newPath);
    QPointer<FileTreeView> self(this);
    PhotoFiles::instance()->followFolder(oldPath, newPath, [self, oldPath, newPath](bool) {
        QMetaObject::invokeMethod(
            qApp,
            [self, oldPath, newPath] {
                if (self)
                    emit self->folderMoved(oldPath, newPath);
            },
            Qt::QueuedConnection);
    });
}

void FileTreeView::onAddFav()
{
    const QString path = menuPath();
    if (path.isEmpty())
        return;
    qint64 found = -1;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            found = BookMarkTb(db.get()).findBookmarkByFile(path, -1);
    }
    if (found > 0 && !AskBox::yes(this, QStringLiteral("文件夹已经添加收藏夹中了。\n你确定要再次添加吗？")))
        return;
    emit bookmarkAdded(path, 1);
}
