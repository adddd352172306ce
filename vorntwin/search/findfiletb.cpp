#include "search/findfiletb.h"

#include "search/findfileinfo.h"

#include <QSqlQuery>
#include <QVariant>

namespace {

const char* const kInsertSql
    = "INSERT INTO [FindFile]     ([FilePath], [FileName], [FileSize], [FileType], [CreationTime], [LastAccessTime], "
      "[LastWriteTime], [PartMD5], [FullMD5])     VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?) ";

bool bindAndExec(QSqlQuery& q, const FindFileInfo& info)
{
    q.addBindValue(info.FilePath);
    q.addBindValue(info.FileName);
    q.addBindValue(qint64(info.FileSize));
    q.addBindValue(info.FileType);
    q.addBindValue(info.CreationTime);
    q.addBindValue(info.LastAccessTime);
    q.addBindValue(info.LastWriteTime);
    q.addBindValue(QString(""));
    q.addBindValue(info.FullMD5.isNull() ? QString("") : info.FullMD5);
    return q.exec();
}

} // namespace

const char* const FindFileTb::selectSql
    = "SELECT [FilePath], [FileName], [FileSize], [FileType],     [CreationTime], [LastAccessTime], [LastWriteTime], "
      "[PartMD5], [FullMD5] FROM [FindFile] ";

FindFileTb::FindFileTb(SqliteDb* sdb)
    : SqliteTb(sdb)
{
}

bool FindFileTb::addFindFile(const FindFileInfo& info)
{
    QSqlQuery q(db());
    q.prepare(QString::fromLatin1(kInsertSql));
    return bindAndExec(q, info);
}

int FindFileTb::addFindFiles(const QList<FindFileInfo>& infos)
{
    if (infos.isEmpty())
        return 0;
    const bool inTransaction = db().transaction();
    QSqlQuery q(db());
    int count = 0;
    if (q.prepare(QString::fromLatin1(kInsertSql))) {
        for (const FindFileInfo& info : infos)
            count += bindAndExec(q, info) ? 1 : 0;
    }
    if (inTransaction)
        db().commit();
    return count;
}
