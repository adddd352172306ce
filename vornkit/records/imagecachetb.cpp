#include "records/imagecachetb.h"

#include "meta/imagevariant.h"
#include "records/imagecacheinfo.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

const char* const selectColumns
    = "select [rowid], [path], [file], [thumbwidth], [thumbheight], [format], [thumbnail] from [imagecache]";

// The thumbnail columns, from [thumbwidth] to [thumbnail].
void bindThumb(QSqlQuery& q, const ImageCacheInfo& info)
{
    q.addBindValue(info.getThumbWidth());
    q.addBindValue(info.getThumbHeight());
    q.addBindValue(info.getFormat());
    // An image that fails to encode is stored as NULL.
    const QByteArray& png = info.getThumbPng();
    q.addBindValue(png.isEmpty() ? imageToVariant(info.getThumb()) : QVariant(png), QSql::In | QSql::Binary);
}

} // namespace

ImageCacheTb::ImageCacheTb(SqliteDb* sdb)
    : SqliteTb(sdb)
{
}

ImageCacheTb::~ImageCacheTb() = default;

void ImageCacheTb::fill(const QSqlQuery& q, ImageCacheInfo& out, bool withThumb)
{
    out.setRowId(q.value(0).toLongLong());
    out.setPath(q.value(1).toString());
    out.setFile(q.value(2).toString());
    out.setThumbWidth(q.value(3).toInt());
    out.setThumbHeight(q.value(4).toInt());
    out.setFormat(q.value(5).toInt());
    out.setThumb(withThumb ? variantToImage(q.value(6)) : QImage());
}

bool ImageCacheTb::addImageCache(ImageCacheInfo& info)
{
    QSqlQuery q(db());
    q.prepare("insert into [imagecache] ([path], [file], [thumbwidth], [thumbheight], [format], [thumbnail]) "
              "values (?, ?, ?, ?, ?, ?)");
    q.addBindValue(info.getPath());
    q.addBindValue(info.getFile());
    bindThumb(q, info);
    if (!q.exec())
        return false;
    info.setRowId(q.lastInsertId().toLongLong());
    return true;
}

bool ImageCacheTb::delImageCache(const QString& file)
{
    return execSql("delete from [imagecache] where [file]=?", { file });
}

bool ImageCacheTb::delImageCacheById(qint64 rowid)
{
    return execSql("delete from [imagecache] where [rowid]=?", { rowid });
}

bool ImageCacheTb::hasImageCache(const QString& file)
{
    QSqlQuery q(db());
    return !file.isEmpty() && queryRow(q, QString::fromLatin1(selectColumns) + " where [file]=?", { file });
}

bool ImageCacheTb::readOne(const QString& sql, const QVariant& key, ImageCacheInfo& out)
{
    QSqlQuery q(db());
    if (!queryRow(q, sql, { key }))
        return false;
    fill(q, out, true);
    return true;
}

bool ImageCacheTb::readImageCache(const QString& file, ImageCacheInfo& out)
{
    return readOne(QString::fromLatin1(selectColumns) + " where [file]=?", file, out);
}

bool ImageCacheTb::readImageCacheById(qint64 rowid, ImageCacheInfo& out)
{
    return readOne(QString::fromLatin1(selectColumns) + " where [rowid]=?", rowid, out);
}

bool ImageCacheTb::loadImageCache(QList<ImageCacheInfo*>& list, bool withThumb)
{
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(selectColumns)))
        return true;
    while (q.next()) {
        auto* info = new ImageCacheInfo();
        fill(q, *info, withThumb);
        list.append(info);
    }
    return true;
}

bool ImageCacheTb::readThumb(const QString& file, QImage& out)
{
    QSqlQuery q(db());
    if (!queryRow(q, "select [thumbnail] from [imagecache] where [file]=?", { file }))
        return false;
    out = variantToImage(q.value(0));
    return true;
}

bool ImageCacheTb::readThumb(qint64 rowid, QImage& out)
{
    QSqlQuery q(db());
    if (!queryRow(q, "select [thumbnail] from [imagecache] where [rowid]=?", { rowid }))
        return false;
    out = variantToImage(q.value(0));
    return true;
}

bool ImageCacheTb::modImageCache(ImageCacheInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [imagecache] set [path]=?, [thumbwidth]=?, [thumbheight]=?, [format]=?, [thumbnail]=? "
              "where [file]=?");
    q.addBindValue(info.getPath());
    bindThumb(q, info);
    q.addBindValue(info.getFile());
    return q.exec();
}

bool ImageCacheTb::modImageCacheById(ImageCacheInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [imagecache] set [path]=?, [file]=?, [thumbwidth]=?, [thumbheight]=?, [format]=?, "
              "[thumbnail]=? where [rowid]=?");
    q.addBindValue(info.getPath());
    q.addBindValue(info.getFile());
    bindThumb(q, info);
    q.addBindValue(info.getRowId());
    return q.exec();
}

bool ImageCacheTb::updateFile(const QString& oldFile, const QString& newFile, const QString& newPath)
{
    return execSql("update [imagecache] set [file]=?, [path]=? where [file]=?", { newFile, newPath, oldFile });
}

bool ImageCacheTb::updateFolder(const QString& oldFolder, const QString& newFolder)
{
    return moveFolder(QStringLiteral("imagecache"), { QStringLiteral("file"), QStringLiteral("path") },
        QStringLiteral("file"), oldFolder, newFolder);
}
