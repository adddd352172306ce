#pragma once

#include <QString>

#include <functional>

class QObject;

// The grid's tag-row writes (edits, renames, file facts after a write into the photo), run one after another on
// the store pool ahead of the new rows waiting there, so that the GUI thread never waits for the database. Each
// write is named in the log when it fails, and when shut-down leaves it behind.
class ItemStoreQueue {
public:
    // Runs on the store thread; true when stored.
    using Write = std::function<bool()>;
    // Told on the store thread whether the write was stored (false also when it was dropped at shut-down).
    using Done = std::function<void(bool)>;

    // Queues a write; what names it in the log. Without a store pool it runs at once.
    static void post(const QString& what, Write write, Done done = Done());
    // Shut-down: runs or waits for the queued writes for at most ms milliseconds; the ones left are logged and
    // dropped. Returns how many were dropped.
    static int finish(int ms);
    // Writes queued and not yet done.
    static int pending();

private:
    class Drainer;
    static void startDrainer();
};
