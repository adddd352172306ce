#pragma once

#include "grid/itemstorequeue.h"

#include <QString>

// The database rows that name a renamed file or folder follow it: the tag rows and the favourites as a write of the
// store queue (tried again until stored, in order with the tag edits); the thumbnail cache's rows in the same go
// where they can, else they are left for later: the cache is made again, and never holds the tag rows back.
class RowMove {
public:
    enum class Kind { File, Folder };

    // Runs the move (store thread); Stored once the tag rows and the favourites follow. held: the folder move's
    // entry for rowPath, let go once the tag rows have followed.
    static ItemStoreQueue::Result run(Kind kind, const QString& oldPath, const QString& newPath, quint64 held = 0);
    // Told on the store thread whether the rows followed.
    using Done = ItemStoreQueue::Done;
    // Queues it on the store queue. The items may take the new path at once: from now until the tag rows have
    // followed, rowPath leads their writes and reads to the rows where they are.
    static void post(Kind kind, const QString& oldPath, const QString& newPath, Done done);
    static QString describe(const QString& oldPath, const QString& newPath);
    // The path the tag rows and the cache know a file or folder by now: the folder moves still waiting in the queue
    // are undone on it, the latest first. A write queued ahead of a move finds and leaves its row where the move
    // takes it from, so the move carries it along instead of replacing it.
    static QString rowPath(const QString& path);
};
