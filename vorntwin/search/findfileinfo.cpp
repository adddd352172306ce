#include "search/findfileinfo.h"

#include "sys/fileutil.h"
#include "sys/platform.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

namespace {

QString timeText(const QDateTime& t)
{
    return t.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

FindFileInfo::FindFileInfo() = default;

int FindFileInfo::loadFromFileInfo(const QFileInfo& info)
{
    FilePath = info.absolutePath();
    FileName = info.fileName();
    FileSize = info.size();
    FileType = info.suffix();
    // Birth time where the file system keeps one, else the modified time; never the status-change time.
    CreationTime = timeText(platform::createdTime(info));
    LastAccessTime = timeText(info.lastRead());
    LastWriteTime = timeText(info.lastModified());
    return 0;
}

int FindFileInfo::loadFromQuery(const QSqlQuery& query)
{
    FilePath = query.value("FilePath").toString();
    FileName = query.value("FileName").toString();
    FileSize = query.value("FileSize").toLongLong();
    FileType = query.value("FileType").toString();
    CreationTime = query.value("CreationTime").toString();
    LastAccessTime = query.value("LastAccessTime").toString();
    LastWriteTime = query.value("LastWriteTime").toString();
    PartMD5 = query.value("PartMD5").toString();
    FullMD5 = query.value("FullMD5").toString();
    return 0;
}

QString FindFileInfo::fieldText(const QString& key) const
{
    if (key == QLatin1String("FileSize"))
        return QString::number(FileSize, 10);
    const QString FindFileInfo::*fields[] = { &FindFileInfo::FilePath, &FindFileInfo::FileName, &FindFileInfo::FileType,
        &FindFileInfo::CreationTime, &FindFileInfo::LastAccessTime, &FindFileInfo::LastWriteTime,
        &FindFileInfo::PartMD5, &FindFileInfo::FullMD5 };
    static const char* const names[] = { "FilePath", "FileName", "FileType", "CreationTime", "LastAccessTime",
        "LastWriteTime", "PartMD5", "FullMD5" };
    for (int i = 0; i < 8; ++i) {
        if (key == QLatin1String(names[i]))
            return this->*fields[i];
    }
    return QString();
}

QString FindFileInfo::fullPath() const
{
    return pathJoin(FilePath, FileName);
}

void FindFileInfo::takeStamp()
{
    stamp = FileStamp::of(fullPath());
    if (stamp.isValid()
        && (stamp.size() != FileSize || timeText(QDateTime::fromMSecsSinceEpoch(stamp.modifiedMs())) != LastWriteTime))
        stamp = FileStamp();
}
