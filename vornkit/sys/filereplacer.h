#pragma once

#include "sys/filestamp.h"
#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// Replaces a file's content without ever touching the file in place: the new content goes into a file beside it
// that takes the old one's owner, group, mode, extended attributes (access control list included) and times, and
// is renamed over it only once complete, and only while the file is still the one that was read: a save by another
// program in between is never undone. The new file has no name until then (O_TMPFILE); where the file system
// cannot do that, it is a hidden temporary that a later replace in that folder removes if a killed writer left it
// behind.
class VORNKIT_EXPORT FileReplacer {
public:
    enum Result {
        Ok = 0,
        Replaced = 0,
        Missing = -1, // not there, or not a regular file
        NotAllowed = -2, // the user may not write the file (folder permissions aside)
        CannotWrite = -3, // no new file could be made or written beside it (folder not writable, disk full)
        CannotKeep = -4, // owner, group, mode or an extended attribute could not be kept
        CannotRename = -5,
        Changed = -6, // the file changed (another program saved it) since it was read: left as it is now
        CannotRead = -7, // could not be read whole (unreadable, or larger than asked for)
    };

    // A file as it was read: which file (device, inode) and what it held (size, modified and change times), with
    // the owner, mode and times from before the read, which the new content takes.
    struct VORNKIT_EXPORT Snapshot {
        FileStamp stamp;
        qint64 modifiedSec = 0;
        long modifiedNsec = 0;
        qint64 accessedSec = 0;
        long accessedNsec = 0;
        uid_t owner = 0;
        gid_t group = 0;
        mode_t mode = 0;
        // The same file, not changed since: device, inode, size, modified and change times agree.
        bool sameAs(const Snapshot& other) const;
    };

    // The file (links followed) as it is now; invalid when it is not a regular file.
    static Snapshot snapshotOf(const QString& target);
    // Reads a regular file of at most maxBytes whole, without moving its access time where the user owns it; the
    // snapshot is taken before the read, and a file that changed while it was read is read again.
    static Result read(
        const QString& target, qint64 maxBytes, QByteArray& content, Snapshot& snapshot, QString* why = nullptr);

    // target: the file itself (links resolved); read: the file as the content was made from it. Changed when it is
    // no longer that file. why, when given, names the cause of a failure.
    static Result replace(
        const QString& target, const QByteArray& content, const Snapshot& read, QString* why = nullptr);
    // The same against the file as it is now.
    static Result replace(const QString& target, const QByteArray& content, QString* why = nullptr);
    // Whether the user may write the file as it is: write access, or owning it (so that a read-only mark could
    // be lifted).
    static bool mayWrite(const QString& target);
    // Removes what killed replaces left in the folder: files with a temporary's name beside the file they were
    // made for, of this user, with no other name, that nobody holds and none just made. Returns how many.
    // A replace does this once per folder and process.
    static int removeStale(const QString& folder);
    // Whether a file name is one of this program's temporaries.
    static bool isTemporaryName(const QString& name);
    // The temporary's name for a file name (the random part as given, 8 lowercase hex digits).
    static QByteArray temporaryName(const QByteArray& fileName, const QByteArray& random);

    // Temporaries younger than this are never taken for stale.
    static constexpr int staleAfterMs = 1000;
};
