#pragma once

#include "grid/itemstorequeue.h"
#include "meta/imagedecoder.h"
#include "records/filetaginfo.h"
#include "records/imagecacheinfo.h"
#include "records/tagmerge.h"

#include <QByteArray>
#include <QFileInfo>
#include <QFuture>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QReadWriteLock>
#include <QRgb>
#include <QSharedPointer>
#include <QSize>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class FileTagTb;
class FullImageCache;
class ItemInfo;
class QThreadPool;
using ItemInfoPtr = QSharedPointer<ItemInfo>;

// One image file as the photo manager knows it: file facts, the tag and thumbnail-cache records, the thumbnail
// (kept compressed; the grid's and the strip's pixels are made from it when they paint, ThumbCache) and the
// full-size image. It loads them on the photo manager's pools (rows from the databases,
// else from the file), stores new rows, and carries the tag edits and the rename of the file.
//
// Threads: created, loaded, edited and renamed on the GUI thread; the readers work from any thread. The jobs
// write only fields whose ready flag is still 0 and emit tagLoaded / cacheLoaded after setting the flag.
// The public records (fileInfo, tagInfo, cacheInfo) are for the GUI thread, tagInfo once tagReady is 1.
class ItemInfo : public QObject, public QEnableSharedFromThis<ItemInfo> {
    Q_OBJECT
public:
    ItemInfo();
    // Stops the jobs: a queued job is skipped when it comes up, a running one is waited for.
    ~ItemInfo() override;
    ItemInfo(const ItemInfo&) = delete;
    ItemInfo& operator=(const ItemInfo&) = delete;

    // Registers ItemInfoPtr for queued connections (done by the constructor too).
    static void registerMetaType();

    // Returns 1.
    int setFile(const QString& path);
    // A folder holding the file, at any depth, was renamed: the item names the file under the new path from now on
    // (its queued writes find its row through RowMove::rowPath). False when the file is not inside.
    bool followFolder(const QString& oldFolder, const QString& newFolder);
    // -1 without a file; 1 when already loaded or loading; 0 when the load job was queued.
    int load();
    // -1 without a file; 1 when the tags or thumbnails are not ready or a store is running; 0 when queued.
    int storeToDb();
    // -1 without a file; 1 when the full image is there or loading; 0 when queued. The image comes upright, within
    // the decode budget, and is held within the full images' budget (FullImageCache); fullImageLoaded announces it.
    int loadFullImage();
    void releaseFullImage();

    QString fileName() const;
    QString fileSizeText() const;
    QString imageSizeText() const;
    QString starText() const;
    QString tagText() const;
    // The colour tag at index; 0 when out of range or the tags are not loaded.
    QRgb rgb(int index) const;
    // Null until the thumbnails are made. Fitted to the grid cell's (strip's) image box as it is now: decoded from
    // the compressed thumbnail unless ThumbCache still holds the pixels.
    QImage thumbnail() const;
    QImage listThumbnail() const;
    // The compressed thumbnail (JPEG, or PNG when it has transparency); empty until the thumbnails are made.
    QByteArray thumbBytes() const;
    QImage fullImage() const;
    // The picture's size as shown (upright) once the tags or the thumbnails know it; invalid before.
    QSize imageSize() const;
    // 0 never loaded, 1 loaded, 2 loaded again after a release, -1 released.
    int fullImageState() const;
    // A copy of the tag record, safe from any thread.
    FileTagInfo tagRecord() const;
    // Whether the grid filter lets the item pass; an item still loading always passes.
    bool match(const QList<int>& stars, const QList<QRgb>& colours, const QStringList& keys) const;
    // Whether a load, metadata or store job, a tag-row write or a write into the file is queued or running.
    bool isBusy() const;

    // Tag edits (GUI thread). Nothing changes until the tags are loaded, nor for a photo that no longer exists or could
    // not be read as a picture (then false). Each changes the item at once and queues its tag-row write on the store
    // pool (ItemStoreQueue), which reports through tagStored once it is stored (or can never be); true when the edit
    // was taken.
    bool setStar(int star);
    bool setRgbs(const QList<QRgb>& rgbs);
    bool updateRgb(int index, QRgb rgb);
    bool deleteRgb(int index);
    bool setTextTags(const QStringList& tags);
    bool addTextTag(const QString& tag);
    // Writes the tags into the file (ExivTags codes; any thread, it reads and writes the whole file), merged with
    // what the file holds now (TagMerge::mergeEdit: what another program wrote there since is kept, and the item
    // takes it where the database holds it too); -1 without loaded tags, when the file could not be read while
    // they were loaded, or while the tag row cannot be read for a database held by another program (writing could
    // wipe tags kept there). unchanged: the file already held them and was left as it was; why: on failure, the
    // reason in the user's words.
    int saveTagsToFile(bool* unchanged = nullptr, QString* why = nullptr);
    // Whether the photo is still there (edits to a photo that is gone are refused).
    bool fileExists() const;
    // The tags are loaded, but the file could not be read as a picture: it gets no tag row and takes no tags into
    // the file, so its edits are refused.
    bool isUnreadable() const;
    // Tag-row writes of this item queued and not yet stored.
    int storesPending() const { return m_storesPending; }
    // 0 renamed; -1 refused (blank, ".", "..", holds "/", target exists) or failed; -2 not loaded yet or busy.
    int rename(const QString& newName);

    // A thumbnail's size for a box (ImageDecoder::fitSize): the image itself when it fits, else scaled into it.
    static QSize fitSize(const QSize& image, const QSize& box) { return ImageDecoder::fitSize(image, box); }
    static QSize coverSize(const QSize& image, const QList<QSize>& boxes)
    {
        return ImageDecoder::coverSize(image, boxes);
    }

    QFileInfo fileInfo;
    FileTagInfo tagInfo;
    ImageCacheInfo cacheInfo;
    std::atomic<int> tagFromDb { 0 };
    std::atomic<int> cacheFromDb { 0 };
    std::atomic<int> fileReady { 0 };
    std::atomic<int> tagReady { 0 };
    std::atomic<int> thumbReady { 0 };
    std::atomic<int> abort { 0 };
    // Set by the views when the cell (strip) box changed; the next read clears it (pixels follow the box anyway).
    mutable std::atomic<int> rescaleThumb { 0 };
    mutable std::atomic<int> rescaleListThumb { 0 };
    // The grid part under the mouse; -1 when none.
    std::atomic<int> hoverPart { -1 };

    // Writes into the file queued or running for this item (kept by the writer; a rename waits for them).
    std::atomic<int> fileWritesPending { 0 };

signals:
    void tagLoaded();
    void cacheLoaded();
    // A queued tag-row write (edit, rename, file facts) ended; emitted on the store thread.
    void tagStored(bool ok);
    // Tags the item did not edit were taken from the database or the file (another program's edits); emitted from
    // the writing thread after tagLoaded.
    void tagsReplaced();
    // The full image is there (emitted from the pool thread that decoded it).
    void fullImageLoaded();

private:
    friend class FullImageCache;

    struct Gate;
    struct LoadParams;
    struct FileTags;

    template <class F> QFuture<int> startJob(QThreadPool* pool, F&& body);

    int loadJob(const LoadParams& params);
    bool readRows(const LoadParams& params, const QFileInfo& fresh);
    int readFile(const LoadParams& params, const QFileInfo& fresh, FileTags& tags, QImage& hintImage);
    int metaJob(const FileTags& tags, const QImage& hintImage);
    int storeJob();
    // GUI thread: the file, its folder and the records name path from now on.
    void takePath(const QString& path);
    // The tag record to store, naming the file as its row does now; file: the photo's path on disk.
    FileTagInfo rowRecord(QString* file = nullptr) const;
    int fullImageJob(const QString& path);
    // Under the image lock, for FullImageCache: take the image (false once the item is going away) or let it go.
    bool takeFullImage(const QImage& image);
    void clearFullImage();
    // Under m_mutex: the thumbnail to keep, compressed by compressThumb.
    void keepThumb(const QByteArray& bytes);
    static QByteArray compressThumb(const QImage& image);
    QImage pixelsFor(int kind, std::atomic<int>& rescale, const QSize& box) const;
    static QImage refit(const QImage& thumb, const QSize& imageSize, const QSize& box);
    static QList<uint> hintColours(const QImage& thumb, QList<uint>& tagColours);
    enum class TagColumn { Star, Colours, Texts, Facts, Row };
    void refreshFileFacts(const QString& file);
    QString describe(TagColumn column) const;
    // carriesTags: the write stores tags the photo may hold too (ItemStoreQueue::InFile).
    bool queueStore(const QString& what, ItemStoreQueue::Write write, bool carriesTags = false);
    bool tagsInFile() const;
    bool queueTagWrite(TagColumn column);
    ItemStoreQueue::Result writeTagColumn(TagColumn column);
    static bool holdsFacts(const FileTagInfo& record);
    // Under m_mutex: the tags are loaded and an edit can be stored.
    bool takesEdits() const;
    TagMerge::Values userTags() const;
    // Under m_mutex: the tags are known; from here on the item's tags count as edited where they differ.
    void tagsKnown();
    // The row cannot be read for a database held by another program: read it again, and take its tags where the
    // item has not been edited. True once it was read.
    bool resolveRow(const QString& file);
    // Takes the row's rowid and, when tagsCurrent, its tags where the item has not been edited (then signals);
    // true when a tag changed.
    bool takeRow(const FileTagInfo& row, bool tagsCurrent);
    // record names the row's path (RowMove::rowPath), file the photo on disk.
    ItemStoreQueue::Result insertRow(FileTagTb& table, FileTagInfo& record, const QString& file);
    void keepFileTags(const QString& file, const TagMerge::Values& mine, const TagMerge::Values& merged);
    bool jobsRunning() const;

    std::shared_ptr<Gate> m_gate;
    std::atomic<int> m_storesPending { 0 };
    mutable QMutex m_mutex; // texts, thumbnails, records, paths, futures
    QString m_filePath; // absolute path, as the jobs see it
    QString m_folder;
    QString m_fileName;
    QString m_fileSizeText;
    QString m_imageSizeText;
    QString m_starText;
    QString m_tagText;
    QByteArray m_thumbBytes; // the thumbnail, compressed: a few kB where its pixels took 100 kB and more
    QSize m_imageSize; // the image's own size once known
    int m_cacheBigImage = 0; // taken with the sizes when the load is queued
    QFuture<int> m_loadFuture;
    QFuture<int> m_metaFuture;
    QFuture<int> m_storeFuture;
    QFuture<int> m_fullImageFuture;
    // The new tag row is still to be stored: by the store job, or whole by the next edit.
    bool m_tagInsertPending = false;
    bool m_tagInsertTaken = false; // the store job is writing it
    // The file could not be read when its tags were loaded (so none came from it or from a row).
    bool m_fileTagsUnknown = false;
    // A row that no longer matches the file (new size or modified time): its user tags carry over when the file
    // holds none of ours, since the database may be the only place they live (GIF, BMP, writes refused or off).
    // It stays stored until the new row replaces it.
    FileTagInfo m_staleRow;
    bool m_hasStaleRow = false;
    // The tag row could not be read (the database was held by another program): no new row replaces it and the
    // tags shown are not written into the file; edits change their columns of the row found by its file.
    bool m_rowUnknown = false;
    // The tags as last known to be in the file (or in the row when loaded from it): what the item's edits are
    // measured against when the file is written.
    TagMerge::Values m_fileBase;
    // The photo holds m_fileBase (read from it or written into it), rather than the row alone.
    bool m_fileBaseInFile = false;
    // Kinds the user set since the file was last written (SetStar...), even to the value the item already showed:
    // the file takes them though it holds another value (a write that failed before, a row ahead of the file).
    enum SetKind { SetStar = 1, SetColours = 2, SetTexts = 4 };
    int m_setKinds = 0;

    mutable QReadWriteLock m_fullImageLock { QReadWriteLock::Recursive };
    QImage m_fullImage;
    int m_fullImageState = 0;
};

Q_DECLARE_METATYPE(ItemInfoPtr)
