#pragma once

#include "tidycfg.h"

#include <QFileInfo>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>

class FileTreeInfo;

// One tidy run on a copy of the settings taken when it was made: finds the photos, plans them and carries the
// plans out, each on threads of its own, and can be cancelled from any thread. Used from one job at a time.
class TidyRunner {
public:
    explicit TidyRunner(const TidyCfg& cfg);

    const TidyCfg& cfg() const { return m_cfg; }
    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(); }

    // What a scan found: a photo to plan, or an entry it leaves alone and the reason why.
    struct Found {
        QFileInfo file;
        QString skip; // empty for a photo
    };
    // The image files of dir and its subfolders: a folder's files, by name, before those of its subfolders. A
    // link to a folder is followed unless it leads into the tree itself, to a folder holding it, to the
    // destination, into it or to a folder holding it, or to a folder already entered (a link loop ends there);
    // each file is a photo once, under its own name rather than a link's where the tree holds both. Unreadable
    // folders, entries that are no regular file and the links not followed are found as skipped.
    QList<Found> scanTree(const QString& dir) const;
    // One planned record per entry, in the order found (fewer when cancelled). Plans on several threads;
    // onPlanned runs on them, once per record.
    QList<FileTreeInfo*> plan(const QList<Found>& found, const std::function<void(FileTreeInfo*)>& onPlanned = {});
    // Carries the records out: those bound for one folder one after another in list order, different folders at
    // once where the disks allow. onDone(index) runs on the working thread after each record. Returns the number
    // of records carried out successfully.
    int execute(const QList<FileTreeInfo*>& infos, const std::function<void(int)>& onDone = {});

    // Threads for planning and for copying: one copy at a time where a disk has a spinning head.
    int planThreads() const;
    int copyThreads() const;
    // True when the disk holding path (or its nearest existing parent) has a spinning head.
    static bool isRotational(const QString& path);

private:
    struct Scan;
    void scanFolder(const QString& dir, bool viaLink, Scan& scan) const;
    void addFile(const QFileInfo& file, bool viaLink, Scan& scan) const;
    // Runs work(i) for i in 0..count-1 on up to threads threads; stops handing out work when cancelled.
    void parallelFor(int count, int threads, const std::function<void(int)>& work);

    TidyCfg m_cfg;
    std::atomic_bool m_cancel { false };
};
