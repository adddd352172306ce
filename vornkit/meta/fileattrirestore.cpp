#include "meta/fileattrirestore.h"

#include "sys/platform.h"

#include <sys/stat.h>

FileAttriRestore::FileAttriRestore(const QString& file, bool clearReadOnly)
{
    save(file, clearReadOnly);
}

FileAttriRestore::~FileAttriRestore()
{
    if (isHeld())
        restore();
}

int FileAttriRestore::save(const QString& file, bool clearReadOnly)
{
    release();
    mode_t mode = 0;
    if (file.isEmpty() || !platform::readFileMode(file, mode))
        return -1;
    m_path = file;
    m_mode = mode;
    if (clearReadOnly && !(mode & S_IWUSR))
        platform::writeFileMode(file, mode | S_IWUSR);
    return 0;
}

int FileAttriRestore::restore()
{
    if (!isHeld())
        return -1;
    return platform::writeFileMode(m_path, m_mode) ? 0 : -1;
}

int FileAttriRestore::restoreTo(const QString& file) const
{
    if (!isHeld())
        return -1;
    return platform::writeFileMode(file, m_mode) ? 0 : -1;
}

void FileAttriRestore::release()
{
    m_path.clear();
    m_mode = 0;
}
