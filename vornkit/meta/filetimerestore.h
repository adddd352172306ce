#pragma once

#include "sys/platform.h"
#include "sys/vornkit_global.h"

#include <QString>

// Keeps a file's access and modified times across a write.
class VORNKIT_EXPORT FileTimeRestore {
public:
    FileTimeRestore() = default;
    explicit FileTimeRestore(const QString& file);
    ~FileTimeRestore();
    FileTimeRestore(const FileTimeRestore&) = delete;
    FileTimeRestore& operator=(const FileTimeRestore&) = delete;

    // 0, or -1 when the times cannot be read (nothing is held then).
    int save(const QString& file);
    // Puts the saved times back on the saved file and lets it go; -1 when idle or it fails.
    int restore();
    // Puts the saved times on another file (the replacement of the saved one).
    int restoreTo(const QString& file) const;
    // Forgets the file without touching it.
    void release();

    bool isHeld() const { return !m_path.isEmpty(); }
    const FileTimes& times() const { return m_times; }

private:
    QString m_path;
    FileTimes m_times;
};
