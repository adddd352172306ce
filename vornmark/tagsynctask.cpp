#include "tagsynctask.h"

#include "filecheck.h"

#include "db/sqlitedbpool.h"
#include "db/tagdb.h"
#include "db/thumbdb.h"
#include "meta/colorstat.h"
#include "meta/exivtags.h"
#include "meta/imagedecoder.h"
#include "records/bookmarkinfo.h"
#include "records/bookmarktb.h"
#include "records/filetaginfo.h"
#include "records/filetagtb.h"
#include "records/imagecacheinfo.h"
#include "records/imagecachetb.h"
#include "records/tagmerge.h"
#include "records/tagutil.h"
#include "sys/fileutil.h"
#include "sys/platform.h"
#include "task/pooljob.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QThread>

namespace {

// How long a row change keeps trying while the database stays busy.
const int kBusyTries = 8;
// How often a photo is merged again because its row, or the tags in the photo, moved on meanwhile.
const int kMergeTries = 3;
// The box the colour hints are counted in.
const QSize kHintBox(200, 200);
// New rows and thumbnails stored in one transaction.
const int kBuildBatch = 32;

TagMerge::Values rowValues(const FileTagInfo& row)
{
    return { qBound(0, row.getStar(), 5), row.getRgb(), row.getTextTag() };
}

TagMerge::Rules rulesOf(const TagSyncCfg::Tag& cfg)
{
    TagMerge::Rules rules;
    rules.colour = { cfg.ColorSync, cfg.ColorSyncTactics, cfg.ColorConflictTactics };
    rules.star = { cfg.StarSync, cfg.StarSyncTactics, cfg.StarConflictTactics };
    rules.text = { cfg.TextTagSync, cfg.TextTagSyncTactics, cfg.TextTagConflictTactics };
    return rules;
}

bool sameTags(const FileTagInfo& a, const FileTagInfo& b)
{
    return a.getStar() == b.getStar() && a.getRgbs() == b.getRgbs() && a.getTextTags() == b.getTextTags();
}

QImage fitted(const QImage& decoded, const QSize& full, const QSize& box)
{
    const QSize target = ImageDecoder::fitSize(full, box);
    if (decoded.isNull() || target.isEmpty())
        return QImage();
    if (target == decoded.size())
        return decoded;
    return decoded.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

bool fitsIn(const QSize& size, const QSize& box)
{
    return size.width() <= box.width() && size.height() <= box.height();
}

// A new row as the photo manager makes it: the file's facts, its own tags, else colour tags and hints from the
// picture.
FileTagInfo newRow(const QFileInfo& fi, const QByteArray& bytes, const ImageDecoder::Result& decoded)
{
    FileTagInfo row;
    row.setPath(fi.absolutePath());
    row.setFile(fi.absoluteFilePath());
    row.setFileFacts(fi);
    row.setImageWidth(decoded.fullSize.width());
    row.setImageHeight(decoded.fullSize.height());
    ExivTags tags;
    const bool loaded = tags.loadTagsFromData(bytes) >= 0 && row.takeFileTags(tags);
    if (!loaded || (row.getStar() <= 0 && row.getRgb().isEmpty() && row.getTextTag().isEmpty())) {
        const QImage hint = fitted(decoded.image, decoded.fullSize, kHintBox);
        if (!hint.isNull()) {
            const QVector<ColorStatResult> results = ColorStat::statColor(hint);
            QList<uint> hints, colours;
            for (const ColorStatResult& r : results) {
                if (r.count > 0)
                    hints.append(r.rgb);
            }
            for (const ColorStatResult& r : ColorStat::filterColor(results, 2))
                colours.append(r.rgb);
            row.setHintRgb(hints);
            row.setRgb(colours);
        }
    }
    return row;
}

QString shownName(const QString& path)
{
    return ExtractFileName(QDir::cleanPath(path));
}

} // namespace

struct TagSyncTask::Worker {
    PooledDb<TagDb> tag { tagDbPool };
    PooledDb<ThumbDb> thumb { thumbDbPool };
};

TagSyncTask::TagSyncTask(QObject* parent)
    : TaskObject(parent)
{
    QRunnable::setAutoDelete(false);
    m_workers.setMaxThreadCount(qMax(2, QThread::idealThreadCount()));
}

TagSyncTask::~TagSyncTask()
{
    m_workers.waitForDone();
}

QString TagSyncTask::logFile()
{
    return pathJoin(platform::programDir(), QStringLiteral("profile/vornmark.log"));
}

void TagSyncTask::photoWritten(const QString&) { }

void TagSyncTask::exec()
{
    const TagSyncCfg* current = TagSyncCfg::get();
    if (!current)
        return;
    // The window changes the settings only between runs; a copy keeps this run's view whole all the same.
    const TagSyncCfg cfg = *current;
    const TagSyncCfg::Tag& tag = cfg.tag;

    if (!getCancel() && (cfg.DeleteInvalidPathFav || cfg.DeleteInvalidFileFav)) {
        sendMessage(QStringLiteral("开始整理收藏夹......"));
        cleanFavorites(cfg);
    }
    if (!getCancel()
        && (tag.DeleteInvalidTag || tag.DeleteOutSyncTag || tag.ColorSync || tag.StarSync || tag.TextTagSync)) {
        sendMessage(QStringLiteral("开始整理标签数据......"));
        cleanTags(tag);
    }
    if (!getCancel() && (cfg.thumb.DeleteInvalidThumb || cfg.thumb.ResizeThumb)) {
        sendMessage(QStringLiteral("开始整理图像缓存......"));
        cleanThumbs(cfg.thumb);
    }
    if (!getCancel() && cfg.build.BuildThumb) {
        sendMessage(QStringLiteral("开始构建图像缓存......"));
        const QStringList paths = cfg.build.paths;
        for (const QString& path : paths) {
            if (getCancel())
                break;
            buildFolderTree(path, cfg.build.ThumbWidth, cfg.build.ThumbHeight, cfg.build.CacheBigImage);
        }
    }
    m_workers.waitForDone();
    writeLog();
    setErr(failedPhotos(), summary());
}

// ---- favourites

void TagSyncTask::cleanFavorites(const TagSyncCfg& cfg)
{
    BookMarkInfo::BookMarkTypes types;
    if (cfg.DeleteInvalidPathFav)
        types |= BookMarkInfo::BookMarkPath;
    if (cfg.DeleteInvalidFileFav)
        types |= BookMarkInfo::BookMarkFile;
    QList<BookMarkInfo*> list;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            BookMarkTb(db.get()).loadBookMark(types, list);
    }
    deleteInvalidFavorites(list);
    qDeleteAll(list);
}

void TagSyncTask::deleteInvalidFavorites(const QList<BookMarkInfo*>& list)
{
    PooledDb<TagDb> db(tagDbPool);
    BookMarkTb table(db.get());
    for (const BookMarkInfo* mark : list) {
        const int type = mark->getBookMarkType();
        if ((type == BookMarkInfo::BookMarkPath || type == BookMarkInfo::BookMarkFile) && isFileGone(mark->getFile())
            && !table.delBookmark(mark->getRowId()))
            addFailure(mark->getFile(), QStringLiteral("删除收藏项失败"));
        itemDone(QStringLiteral("开始检测无效收藏夹项[ "), mark->getName(), QStringLiteral(" ]."));
        if (getCancel())
            break;
    }
}

// ---- tag rows

void TagSyncTask::cleanTags(const TagSyncCfg::Tag& cfg)
{
    QList<FileTagInfo*> rows;
    {
        PooledDb<TagDb> db(tagDbPool);
        if (db)
            FileTagTb(db.get()).loadFileTag(rows);
    }
    // Rows removed by one step are not seen by the later ones.
    QVector<char> deleted(rows.size(), 0);
    if (!getCancel() && cfg.DeleteInvalidTag)
        deleteInvalidTags(rows, deleted);
    if (!getCancel() && cfg.DeleteOutSyncTag)
        deleteOutSyncTags(rows, deleted);
    if (!getCancel() && (cfg.ColorSync || cfg.StarSync || cfg.TextTagSync))
        syncTags(rows, deleted, cfg);
    qDeleteAll(rows);
}

void TagSyncTask::deleteInvalidTags(const QList<FileTagInfo*>& rows, QVector<char>& deleted)
{
    forEach(rows.size(), [&](Worker& worker, int i) {
        const FileTagInfo& row = *rows.at(i);
        if (isFileGone(row.getFile())) {
            if (FileTagTb(worker.tag.get()).delFileTagById(row.getRowId()))
                deleted[i] = 1;
            else
                addFailure(row.getFile(), QStringLiteral("删除标签数据失败"));
        }
        itemDone(QStringLiteral("开始检测无效标签项[ "), row.getFile(), QStringLiteral(" ]."));
    });
}

// A row whose file changed is deleted with its thumbnail when the file holds tags of ours (the photo manager
// then reads them from the file); when it holds none, the row's tags are all the user has, so the row is kept
// and takes the file's new facts instead (a restored backup, a file touched by another program).
void TagSyncTask::deleteOutSyncTags(const QList<FileTagInfo*>& rows, QVector<char>& deleted)
{
    forEach(rows.size(), [&](Worker& worker, int i) {
        FileTagInfo& row = *rows[i];
        const QString file = row.getFile();
        itemDone(QStringLiteral("开始检测不同步标签项[ "), file, QStringLiteral(" ]."));
        if (deleted.at(i))
            return;
        const QFileInfo fi(file);
        if (!fi.exists()) {
            if (isFileGone(file) && FileTagTb(worker.tag.get()).delFileTagById(row.getRowId()))
                deleted[i] = 1;
            return;
        }
        if (row.matchesFile(fi))
            return;
        ExivTags exiv;
        const bool holdsOurs = exiv.loadTagsFromFile(file) >= 0 && exiv.getHasTags();
        QSize size;
        if (!holdsOurs)
            ImageDecoder::readHeader(file, size);
        FileTagInfo kept;
        FileTagTb table(worker.tag.get());
        const Change change = transact(worker.tag.get(), [&] {
            FileTagInfo fresh;
            const QFileInfo now(file);
            if (!table.readFileTagById(row.getRowId(), fresh) || fresh.matchesFile(now))
                return Change::Nothing;
            if (holdsOurs)
                return table.delFileTagById(fresh.getRowId()) ? Change::Written : Change::Failed;
            fresh.setFileFacts(now);
            if (size.isValid()) {
                fresh.setImageWidth(size.width());
                fresh.setImageHeight(size.height());
            }
            kept = fresh;
            return table.modFileTagById(fresh) ? Change::Written : Change::Failed;
        });
        if (change == Change::Failed) {
            addFailure(file, QStringLiteral("更新标签数据失败"));
            return;
        }
        if (change != Change::Written)
            return;
        // The cached thumbnail shows the file as it was.
        ImageCacheTb(worker.thumb.get()).delImageCache(file);
        if (holdsOurs)
            deleted[i] = 1;
        else
            row = kept;
    });
}

void TagSyncTask::syncTags(const QList<FileTagInfo*>& rows, const QVector<char>& deleted, const TagSyncCfg::Tag& cfg)
{
    forEach(rows.size(), [&](Worker& worker, int i) {
        // A row deleted earlier in this run is not written back into its photo.
        if (!deleted.at(i))
            syncRow(worker, *rows.at(i), cfg);
        itemDone(QStringLiteral("开始同步图像标签数据[ "), rows.at(i)->getFile(), QStringLiteral(" ]."));
    });
}

// Merges the row as it stands now with the photo's tags; the photo is written only when what it should hold
// differs from what it holds, and the row is changed only when it still holds what the merge started from
// (else the merge starts over with the newer row).
void TagSyncTask::syncRow(Worker& worker, const FileTagInfo& listed, const TagSyncCfg::Tag& cfg)
{
    FileTagTb table(worker.tag.get());
    // Whether the row described the photo before this run wrote it, and whether it did.
    bool described = false;
    bool wrote = false;
    for (int attempt = 0; attempt < kMergeTries && !getCancel(); ++attempt) {
        FileTagInfo start;
        if (!table.readFileTagById(listed.getRowId(), start))
            return;
        const QString file = start.getFile();
        ExivTags exiv;
        if (exiv.loadTagsFromFile(file) < 0)
            return;
        if (!wrote)
            described = start.matchesFile(QFileInfo(file));
        const bool hasTags = exiv.getHasTags();
        TagMerge::Values inFile;
        FileTagInfo fromFile;
        if (fromFile.takeFileTags(exiv))
            inFile = { fromFile.getStar(), fromFile.getRgb(), fromFile.getTextTag() };
        const TagMerge::Values inRow = rowValues(start);
        TagMerge::Values rowOut, fileOut;
        TagMerge::apply(rulesOf(cfg), inRow, inFile, hasTags, rowOut, fileOut);

        if (fileOut != inFile) {
            QString refusal = FileCheck::writeRefusal(file);
            if (refusal.isEmpty()) {
                // Kinds left as they were go back as read.
                if (fileOut.star != inFile.star || !hasTags)
                    exiv.setStar(fileOut.star);
                if (fileOut.rgb != inFile.rgb || !hasTags)
                    exiv.setRgb(fileOut.rgb);
                if (fileOut.text != inFile.text || !hasTags)
                    exiv.setTextTag(fileOut.text);
                const int result = exiv.saveTagsToFile();
                // Another program saved the photo with other tags meanwhile: merge with what it holds now.
                if (result == ExivTags::Changed && attempt + 1 < kMergeTries)
                    continue;
                if (result < 0)
                    refusal = exiv.failureText(result);
            }
            if (!refusal.isEmpty()) {
                addFailure(file, refusal);
            } else {
                wrote = true;
                ++m_written;
                photoWritten(file);
            }
        }
        // A row that described the photo before the write describes it after: new size, new birth time.
        const bool refresh = wrote && described;
        if (rowOut == inRow && !refresh)
            return;
        const Change change = transact(worker.tag.get(), [&] {
            FileTagInfo fresh;
            if (!table.readFileTagById(start.getRowId(), fresh))
                return Change::Nothing;
            if (!sameTags(fresh, start))
                return Change::Moved;
            fresh.setStar(rowOut.star);
            fresh.setRgb(rowOut.rgb);
            fresh.setTextTag(rowOut.text);
            if (refresh)
                fresh.setFileFacts(QFileInfo(file));
            return table.modFileTagById(fresh) ? Change::Written : Change::Failed;
        });
        if (change == Change::Failed)
            addFailure(file, QStringLiteral("更新标签数据失败"));
        if (change != Change::Moved)
            return;
    }
}

// ---- thumbnail cache

void TagSyncTask::cleanThumbs(const TagSyncCfg::Thumb& cfg)
{
    QList<ImageCacheInfo*> rows;
    {
        PooledDb<ThumbDb> db(thumbDbPool);
        if (db)
            ImageCacheTb(db.get()).loadImageCache(rows, false);
    }
    if (!getCancel() && cfg.DeleteInvalidThumb)
        deleteInvalidThumbs(rows);
    if (!getCancel() && cfg.ResizeThumb)
        resizeThumbs(rows, cfg.ThumbWidth, cfg.ThumbHeight);
    qDeleteAll(rows);
}

void TagSyncTask::deleteInvalidThumbs(const QList<ImageCacheInfo*>& rows)
{
    forEach(rows.size(), [&](Worker& worker, int i) {
        ImageCacheInfo& row = *rows[i];
        if (isFileGone(row.getFile())) {
            if (ImageCacheTb(worker.thumb.get()).delImageCacheById(row.getRowId()))
                row.setRowId(-1);
            else
                addFailure(row.getFile(), QStringLiteral("删除图像缓存失败"));
        }
        itemDone(QStringLiteral("开始检测无效图像缓存项[ "), row.getFile(), QStringLiteral(" ]."));
    });
}

void TagSyncTask::resizeThumbs(const QList<ImageCacheInfo*>& rows, int width, int height)
{
    // A box smaller than this makes no thumbnail at all.
    if (width < TagSyncCfg::MinThumbSide || height < TagSyncCfg::MinThumbSide)
        return;
    const QSize box(width, height);
    forEach(rows.size(), [&](Worker& worker, int i) {
        ImageCacheInfo& row = *rows[i];
        itemDone(QStringLiteral("开始调整图像缓存大小[ "), row.getFile(), QStringLiteral(" ]."));
        const QSize recorded(row.getThumbWidth(), row.getThumbHeight());
        if (row.getRowId() < 0 || recorded == box)
            return;
        // Earlier versions recorded a picture within the box by its own size; its thumbnail is the picture itself,
        // as this box would make it.
        QSize shown;
        if (fitsIn(recorded, box) && ImageDecoder::readHeader(row.getFile(), shown) && shown == recorded)
            return;
        const ImageDecoder::Result decoded = ImageDecoder::decodeFile(row.getFile(), { box });
        if (decoded.image.isNull() || decoded.fullSize.isEmpty())
            return;
        ImageCacheTb table(worker.thumb.get());
        bool ok;
        if (!fitsIn(decoded.fullSize, box)) {
            row.setThumbFor(fitted(decoded.image, decoded.fullSize, box), width, height);
            ok = table.modImageCacheById(row);
        } else {
            ok = table.delImageCacheById(row.getRowId());
        }
        row.setThumb(QImage());
        if (!ok)
            addFailure(row.getFile(), QStringLiteral("更新图像缓存失败"));
    });
}

// ---- build

// The whole tree is listed first, so that every core stays busy across folders; each folder's message still
// goes out in walk order (a folder's own files before its subfolders) before its first file is built.
void TagSyncTask::buildFolderTree(const QString& folder, int width, int height, bool cacheBigImage)
{
    QStringList folders, files;
    QVector<int> firstFile;
    listFolderTree(folder, folders, firstFile, files);
    QMutex announceMutex;
    int announced = 0;
    const auto announce = [&](int upto) {
        QMutexLocker lock(&announceMutex);
        for (; announced < folders.size() && firstFile.at(announced) <= upto; ++announced)
            sendMessage(QStringLiteral("开始构建目录[ ") + shownName(folders.at(announced))
                + QStringLiteral(" ]的图像标签和图像缓存."));
    };
    forEach(files.size(), [&](Worker& worker, int i) {
        announce(i);
        buildFile(worker, files.at(i), width, height, cacheBigImage);
        itemDone(QStringLiteral("开始构建文件[ "), files.at(i), QStringLiteral(" ]的图像标签和图像缓存."));
    });
    if (!getCancel())
        announce(files.size());
    Worker worker;
    storeBuilt(worker, true);
}

void TagSyncTask::listFolderTree(
    const QString& folder, QStringList& folders, QVector<int>& firstFile, QStringList& files)
{
    if (getCancel())
        return;
    // A link leading back into the tree is walked once.
    const QString real = QFileInfo(folder).canonicalFilePath();
    if (real.isEmpty() || m_visited.contains(real))
        return;
    m_visited.insert(real);
    folders.append(folder);
    firstFile.append(files.size());
    QStringList own;
    QDirIterator it(folder, supportedImages(), QDir::Files | QDir::NoDotAndDotDot);
    while (it.hasNext())
        own.append(it.next());
    own.sort();
    files += own;
    QStringList subfolders;
    QDirIterator sub(folder, QDir::Dirs | QDir::NoDotAndDotDot);
    while (sub.hasNext())
        subfolders.append(sub.next());
    subfolders.sort();
    for (const QString& path : qAsConst(subfolders))
        listFolderTree(path, folders, firstFile, files);
}

// The file is read once and decoded once, at reduced scale, for both its row and its thumbnail; a file that
// has both is not opened.
void TagSyncTask::buildFile(Worker& worker, const QString& path, int width, int height, bool cacheBigImage)
{
    const QFileInfo fi(path);
    if (!fi.isFile())
        return;
    const QString file = fi.absoluteFilePath();
    const bool hasRow = FileTagTb(worker.tag.get()).hasTags(file);
    const bool hasCache = ImageCacheTb(worker.thumb.get()).hasImageCache(file);
    if (hasRow && hasCache)
        return;
    QByteArray bytes;
    if (!platform::readRegularFile(file, ImageDecoder::kMaxFileBytes, bytes))
        return;
    const QSize box(qMax(width, TagSyncCfg::MinThumbSide), qMax(height, TagSyncCfg::MinThumbSide));
    const ImageDecoder::Result decoded = ImageDecoder::decodeData(bytes, { box, kHintBox });
    if (decoded.image.isNull() || decoded.fullSize.isEmpty())
        return;
    Built built;
    built.hasRow = hasRow;
    if (!hasRow)
        built.row = newRow(fi, bytes, decoded);
    bytes.clear();
    const QSize full = decoded.fullSize;
    built.hasCache = hasCache || (cacheBigImage && fitsIn(full, box));
    if (!built.hasCache) {
        built.cache.setPath(fi.absolutePath());
        built.cache.setFile(file);
        built.cache.setThumbFor(fitted(decoded.image, full, box), box.width(), box.height());
    }
    {
        QMutexLocker lock(&m_builtMutex);
        m_built.append(built);
    }
    storeBuilt(worker, false);
}

// New rows and thumbnails go in batches, one transaction each: a commit per photo would cost more than its
// decode. A row the photo manager added meanwhile is kept, never replaced.
void TagSyncTask::storeBuilt(Worker& worker, bool all)
{
    QList<Built> batch;
    {
        QMutexLocker lock(&m_builtMutex);
        if (m_built.isEmpty() || (!all && m_built.size() < kBuildBatch))
            return;
        batch.swap(m_built);
    }
    FileTagTb tags(worker.tag.get());
    QStringList failed;
    const Change rows = transact(worker.tag.get(), [&] {
        for (Built& b : batch) {
            if (!b.hasRow && !tags.hasTags(b.row.getFile()) && !tags.addFileTag(b.row))
                return Change::Failed;
        }
        return Change::Written;
    });
    ImageCacheTb thumbs(worker.thumb.get());
    const Change caches = transact(worker.thumb.get(), [&] {
        for (Built& b : batch) {
            if (!b.hasCache && !thumbs.addImageCache(b.cache))
                return Change::Failed;
        }
        return Change::Written;
    });
    for (const Built& b : batch) {
        if (rows == Change::Failed && !b.hasRow)
            addFailure(b.row.getFile(), QStringLiteral("写入标签数据失败"));
        if (caches == Change::Failed && !b.hasCache)
            addFailure(b.cache.getFile(), QStringLiteral("写入图像缓存失败"));
    }
}

// ---- helpers

void TagSyncTask::forEach(int count, const std::function<void(Worker&, int)>& fn)
{
    if (count <= 0)
        return;
    std::atomic<int> next { 0 };
    const int jobs = qMin(count, m_workers.maxThreadCount());
    QList<QFuture<void>> futures;
    for (int k = 0; k < jobs; ++k) {
        futures.append(runJob(&m_workers, [&] {
            Worker worker;
            for (int i = next++; i < count && !getCancel(); i = next++)
                fn(worker, i);
        }));
    }
    for (QFuture<void>& f : futures)
        f.waitForFinished();
}

TagSyncTask::Change TagSyncTask::transact(SqliteDb* db, const std::function<Change()>& fn)
{
    if (!db)
        return Change::Failed;
    QSqlDatabase& sql = db->db();
    for (int attempt = 0; attempt < kBusyTries; ++attempt) {
        if (attempt > 0)
            QThread::msleep(5 * attempt);
        // One change of ours at a time; the other program's writes wait on the busy timeout.
        QMutexLocker lock(&m_writeMutex);
        if (!sql.transaction())
            continue;
        const Change change = fn();
        if (change == Change::Failed || change == Change::Moved || change == Change::Nothing) {
            sql.rollback();
            if (change == Change::Failed)
                continue;
            return change;
        }
        if (sql.commit())
            return change;
        sql.rollback();
    }
    return Change::Failed;
}

void TagSyncTask::sendMessage(const QString& text)
{
    QMutexLocker lock(&m_messageMutex);
    setErr(0, text);
    emit_task_step(nullptr);
}

void TagSyncTask::itemDone(const QString& head, const QString& path, const QString& tail)
{
    int seen = progressCount.load();
    while (!progressCount.compare_exchange_weak(seen, seen > 100 ? 0 : seen + 1)) { }
    if (seen > 100)
        sendMessage(head + ExtractFileName(path) + tail);
}

void TagSyncTask::addFailure(const QString& file, const QString& reason)
{
    QMutexLocker lock(&m_failMutex);
    m_failures.append({ file, reason });
}

QStringList TagSyncTask::failures() const
{
    QMutexLocker lock(&m_failMutex);
    QStringList out;
    for (const auto& f : m_failures)
        out.append(f.first + QStringLiteral(": ") + f.second);
    return out;
}

int TagSyncTask::failedPhotos() const
{
    QMutexLocker lock(&m_failMutex);
    QSet<QString> files;
    for (const auto& f : m_failures)
        files.insert(f.first);
    return files.size();
}

QString TagSyncTask::summary() const
{
    const int failed = failedPhotos();
    if (failed == 0)
        return QStringLiteral("结束");
    return QStringLiteral("结束，%1 个文件未能写入，详见日志").arg(failed);
}

void TagSyncTask::writeLog() const
{
    const QStringList lines = failures();
    const QString path = logFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    QString text = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        + QStringLiteral(" 照片标签同步：写入照片 %1 张，失败 %2 个文件\n").arg(writtenPhotos()).arg(failedPhotos());
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    log.write(text.toUtf8());
}
