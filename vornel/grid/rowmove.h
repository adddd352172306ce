#pragma once

#include "grid/itemstorequeue.h"

#include <QString>

#include <functional>

// The database rows that name a renamed file or folder follow it: the tag rows and the favourites as a write of the
// store queue (tried again until stored, in order with the tag edits); the thumbnail cache's rows in the same go
// where they can, else they are left for later: the cache is made again, and never holds the tag rows back.
class RowMove {
public:
    enum class Kind { File, Folder };

    // Runs the move (store thread); Stored once the tag rows and the favourites follow.
    static ItemStoreQueue::Result run(Kind kind, const QString& oldPath, const QString& newPath);
    // Told on the store thread whether the rows followed, and whether the database kept them waiting first (what was
    // read under the new path meanwhile did not find them).
    using Done = std::function<void(bool stored, bool waited)>;
    // Queues it on the store queue.
    static void post(Kind kind, const QString& oldPath, const QString& newPath, Done done);
    static QString describe(const QString& oldPath, const QString& newPath);
};
