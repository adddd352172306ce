#pragma once

#include "tagsynccfg.h"

#include <QList>
#include <QStringList>

// The conflict rules and directions of the tag synchronisation, for one photo.
class TagMerge {
public:
    // A photo's star, colours and text tags on one side.
    struct Values {
        int star = 0;
        QList<uint> rgb;
        QStringList text;
        bool operator==(const Values& o) const { return star == o.star && rgb == o.rgb && text == o.text; }
        bool operator!=(const Values& o) const { return !(*this == o); }
    };

    // Conflict 0 takes the database's value, 1 the file's, 2 the higher star, 3 the lower; the file's value
    // takes part only when the file holds our tags.
    static int mergeStar(int db, int file, bool fileHasTags, int conflict);
    // 0 database, 1 file, 2 union (database's first), 3 intersection (in the database's order).
    static QList<uint> mergeRgb(const QList<uint>& db, const QList<uint>& file, bool fileHasTags, int conflict);
    static QStringList mergeText(const QStringList& db, const QStringList& file, bool fileHasTags, int conflict);

    // What the row and the file hold after the synchronisation: each kind switched on takes its merged value on
    // the sides its direction names (0 both, 1 the file, 2 the row; 2 changes nothing for a file without our
    // tags); every other kind stays as it was on each side.
    static void apply(const TagSyncCfg::Tag& cfg, const Values& db, const Values& file, bool fileHasTags,
        Values& rowOut, Values& fileOut);
};
