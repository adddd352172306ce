#include "panels/filetreemodel.h"

#include "sys/fileutil.h"
#include "task/pooljob.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QThreadPool>
#include <QTimer>

FileTreeModel::FileTreeModel(QObject* parent)
    : QFileSystemModel(parent)
    , m_stop(std::make_shared<std::atomic_bool>(false))
{
    setReadOnly(false);
    connect(this, &FileTreeModel::probed, this, &FileTreeModel::onProbed, Qt::QueuedConnection);
    connect(this, &QFileSystemModel::directoryLoaded, this, &FileTreeModel::slot_directory_loaded);
}

FileTreeModel::~FileTreeModel()
{
    *m_stop = true;
    for (QFuture<void>& f : m_probes)
        f.waitForFinished();
}

int FileTreeModel::columnCount(const QModelIndex& parent) const
{
    Q_UNUSED(parent);
    return 1;
}

bool FileTreeModel::hasChildren(const QModelIndex& parent) const
{
    if (parent.column() >= 1)
        return false;
    if (!parent.isValid())
        return true;
    if (flags(parent) & Qt::ItemNeverHasChildren)
        return false;
    // Listed rows answer for themselves.
    if (rowCount(parent) > 0)
        return true;
    const QString path = filePath(parent);
    const auto it = m_subs.constFind(path);
    if (it != m_subs.constEnd())
        return *it == HasSub;
    m_subs.insert(path, Probing);
    m_queue.append(path);
    if (!m_probeScheduled) {
        m_probeScheduled = true;
        QTimer::singleShot(0, this, [this] { startProbes(); });
    }
    return false;
}

void FileTreeModel::startProbes() const
{
    m_probeScheduled = false;
    for (int i = m_probes.size() - 1; i >= 0; --i) {
        if (m_probes[i].isFinished())
            m_probes.removeAt(i);
    }
    if (m_queue.isEmpty())
        return;
    const QDir::Filters dirFilter = filter() | QDir::NoDotAndDotDot;
    auto* self = const_cast<FileTreeModel*>(this);
    m_probes.append(runJob(QThreadPool::globalInstance(), [self, paths = m_queue, dirFilter, stop = m_stop] {
        for (const QString& path : paths) {
            if (*stop)
                return;
            // An unreadable folder lists nothing and so counts as a leaf.
            QDirIterator it(path, dirFilter);
            emit self->probed(path, it.hasNext(), QPrivateSignal());
        }
    }));
    m_queue.clear();
}

bool FileTreeModel::isProbing() const
{
    if (m_probeScheduled || !m_queue.isEmpty())
        return true;
    for (const QFuture<void>& f : m_probes) {
        if (!f.isFinished())
            return true;
    }
    return false;
}

void FileTreeModel::onProbed(const QString& path, bool hasSub)
{
    const auto it = m_subs.find(path);
    // Forgotten by a refresh meanwhile: the answer may be stale.
    if (it == m_subs.end() || *it != Probing)
        return;
    *it = hasSub ? HasSub : NoSub;
    announce(path);
}

void FileTreeModel::slot_directory_loaded(QString strPath)
{
    const QModelIndex idx = index(strPath);
    if (!idx.isValid())
        return;
    m_subs.insert(strPath, rowCount(idx) > 0 ? HasSub : NoSub);
    announce(strPath);
}

// A changed row makes the view ask hasChildren again.
void FileTreeModel::announce(const QString& path)
{
    const QModelIndex idx = index(path);
    if (idx.isValid())
        emit dataChanged(idx, idx);
}

bool FileTreeModel::setData(const QModelIndex& idx, const QVariant& value, int role)
{
    const QString name = value.toString();
    if (!idx.isValid() || role != Qt::EditRole || name == fileName(idx))
        return QFileSystemModel::setData(idx, value, role);
    // Refused here, with the panel's own message, before the base class would try (and show its own).
    const QString path = filePath(idx);
    const QString folder = QFileInfo(path).path();
    if (!isValidFileName(name) || pathTaken(pathJoin(folder, name)) || !QFileInfo(folder).isWritable()
        || !QFileSystemModel::setData(idx, value, role)) {
        emit renameFailed(path, name);
        return false;
    }
    return true;
}

void FileTreeModel::refreshFolder(const QString& path)
{
    const QString parentPath = QFileInfo(path).path();
    const QString below = path.endsWith('/') ? path : path + '/';
    for (auto it = m_subs.begin(); it != m_subs.end();) {
        if (it.key() == path || it.key() == parentPath || it.key().startsWith(below))
            it = m_subs.erase(it);
        else
            ++it;
    }
    for (const QString& folder : { parentPath, path }) {
        const QModelIndex idx = index(folder);
        if (!idx.isValid())
            continue;
        // A folder never listed lists itself when it is opened; a listed one is marked unlisted by passing
        // the root over it (the model's one public way) and listed again.
        if (!canFetchMore(idx) && QFileInfo(folder).isDir()) {
            setRootPath(folder);
            setRootPath(QString());
            fetchMore(idx);
        }
        announce(folder);
    }
}
