#pragma once

#include "sys/vornkit_global.h"

#include <QByteArray>
#include <QString>

// Replaces a file's content without ever touching the file in place: the new content goes into a file beside it
// that takes the old one's owner, group, mode, extended attributes (access control list included) and times, and
// is renamed over it only once complete. The new file has no name until then (O_TMPFILE); where the file system
// cannot do that, it is a hidden temporary that the next replace in that folder removes if a killed writer left
// it behind.
class VORNKIT_EXPORT FileReplacer {
public:
    enum Result {
        Replaced = 0,
        Missing = -1, // not there, or not a regular file
        NotAllowed = -2, // the user may not write the file (folder permissions aside)
        CannotWrite = -3, // no new file could be made or written beside it (folder not writable, disk full)
        CannotKeep = -4, // owner, group, mode or an extended attribute could not be kept
        CannotRename = -5,
    };

    // target: the file itself (links resolved). why, when given, names the cause of a failure.
    static Result replace(const QString& target, const QByteArray& content, QString* why = nullptr);
    // Whether the user may write the file as it is: write access, or owning it (so that a read-only mark could
    // be lifted).
    static bool mayWrite(const QString& target);
    // Removes the temporaries of replaces in the folder that nobody is writing any more; returns how many.
    static int removeStale(const QString& folder);
    // Whether a file name is one of this program's temporaries.
    static bool isTemporaryName(const QString& name);

    // Temporaries younger than this are never taken for stale.
    static const int staleAfterMs = 1000;
};
