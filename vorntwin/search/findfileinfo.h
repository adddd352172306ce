#pragma once

#include "sys/filestamp.h"

#include <QString>

class QFileInfo;
class QSqlQuery;

// One listed file: a row of [FindFile].
class FindFileInfo {
public:
    FindFileInfo();

    int loadFromFileInfo(const QFileInfo& info);
    int loadFromQuery(const QSqlQuery& query);
    // The field of a column key as text ("FileSize" in decimal); empty for any other key.
    QString fieldText(const QString& key) const;
    QString fullPath() const;
    // Stamps the file as it is now; no stamp when its size or modified time are no longer the listed ones.
    void takeStamp();

    QString FilePath;
    QString FileName;
    qint64 FileSize = 0;
    QString FileType;
    QString CreationTime;
    QString LastAccessTime;
    QString LastWriteTime;
    QString PartMD5;
    QString FullMD5;
    // The file as the search left it (not a column).
    FileStamp stamp;
};
