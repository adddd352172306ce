#include "window/imagetreewidget.h"

#include "search/filedb.h"
#include "search/filedbholder.h"
#include "search/findfileinfo.h"
#include "search/imageinfo.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"
#include "window/filemenu.h"
#include "window/imagetreewidgetitem.h"

#include <QContextMenuEvent>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QSet>
#include <QTreeWidgetItemIterator>

ImageTreeWidget::ImageTreeWidget(QWidget* parent)
    : QTreeWidget(parent)
    , m_root(std::make_unique<ImageInfo>())
{
    const QStringList keys { "FilePath", "FileName", "FileSize", "FileType", "CreationTime", "LastWriteTime" };
    const int widths[] = { 300, 150, 100, 100, 150, 150 };
    QStringList titles;
    for (const QString& key : keys)
        titles << LikeFindCfg::fieldTitle(key);
    setColumnCount(titles.size());
    setHeaderLabels(titles);
    for (int i = 0; i < titles.size(); ++i)
        setColumnWidth(i, widths[i]);
    header()->setSectionsMovable(false);
    setSelectionMode(QAbstractItemView::ExtendedSelection);

    const FileMenu menu = buildFileMenu(this);
    m_menu = menu.menu;
    m_cut = menu.cut;
    m_copy = menu.copy;
    m_delete = menu.remove;

    connect(&m_watcher, &QFutureWatcher<void>::finished, this, &ImageTreeWidget::onFindEnd);
    connect(this, &QTreeWidget::itemChanged, this, &ImageTreeWidget::onItemChanged);
    connect(this, &QTreeWidget::currentItemChanged, this, &ImageTreeWidget::onCurrentItemChanged);
    connect(m_cut, &QAction::triggered, this, &ImageTreeWidget::onCut);
    connect(m_copy, &QAction::triggered, this, &ImageTreeWidget::onCopy);
    connect(m_delete, &QAction::triggered, this, &ImageTreeWidget::onDelete);
}

ImageTreeWidget::~ImageTreeWidget()
{
    m_watcher.disconnect(this);
    cancelFind();
    clear();
}

bool ImageTreeWidget::isFinding() const
{
    return m_future.isRunning();
}

int ImageTreeWidget::startFind()
{
    if (isFinding())
        return 1;
    setSortingEnabled(false);
    clear();
    if (FileDb* db = FileDbHolder::fileDb())
        db->clearTables();
    m_root = std::make_unique<ImageInfo>();
    if (const LikeFindCfg* cfg = LikeFindCfg::get())
        m_find = cfg->find;
    m_cancel = false;
    m_unhashed = 0;
    m_future = runJob(nullptr, [this] { return findWorker(); });
    m_watcher.setFuture(m_future);
    return 0;
}

void ImageTreeWidget::cancelFind()
{
    m_cancel = true;
    m_future.waitForFinished();
}

int ImageTreeWidget::findWorker()
{
    ImageInfo* root = m_root.get();
    FileDb* db = FileDbHolder::fileDb();
    emit findStepInfo(tr("正在查找文件..."));
    root->scanPaths(db, m_find.FindPath, &m_cancel);
    if (!m_cancel) {
        emit findStepInfo(tr("正在统计文件..."));
        root->groupByAttributes(db, m_find);
    }
    if (m_find.FullContentIsSame && !m_cancel) {
        emit findStepInfo(tr("正在计算相同文件..."));
        root->confirmContent(&m_cancel);
    }
    if (m_find.FindSimilarImage && !m_cancel) {
        emit findStepInfo(tr("正在计算相似图像..."));
        root->groupSimilar(m_find, &m_cancel, &m_unhashed);
    }
    root->releaseReaders();
    // What each file found is, so that an action can tell a copy that changed since.
    if (!m_cancel) {
        QList<ImageInfo*> files;
        root->collectFiles(files);
        for (ImageInfo* file : qAsConst(files))
            file->row->takeStamp();
    }
    // A stopped search shows nothing rather than groups it did not confirm.
    if (m_cancel) {
        qDeleteAll(root->children);
        root->children.clear();
    }
    emit findStepInfo(tr("统计完成，正在生成列表..."));
    return 0;
}

void ImageTreeWidget::fillNode(ImageInfo* node, QTreeWidgetItem* parent)
{
    if (!node || !node->hasFile())
        return;
    auto* item = new ImageTreeWidgetItem(node);
    item->owns = false;
    item->setCheckState(0, Qt::Unchecked);
    item->fillTexts();
    if (parent)
        parent->addChild(item);
    else
        addTopLevelItem(item);
    for (ImageInfo* child : node->children)
        fillNode(child, item);
}

void ImageTreeWidget::onFindEnd()
{
    m_propagating = true;
    for (ImageInfo* child : m_root->children)
        fillNode(child, nullptr);
    m_propagating = false;
    setSortingEnabled(true);
    expandAll();
    header()->resizeSections(QHeaderView::ResizeToContents);
    if (m_unhashed > 0)
        emit findStepInfo(m_find.FullContentIsSame || m_find.PartContentIsSame
                ? tr("完成。%1 个文件无法解码，未比较相似，只按属性和内容分组。").arg(m_unhashed)
                : tr("完成。%1 个文件无法解码，未比较相似，未列出。").arg(m_unhashed));
    else
        emit findStepInfo(tr("完成。"));
    emit findEnd();
}

ImageInfo* ImageTreeWidget::nodeOf(const QTreeWidgetItem* item)
{
    const auto* row = dynamic_cast<const ImageTreeWidgetItem*>(item);
    return row ? row->node : nullptr;
}

QString ImageTreeWidget::filePathOf(const QTreeWidgetItem* item)
{
    const ImageInfo* node = nodeOf(item);
    return node && node->isFile() ? node->row->fullPath() : QString();
}

QList<QTreeWidgetItem*> ImageTreeWidget::fileGroupItems() const
{
    QList<QTreeWidgetItem*> groups;
    std::function<void(QTreeWidgetItem*)> walk = [&](QTreeWidgetItem* item) {
        const ImageInfo* node = nodeOf(item);
        if (node && node->isFileGroup()) {
            groups << item;
            return;
        }
        for (int i = 0; i < item->childCount(); ++i)
            walk(item->child(i));
    };
    for (int i = 0; i < topLevelItemCount(); ++i)
        walk(topLevelItem(i));
    return groups;
}

void ImageTreeWidget::setSubtreeCheckState(QTreeWidgetItem* item, Qt::CheckState state)
{
    if (!item)
        return;
    const Qt::CheckState s = state == Qt::Checked ? Qt::Checked : Qt::Unchecked;
    for (int i = 0; i < item->childCount(); ++i) {
        setSubtreeCheckState(item->child(i), s);
        item->child(i)->setCheckState(0, s);
    }
}

namespace {

// A group's mark from its rows: partly checked as soon as its rows differ or one of them is partly checked.
Qt::CheckState rowsCheckState(const QTreeWidgetItem* group)
{
    bool checked = false, unchecked = false;
    for (int i = 0; i < group->childCount(); ++i) {
        switch (group->child(i)->checkState(0)) {
        case Qt::PartiallyChecked:
            return Qt::PartiallyChecked;
        case Qt::Checked:
            checked = true;
            break;
        case Qt::Unchecked:
            unchecked = true;
            break;
        }
        if (checked && unchecked)
            return Qt::PartiallyChecked;
    }
    return unchecked ? Qt::Unchecked : Qt::Checked;
}

} // namespace

void ImageTreeWidget::updateParentCheckState(QTreeWidgetItem* item)
{
    for (QTreeWidgetItem* parent = item ? item->parent() : nullptr; parent; parent = parent->parent())
        parent->setCheckState(0, rowsCheckState(parent));
}

void ImageTreeWidget::updateGroupCheckStates()
{
    const bool propagating = m_propagating;
    m_propagating = true;
    std::function<void(QTreeWidgetItem*)> update = [&](QTreeWidgetItem* row) {
        if (row->childCount() == 0)
            return;
        for (int i = 0; i < row->childCount(); ++i)
            update(row->child(i));
        row->setCheckState(0, rowsCheckState(row));
    };
    for (int i = 0; i < topLevelItemCount(); ++i)
        update(topLevelItem(i));
    m_propagating = propagating;
}

void ImageTreeWidget::onItemChanged(QTreeWidgetItem* item, int column)
{
    if (!item || column < 0 || m_propagating)
        return;
    m_propagating = true;
    const Qt::CheckState s = item->checkState(0);
    if (s != Qt::PartiallyChecked)
        setSubtreeCheckState(item, s);
    updateParentCheckState(item);
    m_propagating = false;
}

namespace {

// A file row's group is its parent; any other row is its own group.
QTreeWidgetItem* groupRow(QTreeWidgetItem* row)
{
    if (!row)
        return nullptr;
    return row->parent() && row->childCount() == 0 ? row->parent() : row;
}

} // namespace

QStringList ImageTreeWidget::groupFiles(QTreeWidgetItem* row) const
{
    QStringList files;
    ImageInfo* node = nodeOf(groupRow(row));
    if (!node)
        return files;
    QList<ImageInfo*> nodes;
    if (node->isFile())
        nodes << node;
    else
        node->collectFiles(nodes);
    for (const ImageInfo* f : nodes)
        files << f->row->fullPath();
    return files;
}

void ImageTreeWidget::onCurrentItemChanged(QTreeWidgetItem* current, QTreeWidgetItem* previous)
{
    if (nodeOf(groupRow(previous)) != nodeOf(groupRow(current)))
        emit currentGroupChanged(groupFiles(current));
    if (current && current->childCount() == 0) {
        const QString path = filePathOf(current);
        if (!path.isEmpty())
            emit selectChanged(path);
    }
}

void ImageTreeWidget::reloadCurrentGroup()
{
    emit currentGroupChanged(groupFiles(currentItem()));
    const QString path = filePathOf(currentItem());
    if (!path.isEmpty())
        emit selectChanged(path);
}

void ImageTreeWidget::removeRow(QTreeWidgetItem* row)
{
    if (!row)
        return;
    while (row->childCount() > 0)
        removeRow(row->child(0));
    ImageInfo* node = nodeOf(row);
    ImageInfo* parentNode = row->parent() ? nodeOf(row->parent()) : m_root.get();
    delete row;
    if (node && parentNode && parentNode->children.removeOne(node))
        delete node;
}

QStringList ImageTreeWidget::selectedPaths() const
{
    QStringList paths;
    for (const QTreeWidgetItem* item : selectedItems()) {
        const QString path = filePathOf(item);
        if (!path.isEmpty())
            paths << path;
    }
    return paths;
}

void ImageTreeWidget::onCut()
{
    clipFiles(selectedPaths(), false);
}

void ImageTreeWidget::onCopy()
{
    clipFiles(selectedPaths(), true);
}

ActionBatch ImageTreeWidget::actionBatch(const QList<QTreeWidgetItem*>& rows, const QString& folder) const
{
    const QSet<const QTreeWidgetItem*> leaving(rows.begin(), rows.end());
    // A set of copies: the files below a reference file's group, else those of one file group.
    auto setOf = [](QTreeWidgetItem* fileRow) {
        QTreeWidgetItem* group = fileRow->parent();
        for (QTreeWidgetItem* up = group; up; up = up->parent()) {
            const ImageInfo* node = nodeOf(up);
            if (node && node->label.startsWith(QStringLiteral("基准文件:")))
                return up;
        }
        return group;
    };
    std::function<void(const QTreeWidgetItem*, CopySet&)> collect = [&](const QTreeWidgetItem* row, CopySet& set) {
        if (const ImageInfo* node = nodeOf(row); node && node->isFile())
            set.members.append({ node->row->fullPath(), node->row->stamp, leaving.contains(row) });
        for (int i = 0; i < row->childCount(); ++i)
            collect(row->child(i), set);
    };
    ActionBatch batch;
    QHash<QTreeWidgetItem*, int> setIndex;
    for (QTreeWidgetItem* row : rows) {
        const ImageInfo* node = nodeOf(row);
        if (!node || !node->isFile())
            continue;
        ActionBatch::File file { node->row->fullPath(), pathJoin(folder, node->row->FileName), node->row->stamp };
        if (row->parent()) {
            QTreeWidgetItem* group = setOf(row);
            file.set = setIndex.value(group, -1);
            if (file.set < 0) {
                file.set = batch.sets.size();
                setIndex.insert(group, file.set);
                batch.sets.append(CopySet());
                collect(group, batch.sets.last());
            }
        }
        batch.files.append(file);
    }
    return batch;
}

QList<QTreeWidgetItem*> ImageTreeWidget::fileRowsOf(const QStringList& paths) const
{
    QHash<QString, QTreeWidgetItem*> byPath;
    for (QTreeWidgetItemIterator it(const_cast<ImageTreeWidget*>(this)); *it; ++it) {
        const QString path = filePathOf(*it);
        if (!path.isEmpty())
            byPath.insert(path, *it);
    }
    QList<QTreeWidgetItem*> rows;
    for (const QString& path : paths) {
        if (QTreeWidgetItem* row = byPath.value(path))
            rows << row;
    }
    return rows;
}

void ImageTreeWidget::onDelete()
{
    const QStringList paths = selectedPaths();
    if (!paths.isEmpty())
        emit trashRequested(paths);
}

void ImageTreeWidget::contextMenuEvent(QContextMenuEvent* event)
{
    m_menu->exec(event->globalPos());
    QAbstractScrollArea::contextMenuEvent(event);
}
