#pragma once

#include "tagsynccfg.h"
#include "task/taskobject.h"

#include <QList>
#include <QMutex>
#include <QPair>
#include <QSet>
#include <QStringList>
#include <QThreadPool>
#include <QVector>

#include <atomic>
#include <functional>

#include "records/filetaginfo.h"
#include "records/imagecacheinfo.h"

class BookMarkInfo;
class SqliteDb;

// One run of the tag synchroniser: tidies the favourites, the tag rows and the thumbnail cache, reconciles the
// tags in the database with those inside the photos, and builds rows and thumbnails for whole folder trees, as
// TagSyncCfg says. Runs on the global pool; photos are handled in parallel on a pool of its own, which it drains
// before it returns. Each row change is made on the row as it stands at that moment, so edits the photo
// manager makes meanwhile are never overwritten. The end event carries in its error the number of photos that
// could not be written or whose rows could not be changed; the log file lists them.
class TagSyncTask : public TaskObject {
    Q_OBJECT
public:
    explicit TagSyncTask(QObject* parent = nullptr);
    ~TagSyncTask() override;

    // After the run: "path: reason" for each failure.
    QStringList failures() const;
    int failedPhotos() const;
    int writtenPhotos() const { return m_written.load(); }
    // The text of the end event.
    QString summary() const;
    static QString logFile();

protected:
    void exec() override;
    // Between a photo's write and its row's update.
    virtual void photoWritten(const QString& file);

private:
    struct Worker;
    // A built photo's new row and thumbnail, waiting to be stored.
    struct Built {
        bool hasRow = true;
        bool hasCache = true;
        FileTagInfo row;
        ImageCacheInfo cache;
    };
    enum class Change { Nothing, Written, Moved, Failed };

    void cleanFavorites(const TagSyncCfg& cfg);
    void deleteInvalidFavorites(const QList<BookMarkInfo*>& list);
    void cleanTags(const TagSyncCfg::Tag& cfg);
    void deleteInvalidTags(const QList<FileTagInfo*>& rows, QVector<char>& deleted);
    void deleteOutSyncTags(const QList<FileTagInfo*>& rows, QVector<char>& deleted);
    void syncTags(const QList<FileTagInfo*>& rows, const QVector<char>& deleted, const TagSyncCfg::Tag& cfg);
    void syncRow(Worker& worker, const FileTagInfo& listed, const TagSyncCfg::Tag& cfg);
    void cleanThumbs(const TagSyncCfg::Thumb& cfg);
    void deleteInvalidThumbs(const QList<ImageCacheInfo*>& rows);
    void resizeThumbs(const QList<ImageCacheInfo*>& rows, int width, int height);
    void buildFolderTree(const QString& folder, int width, int height, bool cacheBigImage);
    // The folder and its subfolders, depth first: each folder, the index of its first file, and the files.
    void listFolderTree(const QString& folder, QStringList& folders, QVector<int>& firstFile, QStringList& files);
    void buildFile(Worker& worker, const QString& path, int width, int height, bool cacheBigImage);
    // Stores the waiting photos once a batch is full, or all of them.
    void storeBuilt(Worker& worker, bool all);

    // fn(worker, i) for every i below count on the photo pool, each worker with its own connections; no new
    // item starts once the run is cancelled.
    void forEach(int count, const std::function<void(Worker&, int)>& fn);
    // fn in one transaction on db; rolled back and tried again while the database is busy.
    Change transact(SqliteDb* db, const std::function<Change()>& fn);

    void sendMessage(const QString& text);
    // Counts an item; every 102nd item sends head + the file's name + tail.
    void itemDone(const QString& head, const QString& path, const QString& tail);
    void addFailure(const QString& file, const QString& reason);
    void writeLog() const;

    std::atomic<int> progressCount { 0 };
    std::atomic<int> m_written { 0 };
    QThreadPool m_workers;
    QMutex m_messageMutex;
    QMutex m_writeMutex;
    mutable QMutex m_failMutex;
    QList<QPair<QString, QString>> m_failures;
    QSet<QString> m_visited;
    QMutex m_builtMutex;
    QList<Built> m_built;
};
