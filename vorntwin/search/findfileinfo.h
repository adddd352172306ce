#pragma once

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

    QString FilePath;
    QString FileName;
    qint64 FileSize = 0;
    QString FileType;
    QString CreationTime;
    QString LastAccessTime;
    QString LastWriteTime;
    QString PartMD5;
    QString FullMD5;
};
