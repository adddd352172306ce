#include "meta/filetimerestore.h"

FileTimeRestore::FileTimeRestore(const QString& file)
{
    save(file);
}

FileTimeRestore::~FileTimeRestore()
{
    if (isHeld())
        restore();
}

int FileTimeRestore::save(const QString& file)
{
    release();
    if (file.isEmpty())
        return -1;
    FileTimes times = platform::readFileTimes(file);
    if (!times.valid)
        return -1;
    m_path = file;
    m_times = times;
    return 0;
}

int FileTimeRestore::restore()
{
    if (!isHeld())
        return -1;
    const bool ok = platform::writeFileTimes(m_path, m_times);
    release();
    return ok ? 0 : -1;
}

int FileTimeRestore::restoreTo(const QString& file) const
{
    if (!isHeld())
        return -1;
    return platform::writeFileTimes(file, m_times) ? 0 : -1;
}

void FileTimeRestore::release()
{
    m_path.clear();
    m_times = FileTimes();
}
