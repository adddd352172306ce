#include "tidyrunner.h"

#include "filetreeinfo.h"

#include "sys/fileutil.h"
#include "task/pooljob.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QThread>
#include <QThreadPool>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

TidyRunner::TidyRunner(const TidyCfg& cfg)
    : m_cfg(cfg)
{
}

struct TidyRunner::Scan {
    QString root; // the source folder, links resolved
    QSet<FileCopier::FileId> aboveRoot; // the folders holding the source
    bool hasDst = false; // the destination exists
    FileCopier::FileId dst;
    QSet<FileCopier::FileId> aboveDst; // the folders holding the destination, whether it exists or not
    QSet<FileCopier::FileId> folders;
    // Each file found as a photo: its entry, and whether it was reached through a link.
    QHash<FileCopier::FileId, int> files;
    QList<bool> linked;
    QList<Found> found;

    void skip(const QFileInfo& entry, const QString& reason)
    {
        found.append({ entry, reason });
        linked.append(false);
    }
    QString linkNotFollowed(const QFileInfo& link) const;
};

namespace {

// The real folder lies in the tree below root, where the walk reaches it by its own name (no hidden level).
bool walkedInTree(const QString& real, const QString& root)
{
    if (real.isEmpty() || root.isEmpty() || !(real == root || real.startsWith(root + QLatin1Char('/'))))
        return false;
    for (const QString& level : real.mid(root.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (level.startsWith(QLatin1Char('.')))
            return false;
    }
    return true;
}

// The ids of the real folder path and of every folder above it, the nearest first.
QList<FileCopier::FileId> realChain(QString real)
{
    QList<FileCopier::FileId> chain;
    while (!real.isEmpty()) {
        FileCopier::FileId id;
        if (FileCopier::fileId(real, id))
            chain << id;
        const QString up = QFileInfo(real).absolutePath();
        if (up == real)
            break;
        real = up;
    }
    return chain;
}

QSet<FileCopier::FileId> idSet(const QList<FileCopier::FileId>& ids)
{
    return QSet<FileCopier::FileId>(ids.begin(), ids.end());
}

bool readableFolder(const QString& dir)
{
    DIR* handle = ::opendir(QFile::encodeName(dir).constData());
    if (!handle)
        return false;
    ::closedir(handle);
    return true;
}

} // namespace

QList<TidyRunner::Found> TidyRunner::scanTree(const QString& dir) const
{
    Scan scan;
    const QFileInfo top(dir);
    scan.root = top.canonicalFilePath();
    scan.aboveRoot = idSet(realChain(scan.root).mid(1));
    if (!m_cfg.DstPath.isEmpty()) {
        // A destination still to be made lies below its nearest existing folder.
        const QString dst = QDir::cleanPath(QFileInfo(m_cfg.DstPath).absoluteFilePath());
        QString existing = dst;
        while (!QFileInfo::exists(existing) && QFileInfo(existing).absolutePath() != existing)
            existing = QFileInfo(existing).absolutePath();
        QList<FileCopier::FileId> chain = realChain(QFileInfo(existing).canonicalFilePath());
        scan.hasDst = existing == dst && !chain.isEmpty();
        if (scan.hasDst)
            scan.dst = chain.takeFirst();
        scan.aboveDst = idSet(chain);
    }
    FileCopier::FileId id;
    if (FileCopier::fileId(dir, id))
        scan.folders.insert(id);
    scanFolder(top.absoluteFilePath(), false, scan);
    return scan.found;
}

void TidyRunner::scanFolder(const QString& dir, bool viaLink, Scan& scan) const
{
    if (isCancelled())
        return;
    if (!readableFolder(dir)) {
        scan.skip(QFileInfo(dir), QStringLiteral("无法读取目录"));
        return;
    }
    static const QStringList filters = supportedImages();
    const QDir folder(dir);
    // FIFOs, devices and dangling links come too, to be named.
    for (const QFileInfo& file :
        folder.entryInfoList(filters, QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name)) {
        if (file.isFile())
            addFile(file, viaLink, scan);
        else if (file.isSymLink() && !file.exists())
            scan.skip(file, QStringLiteral("链接指向的文件不存在"));
        else
            scan.skip(file, QStringLiteral("不是普通文件"));
    }
    for (const QFileInfo& sub : folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        if (isCancelled())
            return;
        FileCopier::FileId id;
        const bool known = FileCopier::fileId(sub.absoluteFilePath(), id);
        const QString notFollowed = sub.isSymLink() ? scan.linkNotFollowed(sub) : QString();
        if (!notFollowed.isEmpty()) {
            scan.skip(sub, notFollowed);
        } else if (known && scan.folders.contains(id)) {
            scan.skip(
                sub, sub.isSymLink() ? QStringLiteral("目录链接指向的目录已经列出") : QStringLiteral("目录已经列出"));
        } else {
            if (known)
                scan.folders.insert(id);
            scanFolder(sub.absoluteFilePath(), viaLink || sub.isSymLink(), scan);
        }
    }
}

// Why a link to a folder is not followed: it leads into the tree, to a folder holding it, or to the destination,
// its inside or a folder holding it. Empty when it leads elsewhere.
QString TidyRunner::Scan::linkNotFollowed(const QFileInfo& link) const
{
    const QString real = link.canonicalFilePath();
    if (walkedInTree(real, root))
        return QStringLiteral("目录链接指向要整理的目录之内");
    const QList<FileCopier::FileId> chain = realChain(real);
    if (chain.isEmpty())
        return QString();
    if (aboveRoot.contains(chain.first()))
        return QStringLiteral("目录链接指向要整理的目录的上级目录");
    if (hasDst && chain.first() == dst)
        return QStringLiteral("目录链接指向整理后的目录");
    if (hasDst && chain.contains(dst))
        return QStringLiteral("目录链接指向整理后的目录之内");
    if (aboveDst.contains(chain.first()))
        return QStringLiteral("目录链接指向整理后的目录的上级目录");
    return QString();
}

// A file found a second time (a link to it, another hard link) is named as the first one; a name of its own
// wins over one reached through a link.
void TidyRunner::addFile(const QFileInfo& file, bool viaLink, Scan& scan) const
{
    const bool linked = viaLink || file.isSymLink();
    FileCopier::FileId id;
    if (!FileCopier::fileId(file.absoluteFilePath(), id)) {
        scan.found.append({ file, QString() });
        scan.linked.append(linked);
        return;
    }
    const auto seen = scan.files.constFind(id);
    if (seen == scan.files.constEnd()) {
        scan.files.insert(id, scan.found.size());
        scan.found.append({ file, QString() });
        scan.linked.append(linked);
        return;
    }
    const int first = seen.value();
    const QString same = QStringLiteral("与“%1”是同一个文件");
    if (scan.linked.at(first) && !linked) {
        scan.found[first].skip = same.arg(QDir::toNativeSeparators(file.absoluteFilePath()));
        scan.linked[first] = false;
        scan.files.insert(id, scan.found.size());
        scan.found.append({ file, QString() });
        scan.linked.append(linked);
        return;
    }
    scan.skip(file, same.arg(QDir::toNativeSeparators(scan.found.at(first).file.absoluteFilePath())));
}

void TidyRunner::parallelFor(int count, int threads, const std::function<void(int)>& work)
{
    threads = qBound(1, threads, count);
    std::atomic_int next { 0 };
    auto worker = [&] {
        for (int i = next.fetch_add(1); i < count && !isCancelled(); i = next.fetch_add(1))
            work(i);
    };
    if (threads <= 1) {
        worker();
        return;
    }
    // The calling thread works too; the pool lives for this call only.
    QThreadPool pool;
    pool.setMaxThreadCount(threads - 1);
    QList<QFuture<void>> jobs;
    for (int t = 1; t < threads; ++t)
        jobs << runJob(&pool, worker);
    worker();
    for (QFuture<void>& job : jobs)
        job.waitForFinished();
}

QList<FileTreeInfo*> TidyRunner::plan(const QList<Found>& found, const std::function<void(FileTreeInfo*)>& onPlanned)
{
    std::vector<FileTreeInfo*> infos(size_t(found.size()), nullptr);
    parallelFor(found.size(), planThreads(), [&](int i) {
        auto* info = new FileTreeInfo();
        if (found.at(i).skip.isEmpty())
            info->init(found.at(i).file, m_cfg);
        else
            info->skip(found.at(i).file, found.at(i).skip, m_cfg);
        infos[size_t(i)] = info;
        if (onPlanned)
            onPlanned(info);
    });
    QList<FileTreeInfo*> result;
    result.reserve(found.size());
    for (FileTreeInfo* info : infos) {
        if (info)
            result << info;
    }
    return result;
}

int TidyRunner::execute(const QList<FileTreeInfo*>& infos, const std::function<void(int)>& onDone)
{
    // Records bound for one folder share its names, so one thread takes them in order; an unplanned record
    // needs no folder.
    QList<QList<int>> groups;
    QHash<QString, int> groupOf;
    for (int i = 0; i < infos.size(); ++i) {
        const QString folder = infos.at(i)->status == 1 ? ExtractFilePath(infos.at(i)->dstFile()) : QString();
        auto it = groupOf.find(folder);
        if (it == groupOf.end()) {
            it = groupOf.insert(folder, groups.size());
            groups.append(QList<int>());
        }
        groups[it.value()] << i;
    }
    std::atomic_int done { 0 };
    parallelFor(groups.size(), copyThreads(), [&](int g) {
        QSet<FileCopier::FileId> written;
        for (int i : groups.at(g)) {
            if (isCancelled())
                return;
            if (infos.at(i)->execute(m_cfg, &written, &m_cancel) == 0)
                done.fetch_add(1);
            if (onDone)
                onDone(i);
        }
    });
    return done.load();
}

int TidyRunner::planThreads() const
{
    const int ideal = qMax(2, QThread::idealThreadCount());
    return isRotational(m_cfg.SrcPath) ? 2 : qMin(ideal, 8);
}

int TidyRunner::copyThreads() const
{
    if (isRotational(m_cfg.SrcPath) || isRotational(m_cfg.DstPath))
        return 1;
    return qBound(2, QThread::idealThreadCount(), 4);
}

bool TidyRunner::isRotational(const QString& path)
{
    QString dir = QDir::cleanPath(QDir(path).absolutePath());
    struct stat st { };
    while (::stat(QFile::encodeName(dir).constData(), &st) != 0) {
        const QString up = QFileInfo(dir).absolutePath();
        if (up == dir)
            return false;
        dir = up;
    }
    // A partition answers through its disk, one level up. A virtual disk says it spins whatever backs it.
    const QString block = QString("/sys/dev/block/%1:%2").arg(major(st.st_dev)).arg(minor(st.st_dev));
    if (QFileInfo(block).canonicalFilePath().contains(QLatin1String("/virtio")))
        return false;
    for (const QString& file : { block + "/queue/rotational", block + "/../queue/rotational" }) {
        QFile flag(file);
        if (flag.open(QIODevice::ReadOnly))
            return flag.read(1) == "1";
    }
    return false;
}
