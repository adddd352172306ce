#pragma once

#include "sys/cfgholder.h"

#include <QString>
#include <QStringList>

// The tag synchroniser's settings, kept in "profile/vornmark.cfg" below the program folder: read once at start,
// written once at exit. The window writes them only while no run is in progress; the run reads them.
class TagSyncCfg : public CfgHolder<TagSyncCfg> {
public:
    // "tag": the tag-row steps. Directions: 0 both ways, 1 database to file, 2 file to database. Conflicts:
    // 0 database, 1 file, 2 union (higher star), 3 intersection (lower star).
    struct Tag {
        bool DeleteInvalidTag = false;
        bool DeleteOutSyncTag = false;
        bool ColorSync = false;
        int ColorSyncTactics = 0;
        int ColorConflictTactics = 0;
        bool StarSync = false;
        int StarSyncTactics = 0;
        int StarConflictTactics = 0;
        bool TextTagSync = false;
        int TextTagSyncTactics = 0;
        int TextTagConflictTactics = 0;
    };
    // "thumb": the thumbnail-cache steps.
    struct Thumb {
        bool DeleteInvalidThumb = false;
        bool ResizeThumb = false;
        int ThumbWidth = 192;
        int ThumbHeight = 108;
    };
    // "build": folders (each with its subfolders) whose photos get missing tag rows and thumbnails.
    struct Build {
        bool BuildThumb = false;
        QStringList paths;
        bool CacheBigImage = false;
        int ThumbWidth = 192;
        int ThumbHeight = 108;
    };

    // Thumbnail sizes below this make no usable thumbnail.
    static constexpr int MinThumbSide = 16;
    static constexpr int MaxThumbSide = 512;

    // 0 when read; -1 when the file is missing or not JSON (the values stay).
    int load();
    // 0 when written; -1 when it cannot be written (the old file then stays as it was).
    int save();
    static QString filePath();

    QString LastPath;
    Tag tag;
    Thumb thumb;
    bool DeleteInvalidFileFav = false;
    bool DeleteInvalidPathFav = false;
    Build build;
};
