#pragma once

#include "db/sqlitedb.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

// The grid's tag-row writes (edits, renames, file facts after a write into the photo), run one after another on
// the store pool ahead of the new rows waiting there, so that the GUI thread never waits for the database. A write
// the database refuses (held by another program, read-only, full, damaged) stays first in line and is tried
// again while the program runs, the later ones waiting behind it, so they land in order; each write takes the
// item's values when it runs, so a retry never puts back an older value. Shut-down names the writes left behind.
class ItemStoreQueue : public QObject {
    Q_OBJECT
public:
    enum class Outcome {
        Stored,
        Retry, // the database refused it: try again later
        Dropped, // nothing can store it (the photo is gone): reported not stored
    };
    struct Result {
        Outcome outcome = Outcome::Stored;
        SqliteDb::Fault fault = SqliteDb::Fault::None;
    };
    // Runs on the store thread.
    using Write = std::function<Result()>;
    // Told on the store thread whether the write was stored (false when dropped, also at shut-down); not told
    // while it waits for another try.
    using Done = std::function<void(bool)>;
    // Whether what the write carries is kept without it: the photo holds the same tags (asked on the GUI thread).
    using InFile = std::function<bool()>;

    // The one queue, for its signal.
    static ItemStoreQueue* instance();

    // Queues a write; what names it to the user and in the log. Without a store pool it runs at once.
    static void post(const QString& what, Write write, Done done = Done(), InFile inFile = InFile());
    // Shut-down: runs or waits for the queued writes for at most ms milliseconds, trying refused ones again; the
    // ones left are logged, dropped and, when left is given, named there. Returns how many were dropped.
    static int finish(int ms, QStringList* left = nullptr);
    // Writes queued and not yet done.
    static int pending();
    // Writes the database refused, waiting for another try (0 when the queue flows).
    static int waiting();
    // Of those, the ones whose tags the photos hold as well.
    static int waitingInFile();
    // Writes that could never be stored (the photo went): a count that only grows.
    static int dropped();
    // Why the database last refused a write or a read; None once a write went through again.
    static SqliteDb::Fault fault();
    // A read or write saw the database fail (the loaders report damage here too).
    static void reportFault(SqliteDb::Fault fault);
    // Milliseconds before a refused write is tried again (tests shorten it).
    static void setRetryDelay(int ms);

signals:
    // The queue started or stopped waiting for the database, or the fault changed (emitted from any thread).
    void stateChanged();
    // Every write queued is done (emitted from the store thread, after the writes' own reports).
    void drained();

private:
    ItemStoreQueue() = default;
    class Drainer;
    static void startDrainer();
    static void retryLater();
};
