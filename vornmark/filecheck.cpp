#include "filecheck.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

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
