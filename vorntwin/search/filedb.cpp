#include "search/filedb.h"

namespace {

QString createSql(const char* table)
{
    return QStringLiteral(
        "CREATE TABLE [%1](     [FilePath] NVARCHAR(10240),     [FileName] NVARCHAR(10240),     "
        "[FileSize] INT64(16),     [FileType] NVARCHAR(1024),     [CreationTime] NVARCHAR(32),     "
        "[LastAccessTime] NVARCHAR(32),     [LastWriteTime] NVARCHAR(32),     [PartMD5] NVARCHAR(64),  "
        "   [FullMD5] NVARCHAR(64)) ")
        .arg(QLatin1String(table));
}

} // namespace

FileDb::FileDb() = default;

FileDb::~FileDb() = default;

bool FileDb::initTable()
{
    for (const char* table : { "FindFile", "ResultFile" }) {
        if (!tableExists(QLatin1String(table)))
            execMultiSql(createSql(table));
    }
    return true;
}

void FileDb::clearTables()
{
    execMultiSql(QStringLiteral("delete from [FindFile]"));
    execMultiSql(QStringLiteral("delete from [ResultFile]"));
}
