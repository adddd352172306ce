#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>

class FileMd5Reader;
class FindFileInfo;
class ImageHashHolder;
class SqliteDb;
struct FindSettings;

// One node of a search's result: the root, a group (by attributes, by reference file, by difference) or a file.
class ImageInfo {
public:
    ImageInfo();
    virtual ~ImageInfo();
    ImageInfo(const ImageInfo&) = delete;
    ImageInfo& operator=(const ImageInfo&) = delete;

    bool isFile() const { return row != nullptr; }
    // Has children, the first of them a file.
    bool isFileGroup() const;
    bool hasFile() const;
    // Appends every file below, depth first in child order.
    void collectFiles(QList<ImageInfo*>& files) const;
    // Appends every file group at or below the node, depth first.
    void collectFileGroups(QList<ImageInfo*>& groups);
    // The full paths of the files of each file group.
    QList<QStringList> fileGroupPaths();

    // Lists the image files of the folders and all their subfolders into [FindFile]. Each file is listed once,
    // however often it is reached (a folder chosen twice or inside another, links, hard links), under a path found
    // below the chosen folders: its own where it is met there, else that of a link to it.
    int scanPaths(SqliteDb* db, const QStringList& folders, const std::atomic_bool* cancel = nullptr);
    // Groups the listed files whose selected attributes are equal; 0, or -1 when the query fails.
    int groupByAttributes(SqliteDb* db, const FindSettings& find);
    // Keeps in each group only files of equal content, one group per content.
    int confirmContent(const std::atomic_bool* cancel = nullptr);
    // Splits each group into clusters of similar images around reference files. Files that give no hash (broken,
    // or too large to decode) stay together in a group of their own beside, with the group's label, where their
    // content was compared, and are left out otherwise; unhashed counts them.
    int groupSimilar(const FindSettings& find, const std::atomic_bool* cancel = nullptr, int* unhashed = nullptr);
    void releaseReaders();

    QList<ImageInfo*> children;
    QString label;
    FindFileInfo* row = nullptr;
    FileMd5Reader* reader = nullptr;
    ImageHashHolder* hasher = nullptr;
};
