#include "filecheck.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool entryMissing(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) != 0 && errno == ENOENT;
}

bool folderReadable(const QByteArray& folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    ::closedir(dir);
    return true;
}

// The write bit of the class (owner, group, others) the process falls in.
bool modeWritable(const struct stat& st)
{
    if (st.st_uid == ::geteuid())
        return st.st_mode & S_IWUSR;
    if (st.st_gid == ::getegid())
        return st.st_mode & S_IWGRP;
    return st.st_mode & S_IWOTH;
}

} // namespace

bool FileCheck::isGone(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QByteArray file = QFile::encodeName(path);
    if (!entryMissing(file))
        return false;
    if (!folderReadable(QFile::encodeName(QFileInfo(path).absolutePath())))
        return false;
    // Still missing now that its folder is known to be there.
    return entryMissing(file);
}

QString FileCheck::writeRefusal(const QString& path)
{
    const QFileInfo info(path);
    struct stat st;
    if (::stat(QFile::encodeName(info.absoluteFilePath()).constData(), &st) != 0)
        return QStringLiteral("照片不存在");
    if (!modeWritable(st))
        return QStringLiteral("照片只读");
    const QString target = info.canonicalFilePath();
    const QString folder = QFileInfo(target.isEmpty() ? path : target).absolutePath();
    if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !modeWritable(st))
        return QStringLiteral("目录只读");
    return QString();
}
