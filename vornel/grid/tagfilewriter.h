#pragma once

#include "grid/iteminfo.h"

#include <QList>
#include <QObject>

// Writes the photos' tags into their files off the GUI thread: in order per file (a file waiting for its write
// takes the newest request), in parallel across files, and a file that already holds exactly these tags is left
// untouched. Each batch reports what became of its files once all are done; failures are named in the log.
class TagFileWriter : public QObject {
    Q_OBJECT
public:
    // The one writer, made on the GUI thread at first use.
    static TagFileWriter* instance();

    // Queues the items' current tags for their files; returns the batch number that batchDone reports.
    int write(const QList<ItemInfoPtr>& items);
    // A batch filled in parts: add queues more files into it, and batchDone comes once it is closed and all its
    // files are done.
    int openBatch();
    void add(int batch, const QList<ItemInfoPtr>& items);
    void closeBatch(int batch);
    // Files queued or being written.
    int pending() const;
    // Shut-down: waits up to ms for the writes; the ones not started by then are logged and dropped (their tags
    // stay in the database). Returns how many were dropped.
    static int finish(int ms);
    // Files written at once.
    static int maxParallel();

signals:
    // On the GUI thread, once every file of the batch is done; failedUnstored of the failed ones were not in the
    // database either when they failed; firstFailure names the first failed file and why (empty when none failed).
    void batchDone(int batch, int written, int unchanged, int failed, int failedUnstored, const QString& firstFailure);

private:
    TagFileWriter() = default;
    void startWorkers();
    // Under the lock: the batch is done; batchDone tells it.
    void endBatch(int id);
    void work();
    int dropWaiting();
    struct State;
    State& state() const;
};
