#include "grid/iteminfo.h"

#include "app/appcfg.h"
#include "app/threadpools.h"
#include "db/sqlitedb.h"
#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "grid/fullimagecache.h"
#include "grid/itemstorequeue.h"
#include "grid/rowmove.h"
#include "grid/thumbcache.h"
#include "meta/colorstat.h"
#include "meta/exivtags.h"
#include "meta/imagevariant.h"
#include "records/filetagtb.h"
#include "records/imagecachetb.h"
#include "records/tagutil.h"
#include "sys/fileutil.h"
#include "task/pooljob.h"

#include <QBuffer>
#include <QColor>
#include <QFile>
#include <QReadLocker>
#include <QThreadPool>
#include <QWaitCondition>
#include <QWriteLocker>

// Lets the destructor skip jobs that have not started and wait only for those that run.
struct ItemInfo::Gate {
    QMutex mutex;
    QWaitCondition idle;
    bool dead = false;
    int running = 0;
};

// What the load job needs, taken on the GUI thread when it is queued.
struct ItemInfo::LoadParams {
    QString file;
    QString folder;
    QSize gridBox;
    QSize stripBox;
    QSize cacheBox;
};

// Tags read from the file's metadata; result as ExivTags::loadTagsFromData.
struct ItemInfo::FileTags {
    int result = -1;
    bool read = false; // the file's bytes were read, so result tells what it holds
    int star = 0;
    QList<uint> rgb;
    QStringList text;
};

namespace {

struct Boxes {
    QSize grid;
    QSize strip;
    QSize cache;
    int cacheBigImage = 0;
};

Boxes currentBoxes()
{
    Boxes b;
    if (const AppCfg* cfg = AppCfg::current()) {
        b.grid = cfg->item.rcImage.size();
        b.strip = cfg->list.rcThumb.size();
        b.cache = QSize(cfg->cache.thumbWidth, cfg->cache.thumbHeight);
        b.cacheBigImage = cfg->cache.cacheBigImage;
    } else {
        static const CfgItem item;
        static const CfgList list;
        static const CfgCache cache;
        b.grid = item.rcImage.size();
        b.strip = list.rcThumb.size();
        b.cache = QSize(cache.thumbWidth, cache.thumbHeight);
        b.cacheBigImage = cache.cacheBigImage;
    }
    return b;
}

bool fitsIn(const QSize& image, const QSize& box)
{
    return image.width() <= box.width() && image.height() <= box.height();
}

} // namespace

void ItemInfo::registerMetaType()
{
    static const int id = qRegisterMetaType<ItemInfoPtr>("ItemInfoPtr");
    Q_UNUSED(id)
}

ItemInfo::ItemInfo()
    : m_gate(std::make_shared<Gate>())
{
    registerMetaType();
}

ItemInfo::~ItemInfo()
{
    abort = 1;
    FullImageCache::instance().forget(this);
    ThumbCache::instance().forget(this);
    {
        QMutexLocker lock(&m_gate->mutex);
        m_gate->dead = true;
        while (m_gate->running > 0)
            m_gate->idle.wait(&m_gate->mutex);
    }
    QMutexLocker lock(&m_mutex);
    for (QFuture<int>* f : { &m_loadFuture, &m_metaFuture, &m_storeFuture, &m_fullImageFuture })
        f->cancel();
}

template <class F> QFuture<int> ItemInfo::startJob(QThreadPool* pool, F&& body)
{
    std::shared_ptr<Gate> gate = m_gate;
    const std::atomic<int>* stop = &abort;
    return runJob(pool, [gate, stop, body = std::forward<F>(body)]() mutable -> int {
        {
            QMutexLocker lock(&gate->mutex);
            if (gate->dead)
                return -1;
            ++gate->running;
        }
        // A database held by another program keeps the job waiting only until the item goes.
        SqliteDb::stopWaitingWhen(stop);
        int result = -1;
        try {
            result = body();
        } catch (const std::exception&) {
            // Out of memory on a huge file: the item stays without what this job would have made.
        }
        SqliteDb::stopWaitingWhen(nullptr);
        QMutexLocker lock(&gate->mutex);
        if (--gate->running == 0)
            gate->idle.wakeAll();
        return result;
    });
}

int ItemInfo::setFile(const QString& path)
{
    fileInfo.setFile(path);
    QMutexLocker lock(&m_mutex);
    m_filePath = fileInfo.absoluteFilePath();
    m_folder = fileInfo.absolutePath();
    m_fileName = fileInfo.fileName();
    m_fileSizeText = calcFileSize(fileInfo.size());
    fileReady = 1;
    return 1;
}

void ItemInfo::takePath(const QString& path)
{
    fileInfo.setFile(path);
    QMutexLocker lock(&m_mutex);
    m_filePath = fileInfo.absoluteFilePath();
    m_folder = fileInfo.absolutePath();
    m_fileName = fileInfo.fileName();
    tagInfo.setFile(m_filePath);
    tagInfo.setPath(m_folder);
    cacheInfo.setFile(m_filePath);
    cacheInfo.setPath(m_folder);
}

bool ItemInfo::followFolder(const QString& oldFolder, const QString& newFolder)
{
    QString path;
    {
        QMutexLocker lock(&m_mutex);
        path = rebasePath(m_filePath, oldFolder, newFolder);
        if (fileReady != 1 || path == m_filePath)
            return false;
    }
    takePath(path);
    return true;
}

FileTagInfo ItemInfo::rowRecord(QString* file) const
{
    QMutexLocker lock(&m_mutex);
    if (file)
        *file = m_filePath;
    FileTagInfo record = tagInfo;
    record.setFile(RowMove::rowPath(m_filePath));
    record.setPath(RowMove::rowPath(m_folder));
    return record;
}

int ItemInfo::load()
{
    if (fileReady != 1)
        return -1;
    QMutexLocker lock(&m_mutex);
    if (tagReady == 1 || thumbReady == 1 || m_loadFuture.isRunning() || m_metaFuture.isRunning())
        return 1;
    const Boxes boxes = currentBoxes();
    LoadParams params;
    params.file = m_filePath;
    params.folder = m_folder;
    params.gridBox = boxes.grid;
    params.stripBox = boxes.strip;
    params.cacheBox = boxes.cache;
    m_cacheBigImage = boxes.cacheBigImage;
    m_loadFuture = startJob(itemLoadPool, [this, params] { return loadJob(params); });
    return 0;
}

int ItemInfo::storeToDb()
{
    if (fileReady != 1)
        return -1;
    QMutexLocker lock(&m_mutex);
    if (tagReady != 1 || thumbReady != 1 || m_storeFuture.isRunning())
        return 1;
    if (tagFromDb != 1 && !tagInfo.getFile().isEmpty() && !m_rowUnknown)
        m_tagInsertPending = true;
    m_storeFuture = startJob(itemStorePool, [this] { return storeJob(); });
    return 0;
}

int ItemInfo::loadFullImage()
{
    if (fileReady != 1)
        return -1;
    QMutexLocker lock(&m_mutex);
    if (fullImageState() > 0 || m_fullImageFuture.isRunning())
        return 1;
    const QString path = m_filePath;
    m_fullImageFuture = startJob(imageLoadPool, [this, path] { return fullImageJob(path); });
    return 0;
}

void ItemInfo::releaseFullImage()
{
    FullImageCache::instance().drop(this);
}

// ---- readers

QString ItemInfo::fileName() const
{
    if (fileReady != 1)
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_fileName;
}

QString ItemInfo::fileSizeText() const
{
    if (fileReady != 1)
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_fileSizeText;
}

QString ItemInfo::imageSizeText() const
{
    if (tagReady != 1)
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_imageSizeText;
}

QString ItemInfo::starText() const
{
    if (tagReady != 1)
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_starText;
}

QString ItemInfo::tagText() const
{
    if (tagReady != 1)
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_tagText;
}

QRgb ItemInfo::rgb(int index) const
{
    if (tagReady != 1)
        return 0;
    QMutexLocker lock(&m_mutex);
    return tagInfo.getRgb(index);
}

QImage ItemInfo::thumbnail() const
{
    return pixelsFor(ThumbCache::Grid, rescaleThumb, currentBoxes().grid);
}

QImage ItemInfo::listThumbnail() const
{
    return pixelsFor(ThumbCache::Strip, rescaleListThumb, currentBoxes().strip);
}

QByteArray ItemInfo::thumbBytes() const
{
    QMutexLocker lock(&m_mutex);
    return m_thumbBytes;
}

QImage ItemInfo::pixelsFor(int kind, std::atomic<int>& rescale, const QSize& box) const
{
    if (thumbReady != 1 || box.isEmpty())
        return QImage();
    rescale = 0;
    ThumbCache& cache = ThumbCache::instance();
    QImage pixels = cache.find(this, ThumbCache::Kind(kind), box);
    if (!pixels.isNull())
        return pixels;
    QByteArray bytes;
    QSize own;
    {
        QMutexLocker lock(&m_mutex);
        bytes = m_thumbBytes;
        own = m_imageSize;
    }
    // A small picture: a fraction of a millisecond, also on the GUI thread.
    pixels = QImage::fromData(bytes);
    if (pixels.hasAlphaChannel())
        pixels = pixels.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    pixels = refit(pixels, own, box);
    cache.put(this, ThumbCache::Kind(kind), box, pixels);
    return pixels;
}

QImage ItemInfo::fullImage() const
{
    QImage image;
    {
        QReadLocker lock(&m_fullImageLock);
        if (m_fullImageState >= 1)
            image = m_fullImage;
    }
    if (!image.isNull())
        FullImageCache::instance().touch(const_cast<ItemInfo*>(this));
    return image;
}

QSize ItemInfo::imageSize() const
{
    QMutexLocker lock(&m_mutex);
    return m_imageSize;
}

int ItemInfo::fullImageState() const
{
    QReadLocker lock(&m_fullImageLock);
    return m_fullImageState;
}

FileTagInfo ItemInfo::tagRecord() const
{
    QMutexLocker lock(&m_mutex);
    return tagInfo;
}

bool ItemInfo::jobsRunning() const
{
    QMutexLocker lock(&m_mutex);
    return m_loadFuture.isRunning() || m_metaFuture.isRunning() || m_storeFuture.isRunning();
}

bool ItemInfo::isBusy() const
{
    return jobsRunning() || m_storesPending > 0 || fileWritesPending > 0;
}

bool ItemInfo::match(const QList<int>& stars, const QList<QRgb>& colours, const QStringList& keys) const
{
    if (fileReady != 1 || tagReady != 1 || thumbReady != 1)
        return true;
    QMutexLocker lock(&m_mutex);
    const int star = tagInfo.getStar();
    for (int s : stars) {
        if (s == star || (s == 0 && star <= 0))
            return true;
    }
    const QList<uint>& rgbs = tagInfo.getRgb();
    for (QRgb c : colours) {
        if (rgbs.contains(c) || (c == 0 && rgbs.isEmpty()))
            return true;
    }
    if (keys.isEmpty())
        return false;
    auto anyKeyIn = [&keys](const QString& text) {
        for (const QString& key : keys) {
            if (text.contains(key, Qt::CaseInsensitive))
                return true;
        }
        return false;
    };
    for (const QString& tag : tagInfo.getTextTag()) {
        if (anyKeyIn(tag))
            return true;
    }
    if (anyKeyIn(m_filePath) || anyKeyIn(m_fileSizeText) || anyKeyIn(m_imageSizeText))
        return true;
    // The dates are turned into text only when nothing cheaper matched.
    return anyKeyIn(FileTagInfo::localTimeText(tagInfo.getCreateTime()))
        || anyKeyIn(FileTagInfo::localTimeText(tagInfo.getModifyTime()));
}

// ---- thumbnails

QImage ItemInfo::refit(const QImage& thumb, const QSize& imageSize, const QSize& box)
{
    if (thumb.isNull() || box.isEmpty())
        return thumb;
    if (imageSize.isEmpty()) {
        // No size on record: only shrink what no longer fits.
        return fitsIn(thumb.size(), box) ? thumb : thumb.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    const QSize target = fitsIn(imageSize, box) ? imageSize : box;
    if (thumb.size().scaled(target, Qt::KeepAspectRatio) == thumb.size())
        return thumb;
    return thumb.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QByteArray ItemInfo::compressThumb(const QImage& image)
{
    if (image.isNull())
        return QByteArray();
    // Transparency needs PNG; anything opaque goes as a JPEG of a tenth of its pixels' bytes or less.
    QImage opaque = image;
    bool alpha = image.hasAlphaChannel();
    if (alpha) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        alpha = false;
        for (int y = 0; y < argb.height() && !alpha; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < argb.width() && !alpha; ++x)
                alpha = qAlpha(line[x]) != 255;
        }
        if (!alpha)
            opaque = argb.convertToFormat(QImage::Format_RGB32);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::WriteOnly)
        || !(alpha ? image.save(&buffer, "PNG", 80) : opaque.save(&buffer, "JPEG", 90)))
        return QByteArray();
    buffer.close();
    bytes.squeeze();
    return bytes;
}

QList<uint> ItemInfo::hintColours(const QImage& thumb, QList<uint>& tagColours)
{
    QList<uint> hints;
    if (thumb.isNull())
        return hints;
    const QImage work = (thumb.width() > 200 || thumb.height() > 200)
        ? thumb.scaled(200, 200, Qt::KeepAspectRatio, Qt::SmoothTransformation)
        : thumb;
    const QVector<ColorStatResult> results = ColorStat::statColor(work);
    for (const ColorStatResult& r : results) {
        if (r.count > 0)
            hints.append(r.rgb);
    }
    for (const ColorStatResult& r : ColorStat::filterColor(results, 2))
        tagColours.append(r.rgb);
    return hints;
}

void ItemInfo::keepThumb(const QByteArray& bytes)
{
    m_thumbBytes = bytes;
    ThumbCache::instance().forget(this);
}

namespace {

using Outcome = ItemStoreQueue::Outcome;
using StoreResult = ItemStoreQueue::Result;

StoreResult stored()
{
    return { Outcome::Stored, SqliteDb::Fault::None };
}

StoreResult retry(SqliteDb::Fault fault)
{
    return { Outcome::Retry, fault == SqliteDb::Fault::None ? SqliteDb::Fault::Other : fault };
}

} // namespace

// ---- jobs

int ItemInfo::loadJob(const LoadParams& asked)
{
    LoadParams params = asked;
    FileTags tags;
    QImage hintImage;
    // A folder above the file renamed meanwhile: read again under the new path.
    for (int tries = 0;; ++tries) {
        // File facts as they are now, read here rather than on the GUI thread.
        const QFileInfo fresh(params.file);
        readRows(params, fresh);
        if (abort == 1)
            return -1;
        if (tagFromDb == 1 && cacheFromDb == 1)
            break;
        tags = FileTags();
        hintImage = QImage();
        readFile(params, fresh, tags, hintImage);
        if (abort == 1)
            return -1;
        QMutexLocker lock(&m_mutex);
        if (tags.read || tries == 2 || m_filePath == params.file)
            break;
        params.file = m_filePath;
        params.folder = m_folder;
    }
    if (tagFromDb == 1) {
        if (cacheFromDb != 1)
            storeToDb();
    } else if (fileReady == 1 && tagReady != 1) {
        QMutexLocker lock(&m_mutex);
        if (!m_metaFuture.isRunning() && abort != 1)
            m_metaFuture = startJob(exivTagPool, [this, tags, hintImage] { return metaJob(tags, hintImage); });
    }
    return 0;
}

bool ItemInfo::readRows(const LoadParams& params, const QFileInfo& fresh)
{
    PooledDb<TagDb> tagDb(tagDbPool);
    PooledDb<ThumbDb> thumbDb(thumbDbPool);
    if (!tagDb || !thumbDb)
        return false;
    FileTagTb tagTb(tagDb.get());
    ImageCacheTb cacheTb(thumbDb.get());

    const QString key = RowMove::rowPath(params.file);
    FileTagInfo row;
    const bool found = tagTb.readFileTag(key, row);
    if (!found && tagTb.readFailed() && tagTb.lastFault() == SqliteDb::Fault::Busy) {
        // Another program holds the database: the row may hold tags found nowhere else.
        QMutexLocker lock(&m_mutex);
        m_rowUnknown = true;
    } else if (!found && tagTb.readFailed()) {
        // A damaged database holds nothing that can be read: the photo's own tags stand, and writing tags into
        // the photo goes on; the window says so.
        ItemStoreQueue::reportFault(tagTb.lastFault());
    } else if (found) {
        if (!row.matchesFile(fresh)) {
            // The thumbnail is made again; the tag row is replaced by the new one, never dropped before it.
            cacheTb.delImageCache(key);
            QMutexLocker lock(&m_mutex);
            m_staleRow = row;
            m_hasStaleRow = true;
            return false;
        }
        {
            QMutexLocker lock(&m_mutex);
            if (tagReady != 1) {
                tagInfo = row;
                tagInfo.setFile(m_filePath);
                tagInfo.setPath(m_folder);
                m_imageSize = QSize(row.getImageWidth(), row.getImageHeight());
                m_imageSizeText = calcImageSize(row.getImageWidth(), row.getImageHeight());
                m_starText = QString::number(row.getStar());
                m_tagText = row.getTextTags();
                tagsKnown();
            }
        }
        tagFromDb = 1;
        if (tagReady != 1) {
            tagReady = 1;
            emit tagLoaded();
        }
    }
    if (abort == 1)
        return false;

    ImageCacheInfo cache;
    if (!cacheTb.readImageCache(key, cache))
        return true;
    const QImage cached = cache.getThumb();
    // A thumbnail that no longer decodes counts as missing, so it is made again.
    if (cached.isNull())
        return true;
    QSize own;
    if (tagFromDb == 1) {
        QMutexLocker lock(&m_mutex);
        own = m_imageSize;
    }
    if (own.isEmpty())
        own = cached.size();
    // Kept as it is: the views fit it to their boxes when they paint.
    const QByteArray thumb = compressThumb(cached);
    cache.setThumb(QImage());
    {
        QMutexLocker lock(&m_mutex);
        if (thumbReady == 1)
            return true;
        cacheInfo = cache;
        cacheInfo.setFile(m_filePath);
        cacheInfo.setPath(m_folder);
        keepThumb(thumb);
    }
    cacheFromDb = 1;
    thumbReady = 1;
    emit cacheLoaded();
    return true;
}

int ItemInfo::readFile(const LoadParams& params, const QFileInfo& fresh, FileTags& tags, QImage& hintImage)
{
    // One read of the file serves the thumbnails and the tags; only a regular file is opened, never a FIFO or a
    // device behind the name.
    QByteArray data;
    const ImageDecoder::Result decoded
        = ImageDecoder::decodeFile(params.file, { params.gridBox, params.stripBox, params.cacheBox }, data);
    if (!decoded.fileRead)
        return -1;

    // The tags are read here, so the bytes never wait in memory for the metadata pool.
    tags.read = true;
    if (tagFromDb != 1 && !data.isEmpty()) {
        ExivTags exiv;
        tags.result = exiv.loadTagsFromData(data);
        FileTagInfo fromFile;
        if (tags.result >= 0 && fromFile.takeFileTags(exiv)) {
            tags.star = fromFile.getStar();
            tags.rgb = fromFile.getRgb();
            tags.text = fromFile.getTextTag();
        }
    }
    data = QByteArray();
    if (abort == 1)
        return -1;

    // A picture too large to decode keeps its facts, with an empty cell.
    const QSize full = decoded.fullSize;
    if ((decoded.image.isNull() && !decoded.tooLarge) || full.isEmpty())
        return -1;
    const QImage grid = decoded.fitted.value(0);
    hintImage = grid;
    // One thumbnail serves the grid and the strip: large enough for both boxes.
    const QSize cover = coverSize(full, { params.gridBox, params.stripBox });
    QImage kept = grid;
    if (kept.size() != cover && !decoded.image.isNull())
        kept = decoded.image.size() == cover
            ? decoded.image
            : decoded.image.scaled(cover, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const QByteArray thumb = compressThumb(kept);
    {
        QMutexLocker lock(&m_mutex);
        if (tagReady != 1) {
            m_imageSize = full;
            m_imageSizeText = calcImageSize(full.width(), full.height());
        }
        if (thumbReady != 1)
            keepThumb(thumb);
    }
    if (abort == 1)
        return -1;

    if (tagFromDb != 1) {
        QMutexLocker lock(&m_mutex);
        if (tagReady != 1) {
            tagInfo.setPath(m_folder);
            tagInfo.setFile(m_filePath);
            tagInfo.setFileFacts(fresh);
            tagInfo.setImageWidth(full.width());
            tagInfo.setImageHeight(full.height());
        }
    }
    if (cacheFromDb != 1) {
        const QImage thumb = decoded.fitted.value(2);
        const bool fits = fitsIn(full, params.cacheBox);
        bool store = false;
        {
            QMutexLocker lock(&m_mutex);
            if (thumbReady == 1)
                return 0;
            cacheInfo.setPath(m_folder);
            cacheInfo.setFile(m_filePath);
            cacheInfo.setThumbFor(thumb, params.cacheBox.width(), params.cacheBox.height());
            // The row keeps the PNG bytes made below, not the pixels.
            cacheInfo.setThumb(QImage());
            // With "CacheBigImage" a picture that fits the box gets no cache row.
            store = !thumb.isNull() && (m_cacheBigImage == 0 || !fits);
        }
        thumbReady = 1;
        emit cacheLoaded();
        // Encoded here, on one of the load threads, rather than on the one store thread: the pixels never queue in
        // memory for it. The store job starts only after this job.
        if (store && abort != 1) {
            const QByteArray png = imageToVariant(thumb).toByteArray();
            QMutexLocker lock(&m_mutex);
            cacheInfo.setThumbPng(png);
        }
    }
    return 0;
}

int ItemInfo::metaJob(const FileTags& tags, const QImage& hintImage)
{
    FileTagInfo found;
    const bool loaded = tags.result >= 0;
    if (loaded) {
        found.setStar(tags.star);
        found.setRgb(tags.rgb);
        found.setTextTag(tags.text);
    }
    bool hinted = false;
    if (!loaded || (tags.star <= 0 && tags.rgb.isEmpty() && tags.text.isEmpty())) {
        if (abort != 1 && !hintImage.isNull()) {
            QList<uint> colours;
            found.setHintRgb(hintColours(hintImage, colours));
            found.setRgb(colours);
            hinted = true;
        }
    }
    {
        QMutexLocker lock(&m_mutex);
        if (tagReady == 1)
            return 1;
        if (loaded) {
            tagInfo.setStar(found.getStar());
            tagInfo.setRgb(found.getRgb());
            tagInfo.setTextTag(found.getTextTag());
        }
        if (hinted) {
            tagInfo.setHintRgb(found.getHintRgb());
            tagInfo.setRgb(found.getRgb());
        }
        if (!loaded && m_hasStaleRow)
            tagInfo.takeUserTags(m_staleRow);
        m_hasStaleRow = false;
        m_starText = QString::number(tagInfo.getStar());
        m_tagText = tagInfo.getTextTags();
        m_fileTagsUnknown = !tags.read;
        tagsKnown();
        m_fileBaseInFile = loaded;
        // An edit from now on is carried by the row still to be stored.
        if (tagFromDb != 1 && thumbReady == 1 && abort != 1 && !tagInfo.getFile().isEmpty() && !m_rowUnknown)
            m_tagInsertPending = true;
        tagReady = 1;
    }
    emit tagLoaded();
    if (abort != 1 && (tagFromDb != 1 || cacheFromDb != 1))
        storeToDb();
    return 0;
}

int ItemInfo::storeJob()
{
    if (tagFromDb != 1) {
        FileTagInfo record;
        QString file;
        bool take = false;
        {
            QMutexLocker lock(&m_mutex);
            // Not pending: an edit has already written the row.
            take = m_tagInsertPending && holdsFacts(tagInfo);
            m_tagInsertTaken = take;
            if (!take)
                m_tagInsertPending = false;
        }
        if (take) {
            record = rowRecord(&file);
            PooledDb<TagDb> db(tagDbPool);
            FileTagTb table(db.get());
            const bool stored = db && insertRow(table, record, file).outcome == Outcome::Stored;
            QMutexLocker lock(&m_mutex);
            // A row not stored is stored whole by the next edit of the item.
            if (stored)
                m_tagInsertPending = false;
            m_tagInsertTaken = false;
        }
    }
    if (cacheFromDb != 1) {
        ImageCacheInfo cache;
        {
            QMutexLocker lock(&m_mutex);
            cache = cacheInfo;
        }
        cache.setFile(RowMove::rowPath(cache.getFile()));
        cache.setPath(RowMove::rowPath(cache.getPath()));
        // Encoded by the load job only when the row is wanted ("CacheBigImage").
        if (!cache.getThumbPng().isEmpty()) {
            PooledDb<ThumbDb> db(thumbDbPool);
            if (db && ImageCacheTb(db.get()).addImageCache(cache)) {
                QMutexLocker lock(&m_mutex);
                cacheInfo.setRowId(cache.getRowId());
            }
        }
    }
    QMutexLocker lock(&m_mutex);
    cacheInfo.setThumb(QImage());
    cacheInfo.setThumbPng(QByteArray());
    return 0;
}

int ItemInfo::fullImageJob(const QString& path)
{
    if (fullImageState() > 0 || abort == 1)
        return 1;
    // Decoded outside the lock, so a reader never waits for a decode.
    const ImageDecoder::Result decoded = ImageDecoder::decodeFile(path);
    if (decoded.image.isNull() || abort == 1 || !FullImageCache::instance().put(this, decoded.image))
        return -1;
    emit fullImageLoaded();
    return 0;
}

bool ItemInfo::takeFullImage(const QImage& image)
{
    QWriteLocker lock(&m_fullImageLock);
    if (abort == 1)
        return false;
    m_fullImage = image;
    m_fullImageState = m_fullImageState == -1 ? 2 : 1;
    return true;
}

void ItemInfo::clearFullImage()
{
    QWriteLocker lock(&m_fullImageLock);
    if (m_fullImageState > 0) {
        m_fullImage = QImage();
        m_fullImageState = -1;
    }
}

// ---- edits

namespace {

QString colourList(const QList<uint>& rgb)
{
    QStringList names;
    for (uint c : rgb)
        names << QColor::fromRgb(c).name();
    return names.join(QLatin1Char(' '));
}

} // namespace

QString ItemInfo::describe(TagColumn column) const
{
    // Under m_mutex.
    switch (column) {
    case TagColumn::Star:
        return QStringLiteral("%1：星级 %2").arg(m_filePath).arg(tagInfo.getStar());
    case TagColumn::Colours:
        return QStringLiteral("%1：颜色标签 %2").arg(m_filePath, colourList(tagInfo.getRgb()));
    case TagColumn::Texts:
        return QStringLiteral("%1：文字标签 %2").arg(m_filePath, tagInfo.getTextTag().join(QLatin1Char(' ')));
    case TagColumn::Facts:
        return QStringLiteral("%1：写入标签后的文件大小和时间").arg(m_filePath);
    case TagColumn::Row:
        return QStringLiteral("%1：星级 %2，颜色标签 %3，文字标签 %4")
            .arg(m_filePath)
            .arg(tagInfo.getStar())
            .arg(colourList(tagInfo.getRgb()), tagInfo.getTextTag().join(QLatin1Char(' ')));
    }
    return m_filePath;
}

bool ItemInfo::queueStore(const QString& what, ItemStoreQueue::Write write, bool carriesTags)
{
    const ItemInfoPtr self = sharedFromThis();
    if (!self) // not shared: nobody could keep it alive for a later write
        return write().outcome == Outcome::Stored;
    ++m_storesPending;
    ItemStoreQueue::InFile inFile;
    if (carriesTags) {
        inFile = [weak = self.toWeakRef()] {
            const ItemInfoPtr item = weak.toStrongRef();
            return item && item->tagsInFile();
        };
    }
    ItemStoreQueue::post(
        what, std::move(write),
        [self](bool ok) {
            --self->m_storesPending;
            emit self->tagStored(ok);
        },
        std::move(inFile));
    return true;
}

bool ItemInfo::tagsInFile() const
{
    QMutexLocker lock(&m_mutex);
    // What the item shows was written into the photo (or read from it), and nothing was set since.
    return !m_fileTagsUnknown && m_setKinds == 0 && userTags() == m_fileBase && m_fileBaseInFile;
}

bool ItemInfo::queueTagWrite(TagColumn column)
{
    QString what;
    {
        QMutexLocker lock(&m_mutex);
        what = describe(column);
    }
    return queueStore(
        what, [this, column] { return writeTagColumn(column); }, true);
}

// Writes one column of the current record (taken now, so a write, or its retry, never puts back an older value
// than the item holds). A row that is not there (a database replaced or emptied meanwhile) is stored whole.
ItemStoreQueue::Result ItemInfo::writeTagColumn(TagColumn column)
{
    qint64 rowId = 0;
    QString file;
    FileTagInfo record;
    bool insert = false;
    for (;;) {
        QMutexLocker lock(&m_mutex);
        if (m_tagInsertPending && m_tagInsertTaken) {
            // The store job is writing the new row (only when the writes run off the store thread, at close): how
            // it ends decides what is written here, so the edit is never left to a job that may not finish.
            QFuture<int> job = m_storeFuture;
            lock.unlock();
            job.waitForFinished();
            continue;
        }
        // The store job has not started (and is dropped at exit): the new row, edit included, is written here.
        insert = m_tagInsertPending;
        m_tagInsertPending = false;
        rowId = tagInfo.getRowId();
        break;
    }
    record = rowRecord(&file);
    const auto keepInsert = [&] {
        QMutexLocker lock(&m_mutex);
        m_tagInsertPending = m_tagInsertPending || insert;
    };
    PooledDb<TagDb> db(tagDbPool);
    if (!db) {
        keepInsert();
        return retry(SqliteDb::Fault::Other);
    }
    // An edit is called stored only when the file took it, never a copy this connection kept.
    db->forgetCachedPages();
    FileTagTb table(db.get());
    const auto addRow = [&]() -> StoreResult {
        // A photo that is gone gets no row; nor one whose facts were never read. One that cannot be reached now
        // (a volume that is away) keeps its edit.
        if (!holdsFacts(record) || isFileGone(file))
            return { Outcome::Dropped, SqliteDb::Fault::None };
        return insertRow(table, record, file);
    };
    if (insert) {
        const StoreResult r = addRow();
        if (r.outcome == Outcome::Retry)
            keepInsert();
        return r;
    }
    const auto write = [&](qint64 id) {
        switch (column) {
        case TagColumn::Star:
            return table.modFileStarTag(id, record.getStar());
        case TagColumn::Colours:
            return table.modFileRgbTag(id, record.getRgbs());
        case TagColumn::Texts:
            return table.modFileTextTag(id, record.getTextTags());
        case TagColumn::Facts:
            return table.modFileFacts(id, record);
        case TagColumn::Row:
            break;
        }
        return table.updateTags(id, record);
    };
    if (rowId > 0) {
        if (write(rowId))
            return stored();
        if (table.lastFault() != SqliteDb::Fault::None)
            return retry(table.lastFault());
    }
    // The row was replaced (new rowid) or is not there: find it by its file.
    FileTagInfo row;
    if (!table.readFileTag(record.getFile(), row)) {
        if (table.readFailed())
            return retry(table.lastFault());
        return addRow();
    }
    {
        QMutexLocker lock(&m_mutex);
        tagInfo.setRowId(row.getRowId());
    }
    return write(row.getRowId()) ? stored() : retry(table.lastFault());
}

bool ItemInfo::fileExists() const
{
    QString path;
    {
        QMutexLocker lock(&m_mutex);
        path = m_filePath;
    }
    return !path.isEmpty() && QFileInfo::exists(path);
}

// A row needs the file's facts; a file that could not be read as a picture never has them.
bool ItemInfo::holdsFacts(const FileTagInfo& record)
{
    return !record.getFile().isEmpty() && !record.getModifyTime().isEmpty();
}

bool ItemInfo::takesEdits() const
{
    // Under m_mutex.
    return tagReady == 1 && holdsFacts(tagInfo);
}

bool ItemInfo::isUnreadable() const
{
    QMutexLocker lock(&m_mutex);
    return tagReady == 1 && !holdsFacts(tagInfo);
}

bool ItemInfo::setStar(int star)
{
    if (star < 1)
        star = 0;
    if (!fileExists())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (!takesEdits())
            return false;
        m_setKinds |= SetStar;
        if (tagInfo.getStar() == star)
            return true;
        tagInfo.setStar(star);
        m_starText = QString::number(star);
    }
    return queueTagWrite(TagColumn::Star);
}

bool ItemInfo::setRgbs(const QList<QRgb>& rgbs)
{
    if (!fileExists())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (!takesEdits())
            return false;
        m_setKinds |= SetColours;
        tagInfo.setRgb(rgbs);
    }
    return queueTagWrite(TagColumn::Colours);
}

bool ItemInfo::updateRgb(int index, QRgb rgb)
{
    if (!fileExists())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (!takesEdits())
            return false;
        tagInfo.updateRgb(rgb, index);
    }
    return queueTagWrite(TagColumn::Colours);
}

bool ItemInfo::deleteRgb(int index)
{
    if (!fileExists())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (!takesEdits() || tagInfo.deleteRgb(index) < 0)
            return false;
    }
    return queueTagWrite(TagColumn::Colours);
}

bool ItemInfo::setTextTags(const QStringList& tags)
{
    if (!fileExists())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (!takesEdits())
            return false;
        m_setKinds |= SetTexts;
        tagInfo.setTextTag(tags);
        m_tagText = tagInfo.getTextTags();
    }
    return queueTagWrite(TagColumn::Texts);
}

bool ItemInfo::addTextTag(const QString& tag)
{
    if (!fileExists())
        return false;
    {
        QMutexLocker lock(&m_mutex);
        if (!takesEdits() || tagInfo.addTextTag(tag) < 0)
            return false;
        m_tagText = tagInfo.getTextTags();
    }
    return queueTagWrite(TagColumn::Texts);
}

TagMerge::Values ItemInfo::userTags() const
{
    // Under m_mutex.
    return { tagInfo.getStar(), tagInfo.getRgb(), tagInfo.getTextTag() };
}

void ItemInfo::tagsKnown()
{
    m_fileBase = userTags();
}

bool ItemInfo::resolveRow(const QString& file)
{
    FileTagInfo row;
    bool found = false;
    bool failed = false;
    SqliteDb::Fault fault = SqliteDb::Fault::None;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (!db)
            return false;
        FileTagTb table(db.get());
        found = table.readFileTag(RowMove::rowPath(file), row);
        failed = !found && table.readFailed();
        fault = table.lastFault();
    }
    if (failed && fault == SqliteDb::Fault::Busy)
        return false;
    if (failed)
        ItemStoreQueue::reportFault(fault);
    if (!found) {
        QMutexLocker lock(&m_mutex);
        m_rowUnknown = false;
        return true;
    }
    takeRow(row, true);
    return true;
}

bool ItemInfo::takeRow(const FileTagInfo& row, bool tagsCurrent)
{
    bool changed = false;
    {
        QMutexLocker lock(&m_mutex);
        m_rowUnknown = false;
        tagInfo.setRowId(row.getRowId());
        if (!tagsCurrent)
            return false;
        // The row's tags stand where the item shows the file's unedited; the file then follows them.
        if (tagInfo.getStar() == m_fileBase.star && row.getStar() != tagInfo.getStar()) {
            tagInfo.setStar(row.getStar());
            m_starText = QString::number(row.getStar());
            changed = true;
        }
        if (tagInfo.getRgb() == m_fileBase.rgb && row.getRgb() != tagInfo.getRgb()) {
            tagInfo.setRgb(row.getRgb());
            changed = true;
        }
        if (tagInfo.getTextTag() == m_fileBase.text && row.getTextTag() != tagInfo.getTextTag()) {
            tagInfo.setTextTag(row.getTextTag());
            m_tagText = tagInfo.getTextTags();
            changed = true;
        }
    }
    if (changed) {
        emit tagLoaded();
        emit tagsReplaced();
    }
    return changed;
}

// The new row; or, when the file has one already (written meanwhile by another program, a second window of this
// one), that row merged as one found at load would be: its tags stand where the item shows the photo's unedited,
// the item's edits go into it.
ItemStoreQueue::Result ItemInfo::insertRow(FileTagTb& table, FileTagInfo& record, const QString& file)
{
    bool added = false;
    if (!table.addNewFileTag(record, added))
        return retry(table.lastFault());
    if (added) {
        QMutexLocker lock(&m_mutex);
        tagInfo.setRowId(record.getRowId());
        m_rowUnknown = false;
        return stored();
    }
    FileTagInfo row;
    if (!table.readFileTag(record.getFile(), row))
        return retry(table.lastFault());
    // A row behind the file (the file changed since it was written) lends its tags only when the file holds none
    // of ours, as at load.
    const bool current = row.matchesFile(QFileInfo(file));
    bool fileHoldsTags = false;
    {
        QMutexLocker lock(&m_mutex);
        fileHoldsTags = m_fileBaseInFile;
    }
    takeRow(row, current || !fileHoldsTags);
    record = rowRecord();
    if (!table.updateTags(row.getRowId(), record) || (!current && !table.modFileFacts(row.getRowId(), record)))
        return retry(table.lastFault());
    return stored();
}

int ItemInfo::saveTagsToFile(bool* unchanged, QString* why)
{
    if (unchanged)
        *unchanged = false;
    const auto refuse = [why](const QString& reason) {
        if (why)
            *why = reason;
        return -1;
    };
    if (fileReady != 1 || tagReady != 1)
        return refuse(QStringLiteral("标签尚未读取完"));
    QString file;
    bool rowUnknown = false;
    {
        QMutexLocker lock(&m_mutex);
        // The record never saw the file's own tags: writing it could wipe them.
        if (m_fileTagsUnknown)
            return refuse(QStringLiteral("照片中的标签未能读取，未写入以免覆盖"));
        file = m_filePath;
        rowUnknown = m_rowUnknown;
    }
    // The row could not be read at load: it may hold tags found nowhere else, so it is read first.
    if (rowUnknown && !resolveRow(file))
        return refuse(QStringLiteral("数据库中的标签尚未能读取，未写入以免覆盖"));
    TagMerge::Values base, mine;
    int set = 0;
    {
        QMutexLocker lock(&m_mutex);
        base = m_fileBase;
        mine = userTags();
        set = m_setKinds;
    }
    TagMerge::Values merged;
    int result = -1;
    bool wasUnchanged = false;
    // Merged again when another program changed the tags in the file meanwhile.
    for (int attempt = 0; attempt < 2; ++attempt) {
        // What the file holds now: another program may have written it since this item read it.
        FileTagInfo inFile;
        ExivTags now;
        const bool loaded = now.loadTagsFromFile(file) >= 0;
        const bool nowHasTags = loaded && inFile.takeFileTags(now);
        const TagMerge::Values held { inFile.getStar(), inFile.getRgb(), inFile.getTextTag() };
        // A kind set to the value the item showed counts as an edit of what the file holds.
        TagMerge::Values measured = base;
        if ((set & SetStar) && mine.star == base.star)
            measured.star = held.star;
        if ((set & SetColours) && mine.rgb == base.rgb)
            measured.rgb = held.rgb;
        if ((set & SetTexts) && mine.text == base.text)
            measured.text = held.text;
        merged = TagMerge::mergeEdit(measured, mine, held, nowHasTags);
        // Written through the holder that read it: the photo keeps its times from before that read.
        ExivTags byPath;
        ExivTags& exiv = loaded ? now : byPath;
        exiv.setStar(merged.star);
        exiv.setRgb(merged.rgb);
        exiv.setTextTag(merged.text);
        result = loaded ? exiv.saveTagsToFile() : exiv.saveTagsToFile(file);
        wasUnchanged = exiv.wasUnchanged();
        if (result < 0 && why)
            *why = exiv.failureText(result);
        if (result != ExivTags::Changed)
            break;
    }
    if (unchanged)
        *unchanged = result >= 0 && wasUnchanged;
    if (result < 0)
        return result;
    {
        QMutexLocker lock(&m_mutex);
        m_setKinds &= ~set;
    }
    keepFileTags(file, mine, merged);
    if (!wasUnchanged)
        refreshFileFacts(file);
    return result;
}

// After a write: where the file kept another program's value that the database holds too, the item shows it;
// the base becomes what was written, so only later edits count as edits.
void ItemInfo::keepFileTags(const QString& file, const TagMerge::Values& mine, const TagMerge::Values& merged)
{
    FileTagInfo row;
    bool read = false;
    if (merged != mine) {
        PooledDb<TagDb> db(tagDbPool);
        read = db && FileTagTb(db.get()).readFileTag(RowMove::rowPath(file), row);
    }
    bool changed = false;
    {
        QMutexLocker lock(&m_mutex);
        TagMerge::Values base = mine;
        if (read && merged.star != mine.star && row.getStar() == merged.star && tagInfo.getStar() == mine.star) {
            tagInfo.setStar(merged.star);
            m_starText = QString::number(merged.star);
            base.star = merged.star;
            changed = true;
        }
        if (read && merged.rgb != mine.rgb && row.getRgb() == merged.rgb && tagInfo.getRgb() == mine.rgb) {
            tagInfo.setRgb(merged.rgb);
            base.rgb = merged.rgb;
            changed = true;
        }
        if (read && merged.text != mine.text && row.getTextTag() == merged.text && tagInfo.getTextTag() == mine.text) {
            tagInfo.setTextTag(merged.text);
            m_tagText = tagInfo.getTextTags();
            base.text = merged.text;
            changed = true;
        }
        m_fileBase = base;
        m_fileBaseInFile = true;
    }
    if (changed) {
        emit tagLoaded();
        emit tagsReplaced();
    }
}

// The written file has a new size (and, where the file system keeps one, a new birth time): the tag row follows,
// so that it still counts as valid for the file next time instead of being thrown away with its thumbnail. Only
// those columns are written: the tags in the row may be newer than this item's (another program's edits).
void ItemInfo::refreshFileFacts(const QString& file)
{
    const QFileInfo fresh(file);
    if (!fresh.exists())
        return;
    {
        QMutexLocker lock(&m_mutex);
        if (tagInfo.getFile() != file)
            return;
        tagInfo.setFileFacts(fresh);
        m_fileSizeText = calcFileSize(fresh.size());
    }
    queueTagWrite(TagColumn::Facts);
}

int ItemInfo::rename(const QString& newName)
{
    if (fileReady != 1 || tagReady != 1 || thumbReady != 1 || jobsRunning() || fileWritesPending > 0)
        return -2;
    if (!isValidFileName(newName))
        return -1;
    QString oldPath, folder;
    {
        QMutexLocker lock(&m_mutex);
        oldPath = m_filePath;
        folder = m_folder;
    }
    const QString newPath = folder + QLatin1Char('/') + newName;
    if (newPath == oldPath)
        return 0;
    // Never onto an existing name; QFile::rename does not replace either.
    if (pathTaken(newPath))
        return -1;
    if (!QFile::rename(oldPath, newPath))
        return -1;

    takePath(newPath);
    // The rows follow the file after the edits queued before; the GUI thread never waits for the database.
    queueStore(RowMove::describe(oldPath, newPath),
        [oldPath, newPath] { return RowMove::run(RowMove::Kind::File, oldPath, newPath); });
    return 0;
}
