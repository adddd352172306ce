#pragma once

#include "grid/itemstorequeue.h"

#include <QString>

// The database rows that name a renamed file or folder follow it: the tag rows and the favourites as a write of the
// store queue (tried again until stored, in order with the tag edits); the thumbnail cache's rows in the same go
// where they can, else they are left for later: the cache is made again, and never holds the tag rows back.
class RowMove {
public:
    enum class Kind { File, Folder };

    // Runs the move (store thread); Stored once the tag rows and the favourites follow.
    static ItemStoreQueue::Result run(Kind kind, const QString& oldPath, const QString& newPath);
    // Queues it on the store queue; what names it to the user.
    static void post(Kind kind, const QString& oldPath, const QString& newPath, ItemStoreQueue::Done done);
    static QString describe(const QString& oldPath, const QString& newPath);
};
