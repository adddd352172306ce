#include "records/filetagtb.h"

#include "records/filetaginfo.h"
#include "records/tagutil.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

const char* const selectColumns = "select [rowid], [path], [file], [filesize], [createtime], [modifytime], "
                                  "[imagewidth], [imageheight], [star], "
                                  "[tag], [color], [hintstar], [hinttag], [hintcolor] from [filetag]";

// The file facts, in column order from [filesize] to [imageheight].
void bindFacts(QSqlQuery& q, const FileTagInfo& info)
{
    q.addBindValue(info.getFileSize());
    q.addBindValue(info.getCreateTime());
    q.addBindValue(info.getModifyTime());
    q.addBindValue(info.getImageWidth());
    q.addBindValue(info.getImageHeight());
}

// The tags, in column order from [star] to [hintcolor].
void bindTags(QSqlQuery& q, const FileTagInfo& info)
{
    q.addBindValue(info.getStar());
    q.addBindValue(info.getTextTags());
    q.addBindValue(info.getRgbs());
    q.addBindValue(info.getHintStar());
    q.addBindValue(info.getHintTextTags());
    q.addBindValue(info.getHintRgbs());
}

} // namespace

FileTagTb::FileTagTb(SqliteDb* sdb)
    : SqliteTb(sdb)
{
}

FileTagTb::~FileTagTb() = default;

bool FileTagTb::execById(QSqlQuery& q)
{
    return run(q) && q.numRowsAffected() > 0;
}

void FileTagTb::fill(const QSqlQuery& q, FileTagInfo& out)
{
    out.setRowId(q.value(0).toLongLong());
    out.setPath(q.value(1).toString());
    out.setFile(q.value(2).toString());
    out.setFileSize(q.value(3).toLongLong());
    out.setCreateTime(q.value(4).toString());
    out.setModifyTime(q.value(5).toString());
    out.setImageWidth(q.value(6).toInt());
    out.setImageHeight(q.value(7).toInt());
    out.setStar(q.value(8).toInt());
    out.setTextTags(q.value(9).toString());
    out.setRgbs(q.value(10).toString());
    out.setHintStar(q.value(11).toInt());
    out.setHintTextTags(q.value(12).toString());
    out.setHintRgbs(q.value(13).toString());
}

bool FileTagTb::insert(const char* verb, FileTagInfo& info, bool* added)
{
    QSqlQuery q(db());
    q.prepare(QString::fromLatin1(verb)
        + " into [filetag] ([path], [file], [filesize], [createtime], "
          "[modifytime], [imagewidth], "
          "[imageheight], [star], [tag], [color], [hintstar], [hinttag], "
          "[hintcolor]) "
          "values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.addBindValue(info.getPath());
    q.addBindValue(info.getFile());
    bindFacts(q, info);
    bindTags(q, info);
    if (!run(q))
        return false;
    const bool inserted = q.numRowsAffected() > 0;
    if (added)
        *added = inserted;
    if (inserted)
        info.setRowId(q.lastInsertId().toLongLong());
    return true;
}

bool FileTagTb::addFileTag(FileTagInfo& info)
{
    return insert("insert", info, nullptr);
}

bool FileTagTb::addNewFileTag(FileTagInfo& info, bool& added)
{
    // The statement's rule goes before the table's "on conflict replace".
    return insert("insert or ignore", info, &added);
}

bool FileTagTb::addTags(FileTagInfo& info)
{
    return addFileTag(info);
}

bool FileTagTb::delFileTag(const QString& file)
{
    return execSql("delete from [filetag] where [file]=?", { file });
}

bool FileTagTb::delFileTagById(qint64 rowid)
{
    return execSql("delete from [filetag] where [rowid]=?", { rowid });
}

bool FileTagTb::hasTags(const QString& file)
{
    QSqlQuery q(db());
    return !file.isEmpty() && queryRow(q, QString::fromLatin1(selectColumns) + " where [file]=?", { file });
}

bool FileTagTb::readOne(const QString& sql, const QVariant& key, FileTagInfo& out)
{
    QSqlQuery q(db());
    if (!queryRow(q, sql, { key }))
        return false;
    fill(q, out);
    return true;
}

bool FileTagTb::readFileTag(const QString& file, FileTagInfo& out)
{
    if (file.isEmpty())
        return false;
    return readOne(QString::fromLatin1(selectColumns) + " where [file]=?", file, out);
}

bool FileTagTb::readFileTagById(qint64 rowid, FileTagInfo& out)
{
    if (rowid <= 0)
        return false;
    return readOne(QString::fromLatin1(selectColumns) + " where [rowid]=?", rowid, out);
}

bool FileTagTb::loadFileTag(QList<FileTagInfo*>& list)
{
    QSqlQuery q(db());
    q.setForwardOnly(true);
    if (!q.exec(QString::fromLatin1(selectColumns)))
        return true;
    while (q.next()) {
        auto* info = new FileTagInfo();
        fill(q, *info);
        list.append(info);
    }
    return true;
}

bool FileTagTb::modFileRgbTag(const QString& file, const QString& rgbs)
{
    return execSql("update [filetag] set [color]=? where [file]=?", { rgbs, file });
}

bool FileTagTb::modFileRgbTag(qint64 rowid, const QString& rgbs)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [color]=? where [rowid]=?");
    q.addBindValue(rgbs);
    q.addBindValue(rowid);
    return execById(q);
}

bool FileTagTb::modFileRgbTag(const QString& file, const QList<uint>& rgbs)
{
    return modFileRgbTag(file, RgbListToStr(rgbs));
}

bool FileTagTb::modFileRgbTag(qint64 rowid, const QList<uint>& rgbs)
{
    return modFileRgbTag(rowid, RgbListToStr(rgbs));
}

bool FileTagTb::modFileStarTag(const QString& file, int star)
{
    return execSql("update [filetag] set [star]=? where [file]=?", { star, file });
}

bool FileTagTb::modFileStarTag(qint64 rowid, int star)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [star]=? where [rowid]=?");
    q.addBindValue(star);
    q.addBindValue(rowid);
    return execById(q);
}

bool FileTagTb::modFileTextTag(const QString& file, const QString& tags)
{
    return execSql("update [filetag] set [tag]=? where [file]=?", { tags, file });
}

bool FileTagTb::modFileTextTag(qint64 rowid, const QString& tags)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [tag]=? where [rowid]=?");
    q.addBindValue(tags);
    q.addBindValue(rowid);
    return execById(q);
}

bool FileTagTb::modFileTextTag(const QString& file, const QStringList& tags)
{
    return modFileTextTag(file, StringListToStr(tags));
}

bool FileTagTb::modFileTextTag(qint64 rowid, const QStringList& tags)
{
    return modFileTextTag(rowid, StringListToStr(tags));
}

bool FileTagTb::modFileTag(FileTagInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [path]=?, [filesize]=?, [createtime]=?, "
              "[modifytime]=?, [imagewidth]=?, "
              "[imageheight]=?, [star]=?, [tag]=?, [color]=?, [hintstar]=?, "
              "[hinttag]=?, [hintcolor]=? "
              "where [file]=?");
    q.addBindValue(info.getPath());
    bindFacts(q, info);
    bindTags(q, info);
    q.addBindValue(info.getFile());
    return run(q);
}

bool FileTagTb::modFileTagById(FileTagInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [path]=?, [file]=?, [filesize]=?, "
              "[createtime]=?, [modifytime]=?, "
              "[imagewidth]=?, [imageheight]=?, [star]=?, [tag]=?, [color]=?, "
              "[hintstar]=?, [hinttag]=?, "
              "[hintcolor]=? where [rowid]=?");
    q.addBindValue(info.getPath());
    q.addBindValue(info.getFile());
    bindFacts(q, info);
    bindTags(q, info);
    q.addBindValue(info.getRowId());
    return execById(q);
}

bool FileTagTb::updateTags(const QString& file, const FileTagInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [star]=?, [tag]=?, [color]=?, [hintstar]=?, "
              "[hinttag]=?, [hintcolor]=? "
              "where [file]=?");
    bindTags(q, info);
    q.addBindValue(file);
    return run(q);
}

bool FileTagTb::updateTags(qint64 rowid, const FileTagInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [star]=?, [tag]=?, [color]=?, [hintstar]=?, "
              "[hinttag]=?, [hintcolor]=? "
              "where [rowid]=?");
    bindTags(q, info);
    q.addBindValue(rowid);
    return execById(q);
}

bool FileTagTb::modFileFacts(qint64 rowid, const FileTagInfo& info)
{
    QSqlQuery q(db());
    q.prepare("update [filetag] set [filesize]=?, [createtime]=?, [modifytime]=? where [rowid]=?");
    q.addBindValue(info.getFileSize());
    q.addBindValue(info.getCreateTime());
    q.addBindValue(info.getModifyTime());
    q.addBindValue(rowid);
    return execById(q);
}

bool FileTagTb::updateFile(const QString& oldFile, const QString& newFile, const QString& newPath)
{
    return execSql("update [filetag] set [file]=?, [path]=? where [file]=?", { newFile, newPath, oldFile });
}

bool FileTagTb::updateFolder(const QString& oldFolder, const QString& newFolder)
{
    return moveFolder(QStringLiteral("filetag"), { QStringLiteral("file"), QStringLiteral("path") },
        QStringLiteral("file"), oldFolder, newFolder);
}
