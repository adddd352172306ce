#pragma once

#include "sys/vornkit_global.h"

#include <QString>

struct stat;

// What a file was when it was seen, precise enough to tell that it has not been touched since: the same file
// (device and inode), size, modified and status-change times to the nanosecond.
class VORNKIT_EXPORT FileStamp {
public:
    // The file at path, links followed; an invalid stamp when no regular file is there.
    static FileStamp of(const QString& path);
    // The file stat describes; invalid when it is not a regular file.
    static FileStamp fromStat(const struct stat& st);

    bool isValid() const { return m_valid; }
    qint64 size() const { return m_size; }
    // Milliseconds since 1970, as file times are shown.
    qint64 modifiedMs() const { return m_modifiedNs / 1000000; }
    // The same file, whatever its content now.
    bool sameFile(const FileStamp& other) const;
    // The same file with the same size and modified time (its status-change time aside).
    bool sameContent(const FileStamp& other) const;
    // Valid, and nothing of it changed.
    bool operator==(const FileStamp& other) const;
    bool operator!=(const FileStamp& other) const { return !(*this == other); }

private:
    bool m_valid = false;
    quint64 m_device = 0;
    quint64 m_inode = 0;
    qint64 m_size = -1;
    qint64 m_modifiedNs = 0;
    qint64 m_changedNs = 0;
};
