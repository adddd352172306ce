#pragma once

#include "sys/vornkit_global.h"

#include <QList>
#include <QStringList>

// The conflict rules and directions of the tag synchronisation, for one photo, and the merge of one program's
// edits with what a photo holds now.
class VORNKIT_EXPORT TagMerge {
public:
    // A photo's star, colours and text tags on one side.
    struct Values {
        int star = 0;
        QList<uint> rgb;
        QStringList text;
        bool operator==(const Values& o) const { return star == o.star && rgb == o.rgb && text == o.text; }
        bool operator!=(const Values& o) const { return !(*this == o); }
    };

    // How one kind of tag is synchronised: switched on, direction (0 both ways, 1 database to file, 2 file to
    // database) and conflict rule (0 database, 1 file, 2 union or the higher star, 3 intersection or the lower).
    struct Rule {
        bool on = false;
        int direction = 0;
        int conflict = 0;
    };
    struct Rules {
        Rule colour;
        Rule star;
        Rule text;
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
    static void apply(
        const Rules& rules, const Values& db, const Values& file, bool fileHasTags, Values& rowOut, Values& fileOut);

    // What a photo should hold when one side (a program's edits: base became mine) changed it and the photo now
    // holds now: per kind, a side that did not change takes the other's value (database rule where only the
    // edits changed, file rule where only the photo did); where both changed, the star takes the edit and a list
    // takes the edit's additions and removals applied to the photo's list, so nothing another program added is
    // lost. A photo without our tags takes mine whole.
    static Values mergeEdit(const Values& base, const Values& mine, const Values& now, bool nowHasTags);
};
