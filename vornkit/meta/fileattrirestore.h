#pragma once

#include "sys/vornkit_global.h"

#include <QString>

#include <sys/types.h>

// Keeps a file's mode bits across a write: save() reads them (and may lift the read-only
// mark), restore() puts them back. Only a mode that was read is ever applied.
class VORNKIT_EXPORT FileAttriRestore {
public:
    FileAttriRestore() = default;
    FileAttriRestore(const QString& file, bool clearReadOnly);
    ~FileAttriRestore();
    FileAttriRestore(const FileAttriRestore&) = default;
    FileAttriRestore& operator=(const FileAttriRestore&) = default;

    // 0, or -1 when the mode cannot be read (nothing is held then).
    int save(const QString& file, bool clearReadOnly);
    // Puts the saved mode back on the saved file; -1 when nothing is held or it fails.
    int restore();
    // Puts the saved mode on another file (the replacement of the saved one).
    int restoreTo(const QString& file) const;
    // Forgets the file without touching it.
    void release();

    bool isHeld() const { return !m_path.isEmpty(); }
    const QString& path() const { return m_path; }
    mode_t mode() const { return m_mode; }

private:
    QString m_path;
    mode_t m_mode = 0;
};
