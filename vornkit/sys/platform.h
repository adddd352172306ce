#pragma once

// The few operating-system services the suite needs, in one place.

#include "sys/vornkit_global.h"

#include <QDateTime>
#include <QFileInfo>
#include <QString>

class QFile;

#include <sys/types.h>

// A file's times: creation is the birth time where the file system keeps one,
// else the modified time (never the status-change time).
struct VORNKIT_EXPORT FileTimes {
    QDateTime created;
    QDateTime accessed;
    QDateTime modified;
    bool valid = false;
    // Nanoseconds since 1970 as read; used by writeFileTimes while they still agree with the
    // QDateTime to the millisecond, so that a restore keeps the exact times.
    qint64 createdNs = 0;
    qint64 accessedNs = 0;
    qint64 modifiedNs = 0;
};

namespace platform {

// The program folder: where data/ and profile/ live. VORN_PROGRAM_DIR overrides
// it so that tests never touch a real program folder.
VORNKIT_EXPORT QString programDir();

VORNKIT_EXPORT FileTimes readFileTimes(const QString& path);
// Sets access and modified times (nanoseconds kept); an invalid one is left as it is. The birth
// time cannot be set and is skipped.
VORNKIT_EXPORT bool writeFileTimes(const QString& path, const FileTimes& times);

// A file's creation time as the tag database keeps it: the birth time, else the modified time.
// Use it in place of QFileInfo::created(), which falls back to the status-change time.
VORNKIT_EXPORT QDateTime createdTime(const QFileInfo& info);

// Mode bits; readFileMode returns false and leaves mode untouched when the file cannot be read.
VORNKIT_EXPORT bool readFileMode(const QString& path, mode_t& mode);
VORNKIT_EXPORT bool writeFileMode(const QString& path, mode_t mode);
// Read-only means the owner may not write.
VORNKIT_EXPORT bool isReadOnly(const QString& path);
VORNKIT_EXPORT bool setReadOnly(const QString& path, bool readOnly);

// True when the path (links followed) is a regular file: FIFOs, devices, sockets and folders are not.
VORNKIT_EXPORT bool isRegularFile(const QString& path);
// Opens path for reading (flags added) without moving its access time: O_NOATIME, which only the file's owner may
// use; anyone else's file opens as usual. The descriptor, or -1 with errno kept.
VORNKIT_EXPORT int openKeepingAccessTime(const QByteArray& path, int flags = 0);
// Opens a regular file for reading, never blocking: a FIFO or device behind the name (or a link) is refused
// without waiting for a writer. False leaves the file closed.
VORNKIT_EXPORT bool openRegularFile(QFile& file, const QString& path);
// All bytes of a regular file of at most maxBytes; false for anything else, with out left empty.
VORNKIT_EXPORT bool readRegularFile(const QString& path, qint64 maxBytes, QByteArray& out);
// Writes all size bytes to fd, going on after interruptions and short writes; false on an error (errno kept).
VORNKIT_EXPORT bool writeAll(int fd, const char* data, qint64 size);

// Called first thing by every program: a write past the file-size limit (ulimit -f) then fails with an error that
// is reported for that file, instead of SIGXFSZ ending the process mid-run.
VORNKIT_EXPORT void ignoreFileSizeSignal();
// The path (it need not exist) lies where a volume is away, so what is there says nothing about the volume's
// files: at or below a mount point that the file-system table lists and that is not mounted now (a volume left
// unplugged, a network share not connected); below /media, /run/media or /mnt with no volume mounted in between;
// or in a share missing from the top of the desktop's share or automount file system. The tables (by default
// /etc/fstab, or the file VORN_FSTAB names, and /proc/self/mountinfo) are read anew on each call.
VORNKIT_EXPORT bool onUnmountedVolume(
    const QString& folder, const QString& fstab = QString(), const QString& mountinfo = QString());

// Path of a tool executable beside the running program ("vorntwin", "vornsort", "vornmark").
VORNKIT_EXPORT QString toolPath(const QString& tool);
// Starts a tool detached, with no arguments.
VORNKIT_EXPORT bool startTool(const QString& tool);

} // namespace platform
