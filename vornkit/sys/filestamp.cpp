#include "sys/filestamp.h"

#include <QFile>

#include <sys/stat.h>

FileStamp FileStamp::of(const QString& path)
{
    struct stat st { };
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || ::stat(name.constData(), &st) != 0)
        return FileStamp();
    return fromStat(st);
}

FileStamp FileStamp::fromStat(const struct stat& st)
{
    FileStamp s;
    if (!S_ISREG(st.st_mode))
        return s;
    s.m_valid = true;
    s.m_device = quint64(st.st_dev);
    s.m_inode = quint64(st.st_ino);
    s.m_size = qint64(st.st_size);
    s.m_modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    s.m_changedNs = qint64(st.st_ctim.tv_sec) * 1000000000LL + st.st_ctim.tv_nsec;
    return s;
}

bool FileStamp::sameFile(const FileStamp& other) const
{
    return m_valid && other.m_valid && m_device == other.m_device && m_inode == other.m_inode;
}

bool FileStamp::sameContent(const FileStamp& other) const
{
    return sameFile(other) && m_size == other.m_size && m_modifiedNs == other.m_modifiedNs;
}

bool FileStamp::operator==(const FileStamp& other) const
{
    return sameContent(other) && m_changedNs == other.m_changedNs;
}
