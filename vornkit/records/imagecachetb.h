#pragma once

#include "db/sqlitetb.h"
#include "sys/vornkit_global.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QVariant>

class ImageCacheInfo;
class QSqlQuery;

// The [imagecache] table over a borrowed thumbnail-database connection.
class VORNKIT_EXPORT ImageCacheTb : public SqliteTb {
public:
    explicit ImageCacheTb(SqliteDb* sdb);
    ~ImageCacheTb() override;

    // A row of the same file is replaced; on success the record takes the new rowid.
    bool addImageCache(ImageCacheInfo& info);
    bool delImageCache(const QString& file);
    bool delImageCacheById(qint64 rowid);
    bool hasImageCache(const QString& file);
    bool readImageCache(const QString& file, ImageCacheInfo& out);
    bool readImageCacheById(qint64 rowid, ImageCacheInfo& out);
    // Appends heap records the caller deletes; thumbnails are decoded only when withThumb.
    bool loadImageCache(QList<ImageCacheInfo*>& list, bool withThumb);
    bool readThumb(const QString& file, QImage& out);
    bool readThumb(qint64 rowid, QImage& out);
    bool modImageCache(ImageCacheInfo& info);
    bool modImageCacheById(ImageCacheInfo& info);
    bool updateFile(const QString& oldFile, const QString& newFile, const QString& newPath);
    bool updateFolder(const QString& oldFolder, const QString& newFolder);

private:
    bool readOne(const QString& sql, const QVariant& key, ImageCacheInfo& out);
    static void fill(const QSqlQuery& q, ImageCacheInfo& out, bool withThumb);
};
