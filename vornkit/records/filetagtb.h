#pragma once

#include "db/sqlitetb.h"
#include "sys/vornkit_global.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class FileTagInfo;
class QSqlQuery;

// The [filetag] table over a borrowed tag-database connection. Paths compare exactly.
// A statement matching no row succeeds, except an update by rowid, which then reports false
// (the row was replaced and got a new rowid: find it again by its file).
class VORNKIT_EXPORT FileTagTb : public SqliteTb {
public:
    explicit FileTagTb(SqliteDb* sdb);
    ~FileTagTb() override;

    // A row of the same file is replaced; on success the record takes the new rowid.
    bool addFileTag(FileTagInfo& info);
    // Adds the row only when the file has none (another program may have written one meanwhile): added tells
    // which; when there is one it stays as it is, and the record keeps its rowid.
    bool addNewFileTag(FileTagInfo& info, bool& added);
    bool addTags(FileTagInfo& info);
    bool delFileTag(const QString& file);
    bool delFileTagById(qint64 rowid);
    bool hasTags(const QString& file);
    // False when there is no row; out is then left as it was.
    bool readFileTag(const QString& file, FileTagInfo& out);
    bool readFileTagById(qint64 rowid, FileTagInfo& out);
    // Appends heap records the caller deletes.
    bool loadFileTag(QList<FileTagInfo*>& list);

    bool modFileRgbTag(const QString& file, const QString& rgbs);
    bool modFileRgbTag(qint64 rowid, const QString& rgbs);
    bool modFileRgbTag(const QString& file, const QList<uint>& rgbs);
    bool modFileRgbTag(qint64 rowid, const QList<uint>& rgbs);
    bool modFileStarTag(const QString& file, int star);
    bool modFileStarTag(qint64 rowid, int star);
    bool modFileTextTag(const QString& file, const QString& tags);
    bool modFileTextTag(qint64 rowid, const QString& tags);
    bool modFileTextTag(const QString& file, const QStringList& tags);
    bool modFileTextTag(qint64 rowid, const QStringList& tags);
    bool modFileTag(FileTagInfo& info);
    bool modFileTagById(FileTagInfo& info);
    bool updateTags(const QString& file, const FileTagInfo& info);
    bool updateTags(qint64 rowid, const FileTagInfo& info);
    // Size and times alone (after the tags were written into the file), leaving every tag as it stands.
    bool modFileFacts(qint64 rowid, const FileTagInfo& info);
    // After a rename or move.
    bool updateFile(const QString& oldFile, const QString& newFile, const QString& newPath);
    // After a folder was renamed: the rows of its photos and of its subfolders' follow it.
    bool updateFolder(const QString& oldFolder, const QString& newFolder);

private:
    bool insert(const char* verb, FileTagInfo& info, bool* added);
    bool readOne(const QString& sql, const QVariant& key, FileTagInfo& out);
    static void fill(const QSqlQuery& q, FileTagInfo& out);
    bool execById(QSqlQuery& q);
};
