#include "tidyrunner.h"

#include "filetreeinfo.h"

#include "sys/fileutil.h"
#include "task/pooljob.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QThread>
#include <QThreadPool>

#include <sys/stat.h>
#include <sys/sysmacros.h>

TidyRunner::TidyRunner(const TidyCfg& cfg)
    : m_cfg(cfg)
{
}

QFileInfoList TidyRunner::scanTree(const QString& dir) const
{
    QFileInfoList files;
    scanFolder(dir, files);
    return files;
}

void TidyRunner::scanFolder(const QString& dir, QFileInfoList& files) const
{
    if (isCancelled())
        return;
    static const QStringList filters = supportedImages();
    const QDir folder(dir);
    for (const QFileInfo& file : folder.entryInfoList(filters, QDir::Files | QDir::NoDotAndDotDot, QDir::Name)) {
        if (file.isFile())
            files << file;
    }
    for (const QFileInfo& sub : folder.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks, QDir::Name))
        scanFolder(sub.absoluteFilePath(), files);
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

QList<FileTreeInfo*> TidyRunner::plan(const QFileInfoList& files, const std::function<void(FileTreeInfo*)>& onPlanned)
{
    std::vector<FileTreeInfo*> infos(size_t(files.size()), nullptr);
    parallelFor(files.size(), planThreads(), [&](int i) {
        auto* info = new FileTreeInfo();
        info->init(files.at(i), m_cfg);
        infos[size_t(i)] = info;
        if (onPlanned)
            onPlanned(info);
    });
    QList<FileTreeInfo*> result;
    result.reserve(files.size());
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
