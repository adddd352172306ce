#include "app/photofiles.h"

#include "dialogs/askbox.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThreadPool>

PhotoFiles* PhotoFiles::instance()
{
    static PhotoFiles files;
    return &files;
}

PhotoFiles::Trashed PhotoFiles::trashQuietly(const QStringList& paths)
{
    Trashed result;
    for (const QString& path : paths) {
        if (moveToTrash(path))
            result.went << path;
        else if (!pathTaken(path))
            result.gone << path;
        else
            result.failed << path;
    }
    const QStringList removed = result.went + result.gone;
    if (!removed.isEmpty())
        emit filesRemoved(removed);
    return result;
}

QStringList PhotoFiles::trash(QWidget* parent, const QStringList& paths)
{
    const Trashed result = trashQuietly(paths);
    const QString problems = trashProblems(result);
    if (!problems.isEmpty())
        AskBox::info(parent, problems);
    return result.went + result.gone;
}

QString PhotoFiles::trashProblems(const Trashed& result)
{
    QStringList parts;
    if (!result.failed.isEmpty())
        parts << QStringLiteral("以下文件没能移到回收站，仍在原处：\n%1").arg(result.failed.join(QLatin1Char('\n')));
    if (!result.gone.isEmpty())
        parts << QStringLiteral("以下文件已不在原处（已被删除或移走），已从列表中去掉：\n%1")
                     .arg(result.gone.join(QLatin1Char('\n')));
    return parts.join(QStringLiteral("\n\n"));
}

QString PhotoFiles::rename(const ItemInfoPtr& info, const QString& name)
{
    if (name.isEmpty())
        return QStringLiteral("请输入文件名称。");
    if (!isValidFileName(name))
        return QStringLiteral("文件名称无效：不能是空白、“.” 或 “..”，也不能含有 “/”。");
    if (!info || name == info->fileName())
        return QString();
    const QString oldPath = info->fileInfo.absoluteFilePath();
    if (pathTaken(QDir(info->fileInfo.absolutePath()).filePath(name)))
        return QStringLiteral("已经有同名的文件：%1\n请换一个名称。").arg(name);
    if (!pathTaken(oldPath)) {
        // The cell of a volume that is away stays.
        if (!isFileGone(oldPath))
            return QStringLiteral("改名失败：文件现在无法访问（所在的磁盘或文件夹不可用）：\n%1").arg(oldPath);
        emit filesRemoved({ oldPath });
        return QStringLiteral("改名失败：文件已不在原处（已被删除或移走）：\n%1").arg(oldPath);
    }
    const int result = info->rename(name);
    if (result == -2)
        return QStringLiteral("文件还在加载中，请稍后再改名。");
    if (result != 0)
        return QStringLiteral("改名失败：%1").arg(oldPath);
    emit fileRenamed(oldPath, info);
    return QString();
}

void PhotoFiles::followFolder(const QString& oldPath, const QString& newPath, RowMove::Done done)
{
    // First in line for rowPath, so no write of an item on its new path misses its row.
    RowMove::post(RowMove::Kind::Folder, oldPath, newPath, std::move(done));
    emit folderRenamed(oldPath, newPath);
}

void PhotoFiles::sweep(const QStringList& paths)
{
    if (paths.isEmpty())
        return;
    runJob(QThreadPool::globalInstance(), [paths] {
        // Gone only on positive evidence: a volume that is away, or a folder that does not answer, keeps its cells.
        QStringList gone;
        for (const QString& path : paths) {
            if (isFileGone(path))
                gone << path;
        }
        if (gone.isEmpty())
            return;
        // The instance lives as long as the process: the result is handed to it on its thread.
        PhotoFiles* files = instance();
        QMetaObject::invokeMethod(
            files,
            [files, gone] {
                // One put back meanwhile stays.
                QStringList still;
                for (const QString& path : gone) {
                    if (!pathTaken(path))
                        still << path;
                }
                if (!still.isEmpty())
                    emit files->filesRemoved(still);
            },
            Qt::QueuedConnection);
    });
}
