#pragma once

#include "search/copyset.h"
#include "sys/filestamp.h"

#include <QString>
#include <QVector>

// The checked files of one action (1 move, 2 copy, 3 to the trash, 4 delete), taken set of copies by set of
// copies. Just before a set is acted on, a copy that stays must still hold what the search found; just before a
// file is moved or removed, it must still be the file the search saw. A file another program took away since is
// gone, not failed.
class ActionBatch {
public:
    enum Outcome { Done, Failed, Changed, CopyChanged, Gone };
    struct File {
        QString source;
        QString target; // for a move or a copy
        FileStamp stamp; // as the search left the file
        int set = -1; // its set of copies in sets; -1 for none
    };

    // Runs the action; one outcome per file. A set whose entry of bareAllowed is true goes even when no copy of it
    // stays (the user said so). Reads and changes files: for a pool thread.
    QVector<Outcome> run(int code, const QVector<bool>& bareAllowed) const;

    QVector<File> files;
    QVector<CopySet> sets;

private:
    Outcome handle(int code, const File& file) const;
};
