#pragma once

#include <QString>

// What a file was when a search saw it, precise enough to tell that it has not been touched since: the same
// file (device and inode), size, modified and status-change times to the nanosecond.
class FileStamp {
public:
    // The file at path, links followed; an invalid stamp when no regular file is there.
    static FileStamp of(const QString& path);

    bool isValid() const { return m_valid; }
    qint64 size() const { return m_size; }
    // Milliseconds since 1970, as file times are shown.
    qint64 modifiedMs() const { return m_modifiedNs / 1000000; }
    // The same file, whatever its content now.
    bool sameFile(const FileStamp& other) const;
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
