#pragma once

#include "sys/filestamp.h"

#include <QString>
#include <QVector>

#include <atomic>

// The copies of one photo as a search found them, and which of them an action takes away.
class CopySet {
public:
    struct Member {
        QString path;
        FileStamp stamp; // as the search left the file
        bool leaving = false;
    };

    // Whether a copy that stays still holds what the search found: untouched since, or else with the very bytes of
    // a leaving copy that is itself untouched. Reads files: for a pool thread.
    bool keepsCopy() const;
    // For each set, whether it would be left without any copy.
    static QVector<bool> bareSets(const QVector<CopySet>& sets, const std::atomic_bool* cancel = nullptr);

    QVector<Member> members;
};
